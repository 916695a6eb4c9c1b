// The recent-file list: order, limit, what the store keeps and what the menu offers.

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "settings/settings_store.h"
#include "ui/commands.h"
#include "ui/recent_files.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

QStringList Paths(int count) {
    QStringList paths;
    for (int i = 1; i <= count; ++i) {
        paths.append(QStringLiteral("/data/f%1.zvd").arg(i));
    }
    return paths;
}

QStringList MenuTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts.append(action->text());
    }
    return texts;
}

}  // namespace

class RecentFilesTest : public QObject {
    Q_OBJECT

  private slots:
    // Newest first, a reopened file moves up instead of appearing twice, and the oldest falls
    // off past the limit; a second list over the same store reads the same order back.
    void listKeepsOrderAndLimitAcrossRuns() {
        settings::CMemorySettingsStore store;
        CRecentFiles recent(store);
        const QStringList paths = Paths(cmd::kRecentFileCount + 1);
        for (const QString& path : paths) {
            recent.Add(path);
        }
        recent.Add(paths[3]);
        QCOMPARE(recent.Files().size(), cmd::kRecentFileCount);
        QCOMPARE(recent.Files().front(), paths[3]);
        QCOMPARE(recent.Files()[1], paths.back());
        QVERIFY(!recent.Files().contains(paths.front()));
        QCOMPARE(recent.Files().count(paths[3]), 1);

        CRecentFiles again(store);
        again.Load();
        QCOMPARE(again.Files(), recent.Files());

        // An empty entry in the store is skipped, not shown as a blank menu line.
        store.WriteString("Recent File List", "File1", "");
        CRecentFiles gaps(store);
        gaps.Load();
        QCOMPARE(gaps.Files(), recent.Files().mid(1));
    }

    // A shorter list must not let entries of a longer one come back at the next start.
    void removeAndForgetClearTheStoredSlots() {
        settings::CMemorySettingsStore store;
        CRecentFiles recent(store);
        for (const QString& path : Paths(3)) {
            recent.Add(path);
        }
        recent.Remove(QStringLiteral("/data/f3.zvd"));
        recent.Remove(QStringLiteral("/data/not-there.zvd"));
        CRecentFiles afterRemove(store);
        afterRemove.Load();
        QCOMPARE(afterRemove.Files(),
                 (QStringList{QStringLiteral("/data/f2.zvd"), QStringLiteral("/data/f1.zvd")}));
        QVERIFY(store.Find("Recent File List", "File3") == nullptr);

        recent.Forget();
        QVERIFY(recent.Files().isEmpty());
        CRecentFiles afterForget(store);
        afterForget.Load();
        QVERIFY(afterForget.Files().isEmpty());
        QVERIFY(store.Find("Recent File List", "File1") == nullptr);
    }

    // Numbered entries with an ampersand in the name shown literally, the command ids in
    // order, the menu disabled when empty, and picking an entry asks for that file.
    void menuFollowsTheListAndReportsThePick() {
        settings::CMemorySettingsStore store;
        CRecentFiles recent(store);
        QMenu menu;
        recent.SetMenu(&menu);
        QVERIFY(!menu.isEnabled());

        recent.Add(QStringLiteral("/data/a.zvd"));
        recent.Add(QStringLiteral("/data/R&D.zvd"));
        QVERIFY(menu.isEnabled());
        const QStringList texts = MenuTexts(menu);
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts[0].startsWith(QStringLiteral("&1 ")));
        QVERIFY(texts[0].endsWith(QStringLiteral("R&&D.zvd")));
        QVERIFY(texts[1].startsWith(QStringLiteral("&2 ")));
        QCOMPARE(menu.actions()[1]->data().toInt(), cmd::kRecentFileFirst + 1);

        QSignalSpy picked(&recent, &CRecentFiles::OpenRequested);
        menu.actions()[1]->trigger();
        QCOMPARE(picked.size(), 1);
        QCOMPARE(picked.front().front().toString(), QStringLiteral("/data/a.zvd"));

        recent.Forget();
        QVERIFY(menu.actions().isEmpty());
        QVERIFY(!menu.isEnabled());
    }
};

QTEST_MAIN(RecentFilesTest)
#include "recent_files_test.moc"
