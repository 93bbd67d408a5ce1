// Both ends of a pseudo-terminal for tests: PtyPeer is the far end of a serial port
// under test, PtyClient the program's end of the simulator's port.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace ptytest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Up to n bytes: returns when they are all there, the time is up, or the line hung up.
inline Bytes readFor(int fd, std::size_t n, std::chrono::milliseconds timeout) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() < 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 || !(p.revents & POLLIN)) break;
        std::uint8_t buf[256];
        const ssize_t k = ::read(fd, buf, std::min(sizeof buf, n - got.size()));
        if (k > 0) got.insert(got.end(), buf, buf + k);
        else if (k == 0 || (errno != EAGAIN && errno != EINTR)) break;
    }
    return got;
}

inline void makeRaw(int fd) {
    termios t{};
    if (fd < 0 || ::tcgetattr(fd, &t) != 0) return;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &t);
    ::tcflush(fd, TCIOFLUSH);
}

class PtyEnd {
public:
    PtyEnd(const PtyEnd&) = delete;
    PtyEnd& operator=(const PtyEnd&) = delete;

    bool write(const Bytes& bytes) {  // whole, or false
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 100);
            } else {
                return false;
            }
        }
        return true;
    }
    Bytes read(std::size_t n, std::chrono::milliseconds timeout = 2s) { return readFor(fd_, n, timeout); }
    bool hungUp() const {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 1000) > 0 && (p.revents & POLLHUP);
    }

protected:
    PtyEnd() = default;
    ~PtyEnd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int fd_ = -1;
};

// A new pty whose slave path a port under test opens; we hold the master.
class PtyPeer : public PtyEnd {
public:
    PtyPeer() {
        fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0 || ::ptsname_r(fd_, name, sizeof name) != 0) return;
        slavePath_ = name;
        // Keep one slave descriptor of our own so the port's close never hangs up the master.
        keeper_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        makeRaw(keeper_);
    }
    ~PtyPeer() { closeMaster(); }

    const std::string& slavePath() const { return slavePath_; }
    bool ok() const { return fd_ >= 0 && keeper_ >= 0; }
    void closeMaster() {
        if (keeper_ >= 0) ::close(keeper_);
        if (fd_ >= 0) ::close(fd_);
        keeper_ = fd_ = -1;
    }

private:
    int keeper_ = -1;
    std::string slavePath_;
};

// A new pty whose slave stays locked until Unlock: every open of its path fails with an
// I/O error (EIO), as a port that the kernel refuses would, root or not.
class LockedPty : public PtyEnd {
public:
    LockedPty() {
        fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (fd_ < 0 || ::grantpt(fd_) != 0 || ::ptsname_r(fd_, name, sizeof name) != 0) return;
        slavePath_ = name;
    }
    const std::string& slavePath() const { return slavePath_; }
    bool ok() const { return fd_ >= 0 && !slavePath_.empty(); }
    bool Unlock() { return ::unlockpt(fd_) == 0; }

private:
    std::string slavePath_;
};

// The program's side of an existing port, opened by path as a raw terminal.
class PtyClient : public PtyEnd {
public:
    explicit PtyClient(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        makeRaw(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }

    // A reply as the program reads it: the length byte, then what it announces.
    Bytes readReply(std::chrono::milliseconds timeout = 2s) {
        Bytes r = read(1, timeout);
        if (r.size() != 1 || r[0] < 2) return r;
        const Bytes rest = read(r[0] - 1u, timeout);
        r.insert(r.end(), rest.begin(), rest.end());
        return r;
    }
    Bytes exchange(const Bytes& frame) { return write(frame) ? readReply() : Bytes{}; }
};

}  // namespace ptytest

using ptytest::LockedPty;
using ptytest::PtyClient;
using ptytest::PtyPeer;
