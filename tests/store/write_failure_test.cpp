// Writes that fail part way, wherever the sink gives out: the writer must say so, never report a
// file that was cut short as saved.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "failing_sink.h"
#include "store/data_file.h"
#include "store/folder_sequence.h"
#include "store/sealed_cipher.h"

namespace zelvant::testing {
namespace {

void FillSome(CFolderSequence& folders) {
    for (int f = 0; f < 3; ++f) {
        CFolder* folder = folders.AppendFolder();
        folder->SetName("Folder " + std::to_string(f));
        folder->SetParent(f == 2 ? 1 : kTopLevel);
        for (int r = 0; r < 4; ++r) {
            CRecord* record = folder->AppendRecord();
            record->SetText(RecordField::SiteName, "site " + std::to_string(r));
            record->SetText(RecordField::Notes, std::string(40 + r * 30, 'n'));
        }
    }
}

SealedKey CheapSealedKey() {
    return SealedKey::Make(Salt{}, SealParams{kMinSealMemoryKiB, kMinSealPasses},
                           [](std::span<std::uint8_t, kSealedKeySize> out) {
                               std::fill(out.begin(), out.end(), std::uint8_t{7});
                               return true;
                           });
}

// Every cut point, from no byte at all to one short of the whole file.
void ExpectEveryCutFails(const DocumentKey& key, const char* form) {
    CFolderSequence folders;
    FillSome(folders);
    const Nonce nonce{};
    const auto whole = SaveDataToMemory(key, folders, "layout", &nonce);
    ASSERT_GT(whole.size(), 500u) << form;
    for (std::size_t limit = 0; limit < whole.size(); ++limit) {
        CFailingSink sink(limit);
        EXPECT_FALSE(SaveData(sink, key, folders, "layout", &nonce)) << form << " cut at " << limit;
        ASSERT_TRUE(sink.failed) << form << " cut at " << limit;
        // What did get out is the start of the file, nothing else.
        ASSERT_TRUE(std::equal(sink.bytes.begin(), sink.bytes.end(), whole.begin()))
            << form << " cut at " << limit;
    }
    CFailingSink roomy(whole.size());
    EXPECT_TRUE(SaveData(roomy, key, folders, "layout", &nonce)) << form;
    EXPECT_EQ(roomy.bytes, whole) << form;
}

TEST(WriteFailure, LegacyWriterReportsEveryCut) {
    ExpectEveryCutFails(MakeFileKey("pw"), "legacy");
}

TEST(WriteFailure, SealedWriterReportsEveryCut) {
    const SealedKey key = CheapSealedKey();
    ASSERT_FALSE(key.Empty());
    ExpectEveryCutFails(key, "sealed");
}

}  // namespace
}  // namespace zelvant::testing
