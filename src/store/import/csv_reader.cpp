#include "store/import/csv_reader.h"

#include "store/text_codec.h"

namespace zelvant::importers {
namespace {

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
}

class CsvParser {
  public:
    explicit CsvParser(std::string_view text) : text_(text) {}

    bool Read(std::vector<CsvRow>& rows, std::string& error) {
        if (text_.starts_with("\xEF\xBB\xBF")) {
            pos_ = 3;
        }
        while (pos_ < text_.size()) {
            CsvRow row;
            row.line = line_;
            if (!ReadRow(row, error)) {
                return false;
            }
            // A row of one empty field is an empty line.
            if (row.fields.size() > 1 || !row.fields.front().empty()) {
                rows.push_back(std::move(row));
            }
        }
        return true;
    }

  private:
    bool AtRowEnd() const { return text_[pos_] == '\n' || text_[pos_] == '\r'; }

    void SkipRowEnd() {
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') {
            ++pos_;
        }
        ++pos_;
        ++line_;
    }

    bool ReadRow(CsvRow& row, std::string& error) {
        for (;;) {
            WipedString field;
            const int fieldLine = line_;
            if (pos_ < text_.size() && text_[pos_] == '"') {
                if (!ReadQuoted(field, error)) {
                    return false;
                }
            } else {
                while (pos_ < text_.size() && text_[pos_] != ',' && !AtRowEnd()) {
                    field += text_[pos_++];
                }
            }
            if (!IsValidUtf8(std::string_view(field))) {
                WipeText(field);
                error = At(fieldLine) + "the text is not UTF-8; export the file again as UTF-8";
                return false;
            }
            row.fields.push_back(std::move(field));
            WipeText(field);  // a short text stays behind in the moved-from string
            if (pos_ >= text_.size()) {
                return true;
            }
            if (text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            SkipRowEnd();
            return true;
        }
    }

    bool ReadQuoted(WipedString& field, std::string& error) {
        const int opened = line_;
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size()) {
                error = At(opened) + "a quoted field is not closed";
                return false;
            }
            const char c = text_[pos_++];
            if (c == '"') {
                if (pos_ < text_.size() && text_[pos_] == '"') {
                    field += '"';
                    ++pos_;
                    continue;
                }
                if (pos_ < text_.size() && text_[pos_] != ',' && !AtRowEnd()) {
                    error = At(line_) + "text follows the closing quote of a field";
                    return false;
                }
                return true;
            }
            if (c == '\n' || (c == '\r' && (pos_ >= text_.size() || text_[pos_] != '\n'))) {
                ++line_;
            }
            field += c;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

}  // namespace

bool ReadCsv(std::string_view text, std::vector<CsvRow>& rows, std::string& error) {
    rows.clear();
    CsvParser parser(text);
    if (!parser.Read(rows, error)) {
        rows.clear();
        return false;
    }
    return true;
}

}  // namespace zelvant::importers
