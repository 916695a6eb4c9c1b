#pragma once
// The Customize sheet: toolbars, keyboard, tools, menus and mouse. It edits a copy of the
// window's customisation; OK hands the copy back.

#include <QDialog>
#include <QListWidget>
#include <QTreeWidget>

#include "ui/customization.h"

class QCheckBox;
class QComboBox;
class QKeySequenceEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace zelvant::ui {

// The name a command is listed under: its menu text without mnemonics, or the user's name for
// a user toolbar or tool.
QString CommandName(const CBarCustomization& state, int id);

// Commands dragged from the command list, or buttons dragged within a toolbar's list.
inline constexpr char kCommandMimeType[] = "application/x-zelvant-command";

class CCommandTree final : public QTreeWidget {
    Q_OBJECT
  public:
    explicit CCommandTree(QWidget* parent = nullptr);

  protected:
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    QStringList mimeTypes() const override;
};

// A toolbar's buttons in order. Commands dropped on it are added where they land, buttons
// dragged within it move, and a button dragged off it is removed.
class CButtonList final : public QListWidget {
    Q_OBJECT
  public:
    explicit CButtonList(QWidget* parent = nullptr);

  signals:
    void CommandDropped(int command, int fromRow, int toRow);
    void DraggedOff(int row);

  protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class CCustomizeSheet final : public QDialog {
    Q_OBJECT
  public:
    enum Page { kToolbarsPage, kKeyboardPage, kToolsPage, kMenusPage, kMousePage };

    CCustomizeSheet(const CBarCustomization& state, QWidget* parent = nullptr);

    const CBarCustomization& State() const { return state_; }
    void ShowPage(int page);

    // What the pages' buttons and drags do; public so that tests can drive them.
    int SelectedToolbar() const;
    void SelectToolbar(int id);
    bool AddButton(int command, int position);
    void RemoveButtonAt(int row);
    void MoveButtonTo(int from, int to);
    // Asks before taking the key from another command; false when it was not assigned.
    bool AssignKey(int command, const QKeySequence& key);

  private:
    QWidget* BuildToolbarsPage();
    QWidget* BuildKeyboardPage();
    QWidget* BuildToolsPage();
    QWidget* BuildMenusPage();
    QWidget* BuildMousePage();
    void FillToolbarList();
    void FillButtons();
    void FillCommandTree(QTreeWidget& tree, bool withSeparator);
    void FillKeys();
    void FillToolList();
    void ShowTool();
    void EditTool();
    int SelectedCommand(const QTreeWidget& tree) const;

    CBarCustomization state_;
    QTabWidget* tabs_ = nullptr;

    QListWidget* toolbarList_ = nullptr;
    CCommandTree* commandTree_ = nullptr;
    CButtonList* buttonList_ = nullptr;
    QPushButton* newBar_ = nullptr;
    QPushButton* renameBar_ = nullptr;
    QPushButton* deleteBar_ = nullptr;

    QTreeWidget* keyCommands_ = nullptr;
    QListWidget* keyList_ = nullptr;
    QKeySequenceEdit* keyEdit_ = nullptr;
    QLabel* keyOwner_ = nullptr;

    QListWidget* toolList_ = nullptr;
    QLineEdit* toolName_ = nullptr;
    QLineEdit* toolCommand_ = nullptr;
    QLineEdit* toolArguments_ = nullptr;
    QLineEdit* toolFolder_ = nullptr;
    QPushButton* newTool_ = nullptr;
    bool fillingTool_ = false;

    QCheckBox* logoStrip_ = nullptr;
    QCheckBox* largeIcons_ = nullptr;
    QComboBox* doubleClick_ = nullptr;
};

}  // namespace zelvant::ui
