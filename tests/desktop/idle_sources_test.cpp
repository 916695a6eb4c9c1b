#include "settings/desktop/idle_sources.h"

#include <QApplication>
#include <QLineEdit>
#include <QtTest>
#include <limits>

namespace zelvant::desktop {
namespace {

class ScriptedSource final : public IIdleSource {
  public:
    explicit ScriptedSource(std::optional<std::uint32_t> answer, QString name)
        : answer_(answer), name_(std::move(name)) {}
    std::optional<std::uint32_t> IdleMilliseconds() override { return answer_; }
    QString Name() const override { return name_; }

  private:
    std::optional<std::uint32_t> answer_;
    QString name_;
};

// Feeds a guess one sample a second, as the timer would.
void FeedEverySecond(CIdleUnitGuess& guess, std::uint64_t& wall,
                     std::initializer_list<std::uint64_t> raws) {
    for (std::uint64_t raw : raws) {
        guess.Observe(wall, raw);
        wall += 1000;
    }
}

}  // namespace

class IdleSourcesTest : public QObject {
    Q_OBJECT

  private slots:
    // ---- choosing a source

    void pickTakesTheFirstThatAnswersAndStops() {
        int calledAfter = 0;
        std::unique_ptr<IIdleSource> picked = PickIdleSource({
            [] { return nullptr; },
            [] { return std::make_unique<ScriptedSource>(std::nullopt, "silent"); },
            [] { return std::make_unique<ScriptedSource>(0, "answers"); },
            [&calledAfter] {
                ++calledAfter;
                return std::make_unique<ScriptedSource>(5, "later");
            },
        });
        QVERIFY(picked);
        QCOMPARE(picked->Name(), QStringLiteral("answers"));
        QCOMPARE(calledAfter, 0);
        QVERIFY(!PickIdleSource({[] { return nullptr; }}));
    }

    void withoutADesktopOnlyOwnInputRemains() {
        std::unique_ptr<IIdleSource> source = MakeIdleSource();
        QVERIFY(source);
        QVERIFY(dynamic_cast<CInputEventIdleSource*>(source.get()));
    }

    void busSourcesWithoutABusCannotTell() {
        const QDBusConnection none = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/zelvant-bus"), QStringLiteral("zelvant-none"));
        QVERIFY(!none.isConnected());
        QVERIFY(!CMutterIdleSource(none).IdleMilliseconds());
        QVERIFY(!CScreenSaverIdleSource(none).IdleMilliseconds());
        QVERIFY(!CX11IdleSource().IdleMilliseconds());  // offscreen is not xcb
    }

    // ---- own input

    void ownInputResetsTheIdleTime() {
        std::uint64_t now = 1000;
        auto source = CInputEventIdleSource::Create([&now] { return now; });
        QVERIFY(source);
        QLineEdit edit;
        now += 5000;
        QCOMPARE(source->IdleMilliseconds(), std::optional<std::uint32_t>(5000));

        QTest::keyClick(&edit, Qt::Key_A);
        QCOMPARE(source->IdleMilliseconds(), std::optional<std::uint32_t>(0));
        now += 300;
        QCOMPARE(source->IdleMilliseconds(), std::optional<std::uint32_t>(300));

        QTest::mouseClick(&edit, Qt::LeftButton);
        QCOMPARE(source->IdleMilliseconds(), std::optional<std::uint32_t>(0));
    }

    void otherEventsAreNotInput() {
        std::uint64_t now = 0;
        auto source = CInputEventIdleSource::Create([&now] { return now; });
        QLineEdit edit;
        now = 4000;
        QEvent update(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(&edit, &update);
        QEvent user(QEvent::User);
        QCoreApplication::sendEvent(&edit, &user);
        QCOMPARE(source->IdleMilliseconds(), std::optional<std::uint32_t>(4000));

        source->Restart();
        QCOMPARE(source->IdleMilliseconds(), std::optional<std::uint32_t>(0));
    }

    void longIdleSaturatesInsteadOfWrapping() {
        std::uint64_t now = 0;
        auto source = CInputEventIdleSource::Create([&now] { return now; });
        now = (std::uint64_t{1} << 32) + 5;
        QCOMPARE(source->IdleMilliseconds(),
                 std::optional<std::uint32_t>(std::numeric_limits<std::uint32_t>::max()));
        QCOMPARE(SaturateIdle(std::numeric_limits<std::uint32_t>::max()),
                 std::numeric_limits<std::uint32_t>::max());
        QCOMPARE(SaturateIdle(7), 7u);
    }

    // ---- the screensaver's unit

    void millisecondCountsAreRecognised() {
        CIdleUnitGuess guess;
        std::uint64_t wall = 50000;
        FeedEverySecond(guess, wall, {200, 1200, 2200});
        QCOMPARE(guess.Guess(), CIdleUnitGuess::Unit::Unknown);
        QCOMPARE(guess.ToMilliseconds(2200), 2200u);  // taken as milliseconds meanwhile
        FeedEverySecond(guess, wall, {3200});
        QCOMPARE(guess.Guess(), CIdleUnitGuess::Unit::Milliseconds);
        QCOMPARE(guess.ToMilliseconds(90000), 90000u);
    }

    void secondCountsAreRecognised() {
        CIdleUnitGuess guess;
        std::uint64_t wall = 0;
        FeedEverySecond(guess, wall, {0, 0, 1, 2, 3, 4});
        QCOMPARE(guess.Guess(), CIdleUnitGuess::Unit::Seconds);
        QCOMPARE(guess.ToMilliseconds(61), 61000u);
        // Decided once: later input does not undo it.
        FeedEverySecond(guess, wall, {0, 1500, 0});
        QCOMPARE(guess.Guess(), CIdleUnitGuess::Unit::Seconds);
    }

    void aBusyUserLeavesTheUnitOpen() {
        CIdleUnitGuess guess;
        std::uint64_t wall = 0;
        // Input every second or so: milliseconds that keep falling back.
        FeedEverySecond(guess, wall, {800, 120, 900, 40, 700, 300, 950, 10});
        QCOMPARE(guess.Guess(), CIdleUnitGuess::Unit::Unknown);
        // Seconds while typing: the count never leaves zero.
        CIdleUnitGuess seconds;
        wall = 0;
        FeedEverySecond(seconds, wall, {0, 0, 0, 0, 0, 0});
        QCOMPARE(seconds.Guess(), CIdleUnitGuess::Unit::Unknown);
        // ...and is recognised once the user stops.
        FeedEverySecond(seconds, wall, {1, 2, 3, 4});
        QCOMPARE(seconds.Guess(), CIdleUnitGuess::Unit::Seconds);
    }
};

}  // namespace zelvant::desktop

int main(int argc, char** argv) {
    // No session bus, whatever the machine running the tests has.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zelvant-session-bus");
    QApplication app(argc, argv);
    zelvant::desktop::IdleSourcesTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "idle_sources_test.moc"
