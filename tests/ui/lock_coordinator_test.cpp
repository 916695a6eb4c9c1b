// What locking clears away, and the security password's check that keeps the windows alive.

#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "settings/security_password.h"
#include "ui/lock_coordinator.h"

using namespace zelvant;
using namespace zelvant::ui;

class LockCoordinatorTest : public QObject {
    Q_OBJECT

  private slots:
    // The slow check runs elsewhere: events keep coming while it runs, and the verdict is its.
    void passwordCheckKeepsTheEventLoopRunning() {
        const std::string hash = settings::HashSecurityPassword("Secret");
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        timer.start(0);
        QVERIFY(!PasswordCheckRunning());
        QVERIFY(VerifyOffTheGuiThread(hash, "Secret"));
        QVERIFY(ticks > 0);
        QVERIFY(!VerifyOffTheGuiThread(hash, "secret"));
        QVERIFY(!PasswordCheckRunning());
    }

    // A menu open over a dialog over a dialog: all of them go, the dialogs as Cancel.
    void everyMenuAndDialogIsClosedInnermostFirst() {
        QDialog outer;
        outer.setModal(true);
        outer.show();
        QMessageBox inner(QMessageBox::Question, QStringLiteral("Zelvant"), QStringLiteral("?"),
                          QMessageBox::Yes | QMessageBox::No, &outer);
        inner.setModal(true);
        inner.show();
        QMenu menu(&inner);
        menu.addAction(QStringLiteral("Copy"));
        menu.popup(QPoint(10, 10));
        QTRY_VERIFY(QApplication::activePopupWidget() == &menu);
        QStringList order;
        connect(&inner, &QDialog::finished,
                [&order](int r) { order << QStringLiteral("inner %1").arg(r); });
        connect(&outer, &QDialog::finished,
                [&order](int r) { order << QStringLiteral("outer %1").arg(r); });
        QCOMPARE(CloseDialogsForLock(), 2);
        QVERIFY(!menu.isVisible() && !inner.isVisible() && !outer.isVisible());
        QCOMPARE(order, (QStringList{"inner 0", "outer 0"}));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(CloseDialogsForLock(), 0);
    }
};

QTEST_MAIN(LockCoordinatorTest)
#include "lock_coordinator_test.moc"
