#pragma once
// Template files: one or more templates, each literal text with "<# ... #>" code blocks,
// compiled into syntax trees.

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "report/engine/host.h"

namespace zelvant::report {

class CTemplate;

// Something to read a template file from: read(buffer, maximum) -> bytes read, 0 at the end.
class CSourceStream {
  public:
    virtual ~CSourceStream() = default;
    virtual std::size_t Read(char* buffer, std::size_t maximum) = 0;
};

class CTemplateSet {
  public:
    CTemplateSet();
    CTemplateSet(const CTemplateSet&) = delete;
    CTemplateSet& operator=(const CTemplateSet&) = delete;
    ~CTemplateSet();

    // Discards the templates held, reads the whole stream (CR LF reads as LF), compiles the
    // templates in order and writes compile messages to `diagnostics`, one per line. True when
    // at least one template was added and none failed; templates before a failure stay.
    bool Load(CSourceStream& source, COutputStream& diagnostics);
    bool LoadText(std::string_view text, COutputStream& diagnostics);

    // The first template of that name (byte for byte), or none.
    const CTemplate* Find(std::string_view name) const;
    std::size_t Count() const;

  private:
    std::vector<std::unique_ptr<CTemplate>> templates_;
};

}  // namespace zelvant::report
