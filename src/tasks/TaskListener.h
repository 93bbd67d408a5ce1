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
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/core/Handles.h"
#include "tasks/ThreadCarrier.h"

class CRG1Micon;
class IDataContainer;
class ITask;

namespace platform {
class NamedEvent;
class NamedMutex;
}  // namespace platform

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
    // As AddTask, with a pause after the task's work (the board's pacing): no later
    // ordered board task nor the polling starts, and no fence counts the task done, until
    // `pauseMs` after it. A stopping queue ends the pause at once.
    virtual int AddPacedTask(std::uint32_t word, const void* record, std::uint32_t size, std::uint32_t pauseMs) = 0;
    // Tells the queued polling and demo tasks to stop.
    virtual int StopAll() = 0;
    // True once every task queued before the call has finished, or for a task in a timed
    // wait (a lens drive), once its frames are on the wire. Tasks queued after the call,
    // and the polling and demo tasks (which run until told to stop), do not count.
    // False when `timeoutMs` (real ms) runs out first, said in the trace with what was
    // still unfinished, or when the queue stops before those tasks are done.
    virtual bool Fence(std::uint32_t timeoutMs) = 0;
    // The fence without the wait: posts `message` (wParam `w`) to `window` once every task
    // queued before the call has finished, as Fence counts them. 0 when they have already,
    // or when the queue is stopping (nothing is posted either way: the caller runs or drops
    // its work now); 1 when the message will come. A notice promised before the queue
    // stops is posted as it stops, whether or not those tasks ran.
    virtual int PostWhenDone(platform::Handle window, std::uint32_t message, std::uintptr_t w) = 0;
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
    int AddPacedTask(std::uint32_t word, const void* record, std::uint32_t size, std::uint32_t pauseMs) override;
    int StopAll() override;
    bool Fence(std::uint32_t timeoutMs) override;
    int PostWhenDone(platform::Handle window, std::uint32_t message, std::uintptr_t w) override;

    // The worker thread's body.
    std::uint32_t WorkerLoop();

    // Tasks in the list (queued, running or finished but not yet deleted).
    std::size_t PendingTasks() const { return pending_.load(); }
    // Waits until the list is empty; false when it was not within the time (real ms).
    // A running polling or demo task keeps the list from emptying: see Fence.
    bool WaitIdle(std::uint32_t timeoutMs);
    // How often the worker has walked the list: it walks only when something changed.
    std::uint64_t WorkerPasses() const { return passes_.load(); }
    // Tasks the worker has started so far.
    std::uint64_t TasksStarted() const { return started_.load(); }
    // Fence calls waiting now.
    int FencesWaiting() const { return fenceWaiters_.load(); }

private:
    // A queued task with its number in the order of queuing.
    struct Entry {
        std::unique_ptr<ITask> task;
        std::uint64_t number = 0;
    };
    using TaskList = std::list<Entry>;

    // One pass over a task: 0 not started yet, 2 still running, 3 deleted (the entry is
    // then empty). `mayStart` is false while an earlier ordered board task has frames to send.
    // A task that may start is added to `toStart`: its thread is made once the list is
    // unlocked, so a GUI thread queueing work never waits behind a thread's creation.
    std::uint32_t ServiceTask(Entry& entry, bool mayStart, std::vector<ITask*>& toStart);
    std::uint32_t DeleteTask(Entry& entry);
    void NotifyIdle();
    // The task numbered so has gone; fences waiting for it are told.
    void Finished(std::uint64_t number);
    // Ends every fence wait at once (the queue is stopping) and waits until none is left.
    void ReleaseFences();

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
    std::atomic<std::uint64_t> started_{0};
    std::mutex idleMutex_;
    std::condition_variable idleCv_;

    // Fences: every task gets the next number; the one-shot tasks not yet deleted are
    // kept by number with their kind. Guarded by fenceMutex_ (taken after the list's).
    std::mutex fenceMutex_;
    std::condition_variable fenceCv_;
    std::uint64_t nextNumber_ = 0;
    std::map<std::uint64_t, std::uint32_t> unfinished_;
    std::atomic<int> fenceWaiters_{0};  // changed under fenceMutex_
    // Messages to post once the tasks numbered below `fence` are done; under fenceMutex_.
    struct Notice {
        std::uint64_t fence;
        platform::Handle window;
        std::uint32_t message;
        std::uintptr_t w;
    };
    std::vector<Notice> notices_;
    bool DoneBelow(std::uint64_t fence) const;  // under fenceMutex_
};
