#include "desktop/system_tray.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>
#include <QWidget>
#include <utility>

namespace zelvant::desktop {

// ---- Tool tip

QString CutTrayTip(const QString& text) {
    if (text.size() <= kTrayTipLimit) {
        return text;
    }
    qsizetype length = kTrayTipLimit;
    if (text.at(length - 1).isHighSurrogate()) {
        --length;
    }
    return text.left(length);
}

QString TrayToolTip(const QString& base, const QString& path, bool fileToolTip) {
    if (!fileToolTip) {
        return CutTrayTip(base);
    }
    return CutTrayTip(base + QStringLiteral("\nFilename: ") + path);
}

// ---- Menu

std::vector<TrayMenuItem> TrayMenuModel(int trayAction, const TrayMenuState& state) {
    const int defaultPosition = settings::LimitTrayAction(trayAction);
    std::vector<TrayMenuItem> items;
    items.reserve(kTrayMenuCommands.size());
    for (std::size_t i = 0; i < kTrayMenuCommands.size(); ++i) {
        TrayMenuItem item;
        item.command = kTrayMenuCommands[i];
        item.isDefault = static_cast<int>(i) == defaultPosition;
        if (item.command == kTrayMainWindow) {
            item.checkable = true;
            item.checked = !state.redisplayLocked;
        } else if (item.command == kTrayPasswordPopup) {
            item.checkable = true;
            item.checked = state.popupVisible;
        }
        items.push_back(item);
    }
    return items;
}

// ---- Clicks

bool CTrayClickFilter::Accept(QSystemTrayIcon::ActivationReason reason, qint64 msec, int interval) {
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            if (!doubleClicks_) {
                doubleClicks_ = true;
                if (clicked_ && msec - lastClick_ <= interval) {
                    return false;
                }
            }
            return true;
        case QSystemTrayIcon::Trigger:
            if (doubleClicks_ || (clicked_ && msec - lastClick_ <= interval)) {
                return false;
            }
            clicked_ = true;
            lastClick_ = msec;
            return true;
        default:
            return false;
    }
}

bool DesktopSendsTrayDoubleClicks() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // The same test Qt makes when it picks the StatusNotifierItem tray over the X11 one.
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(watcher).value()) {
        return true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        watcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(call, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return true;
    }
    return !qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
#else
    return true;
#endif
}

// ---- The icon

namespace {

QString TrayItemText(int command, const QAction* source) {
    switch (command) {
        case kTrayMainWindow:
            return QString::fromLatin1(kTrayMainWindowText);
        case kTrayPasswordPopup:
            return QString::fromLatin1(kTrayPasswordPopupText);
        case kTrayHelp:
            return QStringLiteral("Help");
        case kTrayExit:
            return QStringLiteral("Exit");
        default:
            return source->text();
    }
}

QAction* TraySource(const TrayActions& actions, int command) {
    switch (command) {
        case kTrayMainWindow:
            return actions.mainWindow;
        case kTrayPasswordPopup:
            return actions.passwordPopup;
        case kTrayHelp:
            return actions.help;
        case kTrayAbout:
            return actions.about;
        case kTrayExit:
            return actions.exit;
        default:
            return nullptr;
    }
}

}  // namespace

CSystemTray::CSystemTray(const QIcon& icon, QObject* parent)
    : QObject(parent),
      icon_(new QSystemTrayIcon(icon, this)),
      menu_(new QMenu),
      image_(icon),
      clicks_(DesktopSendsTrayDoubleClicks()) {
    clock_.start();
    icon_->setToolTip(QString::fromLatin1(kTrayToolTip));
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this, &CSystemTray::OnActivated);
    connect(menu_, &QMenu::aboutToShow, this, &CSystemTray::RefreshMenu);
}

CSystemTray::~CSystemTray() {
    // The icon refers to the menu until it is gone.
    delete icon_;
    delete menu_;
}

bool CSystemTray::IsSystemTrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool CSystemTray::CreateIcon() {
    if (!IsSystemTrayAvailable() || image_.isNull()) {
        return false;
    }
    created_ = true;
    icon_->setVisible(wanted_);
    return true;
}

void CSystemTray::SetIconVisible(bool visible) {
    wanted_ = visible;
    icon_->setVisible(created_ && visible);
}

bool CSystemTray::IsShown() const {
    return created_ && wanted_ && IsSystemTrayAvailable();
}

void CSystemTray::SetTrayIcon(const QIcon& icon) {
    image_ = icon;
    icon_->setIcon(icon);
}

void CSystemTray::SetTrayTip(const QString& text) {
    icon_->setToolTip(CutTrayTip(text));
}

QString CSystemTray::TrayTip() const {
    return icon_->toolTip();
}

void CSystemTray::SetActions(const TrayActions& actions) {
    items_.clear();
    for (const int command : kTrayMenuCommands) {
        Item item;
        item.command = command;
        item.source = TraySource(actions, command);
        if (command == kTraySeparator || item.source != nullptr) {
            items_.push_back(item);
        }
    }
    BuildMenu();
}

void CSystemTray::BuildMenu() {
    menu_->clear();
    bool separatorDue = false;
    for (Item& item : items_) {
        item.copy = nullptr;
        if (item.command == kTraySeparator) {
            separatorDue = !menu_->actions().isEmpty();
            continue;
        }
        if (item.source == nullptr) {
            continue;
        }
        if (separatorDue) {
            menu_->addSeparator();
            separatorDue = false;
        }
        QAction* source = item.source;
        QAction* copy = menu_->addAction(TrayItemText(item.command, source));
        copy->setMenuRole(QAction::NoRole);
        copy->setCheckable(item.command == kTrayMainWindow || item.command == kTrayPasswordPopup);
        const auto sync = [copy, source, command = item.command] {
            copy->setText(TrayItemText(command, source));
            copy->setIcon(source->icon());
            copy->setEnabled(source->isEnabled());
            copy->setVisible(source->isVisible());
        };
        sync();
        connect(source, &QAction::changed, copy, sync);
        connect(copy, &QAction::triggered, this, [this, source = item.source] {
            const QPointer<CSystemTray> self(this);
            if (source != nullptr) {
                source->trigger();
            }
            if (self != nullptr) {
                RefreshMenu();
            }
        });
        item.copy = copy;
    }
    RefreshMenu();
}

void CSystemTray::SetMenuStateSource(std::function<TrayMenuState()> source) {
    stateSource_ = std::move(source);
    RefreshMenu();
}

void CSystemTray::RefreshMenu() {
    const TrayMenuState state = stateSource_ ? stateSource_() : TrayMenuState{};
    const std::vector<TrayMenuItem> model = TrayMenuModel(trayAction_, state);
    QAction* defaultCopy = nullptr;
    for (const Item& item : items_) {
        if (item.copy == nullptr) {
            continue;
        }
        for (const TrayMenuItem& entry : model) {
            if (entry.command != item.command) {
                continue;
            }
            item.copy->setChecked(entry.checked);
            QFont font = item.copy->font();
            font.setBold(entry.isDefault);
            item.copy->setFont(font);
            if (entry.isDefault) {
                defaultCopy = item.copy;
            }
        }
    }
    menu_->setDefaultAction(defaultCopy);
}

void CSystemTray::SetDefaultTrayItem(int trayAction) {
    trayAction_ = settings::LimitTrayAction(trayAction);
    RefreshMenu();
}

void CSystemTray::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (clicks_.Accept(reason, clock_.elapsed(),
                       QGuiApplication::styleHints()->mouseDoubleClickInterval())) {
        emit TrayActionRequested(trayAction_);
    }
}

// ---- Minimising into the tray

bool MinimizesToTray(int trayIcon, int trayMinimize, bool trayShown) {
    return trayIcon == 1 && trayMinimize == 1 && trayShown;
}

CFrameTray::CFrameTray(QWidget& window, const settings::AppSettings& settings,
                       std::function<bool()> trayShown, QObject* parent)
    : QObject(parent), window_(window), settings_(settings), trayShown_(std::move(trayShown)) {
    window_.installEventFilter(this);
}

bool CFrameTray::MinimizesToTray() const {
    return desktop::MinimizesToTray(settings_.trayIcon, settings_.trayMinimize,
                                    trayShown_ && trayShown_());
}

void CFrameTray::MinimizeToTray() {
    window_.hide();
    inTray_ = true;
    emit MovedToTray();
}

void CFrameTray::RestoreFromTray() {
    window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
    window_.show();
    window_.raise();
    window_.activateWindow();
    inTray_ = false;
}

bool CFrameTray::StartMinimized() {
    if (MinimizesToTray()) {
        inTray_ = true;
        emit MovedToTray();
        return true;
    }
    window_.showMinimized();
    return false;
}

void CFrameTray::HideIfStillMinimized() {
    if (window_.isVisible() && window_.isMinimized() && MinimizesToTray()) {
        MinimizeToTray();
    }
}

bool CFrameTray::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        if (event->type() == QEvent::WindowStateChange && window_.isMinimized() &&
            MinimizesToTray()) {
            // Hiding inside the state change confuses some window managers; do it after.
            QMetaObject::invokeMethod(
                this, [this] { HideIfStillMinimized(); }, Qt::QueuedConnection);
        } else if (event->type() == QEvent::Show && !event->spontaneous()) {
            // Shown by other means (a second start raising it): no longer in the tray. A
            // minimised window coming back sends spontaneous ones, which say nothing of that.
            inTray_ = false;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zelvant::desktop
