#include "settings/desktop/idle_guard.h"

#include <QtTest>
#include <deque>
#include <limits>

namespace zelvant::desktop {
namespace {

class FakeSource final : public IIdleSource {
  public:
    std::optional<std::uint32_t> IdleMilliseconds() override { return idle; }
    void Restart() override { ++restarts; }
    QString Name() const override { return QStringLiteral("fake"); }

    std::optional<std::uint32_t> idle = 0;
    int restarts = 0;
};

// Answers from a script; an empty optional stands for Cancel.
class FakePrompt final : public IRedisplayPrompt {
  public:
    std::optional<std::string> AskSecurityPassword() override {
        ++asked;
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<std::optional<std::string>> answers;
    int asked = 0;
};

// Counts its calls; answers from a script, then true.
struct FakeClipboard {
    bool operator()() {
        ++calls;
        if (results.empty()) {
            return true;
        }
        const bool ok = results.front();
        results.pop_front();
        return ok;
    }

    std::deque<bool> results;
    int calls = 0;
};

constexpr std::uint32_t kMinute = 60000;

}  // namespace

class IdleGuardTest : public QObject {
    Q_OBJECT

  private:
    settings::AppSettings settings_;
    FakeSource source_;
    FakeClipboard clipboard_;
    FakePrompt prompt_;

    CIdleGuard MakeGuard() {
        return CIdleGuard(settings_, source_, [this] { return clipboard_(); });
    }
    void ProtectWith(const std::string& password) {
        settings_.protMin = 1;
        settings_.securityPassword = password;
    }

  private slots:
    void init() {
        settings_ = {};
        source_ = {};
        clipboard_ = {};
        prompt_ = {};
    }

    // ---- the idle rules

    void minimisesOnlyAfterTheLimitIsPassed() {
        settings_.minTime = 1;
        CIdleGuard guard = MakeGuard();
        QCOMPARE(guard.OnTick(kMinute, true, false), IdleActions{});
        QVERIFY(!guard.Locked());
        QVERIFY(guard.OnTick(kMinute + 1, true, false).minimiseMain);
        QVERIFY(guard.Locked());
    }

    void windowInTheTrayIsLeftAlone() {
        settings_.minTime = 1;
        CIdleGuard guard = MakeGuard();
        QCOMPARE(guard.OnTick(10 * kMinute, false, false), IdleActions{});
        QVERIFY(!guard.Locked());
    }

    void zeroLimitsNeverAct() {
        CIdleGuard guard = MakeGuard();
        for (std::uint32_t idle : {0u, kMinute + 1, std::numeric_limits<std::uint32_t>::max()}) {
            QCOMPARE(guard.OnTick(idle, true, true), IdleActions{});
        }
        QCOMPARE(clipboard_.calls, 0);
        QVERIFY(!guard.Locked());
    }

    void hugeLimitMeansNeverRatherThanWrapping() {
        // 71583 minutes is just over 2^32 ms; computed in 32 bits it would be about 13 s.
        settings_.minTime = 71583;
        settings_.minPopTime = 71583;
        settings_.timedClear = 71583;
        CIdleGuard guard = MakeGuard();
        QCOMPARE(guard.OnTick(std::numeric_limits<std::uint32_t>::max(), true, true),
                 IdleActions{});
        QCOMPARE(clipboard_.calls, 0);
    }

    void popupIsHiddenWithoutLockingAndShownAgainWithoutPassword() {
        settings_.minPopTime = 2;
        ProtectWith("secret");
        CIdleGuard guard = MakeGuard();
        QCOMPARE(
            guard.OnTick(2 * kMinute + 1, true, true),
            (IdleActions{.minimiseMain = false, .hidePopup = true, .clipboardCleared = false}));
        QVERIFY(!guard.Locked());

        const PopupDecision shown = guard.PasswordPopupCommand(false, prompt_);
        QCOMPARE(shown.action, PopupAction::Show);
        QCOMPARE(prompt_.asked, 0);
        QCOMPARE(source_.restarts, 1);
    }

    void limitsAreReadOnEveryTick() {
        CIdleGuard guard = MakeGuard();
        QVERIFY(!guard.OnTick(5 * kMinute, true, false).minimiseMain);
        settings_.minTime = 3;  // as the options dialog would change it
        QVERIFY(guard.OnTick(5 * kMinute, true, false).minimiseMain);
    }

    void tickReadsTheSourceAndSkipsWhenItCannotTell() {
        settings_.minTime = 1;
        settings_.timedClear = 1;
        CIdleGuard guard = MakeGuard();
        source_.idle = std::nullopt;
        QCOMPARE(guard.Tick(true, true), IdleActions{});
        QCOMPARE(clipboard_.calls, 0);
        source_.idle = kMinute + 1;
        QCOMPARE(guard.Tick(true, true),
                 (IdleActions{.minimiseMain = true, .hidePopup = false, .clipboardCleared = true}));
    }

    // ---- the clipboard rule

    void clipboardIsClearedOncePerIdlePeriod() {
        settings_.timedClear = 1;
        CIdleGuard guard = MakeGuard();
        QVERIFY(!guard.OnTick(kMinute, false, false).clipboardCleared);
        QVERIFY(guard.OnTick(kMinute + 1, false, false).clipboardCleared);
        QVERIFY(!guard.OnTick(kMinute + 1000, false, false).clipboardCleared);
        QVERIFY(!guard.OnTick(30 * kMinute, false, false).clipboardCleared);
        QCOMPARE(clipboard_.calls, 1);
    }

    void newInputAloneDoesNotClearAgain() {
        settings_.timedClear = 1;
        CIdleGuard guard = MakeGuard();
        guard.OnTick(kMinute + 1, true, false);
        guard.OnSizeChanged(true);  // a minimise does not count as a size change
        guard.OnTick(0, true, false);
        guard.OnTick(kMinute + 1, true, false);
        QCOMPARE(clipboard_.calls, 1);
    }

    void sizeChangeAloneDoesNotClearAgain() {
        settings_.timedClear = 1;
        CIdleGuard guard = MakeGuard();
        guard.OnTick(kMinute + 1, true, false);
        guard.OnSizeChanged(false);
        guard.OnTick(kMinute + 2000, true, false);
        QCOMPARE(clipboard_.calls, 1);
    }

    void inputAndSizeChangeTogetherAllowTheNextClear() {
        settings_.timedClear = 1;
        CIdleGuard guard = MakeGuard();
        guard.OnTick(kMinute + 1, true, false);
        guard.OnSizeChanged(false);
        guard.OnTick(500, true, false);
        QVERIFY(guard.OnTick(kMinute + 1, true, false).clipboardCleared);
        QCOMPARE(clipboard_.calls, 2);
    }

    void failedClearIsRetriedOnTheNextTick() {
        settings_.timedClear = 1;
        clipboard_.results = {false, true};
        CIdleGuard guard = MakeGuard();
        QVERIFY(!guard.OnTick(kMinute + 1, false, false).clipboardCleared);
        QVERIFY(guard.OnTick(kMinute + 1001, false, false).clipboardCleared);
        guard.OnTick(kMinute + 2001, false, false);
        QCOMPARE(clipboard_.calls, 2);
    }

    void clearClipAtExitFollowsTheSetting() {
        CIdleGuard guard = MakeGuard();
        QVERIFY(!guard.ClearClipAtExit());
        QCOMPARE(clipboard_.calls, 0);
        settings_.clearClip = 1;
        QVERIFY(guard.ClearClipAtExit());
        clipboard_.results = {false};
        QVERIFY(!guard.ClearClipAtExit());
        QCOMPARE(clipboard_.calls, 2);
    }

    // ---- the security password

    void noQuestionWithoutProtectionOrPassword() {
        CIdleGuard guard = MakeGuard();
        settings_.securityPassword = "secret";
        settings_.protMin = 0;
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Allowed);
        settings_.protMin = 2;  // only the lowest bit counts
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Allowed);
        settings_.protMin = 1;
        settings_.securityPassword.clear();
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Allowed);
        QCOMPARE(prompt_.asked, 0);
    }

    void passwordIsComparedExactly() {
        ProtectWith("Secret");
        CIdleGuard guard = MakeGuard();
        prompt_.answers = {"secret", "Secret ", "", std::nullopt, "Secret"};
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Wrong);
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Wrong);
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Wrong);
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Cancelled);
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Allowed);
    }

    void typedTextIsCutToThirtyTwoCharacters() {
        const std::string password(32, 'p');
        ProtectWith(password);
        CIdleGuard guard = MakeGuard();
        prompt_.answers = {password + "tail"};
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Allowed);

        // 32 characters but 33 bytes: the cut counts characters.
        const std::string accented = std::string(31, 'p') + "\xC3\xA9";
        ProtectWith(accented);
        prompt_.answers = {accented + "x"};
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Allowed);

        // A longer security password can never be typed in full.
        ProtectWith(password + "q");
        prompt_.answers = {password + "q"};
        QCOMPARE(guard.CheckRedisplayPassword(prompt_), RedisplayResult::Wrong);
    }

    // ---- restore and maximise

    void restoreIsFreeWhileUnlocked() {
        ProtectWith("secret");
        CIdleGuard guard = MakeGuard();
        QVERIFY(guard.AllowRestore(prompt_).allowed);
        QCOMPARE(prompt_.asked, 0);
        QCOMPARE(source_.restarts, 0);
    }

    void wrongPasswordKeepsTheLockAndAsksAgain() {
        ProtectWith("secret");
        CIdleGuard guard = MakeGuard();
        guard.OnMinimised();
        prompt_.answers = {"wrong", "secret"};

        const RestoreDecision refused = guard.AllowRestore(prompt_);
        QVERIFY(!refused.allowed);
        QCOMPARE(refused.warning, QString::fromLatin1(kInvalidPasswordMainWindow));
        QVERIFY(guard.Locked());
        QCOMPARE(source_.restarts, 0);

        const RestoreDecision allowed = guard.AllowRestore(prompt_);
        QVERIFY(allowed.allowed);
        QVERIFY(allowed.warning.isEmpty());
        QCOMPARE(prompt_.asked, 2);
        QVERIFY(!guard.Locked());
        QCOMPARE(source_.restarts, 1);
    }

    void cancelledRestoreStaysMinimisedSilently() {
        ProtectWith("secret");
        CIdleGuard guard = MakeGuard();
        guard.LockForMinimisedStart();
        const RestoreDecision cancelled = guard.AllowRestore(prompt_);
        QVERIFY(!cancelled.allowed);
        QVERIFY(cancelled.warning.isEmpty());
        QVERIFY(guard.Locked());
    }

    void unprotectedRestoreStillClearsTheLock() {
        CIdleGuard guard = MakeGuard();
        guard.OnMinimised();
        QVERIFY(guard.AllowRestore(prompt_).allowed);
        QVERIFY(!guard.Locked());
        QCOMPARE(source_.restarts, 1);
    }

    // ---- the two commands

    void mainWindowCommandMinimisesAnUnlockedWindow() {
        ProtectWith("secret");
        CIdleGuard guard = MakeGuard();
        QCOMPARE(guard.MainWindowCommand(prompt_).action, MainWindowAction::Minimise);
        QVERIFY(guard.Locked());
        QCOMPARE(prompt_.asked, 0);
    }

    void mainWindowCommandOnALockedWindow() {
        ProtectWith("secret");
        CIdleGuard guard = MakeGuard();
        guard.OnMinimised();
        prompt_.answers = {std::nullopt, "Secret", "secret"};

        MainWindowDecision d = guard.MainWindowCommand(prompt_);
        QCOMPARE(d.action, MainWindowAction::None);
        QVERIFY(d.warning.isEmpty());

        d = guard.MainWindowCommand(prompt_);
        QCOMPARE(d.action, MainWindowAction::None);
        QCOMPARE(d.warning, QString::fromLatin1(kInvalidPasswordMainWindow));
        QVERIFY(guard.Locked());

        d = guard.MainWindowCommand(prompt_);
        QCOMPARE(d.action, MainWindowAction::Restore);
        QVERIFY(!guard.Locked());
        QCOMPARE(source_.restarts, 1);
        QCOMPARE(prompt_.asked, 3);
    }

    void popupCommandHidesAVisiblePopupWithoutAsking() {
        ProtectWith("secret");
        CIdleGuard guard = MakeGuard();
        guard.OnMinimised();
        QCOMPARE(guard.PasswordPopupCommand(true, prompt_).action, PopupAction::Hide);
        QCOMPARE(prompt_.asked, 0);
        QCOMPARE(source_.restarts, 0);
    }

    void popupWhileLockedAsksAndLeavesTheMainWindowLocked() {
        ProtectWith("secret");
        CIdleGuard guard = MakeGuard();
        guard.OnMinimised();
        prompt_.answers = {std::nullopt, "nope", "secret"};

        PopupDecision d = guard.PasswordPopupCommand(false, prompt_);
        QCOMPARE(d.action, PopupAction::None);
        QVERIFY(d.warning.isEmpty());

        d = guard.PasswordPopupCommand(false, prompt_);
        QCOMPARE(d.action, PopupAction::None);
        QCOMPARE(d.warning, QString::fromLatin1(kInvalidPasswordPopup));
        QCOMPARE(source_.restarts, 0);

        d = guard.PasswordPopupCommand(false, prompt_);
        QCOMPARE(d.action, PopupAction::Show);
        QCOMPARE(source_.restarts, 1);
        QVERIFY(guard.Locked());

        const int askedBefore = prompt_.asked;
        QVERIFY(!guard.AllowRestore(prompt_).allowed);  // asked again; the script is empty
        QCOMPARE(prompt_.asked, askedBefore + 1);
    }

    void idleMinimiseLocksTheMainWindow() {
        settings_.minTime = 1;
        ProtectWith("secret");
        CIdleGuard guard = MakeGuard();
        guard.OnTick(kMinute + 1, true, false);
        prompt_.answers = {"secret"};
        QCOMPARE(guard.MainWindowCommand(prompt_).action, MainWindowAction::Restore);
        QCOMPARE(prompt_.asked, 1);
    }
};

}  // namespace zelvant::desktop

QTEST_GUILESS_MAIN(zelvant::desktop::IdleGuardTest)
#include "idle_guard_test.moc"
