// The message sink of the tests: keeps what it is posted, with the clock time of each
// post, and lets a test wait for a count. RecordingWindow registers one under a handle.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/core/Clock.h"
#include "platform/core/Handles.h"

class Inbox : public platform::IMessageSink {
public:
    struct Posted {
        platform::Message message;
        std::uint64_t clockMs;
    };

    void deliver(const platform::Message& m) override {
        {
            std::lock_guard guard(mutex_);
            posted_.push_back({m, platform::currentClock().nowMs()});
        }
        cv_.notify_all();
    }
    std::vector<Posted> Posts() const {
        std::lock_guard guard(mutex_);
        return posted_;
    }
    std::size_t Count() const {
        std::lock_guard guard(mutex_);
        return posted_.size();
    }
    bool WaitForCount(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, limit, [&] { return posted_.size() >= n; });
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::vector<Posted> posted_;
};

// A window that records what is posted to it, until it is closed.
class RecordingWindow {
public:
    RecordingWindow() : inbox_(std::make_shared<Inbox>()) { handle_ = platform::HandleRegistry::instance().add(inbox_); }
    ~RecordingWindow() { Close(); }
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    platform::Handle handle() const { return handle_; }
    void Close() { platform::HandleRegistry::instance().remove(handle_); }
    std::vector<Inbox::Posted> Messages() const { return inbox_->Posts(); }
    std::size_t Count() const { return inbox_->Count(); }
    bool WaitForCount(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
        return inbox_->WaitForCount(n, limit);
    }

private:
    std::shared_ptr<Inbox> inbox_;
    platform::Handle handle_ = 0;
};
