// A board in the benchmark's own memory: the simulator's board model behind the board
// link's transport interface, answering each frame as it is written. It costs what the
// model costs, not a pseudo terminal's round trip to another process, so that a
// benchmark of the program's own work is not a measure of the simulator's latency.
// Header only; the link's lock already serialises transfers, the mutex makes it safe
// on its own.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>

#include "board-sim/BoardModel.h"
#include "board-sim/Protocol.h"
#include "board/Translate.h"

namespace benchrig {

class MemoryBoard final : public ITranslate {
public:
    int Detect() override { return detected_ ? 0 : (detected_ = true, 1); }
    int SetUseTimeouts(int) override { return 1; }
    int IsConnected() override { return 1; }
    int Open(int) override { return 1; }
    int Close() override { return 0; }
    int Reconnect() override { return 1; }
    // A write is cut into frames as the board cuts its input; each complete frame is
    // answered at once. A read takes what the answers left.
    int Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) override {
        std::lock_guard guard(mutex_);
        int result = 0;
        if (direction == 0) {
            input_.insert(input_.end(), buffer, buffer + count);
            Answer();
            result = static_cast<int>(count);
        } else {
            for (; result < static_cast<int>(count) && !replies_.empty(); ++result) {
                buffer[result] = replies_.front();
                replies_.pop_front();
            }
        }
        if (moved != nullptr) *moved = result;
        return result;
    }

private:
    void Answer() {
        while (!input_.empty()) {
            const boardsim::FrameSize size = boardsim::frameSize(input_.data(), input_.size());
            if (size.status == boardsim::FrameSize::NeedMore) return;
            if (size.status != boardsim::FrameSize::Known) {
                input_.clear();  // the board drops what forms no frame
                return;
            }
            // The long form of a frame arrives in the same write as its short start.
            const std::size_t length =
                size.longLength != 0 && input_.size() >= size.longLength ? size.longLength : size.length;
            if (input_.size() < length) return;
            const boardsim::Bytes frame(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(length));
            input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(length));
            if (boardsim::frameChecksumOk(frame)) {  // the board drops what does not add up
                model_.apply(frame);
                model_.advanceMotor(frame);
            }
            for (const std::uint8_t b : model_.reply(frame)) replies_.push_back(b);
        }
    }

    std::mutex mutex_;
    boardsim::BoardModel model_;
    boardsim::Bytes input_;
    std::deque<std::uint8_t> replies_;
    bool detected_ = false;
};

}  // namespace benchrig
