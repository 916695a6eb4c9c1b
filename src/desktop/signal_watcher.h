#pragma once
// SIGTERM, SIGINT and SIGHUP reach the event loop as a Qt signal, so that the program ends through
// its own shutdown path instead of dying with unsaved edits. The handler only writes the signal's
// number into a socket pair; everything else happens on the GUI thread.

#include <QObject>

class QSocketNotifier;

namespace zelvant::desktop {

class CSignalWatcher : public QObject {
    Q_OBJECT

  public:
    explicit CSignalWatcher(QObject* parent = nullptr);
    // The signals get their earlier handlers back.
    ~CSignalWatcher() override;

    // False when the handlers could not be installed (or another watcher has them).
    bool IsWatching() const { return notifier_ != nullptr; }

  signals:
    void TerminationRequested(int signal);

  private:
    void OnReadable();

    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace zelvant::desktop
