// The password generator dialog, the strength meter in the record dialog and the new-password
// dialog, and the question a weak file password raises.

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "settings/settings_store.h"
#include "ui/field_edit.h"
#include "ui/generator_dlg.h"
#include "ui/message_box.h"
#include "ui/password_dlg.h"
#include "ui/record_props.h"
#include "ui/strength_meter.h"

using namespace zelvant;
using namespace zelvant::ui;

class PasswordToolsTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { SetDialogHookForTests({}); }

    void generatorMakesWhatIsAskedAndShowsItsStrength() {
        CGeneratorDlg dialog;
        dialog.show();
        const QString first = dialog.Result()->text();
        QCOMPARE(first.size(), 20);
        QVERIFY(dialog.Meter()->Verdict()->text().startsWith("Strong: about 10<sup>"));
        QVERIFY(dialog.Meter()->Bar()->value() > 10);

        dialog.Symbols()->setChecked(false);
        dialog.Length()->setValue(32);
        const QString plain = dialog.Result()->text();
        QCOMPARE(plain.size(), 32);
        QVERIFY(plain != first);
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9]+$")).match(plain).hasMatch());
        dialog.AgainButton()->click();
        QVERIFY(dialog.Result()->text() != plain);

        // Nothing to make from: nothing can be used.
        for (QCheckBox* box : {dialog.Lower(), dialog.Upper(), dialog.Digits()}) {
            box->setChecked(false);
        }
        QVERIFY(dialog.Result()->text().isEmpty() && !dialog.UseButton()->isEnabled());
        QCOMPARE(dialog.Result()->placeholderText(),
                 QStringLiteral("choose at least one kind of character"));

        dialog.PassphraseMode()->setChecked(true);
        dialog.Separator()->setText(QStringLiteral(" "));
        QCOMPARE(dialog.Result()->text().split(' ').size(), 5);
        QVERIFY(dialog.UseButton()->isEnabled() && !dialog.Length()->isEnabled());
        const QString phrase = dialog.Result()->text();
        dialog.UseButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Password(), phrase);
        QVERIFY(dialog.Result()->text().isEmpty());

        // The next generator starts with the choices that were used.
        CGeneratorDlg next;
        QVERIFY(next.PassphraseMode()->isChecked());
        QCOMPARE(next.Result()->text().split(' ').size(), 5);
        // Kinds of character that made nothing are not kept: the last that made a password are.
        next.PasswordMode()->setChecked(true);
        QCOMPARE(next.Length()->value(), 32);
        QVERIFY(next.Lower()->isChecked() && next.Symbols()->isChecked());
        QCOMPARE(next.Result()->text().size(), 32);
        next.reject();
    }

    void recordDialogGeneratesIntoThePasswordAndJudgesIt() {
        RecordForm form = NewRecordForm(NowLocal());
        form.siteName = "northwindtraders";
        form.password = "password";
        CRecordProps dialog(form);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        CDataMain& main = *dialog.MainPage();
        QCOMPARE(main.StrengthMeter()->Current().verdict, StrengthVerdict::Weak);
        QVERIFY(main.StrengthMeter()->Verdict()->text().startsWith("Weak"));
        // The record's own site name is among the first things an attacker tries.
        main.Field(RecordField::Password)->setText(QStringLiteral("northwindtraders1977"));
        QCOMPARE(main.StrengthMeter()->Current().verdict, StrengthVerdict::Weak);

        QString offered;
        SetDialogHookForTests([&offered](QDialog& d) {
            auto& generator = static_cast<CGeneratorDlg&>(d);
            generator.PasswordMode()->setChecked(true);
            offered = generator.Result()->text();
            generator.UseButton()->click();
            return generator.result();
        });
        // Alt+G presses the button as a click would, a moment later.
        QTest::keyClick(main.Field(RecordField::SiteName), Qt::Key_G, Qt::AltModifier);
        QTRY_VERIFY(!offered.isEmpty());
        QCOMPARE(main.Field(RecordField::Password)->text(), offered);
        QCOMPARE(main.StrengthMeter()->Current().verdict, StrengthVerdict::Strong);

        // Cancelled: the password stays.
        SetDialogHookForTests([](QDialog& d) {
            d.reject();
            return d.result();
        });
        main.GenerateButton()->click();
        QCOMPARE(main.Field(RecordField::Password)->text(), offered);
    }

    // Below 10^10 guesses the file password is asked about before the dialog closes.
    void weakFilePasswordsAreConfirmed() {
        settings::CMemorySettingsStore store;
        CNewPasswordDlg dialog(store);
        dialog.show();
        QStringList questions;
        int answer = QMessageBox::No;
        SetDialogHookForTests([&](QDialog& d) {
            auto* box = qobject_cast<QMessageBox*>(&d);
            questions << (box != nullptr ? box->text() : QStringLiteral("?"));
            return answer;
        });
        const auto enter = [&dialog](const QString& password) {
            dialog.PasswordEdit()->setText(password);
            dialog.ConfirmationEdit()->setText(password);
            dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        };
        enter(QStringLiteral("summer2024"));
        QCOMPARE(dialog.StrengthMeter()->Current().verdict, StrengthVerdict::Weak);
        QCOMPARE(questions.size(), 1);
        QVERIFY(questions.front().startsWith("This password is weak: it would be found in about "));
        QVERIFY(dialog.isVisible());

        answer = QMessageBox::Yes;
        enter(QStringLiteral("blueberrypie9"));  // fair: still asked
        QCOMPARE(questions.size(), 2);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        // Only the first 16 characters make the key: a strong tail does not help.
        CNewPasswordDlg tail(store);
        tail.show();
        tail.PasswordEdit()->setText(QStringLiteral("aaaaaaaaaaaaaaaaQ7#vLp2!kRm9@xW4"));
        QCOMPARE(tail.StrengthMeter()->Current().verdict, StrengthVerdict::Weak);
        // A sealed file's key is made of every character.
        CNewPasswordDlg sealedTail(store);
        sealedTail.SetProtection(FileForm::Sealed, true);
        sealedTail.show();
        sealedTail.PasswordEdit()->setText(QStringLiteral("aaaaaaaaaaaaaaaaQ7#vLp2!kRm9@xW4"));
        QVERIFY(sealedTail.StrengthMeter()->Current().verdict != StrengthVerdict::Weak);

        CNewPasswordDlg strong(store);
        strong.show();
        strong.PasswordEdit()->setText(QStringLiteral("Tide!Compass-77 harbour"));
        strong.ConfirmationEdit()->setText(QStringLiteral("Tide!Compass-77 harbour"));
        strong.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(questions.size(), 2);
        QCOMPARE(strong.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(PasswordToolsTest)
#include "password_tools_test.moc"
