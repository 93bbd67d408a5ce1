// Test doubles for the task engine: a board link over a locked in-memory wire, a
// recording window, a data store that logs its writes, a scriptable clock, the board
// initialisation's default records, and the real board link to the simulator (also used
// by the page tests).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "board/RG1Micon.h"
#include "board/SimLink.h"
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

// The board initialisation's records: 34 GPIO lines, then 9 PWM channels.
inline std::vector<GpioRecord> DefaultGpio() {
    std::vector<GpioRecord> out(34);
    for (std::uint32_t line = 0; line < 34; ++line) {
        const bool input = line == 16 || line == 17;
        out[line].port = {line, input ? 0u : 1u, input || line == 21 ? 1u : 0u, 0, line == 20 || line == 33 ? 1u : 0u};
    }
    return out;
}
inline std::vector<PwmChannelRecord> DefaultPwm() {
    const double freq[9] = {50000, 50000, 15625, 15625, 15625, 15625, 100, 100, 100};
    const double value[9] = {240, 240, 256, 256, 0, 0, 0, 0, 0};
    std::vector<PwmChannelRecord> out(9);
    for (std::uint32_t ch = 0; ch < 9; ++ch) {
        out[ch].channel = ch;
        out[ch].frequency = freq[ch];
        out[ch].value = value[ch];
        out[ch].outputA = out[ch].outputB = out[ch].percent = 1;
        out[ch].send = ch == 3 || ch == 8 ? 1 : 0;
    }
    return out;
}

// The board's side of an in-memory wire, safe to inspect while task threads use it: each
// frame is logged with the clock time it was written and answered at once.
class LockedTransport : public ITranslate {
public:
    std::atomic<std::uint8_t> portBytes[3] = {0, 0, 0};  // 'E' reply [2], [5], [6]
    std::atomic<std::uint8_t> interruptFlags{0};         // 'E' reply [7]
    std::atomic<int> replyDelayUs{0};                    // real time each reply is held back

    std::vector<Bytes> Frames() const {
        std::lock_guard guard(mutex_);
        return written_;
    }
    std::vector<std::uint64_t> Times() const {
        std::lock_guard guard(mutex_);
        return times_;
    }
    std::size_t Count() const { return Frames().size(); }
    std::size_t CountLetter(std::uint8_t letter) const {
        std::size_t n = 0;
        for (const auto& f : Frames()) n += f[0] == letter;
        return n;
    }
    void Clear() {
        std::lock_guard guard(mutex_);
        written_.clear();
        times_.clear();
    }

    int Detect() override { return 1; }
    int SetUseTimeouts(int) override { return 1; }
    int IsConnected() override { return 1; }
    int Open(int) override { return 1; }
    int Close() override { return 0; }
    int Reconnect() override { return 1; }
    int Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) override {
        if (direction == 0 && replyDelayUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(replyDelayUs));
        std::lock_guard guard(mutex_);
        int result = 0;
        if (direction == 0) {
            written_.emplace_back(buffer, buffer + count);
            times_.push_back(platform::currentClock().nowMs());
            for (const std::uint8_t b : Answer(written_.back())) pending_.push_back(b);
            result = static_cast<int>(count);
        } else {
            for (; result < static_cast<int>(count) && !pending_.empty(); ++result) {
                buffer[result] = pending_.front();
                pending_.pop_front();
            }
        }
        if (moved) *moved = result;
        return result;
    }

private:
    // A reply with its length byte in front and, when asked, the checksum at the end.
    static Bytes Reply(std::uint8_t letter, const Bytes& payload, bool checksum) {
        Bytes r{0, letter};
        unsigned sum = 0;
        for (const std::uint8_t b : payload) {
            r.push_back(b);
            sum += b;
        }
        if (checksum) r.push_back(static_cast<std::uint8_t>(sum));
        r[0] = static_cast<std::uint8_t>(r.size());
        return r;
    }
    Bytes Answer(const Bytes& f) const {
        if (f[0] == 'E') return Reply('E', {portBytes[0], 0, 0, portBytes[1], portBytes[2], interruptFlags}, false);
        if (f[0] == 'A') return Reply('A', Bytes(16, 0), false);
        if (f[0] == '8' && f.size() >= 2 && f[1] == 19) return Reply('8', Bytes(5, 0), true);
        if (f[0] == '8' && f.size() >= 2 && f[1] == 20) return Reply('8', Bytes(3, 0), true);
        return Bytes{2, f[0]};
    }

    mutable std::mutex mutex_;
    std::vector<Bytes> written_;
    std::vector<std::uint64_t> times_;
    std::deque<std::uint8_t> pending_;
};

struct FakeBoard {
    FakeBoard() : wire(new LockedTransport), link(std::make_unique<CRG1Micon>(std::unique_ptr<ITranslate>(wire))) {}
    LockedTransport* wire;
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
    platform::Handle handle() const { return handle_; }
    void Close() { platform::HandleRegistry::instance().remove(handle_); }
    std::vector<Posted> Messages() const {
        std::lock_guard guard(sink_->mutex);
        return sink_->posted;
    }
    std::size_t Count() const { return Messages().size(); }
    bool WaitForCount(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
        std::unique_lock lock(sink_->mutex);
        return sink_->cv.wait_for(lock, limit, [&] { return sink_->posted.size() >= n; });
    }

private:
    struct Sink : platform::IMessageSink {
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

    int SetValue(int index, std::uint32_t value) override {
        std::lock_guard guard(mutex_);
        writes_.push_back({index, value, platform::currentClock().nowMs()});
        return inner_.SetValue(index, value);
    }
    int SelectContainer(std::int32_t key) override { return inner_.SelectContainer(key); }
    int ResetContainer(std::int32_t key) override { return inner_.ResetContainer(key); }
    int SetBits(int i, int lsb, int n, std::uint32_t v) override { return inner_.SetBits(i, lsb, n, v); }
    std::uint32_t GetBits(int i, int lsb, int n) const override { return inner_.GetBits(i, lsb, n); }
    std::uint32_t GetValue(int index) const override { return inner_.GetValue(index); }
    int SaveToFile(std::int32_t key) override { return inner_.SaveToFile(key); }
    int LoadFromFile() override { return inner_.LoadFromFile(); }
    std::int32_t GetSelectedId() const override {
        const std::int32_t id = inner_.GetSelectedId();
        if (const std::int32_t next = switchAfterQuery_.exchange(-1); next != -1) inner_.SelectContainer(next);
        return id;
    }
    // The next query of the selection answers, then selects `key`: a writer that checks
    // the selection apart from its write is caught between the two.
    void SwitchAfterNextQuery(std::int32_t key) { switchAfterQuery_ = key; }
    int SetValuesIfSelected(std::int32_t key, std::span<const DataWord> words) override {
        std::lock_guard guard(mutex_);
        if (inner_.SetValuesIfSelected(key, words) == 0) return 0;
        for (const auto& w : words) writes_.push_back({w.index, w.value, platform::currentClock().nowMs()});
        return 1;
    }
    std::uint32_t GetValueOf(std::int32_t key, int index) const override { return inner_.GetValueOf(key, index); }

private:
    mutable CDerivedDataContainer inner_;
    mutable std::atomic<std::int32_t> switchAfterQuery_{-1};
    mutable std::mutex mutex_;
    std::vector<Write> writes_;
};

// A clock whose time moves only by sleeps on it, with actions that run on the sleeping
// thread once the time reaches their moment.
class ScriptedClock final : public platform::IClock {
public:
    std::uint64_t nowMs() override { return nowUs_.load() / 1000; }
    std::uint64_t nowUs() override { return nowUs_.load(); }
    void sleepMs(std::uint32_t ms) override {
        nowUs_ += ms * 1000ull;
        std::vector<std::function<void()>> due;
        {
            std::lock_guard guard(mutex_);
            for (auto it = actions_.begin(); it != actions_.end() && it->first <= nowMs();) {
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

// The real board link to the simulator, connected with the open's control frame forgotten.
struct SimBoard : SimLink {
    SimBoard() : SimLink("tamsiro-tasks", true) {}
    bool Connect() { return ConnectAndClear(); }
};
