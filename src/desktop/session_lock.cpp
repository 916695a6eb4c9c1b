#include "desktop/session_lock.h"

#include <QCoreApplication>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "desktop/idle_guard.h"

namespace zelvant::desktop {
namespace {

const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kLoginPath = QStringLiteral("/org/freedesktop/login1");
const QString kLoginManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLoginSession = QStringLiteral("org.freedesktop.login1.Session");

struct ScreenSaver {
    const char* service;
    const char* path;
    const char* interface;
};

// KDE sends on both freedesktop paths; a repeated lock changes nothing.
constexpr ScreenSaver kScreenSavers[] = {
    {"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"org.freedesktop.ScreenSaver", "/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver"},
};

}  // namespace

bool MeansAway(SessionEvent event, bool value) {
    switch (event) {
        case SessionEvent::ScreenSaverActive:
        case SessionEvent::PrepareForSleep:
            return value;
        case SessionEvent::SessionLock:
            return true;
        case SessionEvent::SessionActive:
            return !value;
    }
    return false;
}

bool SessionLockLocks(const settings::AppSettings& settings) {
    return settings.minTime > 0 || ProtectionAsks(settings);
}

CSessionLockWatcher::CSessionLockWatcher(QDBusConnection sessionBus, QDBusConnection systemBus,
                                         QObject* parent)
    : QObject(parent), session_(std::move(sessionBus)), system_(std::move(systemBus)) {
    if (session_.isConnected()) {
        for (const ScreenSaver& saver : kScreenSavers) {
            session_.connect(QLatin1String(saver.service), QLatin1String(saver.path),
                             QLatin1String(saver.interface), QStringLiteral("ActiveChanged"), this,
                             SLOT(OnScreenSaverActiveChanged(bool)));
        }
    }
    if (system_.isConnected()) {
        system_.connect(kLogin, kLoginPath, kLoginManager, QStringLiteral("PrepareForSleep"), this,
                        SLOT(OnPrepareForSleep(bool)));
        FindSession(!qEnvironmentVariableIsEmpty("XDG_SESSION_ID"));
    }
}

// Asked without waiting: a slow or missing logind must not hold up the start.
void CSessionLockWatcher::FindSession(bool byId) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kLogin, kLoginPath, kLoginManager,
        byId ? QStringLiteral("GetSession") : QStringLiteral("GetSessionByPID"));
    if (byId) {
        call << qEnvironmentVariable("XDG_SESSION_ID");
    } else {
        call << static_cast<uint>(QCoreApplication::applicationPid());
    }
    auto* pending = new QDBusPendingCallWatcher(system_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, byId](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *done;
                if (!reply.isError()) {
                    WatchSession(reply.value().path());
                } else if (byId) {
                    FindSession(false);
                }
            });
}

void CSessionLockWatcher::WatchSession(const QString& path) {
    sessionPath_ = path;
    system_.connect(kLogin, path, kLoginSession, QStringLiteral("Lock"), this,
                    SLOT(OnSessionLock()));
    system_.connect(kLogin, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                    QStringLiteral("PropertiesChanged"), this,
                    SLOT(OnSessionPropertiesChanged(QString, QVariantMap, QStringList)));
}

void CSessionLockWatcher::Report(SessionEvent event, bool value) {
    if (MeansAway(event, value)) {
        emit Away(event);
    }
}

void CSessionLockWatcher::OnScreenSaverActiveChanged(bool active) {
    Report(SessionEvent::ScreenSaverActive, active);
}

void CSessionLockWatcher::OnSessionLock() {
    Report(SessionEvent::SessionLock, true);
}

void CSessionLockWatcher::OnPrepareForSleep(bool start) {
    Report(SessionEvent::PrepareForSleep, start);
}

void CSessionLockWatcher::OnSessionPropertiesChanged(const QString& interface,
                                                     const QVariantMap& changed,
                                                     const QStringList& invalidated) {
    Q_UNUSED(invalidated);
    const auto active = changed.constFind(QStringLiteral("Active"));
    if (interface == kLoginSession && active != changed.constEnd()) {
        Report(SessionEvent::SessionActive, active->toBool());
    }
}

}  // namespace zelvant::desktop
