// The tray icon: tool tip, menu, clicks, creation with its retry, and the window in the tray.

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QWidget>

#include "desktop/system_tray.h"
#include "settings/direct_settings.h"

using namespace zelvant::desktop;
using namespace zelvant::settings;
using State = CTrayCreation::State;

namespace {

const QString kWaited = QStringLiteral("info ") + kTrayWaitedMessage;
const QString kAdjusted = QStringLiteral("error ") + kTrayDelayAdjustedMessage;
const QString kNoArea = QStringLiteral("status ") + kNoTrayStatus;
const QStringList kToggled = {"hidden", "|", "shown", "shown"};
const QString kMaximum = "error " + TrayMaximumDelayMessage(QStringLiteral("help@example.org"));

// The icon, the timer and the hooks of one start, which begins at once. The script tells each
// attempt in turn: 's' creates the icon, 'f' fails, 'n' finds no notification area.
struct Boot final : ITrayBackend, ITrayTimer {
    explicit Boot(CMemorySettingsStore& store, std::string attempts = "s")
        : script(std::move(attempts)),
          creation(*this, *this, store,
                   {[this](const QString& text) { told << "info " + text; },
                    [this](const QString& text) { told << "error " + text; },
                    [this](const QString& text) { told << "status " + text; },
                    [this](int code) { told << QStringLiteral("exit %1").arg(code); }},
                   QStringLiteral("help@example.org")) {
        creation.Start([this](State state) { outcomes.push_back(state); });
    }
    char Attempt() const { return waits.size() < script.size() ? script[waits.size()] : 'f'; }
    bool IsSystemTrayAvailable() const override { return Attempt() != 'n'; }
    bool CreateIcon() override { return Attempt() == 's'; }
    void SetIconVisible(bool visible) override { told << (visible ? "shown" : "hidden"); }
    void Start(int ms, std::function<void()> expired) override {
        waits.push_back(ms / 1000);
        retry = std::move(expired);
    }
    std::string script;
    std::vector<int> waits;  // seconds
    std::function<void()> retry;
    QStringList told;
    std::vector<State> outcomes;
    CTrayCreation creation;
};

struct CreationCase {
    const char* name;
    int stored, delayWarn;  // IconStartDelay, DelayWarn
    const char* script;
    int wait, learned;  // seconds before the retry, IconStartDelay afterwards
    State outcome;
    QStringList told;  // TrayIcon then off, "|", on and on again
};
const CreationCase kCreation[] = {
    {"at once", 15, 0, "s", 0, 15, State::Created, kToggled},
    {"retry, warned", 15, 1, "fs", 15, 15, State::Created, QStringList{kWaited} + kToggled},
    {"fails, 15", 15, 0, "ff", 15, 20, State::Failed, {kAdjusted, "exit 0", "|"}},
    {"fails, 58", 58, 0, "ff", 58, 63, State::Failed, {kAdjusted, "exit 0", "|"}},
    {"fails, 63", 63, 0, "ff", 10, 15, State::Failed, {kAdjusted, "exit 0", "|"}},
    {"fails, 59", 59, 0, "ff", 59, 60, State::Failed, {kMaximum, "exit 0", "|"}},
    {"no area, 5", 5, 1, "nn", 10, 5, State::NoNotificationArea, {"|", kNoArea}},
    {"area appears, quiet", 15, 0, "ns", 15, 15, State::Created, kToggled},
    {"area vanishes, 100", 100, 1, "fn", 10, 100, State::NoNotificationArea, {"|", kNoArea}},
};

}  // namespace

class SystemTrayTest : public QObject {
    Q_OBJECT
    static QIcon Icon() { return QApplication::style()->standardIcon(QStyle::SP_FileIcon); }

  private slots:
    void menuOrderDefaultAndChecks() {
        QAction main, popup, help, about(QStringLiteral("&About Zelvant...")), exit;
        TrayMenuState state{true, false};
        CSystemTray tray(Icon());
        tray.SetActions({&main, &popup, &help, &about, &exit});
        tray.SetMenuStateSource([&state] { return state; });
        const QList<QAction*> items = tray.Menu()->actions();
        QStringList texts;
        for (const QAction* item : items) {
            texts << (item->isSeparator() ? QStringLiteral("--") : item->text());
        }
        QCOMPARE(texts, (QStringList{"Main Window", "Password Popup", "--", "Help",
                                     "&About Zelvant...", "--", "Exit"}));
        // The default is bold in the tray only, never in the main window's menus.
        QVERIFY(tray.Menu()->defaultAction() == items[0] && items[0]->font().bold());
        tray.SetDefaultTrayItem(1);
        QVERIFY(tray.Menu()->defaultAction() == items[1] && items[1]->font().bold());
        QVERIFY(!items[0]->font().bold() && !popup.font().bold());
        // Checks are asked for as the menu opens; a refused command leaves them as they are.
        QVERIFY(!items[0]->isChecked() && !items[1]->isChecked() && !items[3]->isCheckable());
        state = {false, true};
        emit tray.Menu()->aboutToShow();
        QVERIFY(items[0]->isChecked() && items[1]->isChecked());
        QSignalSpy triggered(&main, &QAction::triggered);
        items[0]->trigger();
        QVERIFY(triggered.count() == 1 && items[0]->isChecked());
        tray.SetActions({&main, nullptr, nullptr, nullptr, &exit});  // no separators doubled
        QCOMPARE(tray.Menu()->actions().size(), 3);
    }

    void iconToolTipAndClicks() {
        const QString base = QStringLiteral("Zelvant - Secure I.D. Protection.");
        const QString prefix = base + QStringLiteral("\nFilename: "), path(200, QLatin1Char('p'));
        QCOMPARE(TrayToolTip(base, path, false), base);
        QCOMPARE(TrayToolTip(base, QString(), true), prefix);  // untitled
        QCOMPARE(TrayToolTip(base, path, true), (prefix + path).left(127));
        // A character outside the BMP straddling the limit is left out whole.
        QCOMPARE(CutTrayTip(path.left(126) + QStringLiteral("\U0001F511")), path.left(126));
        CSystemTray tray(Icon());
        QCOMPARE(tray.TrayTip(), base);
        tray.SetTrayTip(path);
        QCOMPARE(tray.Icon()->toolTip(), path.left(127));
        tray.SetDoubleClicksSent(true);
        QSignalSpy requested(&tray, &CSystemTray::TrayActionRequested);
        emit tray.Icon()->activated(QSystemTrayIcon::Trigger);
        emit tray.Icon()->activated(QSystemTrayIcon::Context);
        emit tray.Icon()->activated(QSystemTrayIcon::DoubleClick);
        tray.SetDefaultTrayItem(1);
        emit tray.Icon()->activated(QSystemTrayIcon::DoubleClick);
        QCOMPARE(requested, (QList<QList<QVariant>>{{0}, {1}}));
        // Single clicks act until a real double click shows that double clicks are sent.
        CTrayClickFilter singles(false);
        QVERIFY(singles.Accept(QSystemTrayIcon::Trigger, 1000, 400));
        QVERIFY(!singles.Accept(QSystemTrayIcon::Trigger, 1300, 400));  // a double out of habit
        QVERIFY(singles.Accept(QSystemTrayIcon::Trigger, 2000, 400));
        QVERIFY(!singles.Accept(QSystemTrayIcon::DoubleClick, 2150, 400));
        QVERIFY(!singles.Accept(QSystemTrayIcon::Trigger, 4000, 400));
        QVERIFY(singles.Accept(QSystemTrayIcon::DoubleClick, 4150, 400));
    }

    void creation_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kCreation)); ++i) {
            QTest::newRow(kCreation[i].name) << i;
        }
    }
    void creation() {
        QFETCH(int, row);
        const CreationCase& c = kCreation[row];
        CMemorySettingsStore store;
        CDirectSettings(store).SetIconStartDelay(c.stored);
        CDirectSettings(store).SetDelayWarn(c.delayWarn);
        store.ClearWrites();
        Boot boot(store, c.script);
        if (c.wait > 0) {
            std::exchange(boot.retry, nullptr)();
        }
        QCOMPARE(boot.waits, c.wait > 0 ? std::vector<int>{c.wait} : std::vector<int>{});
        QCOMPARE(boot.outcomes, std::vector<State>{c.outcome});
        QCOMPARE(CDirectSettings(store).IconStartDelay(), c.learned);
        QCOMPARE(std::ranges::count(store.Writes(), "Settings/DelayWarn"), 1);  // for users to find
        boot.creation.ApplyTrayIcon(false);
        boot.told << "|";  // TrayIcon turned on from here
        boot.creation.ApplyTrayIcon(true);
        boot.creation.ApplyTrayIcon(true);
        QCOMPARE(boot.told, c.told);
    }

    void minimiseIntoTrayOnlyWhenBothSettingsAreOnAndAnIconIsShown() {
        using Case = std::tuple<int, int, bool, bool>;  // TrayIcon, TrayMinimize, shown, into tray
        for (const auto& [trayIcon, trayMinimize, shown, intoTray] :
             {Case{1, 1, true, true}, Case{2, 1, true, false}, Case{1, 0, true, false},
              Case{1, 1, false, false}}) {
            AppSettings settings;
            settings.trayIcon = trayIcon;
            settings.trayMinimize = trayMinimize;
            QWidget window, started;
            CFrameTray frame(window, settings, [shown] { return shown; });
            window.showMaximized();
            window.setWindowState(window.windowState() | Qt::WindowMinimized);
            frame.RestoreFromTray();  // before a queued hide ran: the window stays out
            QCoreApplication::processEvents();
            QVERIFY(window.isVisible() && !frame.IsInTray());
            window.setWindowState(window.windowState() | Qt::WindowMinimized);
            QCoreApplication::processEvents();
            QVERIFY(window.isHidden() == intoTray && frame.IsInTray() == intoTray);
            frame.RestoreFromTray();
            QVERIFY(window.isVisible() && window.isMaximized() && !window.isMinimized());
            frame.MinimizeToTray();
            window.show();  // a second start raising it
            QVERIFY(!frame.IsInTray());
            QCOMPARE(CFrameTray(started, settings, [shown] { return shown; }).StartMinimized(),
                     intoTray);
            QCOMPARE(started.isMinimized(), !intoTray);
        }
    }

    // On this desktop the messages speak of it, not of Windows, and name no made-up address.
    void messagesNameNoOtherPlatformNorPlaceholder() {
        QVERIFY(!QString::fromLatin1(kTrayWaitedMessage).contains(QStringLiteral("Windows")));
        const QString maximum = TrayMaximumDelayMessage(QString::fromLatin1(kTraySupportEmail));
        QVERIFY2(!maximum.contains(QLatin1Char('@')), qPrintable(maximum));
        QVERIFY(maximum.endsWith(QStringLiteral("\nMaximum startup delay is now in use.")));
        QVERIFY(kMaximum.endsWith(
            QStringLiteral("please contact help@example.org for more information.")));
    }
};

QTEST_MAIN(SystemTrayTest)
#include "system_tray_test.moc"
