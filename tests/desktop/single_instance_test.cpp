// One instance per user, between real processes. Started with --child-instance the test program is
// the other instance: it claims the instance itself and reports through its exit code and output.

#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include "desktop/single_instance.h"

using zelvant::desktop::CSingleInstance;

namespace {

enum ChildExit { kChildFirst, kChildRaisedOther, kChildRunsOwn };

// --child-instance NAME DIR HOLD_MS BUSY_MS [HAND_OVER [FILE]]: when first, handles no events for
// BUSY_MS (stuck in some long job), then serves with its window shown for HOLD_MS. HAND_OVER "0"
// starts as with the single-instance option off.
int ChildMain(const QStringList& arguments) {
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);  // each line reaches the test at once
    CSingleInstance instance(arguments.value(2), arguments.value(3));
    if (!instance.TryBecomeFirst(arguments.value(6) != QStringLiteral("0"), arguments.value(7))) {
        return instance.OtherRaised() ? kChildRaisedOther : kChildRunsOwn;
    }
    std::puts("first");
    QThread::msleep(arguments.value(5).toULong());
    instance.SetWindowShown();
    QObject::connect(&instance, &CSingleInstance::RaiseRequested, [] { std::puts("asked"); });
    QTimer::singleShot(arguments.value(4).toInt(), &instance, &QCoreApplication::quit);
    QCoreApplication::exec();
    return kChildFirst;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir_;
    const QString name_ = QStringLiteral("zelvant-test");

    std::unique_ptr<QProcess> StartChild(int holdMs = 0, int busyMs = 0,
                                         const QStringList& more = {}) {
        auto child = std::make_unique<QProcess>();
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(),
                     QStringList{QStringLiteral("--child-instance"), name_, dir_->path(),
                                 QString::number(holdMs), QString::number(busyMs)} +
                         more);
        return child;
    }

    // Runs a child to its end with our event loop turning, so that we can answer it.
    int RunChild(const QStringList& more = {}) {
        const auto child = StartChild(0, 0, more);
        QSignalSpy finished(child.get(), &QProcess::finished);
        const bool ended = finished.wait(15000) && child->exitStatus() == QProcess::NormalExit;
        return ended ? child->exitCode() : -1;
    }

  private slots:
    void init() { QVERIFY(dir_.emplace().isValid()); }

    void secondStartRaisesTheFirstOnceItsWindowIsUp() {
        CSingleInstance first(name_, dir_->path());
        QVERIFY(first.TryBecomeFirst());
        QSignalSpy raised(&first, &CSingleInstance::RaiseRequested);
        // No window yet: nothing to bring forward, so the later start runs on its own.
        QCOMPARE(RunChild(), kChildRunsOwn);
        first.SetWindowShown();
        QCOMPARE(RunChild(), kChildRaisedOther);
        // A live instance's lock is never stale, however old.
        QFile lock(first.LockFilePath());
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addDays(-3),
                                 QFileDevice::FileModificationTime));
        QCOMPARE(RunChild(), kChildRaisedOther);
        QCOMPARE(raised.count(), 2);
        first.Release();
        QCOMPARE(RunChild(), kChildFirst);
        QVERIFY(first.TryBecomeFirst());
    }

    // A first start registers whatever its option says; a later one that hands over passes on
    // the file it was started on, and one that does not runs on its own without a word.
    void laterStartsHandOverTheirFile() {
        CSingleInstance first(name_, dir_->path());
        QVERIFY(first.TryBecomeFirst(false));
        first.SetWindowShown();
        QSignalSpy raised(&first, &CSingleInstance::RaiseRequested);
        QSignalSpy opened(&first, &CSingleInstance::OpenRequested);
        const QString file = dir_->filePath(QStringLiteral("my bank \u00e9t\u00e9.zvd"));
        QCOMPARE(RunChild({QStringLiteral("1"), file}), kChildRaisedOther);
        QCOMPARE(raised.count(), 1);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).toString(), file);
        QCOMPARE(RunChild({QStringLiteral("0")}), kChildRunsOwn);
        QCOMPARE(raised.count(), 1);

        // Only an absolute path is taken.
        QLocalSocket peer;
        peer.connectToServer(first.SocketPath());
        QVERIFY(peer.waitForConnected(2000));
        peer.write("open " + QByteArray("bank.zvd").toBase64() + "\n");
        QTRY_COMPARE_WITH_TIMEOUT(peer.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(raised.count() + opened.count(), 2);
    }

    void busyInstanceServesLaterAndAKilledOneIsTakenOver() {
        auto child = StartChild(60000, 4000);
        QTRY_VERIFY_WITH_TIMEOUT(child->canReadLine(), 10000);
        QCOMPARE(child->readLine(), QByteArray("first\n"));
        CSingleInstance next(name_, dir_->path());
        QVERIFY(!next.TryBecomeFirst());
        QVERIFY(next.OtherRaised());  // reached, though too busy to answer in time
        QTRY_VERIFY_WITH_TIMEOUT(child->canReadLine(), 10000);
        QCOMPARE(child->readLine(), QByteArray("asked\n"));
        QCOMPARE(child->state(), QProcess::Running);  // our hang-up did not kill it
        child->kill();                                // no clean-up at all
        QVERIFY(child->waitForFinished());
        QVERIFY(QFile::exists(next.LockFilePath()) && QFile::exists(next.SocketPath()));
        QVERIFY(next.TryBecomeFirst());
        next.SetWindowShown();
        QSignalSpy raised(&next, &CSingleInstance::RaiseRequested);
        QCOMPARE(RunChild(), kChildRaisedOther);
        QCOMPARE(raised.count(), 1);
    }

    void strangersAndUnusableFoldersAreHarmless() {
        CSingleInstance first(name_, dir_->path());
        QVERIFY(first.TryBecomeFirst());
        first.SetWindowShown();
        QSignalSpy raised(&first, &CSingleInstance::RaiseRequested);
        QLocalSocket stranger, silent;
        stranger.connectToServer(first.SocketPath());
        silent.connectToServer(first.SocketPath());
        QVERIFY(stranger.waitForConnected(2000) && silent.waitForConnected(2000));
        stranger.write("raise the roof\n");
        // Both are cut off, the silent one after a while; neither gets an answer.
        QTRY_COMPARE_WITH_TIMEOUT(stranger.state(), QLocalSocket::UnconnectedState, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(silent.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(stranger.readAll() + silent.readAll(), QByteArray());
        QCOMPARE(raised.count(), 0);

        // A file where the folder belongs: no lock and nobody to ask, so the start runs on its own.
        CSingleInstance nowhere(name_, first.LockFilePath() + QStringLiteral("/sub"));
        QVERIFY(!nowhere.TryBecomeFirst());
        QVERIFY(!nowhere.OtherRaised());
    }

    // Another user who made the folder first could keep us from starting, or hear from us:
    // a folder that is not ours alone is refused, and said why.
    void onlyAFolderOfOurOwnIsUsed() {
        const QString folder = dir_->filePath(QStringLiteral("instance"));
        QVERIFY(CSingleInstance::CheckPrivateFolder(folder).isEmpty());
        const QByteArray path = QFile::encodeName(folder);
        struct stat made {};
        QCOMPARE(::stat(path.constData(), &made), 0);
        QCOMPARE(made.st_mode & 0777, 0700u);

        QCOMPARE(::chmod(path.constData(), 0755), 0);
        CSingleInstance open(name_, folder);
        QVERIFY(!open.TryBecomeFirst() && !open.OtherRaised());
        QVERIFY2(open.FolderProblem().contains(QStringLiteral("Other users")),
                 qPrintable(open.FolderProblem()));
        QVERIFY(!QFile::exists(open.LockFilePath()));

        QCOMPARE(::chmod(path.constData(), 0700), 0);
        const QString link = dir_->filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(folder, link));
        QVERIFY(!CSingleInstance::CheckPrivateFolder(link).isEmpty());
        if (::geteuid() == 0) {
            QCOMPARE(::chown(path.constData(), 65534, 65534), 0);
            QVERIFY(CSingleInstance::CheckPrivateFolder(folder).contains(
                QStringLiteral("another user")));
        }
    }

    // Each side hangs up on a peer that runs as someone else; nothing is raised, nothing said.
    void peersOfAnotherUserAreRefused() {
        CSingleInstance first(name_, dir_->path());
        QVERIFY(first.TryBecomeFirst());
        first.SetWindowShown();
        QSignalSpy raised(&first, &CSingleInstance::RaiseRequested);

        CSingleInstance wary(name_, dir_->path());
        wary.SetPeerUserForTests(qint64(::geteuid()) + 1);
        QVERIFY(!wary.TryBecomeFirst());
        QVERIFY(!wary.OtherRaised());  // runs on its own

        first.SetPeerUserForTests(qint64(::geteuid()) + 1);
        QLocalSocket other;
        other.connectToServer(first.SocketPath());
        QVERIFY(other.waitForConnected(2000));
        other.write("raise\n");
        QTRY_COMPARE_WITH_TIMEOUT(other.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(other.readAll(), QByteArray());
        QCOMPARE(raised.count(), 0);
    }

    void defaultsArePerUserAndSafeAsFileNames() {  // last: it changes the environment
        qputenv("USER", "sam/../x y");
        QCOMPARE(CSingleInstance::DefaultName(), QStringLiteral("zelvant-sam_.._x_y"));
        qputenv("XDG_RUNTIME_DIR", dir_->path().toLocal8Bit());
        QCOMPARE(CSingleInstance::DefaultFolder(), dir_->filePath(QStringLiteral("zelvant")));
        qputenv("XDG_RUNTIME_DIR", QByteArray(dir_->path().toLocal8Bit() + "/missing"));
        QCOMPARE(CSingleInstance::DefaultFolder(),
                 QDir(QDir::tempPath()).filePath(QStringLiteral("zelvant-%1").arg(::geteuid())));
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == QStringLiteral("--child-instance")) {
        return ChildMain(app.arguments());
    }
    SingleInstanceTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "single_instance_test.moc"
