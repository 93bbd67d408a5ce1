// The boot loader's side of the loader channel: after a boot request the board leaves
// its serial port, a UNIX socket offers the loader device, takes the image block by
// block and, once it is told to run it, comes back as the board with the image's
// version. A failed session leaves the firmware that was there.
//
// Written from the request records (a 28-byte header, then data; each message preceded
// by its 4-byte little-endian length), like the rest of the simulator independent of
// src/. Its own thread; thread-safe.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace boardsim {

enum class LoaderFault {
    None,
    Absent,            // the loader device never shows up; the board comes back as it was
    InfoFails,         // the information request fails
    WrongBlockLength,  // the information record says 64-byte blocks
    EraseFails,
    WriteFails,      // the write of block 3 fails
    WriteSilence,    // no answer to the write of block 2
    VerifyEmpty,     // read-backs answer with no data
    VerifyMismatch,  // blocks 5 and 20 read back with one byte changed
    VerifyFails,     // the read-back of block 7 fails
    FinishFails,
    RunFails,
    StaysAway,  // the session runs whole, but the board is not plugged in again (replug)
};

// Images made for the simulator carry this mark at byte 0, the controller at byte 3 and
// their version (little-endian) at bytes 4 and 5.
inline constexpr char kImageMark[3] = {'T', 'F', 'W'};

class LoaderSide {
public:
    struct Hooks {
        std::function<void()> leaveBoard;
        // The controller, the version it now runs when a new image was committed, and
        // whether the board is plugged in again (false: it waits for a replug).
        std::function<void(int, std::optional<std::uint16_t>, bool)> backToBoard;
        std::function<void(const std::string&)> log;
    };

    static constexpr std::uint16_t kKey = 0x5AA5;
    static constexpr std::uint16_t kTimeoutFactor = 10;
    static constexpr std::uint8_t kErase = 0x21, kFinish = 0x22, kWrite = 0x23, kReadBack = 0x24, kRun = 0x25;

    LoaderSide(std::string path, Hooks hooks);
    ~LoaderSide();  // shutdown()
    // Ends a session (the board comes back) and joins its thread; later boot requests
    // are ignored.
    void shutdown();
    LoaderSide(const LoaderSide&) = delete;
    LoaderSide& operator=(const LoaderSide&) = delete;

    // Starts a loader session for the controller (0 or 1); ignored while one runs.
    void enter(int controller);
    // Applies to the next session.
    void injectFault(LoaderFault fault);
    // Whether a session runs (the board is away).
    bool active() const { return active_.load(); }
    // Every request message received, whole, in order.
    std::vector<std::vector<std::uint8_t>> requests() const;
    void clearRequests();
    const std::string& path() const { return path_; }

private:
    void session(int controller, LoaderFault fault);
    bool serve(int client, int controller, LoaderFault fault, std::optional<std::uint16_t>& committed);
    std::optional<std::vector<std::uint8_t>> answer(const std::vector<std::uint8_t>& request, int controller,
                                                    LoaderFault fault, std::optional<std::uint16_t>& committed);
    bool waitReadable(int fd, int ms);
    void say(const std::string& s) const;

    std::string path_;
    Hooks hooks_;
    std::atomic<bool> active_{false};
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    LoaderFault nextFault_ = LoaderFault::None;
    std::vector<std::vector<std::uint8_t>> requests_;
    std::vector<std::uint8_t> flash_;  // what the session wrote
    std::mutex threadMutex_;           // guards thread_ (enter runs on the board's thread)
    std::thread thread_;
};

}  // namespace boardsim
