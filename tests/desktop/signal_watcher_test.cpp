// Termination signals arrive in the event loop instead of ending the process, and only while the
// watcher lives: the handlers found before are put back.

#include <QSignalSpy>
#include <QTest>
#include <csignal>

#include "desktop/signal_watcher.h"

using zelvant::desktop::CSignalWatcher;

namespace {

using Handler = void (*)(int);

Handler HandlerOf(int signal) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

}  // namespace

class SignalWatcherTest : public QObject {
    Q_OBJECT

  private slots:
    void signalsReachTheEventLoopWhileWatched() {
        const Handler earlier = HandlerOf(SIGTERM);  // the test framework's own
        {
            CSignalWatcher watcher;
            QVERIFY(watcher.IsWatching());
            CSignalWatcher second;  // one per process
            QVERIFY(!second.IsWatching());
            QSignalSpy spy(&watcher, &CSignalWatcher::TerminationRequested);
            for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
                QVERIFY(HandlerOf(signal) != earlier);
                QCOMPARE(::raise(signal), 0);  // the process lives on
            }
            QTRY_COMPARE(spy.count(), 3);
            QCOMPARE(spy.at(0).at(0).toInt(), SIGTERM);
            QCOMPARE(spy.at(1).at(0).toInt(), SIGINT);
            QCOMPARE(spy.at(2).at(0).toInt(), SIGHUP);
        }
        QVERIFY(HandlerOf(SIGTERM) == earlier);
        CSignalWatcher again;  // the place is free once more
        QVERIFY(again.IsWatching());
    }
};

QTEST_GUILESS_MAIN(SignalWatcherTest)
#include "signal_watcher_test.moc"
