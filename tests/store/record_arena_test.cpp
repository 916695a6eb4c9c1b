// Loaded records live in their document's arena and their texts point into it: what must hold
// when such texts are edited, removed, copied elsewhere, or outlive the document's folders.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "doc_test_support.h"
#include "store/data_file.h"
#include "store/record_arena.h"

namespace zelvant::testing {
namespace {

// Empty, short, exactly one block, one byte over it, long, and bytes that are not text.
const std::vector<std::string> kTexts = {"",
                                         "x",
                                         std::string(15, 'a'),
                                         std::string(16, 'b'),
                                         std::string(17, 'c'),
                                         std::string(600, 'n'),
                                         std::string("nul\0inside\xFF", 12)};

std::string TextFor(int record, int slot) {
    return kTexts[static_cast<std::size_t>(record + slot) % kTexts.size()] +
           (slot % 2 == 0 ? std::to_string(record) : "");
}

constexpr RecordField kTextFields[] = {
    RecordField::SiteName,      RecordField::Location,    RecordField::Email,
    RecordField::AccountNumber, RecordField::AccountName, RecordField::UserName,
    RecordField::Password,      RecordField::Pin,         RecordField::Notes};

void Fill(CRecord& r, int index) {
    int slot = 0;
    for (RecordField f : kTextFields) {
        r.SetText(f, TextFor(index, slot++));
    }
    r.SetInt(RecordField::Reserved, index);
    r.SetDate(RecordField::Created, {45000.25 + index, 0});
}

bool HasTexts(const CRecord& r, int index) {
    int slot = 0;
    for (RecordField f : kTextFields) {
        if (r.GetText(f) != TextFor(index, slot++)) {
            return false;
        }
    }
    return true;
}

// Two folders of records, the second inside the first, saved in either form and loaded back.
struct Document {
    explicit Document(FileForm form) : key(NewFileKey(form, "pw", CheapSealing().Services())) {
        CFolderSequence made;
        made.AddChildFolder("Top", kTopLevel);
        made.AddChildFolder("Inner", 0);
        for (int i = 0; i < 12; ++i) {
            Fill(*made.FolderAt(i % 2)->AppendRecord(), i);
        }
        bytes = SaveDataToMemory(key, made, "layout");
        CMemorySource source(bytes);
        CMessageLog log;
        ok = LoadData(source, key, folders, log).ok;
    }
    // Record i of the document as made.
    CRecord& Record(int i) { return *folders.FolderAt(i % 2)->RecordAt(i / 2); }

    DocumentKey key;
    Bytes bytes;
    CFolderSequence folders;
    bool ok = false;
};

// What a released text left in the arena. AddressSanitizer builds mark released arena memory
// as dead, so the look is allowed explicitly.
std::string LeftBehind(std::string_view released) {
#if defined(ZELVANT_ARENA_ASAN)
    ASAN_UNPOISON_MEMORY_REGION(released.data(), released.size());
#endif
    return std::string(released.data(), released.size());
}

bool Wiped(std::string_view released) {
    return LeftBehind(released) == std::string(released.size(), '\0');
}

class LoadedRecordTest : public ::testing::TestWithParam<FileForm> {};

INSTANTIATE_TEST_SUITE_P(BothForms, LoadedRecordTest,
                         ::testing::Values(FileForm::Legacy, FileForm::Sealed),
                         [](const auto& form) {
                             return form.param == FileForm::Legacy ? "Legacy" : "Sealed";
                         });

TEST_P(LoadedRecordTest, EditedTextsMoveOutAndTheOldBytesAreWiped) {
    Document doc(GetParam());
    ASSERT_TRUE(doc.ok);
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(HasTexts(doc.Record(i), i)) << i;
        EXPECT_EQ(doc.Record(i).GetInt(RecordField::Reserved), i);
    }
    CRecord& r = doc.Record(5);
    const std::string_view oldNotes = r.GetText(RecordField::Notes);
    const std::string_view oldPin = r.GetText(RecordField::Pin);
    ASSERT_FALSE(oldNotes.empty());
    r.SetText(RecordField::Notes, "edited " + std::string(oldNotes));
    r.SetText(RecordField::Pin, "");
    EXPECT_TRUE(Wiped(oldNotes));
    EXPECT_TRUE(Wiped(oldPin));
    EXPECT_EQ(r.GetText(RecordField::Notes), "edited " + TextFor(5, 8));
    EXPECT_EQ(r.GetText(RecordField::Pin), "");

    // A text set to itself, whether lent by the arena or owned, stays what it was.
    CRecord& other = doc.Record(6);
    other.SetText(RecordField::Password, other.GetText(RecordField::Password));
    other.SetText(RecordField::Password, other.GetText(RecordField::Password));
    EXPECT_TRUE(HasTexts(other, 6));

    // The edits are what is saved; everything else is saved as it was loaded.
    const Bytes saved = SaveDataToMemory(doc.key, doc.folders, "layout");
    CMemorySource source(saved);
    CFolderSequence again;
    CMessageLog log;
    ASSERT_TRUE(LoadData(source, doc.key, again, log).ok);
    EXPECT_EQ(again.FolderAt(1)->RecordAt(2)->GetText(RecordField::Notes),
              "edited " + TextFor(5, 8));
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(again.FolderAt(i % 2)->RecordAt(i / 2)->SameContent(doc.Record(i))) << i;
    }
}

TEST_P(LoadedRecordTest, RemovedRecordsAndFoldersWipeTheirTexts) {
    Document doc(GetParam());
    ASSERT_TRUE(doc.ok);
    const CRecord* removed = &doc.Record(4);
    const std::string_view site = removed->GetText(RecordField::SiteName);
    const std::string_view notes = removed->GetText(RecordField::Notes);
    ASSERT_TRUE(doc.folders.RemoveRecord(0, 2));
    EXPECT_TRUE(Wiped(site));
    EXPECT_TRUE(Wiped(notes));
#if defined(ZELVANT_ARENA_ASAN)
    // A pointer kept to a removed record is caught as it would be for one on the heap.
    EXPECT_TRUE(__asan_address_is_poisoned(removed));
#endif

    std::vector<std::string_view> inner;
    for (int i = 1; i < 12; i += 2) {
        inner.push_back(doc.Record(i).GetText(RecordField::Password));
    }
    ASSERT_TRUE(doc.folders.DeleteFolderWithSubtree(1));
    for (std::string_view text : inner) {
        EXPECT_TRUE(Wiped(text));
    }
    ASSERT_EQ(doc.folders.Count(), 1);
    EXPECT_TRUE(HasTexts(*doc.folders.FolderAt(0)->RecordAt(2), 6));
}

TEST_P(LoadedRecordTest, CopiesOwnTheirTextsAndOutliveTheDocument) {
    auto doc = std::make_unique<Document>(GetParam());
    ASSERT_TRUE(doc->ok);
    // A copy made in the same document: a folder copy copies record by record this way.
    const FolderIndex copyFolder = doc->folders.AddChildFolder("Copy of Top", kTopLevel);
    const FolderIndex top = 1;  // moved down by the new top-level folder
    for (int r = 0; r < doc->folders.FolderAt(top)->RecordCount(); ++r) {
        ASSERT_TRUE(doc->folders.CopyRecord(top, r, copyFolder));
    }
    // Copies into another document, by value and by assignment.
    CFolderSequence elsewhere;
    elsewhere.AppendFolder();
    *elsewhere.FolderAt(0)->AppendRecord() = doc->Record(2);
    const CRecord byValue = doc->Record(4);
    CFolderSequence moved;
    moved.TakeFolders(doc->folders);  // the arena goes with the folders...
    doc.reset();                      // ...so the one left behind frees nothing in use
    EXPECT_TRUE(HasTexts(*elsewhere.FolderAt(0)->RecordAt(0), 2));
    EXPECT_TRUE(HasTexts(byValue, 4));
    ASSERT_EQ(moved.Count(), 3);
    for (int r = 0; r < 6; ++r) {
        EXPECT_TRUE(HasTexts(*moved.FolderAt(0)->RecordAt(r), 2 * r)) << r;
        EXPECT_TRUE(HasTexts(*moved.FolderAt(1)->RecordAt(r), 2 * r)) << r;
    }
    // Copies stay good after the document they came from is gone.
    const CRecord fromMoved = *moved.FolderAt(1)->RecordAt(5);
    moved.Clear();
    EXPECT_TRUE(HasTexts(fromMoved, 10));
}

TEST_P(LoadedRecordTest, FoldersReadBeforeDamageStayUsable) {
    const Document doc(GetParam());
    ASSERT_TRUE(doc.ok);
    // A legacy file cut short: the records before the cut are read; a sealed one is all or none.
    Bytes cut(doc.bytes.begin(), doc.bytes.end() - 700);
    CMemorySource source(cut);
    CFolderSequence partial;
    CMessageLog log;
    EXPECT_FALSE(LoadData(source, doc.key, partial, log).ok);
    if (GetParam() == FileForm::Legacy) {
        ASSERT_EQ(partial.Count(), 2);
        EXPECT_GT(partial.FolderAt(0)->RecordCount(), 0);
        EXPECT_TRUE(HasTexts(*partial.FolderAt(0)->RecordAt(0), 0));
    }
    partial.Clear();
    EXPECT_EQ(partial.TotalRecordCount(), 0);
}

TEST(RecordArenaTest, MemoryNeverMovesAndBlocksGrowPastTheFirst) {
    CRecordArena arena(64);  // far too small: most of this comes from later blocks
    struct Piece {
        std::uint8_t* p;
        std::size_t n;
    };
    std::vector<Piece> pieces;
    std::size_t asked = 0;
    for (std::size_t i = 0; i < 3000; ++i) {
        const std::size_t n = 1 + (i * 37) % 500;
        const std::size_t align = std::size_t{1} << (i % 5);
        auto* p = static_cast<std::uint8_t*>(arena.Allocate(n, align));
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(p) % align, 0u) << i;
        std::fill(p, p + n, static_cast<std::uint8_t>(i));
        pieces.push_back({p, n});
        asked += n;
    }
    // One piece larger than any block so far.
    auto* big = static_cast<std::uint8_t*>(arena.Allocate(std::size_t{3} << 20, 16));
    std::fill(big, big + (std::size_t{3} << 20), 0xEE);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const auto& [p, n] = pieces[i];
        ASSERT_EQ(std::count(p, p + n, static_cast<std::uint8_t>(i)), static_cast<long>(n)) << i;
    }
    EXPECT_GE(arena.Used(), asked + (std::size_t{3} << 20));
    EXPECT_LT(arena.Used(), asked + (std::size_t{3} << 20) + 16 * pieces.size() + 64);
}

}  // namespace
}  // namespace zelvant::testing
