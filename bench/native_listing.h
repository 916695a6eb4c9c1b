#pragma once
// The page of the shipped "Full listing" template with every field printed, written by hand in
// plain C++: the least any way of running the template must pay for the same page.

#include <string>
#include <string_view>

#include "report/date_format.h"
#include "store/folder_sequence.h"

namespace zelvant::bench {

struct ListingHeader {
    std::string_view documentTitle;
    std::string_view templateName;
    DateTimeValue now;  // what the report's clock says
};

// Appends the page to `page`. Texts are escaped straight into it; only texts that are not UTF-8
// and the formatter's date texts pass through temporaries of their own.
void WriteNativeListing(const CFolderSequence& folders, const report::IDateFormatter& dates,
                        const ListingHeader& header, std::string& page);

}  // namespace zelvant::bench
