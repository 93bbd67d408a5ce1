#include "board/LoaderChannel.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "board/LoaderRecords.h"
#include "platform/core/Debug.h"

namespace {

// Time-outs of the wire are real time: the loader is another process.
std::uint64_t SteadyMs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

bool Wait(int fd, short events, std::uint64_t deadlineMs) {
    for (;;) {
        const std::uint64_t now = SteadyMs();
        if (now >= deadlineMs) return false;
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<std::uint64_t>(deadlineMs - now, 60000)));
        if (r > 0) return (p.revents & (events | POLLHUP | POLLERR)) != 0;
        if (r < 0 && errno != EINTR) return false;
    }
}

}  // namespace

CSocketLoaderChannel::CSocketLoaderChannel(std::string path) : path_(std::move(path)) {
    if (path_.empty()) {
        if (const char* env = std::getenv(kEnvironment)) path_ = env;
    }
}

CSocketLoaderChannel::~CSocketLoaderChannel() { Close(); }

bool CSocketLoaderChannel::Present() {
    struct stat st {};
    return !path_.empty() && ::stat(path_.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

bool CSocketLoaderChannel::Connect() {
    Close();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.empty() || path_.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path_.c_str(), path_.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // A search tries again every few milliseconds: the same refusal is told once.
        if (errno != lastError_) platform::debugOutf("Loader: cannot connect to %s (%s)\n", path_.c_str(), std::strerror(errno));
        lastError_ = errno;
        ::close(fd);
        return false;
    }
    lastError_ = 0;
    fd_ = fd;
    return true;
}

void CSocketLoaderChannel::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool CSocketLoaderChannel::WriteAll(const std::uint8_t* p, std::size_t n, std::uint64_t deadlineMs) {
    while (n > 0) {
        const ssize_t w = ::send(fd_, p, n, MSG_NOSIGNAL);
        if (w > 0) {
            p += w;
            n -= static_cast<std::size_t>(w);
        } else if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!Wait(fd_, POLLOUT, deadlineMs)) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool CSocketLoaderChannel::ReadAll(std::uint8_t* p, std::size_t n, std::uint64_t deadlineMs) {
    while (n > 0) {
        const ssize_t r = ::recv(fd_, p, n, 0);
        if (r > 0) {
            p += r;
            n -= static_cast<std::size_t>(r);
        } else if (r < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!Wait(fd_, POLLIN, deadlineMs)) return false;
        } else {
            return false;  // closed by the loader, or an error
        }
    }
    return true;
}

bool CSocketLoaderChannel::Exchange(const std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& in,
                                    int timeoutMs) {
    in.clear();
    if (fd_ < 0 || out.size() > loader::kMaxMessage) return false;
    const std::uint64_t deadline = SteadyMs() + static_cast<std::uint64_t>(std::max(timeoutMs, 0));
    std::uint8_t length[loader::kLengthPrefix];
    loader::put32(length, static_cast<std::uint32_t>(out.size()));
    bool ok = WriteAll(length, sizeof length, deadline) && WriteAll(out.data(), out.size(), deadline) &&
              ReadAll(length, sizeof length, deadline);
    if (ok) {
        const std::uint32_t n = loader::get32(length);
        if (n > loader::kMaxMessage) {
            platform::debugOutf("Loader: answer of %u bytes refused\n", n);
            ok = false;
        } else {
            in.resize(n);
            ok = ReadAll(in.data(), n, deadline);
        }
    }
    if (!ok) {
        // Cancelled: whatever the loader still sends belongs to no request.
        platform::debugOut("Loader: request failed or timed out\n");
        in.clear();
        Close();
    }
    return ok;
}
