#include "ui/password_popup.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "settings/direct_settings.h"
#include "store/folder_ops.h"
#include "store/text_codec.h"
#include "ui/field_edit.h"
#include "ui/icons.h"
#include "ui/open_location.h"

namespace zelvant::ui {

namespace {

struct FieldInfo {
    PopupField field;
    RecordField recordField;
    const char* label;
    const char* objectName;
};

constexpr std::array<FieldInfo, kPopupFieldCount> kFields{{
    {PopupField::Location, RecordField::Location, "Location", "PopupLocation"},
    {PopupField::UserName, RecordField::UserName, "Username", "PopupUserName"},
    {PopupField::Password, RecordField::Password, "Password", "PopupPassword"},
    {PopupField::AccountName, RecordField::AccountName, "Account Name", "PopupAccountName"},
    {PopupField::AccountNumber, RecordField::AccountNumber, "Account Number", "PopupAccountNumber"},
}};

constexpr std::size_t Slot(PopupField field) {
    return static_cast<std::size_t>(field);
}

QString Shown(std::string_view stored) {
    return QString::fromUtf8(DisplayText(stored));
}

// One child of a tree level before it becomes an item; the key is the stored name, so that the
// popup sorts exactly as the folder tree does.
struct Child {
    std::string_view key;
    int kind;
    int index;
};

bool LabelLess(const Child& a, const Child& b) {
    return CompareNoCase(a.key, b.key) < 0;
}

QToolButton* MakeToolButton(const QIcon& icon, const QString& tip, const QString& name,
                            QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(icon);
    button->setToolTip(tip);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

}  // namespace

std::uint32_t CPasswordPopup::PackItemData(int kind, int index) {
    return (static_cast<std::uint32_t>(kind) << 16) | (static_cast<std::uint32_t>(index) & 0xFFFFu);
}

int CPasswordPopup::KindOf(const QTreeWidgetItem* item) {
    return item != nullptr ? item->data(0, kKindRole).toInt() : -1;
}

int CPasswordPopup::IndexOf(const QTreeWidgetItem* item) {
    return item != nullptr ? item->data(0, kIndexRole).toInt() : -1;
}

CPasswordPopup::CPasswordPopup(settings::AppSettings& settings, settings::ISettingsStore& store,
                               QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      settings_(settings),
      store_(store) {
    setWindowTitle(tr("Password Popup"));
    setObjectName(QStringLiteral("PasswordPopup"));
    setWindowIcon(ZelvantIcon("password-popup"));

    rootIcon_ = ZelvantIcon("root");
    recordIcon_ = ZelvantIcon("record");
    const QIcon closed = ZelvantIcon("folder");
    const QIcon open = ZelvantIcon("folder-open");
    for (const int extent : {16, 22, 32}) {
        folderIcon_.addPixmap(closed.pixmap(extent), QIcon::Normal);
        folderIcon_.addPixmap(open.pixmap(extent), QIcon::Selected);
    }

    BuildLayout();
    resize(kDefaultWidth, kDefaultHeight);

    SetMasks(settings_.popup);
    UpdateButtons();
    {
        const QSignalBlocker block(pin_);
        pin_->setChecked(settings_.pinPopup != 0);
    }
    ApplyPin(settings_.pinPopup != 0);
    RestorePosition();
    initialised_ = true;
}

CPasswordPopup::~CPasswordPopup() = default;

void CPasswordPopup::BuildLayout() {
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("PopupFilter"));
    filter_->setPlaceholderText(tr("Filter"));
    filter_->setClearButtonEnabled(true);
    filter_->installEventFilter(this);
    connect(filter_, &QLineEdit::textChanged, this, &CPasswordPopup::ApplyFilter);

    pin_ = MakeToolButton(ZelvantIcon("keep-on-top"), tr("Keep the popup on top"),
                          QStringLiteral("PopupPin"), this);
    pin_->setCheckable(true);
    connect(pin_, &QToolButton::toggled, this, &CPasswordPopup::ApplyPin);

    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("PopupTree"));
    tree_->setColumnCount(1);
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setDragDropMode(QAbstractItemView::NoDragDrop);
    tree_->setSortingEnabled(false);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (!building_) {
            ShowItem(current);
        }
    });

    auto* fieldsPanel = new QWidget(this);
    auto* grid = new QGridLayout(fieldsPanel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    grid->setHorizontalSpacing(2);
    const QIcon copyIcon = ZelvantIcon("copy");
    int row = 0;
    for (const FieldInfo& info : kFields) {
        auto* field = new CFieldEdit(fieldsPanel);
        field->setObjectName(QLatin1String(info.objectName));
        field->setReadOnly(true);
        field->SetDragMode(kDragBoth);
        // A drop changes the shown text, never the record; the buttons follow what is shown.
        connect(field, &QLineEdit::textChanged, this, &CPasswordPopup::UpdateButtons);
        auto* label = new QLabel(tr(info.label), fieldsPanel);
        label->setBuddy(field);
        auto* copy =
            MakeToolButton(copyIcon, tr("Copy field to clipboard"),
                           QLatin1String(info.objectName) + QStringLiteral("Copy"), fieldsPanel);
        connect(copy, &QToolButton::clicked, field, &CFieldEdit::CopyToClipboard);
        fields_[Slot(info.field)] = field;
        copy_[Slot(info.field)] = copy;

        grid->addWidget(label, row++, 0, 1, 3);
        grid->addWidget(field, row, 0);
        grid->addWidget(copy, row, 1);
        if (info.field == PopupField::Location) {
            web_ = MakeToolButton(ZelvantIcon("web"), tr("Go to website"),
                                  QStringLiteral("PopupWeb"), fieldsPanel);
            connect(web_, &QToolButton::clicked, this, [this] {
                const QString location = Field(PopupField::Location)->text();
                if (!location.isEmpty()) {
                    OpenLocation(this, location);
                }
            });
            grid->addWidget(web_, row, 2);
        }
        ++row;
    }
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(0, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(filter_, 1);
    top->addWidget(pin_);

    auto* body = new QHBoxLayout;
    body->addWidget(tree_, 1);
    body->addWidget(fieldsPanel, 1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(4);
    outer->addLayout(top);
    outer->addLayout(body, 1);
}

CFieldEdit* CPasswordPopup::Field(PopupField field) const {
    return fields_[Slot(field)];
}

QToolButton* CPasswordPopup::CopyButton(PopupField field) const {
    return copy_[Slot(field)];
}

// ---- placement and pinning ----

void CPasswordPopup::RestorePosition() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect desktop = screen->geometry();
    const settings::ScreenPoint stored = settings::CDirectSettings(store_).PopupPosition();
    if (stored.OnScreen(desktop.width(), desktop.height())) {
        move(stored.x, stored.y);
        return;
    }
    // With the native window made, frameGeometry() counts the frame where the window system
    // reports it before the first show.
    (void)winId();
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void CPasswordPopup::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (initialised_ && isVisible() && !reflagging_) {
        const QPoint at = frameGeometry().topLeft();
        settings::CDirectSettings(store_).SetPopupPosition({at.x(), at.y()});
    }
}

void CPasswordPopup::ApplyPin(bool pinned) {
    settings_.pinPopup = pinned ? 1 : 0;
    if (pin_->isChecked() != pinned) {
        const QSignalBlocker block(pin_);
        pin_->setChecked(pinned);
    }
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == pinned) {
        return;
    }
    // Changing a window's flags hides it; show it again where it was.
    const bool wasVisible = isVisible();
    const QPoint at = pos();
    reflagging_ = true;
    setWindowFlag(Qt::WindowStaysOnTopHint, pinned);
    if (wasVisible) {
        move(at);
        show();
    }
    reflagging_ = false;
}

void CPasswordPopup::setVisible(bool visible) {
    if (visible && !reflagging_) {
        ApplyPin(settings_.pinPopup != 0);
    }
    QWidget::setVisible(visible);
}

void CPasswordPopup::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!reflagging_ && !event->spontaneous()) {
        emit VisibilityChanged(true);
    }
}

void CPasswordPopup::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!reflagging_ && !event->spontaneous()) {
        emit VisibilityChanged(false);
    }
}

void CPasswordPopup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool CPasswordPopup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == filter_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
        tree_->setFocus(Qt::TabFocusReason);
        if (tree_->currentItem() == nullptr || tree_->currentItem()->isHidden()) {
            QTreeWidgetItemIterator visible(tree_, QTreeWidgetItemIterator::NotHidden);
            tree_->setCurrentItem(*visible);
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- the tree ----

void CPasswordPopup::Refresh(const CFolderSequence* folders, const QString& documentTitle) {
    folders_ = folders;
    building_ = true;
    tree_->clear();
    if (folders != nullptr) {
        const auto makeItem = [](QTreeWidgetItem* parent, int kind, int index) {
            auto* item = new QTreeWidgetItem(parent);
            item->setData(0, kPackedRole, PackItemData(kind, index));
            item->setData(0, kKindRole, kind);
            item->setData(0, kIndexRole, index);
            return item;
        };

        // The children of every level: slot 0 the root's, slot i + 1 those of folder i.
        std::vector<std::vector<Child>> children(static_cast<std::size_t>(folders->Count()) + 1);
        for (const FolderNode& node : DisplayOrder(*folders)) {
            const CFolder* folder = folders->FolderAt(node.index);
            const FolderIndex parent = ShownParent(*folders, node.index);
            children[static_cast<std::size_t>(parent + 1)].push_back(
                {folder->Name(), kFolderItem, node.index});
            auto& own = children[static_cast<std::size_t>(node.index) + 1];
            for (int r = 0; r < folder->RecordCount(); ++r) {
                own.push_back(
                    {folder->RecordAt(r)->GetText(RecordField::SiteName), kRecordItem, r});
            }
        }
        for (auto& level : children) {
            std::stable_sort(level.begin(), level.end(), LabelLess);
        }

        auto* root = new QTreeWidgetItem(tree_);
        root->setText(0, documentTitle);
        root->setIcon(0, rootIcon_);
        root->setData(0, kPackedRole, PackItemData(kRootItem, kRootIndex));
        root->setData(0, kKindRole, int(kRootItem));
        root->setData(0, kIndexRole, kRootIndex);

        // Explicit stack: a deep chain of folders must not exhaust the native one.
        std::vector<std::pair<QTreeWidgetItem*, FolderIndex>> pending{{root, kTopLevel}};
        while (!pending.empty()) {
            const auto [parentItem, parent] = pending.back();
            pending.pop_back();
            for (const Child& child : children[static_cast<std::size_t>(parent + 1)]) {
                QTreeWidgetItem* item = makeItem(parentItem, child.kind, child.index);
                item->setText(0, Shown(child.key));
                if (child.kind == kFolderItem) {
                    item->setIcon(0, folderIcon_);
                    pending.emplace_back(item, child.index);
                } else {
                    item->setIcon(0, recordIcon_);
                }
            }
        }
        tree_->expandAll();
    }
    tree_->setCurrentItem(nullptr);
    building_ = false;
    ClearFields();
    UpdateButtons();
    if (!filter_->text().isEmpty()) {
        ApplyFilter();
    }
}

const CRecord* CPasswordPopup::RecordOf(const QTreeWidgetItem* item) const {
    if (folders_ == nullptr || KindOf(item) != kRecordItem ||
        KindOf(item->parent()) != kFolderItem) {
        return nullptr;
    }
    const CFolder* folder = folders_->FolderAt(IndexOf(item->parent()));
    return folder != nullptr ? folder->RecordAt(IndexOf(item)) : nullptr;
}

void CPasswordPopup::SelectRecord(FolderIndex folder, int record) {
    for (QTreeWidgetItemIterator it(tree_); *it != nullptr; ++it) {
        const QTreeWidgetItem* parent = (*it)->parent();
        if (KindOf(*it) == kRecordItem && IndexOf(*it) == record && IndexOf(parent) == folder &&
            KindOf(parent) == kFolderItem) {
            tree_->setCurrentItem(*it);
            return;
        }
    }
    tree_->setCurrentItem(nullptr);
}

void CPasswordPopup::RefreshRecord() {
    ShowItem(tree_->currentItem());
}

// ---- the fields ----

void CPasswordPopup::ShowItem(const QTreeWidgetItem* item) {
    ClearFields();
    if (const CRecord* record = RecordOf(item)) {
        for (const FieldInfo& info : kFields) {
            CFieldEdit* field = fields_[Slot(info.field)];
            field->setText(Shown(record->GetText(info.recordField)));
            // The start of a long text is the part worth seeing.
            field->setCursorPosition(0);
        }
    }
    UpdateButtons();
}

void CPasswordPopup::ClearFields() {
    for (CFieldEdit* field : fields_) {
        field->clear();
    }
}

void CPasswordPopup::UpdateButtons() {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        copy_[i]->setEnabled(!fields_[i]->text().isEmpty());
    }
    web_->setEnabled(!Field(PopupField::Location)->text().isEmpty());
}

void CPasswordPopup::SetMasks(const settings::PopupFlags& flags) {
    Field(PopupField::Location)->SetMasked(flags.location != 0);
    Field(PopupField::UserName)->SetMasked(flags.userName != 0);
    Field(PopupField::Password)->SetMasked(flags.password != 0);
    Field(PopupField::AccountName)->SetMasked(flags.accountName != 0);
    Field(PopupField::AccountNumber)->SetMasked(flags.accountNum != 0);
}

// ---- the filter ----

void CPasswordPopup::ApplyFilter() {
    const QString text = filter_->text();
    std::vector<QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(tree_); *it != nullptr; ++it) {
        items.push_back(*it);
    }

    // Children come after their parents, so walking backwards settles every child before its
    // parent is looked at.
    std::unordered_set<const QTreeWidgetItem*> holdsMatch;
    QTreeWidgetItem* onlyMatch = nullptr;
    int matches = 0;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        QTreeWidgetItem* item = *it;
        bool show = text.isEmpty() || KindOf(item) == kRootItem;
        if (!show && KindOf(item) == kRecordItem) {
            const CRecord* record = RecordOf(item);
            show = item->text(0).contains(text, Qt::CaseInsensitive) ||
                   (record != nullptr && (Shown(record->GetText(RecordField::Location))
                                              .contains(text, Qt::CaseInsensitive) ||
                                          Shown(record->GetText(RecordField::UserName))
                                              .contains(text, Qt::CaseInsensitive)));
            if (show) {
                ++matches;
                onlyMatch = item;
            }
        } else if (!show) {
            show = holdsMatch.count(item) != 0;
        }
        item->setHidden(!show);
        if (show && item->parent() != nullptr) {
            holdsMatch.insert(item->parent());
        }
    }

    if (!text.isEmpty() && matches == 1) {
        tree_->setCurrentItem(onlyMatch);
    } else if (tree_->currentItem() != nullptr && tree_->currentItem()->isHidden()) {
        tree_->setCurrentItem(nullptr);
    }
}

}  // namespace zelvant::ui
