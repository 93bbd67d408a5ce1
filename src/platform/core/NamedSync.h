// Named mutexes and events, shared by name inside the process.
//
// The system creates and opens its sync objects by name ("TaskRunningMutex",
// "Mutex_BLDC_Polling", ...). An object lives while anyone holds it, like a kernel
// object, so a name opened after the last holder let go finds nothing.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;

// Recursive for its owning thread, as the system's mutexes are.
class NamedMutex {
public:
    explicit NamedMutex(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }
    // false on time-out; kWaitForever waits without limit
    bool lockFor(std::uint32_t ms);

private:
    std::string name_;
    std::recursive_timed_mutex mutex_;
};

class NamedEvent {
public:
    NamedEvent(std::string name, bool manualReset, bool initialState)
        : name_(std::move(name)), manualReset_(manualReset), signalled_(initialState) {}
    const std::string& name() const { return name_; }
    bool manualReset() const { return manualReset_; }

    void set();
    void reset();
    bool isSet() const;
    // true when signalled (an auto-reset event is then reset), false on time-out
    bool wait(std::uint32_t ms = kWaitForever);

private:
    std::string name_;
    const bool manualReset_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_;
};

// Creates the object or, when one of that name exists, returns it; *existed tells which.
std::shared_ptr<NamedMutex> createNamedMutex(const std::string& name, bool* existed = nullptr);
std::shared_ptr<NamedMutex> openNamedMutex(const std::string& name);  // nullptr when none
std::shared_ptr<NamedEvent> createNamedEvent(const std::string& name, bool manualReset, bool initialState,
                                             bool* existed = nullptr);
std::shared_ptr<NamedEvent> openNamedEvent(const std::string& name);  // nullptr when none

}  // namespace platform
