// The task queue: the one place where board work passes from the GUI thread to worker
// threads. It owns the queued tasks and a worker thread that starts them and deletes
// them once they have finished. "TaskRunningMutex" guards the list; the worker sleeps
// on "TaskRunningEvents", which new work, a stop and every finishing task set.
//
// The sync objects are named, so there is one queue per process at a time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>

#include "platform/core/Handles.h"
#include "tasks/ThreadCarrier.h"

class CRG1Micon;
class IDataContainer;
class ITask;

namespace platform {
class NamedEvent;
class NamedMutex;
}

class ITaskListener {
public:
    virtual ~ITaskListener() = default;
    // Each setter changes what tasks queued afterwards get; queued tasks keep theirs.
    virtual int SetNotifyWindow(platform::Handle window) = 0;
    virtual int SetDataContainer(IDataContainer* store) = 0;
    virtual int SetMicon(CRG1Micon* link) = 0;
    // Submits a task word with its argument record, which the task copies. Words of a
    // kind without a task class queue nothing; the result is 1 either way.
    virtual int AddTask(std::uint32_t word, const void* record, std::uint32_t size) = 0;
    // Tells the queued polling and demo tasks to stop.
    virtual int StopAll() = 0;
};

class CDerivedTaskListener final : public ITaskListener {
public:
    static constexpr std::uint32_t kAccepting = 2;
    static constexpr std::uint32_t kStopping = 3;

    explicit CDerivedTaskListener(platform::Handle notifyWindow = 0);
    // Stops the polling and demo tasks, cancels waits, drops tasks not yet started, and
    // returns once every started task has finished and been deleted.
    ~CDerivedTaskListener() override;

    CDerivedTaskListener(const CDerivedTaskListener&) = delete;
    CDerivedTaskListener& operator=(const CDerivedTaskListener&) = delete;

    int SetNotifyWindow(platform::Handle window) override;
    int SetDataContainer(IDataContainer* store) override;
    int SetMicon(CRG1Micon* link) override;
    int AddTask(std::uint32_t word, const void* record, std::uint32_t size) override;
    int StopAll() override;

    // The worker thread's body.
    std::uint32_t WorkerLoop();

    // Tasks in the list (queued, running or finished but not yet deleted).
    std::size_t PendingTasks() const { return pending_.load(); }
    // Waits until the list is empty; false when it was not within the time (real ms).
    bool WaitIdle(std::uint32_t timeoutMs);
    // How often the worker has walked the list: it walks only when something changed.
    std::uint64_t WorkerPasses() const { return passes_.load(); }

private:
    using TaskList = std::list<std::unique_ptr<ITask>>;

    // One pass over a task: 0 not started yet, 2 still running, 3 deleted (the entry is
    // then empty). `mayStart` is false while an earlier ordered board task has frames to send.
    std::uint32_t ServiceTask(std::unique_ptr<ITask>& entry, bool mayStart);
    std::uint32_t DeleteTask(std::unique_ptr<ITask>& entry);
    void NotifyIdle();

    std::atomic<std::uint32_t> state_{kAccepting};
    std::atomic<CRG1Micon*> link_{nullptr};
    std::atomic<IDataContainer*> store_{nullptr};
    std::unique_ptr<CThreadCarrier> worker_;
    TaskList tasks_;  // guarded by mutex_
    std::atomic<platform::Handle> window_;
    std::shared_ptr<platform::NamedEvent> event_;
    std::shared_ptr<platform::NamedMutex> mutex_;

    std::atomic<std::size_t> pending_{0};
    std::atomic<std::uint64_t> passes_{0};
    std::mutex idleMutex_;
    std::condition_variable idleCv_;
};
