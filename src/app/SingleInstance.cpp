#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <system_error>
#include <unistd.h>

#include "platform/core/Debug.h"

namespace {

constexpr char kShowRequest[] = "show\n";

// An address in the abstract namespace (a leading NUL): no file, gone with its owner.
socklen_t AbstractAddress(const QString& name, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const QByteArray bytes = name.toUtf8();
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(bytes.size()), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, bytes.constData(), n);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        return n > 0 && (p.revents & events) != 0;
    }
}

}  // namespace

CSingleInstance::CSingleInstance(std::filesystem::path lockPath) : lockPath_(std::move(lockPath)) {}

CSingleInstance::~CSingleInstance() { Release(); }

QString CSingleInstance::ServerName(const std::filesystem::path& lockPath) {
    const QByteArray path = QByteArray::fromStdString(std::filesystem::absolute(lockPath).lexically_normal().string());
    const QByteArray digest = QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("Tamsiro_GUI-") + QString::fromLatin1(digest);
}

CSingleInstance::Result CSingleInstance::Acquire() {
    std::error_code ec;
    std::filesystem::create_directories(lockPath_.parent_path(), ec);
    const int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        platform::debugOutf("Tamsiro: cannot create the instance lock %s (%s); running without it\n", lockPath_.c_str(),
                            std::strerror(errno));
        return Result::Unguarded;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) return Result::AlreadyRunning;
        platform::debugOutf("Tamsiro: cannot lock %s (%s); running without it\n", lockPath_.c_str(), std::strerror(err));
        return Result::Unguarded;
    }
    lockFd_ = fd;
    return Result::First;
}

bool CSingleInstance::Listen(std::function<void()> onShow) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address;
    const socklen_t length = AbstractAddress(ServerName(lockPath_), address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 4) != 0) {
        platform::debugOutf("Tamsiro: cannot listen for later starts: %s\n", std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return false;
    }
    listenFd_ = fd;
    onShow_ = std::move(onShow);
    notifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { AcceptPending(); });
    return true;
}

void CSingleInstance::AcceptPending() {
    for (;;) {
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        // A later start writes one short request and waits for nothing back; a peer
        // that connects and says nothing is dropped after a short wait.
        char buffer[16] = {};
        std::size_t got = 0;
        while (got < sizeof kShowRequest - 1 && WaitFor(client, POLLIN, 200)) {
            const ssize_t n = ::read(client, buffer + got, sizeof buffer - 1 - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        ::close(client);
        if (std::strstr(buffer, kShowRequest) != nullptr && onShow_) onShow_();
    }
}

bool CSingleInstance::RequestShow(int timeoutMs) const {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address;
    const socklen_t length = AbstractAddress(ServerName(lockPath_), address);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 ||
              (errno == EINPROGRESS && WaitFor(fd, POLLOUT, timeoutMs));
    if (ok) {
        const ssize_t n = ::write(fd, kShowRequest, sizeof kShowRequest - 1);
        ok = n == static_cast<ssize_t>(sizeof kShowRequest - 1);
    }
    ::close(fd);
    return ok;
}

void CSingleInstance::Release() {
    notifier_.reset();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
    }
    if (lockFd_ >= 0) {
        ::flock(lockFd_, LOCK_UN);
        ::close(lockFd_);
        lockFd_ = -1;
    }
}
