#pragma once
// Comma-separated values as spreadsheets and the exporters write them (RFC 4180): rows end in
// CR LF, LF or CR; a field in double quotes may hold commas, line breaks and quotes (doubled).

#include <string>
#include <string_view>
#include <vector>

#include "store/secure.h"

namespace zelvant::importers {

// Fields are secrets (passwords among them): their storage, the short strings' inline buffers
// too, is wiped when it is given back.
using CsvFields = std::vector<WipedString, WipingAllocator<WipedString>>;

struct CsvRow {
    CsvRow() = default;
    CsvRow(CsvRow&&) noexcept = default;
    CsvRow& operator=(CsvRow&&) noexcept = default;
    ~CsvRow() {
        for (WipedString& field : fields) {
            WipeText(field);
        }
    }

    int line = 0;  // where the row starts, from 1
    CsvFields fields;
};

// A leading UTF-8 byte order mark and empty lines are skipped. False, with `error` naming the
// line, for a quoted field that is never closed, text after a closing quote, or bytes that are not
// UTF-8.
bool ReadCsv(std::string_view text, std::vector<CsvRow>& rows, std::string& error);

}  // namespace zelvant::importers
