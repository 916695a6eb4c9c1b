#pragma once
// Creating the tray icon at start-up. The notification area may not be running yet when the
// program starts with the session, so a failed first attempt is retried once after
// IconStartDelay seconds, and a second failure lengthens that delay for the next start. A
// desktop that has no notification area at all is not a failure: the program runs without the
// icon and says so once.

#include <QString>
#include <functional>

#include "settings/settings_store.h"

class QObject;

namespace zelvant::desktop {

// What the creation needs of the icon itself.
class ITrayBackend {
  public:
    virtual ~ITrayBackend() = default;
    // Whether the desktop has a notification area to put an icon in.
    virtual bool IsSystemTrayAvailable() const = 0;
    // Creates the icon, not yet shown; true when it can be shown.
    virtual bool CreateIcon() = 0;
    virtual void SetIconVisible(bool visible) = 0;
};

// Runs a function once after a delay; the wait must not block the caller's stack for tests.
class ITrayTimer {
  public:
    virtual ~ITrayTimer() = default;
    virtual void Start(int milliseconds, std::function<void()> expired) = 0;
};

// A single-shot QTimer in the event loop of the given object's thread; the event loop keeps
// running (and the splash painting) while the retry waits.
class CQtTrayTimer final : public ITrayTimer {
  public:
    explicit CQtTrayTimer(QObject* context) : context_(context) {}
    void Start(int milliseconds, std::function<void()> expired) override;

  private:
    QObject* context_;
};

// How the creation talks to the user. An empty function is skipped, except exitProcess, whose
// absence ends the process with ExitAtOnce (and may lose the learned delay).
struct TrayCreationHooks {
    std::function<void(const QString& text)> information;  // message box, information icon
    std::function<void(const QString& text)> error;        // message box, error icon
    std::function<void(const QString& text)> status;       // status bar of the main window
    // Must not return in the program, and must not save the settings record. It must write
    // the store's pending changes first (CQSettingsStore::Sync), or the learned delay is lost.
    std::function<void(int code)> exitProcess;
};

// Ends the process now, without destructors, settings saving or anything else.
[[noreturn]] void ExitAtOnce(int code);

inline constexpr int kDefaultIconStartDelay = 15;
inline constexpr int kMinIconStartDelay = 10;
inline constexpr int kMaxIconStartDelay = 60;

// The seconds to wait before the second attempt: a stored delay outside 10..60 waits 10.
int TrayRetryDelay(int stored);
// The delay stored after both attempts failed, from the delay just waited: 5 more, or the
// maximum once that is within 2 of it.
int LearnedTrayDelay(int waited);

// None yet: the maximum-delay message then names nobody to contact.
inline constexpr char kTraySupportEmail[] = "";

#ifdef Q_OS_WIN
inline constexpr char kTrayWaitedMessage[] =
    "Zelvant had to wait before Windows could create the system tray icon.";
#else
inline constexpr char kTrayWaitedMessage[] =
    "Zelvant had to wait before the desktop could create the system tray icon.";
#endif
inline constexpr char kTrayDelayAdjustedMessage[] =
    "Zelvant was unable to create the System Tray Icon and is shutting down.\n"
    "The startup delay has been adjusted to try and avoid this happening again.";
inline constexpr char kNoTrayStatus[] =
    "No system tray on this desktop: Zelvant minimises to the task bar.";

// The failure text once the delay is at its maximum; without an address it asks nobody to be
// contacted.
QString TrayMaximumDelayMessage(const QString& supportEmail);

class CTrayCreation {
  public:
    enum class State {
        NotStarted,
        Waiting,             // first attempt failed, the retry is due
        Created,             // the icon exists (shown or hidden by ApplyTrayIcon)
        NoNotificationArea,  // the desktop has none: no icon for this run
        Failed,              // both attempts failed with an area present; the process ends
    };

    CTrayCreation(ITrayBackend& backend, ITrayTimer& timer, settings::ISettingsStore& store,
                  TrayCreationHooks hooks,
                  QString supportEmail = QString::fromLatin1(kTraySupportEmail));

    // Makes the first attempt. done runs once with the outcome: at once, or after the retry
    // (for Failed only when exitProcess returned, which the real one never does).
    void Start(std::function<void(State)> done);

    State Outcome() const { return state_; }
    bool HasIcon() const { return state_ == State::Created; }
    // The wait before the retry, in seconds; 0 while no retry was needed.
    int WaitedSeconds() const { return waited_; }

    // Shows or hides the icon by TrayIcon, at start-up and after the options dialog. Without a
    // notification area, the first call that asks for the icon explains its absence.
    void ApplyTrayIcon(bool trayIcon);

  private:
    bool Attempt();
    void Retry();
    void Finish(State state);

    ITrayBackend& backend_;
    ITrayTimer& timer_;
    settings::ISettingsStore& store_;
    TrayCreationHooks hooks_;
    QString supportEmail_;
    std::function<void(State)> done_;
    State state_ = State::NotStarted;
    int delayWarn_ = 0;
    int waited_ = 0;
    bool absenceTold_ = false;
};

}  // namespace zelvant::desktop
