// One running instance per settings folder: a lock file beside the settings file, and
// a local socket through which a second start asks the first to come to the front.
//
// The lock is an flock on the lock file: the kernel drops it when its process ends,
// however it ends, so a killed instance never leaves a stale lock. The file is private
// to its user (0600), so no other account can open it and hold the lock.
//
// The socket lives in the abstract namespace, so a killed instance leaves no socket
// file behind. Its name carries the user id, and both ends check the other's
// credentials (SO_PEERCRED): only the same user is served or believed. Serving runs
// on the GUI thread and never waits there: each wake-up accepts a bounded number of
// clients, reads what they have sent without blocking, and a client that stays silent
// is dropped after a while.
#pragma once

#include <QString>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;

class CSingleInstance {
public:
    enum class Result {
        First,           // the lock is ours
        AlreadyRunning,  // another live instance holds it
        Unguarded,       // the lock file cannot be made (a folder we may not write)
    };

    // Most clients accepted per wake-up, most clients held at once, and how long a
    // client may take to send its request.
    static constexpr int kAcceptsPerWake = 8;
    static constexpr std::size_t kMaxClients = 16;
    static constexpr std::chrono::milliseconds kClientTimeout{1000};

    explicit CSingleInstance(std::filesystem::path lockPath);
    ~CSingleInstance();  // stops listening and releases the lock
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    Result Acquire();
    // Listens for requests of later starts; `onShow` runs on the GUI thread for each.
    bool Listen(std::function<void()> onShow);
    // Asks the running instance to come to the front; false when none of this user
    // answered.
    bool RequestShow(int timeoutMs = 2000) const;
    void Release();

    const std::filesystem::path& LockPath() const { return lockPath_; }
    // The socket's name: fixed for a lock file and a user, different for another.
    static QString ServerName(const std::filesystem::path& lockPath);
    // Clients accepted and not yet answered or dropped.
    std::size_t PendingClients() const { return clients_.size(); }

private:
    struct Client;
    void AcceptPending();
    void ReadClient(int fd);
    void DropExpired();
    void DropClient(int fd);

    std::filesystem::path lockPath_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QTimer> sweep_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::function<void()> onShow_;
};
