#include "desktop/clipboard_timer.h"

#include <QTest>

namespace zelvant::desktop {

class ClipboardTimerTest : public QObject {
    Q_OBJECT

    settings::AppSettings settings_;
    std::int64_t now_ = 0;
    int clears_ = 0;

  private slots:
    // Cleared once, that long after the last copy; a copy in between starts the count again.
    void clearsOnceThatLongAfterTheLastCopy() {
        settings_.clearSecretsAfter = 30;
        now_ = 1000;
        clears_ = 0;
        CSecretClipboardTimer timer(
            settings_, [this] { return now_; },
            [this] {
                ++clears_;
                return true;
            });
        QVERIFY(!timer.Tick() && !timer.SecondsLeft());
        timer.SecretCopied();
        QCOMPARE(timer.SecondsLeft(), std::optional<int>(30));
        now_ += 20000;
        timer.SecretCopied();
        now_ += 29999;
        QVERIFY(!timer.Tick());
        QCOMPARE(timer.SecondsLeft(), std::optional<int>(1));
        now_ += 1;
        QVERIFY(timer.Tick());
        QCOMPARE(clears_, 1);
        now_ += 60000;
        QVERIFY(!timer.Tick());
        QCOMPARE(clears_, 1);

        // The seconds are read at each copy; 0 means the secret stays.
        settings_.clearSecretsAfter = 0;
        timer.SecretCopied();
        now_ += 1000000;
        QVERIFY(!timer.Tick() && !timer.SecondsLeft());
        timer.ClearIfPending();
        QCOMPARE(clears_, 1);

        // At exit a clear still due happens at once.
        settings_.clearSecretsAfter = 5;
        timer.SecretCopied();
        timer.ClearIfPending();
        QCOMPARE(clears_, 2);
        now_ += 10000;
        QVERIFY(!timer.Tick());
    }
};

}  // namespace zelvant::desktop

QTEST_GUILESS_MAIN(zelvant::desktop::ClipboardTimerTest)
#include "clipboard_timer_test.moc"
