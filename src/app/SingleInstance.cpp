#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <unistd.h>

#include "platform/core/Debug.h"

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr std::size_t kRequestLength = sizeof kShowRequest - 1;

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

// Whether the process at the other end of a connected socket runs as this user.
bool SameUser(int fd) {
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && length == sizeof peer &&
           peer.uid == ::getuid();
}

}  // namespace

struct CSingleInstance::Client {
    int fd = -1;
    std::chrono::steady_clock::time_point deadline;
    std::string received;
    std::unique_ptr<QSocketNotifier> notifier;
};

CSingleInstance::CSingleInstance(std::filesystem::path lockPath) : lockPath_(std::move(lockPath)) {}

CSingleInstance::~CSingleInstance() { Release(); }

QString CSingleInstance::ServerName(const std::filesystem::path& lockPath) {
    QByteArray key = QByteArray::fromStdString(std::filesystem::absolute(lockPath).lexically_normal().string());
    key += '\0';
    key += QByteArray::number(static_cast<qulonglong>(::getuid()));
    const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("Tamsiro_GUI-") + QString::fromLatin1(digest);
}

CSingleInstance::Result CSingleInstance::Acquire() {
    std::error_code ec;
    std::filesystem::create_directories(lockPath_.parent_path(), ec);
    const int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        platform::debugOutf("Tamsiro: cannot create the instance lock %s (%s); running without it\n", lockPath_.c_str(),
                            std::strerror(errno));
        return Result::Unguarded;
    }
    // A lock file left by an older version may be readable by others, and any
    // descriptor, a read-only one too, can take the lock.
    struct stat st{};
    if (::fstat(fd, &st) == 0 && st.st_uid == ::getuid() && (st.st_mode & 0777) != 0600) ::fchmod(fd, 0600);
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
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 8) != 0) {
        platform::debugOutf("Tamsiro: cannot listen for later starts: %s\n", std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return false;
    }
    listenFd_ = fd;
    onShow_ = std::move(onShow);
    notifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { AcceptPending(); });
    sweep_ = std::make_unique<QTimer>();
    sweep_->setInterval(static_cast<int>(kClientTimeout.count() / 4));
    QObject::connect(sweep_.get(), &QTimer::timeout, [this] { DropExpired(); });
    return true;
}

void CSingleInstance::AcceptPending() {
    // A bounded number per wake-up: the notifier fires again while more are waiting.
    for (int i = 0; i < kAcceptsPerWake; ++i) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        if (!SameUser(fd)) {
            platform::debugOut("Tamsiro: refused a request from another user\n");
            ::close(fd);
            continue;
        }
        // The oldest has had the longest to speak: it makes room for the newest.
        if (clients_.size() >= kMaxClients) DropClient(clients_.front()->fd);
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->deadline = std::chrono::steady_clock::now() + kClientTimeout;
        client->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(client->notifier.get(), &QSocketNotifier::activated, [this, fd] { ReadClient(fd); });
        clients_.push_back(std::move(client));
        if (!sweep_->isActive()) sweep_->start();
        // What a later start sends usually arrives with the connection.
        ReadClient(fd);
    }
}

void CSingleInstance::ReadClient(int fd) {
    auto it = std::find_if(clients_.begin(), clients_.end(), [fd](const auto& c) { return c->fd == fd; });
    if (it == clients_.end()) return;
    Client& client = **it;
    char buffer[16];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n > 0) client.received.append(buffer, static_cast<std::size_t>(n));
    const bool asked = client.received.find(kShowRequest) != std::string::npos;
    // Answered, ended, or more than a request: done with this client either way.
    if (asked || n <= 0 || client.received.size() >= 2 * kRequestLength) {
        DropClient(fd);
        if (asked && onShow_) onShow_();
    }
}

void CSingleInstance::DropExpired() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<int> expired;
    for (const auto& c : clients_) {
        if (c->deadline <= now) expired.push_back(c->fd);
    }
    for (int fd : expired) DropClient(fd);
    if (clients_.empty() && sweep_) sweep_->stop();
}

void CSingleInstance::DropClient(int fd) {
    auto it = std::find_if(clients_.begin(), clients_.end(), [fd](const auto& c) { return c->fd == fd; });
    if (it == clients_.end()) return;
    // The notifier goes before its descriptor is closed.
    std::unique_ptr<Client> client = std::move(*it);
    clients_.erase(it);
    client->notifier.reset();
    ::close(client->fd);
}

bool CSingleInstance::RequestShow(int timeoutMs) const {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address;
    const socklen_t length = AbstractAddress(ServerName(lockPath_), address);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 ||
              (errno == EINPROGRESS && WaitFor(fd, POLLOUT, timeoutMs));
    // Anyone may bind a name in the abstract namespace: only our own user's instance
    // is told anything.
    if (ok && !SameUser(fd)) {
        platform::debugOut("Tamsiro: the instance socket belongs to another user\n");
        ok = false;
    }
    if (ok) {
        const ssize_t n = ::send(fd, kShowRequest, kRequestLength, MSG_NOSIGNAL);
        ok = n == static_cast<ssize_t>(kRequestLength);
    }
    ::close(fd);
    return ok;
}

void CSingleInstance::Release() {
    while (!clients_.empty()) DropClient(clients_.front()->fd);
    sweep_.reset();
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
