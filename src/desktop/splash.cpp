#include "desktop/splash.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace zelvant::desktop {

namespace {

// The shield of the program's icon, in a 100 x 120 box.
QPainterPath ShieldPath() {
    QPainterPath path;
    path.moveTo(50, 0);
    path.lineTo(100, 18);
    path.lineTo(100, 52);
    path.cubicTo(100, 84, 79, 108, 50, 120);
    path.cubicTo(21, 108, 0, 84, 0, 52);
    path.lineTo(0, 18);
    path.closeSubpath();
    return path;
}

void PaintShield(QPainter& painter, const QRectF& box) {
    painter.save();
    painter.translate(box.topLeft());
    painter.scale(box.width() / 100.0, box.height() / 120.0);

    // Soft shadow under the shield.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawPath(ShieldPath().translated(3, 4));

    QLinearGradient body(0, 0, 100, 120);
    body.setColorAt(0.0, QColor(0x6c, 0xb0, 0xf0));
    body.setColorAt(1.0, QColor(0x24, 0x6c, 0xb8));
    painter.setBrush(body);
    painter.setPen(QPen(QColor(0xe8, 0xf2, 0xfc), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(ShieldPath());

    // The lit half.
    QPainterPath left;
    left.moveTo(50, 5);
    left.lineTo(50, 114);
    left.cubicTo(25, 102, 6, 80, 6, 52);
    left.lineTo(6, 22);
    left.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 45));
    painter.drawPath(left);

    // Keyhole.
    painter.setBrush(QColor(0xff, 0xff, 0xff));
    painter.drawEllipse(QPointF(50, 48), 12, 12);
    QPainterPath slot;
    slot.moveTo(44, 54);
    slot.lineTo(56, 54);
    slot.lineTo(59, 84);
    slot.lineTo(41, 84);
    slot.closeSubpath();
    painter.drawPath(slot);
    painter.restore();
}

void PaintBackground(QPainter& painter, const QRectF& area) {
    QLinearGradient sky(area.topLeft(), area.bottomRight());
    sky.setColorAt(0.0, QColor(0x0c, 0x22, 0x3d));
    sky.setColorAt(1.0, QColor(0x1b, 0x52, 0x8c));
    painter.fillRect(area, sky);

    // A glow behind the shield and a few faint rings, so the plain gradient has some depth.
    QRadialGradient glow(QPointF(110, 140), 150);
    glow.setColorAt(0.0, QColor(0x5a, 0xa0, 0xe6, 90));
    glow.setColorAt(1.0, QColor(0x5a, 0xa0, 0xe6, 0));
    painter.fillRect(area, glow);
    painter.setBrush(Qt::NoBrush);
    for (int ring = 0; ring < 4; ++ring) {
        painter.setPen(QPen(QColor(255, 255, 255, 14 - 3 * ring), 1.2));
        painter.drawEllipse(QPointF(area.right() - 40, area.top() + 30), 90.0 + 45 * ring,
                            90.0 + 45 * ring);
    }
    painter.setPen(QPen(QColor(0x07, 0x16, 0x29), 1));
    painter.drawRect(area.adjusted(0.5, 0.5, -0.5, -0.5));
}

}  // namespace

QPixmap PaintSplashPicture(const QString& version, qreal devicePixelRatio) {
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap picture(QSize(kSplashWidth, kSplashHeight) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::black);

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF area(0, 0, kSplashWidth, kSplashHeight);
    PaintBackground(painter, area);
    PaintShield(painter, QRectF(58, 70, 108, 130));

    QFont title = painter.font();
    title.setPixelSize(46);
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    painter.setFont(title);
    painter.setPen(QColor(0xff, 0xff, 0xff));
    painter.drawText(QRectF(200, 88, 260, 60), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Zelvant"));

    painter.setPen(QPen(QColor(0x5a, 0xa0, 0xe6), 2));
    painter.drawLine(QPointF(202, 152), QPointF(300, 152));

    QFont line = painter.font();
    line.setPixelSize(16);
    line.setBold(false);
    line.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    painter.setFont(line);
    painter.setPen(QColor(0xcf, 0xe3, 0xf7));
    painter.drawText(QRectF(202, 160, 260, 26), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Your passwords, kept under lock"));

    QFont small = painter.font();
    small.setPixelSize(12);
    painter.setFont(small);
    painter.setPen(QColor(0x9f, 0xbf, 0xe0));
    painter.drawText(QRectF(16, kSplashHeight - 30, kSplashWidth - 32, 20),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Starting…"));
    if (!version.isEmpty()) {
        painter.drawText(QRectF(16, kSplashHeight - 30, kSplashWidth - 32, 20),
                         Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Version ") + version);
    }
    return picture;
}

CSplash::CSplash(QScreen* screen)
    : QSplashScreen(screen != nullptr ? screen : QGuiApplication::primaryScreen(), QPixmap(),
                    Qt::WindowStaysOnTopHint) {
    QScreen* target = screen != nullptr ? screen : QGuiApplication::primaryScreen();
    const qreal ratio = target != nullptr ? target->devicePixelRatio() : 1.0;
    // Setting the picture also sizes the window to it and centres it on the screen.
    setPixmap(PaintSplashPicture(QStringLiteral(ZELVANT_VERSION), ratio));
    setCursor(Qt::ArrowCursor);
}

void CSplash::Finish(QWidget* mainWindow) {
    mayClose_ = true;
    dragging_ = false;
    // A minimised or hidden window is never exposed; waiting for it would only delay.
    const bool onScreen =
        mainWindow != nullptr && mainWindow->isVisible() && !mainWindow->isMinimized();
    if (!onScreen) {
        close();
        return;
    }
    finish(mainWindow);
    mainWindow->raise();
    mainWindow->activateWindow();
}

void CSplash::mousePressEvent(QMouseEvent* event) {
    // The base class closes on any click; here a press only starts a drag.
    event->accept();
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // Where the window system moves windows itself (Wayland), ask it to.
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
        return;
    }
    dragging_ = true;
    grabOffset_ = event->globalPosition().toPoint() - pos();
}

void CSplash::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - grabOffset_);
    }
}

void CSplash::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
    }
}

void CSplash::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

void CSplash::closeEvent(QCloseEvent* event) {
    if (!mayClose_) {
        event->ignore();
        return;
    }
    QSplashScreen::closeEvent(event);
}

void RunStartupPause(int ms) {
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace zelvant::desktop
