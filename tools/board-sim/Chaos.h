// Every fault at once, for long runs: random reply faults on the simulator and, on a
// thread of its own, the board pulled out and plugged in again at random moments. The
// seed makes a run repeatable as far as the program's timing allows.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "board-sim/BoardSim.h"

namespace boardsim {

class Chaos {
public:
    struct Options {
        std::uint32_t seed = 1;
        int faultPercent = 5;  // chance of a fault per answered frame
        // The board stays plugged in for a random time up to this, then stays away for a
        // random time up to `maxAway`. Zero: never unplugged.
        std::chrono::milliseconds maxPlugged{6000};
        std::chrono::milliseconds maxAway{800};
    };

    // Starts at once; `sim` is borrowed and must outlive this.
    Chaos(BoardSim& sim, Options options);
    ~Chaos();  // stop()
    Chaos(const Chaos&) = delete;
    Chaos& operator=(const Chaos&) = delete;

    // Random faults off, the thread joined, the board plugged in again. Faults already
    // queued by hand are left alone.
    void stop();

    std::uint64_t unplugs() const { return unplugs_.load(); }
    // Reply faults by kind and the unplugs, one "name count" pair per line.
    std::string report() const;

private:
    void run();

    BoardSim& sim_;
    Options options_;
    std::atomic<std::uint64_t> unplugs_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace boardsim
