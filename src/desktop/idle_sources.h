#pragma once
// Where idle time comes from on a Linux desktop. On Wayland no client can see other programs'
// input, so the desktop has to be asked over D-Bus; on X11 the screen-saver extension knows; and
// when nothing else answers, only this program's own input is counted.

#include <QtGui/qguiapplication_platform.h>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "desktop/idle_guard.h"

namespace zelvant::desktop {

// Sources report 64-bit times; a longer idle than 32 bits can hold stays at the maximum rather
// than wrapping round to a short one.
std::uint32_t SaturateIdle(std::uint64_t ms);

// GNOME (Wayland and X11): org.gnome.Mutter.IdleMonitor.GetIdletime, in milliseconds.
class CMutterIdleSource final : public IIdleSource {
  public:
    explicit CMutterIdleSource(QDBusConnection bus = QDBusConnection::sessionBus());
    std::optional<std::uint32_t> IdleMilliseconds() override;
    QString Name() const override;

  private:
    QDBusConnection bus_;
};

// org.freedesktop.ScreenSaver.GetSessionIdleTime has no agreed unit: KDE answers in
// milliseconds, the older GNOME and MATE screensavers in seconds. Both count up with the wall
// clock while nobody touches the desktop, so how fast the answer grows tells which it is.
// Until it is known the answer is taken as milliseconds: should it be seconds, idle looks far
// shorter than it is, which delays the rules by the few seconds the guess needs but never makes
// them fire early.
class CIdleUnitGuess {
  public:
    enum class Unit { Unknown, Milliseconds, Seconds };

    // Growth over at least this much wall time decides.
    static constexpr std::uint64_t kSpanMs = 3000;

    // wallMs from a monotonic clock; raw is the answer as received.
    void Observe(std::uint64_t wallMs, std::uint64_t raw);
    Unit Guess() const { return unit_; }
    std::uint64_t ToMilliseconds(std::uint64_t raw) const;

  private:
    Unit unit_ = Unit::Unknown;
    bool anchored_ = false;
    std::uint64_t anchorWall_ = 0;
    std::uint64_t anchorRaw_ = 0;
    std::uint64_t lastRaw_ = 0;
};

class CScreenSaverIdleSource final : public IIdleSource {
  public:
    using Clock = std::function<std::uint64_t()>;  // monotonic milliseconds

    // KDE serves the interface at both paths, others at one of them; the first that answers is
    // kept.
    explicit CScreenSaverIdleSource(QDBusConnection bus = QDBusConnection::sessionBus(),
                                    Clock clock = {});
    std::optional<std::uint32_t> IdleMilliseconds() override;
    QString Name() const override;

  private:
    std::optional<std::uint64_t> Query(const QString& path);

    QDBusConnection bus_;
    Clock clock_;
    QString path_;
    CIdleUnitGuess unit_;
};

// X11 (the xcb platform only): XScreenSaverQueryInfo on Qt's own display. Under XWayland it sees
// only input to X clients, which is why the D-Bus sources are asked first.
class CX11IdleSource final : public IIdleSource {
  public:
    CX11IdleSource();
    std::optional<std::uint32_t> IdleMilliseconds() override;
    QString Name() const override;

  private:
    Display* display_ = nullptr;
    bool usable_ = false;
};

// The last resort: input to this program's own windows only.
class CInputEventIdleSource final : public QObject, public IIdleSource {
    Q_OBJECT

  public:
    using Clock = std::function<std::uint64_t()>;  // monotonic milliseconds

    // Null without a QCoreApplication to install the event filter on.
    static std::unique_ptr<CInputEventIdleSource> Create(Clock clock = {});
    ~CInputEventIdleSource() override;

    std::optional<std::uint32_t> IdleMilliseconds() override;
    void Restart() override;
    QString Name() const override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit CInputEventIdleSource(Clock clock);

    Clock clock_;
    std::uint64_t lastInput_ = 0;
};

using IdleSourceFactory = std::function<std::unique_ptr<IIdleSource>()>;

// The first candidate that can be made (a factory may return null) and answers a real query;
// later factories are not called. Null when none does.
std::unique_ptr<IIdleSource> PickIdleSource(const std::vector<IdleSourceFactory>& candidates);

// GNOME's idle monitor, the freedesktop screensaver, the X11 extension, then own input. The last
// always answers once installed, so this is null only without a running QCoreApplication; the
// caller then shows kIdleTrackFailed and ends start-up.
std::unique_ptr<IIdleSource> MakeIdleSource();

}  // namespace zelvant::desktop
