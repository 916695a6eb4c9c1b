#include "ui/record_props.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "store/secure.h"
#include "store/text_codec.h"
#include "ui/field_edit.h"
#include "ui/icons.h"
#include "ui/message_box.h"
#include "ui/open_location.h"

namespace zelvant::ui {
namespace {

struct MainField {
    RecordField field;
    const char* label;
    const char* name;  // object name of the edit; its copy button adds "Copy"
};

// Grid order of the main page.
constexpr std::array<MainField, 8> kMainFields = {{
    {RecordField::SiteName, "Site Name/Description:", "siteName"},
    {RecordField::Location, "Location:", "location"},
    {RecordField::Email, "Email", "email"},
    {RecordField::UserName, "Username:", "userName"},
    {RecordField::Password, "Password:", "password"},
    {RecordField::AccountName, "Account Name:", "accountName"},
    {RecordField::AccountNumber, "Account Number:", "accountNumber"},
    {RecordField::Pin, "PIN Number:", "pin"},
}};

QString Latin(const char* text) {
    return QString::fromLatin1(text);
}

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Replaces `out` with the text as UTF-8, leaving no copy of either in freed memory.
void AssignUtf8(std::string& out, const QString& text) {
    QByteArray bytes = text.toUtf8();
    WipeString(out);
    out.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    SecureWipe(bytes.data(), static_cast<std::size_t>(bytes.size()));
}

// The edit's own string is out of reach; setting an empty text drops it with the undo history,
// and the buffer is wiped here when ours was the last reference to it.
void WipeLineEdit(QLineEdit& edit) {
    QString held = edit.text();
    edit.setText(QString());
    if (!held.isEmpty() && held.isDetached()) {
        SecureWipe(held.data(), static_cast<std::size_t>(held.size()) * sizeof(QChar));
    }
}

void WipeShown(QString& shown) {
    if (!shown.isEmpty() && shown.isDetached()) {
        SecureWipe(shown.data(), static_cast<std::size_t>(shown.size()) * sizeof(QChar));
    }
    shown = QString();
}

QToolButton* MakeButton(QWidget* parent, const char* icon, const char* tip, const QString& name) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(ZelvantIcon(icon));
    button->setToolTip(Latin(tip));
    button->setEnabled(false);
    return button;
}

}  // namespace

RecordForm::~RecordForm() {
    for (RecordField field : kFormTextFields) {
        WipeString(Text(field));
    }
}

std::string& RecordForm::Text(RecordField field) {
    if (std::find(kFormTextFields.begin(), kFormTextFields.end(), field) != kFormTextFields.end()) {
        return const_cast<std::string&>(std::as_const(*this).Text(field));
    }
    // A field without text here: whatever is written to it is dropped.
    static thread_local std::string discarded;
    WipeString(discarded);
    return discarded;
}

const std::string& RecordForm::Text(RecordField field) const {
    switch (field) {
        case RecordField::SiteName:
            return siteName;
        case RecordField::Location:
            return location;
        case RecordField::Email:
            return email;
        case RecordField::UserName:
            return userName;
        case RecordField::Password:
            return password;
        case RecordField::AccountName:
            return accountName;
        case RecordField::AccountNumber:
            return accountNumber;
        case RecordField::Pin:
            return pin;
        case RecordField::Notes:
            return notes;
        default:
            break;
    }
    static const std::string none;
    return none;
}

RecordForm FormFromRecord(const CRecord& record) {
    RecordForm form;
    for (RecordField field : kFormTextFields) {
        form.Text(field) = DisplayText(record.GetText(field));
    }
    form.created = record.GetDate(RecordField::Created);
    form.modified = record.GetDate(RecordField::Modified);
    form.hasExpiry = record.GetInt(RecordField::HasExpiry) != 0;
    form.expiresOn = record.GetDate(RecordField::ExpiresOn);
    return form;
}

RecordForm NewRecordForm(DateTimeValue now) {
    RecordForm form;
    form.created = now;
    form.modified = now;
    form.expiresOn = now;
    return form;
}

void StoreForm(const RecordForm& form, CRecord& record, DateTimeValue now) {
    for (RecordField field : kFormTextFields) {
        const std::string& typed = form.Text(field);
        std::string shown = DisplayText(record.GetText(field));
        const bool same = shown == typed;
        WipeString(shown);
        if (!same) {
            record.SetText(field, typed);
        }
    }
    record.SetDate(RecordField::Modified, now);
    record.SetInt(RecordField::HasExpiry, form.hasExpiry ? 1 : 0);
    record.SetDate(RecordField::ExpiresOn, form.expiresOn);
}

std::optional<DateTimeValue> ExpiryForDay(int year, int month, int day, DateTimeValue previous) {
    CivilDateTime when{year, month, day, 0, 0, 0};
    if (const auto before = ToCivil(previous)) {
        when.hour = before->hour;
        when.minute = before->minute;
        when.second = before->second;
    }
    return FromCivil(when);
}

CDataMain::CDataMain(const report::IDateFormatter& dates, QWidget* parent)
    : QWidget(parent), dates_(dates) {
    setObjectName(QStringLiteral("mainPage"));
    auto* grid = new QGridLayout(this);
    int row = 0;
    for (const MainField& entry : kMainFields) {
        const QString name = Latin(entry.name);
        auto* edit = new CFieldEdit(this);
        edit->setObjectName(name);
        edit->SetDragMode(kDragBoth);
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 40);
        auto* label = new QLabel(Latin(entry.label), this);
        label->setBuddy(edit);
        auto* copy = MakeButton(this, "copy", kCopyFieldTip, name + QLatin1String("Copy"));
        connect(copy, &QToolButton::clicked, edit, &CFieldEdit::CopyToClipboard);
        connect(edit, &QLineEdit::textChanged, this, &CDataMain::UpdateButtons);

        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(copy, row, 2);
        fields_[static_cast<std::size_t>(row)] = edit;
        copies_[static_cast<std::size_t>(row)] = copy;
        ++row;
    }

    web_ = MakeButton(this, "web", kGoToWebsiteTip, QStringLiteral("goToWebsite"));
    connect(web_, &QToolButton::clicked, this, &CDataMain::GoToWebsite);
    grid->addWidget(web_, Slot(RecordField::Location), 3);
    mail_ = MakeButton(this, "mail", kSendEmailTip, QStringLiteral("sendEmail"));
    connect(mail_, &QToolButton::clicked, this, &CDataMain::SendMail);
    grid->addWidget(mail_, Slot(RecordField::Email), 3);
    AddPasswordTools(*grid);

    // Shown by default, as it always was; the toggle is for a user with someone looking on.
    CFieldEdit* password = Field(RecordField::Password);
    QAction* hide = password->addAction(ZelvantIcon("conceal"), QLineEdit::TrailingPosition);
    hide->setObjectName(QStringLiteral("passwordHide"));
    hide->setCheckable(true);
    hide->setToolTip(QStringLiteral("Hide password"));
    connect(hide, &QAction::toggled, password, [password, hide](bool hidden) {
        password->SetMasked(hidden);
        hide->setIcon(ZelvantIcon(hidden ? "reveal" : "conceal"));
        hide->setToolTip(hidden ? QStringLiteral("Show password")
                                : QStringLiteral("Hide password"));
    });

    expires_ = new QCheckBox(QStringLiteral("Expires On:"), this);
    expires_->setObjectName(QStringLiteral("expires"));
    expiresOn_ = new QDateEdit(this);
    expiresOn_->setObjectName(QStringLiteral("expiresOn"));
    expiresOn_->setCalendarPopup(true);
    expiresOn_->setDisplayFormat(expiresOn_->locale().dateFormat(QLocale::LongFormat));
    // The years a stored date can hold.
    expiresOn_->setDateRange(QDate(100, 1, 1), QDate(9999, 12, 31));
    expiresOn_->setEnabled(false);
    connect(expires_, &QCheckBox::toggled, expiresOn_, &QWidget::setEnabled);
    grid->addWidget(expires_, row, 0);
    grid->addWidget(expiresOn_, row, 1);
    ++row;

    created_ = new QLabel(this);
    created_->setObjectName(QStringLiteral("created"));
    modified_ = new QLabel(this);
    modified_->setObjectName(QStringLiteral("modified"));
    for (QLabel* text : {created_, modified_}) {
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    grid->addWidget(new QLabel(QStringLiteral("Created:"), this), row, 0);
    grid->addWidget(created_, row, 1, 1, 3);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("Modified:"), this), row, 0);
    grid->addWidget(modified_, row, 1, 1, 3);
    ++row;
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
}

int CDataMain::Slot(RecordField field) {
    for (std::size_t i = 0; i < kMainFields.size(); ++i) {
        if (kMainFields[i].field == field) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

CFieldEdit* CDataMain::Field(RecordField field) const {
    const int slot = Slot(field);
    return slot < 0 ? nullptr : fields_[static_cast<std::size_t>(slot)];
}

QToolButton* CDataMain::CopyButton(RecordField field) const {
    const int slot = Slot(field);
    return slot < 0 ? nullptr : copies_[static_cast<std::size_t>(slot)];
}

void CDataMain::Load(const RecordForm& form) {
    for (std::size_t i = 0; i < kMainFields.size(); ++i) {
        fields_[i]->setText(Utf8(form.Text(kMainFields[i].field)));
        shown_[i] = fields_[i]->text();
    }
    expires_->setChecked(form.hasExpiry);
    expiresOn_->setEnabled(form.hasExpiry);
    const auto expiry = ToCivil(form.expiresOn);
    QDate day = expiry ? QDate(expiry->year, expiry->month, expiry->day) : QDate();
    if (!day.isValid()) {
        day = QDate::currentDate();
    }
    expiresOn_->setDate(day);
    shownExpiryDay_ = expiresOn_->date();
    created_->setText(QString::fromStdString(report::FormatReportDate(dates_, form.created, true)));
    modified_->setText(
        QString::fromStdString(report::FormatReportDate(dates_, form.modified, true)));
    UpdateButtons();
}

void CDataMain::Save(RecordForm& form) const {
    for (std::size_t i = 0; i < kMainFields.size(); ++i) {
        const QString text = fields_[i]->text();
        if (text != shown_[i]) {
            AssignUtf8(form.Text(kMainFields[i].field), text);
        }
    }
    form.hasExpiry = expires_->isChecked();
    const QDate day = expiresOn_->date();
    if (day != shownExpiryDay_) {
        if (const auto value = ExpiryForDay(day.year(), day.month(), day.day(), form.expiresOn)) {
            form.expiresOn = *value;
        }
    }
}

void CDataMain::Wipe() {
    for (std::size_t i = 0; i < kMainFields.size(); ++i) {
        WipeShown(shown_[i]);
        WipeLineEdit(*fields_[i]);
    }
}

void CDataMain::UpdateButtons() {
    for (std::size_t i = 0; i < kMainFields.size(); ++i) {
        copies_[i]->setEnabled(!fields_[i]->text().isEmpty());
    }
    web_->setEnabled(!Field(RecordField::Location)->text().isEmpty());
    mail_->setEnabled(!Field(RecordField::Email)->text().isEmpty());
}

void CDataMain::GoToWebsite() {
    const QString location = Field(RecordField::Location)->text();
    if (!location.isEmpty()) {
        OpenLocation(this, location);
    }
}

void CDataMain::SendMail() {
    const QString email = Field(RecordField::Email)->text();
    if (!email.isEmpty()) {
        SendEmail(this, email);
    }
}

CDataNotes::CDataNotes(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("notesPage"));
    notes_ = new CFieldTextEdit(this);
    notes_->setObjectName(QStringLiteral("notes"));
    notes_->SetDragMode(kDragBoth);
    copy_ = MakeButton(this, "copy", kCopyFieldTip, QStringLiteral("notesCopy"));
    connect(copy_, &QToolButton::clicked, notes_, &CFieldTextEdit::CopyToClipboard);
    connect(notes_, &QPlainTextEdit::textChanged, this, &CDataNotes::UpdateButton);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(copy_);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(notes_, 1);
    layout->addLayout(buttons);
}

void CDataNotes::Load(const RecordForm& form) {
    notes_->setPlainText(Utf8(form.notes));
    shown_ = notes_->toPlainText();
    UpdateButton();
}

void CDataNotes::Save(RecordForm& form) const {
    const QString text = notes_->toPlainText();
    if (text != shown_) {
        AssignUtf8(form.notes, text);
    }
}

void CDataNotes::Wipe() {
    WipeShown(shown_);
    // setPlainText also drops the undo history.
    notes_->setPlainText(QString());
}

void CDataNotes::UpdateButton() {
    copy_->setEnabled(!notes_->document()->isEmpty());
}

CRecordProps::CRecordProps(const RecordForm& form, QWidget* parent,
                           std::unique_ptr<report::IDateFormatter> dates)
    : QDialog(parent),
      dates_(dates ? std::move(dates) : report::MakeSystemDateFormatter()),
      form_(form) {
    setWindowTitle(Latin(kRecordPropsCaption));
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    main_ = new CDataMain(*dates_, tabs_);
    notes_ = new CDataNotes(tabs_);
    tabs_->addTab(main_, QStringLiteral("Main"));
    tabs_->addTab(notes_, QStringLiteral("Notes"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);

    main_->Load(form_);
    notes_->Load(form_);
    main_->Field(RecordField::SiteName)->setFocus();
}

CRecordProps::~CRecordProps() {
    main_->Wipe();
    notes_->Wipe();
}

void CRecordProps::CloseForLock() {
    closedForLock_ = true;
    reject();
}

void CRecordProps::done(int result) {
    if (result == QDialog::Accepted || closedForLock_) {
        main_->Save(form_);
        notes_->Save(form_);
    }
    main_->Wipe();
    notes_->Wipe();
    QDialog::done(result);
}

namespace {

// The form a pending edit of exactly this record holds, taken out of `pending`; any other
// pending edit is dropped, since only one dialog can have been open.
std::optional<RecordForm> TakePending(std::optional<InterruptedEdit>* pending, FolderIndex folder,
                                      int record, bool isNew) {
    if (pending == nullptr || !pending->has_value()) {
        return std::nullopt;
    }
    InterruptedEdit edit = std::move(**pending);
    pending->reset();
    if (edit.folder != folder || edit.record != record || edit.isNew != isNew) {
        return std::nullopt;
    }
    return std::move(edit.form);
}

// True when the dialog ended with OK; a dialog closed by the lock leaves its edit in `pending`.
bool RunDialog(CRecordProps& dialog, std::optional<InterruptedEdit>* pending, FolderIndex folder,
               int record, bool isNew) {
    const bool accepted = ExecDialog(dialog) == QDialog::Accepted;
    if (!accepted && dialog.ClosedForLock() && pending != nullptr) {
        *pending = InterruptedEdit{folder, record, isNew, dialog.Result()};
    }
    return accepted;
}

}  // namespace

bool CRecordProps::EditRecord(QWidget* parent, CFolderSequence& folders, FolderIndex folder,
                              int record, std::optional<InterruptedEdit>* pending) {
    std::optional<RecordForm> resumed = TakePending(pending, folder, record, false);
    const CFolder* owner = folders.FolderAt(folder);
    const CRecord* shown = owner != nullptr ? owner->RecordAt(record) : nullptr;
    if (shown == nullptr) {
        return false;
    }
    CRecordProps dialog(resumed ? *resumed : FormFromRecord(*shown), parent);
    if (!RunDialog(dialog, pending, folder, record, false)) {
        return false;
    }
    // Looked up again: nothing is held across the modal loop.
    CFolder* target = folders.FolderAt(folder);
    CRecord* stored = target != nullptr ? target->RecordAt(record) : nullptr;
    if (stored == nullptr) {
        return false;
    }
    StoreForm(dialog.Result(), *stored, NowLocal());
    return true;
}

int CRecordProps::NewRecord(QWidget* parent, CFolderSequence& folders, FolderIndex folder,
                            int currentRecord, std::optional<InterruptedEdit>* pending) {
    std::optional<RecordForm> resumed = TakePending(pending, folder, currentRecord, true);
    if (folders.FolderAt(folder) == nullptr) {
        return -1;
    }
    CRecordProps dialog(resumed ? *resumed : NewRecordForm(NowLocal()), parent);
    if (!RunDialog(dialog, pending, folder, currentRecord, true)) {
        return -1;
    }
    // Looked up again: nothing is held across the modal loop.
    CFolder* owner = folders.FolderAt(folder);
    if (owner == nullptr) {
        return -1;
    }
    const int position = std::min(currentRecord < 0 ? 0 : currentRecord + 1, owner->RecordCount());
    CRecord* record = owner->InsertRecord(position);
    if (record == nullptr) {
        ShowMessageBox(parent,
                       QString::fromUtf8(msg::kNoMemoryRecord.data(),
                                         static_cast<qsizetype>(msg::kNoMemoryRecord.size())),
                       QMessageBox::Critical);
        return -1;
    }
    StoreForm(dialog.Result(), *record, NowLocal());
    return position;
}

}  // namespace zelvant::ui
