// One instance per user: hand-off between real processes, dead owners and odd files in the way.
// The test program doubles as the other instance: started with --child-instance it claims the
// instance itself and reports through its exit code and output.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <cstdio>

#include "settings/desktop/single_instance.h"

using zelvant::desktop::CSingleInstance;

namespace {

// Child exit codes.
constexpr int kChildFirst = 0;
constexpr int kChildRaisedOther = 1;
constexpr int kChildRunsOwn = 2;

void Say(const char* line) {
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// --child-instance NAME DIR HOLD_MS BUSY_MS: when first, sleeps BUSY_MS without handling events
// (a first instance stuck in some long job), then serves for HOLD_MS with its window shown.
int ChildMain(const QStringList& arguments) {
    if (arguments.size() < 6) {
        return 99;
    }
    CSingleInstance instance(arguments[2], arguments[3]);
    if (!instance.TryBecomeFirst()) {
        return instance.OtherRaised() ? kChildRaisedOther : kChildRunsOwn;
    }
    Say("first");
    QThread::msleep(arguments[5].toULong());
    instance.SetWindowShown();
    QObject::connect(&instance, &CSingleInstance::RaiseRequested, [] { Say("asked"); });
    QTimer::singleShot(arguments[4].toInt(), QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    return kChildFirst;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString name_ = QStringLiteral("zelvant-test");

    QString Dir() const { return dir_->path(); }

    std::unique_ptr<QProcess> StartChild(int holdMs = 0, int busyMs = 0) {
        auto child = std::make_unique<QProcess>();
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--child-instance"), name_, Dir(), QString::number(holdMs),
                      QString::number(busyMs)});
        return child;
    }

    // Runs a child to its end with our event loop turning, so that we can answer it.
    int RunChild() {
        auto child = StartChild();
        QSignalSpy finished(child.get(), &QProcess::finished);
        if (!finished.wait(15000)) {
            child->kill();
            child->waitForFinished();
            return -1;
        }
        return child->exitStatus() == QProcess::NormalExit ? child->exitCode() : -2;
    }

    static QByteArray ReadLine(QProcess& child, int ms) {
        QElapsedTimer clock;
        clock.start();
        while (!child.canReadLine() && clock.elapsed() < ms) {
            child.waitForReadyRead(100);
        }
        return child.readLine().trimmed();
    }

    // A child that has become first; null when it did not.
    std::unique_ptr<QProcess> StartFirstChild(int holdMs, int busyMs = 0) {
        auto child = StartChild(holdMs, busyMs);
        if (ReadLine(*child, 10000) != "first") {
            child->kill();
            child->waitForFinished();
            return nullptr;
        }
        return child;
    }

  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void cleanup() { dir_.reset(); }

    void defaultsArePerUserInTheRuntimeFolder() {
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray savedUser = qgetenv("USER");
        qputenv("USER", "sam/../x y");
        QCOMPARE(CSingleInstance::DefaultName(), QStringLiteral("zelvant-sam_.._x_y"));
        qputenv("XDG_RUNTIME_DIR", Dir().toLocal8Bit());
        QCOMPARE(CSingleInstance::DefaultFolder(), Dir());
        qputenv("XDG_RUNTIME_DIR", QByteArray(Dir().toLocal8Bit() + "/missing"));
        QCOMPARE(CSingleInstance::DefaultFolder(), QDir::tempPath());
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(CSingleInstance().LockFilePath(),
                 QDir::tempPath() + QStringLiteral("/zelvant-sam_.._x_y.lock"));
        qputenv("USER", savedUser);
        if (!savedRuntime.isNull()) {
            qputenv("XDG_RUNTIME_DIR", savedRuntime);
        }
    }

    void secondStartRaisesTheFirstOnceItsWindowIsUp() {
        CSingleInstance first(name_, Dir());
        QVERIFY(first.TryBecomeFirst());
        QVERIFY(first.TryBecomeFirst());  // asking again changes nothing
        QSignalSpy raised(&first, &CSingleInstance::RaiseRequested);
        // No window yet: nothing to bring forward, and the later start is not swallowed.
        QCOMPARE(RunChild(), kChildRunsOwn);
        QCOMPARE(raised.count(), 0);

        first.SetWindowShown();
        QCOMPARE(RunChild(), kChildRaisedOther);
        QCOMPARE(raised.count(), 1);
        // A lock taken days ago by a live instance is not stale, however old.
        QFile lock(first.LockFilePath());
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addDays(-3),
                                 QFileDevice::FileModificationTime));
        lock.close();
        QCOMPARE(RunChild(), kChildRaisedOther);
        QCOMPARE(raised.count(), 2);
    }

    void releaseOrAnotherNameLetsAChildBecomeFirst() {
        CSingleInstance first(name_, Dir());
        QVERIFY(first.TryBecomeFirst());
        const QString savedName = name_;
        name_ = QStringLiteral("zelvant-someone-else");
        QCOMPARE(RunChild(), kChildFirst);
        name_ = savedName;
        first.Release();
        QVERIFY(!first.IsFirst());
        QVERIFY(!QFile::exists(first.SocketPath()));
        QCOMPARE(RunChild(), kChildFirst);
        QVERIFY(first.TryBecomeFirst());  // the child has ended too
    }

    void busyFirstInstanceDoesNotHangTheSecond() {
        // The child holds the lock and listens but handles no events for 4 s.
        auto child = StartFirstChild(8000, 4000);
        QVERIFY(child != nullptr);
        CSingleInstance later(name_, Dir());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!later.TryBecomeFirst());
        QVERIFY(clock.elapsed() < 3800);
        // It was reached, so this start ends; the request is served once the first is free.
        QVERIFY(later.OtherRaised());
        QCOMPARE(ReadLine(*child, 8000), QByteArray("asked"));
        QVERIFY(child->state() == QProcess::Running);  // no broken pipe killed it
        child->kill();
        child->waitForFinished();
    }

    void lockAndSocketOfAKilledInstanceAreTakenOver() {
        auto child = StartFirstChild(60000);
        QVERIFY(child != nullptr);
        child->kill();  // SIGKILL: no clean-up at all
        QVERIFY(child->waitForFinished());
        CSingleInstance next(name_, Dir());
        QVERIFY(QFile::exists(next.LockFilePath()) && QFile::exists(next.SocketPath()));
        QVERIFY(next.TryBecomeFirst());
        next.SetWindowShown();
        QSignalSpy raised(&next, &CSingleInstance::RaiseRequested);
        QCOMPARE(RunChild(), kChildRaisedOther);
        QCOMPARE(raised.count(), 1);
        next.Release();

        // A plain file where the socket belongs, with no lock: the same.
        QFile junk(next.SocketPath());
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("junk") == 4);
        junk.close();
        QVERIFY(next.TryBecomeFirst());
        QCOMPARE(RunChild(), kChildRaisedOther);
        QCOMPARE(raised.count(), 2);
    }

    void unusableFolderLetsTheStartRunOnItsOwn() {
        QFile blocker(Dir() + QStringLiteral("/file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        CSingleInstance instance(name_, blocker.fileName() + QStringLiteral("/sub"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!instance.TryBecomeFirst());
        QVERIFY(!instance.OtherRaised());
        QVERIFY(clock.elapsed() < 1000);  // nobody to wait for
    }

    void strangersOnTheSocketAreDropped() {
        CSingleInstance first(name_, Dir());
        QVERIFY(first.TryBecomeFirst());
        first.SetWindowShown();
        QSignalSpy raised(&first, &CSingleInstance::RaiseRequested);

        QLocalSocket stranger;
        QSignalSpy gone(&stranger, &QLocalSocket::disconnected);
        stranger.connectToServer(first.SocketPath());
        QVERIFY(stranger.waitForConnected(2000));
        stranger.write("raise the roof\n");
        QVERIFY(gone.wait(3000));
        QCOMPARE(stranger.readAll(), QByteArray());

        // A caller that says nothing is cut off after a while.
        QLocalSocket silent;
        QSignalSpy silentGone(&silent, &QLocalSocket::disconnected);
        silent.connectToServer(first.SocketPath());
        QVERIFY(silent.waitForConnected(2000));
        QVERIFY(silentGone.wait(CSingleInstance::kReplyTimeoutMs + 3000));
        QCOMPARE(raised.count(), 0);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1 && arguments[1] == QStringLiteral("--child-instance")) {
        return ChildMain(arguments);
    }
    SingleInstanceTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "single_instance_test.moc"
