#include "ui/main_frame.h"
#include "ui/local_path.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>
#include <filesystem>

#include "controls/report_ctrl.h"
#include "desktop/autostart.h"
#include "desktop/session_lock.h"
#include "report/print_flags.h"
#include "report/template_files.h"
#include "settings/direct_settings.h"
#include "store/text_codec.h"
#include "ui/busy_work.h"
#include "ui/clipboard.h"
#include "ui/commands.h"
#include "ui/expiry_bar.h"
#include "ui/file_questions.h"
#include "ui/file_watch.h"
#include "ui/icons.h"
#include "ui/import_dlg.h"
#include "ui/lock_coordinator.h"
#include "ui/logo_menu.h"
#include "ui/message_box.h"
#include "ui/options_dlg.h"
#include "ui/password_dlg.h"
#include "ui/password_popup.h"
#include "ui/protection_bar.h"
#include "ui/record_finder.h"
#include "ui/record_props.h"
#include "ui/report_dlg.h"
#include "ui/results_list.h"

namespace zelvant::ui {
namespace {

constexpr std::string_view kBarsSection = "Bars";
constexpr std::string_view kBarsStateKey = "MainWindowState";
constexpr std::string_view kBarsGeometryKey = "MainWindowGeometry";
constexpr const char* kFileFilter = "Zelvant files (*.zvd);;All files (*)";

std::int64_t MonotonicMs() {
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

}  // namespace

CMainFrame::CMainFrame(settings::ISettingsStore& store, QWidget* parent)
    : QMainWindow(parent), store_(store) {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowIcon(AppIcon());
    prompt_ = std::make_unique<CQtPasswordPrompt>(this, store_);
    messages_ = std::make_unique<CQtMessageSink>(this);
    doc_ = std::make_unique<CZelvantDoc>(folders_, *prompt_, *messages_);
    IWindowLockHost& lockHost = *this;  // a private base, reachable only from in here
    lock_ = std::make_unique<CWindowLock>(settings_, lockHost,
                                          std::make_unique<CRedisplayPrompt>(this, store_));
    SetSealing({});

    // Bars that tell about the open file sit above the record list.
    auto* centre = new QWidget(this);
    auto* centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(0);
    protectionBar_ = new CProtectionBar(centre);
    expiryBar_ = new CExpiryBar(centre);
    view_ = new CZelvantView(*this, report::MakeSystemDateFormatter(), centre);
    centreLayout->addWidget(protectionBar_);
    centreLayout->addWidget(expiryBar_);
    centreLayout->addWidget(view_, 1);
    setCentralWidget(centre);
    connect(protectionBar_, &CProtectionBar::StrengthenRequested, this,
            &CMainFrame::StrengthenProtection);
    finder_ = new CRecordFinder(
        *view_, folders_, settings_,
        {[this] { return tree_ != nullptr ? tree_->SelectedFolder() : kTopLevel; },
         [this] { RecordsChanged(); }},
        this);
    connect(expiryBar_, &CExpiryBar::ShowRequested, this, [this] {
        finder_->ShowExpiring(settings::CDirectSettings(store_).ExpiryWarningDays());
    });

    recent_ = new CRecentFiles(store_, this);
    connect(recent_, &CRecentFiles::OpenRequested, this, [this](const QString& path) {
        if (AskToSaveModified()) {
            OpenDocument(path);
        }
    });
    CreateActions();
    CreateBars();
    CreateMenus();

    settings_ = settings::LoadSettings(store_);
    custom_.Load(store_);
    ApplyCustomization();
    doc_->SetSettings({settings_.rememberPass, settings_.alwaysBackup, settings_.legacyNewFiles});
    doc_->SetLayoutSource([this] { return view_->List().GetColumnLayout(); });
    doc_->SetListRefresher([this] { view_->ShowFolder(kTopLevel); });
    doc_->SetTipRefresher([this] { UpdateTrayTip(); });
    recent_->Load();
    RestoreWindowState();
    // The stored bar layout may predate the last change of a bar's visibility.
    ApplyCustomization();

    // The chooser floats near the left of the screen, a third of the way down, until asked for.
    chooserBar_->hide();
    chooserBar_->setFloating(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        chooserBar_->move(100, screen->geometry().height() / 3);
    }

    popup_ = std::make_unique<CPasswordPopup>(settings_, store_);
    tray_ = new desktop::CSystemTray(AppIcon(), this);
    tray_->SetActions({Action(cmd::kMainWindow), Action(cmd::kPasswordPopup), Action(cmd::kHelp),
                       Action(cmd::kAbout), Action(cmd::kExit)});
    tray_->SetMenuStateSource([this] {
        return desktop::TrayMenuState{lock_->Locked(), popup_->isVisible()};
    });
    connect(tray_, &desktop::CSystemTray::TrayActionRequested, this, [this](int action) {
        if (action == 1) {
            TogglePasswordPopup();
        } else {
            MainWindowCommand();
        }
    });
    frameTray_ = new desktop::CFrameTray(
        *this, settings_, [this] { return tray_->IsShown(); }, this);
    secretTimer_ = std::make_unique<desktop::CSecretClipboardTimer>(
        settings_, [] { return MonotonicMs(); }, [] { return ClearOurClipboardText(); });
    SetSecretCopiedHandler([this] { secretTimer_->SecretCopied(); });
    connect(popup_.get(), &CPasswordPopup::VisibilityChanged, this, [this] {
        UpdateCommands();
        tray_->RefreshMenu();
    });

    SetTopmost(settings_.topmost != 0);

    connect(tree_, &CFolderTree::FolderSelected, this, &CMainFrame::OnFolderSelected);
    connect(tree_, &CFolderTree::FolderMenuRequested, this,
            [this](QPoint pos) { folderMenu_->exec(pos); });
    connect(view_, &CZelvantView::RecordMenuRequested, this,
            [this](QPoint pos) { recordMenu_->exec(pos); });
    connect(view_, &CZelvantView::PropertiesRequested, this, &CMainFrame::EditRecord);
    connect(&view_->List(), &controls::CReportCtrl::EmptySpaceDoubleClicked, this, [this] {
        if (QAction* action = Action(custom_.RecordViewDoubleClick());
            action != nullptr && action->isEnabled()) {
            action->trigger();
        }
    });
    connect(tree_, &CFolderTree::RecordsDropped, view_, &CZelvantView::ShowFolder);
    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateCommands(); });
    connect(&view_->List(), &controls::CReportCtrl::BeginDrag, this, [this] { UpdateCommands(); });
    connect(&view_->Results(), &CResultsList::SelectionChanged, this, [this] { UpdateCommands(); });

    fileWatch_ = new CDataFileWatch([this] { return doc_->ChangedOnDisk(); }, this);
    connect(fileWatch_, &CDataFileWatch::ChangedOnDisk, this, &CMainFrame::OnDiskChange);
    setAcceptDrops(true);

    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &CMainFrame::OnTimer);
    timer_.start();
    OnTimer();

    doc_->OnNewDocument();
    InitialUpdate();
}

CMainFrame::~CMainFrame() {
    // Focus moves while the window is torn down; the commands must not be updated from a
    // half-destroyed window.
    disconnect(qApp, nullptr, this, nullptr);
    SetSecretCopiedHandler({});
}

void CMainFrame::SetServices(FrameServices services) {
    services_ = std::move(services);
    UpdateCommands();
}

QAction* CMainFrame::Action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::CreateActions() {
    const int ids[] = {cmd::kNew,           cmd::kOpen,
                       cmd::kSave,          cmd::kSaveAs,
                       cmd::kPrint,         cmd::kExit,
                       cmd::kNewFolder,     cmd::kNewRecord,
                       cmd::kDelete,        cmd::kProperties,
                       cmd::kKeepOnTop,     cmd::kCustomizeView,
                       cmd::kPasswordPopup, cmd::kStandardToolbar,
                       cmd::kStatusBar,     cmd::kFolderWindow,
                       cmd::kOptions,       cmd::kHelp,
                       cmd::kAbout,         cmd::kEscape,
                       cmd::kMainWindow,    cmd::kFind,
                       cmd::kImport};
    for (int id : ids) {
        QAction* action = MakeAction(id, this);
        actions_[id] = action;
        addAction(action);
    }
    actions_[cmd::kStrengthen] = MakeAction(cmd::kStrengthen, this);
    connect(Action(cmd::kNew), &QAction::triggered, this, [this] { NewDocument(); });
    connect(Action(cmd::kOpen), &QAction::triggered, this, [this] {
        if (!AskToSaveModified()) {
            return;
        }
        QFileDialog dialog(this, tr("Open"), QString::fromStdString(settings_.currentDir),
                           tr(kFileFilter));
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (ExecDialog(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            const QString path = dialog.selectedFiles().front();
            RememberDirectory(path);
            OpenDocument(path);
        }
    });
    connect(Action(cmd::kSave), &QAction::triggered, this, [this] { SaveDocument(); });
    connect(Action(cmd::kSaveAs), &QAction::triggered, this, [this] { SaveDocumentAs(); });
    connect(Action(cmd::kStrengthen), &QAction::triggered, this,
            [this] { StrengthenProtection(); });
    connect(Action(cmd::kPrint), &QAction::triggered, this, &CMainFrame::OpenPrintDialog);
    connect(Action(cmd::kExit), &QAction::triggered, this, &QWidget::close);
    connect(Action(cmd::kNewFolder), &QAction::triggered, this, [this] { tree_->NewFolder(); });
    connect(Action(cmd::kNewRecord), &QAction::triggered, this, &CMainFrame::NewRecord);
    connect(Action(cmd::kDelete), &QAction::triggered, this, &CMainFrame::OnDelete);
    connect(Action(cmd::kProperties), &QAction::triggered, this, &CMainFrame::OnProperties);
    Action(cmd::kKeepOnTop)->setCheckable(true);
    connect(Action(cmd::kKeepOnTop), &QAction::triggered, this, [this](bool on) {
        settings_.topmost = on ? 1 : 0;
        SetTopmost(on);
    });
    Action(cmd::kCustomizeView)->setCheckable(true);
    connect(Action(cmd::kCustomizeView), &QAction::triggered, this,
            [this](bool on) { chooserBar_->setVisible(on); });
    Action(cmd::kPasswordPopup)->setCheckable(true);
    connect(Action(cmd::kPasswordPopup), &QAction::triggered, this,
            &CMainFrame::TogglePasswordPopup);
    connect(Action(cmd::kOptions), &QAction::triggered, this, &CMainFrame::OpenOptionsDialog);
    connect(Action(cmd::kHelp), &QAction::triggered, this, [this] {
        if (services_.helpContents) {
            services_.helpContents();
        }
    });
    connect(Action(cmd::kAbout), &QAction::triggered, this, [this] {
        QMessageBox about(this);
        about.setWindowTitle(tr("About Zelvant"));
        about.setIconPixmap(AppIcon().pixmap(64, 64));
        about.setText(tr("<b>Zelvant</b> %1").arg(QStringLiteral(ZELVANT_VERSION)));
        about.setInformativeText(
            tr("Keeps your logins, account numbers, PINs and notes in one encrypted file."));
        ExecDialog(about);
    });
    connect(Action(cmd::kEscape), &QAction::triggered, this, &CMainFrame::OnEscape);
    connect(Action(cmd::kMainWindow), &QAction::triggered, this, &CMainFrame::MainWindowCommand);

    // Bound to the record lists alone: Ctrl+C anywhere else keeps copying the selection.
    for (const auto& [id, field] : {std::pair{cmd::kCopyPassword, RecordField::Password},
                                    std::pair{cmd::kCopyUserName, RecordField::UserName}}) {
        QAction* action = MakeAction(id, this);
        actions_[id] = action;
        action->setShortcutContext(Qt::WidgetShortcut);
        view_->List().addAction(action);
        view_->Results().addAction(action);
        connect(action, &QAction::triggered, this,
                [this, copied = field] { CopyRecordField(copied); });
    }
    connect(Action(cmd::kFind), &QAction::triggered, this, [this] { finder_->Focus(); });
    connect(Action(cmd::kImport), &QAction::triggered, this, &CMainFrame::ImportExport);
    CreateCustomizableActions();
}

void CMainFrame::CreateBars() {
    toolbar_ = new QToolBar(tr("Standard"), this);
    toolbar_->setObjectName(QStringLiteral("Standard"));
    // The find box stays at the end of the bar, whatever buttons the user puts before it.
    finderAction_ = toolbar_->addWidget(finder_->Box());
    toolbars_[cmd::kStandardToolbar] = toolbar_;
    addToolBar(Qt::TopToolBarArea, toolbar_);

    protectionLabel_ = new CProtectionLabel(this);
    statusBar()->addPermanentWidget(protectionLabel_);
    clock_ = new QLabel(this);
    clock_->setObjectName(QStringLiteral("Clock"));
    clock_->setFixedWidth(kClockPaneWidth);
    clock_->setAlignment(Qt::AlignCenter);
    statusBar()->addPermanentWidget(clock_);

    folderBar_ = new CFolderBar(*this, this);
    tree_ = folderBar_->Tree();
    addDockWidget(Qt::LeftDockWidgetArea, folderBar_);

    chooserBar_ = new QDockWidget(tr("Zelvant Field Chooser"), this);
    chooserBar_->setObjectName(QStringLiteral("FieldChooser"));
    chooserBar_->setAllowedAreas(Qt::NoDockWidgetArea);
    chooser_ = new controls::CReportOptionsCtrl(chooserBar_);
    chooser_->setToolTip(
        tr("Drag a field onto the list's header to show it; drag a column "
           "header here to hide it."));
    chooserBar_->setWidget(chooser_);
    addDockWidget(Qt::TopDockWidgetArea, chooserBar_);
    connect(chooserBar_, &QDockWidget::visibilityChanged, this, [this] { UpdateCommands(); });
    view_->AttachFieldChooser(chooser_);
}

void CMainFrame::CreateMenus() {
    const auto addMenu = [this](const QString& title) {
        auto* menu = new CLogoMenu(title, this);
        menuBar()->addMenu(menu);
        return menu;
    };
    CLogoMenu* file = addMenu(tr("&File"));
    for (int id :
         {cmd::kNew, cmd::kOpen, cmd::kSave, cmd::kSaveAs, cmd::kStrengthen, cmd::kImport}) {
        file->addAction(Action(id));
    }
    file->addSeparator();
    file->addAction(Action(cmd::kPrint));
    file->addSeparator();
    recent_->SetMenu(file->AddLogoMenu(tr("Recent &Files")));
    file->addSeparator();
    file->addAction(Action(cmd::kExit));

    CLogoMenu* records = addMenu(tr("&Records"));
    for (int id : {cmd::kNewFolder, cmd::kNewRecord, 0, cmd::kDelete, cmd::kProperties, 0,
                   cmd::kCopyPassword, cmd::kCopyUserName, 0, cmd::kFind}) {
        if (id == 0) {
            records->addSeparator();
        } else {
            records->addAction(Action(id));
        }
    }

    CLogoMenu* view = addMenu(tr("&View"));
    QAction* toolbarToggle = Action(cmd::kStandardToolbar);
    toolbarToggle->setCheckable(true);
    connect(toolbarToggle, &QAction::triggered, toolbar_, &QWidget::setVisible);
    connect(toolbar_, &QToolBar::visibilityChanged, toolbarToggle, &QAction::setChecked);
    QAction* statusToggle = Action(cmd::kStatusBar);
    statusToggle->setCheckable(true);
    statusToggle->setChecked(true);
    connect(statusToggle, &QAction::triggered, statusBar(), &QWidget::setVisible);
    QAction* folderToggle = Action(cmd::kFolderWindow);
    folderToggle->setCheckable(true);
    connect(folderToggle, &QAction::triggered, folderBar_, &QWidget::setVisible);
    connect(folderBar_, &QDockWidget::visibilityChanged, folderToggle, &QAction::setChecked);
    toolbarsMenu_ = view->AddLogoMenu(tr("&Toolbars"));
    toolbarsMenu_->addAction(Action(cmd::kStandardToolbar));
    for (int id = cmd::kUserToolbarFirst; id <= cmd::kUserToolbarLast; ++id) {
        toolbarsMenu_->addAction(Action(id));
    }
    toolbarsMenu_->addSeparator();
    toolbarsMenu_->addAction(Action(cmd::kCustomize));
    for (int id : {cmd::kStatusBar, cmd::kFolderWindow, 0, cmd::kCustomizeView, cmd::kPasswordPopup,
                   cmd::kKeepOnTop, 0, cmd::kOptions}) {
        if (id == 0) {
            view->addSeparator();
        } else {
            view->addAction(Action(id));
        }
    }
    AddAppearanceMenu(*view->AddLogoMenu(tr("&Appearance")));

    toolsMenu_ = addMenu(QString::fromUtf8(FindCommand(cmd::kUserTools)->menuText));
    RebuildToolsMenu();

    CLogoMenu* help = addMenu(tr("&Help"));
    help->addAction(Action(cmd::kHelp));
    help->addSeparator();
    help->addAction(Action(cmd::kAbout));

    recordMenu_ = new CLogoMenu(tr("Record menu"), this);
    recordMenu_->addAction(Action(cmd::kProperties));
    recordMenu_->addAction(Action(cmd::kDelete));
    folderMenu_ = new CLogoMenu(tr("Folder menu"), this);
    folderMenu_->addAction(Action(cmd::kNewFolder));
    folderMenu_->addAction(Action(cmd::kProperties));
    folderMenu_->addAction(Action(cmd::kDelete));
}

QString CMainFrame::ClockText() const {
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::LongFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), QLocale::ShortFormat);
}

void CMainFrame::OnTimer() {
    clock_->setText(ClockText());
    lock_->Tick();
    secretTimer_->Tick();
    // Whatever had to wait for a dialog to close or the window to come back.
    if (diskChangePending_) {
        OnDiskChange();
    }
    if (!pendingOpen_.isEmpty()) {
        OpenFromOutside(std::exchange(pendingOpen_, QString()));
    }
    if (services_.everySecond) {
        services_.everySecond();
    }
}

QString CMainFrame::DocumentTitle() const {
    return QString::fromStdString(doc_->Title());
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(QStringLiteral("Zelvant - ") + DocumentTitle());
    tree_->SetRootTitle(DocumentTitle());
    UpdateProtection();
}

void CMainFrame::UpdateProtection() {
    protectionBar_->ShowFor(FromLocalPath(doc_->PathName()), doc_->Form());
    protectionLabel_->ShowFor(*doc_);
}

void CMainFrame::SetSealing(SealingServices sealing) {
    doc_->SetSealing(BusySealing(this, std::move(sealing)));
}

bool CMainFrame::StrengthenProtection() {
    doc_->SetSettings({settings_.rememberPass, settings_.alwaysBackup, settings_.legacyNewFiles});
    const bool sealed = zelvant::ui::StrengthenProtection(this, *doc_);
    UpdateTitle();
    UpdateCommands();
    return sealed;
}

void CMainFrame::InitialUpdate() {
    // Another document: a record dialog waiting for the unlock has nothing to go back to.
    pendingEdit_.reset();
    finder_->Dismiss();
    expiryBar_->hide();
    tree_->Rebuild();
    const bool untitled = doc_->Title() == kUntitled && doc_->PathName().empty();
    view_->InitialUpdate(untitled ? settings::CDirectSettings(store_).ReportCtrl()
                                  : doc_->ColumnLayout());
    UpdateTitle();
    tree_->SelectFolder(kTopLevel);
    tree_->setFocus();
    RefreshPopup(false);
    UpdateCommands();
    fileWatch_->Watch(FromLocalPath(doc_->PathName()));
}

void CMainFrame::FoldersChanged() {
    doc_->SetModifiedFlag(true);
    RefreshPopup(false);
    // Results name records by their place, which the change may have moved.
    finder_->Refresh();
    UpdateCommands();
}

void CMainFrame::RecordsChanged() {
    FoldersChanged();
}

void CMainFrame::ShowMessage(const QString& text, QMessageBox::Icon icon) {
    ShowMessageBox(this, text, icon);
}

void CMainFrame::OnFolderSelected(FolderIndex folder) {
    finder_->Dismiss();
    view_->ShowFolder(folder);
    UpdateCommands();
}

bool CMainFrame::RecordCommandsApply() const {
    return view_->ListHasFocus() && view_->CurrentRecord() >= 0;
}

void CMainFrame::UpdateCommands() {
    if (actions_.empty() || tree_ == nullptr) {
        return;
    }
    const bool folderSelected = tree_->SelectedFolder() >= 0;
    Action(cmd::kSave)->setEnabled(doc_->CanSave());
    Action(cmd::kSaveAs)->setEnabled(doc_->CanSaveAs());
    Action(cmd::kStrengthen)
        ->setEnabled(!doc_->PathName().empty() && doc_->Form() == FileForm::Legacy);
    Action(cmd::kPrint)->setEnabled(doc_->CanPrint());
    Action(cmd::kNewFolder)->setEnabled(tree_->currentItem() != nullptr);
    Action(cmd::kNewRecord)->setEnabled(folderSelected);
    const bool onRecords = RecordCommandsApply() || finder_->OwnsRecordCommands();
    Action(cmd::kDelete)->setEnabled(onRecords || folderSelected);
    Action(cmd::kProperties)->setEnabled(onRecords || folderSelected);
    Action(cmd::kCopyPassword)->setEnabled(onRecords);
    Action(cmd::kCopyUserName)->setEnabled(onRecords);
    Action(cmd::kKeepOnTop)->setChecked(settings_.topmost != 0);
    Action(cmd::kCustomizeView)->setChecked(chooserBar_->isVisible());
    Action(cmd::kPasswordPopup)->setChecked(popup_ != nullptr && popup_->isVisible());
    Action(cmd::kMainWindow)->setCheckable(true);
    Action(cmd::kMainWindow)->setChecked(!lock_->Locked());
    if (tray_ != nullptr) {
        tray_->RefreshMenu();
    }
    Action(cmd::kHelp)->setEnabled(bool(services_.helpContents));
}

void CMainFrame::OnDelete() {
    if (finder_->OwnsRecordCommands()) {
        finder_->DeleteSelected();
    } else if (RecordCommandsApply()) {
        view_->DeleteRecords();
    } else if (tree_->SelectedFolder() >= 0) {
        tree_->DeleteFolder();
    }
    UpdateCommands();
}

void CMainFrame::OnProperties() {
    if (finder_->OwnsRecordCommands()) {
        finder_->EditCurrent(this);
    } else if (RecordCommandsApply()) {
        EditRecord(view_->CurrentRecord());
    } else if (tree_->SelectedFolder() >= 0) {
        tree_->FolderProperties();
    }
    UpdateCommands();
}

void CMainFrame::EditRecord(int record) {
    const FolderIndex folder = view_->FolderOnShow();
    if (folder < 0 || record < 0) {
        return;
    }
    if (CRecordProps::EditRecord(this, folders_, folder, record, &pendingEdit_)) {
        doc_->SetModifiedFlag(true);
        view_->RefreshRecord(record);
        RefreshPopup(true);
        view_->SelectRecord(record);
        UpdateCommands();
    }
}

void CMainFrame::NewRecord() {
    const FolderIndex folder = tree_->SelectedFolder();
    if (folder < 0) {
        return;
    }
    NewRecordAfter(folder, view_->FolderOnShow() == folder ? view_->CurrentRecord() : -1);
}

void CMainFrame::NewRecordAfter(FolderIndex folder, int current) {
    const int record = CRecordProps::NewRecord(this, folders_, folder, current, &pendingEdit_);
    if (record >= 0) {
        doc_->SetModifiedFlag(true);
        view_->ShowFolder(folder);
        RefreshPopup(false);
        view_->SelectRecord(record);
        UpdateCommands();
    }
}

void CMainFrame::OpenPrintDialog() {
    if (!doc_->CanPrint()) {
        return;
    }
    report::PrintFlags flags;
    for (const auto& field : report::PrintFlagFields()) {
        flags.Set(field.field, settings_.printing.Get(field.field));
    }
    CReportDlg dialog(folders_, DocumentTitle(), flags,
                      report::TemplateFolders(LocalPath(QCoreApplication::applicationDirPath())),
                      store_, this);
    connect(&dialog, &CReportDlg::HelpRequested, this, [this] {
        if (services_.helpContents) {
            services_.helpContents();
        }
    });
    ExecDialog(dialog);
    for (const auto& field : report::PrintFlagFields()) {
        if (int* flag = settings_.printing.Flag(field.field)) {
            *flag = flags.Prints(field.field) ? 1 : 0;
        }
    }
}

void CMainFrame::OpenOptionsDialog() {
    COptionsDlg dialog(settings_, this);
    connect(&dialog, &COptionsDlg::HelpRequested, this, [this] {
        if (services_.helpContents) {
            services_.helpContents();
        }
    });
    if (ExecDialog(dialog) != QDialog::Accepted) {
        return;
    }
    settings_ = dialog.Result();
    doc_->SetSettings({settings_.rememberPass, settings_.alwaysBackup, settings_.legacyNewFiles});
    OptionsEffects effects;
    effects.trayDefaultItem = [this](int action) { tray_->SetDefaultTrayItem(action); };
    effects.autostart = [this](bool on) {
        QString error;
        const bool done = on ? desktop::AddAutostartEntry(desktop::AutostartProgramPath(), &error)
                             : desktop::RemoveAutostartEntry(&error);
        if (!done) {
            // The rest of the options still apply.
            ShowMessageBox(this, error, QMessageBox::NoIcon);
        }
    };
    effects.popupMasks = [this](const settings::PopupFlags& flags) { popup_->SetMasks(flags); };
    effects.save = [this](const settings::AppSettings& s) { settings::SaveSettings(store_, s); };
    effects.trayShow = [this](bool on) {
        if (trayCreation_ != nullptr) {
            trayCreation_->ApplyTrayIcon(on);
        }
    };
    effects.trayTip = [this] { UpdateTrayTip(); };
    effects.topmost = [this](bool on) { SetTopmost(on); };
    effects.refreshList = [this] {
        const int record = view_->CurrentRecord();
        view_->ApplyDisplaySettings();
        view_->ShowFolder(view_->FolderOnShow());
        if (record >= 0) {
            view_->SelectRecord(record);
        }
    };
    ApplyOptions(settings_, effects);
    UpdateProtection();  // what a new file would get may have changed
    UpdateCommands();
}

void CMainFrame::TogglePasswordPopup() {
    desktop::PopupAction action =
        popup_->isVisible() ? desktop::PopupAction::Hide : desktop::PopupAction::Show;
    if (const std::optional<desktop::PopupAction> verdict = lock_->PopupCommand()) {
        action = *verdict;
    }
    if (action == desktop::PopupAction::Hide) {
        popup_->hide();
    } else if (action == desktop::PopupAction::Show) {
        popup_->show();
        popup_->raise();
        popup_->activateWindow();
    }
    UpdateCommands();
}

void CMainFrame::BringForward() {
    // A dialog already up (the password prompt itself, say) is the one to come forward.
    if (QWidget* front = QApplication::activeModalWidget()) {
        front->raise();
        front->activateWindow();
        return;
    }
    // Asked again while a typed password is being checked: that check decides.
    if (PasswordCheckRunning()) {
        return;
    }
    if (lock_->Locked()) {
        MainWindowCommand();
        return;
    }
    if (isMinimized() || !isVisible()) {
        frameTray_->RestoreFromTray();
    }
    raise();
    activateWindow();
}

void CMainFrame::Unlocked() {
    if (pendingEdit_) {
        // Once the window is back up, so the dialog has it to sit on.
        QTimer::singleShot(0, this, &CMainFrame::ResumePendingEdit);
    }
}

void CMainFrame::ResumePendingEdit() {
    if (!pendingEdit_ || lock_->Locked() || isMinimized()) {
        return;
    }
    const FolderIndex folder = pendingEdit_->folder;
    const int record = pendingEdit_->record;
    const bool isNew = pendingEdit_->isNew;
    tree_->SelectFolder(folder);
    if (isNew) {
        NewRecordAfter(folder, record);
    } else {
        EditRecord(record);
    }
}

void CMainFrame::CopyRecordField(RecordField field) {
    // From the search results when they have the keyboard, else from the folder's list.
    const RecordRef ref = finder_->OwnsRecordCommands()
                              ? view_->Results().CurrentRef()
                              : RecordRef{view_->FolderOnShow(), view_->CurrentRecord()};
    const CFolder* folder = folders_.FolderAt(ref.folder);
    const CRecord* record = folder != nullptr ? folder->RecordAt(ref.record) : nullptr;
    if (record == nullptr) {
        return;
    }
    const QString what = field == RecordField::Password ? tr("Password") : tr("User name");
    std::string text = DisplayText(record->GetText(field));
    if (text.empty()) {
        statusBar()->showMessage(tr("%1 is empty: nothing copied.").arg(what));
        return;
    }
    QString copied = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    WipeString(text);
    PutSecretTextOnClipboard(copied);
    if (!copied.isEmpty() && copied.isDetached()) {
        SecureWipe(copied.data(), static_cast<std::size_t>(copied.size()) * sizeof(QChar));
    }
    const std::optional<int> left = secretTimer_->SecondsLeft();
    if (!left) {
        statusBar()->showMessage(tr("%1 copied; it stays on the clipboard.").arg(what));
    } else {
        statusBar()->showMessage(
            (*left == 1 ? tr("%1 copied; it is cleared from the clipboard in 1 second.")
                        : tr("%1 copied; it is cleared from the clipboard in %2 seconds."))
                .arg(what)
                .arg(*left));
    }
}

void CMainFrame::StartMinimized() {
    frameTray_->StartMinimized();
}

void CMainFrame::CreateTrayIcon() {
    trayTimer_ = std::make_unique<desktop::CQtTrayTimer>(this);
    desktop::TrayCreationHooks hooks;
    hooks.information = [this](const QString& text) {
        ShowMessageBox(this, text, QMessageBox::Information);
    };
    hooks.error = [this](const QString& text) {
        ShowMessageBox(this, text, QMessageBox::Critical);
    };
    hooks.status = [this](const QString& text) { statusBar()->showMessage(text); };
    // Ends the run without saving the settings record; the store still writes what the tray
    // learned when it is destroyed on the way out.
    hooks.exitProcess = [](int code) {
        QTimer::singleShot(0, qApp, [code] { QCoreApplication::exit(code); });
    };
    trayCreation_ =
        std::make_unique<desktop::CTrayCreation>(*tray_, *trayTimer_, store_, std::move(hooks));
    trayCreation_->Start([this](desktop::CTrayCreation::State) {
        tray_->SetDefaultTrayItem(settings_.trayAction);
        trayCreation_->ApplyTrayIcon(settings_.trayIcon != 0);
        UpdateTrayTip();
    });
}

void CMainFrame::UpdateTrayTip() {
    if (tray_ == nullptr || doc_ == nullptr) {
        return;
    }
    tray_->SetTrayTip(desktop::TrayToolTip(QString::fromLatin1(desktop::kTrayToolTip),
                                           FromLocalPath(doc_->PathName()),
                                           settings_.fileToolTip != 0));
}

bool CMainFrame::PopupShown() const {
    return popup_->isVisible();
}

void CMainFrame::HidePopup() {
    popup_->hide();
}

void CMainFrame::CloseDialogs() {
    CloseDialogsForLock();
}

void CMainFrame::RestoreFromTray() {
    frameTray_->RestoreFromTray();
}

void CMainFrame::ShowContents(bool shown) {
    view_->setVisible(shown);
    tree_->setVisible(shown);
}

void CMainFrame::Warn(const QString& text) {
    ShowMessageBox(this, text, QMessageBox::Warning);
}

void CMainFrame::MinimiseMain() {
    showMinimized();
}

void CMainFrame::MainWindowCommand() {
    lock_->MainWindowCommand();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    lock_->WindowStateChanged(change->oldState().testFlag(Qt::WindowMinimized));
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    lock_->WindowResized();
}

void CMainFrame::RefreshPopup(bool keepRecord) {
    if (popup_ == nullptr) {
        return;
    }
    FolderIndex folder = kTopLevel;
    int record = -1;
    if (const QTreeWidgetItem* item = popup_->Tree()->currentItem();
        keepRecord && item != nullptr && item->parent() != nullptr &&
        CPasswordPopup::KindOf(item) == CPasswordPopup::kRecordItem) {
        folder = CPasswordPopup::IndexOf(item->parent());
        record = CPasswordPopup::IndexOf(item);
    }
    popup_->Refresh(&folders_, DocumentTitle());
    if (record >= 0) {
        popup_->SelectRecord(folder, record);
    }
}

void CMainFrame::SetRecordDragFormat(const QString& runName) {
    view_->SetRecordDragFormat(runName);
    tree_->SetRecordDragFormat(runName);
}

void CMainFrame::OnEscape() {
    if (finder_->Active()) {
        finder_->Leave();
    } else if (settings_.minimizeEsc != 0) {
        setFocus();
        showMinimized();
    }
}

void CMainFrame::SetTopmost(bool on) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Changing a window flag hides the window; show it again as it was.
    if (visible) {
        show();
    }
    if (!actions_.empty()) {
        Action(cmd::kKeepOnTop)->setChecked(on);
    }
}

bool CMainFrame::AskToSaveModified() {
    if (!doc_->IsModified()) {
        return true;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Zelvant"),
                    tr("Save changes to %1?").arg(DocumentTitle()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    switch (ExecDialog(box)) {
        case QMessageBox::Save:
            return SaveDocument();
        case QMessageBox::Discard:
            return true;
        default:
            return false;
    }
}

bool CMainFrame::NewDocument() {
    if (!AskToSaveModified()) {
        return false;
    }
    doc_->OnNewDocument();
    InitialUpdate();
    return true;
}

bool CMainFrame::OpenDocument(const QString& path) {
    doc_->SetSettings({settings_.rememberPass, settings_.alwaysBackup, settings_.legacyNewFiles});
    const Recovery recovery = OfferRecovery(path);
    if (recovery == Recovery::Cancelled) {
        return false;
    }
    const bool opened = recovery == Recovery::NotOffered ? doc_->OnOpenDocument(LocalPath(path))
                                                         : recovery == Recovery::Restored;
    if (opened) {
        recent_->Add(QFileInfo(path).absoluteFilePath());
    } else if (!QFileInfo::exists(path)) {
        recent_->Remove(path);
    }
    InitialUpdate();
    if (opened) {
        CheckExpiry();
    }
    return opened;
}

void CMainFrame::AutoLoad() {
    if (settings_.autoLoadDoc != 0 && !recent_->Files().isEmpty()) {
        OpenDocument(recent_->Files().front());
    }
}

QString CMainFrame::AskSavePath() {
    QFileDialog dialog(this, tr("Save As..."));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the extension before it asks about replacing a file of that name.
    dialog.setDefaultSuffix(QStringLiteral("zvd"));
    dialog.setNameFilter(tr(kFileFilter));
    dialog.setDirectory(QString::fromStdString(settings_.currentDir));
    if (!doc_->PathName().empty()) {
        dialog.selectFile(FromLocalPath(doc_->PathName()));
    }
    if (ExecDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    QString path = dialog.selectedFiles().front();
    // A dialog that did not add it did not ask about the name with it either.
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".zvd");
        if (QFileInfo::exists(path) && !AskReplaceFile(this, path)) {
            return {};
        }
    }
    RememberDirectory(path);
    return path;
}

bool CMainFrame::SaveTo(const std::string& path, bool asNew) {
    doc_->SetSettings({settings_.rememberPass, settings_.alwaysBackup, settings_.legacyNewFiles});
    const bool saved = asNew ? doc_->SaveAs(path) : doc_->Save(path);
    if (saved) {
        recent_->Add(QFileInfo(FromLocalPath(path)).absoluteFilePath());
        UpdateTitle();
        fileWatch_->Watch(FromLocalPath(path));
    }
    UpdateCommands();
    return saved;
}

bool CMainFrame::SaveDocument() {
    if (doc_->PathName().empty()) {
        return SaveDocumentAs();
    }
    // Never over another program's version of the file without asking.
    if (doc_->ChangedOnDisk()) {
        const bool removed = !StampOf(doc_->PathName()).present;
        switch (AskSaveOverChange(this, DocumentTitle(), removed)) {
            case kOverwriteAnswer:
                break;
            case kSaveElsewhereAnswer:
                return SaveDocumentAs();
            default:
                return false;
        }
    }
    return SaveTo(doc_->PathName(), false);
}

bool CMainFrame::SaveDocumentAs() {
    const QString path = AskSavePath();
    return !path.isEmpty() && SaveTo(LocalPath(path), true);
}

void CMainFrame::RememberDirectory(const QString& path) {
    settings_.currentDir = QDir::toNativeSeparators(QFileInfo(path).absolutePath()).toStdString();
}

void CMainFrame::SaveWindowState() {
    store_.WriteString(kBarsSection, kBarsStateKey, saveState().toBase64().toStdString());
    store_.WriteString(kBarsSection, kBarsGeometryKey, saveGeometry().toBase64().toStdString());
}

void CMainFrame::RestoreWindowState() {
    const std::string geometry = store_.ReadString(kBarsSection, kBarsGeometryKey, "");
    if (geometry.empty() ||
        !restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(geometry)))) {
        resize(900, 560);
    }
    const std::string state = store_.ReadString(kBarsSection, kBarsStateKey, "");
    if (!state.empty()) {
        restoreState(QByteArray::fromBase64(QByteArray::fromStdString(state)));
    }
}

void CMainFrame::ResetBars() {
    store_.Remove(kBarsSection, kBarsStateKey);
    removeToolBar(toolbar_);
    addToolBar(Qt::TopToolBarArea, toolbar_);
    toolbar_->show();
    folderBar_->setFloating(false);
    addDockWidget(Qt::LeftDockWidgetArea, folderBar_);
    folderBar_->show();
    statusBar()->show();
}

void CMainFrame::ForgetRecentFilesIfAsked() {
    if (settings_.clearMRU != 0) {
        recent_->Forget();
    }
}

void CMainFrame::ImportExport() {
    const ImportOutcome outcome =
        RunImportDialog(this, folders_, QString::fromStdString(settings_.currentDir));
    if (!outcome.added) {
        return;
    }
    finder_->Dismiss();
    tree_->Rebuild();
    FoldersChanged();
    tree_->SelectFolder(outcome.firstFolder);
}

void CMainFrame::CheckExpiry() {
    const int days = settings::CDirectSettings(store_).ExpiryWarningDays();
    if (days <= 0) {
        expiryBar_->hide();
        return;
    }
    const ExpiryScan scan = ScanExpiry(folders_, NowLocal(), days);
    expiryBar_->Report(scan.expired, scan.expiring, days);
}
}  // namespace zelvant::ui
