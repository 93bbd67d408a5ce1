// Time and sleeping, injectable so that tests can run code that sleeps for
// seconds without waiting, and drive time-dependent behaviour step by step.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {

class CancelSignal;

class IClock {
public:
    virtual ~IClock() = default;
    virtual std::uint64_t nowMs() = 0;  // steady milliseconds
    virtual std::uint64_t nowUs() = 0;  // steady microseconds (the high-resolution counter)
    virtual void sleepMs(std::uint32_t ms) = 0;
    // One sleep of a timed wait: returns when `signal` is raised, when this clock reaches
    // deadlineUs, or earlier; the caller looks again (CancelSignal::waitUntilUs). The
    // default sleeps 1 ms on this clock, for test clocks whose time moves by sleeping.
    virtual void waitUntilUs(CancelSignal& signal, std::uint64_t deadlineUs);
    // A pause the program takes on its own (a board's pacing), ended early by `signal`:
    // true when the signal ended it. It waits on this clock; a manual clock counts it as
    // a sleep, so such pauses cost a test no time.
    virtual bool pauseMs(CancelSignal& signal, std::uint32_t ms);
};

// A flag that a thread sleeps on with a deadline on the process clock: raising it wakes
// the sleeper at once. Raising is final.
class CancelSignal {
public:
    void raise();
    bool raised() const { return raised_.load(); }
    // Sleeps until the signal is raised (true) or the clock reaches deadlineUs (false).
    bool waitUntilUs(std::uint64_t deadlineUs);

private:
    friend class SystemClock;
    friend class ManualClock;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::atomic<bool> raised_{false};
};

class SystemClock final : public IClock {
public:
    std::uint64_t nowMs() override;
    std::uint64_t nowUs() override;
    void sleepMs(std::uint32_t ms) override;
    void waitUntilUs(CancelSignal& signal, std::uint64_t deadlineUs) override;
};

// A clock whose time moves only when told to, or when someone sleeps on it. A timed
// wait on it sleeps until the time is moved past its deadline or its signal is raised.
class ManualClock final : public IClock {
public:
    std::uint64_t nowMs() override { return nowUs_.load() / 1000; }
    std::uint64_t nowUs() override { return nowUs_.load(); }
    void sleepMs(std::uint32_t ms) override;
    void waitUntilUs(CancelSignal& signal, std::uint64_t deadlineUs) override;
    bool pauseMs(CancelSignal& signal, std::uint32_t ms) override;
    void advanceMs(std::uint64_t ms);
    std::uint64_t totalSleptMs() const { return slept_.load(); }
    std::uint32_t sleepCalls() const { return calls_.load(); }
    // Timed waits that went to sleep on this clock so far, and the deadline of the last.
    std::uint32_t timedWaits() const { return waits_.load(); }
    std::uint64_t lastDeadlineUs() const { return lastDeadlineUs_.load(); }
    // Timed waits asleep on this clock now.
    std::size_t sleepers();

private:
    void wakeWaiters();

    std::atomic<std::uint64_t> nowUs_{0};
    std::atomic<std::uint64_t> slept_{0};
    std::atomic<std::uint32_t> calls_{0};
    std::atomic<std::uint32_t> waits_{0};
    std::atomic<std::uint64_t> lastDeadlineUs_{0};
    std::mutex waitersMutex_;
    std::vector<CancelSignal*> waiters_;
};

IClock& currentClock();
// Replaces the process clock; nullptr restores the system clock.
void setClock(IClock* clock);

// Installs a clock for the lifetime of the object, then puts back the one it replaced.
class ScopedClock {
public:
    explicit ScopedClock(IClock& c) : previous_(&currentClock()) { setClock(&c); }
    ~ScopedClock() { setClock(previous_); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    IClock* previous_;
};

inline void sleepMs(std::uint32_t ms) { currentClock().sleepMs(ms); }

}  // namespace platform
