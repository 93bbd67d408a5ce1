#include "platform/core/Handles.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace platform {

struct HandleRegistry::Impl {
    mutable std::mutex mutex;
    std::unordered_map<Handle, std::shared_ptr<IMessageSink>> sinks;
    std::atomic<Handle> next{1};
};

HandleRegistry::HandleRegistry() : impl_(std::make_unique<Impl>()) {}
HandleRegistry::~HandleRegistry() = default;

HandleRegistry& HandleRegistry::instance() {
    static HandleRegistry registry;
    return registry;
}

Handle HandleRegistry::add(std::shared_ptr<IMessageSink> sink) {
    Impl* im = impl_.get();
    const Handle h = im->next++;
    std::lock_guard lock(im->mutex);
    im->sinks.emplace(h, std::move(sink));
    return h;
}

void HandleRegistry::remove(Handle handle) {
    Impl* im = impl_.get();
    std::shared_ptr<IMessageSink> dropped;  // released outside the lock
    std::lock_guard lock(im->mutex);
    auto it = im->sinks.find(handle);
    if (it != im->sinks.end()) {
        dropped = std::move(it->second);
        im->sinks.erase(it);
    }
}

bool HandleRegistry::alive(Handle handle) const {
    const Impl* im = impl_.get();
    std::lock_guard lock(im->mutex);
    return im->sinks.count(handle) != 0;
}

bool HandleRegistry::post(Handle handle, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (handle == 0) return false;
    Impl* im = impl_.get();
    std::shared_ptr<IMessageSink> sink;
    {
        std::lock_guard lock(im->mutex);
        auto it = im->sinks.find(handle);
        if (it == im->sinks.end()) return false;
        sink = it->second;
    }
    sink->deliver(Message{handle, msg, wParam, lParam});
    return true;
}

}  // namespace platform
