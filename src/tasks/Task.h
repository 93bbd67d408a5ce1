// A task: one unit of board work made from a task word, run once on a thread of its
// own. `CDerivedTask` keeps the state, the thread, the borrowed board link and data
// store, and thin wrappers around the board link's operations.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "board/Records.h"
#include "platform/core/Clock.h"
#include "platform/core/Handles.h"
#include "tasks/TaskWord.h"
#include "tasks/ThreadCarrier.h"

class CRG1Micon;
class IDataContainer;

namespace platform {
class NamedMutex;
}

// The wire's turn of an ordered board task that was started while the task ahead of it
// still pauses: given when that pause ends, withheld (`go` false) when a cancel cut it
// short or cancels the waiting task. The first word counts. Shared, as either task may
// be deleted first.
class TaskTurn {
public:
    void Give(bool go) {
        {
            std::lock_guard guard(mutex_);
            if (given_) return;
            given_ = true;
            go_ = go;
        }
        cv_.notify_all();
    }
    // Whether the waiting task may do its work.
    bool Wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return given_; });
        return go_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool given_ = false;
    bool go_ = false;
};

class ITask {
public:
    virtual ~ITask() = default;
    virtual std::uint32_t GetKind() const = 0;
    virtual int SetCommand(std::uint32_t word) = 0;
    virtual int SetNotifyWindow(platform::Handle window) = 0;
    virtual int SetDataContainer(IDataContainer* store) = 0;
    virtual int SetMicon(CRG1Micon* link) = 0;
    // The task copies what it accepts; the caller keeps its record.
    virtual int SetParameters(const void* record, std::uint32_t size) = 0;
    virtual CThreadCarrier* GetThreadHandle() const = 0;
    virtual int Start() = 0;
    virtual std::uint32_t GetState() const = 0;
    // Asks the task to end its work early: a waiting task stops waiting and does what
    // it must to leave the board safe. The queue calls it when it shuts down.
    virtual void Cancel() = 0;
    // True once the task has put on the wire the frames that later board tasks must
    // follow; a task in a timed wait says so before it waits, so it holds back no one.
    virtual bool HasSentFrames() const = 0;
    // A pause after the task's work, before it counts as having sent its frames: later
    // ordered board tasks and fences wait it out. Cancel ends it at once.
    virtual int SetPause(std::uint32_t ms) = 0;
    // While the task sits in that pause, a later ordered task may start at once and wait
    // for `turn`, which this task gives as its pause ends: the later task's thread is made
    // during the pause and its frames still follow it. False when the task is not in its
    // pause (the later task then starts once this one has sent its frames).
    virtual bool GiveTurnAfterPause(std::shared_ptr<TaskTurn> turn) = 0;
    // Before Start: the task waits for `turn` before its work. Cancelled meanwhile, or
    // behind a pause that a cancel cut short, it does no work, as a task that a stopping
    // queue never started.
    virtual void WaitForTurn(std::shared_ptr<TaskTurn> turn) = 0;
};

class CDerivedTask : public ITask {
public:
    explicit CDerivedTask(std::uint32_t word);
    ~CDerivedTask() override;

    CDerivedTask(const CDerivedTask&) = delete;
    CDerivedTask& operator=(const CDerivedTask&) = delete;

    std::uint32_t GetKind() const override { return taskword::Kind(word_.load()); }
    int SetCommand(std::uint32_t word) override;
    int SetNotifyWindow(platform::Handle window) override;
    int SetDataContainer(IDataContainer* store) override;
    int SetMicon(CRG1Micon* link) override;
    int SetParameters(const void* record, std::uint32_t size) override;
    CThreadCarrier* GetThreadHandle() const override { return carrier_.get(); }
    int Start() override;
    std::uint32_t GetState() const override { return state_.load(); }
    void Cancel() override;
    bool HasSentFrames() const override { return framesSent_.load(); }
    int SetPause(std::uint32_t ms) override {
        pauseMs_ = ms;
        return 1;
    }
    bool GiveTurnAfterPause(std::shared_ptr<TaskTurn> turn) override;
    void WaitForTurn(std::shared_ptr<TaskTurn> turn) override;

    std::uint32_t GetWord() const { return word_.load(); }
    std::uint32_t GetArgumentA() const { return argA_.load(); }
    std::uint32_t GetArgumentB() const { return argB_.load(); }
    platform::Handle GetNotifyWindow() const { return window_.load(); }
    bool IsCancelled() const { return cancel_.raised(); }

    // The work; runs on the task's own thread. The base does nothing.
    virtual int Run() { return 0; }

    // --- board link wrappers (0 without a board link) ---
    virtual int SetPwmFrequency(int channel, PwmChannelRecord* record, int send);
    virtual int SetPwm(int channel, double frequency, double value, int send);
    virtual int WritePort(int port, int direction, int level, int send);
    virtual int SetAdcChannel(int channel, int enable, int send);
    virtual int SetInterruptInput(int item, int mode, int send);
    virtual int ReadPort(int port, int send);
    virtual int ReadAdc(int channel, int send);
    virtual int ReadInterruptFlag(int item, int send);
    virtual int ReadMeasuredValue();
    virtual int ReadAdcValue(int channel, int send);
    // Items 1-3: the interrupt flag, or when it is clear, whether the item's port (18,
    // 19, 20) reads the expected level; the readings go to the debug output.
    virtual int CheckInterruptTraced(int item, int expected, int send);
    // Items 1-3: the interrupt flag, or when it is clear, 1 minus the item's port level.
    virtual int CheckInterrupt(int item, int send);

protected:
    CRG1Micon* Micon() const { return link_.load(); }
    IDataContainer* DataContainer() const { return store_.load(); }
    platform::NamedMutex& SharedMutex() const { return *sharedMutex_; }
    // Waits for the task's thread. Every class that overrides Run calls it first thing
    // in its destructor, so that Run never outlives the members it uses.
    void JoinThread();
    // A timed wait that sleeps until the process clock reaches deadlineUs; true when
    // Cancel ended it first.
    bool WaitCancellableUntilUs(std::uint64_t deadlineUs) { return cancel_.waitUntilUs(deadlineUs); }
    // Called by a Run that goes on waiting after its frames are out; the end of Run
    // counts as it in any case.
    void MarkFramesSent();

private:
    std::uint32_t ThreadRoutine();

    std::atomic<CRG1Micon*> link_{nullptr};
    std::unique_ptr<CThreadCarrier> carrier_;
    std::atomic<IDataContainer*> store_{nullptr};
    std::atomic<std::uint32_t> state_{kTaskCreated};
    std::atomic<platform::Handle> window_{0};
    std::shared_ptr<platform::NamedMutex> sharedMutex_;
    std::atomic<std::uint32_t> word_;
    std::atomic<std::uint32_t> argA_;
    std::atomic<std::uint32_t> argB_;
    platform::CancelSignal cancel_;
    std::atomic<bool> framesSent_{false};
    std::atomic<std::uint32_t> pauseMs_{0};
    // The turn this task waits for, and the one it gives when its pause ends.
    std::mutex turnMutex_;
    std::shared_ptr<TaskTurn> turn_;      // under turnMutex_
    std::shared_ptr<TaskTurn> nextTurn_;  // under turnMutex_
    bool pausing_ = false;                // under turnMutex_
};
