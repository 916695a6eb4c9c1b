#pragma once
// One running copy of the program per user: the first start holds a lock file and listens on a
// local socket beside it; a later start finds the lock, asks the first over the socket to come
// forward (and to open the file it was started on), and ends.
//
// Both live in a folder only this user can enter, checked before use, and each side of the
// socket checks that the other runs as the same user: another user can neither keep the program
// from starting nor learn of it.

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace zelvant::desktop {

class CSingleInstance : public QObject {
    Q_OBJECT

  public:
    // "zelvant-" followed by the user's login name.
    static QString DefaultName();
    // "zelvant" in XDG_RUNTIME_DIR when that is set and present, otherwise "zelvant-" and the
    // user's id in the temporary folder.
    static QString DefaultFolder();
    // Makes the folder (0700) when it is missing. Empty when it is a folder of this user's that
    // nobody else may enter, otherwise what is wrong with it, for the user.
    static QString CheckPrivateFolder(const QString& folder);

    explicit CSingleInstance(const QString& name = DefaultName(),
                             const QString& folder = DefaultFolder(), QObject* parent = nullptr);
    ~CSingleInstance() override;

    // True when this process is now the first instance. False when another live instance holds
    // the lock; with `handOver` it has then been asked to come forward, and to open `file` when
    // one is given (an absolute path), and OtherRaised() tells whether it took the request.
    bool TryBecomeFirst(bool handOver = true, const QString& file = {});
    bool IsFirst() const { return first_; }

    // After a failed TryBecomeFirst(): whether the running instance took the request (it said so,
    // or was reached but too busy to answer in time). When false, it is still starting or cannot
    // be reached, and this start runs as an instance of its own.
    bool OtherRaised() const { return otherRaised_; }

    // After a failed TryBecomeFirst(): why the folder was refused, for the user; empty when it
    // was not.
    QString FolderProblem() const { return folderProblem_; }

    // Until this is called, requests to come forward are answered "still starting" and dropped,
    // so a start during our splash runs on its own instead of waiting for a window.
    void SetWindowShown(bool shown = true) { windowShown_ = shown; }

    // Gives up the lock and the socket, so that a later start becomes the first.
    void Release();

    QString LockFilePath() const;
    QString SocketPath() const;

    // Tests stand in for another user: peers are then taken to run as someone else.
    void SetPeerUserForTests(qint64 uid) { peerUser_ = uid; }

    // Tolerated delays of a first instance that is busy.
    static constexpr int kConnectTimeoutMs = 1500;
    static constexpr int kReplyTimeoutMs = 2000;

  signals:
    // In the first instance: a later start asked for the main window to come forward.
    void RaiseRequested();
    // ... and, after RaiseRequested, for this file to be opened.
    void OpenRequested(const QString& path);

  private:
    bool TakeLock();
    void Listen();
    void AskFirstToRaise(const QString& file);
    void OnNewConnection();
    void OnRequest(QLocalSocket* socket);

    QString name_;
    QString folder_;
    QLockFile lock_;
    QLocalServer* server_ = nullptr;
    bool first_ = false;
    bool otherRaised_ = false;
    bool windowShown_ = false;
    QString folderProblem_;
    qint64 peerUser_ = -1;  // -1: our own
};

}  // namespace zelvant::desktop
