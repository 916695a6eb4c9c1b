#pragma once
// Locking when the user leaves the desk the desktop's way: the screen locks or its saver comes on,
// the session is locked, the machine goes to sleep, or another user's session takes the seat.
// Whatever the session offers is watched over D-Bus: the screen saver (freedesktop's or GNOME's)
// on the session bus, logind on the system bus. Buses without these services are no error.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "settings/app_settings.h"

namespace zelvant::desktop {

enum class SessionEvent {
    ScreenSaverActive,  // ActiveChanged(active)
    SessionLock,        // logind's Lock, no value
    PrepareForSleep,    // PrepareForSleep(start)
    SessionActive,      // the session's Active property changed
};

// Whether an event, with the value it carried, means the user has gone.
bool MeansAway(SessionEvent event, bool value);

// Whether the program locks then: only when some protection is asked for, idle minimising of the
// main window or the security password; a user who turned both off keeps the window as it is.
bool SessionLockLocks(const settings::AppSettings& settings);

class CSessionLockWatcher : public QObject {
    Q_OBJECT

  public:
    // Tests hand in a private bus for both.
    CSessionLockWatcher(QDBusConnection sessionBus, QDBusConnection systemBus,
                        QObject* parent = nullptr);

    // logind's object of this session, once found; empty until then, or without logind.
    QString SessionPath() const { return sessionPath_; }

  signals:
    // Only for events that mean the user has gone.
    void Away(zelvant::desktop::SessionEvent event);

  private slots:
    void OnScreenSaverActiveChanged(bool active);
    void OnSessionLock();
    void OnPrepareForSleep(bool start);
    void OnSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                    const QStringList& invalidated);

  private:
    void FindSession(bool byId);
    void WatchSession(const QString& path);
    void Report(SessionEvent event, bool value);

    QDBusConnection session_;
    QDBusConnection system_;
    QString sessionPath_;
};

}  // namespace zelvant::desktop
