// One running instance per settings folder: a lock file beside the settings file, and
// a local socket through which a second start asks the first to come to the front.
//
// The lock is an flock on the lock file: the kernel drops it when its process ends,
// however it ends, so a killed instance never leaves a stale lock. The socket lives in
// the abstract namespace, so a killed instance leaves no socket file behind either.
#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <memory>

class QSocketNotifier;

class CSingleInstance {
public:
    enum class Result {
        First,           // the lock is ours
        AlreadyRunning,  // another live instance holds it
        Unguarded,       // the lock file cannot be made (a folder we may not write)
    };

    explicit CSingleInstance(std::filesystem::path lockPath);
    ~CSingleInstance();  // stops listening and releases the lock
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    Result Acquire();
    // Listens for requests of later starts; `onShow` runs on the GUI thread for each.
    bool Listen(std::function<void()> onShow);
    // Asks the running instance to come to the front; false when none answered.
    bool RequestShow(int timeoutMs = 2000) const;
    void Release();

    const std::filesystem::path& LockPath() const { return lockPath_; }
    // The socket's name: fixed for a lock file, different for another.
    static QString ServerName(const std::filesystem::path& lockPath);

private:
    void AcceptPending();

    std::filesystem::path lockPath_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> onShow_;
};
