#include "controls/options_tree.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <climits>
#include <utility>

namespace zelvant::controls {

namespace {

constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;
constexpr int kUpDownRole = Qt::UserRole + 3;
constexpr int kMinimumRole = Qt::UserRole + 4;
constexpr int kMaximumRole = Qt::UserRole + 5;
constexpr int kNarrowerRole = Qt::UserRole + 6;
constexpr int kSecretRole = Qt::UserRole + 7;
constexpr int kMaxLengthRole = Qt::UserRole + 8;
// A secret edit keeps its value here; its label shows one '*' per character.
constexpr int kSecretValueRole = Qt::UserRole + 9;

const QString kSeparator = QStringLiteral(": ");

bool IsToggle(OptionKind kind) {
    return kind == OptionKind::kCheckBox || kind == OptionKind::kRadioButton;
}

bool ImageOn(int image) {
    return image == kImageCheckOn || image == kImageCheckOnDisabled || image == kImageCheckPartly ||
           image == kImageCheckPartlyDisabled || image == kImageRadioOn ||
           image == kImageRadioOnDisabled;
}

bool ImageEnabled(int image) {
    return image == kImageCheckOff || image == kImageCheckOn || image == kImageCheckPartly ||
           image == kImageRadioOff || image == kImageRadioOn;
}

int CheckImage(bool on, bool partly, bool enabled) {
    if (partly) {
        return enabled ? kImageCheckPartly : kImageCheckPartlyDisabled;
    }
    if (on) {
        return enabled ? kImageCheckOn : kImageCheckOnDisabled;
    }
    return enabled ? kImageCheckOff : kImageCheckOffDisabled;
}

int RadioImage(bool on, bool enabled) {
    if (on) {
        return enabled ? kImageRadioOn : kImageRadioOnDisabled;
    }
    return enabled ? kImageRadioOff : kImageRadioOffDisabled;
}

// Like the C library's atoi, so that "12 minutes" reads 12 and "abc" reads 0.
int LeadingNumber(const QString& text) {
    qsizetype pos = 0;
    while (pos < text.size() && text[pos].isSpace()) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    long long value = 0;
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
        value = std::min<long long>(value * 10 + (text[pos].unicode() - u'0'), 1LL << 32);
    }
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

QString LabelValue(const QString& label) {
    const qsizetype at = label.indexOf(kSeparator);
    return at < 0 ? QString() : label.mid(at + kSeparator.size());
}

QString ItemValue(const QTreeWidgetItem* item) {
    return item->data(0, kSecretRole).toBool() ? item->data(0, kSecretValueRole).toString()
                                               : LabelValue(item->text(0));
}

QString EditorText(QWidget* editor) {
    if (auto* spin = qobject_cast<CInPlaceUpDown*>(editor)) {
        return spin->Text();
    }
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        return line->text();
    }
    return {};
}

// Screen readers and tests find items by caption; the description carries kind and state.
void RefreshAccessibility(QTreeWidgetItem* item) {
    const auto kind = static_cast<OptionKind>(item->data(0, kKindRole).toInt());
    const int image = item->data(0, kImageRole).toInt();
    QString description;
    switch (kind) {
        case OptionKind::kGroup:
            description = QStringLiteral("group");
            break;
        case OptionKind::kEdit:
            description = QStringLiteral("edit: ") + LabelValue(item->text(0));
            break;
        case OptionKind::kCheckBox:
            description = image == kImageCheckPartly || image == kImageCheckPartlyDisabled
                              ? QStringLiteral("check box, partly checked")
                          : ImageOn(image) ? QStringLiteral("check box, checked")
                                           : QStringLiteral("check box, not checked");
            break;
        case OptionKind::kRadioButton:
            description = ImageOn(image) ? QStringLiteral("radio button, checked")
                                         : QStringLiteral("radio button, not checked");
            break;
    }
    if (IsToggle(kind)) {
        if (!ImageEnabled(image)) {
            description += QStringLiteral(", disabled");
        }
        const bool partly = image == kImageCheckPartly || image == kImageCheckPartlyDisabled;
        item->setData(0, Qt::CheckStateRole,
                      partly           ? Qt::PartiallyChecked
                      : ImageOn(image) ? Qt::Checked
                                       : Qt::Unchecked);
    }
    item->setData(0, Qt::AccessibleTextRole, CTreeOptionsCtrl::Caption(item));
    item->setData(0, Qt::AccessibleDescriptionRole, description);
}

QRect IndicatorGeometry(const QRect& cell, OptionKind kind, const QStyle* style,
                        const QWidget* widget) {
    const bool check = kind == OptionKind::kCheckBox;
    const int width = style->pixelMetric(
        check ? QStyle::PM_IndicatorWidth : QStyle::PM_ExclusiveIndicatorWidth, nullptr, widget);
    const int height = style->pixelMetric(
        check ? QStyle::PM_IndicatorHeight : QStyle::PM_ExclusiveIndicatorHeight, nullptr, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return {cell.left() + margin, cell.top() + (cell.height() - height) / 2, width, height};
}

// Check boxes and radio buttons are drawn with the platform's indicators, greyed when disabled;
// other items draw as usual. The view does its own toggling, so editorEvent never acts.
class OptionsDelegate final : public QStyledItemDelegate {
  public:
    OptionsDelegate(int edit_height, QObject* parent)
        : QStyledItemDelegate(parent), edit_height_(edit_height) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const auto kind = static_cast<OptionKind>(index.data(kKindRole).toInt());
        if (!IsToggle(kind)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem view = option;
        initStyleOption(&view, index);
        const QWidget* widget = view.widget;
        const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        const QString text = view.text;
        const int image = index.data(kImageRole).toInt();
        const bool enabled = ImageEnabled(image);

        view.text.clear();
        view.icon = QIcon();
        view.features &= ~(QStyleOptionViewItem::HasCheckIndicator |
                           QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay);
        style->drawControl(QStyle::CE_ItemViewItem, &view, painter, widget);

        QStyleOptionButton button;
        button.direction = view.direction;
        button.palette = view.palette;
        button.fontMetrics = view.fontMetrics;
        button.rect = IndicatorGeometry(view.rect, kind, style, widget);
        button.state = view.state & QStyle::State_Active;
        if (enabled) {
            button.state |= QStyle::State_Enabled;
        }
        if (image == kImageCheckPartly || image == kImageCheckPartlyDisabled) {
            button.state |= QStyle::State_NoChange;
        } else {
            button.state |= ImageOn(image) ? QStyle::State_On : QStyle::State_Off;
        }
        style->drawPrimitive(kind == OptionKind::kCheckBox ? QStyle::PE_IndicatorCheckBox
                                                           : QStyle::PE_IndicatorRadioButton,
                             &button, painter, widget);

        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        QRect text_rect = view.rect;
        text_rect.setLeft(button.rect.right() + 1 + 2 * margin);
        const QPalette::ColorGroup group =
            !enabled
                ? QPalette::Disabled
                : ((view.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive);
        const QPalette::ColorRole role =
            (view.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
        painter->save();
        painter->setFont(view.font);
        painter->setPen(view.palette.color(group, role));
        painter->drawText(
            text_rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            view.fontMetrics.elidedText(text, Qt::ElideRight, std::max(0, text_rect.width())));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const auto kind = static_cast<OptionKind>(index.data(kKindRole).toInt());
        if (IsToggle(kind)) {
            const QWidget* widget = option.widget;
            const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
            const QRect indicator = IndicatorGeometry(QRect(0, 0, 0, 0), kind, style, widget);
            size.rwidth() += indicator.width() + indicator.left() * 2;
            size.setHeight(std::max(size.height(), indicator.height() + 2));
        } else if (kind == OptionKind::kEdit) {
            size.setHeight(std::max(size.height(), edit_height_));
        }
        return size;
    }

    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&,
                     const QModelIndex&) override {
        return false;
    }

    QRect TextRect(QStyleOptionViewItem option, const QModelIndex& index) const {
        initStyleOption(&option, index);
        const QWidget* widget = option.widget;
        const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        return style->subElementRect(QStyle::SE_ItemViewItemText, &option, widget);
    }

  private:
    int edit_height_;
};

}  // namespace

// ---- CInPlaceUpDown

CInPlaceUpDown::CInPlaceUpDown(int minimum, int maximum, QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(std::max(minimum, maximum)) {
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
}

QString CInPlaceUpDown::Text() const {
    return lineEdit()->text();
}

void CInPlaceUpDown::SetText(const QString& text) {
    lineEdit()->setText(text);
}

void CInPlaceUpDown::stepBy(int steps) {
    const long long next = static_cast<long long>(LeadingNumber(Text())) + steps;
    lineEdit()->setText(QString::number(std::clamp<long long>(next, minimum_, maximum_)));
}

QValidator::State CInPlaceUpDown::validate(QString&, int&) const {
    return QValidator::Acceptable;
}

void CInPlaceUpDown::fixup(QString&) const {}

QAbstractSpinBox::StepEnabled CInPlaceUpDown::stepEnabled() const {
    const int value = LeadingNumber(Text());
    StepEnabled enabled = StepNone;
    if (value < maximum_) {
        enabled |= StepUpEnabled;
    }
    if (value > minimum_) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

// ---- CTreeOptionsCtrl

CTreeOptionsCtrl::CTreeOptionsCtrl(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(true);
    setAccessibleName(QStringLiteral("Options"));
    const int edit_height = QLineEdit().minimumSizeHint().height();
    setItemDelegate(new OptionsDelegate(edit_height, this));

    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &CTreeOptionsCtrl::OnRowsAboutToBeRemoved);
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this,
            &CTreeOptionsCtrl::DiscardEditor);
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* collapsed) {
        for (QTreeWidgetItem* up = open_item_ != nullptr ? open_item_->parent() : nullptr;
             up != nullptr; up = up->parent()) {
            if (up == collapsed) {
                CloseInPlaceEdit();
                return;
            }
        }
        PlaceEditor();
    });
    connect(this, &QTreeWidget::itemExpanded, this, [this] { PlaceEditor(); });
}

CTreeOptionsCtrl::~CTreeOptionsCtrl() {
    CloseEditor(false);
    // The base class removes the items after this object's own part is gone.
    disconnect(model(), nullptr, this, nullptr);
}

QTreeWidgetItem* CTreeOptionsCtrl::NewItem(QTreeWidgetItem* parent, QTreeWidgetItem* after,
                                           const QString& text) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (parent != nullptr) {
        const int at = after != nullptr && after->parent() == parent
                           ? parent->indexOfChild(after) + 1
                           : parent->childCount();
        parent->insertChild(at, item);
    } else {
        const int index =
            after != nullptr && after->parent() == nullptr ? indexOfTopLevelItem(after) : -1;
        insertTopLevelItem(index >= 0 ? index + 1 : topLevelItemCount(), item);
    }
    return item;
}

QTreeWidgetItem* CTreeOptionsCtrl::InsertGroup(const QString& text, int image,
                                               QTreeWidgetItem* parent, QTreeWidgetItem* after) {
    QTreeWidgetItem* item = NewItem(parent, after, text);
    item->setData(0, kKindRole, static_cast<int>(OptionKind::kGroup));
    SetImage(item, image);
    return item;
}

QTreeWidgetItem* CTreeOptionsCtrl::InsertCheckBox(const QString& text, QTreeWidgetItem* parent,
                                                  bool checked, QTreeWidgetItem* after) {
    QTreeWidgetItem* item = NewItem(parent, after, text);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setData(0, kKindRole, static_cast<int>(OptionKind::kCheckBox));
    SetImage(item, checked ? kImageCheckOn : kImageCheckOff);
    UpdateParentCheck(parent);
    return item;
}

QTreeWidgetItem* CTreeOptionsCtrl::InsertRadioButton(const QString& text, QTreeWidgetItem* parent,
                                                     bool checked, QTreeWidgetItem* after) {
    QTreeWidgetItem* item = NewItem(parent, after, text);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setData(0, kKindRole, static_cast<int>(OptionKind::kRadioButton));
    SetImage(item, kImageRadioOff);
    if (checked) {
        SetRadioButton(item);
    }
    return item;
}

void CTreeOptionsCtrl::AddEditBox(QTreeWidgetItem* item, InPlaceEditStyle style) {
    if (item == nullptr || IsToggle(Kind(item))) {
        return;
    }
    item->setData(0, kKindRole, static_cast<int>(OptionKind::kEdit));
    item->setData(0, kUpDownRole, style.upDown);
    item->setData(0, kMinimumRole, style.minimum);
    item->setData(0, kMaximumRole, style.maximum);
    item->setData(0, kNarrowerRole, style.narrower);
    item->setData(0, kSecretRole, style.secret);
    item->setData(0, kMaxLengthRole, style.maxLength);
    RefreshAccessibility(item);
    if (item == currentItem()) {
        OpenInPlaceEdit(item);
    }
}

QTreeWidgetItem* CTreeOptionsCtrl::InsertEdit(const QString& caption, int image,
                                              QTreeWidgetItem* parent, const QString& value,
                                              InPlaceEditStyle style, QTreeWidgetItem* after) {
    QTreeWidgetItem* item = InsertGroup(caption, image, parent, after);
    AddEditBox(item, style);
    SetEditText(item, value);
    return item;
}

OptionKind CTreeOptionsCtrl::Kind(const QTreeWidgetItem* item) {
    return item == nullptr ? OptionKind::kGroup
                           : static_cast<OptionKind>(item->data(0, kKindRole).toInt());
}

int CTreeOptionsCtrl::Image(const QTreeWidgetItem* item) {
    return item == nullptr ? -1 : item->data(0, kImageRole).toInt();
}

QString CTreeOptionsCtrl::Caption(const QTreeWidgetItem* item) {
    if (item == nullptr) {
        return {};
    }
    const QString label = item->text(0);
    const qsizetype at = label.indexOf(kSeparator);
    return at < 0 ? label : label.left(at);
}

void CTreeOptionsCtrl::SetImage(QTreeWidgetItem* item, int image) {
    item->setData(0, kImageRole, image);
    if (!IsToggle(Kind(item))) {
        item->setIcon(0, icons_.value(image));
    }
    RefreshAccessibility(item);
}

void CTreeOptionsCtrl::SetImageIcon(int image, const QIcon& icon) {
    icons_.insert(image, icon);
    for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it) {
        if (!IsToggle(Kind(*it)) && Image(*it) == image) {
            (*it)->setIcon(0, icon);
        }
    }
}

// ---- check boxes

void CTreeOptionsCtrl::SetCheckBox(QTreeWidgetItem* item, bool checked) {
    if (item == nullptr || Kind(item) != OptionKind::kCheckBox) {
        return;
    }
    const bool was = GetCheckBox(item);
    SetImage(item, CheckImage(checked, false, GetCheckBoxEnable(item)));
    if (was != checked) {
        emit CheckChanged(item, checked);
    }
    UpdateParentCheck(item->parent());
}

bool CTreeOptionsCtrl::GetCheckBox(const QTreeWidgetItem* item) const {
    return Kind(item) == OptionKind::kCheckBox && ImageOn(Image(item));
}

void CTreeOptionsCtrl::SetCheckBoxEnable(QTreeWidgetItem* item, bool enabled) {
    if (item == nullptr || Kind(item) != OptionKind::kCheckBox) {
        return;
    }
    const int image = Image(item);
    const bool partly = image == kImageCheckPartly || image == kImageCheckPartlyDisabled;
    SetImage(item, CheckImage(ImageOn(image), partly, enabled));
}

bool CTreeOptionsCtrl::GetCheckBoxEnable(const QTreeWidgetItem* item) const {
    return Kind(item) == OptionKind::kCheckBox && ImageEnabled(Image(item));
}

// A parent check box shows on, partly on or off as its child check boxes are all, some or none on.
void CTreeOptionsCtrl::UpdateParentCheck(QTreeWidgetItem* parent) {
    if (parent == nullptr || Kind(parent) != OptionKind::kCheckBox) {
        return;
    }
    int total = 0;
    int on = 0;
    for (int i = 0; i < parent->childCount(); ++i) {
        if (Kind(parent->child(i)) == OptionKind::kCheckBox) {
            ++total;
            on += GetCheckBox(parent->child(i)) ? 1 : 0;
        }
    }
    if (total == 0) {
        return;
    }
    const bool was = GetCheckBox(parent);
    SetImage(parent, CheckImage(on == total, on > 0 && on < total, GetCheckBoxEnable(parent)));
    if (was != GetCheckBox(parent)) {
        emit CheckChanged(parent, GetCheckBox(parent));
    }
    UpdateParentCheck(parent->parent());
}

// ---- radio buttons

void CTreeOptionsCtrl::SetRadioButton(QTreeWidgetItem* item) {
    if (item == nullptr || Kind(item) != OptionKind::kRadioButton) {
        return;
    }
    QTreeWidgetItem* parent = item->parent();
    const int count = parent != nullptr ? parent->childCount() : topLevelItemCount();
    const int before = GetRadioButton(parent);
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* sibling = parent != nullptr ? parent->child(i) : topLevelItem(i);
        if (Kind(sibling) != OptionKind::kRadioButton) {
            continue;
        }
        const bool was = ImageOn(Image(sibling));
        const bool on = sibling == item;
        SetImage(sibling, RadioImage(on, ImageEnabled(Image(sibling))));
        if (was != on) {
            emit CheckChanged(sibling, on);
        }
    }
    const int after = GetRadioButton(parent);
    if (after != before) {
        emit RadioChanged(parent, after);
    }
}

void CTreeOptionsCtrl::SetRadioButton(QTreeWidgetItem* group, int index) {
    const int count = group != nullptr ? group->childCount() : topLevelItemCount();
    if (index < 0 || index >= count) {
        return;
    }
    SetRadioButton(group != nullptr ? group->child(index) : topLevelItem(index));
}

void CTreeOptionsCtrl::SetRadioButtonEnable(QTreeWidgetItem* item, bool enabled) {
    if (item != nullptr && Kind(item) == OptionKind::kRadioButton) {
        SetImage(item, RadioImage(ImageOn(Image(item)), enabled));
    }
}

bool CTreeOptionsCtrl::GetRadioButtonEnable(const QTreeWidgetItem* item) const {
    return Kind(item) == OptionKind::kRadioButton && ImageEnabled(Image(item));
}

int CTreeOptionsCtrl::GetRadioButton(const QTreeWidgetItem* group) const {
    const int count = group != nullptr ? group->childCount() : topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* child = group != nullptr ? group->child(i) : topLevelItem(i);
        if (Kind(child) == OptionKind::kRadioButton && ImageOn(Image(child))) {
            return i;
        }
    }
    return -1;
}

QTreeWidgetItem* CTreeOptionsCtrl::GetCheckedRadioButton(const QTreeWidgetItem* group) const {
    const int index = GetRadioButton(group);
    if (index < 0) {
        return nullptr;
    }
    return group != nullptr ? group->child(index) : topLevelItem(index);
}

// ---- edit items

void CTreeOptionsCtrl::SetLabelValue(QTreeWidgetItem* item, const QString& value) {
    const QString label = item->text(0);
    const qsizetype at = label.indexOf(kSeparator);
    QString shown = value;
    if (item->data(0, kSecretRole).toBool()) {
        item->setData(0, kSecretValueRole, value);
        shown = QString(value.size(), QLatin1Char('*'));
    }
    item->setText(0,
                  at < 0 ? label + kSeparator + shown : label.left(at + kSeparator.size()) + shown);
    RefreshAccessibility(item);
}

void CTreeOptionsCtrl::SetEditText(QTreeWidgetItem* item, const QString& value) {
    if (item == nullptr) {
        return;
    }
    if (item == open_item_ && editor_ != nullptr) {
        if (auto* spin = qobject_cast<CInPlaceUpDown*>(editor_.data())) {
            spin->SetText(value);
        } else if (auto* line = qobject_cast<QLineEdit*>(editor_.data())) {
            line->setText(value);
        }
        open_value_ = value;
        return;
    }
    SetLabelValue(item, value);
}

QString CTreeOptionsCtrl::GetEditText(const QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return {};
    }
    if (item == open_item_ && editor_ != nullptr) {
        return EditorText(editor_);
    }
    return ItemValue(item);
}

int CTreeOptionsCtrl::GetEditNumber(const QTreeWidgetItem* item) const {
    return LeadingNumber(GetEditText(item));
}

QLineEdit* CTreeOptionsCtrl::InPlaceEdit() const {
    if (auto* spin = qobject_cast<CInPlaceUpDown*>(editor_.data())) {
        return spin->Edit();
    }
    return qobject_cast<QLineEdit*>(editor_.data());
}

void CTreeOptionsCtrl::OpenInPlaceEdit(QTreeWidgetItem* item) {
    if (item == nullptr || Kind(item) != OptionKind::kEdit) {
        return;
    }
    if (item == open_item_ && editor_ != nullptr) {
        return;
    }
    CloseInPlaceEdit();

    open_value_ = ItemValue(item);
    item->setText(0, Caption(item));

    QWidget* editor = nullptr;
    QLineEdit* line = nullptr;
    if (item->data(0, kUpDownRole).toBool()) {
        auto* spin = new CInPlaceUpDown(item->data(0, kMinimumRole).toInt(),
                                        item->data(0, kMaximumRole).toInt(), viewport());
        spin->setObjectName(QLatin1StringView(kUpDownObjectName));
        spin->SetText(open_value_);
        line = spin->Edit();
        editor = spin;
    } else {
        line = new QLineEdit(viewport());
        line->setText(open_value_);
        editor = line;
    }
    line->setObjectName(QLatin1StringView(kEditObjectName));
    const bool secret = item->data(0, kSecretRole).toBool();
    line->setEchoMode(secret ? QLineEdit::Password : QLineEdit::Normal);
    if (secret) {
        line->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData |
                                  Qt::ImhNoPredictiveText);
    }
    if (const int most = item->data(0, kMaxLengthRole).toInt(); most > 0) {
        line->setMaxLength(most);
    }
    editor->setFont(font());
    editor->setAccessibleName(Caption(item));
    editor->installEventFilter(this);
    if (line != editor) {
        line->installEventFilter(this);
    }

    open_item_ = item;
    editor_ = editor;
    opening_ = true;
    PlaceEditor();
    editor->show();
    opening_ = false;
}

void CTreeOptionsCtrl::PlaceEditor() {
    if (editor_ == nullptr || open_item_ == nullptr) {
        return;
    }
    const QModelIndex index = indexFromItem(open_item_);
    const QRect row = visualRect(index);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = row;
    const auto* delegate = static_cast<const OptionsDelegate*>(itemDelegate());
    const QRect text = delegate->TextRect(option, index);
    const int left = text.left() + option.fontMetrics.horizontalAdvance(Caption(open_item_)) + 4;
    const int width = std::max(
        kMinimumEditWidth, viewport()->width() - left - open_item_->data(0, kNarrowerRole).toInt());
    editor_->setGeometry(left, row.top(), width, row.height());
}

bool CTreeOptionsCtrl::OwnsWidget(const QWidget* widget) const {
    return widget != nullptr && editor_ != nullptr &&
           (widget == editor_ || editor_->isAncestorOf(widget));
}

void CTreeOptionsCtrl::CloseInPlaceEdit() {
    CloseEditor(true);
}

void CTreeOptionsCtrl::CloseEditor(bool refocus) {
    if (open_item_ == nullptr) {
        return;
    }
    QTreeWidgetItem* item = std::exchange(open_item_, nullptr);
    QPointer<QWidget> editor = std::exchange(editor_, nullptr);
    const QString value = editor != nullptr ? EditorText(editor) : open_value_;
    SetLabelValue(item, value);
    if (editor != nullptr) {
        const QWidget* focus = QApplication::focusWidget();
        const bool had_focus = focus != nullptr && (focus == editor || editor->isAncestorOf(focus));
        editor->removeEventFilter(this);
        if (auto* spin = qobject_cast<CInPlaceUpDown*>(editor.data())) {
            spin->Edit()->removeEventFilter(this);
        }
        // Hiding a focused widget would hand the focus to its next sibling in the chain.
        if (refocus && had_focus) {
            setFocus(Qt::OtherFocusReason);
        }
        editor->hide();
        editor->deleteLater();
    }
    if (value != open_value_) {
        emit EditTextChanged(item, value);
    }
}

// The item is going away: nothing to write back into.
void CTreeOptionsCtrl::DiscardEditor() {
    open_item_ = nullptr;
    if (QPointer<QWidget> editor = std::exchange(editor_, nullptr); editor != nullptr) {
        editor->removeEventFilter(this);
        if (auto* spin = qobject_cast<CInPlaceUpDown*>(editor.data())) {
            spin->Edit()->removeEventFilter(this);
        }
        editor->hide();
        editor->deleteLater();
    }
}

void CTreeOptionsCtrl::OnRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last) {
    for (QTreeWidgetItem* up = open_item_; up != nullptr; up = up->parent()) {
        const QModelIndex index = indexFromItem(up);
        if (index.parent() == parent && index.row() >= first && index.row() <= last) {
            DiscardEditor();
            return;
        }
    }
}

bool CTreeOptionsCtrl::EditCurrentItem() {
    QTreeWidgetItem* item = currentItem();
    if (item == nullptr || Kind(item) != OptionKind::kEdit) {
        return false;
    }
    scrollToItem(item);
    OpenInPlaceEdit(item);
    if (editor_ == nullptr) {
        return false;
    }
    editor_->setFocus(Qt::OtherFocusReason);
    if (QLineEdit* line = InPlaceEdit()) {
        line->selectAll();
    }
    return true;
}

QTreeWidgetItem* CTreeOptionsCtrl::FindItem(const QString& caption) const {
    for (QTreeWidgetItemIterator it(const_cast<CTreeOptionsCtrl*>(this)); *it != nullptr; ++it) {
        if (Caption(*it) == caption) {
            return *it;
        }
    }
    return nullptr;
}

QRect CTreeOptionsCtrl::IndicatorRect(const QTreeWidgetItem* item) const {
    if (item == nullptr || !IsToggle(Kind(item))) {
        return {};
    }
    const QRect cell = visualItemRect(item);
    return IndicatorGeometry(cell, Kind(item), style(), this);
}

// ---- user actions

void CTreeOptionsCtrl::Activate(QTreeWidgetItem* item) {
    ++activations_;
    switch (Kind(item)) {
        case OptionKind::kCheckBox:
            if (GetCheckBoxEnable(item)) {
                const bool on = !GetCheckBox(item);
                // A parent box sets all its children; it then follows them again.
                for (int i = 0; i < item->childCount(); ++i) {
                    if (Kind(item->child(i)) == OptionKind::kCheckBox) {
                        SetCheckBox(item->child(i), on);
                    }
                }
                SetCheckBox(item, on);
            }
            break;
        case OptionKind::kRadioButton:
            if (GetRadioButtonEnable(item) && !ImageOn(Image(item))) {
                SetRadioButton(item);
            }
            break;
        case OptionKind::kGroup:
        case OptionKind::kEdit:
            break;
    }
}

void CTreeOptionsCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* item = itemAt(pos);
    QTreeWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || item == nullptr) {
        return;
    }
    if (IsToggle(Kind(item))) {
        if (!indicator_only_ || IndicatorRect(item).contains(pos)) {
            Activate(item);
        }
    } else if (Kind(item) == OptionKind::kEdit && item == currentItem()) {
        OpenInPlaceEdit(item);
        if (editor_ != nullptr) {
            editor_->setFocus(Qt::MouseFocusReason);
        }
    }
}

// The second click of a double click acts like any other click.
void CTreeOptionsCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    const int before = activations_;
    QTreeWidget::mouseDoubleClickEvent(event);
    if (activations_ != before || event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* item = itemAt(pos);
    if (item != nullptr && IsToggle(Kind(item)) &&
        (!indicator_only_ || IndicatorRect(item).contains(pos))) {
        Activate(item);
    }
}

void CTreeOptionsCtrl::keyPressEvent(QKeyEvent* event) {
    QTreeWidgetItem* item = currentItem();
    switch (event->key()) {
        case Qt::Key_Space:
            if (item != nullptr && IsToggle(Kind(item)) && event->modifiers() == Qt::NoModifier) {
                Activate(item);
                event->accept();
                return;
            }
            break;
        case Qt::Key_Right:
            if (editor_ != nullptr && editor_->isVisible()) {
                editor_->setFocus(Qt::OtherFocusReason);
                event->accept();
                return;
            }
            break;
        case Qt::Key_F2:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (EditCurrentItem()) {
                event->accept();
                return;
            }
            break;
        default:
            break;
    }
    QTreeWidget::keyPressEvent(event);
}

void CTreeOptionsCtrl::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    if (open_item_ != nullptr && event->reason() != Qt::PopupFocusReason &&
        !OwnsWidget(QApplication::focusWidget())) {
        CloseEditor(false);
    }
}

void CTreeOptionsCtrl::wheelEvent(QWheelEvent* event) {
    CloseInPlaceEdit();
    QTreeWidget::wheelEvent(event);
}

void CTreeOptionsCtrl::scrollContentsBy(int dx, int dy) {
    if (!opening_) {
        CloseInPlaceEdit();
    }
    QTreeWidget::scrollContentsBy(dx, dy);
}

void CTreeOptionsCtrl::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    PlaceEditor();
}

void CTreeOptionsCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeWidget::currentChanged(current, previous);
    QTreeWidgetItem* item = itemFromIndex(current);
    if (open_item_ != nullptr && open_item_ != item) {
        CloseInPlaceEdit();
    }
    if (item != nullptr && Kind(item) == OptionKind::kEdit) {
        OpenInPlaceEdit(item);
    }
}

bool CTreeOptionsCtrl::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (open_item_ == nullptr || !OwnsWidget(widget)) {
        return QTreeWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::FocusOut) {
        const auto* focus = static_cast<QFocusEvent*>(event);
        if (focus->reason() != Qt::PopupFocusReason && !OwnsWidget(QApplication::focusWidget())) {
            CloseEditor(false);
        }
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                CloseInPlaceEdit();
                return true;
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                // No browse buttons here, so Tab always goes back to the tree.
                setFocus(Qt::TabFocusReason);
                return true;
            default:
                break;
        }
    }
    return QTreeWidget::eventFilter(watched, event);
}

// ---- data exchange

void DDX_TreeCheck(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* item, int& value) {
    if (direction == Exchange::kLoad) {
        tree.SetCheckBox(item, value != 0);
    } else {
        value = tree.GetCheckBox(item) ? 1 : 0;
    }
}

void DDX_TreeCheck(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* item, bool& value) {
    if (direction == Exchange::kLoad) {
        tree.SetCheckBox(item, value);
    } else {
        value = tree.GetCheckBox(item);
    }
}

void DDX_TreeRadio(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* group, int& index) {
    if (direction == Exchange::kLoad) {
        tree.SetRadioButton(group, index);
    } else {
        index = tree.GetRadioButton(group);
    }
}

void DDX_TreeEdit(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* item,
                  QString& text) {
    if (direction == Exchange::kLoad) {
        tree.SetEditText(item, text);
    } else {
        text = tree.GetEditText(item);
    }
}

void DDX_TreeEdit(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* item,
                  std::string& text) {
    if (direction == Exchange::kLoad) {
        tree.SetEditText(item, QString::fromStdString(text));
    } else {
        text = tree.GetEditText(item).toStdString();
    }
}

void DDX_TreeEditNumber(Exchange direction, CTreeOptionsCtrl& tree, QTreeWidgetItem* item,
                        int& value) {
    if (direction == Exchange::kLoad) {
        tree.SetEditNumber(item, value);
    } else {
        value = tree.GetEditNumber(item);
    }
}

}  // namespace zelvant::controls
