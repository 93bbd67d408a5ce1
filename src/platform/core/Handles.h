// Window handles and message posting.
//
// A window (or anything else that receives the system's private messages) registers a
// sink and gets a 64-bit handle that is never reused. `post` may be called from any
// thread: it never blocks on the receiver and is silently dropped once the receiver is
// gone, so a worker may report to a window that has just closed.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

using Handle = std::uint64_t;  // 0 is "no window"

struct Message {
    Handle target = 0;
    std::uint32_t msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// Receives posted messages. `deliver` runs on the posting thread and must only queue
// the message (for example onto the GUI thread's event loop); it must not block.
class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void deliver(const Message& message) = 0;
};

class HandleRegistry {
public:
    static HandleRegistry& instance();

    Handle add(std::shared_ptr<IMessageSink> sink);
    void remove(Handle handle);
    bool alive(Handle handle) const;
    // Queues the message with the handle's sink; false when the handle is unknown.
    bool post(Handle handle, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

    HandleRegistry();
    ~HandleRegistry();
    HandleRegistry(const HandleRegistry&) = delete;
    HandleRegistry& operator=(const HandleRegistry&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

inline bool post(Handle handle, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return HandleRegistry::instance().post(handle, msg, wParam, lParam);
}

}  // namespace platform
