// A window that records what is posted to it, with the clock time of each post, until it is
// closed, and lets a test wait for a count.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/core/Clock.h"
#include "platform/core/Handles.h"

class RecordingWindow {
public:
    struct Posted {
        platform::Message message;
        std::uint64_t clockMs;
    };

    RecordingWindow() { handle_ = platform::HandleRegistry::instance().add(inbox_); }
    ~RecordingWindow() { Close(); }
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    platform::Handle handle() const { return handle_; }
    void Close() { platform::HandleRegistry::instance().remove(handle_); }
    std::vector<Posted> Messages() const {
        std::lock_guard guard(inbox_->mutex);
        return inbox_->posted;
    }
    std::size_t Count() const { return Messages().size(); }
    bool WaitForCount(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
        std::unique_lock lock(inbox_->mutex);
        return inbox_->cv.wait_for(lock, limit, [&] { return inbox_->posted.size() >= n; });
    }

private:
    struct Inbox : platform::IMessageSink {
        void deliver(const platform::Message& m) override {
            {
                std::lock_guard guard(mutex);
                posted.push_back({m, platform::currentClock().nowMs()});
            }
            cv.notify_all();
        }
        std::mutex mutex;
        std::condition_variable cv;
        std::vector<Posted> posted;
    };
    std::shared_ptr<Inbox> inbox_ = std::make_shared<Inbox>();
    platform::Handle handle_ = 0;
};
