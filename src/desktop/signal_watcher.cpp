#include "desktop/signal_watcher.h"

#include <QSocketNotifier>
#include <array>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace zelvant::desktop {

#ifdef Q_OS_UNIX
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// Read by the handler, which may run at any moment: plain, lock-free values only.
volatile sig_atomic_t g_writeEnd = -1;
int g_readEnd = -1;
std::array<struct sigaction, kSignals.size()> g_previous{};

extern "C" void OnTerminationSignal(int signal) {
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    // A full pipe means a signal is already on its way; nothing more to say.
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &number, 1);
    errno = saved;
}

}  // namespace

CSignalWatcher::CSignalWatcher(QObject* parent) : QObject(parent) {
    if (g_writeEnd >= 0) {
        return;
    }
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) {
        return;
    }
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    }
    notifier_ = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CSignalWatcher::OnReadable);
}

CSignalWatcher::~CSignalWatcher() {
    if (notifier_ == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    delete notifier_;
    ::close(g_readEnd);
    ::close(g_writeEnd);
    g_readEnd = -1;
    g_writeEnd = -1;
}

void CSignalWatcher::OnReadable() {
    unsigned char number = 0;
    while (::read(g_readEnd, &number, 1) == 1) {
        emit TerminationRequested(number);
    }
}

#else

CSignalWatcher::CSignalWatcher(QObject* parent) : QObject(parent) {}
CSignalWatcher::~CSignalWatcher() = default;
void CSignalWatcher::OnReadable() {}

#endif

}  // namespace zelvant::desktop
