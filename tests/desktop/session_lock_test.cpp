// The session-lock watcher against fake screen saver and logind services on a private bus that
// this test starts, and the rules that decide, without any bus.

#include "desktop/session_lock.h"

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "settings/security_password.h"

namespace zelvant::desktop {

// The part of logind's manager the watcher asks: session "7" is ours.
class FakeLogind : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

  public:
    static constexpr char kOurs[] = "/org/freedesktop/login1/session/_37";

  public slots:
    QDBusObjectPath GetSession(const QString& id) {
        if (id != QLatin1String("7")) {
            sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSuchSession"), id);
        }
        return QDBusObjectPath(kOurs);
    }
    QDBusObjectPath GetSessionByPID(uint pid) {
        if (pid != uint(QCoreApplication::applicationPid())) {
            sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSessionForPID"), {});
        }
        return QDBusObjectPath(kOurs);
    }
};

class SessionLockTest : public QObject {
    Q_OBJECT

    QProcess daemon_;
    QString address_;

    static void Send(QDBusConnection& bus, const QString& path, const QString& interface,
                     const QString& name, const QVariantList& arguments = {}) {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
        signal.setArguments(arguments);
        QVERIFY(bus.send(signal));
    }

  private slots:
    void initTestCase() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address")});
        if (!daemon_.waitForStarted(5000)) {
            QSKIP("dbus-daemon cannot be started here");
        }
        QTRY_VERIFY_WITH_TIMEOUT(daemon_.canReadLine(), 5000);
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }

    void cleanupTestCase() {
        daemon_.kill();
        daemon_.waitForFinished();
    }

    void decidesWithoutABus() {
        QVERIFY(MeansAway(SessionEvent::ScreenSaverActive, true));
        QVERIFY(!MeansAway(SessionEvent::ScreenSaverActive, false));
        QVERIFY(MeansAway(SessionEvent::PrepareForSleep, true));
        QVERIFY(!MeansAway(SessionEvent::PrepareForSleep, false));  // waking up
        QVERIFY(MeansAway(SessionEvent::SessionLock, false));
        QVERIFY(MeansAway(SessionEvent::SessionActive, false));  // another user took the seat
        QVERIFY(!MeansAway(SessionEvent::SessionActive, true));

        settings::AppSettings s;
        QVERIFY(!SessionLockLocks(s));
        s.minTime = 3;
        QVERIFY(SessionLockLocks(s));
        s.minTime = 0;
        s.protMin = 1;
        QVERIFY(!SessionLockLocks(s));  // asked for, but no password set
        s.securityPasswordHash = settings::HashSecurityPassword("pw", {1, 8192});
        QVERIFY(SessionLockLocks(s));
    }

    void reportsWhatTheSessionSaysAboutLeaving() {
        QDBusConnection fake = QDBusConnection::connectToBus(address_, QStringLiteral("fake"));
        QDBusConnection ours = QDBusConnection::connectToBus(address_, QStringLiteral("ours"));
        QDBusConnection stranger = QDBusConnection::connectToBus(address_, QStringLiteral("x"));
        QVERIFY(fake.isConnected() && ours.isConnected() && stranger.isConnected());
        FakeLogind logind;
        QVERIFY(fake.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                    QDBusConnection::ExportAllSlots));
        for (const char* name :
             {"org.freedesktop.login1", "org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"}) {
            QVERIFY(fake.registerService(QLatin1String(name)));
        }

        // A session id logind does not know: found by the process instead.
        qputenv("XDG_SESSION_ID", "99");
        CSessionLockWatcher watcher(ours, ours);
        QSignalSpy away(&watcher, &CSessionLockWatcher::Away);
        QTRY_COMPARE(watcher.SessionPath(), QLatin1String(FakeLogind::kOurs));

        const QString session = QLatin1String(FakeLogind::kOurs);
        const QString saver = QStringLiteral("org.freedesktop.ScreenSaver");
        const QString login = QStringLiteral("org.freedesktop.login1");
        const auto expect = [&](SessionEvent event) {
            QTRY_COMPARE(away.count(), 1);
            QCOMPARE(away.takeFirst().at(0).value<SessionEvent>(), event);
        };
        // Each time one message that means nothing, then one that means the user has gone.
        Send(fake, QStringLiteral("/org/freedesktop/ScreenSaver"), saver,
             QStringLiteral("ActiveChanged"), {false});
        Send(stranger, QStringLiteral("/org/freedesktop/ScreenSaver"), saver,
             QStringLiteral("ActiveChanged"), {true});
        Send(fake, QStringLiteral("/org/freedesktop/ScreenSaver"), saver,
             QStringLiteral("ActiveChanged"), {true});
        expect(SessionEvent::ScreenSaverActive);
        Send(fake, QStringLiteral("/org/gnome/ScreenSaver"),
             QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("ActiveChanged"), {true});
        expect(SessionEvent::ScreenSaverActive);
        Send(fake, QStringLiteral("/org/freedesktop/login1/session/_38"), login + ".Session",
             QStringLiteral("Lock"));
        Send(fake, session, login + ".Session", QStringLiteral("Lock"));
        expect(SessionEvent::SessionLock);
        Send(fake, QStringLiteral("/org/freedesktop/login1"), login + ".Manager",
             QStringLiteral("PrepareForSleep"), {false});
        Send(fake, QStringLiteral("/org/freedesktop/login1"), login + ".Manager",
             QStringLiteral("PrepareForSleep"), {true});
        expect(SessionEvent::PrepareForSleep);
        const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
        Send(fake, session, properties, QStringLiteral("PropertiesChanged"),
             {login + ".Session", QVariantMap{{QStringLiteral("Active"), true}}, QStringList()});
        Send(fake, session, properties, QStringLiteral("PropertiesChanged"),
             {login + ".Session", QVariantMap{{QStringLiteral("Active"), false}}, QStringList()});
        expect(SessionEvent::SessionActive);
        QTest::qWait(100);
        QCOMPARE(away.count(), 0);
    }
};

}  // namespace zelvant::desktop

QTEST_GUILESS_MAIN(zelvant::desktop::SessionLockTest)
#include "session_lock_test.moc"
