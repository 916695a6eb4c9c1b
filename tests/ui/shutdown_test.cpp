// The one shutdown path's decisions: who is asked, when a recovery file is written instead, and
// that every way out writes the settings and clears the clipboard.

#include <QTest>

#include "ui/shutdown.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

class FakeHost final : public IShutdownHost {
  public:
    bool DocumentModified() const override { return modified; }
    std::uint64_t DocumentEdits() const override { return edits; }
    bool AskToSave() override {
        steps << "ask";
        return answer;
    }
    RecoveryResult WriteRecovery() override {
        steps << "recovery";
        return recovery;
    }
    void NoteLostEdits(RecoveryResult why) override {
        steps << (why == RecoveryResult::NoKey ? "lost: no key" : "lost: failed");
    }
    void WriteSettings() override { steps << "settings"; }
    void ClearClipboard() override { steps << "clipboard"; }

    void Edit() {
        modified = true;
        ++edits;
    }

    bool modified = false;
    std::uint64_t edits = 0;
    bool answer = true;  // false: the user chose to stay
    RecoveryResult recovery = RecoveryResult::Written;
    QStringList steps;
};

const QStringList kFinish = {"settings", "clipboard"};

}  // namespace

class ShutdownTest : public QObject {
    Q_OBJECT

  private slots:
    void everyWayOutKeepsTheEditsAndFinishes_data() {
        QTest::addColumn<int>("way");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<QStringList>("steps");
        const QStringList ask = QStringList{"ask"} + kFinish;
        const QStringList kept = QStringList{"recovery"} + kFinish;
        QTest::newRow("close, unmodified") << int(ExitWay::Close) << false << kFinish;
        QTest::newRow("close") << int(ExitWay::Close) << true << ask;
        QTest::newRow("session with the user") << int(ExitWay::SessionWithUser) << true << ask;
        QTest::newRow("session unattended") << int(ExitWay::SessionUnattended) << true << kept;
        QTest::newRow("signal") << int(ExitWay::Signal) << true << kept;
        QTest::newRow("signal, unmodified") << int(ExitWay::Signal) << false << kFinish;
    }
    void everyWayOutKeepsTheEditsAndFinishes() {
        QFETCH(int, way);
        QFETCH(bool, modified);
        QFETCH(QStringList, steps);
        FakeHost host;
        host.modified = modified;
        CShutdown shutdown;
        QVERIFY(shutdown.Leave(ExitWay(way), host));
        QCOMPARE(host.steps, steps);
    }

    void stayingWritesNothing() {
        FakeHost host;
        host.Edit();
        host.answer = false;
        CShutdown shutdown;
        QVERIFY(!shutdown.Leave(ExitWay::Close, host));
        QVERIFY(!shutdown.Leave(ExitWay::SessionWithUser, host));
        QCOMPARE(host.steps, (QStringList{"ask", "ask"}));
        QVERIFY(!shutdown.Left(host));
    }

    // Edits that cannot go into a recovery file are never silently lost: the next start is told.
    void editsThatCannotBeKeptAreNoted() {
        for (const RecoveryResult why : {RecoveryResult::NoKey, RecoveryResult::Failed}) {
            FakeHost host;
            host.Edit();
            host.recovery = why;
            CShutdown shutdown;
            QVERIFY(shutdown.Leave(ExitWay::Signal, host));
            QCOMPARE(host.steps.mid(0, 2),
                     (QStringList{"recovery",
                                  why == RecoveryResult::NoKey ? "lost: no key" : "lost: failed"}));
            QCOMPARE(host.steps.mid(2), kFinish);
        }
    }

    // The session's answer stands for the window's close that follows it, until the next edit.
    void anAnswerStandsUntilTheNextEdit() {
        FakeHost host;
        host.Edit();
        CShutdown shutdown;
        QVERIFY(shutdown.Leave(ExitWay::SessionWithUser, host));  // "Discard"
        QVERIFY(shutdown.Leave(ExitWay::Close, host));
        host.Edit();  // the logout was cancelled and work went on
        QVERIFY(shutdown.Leave(ExitWay::Close, host));
        const QStringList ask = QStringList{"ask"} + kFinish;
        QCOMPARE(host.steps, ask + kFinish + ask);
    }
};

QTEST_GUILESS_MAIN(ShutdownTest)
#include "shutdown_test.moc"
