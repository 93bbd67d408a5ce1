// The program's side of the wire, reduced to what the simulator's tests need: a raw
// terminal opened by path, whole writes, and reads with a time limit.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace boardsim::test {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

class PtyClient {
public:
    explicit PtyClient(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) return;
        termios t{};
        if (::tcgetattr(fd_, &t) == 0) {
            ::cfmakeraw(&t);
            t.c_cflag |= CLOCAL | CREAD;
            ::tcsetattr(fd_, TCSANOW, &t);
        }
        ::tcflush(fd_, TCIOFLUSH);
    }
    ~PtyClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool write(const Bytes& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EAGAIN) {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Up to n bytes: returns when they are all there, the time is up, or the line hung up.
    Bytes read(std::size_t n, std::chrono::milliseconds timeout = 2s) {
        Bytes got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got.size() < n) {
            std::uint8_t buf[256];
            const std::size_t want = std::min(sizeof buf, n - got.size());
            const ssize_t k = ::read(fd_, buf, want);
            if (k > 0) {
                got.insert(got.end(), buf, buf + k);
                continue;
            }
            if (k == 0 || (errno != EAGAIN && errno != EINTR)) break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0) break;
            if ((p.revents & POLLHUP) && !(p.revents & POLLIN)) break;
        }
        return got;
    }

    // A reply as the program reads it: the length byte, then what it announces.
    Bytes readReply(std::chrono::milliseconds timeout = 2s) {
        Bytes r = read(1, timeout);
        if (r.size() != 1 || r[0] < 2) return r;
        const Bytes rest = read(r[0] - 1u, timeout);
        r.insert(r.end(), rest.begin(), rest.end());
        return r;
    }

    Bytes exchange(const Bytes& frame) {
        if (!write(frame)) return {};
        return readReply();
    }

    // Whatever arrives until the line has been quiet for `quiet`.
    Bytes drain(std::chrono::milliseconds quiet = 50ms) {
        Bytes got;
        for (;;) {
            const Bytes b = read(256, quiet);
            if (b.empty()) return got;
            got.insert(got.end(), b.begin(), b.end());
        }
    }

    bool hungUp() const {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 1000) > 0 && (p.revents & POLLHUP);
    }

private:
    int fd_ = -1;
};

}  // namespace boardsim::test
