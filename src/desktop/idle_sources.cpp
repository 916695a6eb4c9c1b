#include "desktop/idle_sources.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QEvent>
#include <QGuiApplication>
#include <QVariant>
#include <chrono>
#include <limits>
#include <utility>

// Xlib defines macros that collide with Qt names used below; they are not needed past here.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#undef KeyPress
#undef KeyRelease

namespace zelvant::desktop {
namespace {

// Polled once a second on the user-interface thread: a desktop shell that hangs must not freeze
// the window for long.
constexpr int kCallTimeoutMs = 500;

std::uint64_t SteadyMilliseconds() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// Never start a service just to ask it: an idle time from a daemon that has only now started
// means nothing.
std::optional<std::uint64_t> CallForCount(const QDBusConnection& bus, const QString& service,
                                          const QString& path, const QString& interface,
                                          const QString& method) {
    if (!bus.isConnected()) {
        return std::nullopt;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setAutoStartService(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    const QVariant value = reply.arguments().constFirst();
    switch (value.metaType().id()) {
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return value.toULongLong();
        case QMetaType::Int:
        case QMetaType::LongLong:
            if (value.toLongLong() >= 0) {
                return static_cast<std::uint64_t>(value.toLongLong());
            }
            break;
        default:
            break;
    }
    return std::nullopt;
}

}  // namespace

std::uint32_t SaturateIdle(std::uint64_t ms) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(ms > kMax ? kMax : ms);
}

// ---- GNOME

CMutterIdleSource::CMutterIdleSource(QDBusConnection bus) : bus_(std::move(bus)) {}

std::optional<std::uint32_t> CMutterIdleSource::IdleMilliseconds() {
    const std::optional<std::uint64_t> ms =
        CallForCount(bus_, QStringLiteral("org.gnome.Mutter.IdleMonitor"),
                     QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
                     QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("GetIdletime"));
    if (!ms) {
        return std::nullopt;
    }
    return SaturateIdle(*ms);
}

QString CMutterIdleSource::Name() const {
    return QStringLiteral("GNOME idle monitor");
}

// ---- freedesktop screensaver

void CIdleUnitGuess::Observe(std::uint64_t wallMs, std::uint64_t raw) {
    if (unit_ != Unit::Unknown) {
        return;
    }
    // Start again after input (the count fell) and while the count stands still, so that the
    // span measured is one of steady growth.
    const bool restart = !anchored_ || raw < lastRaw_ || raw == anchorRaw_ || wallMs < anchorWall_;
    lastRaw_ = raw;
    if (restart) {
        anchored_ = true;
        anchorWall_ = wallMs;
        anchorRaw_ = raw;
        return;
    }
    const std::uint64_t span = wallMs - anchorWall_;
    if (span < kSpanMs) {
        return;
    }
    const std::uint64_t growth = raw - anchorRaw_;
    if (growth * 2 >= span) {
        unit_ = Unit::Milliseconds;
    } else if (growth * 100 <= span) {
        unit_ = Unit::Seconds;
    } else {
        // Neither rate: something reset in between; measure afresh.
        anchorWall_ = wallMs;
        anchorRaw_ = raw;
    }
}

std::uint64_t CIdleUnitGuess::ToMilliseconds(std::uint64_t raw) const {
    if (unit_ != Unit::Seconds) {
        return raw;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max() / 1000;
    return raw > kMax ? std::numeric_limits<std::uint64_t>::max() : raw * 1000;
}

CScreenSaverIdleSource::CScreenSaverIdleSource(QDBusConnection bus, Clock clock)
    : bus_(std::move(bus)), clock_(clock ? std::move(clock) : Clock(&SteadyMilliseconds)) {}

std::optional<std::uint64_t> CScreenSaverIdleSource::Query(const QString& path) {
    return CallForCount(bus_, QStringLiteral("org.freedesktop.ScreenSaver"), path,
                        QStringLiteral("org.freedesktop.ScreenSaver"),
                        QStringLiteral("GetSessionIdleTime"));
}

std::optional<std::uint32_t> CScreenSaverIdleSource::IdleMilliseconds() {
    std::optional<std::uint64_t> raw;
    if (path_.isEmpty()) {
        for (const QString& path :
             {QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("/ScreenSaver")}) {
            raw = Query(path);
            if (raw) {
                path_ = path;
                break;
            }
        }
    } else {
        raw = Query(path_);
    }
    if (!raw) {
        return std::nullopt;
    }
    unit_.Observe(clock_(), *raw);
    return SaturateIdle(unit_.ToMilliseconds(*raw));
}

QString CScreenSaverIdleSource::Name() const {
    return QStringLiteral("freedesktop screensaver");
}

// ---- X11

CX11IdleSource::CX11IdleSource() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    display_ = x11 ? x11->display() : nullptr;
    int eventBase = 0;
    int errorBase = 0;
    usable_ = display_ && XScreenSaverQueryExtension(display_, &eventBase, &errorBase);
}

std::optional<std::uint32_t> CX11IdleSource::IdleMilliseconds() {
    if (!usable_) {
        return std::nullopt;
    }
    XScreenSaverInfo info{};
    if (!XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), &info)) {
        return std::nullopt;
    }
    return SaturateIdle(info.idle);
}

QString CX11IdleSource::Name() const {
    return QStringLiteral("X11 screen saver extension");
}

// ---- own input

std::unique_ptr<CInputEventIdleSource> CInputEventIdleSource::Create(Clock clock) {
    if (!QCoreApplication::instance()) {
        return nullptr;
    }
    return std::unique_ptr<CInputEventIdleSource>(new CInputEventIdleSource(std::move(clock)));
}

CInputEventIdleSource::CInputEventIdleSource(Clock clock)
    : clock_(clock ? std::move(clock) : Clock(&SteadyMilliseconds)), lastInput_(clock_()) {
    QCoreApplication::instance()->installEventFilter(this);
}

CInputEventIdleSource::~CInputEventIdleSource() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
}

std::optional<std::uint32_t> CInputEventIdleSource::IdleMilliseconds() {
    const std::uint64_t now = clock_();
    return SaturateIdle(now > lastInput_ ? now - lastInput_ : 0);
}

void CInputEventIdleSource::Restart() {
    lastInput_ = clock_();
}

QString CInputEventIdleSource::Name() const {
    return QStringLiteral("own input events");
}

bool CInputEventIdleSource::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            lastInput_ = clock_();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

// ---- choice

std::unique_ptr<IIdleSource> PickIdleSource(const std::vector<IdleSourceFactory>& candidates) {
    for (const IdleSourceFactory& make : candidates) {
        std::unique_ptr<IIdleSource> source = make ? make() : nullptr;
        if (source && source->IdleMilliseconds()) {
            return source;
        }
    }
    return nullptr;
}

std::unique_ptr<IIdleSource> MakeIdleSource() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return PickIdleSource({
        [bus] { return std::make_unique<CMutterIdleSource>(bus); },
        [bus] { return std::make_unique<CScreenSaverIdleSource>(bus); },
        [] { return std::make_unique<CX11IdleSource>(); },
        []() -> std::unique_ptr<IIdleSource> { return CInputEventIdleSource::Create(); },
    });
}

}  // namespace zelvant::desktop
