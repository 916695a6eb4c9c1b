// The file-password dialogs, the prompt the document asks through, and the message boxes. Dialogs
// are driven through the ExecDialog hook; message boxes are recorded by the message-box hook.

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <vector>

#include "settings/direct_settings.h"
#include "store/zelvant_doc.h"
#include "ui/message_box.h"
#include "ui/password_dlg.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

const QString kEmpty = QStringLiteral("You have not entered a password!");
const QString kMismatch = QStringLiteral("Password and confirmation are not identical!");

QLineEdit* Edit(QDialog& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
}

void Type(QLineEdit* edit, const QString& text) {
    edit->setText(QString());
    QTest::keyClicks(edit, text);
}

void Click(QDialog& dialog, QDialogButtonBox::StandardButton which = QDialogButtonBox::Ok) {
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(which), Qt::LeftButton);
}

std::string Str(const SecretText& secret) {
    return std::string(secret.text.data(), secret.text.size());
}

}  // namespace

class PasswordDlgTest : public QObject {
    Q_OBJECT

    QStringList shown_;  // "text|icon"
    settings::CMemorySettingsStore store_;

    void Store(int x, int y) {
        settings::CDirectSettings(store_).SetPasswordDialogPosition({x, y});
        store_.ClearWrites();
    }

  private slots:
    void init() {
        shown_.clear();
        store_ = settings::CMemorySettingsStore();
        SetMessageBoxHookForTests([this](const QString& text, QMessageBox::Icon icon) {
            shown_ << text + QLatin1Char('|') + QString::number(icon);
        });
    }
    void cleanup() {
        SetMessageBoxHookForTests({});
        SetDialogHookForTests({});
    }

    void passwordDialog() {
        CPasswordDlg dialog(store_);
        dialog.show();
        QCOMPARE(dialog.findChild<QLabel*>()->text(), QStringLiteral("Enter password:"));
        QCOMPARE(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.focusWidget(), dialog.PasswordEdit());

        // Empty: refused with the message, the dialog stays, nothing is stored.
        Click(dialog);
        QCOMPARE(shown_, QStringList{kEmpty + "|2"});  // QMessageBox::Warning
        QVERIFY(dialog.isVisible());
        QVERIFY(store_.Writes().empty());

        // At most 32 characters, all of which reach the caller as UTF-8.
        Type(dialog.PasswordEdit(), QString(40, QLatin1Char('k')));
        QCOMPARE(dialog.PasswordEdit()->text().size(), 32);
        dialog.PasswordEdit()->setText(QString::fromUtf8("p\xC3\xA4ss\xE2\x82\xAC ") +
                                       QString(30, QLatin1Char('z')));
        QTest::keyClick(dialog.PasswordEdit(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        SecretText password;
        dialog.TakePassword(password);
        QCOMPARE(Str(password), "p\xC3\xA4ss\xE2\x82\xAC " + std::string(26, 'z'));
        QVERIFY(dialog.PasswordEdit()->text().isEmpty());
        SecretText again;  // the dialog keeps no copy
        dialog.TakePassword(again);
        QVERIFY(again.text.empty());
        QCOMPARE(shown_.size(), 1);
    }

    void revealAndCancel() {
        CPasswordDlg dialog(store_);
        dialog.show();
        auto* reveal = dialog.PasswordEdit()->findChild<QAction*>(QStringLiteral("passwordReveal"));
        QVERIFY(reveal != nullptr);
        reveal->setChecked(true);
        QCOMPARE(dialog.PasswordEdit()->echoMode(), QLineEdit::Normal);
        QVERIFY(dialog.PasswordEdit()->inputMethodHints() & Qt::ImhSensitiveData);
        reveal->setChecked(false);
        QCOMPARE(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);

        Type(dialog.PasswordEdit(), QStringLiteral("typed"));
        Click(dialog, QDialogButtonBox::Cancel);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(dialog.PasswordEdit()->text().isEmpty());
        QVERIFY(store_.Writes().empty());
        QVERIFY(shown_.isEmpty());
    }

    void newPasswordDialog_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<QString>("message");
        QTest::newRow("both empty") << ""
                                    << "" << kEmpty;
        QTest::newRow("only confirmation") << ""
                                           << "abc" << kEmpty;
        QTest::newRow("no confirmation") << "abc"
                                         << "" << kMismatch;
        QTest::newRow("case") << "Secret"
                              << "secret" << kMismatch;
        QTest::newRow("trailing blank") << "secret "
                                        << "secret" << kMismatch;
        QTest::newRow("composed, decomposed")
            << QString::fromUtf8("\xC3\xA9") << QString::fromUtf8("e\xCC\x81") << kMismatch;
    }
    void newPasswordDialog() {
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        QFETCH(QString, message);
        CNewPasswordDlg dialog(store_);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("File Password"));
        QCOMPARE(dialog.ConfirmationEdit()->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.ConfirmationEdit()->maxLength(), 32);
        dialog.PasswordEdit()->setText(password);
        dialog.ConfirmationEdit()->setText(confirmation);
        Click(dialog);
        QCOMPARE(shown_, QStringList{message + "|2"});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.ConfirmationEdit()->text(), confirmation);  // left to correct

        dialog.PasswordEdit()->setText(QStringLiteral("same"));
        Type(dialog.ConfirmationEdit(), QStringLiteral("same"));
        Click(dialog);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(shown_.size(), 1);
        SecretText typed;
        SecretText confirmed;
        dialog.TakePasswords(typed, confirmed);
        QCOMPARE(Str(typed), std::string("same"));
        QCOMPARE(Str(confirmed), std::string("same"));
        QVERIFY(dialog.ConfirmationEdit()->text().isEmpty());
    }

    void positionIsStoredAndShared() {
        {
            CNewPasswordDlg dialog(store_);
            dialog.show();
            dialog.move(150, 90);
            QTRY_COMPARE(dialog.pos(), QPoint(150, 90));
            dialog.PasswordEdit()->setText(QStringLiteral("x"));
            dialog.ConfirmationEdit()->setText(QStringLiteral("x"));
            Click(dialog);
            QCOMPARE(store_.Writes(), (std::vector<std::string>{"Settings/PwX", "Settings/PwY"}));
        }
        CPasswordDlg centred(store_);
        CPasswordDlg dialog(store_);
        Store(-1, -1);
        centred.show();
        Store(150, 90);
        dialog.show();
        QCOMPARE(dialog.pos(), QPoint(150, 90));
        QCOMPARE(dialog.size(), centred.size());  // moved, not resized
    }

    void placementOnOpen_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("used");
        const QRect desktop = QGuiApplication::primaryScreen()->geometry();
        QTest::newRow("origin") << 0 << 0 << true;
        QTest::newRow("last pixel") << desktop.width() - 1 << desktop.height() - 1 << true;
        QTest::newRow("never stored") << -1 << -1 << false;
        QTest::newRow("far right") << 100000 << 10 << false;
        QTest::newRow("just right") << desktop.width() << 10 << false;
        QTest::newRow("just below") << 10 << desktop.height() << false;
        QTest::newRow("above") << 10 << -5 << false;
    }
    void placementOnOpen() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, used);
        Store(x, y);
        CPasswordDlg dialog(store_);
        dialog.show();
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        const QPoint expected = used ? QPoint(x, y) : centre;
        const QPoint actual = used ? dialog.pos() : dialog.frameGeometry().center();
        QVERIFY2((actual - expected).manhattanLength() <= 1,
                 qPrintable(QStringLiteral("%1,%2").arg(actual.x()).arg(actual.y())));
    }

    void centredOnAVisibleParent() {
        QWidget owner;
        owner.setGeometry(300, 200, 400, 300);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        CPasswordDlg dialog(store_, &owner);
        dialog.show();
        QVERIFY(
            (dialog.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength() <=
            1);
    }

    void promptShowsTheDialogs() {
        CQtPasswordPrompt prompt(nullptr, store_);
        QStringList captions;
        SetDialogHookForTests([&captions](QDialog& dialog) {
            captions << dialog.windowTitle();
            dialog.show();
            Type(Edit(dialog, "password"), QStringLiteral("open"));
            if (QLineEdit* confirmation = Edit(dialog, "confirmation")) {
                Type(confirmation, QStringLiteral("nope"));
                Click(dialog);  // refused, still open
                Type(confirmation, QStringLiteral("open"));
            }
            Click(dialog);
            return dialog.result();
        });
        SecretText password;
        SecretText confirmation;
        QVERIFY(prompt.AskPassword(FilePasswordCaption("/tmp/x/my file.zvd"), password));
        QCOMPARE(Str(password), std::string("open"));
        QVERIFY(prompt.AskNewPassword(password, confirmation));
        QCOMPARE(Str(confirmation), std::string("open"));
        QCOMPARE(captions, (QStringList{"File Password:my file.zvd", "File Password"}));
        QCOMPARE(shown_, QStringList{kMismatch + "|2"});

        // Cancel: false, and nothing handed back or stored.
        store_.ClearWrites();
        SetDialogHookForTests([](QDialog& dialog) {
            Type(Edit(dialog, "password"), QStringLiteral("typed"));
            dialog.reject();
            return dialog.result();
        });
        SecretText none;
        SecretText none2;
        QVERIFY(!prompt.AskPassword("File Password:a.zvd", none));
        QVERIFY(!prompt.AskNewPassword(none, none2));
        QVERIFY(none.text.empty() && none2.text.empty() && store_.Writes().empty());
    }

    void promptRunsTheRealModalLoop() {
        CQtPasswordPrompt prompt(nullptr, store_);
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            Type(Edit(*dialog, "password"), QStringLiteral("modal"));
            Click(*dialog);
        });
        SecretText password;
        QVERIFY(prompt.AskPassword("File Password:m.zvd", password));
        QCOMPARE(Str(password), std::string("modal"));
    }

    // The dialogs refuse bad entries themselves, so the document never repeats the messages.
    void documentSeesEachMessageOnce() {
        QTemporaryDir scratch;
        const std::string path = scratch.filePath(QStringLiteral("bank.zvd")).toStdString();
        CFolderSequence folders;
        QVERIFY(folders.AddChildFolder("Bank", -1) >= 0);
        CQtPasswordPrompt prompt(nullptr, store_);
        CMessageLog documentMessages;
        CZelvantDoc doc(folders, prompt, documentMessages);
        SetDialogHookForTests([](QDialog& dialog) {
            dialog.show();
            Click(dialog);  // empty
            Type(Edit(dialog, "password"), QStringLiteral("pw"));
            if (QLineEdit* confirmation = Edit(dialog, "confirmation")) {
                Click(dialog);  // mismatch
                Type(confirmation, QStringLiteral("pw"));
            }
            Click(dialog);
            return dialog.result();
        });
        QVERIFY(doc.SaveAs(path));
        QVERIFY(doc.OnOpenDocument(path));
        QCOMPARE(folders.Count(), 1);
        QCOMPARE(shown_, (QStringList{kEmpty + "|2", kMismatch + "|2", kEmpty + "|2"}));
        QVERIFY(documentMessages.messages.empty());
    }

    void messageBoxes() {
        QCOMPARE(ToQtIcon(MessageIcon::Stop), QMessageBox::Critical);
        QCOMPARE(ToQtIcon(MessageIcon::Exclamation), QMessageBox::Warning);
        QCOMPARE(ToQtIcon(MessageIcon::Warning), QMessageBox::Warning);
        QCOMPARE(ToQtIcon(MessageIcon::Information), QMessageBox::Information);
        QCOMPARE(ToQtIcon(MessageIcon::Question), QMessageBox::Question);

        CQtMessageSink sink;
        sink.ShowMessage({"Unable to open file.", MessageIcon::Stop, ""});
        QCOMPARE(shown_, QStringList{"Unable to open file.|3"});  // QMessageBox::Critical

        // Without the message hook a real box runs through ExecDialog.
        SetMessageBoxHookForTests({});
        QStringList seen;
        SetDialogHookForTests([&seen](QDialog& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            seen << box->windowTitle() << box->text() << QString::number(box->icon())
                 << QString::number(box->textFormat()) << QString::number(box->standardButtons());
            return int(QMessageBox::Ok);
        });
        ShowMessageBox(nullptr, QStringLiteral("a <b>c</b>\n& d"), QMessageBox::Warning);
        sink.ShowMessage({"No such file", MessageIcon::Information, "Error"});
        QCOMPARE(seen, (QStringList{"Zelvant", "a <b>c</b>\n& d", "2", "0", "1024", "Error",
                                    "No such file", "1", "0", "1024"}));
    }
};

QTEST_MAIN(PasswordDlgTest)
#include "password_dlg_test.moc"
