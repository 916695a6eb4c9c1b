// The record dialog: what reaches the record (form logic without widgets), which buttons are
// enabled when, what the buttons do, and the two entry points driven through the ExecDialog hook.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>
#include <functional>
#include <string>
#include <vector>

#include "ui/field_edit.h"
#include "ui/message_box.h"
#include "ui/open_location.h"
#include "ui/record_props.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

DateTimeValue At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return *FromCivil({y, mo, d, h, mi, s});
}

// A record with a different text in every field and dates far in the past.
void FillRecord(CRecord& record) {
    record.SetText(RecordField::SiteName, "Bank");
    record.SetText(RecordField::Location, "https://bank.example");
    record.SetText(RecordField::Email, "me@example.org");
    record.SetText(RecordField::UserName, "me");
    record.SetText(RecordField::Password, "s3cret");
    record.SetText(RecordField::AccountName, "Current");
    record.SetText(RecordField::AccountNumber, "12-34");
    record.SetText(RecordField::Pin, "1234");
    record.SetText(RecordField::Notes, "first\nsecond");
    record.SetDate(RecordField::Created, At(2001, 2, 3, 4, 5, 6));
    record.SetDate(RecordField::Modified, At(2002, 3, 4, 5, 6, 7));
    record.SetInt(RecordField::HasExpiry, 1);
    record.SetDate(RecordField::ExpiresOn, At(2030, 6, 7, 8, 9, 10));
}

// One folder holding records named "r0".."r<n-1>".
void MakeFolder(CFolderSequence& folders, int records) {
    folders.Clear();
    CFolder* folder = folders.AppendFolder();
    folder->SetName("Folder");
    for (int i = 0; i < records; ++i) {
        folder->AppendRecord()->SetText(RecordField::SiteName, "r" + std::to_string(i));
    }
}

QStringList SiteNames(const CFolderSequence& folders) {
    QStringList names;
    const CFolder* folder = folders.FolderAt(0);
    for (int i = 0; i < folder->RecordCount(); ++i) {
        names << QString::fromStdString(folder->RecordAt(i)->GetText(RecordField::SiteName));
    }
    return names;
}

bool Within(DateTimeValue v, DateTimeValue from, DateTimeValue to) {
    return v.IsValid() && v.oa >= from.oa && v.oa <= to.oa;
}

CFieldEdit* Edit(CRecordProps& dialog, RecordField field) {
    return dialog.MainPage()->Field(field);
}

// Replaces the text the way typing does; key clicks carry Latin-1 only, so the rest is inserted.
void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    edit->insert(text);
}

// Runs every dialog passed to ExecDialog through `script`, then closes it with OK or Cancel.
class DialogScript {
  public:
    DialogScript(std::function<void(CRecordProps&)> script, bool ok) {
        SetDialogHookForTests([this, script = std::move(script), ok](QDialog& dialog) {
            ++runs;
            auto* props = qobject_cast<CRecordProps*>(&dialog);
            if (props == nullptr) {
                return int(QDialog::Rejected);
            }
            props->show();
            if (script) {
                script(*props);
            }
            auto* buttons = props->findChild<QDialogButtonBox*>();
            QTest::mouseClick(buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                              Qt::LeftButton);
            return props->result();
        });
    }
    ~DialogScript() { SetDialogHookForTests({}); }

    int runs = 0;
};

}  // namespace

class RecordPropsTest : public QObject {
    Q_OBJECT

    QStringList shown_;  // message boxes: "text|icon"

  private slots:
    void init() {
        shown_.clear();
        SetMessageBoxHookForTests([this](const QString& text, QMessageBox::Icon icon) {
            shown_ << text + QLatin1Char('|') + QString::number(icon);
        });
    }
    void cleanup() {
        SetMessageBoxHookForTests({});
        SetDialogHookForTests({});
        SetUrlOpenerForTests({});
    }

    // --- the form, without widgets ---

    void formFromRecordAndBack() {
        CRecord record(At(2001, 1, 1));
        FillRecord(record);
        const RecordForm form = FormFromRecord(record);
        QCOMPARE(form.siteName, "Bank");
        QCOMPARE(form.notes, "first\nsecond");
        for (RecordField field : kFormTextFields) {
            QCOMPARE(form.Text(field), record.GetText(field));
        }
        QVERIFY(form.created == At(2001, 2, 3, 4, 5, 6) &&
                form.modified == At(2002, 3, 4, 5, 6, 7));
        QVERIFY(form.hasExpiry && form.expiresOn == At(2030, 6, 7, 8, 9, 10));
        QVERIFY(form.Text(RecordField::Created).empty());
        RecordForm other = form;
        other.Text(RecordField::Created) = "dropped";
        QVERIFY(other.Text(RecordField::Created).empty() && other.siteName == "Bank");

        // Unchanged: every value as it was, Modified renewed, Created kept.
        const CRecord before = record;
        const DateTimeValue now = At(2024, 3, 5, 14, 5, 9);
        StoreForm(form, record, now);
        QVERIFY(record.GetDate(RecordField::Modified) == now);
        record.SetDate(RecordField::Modified, before.GetDate(RecordField::Modified));
        QVERIFY(record.SameContent(before));

        // Each text goes to its own field; the expiry date is kept while the flag is off.
        RecordForm edited = form;
        for (RecordField field : kFormTextFields) {
            edited.Text(field) = "new " + std::to_string(static_cast<int>(field));
        }
        edited.hasExpiry = false;
        edited.expiresOn = At(2031, 1, 2, 3, 4, 5);
        edited.created = At(1990, 1, 1);  // never written back
        StoreForm(edited, record, now);
        for (RecordField field : kFormTextFields) {
            QCOMPARE(record.GetText(field), "new " + std::to_string(static_cast<int>(field)));
        }
        QCOMPARE(record.GetInt(RecordField::HasExpiry), 0);
        QVERIFY(record.GetDate(RecordField::ExpiresOn) == At(2031, 1, 2, 3, 4, 5));
        QVERIFY(record.GetDate(RecordField::Created) == At(2001, 2, 3, 4, 5, 6));

        const RecordForm fresh = NewRecordForm(now);
        for (RecordField field : kFormTextFields) {
            QVERIFY(fresh.Text(field).empty());
        }
        QVERIFY(fresh.created == now && fresh.modified == now && fresh.expiresOn == now);
        QVERIFY(!fresh.hasExpiry);
    }

    void olderBytesKeptUntilEdited() {
        CRecord record(At(2001, 1, 1));
        record.SetText(RecordField::SiteName, "Caf\xE9");           // Windows-1252
        record.SetText(RecordField::Password, "\x80uro\xA3");       // euro and pound signs
        record.SetText(RecordField::Notes, "r\xE9sum\xE9\r\nend");  // with a Windows line end
        RecordForm form = FormFromRecord(record);
        QCOMPARE(form.siteName, "Caf\xC3\xA9");
        QCOMPARE(form.password,
                 "\xE2\x82\xAC"
                 "uro\xC2\xA3");

        StoreForm(form, record, NowLocal());
        QCOMPARE(record.GetText(RecordField::SiteName), "Caf\xE9");
        QCOMPARE(record.GetText(RecordField::Password), "\x80uro\xA3");
        QCOMPARE(record.GetText(RecordField::Notes), "r\xE9sum\xE9\r\nend");

        form.siteName += "!";
        StoreForm(form, record, NowLocal());
        QCOMPARE(record.GetText(RecordField::SiteName), "Caf\xC3\xA9!");
        QCOMPARE(record.GetText(RecordField::Password), "\x80uro\xA3");
    }

    void expiryDay() {
        // The picked day takes the old value's time of day.
        QVERIFY(ExpiryForDay(2025, 2, 28, At(2020, 1, 1, 13, 14, 15)) ==
                At(2025, 2, 28, 13, 14, 15));
        QVERIFY(ExpiryForDay(2025, 2, 28, DateTimeValue{0.0, 1}) == At(2025, 2, 28));
        QVERIFY(!ExpiryForDay(2025, 2, 30, At(2020, 1, 1)));
        QVERIFY(!ExpiryForDay(99, 12, 31, At(2020, 1, 1)));
    }

    // --- the dialog's widgets ---

    void showsTheForm() {
        CRecord record(At(2001, 1, 1));
        FillRecord(record);
        RecordForm form = FormFromRecord(record);
        form.created = At(2024, 3, 5, 14, 5, 9);
        CRecordProps dialog(form, nullptr, std::make_unique<report::CFixedDateFormatter>());
        dialog.show();

        QCOMPARE(dialog.windowTitle(), QStringLiteral("Record Properties"));
        QCOMPARE(dialog.Tabs()->count(), 2);
        QCOMPARE(dialog.Tabs()->tabText(0), QStringLiteral("Main"));
        QCOMPARE(dialog.Tabs()->tabText(1), QStringLiteral("Notes"));
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QCOMPARE(buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

        QStringList labels;
        for (QLabel* label : dialog.MainPage()->findChildren<QLabel*>()) {
            labels << label->text();
        }
        for (const char* text :
             {"Site Name/Description:", "Location:", "Email", "Username:", "Password:",
              "Account Name:", "Account Number:", "PIN Number:", "Created:", "Modified:"}) {
            QVERIFY2(labels.contains(QString::fromLatin1(text)), text);
        }

        for (RecordField field : kFormTextFields) {
            QToolButton* copy = field == RecordField::Notes ? dialog.NotesPage()->CopyButton()
                                                            : dialog.MainPage()->CopyButton(field);
            QVERIFY(copy != nullptr);
            QCOMPARE(copy->toolTip(), QStringLiteral("Copy field to clipboard"));
            QVERIFY(copy->text().isEmpty());
            QVERIFY(!copy->icon().isNull());
            QVERIFY(copy->isEnabled());
            if (field == RecordField::Notes) {
                QCOMPARE(dialog.NotesPage()->Notes()->toPlainText(),
                         QStringLiteral("first\nsecond"));
                QCOMPARE(dialog.NotesPage()->Notes()->DragMode(), int(kDragBoth));
                continue;
            }
            CFieldEdit* edit = Edit(dialog, field);
            QCOMPARE(edit->text().toStdString(), record.GetText(field));
            QCOMPARE(edit->DragMode(), int(kDragBoth));
            QVERIFY(!edit->isReadOnly());
            // Every control can be found by its name.
            QCOMPARE(dialog.findChild<CFieldEdit*>(edit->objectName()), edit);
            QCOMPARE(dialog.findChild<QToolButton*>(edit->objectName() + "Copy"), copy);
        }
        QCOMPARE(dialog.MainPage()->WebButton()->toolTip(), QStringLiteral("Go to website"));
        QCOMPARE(dialog.MainPage()->MailButton()->toolTip(), QStringLiteral("Send an email"));
        QVERIFY(!dialog.MainPage()->WebButton()->icon().isNull());
        QVERIFY(!dialog.MainPage()->MailButton()->icon().isNull());
        QVERIFY(!Edit(dialog, RecordField::Password)->Masked());

        QCOMPARE(dialog.MainPage()->CreatedText()->text(),
                 QStringLiteral("Tuesday, 5 March 2024, 14:05:09"));
        QCOMPARE(dialog.MainPage()->ModifiedText()->text(),
                 QStringLiteral("Monday, 4 March 2002, 05:06:07"));

        QDateEdit* picker = dialog.MainPage()->ExpiryEdit();
        QCOMPARE(dialog.MainPage()->ExpiryCheck()->text(), QStringLiteral("Expires On:"));
        QVERIFY(dialog.MainPage()->ExpiryCheck()->isChecked());
        QVERIFY(picker->isEnabled());
        QVERIFY(picker->calendarPopup());
        QCOMPARE(picker->date(), QDate(2030, 6, 7));
        QCOMPARE(picker->displayFormat(), picker->locale().dateFormat(QLocale::LongFormat));
    }

    void passwordCanBeHidden() {
        CRecordProps dialog(NewRecordForm(NowLocal()));
        CFieldEdit* password = Edit(dialog, RecordField::Password);
        auto* hide = password->findChild<QAction*>(QStringLiteral("passwordHide"));
        QVERIFY(hide != nullptr);
        hide->setChecked(true);
        QVERIFY(password->Masked());
        hide->setChecked(false);
        QVERIFY(!password->Masked());
    }

    void enablingRules() {
        CRecordProps dialog(NewRecordForm(NowLocal()));
        dialog.show();
        CDataMain& main = *dialog.MainPage();
        QToolButton* web = main.WebButton();
        QToolButton* mail = main.MailButton();
        QVERIFY(!web->isEnabled() && !mail->isEnabled());
        QVERIFY(!main.ExpiryCheck()->isChecked() && !main.ExpiryEdit()->isEnabled());

        // Each copy button follows its own field only.
        for (RecordField field : kFormTextFields) {
            if (field == RecordField::Notes) {
                continue;
            }
            for (RecordField other : kFormTextFields) {
                if (other != RecordField::Notes) {
                    QVERIFY(!main.CopyButton(other)->isEnabled());
                }
            }
            QTest::keyClicks(Edit(dialog, field), QStringLiteral("x"));
            for (RecordField other : kFormTextFields) {
                if (other != RecordField::Notes) {
                    QCOMPARE(main.CopyButton(other)->isEnabled(), other == field);
                }
            }
            QCOMPARE(web->isEnabled(), field == RecordField::Location);
            QCOMPARE(mail->isEnabled(), field == RecordField::Email);
            QTest::keyClick(Edit(dialog, field), Qt::Key_Backspace);
            QVERIFY(!main.CopyButton(field)->isEnabled());
            QVERIFY(!web->isEnabled() && !mail->isEnabled());
        }

        // A blank is text too.
        QTest::keyClicks(Edit(dialog, RecordField::Location), QStringLiteral(" "));
        QVERIFY(web->isEnabled());

        CDataNotes& notes = *dialog.NotesPage();
        QVERIFY(!notes.CopyButton()->isEnabled());
        QTest::keyClicks(notes.Notes(), QStringLiteral("n"));
        QVERIFY(notes.CopyButton()->isEnabled());
        notes.Notes()->clear();
        QVERIFY(!notes.CopyButton()->isEnabled());

        main.ExpiryCheck()->click();
        QVERIFY(main.ExpiryEdit()->isEnabled());
        main.ExpiryCheck()->click();
        QVERIFY(!main.ExpiryEdit()->isEnabled());
    }

    void copyButtons() {
        CRecord record(At(2001, 1, 1));
        FillRecord(record);
        CRecordProps dialog(FormFromRecord(record));
        dialog.show();
        QClipboard* clipboard = QGuiApplication::clipboard();
        for (RecordField field : {RecordField::UserName, RecordField::Password, RecordField::Pin}) {
            clipboard->clear();
            CFieldEdit* edit = Edit(dialog, field);
            edit->deselect();
            QTest::mouseClick(dialog.MainPage()->CopyButton(field), Qt::LeftButton);
            QCOMPARE(clipboard->text().toStdString(), record.GetText(field));
            QCOMPARE(edit->selectedText(), edit->text());
        }
        // The real text even while the field shows asterisks.
        clipboard->clear();
        Edit(dialog, RecordField::Password)->SetMasked(true);
        QTest::mouseClick(dialog.MainPage()->CopyButton(RecordField::Password), Qt::LeftButton);
        QCOMPARE(clipboard->text(), QStringLiteral("s3cret"));

        dialog.Tabs()->setCurrentIndex(1);
        clipboard->clear();
        QTest::mouseClick(dialog.NotesPage()->CopyButton(), Qt::LeftButton);
        // Line ends on the clipboard are the field's business.
        QCOMPARE(clipboard->text().replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                 QStringLiteral("first\nsecond"));
        QCOMPARE(dialog.NotesPage()->Notes()->textCursor().selectedText().size(), 12);
        clipboard->clear();
    }

    void webAndMailButtons() {
        std::vector<QUrl> opened;
        SetUrlOpenerForTests([&opened](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        CRecordProps dialog(NewRecordForm(NowLocal()));
        dialog.show();
        const QString email = QStringLiteral("first.last+tag@example.org");
        QTest::keyClicks(Edit(dialog, RecordField::Email), email);
        QTest::mouseClick(dialog.MainPage()->MailButton(), Qt::LeftButton);
        QCOMPARE(MailtoText(email), QStringLiteral("Mailto:") + email);
        QCOMPARE(opened.size(), std::size_t(1));
        QCOMPARE(opened[0], QUrl(MailtoText(email)));
        QCOMPARE(opened[0].path(), email);

        // The location as typed, nothing added.
        QTest::keyClicks(Edit(dialog, RecordField::Location),
                         QStringLiteral("https://bank.example/login?x=1"));
        QTest::mouseClick(dialog.MainPage()->WebButton(), Qt::LeftButton);
        QCOMPARE(opened.size(), std::size_t(2));
        QCOMPARE(opened[1], QUrl(QStringLiteral("https://bank.example/login?x=1")));
        QVERIFY(shown_.isEmpty());
    }

    void wipedWhenClosed() {
        for (bool ok : {true, false}) {
            CRecord record(At(2001, 1, 1));
            FillRecord(record);
            CRecordProps dialog(FormFromRecord(record));
            dialog.show();
            Type(Edit(dialog, RecordField::Password), QStringLiteral("typed"));
            ok ? dialog.accept() : dialog.reject();
            for (RecordField field : kFormTextFields) {
                if (field != RecordField::Notes) {
                    QVERIFY(Edit(dialog, field)->text().isEmpty());
                    QVERIFY(!Edit(dialog, field)->isUndoAvailable());
                }
            }
            QVERIFY(dialog.NotesPage()->Notes()->toPlainText().isEmpty());
            QVERIFY(!dialog.NotesPage()->Notes()->document()->isUndoAvailable());
            QCOMPARE(dialog.Result().password, ok ? "typed" : "s3cret");
            QCOMPARE(dialog.Result().siteName, "Bank");
        }
    }

    // --- the entry points ---

    void okWithoutChangeRenewsModified() {
        CFolderSequence folders;
        MakeFolder(folders, 3);
        CRecord& record = *folders.FolderAt(0)->RecordAt(1);
        FillRecord(record);
        const CRecord before = record;
        DialogScript script(nullptr, true);
        const DateTimeValue from = NowLocal();
        QVERIFY(CRecordProps::EditRecord(nullptr, folders, 0, 1));
        const DateTimeValue to = NowLocal();
        QCOMPARE(script.runs, 1);
        QVERIFY(Within(record.GetDate(RecordField::Modified), from, to));
        QVERIFY(record.GetDate(RecordField::Created) == before.GetDate(RecordField::Created));
        record.SetDate(RecordField::Modified, before.GetDate(RecordField::Modified));
        QVERIFY(record.SameContent(before));
        QCOMPARE(folders.FolderAt(0)->RecordCount(), 3);
    }

    void editingNotesOnly() {
        CFolderSequence folders;
        MakeFolder(folders, 1);
        CRecord& record = *folders.FolderAt(0)->RecordAt(0);
        FillRecord(record);
        const CRecord before = record;
        DialogScript script(
            [](CRecordProps& dialog) {
                dialog.Tabs()->setCurrentIndex(1);
                QTest::keyClick(dialog.NotesPage()->Notes(), Qt::Key_End, Qt::ControlModifier);
                QTest::keyClicks(dialog.NotesPage()->Notes(), QStringLiteral(" x"));
                dialog.NotesPage()->Notes()->insertPlainText(QString::fromUtf8("\xC3\xBC"));
            },
            true);
        const DateTimeValue from = NowLocal();
        QVERIFY(CRecordProps::EditRecord(nullptr, folders, 0, 0));
        QCOMPARE(record.GetText(RecordField::Notes), "first\nsecond x\xC3\xBC");
        QVERIFY(Within(record.GetDate(RecordField::Modified), from, NowLocal()));
        record.SetText(RecordField::Notes, before.GetText(RecordField::Notes));
        record.SetDate(RecordField::Modified, before.GetDate(RecordField::Modified));
        QVERIFY(record.SameContent(before));
    }

    void cancelChangesNothing() {
        CFolderSequence folders;
        MakeFolder(folders, 2);
        CRecord& record = *folders.FolderAt(0)->RecordAt(0);
        FillRecord(record);
        const CRecord before = record;
        DialogScript script(
            [](CRecordProps& dialog) {
                for (RecordField field : kFormTextFields) {
                    if (field != RecordField::Notes) {
                        Type(Edit(dialog, field), QStringLiteral("changed"));
                    }
                }
                dialog.NotesPage()->Notes()->setPlainText(QStringLiteral("changed"));
                dialog.MainPage()->ExpiryCheck()->click();
            },
            false);
        QVERIFY(!CRecordProps::EditRecord(nullptr, folders, 0, 0));
        QCOMPARE(script.runs, 1);
        QVERIFY(record.SameContent(before));

        // No record there: no dialog.
        QVERIFY(!CRecordProps::EditRecord(nullptr, folders, 0, 2));
        QVERIFY(!CRecordProps::EditRecord(nullptr, folders, 1, 0));
        QCOMPARE(script.runs, 1);
    }

    void editedFieldsAndExpiry() {
        CFolderSequence folders;
        MakeFolder(folders, 1);
        CRecord& record = *folders.FolderAt(0)->RecordAt(0);
        FillRecord(record);
        record.SetText(RecordField::SiteName, "Caf\xE9");
        record.SetText(RecordField::Notes, "r\xE9sum\xE9\r\nend");
        DialogScript script(
            [](CRecordProps& dialog) {
                QCOMPARE(Edit(dialog, RecordField::SiteName)->text(),
                         QString::fromUtf8("Caf\xC3\xA9"));
                Type(Edit(dialog, RecordField::UserName), QString::fromUtf8("J\xC3\xBCrgen"));
                dialog.MainPage()->ExpiryCheck()->click();  // off
                dialog.MainPage()->ExpiryEdit()->setDate(QDate(2031, 12, 24));
            },
            true);
        QVERIFY(CRecordProps::EditRecord(nullptr, folders, 0, 0));
        QCOMPARE(record.GetText(RecordField::SiteName), "Caf\xE9");
        QCOMPARE(record.GetText(RecordField::Notes), "r\xE9sum\xE9\r\nend");
        QCOMPARE(record.GetText(RecordField::UserName), "J\xC3\xBCrgen");
        QCOMPARE(record.GetInt(RecordField::HasExpiry), 0);
        // Stored though not ticked, at the time of day the expiry had.
        QVERIFY(record.GetDate(RecordField::ExpiresOn) == At(2031, 12, 24, 8, 9, 10));

        // Ticking again alone keeps the date.
        DialogScript again([](CRecordProps& dialog) { dialog.MainPage()->ExpiryCheck()->click(); },
                           true);
        QVERIFY(CRecordProps::EditRecord(nullptr, folders, 0, 0));
        QCOMPARE(record.GetInt(RecordField::HasExpiry), 1);
        QVERIFY(record.GetDate(RecordField::ExpiresOn) == At(2031, 12, 24, 8, 9, 10));
    }

    void newRecordPlacement_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("position");
        QTest::newRow("after the current one") << 2 << 3;
        QTest::newRow("none current") << -1 << 0;
        QTest::newRow("after the last") << 4 << 5;
        QTest::newRow("first current") << 0 << 1;
    }
    void newRecordPlacement() {
        QFETCH(int, current);
        QFETCH(int, position);
        CFolderSequence folders;
        MakeFolder(folders, 5);
        RecordForm opened;
        DialogScript script(
            [&opened](CRecordProps& dialog) {
                opened = dialog.Result();
                Type(Edit(dialog, RecordField::SiteName), QStringLiteral("new"));
            },
            true);
        const DateTimeValue from = NowLocal();
        QCOMPARE(CRecordProps::NewRecord(nullptr, folders, 0, current), position);
        const DateTimeValue to = NowLocal();
        QVERIFY(opened.password.empty() && !opened.hasExpiry && Within(opened.created, from, to));
        QStringList expected{"r0", "r1", "r2", "r3", "r4"};
        expected.insert(position, QStringLiteral("new"));
        QCOMPARE(SiteNames(folders), expected);

        const CRecord& added = *folders.FolderAt(0)->RecordAt(position);
        for (RecordField field : kFormTextFields) {
            if (field != RecordField::SiteName) {
                QVERIFY(added.GetText(field).empty());
            }
        }
        for (RecordField date :
             {RecordField::Created, RecordField::Modified, RecordField::ExpiresOn}) {
            QVERIFY(Within(added.GetDate(date), from, to));
        }
        QCOMPARE(added.GetInt(RecordField::HasExpiry), 0);
        QVERIFY(shown_.isEmpty());
    }

    void newRecordCancelled() {
        CFolderSequence folders;
        MakeFolder(folders, 5);
        DialogScript script(
            [](CRecordProps& dialog) { Type(Edit(dialog, RecordField::SiteName), "x"); }, false);
        QCOMPARE(CRecordProps::NewRecord(nullptr, folders, 0, 2), -1);
        QCOMPARE(SiteNames(folders), (QStringList{"r0", "r1", "r2", "r3", "r4"}));
        // No folder: nothing to add to, nothing asked.
        QCOMPARE(CRecordProps::NewRecord(nullptr, folders, 3, -1), -1);
        QCOMPARE(script.runs, 1);

        // An empty folder takes its first record.
        MakeFolder(folders, 0);
        DialogScript ok(nullptr, true);
        QCOMPARE(CRecordProps::NewRecord(nullptr, folders, 0, -1), 0);
        QCOMPARE(folders.FolderAt(0)->RecordCount(), 1);
        QVERIFY(shown_.isEmpty());
    }
};

QTEST_MAIN(RecordPropsTest)
#include "record_props_test.moc"
