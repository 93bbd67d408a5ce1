// An in-memory transport: records what the board link writes and answers from a
// script, so the frame algorithm can be driven through exact byte sequences.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <vector>

#include "board/Translate.h"

class FakeTransport : public ITranslate {
public:
    using Bytes = std::vector<std::uint8_t>;

    // Called with every frame written; returns the bytes the "board" sends back.
    std::function<Bytes(const Bytes&)> respond = [](const Bytes& frame) { return Bytes{2, frame[0]}; };

    std::vector<Bytes> written;
    std::deque<std::uint8_t> pending;
    int present = 1;
    int reads = 0;
    int opens = 0;
    int openResult = 1;

    int Detect() override { return 0; }
    int SetUseTimeouts(int) override { return 1; }
    int IsConnected() override { return present; }
    int Open(int) override {
        ++opens;
        return openResult;
    }
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
inline std::vector<std::uint8_t> MakeReply(std::uint8_t letter, std::vector<std::uint8_t> payload, bool checksum) {
    std::vector<std::uint8_t> r;
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
