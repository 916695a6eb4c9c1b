#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <type_traits>
#include <vector>

#include "doc_test_support.h"
#include "store/data_file.h"
#include "store/file_codec.h"

namespace zelvant {
namespace {

using testing::Bytes;
namespace fs = std::filesystem;

const std::string kSamples = std::string(ZELVANT_TEST_DATA) + "/samples/";

// Builds files value by value, for layouts no writer of ours would produce.
class FileBuilder {
  public:
    explicit FileBuilder(const FileKey& key) : cipher_(key), writer_(cipher_, sink_) {}
    FileBuilder& Sig() { return Do(CFileCodec::WriteSignature(writer_)); }
    FileBuilder& Int(std::int32_t v) { return Do(CFileCodec::WriteInt(writer_, v)); }
    FileBuilder& Str(std::string_view s) { return Do(CFileCodec::WriteString(writer_, s)); }
    FileBuilder& Date(DateTimeValue d) { return Do(CFileCodec::WriteDate(writer_, d)); }
    FileBuilder& Header(std::int32_t version = kFileVersion) { return Sig().Int(version).Str(""); }
    FileBuilder& Folder(std::string_view name, std::int32_t parent, std::int32_t records) {
        return Str(name).Int(0).Int(parent).Int(records);
    }
    FileBuilder& EmptyRecord() {
        for (RecordField f : FileFieldOrder()) {
            switch (InfoOf(f).kind) {
                case FieldKind::Text:
                    Str("");
                    break;
                case FieldKind::Integer:
                    Int(0);
                    break;
                case FieldKind::Date:
                    Date({});
                    break;
            }
        }
        return *this;
    }
    Bytes Done() {
        writer_.Flush();
        return sink_.bytes;
    }

  private:
    FileBuilder& Do(bool ok) {
        EXPECT_TRUE(ok);
        return *this;
    }
    CFileCipher cipher_;
    CMemorySink sink_;
    CValueWriter writer_;
};

struct Loaded {
    LoadResult result;
    CMessageLog log;
    CFolderSequence folders;
};

// A source made from a temporary would read freed memory: it must not compile.
static_assert(!std::is_constructible_v<CMemorySource, Bytes&&>);
static_assert(std::is_constructible_v<CMemorySource, const Bytes&>);

std::unique_ptr<Loaded> Load(const Bytes& bytes, std::string_view password) {
    auto out = std::make_unique<Loaded>();
    CMemorySource source(bytes);
    out->result = LoadData(source, MakeFileKey(password), out->folders, out->log);
    return out;
}

std::string OnlyMessage(const Loaded& l) {
    EXPECT_EQ(l.log.messages.size(), 1u);
    return l.log.messages.empty() ? "" : l.log.messages[0].text;
}

TEST(DataFileLayoutTest, StoredSizes) {
    const FileKey key = MakeFileKey("pw");
    CFolderSequence folders;
    EXPECT_EQ(SaveDataToMemory(key, folders, "").size(), 64u);
    // The length value, then 16 text bytes padded to 32.
    EXPECT_EQ(SaveDataToMemory(key, folders, std::string(16, 'L')).size(), 64u + 32u);
    EXPECT_EQ(SaveDataToMemory(key, folders, std::string(15, 'L')).size(), 64u + 16u);

    folders.AppendFolder();
    const std::size_t oneFolder = SaveDataToMemory(key, folders, "").size();
    EXPECT_EQ(oneFolder, 64u + 4 * 16);
    folders.FolderAt(0)->AppendRecord();
    EXPECT_EQ(SaveDataToMemory(key, folders, "").size(), oneFolder + 224);

    const auto reopened = Load(SaveDataToMemory(key, folders, ""), "pw");
    ASSERT_TRUE(reopened->result.ok);
    EXPECT_EQ(reopened->folders.Count(), 1);
    EXPECT_EQ(reopened->folders.FolderAt(0)->RecordCount(), 1);
}

TEST(DataFileInteropTest, SampleLoadsAndSavesByteForByte) {
    const Bytes original = testing::ReadBytes(kSamples + "sample-v101.zvd");
    const auto l = Load(original, "correct horse");
    ASSERT_TRUE(l->result.ok);
    EXPECT_TRUE(l->log.messages.empty());
    EXPECT_EQ(l->result.version, 101);
    EXPECT_FALSE(l->result.modified);
    EXPECT_EQ(l->result.columnLayout.substr(0, 8), "(14,14) ");
    ASSERT_EQ(l->folders.Count(), 5);
    EXPECT_EQ(l->folders.FolderAt(4)->Name(), "Sub of Work");
    EXPECT_EQ(l->folders.FolderAt(4)->Parent(), 0);
    const CRecord& vpn = *l->folders.FolderAt(0)->RecordAt(1);
    EXPECT_EQ(vpn.GetText(RecordField::Notes), "Token serial 12345\r\nRenew yearly");
    EXPECT_EQ(vpn.GetInt(RecordField::HasExpiry), 1);
    EXPECT_EQ(vpn.GetDate(RecordField::ExpiresOn).oa, 46500.0);
    EXPECT_EQ(vpn.GetDate(RecordField::Created).oa, 46361.40625);
    EXPECT_EQ(l->folders.FolderAt(1)->RecordAt(1)->GetInt(RecordField::Reserved), 3);
    EXPECT_EQ(l->folders.FolderAt(4)->RecordAt(0)->GetText(RecordField::Password),
              std::string(16, 'a'));

    const Bytes saved =
        SaveDataToMemory(MakeFileKey("correct horse"), l->folders, l->result.columnLayout);
    EXPECT_TRUE(saved == original);
}

TEST(DataFileInteropTest, LegacyFileKeepsItsBytesAndIsRewrittenAsCurrent) {
    const Bytes original = testing::ReadBytes(kSamples + "legacy-v100-cp1252.zvd");
    const auto l = Load(original, "M\xFCller");
    ASSERT_TRUE(l->result.ok);
    EXPECT_EQ(l->result.version, 100);
    EXPECT_TRUE(l->result.modified);
    EXPECT_EQ(l->result.columnLayout, "");
    ASSERT_EQ(l->folders.Count(), 1);
    EXPECT_EQ(l->folders.FolderAt(0)->Name(), "Caf\xE9 & Co");
    const CRecord& r = *l->folders.FolderAt(0)->RecordAt(0);
    EXPECT_EQ(r.GetText(RecordField::SiteName), "M\xFCnchen Stadtwerke");
    EXPECT_EQ(r.GetText(RecordField::Password), "gr\xFC\xDF gott");
    EXPECT_EQ(r.GetText(RecordField::Notes), "Stra\xDF\x65 5\r\n\x80 100 monthly");

    const auto again =
        Load(SaveDataToMemory(MakeFileKey("M\xFCller"), l->folders, ""), "M\xFCller");
    ASSERT_TRUE(again->result.ok);
    EXPECT_EQ(again->result.version, 101);
    EXPECT_FALSE(again->result.modified);
    EXPECT_EQ(again->folders.FolderAt(0)->RecordAt(0)->GetText(RecordField::Notes),
              r.GetText(RecordField::Notes));
}

TEST(DataFileVersionTest, OldVersionsLoadNewerAreRefusedShownSigned) {
    const FileKey key = MakeFileKey("pw");
    for (std::int32_t v : {0, 1, 100}) {
        const auto l = Load(FileBuilder(key).Sig().Int(v).Str("old layout").Int(0).Done(), "pw");
        EXPECT_TRUE(l->result.ok) << v;
        EXPECT_TRUE(l->result.modified) << v;
        EXPECT_EQ(l->result.columnLayout, "") << v;
    }
    const auto newer = Load(FileBuilder(key).Sig().Int(102).Str("").Int(0).Done(), "pw");
    EXPECT_FALSE(newer->result.ok);
    EXPECT_EQ(OnlyMessage(*newer),
              "Unable to read Zelvant file - file type version 102/nPlease upgrade Zelvant to "
              "the latest version");
    const auto negative = Load(FileBuilder(key).Sig().Int(INT32_MIN + 1).Done(), "pw");
    EXPECT_FALSE(negative->result.ok);
    EXPECT_NE(OnlyMessage(*negative).find("version -2147483647/n"), std::string::npos);
}

TEST(DataFilePasswordTest, OnlyTheFirstSixteenBytesMatter) {
    CFolderSequence folders;
    folders.AddChildFolder("Bank", kTopLevel);
    const Bytes file = SaveDataToMemory(MakeFileKey("0123456789abcdef-one"), folders, "");
    EXPECT_TRUE(Load(file, "0123456789abcdef-two")->result.ok);

    const auto wrong = Load(file, "0123456789abcdeX");
    EXPECT_FALSE(wrong->result.ok);
    EXPECT_EQ(OnlyMessage(*wrong), msg::kBadFile);
    EXPECT_EQ(wrong->log.messages[0].icon, MessageIcon::Stop);
}

// Every prefix of a good file must fail cleanly, never read past the end.
TEST(DataFileCorruptionTest, TruncatedFilesFailWithTheCorruptMessage) {
    const Bytes original = testing::ReadBytes(kSamples + "sample-v101.zvd");
    for (std::size_t len = 0; len < original.size(); len += (len < 300 ? 1 : 7)) {
        const auto l = Load(Bytes(original.begin(), original.begin() + static_cast<long>(len)),
                            "correct horse");
        EXPECT_FALSE(l->result.ok) << len;
        EXPECT_EQ(OnlyMessage(*l), msg::kBadFile) << len;
    }
    // Folders read before the damage stay for the caller to clear.
    const auto partial = Load(Bytes(original.begin(), original.end() - 100), "correct horse");
    EXPECT_EQ(partial->folders.Count(), 5);
}

TEST(DataFileCorruptionTest, CountsAndLengthsBeyondTheFileFailAtOnce) {
    const FileKey key = MakeFileKey("pw");
    const Bytes hugeLayout =
        FileBuilder(key).Sig().Int(101).Int(INT32_MAX).Str(std::string(100, 'x')).Done();
    ASSERT_LE(hugeLayout.size(), 200u);
    EXPECT_EQ(OnlyMessage(*Load(hugeLayout, "pw")), msg::kBadFile);

    EXPECT_EQ(OnlyMessage(*Load(FileBuilder(key).Header().Int(INT32_MAX).Done(), "pw")),
              msg::kBadFile);
    const auto manyRecords =
        Load(FileBuilder(key).Header().Int(1).Folder("f", -1, 1 << 30).Done(), "pw");
    EXPECT_EQ(OnlyMessage(*manyRecords), msg::kBadFile);
    EXPECT_EQ(manyRecords->folders.FolderAt(0)->RecordCount(), 0);
    const Bytes hugeName =
        FileBuilder(key).Header().Int(1).Int(INT32_MAX).Str(std::string(100, 'x')).Done();
    EXPECT_EQ(OnlyMessage(*Load(hugeName, "pw")), msg::kBadFile);
}

TEST(DataFileCorruptionTest, ParentsMustStandBeforeTheirChildren) {
    const FileKey key = MakeFileKey("pw");
    const auto good = Load(FileBuilder(key)
                               .Header()
                               .Int(3)
                               .Folder("a", -1, 0)
                               .Folder("b", 0, 0)
                               .Folder("c", 1, 0)
                               .Done(),
                           "pw");
    EXPECT_TRUE(good->result.ok);
    for (std::int32_t badParent : {1, 2, 7, -2, INT32_MIN}) {
        const auto l = Load(
            FileBuilder(key).Header().Int(2).Folder("a", -1, 0).Folder("b", badParent, 0).Done(),
            "pw");
        EXPECT_FALSE(l->result.ok) << badParent;
        EXPECT_EQ(OnlyMessage(*l), msg::kBadFile) << badParent;
    }
}

TEST(DataFileCorruptionTest, NonPositiveCountsReadNothingAndTrailingBytesAreIgnored) {
    const FileKey key = MakeFileKey("pw");
    const auto noFolders = Load(FileBuilder(key).Header().Int(-5).Int(12345).Done(), "pw");
    EXPECT_TRUE(noFolders->result.ok);
    EXPECT_EQ(noFolders->folders.Count(), 0);
    const auto noRecords = Load(FileBuilder(key).Header().Int(1).Folder("a", -1, -3).Done(), "pw");
    EXPECT_TRUE(noRecords->result.ok);
    EXPECT_EQ(noRecords->folders.FolderAt(0)->RecordCount(), 0);
    const auto oneRecord =
        Load(FileBuilder(key).Header().Int(1).Folder("a", -1, 1).EmptyRecord().Done(), "pw");
    EXPECT_TRUE(oneRecord->result.ok);
    // Negative string lengths are the empty string.
    const auto negLength = Load(FileBuilder(key).Sig().Int(101).Int(-9).Int(0).Done(), "pw");
    EXPECT_TRUE(negLength->result.ok);
}

class DataFileDiskTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folders_.AddChildFolder("Bank", kTopLevel);
        folders_.FolderAt(0)->AppendRecord()->SetText(RecordField::Password, "hunter2");
    }
    std::vector<std::string> Entries() const { return scratch_.Entries(); }

    testing::ScratchFolder scratch_;
    const fs::path& dir_ = scratch_.Path();
    CFolderSequence folders_;
    CMessageLog log_;
    FileKey key_ = MakeFileKey("pw");
};

TEST_F(DataFileDiskTest, SafeSaveCreatesPrivateFilesAndKeepsModesOnReplace) {
    const std::string path = (dir_ / "bank.zvd").string();
    ASSERT_TRUE(SaveDataFileSafely(path, key_, folders_, "layout", log_));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Entries(), std::vector<std::string>{"bank.zvd"});

    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    folders_.AddChildFolder("Second", kTopLevel);
    ASSERT_TRUE(SaveDataFileSafely(path, key_, folders_, "layout", log_));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    CFolderSequence back;
    const LoadResult r = LoadDataFile(path, key_, back, log_);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.columnLayout, "layout");
    EXPECT_EQ(back.Count(), 2);
    EXPECT_TRUE(log_.messages.empty());
}

TEST_F(DataFileDiskTest, SaveOverADirectoryFailsAndMissingFileIsReported) {
    const fs::path blocker = dir_ / "taken.zvd";
    fs::create_directories(blocker / "inside");
    EXPECT_FALSE(SaveDataFileSafely(blocker.string(), key_, folders_, "", log_));
    EXPECT_TRUE(fs::is_directory(blocker / "inside"));
    EXPECT_EQ(Entries(), std::vector<std::string>{"taken.zvd"});

    CFolderSequence none;
    log_.messages.clear();
    EXPECT_FALSE(LoadDataFile((dir_ / "absent.zvd").string(), key_, none, log_).ok);
    ASSERT_EQ(log_.messages.size(), 1u);
    EXPECT_NE(log_.messages[0].text.find("absent.zvd"), std::string::npos);
    EXPECT_EQ(log_.messages[0].icon, MessageIcon::Exclamation);
}

}  // namespace
}  // namespace zelvant
