#include "desktop/idle_guard.h"

#include <QTest>
#include <vector>

namespace zelvant::desktop {
namespace {

// The idle source and the password prompt in one. answers[n] answers the n-th question; an empty
// optional, like the end of the script, stands for Cancel.
class Fakes final : public IIdleSource, public IRedisplayPrompt {
  public:
    std::optional<std::uint32_t> IdleMilliseconds() override { return idle; }
    void Restart() override { ++restarts; }
    QString Name() const override { return QStringLiteral("fake"); }
    std::optional<std::string> AskSecurityPassword() override {
        const auto at = std::size_t(asked++);
        return at < answers.size() ? answers[at] : std::nullopt;
    }
    std::optional<std::uint32_t> idle = 0;
    int restarts = 0;
    std::vector<std::optional<std::string>> answers;
    int asked = 0;
};

constexpr std::uint32_t kMinute = 60000;

// Tests do not need the real cost of a hash, only its checking.
std::string CheapHash(const std::string& password) {
    return password.empty() ? std::string() : settings::HashSecurityPassword(password, {1, 8192});
}

struct RuleCase {
    const char* name;
    int minTime, minPopTime, timedClear;
    std::uint32_t idleMs;
    bool mainVisible, popupVisible;
    IdleActions want;
};
// 71583 minutes is just over 2^32 ms: in 32 bits it would wrap to about 13 s.
constexpr RuleCase kRules[] = {
    {"main at the limit", 1, 0, 0, kMinute, true, false, {}},
    {"main just past", 1, 0, 0, kMinute + 1, true, false, {.minimiseMain = true}},
    {"main in the tray", 1, 0, 0, 10 * kMinute, false, false, {}},
    {"popup past", 0, 2, 0, 2 * kMinute + 1, true, true, {.hidePopup = true}},
    {"clipboard at the limit", 0, 0, 1, kMinute, true, true, {}},
    {"clipboard past", 0, 0, 1, kMinute + 1, false, false, {.clipboardCleared = true}},
    {"all limits 0", 0, 0, 0, UINT32_MAX, true, true, {}},
    {"huge limits", 71583, 71583, 71583, UINT32_MAX, true, true, {}},
};
enum Via { kRestore, kCommand, kPopup };

}  // namespace

class IdleGuardTest : public QObject {
    Q_OBJECT

    settings::AppSettings settings_;
    Fakes fakes_;
    int clears_ = 0;
    int failingClears_ = 0;  // this many attempts find the clipboard out of reach
    std::optional<CIdleGuard> guard_;

    static int Outcome(const RestoreDecision& d) { return d.allowed ? 1 : 0; }
    static int Outcome(const MainWindowDecision& d) { return int(d.action); }
    static int Outcome(const PopupDecision& d) { return int(d.action); }
    template <class Decision>
    static QString Describe(const Decision& d, Via via) {
        static const char* const kNames[][3] = {
            {"kept", "shown", ""}, {"kept", "shown", "minimised"}, {"kept", "hidden", "shown"}};
        return QLatin1String(kNames[via][Outcome(d)]) + QLatin1Char(' ') + d.warning;
    }
    // One way of bringing a window back, as "<outcome> <warning>".
    QString Show(Via via, bool popupVisible = false) {
        return via == kRestore ? Describe(guard_->AllowRestore(fakes_), via)
               : via == kCommand
                   ? Describe(guard_->MainWindowCommand(fakes_), via)
                   : Describe(guard_->PasswordPopupCommand(popupVisible, fakes_), via);
    }

  private slots:
    void init() {
        settings_ = {};
        fakes_ = {};
        clears_ = failingClears_ = 0;
        // Built before the limits are set: they must be read on every tick.
        guard_.emplace(settings_, fakes_, [this] { return ++clears_ > failingClears_; });
    }

    void idleRules() {
        for (const RuleCase& c : kRules) {
            init();
            settings_.minTime = c.minTime;
            settings_.minPopTime = c.minPopTime;
            settings_.timedClear = c.timedClear;
            QVERIFY2(guard_->OnTick(c.idleMs, c.mainVisible, c.popupVisible) == c.want, c.name);
            QVERIFY2(guard_->Locked() == c.want.minimiseMain, c.name);
            QVERIFY2(clears_ == (c.want.clipboardCleared ? 1 : 0), c.name);
        }
    }

    void clipboardIsClearedOncePerIdlePeriodAndAtExit() {
        settings_.timedClear = 1;
        const auto cleared = [this](std::optional<std::uint32_t> ms) {
            fakes_.idle = ms;
            return guard_->Tick(true, false).clipboardCleared;
        };
        QVERIFY(!cleared(std::nullopt));  // a source that cannot tell: no guessing
        failingClears_ = 1;
        QVERIFY(!cleared(kMinute + 1));  // out of reach: tried again on the next tick
        QVERIFY(cleared(kMinute + 1001));
        QVERIFY(!cleared(30 * kMinute));
        guard_->OnSizeChanged(false);  // a size change alone, same idle period
        QVERIFY(!cleared(31 * kMinute));
        QVERIFY(!cleared(0));  // input and a size change: the next period clears
        QVERIFY(cleared(kMinute + 1));
        guard_->OnSizeChanged(true);  // minimising is no size change, so input alone
        QVERIFY(!cleared(0));
        QVERIFY(!cleared(kMinute + 1));
        QVERIFY(!guard_->ClearClipAtExit());  // ClearClip off
        settings_.clearClip = 1;
        QVERIFY(guard_->ClearClipAtExit());
        failingClears_ = 100;
        QVERIFY(!guard_->ClearClipAtExit());
    }

    void unprotectedRestoreAsksNothingButUnlocks() {
        const std::pair<int, std::string> unprotected[] = {{0, "secret"}, {2, "secret"}, {1, ""}};
        for (const auto& [protMin, password] : unprotected) {
            settings_.protMin = protMin;  // only its lowest bit counts
            settings_.securityPasswordHash = CheapHash(password);
            guard_->OnMinimised();
            QVERIFY(guard_->AllowRestore(fakes_).allowed);
            QVERIFY(!guard_->Locked());
        }
        QCOMPARE(fakes_.asked, 0);
        QCOMPARE(fakes_.restarts, 3);
    }

    void passwordIsComparedExactlyAndCutAt32Characters() {
        const auto check = [this](const std::string& stored, std::optional<std::string> typed) {
            init();
            settings_.protMin = 1;
            settings_.securityPasswordHash = CheapHash(stored);
            fakes_.answers = {std::move(typed)};
            return guard_->CheckRedisplayPassword(fakes_);
        };
        const std::string p32(32, 'p'), accented = p32.substr(1) + "\xC3\xA9";  // 33 bytes
        QCOMPARE(check("Secret", "Secret"), RedisplayResult::Allowed);
        QCOMPARE(check("Secret", "secret"), RedisplayResult::Wrong);
        QCOMPARE(check("Secret", "Secret "), RedisplayResult::Wrong);
        QCOMPARE(check("Secret", ""), RedisplayResult::Wrong);
        QCOMPARE(check("Secret", std::nullopt), RedisplayResult::Cancelled);
        QCOMPARE(check(p32, p32 + "tail"), RedisplayResult::Allowed);
        QCOMPARE(check(accented, accented + "x"), RedisplayResult::Allowed);
        // Set longer than the prompt takes: what the prompt can take unlocks, so nobody is
        // locked out for good.
        QCOMPARE(check(p32 + "q", p32), RedisplayResult::Allowed);
        QCOMPARE(check(p32 + "q", p32.substr(1) + "q"), RedisplayResult::Wrong);
    }

    void showingALockedWindowAsksUntilRight_data() {
        QTest::addColumn<int>("via");
        QTest::newRow("restore") << int(kRestore);
        QTest::newRow("Main Window") << int(kCommand);
        QTest::newRow("Password Popup") << int(kPopup);
    }
    void showingALockedWindowAsksUntilRight() {
        QFETCH(int, via);
        const Via how = Via(via);
        const char* warning = how == kPopup ? kInvalidPasswordPopup : kInvalidPasswordMainWindow;
        settings_.protMin = 1;
        settings_.securityPasswordHash = CheapHash("secret");
        QCOMPARE(Show(how), QLatin1String(how == kCommand ? "minimised " : "shown "));
        QCOMPARE(guard_->Locked(), how == kCommand);
        guard_->LockForMinimisedStart();
        if (how == kPopup) {
            QCOMPARE(Show(how, true), QStringLiteral("hidden "));
        }
        fakes_.answers = {std::nullopt, "Secret", "secret"};
        QCOMPARE(Show(how), QStringLiteral("kept "));
        QCOMPARE(Show(how), QStringLiteral("kept ") + QLatin1String(warning));
        QCOMPARE(fakes_.restarts, how == kPopup ? 1 : 0);
        QCOMPARE(Show(how), QStringLiteral("shown "));
        QCOMPARE(fakes_.restarts, how == kPopup ? 2 : 1);
        // The popup never unlocks the main window, so a restore asks once more.
        QCOMPARE(guard_->Locked(), how == kPopup);
        QCOMPARE(guard_->AllowRestore(fakes_).allowed, how != kPopup);
        QCOMPARE(fakes_.asked, how == kPopup ? 4 : 3);
    }
};

}  // namespace zelvant::desktop

QTEST_GUILESS_MAIN(zelvant::desktop::IdleGuardTest)
#include "idle_guard_test.moc"
