#include "platform/core/NamedSync.h"

#include <chrono>
#include <map>

namespace platform {

bool NamedMutex::lockFor(std::uint32_t ms) {
    if (ms == kWaitForever) {
        mutex_.lock();
        return true;
    }
    return mutex_.try_lock_for(std::chrono::milliseconds(ms));
}

void NamedEvent::set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    if (manualReset_) cv_.notify_all(); else cv_.notify_one();
}

void NamedEvent::reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool NamedEvent::isSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool NamedEvent::wait(std::uint32_t ms) {
    std::unique_lock lock(mutex_);
    auto ready = [this] { return signalled_; };
    if (ms == kWaitForever) {
        cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), ready)) {
        return false;
    }
    if (!manualReset_) signalled_ = false;
    return true;
}

namespace {

template <typename T>
struct Registry {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<T>> objects;

    std::shared_ptr<T> find(const std::string& name) {
        auto it = objects.find(name);
        if (it == objects.end()) return nullptr;
        auto obj = it->second.lock();
        if (!obj) objects.erase(it);
        return obj;
    }
};

Registry<NamedMutex>& mutexes() {
    static Registry<NamedMutex> r;
    return r;
}

Registry<NamedEvent>& events() {
    static Registry<NamedEvent> r;
    return r;
}

}  // namespace

namespace {

template <typename T, typename Make>
std::shared_ptr<T> createIn(Registry<T>& r, const std::string& name, bool* existed, Make make) {
    std::lock_guard lock(r.mutex);
    if (auto found = r.find(name)) {
        if (existed) *existed = true;
        return found;
    }
    if (existed) *existed = false;
    std::shared_ptr<T> created = make();
    r.objects[name] = created;
    return created;
}

template <typename T>
std::shared_ptr<T> openIn(Registry<T>& r, const std::string& name) {
    std::lock_guard lock(r.mutex);
    return r.find(name);
}

}  // namespace

std::shared_ptr<NamedMutex> createNamedMutex(const std::string& name, bool* existed) {
    return createIn(mutexes(), name, existed, [&] { return std::make_shared<NamedMutex>(name); });
}

std::shared_ptr<NamedMutex> openNamedMutex(const std::string& name) { return openIn(mutexes(), name); }

std::shared_ptr<NamedEvent> createNamedEvent(const std::string& name, bool manualReset, bool initialState,
                                             bool* existed) {
    return createIn(events(), name, existed,
                    [&] { return std::make_shared<NamedEvent>(name, manualReset, initialState); });
}

std::shared_ptr<NamedEvent> openNamedEvent(const std::string& name) { return openIn(events(), name); }

}  // namespace platform
