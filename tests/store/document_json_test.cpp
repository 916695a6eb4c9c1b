#include "store/document_json.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include "store/data_file.h"
#include "store/json.h"
#include "store/text_codec.h"

namespace zelvant {
namespace {

std::string ReadAll(const std::string& name) {
    std::ifstream in(std::string(ZELVANT_TEST_DATA) + "/samples/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

LoadResult LoadSample(const std::string& name, std::string_view password, CFolderSequence& seq) {
    const std::string bytes = ReadAll(name);
    CMemorySource source({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    CMessageLog log;
    LoadResult r = LoadData(source, MakeFileKey(PasswordBytes(password)), seq, log);
    EXPECT_TRUE(r.ok) << name;
    return r;
}

std::string Doc(std::string_view folders) {
    return R"({"format": "zelvant-json", "version": 1, "folders": )" + std::string(folders) + "}";
}

TEST(DocumentJson, SampleAndItsJsonImageConvertByteForByteBothWays) {
    CFolderSequence loaded;
    const LoadResult l = LoadSample("sample-v101.zvd", "correct horse", loaded);
    EXPECT_EQ(ExportJson(loaded, l.columnLayout, l.version), ReadAll("sample-v101.json"));

    CFolderSequence seq;
    const JsonImportResult r = ImportJson(ReadAll("sample-v101.json"), seq);
    ASSERT_TRUE(r.ok) << r.error;
    const auto saved = SaveDataToMemory(MakeFileKey("correct horse"), seq, r.columnLayout);
    EXPECT_EQ(std::string(saved.begin(), saved.end()), ReadAll("sample-v101.zvd"));
}

TEST(DocumentJson, Windows1252TextsSurviveExportAndImport) {
    CFolderSequence legacy;
    const LoadResult r = LoadSample("legacy-v100-cp1252.zvd", "Müller", legacy);
    const std::string json = ExportJson(legacy, r.columnLayout, r.version);
    EXPECT_NE(json.find("\"name\": \"Café & Co\""), std::string::npos);
    EXPECT_NE(json.find("\"notes\": \"Straße 5\\r\\n€ 100 monthly\""), std::string::npos);
    EXPECT_NE(json.find("\"windows1252\": [\n    \"name\"\n   ]"), std::string::npos);
    EXPECT_TRUE(IsValidUtf8(json));

    CFolderSequence back;
    const JsonImportResult imported = ImportJson(json, back);
    ASSERT_TRUE(imported.ok) << imported.error;
    const FileKey key = MakeFileKey("k");
    EXPECT_EQ(SaveDataToMemory(key, back, imported.columnLayout),
              SaveDataToMemory(key, legacy, r.columnLayout));
    EXPECT_EQ(back.FolderAt(0)->Name(), "Caf\xE9 & Co");
}

TEST(DocumentJson, OddTextsAndDatesRoundTripExactly) {
    CFolderSequence seq;
    CFolder* f = seq.AppendFolder();
    f->SetName(std::string("tab\tquote\"back\\slash\x01\x1f\x7f/\0nul", 25));
    f->SetExpanded(-7);
    CRecord* rec = f->AppendRecord();
    rec->SetText(RecordField::Notes, "\xF0\x9F\x98\x80 emoji, \xE9 lone Latin-1 byte");
    rec->SetText(RecordField::Password, "\xC3\xA9 already UTF-8");
    rec->SetInt(RecordField::Reserved, std::numeric_limits<std::int32_t>::min());
    const double nanWithPayload = std::bit_cast<double>(std::uint64_t{0xFFF8000000000123});
    rec->SetDate(RecordField::Created, {std::numeric_limits<double>::infinity(), 1});
    rec->SetDate(RecordField::Modified, {nanWithPayload, 2});
    rec->SetDate(RecordField::ExpiresOn, {-0.0, -5});
    CRecord* rec2 = f->AppendRecord();
    rec2->SetDate(RecordField::Created, {-std::numeric_limits<double>::infinity(), 0});
    rec2->SetDate(RecordField::Modified, {std::numeric_limits<double>::denorm_min(), 0});
    rec2->SetDate(RecordField::ExpiresOn, {0.1 + 0.2, 0});

    const std::string json = ExportJson(seq, "layout \xFF", 101);
    EXPECT_NE(json.find("\"oa\": \"Infinity\""), std::string::npos);
    EXPECT_NE(json.find("\"oa\": \"NaN:0xfff8000000000123\""), std::string::npos);
    EXPECT_NE(json.find("\"oa\": -0.0"), std::string::npos);
    EXPECT_NE(json.find("\\u0001\\u001f"), std::string::npos);
    CFolderSequence back;
    const JsonImportResult r = ImportJson(json, back);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.columnLayout, "layout \xFF");
    EXPECT_EQ(back.FolderAt(0)->Name(), f->Name());
    const FileKey key = MakeFileKey("k");
    EXPECT_EQ(SaveDataToMemory(key, back, r.columnLayout),
              SaveDataToMemory(key, seq, "layout \xFF"));
    EXPECT_EQ(ExportJson(back, r.columnLayout, 101), json);
}

TEST(DocumentJson, MissingFieldsTakeTheValuesOfNewObjects) {
    CFolderSequence seq;
    const JsonImportResult r = ImportJson(
        Doc(R"([{"records": [{}, {"created": {"oa": 45000.25, "iso": "x"}, "extra": [1]}]},
               {"name": "Sub", "parent": 0, "unknown": {"a": null}}])"),
        seq);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.columnLayout, "");
    ASSERT_EQ(seq.Count(), 2);
    const CFolder& top = *seq.FolderAt(0);
    EXPECT_EQ(top.Name(), "");
    EXPECT_EQ(top.Parent(), kTopLevel);
    EXPECT_EQ(top.Expanded(), 0);
    EXPECT_EQ(seq.FolderAt(1)->Parent(), 0);
    ASSERT_EQ(top.RecordCount(), 2);
    const CRecord& fresh = *top.RecordAt(0);
    EXPECT_EQ(fresh.GetDate(RecordField::Created), fresh.GetDate(RecordField::Modified));
    EXPECT_EQ(fresh.GetDate(RecordField::ExpiresOn), DateOnly(fresh.GetDate(RecordField::Created)));
    EXPECT_EQ(fresh.GetInt(RecordField::HasExpiry), 0);
    EXPECT_EQ(fresh.GetText(RecordField::Password), "");
    EXPECT_EQ(top.RecordAt(1)->GetDate(RecordField::Created), (DateTimeValue{45000.25, 0}));
}

TEST(DocumentJson, BadDocumentsAreRefusedWithPlaceAndLeaveNothing) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1, column 1: the document is empty"},
        {"{\"format\": \"zelvant-json\",}", "line 1, column 27: expected a key in double quotes"},
        {"[1, 2", "line 1, column 6: unexpected end of the document"},
        {"{\"a\": 01}", "line 1, column 8: a number must not start with 0"},
        {"{\"a\": \"x\ny\"}", "line 1, column 9: control character in a string"},
        {"{\"a\": \"\xC3\x28\"}", "line 1, column 8: invalid UTF-8"},
        {"{\"a\": \"\xED\xA0\x80\"}", "line 1, column 8: invalid UTF-8"},
        {"{\"a\": \"\\ud800\"}", "line 1, column 8: unpaired surrogate"},
        {"{\"a\": \"\\ud800\\u0041\"}", "line 1, column 8: unpaired surrogate"},
        {"{\"a\": \"\\udc00\"}", "line 1, column 8: unpaired surrogate"},
        {"{\"a\": \"\\x\"}", "unknown escape"},
        {"{\"a\": 1, \"a\": 2}", "line 1, column 10: duplicate key \"a\""},
        {"{}\n  x", "line 2, column 3: unexpected text after the end"},
        {"{\"a\": tru}", "unexpected character"},
        {"[]", "the document must be a JSON object"},
        {"{\"version\": 1}", "format: missing"},
        {"{\"format\": \"other\", \"version\": 1}", "format: must be \"zelvant-json\""},
        {"{\"format\": \"zelvant-json\", \"version\": 1.0}", "version: must be 1"},
        {Doc("{}"), "folders: must be an array"},
        {Doc("[{\"name\": 5}]"), "folders[0].name: must be a string"},
        {Doc("[{\"expanded\": 2147483648}]"), "folders[0].expanded: must be an integer from"},
        {Doc("[{\"expanded\": 1e2}]"), "folders[0].expanded: must be an integer"},
        {Doc("[{}, {}, {\"parent\": 2}]"),
         "folders[2].parent: must be -1 or the index of an earlier folder"},
        {Doc("[{\"parent\": -2}]"), "folders[0].parent: must be -1 or the index"},
        {Doc("[{\"records\": [{}, 3]}]"), "folders[0].records[1]: must be an object"},
        {Doc("[{\"records\": [{\"created\": {\"oa\": \"soon\"}}]}]"),
         "folders[0].records[0].created.oa: must be a number"},
        {Doc("[{\"records\": [{\"modified\": {\"oa\": 1e999}}]}]"),
         "folders[0].records[0].modified.oa: is out of range"},
        {Doc("[{\"records\": [{\"expiresOn\": {\"oa\": \"NaN:0x0000000000000001\"}}]}]"),
         "expiresOn.oa: must be a number"},
        {Doc("[{\"records\": [{\"pin\": \"\\u4e00\", \"windows1252\": [\"pin\"]}]}]"),
         "folders[0].records[0].pin: holds a character that Windows-1252 has no byte for"},
        {Doc("[{\"windows1252\": [\"parent\"]}]"),
         "folders[0].windows1252[0]: \"parent\" is not a text of this object"},
    };
    for (const auto& [json, message] : cases) {
        CFolderSequence seq;
        const JsonImportResult r = ImportJson(json, seq);
        EXPECT_FALSE(r.ok) << json;
        EXPECT_NE(r.error.find(message), std::string::npos) << json << " gave: " << r.error;
        EXPECT_EQ(seq.Count(), 0) << json;
    }
}

TEST(DocumentJson, ImportAppendsAfterExistingFoldersAndUndoesOnlyItsOwn) {
    CFolderSequence seq;
    seq.AppendFolder()->SetName("kept");
    ASSERT_TRUE(ImportJson(Doc(R"([{"name": "a"}, {"name": "b", "parent": 0}])"), seq).ok);
    ASSERT_EQ(seq.Count(), 3);
    EXPECT_EQ(seq.FolderAt(2)->Parent(), 1);
    EXPECT_FALSE(ImportJson(Doc(R"([{"name": "c"}, {"parent": 5}])"), seq).ok);
    EXPECT_EQ(seq.Count(), 3);
}

TEST(DocumentJson, NestingIsLimitedWithoutExhaustingTheStack) {
    JsonValue v;
    std::string error;
    const std::string deepest = std::string(kJsonMaxDepth, '[') + std::string(kJsonMaxDepth, ']');
    EXPECT_TRUE(ParseJson(deepest, v, error)) << error;
    EXPECT_FALSE(ParseJson("[" + deepest + "]", v, error));
    EXPECT_NE(error.find("nesting deeper than"), std::string::npos);

    CFolderSequence seq;
    const JsonImportResult r = ImportJson(std::string(1'000'000, '['), seq);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(seq.Count(), 0);
}

TEST(DocumentJson, ParserDecodesEscapesAndSurrogatePairs) {
    JsonValue v;
    std::string error;
    ASSERT_TRUE(
        ParseJson("\xEF\xBB\xBF [\"\\ud83d\\ude00\\u00e9\\/\\b\\f\\n\\r\\t\\\"\\\\\", -0, "
                  "1.5e3, true, false, null]",
                  v, error))
        << error;
    ASSERT_EQ(v.items.size(), 6u);
    EXPECT_EQ(v.items[0].text, "\xF0\x9F\x98\x80\xC3\xA9/\b\f\n\r\t\"\\");
    std::int32_t n = 1;
    EXPECT_TRUE(JsonToInt32(v.items[1], n));
    EXPECT_EQ(n, 0);
    double d = 0;
    EXPECT_FALSE(JsonToInt32(v.items[2], n));
    EXPECT_TRUE(JsonToDouble(v.items[2], d));
    EXPECT_EQ(d, 1500.0);
    EXPECT_TRUE(v.items[3].boolean);
    EXPECT_EQ(v.items[5].kind, JsonValue::Kind::Null);
}

TEST(DocumentJson, DoublesUseTheShortestExactForm) {
    EXPECT_EQ(FormatJsonDouble(46361.0), "46361.0");
    EXPECT_EQ(FormatJsonDouble(46361.40625), "46361.40625");
    EXPECT_EQ(FormatJsonDouble(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(FormatJsonDouble(1e300), "1e+300");
    EXPECT_EQ(FormatJsonDouble(-0.0), "-0.0");
}

TEST(DocumentJson, CsvHasLabelsPathsAndQuoting) {
    CFolderSequence seq;
    const FolderIndex bank = seq.AddChildFolder("Bank", kTopLevel);
    const FolderIndex cards = seq.AddChildFolder("K\xE4rten", bank);
    CRecord* r = seq.FolderAt(cards)->AppendRecord(DateTimeValue{46361.5, 0});
    r->SetText(RecordField::SiteName, "Say \"hi\", ok");
    r->SetText(RecordField::Notes, "line1\r\nline2");
    r->SetText(RecordField::Password, "p");
    CRecord* expiring = seq.FolderAt(bank)->AppendRecord(DateTimeValue{46361.5, 0});
    expiring->SetInt(RecordField::HasExpiry, 1);

    const std::string csv = ExportCsv(seq);
    EXPECT_EQ(csv,
              "\"Folder\",\"Site Name/Description\",\"Location\",\"Email\",\"Account Name\","
              "\"Account Number\",\"Username/ID\",\"Password\",\"Pin Number\",\"Created\","
              "\"Last Modified\",\"Expires On\",\"Notes\"\r\n"
              "\"Bank\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"2026-12-05 12:00:00\","
              "\"2026-12-05 12:00:00\",\"2026-12-05 00:00:00\",\"\"\r\n"
              "\"Bank/K\xC3\xA4rten\",\"Say \"\"hi\"\", ok\",\"\",\"\",\"\",\"\",\"\",\"p\",\"\","
              "\"2026-12-05 12:00:00\",\"2026-12-05 12:00:00\",\"\",\"line1\r\nline2\"\r\n");
}

}  // namespace
}  // namespace zelvant
