#include "ui/options_dlg.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>
#include <climits>

#include "desktop/autostart.h"
#include "settings/security_password.h"
#include "store/secure.h"

namespace zelvant::ui {

namespace {

using controls::CTreeOptionsCtrl;
using controls::DDX_TreeCheck;
using controls::DDX_TreeEdit;
using controls::DDX_TreeRadio;
using controls::Exchange;

constexpr int kGroupImage = 10;
constexpr int kEditImage = 11;
constexpr int kHelpTopicBase = 131072;

struct PageInfo {
    const char* caption;
    int dialogId;
};

constexpr std::array<PageInfo, kOptionsPageCount> kPages = {{
    {"General", 150},
    {"Information View", 153},
    {"Password Popup", 178},
    {"Security", 152},
    {"Printing", 169},
}};

struct FieldItem {
    const char* caption;
    int settings::FieldFlags::*flag;
};

constexpr std::array<FieldItem, 12> kFieldItems = {{
    {"Site Name/Description", &settings::FieldFlags::recordName},
    {"Location", &settings::FieldFlags::location},
    {"Email", &settings::FieldFlags::email},
    {"Account Name", &settings::FieldFlags::accountName},
    {"Account Number", &settings::FieldFlags::accountNum},
    {"Username/ID", &settings::FieldFlags::userName},
    {"Password", &settings::FieldFlags::password},
    {"Pin Number", &settings::FieldFlags::pin},
    {"Created", &settings::FieldFlags::created},
    {"Last Modified", &settings::FieldFlags::modified},
    {"Expires On", &settings::FieldFlags::expired},
    {"Notes", &settings::FieldFlags::notes},
}};

struct PopupItem {
    const char* caption;
    int settings::PopupFlags::*flag;
};

constexpr std::array<PopupItem, 5> kPopupItems = {{
    {"Location", &settings::PopupFlags::location},
    {"Account Name", &settings::PopupFlags::accountName},
    {"Account Number", &settings::PopupFlags::accountNum},
    {"Username/ID", &settings::PopupFlags::userName},
    {"Password", &settings::PopupFlags::password},
}};

// Lives for the run, like the main frame that used to own it.
int s_startPage = kPageGeneral;

void WipeQString(QString& text) {
    if (!text.isEmpty() && text.isDetached()) {
        SecureWipe(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    }
    text.clear();
}

int Inverse(int flag) {
    return flag != 0 ? 0 : 1;
}

}  // namespace

QString OptionsPageCaption(int page) {
    if (page < 0 || page >= kOptionsPageCount) {
        return {};
    }
    return QString::fromLatin1(kPages[static_cast<size_t>(page)].caption);
}

int OptionsPageHelpTopic(int page) {
    if (page < 0 || page >= kOptionsPageCount) {
        return -1;
    }
    return kHelpTopicBase + kPages[static_cast<size_t>(page)].dialogId;
}

int LeadingNumber(const QString& text) {
    qsizetype at = 0;
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) {
        negative = text[at] == u'-';
        ++at;
    }
    long long value = 0;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
        value = value * 10 + (text[at].unicode() - u'0');
        // Huge typed values only need to stay huge, not exact.
        if (value > INT_MAX) {
            value = INT_MAX;
        }
        ++at;
    }
    return static_cast<int>(negative ? -value : value);
}

COptionsDlg::COptionsDlg(const settings::AppSettings& current, QWidget* parent)
    : QDialog(parent), result_(current) {
    setWindowTitle(QString::fromLatin1(kOptionsTitle));

    members_.values = current;
    members_.queryDelFolder = Inverse(current.noQueryDelFolder);
    members_.queryDelRecord = Inverse(current.noQueryDelRecord);
    members_.timedClear = QString::number(current.timedClear);
    members_.minTime = QString::number(current.minTime);
    members_.minPopTime = QString::number(current.minPopTime);
    members_.clearSecretsAfter = QString::number(current.clearSecretsAfter);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("optionsPageList"));
    for (int page = 0; page < kOptionsPageCount; ++page) {
        list_->addItem(OptionsPageCaption(page));
    }
    list_->setMaximumWidth(list_->sizeHintForColumn(0) + 4 * list_->frameWidth() + 24);

    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("optionsCaptionBar"));
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(14);
    font.setWeight(QFont::Bold);
    caption_->setFont(font);
    caption_->setAutoFillBackground(true);
    caption_->setBackgroundRole(QPalette::Button);
    caption_->setForegroundRole(QPalette::ButtonText);
    caption_->setContentsMargins(4, 2, 4, 2);

    stack_ = new QStackedWidget(this);
    stack_->setFrameShape(QFrame::StyledPanel);
    for (int page = 0; page < kOptionsPageCount; ++page) {
        auto* holder = new QWidget(stack_);
        auto* layout = new QVBoxLayout(holder);
        layout->setContentsMargins(2, 2, 2, 2);
        stack_->addWidget(holder);
    }

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QDialogButtonBox::Ok);
    cancel_ = buttons->addButton(QDialogButtonBox::Cancel);
    help_ = buttons->addButton(QDialogButtonBox::Help);
    connect(ok_, &QPushButton::clicked, this, &COptionsDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &COptionsDlg::reject);
    connect(help_, &QPushButton::clicked, this,
            [this] { emit HelpRequested(OptionsPageHelpTopic(current_)); });

    auto* right = new QVBoxLayout;
    right->addWidget(caption_);
    right->addWidget(stack_, 1);
    auto* body = new QHBoxLayout;
    body->addWidget(list_);
    body->addLayout(right, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(body, 1);
    outer->addWidget(buttons);
    resize(560, 400);

    connect(list_, &QListWidget::currentRowChanged, this, &COptionsDlg::ShowPage);
    ShowPage(s_startPage);
}

COptionsDlg::~COptionsDlg() {
    WipeQString(members_.password);
}

int COptionsDlg::StartPage() {
    return s_startPage;
}

CTreeOptionsCtrl* COptionsDlg::PageTree(int page) const {
    if (page < 0 || page >= kOptionsPageCount) {
        return nullptr;
    }
    return trees_[static_cast<size_t>(page)];
}

void COptionsDlg::ShowPage(int page) {
    if (page < 0 || page >= kOptionsPageCount || page == current_) {
        return;
    }
    caption_->clear();
    CTreeOptionsCtrl* tree = PageTree(page);
    if (tree == nullptr) {
        tree = CreatePage(page);
    }
    current_ = page;
    stack_->setCurrentIndex(page);
    tree->setFocus(Qt::OtherFocusReason);
    caption_->setText(OptionsPageCaption(page));
    const QSignalBlocker blocker(list_);
    list_->setCurrentRow(page);
}

CTreeOptionsCtrl* COptionsDlg::CreatePage(int page) {
    auto* tree = new CTreeOptionsCtrl(stack_->widget(page));
    tree->setObjectName(QStringLiteral("optionsTree%1").arg(page));
    tree->SetImageIcon(kGroupImage, style()->standardIcon(QStyle::SP_DirIcon));
    tree->SetImageIcon(kEditImage, style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    stack_->widget(page)->layout()->addWidget(tree);
    trees_[static_cast<size_t>(page)] = tree;
    switch (page) {
        case kPageGeneral:
            BuildGeneral(*tree);
            break;
        case kPageInformationView:
            BuildInformationView(*tree);
            break;
        case kPagePasswordPopup:
            BuildPasswordPopup(*tree);
            break;
        case kPageSecurity:
            BuildSecurity(*tree);
            break;
        default:
            BuildPrinting(*tree);
            break;
    }
    tree->expandAll();
    ExchangePage(page, Exchange::kLoad);
    if (page == kPageGeneral && members_.values.trayIcon == 0) {
        tree->SetCheckBoxEnable(items_.trayMinimize, false);
    }
    return tree;
}

void COptionsDlg::BuildGeneral(CTreeOptionsCtrl& tree) {
    QTreeWidgetItem* startup = tree.InsertGroup(QStringLiteral("Startup"), kGroupImage);
    items_.loadOnStartup =
        tree.InsertCheckBox(QString::fromLatin1(desktop::kStartAtLogonCaption), startup, false);
    items_.startMini = tree.InsertCheckBox(QStringLiteral("Start minimized"), startup, false);
    items_.splash =
        tree.InsertCheckBox(QStringLiteral("Display splash screen on start-up"), startup, false);
    items_.singleInstance = tree.InsertCheckBox(
        QStringLiteral("Only allow a single instance of Zelvant to run"), startup, false);

    QTreeWidgetItem* tray = tree.InsertGroup(QStringLiteral("System Tray Icon"), kGroupImage);
    items_.trayIcon =
        tree.InsertCheckBox(QStringLiteral("Place icon in the System Tray"), tray, false);
    items_.trayMinimize =
        tree.InsertCheckBox(QStringLiteral("Minimize to System Tray"), tray, false);

    items_.trayActionGroup = tree.InsertGroup(
        QStringLiteral("Action when System Tray icon is double clicked"), kGroupImage);
    tree.InsertRadioButton(QStringLiteral("Show/hide Main Window"), items_.trayActionGroup, true);
    tree.InsertRadioButton(QStringLiteral("Show/hide Password Popup Box"), items_.trayActionGroup,
                           false);

    QTreeWidgetItem* misc = tree.InsertGroup(QStringLiteral("Miscellaneous"), kGroupImage);
    items_.topmost = tree.InsertCheckBox(QStringLiteral("Keep Zelvant topmost"), misc, false);
    items_.minimizeEsc =
        tree.InsertCheckBox(QStringLiteral("Minimize when Esc key is pressed"), misc, false);
}

void COptionsDlg::BuildInformationView(CTreeOptionsCtrl& tree) {
    QTreeWidgetItem* display = tree.InsertGroup(QStringLiteral("Display Options"), kGroupImage);
    items_.gridHoriz =
        tree.InsertCheckBox(QStringLiteral("Show horizontal gridlines"), display, false);
    items_.gridVert =
        tree.InsertCheckBox(QStringLiteral("Show vertical gridlines"), display, false);
    items_.alternateColors =
        tree.InsertCheckBox(QStringLiteral("Use alternate colors"), display, false);
    items_.boldText =
        tree.InsertCheckBox(QStringLiteral("Display items using bold text"), display, false);

    QTreeWidgetItem* mask =
        tree.InsertGroup(QStringLiteral("Mask the record fields in View"), kGroupImage);
    for (size_t i = 0; i < kFieldItems.size(); ++i) {
        items_.display[i] =
            tree.InsertCheckBox(QString::fromLatin1(kFieldItems[i].caption), mask, false);
    }
    tree.setCurrentItem(display);
}

void COptionsDlg::BuildPasswordPopup(CTreeOptionsCtrl& tree) {
    QTreeWidgetItem* mask =
        tree.InsertGroup(QStringLiteral("Mask the record fields in Password Popup"), kGroupImage);
    for (size_t i = 0; i < kPopupItems.size(); ++i) {
        items_.popup[i] =
            tree.InsertCheckBox(QString::fromLatin1(kPopupItems[i].caption), mask, false);
    }
    tree.setCurrentItem(mask);
}

void COptionsDlg::BuildSecurity(CTreeOptionsCtrl& tree) {
    // Each edit's caption loses its colon because the tree adds ": value" itself.
    const controls::InPlaceEditStyle minutes{true, 0, 100, 0};
    controls::InPlaceEditStyle clipMinutes = minutes;
    clipMinutes.narrower = 70;

    QTreeWidgetItem* files = tree.InsertGroup(QStringLiteral("Files"), kGroupImage);
    items_.autoLoadDoc =
        tree.InsertCheckBox(QStringLiteral("Auto load last file on start-up"), files, false);
    items_.clearMRU =
        tree.InsertCheckBox(QStringLiteral("Clear MRU list on shutdown"), files, false);
    items_.alwaysBackup =
        tree.InsertCheckBox(QStringLiteral("Always create a backup copy"), files, false);
    items_.rememberPass = tree.InsertCheckBox(
        QStringLiteral("Remember file password for use in Save File"), files, false);
    items_.fileToolTip =
        tree.InsertCheckBox(QStringLiteral("Show filename on tray icon tooltip"), files, false);
    items_.legacyNewFiles = tree.InsertCheckBox(
        QStringLiteral("Create new data files that older versions can open (weaker protection)"),
        files, false);

    QTreeWidgetItem* modify = tree.InsertGroup(QStringLiteral("Data modification"), kGroupImage);
    items_.queryDelFolder =
        tree.InsertCheckBox(QStringLiteral("Always query a folder deletion"), modify, false);
    items_.queryDelRecord =
        tree.InsertCheckBox(QStringLiteral("Always query a record deletion"), modify, false);

    QTreeWidgetItem* clip = tree.InsertGroup(QStringLiteral("Clipboard operations"), kGroupImage);
    items_.clearClip =
        tree.InsertCheckBox(QStringLiteral("Clear Clipboard on shutdown"), clip, false);
    items_.timedClear = tree.InsertEdit(QStringLiteral("Clear Clipboard if idle for (mins)"),
                                        kEditImage, clip, QString(), clipMinutes);
    items_.clearSecretsAfter =
        tree.InsertEdit(QStringLiteral("Clear copied secrets from the clipboard after N seconds"),
                        kEditImage, clip, QString(), {true, 0, 3600, 0});

    QTreeWidgetItem* minimize = tree.InsertGroup(QStringLiteral("Minimize Options"), kGroupImage);
    items_.minTime = tree.InsertEdit(QStringLiteral("Minimize Main Window if idle for (mins)"),
                                     kEditImage, minimize, QString(), minutes);
    items_.minPopTime =
        tree.InsertEdit(QStringLiteral("Minimize Password Popup Window if idle for (mins)"),
                        kEditImage, minimize, QString(), minutes);
    items_.protMin = tree.InsertCheckBox(QStringLiteral("Request password before re-displaying"),
                                         minimize, false);
    // Only a hash is kept, so the password set cannot be shown: a new one replaces it.
    controls::InPlaceEditStyle secret;
    secret.secret = true;
    secret.maxLength = static_cast<int>(settings::kSecurityPasswordMaxChars);
    items_.password =
        tree.InsertEdit(QStringLiteral("Enter password"), kEditImage, minimize, QString(), secret);
    if (!members_.values.securityPasswordHash.empty()) {
        items_.password->setToolTip(
            0, QStringLiteral("A security password is set. Type a new one to replace it."));
        items_.clearPassword =
            tree.InsertCheckBox(QStringLiteral("Remove the security password"), minimize, false);
    } else {
        items_.password->setToolTip(0, QStringLiteral("No security password is set."));
    }
    tree.setCurrentItem(files);
}

void COptionsDlg::BuildPrinting(CTreeOptionsCtrl& tree) {
    QTreeWidgetItem* printed =
        tree.InsertGroup(QStringLiteral("Record fields printed"), kGroupImage);
    for (size_t i = 0; i < kFieldItems.size(); ++i) {
        items_.printing[i] =
            tree.InsertCheckBox(QString::fromLatin1(kFieldItems[i].caption), printed, false);
    }
    tree.setCurrentItem(printed);
}

void COptionsDlg::ExchangePage(int page, controls::Exchange direction) {
    CTreeOptionsCtrl* tree = PageTree(page);
    if (tree == nullptr) {
        return;
    }
    settings::AppSettings& v = members_.values;
    switch (page) {
        case kPageGeneral: {
            DDX_TreeCheck(direction, *tree, items_.loadOnStartup, v.loadOnStartup);
            DDX_TreeCheck(direction, *tree, items_.startMini, v.startMini);
            DDX_TreeCheck(direction, *tree, items_.splash, v.splash);
            DDX_TreeCheck(direction, *tree, items_.singleInstance, v.singleInstance);
            DDX_TreeCheck(direction, *tree, items_.trayIcon, v.trayIcon);
            DDX_TreeCheck(direction, *tree, items_.trayMinimize, v.trayMinimize);
            int action = settings::LimitTrayAction(v.trayAction);
            DDX_TreeRadio(direction, *tree, items_.trayActionGroup, action);
            v.trayAction = settings::LimitTrayAction(action);
            DDX_TreeCheck(direction, *tree, items_.topmost, v.topmost);
            DDX_TreeCheck(direction, *tree, items_.minimizeEsc, v.minimizeEsc);
            break;
        }
        case kPageInformationView:
            DDX_TreeCheck(direction, *tree, items_.gridHoriz, v.gridHoriz);
            DDX_TreeCheck(direction, *tree, items_.gridVert, v.gridVert);
            DDX_TreeCheck(direction, *tree, items_.alternateColors, v.alternateColors);
            DDX_TreeCheck(direction, *tree, items_.boldText, v.boldText);
            for (size_t i = 0; i < kFieldItems.size(); ++i) {
                DDX_TreeCheck(direction, *tree, items_.display[i], v.display.*kFieldItems[i].flag);
            }
            break;
        case kPagePasswordPopup:
            for (size_t i = 0; i < kPopupItems.size(); ++i) {
                DDX_TreeCheck(direction, *tree, items_.popup[i], v.popup.*kPopupItems[i].flag);
            }
            break;
        case kPageSecurity:
            DDX_TreeCheck(direction, *tree, items_.autoLoadDoc, v.autoLoadDoc);
            DDX_TreeCheck(direction, *tree, items_.clearMRU, v.clearMRU);
            DDX_TreeCheck(direction, *tree, items_.alwaysBackup, v.alwaysBackup);
            DDX_TreeCheck(direction, *tree, items_.rememberPass, v.rememberPass);
            DDX_TreeCheck(direction, *tree, items_.fileToolTip, v.fileToolTip);
            DDX_TreeCheck(direction, *tree, items_.legacyNewFiles, v.legacyNewFiles);
            DDX_TreeCheck(direction, *tree, items_.queryDelFolder, members_.queryDelFolder);
            DDX_TreeCheck(direction, *tree, items_.queryDelRecord, members_.queryDelRecord);
            DDX_TreeCheck(direction, *tree, items_.clearClip, v.clearClip);
            DDX_TreeEdit(direction, *tree, items_.timedClear, members_.timedClear);
            DDX_TreeEdit(direction, *tree, items_.clearSecretsAfter, members_.clearSecretsAfter);
            DDX_TreeEdit(direction, *tree, items_.minTime, members_.minTime);
            DDX_TreeEdit(direction, *tree, items_.minPopTime, members_.minPopTime);
            DDX_TreeCheck(direction, *tree, items_.protMin, v.protMin);
            DDX_TreeEdit(direction, *tree, items_.password, members_.password);
            if (items_.clearPassword != nullptr) {
                DDX_TreeCheck(direction, *tree, items_.clearPassword, members_.clearPassword);
            }
            break;
        default:
            for (size_t i = 0; i < kFieldItems.size(); ++i) {
                DDX_TreeCheck(direction, *tree, items_.printing[i],
                              v.printing.*kFieldItems[i].flag);
            }
            break;
    }
}

settings::AppSettings COptionsDlg::MembersToSettings() const {
    settings::AppSettings out = members_.values;
    out.noQueryDelFolder = Inverse(members_.queryDelFolder);
    out.noQueryDelRecord = Inverse(members_.queryDelRecord);
    out.timedClear = settings::LimitTimedClear(LeadingNumber(members_.timedClear));
    out.minTime = settings::LimitIdleMinutes(LeadingNumber(members_.minTime));
    out.minPopTime = settings::LimitIdleMinutes(LeadingNumber(members_.minPopTime));
    out.clearSecretsAfter =
        settings::LimitClearSecretsAfter(LeadingNumber(members_.clearSecretsAfter));
    // A new password wins over removing the old one.
    if (!members_.password.isEmpty()) {
        QByteArray typed = members_.password.toUtf8();
        std::string hash = settings::HashSecurityPassword(
            std::string_view(typed.constData(), static_cast<std::size_t>(typed.size())));
        SecureWipe(typed.data(), static_cast<std::size_t>(typed.size()));
        // Only when the library cannot make one; the old password then stays.
        if (!hash.empty()) {
            out.securityPasswordHash = std::move(hash);
        }
    } else if (members_.clearPassword != 0) {
        out.securityPasswordHash.clear();
    }
    return out;
}

void COptionsDlg::accept() {
    for (int page = 0; page < kOptionsPageCount; ++page) {
        ExchangePage(page, Exchange::kSave);
    }
    result_ = MembersToSettings();
    QDialog::accept();
}

void COptionsDlg::done(int result) {
    if (current_ >= 0) {
        s_startPage = current_;
    }
    QDialog::done(result);
}

void COptionsDlg::keyPressEvent(QKeyEvent* event) {
    // Esc must not cancel: only the Cancel button and the window's close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ApplyOptions(const settings::AppSettings& result, const OptionsEffects& effects) {
    if (effects.trayDefaultItem) {
        effects.trayDefaultItem(result.trayAction);
    }
    if (effects.autostart) {
        effects.autostart(result.loadOnStartup != 0);
    }
    if (effects.popupMasks) {
        effects.popupMasks(result.popup);
    }
    if (effects.save) {
        effects.save(result);
    }
    if (effects.trayShow) {
        effects.trayShow(result.trayIcon != 0);
    }
    if (effects.trayTip) {
        effects.trayTip();
    }
    if (effects.topmost) {
        effects.topmost(result.topmost != 0);
    }
    if (effects.refreshList) {
        effects.refreshList();
    }
}

}  // namespace zelvant::ui
