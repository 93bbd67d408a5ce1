// The owner of one worker thread. Every thread the engine creates itself (each task's,
// the queue's worker) is started through a carrier, which also keeps the thread's exit
// code so that the queue can tell a finished thread from one still running.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class CThreadCarrier {
public:
    using Routine = std::function<std::uint32_t()>;
    using ExitHook = std::function<void()>;
    // `routine` is the thread's body, its result the exit code. `onExit` runs on the
    // thread as its very last act, after the exit code is readable.
    explicit CThreadCarrier(Routine routine, ExitHook onExit = {});
    virtual ~CThreadCarrier();  // joins

    CThreadCarrier(const CThreadCarrier&) = delete;
    CThreadCarrier& operator=(const CThreadCarrier&) = delete;

    // A non-zero id for the new thread; 0 when a thread is already held or the system
    // refused to create one.
    std::uint64_t Start();
    // Waits for the thread, lets go of it and returns its exit code; kStillActive when
    // no thread is held (nothing to wait for).
    std::uint32_t Join();
    // kStillActive while the thread runs, else the exit code of the last thread (0
    // before any).
    std::uint32_t GetExitCode() const;
    bool IsActive() const { return GetExitCode() == kStillActiveCode; }
    bool HasThread() const;
    std::uint64_t GetThreadId() const { return id_.load(); }
    bool IsCurrentThread() const;

private:
    static constexpr std::uint32_t kStillActiveCode = 259;

    void ThreadMain();

    Routine routine_;
    ExitHook onExit_;
    mutable std::mutex mutex_;  // guards thread_
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<std::uint32_t> exitCode_{0};
    std::atomic<std::uint64_t> id_{0};
    std::atomic<std::thread::id> nativeId_{};
};
