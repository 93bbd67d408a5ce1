// A one-shot millisecond timer that re-arms itself after every tick: the first tick
// comes after the period, every later one after the period less the time the tick took,
// but never sooner than 50 ms. A tick calls the callback or, when there is none or it
// declines, posts the owner's message to the target window.
//
// Each timer waits on a thread of its own, on the process clock (platform::currentClock).
// Under the system clock it sleeps on a condition variable until the deadline; under any
// other clock (tests) it sleeps on that clock in 1 ms steps, so a ManualClock's time
// runs exactly as fast as the timer waits and ticks land on exact clock times.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/core/Handles.h"

// Returns non-zero when it handled the tick (then no message is posted).
using TimerCallback = std::function<int(platform::Handle)>;

class ITimer {
public:
    virtual ~ITimer() = default;
    virtual int Start(std::uint32_t periodMs, TimerCallback callback = {}) = 0;
    virtual int Stop() = 0;
    virtual int SetPeriod(std::uint32_t periodMs) = 0;
    virtual int SetRepeat(std::uint32_t repeat) = 0;
    virtual std::uint32_t IsRunning() const = 0;
    virtual ITimer* SetWindow(platform::Handle window) = 0;
    // One tick of the one-shot armed as `timerId`.
    virtual void OnTick(std::uint32_t timerId) = 0;
};

class CTimer final : public ITimer {
public:
    static constexpr std::uint32_t kMinimumDelayMs = 50;

    explicit CTimer(std::uint32_t messageId);
    // Stops the timer, waits for a tick in progress and ends the timer's thread. Never
    // destroy a timer from inside its own callback.
    ~CTimer() override;

    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;

    // Nothing changes while running. Otherwise a non-empty callback replaces the stored
    // one, the period is stored and the first tick armed for it; the timer counts as
    // running even when arming failed ("Timer failed").
    int Start(std::uint32_t periodMs, TimerCallback callback = {}) override;
    // Disarms; returns once a tick in progress has ended (unless called from that tick),
    // so no tick is delivered after Stop returns.
    int Stop() override;
    int SetPeriod(std::uint32_t periodMs) override;
    int SetRepeat(std::uint32_t repeat) override;
    std::uint32_t IsRunning() const override { return running_.load(); }
    ITimer* SetWindow(platform::Handle window) override;
    void OnTick(std::uint32_t timerId) override;

    std::uint32_t GetMessageId() const { return messageId_; }
    std::uint32_t GetPeriod() const { return period_.load(); }

private:
    // Both with mutex_ held. Arm returns the one-shot's id, 0 when it failed.
    std::uint32_t Arm(std::uint32_t delayMs);
    void Disarm();
    void ThreadLoop();

    std::atomic<platform::Handle> window_{0};
    std::atomic<std::uint32_t> running_{0};
    std::uint32_t timerId_ = 0;  // the current arming, 0 when none (guarded)
    std::atomic<std::uint32_t> period_{1};
    const std::uint32_t resolution_ = 1;
    std::atomic<std::uint32_t> repeat_{1};
    TimerCallback callback_;  // guarded
    const std::uint32_t messageId_;

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::uint32_t pendingId_ = 0;  // the one-shot the thread waits to fire, 0 none
    std::uint64_t deadlineMs_ = 0;
    std::uint32_t lastId_ = 0;
    bool ticking_ = false;
    bool haltTick_ = false;  // a Stop waits for the tick in progress
    bool quit_ = false;
    std::thread thread_;
    std::atomic<std::thread::id> threadId_{};
};
