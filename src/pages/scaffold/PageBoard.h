// The board requests a hard-coded page's engine parts make. The page implements this
// interface over the page base's forwarding operations (which reach the board link on
// the GUI thread); tests implement it with a recorder or over a link to the simulator.
//
// All calls come on the GUI thread. `send` false only stages the change in the board
// link's kept frame; the next call with `send` true carries every staged change in one
// frame.
#pragma once

#include <cstdint>
#include <span>

#include "board/Records.h"

namespace pages {

class IPageBoard {
public:
    virtual ~IPageBoard() = default;

    // One port line; direction 1 output, 0 input.
    virtual void WritePort(int port, int direction, int level, bool send) = 0;
    // A PWM channel that makes a reference voltage: frequency in Hz, duty in 1/256 steps.
    virtual void SetPwm(int channel, double frequency, int duty, int enable) = 0;
    // A timer channel from one of the page's 72-byte records. The record's frequency is
    // converted to the channel's period on a copy: the page's record is never changed,
    // so a record sent twice is converted twice from the same frequency.
    virtual void SetTimerChannel(int channel, const PwmChannelRecord& record, bool send) = 0;
    // The board's 'O' request (channel, 16-bit value, extra byte), always sent.
    virtual void SetOutputValue(int channel, std::uint16_t value, std::uint8_t extra) = 0;
    // A frame for the chip's serial interface.
    virtual void SendSerialData(std::span<const std::uint8_t> data) = 0;
};

// A two-bit item on two port lines: its low bit staged on `lowPort`, its high bit sent on
// `highPort`, so both pins change in one frame.
inline void WriteTwoBitItem(IPageBoard& board, int lowPort, int highPort, std::uint32_t value) {
    board.WritePort(lowPort, 1, static_cast<int>(value & 1u), false);
    board.WritePort(highPort, 1, static_cast<int>((value >> 1) & 1u), true);
}

// The page's one-shot run timer: armed for one tick, re-armed by the tick's handler.
class IRunTimer {
public:
    virtual ~IRunTimer() = default;
    virtual void Arm(std::uint32_t ms) = 0;
    virtual void Stop() = 0;
};

// The PWM that makes a driver chip's reference voltage (REF, VREF): its frequency on every
// board, and its channel on the stepper and DC boards (the dual-stepper's two are 2 and 3).
inline constexpr double kRefPwmHz = 15625.0;
inline constexpr int kRefPwmChannel = 2;

}  // namespace pages
