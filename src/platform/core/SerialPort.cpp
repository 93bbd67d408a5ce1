#include "platform/core/SerialPort.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

std::int64_t nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

constexpr std::int64_t kNoDeadline = INT64_MAX;

std::int64_t deadlineAfterMs(std::int64_t ms) { return nowUs() + ms * 1000; }

}  // namespace

SerialPort::SerialPort() { wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

SerialPort::~SerialPort() {
    close();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

int SerialPort::open(const std::string& path) {
    std::lock_guard lock(ioMutex_);
    if (fd_ >= 0) {
        ::close(fd_);  // a second open replaces the first instead of leaking it
        fd_ = -1;
    }
    cancelled_ = false;
    hungUp_ = false;
    device_ = 0;
    if (wakeFd_ >= 0) {
        std::uint64_t drainValue;
        while (::read(wakeFd_, &drainValue, sizeof drainValue) > 0) {
        }
    }

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;

    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = (errno == EWOULDBLOCK) ? EBUSY : errno;
        ::close(fd);
        return err;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    // Raw bytes: no echo, no line editing, no CR/LF or flow-control translation.
    // The speed stays whatever the driver gives the port.
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    // With O_NONBLOCK, VMIN 1 makes an empty read say EAGAIN (VMIN 0 would return 0,
    // indistinguishable from a hang-up); poll() does all the waiting.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    ::ioctl(fd, TIOCEXCL);  // refuse further opens by other programs (root may still open)
    ::tcflush(fd, TCIOFLUSH);
    struct stat st{};
    if (::fstat(fd, &st) == 0) device_ = static_cast<std::uint64_t>(st.st_rdev);
    fd_ = fd;
    return 0;
}

void SerialPort::close() {
    cancel();
    std::lock_guard lock(ioMutex_);
    if (fd_ >= 0) {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
    hungUp_ = false;
    device_ = 0;
}

bool SerialPort::hungUp() const {
    std::unique_lock lock(ioMutex_, std::try_to_lock);
    if (!lock.owns_lock()) return hungUp_;  // an exchange runs: it notes a hang-up itself
    if (fd_ < 0) return false;
    if (hungUp_) return true;
    pollfd p{fd_, 0, 0};  // POLLHUP and POLLERR are reported without being asked for
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool SerialPort::isOpen() const {
    std::lock_guard lock(ioMutex_);
    return fd_ >= 0;
}

void SerialPort::setTimeouts(const SerialTimeouts& t) {
    std::lock_guard lock(ioMutex_);
    timeouts_ = t;
}

SerialTimeouts SerialPort::timeouts() const {
    std::lock_guard lock(ioMutex_);
    return timeouts_;
}

void SerialPort::cancel() {
    cancelled_ = true;
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto r = ::write(wakeFd_, &one, sizeof one);
    }
}

// Waits for the port to become ready; false on error, hang-up, cancel or time-out.
bool SerialPort::waitFor(short events, std::int64_t deadlineUs, bool* timedOut) {
    *timedOut = false;
    for (;;) {
        if (cancelled_) return false;
        int timeoutMs = -1;
        if (deadlineUs != kNoDeadline) {
            const std::int64_t left = deadlineUs - nowUs();
            if (left <= 0) {
                *timedOut = true;
                return false;
            }
            timeoutMs = static_cast<int>((left + 999) / 1000);
        }
        pollfd fds[2] = {{fd_, events, 0}, {wakeFd_, POLLIN, 0}};
        const int n = ::poll(fds, wakeFd_ >= 0 ? 2 : 1, timeoutMs);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) continue;  // the loop re-checks the deadline
        if (wakeFd_ >= 0 && (fds[1].revents & POLLIN)) return false;
        if (fds[0].revents & events) return true;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            hungUp_ = true;
            return false;
        }
    }
}

int SerialPort::write(const std::uint8_t* data, std::size_t n) {
    std::lock_guard lock(ioMutex_);
    if (fd_ < 0 || cancelled_) return -1;
    const auto& t = timeouts_;
    std::int64_t deadline = kNoDeadline;
    if (t.writeTotalMultiplier != 0 || t.writeTotalConstant != 0) {
        deadline = deadlineAfterMs(static_cast<std::int64_t>(t.writeTotalMultiplier) * static_cast<std::int64_t>(n) +
                                   t.writeTotalConstant);
    }
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd_, data + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EIO) hungUp_ = true;
        if (w < 0 && errno != EAGAIN && errno != EINTR) return -1;
        bool timedOut = false;
        if (!waitFor(POLLOUT, deadline, &timedOut)) return timedOut ? static_cast<int>(done) : -1;
    }
    return static_cast<int>(done);
}

int SerialPort::read(std::uint8_t* data, std::size_t n) {
    std::lock_guard lock(ioMutex_);
    if (fd_ < 0 || cancelled_) return -1;
    const auto& t = timeouts_;
    std::int64_t totalDeadline = kNoDeadline;
    if (t.readTotalMultiplier != 0 || t.readTotalConstant != 0) {
        totalDeadline = deadlineAfterMs(static_cast<std::int64_t>(t.readTotalMultiplier) * static_cast<std::int64_t>(n) +
                                        t.readTotalConstant);
    }
    std::size_t got = 0;
    std::int64_t intervalDeadline = kNoDeadline;
    while (got < n) {
        const ssize_t r = ::read(fd_, data + got, n - got);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
            if (t.readInterval != 0) intervalDeadline = deadlineAfterMs(t.readInterval);
            continue;
        }
        if (r == 0 || (r < 0 && errno == EIO)) {  // end of file or EIO: the device is gone
            hungUp_ = true;
            return got > 0 ? static_cast<int>(got) : -1;
        }
        if (errno != EAGAIN && errno != EINTR) return got > 0 ? static_cast<int>(got) : -1;
        bool timedOut = false;
        const std::int64_t deadline = std::min(totalDeadline, intervalDeadline);
        if (!waitFor(POLLIN, deadline, &timedOut)) {
            if (timedOut) return static_cast<int>(got);
            return got > 0 ? static_cast<int>(got) : -1;
        }
    }
    return static_cast<int>(got);
}

void SerialPort::discardInput() {
    std::lock_guard lock(ioMutex_);
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

std::size_t SerialPort::pendingInput() const {
    std::lock_guard lock(ioMutex_);
    int n = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &n) != 0 || n < 0) return 0;
    return static_cast<std::size_t>(n);
}

int SerialPort::drain() {
    std::lock_guard lock(ioMutex_);
    if (fd_ < 0) return -1;
    return ::tcdrain(fd_) == 0 ? 0 : -1;
}

}  // namespace platform
