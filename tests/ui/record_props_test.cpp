// The record dialog: which buttons are enabled when, what they do, and the two entry points
// driven through the ExecDialog hook.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <span>
#include <string>

#include "ui/field_edit.h"
#include "ui/message_box.h"
#include "ui/open_location.h"
#include "ui/record_props.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

// Every text field but the notes, which are last.
const auto kMainFields = std::span(kFormTextFields).first<8>();

std::string T(RecordField field) {
    return "t" + std::to_string(static_cast<int>(field));
}

CFieldEdit* Edit(CRecordProps& dialog, RecordField field) {
    return dialog.MainPage()->Field(field);
}

}  // namespace

class RecordPropsTest : public QObject {
    Q_OBJECT

    CFolderSequence folders_;
    int runs_ = 0;

    // Runs the next dialogs through `script`, then closes them with OK or Cancel.
    void Script(std::function<void(CRecordProps&)> script, bool ok) {
        SetDialogHookForTests([this, script = std::move(script), ok](QDialog& dialog) {
            ++runs_;
            auto& props = static_cast<CRecordProps&>(dialog);
            props.show();
            script(props);
            const auto button = ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel;
            QTest::mouseClick(props.findChild<QDialogButtonBox*>()->button(button), Qt::LeftButton);
            return props.result();
        });
    }

    CRecord& Record(int index) { return *folders_.FolderAt(0)->RecordAt(index); }

  private slots:
    void init() {
        // Old records "r0".."r4", every other text different, Windows-1252 bytes in two.
        folders_.Clear();
        CFolder* folder = folders_.AppendFolder();
        for (int i = 0; i < 5; ++i) {
            CRecord& record = *folder->AppendRecord(*FromCivil({2002, 3, 4, 5, 6, 7}));
            for (RecordField field : kFormTextFields) {
                record.SetText(field, T(field));
            }
            record.SetText(RecordField::SiteName, "r" + std::to_string(i));
            record.SetText(RecordField::AccountName, "Caf\xE9");
            record.SetText(RecordField::Notes, "r\xE9sum\xE9\r\nend");
            record.SetInt(RecordField::HasExpiry, 1);
            record.SetDate(RecordField::ExpiresOn, *FromCivil({2030, 6, 7, 8, 9, 10}));
        }
        runs_ = 0;
        SetMessageBoxHookForTests(
            [](const QString& text, QMessageBox::Icon) { QFAIL(qPrintable(text)); });
    }
    void cleanup() {
        SetMessageBoxHookForTests({});
        SetDialogHookForTests({});
        SetUrlOpenerForTests({});
    }

    void buttonsAreEnabledByContent() {
        CRecordProps dialog(NewRecordForm(NowLocal()));
        dialog.show();
        CDataMain& main = *dialog.MainPage();
        // Each copy button follows its own field only, even a blank; web and mail follow theirs.
        for (RecordField field : kMainFields) {
            QTest::keyClicks(Edit(dialog, field), QStringLiteral(" "));
            for (RecordField other : kMainFields) {
                QCOMPARE(main.CopyButton(other)->isEnabled(), other == field);
            }
            QCOMPARE(main.WebButton()->isEnabled(), field == RecordField::Location);
            QCOMPARE(main.MailButton()->isEnabled(), field == RecordField::Email);
            QTest::keyClick(Edit(dialog, field), Qt::Key_Backspace);
            QVERIFY(!main.CopyButton(field)->isEnabled());
        }
        QVERIFY(!dialog.NotesPage()->CopyButton()->isEnabled());
        QTest::keyClicks(dialog.NotesPage()->Notes(), QStringLiteral("n"));
        QVERIFY(dialog.NotesPage()->CopyButton()->isEnabled());

        QVERIFY(!main.ExpiryCheck()->isChecked() && !main.ExpiryEdit()->isEnabled());
        main.ExpiryCheck()->click();
        QVERIFY(main.ExpiryEdit()->isEnabled());
    }

    void buttonsCopyAndOpenAndClosingWipes() {
        CRecordProps dialog(FormFromRecord(Record(0)));
        dialog.show();
        // The real text even while the field shows asterisks.
        Edit(dialog, RecordField::Password)->SetMasked(true);
        for (RecordField field : {RecordField::UserName, RecordField::Password, RecordField::Pin}) {
            QTest::mouseClick(dialog.MainPage()->CopyButton(field), Qt::LeftButton);
            QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), T(field));
        }

        QStringList opened;
        SetUrlOpenerForTests([&opened](const QUrl& url) {
            opened << url.toString();
            return true;
        });
        Edit(dialog, RecordField::Email)->setText(QStringLiteral("first.last+tag@example.org"));
        Edit(dialog, RecordField::Location)->setText(QStringLiteral("https://bank.example/?x=1"));
        QTest::mouseClick(dialog.MainPage()->MailButton(), Qt::LeftButton);
        QTest::mouseClick(dialog.MainPage()->WebButton(), Qt::LeftButton);
        QCOMPARE(opened,
                 (QStringList{"mailto:first.last+tag@example.org", "https://bank.example/?x=1"}));

        // Closing wipes every edit, undo history included.
        QTest::keyClicks(Edit(dialog, RecordField::AccountNumber), QStringLiteral("x"));
        dialog.accept();
        for (RecordField field : kMainFields) {
            QVERIFY(Edit(dialog, field)->text().isEmpty());
            QVERIFY(!Edit(dialog, field)->isUndoAvailable());
        }
        QVERIFY(dialog.NotesPage()->Notes()->toPlainText().isEmpty());
        QVERIFY(!dialog.NotesPage()->Notes()->document()->isUndoAvailable());
        QCOMPARE(dialog.Result().accountNumber, T(RecordField::AccountNumber) + "x");
    }

    void editRecord() {
        CRecord& record = Record(1);
        const CRecord before = record;
        Script(
            [](CRecordProps& dialog) {
                Edit(dialog, RecordField::Password)->setText(QStringLiteral("changed"));
                dialog.NotesPage()->Notes()->setPlainText(QStringLiteral("changed"));
                dialog.MainPage()->ExpiryCheck()->click();
            },
            false);
        QVERIFY(!CRecordProps::EditRecord(nullptr, folders_, 0, 1));
        QVERIFY(record.SameContent(before));
        // No record or folder there: no dialog.
        QVERIFY(!CRecordProps::EditRecord(nullptr, folders_, 0, 5));
        QCOMPARE(CRecordProps::NewRecord(nullptr, folders_, 1, -1), -1);
        QCOMPARE(runs_, 1);

        // OK without a change renews Modified alone; the Windows-1252 bytes stay.
        Script([](CRecordProps&) {}, true);
        const DateTimeValue from = NowLocal();
        QVERIFY(CRecordProps::EditRecord(nullptr, folders_, 0, 1));
        QVERIFY(record.GetDate(RecordField::Modified).oa >= from.oa);
        record.SetDate(RecordField::Modified, before.GetDate(RecordField::Modified));
        QVERIFY(record.SameContent(before));

        Script(
            [](CRecordProps& dialog) {
                QVERIFY(dialog.MainPage()->ExpiryCheck()->isChecked());
                QCOMPARE(dialog.MainPage()->ExpiryEdit()->date(), QDate(2030, 6, 7));
                for (RecordField field : kMainFields) {
                    Edit(dialog, field)->setText(Edit(dialog, field)->text() + QChar(0xFC));
                }
                dialog.MainPage()->ExpiryCheck()->click();  // off
                dialog.MainPage()->ExpiryEdit()->setDate(QDate(2031, 12, 24));
            },
            true);
        QVERIFY(CRecordProps::EditRecord(nullptr, folders_, 0, 1));
        for (RecordField field : kMainFields) {
            QCOMPARE(record.GetText(field), FormFromRecord(before).Text(field) + "\xC3\xBC");
        }
        QCOMPARE(record.GetText(RecordField::AccountName), "Caf\xC3\xA9\xC3\xBC");
        QCOMPARE(record.GetText(RecordField::Notes), "r\xE9sum\xE9\r\nend");
        QCOMPARE(record.GetInt(RecordField::HasExpiry), 0);
        // Stored though not ticked, at the time of day the expiry had.
        QVERIFY(record.GetDate(RecordField::ExpiresOn) == *FromCivil({2031, 12, 24, 8, 9, 10}));
    }

    void newRecordPlacement_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("position");  // -1: cancelled
        QTest::addColumn<QString>("sites");
        QTest::newRow("after the current one") << 2 << 3 << "r0 r1 r2 new r3 r4";
        QTest::newRow("none current") << -1 << 0 << "new r0 r1 r2 r3 r4";
        QTest::newRow("after the last") << 4 << 5 << "r0 r1 r2 r3 r4 new";
        QTest::newRow("cancelled") << 2 << -1 << "r0 r1 r2 r3 r4";
    }
    void newRecordPlacement() {
        QFETCH(int, current);
        QFETCH(int, position);
        QFETCH(QString, sites);
        Script([](CRecordProps& dialog) { Edit(dialog, RecordField::SiteName)->setText("new"); },
               position >= 0);
        const DateTimeValue from = NowLocal();
        QCOMPARE(CRecordProps::NewRecord(nullptr, folders_, 0, current), position);
        QStringList shown;
        for (int i = 0; i < folders_.FolderAt(0)->RecordCount(); ++i) {
            shown << QString::fromStdString(std::string(Record(i).GetText(RecordField::SiteName)));
        }
        QCOMPARE(shown.join(' '), sites);
        // Created now, without expiry.
        QVERIFY(position < 0 || (Record(position).GetDate(RecordField::Created).oa >= from.oa &&
                                 Record(position).GetInt(RecordField::HasExpiry) == 0));
    }
};

QTEST_MAIN(RecordPropsTest)
#include "record_props_test.moc"
