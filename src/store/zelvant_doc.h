#pragma once
// The one open document: new, open with a password, save with an optional backup, save as, close,
// and which commands are available. Shared by the desktop program and the command line; every
// question to the user goes through the prompt and message interfaces.

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "store/data_file.h"
#include "store/file_protection.h"
#include "store/folder_sequence.h"
#include "store/messages.h"
#include "store/secure.h"

namespace zelvant {

inline constexpr std::string_view kUntitled = "Untitled";
inline constexpr std::string_view kFilePasswordCaption = "File Password:";
inline constexpr std::string_view kBackupFailed = "Save abandoned - unable to create backup file\n";
inline constexpr std::string_view kReplaceFailed = "Save abandoned - unable to copy to file\n";

// Filled by the caller from the settings store; may change while the document is open.
struct DocSettings {
    int rememberPass = 1;    // keep the open file's key so later saves need not ask
    int alwaysBackup = 0;    // keep the previous file as <base>.zvb on every save
    int legacyNewFiles = 0;  // new files in the legacy form, which older versions can open
};

// The two password dialogs. Each returns false when the user cancels. The document checks the
// entries and asks again, as the dialogs' OK buttons would keep them open. `form` is the
// protection of the file the password is for: it decides how long a password may be (32
// characters for the legacy form, kMaxSealedPasswordChars for the sealed one) and is shown.
class IPasswordPrompt {
  public:
    virtual ~IPasswordPrompt() = default;
    // The password of an existing file; `caption` names the file.
    virtual bool AskPassword(const std::string& caption, FileForm form, SecretText& password) = 0;
    // A new file password, typed twice.
    virtual bool AskNewPassword(FileForm form, SecretText& password, SecretText& confirmation) = 0;
};

// How sealed files get their keys. The desktop runs them off its window's thread; tests put
// cheap stand-ins in their place.
struct SealingServices {
    KeyDerivation derive = Argon2idDerive;
    SealParamsChoice chooseParams = CalibratedSealParams;
};

// The key a typed password (UTF-8) stands for in a file of the checked form: the legacy key at
// once, a sealed file's by derivation with the header's salt and parameters. Empty when the
// derivation failed.
DocumentKey KeyForFile(FileCheck check, const SealedHeader& header, std::string_view typed,
                       const KeyDerivation& derive);
// The key of a new password in the given form: a sealed one gets a fresh salt and the chosen
// parameters. Empty when the derivation failed.
DocumentKey NewFileKey(FileForm form, std::string_view typed, const SealingServices& sealing);

// Size, modification time and identity of a file, to notice that another program replaced it.
struct FileStamp {
    bool present = false;
    std::uint64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
FileStamp StampOf(const std::string& path);

class CZelvantDoc {
  public:
    CZelvantDoc(CFolderSequence& folders, IPasswordPrompt& prompt, IMessageSink& messages,
                DocSettings settings = {});
    CZelvantDoc(const CZelvantDoc&) = delete;
    CZelvantDoc& operator=(const CZelvantDoc&) = delete;

    void SetSettings(const DocSettings& settings) { settings_ = settings; }
    const DocSettings& Settings() const { return settings_; }
    void SetSealing(SealingServices sealing) { sealing_ = std::move(sealing); }
    const SealingServices& Sealing() const { return sealing_; }
    // While starting up there is no folder sequence to clear yet.
    void SetStartingUp(bool startingUp) { startingUp_ = startingUp; }

    // The record list owns the column layout: asked for it at every save.
    void SetLayoutSource(std::function<std::string()> source) { layoutSource_ = std::move(source); }
    // Called whenever the tray icon's tip text may have changed.
    void SetTipRefresher(std::function<void()> refresh) { refreshTip_ = std::move(refresh); }
    // Called when a failed open has emptied the document, so the record list refills itself.
    void SetListRefresher(std::function<void()> refresh) { refreshList_ = std::move(refresh); }

    bool OnNewDocument();
    bool OnOpenDocument(const std::string& path);
    // Saves under `path` (the file dialog is the caller's); on success the document takes it.
    bool Save(const std::string& path);
    // Save with a new password asked for.
    bool SaveAs(const std::string& path);
    void OnCloseDocument();

    // The form of the open file; for a document never opened or saved, the form its first save
    // will give it.
    FileForm Form() const;
    // The sealed file's parameters, when Form() is sealed and the file exists.
    const SealParams& Params() const { return params_; }
    // Saves the open file in place in the other form, under a new password asked for with
    // confirmation. `confirm`, when given, is asked once the password is accepted and before
    // anything is derived or written; false cancels. Sealing keeps no backup of the legacy file:
    // that copy is what sealing is meant to be rid of. False, with everything as it was, when
    // cancelled or failed.
    bool ChangeProtection(FileForm target, std::function<bool()> confirm = {});

    bool CanSave() const { return modified_; }
    bool CanSaveAs() const { return folders_.Count() >= 1; }
    bool CanPrint() const { return folders_.Count() >= 1; }

    // The file at the path is no longer the one last opened or saved.
    bool ChangedOnDisk() const;

    const std::string& PathName() const { return path_; }
    const std::string& Title() const { return title_; }
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    const std::string& ColumnLayout() const { return columnLayout_; }
    void SetColumnLayout(std::string layout) { columnLayout_ = std::move(layout); }
    const std::string& BackupPath() const { return backupPath_; }
    const std::string& SavePath() const { return savePath_; }
    int ForcePasswordPrompt() const { return forcePasswordPrompt_; }
    void SetForcePasswordPrompt(int force) { forcePasswordPrompt_ = force; }
    CFolderSequence& Folders() { return folders_; }

  private:
    void Reset();
    void ClearSequence();
    bool LoadWithPassword(const std::string& path);
    bool SaveWithPassword(const std::string& path, bool forcePrompt);
    bool AskKeyOfFile(const std::string& path, FileCheck check, const SealedHeader& header,
                      DocumentKey& key);
    bool AskNewKey(FileForm form, DocumentKey& key);
    void Tell(std::string_view text, MessageIcon icon, std::string caption = {});
    void RefreshTip() const;

    CFolderSequence& folders_;
    IPasswordPrompt& prompt_;
    IMessageSink& messages_;
    DocSettings settings_;
    SealingServices sealing_;
    std::function<std::string()> layoutSource_;
    std::function<void()> refreshTip_;
    std::function<void()> refreshList_;

    std::string path_;
    std::string title_{kUntitled};
    bool modified_ = false;
    std::string columnLayout_;
    std::string backupPath_;
    std::string savePath_;
    int forcePasswordPrompt_ = 0;
    bool startingUp_ = false;
    FileStamp stamp_;
    std::optional<FileForm> form_;  // none until a file is opened or saved
    SealParams params_;
    bool skipBackup_ = false;
    std::function<bool()> confirmNewKey_;
};

// "File Password:" followed by the file's name and extension.
std::string FilePasswordCaption(const std::string& path);
// The same folder and base name, with extension ".zvb".
std::string BackupPathFor(const std::string& path);
// Whether a backup in the legacy form lies beside the file: after sealing, the weak copy that
// would otherwise survive it.
bool LegacyBackupBeside(const std::string& path);

}  // namespace zelvant
