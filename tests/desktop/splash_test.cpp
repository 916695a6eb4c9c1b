// The start-up splash: only Finish() closes it, and the pause keeps the event loop turning.

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "desktop/splash.h"

using namespace zelvant::desktop;

class SplashTest : public QObject {
    Q_OBJECT

  private slots:
    void clicksAndKeysLeaveItUpUntilFinish() {
        CSplash splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
        QVERIFY((splash.geometry().center() - centre).manhattanLength() <= 2);
        const QPixmap hi = PaintSplashPicture({}, 2.0);  // for a screen scaled by 2
        QVERIFY(hi.size() == 2 * splash.size() && hi.deviceIndependentSize() == splash.size());
        QTest::mouseClick(&splash, Qt::LeftButton);
        QTest::mouseDClick(&splash, Qt::RightButton);
        QTest::keyClick(&splash, Qt::Key_Escape);
        QVERIFY(!splash.close());  // where the window manager's close button ends
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(splash.isVisible());
        splash.Finish(&window);
        QVERIFY(!splash.isVisible());
        QTRY_VERIFY(window.isActiveWindow());
        // A minimised start has no window on screen to wait for.
        CSplash other;
        other.show();
        QWidget hidden;
        other.Finish(&hidden);
        QVERIFY(!other.isVisible());
    }

    void pauseKeepsHandlingEventsSoItCanBeDragged() {
        CSplash splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        const QPoint start = splash.pos();
        QTimer::singleShot(0, &splash, [&] {  // the move is queued only once the pause runs
            QTest::mousePress(&splash, Qt::LeftButton, {}, {10, 10});
            QTimer::singleShot(10, &splash, [&] { QTest::mouseMove(&splash, {35, 45}); });
        });
        RunStartupPause(120);
        QCOMPARE(splash.pos(), start + QPoint(25, 35));
        QTest::mouseRelease(&splash, Qt::LeftButton);
    }
};

QTEST_MAIN(SplashTest)
#include "splash_test.moc"
