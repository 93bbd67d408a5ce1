// Time and sleeping, injectable so that tests can run code that sleeps for
// seconds without waiting, and drive time-dependent behaviour step by step.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class IClock {
public:
    virtual ~IClock() = default;
    virtual std::uint64_t nowMs() = 0;  // steady milliseconds
    virtual std::uint64_t nowUs() = 0;  // steady microseconds (the high-resolution counter)
    virtual void sleepMs(std::uint32_t ms) = 0;
};

class SystemClock final : public IClock {
public:
    std::uint64_t nowMs() override;
    std::uint64_t nowUs() override;
    void sleepMs(std::uint32_t ms) override;
};

// A clock whose time moves only when told to, or when someone sleeps on it.
class ManualClock final : public IClock {
public:
    std::uint64_t nowMs() override { return nowUs_.load() / 1000; }
    std::uint64_t nowUs() override { return nowUs_.load(); }
    void sleepMs(std::uint32_t ms) override;
    void advanceMs(std::uint64_t ms) { nowUs_ += ms * 1000; }
    std::uint64_t totalSleptMs() const { return slept_.load(); }
    std::uint32_t sleepCalls() const { return calls_.load(); }

private:
    std::atomic<std::uint64_t> nowUs_{0};
    std::atomic<std::uint64_t> slept_{0};
    std::atomic<std::uint32_t> calls_{0};
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
