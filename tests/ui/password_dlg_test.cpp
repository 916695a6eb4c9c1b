// The file-password dialogs, the prompt the document asks through, and the message boxes.

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "settings/direct_settings.h"
#include "store/zelvant_doc.h"
#include "support/cheap_sealing.h"
#include "ui/message_box.h"
#include "ui/password_dlg.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

const QString kEmpty = QStringLiteral("You have not entered a password!|2");  // a warning
const QString kMismatch = QStringLiteral("Password and confirmation are not identical!|2");

void Type(QDialog& dialog, const char* edit, const QString& text) {
    QTest::keyClicks(dialog.findChild<QLineEdit*>(QString::fromLatin1(edit)), text);
}

void Click(QDialog& dialog) {
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

std::string Str(const SecretText& secret) {
    return std::string(secret.text.data(), secret.text.size());
}

}  // namespace

class PasswordDlgTest : public QObject {
    Q_OBJECT

    QStringList shown_;  // "text|icon"
    settings::CMemorySettingsStore store_;

  private slots:
    void init() {
        shown_.clear();
        store_ = settings::CMemorySettingsStore();
        SetDialogHookForTests({});
        SetMessageBoxHookForTests([this](const QString& text, QMessageBox::Icon icon) {
            shown_ << text + QLatin1Char('|') + QString::number(icon);
        });
    }

    void passwordDialog() {
        CPasswordDlg dialog(store_);
        QLineEdit* edit = dialog.PasswordEdit();
        dialog.show();
        QCOMPARE(dialog.findChild<QLabel*>()->text(), QStringLiteral("Enter password:"));
        QVERIFY(dialog.focusWidget() == edit && edit->echoMode() == QLineEdit::Password);
        Click(dialog);  // empty: refused, the dialog stays, nothing is stored
        QVERIFY(dialog.isVisible() && store_.Writes().empty());

        // At most 32 characters, all of which reach the caller as UTF-8, once.
        Type(dialog, "password", QString(40, 'k'));
        QCOMPARE(edit->text().size(), 32);
        edit->setText(QString::fromUtf8("p\xC3\xA4ss\xE2\x82\xAC ") + QString(30, 'z'));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        SecretText password, again;
        dialog.TakePassword(password);
        dialog.TakePassword(again);
        QCOMPARE(Str(password), "p\xC3\xA4ss\xE2\x82\xAC " + std::string(26, 'z'));
        QVERIFY(again.text.empty() && edit->text().isEmpty());
        QCOMPARE(shown_, QStringList{kEmpty});
    }

    // Compared byte for byte: case, or an accent composed another way, makes a mismatch.
    void newPasswordDialog() {
        const QString refused[][3] = {
            {"", "", kEmpty},
            {"", "abc", kEmpty},
            {"Secret", "secret", kMismatch},
            {QString::fromUtf8("\xC3\xA9"), QString::fromUtf8("e\xCC\x81"), kMismatch}};
        CNewPasswordDlg dialog(store_);
        dialog.show();
        QVERIFY(dialog.ConfirmationEdit()->maxLength() == 32 &&
                dialog.ConfirmationEdit()->echoMode() == QLineEdit::Password);
        for (const auto& [password, confirmation, message] : refused) {
            shown_.clear();
            dialog.PasswordEdit()->setText(password);
            dialog.ConfirmationEdit()->setText(confirmation);
            Click(dialog);
            QCOMPARE(shown_, QStringList{message});
            QVERIFY(dialog.isVisible() && dialog.ConfirmationEdit()->text() == confirmation);
        }
        // Strong enough to be taken without a question about it.
        dialog.PasswordEdit()->setText(QStringLiteral("same Tide!Compass-77"));
        dialog.ConfirmationEdit()->setText(QStringLiteral("same Tide!Compass-77"));
        Click(dialog);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        SecretText typed, confirmed;
        dialog.TakePasswords(typed, confirmed);
        QVERIFY(Str(typed) == "same Tide!Compass-77" && Str(confirmed) == "same Tide!Compass-77");
    }

    // Both dialogs open where OK was last pressed when that is on screen, else centred.
    void placement() {
        CPasswordDlg first(store_);
        first.show();
        first.move(150, 90);
        QTRY_COMPARE(first.pos(), QPoint(150, 90));
        first.PasswordEdit()->setText(QStringLiteral("x"));
        Click(first);
        QCOMPARE(store_.Writes(), (std::vector<std::string>{"Settings/PwX", "Settings/PwY"}));
        CNewPasswordDlg second(store_);
        second.show();
        QCOMPARE(second.pos(), QPoint(150, 90));

        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        for (const QPoint at : {QPoint(0, 0), screen.bottomRight(), QPoint(-1, -1),
                                QPoint(screen.width(), 10), QPoint(10, screen.height())}) {
            settings::CDirectSettings(store_).SetPasswordDialogPosition({at.x(), at.y()});
            CPasswordDlg dialog(store_);
            dialog.show();
            const bool used = screen.contains(at);
            const QPoint actual = used ? dialog.pos() : dialog.frameGeometry().center();
            QVERIFY(((used ? at : centre) - actual).manhattanLength() <= 1);
            QCOMPARE(dialog.size(), first.size());  // moved, not resized
        }
        QWidget owner;
        owner.setGeometry(300, 200, 400, 300);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        CPasswordDlg child(store_, &owner);
        child.show();
        const QPoint off = child.frameGeometry().center() - owner.frameGeometry().center();
        QVERIFY(off.manhattanLength() <= 1);
    }

    // The dialogs refuse bad entries themselves, so the document never repeats the messages.
    void documentSeesEachMessageOnce() {
        QTemporaryDir scratch;
        const std::string path = scratch.filePath(QStringLiteral("bank.zvd")).toStdString();
        CFolderSequence folders;
        CQtPasswordPrompt prompt(nullptr, store_);
        CMessageLog documentMessages;
        CZelvantDoc doc(folders, prompt, documentMessages);
        doc.SetSealing(testing::CheapSealing().Services());
        SetDialogHookForTests([](QDialog& dialog) {
            dialog.show();
            Click(dialog);  // empty
            Type(dialog, "password", QStringLiteral("pw Tide!Compass-77"));
            if (dialog.findChild<QLineEdit*>(QStringLiteral("confirmation")) != nullptr) {
                Click(dialog);  // mismatch
                Type(dialog, "confirmation", QStringLiteral("pw Tide!Compass-77"));
            }
            Click(dialog);
            return dialog.result();
        });
        QVERIFY(doc.SaveAs(path));
        QVERIFY(doc.OnOpenDocument(path));
        QCOMPARE(shown_, (QStringList{kEmpty, kMismatch, kEmpty}));
        QVERIFY(documentMessages.messages.empty());

        // Cancelled: false, with nothing handed back or stored, under the file's name.
        store_.ClearWrites();
        QStringList captions;
        SetDialogHookForTests([&captions](QDialog& dialog) {
            captions << dialog.windowTitle();
            Type(dialog, "password", QStringLiteral("typed"));
            dialog.reject();
            return dialog.result();
        });
        SecretText none, none2;
        QVERIFY(!prompt.AskPassword(FilePasswordCaption(path), FileForm::Legacy, none));
        QVERIFY(!prompt.AskNewPassword(FileForm::Legacy, none, none2));
        QCOMPARE(captions, (QStringList{"File Password:bank.zvd", "File Password"}));
        QVERIFY(none.text.empty() && none2.text.empty() && store_.Writes().empty());
    }

    // Without the message hook a real box runs through ExecDialog, as plain text with OK.
    void messageBoxes() {
        SetMessageBoxHookForTests({});
        QStringList seen;
        SetDialogHookForTests([&seen](QDialog& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            seen << box->windowTitle() + '|' + box->text() + '|' + QString::number(box->icon()) +
                        (box->textFormat() == Qt::PlainText ? "|plain" : "") +
                        (box->standardButtons() == QMessageBox::Ok ? "|ok" : "");
            return int(QMessageBox::Ok);
        });
        ShowMessageBox(nullptr, QStringLiteral("a <b>c</b>\n& d"), QMessageBox::Warning);
        CQtMessageSink().ShowMessage({"No such file", MessageIcon::Stop, "Error"});
        QCOMPARE(seen, (QStringList{"Zelvant|a <b>c</b>\n& d|2|plain|ok",
                                    "Error|No such file|3|plain|ok"}));
    }

    // The title bar is not cut short: "File Password:" and a 39-character file name fit.
    void captionFitsALongFileName() {
        CPasswordDlg dialog(store_);
        const QString caption =
            QStringLiteral("File Password:Family passwords and bank logins 24.zvd");
        dialog.setWindowTitle(caption);
        dialog.show();
        const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
        QVERIFY2(dialog.width() >= title.horizontalAdvance(caption),
                 qPrintable(QString::number(dialog.width())));
    }
};

QTEST_MAIN(PasswordDlgTest)
#include "password_dlg_test.moc"
