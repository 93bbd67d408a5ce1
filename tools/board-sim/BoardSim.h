// The board simulator: plays the evaluation board's two microcontrollers behind a
// pseudo-terminal so that the program's real serial code can be exercised.
//
// It depends on nothing in src/: it is the board's side of the wire, written from the
// frame catalogue, so that a misunderstanding in the board link shows up as a failed
// exchange instead of being mirrored here.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board-sim/LoaderSide.h"
#include "board-sim/Motor.h"

namespace boardsim {

using Bytes = std::vector<std::uint8_t>;

// One received frame, as the simulator cut it from the byte stream.
struct Frame {
    Bytes bytes;
    bool checksumOk = true;  // false when a frame that carries a checksum did not add up
    // Bytes that formed no frame (an unknown letter and what followed it until the line
    // went idle, or a frame left unfinished): dropped unanswered.
    bool dropped = false;
    // When the read that completed the frame took its last bytes from the line.
    std::chrono::steady_clock::time_point received{};
};

enum class Fault {
    None,
    Silence,          // no reply at all
    WrongEcho,        // reply with a wrong letter in byte 1
    BadChecksum,      // checksummed reply with its last byte off by one
    ShortReply,       // length byte says n, fewer bytes follow
    OversizedLength,  // length byte above 64, followed by that many bytes
    ZeroLength,       // a lone length byte of 0
    Garbage,          // random bytes instead of a reply
    StaleReply,       // an extra stale reply sent before the real one
    LateReply,        // the real reply, 200 ms late
    Lost,             // the frame never arrives: neither applied nor answered (logged as dropped)
};
// The reply faults, which random faults draw from (Lost comes only when queued).
inline constexpr int kFaultKinds = static_cast<int>(Fault::LateReply) + 1;

class BoardSim {
public:
    struct Options {
        // Path of a symlink that points at the current pty slave while the board is
        // "plugged in" (removed on unplug). Empty: no symlink.
        std::string linkPath;
        // Receives the simulator's diagnostics (unknown letters, bad checksums, dropped
        // input). Empty: they go to stderr.
        std::function<void(const std::string&)> log;
        // Most frames the log keeps; the oldest go first. 0: no limit.
        std::size_t frameLogLimit = 0;
        // Where the boot loader offers its device after a boot request ('W'): the board
        // leaves its port meanwhile. Empty: the request is only acknowledged.
        std::string loaderPath;
    };

    BoardSim();
    explicit BoardSim(Options options);
    ~BoardSim();  // stops the thread, closes the pty, removes the link

    BoardSim(const BoardSim&) = delete;
    BoardSim& operator=(const BoardSim&) = delete;

    bool start();  // opens the pty and starts serving; false with a message on stderr
    void stop();   // joins the serving thread and closes the pty, as if the power went off

    std::string slavePath() const;  // /dev/pts/N of the current pty ("" when unplugged)
    std::string portPath() const;   // the link path when set, else the slave path

    // --- board state (all thread-safe) ---
    void setMainVersion(std::uint16_t v);        // 'V' reply, default 0x2113
    void setSecondVersion(std::uint16_t v);      // '8' 18 reply, default 0x1319
    void setSecondAbsent(bool absent);           // '8' 18 byte 4 = 1
    void setMeasuredValue(std::uint16_t v);      // '8' 20, '8' 17/0xFF/long '8' 19 bytes 4-5
    void setStatus(std::uint8_t s);              // '8' 20 byte 4, '8' 22 byte 2, 13-byte replies byte 11
    void setSub21Value(std::uint8_t v);          // '8' 21 byte 2
    void setAdc(int channel, std::uint16_t v);   // 'A' reply, channels 0-7
    void setInputPort(int port, bool level);     // level an input port reads back
    void setInterruptFlag(int input, bool set);  // 'E' reply byte 7, inputs 1-5
    void setI2cReadData(const Bytes& data);      // bytes an I2C read returns
    // Turns the motor model on (or off) with these settings.
    void setMotor(const Motor& motor);
    bool portLevel(int port) const;  // what the board drives or reads, 0-33
    bool portIsOutput(int port) const;
    std::string stateReport() const;  // readable summary of the board state

    // --- frame log ---
    std::vector<Frame> frames() const;
    std::size_t frameCount() const;
    void clearFrames();
    // Waits until at least n frames were logged; false on time-out.
    bool waitForFrames(std::size_t n, std::chrono::milliseconds timeout) const;

    // --- fault injection: applies to the next `count` frames that are answered ---
    // Faults queue up in the order given; Fault::None passes `count` frames normally.
    // BadChecksum waits for a reply that carries a checksum.
    void injectFault(Fault fault, int count = 1);
    // Sends raw bytes to the program right now, unasked.
    void sendRaw(const Bytes& bytes);

    // --- random faults, for long runs against every fault at once ---
    // Each answered frame for which no fault is queued gets, with this chance (percent;
    // 0 turns it off), a fault of a kind picked at random among all but None. The seed
    // makes a run repeatable.
    void setRandomFaults(std::uint32_t seed, int percent);
    // Faults of this kind given to frames since the simulator was made, queued and
    // random alike.
    std::uint64_t faultsApplied(Fault fault) const;
    // Frames answered (or, under a fault, not) since the simulator was made; unlike the
    // frame log, never trimmed.
    std::uint64_t framesAnswered() const;

    // --- boot loader (with Options::loaderPath) ---
    void injectLoaderFault(LoaderFault fault);  // for the next loader session
    bool inLoader() const;                      // a loader session runs: the board is away
    std::vector<Bytes> loaderRequests() const;  // every request record received, whole
    void clearLoaderRequests();

    // --- plug state ---
    void unplug();  // closes the pty and removes the link: the program's port fails
    bool replug();  // a new pty (a new slave path) and the link again
    bool plugged() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace boardsim
