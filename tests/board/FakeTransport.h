// The in-memory transport: records every frame the board link writes, with the clock
// time, and answers it at once from a script, so the frame algorithm can be driven
// through exact byte sequences. Safe to inspect while task threads use the link.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "board/RG1Micon.h"
#include "board/Translate.h"
#include "platform/core/Clock.h"

using Bytes = std::vector<std::uint8_t>;

class FakeTransport : public ITranslate {
public:
    // Called with every frame written; returns the bytes the "board" sends back. Set it
    // while no other thread uses the link.
    std::function<Bytes(const Bytes&)> respond = [](const Bytes& frame) { return Bytes{2, frame[0]}; };
    std::atomic<int> present{1};
    std::atomic<int> openResult{1};

    std::vector<Bytes> Frames() const {
        std::lock_guard guard(mutex_);
        return written_;
    }
    std::vector<std::uint64_t> Times() const {
        std::lock_guard guard(mutex_);
        return times_;
    }
    Bytes Last() const {
        std::lock_guard guard(mutex_);
        return written_.empty() ? Bytes{} : written_.back();
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
    // Reads that found nothing: each one a whole time-out on a real port.
    std::atomic<int> emptyReads{0};
    // Reply bytes not yet read.
    std::size_t Pending() const {
        std::lock_guard guard(mutex_);
        return pending_.size();
    }

    int Detect() override { return 0; }
    int SetUseTimeouts(int) override { return 1; }
    int IsConnected() override { return present; }
    int Open(int) override { return openResult; }
    int Close() override { return 0; }
    int Reconnect() override { return 1; }
    int Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) override {
        std::lock_guard guard(mutex_);
        int result = 0;
        if (direction == 0) {
            written_.emplace_back(buffer, buffer + count);
            times_.push_back(platform::currentClock().nowMs());
            for (const std::uint8_t b : respond(written_.back())) pending_.push_back(b);
            result = static_cast<int>(count);
        } else {
            for (; result < static_cast<int>(count) && !pending_.empty(); ++result) {
                buffer[result] = pending_.front();
                pending_.pop_front();
            }
            if (result == 0 && count > 0) ++emptyReads;
        }
        if (moved) *moved = result;
        return result;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Bytes> written_;
    std::vector<std::uint64_t> times_;
    std::deque<std::uint8_t> pending_;
};

// A reply with its length byte in front and, when asked, the checksum at the end.
inline Bytes MakeReply(std::uint8_t letter, const Bytes& payload, bool checksum) {
    Bytes r;
    r.reserve(payload.size() + 3);
    r.push_back(0);
    r.push_back(letter);
    for (std::uint8_t b : payload) r.push_back(b);
    if (checksum) {
        unsigned sum = 0;
        for (std::size_t i = 2; i < r.size(); ++i) sum += r[i];
        r.push_back(static_cast<std::uint8_t>(sum));
    }
    r[0] = static_cast<std::uint8_t>(r.size());
    return r;
}

// The board link over a FakeTransport, with a manual clock so its pauses cost no time.
class FakeLinkTest : public ::testing::Test {
protected:
    FakeLinkTest() : scope_(clock_) {
        auto t = std::make_unique<FakeTransport>();
        fake_ = t.get();
        link_ = std::make_unique<CRG1Micon>(std::move(t));
    }
    Bytes Last() const { return fake_->Last(); }
    std::size_t Sent() const { return fake_->Count(); }
    Bytes Frame(std::size_t i) const { return fake_->Frames().at(i); }

    platform::ManualClock clock_;
    platform::ScopedClock scope_;
    FakeTransport* fake_ = nullptr;
    std::unique_ptr<CRG1Micon> link_;
};
