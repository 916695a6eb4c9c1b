#pragma once
// The start-up picture. It stays up until the main window is shown: clicks drag it about instead
// of closing it, and keys and close requests are ignored until Finish().

#include <QPixmap>
#include <QPoint>
#include <QSplashScreen>
#include <QString>

namespace zelvant::desktop {

// Logical size of the picture, before the screen's scale factor.
inline constexpr int kSplashWidth = 480;
inline constexpr int kSplashHeight = 280;
// How long start-up waits with the splash up.
inline constexpr int kStartupPauseMs = 5000;

// The picture drawn at the given scale factor; `version` is shown in a corner.
QPixmap PaintSplashPicture(const QString& version, qreal devicePixelRatio = 1.0);

class CSplash : public QSplashScreen {
    Q_OBJECT

  public:
    // Drawn for `screen` (the primary one when none) and centred on it; call show() to show it.
    explicit CSplash(QScreen* screen = nullptr);

    // Closes the splash once `mainWindow` is on screen and hands it the focus. Without a window,
    // closes at once.
    void Finish(QWidget* mainWindow);
    bool MayClose() const { return mayClose_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    bool mayClose_ = false;
    bool dragging_ = false;
    QPoint grabOffset_;  // where the pointer holds the window, from its top-left corner
};

// Waits `ms` milliseconds while still handling events, so the splash paints and can be dragged.
void RunStartupPause(int ms);

}  // namespace zelvant::desktop
