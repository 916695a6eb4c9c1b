// The tray icon: tool tip, menu, clicks, creation with its retry, and the window going into the
// tray and coming back.

#include <QAction>
#include <QMenu>
#include <QPixmap>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>
#include <deque>
#include <vector>

#include "settings/app_settings.h"
#include "settings/desktop/system_tray.h"
#include "settings/desktop/tray_creation.h"
#include "settings/direct_settings.h"
#include "settings/settings_store.h"

using namespace zelvant::desktop;
using zelvant::settings::AppSettings;
using zelvant::settings::CDirectSettings;
using zelvant::settings::CMemorySettingsStore;
using State = CTrayCreation::State;

namespace {

const QString kBase = QStringLiteral("Zelvant - Secure I.D. Protection.");
const QString kWaited =
    QStringLiteral("Zelvant had to wait before Windows could create the system tray icon.");
const QString kAdjusted = QStringLiteral(
    "Zelvant was unable to create the System Tray Icon and is shutting down.\n"
    "The startup delay has been adjusted to try and avoid this happening again.");
const QString kMaximum = QStringLiteral(
    "Zelvant was unable to create the System Tray Icon and is shutting down.\n"
    "Maximum startup delay is now in use, please contact help@example.org for more "
    "information.");

class FakeBackend final : public ITrayBackend {
  public:
    bool IsSystemTrayAvailable() const override { return area; }
    bool CreateIcon() override {
        ++createCalls;
        createdWithoutArea = createdWithoutArea || !area;
        const bool result = !results.empty() && results.front();
        if (!results.empty()) {
            results.pop_front();
        }
        return result;
    }
    void SetIconVisible(bool visible) override { visibility.push_back(visible); }

    bool area = true;
    std::deque<bool> results;  // of the CreateIcon calls in turn; false once used up
    int createCalls = 0;
    bool createdWithoutArea = false;
    std::vector<bool> visibility;
};

class FakeTimer final : public ITrayTimer {
  public:
    void Start(int milliseconds, std::function<void()> expired) override {
        waits.push_back(milliseconds);
        pending = std::move(expired);
    }
    void Fire() {
        QVERIFY(pending);
        std::exchange(pending, nullptr)();
    }

    std::vector<int> waits;
    std::function<void()> pending;
};

// One start of the program against a store, with what it told the user.
struct Start {
    explicit Start(CMemorySettingsStore& store)
        : creation(backend, timer, store,
                   {[this](const QString& text) { information << text; },
                    [this](const QString& text) { errors << text; },
                    [this](const QString& text) { status << text; },
                    [this](int code) { exits.push_back(code); }},
                   QStringLiteral("help@example.org")) {}

    void Run() {
        creation.Start([this](State state) { outcomes.push_back(state); });
    }

    FakeBackend backend;
    FakeTimer timer;
    QStringList information, errors, status;
    std::vector<int> exits;
    CTrayCreation creation;
    std::vector<State> outcomes;
};

QIcon TestIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::darkGreen);
    return QIcon(pixmap);
}

QStringList MenuTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts << (action->isSeparator() ? QStringLiteral("--") : action->text());
    }
    return texts;
}

QAction* MenuAction(const QMenu& menu, const char* text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == QLatin1String(text)) {
            return action;
        }
    }
    return nullptr;
}

AppSettings TraySettings(int trayIcon, int trayMinimize) {
    AppSettings settings;
    settings.trayIcon = trayIcon;
    settings.trayMinimize = trayMinimize;
    return settings;
}

}  // namespace

class SystemTrayTest : public QObject {
    Q_OBJECT

  private slots:
    void toolTip() {
        const QString prefix = kBase + QStringLiteral("\nFilename: ");
        QCOMPARE(TrayToolTip(kBase, QStringLiteral("/home/ann/a.zvd"), false), kBase);
        QCOMPARE(TrayToolTip(kBase, QStringLiteral("/home/ann/a.zvd"), true),
                 prefix + QStringLiteral("/home/ann/a.zvd"));
        QCOMPARE(TrayToolTip(kBase, QString(), true), prefix);

        const QString exact(127 - prefix.size(), QLatin1Char('p'));
        QCOMPARE(TrayToolTip(kBase, exact, true), prefix + exact);
        QCOMPARE(TrayToolTip(kBase, exact + QStringLiteral("qrs"), true), prefix + exact);
        // A character outside the BMP straddling the limit is left out whole.
        const QString a126(126, QLatin1Char('a'));
        QCOMPARE(CutTrayTip(a126 + QString::fromUtf8("\xF0\x9F\x94\x91")), a126);

        CSystemTray tray(TestIcon());
        QCOMPARE(tray.TrayTip(), kBase);
        tray.SetTrayTip(QString(300, QLatin1Char('z')));
        QCOMPARE(tray.Icon()->toolTip(), QString(127, QLatin1Char('z')));
    }

    void menuModel() {
        std::vector<int> commands;
        for (const TrayMenuItem& item : TrayMenuModel(0, {})) {
            commands.push_back(item.command);
        }
        QCOMPARE(commands, (std::vector<int>{32817, 32839, 0, 57670, 57664, 0, 57665}));

        for (const int action : {-1, 0, 1, 2, 4}) {
            const auto items = TrayMenuModel(action, {});
            for (std::size_t i = 0; i < items.size(); ++i) {
                QCOMPARE(items[i].isDefault, static_cast<int>(i) == (action == 1 ? 1 : 0));
            }
        }

        auto items = TrayMenuModel(0, {false, false});
        QVERIFY(items[0].checkable && items[0].checked);
        QVERIFY(items[1].checkable && !items[1].checked);
        items = TrayMenuModel(0, {true, true});
        QVERIFY(!items[0].checked && items[1].checked);
        for (std::size_t i = 2; i < items.size(); ++i) {
            QVERIFY(!items[i].checkable && !items[i].checked);
        }
    }

    void trayMenu() {
        QAction main(QStringLiteral("Main Window")), popup(QStringLiteral("Password Popup")),
            help(QStringLiteral("Help Contents/Index")), about(QStringLiteral("&About Zelvant...")),
            exit(QStringLiteral("E&xit"));
        TrayMenuState state{true, false};
        CSystemTray tray(TestIcon());
        tray.SetActions({&main, &popup, &help, &about, &exit});
        tray.SetMenuStateSource([&state] { return state; });
        QMenu& menu = *tray.Menu();
        QCOMPARE(MenuTexts(menu), (QStringList{"Main Window", "Password Popup", "--", "Help",
                                               "&About Zelvant...", "--", "Exit"}));

        // The default is bold in the tray only, never in the main window's menus.
        QAction* mainCopy = MenuAction(menu, "Main Window");
        QAction* popupCopy = MenuAction(menu, "Password Popup");
        QVERIFY(mainCopy->font().bold() && !popupCopy->font().bold());
        QCOMPARE(menu.defaultAction(), mainCopy);
        tray.SetDefaultTrayItem(1);
        QVERIFY(!mainCopy->font().bold() && popupCopy->font().bold());
        QCOMPARE(menu.defaultAction(), popupCopy);
        QVERIFY(!main.font().bold() && !popup.font().bold());
        tray.SetDefaultTrayItem(3);
        QCOMPARE(tray.DefaultTrayItem(), 0);
        QVERIFY(mainCopy->font().bold());

        // Checks are asked for as the menu opens; a refused command leaves them as they are.
        QVERIFY(!mainCopy->isChecked() && !popupCopy->isChecked());
        state = {false, true};
        emit menu.aboutToShow();
        QVERIFY(mainCopy->isChecked() && popupCopy->isChecked());
        state = {true, false};
        QSignalSpy mainSpy(&main, &QAction::triggered);
        mainCopy->trigger();
        QCOMPARE(mainSpy.count(), 1);
        QVERIFY(!mainCopy->isChecked());

        about.setText(QStringLiteral("About"));
        help.setEnabled(false);
        QVERIFY(MenuAction(menu, "About") != nullptr);
        QVERIFY(!MenuAction(menu, "Help")->isEnabled());

        tray.SetActions({&main, &popup, nullptr, nullptr, &exit});
        QCOMPARE(MenuTexts(menu), (QStringList{"Main Window", "Password Popup", "--", "Exit"}));
        tray.SetActions({nullptr, nullptr, nullptr, &about, nullptr});
        QCOMPARE(MenuTexts(menu), QStringList{"About"});
    }

    void clickFilter() {
        CTrayClickFilter doubles(true);
        QVERIFY(!doubles.Accept(QSystemTrayIcon::Trigger, 1000, 400));
        QVERIFY(doubles.Accept(QSystemTrayIcon::DoubleClick, 1200, 400));
        QVERIFY(!doubles.Accept(QSystemTrayIcon::Context, 2000, 400));
        QVERIFY(!doubles.Accept(QSystemTrayIcon::MiddleClick, 3000, 400));

        // Single clicks act, a second one within the interval is a double click out of habit.
        CTrayClickFilter singles(false);
        QVERIFY(singles.Accept(QSystemTrayIcon::Trigger, 1000, 400));
        QVERIFY(!singles.Accept(QSystemTrayIcon::Trigger, 1300, 400));
        QVERIFY(singles.Accept(QSystemTrayIcon::Trigger, 2000, 400));
        // A real double click: the click before it acted; only double clicks act from now on.
        QVERIFY(!singles.Accept(QSystemTrayIcon::DoubleClick, 2150, 400));
        QVERIFY(singles.DoubleClicksSent());
        QVERIFY(!singles.Accept(QSystemTrayIcon::Trigger, 4000, 400));
        QVERIFY(singles.Accept(QSystemTrayIcon::DoubleClick, 4150, 400));
    }

    void doubleClickSendsTheTrayAction() {
        CSystemTray tray(TestIcon());
        tray.SetDoubleClicksSent(true);
        QSignalSpy spy(&tray, &CSystemTray::TrayActionRequested);
        emit tray.Icon()->activated(QSystemTrayIcon::Trigger);
        emit tray.Icon()->activated(QSystemTrayIcon::DoubleClick);
        tray.SetDefaultTrayItem(1);
        emit tray.Icon()->activated(QSystemTrayIcon::DoubleClick);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toInt(), 0);
        QCOMPARE(spy.at(1).at(0).toInt(), 1);

        tray.SetDoubleClicksSent(false);
        emit tray.Icon()->activated(QSystemTrayIcon::Trigger);
        emit tray.Icon()->activated(QSystemTrayIcon::Trigger);
        QCOMPARE(spy.count(), 3);
    }

    void creation_data() {
        QTest::addColumn<int>("stored");  // IconStartDelay, -1 absent (reads 15)
        QTest::addColumn<int>("delayWarn");
        QTest::addColumn<bool>("areaFirst");
        QTest::addColumn<bool>("areaLater");
        QTest::addColumn<QString>("results");  // s succeeds, f fails, per attempt
        QTest::addColumn<int>("wait");         // ms, 0 none
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("learned");  // -1 not written
        QTest::addColumn<QString>("information");
        QTest::addColumn<QString>("error");

        const int created = static_cast<int>(State::Created);
        const int failed = static_cast<int>(State::Failed);
        const int noArea = static_cast<int>(State::NoNotificationArea);
        auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
        row("at once") << -1 << 1 << true << true << "s" << 0 << created << -1 << ""
                       << "";
        row("retry, quiet") << -1 << 0 << true << true << "fs" << 15000 << created << -1 << ""
                            << "";
        row("retry, warned") << -1 << 1 << true << true << "fs" << 15000 << created << -1 << kWaited
                             << "";
        row("fails, 15") << -1 << 1 << true << true << "ff" << 15000 << failed << 20 << ""
                         << kAdjusted;
        row("fails, 5") << 5 << 0 << true << true << "ff" << 10000 << failed << 15 << ""
                        << kAdjusted;
        row("fails, 100") << 100 << 0 << true << true << "ff" << 10000 << failed << 15 << ""
                          << kAdjusted;
        row("fails, 58") << 58 << 0 << true << true << "ff" << 58000 << failed << 63 << ""
                         << kAdjusted;
        row("fails, 63") << 63 << 0 << true << true << "ff" << 10000 << failed << 15 << ""
                         << kAdjusted;
        row("fails, 59") << 59 << 0 << true << true << "ff" << 59000 << failed << 60 << ""
                         << kMaximum;
        row("fails, 60") << 60 << 0 << true << true << "ff" << 60000 << failed << 60 << ""
                         << kMaximum;
        row("no area") << -1 << 1 << false << false << "" << 15000 << noArea << -1 << ""
                       << "";
        row("area appears") << -1 << 1 << false << true << "s" << 15000 << created << -1 << kWaited
                            << "";
        row("area vanishes") << -1 << 1 << true << false << "f" << 15000 << noArea << -1 << ""
                             << "";
    }

    void creation() {
        QFETCH(int, stored);
        QFETCH(int, delayWarn);
        QFETCH(bool, areaFirst);
        QFETCH(bool, areaLater);
        QFETCH(QString, results);
        QFETCH(int, wait);
        QFETCH(int, outcome);
        QFETCH(int, learned);
        QFETCH(QString, information);
        QFETCH(QString, error);

        CMemorySettingsStore store;
        if (stored >= 0) {
            CDirectSettings(store).SetIconStartDelay(stored);
        }
        CDirectSettings(store).SetDelayWarn(delayWarn);
        Start start(store);
        for (const QChar c : results) {
            start.backend.results.push_back(c == QLatin1Char('s'));
        }
        start.backend.area = areaFirst;
        start.Run();
        if (wait != 0) {
            QVERIFY(start.outcomes.empty());
            QCOMPARE(start.creation.Outcome(), State::Waiting);
            start.backend.area = areaLater;
            start.timer.Fire();
            QCOMPARE(start.timer.waits, std::vector<int>{wait});
        }
        QVERIFY(start.timer.waits.size() == (wait != 0 ? 1U : 0U));
        QCOMPARE(start.outcomes, std::vector<State>{static_cast<State>(outcome)});
        QVERIFY(!start.backend.createdWithoutArea);
        QCOMPARE(CDirectSettings(store).DelayWarn(), delayWarn);
        QCOMPARE(store.Contains("Settings", "IconStartDelay"), learned >= 0 || stored >= 0);
        const int kept = stored >= 0 ? stored : 15;
        QCOMPARE(CDirectSettings(store).IconStartDelay(), learned >= 0 ? learned : kept);
        QCOMPARE(start.information,
                 information.isEmpty() ? QStringList{} : QStringList{information});
        QCOMPARE(start.errors, error.isEmpty() ? QStringList{} : QStringList{error});
        QCOMPARE(start.exits, outcome == static_cast<int>(State::Failed) ? std::vector<int>{0}
                                                                         : std::vector<int>{});
        QVERIFY(start.status.isEmpty());
    }

    void delayWarnIsWrittenBackAndLearningClimbs() {
        CMemorySettingsStore store;
        std::vector<int> waits, learned;
        for (int run = 0; run < 11; ++run) {
            Start start(store);
            start.Run();
            start.timer.Fire();
            waits.push_back(start.timer.waits.at(0) / 1000);
            learned.push_back(CDirectSettings(store).IconStartDelay());
        }
        QCOMPARE(waits, (std::vector<int>{15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 60}));
        QCOMPARE(learned, (std::vector<int>{20, 25, 30, 35, 40, 45, 50, 55, 60, 60, 60}));
        QVERIFY(store.Contains("Settings", "DelayWarn"));
    }

    void applyTrayIcon() {
        CMemorySettingsStore store;
        Start made(store);
        made.backend.results = {true};
        made.Run();
        made.creation.ApplyTrayIcon(true);
        made.creation.ApplyTrayIcon(false);
        QCOMPARE(made.backend.visibility, (std::vector<bool>{true, false}));

        // Without a notification area the reason is given once, when the icon is first wanted.
        Start none(store);
        none.backend.area = false;
        none.Run();
        none.timer.Fire();
        none.creation.ApplyTrayIcon(false);
        QVERIFY(none.status.isEmpty());
        none.creation.ApplyTrayIcon(true);
        none.creation.ApplyTrayIcon(true);
        QCOMPARE(none.status, QStringList{"No system tray on this desktop: Zelvant minimises to "
                                          "the task bar."});
        QVERIFY(none.backend.visibility.empty());
        QVERIFY(none.exits.empty());

        CSystemTray tray(TestIcon());
        if (!tray.IsSystemTrayAvailable()) {
            QVERIFY(!tray.CreateIcon());
            tray.SetIconVisible(true);
            QVERIFY(!tray.IsShown() && !tray.Icon()->isVisible());
        }
    }

    void minimiseIntoTray_data() {
        QTest::addColumn<int>("trayIcon");
        QTest::addColumn<int>("trayMinimize");
        QTest::addColumn<bool>("trayShown");
        QTest::addColumn<bool>("intoTray");
        QTest::newRow("both on") << 1 << 1 << true << true;
        QTest::newRow("icon off") << 0 << 1 << true << false;
        QTest::newRow("minimise off") << 1 << 0 << true << false;
        QTest::newRow("no icon on the desktop") << 1 << 1 << false << false;
        QTest::newRow("2 is not 1") << 2 << 1 << true << false;
    }

    void minimiseIntoTray() {
        QFETCH(int, trayIcon);
        QFETCH(int, trayMinimize);
        QFETCH(bool, trayShown);
        QFETCH(bool, intoTray);
        const AppSettings settings = TraySettings(trayIcon, trayMinimize);
        QWidget window;
        CFrameTray frame(window, settings, [trayShown] { return trayShown; });
        QSignalSpy spy(&frame, &CFrameTray::MovedToTray);
        window.show();
        window.setWindowState(Qt::WindowMinimized);
        QCoreApplication::processEvents();
        QCOMPARE(window.isHidden(), intoTray);
        QCOMPARE(frame.IsInTray(), intoTray);
        QCOMPARE(spy.count(), intoTray ? 1 : 0);

        frame.RestoreFromTray();
        QVERIFY(window.isVisible() && !window.isMinimized() && !frame.IsInTray());
    }

    void restore() {
        const AppSettings settings = TraySettings(1, 1);
        QWidget window;
        CFrameTray frame(window, settings, [] { return true; });
        // Restored before the queued hide ran: stays out.
        window.show();
        window.setWindowState(Qt::WindowMinimized);
        frame.RestoreFromTray();
        QCoreApplication::processEvents();
        QVERIFY(window.isVisible() && !frame.IsInTray());

        window.showMaximized();
        frame.MinimizeToTray();
        QVERIFY(window.isHidden() && frame.IsInTray());
        frame.RestoreFromTray();
        QVERIFY(window.isVisible() && window.isMaximized());

        frame.MinimizeToTray();
        window.show();  // a second start raising it
        QVERIFY(!frame.IsInTray());
    }

    void startMinimized() {
        const AppSettings settings = TraySettings(1, 1);
        QWidget intoTray;
        CFrameTray tray(intoTray, settings, [] { return true; });
        QVERIFY(tray.StartMinimized());
        QVERIFY(intoTray.isHidden() && tray.IsInTray());

        QWidget onTaskBar;  // no notification area: as with TrayIcon off
        CFrameTray none(onTaskBar, settings, [] { return false; });
        QVERIFY(!none.StartMinimized());
        QVERIFY(onTaskBar.isVisible() && onTaskBar.isMinimized() && !none.IsInTray());
    }
};

QTEST_MAIN(SystemTrayTest)
#include "system_tray_test.moc"
