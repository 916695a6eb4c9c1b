#include "desktop/idle_sources.h"

#include <QLineEdit>
#include <QTest>

namespace zelvant::desktop {

// No session bus, whatever the machine running the tests has; set before the application starts.
[[maybe_unused]] const bool kNoSessionBus =
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zelvant-session-bus");

class IdleSourcesTest : public QObject {
    Q_OBJECT

  private slots:
    void pickTakesTheFirstSourceThatAnswers() {
        int later = 0;
        QVERIFY(
            PickIdleSource({[] { return nullptr; }, [] { return CInputEventIdleSource::Create(); },
                            [&later] { return ++later, nullptr; }}));
        QCOMPARE(later, 0);
        QVERIFY(!PickIdleSource({[] { return std::make_unique<CScreenSaverIdleSource>(); }}));
        // Without a bus, and offscreen not being xcb, only own input is left.
        QVERIFY(dynamic_cast<CInputEventIdleSource*>(MakeIdleSource().get()));
    }

    void ownInputRestartsTheCountOtherEventsDoNot() {
        std::uint64_t now = 1000;
        const auto source = CInputEventIdleSource::Create([&now] { return now; });
        const auto idle = [&source] { return source->IdleMilliseconds().value_or(12345); };
        QLineEdit edit;
        now += 5000;
        QEvent update(QEvent::UpdateRequest);  // not input
        QCoreApplication::sendEvent(&edit, &update);
        QCOMPARE(idle(), 5000u);
        QTest::keyClick(&edit, Qt::Key_A);
        now += 300;
        QCOMPARE(idle(), 300u);
        QTest::mouseClick(&edit, Qt::LeftButton);
        QCOMPARE(idle(), 0u);
        now += (std::uint64_t{1} << 32) + 5;  // saturates rather than wrapping round
        QCOMPARE(idle(), UINT32_MAX);
        source->Restart();
        QCOMPARE(idle(), 0u);
    }

    void screensaverUnit_data() {  // one sample a second; 0 unknown, 1 ms, 2 s
        QTest::addColumn<QList<int>>("samples");
        QTest::addColumn<int>("unit");
        QTest::newRow("milliseconds") << QList<int>{200, 1200, 2200, 3200} << 1;
        QTest::newRow("seconds, kept") << QList<int>{0, 0, 1, 2, 3, 4, 0, 1000, 2000, 3000} << 2;
        QTest::newRow("busy, ms") << QList<int>{800, 120, 900, 40, 700, 300, 950, 10} << 0;
        QTest::newRow("busy, seconds") << QList<int>{0, 0, 0, 0, 0, 0} << 0;
    }
    void screensaverUnit() {
        QFETCH(QList<int>, samples);
        QFETCH(int, unit);
        CIdleUnitGuess guess;
        for (qsizetype i = 0; i < samples.size(); ++i) {
            guess.Observe(std::uint64_t(i) * 1000, std::uint64_t(samples[i]));
        }
        QCOMPARE(int(guess.Guess()), unit);
        QCOMPARE(guess.ToMilliseconds(61), unit == 2 ? 61000u : 61u);
    }
};

}  // namespace zelvant::desktop

QTEST_MAIN(zelvant::desktop::IdleSourcesTest)
#include "idle_sources_test.moc"
