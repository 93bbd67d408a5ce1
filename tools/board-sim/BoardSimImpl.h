// BoardSim's private state, shared by its public calls (BoardSim.cpp) and its serving thread (BoardSimImpl.cpp).
#pragma once

#include "board-sim/BoardModel.h"
#include "board-sim/BoardSim.h"
#include "board-sim/Pty.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>

namespace boardsim {

using Clock = std::chrono::steady_clock;

struct BoardSim::Impl {
    Options options;

    std::mutex lifecycle;  // serialises start() and stop()
    mutable std::mutex mutex;
    mutable std::condition_variable framesChanged;

    BoardModel model;
    std::deque<Frame> log;
    std::deque<std::pair<Fault, int>> faults;
    Bytes lastReply;
    std::mt19937 rng{0x5EEDu};  // fixed seed: a failing run can be repeated
    std::mt19937 chaosRng;
    int chaosPercent = 0;
    std::array<std::uint64_t, static_cast<std::size_t>(Fault::Lost) + 1> applied{};  // by kind
    std::uint64_t answered = 0;

    Pty pty;
    bool isPlugged = false;
    unsigned generation = 0;  // changes whenever the pty is closed or replaced
    std::string previousName;
    std::string publishedTarget;  // what the symlink points at, "" when none

    int wakeFd = -1;
    std::thread thread;
    bool running = false;
    bool stopping = false;

    Bytes input;
    Clock::time_point lastInput{};
    bool dropping = false;
    Bytes droppedBytes;
    Clock::time_point inputDeadline = Clock::time_point::max();
    Clock::time_point quietUntil{};

    struct Pending {
        Clock::time_point notBefore;
        Bytes bytes;
    };
    std::deque<Pending> output;
    std::size_t outputOffset = 0;  // bytes of output.front() already written

    std::unique_ptr<LoaderSide> loader;  // with options.loaderPath

    explicit Impl(Options o) : options(std::move(o)) {}

    void say(const std::string& text) const;
    void wake() const;

    // --- plug state (caller holds mutex) ---
    void publishLink();
    void removeLink();
    bool plugIn();
    void pullOut();
    void resetLine();

    // --- frame log (caller holds mutex) ---
    void record(Frame frame);

    // --- output (caller holds mutex) ---
    void send(Bytes bytes, Clock::time_point notBefore);
    void writeOutput(Clock::time_point now);
    bool outputDue(Clock::time_point now) const;

    // --- faults (caller holds mutex) ---
    Fault randomFault(bool checksummed);
    Fault takeFault(bool checksummed);
    bool takeLost();
    void answer(const Bytes& frame, Bytes reply, Clock::time_point now);

    // --- frames (caller holds mutex) ---
    Bytes bootRequest(const Bytes& frame);
    void handleFrame(Bytes bytes, Clock::time_point now);
    void dropInput(const char* why);
    void processInput(Clock::time_point now);
    void readInput(Clock::time_point now);

    // The serving thread's loop; takes the mutex itself.
    void serve();
};

}  // namespace boardsim
