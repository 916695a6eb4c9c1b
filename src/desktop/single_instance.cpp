#include "desktop/single_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace zelvant::desktop {

namespace {

constexpr char kRaise[] = "raise";
// Followed by a space and the file's path in base64, as the file system spells it.
constexpr char kOpen[] = "open";
constexpr char kRaised[] = "ok";
constexpr char kStarting[] = "starting";
// No answer is longer; no request either, with a path of up to 4096 bytes.
constexpr qint64 kMaxLine = 32;
constexpr qint64 kMaxRequest = 5600;

bool ProcessExists(qint64 pid) {
#ifdef Q_OS_UNIX
    if (pid <= 0) {
        return false;
    }
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#else
    // QLockFile makes this check itself on these platforms.
    Q_UNUSED(pid);
    return true;
#endif
}

// Whether the process at the other end of a connected local socket runs as `uid`. Platforms
// without a way to ask rely on the socket's and the folder's permissions.
bool PeerRunsAs(qintptr descriptor, qint64 uid) {
#if defined(Q_OS_LINUX)
    ucred peer{};
    socklen_t size = sizeof peer;
    return descriptor >= 0 &&
           ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           qint64(peer.uid) == uid;
#elif defined(Q_OS_UNIX)
    uid_t peerUid = 0;
    gid_t peerGid = 0;
    return descriptor >= 0 && ::getpeereid(int(descriptor), &peerUid, &peerGid) == 0 &&
           qint64(peerUid) == uid;
#else
    Q_UNUSED(descriptor);
    Q_UNUSED(uid);
    return true;
#endif
}

qint64 OwnUser() {
#ifdef Q_OS_UNIX
    return qint64(::geteuid());
#else
    return 0;
#endif
}

QString SafeFileName(const QString& text) {
    QString safe;
    for (const QChar c : text) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char('.');
        safe += plain ? c : QLatin1Char('_');
    }
    return safe;
}

}  // namespace

QString CSingleInstance::DefaultName() {
    QString user;
    for (const char* variable : {"USER", "LOGNAME", "USERNAME"}) {
        user = qEnvironmentVariable(variable);
        if (!user.isEmpty()) {
            break;
        }
    }
#ifdef Q_OS_UNIX
    if (user.isEmpty()) {
        user = QString::number(::getuid());
    }
#endif
    return QStringLiteral("zelvant-") + SafeFileName(user);
}

QString CSingleInstance::DefaultFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        return QDir(runtime).filePath(QStringLiteral("zelvant"));
    }
    // A name others can guess, so what is found there is checked before it is used.
    return QDir(QDir::tempPath()).filePath(QStringLiteral("zelvant-") + QString::number(OwnUser()));
}

QString CSingleInstance::CheckPrivateFolder(const QString& folder) {
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(folder);
    QDir().mkpath(QFileInfo(folder).absolutePath());
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        return QStringLiteral("The folder %1 cannot be made: %2")
            .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return QStringLiteral("%1 is not a folder.").arg(folder);
    }
    if (qint64(info.st_uid) != OwnUser()) {
        return QStringLiteral("The folder %1 belongs to another user.").arg(folder);
    }
    if ((info.st_mode & 077) != 0) {
        return QStringLiteral("Other users may enter the folder %1.").arg(folder);
    }
#else
    QDir().mkpath(folder);
#endif
    return {};
}

CSingleInstance::CSingleInstance(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent),
      name_(name),
      folder_(folder),
      lock_(QDir(folder).filePath(name + QStringLiteral(".lock"))) {
    // A live first instance keeps its lock for days; only a dead owner makes it stale.
    lock_.setStaleLockTime(0);
}

CSingleInstance::~CSingleInstance() {
    Release();
}

QString CSingleInstance::LockFilePath() const {
    return QDir(folder_).filePath(name_ + QStringLiteral(".lock"));
}

QString CSingleInstance::SocketPath() const {
#ifdef Q_OS_WIN
    // Pipe names are not paths there, and the user's name already keeps them apart.
    return name_;
#else
    return QDir(folder_).filePath(name_ + QStringLiteral(".socket"));
#endif
}

bool CSingleInstance::TryBecomeFirst(bool handOver, const QString& file) {
    if (first_) {
        return true;
    }
    otherRaised_ = false;
    folderProblem_ = CheckPrivateFolder(folder_);
    if (!folderProblem_.isEmpty()) {
        return false;
    }
    if (TakeLock()) {
        first_ = true;
        Listen();
        return true;
    }
    if (handOver && lock_.error() == QLockFile::LockFailedError) {
        AskFirstToRaise(file);
    }
    return false;
}

bool CSingleInstance::TakeLock() {
    if (lock_.tryLock(0)) {
        return true;
    }
    if (lock_.error() != QLockFile::LockFailedError) {
        return false;
    }
    // QLockFile spots most dead owners itself; this also covers a lock whose owner vanished in
    // a way its own check does not recognise.
    qint64 pid = 0;
    QString host;
    QString application;
    if (!lock_.getLockInfo(&pid, &host, &application)) {
        return false;
    }
    const bool here = host.isEmpty() || host == QSysInfo::machineHostName();
    if (here && !ProcessExists(pid) && lock_.removeStaleLockFile()) {
        return lock_.tryLock(0);
    }
    return false;
}

void CSingleInstance::Listen() {
    // Holding the lock, any socket file left here belongs to a dead instance.
    QLocalServer::removeServer(SocketPath());
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    if (!server_->listen(SocketPath())) {
        // Still the first, just not reachable: later starts then run as instances of their own.
        qWarning("Zelvant: cannot listen on %s: %s", qPrintable(SocketPath()),
                 qPrintable(server_->errorString()));
        delete server_;
        server_ = nullptr;
    }
}

void CSingleInstance::AskFirstToRaise(const QString& file) {
    QLocalSocket socket;
    // The first may hold the lock but not listen yet, or be too busy to accept at once.
    const QDeadlineTimer connectDeadline(kConnectTimeoutMs);
    bool connected = false;
    for (;;) {
        socket.connectToServer(SocketPath());
        if (socket.waitForConnected(int(connectDeadline.remainingTime()))) {
            connected = true;
            break;
        }
        socket.abort();
        if (connectDeadline.hasExpired()) {
            break;
        }
        QThread::msleep(ulong(qMin<qint64>(100, connectDeadline.remainingTime())));
    }
    if (!connected) {
        return;
    }
    if (!PeerRunsAs(socket.socketDescriptor(), peerUser_ < 0 ? OwnUser() : peerUser_)) {
        // Not our first instance: nothing is said to it, and this start runs on its own.
        socket.abort();
        return;
    }
    // It is alive and listening: unless it says it is still starting, it will come forward,
    // even when it answers too late for us to hear.
    otherRaised_ = true;
    if (file.isEmpty()) {
        socket.write(kRaise);
    } else {
        socket.write(QByteArray(kOpen) + ' ' + QFile::encodeName(file).toBase64());
    }
    socket.write("\n");
    if (!socket.waitForBytesWritten(kReplyTimeoutMs)) {
        return;
    }
    QByteArray reply;
    const QDeadlineTimer replyDeadline(kReplyTimeoutMs);
    while (!reply.contains('\n') && reply.size() <= kMaxLine &&
           socket.waitForReadyRead(int(replyDeadline.remainingTime()))) {
        reply += socket.readAll();
    }
    reply += socket.readAll();
    if (reply.trimmed() == kStarting) {
        otherRaised_ = false;
    }
    socket.abort();
}

void CSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!PeerRunsAs(socket->socketDescriptor(), peerUser_ < 0 ? OwnUser() : peerUser_)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnRequest(socket); });
        // A caller that never says anything must not keep a socket open for good.
        QTimer::singleShot(kReplyTimeoutMs, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0) {
            OnRequest(socket);
        }
    }
}

void CSingleInstance::OnRequest(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequest) {
            socket->abort();
        }
        return;
    }
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    const QByteArray line = socket->readLine(kMaxRequest + 1).trimmed();
    QString file;
    if (line.startsWith(QByteArray(kOpen) + ' ')) {
        const auto decoded = QByteArray::fromBase64Encoding(
            line.mid(int(sizeof kOpen)), QByteArray::AbortOnBase64DecodingErrors);
        file = decoded ? QFile::decodeName(*decoded) : QString();
        if (!QFileInfo(file).isAbsolute()) {
            socket->abort();
            return;
        }
    } else if (line != kRaise) {
        socket->abort();
        return;
    }
    const bool raise = windowShown_;
    socket->write(raise ? kRaised : kStarting);
    socket->write("\n");
    socket->disconnectFromServer();
    if (!raise) {
        return;
    }
    // Not from inside the socket's own signal: the window may ask for a password in a nested
    // event loop, and the socket is deleted meanwhile, under the signal that is still running.
    QMetaObject::invokeMethod(
        this,
        [this, file] {
            emit RaiseRequested();
            if (!file.isEmpty()) {
                emit OpenRequested(file);
            }
        },
        Qt::QueuedConnection);
}

void CSingleInstance::Release() {
    // The socket goes first, so a successor's fresh socket is never removed by our close.
    if (server_ != nullptr) {
        server_->close();
        delete server_;
        server_ = nullptr;
    }
    if (first_) {
        lock_.unlock();
        first_ = false;
    }
}

}  // namespace zelvant::desktop
