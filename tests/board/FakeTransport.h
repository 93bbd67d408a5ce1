// An in-memory transport: records what the board link writes and answers from a
// script, so the frame algorithm can be driven through exact byte sequences.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "board/RG1Micon.h"
#include "board/Translate.h"
#include "platform/core/Clock.h"

using Bytes = std::vector<std::uint8_t>;

class FakeTransport : public ITranslate {
public:
    // Called with every frame written; returns the bytes the "board" sends back.
    std::function<Bytes(const Bytes&)> respond = [](const Bytes& frame) { return Bytes{2, frame[0]}; };

    std::vector<Bytes> written;
    std::deque<std::uint8_t> pending;
    int present = 1;
    int reads = 0;
    int openResult = 1;

    int Detect() override { return 0; }
    int SetUseTimeouts(int) override { return 1; }
    int IsConnected() override { return present; }
    int Open(int) override { return openResult; }
    int Close() override { return 0; }
    int Reconnect() override { return 1; }
    int Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) override {
        int result = 0;
        if (direction == 0) {
            written.emplace_back(buffer, buffer + count);
            Bytes reply = respond(written.back());
            pending.insert(pending.end(), reply.begin(), reply.end());
            result = static_cast<int>(count);
        } else {
            ++reads;
            while (result < static_cast<int>(count) && !pending.empty()) {
                buffer[result++] = pending.front();
                pending.pop_front();
            }
        }
        if (moved) *moved = result;
        return result;
    }
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
    const Bytes& Last() const { return fake_->written.back(); }
    std::size_t Sent() const { return fake_->written.size(); }

    platform::ManualClock clock_;
    platform::ScopedClock scope_;
    FakeTransport* fake_ = nullptr;
    std::unique_ptr<CRG1Micon> link_;
};
