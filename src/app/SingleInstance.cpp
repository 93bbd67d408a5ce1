#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <memory>
#include <system_error>

#include "platform/core/Debug.h"

namespace {

constexpr const char* kShowRequest = "show\n";

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
    lock_ = std::make_unique<QLockFile>(QString::fromStdString(lockPath_.string()));
    // A running instance holds its lock for as long as it runs; only a dead owner
    // makes a lock stale, never its age.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) return Result::First;
    const QLockFile::LockError error = lock_->error();
    lock_.reset();
    if (error == QLockFile::LockFailedError) return Result::AlreadyRunning;
    platform::debugOutf("Tamsiro: cannot create the instance lock %s; running without it\n", lockPath_.c_str());
    return Result::Unguarded;
}

bool CSingleInstance::Listen(std::function<void()> onShow) {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    QLocalServer* server = server_.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server, onShow] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            // Reads until the request is complete or the peer has gone; each
            // connection asks once.
            struct Request {
                QByteArray seen;
                bool answered = false;
            };
            auto request = std::make_shared<Request>();
            auto check = [socket, request, onShow] {
                if (request->answered) return;
                request->seen += socket->readAll();
                if (request->seen.contains(kShowRequest)) {
                    request->answered = true;
                    if (onShow) onShow();
                }
            };
            QObject::connect(socket, &QLocalSocket::readyRead, socket, check);
            QObject::connect(socket, &QLocalSocket::disconnected, socket, [socket, check] {
                check();
                socket->deleteLater();
            });
            if (socket->bytesAvailable() > 0) check();
        }
    });
    if (!server_->listen(ServerName(lockPath_))) {
        platform::debugOutf("Tamsiro: cannot listen for later starts: %s\n",
                            server_->errorString().toUtf8().constData());
        server_.reset();
        return false;
    }
    return true;
}

bool CSingleInstance::RequestShow(int timeoutMs) const {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(ServerName(lockPath_));
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kShowRequest);
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return written;
}

void CSingleInstance::Release() {
    if (server_) {
        server_->close();
        server_.reset();
    }
    if (lock_) {
        lock_->unlock();
        lock_.reset();
    }
}
