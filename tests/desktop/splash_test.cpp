// The start-up splash: its picture, that only Finish() closes it, dragging, and a pause that
// keeps the event loop turning.

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include "settings/desktop/splash.h"

using namespace zelvant::desktop;

namespace {

void SendMouse(QWidget& widget, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    const QPointF local = global - widget.pos();
    QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

}  // namespace

class SplashTest : public QObject {
    Q_OBJECT

  private slots:
    void pictureIsDrawnAtTheScreensScale() {
        const QImage image = PaintSplashPicture(QStringLiteral("1.2.3")).toImage();
        QCOMPARE(image.size(), QSize(kSplashWidth, kSplashHeight));
        const QPixmap sharp = PaintSplashPicture(QStringLiteral("1.2.3"), 2.0);
        QCOMPARE(sharp.size(), QSize(2 * kSplashWidth, 2 * kSplashHeight));
        QCOMPARE(sharp.deviceIndependentSize(), QSizeF(kSplashWidth, kSplashHeight));
        // A drawing, not a blank: the keyhole in the shield is white on a dark ground.
        QCOMPARE(image.pixelColor(58 + 54, 70 + 50), QColor(Qt::white));
        QVERIFY(image.pixelColor(5, 5).lightness() < 80);
        QVERIFY(PaintSplashPicture(QStringLiteral("9.9.9")).toImage() != image);
    }

    void shownCentredAndOnlyFinishClosesIt() {
        CSplash splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QCOMPARE(splash.size(), QSize(kSplashWidth, kSplashHeight));
        const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
        QVERIFY((splash.geometry().center() - centre).manhattanLength() <= 2);
        QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);

        QTest::mouseClick(&splash, Qt::LeftButton);
        QTest::mouseClick(&splash, Qt::RightButton);
        QTest::mouseDClick(&splash, Qt::LeftButton);
        QTest::keyClick(&splash, Qt::Key_Escape);
        QTest::keyClick(&splash, Qt::Key_F4, Qt::AltModifier);
        QVERIFY(!splash.close());  // what the window manager's close button ends in
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        QVERIFY(splash.isVisible());  // a window alone does not end it either

        splash.Finish(&window);
        QVERIFY(!splash.isVisible());
        QTRY_VERIFY(window.isActiveWindow());
    }

    void finishWithoutAWindowOnScreenDoesNotWait() {
        CSplash splash;
        splash.show();
        QWidget hidden;
        splash.Finish(&hidden);
        QVERIFY(!splash.isVisible());
        CSplash other;
        other.show();
        other.Finish(nullptr);
        QVERIFY(!other.isVisible());
    }

    void draggingMovesIt() {
        CSplash splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        const QPoint start = splash.pos();
        const QPoint grab = start + QPoint(30, 20);
        SendMouse(splash, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
        SendMouse(splash, QEvent::MouseMove, grab + QPoint(50, 30), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(splash.pos(), start + QPoint(50, 30));
        SendMouse(splash, QEvent::MouseMove, grab + QPoint(-40, 70), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(splash.pos(), start + QPoint(-40, 70));
        SendMouse(splash, QEvent::MouseButtonRelease, grab, Qt::LeftButton, Qt::NoButton);
        // Once let go, or with the other button, the pointer does not take it along.
        SendMouse(splash, QEvent::MouseMove, grab, Qt::NoButton, Qt::NoButton);
        SendMouse(splash, QEvent::MouseButtonPress, grab, Qt::RightButton, Qt::RightButton);
        SendMouse(splash, QEvent::MouseMove, grab + QPoint(9, 9), Qt::NoButton, Qt::RightButton);
        QCOMPARE(splash.pos(), start + QPoint(-40, 70));
        QVERIFY(splash.isVisible());
    }

    void pauseKeepsHandlingEvents() {
        CSplash splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        const QPoint start = splash.pos();
        const QPoint grab = start + QPoint(10, 10);
        // A drag made during the pause is carried out during the pause.
        QTimer::singleShot(0, &splash, [&splash, grab] {
            SendMouse(splash, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
        });
        QTimer::singleShot(10, &splash, [&splash, grab] {
            SendMouse(splash, QEvent::MouseMove, grab + QPoint(25, 35), Qt::NoButton,
                      Qt::LeftButton);
        });
        QElapsedTimer clock;
        clock.start();
        RunStartupPause(120);
        QVERIFY(clock.elapsed() >= 110 && clock.elapsed() < 2000);
        QCOMPARE(splash.pos(), start + QPoint(25, 35));

        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        RunStartupPause(0);
        QVERIFY(fired);
    }
};

QTEST_MAIN(SplashTest)
#include "splash_test.moc"
