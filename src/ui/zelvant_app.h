#pragma once
// Start-up and shutdown of the desktop program, in a fixed order; the steps that belong to
// protection and desktop integration are hooks their own classes fill.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "settings/settings_store.h"

namespace zelvant::ui {

class CMainFrame;

struct StartupHooks {
    // Registers this start as the running instance, or, when `handOver` (the SingleInstance
    // option), hands over to one already running: asks it to come forward and to open `file`
    // (absolute, or empty). False when it took the request and this start must end.
    std::function<bool(bool handOver, const QString& file)> checkSingleInstance;
    std::function<void()> showSplash;
    std::function<void()> hideSplash;
    // False when no source of the user's idle time can be used.
    std::function<bool()> startIdleTracker;
    std::function<void()> stopIdleTracker;
    // Called with the main window once it exists, before it is shown.
    std::function<void(CMainFrame&)> frameCreated;
};

// The name of this run's private drag-and-drop format: unique to the run's start time, so data
// dragged from another instance is never taken for our own.
QString DragFormatName(const QDateTime& startUtc);

class CZelvantApp {
  public:
    explicit CZelvantApp(settings::ISettingsStore& store);
    ~CZelvantApp();

    // False when the program must end at once. `arguments` are the program's, without its own
    // name; the first that is not an option is a file to open.
    bool InitInstance(const QStringList& arguments, StartupHooks hooks = {});
    void ExitInstance();

    CMainFrame* MainFrame() const { return frame_.get(); }
    QString DragFormat() const { return dragFormat_; }
    QDateTime StartTime() const { return start_; }
    bool StartingUp() const { return startingUp_; }

  private:
    settings::ISettingsStore& store_;
    StartupHooks hooks_;
    std::unique_ptr<CMainFrame> frame_;
    QDateTime start_;
    QString dragFormat_;
    bool startingUp_ = true;
};

}  // namespace zelvant::ui
