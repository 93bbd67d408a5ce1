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
    StopAll();
    state_ = kStopping;
    // A fence waiting now ends at once: the tasks it waits for may never run.
    ReleaseFences();
    if (worker_) {
        {
            std::lock_guard guard(*mutex_);
            for (auto& entry : tasks_) {
                if (entry.task) entry.task->Cancel();
            }
        }
        event_->set();
        worker_->Join();
        worker_.reset();
    }
    // Without a worker nothing was ever started: the tasks go unstarted.
    std::lock_guard guard(*mutex_);
    for (auto& entry : tasks_) {
        if (entry.task) Finished(entry.number);
    }
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
    return AddPacedTask(word, record, size, 0);
}

int CDerivedTaskListener::AddPacedTask(std::uint32_t word, const void* record, std::uint32_t size,
                                       std::uint32_t pauseMs) {
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
            task->SetPause(pauseMs);
            const std::uint32_t kind = task->GetKind();
            std::uint64_t number = 0;
            {
                std::lock_guard fences(fenceMutex_);
                number = nextNumber_++;
                // The polling and demo tasks run until told to stop: no fence waits for them.
                if (kind != kTaskPolling && kind != kTaskBldcDemo) unfinished_.emplace(number, kind);
            }
            tasks_.push_back(Entry{std::unique_ptr<ITask>(task), number});
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
        for (auto& entry : tasks_) {
            if (!entry.task) continue;
            const std::uint32_t kind = entry.task->GetKind();
            if (kind == kTaskPolling || kind == kTaskBldcDemo) entry.task->SetCommand(kStopSingleTasksWord);
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
    std::vector<ITask*> toStart;
    do {
        lock.unlock();
        wake->wait();
        lock.lock();
        // Consumed before the walk: whatever changes from here on sets it again, so the
        // worker sleeps between changes instead of cycling through the list.
        wake->reset();
        ++passes_;

        int orderedAhead = 0;          // earlier ordered board tasks with frames to send
        ITask* lastOrdered = nullptr;  // the latest of them
        ITask* driveAhead = nullptr;   // an earlier lens drive that has not ended yet
        for (auto it = tasks_.begin(); it != tasks_.end();) {
            const std::uint32_t kind = it->task->GetKind();
            const bool ordered = IsOrderedBoardKind(kind);
            // The polling task sets its inputs up from the link's kept tables: it starts
            // once the settings queued before it are on the wire, so its frames carry them.
            bool mayStart = !((ordered || kind == kTaskPolling) && orderedAhead != 0);
            if (!mayStart && ordered && kind != kTaskLensSequence && orderedAhead == 1 &&
                it->task->GetState() == kTaskCreated && state_.load() != kStopping) {
                // The one task ahead is in its pause: this task's thread is made now, during
                // that pause, and waits for the turn that the pause's end gives it.
                auto turn = std::make_shared<TaskTurn>();
                if (lastOrdered->GiveTurnAfterPause(turn)) {
                    it->task->WaitForTurn(std::move(turn));
                    mayStart = true;
                }
            }
            if (kind == kTaskLensSequence && it->task->GetState() == kTaskCreated && driveAhead != nullptr) {
                // A new drive replaces the one in progress: the earlier drive ends now and
                // sends its stop request, and only then does the new drive begin, so the
                // old stop can never cut the new drive short.
                driveAhead->Cancel();
                mayStart = false;
            }
            const std::uint32_t result = ServiceTask(*it, mayStart, toStart);
            if (result == kTaskFinished) {
                it = tasks_.erase(it);
                continue;
            }
            // Order matters only for frames: a later board task waits until this one's
            // frames are out, not until a timed wait of its own has ended. A fence waits
            // no longer either: a page's close must not sit out a lens drive's time.
            if (it->task->HasSentFrames()) {
                Finished(it->number);
            } else if (ordered) {
                ++orderedAhead;
                lastOrdered = it->task.get();
            }
            if (kind == kTaskLensSequence) driveAhead = it->task.get();
            ++it;
        }
        if (!toStart.empty()) {
            // Only this worker deletes tasks, so the pointers stay good while unlocked.
            lock.unlock();
            bool refused = false;
            for (ITask* task : toStart) {
                if (state_.load() == kStopping) continue;
                ++started_;
                if (task->Start() == 0) refused = true;
            }
            toStart.clear();
            lock.lock();
            // A task whose thread could not be made has finished: the next walk deletes it.
            if (refused) wake->set();
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

std::uint32_t CDerivedTaskListener::ServiceTask(Entry& entry, bool mayStart, std::vector<ITask*>& toStart) {
    ITask* task = entry.task.get();
    switch (task->GetState()) {
        case kTaskCreated:
            // A stopping queue starts nothing new; what never started leaves at once.
            if (state_.load() == kStopping) return DeleteTask(entry);
            if (mayStart) toStart.push_back(task);
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

std::uint32_t CDerivedTaskListener::DeleteTask(Entry& entry) {
    const ITask* task = entry.task.get();
    // The records are cleared only when they still name this task; a fresh polling or
    // demo task may have taken its place already.
    CTaskFactory::GetInstance()->Forget(task);
    entry.task.reset();
    platform::debugOut("\t\t\tRunning Task-queue : delete task\n");
    --pending_;
    Finished(entry.number);
    return kTaskFinished;
}

bool CDerivedTaskListener::DoneBelow(std::uint64_t fence) const {
    return unfinished_.empty() || unfinished_.begin()->first >= fence;
}

void CDerivedTaskListener::Finished(std::uint64_t number) {
    {
        std::lock_guard guard(fenceMutex_);
        if (unfinished_.erase(number) == 0) return;
        // Posting never blocks, so it is done here, in the order the notices were asked for;
        // also as the queue stops, when every task left is finished unstarted or ended: a
        // notice promised is a notice sent.
        std::size_t kept = 0;
        for (const Notice& n : notices_) {
            if (DoneBelow(n.fence))
                platform::post(n.window, n.message, n.w, 0);
            else
                notices_[kept++] = n;
        }
        notices_.resize(kept);
    }
    fenceCv_.notify_all();
}

int CDerivedTaskListener::PostWhenDone(platform::Handle window, std::uint32_t message, std::uintptr_t w) {
    std::lock_guard guard(fenceMutex_);
    // A stopping queue promises nothing: the tasks may never run, so the caller decides at
    // once (runs its work or drops it) instead of waiting for a message that never comes.
    if (state_.load() == kStopping || DoneBelow(nextNumber_)) return 0;
    notices_.push_back(Notice{nextNumber_, window, message, w});
    return 1;
}

void CDerivedTaskListener::ReleaseFences() {
    { std::lock_guard guard(fenceMutex_); }  // a fence between its check and its wait gets the wake
    fenceCv_.notify_all();
    std::unique_lock lock(fenceMutex_);
    fenceCv_.wait(lock, [this] { return fenceWaiters_ == 0; });
}

bool CDerivedTaskListener::Fence(std::uint32_t timeoutMs) {
    std::unique_lock lock(fenceMutex_);
    const std::uint64_t fence = nextNumber_;  // the tasks numbered below it count
    const auto earlierDone = [&] { return DoneBelow(fence); };
    ++fenceWaiters_;
    fenceCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return earlierDone() || state_.load() == kStopping; });
    const bool done = earlierDone();
    if (!done) {
        std::size_t left = 0;
        for (auto it = unfinished_.begin(); it != unfinished_.end() && it->first < fence; ++it) ++left;
        const std::uint32_t firstKind = unfinished_.begin()->second;
        if (state_.load() == kStopping) {
            platform::debugOutf(
                "Task queue fence: the queue stops with %zu task(s) queued before the fence unfinished "
                "(the first of kind %u)\n",
                left, firstKind);
        } else {
            platform::debugOutf(
                "Task queue fence: %zu task(s) queued before the fence still unfinished after %u ms "
                "(the first of kind %u)\n",
                left, timeoutMs, firstKind);
        }
    }
    // The last fence to leave a stopping queue lets its destructor go on.
    if (--fenceWaiters_ == 0) fenceCv_.notify_all();
    return done;
}

void CDerivedTaskListener::NotifyIdle() {
    { std::lock_guard guard(idleMutex_); }
    idleCv_.notify_all();
}

bool CDerivedTaskListener::WaitIdle(std::uint32_t timeoutMs) {
    std::unique_lock lock(idleMutex_);
    return idleCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return pending_.load() == 0; });
}
