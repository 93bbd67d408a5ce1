// Test doubles for the task engine: a board link over a locked in-memory transport, a
// recording window, a data store that logs its writes, a scriptable clock, and the real
// board link talking to the simulator.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "board-sim/BoardSim.h"
#include "board/SimLink.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "board/Translate.h"
#include "data/DataContainer.h"
#include "platform/core/Clock.h"
#include "platform/core/Handles.h"

using Bytes = std::vector<std::uint8_t>;

// Waits (in real time) until `done` holds; false when it never did.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// A reply with its length byte in front and, when asked, the checksum at the end.
inline Bytes Reply(std::uint8_t letter, const Bytes& payload, bool checksum) {
    Bytes r;
    r.reserve(payload.size() + 3);
    r.push_back(0);
    r.push_back(letter);
    unsigned sum = 0;
    for (const std::uint8_t b : payload) {
        r.push_back(b);
        sum += b;
    }
    if (checksum) r.push_back(static_cast<std::uint8_t>(sum));
    r[0] = static_cast<std::uint8_t>(r.size());
    return r;
}

// The board's side of an in-memory wire, safe to inspect while task threads use it.
class LockedTransport : public ITranslate {
public:
    struct Sent {
        Bytes bytes;
        std::uint64_t clockMs;
    };

    // Board state the replies report.
    std::atomic<std::uint8_t> portBytes[3] = {0, 0, 0};  // 'E' reply [2], [5], [6]
    std::atomic<std::uint8_t> interruptFlags{0};         // 'E' reply [7]
    std::atomic<std::uint16_t> adc[8] = {};
    std::atomic<std::uint16_t> measured{0};
    std::atomic<int> present{1};
    // Real time each reply is held back, to shuffle the threads' timing.
    std::atomic<int> replyDelayUs{0};

    std::vector<Sent> Frames() const {
        std::lock_guard guard(mutex_);
        return written_;
    }
    std::vector<Bytes> FrameBytes() const {
        std::vector<Bytes> out;
        for (const auto& s : Frames()) out.push_back(s.bytes);
        return out;
    }
    std::size_t Count() const {
        std::lock_guard guard(mutex_);
        return written_.size();
    }
    std::size_t CountLetter(std::uint8_t letter) const {
        std::size_t n = 0;
        for (const auto& s : Frames()) n += !s.bytes.empty() && s.bytes[0] == letter;
        return n;
    }
    void Clear() {
        std::lock_guard guard(mutex_);
        written_.clear();
    }

    int Detect() override { return present.load() ? 1 : -1; }
    int SetUseTimeouts(int) override { return 1; }
    int IsConnected() override { return present.load(); }
    int Open(int) override { return 1; }
    int Close() override { return 0; }
    int Reconnect() override { return 1; }
    int Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) override {
        int result = 0;
        if (direction == 0) {
            Bytes frame(buffer, buffer + count);
            const int delay = replyDelayUs.load();
            if (delay > 0) std::this_thread::sleep_for(std::chrono::microseconds(delay));
            std::lock_guard guard(mutex_);
            written_.push_back({frame, platform::currentClock().nowMs()});
            const Bytes reply = Answer(frame);
            pending_.insert(pending_.end(), reply.begin(), reply.end());
            result = static_cast<int>(count);
        } else {
            std::lock_guard guard(mutex_);
            while (result < static_cast<int>(count) && !pending_.empty()) {
                buffer[result++] = pending_.front();
                pending_.erase(pending_.begin());
            }
        }
        if (moved) *moved = result;
        return result;
    }

private:
    Bytes Answer(const Bytes& f) const {
        switch (f[0]) {
            case 'E':
                return Reply('E', {portBytes[0], 0, 0, portBytes[1], portBytes[2], interruptFlags}, false);
            case 'A': {
                Bytes p;
                for (const auto& v : adc) {
                    p.push_back(static_cast<std::uint8_t>(v & 0xFF));
                    p.push_back(static_cast<std::uint8_t>(v >> 8));
                }
                return Reply('A', p, false);
            }
            case '8':
                if (f.size() >= 2 && f[1] == 20) {
                    const std::uint16_t m = measured;
                    return Reply('8', {static_cast<std::uint8_t>(m & 0xFF), static_cast<std::uint8_t>(m >> 8), 0}, true);
                }
                if (f.size() >= 2 && f[1] == 19) return Reply('8', {0, 0, 0, 0, 0}, true);
                return Bytes{2, '8'};
            default:
                return Bytes{2, f[0]};
        }
    }

    mutable std::mutex mutex_;
    std::vector<Sent> written_;
    Bytes pending_;
};

struct FakeBoard {
    FakeBoard() {
        auto t = std::make_unique<LockedTransport>();
        wire = t.get();
        link = std::make_unique<CRG1Micon>(std::move(t));
    }
    LockedTransport* wire = nullptr;
    std::unique_ptr<CRG1Micon> link;
};

// A window that records what is posted to it, with the clock time of each post.
class RecordingWindow {
public:
    struct Posted {
        platform::Message message;
        std::uint64_t clockMs;
    };

    RecordingWindow() : sink_(std::make_shared<Sink>()) { handle_ = platform::HandleRegistry::instance().add(sink_); }
    ~RecordingWindow() { Close(); }
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    platform::Handle handle() const { return handle_; }
    void Close() { platform::HandleRegistry::instance().remove(handle_); }

    std::vector<Posted> Messages() const {
        std::lock_guard guard(sink_->mutex);
        return sink_->posted;
    }
    std::size_t Count() const {
        std::lock_guard guard(sink_->mutex);
        return sink_->posted.size();
    }
    bool WaitForCount(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
        std::unique_lock lock(sink_->mutex);
        return sink_->cv.wait_for(lock, limit, [&] { return sink_->posted.size() >= n; });
    }
    // Runs on the posting thread for each message, outside the recording lock.
    void OnDeliver(std::function<void(const platform::Message&)> hook) {
        std::lock_guard guard(sink_->mutex);
        sink_->hook = std::move(hook);
    }

private:
    struct Sink : platform::IMessageSink {
        void deliver(const platform::Message& m) override {
            std::function<void(const platform::Message&)> h;
            {
                std::lock_guard guard(mutex);
                posted.push_back({m, platform::currentClock().nowMs()});
                h = hook;
            }
            cv.notify_all();
            if (h) h(m);
        }
        mutable std::mutex mutex;
        std::condition_variable cv;
        std::vector<Posted> posted;
        std::function<void(const platform::Message&)> hook;
    };
    std::shared_ptr<Sink> sink_;
    platform::Handle handle_ = 0;
};

// The real data store, with every word write logged (index, value, clock time).
class RecordingStore final : public IDataContainer {
public:
    struct Write {
        int index;
        std::uint32_t value;
        std::uint64_t clockMs;
    };

    std::vector<Write> Writes() const {
        std::lock_guard guard(mutex_);
        return writes_;
    }
    std::vector<Write> WritesOf(int index) const {
        std::vector<Write> out;
        for (const auto& w : Writes())
            if (w.index == index) out.push_back(w);
        return out;
    }
    std::size_t CountOf(int index) const { return WritesOf(index).size(); }
    // Runs on the writing thread after each logged write.
    void OnWrite(std::function<void(const Write&)> hook) {
        std::lock_guard guard(mutex_);
        hook_ = std::move(hook);
    }
    CDerivedDataContainer& inner() { return inner_; }

    int SelectContainer(std::int32_t key) override { return inner_.SelectContainer(key); }
    int ResetContainer(std::int32_t key) override { return inner_.ResetContainer(key); }
    int SetBits(int index, int lsb, int count, std::uint32_t value) override {
        return inner_.SetBits(index, lsb, count, value);
    }
    int SetValue(int index, std::uint32_t value) override {
        const int r = inner_.SetValue(index, value);
        std::function<void(const Write&)> h;
        Write w{index, value, platform::currentClock().nowMs()};
        {
            std::lock_guard guard(mutex_);
            writes_.push_back(w);
            h = hook_;
        }
        if (h) h(w);
        return r;
    }
    std::uint32_t GetBits(int index, int lsb, int count) const override { return inner_.GetBits(index, lsb, count); }
    std::uint32_t GetValue(int index) const override { return inner_.GetValue(index); }
    int SaveToFile(std::int32_t key) override { return inner_.SaveToFile(key); }
    int LoadFromFile() override { return inner_.LoadFromFile(); }
    std::int32_t GetSelectedId() const override { return inner_.GetSelectedId(); }

private:
    CDerivedDataContainer inner_;
    mutable std::mutex mutex_;
    std::vector<Write> writes_;
    std::function<void(const Write&)> hook_;
};

// A clock whose time moves only by sleeps on it (and by advance), with actions that run
// on the sleeping thread once the time reaches their moment.
class ScriptedClock final : public platform::IClock {
public:
    std::uint64_t nowMs() override { return nowUs_.load() / 1000; }
    std::uint64_t nowUs() override { return nowUs_.load(); }
    void sleepMs(std::uint32_t ms) override { advanceMs(ms); }
    void advanceMs(std::uint64_t ms) {
        nowUs_ += ms * 1000;
        std::vector<std::function<void()>> due;
        {
            std::lock_guard guard(mutex_);
            const std::uint64_t now = nowMs();
            for (auto it = actions_.begin(); it != actions_.end() && it->first <= now;) {
                due.push_back(std::move(it->second));
                it = actions_.erase(it);
            }
        }
        for (auto& a : due) a();
    }
    void At(std::uint64_t ms, std::function<void()> action) {
        std::lock_guard guard(mutex_);
        actions_.emplace(ms, std::move(action));
    }

private:
    std::atomic<std::uint64_t> nowUs_{0};
    std::mutex mutex_;
    std::multimap<std::uint64_t, std::function<void()>> actions_;
};

// The real board link over the real serial code, talking to the simulator in-process.
struct SimBoard : SimLink {
    SimBoard() : SimLink("tamsiro-tasks", true) {}
    bool Connect() { return ConnectAndClear(); }
};
