#include "platform/core/Clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace platform {
namespace {

SystemClock g_system;
std::atomic<IClock*> g_clock{&g_system};

}  // namespace

std::uint64_t SystemClock::nowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::uint64_t SystemClock::nowUs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::sleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void SystemClock::waitUntilUs(CancelSignal& signal, std::uint64_t deadlineUs) {
    using namespace std::chrono;
    const std::uint64_t now = nowUs();
    if (deadlineUs <= now) return;
    // An hour at most per sleep keeps the time point far from overflow; the caller looks again.
    constexpr std::uint64_t kLongestUs = 3'600'000'000ull;
    const auto until = steady_clock::now() + microseconds(std::min(deadlineUs - now, kLongestUs));
    std::unique_lock lock(signal.mutex_);
    signal.cv_.wait_until(lock, until, [&] { return signal.raised_.load(); });
}

void IClock::waitUntilUs(CancelSignal& signal, std::uint64_t deadlineUs) {
    if (!signal.raised() && nowUs() < deadlineUs) sleepMs(1);
}

bool IClock::pauseMs(CancelSignal& signal, std::uint32_t ms) {
    return signal.waitUntilUs(nowUs() + static_cast<std::uint64_t>(ms) * 1000);
}

void CancelSignal::raise() {
    {
        std::lock_guard guard(mutex_);
        raised_ = true;
    }
    cv_.notify_all();
}

bool CancelSignal::waitUntilUs(std::uint64_t deadlineUs) {
    while (!raised()) {
        IClock& clock = currentClock();
        if (clock.nowUs() >= deadlineUs) return false;
        clock.waitUntilUs(*this, deadlineUs);
    }
    return true;
}

void ManualClock::sleepMs(std::uint32_t ms) {
    slept_ += ms;
    ++calls_;
    nowUs_ += static_cast<std::uint64_t>(ms) * 1000;
    wakeWaiters();
}

bool ManualClock::pauseMs(CancelSignal& signal, std::uint32_t ms) {
    if (signal.raised()) return true;
    sleepMs(ms);
    return false;
}

void ManualClock::advanceMs(std::uint64_t ms) {
    nowUs_ += ms * 1000;
    wakeWaiters();
}

void ManualClock::waitUntilUs(CancelSignal& signal, std::uint64_t deadlineUs) {
    // Listed before the look at the time: a move of the time after that look finds the
    // sleeper listed, and cannot take its mutex until it sleeps.
    {
        std::lock_guard guard(waitersMutex_);
        waiters_.push_back(&signal);
    }
    {
        std::unique_lock lock(signal.mutex_);
        if (!signal.raised_.load() && nowUs_.load() < deadlineUs) {
            lastDeadlineUs_ = deadlineUs;
            ++waits_;
            signal.cv_.wait(lock);
        }
    }
    std::lock_guard guard(waitersMutex_);
    waiters_.erase(std::find(waiters_.begin(), waiters_.end(), &signal));
}

std::size_t ManualClock::sleepers() {
    std::lock_guard guard(waitersMutex_);
    return waiters_.size();
}

void ManualClock::wakeWaiters() {
    std::lock_guard guard(waitersMutex_);
    for (CancelSignal* signal : waiters_) {
        std::lock_guard sleeper(signal->mutex_);
        signal->cv_.notify_all();
    }
}

IClock& currentClock() { return *g_clock.load(); }

void setClock(IClock* c) { g_clock.store(c ? c : &g_system); }

}  // namespace platform
