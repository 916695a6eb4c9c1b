#include "ui/customize_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/commands.h"
#include "ui/message_box.h"

namespace zelvant::ui {
namespace {

constexpr int kIdRole = Qt::UserRole;

QMimeData* CommandMime(int command, int row) {
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kCommandMimeType),
                  QStringLiteral("%1 %2").arg(command).arg(row).toLatin1());
    return mime;
}

bool ReadCommandMime(const QMimeData* mime, int& command, int& row) {
    if (mime == nullptr || !mime->hasFormat(QString::fromLatin1(kCommandMimeType))) {
        return false;
    }
    const QList<QByteArray> parts = mime->data(QString::fromLatin1(kCommandMimeType)).split(' ');
    bool okCommand = false;
    bool okRow = false;
    if (parts.size() != 2) {
        return false;
    }
    command = parts[0].toInt(&okCommand);
    row = parts[1].toInt(&okRow);
    return okCommand && okRow;
}

QString Plain(const char* menuText) {
    return QString::fromUtf8(menuText).remove(QLatin1Char('&'));
}

QPushButton* Button(const QString& text, QLayout* layout) {
    auto* button = new QPushButton(text);
    layout->addWidget(button);
    return button;
}

}  // namespace

QString CommandName(const CBarCustomization& state, int id) {
    if (id == 0) {
        return CCustomizeSheet::tr("\u2014 Separator \u2014");
    }
    if (const ToolbarSpec* bar = state.FindToolbar(id);
        bar != nullptr && bar->id != cmd::kStandardToolbar) {
        return bar->name;
    }
    if (id >= cmd::kUserToolFirst && id <= cmd::kUserToolLast) {
        const int index = id - cmd::kUserToolFirst;
        if (index < int(state.Tools().size())) {
            return state.Tools()[index].name;
        }
    }
    const CommandInfo* info = FindCommand(id);
    return info == nullptr ? QString::number(id) : Plain(info->menuText);
}

// --- drag and drop ---------------------------------------------------------------------------

CCommandTree::CCommandTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
}

QStringList CCommandTree::mimeTypes() const {
    return {QString::fromLatin1(kCommandMimeType)};
}

QMimeData* CCommandTree::mimeData(const QList<QTreeWidgetItem*>& items) const {
    if (items.isEmpty() || !items.front()->data(0, kIdRole).isValid()) {
        return nullptr;
    }
    return CommandMime(items.front()->data(0, kIdRole).toInt(), -1);
}

CButtonList::CButtonList(QWidget* parent) : QListWidget(parent) {
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
}

void CButtonList::startDrag(Qt::DropActions) {
    QListWidgetItem* item = currentItem();
    if (item == nullptr) {
        return;
    }
    const int from = row(item);
    auto* drag = new QDrag(this);
    drag->setMimeData(CommandMime(item->data(kIdRole).toInt(), from));
    // Nobody took the button: it was dragged off the toolbar.
    if (drag->exec(Qt::MoveAction) == Qt::IgnoreAction) {
        emit DraggedOff(from);
    }
}

void CButtonList::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void CButtonList::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasFormat(QString::fromLatin1(kCommandMimeType))) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CButtonList::dropEvent(QDropEvent* event) {
    int command = 0;
    int from = -1;
    if (!ReadCommandMime(event->mimeData(), command, from)) {
        event->ignore();
        return;
    }
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    int to = count();
    if (index.isValid()) {
        to = index.row();
        if (pos.y() > visualRect(index).center().y()) {
            ++to;
        }
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    emit CommandDropped(command, from, to);
}

// --- the sheet -------------------------------------------------------------------------------

CCustomizeSheet::CCustomizeSheet(const CBarCustomization& state, QWidget* parent)
    : QDialog(parent), state_(state) {
    setWindowTitle(tr("Customize"));
    setObjectName(QStringLiteral("customizeSheet"));
    tabs_ = new QTabWidget(this);
    tabs_->addTab(BuildToolbarsPage(), tr("Toolbars"));
    tabs_->addTab(BuildKeyboardPage(), tr("Keyboard"));
    tabs_->addTab(BuildToolsPage(), tr("Tools"));
    tabs_->addTab(BuildMenusPage(), tr("Menus"));
    tabs_->addTab(BuildMousePage(), tr("Mouse"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    resize(720, 460);
}

void CCustomizeSheet::ShowPage(int page) {
    tabs_->setCurrentIndex(page);
}

void CCustomizeSheet::FillCommandTree(QTreeWidget& tree, bool withSeparator) {
    tree.clear();
    for (const CommandGroup& group : CommandGroups()) {
        auto* category = new QTreeWidgetItem(&tree, {group.menu});
        category->setFlags(Qt::ItemIsEnabled);
        for (int id : group.ids) {
            if (CBarCustomization::IsUserToolbar(id) && state_.FindToolbar(id) == nullptr) {
                continue;
            }
            if (id >= cmd::kUserToolFirst && id <= cmd::kUserToolLast &&
                id - cmd::kUserToolFirst >= int(state_.Tools().size())) {
                continue;
            }
            auto* item = new QTreeWidgetItem(category, {CommandName(state_, id)});
            item->setData(0, kIdRole, id);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
            const CommandInfo* info = FindCommand(id);
            item->setToolTip(0, QString::fromLatin1(info->prompt));
        }
        if (category->childCount() == 0) {
            delete category;
        }
    }
    if (withSeparator) {
        auto* separator = new QTreeWidgetItem(&tree, {CommandName(state_, 0)});
        separator->setData(0, kIdRole, 0);
        separator->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    }
    tree.expandAll();
}

int CCustomizeSheet::SelectedCommand(const QTreeWidget& tree) const {
    const QTreeWidgetItem* item = tree.currentItem();
    if (item == nullptr || !item->data(0, kIdRole).isValid()) {
        return -1;
    }
    return item->data(0, kIdRole).toInt();
}

// --- Toolbars --------------------------------------------------------------------------------

QWidget* CCustomizeSheet::BuildToolbarsPage() {
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);

    auto* barsBox = new QGroupBox(tr("Toolbars:"));
    auto* barsLayout = new QVBoxLayout(barsBox);
    toolbarList_ = new QListWidget;
    toolbarList_->setObjectName(QStringLiteral("toolbarList"));
    barsLayout->addWidget(toolbarList_);
    auto* barButtons = new QHBoxLayout;
    newBar_ = Button(tr("&New..."), barButtons);
    renameBar_ = Button(tr("Re&name..."), barButtons);
    deleteBar_ = Button(tr("&Delete"), barButtons);
    QPushButton* resetBar = Button(tr("&Reset"), barButtons);
    resetBar->setObjectName(QStringLiteral("resetToolbar"));
    barsLayout->addLayout(barButtons);
    layout->addWidget(barsBox, 1);

    auto* commandsBox = new QGroupBox(tr("Commands:"));
    auto* commandsLayout = new QVBoxLayout(commandsBox);
    commandTree_ = new CCommandTree;
    commandTree_->setObjectName(QStringLiteral("commandTree"));
    commandsLayout->addWidget(commandTree_);
    commandsLayout->addWidget(new QLabel(tr("Drag a command onto the toolbar's buttons.")));
    layout->addWidget(commandsBox, 1);

    auto* middle = new QVBoxLayout;
    middle->addStretch();
    QPushButton* add = Button(tr("&Add \u2192"), middle);
    add->setObjectName(QStringLiteral("addButton"));
    QPushButton* remove = Button(tr("\u2190 Re&move"), middle);
    QPushButton* up = Button(tr("Move &Up"), middle);
    QPushButton* down = Button(tr("Move Do&wn"), middle);
    middle->addStretch();
    layout->addLayout(middle);

    auto* buttonsBox = new QGroupBox(tr("Buttons:"));
    auto* buttonsLayout = new QVBoxLayout(buttonsBox);
    buttonList_ = new CButtonList;
    buttonList_->setObjectName(QStringLiteral("buttonList"));
    buttonsLayout->addWidget(buttonList_);
    buttonsLayout->addWidget(new QLabel(tr("Drag a button off the list to remove it.")));
    layout->addWidget(buttonsBox, 1);

    FillCommandTree(*commandTree_, true);
    FillToolbarList();

    connect(toolbarList_, &QListWidget::currentRowChanged, this, [this] { FillButtons(); });
    connect(toolbarList_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        state_.SetToolbarVisible(item->data(kIdRole).toInt(), item->checkState() == Qt::Checked);
    });
    connect(newBar_, &QPushButton::clicked, this, [this] {
        QInputDialog ask(this);
        ask.setWindowTitle(tr("New Toolbar"));
        ask.setLabelText(tr("Toolbar name:"));
        ask.setTextValue(tr("Toolbar %1").arg(state_.Toolbars().size()));
        if (ExecDialog(ask) != QDialog::Accepted) {
            return;
        }
        const int id = state_.AddToolbar(ask.textValue());
        FillToolbarList();
        FillCommandTree(*commandTree_, true);
        SelectToolbar(id);
    });
    connect(renameBar_, &QPushButton::clicked, this, [this] {
        const int id = SelectedToolbar();
        const ToolbarSpec* bar = state_.FindToolbar(id);
        if (bar == nullptr || !CBarCustomization::IsUserToolbar(id)) {
            return;
        }
        QInputDialog ask(this);
        ask.setWindowTitle(tr("Rename Toolbar"));
        ask.setLabelText(tr("Toolbar name:"));
        ask.setTextValue(bar->name);
        if (ExecDialog(ask) == QDialog::Accepted && state_.RenameToolbar(id, ask.textValue())) {
            FillToolbarList();
            FillCommandTree(*commandTree_, true);
            SelectToolbar(id);
        }
    });
    connect(deleteBar_, &QPushButton::clicked, this, [this] {
        if (state_.DeleteToolbar(SelectedToolbar())) {
            FillToolbarList();
            FillCommandTree(*commandTree_, true);
        }
    });
    connect(resetBar, &QPushButton::clicked, this, [this] {
        state_.ResetToolbar(SelectedToolbar());
        FillButtons();
    });
    connect(add, &QPushButton::clicked, this, [this] {
        const int command = SelectedCommand(*commandTree_);
        if (command >= 0) {
            const int row = buttonList_->currentRow();
            AddButton(command, row < 0 ? buttonList_->count() : row + 1);
        }
    });
    connect(remove, &QPushButton::clicked, this,
            [this] { RemoveButtonAt(buttonList_->currentRow()); });
    connect(up, &QPushButton::clicked, this, [this] {
        const int row = buttonList_->currentRow();
        if (row > 0) {
            MoveButtonTo(row, row - 1);
        }
    });
    connect(down, &QPushButton::clicked, this, [this] {
        const int row = buttonList_->currentRow();
        if (row >= 0 && row + 1 < buttonList_->count()) {
            MoveButtonTo(row, row + 2);
        }
    });
    connect(buttonList_, &CButtonList::CommandDropped, this, [this](int command, int from, int to) {
        if (from < 0) {
            AddButton(command, to);
        } else {
            MoveButtonTo(from, to);
        }
    });
    connect(buttonList_, &CButtonList::DraggedOff, this, &CCustomizeSheet::RemoveButtonAt);
    return page;
}

void CCustomizeSheet::FillToolbarList() {
    const int selected = SelectedToolbar();
    const QSignalBlocker block(toolbarList_);
    toolbarList_->clear();
    for (const ToolbarSpec& bar : state_.Toolbars()) {
        auto* item = new QListWidgetItem(bar.name, toolbarList_);
        item->setData(kIdRole, bar.id);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(bar.visible ? Qt::Checked : Qt::Unchecked);
    }
    newBar_->setEnabled(int(state_.Toolbars().size()) <= kMaxUserToolbars);
    SelectToolbar(state_.FindToolbar(selected) != nullptr ? selected : cmd::kStandardToolbar);
}

int CCustomizeSheet::SelectedToolbar() const {
    const QListWidgetItem* item = toolbarList_->currentItem();
    return item == nullptr ? 0 : item->data(kIdRole).toInt();
}

void CCustomizeSheet::SelectToolbar(int id) {
    for (int row = 0; row < toolbarList_->count(); ++row) {
        if (toolbarList_->item(row)->data(kIdRole).toInt() == id) {
            toolbarList_->setCurrentRow(row);
        }
    }
    FillButtons();
}

void CCustomizeSheet::FillButtons() {
    const int id = SelectedToolbar();
    const bool user = CBarCustomization::IsUserToolbar(id);
    renameBar_->setEnabled(user);
    deleteBar_->setEnabled(user);
    const int row = buttonList_->currentRow();
    buttonList_->clear();
    const ToolbarSpec* bar = state_.FindToolbar(id);
    if (bar == nullptr) {
        return;
    }
    for (int command : bar->commands) {
        auto* item = new QListWidgetItem(CommandName(state_, command), buttonList_);
        item->setData(kIdRole, command);
    }
    buttonList_->setCurrentRow(std::min(row, buttonList_->count() - 1));
}

bool CCustomizeSheet::AddButton(int command, int position) {
    if (!state_.InsertButton(SelectedToolbar(), position, command)) {
        return false;
    }
    FillButtons();
    buttonList_->setCurrentRow(std::clamp(position, 0, buttonList_->count() - 1));
    return true;
}

void CCustomizeSheet::RemoveButtonAt(int row) {
    if (state_.RemoveButton(SelectedToolbar(), row)) {
        FillButtons();
    }
}

void CCustomizeSheet::MoveButtonTo(int from, int to) {
    // `to` counts the rows before the button is taken out.
    const int target = to > from ? to - 1 : to;
    if (target != from && state_.MoveButton(SelectedToolbar(), from, target)) {
        FillButtons();
        buttonList_->setCurrentRow(target);
    }
}

// --- Keyboard --------------------------------------------------------------------------------

QWidget* CCustomizeSheet::BuildKeyboardPage() {
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    keyCommands_ = new QTreeWidget;
    keyCommands_->setObjectName(QStringLiteral("keyCommands"));
    keyCommands_->setColumnCount(2);
    keyCommands_->setHeaderLabels({tr("Command"), tr("Keys")});
    keyCommands_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    layout->addWidget(keyCommands_, 2);

    auto* side = new QVBoxLayout;
    side->addWidget(new QLabel(tr("Current keys:")));
    keyList_ = new QListWidget;
    side->addWidget(keyList_);
    QPushButton* remove = Button(tr("&Remove"), side);
    side->addWidget(new QLabel(tr("Press new shortcut key:")));
    keyEdit_ = new QKeySequenceEdit;
    keyEdit_->setObjectName(QStringLiteral("keyEdit"));
    side->addWidget(keyEdit_);
    keyOwner_ = new QLabel;
    keyOwner_->setWordWrap(true);
    side->addWidget(keyOwner_);
    QPushButton* assign = Button(tr("&Assign"), side);
    side->addStretch();
    QPushButton* resetAll = Button(tr("Reset A&ll"), side);
    layout->addLayout(side, 1);

    FillCommandTree(*keyCommands_, false);
    FillKeys();
    connect(keyCommands_, &QTreeWidget::currentItemChanged, this, [this] {
        keyList_->clear();
        const int command = SelectedCommand(*keyCommands_);
        for (const QKeySequence& key : state_.Shortcuts(command)) {
            keyList_->addItem(key.toString(QKeySequence::NativeText));
            keyList_->item(keyList_->count() - 1)->setData(kIdRole, key.toString());
        }
    });
    connect(keyEdit_, &QKeySequenceEdit::keySequenceChanged, this, [this](const QKeySequence& key) {
        const int owner = state_.ShortcutOwner(key);
        keyOwner_->setText(owner == 0
                               ? QString()
                               : tr("Currently assigned to: %1")
                                     .arg(owner == cmd::kEscape ? tr("Minimize (Esc)")
                                                                : CommandName(state_, owner)));
    });
    connect(assign, &QPushButton::clicked, this, [this] {
        const int command = SelectedCommand(*keyCommands_);
        if (command > 0 && AssignKey(command, keyEdit_->keySequence())) {
            keyEdit_->clear();
        }
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        const QListWidgetItem* item = keyList_->currentItem();
        if (item != nullptr) {
            state_.RemoveShortcut(SelectedCommand(*keyCommands_),
                                  QKeySequence(item->data(kIdRole).toString()));
            FillKeys();
        }
    });
    connect(resetAll, &QPushButton::clicked, this, [this] {
        state_.ResetShortcuts();
        FillKeys();
    });
    return page;
}

void CCustomizeSheet::FillKeys() {
    for (int top = 0; top < keyCommands_->topLevelItemCount(); ++top) {
        QTreeWidgetItem* category = keyCommands_->topLevelItem(top);
        for (int i = 0; i < category->childCount(); ++i) {
            QTreeWidgetItem* item = category->child(i);
            QStringList keys;
            for (const QKeySequence& key : state_.Shortcuts(item->data(0, kIdRole).toInt())) {
                keys << key.toString(QKeySequence::NativeText);
            }
            item->setText(1, keys.join(QStringLiteral(", ")));
        }
    }
    emit keyCommands_->currentItemChanged(keyCommands_->currentItem(), nullptr);
}

bool CCustomizeSheet::AssignKey(int command, const QKeySequence& key) {
    if (key.isEmpty()) {
        return false;
    }
    const int owner = state_.ShortcutOwner(key);
    const QString text = key.toString(QKeySequence::NativeText);
    if (owner == cmd::kEscape) {
        ShowMessageBox(this, tr("%1 minimizes the main window and cannot be assigned.").arg(text),
                       QMessageBox::Information);
        return false;
    }
    if (owner != 0 && owner != command) {
        QMessageBox ask(QMessageBox::Question, MessageCaption({}),
                        tr("%1 is assigned to \"%2\".\nAssign it to \"%3\" instead?")
                            .arg(text, CommandName(state_, owner), CommandName(state_, command)),
                        QMessageBox::Yes | QMessageBox::No, this);
        ask.setObjectName(QStringLiteral("shortcutTakenQuestion"));
        if (ExecDialog(ask) != QMessageBox::Yes) {
            return false;
        }
    }
    state_.AssignShortcut(command, key);
    FillKeys();
    return true;
}

// --- Tools -----------------------------------------------------------------------------------

QWidget* CCustomizeSheet::BuildToolsPage() {
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    auto* listSide = new QVBoxLayout;
    toolList_ = new QListWidget;
    toolList_->setObjectName(QStringLiteral("toolList"));
    listSide->addWidget(toolList_);
    auto* listButtons = new QHBoxLayout;
    newTool_ = Button(tr("&New"), listButtons);
    newTool_->setObjectName(QStringLiteral("newTool"));
    QPushButton* remove = Button(tr("&Delete"), listButtons);
    QPushButton* up = Button(tr("&Up"), listButtons);
    QPushButton* down = Button(tr("Do&wn"), listButtons);
    listSide->addLayout(listButtons);
    layout->addLayout(listSide, 1);

    auto* form = new QFormLayout;
    toolName_ = new QLineEdit;
    toolName_->setObjectName(QStringLiteral("toolName"));
    toolCommand_ = new QLineEdit;
    toolCommand_->setObjectName(QStringLiteral("toolCommand"));
    toolArguments_ = new QLineEdit;
    toolArguments_->setObjectName(QStringLiteral("toolArguments"));
    toolFolder_ = new QLineEdit;
    toolFolder_->setObjectName(QStringLiteral("toolFolder"));
    form->addRow(tr("&Name:"), toolName_);
    auto* commandRow = new QHBoxLayout;
    commandRow->addWidget(toolCommand_);
    QPushButton* browse = Button(tr("&Browse..."), commandRow);
    form->addRow(tr("&Command:"), commandRow);
    const auto withMacros = [this](QLineEdit* edit) {
        auto* row = new QHBoxLayout;
        row->addWidget(edit);
        auto* macros = new QToolButton;
        macros->setText(QStringLiteral("$()"));
        macros->setToolTip(tr("Insert a macro for the open data file"));
        macros->setPopupMode(QToolButton::InstantPopup);
        auto* menu = new QMenu(macros);
        for (const char* macro : {"$(FilePath)", "$(FileDir)", "$(FileName)"}) {
            menu->addAction(QString::fromLatin1(macro), edit,
                            [edit, macro] { edit->insert(QString::fromLatin1(macro)); });
        }
        macros->setMenu(menu);
        row->addWidget(macros);
        return row;
    };
    form->addRow(tr("&Arguments:"), withMacros(toolArguments_));
    form->addRow(tr("&Initial folder:"), withMacros(toolFolder_));
    auto* help =
        new QLabel(tr("$(FilePath), $(FileDir) and $(FileName) stand for the open data "
                      "file. The tool is started directly, not through a shell."));
    help->setWordWrap(true);
    form->addRow(help);
    layout->addLayout(form, 2);

    FillToolList();
    connect(toolList_, &QListWidget::currentRowChanged, this, [this] { ShowTool(); });
    for (QLineEdit* edit : {toolName_, toolCommand_, toolArguments_, toolFolder_}) {
        connect(edit, &QLineEdit::textChanged, this, [this] { EditTool(); });
    }
    connect(browse, &QPushButton::clicked, this, [this] {
        QFileDialog dialog(this, tr("Choose a Program"));
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (ExecDialog(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            toolCommand_->setText(dialog.selectedFiles().front());
        }
    });
    connect(newTool_, &QPushButton::clicked, this, [this] {
        if (state_.AddTool({tr("New Tool"), {}, {}, {}})) {
            FillToolList();
            toolList_->setCurrentRow(toolList_->count() - 1);
            toolName_->setFocus();
            toolName_->selectAll();
        }
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = toolList_->currentRow();
        if (row >= 0) {
            state_.RemoveTool(row);
            FillToolList();
            toolList_->setCurrentRow(std::min(row, toolList_->count() - 1));
        }
    });
    const auto move = [this](int step) {
        const int row = toolList_->currentRow();
        if (row >= 0 && row + step >= 0 && row + step < toolList_->count()) {
            state_.MoveTool(row, row + step);
            FillToolList();
            toolList_->setCurrentRow(row + step);
        }
    };
    connect(up, &QPushButton::clicked, this, [move] { move(-1); });
    connect(down, &QPushButton::clicked, this, [move] { move(1); });
    return page;
}

void CCustomizeSheet::FillToolList() {
    const QSignalBlocker block(toolList_);
    toolList_->clear();
    for (const UserTool& tool : state_.Tools()) {
        toolList_->addItem(tool.name);
    }
    newTool_->setEnabled(int(state_.Tools().size()) < kMaxUserTools);
    ShowTool();
}

void CCustomizeSheet::ShowTool() {
    const int row = toolList_->currentRow();
    const bool any = row >= 0 && row < int(state_.Tools().size());
    const UserTool tool = any ? state_.Tools()[row] : UserTool{};
    fillingTool_ = true;
    toolName_->setText(tool.name);
    toolCommand_->setText(tool.command);
    toolArguments_->setText(tool.arguments);
    toolFolder_->setText(tool.folder);
    fillingTool_ = false;
    for (QLineEdit* edit : {toolName_, toolCommand_, toolArguments_, toolFolder_}) {
        edit->setEnabled(any);
    }
}

void CCustomizeSheet::EditTool() {
    const int row = toolList_->currentRow();
    if (fillingTool_ || row < 0) {
        return;
    }
    state_.SetTool(row, {toolName_->text(), toolCommand_->text(), toolArguments_->text(),
                         toolFolder_->text()});
    toolList_->item(row)->setText(toolName_->text());
}

// --- Menus and Mouse -------------------------------------------------------------------------

QWidget* CCustomizeSheet::BuildMenusPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    logoStrip_ = new QCheckBox(tr("Show the Zelvant &logo strip beside menus"));
    logoStrip_->setObjectName(QStringLiteral("logoStrip"));
    logoStrip_->setChecked(state_.LogoStrip());
    largeIcons_ = new QCheckBox(tr("&Large toolbar icons"));
    largeIcons_->setObjectName(QStringLiteral("largeIcons"));
    largeIcons_->setChecked(state_.LargeIcons());
    layout->addWidget(logoStrip_);
    layout->addWidget(largeIcons_);
    layout->addStretch();
    connect(logoStrip_, &QCheckBox::toggled, this, [this](bool on) { state_.SetLogoStrip(on); });
    connect(largeIcons_, &QCheckBox::toggled, this, [this](bool on) { state_.SetLargeIcons(on); });
    return page;
}

QWidget* CCustomizeSheet::BuildMousePage() {
    auto* page = new QWidget;
    auto* layout = new QFormLayout(page);
    auto* view = new QComboBox;
    view->addItem(tr("Record view"));
    doubleClick_ = new QComboBox;
    doubleClick_->setObjectName(QStringLiteral("doubleClick"));
    doubleClick_->addItem(tr("(none)"), 0);
    for (const CommandGroup& group : CommandGroups()) {
        for (int id : group.ids) {
            if (CBarCustomization::IsUserToolbar(id) ||
                (id >= cmd::kUserToolFirst && id <= cmd::kUserToolLast)) {
                continue;
            }
            doubleClick_->addItem(group.menu + QStringLiteral(" \u2192 ") + CommandName(state_, id),
                                  id);
        }
    }
    doubleClick_->setCurrentIndex(
        std::max(0, doubleClick_->findData(state_.RecordViewDoubleClick())));
    layout->addRow(tr("&View:"), view);
    layout->addRow(tr("&Double click on empty space runs:"), doubleClick_);
    connect(doubleClick_, &QComboBox::currentIndexChanged, this,
            [this] { state_.SetRecordViewDoubleClick(doubleClick_->currentData().toInt()); });
    return page;
}

}  // namespace zelvant::ui
