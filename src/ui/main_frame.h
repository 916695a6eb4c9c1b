#pragma once
// The main window: owns the open document (its folders, the file and its key), the settings,
// the folder tree, the record list, the field chooser and the one-second clock.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "desktop/clipboard_timer.h"
#include "desktop/idle_guard.h"
#include "desktop/system_tray.h"
#include "desktop/tray_creation.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "store/folder_sequence.h"
#include "store/zelvant_doc.h"
#include "ui/customization.h"
#include "ui/folder_tree.h"
#include "ui/recent_files.h"
#include "ui/record_props.h"
#include "ui/shutdown.h"
#include "ui/window_lock.h"
#include "ui/zelvant_view.h"

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;

namespace zelvant::controls {
class CReportOptionsCtrl;
}

namespace zelvant::ui {

class CQtPasswordPrompt;
class CQtMessageSink;
class CPasswordPopup;
class CProtectionBar;
class CProtectionLabel;
class CExpiryBar;
class CRecordFinder;
class CDataFileWatch;

inline constexpr int kClockPaneWidth = 275;

// Windows and commands that later parts of the program provide; an empty one leaves its
// command disabled.
struct FrameServices {
    std::function<void()> helpContents;
    // Run on every tick of the one-second clock, after the status bar is updated.
    std::function<void()> everySecond;
};

class CMainFrame : public QMainWindow,
                   public IFolderHost,
                   public IViewHost,
                   private IShutdownHost,
                   private IWindowLockHost {
    Q_OBJECT
  public:
    explicit CMainFrame(settings::ISettingsStore& store, QWidget* parent = nullptr);
    ~CMainFrame() override;

    void SetServices(FrameServices services);

    // The document, for the commands of the File menu; each asks to save a modified document
    // first. False when the user cancelled or the file could not be opened.
    bool NewDocument();
    bool OpenDocument(const QString& path);
    bool SaveDocument();
    bool SaveDocumentAs();
    // Opens the first recent file when asked to at start-up.
    void AutoLoad();
    // File > Strengthen Protection: seals the open legacy file.
    bool StrengthenProtection();
    // How sealed files get their keys (the real Argon2id unless a test says otherwise); each
    // derivation runs off this window's thread behind a busy note.
    void SetSealing(SealingServices sealing);
    CProtectionBar& ProtectionBar() { return *protectionBar_; }
    CProtectionLabel& ProtectionLabel() { return *protectionLabel_; }
    // A file dropped on the window or handed over by a later start: opened after the save
    // question, once no dialog is up and the window is not locked.
    void OpenFromOutside(const QString& path);

    // Ways out besides closing the window, each through the one shutdown path (ui/shutdown.h).
    // The desktop session ends: false when the user chose to stay.
    bool SessionEnding(bool userCanBeAsked);
    // A termination signal: unsaved edits go to the recovery file, then the program ends.
    void Terminate();
    // Ends the program once the shutdown path has run; unset, closing only closes the window.
    void SetEndProgram(std::function<void()> end) { endProgram_ = std::move(end); }
    // Edits an earlier run had to give up are told once, at the next start.
    void TellOfLostEdits();

    CZelvantDoc& Document() { return *doc_; }
    CFolderTree& Tree() { return *tree_; }
    CZelvantView& View() { return *view_; }
    controls::CReportOptionsCtrl& FieldChooser() { return *chooser_; }
    CPasswordPopup& Popup() { return *popup_; }
    // The run's private format for records dragged from the list onto the tree.
    void SetRecordDragFormat(const QString& runName);
    // The record properties dialog for a record of the folder on show, or for a new record
    // placed after the current one.
    void EditRecord(int record);
    void NewRecord();
    void TogglePasswordPopup();
    // The Print/Print Preview dialog over the open document, with the stored print flags.
    void OpenPrintDialog();
    // The options dialog; OK applies the new settings at once.
    void OpenOptionsDialog();
    // File > Import...: another program's export added to the document, which is then modified.
    void ImportExport();
    // The expiry bar for the open document, as the ExpiryWarningDays setting asks.
    void CheckExpiry();
    CRecordFinder& Finder() { return *finder_; }
    CExpiryBar& ExpiryBar() { return *expiryBar_; }

    // Idle protection, from start-up on; false when the source is missing.
    bool StartIdleProtection(std::unique_ptr<desktop::IIdleSource> source) {
        return lock_->StartIdleProtection(std::move(source));
    }
    desktop::CIdleGuard* Guard() const { return lock_->Guard(); }
    desktop::CSecretClipboardTimer& SecretTimer() { return *secretTimer_; }
    // The "Main Window" command: minimises the window, or shows it again after the security
    // password when one is asked for.
    void MainWindowCommand();
    // Brings the window forward at a second start of the program, in the state it is in: a
    // locked window asks for the security password first, as the tray's "Main Window" does.
    void BringForward();
    // Idle protection's lock: dialogs closed (see lock_coordinator.h), the popup hidden, the
    // window minimised (into the tray when asked for) and locked.
    void Lock() { lock_->Lock(); }
    // The desktop locked its screen, is going to sleep or switched to another user: locks as
    // idle protection would, when any protection is on.
    void LockForSessionEvent() { lock_->LockForSessionEvent(); }
    // Minimises as the window's own button would (into the tray when that is asked for).
    void MinimiseMain();
    // The window was started minimised: showing it again goes through the security password.
    void LockForMinimisedStart() { lock_->LockForMinimisedStart(); }
    // Minimised at start, into the tray when that is asked for.
    void StartMinimized();
    // The tray icon, created with its retry once the window exists.
    void CreateTrayIcon();
    desktop::CSystemTray* Tray() const { return tray_; }
    void UpdateTrayTip();
    // Record, list and tree are hidden while the window is locked and protected.
    bool ContentsHidden() const { return lock_->ContentsHidden(); }
    QDockWidget& FieldChooserBar() { return *chooserBar_; }
    QAction* Action(int id) const;
    QStringList RecentFiles() const { return recent_->Files(); }
    QString ClockText() const;

    // IFolderHost and IViewHost.
    CFolderSequence& Folders() override { return folders_; }
    settings::AppSettings& Settings() override { return settings_; }
    QString DocumentTitle() const override;
    void FoldersChanged() override;
    void RecordsChanged() override;
    void ShowMessage(const QString& text, QMessageBox::Icon icon) override;

    // Toolbar and bars back where a first start puts them, and their stored state forgotten.
    void ResetBars();

    // Toolbars, keys, tools, menus and look (main_frame_bars.cpp).
    const CBarCustomization& Customization() const { return custom_; }
    // Shows the new state at once and stores it.
    void SetCustomization(const CBarCustomization& state);
    // View > Toolbars > Customize...; `page` is the page shown first.
    void OpenCustomizeSheet(int page = 0);
    // Starts a user tool over the open file; an empty result means it started.
    using ToolLauncher = std::function<QString(const ToolLaunch& launch)>;
    void SetToolLauncher(ToolLauncher launcher) { launcher_ = std::move(launcher); }
    void RunUserTool(int index);
    // The version reset's steps: toolbars and keys as a first start has them, and the default
    // tools when the list is empty.
    void ResetToolbarsAndShortcuts();
    void AddDefaultToolsIfEmpty();
    QToolBar* Toolbar(int id) const;
    QMenu* ToolsMenu() const { return toolsMenu_; }
    // At exit, with ClearMRU on, the recent-file list is emptied.
    void ForgetRecentFilesIfAsked();

    // One tick of the one-second clock: the status-bar time, then the idle rules.
    void OnTimer();

    // Updates the enabled and checked states of the commands.
    void UpdateCommands();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void CreateCustomizableActions();
    void ApplyCustomization();
    void RebuildToolbar(QToolBar* bar, const ToolbarSpec& spec);
    void RebuildToolsMenu();
    void AddAppearanceMenu(QMenu& menu);
    void TakeToolbarVisibility();
    void CreateActions();
    void CreateMenus();
    void CreateBars();
    void InitialUpdate();
    void UpdateTitle();
    void UpdateProtection();
    bool AskToSaveModified();
    bool SaveTo(const std::string& path, bool asNew);
    QString AskSavePath();
    void RememberDirectory(const QString& path);
    void OnFolderSelected(FolderIndex folder);
    void OnDelete();
    void OnProperties();
    void NewRecordAfter(FolderIndex folder, int current);
    // A record dialog the lock closed is shown again, edits and all.
    void ResumePendingEdit();
    // The current record's field, from Ctrl+C or Ctrl+B in the record list.
    void CopyRecordField(RecordField field);
    // The popup's tree is rebuilt; the record it showed stays selected when it still exists.
    void RefreshPopup(bool keepRecord);
    void OnEscape();
    void SetTopmost(bool on);
    bool RecordCommandsApply() const;
    void SaveWindowState();
    // IWindowLockHost.
    bool WindowMinimised() const override { return isMinimized(); }
    bool WindowShown() const override { return isVisible(); }
    bool PopupShown() const override;
    void HidePopup() override;
    void CloseDialogs() override;
    void Minimise() override { MinimiseMain(); }
    void TakeFocus() override { setFocus(); }
    void RestoreFromTray() override;
    void ShowContents(bool shown) override;
    void Warn(const QString& text) override;
    void Unlocked() override;
    void LockStateChanged() override { UpdateCommands(); }
    void RestoreWindowState();
    // Recovery file and changed-on-disk handling (main_frame_files.cpp).
    enum class Recovery { NotOffered, Restored, Failed, Cancelled };
    Recovery OfferRecovery(const QString& path);
    bool AskingIsPossible() const;
    void OnDiskChange();
    // IShutdownHost (main_frame_exit.cpp).
    bool DocumentModified() const override;
    std::uint64_t DocumentEdits() const override;
    bool AskToSave() override;
    RecoveryResult WriteRecovery() override;
    void NoteLostEdits(RecoveryResult why) override;
    void WriteSettings() override;
    void ClearClipboard() override;
    void EndProgram();

    settings::ISettingsStore& store_;
    settings::AppSettings settings_;
    CFolderSequence folders_;
    std::unique_ptr<CQtPasswordPrompt> prompt_;
    std::unique_ptr<CQtMessageSink> messages_;
    std::unique_ptr<CZelvantDoc> doc_;
    // Declared after the folders, so it is gone before them: it reads them while it exists.
    std::unique_ptr<CPasswordPopup> popup_;
    FrameServices services_;
    // Declared after the settings and the popup: its guard reads the settings while it exists.
    std::unique_ptr<CWindowLock> lock_;
    std::unique_ptr<desktop::CSecretClipboardTimer> secretTimer_;
    std::optional<InterruptedEdit> pendingEdit_;
    desktop::CSystemTray* tray_ = nullptr;
    desktop::CFrameTray* frameTray_ = nullptr;
    std::unique_ptr<desktop::CQtTrayTimer> trayTimer_;
    std::unique_ptr<desktop::CTrayCreation> trayCreation_;

    CZelvantView* view_ = nullptr;
    CProtectionBar* protectionBar_ = nullptr;
    CProtectionLabel* protectionLabel_ = nullptr;
    CRecordFinder* finder_ = nullptr;
    CExpiryBar* expiryBar_ = nullptr;
    CFolderBar* folderBar_ = nullptr;
    CFolderTree* tree_ = nullptr;
    QDockWidget* chooserBar_ = nullptr;
    controls::CReportOptionsCtrl* chooser_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QLabel* clock_ = nullptr;
    QMenu* recordMenu_ = nullptr;
    QMenu* folderMenu_ = nullptr;
    QTimer timer_;
    std::map<int, QAction*> actions_;
    CBarCustomization custom_;
    std::map<int, QToolBar*> toolbars_;  // by the command that toggles them
    QAction* finderAction_ = nullptr;
    QMenu* toolbarsMenu_ = nullptr;
    QMenu* toolsMenu_ = nullptr;
    ToolLauncher launcher_;
    CRecentFiles* recent_ = nullptr;
    bool closing_ = false;
    CShutdown shutdown_;
    std::function<void()> endProgram_;
    CDataFileWatch* fileWatch_ = nullptr;
    bool diskChangePending_ = false;
    QString pendingOpen_;
};

}  // namespace zelvant::ui
