#pragma once
// What `env` means in a report: the open document seen through a cursor that walks its folders
// in the order the folder tree shows them, and the records of each folder in stored order.

#include <string>
#include <string_view>
#include <vector>

#include "report/date_format.h"
#include "report/engine/host.h"
#include "report/print_flags.h"
#include "store/folder_sequence.h"

namespace zelvant::report {

// Outlives the runs; reset before each one.
class CReportCursor {
  public:
    void Reset(const CFolderSequence& folders, std::string templateName);

    // Each folder before its sub-folders; 0 once there is none left.
    bool NextFolder(const CFolderSequence& folders);
    // 0 when the folder has no more records; the folder is then left.
    bool NextRecord(const CFolderSequence& folders);

    const CFolder* CurrentFolder(const CFolderSequence& folders) const;
    const CRecord* CurrentRecord(const CFolderSequence& folders) const;
    FolderIndex CurrentFolderIndex() const { return folder_; }

    int FolderTotal() const { return folderTotal_; }
    int RecordTotal() const { return recordTotal_; }
    const std::string& TemplateName() const { return templateName_; }

  private:
    std::vector<FolderNode> order_;
    // -1 is the tree's root; order_.size() means the walk has ended.
    std::ptrdiff_t position_ = -1;
    FolderIndex folder_ = kTopLevel;
    int recordIndex_ = -1;
    int recordCount_ = 0;
    // Asked for on every field of a record, so found once; nothing in a run changes the document.
    const CRecord* record_ = nullptr;
    int folderTotal_ = 0;
    int recordTotal_ = 0;
    std::string templateName_;
};

struct ReportContext {
    const CFolderSequence& folders;
    CReportCursor& cursor;
    PrintFlags flags;
    std::string documentTitle;  // "Untitled" for a new document
    const IDateFormatter& dates;
    Clock now;  // empty: the local clock
};

class CReportEnvironment : public CEnvironment {
  public:
    explicit CReportEnvironment(ReportContext context);

    void Run(std::string_view name, COutputStream& out, std::span<const CValue> args) override;
    std::unique_ptr<CEnvironment> Child(std::string_view name, COutputStream& out,
                                        std::span<const CValue> args) override;
    CValue Value(std::string_view name, COutputStream& out, std::span<const CValue> args) override;

    int Resolve(std::string_view name) override;
    // The print flags and field captions: fixed for a run.
    bool Constant(int number, CValue& value) override;
    void RunResolved(int number, std::string_view name, COutputStream& out,
                     std::span<const CValue> args) override;
    CValue ValueResolved(int number, std::string_view name, COutputStream& out,
                         std::span<const CValue> args) override;

  private:
    CValue RecordValue(RecordField field) const;

    ReportContext c_;
};

// & < > " ' as HTML entities, so record texts cannot break or add markup; CR LF becomes LF.
std::string HtmlEscape(std::string_view text);

}  // namespace zelvant::report
