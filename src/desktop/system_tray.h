#pragma once
// The notification-area icon: its tool tip, its menu, what a double click does, and the main
// window going into the tray and coming back.

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <array>
#include <functional>
#include <vector>

#include "desktop/tray_creation.h"
#include "settings/app_settings.h"

class QAction;
class QMenu;
class QWidget;

namespace zelvant::desktop {

// ---- Tool tip

inline constexpr char kTrayToolTip[] = "Zelvant - Secure I.D. Protection.";
inline constexpr int kTrayTipLimit = 127;

// At most kTrayTipLimit UTF-16 units; a character is never split in half.
QString CutTrayTip(const QString& text);

// base, with "\nFilename: " and the document's full path when fileToolTip is on (also for an
// untitled document, whose path is empty), cut to the limit.
QString TrayToolTip(const QString& base, const QString& path, bool fileToolTip);

// ---- Menu

// Commands of the tray menu; 0 stands for a separator.
inline constexpr int kTrayMainWindow = 32817;
inline constexpr int kTrayPasswordPopup = 32839;
inline constexpr int kTrayHelp = 57670;
inline constexpr int kTrayAbout = 57664;
inline constexpr int kTrayExit = 57665;
inline constexpr int kTraySeparator = 0;

inline constexpr char kTrayMainWindowText[] = "Main Window";
inline constexpr char kTrayPasswordPopupText[] = "Password Popup";

struct TrayMenuState {
    bool redisplayLocked = false;  // the main window was minimised and not shown since
    bool popupVisible = false;
};

struct TrayMenuItem {
    int command = kTraySeparator;
    bool checkable = false;
    bool checked = false;
    bool isDefault = false;

    bool operator==(const TrayMenuItem&) const = default;
};

// TrayAction is a position in this menu: 0 "Main Window", 1 "Password Popup".
inline constexpr std::array<int, 7> kTrayMenuCommands = {
    kTrayMainWindow, kTrayPasswordPopup, kTraySeparator, kTrayHelp,
    kTrayAbout,      kTraySeparator,     kTrayExit};

// The menu's items in order. A TrayAction outside 0..1 counts as 0, for the default item and
// the double click alike, so the two never disagree.
std::vector<TrayMenuItem> TrayMenuModel(int trayAction, const TrayMenuState& state);

// ---- Clicks

// Which clicks on the icon run the double-click action. Windows and X11 trays without
// StatusNotifierItem send single and double clicks, and there a single click does nothing.
// StatusNotifierItem hosts (KDE, the GNOME AppIndicator extension) never send a double click,
// only one activation per click: there a single click runs the action, and a second click within
// the double-click interval is dropped, so that a double click out of habit still runs it once.
// A double click seen while single clicks act shows the guess was wrong: from then on only
// double clicks act (the click before it already ran the action).
class CTrayClickFilter {
  public:
    explicit CTrayClickFilter(bool doubleClicksSent) : doubleClicks_(doubleClicksSent) {}

    // msec is a monotonic time; interval the double-click interval in milliseconds.
    bool Accept(QSystemTrayIcon::ActivationReason reason, qint64 msec, int interval);
    bool DoubleClicksSent() const { return doubleClicks_; }

  private:
    bool doubleClicks_;
    bool clicked_ = false;
    qint64 lastClick_ = 0;
};

// Whether the icon gets double clicks: false when Qt reaches the tray over the
// StatusNotifierItem D-Bus protocol (a host is registered with the watcher), true otherwise.
bool DesktopSendsTrayDoubleClicks();

// ---- The icon

// The main window's own actions for the tray menu; a missing one is left out.
struct TrayActions {
    QAction* mainWindow = nullptr;
    QAction* passwordPopup = nullptr;
    QAction* help = nullptr;
    QAction* about = nullptr;
    QAction* exit = nullptr;
};

class CSystemTray : public QObject, public ITrayBackend {
    Q_OBJECT
  public:
    explicit CSystemTray(const QIcon& icon, QObject* parent = nullptr);
    ~CSystemTray() override;

    // ITrayBackend: the icon can be created once there is an area and an image.
    bool IsSystemTrayAvailable() const override;
    bool CreateIcon() override;
    void SetIconVisible(bool visible) override;

    bool IsCreated() const { return created_; }
    // Whether a window minimised into the tray can be found again: the icon is created, meant
    // to be visible, and the area still exists.
    bool IsShown() const;

    void SetTrayIcon(const QIcon& icon);
    void SetTrayTip(const QString& text);  // cut to the limit
    QString TrayTip() const;

    // The menu shows its own copies of these actions (the bold default and the checks must not
    // reach the main window's menus); choosing one triggers the main window's action.
    void SetActions(const TrayActions& actions);
    // Asked each time the menu is about to open and by RefreshMenu.
    void SetMenuStateSource(std::function<TrayMenuState()> source);
    void RefreshMenu();
    // TrayAction: the bold item of the menu and the choice a double click sends.
    void SetDefaultTrayItem(int trayAction);
    int DefaultTrayItem() const { return trayAction_; }

    void SetDoubleClicksSent(bool sent) { clicks_ = CTrayClickFilter(sent); }
    bool DoubleClicksSent() const { return clicks_.DoubleClicksSent(); }

    QMenu* Menu() const { return menu_; }
    QSystemTrayIcon* Icon() const { return icon_; }

  signals:
    // The user asked for the double-click action: 0 "Main Window", 1 "Password Popup".
    void TrayActionRequested(int trayAction);

  private:
    void BuildMenu();
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    struct Item {
        int command = kTraySeparator;
        QPointer<QAction> source;
        QAction* copy = nullptr;
    };

    QSystemTrayIcon* icon_;
    QMenu* menu_;
    QIcon image_;
    std::vector<Item> items_;
    std::function<TrayMenuState()> stateSource_;
    CTrayClickFilter clicks_;
    QElapsedTimer clock_;
    int trayAction_ = 0;
    bool created_ = false;
    bool wanted_ = false;
};

// ---- Minimising into the tray

// The window goes into the tray only when TrayIcon and TrayMinimize are both exactly 1 and an
// icon is there to bring it back.
bool MinimizesToTray(int trayIcon, int trayMinimize, bool trayShown);

// Puts a top-level window into the tray when it is minimised, and brings it back. Hiding the
// window takes it off the task bar; nothing else of it changes.
class CFrameTray : public QObject {
    Q_OBJECT
  public:
    // settings is read at each minimise; trayShown tells whether an icon is there now.
    CFrameTray(QWidget& window, const settings::AppSettings& settings,
               std::function<bool()> trayShown, QObject* parent = nullptr);

    bool MinimizesToTray() const;
    bool IsInTray() const { return inTray_; }

    void MinimizeToTray();
    // Shows the window un-minimised (a maximised one comes back maximised), raised and active;
    // also right for a window minimised to the task bar.
    void RestoreFromTray();
    // For a minimised start: into the tray when it takes the window (the caller then must not
    // show it), else minimised onto the task bar. True when it went into the tray.
    bool StartMinimized();

  signals:
    void MovedToTray();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void HideIfStillMinimized();

    QWidget& window_;
    const settings::AppSettings& settings_;
    std::function<bool()> trayShown_;
    bool inTray_ = false;
};

}  // namespace zelvant::desktop
