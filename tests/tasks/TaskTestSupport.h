#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "board/FakeTransport.h"
#include "board/RG1Micon.h"
#include "board/SimLink.h"
#include "board/Translate.h"
#include "data/DataContainer.h"
#include "platform/core/Clock.h"
#include "platform/core/Handles.h"
#include "platform/core/Inbox.h"

inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// The kernel ids of this process's threads, as /proc lists them. A thread that has been
// joined can stay listed for a moment while the kernel finishes its exit, and an earlier
// test's threads can still be leaving: a test that shows its threads are gone names them
// by id and waits, bounded, for the listing to drop them (see ThreadsLeft), so neither is
// taken for a leak, and a thread that truly stays fails at the bound.
inline std::set<int> ListedThreads() {
    std::set<int> ids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error))
        ids.insert(std::atoi(entry.path().filename().c_str()));
    return ids;
}

// The ids in `ids` that are not in `less`.
inline std::set<int> Without(const std::set<int>& ids, const std::set<int>& less) {
    std::set<int> out;
    for (const int id : ids)
        if (less.count(id) == 0) out.insert(id);
    return out;
}

// Waits until every listed thread is one of `kept`; the threads listed beyond them when
// the bound ran out (none when the wait succeeded).
inline std::set<int> ThreadsLeft(const std::set<int>& kept, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::set<int> extra;
    WaitUntil([&] { return (extra = Without(ListedThreads(), kept)).empty(); }, limit);
    return extra;
}

inline std::string Ids(const std::set<int>& ids) {
    std::string out;
    for (const int id : ids) out += (out.empty() ? "" : " ") + std::to_string(id);
    return "{" + out + "}";
}

// The board link over the in-memory wire; levels and flags go to 'E' [2], [5], [6], [7].
struct FakeBoard {
    FakeBoard() : wire(new FakeTransport), link(std::make_unique<CRG1Micon>(std::unique_ptr<ITranslate>(wire))) {
        wire->respond = [this](const Bytes& f) {
            if (f[0] == 'E') return MakeReply('E', {portBytes[0], 0, 0, portBytes[1], portBytes[2], interruptFlags}, false);
            if (f[0] == 'A') return MakeReply('A', Bytes(16, 0), false);
            if (f[0] == '8' && f.size() >= 2 && f[1] == 19) return MakeReply('8', Bytes(5, 0), true);
            if (f[0] == '8' && f.size() >= 2 && f[1] == 20) return MakeReply('8', Bytes(3, 0), true);
            return Bytes{2, f[0]};
        };
    }
    FakeBoard(const FakeBoard&) = delete;
    FakeBoard& operator=(const FakeBoard&) = delete;

    std::atomic<std::uint8_t> portBytes[3] = {0, 0, 0};
    std::atomic<std::uint8_t> interruptFlags{0};
    FakeTransport* wire;
    std::unique_ptr<CRG1Micon> link;
};

// The real data store, every write logged.
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
    // The next selection query answers, then selects `key`.
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

// Time moves only by sleeps; actions run on the sleeping thread when due.
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

struct SimBoard : SimLink {
    SimBoard() : SimLink("tamsiro-tasks") {}
    bool Connect() { return ConnectAndClear(); }
};
