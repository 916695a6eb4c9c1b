#include "store/zelvant_doc.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "store/data_file.h"
#include "store/text_codec.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace zelvant {
namespace {

namespace fs = std::filesystem;

std::string FileNameOf(const std::string& path) {
    return fs::path(path).filename().string();
}

// The legacy key of a typed password; nothing of the password outlives the call.
FileKey LegacyKeyOf(std::string_view typed) {
    std::string bytes = PasswordBytes(typed);
    FileKey key = MakeFileKey(bytes);
    WipeString(bytes);
    return key;
}

SealedKey SealedKeyOf(std::string_view typed, const Salt& salt, const SealParams& params,
                      const KeyDerivation& derive) {
    SecretText password;
    password.text = SealedPasswordBytes(typed);
    if (password.text.empty() && !typed.empty()) {
        return {};
    }
    return SealedKey::Make(salt, params, [&](std::span<std::uint8_t, kSealedKeySize> out) {
        return derive(std::string_view(password.text.data(), password.text.size()), salt, params,
                      out);
    });
}

std::string_view View(const SecretText& text) {
    return {text.text.data(), text.text.size()};
}

}  // namespace

DocumentKey KeyForFile(FileCheck check, const SealedHeader& header, std::string_view typed,
                       const KeyDerivation& derive) {
    if (check != FileCheck::Sealed) {
        return LegacyKeyOf(typed);
    }
    return SealedKeyOf(typed, header.salt, header.params, derive);
}

DocumentKey NewFileKey(FileForm form, std::string_view typed, const SealingServices& sealing) {
    if (form == FileForm::Legacy) {
        return LegacyKeyOf(typed);
    }
    Salt salt{};
    RandomBytes(salt);
    return SealedKeyOf(typed, salt, sealing.chooseParams(), sealing.derive);
}

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
#if !defined(_WIN32)
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return stamp;
    }
    stamp.present = true;
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.mtimeSec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    stamp.mtimeNsec = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
#else
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (path.empty() || ec) {
        return stamp;
    }
    stamp.present = true;
    stamp.size = size;
    stamp.mtimeNsec = fs::last_write_time(path, ec).time_since_epoch().count();
#endif
    return stamp;
}

std::string FilePasswordCaption(const std::string& path) {
    return std::string(kFilePasswordCaption) + FileNameOf(path);
}

std::string BackupPathFor(const std::string& path) {
    fs::path p(path);
    p.replace_extension(".zvb");
    return p.string();
}

bool LegacyBackupBeside(const std::string& path) {
    const std::string backup = BackupPathFor(path);
    std::error_code ec;
    if (backup == path || !fs::is_regular_file(backup, ec)) {
        return false;
    }
    CMessageLog ignored;
    SealedHeader header;
    return CheckDataFile(backup, header, ignored) == FileCheck::Legacy;
}

CZelvantDoc::CZelvantDoc(CFolderSequence& folders, IPasswordPrompt& prompt, IMessageSink& messages,
                         DocSettings settings)
    : folders_(folders), prompt_(prompt), messages_(messages), settings_(settings) {}

void CZelvantDoc::Reset() {
    path_.clear();
    title_ = kUntitled;
    modified_ = false;
    stamp_ = {};
    form_.reset();
    params_ = {};
}

FileForm CZelvantDoc::Form() const {
    if (form_) {
        return *form_;
    }
    return settings_.legacyNewFiles != 0 ? FileForm::Legacy : FileForm::Sealed;
}

void CZelvantDoc::ClearSequence() {
    folders_.Clear();  // also forgets the remembered key
}

void CZelvantDoc::Tell(std::string_view text, MessageIcon icon, std::string caption) {
    messages_.ShowMessage({std::string(text), icon, std::move(caption)});
}

void CZelvantDoc::RefreshTip() const {
    if (refreshTip_) {
        refreshTip_();
    }
}

bool CZelvantDoc::OnNewDocument() {
    Reset();
    if (!startingUp_) {
        ClearSequence();
        RefreshTip();
    }
    return true;
}

bool CZelvantDoc::OnOpenDocument(const std::string& path) {
    errno = 0;
    if (std::FILE* probe = std::fopen(path.c_str(), "rb"); probe != nullptr) {
        std::fclose(probe);
    } else {
        Tell(FileErrorText("open", path, errno != 0 ? errno : ENOENT), MessageIcon::Exclamation);
        return false;
    }
    if (!startingUp_) {
        ClearSequence();
    }
    if (!LoadWithPassword(path)) {
        Reset();
        ClearSequence();
        if (refreshList_) {
            refreshList_();
        }
        return false;
    }
    path_ = path;
    title_ = FileNameOf(path);
    stamp_ = StampOf(path);
    return true;
}

bool CZelvantDoc::AskKeyOfFile(const std::string& path, FileCheck check, const SealedHeader& header,
                               DocumentKey& key) {
    const std::string caption = FilePasswordCaption(path);
    const FileForm form = check == FileCheck::Sealed ? FileForm::Sealed : FileForm::Legacy;
    for (;;) {
        SecretText typed;
        if (!prompt_.AskPassword(caption, form, typed)) {
            return false;
        }
        if (typed.text.empty()) {
            Tell(msg::kEmptyPassword, MessageIcon::Exclamation);
            continue;
        }
        key = KeyForFile(check, header, View(typed), sealing_.derive);
        if (key.Empty()) {
            Tell(msg::kNoMemoryKey, MessageIcon::Stop);
            return false;
        }
        return true;
    }
}

bool CZelvantDoc::AskNewKey(FileForm form, DocumentKey& key) {
    for (;;) {
        SecretText typed;
        SecretText confirmation;
        if (!prompt_.AskNewPassword(form, typed, confirmation)) {
            return false;
        }
        if (typed.text.empty()) {
            Tell(msg::kEmptyPassword, MessageIcon::Exclamation);
            continue;
        }
        if (typed.text != confirmation.text) {
            Tell(msg::kPasswordMismatch, MessageIcon::Exclamation);
            continue;
        }
        if (confirmNewKey_ && !confirmNewKey_()) {
            return false;
        }
        key = NewFileKey(form, View(typed), sealing_);
        if (key.Empty()) {
            Tell(msg::kNoMemoryKey, MessageIcon::Stop);
            return false;
        }
        return true;
    }
}

bool CZelvantDoc::LoadWithPassword(const std::string& path) {
    // A sealed file's header is checked before anyone types a password or a key is derived.
    SealedHeader header;
    const FileCheck check = CheckDataFile(path, header, messages_);
    if (check == FileCheck::Failed) {
        return false;
    }
    DocumentKey key;
    if (!AskKeyOfFile(path, check, header, key)) {
        return false;
    }
    if (settings_.rememberPass != 0) {
        folders_.RememberedKey() = key;
    }
    const LoadResult result = LoadDataFile(path, key, folders_, messages_);
    if (!result.ok) {
        return false;
    }
    columnLayout_ = result.columnLayout;
    modified_ = result.modified;
    form_ = key.Form();
    params_ = check == FileCheck::Sealed ? header.params : SealParams{};
    return true;
}

bool CZelvantDoc::Save(const std::string& path) {
    savePath_ = path;
    backupPath_ = BackupPathFor(path);
    const bool force = forcePasswordPrompt_ != 0;
    const bool saved = SaveWithPassword(path, force);
    forcePasswordPrompt_ = 0;
    if (!saved) {
        return false;
    }
    modified_ = false;
    path_ = path;
    title_ = FileNameOf(path);
    stamp_ = StampOf(path);
    RefreshTip();
    return true;
}

bool CZelvantDoc::SaveAs(const std::string& path) {
    forcePasswordPrompt_ = 1;
    return Save(path);
}

bool CZelvantDoc::SaveWithPassword(const std::string& path, bool forcePrompt) {
    const bool remember = settings_.rememberPass != 0;
    const FileForm form = Form();
    DocumentKey key;
    if (!forcePrompt && remember && !folders_.RememberedKey().Empty() &&
        folders_.RememberedKey().Form() == form) {
        // A sealed file keeps its salt and parameters; only the nonce is new.
        key = folders_.RememberedKey();
    } else if (!AskNewKey(form, key)) {
        return false;
    }
    if (layoutSource_) {
        columnLayout_ = layoutSource_();
    }
    const std::string backup =
        settings_.alwaysBackup != 0 && !skipBackup_ ? backupPath_ : std::string();
    const SafeSaveResult result =
        SaveDataFileWithBackup(path, backup, key, folders_, columnLayout_, messages_);
    switch (result.failed) {
        case SaveStep::None:
            break;
        case SaveStep::Write:
            return false;  // already reported
        case SaveStep::Backup:
        case SaveStep::Replace:
            Tell(std::generic_category().message(result.error), MessageIcon::Information, "Error");
            Tell(std::string(result.failed == SaveStep::Backup ? kBackupFailed : kReplaceFailed) +
                     (result.failed == SaveStep::Backup ? backupPath_ : path),
                 MessageIcon::Information);
            return false;
    }
    // Only a key the file was written with becomes the remembered one.
    if (remember) {
        folders_.RememberedKey() = key;
    }
    form_ = form;
    params_ = form == FileForm::Sealed ? key.Sealed().Params() : SealParams{};
    return true;
}

bool CZelvantDoc::ChangeProtection(FileForm target, std::function<bool()> confirm) {
    if (path_.empty()) {
        return false;
    }
    const std::optional<FileForm> form = form_;
    const SealParams params = params_;
    form_ = target;
    skipBackup_ = target == FileForm::Sealed;
    confirmNewKey_ = std::move(confirm);
    const bool saved = SaveAs(path_);
    skipBackup_ = false;
    confirmNewKey_ = nullptr;
    if (!saved) {
        form_ = form;
        params_ = params;
    }
    return saved;
}

void CZelvantDoc::OnCloseDocument() {
    if (!startingUp_) {
        ClearSequence();
    }
    Reset();
}

bool CZelvantDoc::ChangedOnDisk() const {
    if (path_.empty()) {
        return false;
    }
    return StampOf(path_) != stamp_;
}

}  // namespace zelvant
