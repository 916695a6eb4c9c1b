#pragma once
// A tree whose items are options: group headings, check boxes, radio buttons (exclusive among
// the radio children of one parent) and values edited in place, optionally with up-down buttons.
// The options pages and the print dialog build one of these and move their members in and out
// with the exchange functions at the end of this file.
//
// The state of a check box or radio button lives in its image index only, with the fixed
// meanings of OptionImage; the indicators themselves are drawn by the platform style.

#include <QAbstractSpinBox>
#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QTreeWidget>
#include <string>

class QLineEdit;

namespace zelvant::controls {

enum OptionImage : int {
    kImageCheckOff = 0,
    kImageCheckOn = 1,
    kImageRadioOff = 2,
    kImageRadioOn = 3,
    kImageCheckOffDisabled = 4,
    kImageCheckOnDisabled = 5,
    kImageRadioOffDisabled = 6,
    kImageRadioOnDisabled = 7,
    kImageCheckPartly = 8,
    kImageCheckPartlyDisabled = 9,
};

enum class OptionKind : int { kGroup = 0, kEdit = 1, kCheckBox = 7, kRadioButton = 8 };

// How an edit item's in-place control is made.
struct InPlaceEditStyle {
    bool upDown = false;  // up-down buttons right of the edit, with arrow-key support
    int minimum = 0;
    int maximum = 100;
    int narrower = 0;     // pixels taken off the edit's width (one options field uses 70)
    bool secret = false;  // typed masked; the label shows one '*' per character
    int maxLength = 0;    // characters the edit takes; 0: the platform's limit
};

inline constexpr int kMinimumEditWidth = 20;
inline constexpr char kEditObjectName[] = "optionsTreeEdit";
inline constexpr char kUpDownObjectName[] = "optionsTreeUpDown";

// An edit with up-down buttons that accepts any text: the buttons and arrow keys step the number
// at the start of the text within the range and write it back plainly, but the user may type
// anything, because the pages repair typed values themselves.
class CInPlaceUpDown final : public QAbstractSpinBox {
    Q_OBJECT
  public:
    CInPlaceUpDown(int minimum, int maximum, QWidget* parent = nullptr);

    QLineEdit* Edit() const { return lineEdit(); }
    QString Text() const;
    void SetText(const QString& text);
    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

  protected:
    StepEnabled stepEnabled() const override;

  private:
    int minimum_;
    int maximum_;
};

class CTreeOptionsCtrl : public QTreeWidget {
    Q_OBJECT
  public:
    explicit CTreeOptionsCtrl(QWidget* parent = nullptr);
    ~CTreeOptionsCtrl() override;

    // Every insert puts the item after `after`, or last when `after` is null or not a child of
    // `parent`; a null parent means top level.
    QTreeWidgetItem* InsertGroup(const QString& text, int image, QTreeWidgetItem* parent = nullptr,
                                 QTreeWidgetItem* after = nullptr);
    QTreeWidgetItem* InsertCheckBox(const QString& text, QTreeWidgetItem* parent, bool checked,
                                    QTreeWidgetItem* after = nullptr);
    // A radio inserted on is checked at once and its radio siblings are turned off.
    QTreeWidgetItem* InsertRadioButton(const QString& text, QTreeWidgetItem* parent, bool checked,
                                       QTreeWidgetItem* after = nullptr);
    // Turns a plain item (normally one made with InsertGroup) into an edit item.
    void AddEditBox(QTreeWidgetItem* item, InPlaceEditStyle style = {});
    // Convenience: a group-style item with an edit attached and its value set.
    QTreeWidgetItem* InsertEdit(const QString& caption, int image, QTreeWidgetItem* parent,
                                const QString& value, InPlaceEditStyle style = {},
                                QTreeWidgetItem* after = nullptr);

    static OptionKind Kind(const QTreeWidgetItem* item);
    static int Image(const QTreeWidgetItem* item);
    // The label up to the first ": " (the whole label when there is none).
    static QString Caption(const QTreeWidgetItem* item);

    // Check boxes. Setting ignores the enabled state: only the user cannot change a disabled box.
    void SetCheckBox(QTreeWidgetItem* item, bool checked);
    bool GetCheckBox(const QTreeWidgetItem* item) const;
    void SetCheckBoxEnable(QTreeWidgetItem* item, bool enabled);
    bool GetCheckBoxEnable(const QTreeWidgetItem* item) const;

    // Radio buttons: checking one turns its radio siblings off.
    void SetRadioButton(QTreeWidgetItem* item);
    void SetRadioButton(QTreeWidgetItem* group, int index);
    void SetRadioButtonEnable(QTreeWidgetItem* item, bool enabled);
    bool GetRadioButtonEnable(const QTreeWidgetItem* item) const;
    // The index of the checked radio among the group's children (top-level items for a null
    // group); -1 for none. SetRadioButton(group, index) uses the same counting.
    int GetRadioButton(const QTreeWidgetItem* group) const;
    QTreeWidgetItem* GetCheckedRadioButton(const QTreeWidgetItem* group) const;

    // Edit items: the label is "caption: value". While an item is open in place its label shows
    // the caption only and GetEditText answers the text being edited.
    void SetEditText(QTreeWidgetItem* item, const QString& value);
    QString GetEditText(const QTreeWidgetItem* item) const;
    // The number at the start of the value (optional blanks and sign, then digits); 0 if none.
    int GetEditNumber(const QTreeWidgetItem* item) const;
    void SetEditNumber(QTreeWidgetItem* item, int value) {
        SetEditText(item, QString::number(value));
    }

    // The item whose in-place control is open and that control's edit, or null.
    QTreeWidgetItem* InPlaceItem() const { return open_item_; }
    QLineEdit* InPlaceEdit() const;
    QWidget* InPlaceControl() const { return editor_; }
    // Writes the value back into the label and removes the in-place control.
    void CloseInPlaceEdit();
    // Opens the current item's in-place control (if it has one) and gives it the focus.
    bool EditCurrentItem();

    // Default: a click anywhere on the row acts; true: only a click on the indicator does.
    void SetToggleOnIndicatorOnly(bool only) { indicator_only_ = only; }
    bool ToggleOnIndicatorOnly() const { return indicator_only_; }

    // Icons for the free image indexes of groups and edit items (10 and up).
    void SetImageIcon(int image, const QIcon& icon);
    QIcon ImageIcon(int image) const { return icons_.value(image); }

    // The first item (depth first) whose caption is `caption`, or null.
    QTreeWidgetItem* FindItem(const QString& caption) const;

    // Where the indicator of a check or radio item is drawn, in viewport coordinates.
    QRect IndicatorRect(const QTreeWidgetItem* item) const;

  signals:
    // A check box's or radio button's state changed, by the user or by a call.
    void CheckChanged(QTreeWidgetItem* item, bool checked);
    // The checked radio of a parent changed; index counts radio children from 0.
    void RadioChanged(QTreeWidgetItem* group, int index);
    // An edit item's value was written back from its in-place control with a new value.
    void EditTextChanged(QTreeWidgetItem* item, const QString& value);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CloseEditor(bool refocus);
    void DiscardEditor();
    void OnRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    QTreeWidgetItem* NewItem(QTreeWidgetItem* parent, QTreeWidgetItem* after, const QString& text);
    void SetImage(QTreeWidgetItem* item, int image);
    // The user's action on a check or radio item: toggles it when enabled.
    void Activate(QTreeWidgetItem* item);
    void UpdateParentCheck(QTreeWidgetItem* parent);
    void OpenInPlaceEdit(QTreeWidgetItem* item);
    void PlaceEditor();
    bool OwnsWidget(const QWidget* widget) const;
    static void SetLabelValue(QTreeWidgetItem* item, const QString& value);

    QHash<int, QIcon> icons_;
    bool indicator_only_ = false;
    bool opening_ = false;
    int activations_ = 0;
    QString open_value_;
    QTreeWidgetItem* open_item_ = nullptr;
    QPointer<QWidget> editor_;
};

// Exchange between a page's members and its tree: kLoad fills the tree, kSave reads it back.
// Saving an edit item that is open in place reads the text being typed.
enum class Exchange { kLoad, kSave };

void DDX_TreeCheck(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* item, int& value);
void DDX_TreeCheck(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* item, bool& value);
void DDX_TreeRadio(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* group, int& index);
void DDX_TreeEdit(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* item, QString& text);
void DDX_TreeEdit(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* item,
                  std::string& text);  // UTF-8
// Load writes the number in decimal; save reads the number at the start of the value.
void DDX_TreeEditNumber(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* item,
                        int& value);

}  // namespace zelvant::controls
