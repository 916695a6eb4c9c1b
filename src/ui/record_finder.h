#pragma once
// The search box and what it lists: every record of the document that holds its text, shown in
// the record list with its folder; Esc or an empty box brings back the folder chosen in the tree.
// The expiry bar's "Show" lists its records the same way. The finding itself is the store's
// (store/document_search.h).

#include <QLineEdit>
#include <QObject>
#include <functional>

#include "settings/app_settings.h"
#include "store/document_search.h"

namespace zelvant::ui {

class CZelvantView;

inline constexpr char kFindPlaceholder[] = "Find records (Ctrl+E)";

// Esc empties it (or, empty, hands Esc on); Down and Enter go to the results.
class CSearchBox : public QLineEdit {
    Q_OBJECT
  public:
    explicit CSearchBox(QWidget* parent = nullptr);

  signals:
    void Cancelled();
    void ResultsWanted();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class CRecordFinder : public QObject {
    Q_OBJECT
  public:
    struct Hooks {
        std::function<FolderIndex()> selectedFolder;
        // Records were changed or removed: the document is modified and the popup refreshed.
        std::function<void()> recordsChanged;
    };

    CRecordFinder(CZelvantView& view, CFolderSequence& folders, settings::AppSettings& settings,
                  Hooks hooks, QWidget* parent);

    CSearchBox* Box() const { return box_; }
    // Ctrl+E: into the box, its text selected.
    void Focus();
    // The records holding the text; an empty text goes back to the folder.
    void Find(const QString& text);
    // The records that have expired or expire within the days.
    void ShowExpiring(int days);
    // Back to the folder chosen in the tree, the box emptied; the list takes the focus unless
    // the user is still typing in the box.
    void Leave(bool focusList = true);
    // Drops the results without showing anything: the caller shows a folder or a new document.
    void Dismiss();
    bool Active() const { return query_ != Query::None; }
    // The document changed: the search runs again, the selected record kept where it still shows.
    void Refresh();

    // Properties and Delete act on the results while the results list has the focus and a
    // current record.
    bool OwnsRecordCommands() const;
    void EditCurrent(QWidget* parent);
    void OpenRecord(RecordRef ref, QWidget* parent);
    void DeleteSelected();

  private:
    enum class Query { None, Text, Expiring };
    void Run();

    CZelvantView& view_;
    CFolderSequence& folders_;
    settings::AppSettings& settings_;
    Hooks hooks_;
    CSearchBox* box_ = nullptr;
    Query query_ = Query::None;
    QString text_;
    int days_ = 0;
};

}  // namespace zelvant::ui
