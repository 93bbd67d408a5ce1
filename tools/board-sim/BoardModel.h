// The board's state as the two controllers keep it, and the replies they build from it.
// Not thread-safe: BoardSim guards it with its own lock.
#pragma once

#include "board-sim/Motor.h"
#include "board-sim/Protocol.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace boardsim {

class BoardModel {
public:
    static constexpr int kPorts = 34;  // 0-20 first controller, 21-33 second
    static constexpr int kFirstPorts = 21;
    static constexpr int kAdcChannels = 8;

    // --- what the world outside the board decides (set by tests or the command line) ---
    std::uint16_t mainVersion = 0x2113;
    std::uint16_t secondVersion = 0x1319;
    bool secondAbsent = false;
    std::uint16_t measured = 0;
    std::uint8_t status = 0;
    std::uint8_t sub21 = 0;
    std::array<std::uint16_t, kAdcChannels> adc{};
    std::uint64_t inputLevels = 0;    // bit n: the level input port n sees
    std::uint8_t interruptFlags = 0;  // bits 1-5: inputs 1-5
    Bytes i2cReadData;

    // A motor behind the start/stop pin, off until a test turns it on. While the pin is
    // at its run level, every measured-value read ('8' 20) is one step of the start;
    // counts come from `measured` while it is off.
    Motor motor{.enabled = false};
    // Advances the motor for a frame about to be answered (only '8' 20 reads count).
    void advanceMotor(const Bytes& frame);

    // A second controller of version 0x12xx takes the 36-byte port and PWM frames and
    // answers the port read with the 13-byte status record.
    bool longVariant() const { return (secondVersion & 0xFF00) == 0x1200; }

    bool portIsOutput(int port) const;
    bool portLevel(int port) const;  // outputs read back what was written, inputs what is set

    // Takes over what a complete, well-formed frame sets.
    void apply(const Bytes& frame);
    // The reply the board sends for a complete frame.
    Bytes reply(const Bytes& frame) const;

    // Readable summary for the command line's "state".
    std::string describe() const;

private:
    void resetFirstController();
    void resetSecondController();
    void applyControl(const Bytes& f);
    void applyLevels(const Bytes& f);
    void applySecondPorts(const Bytes& f, std::size_t offset);
    std::uint64_t readBack() const;
    Bytes secondControllerReply(const Bytes& f) const;
    Bytes statusRecord() const;

    std::uint64_t directions_ = 0;  // bit n set: port n is an output
    std::uint64_t levels_ = 0;      // bit n: the level last written to port n
    std::array<std::uint8_t, 15> control_{};
    // The last frame of each kind ('P', '8' 2, 'O', 'M', 'S', ...), kept raw: their
    // contents have no effect on the replies.
    std::map<unsigned, Bytes> lastFrames_;
    bool motorRunning_ = false;
    std::uint64_t motorStarts_ = 0;
    int motorReads_ = 0;
};

}  // namespace boardsim
