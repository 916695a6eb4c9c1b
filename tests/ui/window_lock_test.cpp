// The main window's lock over a fake window: when it locks, what it hides, and how the window
// comes back.

#include <QTest>
#include <deque>

#include "support/ui_fixtures.h"
#include "ui/window_lock.h"

using namespace zelvant;
using namespace zelvant::ui;
using namespace zelvant::testing;

namespace {

constexpr std::uint32_t kMinute = 60000;

// Answers from a script; past its end the user cancels.
class FakePrompt final : public desktop::IRedisplayPrompt {
  public:
    explicit FakePrompt(std::deque<std::optional<std::string>>& answers) : answers_(answers) {}
    std::optional<std::string> AskSecurityPassword() override {
        if (answers_.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

  private:
    std::deque<std::optional<std::string>>& answers_;
};

// A window that does what it is asked at once and notes it.
class FakeWindow final : public IWindowLockHost {
  public:
    bool WindowMinimised() const override { return minimised; }
    bool WindowShown() const override { return shown; }
    bool PopupShown() const override { return popup; }
    void HidePopup() override { popup = false; }
    void CloseDialogs() override { ++dialogsClosed; }
    void Minimise() override { minimised = true; }
    void TakeFocus() override {}
    void RestoreFromTray() override {
        minimised = false;
        shown = true;
    }
    void ShowContents(bool on) override { contents = on; }
    void Warn(const QString& text) override { warnings.append(text); }
    void Unlocked() override { ++unlocks; }
    void LockStateChanged() override { ++refreshes; }

    bool minimised = false;
    bool shown = true;
    bool popup = true;
    bool contents = true;
    int dialogsClosed = 0;
    int unlocks = 0;
    int refreshes = 0;
    QStringList warnings;
};

}  // namespace

class WindowLockTest : public QObject {
    Q_OBJECT

    settings::AppSettings settings_;
    FakeWindow window_;
    FakeIdleSource* idle_ = nullptr;  // owned by the lock
    std::deque<std::optional<std::string>> answers_;
    std::unique_ptr<CWindowLock> lock_;

    void Protect() {
        settings_.protMin = 1;
        settings_.securityPasswordHash = "hash";
    }

  private slots:
    void init() {
        settings_ = {};
        settings_.minTime = 1;
        window_ = {};
        answers_.clear();
        lock_ = std::make_unique<CWindowLock>(settings_, window_,
                                              std::make_unique<FakePrompt>(answers_));
        auto source = std::make_unique<FakeIdleSource>();
        idle_ = source.get();
        QVERIFY(lock_->StartIdleProtection(std::move(source)));
        lock_->Guard()->SetPasswordVerifier(
            [](const std::string& hash, const std::string& typed) { return typed + "-" == hash; });
    }

    // Idle past the limit: dialogs closed, popup hidden, window minimised and locked with its
    // contents hidden; a window already down is not locked a second time.
    void idleLocksAndHidesTheContents() {
        Protect();
        idle_->ms = kMinute;
        lock_->Tick();
        QVERIFY(!lock_->Locked() && !window_.minimised);
        idle_->ms = kMinute + 1;
        lock_->Tick();
        QVERIFY(lock_->Locked() && window_.minimised && !window_.popup);
        QVERIFY(lock_->ContentsHidden() && !window_.contents);
        QCOMPARE(window_.dialogsClosed, 1);
        lock_->Tick();
        QCOMPARE(window_.dialogsClosed, 1);
        QVERIFY(!CWindowLock(settings_, window_, nullptr).StartIdleProtection(nullptr));
    }

    // The window manager restored a locked window: one check after the event, however many
    // state changes come meanwhile; a wrong password minimises it again, the right one shows it.
    void restoreIsCheckedOnceAndCanBeRefused() {
        Protect();
        settings_.securityPasswordHash = "open-";
        lock_->Lock();
        answers_ = {std::string("wrong")};
        window_.minimised = false;
        lock_->WindowStateChanged(true);
        lock_->WindowStateChanged(true);
        QVERIFY(lock_->ContentsHidden());
        QTRY_VERIFY(window_.minimised);
        QVERIFY(answers_.empty());
        QCOMPARE(window_.warnings.size(), 1);
        QVERIFY(lock_->Locked() && lock_->ContentsHidden() && window_.unlocks == 0);

        answers_ = {std::string("open")};
        window_.minimised = false;
        lock_->WindowStateChanged(true);
        QTRY_VERIFY(!lock_->Locked());
        QVERIFY(!window_.minimised && window_.contents && !lock_->ContentsHidden());
        QCOMPARE(window_.unlocks, 1);
    }

    // A minimise from anywhere locks; without the security password the contents stay on show,
    // with protection on dialogs are closed first and the contents hidden.
    void minimisingLocksAndClosesDialogsWhenProtected() {
        window_.minimised = true;
        lock_->WindowStateChanged(false);
        QVERIFY(lock_->Locked());
        QVERIFY(!lock_->ContentsHidden() && window_.contents);
        QCOMPARE(window_.dialogsClosed, 0);
        Protect();
        window_.minimised = true;
        lock_->WindowStateChanged(false);
        QCOMPARE(window_.dialogsClosed, 1);
        QVERIFY(lock_->ContentsHidden());
    }

    // "Main Window": a cancelled question keeps the window down; the password brings it back
    // unlocked; without idle protection the command only toggles.
    void mainWindowCommand() {
        Protect();
        settings_.securityPasswordHash = "open-";
        lock_->Lock();
        lock_->MainWindowCommand();
        QVERIFY(window_.minimised && lock_->Locked() && window_.unlocks == 0);
        answers_ = {std::string("open")};
        lock_->MainWindowCommand();
        QVERIFY(!window_.minimised && !lock_->Locked() && window_.contents);
        QCOMPARE(window_.unlocks, 1);
        lock_->MainWindowCommand();
        QVERIFY(window_.minimised && lock_->Locked());

        FakeWindow plain;
        CWindowLock bare(settings_, plain, std::make_unique<FakePrompt>(answers_));
        bare.MainWindowCommand();
        QVERIFY(plain.minimised);
        bare.MainWindowCommand();
        QVERIFY(!plain.minimised && !bare.PopupCommand().has_value());
    }

    // A session event locks only when some protection is on: idle minimising or the password.
    void sessionEventsLockOnlyWhenProtected() {
        settings_.minTime = 0;
        lock_->LockForSessionEvent();
        QVERIFY(!lock_->Locked() && !window_.minimised);
        for (const bool password : {false, true}) {
            init();  // a fresh, unlocked window
            settings_.minTime = password ? 0 : 5;
            if (password) {
                Protect();
            }
            lock_->LockForSessionEvent();
            QVERIFY2(lock_->Locked() && window_.minimised, password ? "password" : "idle");
        }
    }
};

QTEST_MAIN(WindowLockTest)
#include "window_lock_test.moc"
