#pragma once
// A large, realistic document made the same way on every run, so that figures compare.

#include <string_view>

#include "store/folder_sequence.h"

namespace zelvant::bench {

inline constexpr std::string_view kSampleColumnLayout = "0:180,3:160,4:160,7:120,8:90,11:110";

// Appends about 20 folders (some nested) holding `records` records in all.
void BuildSampleDocument(CFolderSequence& folders, int records);

}  // namespace zelvant::bench
