// The sealed form: its exact bytes against an implementation written from the layout with
// libsodium alone, what a reader refuses (and that it refuses it before deriving a key), the
// password's normalisation, and the document's saves and conversions.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "doc_test_support.h"
#include "store/data_file.h"
#include "store/file_codec.h"
#include "store/text_codec.h"
#include "support/sealed_reference.h"

namespace zelvant::testing {
namespace {

namespace ref = reference;
using Names = std::vector<std::string>;

// "Grüße, Zoë" typed with combining marks (form D), then 20 more characters: 30 in all, so
// neither the legacy 16-byte cut nor a 32-byte one could hide a difference at the end.
const std::string kTypedNfd =
    "Gru\xCC\x88\xC3\x9F"
    "e, Zoe\xCC\x88 and twenty more chars!";
const std::string kNfc =
    "Gr\xC3\xBC\xC3\x9F"
    "e, Zo\xC3\xAB and twenty more chars!";

ref::Container FixedContainer() {
    ref::Container c;
    for (std::size_t i = 0; i < c.salt.size(); ++i) {
        c.salt[i] = static_cast<std::uint8_t>(i + 1);
    }
    for (std::size_t i = 0; i < c.nonce.size(); ++i) {
        c.nonce[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    return c;  // 64 MiB, 3 passes: the least a reader accepts, and the cheapest real derivation
}

ref::Document ReferenceDocument() {
    ref::Document doc;
    doc.layout = "0:180,3:160";
    ref::Folder bank{"Bänk", 1, -1, {}};
    ref::Record r;
    r.text = {{"SiteName", "Example Bank"},
              {"Password", "Tide!Compass-77"},
              {"Pin", "0000"},
              {"Notes", "two\r\nlines"},
              {"UserName", "zoë"}};
    r.reserved = 7;
    r.hasExpiry = 1;
    r.created = 45000.25;
    r.modified = 45001.5;
    r.expires = 46000.0;
    bank.records.push_back(r);
    doc.folders = {bank, {"Cards", 0, 0, {}}};
    return doc;
}

// The same document built through the store.
void BuildDocument(CFolderSequence& folders) {
    CFolder* bank = folders.AppendFolder();
    bank->SetName("Bänk");
    bank->SetExpanded(1);
    bank->SetParent(kTopLevel);
    CRecord* r = bank->AppendRecord(DateTimeValue{});
    r->SetText(RecordField::SiteName, "Example Bank");
    r->SetText(RecordField::Password, "Tide!Compass-77");
    r->SetText(RecordField::Pin, "0000");
    r->SetText(RecordField::Notes, "two\r\nlines");
    r->SetText(RecordField::UserName, "zoë");
    r->SetInt(RecordField::Reserved, 7);
    r->SetInt(RecordField::HasExpiry, 1);
    r->SetDate(RecordField::Created, {45000.25, 0});
    r->SetDate(RecordField::Modified, {45001.5, 0});
    r->SetDate(RecordField::ExpiresOn, {46000.0, 0});
    CFolder* cards = folders.AppendFolder();
    cards->SetName("Cards");
    cards->SetParent(0);
}

Nonce NonceOf(const ref::Container& c) {
    Nonce n{};
    std::copy(c.nonce.begin(), c.nonce.end(), n.begin());
    return n;
}

SealedHeader HeaderOf(const ref::Container& c) {
    SealedHeader h;
    h.params = {c.memoryKiB, c.passes};
    std::copy(c.salt.begin(), c.salt.end(), h.salt.begin());
    h.nonce = NonceOf(c);
    return h;
}

TEST(SealedKnownAnswerTest, StoreWritesAndReadsTheReferenceBytes) {
    const ref::Container c = FixedContainer();
    const Bytes expected = ref::Seal(kNfc, c, ref::Encode(ReferenceDocument()));
    ASSERT_EQ(expected.size(), 60 + ref::Encode(ReferenceDocument()).size() + 16);

    // The real Argon2id over the typed (form D) password.
    const DocumentKey key = KeyForFile(FileCheck::Sealed, HeaderOf(c), kTypedNfd, Argon2idDerive);
    ASSERT_FALSE(key.Empty());
    CFolderSequence folders;
    BuildDocument(folders);
    const Nonce nonce = NonceOf(c);
    EXPECT_EQ(SaveDataToMemory(key, folders, "0:180,3:160", &nonce), expected);
    // What the writer reserves is the payload exactly.
    EXPECT_EQ(PlainSize(folders, "0:180,3:160"), expected.size() - 60 - 16);

    CFolderSequence back;
    CMessageLog log;
    CMemorySource source(expected);
    const LoadResult loaded = LoadData(source, key, back, log);
    ASSERT_TRUE(loaded.ok) << (log.messages.empty() ? "" : log.messages[0].text);
    EXPECT_EQ(loaded.columnLayout, "0:180,3:160");
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.FolderAt(0)->RecordAt(0)->GetText(RecordField::UserName), "zoë");
    EXPECT_EQ(back.FolderAt(0)->RecordAt(0)->GetDate(RecordField::ExpiresOn).oa, 46000.0);
    EXPECT_EQ(back.FolderAt(1)->Parent(), 0);
}

TEST(SealedPasswordTest, FormsCAndDGiveTheSameBytesAndLegacyBytesStayAsTyped) {
    EXPECT_EQ(std::string(SealedPasswordBytes(kTypedNfd)), kNfc);
    EXPECT_EQ(std::string(SealedPasswordBytes(kNfc)), kNfc);
    EXPECT_EQ(std::string(SealedPasswordBytes("")), "");
    // Windows-1252 bytes from an older terminal are read as such.
    EXPECT_EQ(std::string(SealedPasswordBytes("caf\xE9")), "caf\xC3\xA9");
    // The legacy form never normalises: its bytes are what older installations typed.
    EXPECT_NE(PasswordBytes(kTypedNfd), PasswordBytes(kNfc));

    CheapSealing cheap;
    const SealedHeader header = HeaderOf(FixedContainer());
    const std::string longest(kMaxSealedPasswordChars, 'x');
    const DocumentKey a = KeyForFile(FileCheck::Sealed, header, longest, cheap.Services().derive);
    EXPECT_EQ(*cheap.lastPassword, longest);  // every character counts
    const DocumentKey b =
        KeyForFile(FileCheck::Sealed, header, longest + "y", cheap.Services().derive);
    EXPECT_NE(std::vector(a.Sealed().Bytes(), a.Sealed().Bytes() + kSealedKeySize),
              std::vector(b.Sealed().Bytes(), b.Sealed().Bytes() + kSealedKeySize));
}

// The whole way a file is opened, in memory: header, key, load.
struct Opened {
    bool ok = false;
    std::string message;
    int folders = 0;
};

Opened OpenBytes(const Bytes& bytes, const std::string& password, const CheapSealing& cheap) {
    Opened out;
    CMessageLog log;
    SealedHeader header;
    const HeaderKind kind = ParseHeader(bytes, bytes.size(), header);
    if (kind == HeaderKind::Corrupt) {
        out.message = msg::kBadFile;
        return out;
    }
    const FileCheck check = kind == HeaderKind::Sealed ? FileCheck::Sealed : FileCheck::Legacy;
    const DocumentKey key = KeyForFile(check, header, password, cheap.Services().derive);
    CFolderSequence folders;
    CMemorySource source(bytes);
    out.ok = LoadData(source, key, folders, log).ok;
    out.message = log.messages.empty() ? "" : log.messages[0].text;
    out.folders = folders.Count();
    return out;
}

class SealedBytesTest : public ::testing::Test {
  protected:
    Bytes Sealed(const std::string& password, const Nonce& nonce = {}) {
        const DocumentKey key = KeyForFile(FileCheck::Sealed, HeaderOf(FixedContainer()), password,
                                           cheap_.Services().derive);
        CFolderSequence folders;
        BuildDocument(folders);
        return SaveDataToMemory(key, folders, "", &nonce);
    }
    // A payload of our choosing, sealed properly.
    Bytes SealPayloadBytes(const Bytes& payload) {
        const DocumentKey key = KeyForFile(FileCheck::Sealed, HeaderOf(FixedContainer()), "pw",
                                           cheap_.Services().derive);
        CMemorySink sink;
        CSealedValueWriter writer(key.Sealed(), {}, sink);
        EXPECT_TRUE(writer.Write(payload) && writer.Finish());
        return sink.bytes;
    }
    CheapSealing cheap_;
};

TEST_F(SealedBytesTest, EveryChangedByteAndEveryTruncationIsRefusedAndLoadsNothing) {
    const Bytes good = Sealed("pw");
    ASSERT_TRUE(OpenBytes(good, "pw", cheap_).ok);
    const Opened wrong = OpenBytes(good, "pW", cheap_);
    EXPECT_FALSE(wrong.ok);
    EXPECT_EQ(wrong.message, msg::kBadFile);

    for (std::size_t i = 0; i < good.size(); ++i) {
        for (std::uint8_t flip : {0x01, 0x80}) {
            Bytes bad = good;
            bad[i] ^= flip;
            const Opened o = OpenBytes(bad, "pw", cheap_);
            EXPECT_FALSE(o.ok) << "byte " << i;
            EXPECT_EQ(o.message, msg::kBadFile) << "byte " << i;
            EXPECT_EQ(o.folders, 0) << "byte " << i;
        }
    }
    for (std::size_t n = 0; n < good.size(); ++n) {
        const Opened o = OpenBytes(Bytes(good.begin(), good.begin() + n), "pw", cheap_);
        EXPECT_FALSE(o.ok) << "length " << n;
        EXPECT_EQ(o.folders, 0) << "length " << n;
    }
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_FALSE(OpenBytes(longer, "pw", cheap_).ok);
}

TEST_F(SealedBytesTest, AuthenticPayloadsMustBeExactlyOneItemSequence) {
    const auto empty = [] {
        ref::PayloadWriter w;
        w.Signature().Int(101).Str("").Int(0);
        return w.Get();
    };
    EXPECT_TRUE(OpenBytes(SealPayloadBytes(empty()), "pw", cheap_).ok);
    EXPECT_EQ(SealPayloadBytes(empty()).size(), 60u + 20u + 16u);

    Bytes trailing = empty();
    trailing.push_back(0);
    Bytes shortened = empty();
    shortened.pop_back();
    const Bytes bad[] = {
        trailing, shortened,
        ref::PayloadWriter().Signature().Int(101).Int(-1).Int(0).Get(),   // negative length
        ref::PayloadWriter().Signature().Int(101).Str("").Int(-1).Get(),  // negative count
        // More folders than the bytes could hold.
        ref::PayloadWriter()
            .Signature()
            .Int(101)
            .Str("")
            .Int(2)
            .Str("a")
            .Int(0)
            .Int(-1)
            .Int(0)
            .Get(),
        ref::PayloadWriter().Int(0).Int(0).Int(101).Str("").Int(0).Get(),  // no signature
    };
    for (std::size_t i = 0; i < std::size(bad); ++i) {
        const Opened o = OpenBytes(SealPayloadBytes(bad[i]), "pw", cheap_);
        EXPECT_FALSE(o.ok) << i;
        EXPECT_EQ(o.message, msg::kBadFile) << i;
    }
    ref::PayloadWriter newer;
    newer.Signature().Int(102).Str("").Int(0);
    EXPECT_EQ(OpenBytes(SealPayloadBytes(newer.Get()), "pw", cheap_).message,
              FormatMessage(msg::kVersionTooNew, 102));
}

TEST(SealedHeaderTest, ParametersOutOfRangeAreRefusedBeforeAnyDerivation) {
    auto header = [](std::uint32_t kib, std::uint32_t passes, std::uint16_t version = 1) {
        ref::Container c = FixedContainer();
        c.memoryKiB = kib;
        c.passes = passes;
        Bytes h = ref::Header(c);
        h[8] = static_cast<std::uint8_t>(version);
        h.resize(h.size() + 16);  // room for the tag
        return h;
    };
    SealedHeader parsed;
    const std::uint32_t mib = 1024;
    for (const auto& [kib, passes] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
             {64 * mib, 3}, {1024 * mib, 32}, {256 * mib, 3}}) {
        const Bytes h = header(kib, passes);
        EXPECT_EQ(ParseHeader(h, h.size(), parsed), HeaderKind::Sealed) << kib << " " << passes;
        EXPECT_EQ(parsed.params, (SealParams{kib, passes}));
    }
    for (const auto& [kib, passes] :
         std::vector<std::pair<std::uint32_t, std::uint32_t>>{{64 * mib - 1, 3},
                                                              {1024 * mib + 1, 3},
                                                              {256 * mib, 2},
                                                              {256 * mib, 33},
                                                              {0xFFFFFFFF, 0xFFFFFFFF}}) {
        const Bytes h = header(kib, passes);
        EXPECT_EQ(ParseHeader(h, h.size(), parsed), HeaderKind::Corrupt) << kib << " " << passes;
    }
    const Bytes v2 = header(256 * mib, 3, 2);
    EXPECT_EQ(ParseHeader(v2, v2.size(), parsed), HeaderKind::Corrupt);
    const Bytes full = header(256 * mib, 3);
    EXPECT_EQ(ParseHeader(full, 60 + 15, parsed), HeaderKind::Corrupt);  // no room for the tag
    EXPECT_EQ(ParseHeader(full, kMaxSealedFileSize + 1, parsed), HeaderKind::Corrupt);
    EXPECT_EQ(ParseHeader(std::span(full.data(), 30), 30, parsed), HeaderKind::Corrupt);
    EXPECT_EQ(ParseHeader(std::span(full.data(), 7), 7, parsed), HeaderKind::Legacy);
}

class SealedDocTest : public DocFixture {
  protected:
    void WriteBytes(const std::string& name, const Bytes& bytes) {
        std::ofstream(PathOf(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    SealedHeader HeaderIn(const std::string& name) {
        SealedHeader h;
        const Bytes b = ReadBytes(PathOf(name));
        EXPECT_EQ(ParseHeader(b, b.size(), h), HeaderKind::Sealed);
        return h;
    }
};

TEST_F(SealedDocTest, DamagedHeadersFailAtOnceWithoutPasswordOrDerivation) {
    ref::Container c = FixedContainer();
    c.memoryKiB = 2 * 1024 * 1024;  // 2 GiB: a reader must not even try
    Bytes file = ref::Header(c);
    file.resize(200);
    WriteBytes("hostile.zvd", file);
    AddFolder("Unsaved");
    EXPECT_FALSE(doc_.OnOpenDocument(PathOf("hostile.zvd")));
    EXPECT_TRUE(prompt_.captions.empty());
    EXPECT_EQ(cheap_.Count(), 0);
    ASSERT_EQ(log_.messages.size(), 1u);
    EXPECT_EQ(log_.messages[0].text, msg::kBadFile);
    EXPECT_EQ(folders_.Count(), 0);
    EXPECT_EQ(doc_.Title(), "Untitled");
}

TEST_F(SealedDocTest, NewFilesAreSealedAndSavesKeepSaltAndParametersWithANewNonce) {
    AddFolder("Bank");
    EXPECT_EQ(doc_.Form(), FileForm::Sealed);
    prompt_.New(kTypedNfd);
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_EQ(prompt_.newForms, std::vector<FileForm>{FileForm::Sealed});
    EXPECT_EQ(*cheap_.lastPassword, kNfc);
    EXPECT_EQ(cheap_.Count(), 1);
    EXPECT_EQ(doc_.Params(), (SealParams{kMinSealMemoryKiB, kMinSealPasses}));
    const SealedHeader first = HeaderIn("bank.zvd");

    AddFolder("Cards");
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_EQ(cheap_.Count(), 1);  // the remembered key: no derivation, no question
    EXPECT_EQ(prompt_.newAsked, 1);
    const SealedHeader second = HeaderIn("bank.zvd");
    EXPECT_EQ(second.salt, first.salt);
    EXPECT_EQ(second.params, first.params);
    EXPECT_NE(second.nonce, first.nonce);

    // Reopened with the same password typed in form C.
    doc_.OnNewDocument();
    prompt_.passwords = {kNfc};
    ASSERT_TRUE(doc_.OnOpenDocument(PathOf("bank.zvd")));
    EXPECT_EQ(prompt_.forms, std::vector<FileForm>{FileForm::Sealed});
    EXPECT_EQ(folders_.Count(), 2);
    EXPECT_EQ(folders_.RememberedKey().Form(), FileForm::Sealed);

    // Save As asks again: a new salt for the new password.
    prompt_.New("other");
    ASSERT_TRUE(doc_.SaveAs(PathOf("copy.zvd")));
    EXPECT_NE(HeaderIn("copy.zvd").salt, first.salt);
    EXPECT_EQ(Load("copy.zvd", "other"), (Names{"Bank", "Cards"}));

    // The setting makes new files legacy; an open sealed file stays sealed.
    doc_.SetSettings({.rememberPass = 1, .alwaysBackup = 0, .legacyNewFiles = 1});
    EXPECT_EQ(doc_.Form(), FileForm::Sealed);
    doc_.OnNewDocument();
    EXPECT_EQ(doc_.Form(), FileForm::Legacy);
    AddFolder("Old");
    prompt_.New("pw");
    ASSERT_TRUE(doc_.Save(PathOf("old.zvd")));
    EXPECT_FALSE(IsSealed("old.zvd"));
    EXPECT_EQ(Load("old.zvd", "pw"), Names{"Old"});
}

TEST_F(SealedDocTest, SealingKeepsNoLegacyBackupAndLeavesAnOlderOneForTheUserToRemove) {
    for (bool olderBackup : {false, true}) {
        SCOPED_TRACE(olderBackup ? "with an older backup" : "without a backup");
        fs::remove(PathOf("bank.zvb"));
        WriteFile("bank.zvd", "weak", {"Bank"});
        if (olderBackup) {
            WriteFile("bank.zvb", "weak", {"Older"});
        }
        doc_.SetSettings({.rememberPass = 1, .alwaysBackup = 1});
        prompt_.passwords = {"weak"};
        ASSERT_TRUE(doc_.OnOpenDocument(PathOf("bank.zvd")));
        EXPECT_EQ(doc_.Form(), FileForm::Legacy);
        const Bytes backupBefore = ReadBytes(PathOf("bank.zvb"));

        // Cancelled: nothing changes.
        EXPECT_FALSE(doc_.ChangeProtection(FileForm::Sealed));
        EXPECT_EQ(doc_.Form(), FileForm::Legacy);
        EXPECT_FALSE(IsSealed("bank.zvd"));

        prompt_.New("a much longer and stronger password");
        ASSERT_TRUE(doc_.ChangeProtection(FileForm::Sealed));
        EXPECT_EQ(prompt_.newForms.back(), FileForm::Sealed);
        EXPECT_TRUE(IsSealed("bank.zvd"));
        EXPECT_EQ(doc_.Form(), FileForm::Sealed);
        EXPECT_FALSE(doc_.IsModified());
        EXPECT_EQ(Load("bank.zvd", "a much longer and stronger password"), Names{"Bank"});
        // The weak file was not kept as the backup; an older one is still there, and said so.
        EXPECT_EQ(ReadBytes(PathOf("bank.zvb")), backupBefore);
        EXPECT_EQ(LegacyBackupBeside(PathOf("bank.zvd")), olderBackup);

        // Later saves of the sealed file keep sealed backups as asked.
        AddFolder("Cards");
        ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
        EXPECT_TRUE(IsSealed("bank.zvb"));
        EXPECT_FALSE(LegacyBackupBeside(PathOf("bank.zvd")));

        // And back, for an older installation.
        prompt_.New("weak again");
        ASSERT_TRUE(doc_.ChangeProtection(FileForm::Legacy));
        EXPECT_FALSE(IsSealed("bank.zvd"));
        EXPECT_EQ(Load("bank.zvd", "weak again"), (Names{"Bank", "Cards"}));
        doc_.OnNewDocument();
    }
    EXPECT_FALSE(doc_.ChangeProtection(FileForm::Sealed));  // no file
}

TEST(SealCalibrationTest, MeasuresBrieflyAndStaysWithinTheLimits) {
    const auto start = std::chrono::steady_clock::now();
    const SealParams params = MeasureSealParams(std::chrono::seconds(1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(params.memoryKiB, kSealMemoryKiB);
    EXPECT_GE(params.passes, kMinSealPasses);
    EXPECT_LE(params.passes, kMaxSealPasses);
    EXPECT_TRUE(Acceptable(params));
}

TEST(ProtectionTextTest, NamesTheFormAndItsParameters) {
    EXPECT_EQ(ProtectionText(FileForm::Sealed, {256 * 1024, 4}),
              "sealed (Argon2id, 256 MiB, 4 passes, XChaCha20-Poly1305)");
    EXPECT_EQ(ProtectionText(FileForm::Sealed, {65537, 3}),
              "sealed (Argon2id, 65537 KiB, 3 passes, XChaCha20-Poly1305)");
    EXPECT_EQ(ProtectionText(FileForm::Legacy), "legacy (no key derivation; weak)");
    EXPECT_EQ(ProtectionText(DocumentKey(MakeFileKey("pw"))), "legacy (no key derivation; weak)");
    EXPECT_EQ(ProtectionText(DocumentKey()), "");
}

}  // namespace
}  // namespace zelvant::testing
