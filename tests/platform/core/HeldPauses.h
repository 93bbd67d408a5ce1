// The system's time with every pause of the board's pacing held until Release, so that
// "still in its pause" is a state a test looks at, not a time it waits out.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>

#include "platform/core/Clock.h"

class HeldPauses final : public platform::IClock {
public:
    std::uint64_t nowMs() override { return system_.nowMs(); }
    std::uint64_t nowUs() override { return system_.nowUs(); }
    void sleepMs(std::uint32_t ms) override { system_.sleepMs(ms); }
    bool pauseMs(platform::CancelSignal& signal, std::uint32_t) override {
        std::unique_lock lock(mutex_);
        if (onEntry_) onEntry_();
        ++entered_;
        // The signal has no hook of ours: it is looked at between short waits.
        while (!released_ && !signal.raised()) cv_.wait_for(lock, std::chrono::milliseconds(1));
        return signal.raised();
    }
    void Release() {
        {
            std::lock_guard guard(mutex_);
            released_ = true;
        }
        cv_.notify_all();
    }
    // Pauses begun so far (held or let go).
    int Entered() const { return entered_.load(); }
    // Runs on the pausing thread as each pause begins, before it is counted.
    void OnEntry(std::function<void()> action) {
        std::lock_guard guard(mutex_);
        onEntry_ = std::move(action);
    }

private:
    platform::SystemClock system_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool released_ = false;
    std::atomic<int> entered_{0};
    std::function<void()> onEntry_;
};
