#pragma once
// The record dialog: two pages ("Main" and "Notes") in which a record is created or edited.
// The values travel in a RecordForm, so that what reaches the record can be tested without
// widgets; the dialog only shows a form and hands the edited one back.

#include <QDate>
#include <QDialog>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "report/date_format.h"
#include "store/folder_sequence.h"
#include "store/record.h"

class QCheckBox;
class QDateEdit;
class QGridLayout;
class QLabel;
class QTabWidget;
class QToolButton;

namespace zelvant::ui {

class CFieldEdit;
class CFieldTextEdit;
class CStrengthMeter;

inline constexpr char kRecordPropsCaption[] = "Record Properties";
inline constexpr char kCopyFieldTip[] = "Copy field to clipboard";
inline constexpr char kGoToWebsiteTip[] = "Go to website";
inline constexpr char kSendEmailTip[] = "Send an email";

// What the dialog shows of a record. Texts are UTF-8 as the user sees them; they are wiped when
// the form goes.
struct RecordForm {
    std::string siteName;
    std::string location;
    std::string email;
    std::string userName;
    std::string password;
    std::string accountName;
    std::string accountNumber;
    std::string pin;
    std::string notes;
    DateTimeValue created;
    DateTimeValue modified;
    bool hasExpiry = false;
    DateTimeValue expiresOn;

    RecordForm() = default;
    RecordForm(const RecordForm&) = default;
    RecordForm(RecordForm&&) = default;
    RecordForm& operator=(const RecordForm&) = default;
    RecordForm& operator=(RecordForm&&) = default;
    ~RecordForm();

    // One of kFormTextFields; any other field reads as empty and takes no text.
    std::string& Text(RecordField field);
    const std::string& Text(RecordField field) const;
};

// The nine text fields, in the order the dialog shows them (notes last, on its own page).
inline constexpr std::array<RecordField, 9> kFormTextFields = {
    RecordField::SiteName,      RecordField::Location, RecordField::Email,
    RecordField::UserName,      RecordField::Password, RecordField::AccountName,
    RecordField::AccountNumber, RecordField::Pin,      RecordField::Notes,
};

RecordForm FormFromRecord(const CRecord& record);
// Empty texts, every date `now`, no expiry.
RecordForm NewRecordForm(DateTimeValue now);
// Writes the texts, the expiry flag and date; Modified becomes `now` even when nothing changed.
// A text that still shows as it did keeps its stored bytes; an edited one is stored as UTF-8.
void StoreForm(const RecordForm& form, CRecord& record, DateTimeValue now);

// The expiry value for a date picked in the dialog: that day at the time of day `previous` had
// (00:00 when it had none). None when the day lies outside the dates a record can hold.
std::optional<DateTimeValue> ExpiryForDay(int year, int month, int day, DateTimeValue previous);

// The single-line fields, the dates and the expiry setting.
class CDataMain : public QWidget {
    Q_OBJECT
  public:
    explicit CDataMain(const report::IDateFormatter& dates, QWidget* parent = nullptr);

    void Load(const RecordForm& form);
    // Everything but the notes into the form it was loaded from: values still as loaded are
    // left alone there.
    void Save(RecordForm& form) const;
    // Empties the edits, undo history included.
    void Wipe();

    // Null for the notes or a date field.
    CFieldEdit* Field(RecordField field) const;
    QToolButton* CopyButton(RecordField field) const;
    QToolButton* WebButton() const { return web_; }
    QToolButton* MailButton() const { return mail_; }
    QCheckBox* ExpiryCheck() const { return expires_; }
    QDateEdit* ExpiryEdit() const { return expiresOn_; }
    QLabel* CreatedText() const { return created_; }
    QLabel* ModifiedText() const { return modified_; }
    // Beside and below the password (record_password_tools.cpp).
    QToolButton* GenerateButton() const { return generate_; }
    CStrengthMeter* StrengthMeter() const { return strength_; }

  private:
    static constexpr int kFieldCount = 8;
    void AddPasswordTools(QGridLayout& grid);
    void UpdateStrength();
    void OpenGenerator();
    static int Slot(RecordField field);
    void UpdateButtons();
    void GoToWebsite();
    void SendMail();

    const report::IDateFormatter& dates_;
    std::array<CFieldEdit*, kFieldCount> fields_{};
    std::array<QToolButton*, kFieldCount> copies_{};
    QToolButton* web_ = nullptr;
    QToolButton* mail_ = nullptr;
    QCheckBox* expires_ = nullptr;
    QDateEdit* expiresOn_ = nullptr;
    QLabel* created_ = nullptr;
    QLabel* modified_ = nullptr;
    QToolButton* generate_ = nullptr;
    CStrengthMeter* strength_ = nullptr;
    // What each edit showed after loading: an edit still showing it keeps the loaded text,
    // whatever the edit made of it (cut at its length limit, line ends).
    std::array<QString, kFieldCount> shown_;
    QDate shownExpiryDay_;
};

// The notes.
class CDataNotes : public QWidget {
    Q_OBJECT
  public:
    explicit CDataNotes(QWidget* parent = nullptr);

    void Load(const RecordForm& form);
    void Save(RecordForm& form) const;
    void Wipe();

    CFieldTextEdit* Notes() const { return notes_; }
    QToolButton* CopyButton() const { return copy_; }

  private:
    void UpdateButton();

    CFieldTextEdit* notes_ = nullptr;
    QToolButton* copy_ = nullptr;
    QString shown_;
};

// A record dialog the lock closed, with what it showed then: shown again once the window is
// unlocked, so the edits are neither lost nor saved half-way.
struct InterruptedEdit {
    FolderIndex folder = -1;
    int record = -1;  // the record edited; for a new one, the current record it goes after
    bool isNew = false;
    RecordForm form;
};

class CRecordProps : public QDialog {
    Q_OBJECT
  public:
    // Without a formatter the dates follow the system locale.
    explicit CRecordProps(const RecordForm& form, QWidget* parent = nullptr,
                          std::unique_ptr<report::IDateFormatter> dates = {});
    ~CRecordProps() override;

    CDataMain* MainPage() const { return main_; }
    CDataNotes* NotesPage() const { return notes_; }
    QTabWidget* Tabs() const { return tabs_; }

    // The values the dialog was accepted with, or what it showed when the lock closed it; the
    // form it was opened with until then.
    const RecordForm& Result() const { return form_; }

    // Closes the dialog as Cancel does, keeping what it shows in Result().
    void CloseForLock();
    bool ClosedForLock() const { return closedForLock_; }

    // Runs the dialog over an existing record and stores it on OK. True when the record was
    // stored; the caller marks the document modified and refreshes the row and the popup.
    // With `pending`, a dialog closed by the lock leaves its edit there, and an edit of this
    // record found there is shown instead of the record.
    static bool EditRecord(QWidget* parent, CFolderSequence& folders, FolderIndex folder,
                           int record, std::optional<InterruptedEdit>* pending = nullptr);
    // Runs the dialog for a new record, inserted on OK after `currentRecord` (first when it is
    // negative). Returns the new record's position, or -1 on Cancel or failure (the user has
    // been told). The caller marks the document modified, shows the folder again, refreshes the
    // popup and selects the returned row. `pending` as for EditRecord.
    static int NewRecord(QWidget* parent, CFolderSequence& folders, FolderIndex folder,
                         int currentRecord, std::optional<InterruptedEdit>* pending = nullptr);

  public slots:
    void done(int result) override;

  private:
    std::unique_ptr<report::IDateFormatter> dates_;
    RecordForm form_;
    QTabWidget* tabs_ = nullptr;
    CDataMain* main_ = nullptr;
    CDataNotes* notes_ = nullptr;
    bool closedForLock_ = false;
};

}  // namespace zelvant::ui
