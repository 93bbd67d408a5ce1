#include "tasks/Timer.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "platform/core/Clock.h"
#include "platform/core/Debug.h"

CTimer::CTimer(std::uint32_t messageId) : messageId_(messageId) {}

CTimer::~CTimer() {
    Stop();
    {
        std::lock_guard guard(mutex_);
        quit_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
        else thread_.join();
    }
}

int CTimer::Start(std::uint32_t periodMs, TimerCallback callback) {
    std::lock_guard guard(mutex_);
    if (running_.load() != 0) return 1;
    // A Stop from another thread is waiting for this very tick to end: it was asked for
    // last, so a restart from inside the tick must not undo it.
    if (haltTick_ && threadId_.load() == std::this_thread::get_id()) return 1;
    if (callback) callback_ = std::move(callback);
    period_ = periodMs;
    Arm(periodMs);
    running_ = 1;
    return 1;
}

int CTimer::Stop() {
    std::unique_lock lock(mutex_);
    if (running_.load() != 0) {
        running_ = 0;
        Disarm();
    }
    // A tick already on its way finishes first; the tick itself may call Stop.
    if (ticking_ && threadId_.load() != std::this_thread::get_id()) {
        haltTick_ = true;
        cv_.wait(lock, [this] { return !ticking_; });
        haltTick_ = false;
    }
    return 1;
}

int CTimer::SetPeriod(std::uint32_t periodMs) {
    if (periodMs != 0) period_ = periodMs;
    return 1;
}

int CTimer::SetRepeat(std::uint32_t repeat) {
    repeat_ = repeat;
    return 1;
}

ITimer* CTimer::SetWindow(platform::Handle window) {
    window_ = window;
    return this;
}

std::uint32_t CTimer::Arm(std::uint32_t delayMs) {
    timerId_ = 0;
    pendingId_ = 0;
    // The platform's one-shot takes delays from 1 ms.
    if (delayMs < resolution_) {
        platform::debugOut("Timer failed\n");
        return 0;
    }
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { ThreadLoop(); });
            threadId_ = thread_.get_id();
        } catch (const std::system_error&) {
            platform::debugOut("Timer failed\n");
            return 0;
        }
    }
    if (++lastId_ == 0) ++lastId_;
    timerId_ = pendingId_ = lastId_;
    deadlineMs_ = platform::currentClock().nowMs() + delayMs;
    cv_.notify_all();
    return timerId_;
}

void CTimer::Disarm() {
    timerId_ = 0;
    pendingId_ = 0;
    cv_.notify_all();
}

void CTimer::ThreadLoop() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (pendingId_ == 0) {
            cv_.wait(lock);
            continue;
        }
        platform::IClock& clock = platform::currentClock();
        const std::uint64_t now = clock.nowMs();
        if (now >= deadlineMs_) {
            const std::uint32_t id = pendingId_;
            pendingId_ = 0;  // a one-shot fires once
            ticking_ = true;
            lock.unlock();
            OnTick(id);
            lock.lock();
            ticking_ = false;
            cv_.notify_all();
            continue;
        }
        if (dynamic_cast<platform::SystemClock*>(&clock) != nullptr) {
            cv_.wait_for(lock, std::chrono::milliseconds(deadlineMs_ - now));
        } else {
            lock.unlock();
            clock.sleepMs(1);
            lock.lock();
        }
    }
}

void CTimer::OnTick(std::uint32_t timerId) {
    TimerCallback callback;
    platform::Handle window = 0;
    {
        std::lock_guard guard(mutex_);
        // A tick of an arming that Stop or a newer Start replaced: it must neither be
        // delivered nor touch the arming that replaced it.
        if (timerId == 0 || timerId != timerId_) return;
        timerId_ = 0;
        callback = callback_;
        window = window_.load();
    }

    const std::uint64_t t0 = platform::currentClock().nowMs();
    const bool handled = callback && callback(window) != 0;
    bool delivered = false;
    if (!handled) delivered = window == 0 || platform::post(window, messageId_, 0, 0);

    if (repeat_.load() == 0) return;
    const std::int64_t elapsed = static_cast<std::int64_t>(platform::currentClock().nowMs() - t0);
    if (!handled && !delivered) return;  // the owner is gone: stay quiet until Stop and Start

    std::int64_t next = static_cast<std::int64_t>(period_.load()) - elapsed;
    if (next < static_cast<std::int64_t>(kMinimumDelayMs)) next = kMinimumDelayMs;
    std::lock_guard guard(mutex_);
    // Re-armed only when nothing happened to the timer during the tick: a Stop leaves
    // it stopped, and a Stop and Start inside the tick has armed it afresh.
    if (running_.load() != 0 && timerId_ == 0) {
        Arm(static_cast<std::uint32_t>(std::min<std::int64_t>(next, 0xFFFFFFFFll)));
    }
}
