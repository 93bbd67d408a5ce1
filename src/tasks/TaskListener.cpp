#include "tasks/TaskListener.h"

#include <chrono>

#include "platform/core/Debug.h"
#include "platform/core/NamedSync.h"
#include "tasks/Task.h"
#include "tasks/TaskFactory.h"

CDerivedTaskListener::CDerivedTaskListener(platform::Handle notifyWindow)
    : window_(notifyWindow),
      event_(platform::createNamedEvent(kTaskWakeEventName, true, false)),
      mutex_(platform::createNamedMutex(kTaskListMutexName)) {
    event_->reset();
    worker_ = std::make_unique<CThreadCarrier>([this] { return WorkerLoop(); });
    if (worker_->Start() == 0) {
        platform::debugOut("Task queue worker could not be started\n");
        worker_.reset();
    }
}

CDerivedTaskListener::~CDerivedTaskListener() {
    if (worker_) {
        StopAll();
        state_ = kStopping;
        {
            std::lock_guard guard(*mutex_);
            for (auto& task : tasks_) {
                if (task) task->Cancel();
            }
        }
        event_->set();
        worker_->Join();
        worker_.reset();
    }
    // Without a worker nothing was ever started: the tasks go unstarted.
    std::lock_guard guard(*mutex_);
    tasks_.clear();
    pending_ = 0;
}

int CDerivedTaskListener::SetNotifyWindow(platform::Handle window) {
    window_ = window;
    return window != 0 ? 1 : 0;
}

int CDerivedTaskListener::SetDataContainer(IDataContainer* store) {
    store_ = store;
    return store != nullptr ? 1 : 0;
}

int CDerivedTaskListener::SetMicon(CRG1Micon* link) {
    link_ = link;
    return link != nullptr ? 1 : 0;
}

int CDerivedTaskListener::AddTask(std::uint32_t word, const void* record, std::uint32_t size) {
    event_->reset();
    {
        std::lock_guard guard(*mutex_);
        bool created = false;
        ITask* task = CTaskFactory::GetInstance()->CreateTask(word, &created);
        // Only a task the factory has just made joins the list: a second word for the
        // polling or demo task reaches the one already queued.
        if (task != nullptr && created) {
            task->SetNotifyWindow(window_.load());
            task->SetDataContainer(store_.load());
            task->SetMicon(link_.load());
            task->SetParameters(record, size);
            tasks_.emplace_back(task);
            ++pending_;
        }
    }
    event_->set();
    return 1;
}

int CDerivedTaskListener::StopAll() {
    event_->reset();
    {
        std::lock_guard guard(*mutex_);
        for (auto& task : tasks_) {
            if (!task) continue;
            const std::uint32_t kind = task->GetKind();
            if (kind == kTaskPolling || kind == kTaskBldcDemo) task->SetCommand(kStopSingleTasksWord);
        }
    }
    event_->set();
    return 1;
}

std::uint32_t CDerivedTaskListener::WorkerLoop() {
    // Handles of the worker's own, as the queue's may go first at the end.
    auto wake = platform::openNamedEvent(kTaskWakeEventName);
    auto list = platform::openNamedMutex(kTaskListMutexName);
    if (!wake) wake = event_;
    if (!list) list = mutex_;

    std::unique_lock lock(*list);
    do {
        lock.unlock();
        wake->wait();
        lock.lock();
        // Consumed before the walk: whatever changes from here on sets it again, so the
        // worker sleeps between changes instead of cycling through the list.
        wake->reset();
        ++passes_;

        bool orderedAhead = false;
        ITask* driveAhead = nullptr;  // an earlier lens drive that has not ended yet
        for (auto it = tasks_.begin(); it != tasks_.end();) {
            const std::uint32_t kind = (*it)->GetKind();
            const bool ordered = IsOrderedBoardKind(kind);
            // The polling task sets its inputs up from the link's kept tables: it starts
            // once the settings queued before it are on the wire, so its frames carry them.
            bool mayStart = !((ordered || kind == kTaskPolling) && orderedAhead);
            if (kind == kTaskLensSequence && (*it)->GetState() == kTaskCreated && driveAhead != nullptr) {
                // A new drive replaces the one in progress: the earlier drive ends now and
                // sends its stop request, and only then does the new drive begin, so the
                // old stop can never cut the new drive short.
                driveAhead->Cancel();
                mayStart = false;
            }
            const std::uint32_t result = ServiceTask(*it, mayStart);
            if (result == kTaskFinished) {
                it = tasks_.erase(it);
                continue;
            }
            // Order matters only for frames: a later board task waits until this one's
            // frames are out, not until a timed wait of its own has ended.
            if (ordered && !(*it)->HasSentFrames()) orderedAhead = true;
            if (kind == kTaskLensSequence) driveAhead = it->get();
            ++it;
        }
        if (tasks_.empty()) {
            platform::debugOut("\t\t\t\tRunning Task-queue : 0-queue\n");
            NotifyIdle();
        }
    } while (state_.load() == kAccepting || !tasks_.empty());

    lock.unlock();
    wake->reset();
    platform::debugOut("Running Task end\n");
    return 0;
}

std::uint32_t CDerivedTaskListener::ServiceTask(std::unique_ptr<ITask>& entry, bool mayStart) {
    ITask* task = entry.get();
    switch (task->GetState()) {
        case kTaskCreated:
            // A stopping queue starts nothing new; what never started leaves at once.
            if (state_.load() == kStopping) return DeleteTask(entry);
            if (!mayStart) return 0;
            if (task->Start() == 0 && task->GetState() == kTaskFinished) return DeleteTask(entry);
            return 0;
        case kTaskStarted:
            return 0;
        case kTaskRunning:
            return 2;
        default: {
            const CThreadCarrier* thread = task->GetThreadHandle();
            if (thread != nullptr && thread->IsActive()) return 2;
            return DeleteTask(entry);
        }
    }
}

std::uint32_t CDerivedTaskListener::DeleteTask(std::unique_ptr<ITask>& entry) {
    const ITask* task = entry.get();
    // The records are cleared only when they still name this task; a fresh polling or
    // demo task may have taken its place already.
    CTaskFactory::GetInstance()->Forget(task);
    entry.reset();
    platform::debugOut("\t\t\tRunning Task-queue : delete task\n");
    --pending_;
    return kTaskFinished;
}

void CDerivedTaskListener::NotifyIdle() {
    { std::lock_guard guard(idleMutex_); }
    idleCv_.notify_all();
}

bool CDerivedTaskListener::WaitIdle(std::uint32_t timeoutMs) {
    std::unique_lock lock(idleMutex_);
    return idleCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return pending_.load() == 0; });
}
