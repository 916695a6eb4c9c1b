#pragma once
// The password popup: a small window of its own with every folder and record of the document in
// one tree, and the chosen record's log-in fields beside it, each with a copy button. It can stay
// above all other windows, remembers where the user left it and masks the fields they choose.

#include <QIcon>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>

#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "store/folder_sequence.h"

class QLineEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zelvant::ui {

class CFieldEdit;

// The record fields the popup shows, top to bottom.
enum class PopupField { Location, UserName, Password, AccountName, AccountNumber };
inline constexpr int kPopupFieldCount = 5;

class CPasswordPopup : public QWidget {
    Q_OBJECT

  public:
    // What a tree item stands for.
    enum ItemKind { kRootItem = 0, kFolderItem = 1, kRecordItem = 2 };
    static constexpr int kRootIndex = 0xFFFF;

    // Item data: the packed form (low 16 bits index, high 16 bits kind) in kPackedRole. The
    // packed index cannot address a folder or record position above 65535, so the kind and the
    // full index are also kept in roles of their own, and the popup reads only those.
    static constexpr int kPackedRole = Qt::UserRole;
    static constexpr int kKindRole = Qt::UserRole + 1;
    static constexpr int kIndexRole = Qt::UserRole + 2;

    static constexpr int kDefaultWidth = 460;
    static constexpr int kDefaultHeight = 300;

    static std::uint32_t PackItemData(int kind, int index);
    // -1 for no item.
    static int KindOf(const QTreeWidgetItem* item);
    static int IndexOf(const QTreeWidgetItem* item);

    CPasswordPopup(settings::AppSettings& settings, settings::ISettingsStore& store,
                   QWidget* parent = nullptr);
    ~CPasswordPopup() override;

    // Builds the tree again from the folders (kept for later lookups; null empties the tree) and
    // clears the fields. The current filter stays applied.
    void Refresh(const CFolderSequence* folders, const QString& documentTitle);
    // Shows the selected record's fields again, after it was edited.
    void RefreshRecord();
    // Which fields show asterisks instead of their text.
    void SetMasks(const settings::PopupFlags& flags);

    // Selects the record's item (none when it has none); for the main window and tests.
    void SelectRecord(FolderIndex folder, int record);

    QTreeWidget* Tree() const { return tree_; }
    QLineEdit* Filter() const { return filter_; }
    CFieldEdit* Field(PopupField field) const;
    QToolButton* CopyButton(PopupField field) const;
    QToolButton* WebButton() const { return web_; }
    QToolButton* PinButton() const { return pin_; }

    void setVisible(bool visible) override;

  signals:
    void VisibilityChanged(bool visible);

  protected:
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildLayout();
    void RestorePosition();
    void ApplyPin(bool pinned);
    void ShowItem(const QTreeWidgetItem* item);
    void ClearFields();
    void UpdateButtons();
    void ApplyFilter();
    // None when the item is not a record of a folder that still exists.
    const CRecord* RecordOf(const QTreeWidgetItem* item) const;

    settings::AppSettings& settings_;
    settings::ISettingsStore& store_;
    const CFolderSequence* folders_ = nullptr;

    QLineEdit* filter_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    std::array<CFieldEdit*, kPopupFieldCount> fields_{};
    std::array<QToolButton*, kPopupFieldCount> copy_{};
    QToolButton* web_ = nullptr;
    QToolButton* pin_ = nullptr;
    QIcon rootIcon_;
    QIcon folderIcon_;
    QIcon recordIcon_;

    bool initialised_ = false;
    bool building_ = false;
    // Set while a change of the stays-on-top hint hides and shows the window again.
    bool reflagging_ = false;
};

}  // namespace zelvant::ui
