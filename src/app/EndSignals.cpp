#include "app/EndSignals.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> g_writeFd{-1};

extern "C" void OnEndSignal(int signal) {
    const int savedErrno = errno;
    const int fd = g_writeFd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        // A full pipe already holds a request to end; losing this one changes nothing.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

CEndSignals::CEndSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    if (g_writeFd.load() >= 0) return;  // another object is installed
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipe_[0] = pipe_[1] = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Drain(); });
    g_writeFd = pipe_[1];

    struct sigaction action = {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    installed_ = true;
    for (int i = 0; i < 3; ++i) {
        if (::sigaction(kSignals[i], &action, &previous_[i]) != 0) installed_ = false;
    }
}

CEndSignals::~CEndSignals() {
    if (pipe_[1] < 0) return;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
    g_writeFd = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void CEndSignals::Drain() {
    unsigned char bytes[16];
    for (;;) {
        const ssize_t n = ::read(pipe_[0], bytes, sizeof bytes);
        if (n <= 0) return;
        for (ssize_t i = 0; i < n; ++i) {
            if (onSignal_) onSignal_(bytes[i]);
        }
    }
}
