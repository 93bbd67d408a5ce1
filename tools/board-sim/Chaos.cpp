#include "board-sim/Chaos.h"

#include <algorithm>
#include "board-sim/Commands.h"

#include <random>

namespace boardsim {

Chaos::Chaos(BoardSim& sim, Options options) : sim_(sim), options_(options) {
    sim_.setRandomFaults(options_.seed, options_.faultPercent);
    if (options_.maxPlugged.count() > 0) thread_ = std::thread([this] { run(); });
}

Chaos::~Chaos() { stop(); }

void Chaos::stop() {
    sim_.setRandomFaults(options_.seed, 0);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (!sim_.plugged()) sim_.replug();
}

void Chaos::run() {
    // A stream of its own, so the plugging does not shift the reply faults' stream.
    std::mt19937 rng(options_.seed ^ 0x9E3779B9u);
    const auto upTo = [&rng](std::chrono::milliseconds most) {
        return std::chrono::milliseconds(1 + rng() % static_cast<std::uint32_t>(std::max<long long>(most.count(), 1)));
    };
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (wake_.wait_for(lock, upTo(options_.maxPlugged), [this] { return stopping_; })) break;
        sim_.unplug();
        ++unplugs_;
        wake_.wait_for(lock, upTo(options_.maxAway), [this] { return stopping_; });
        sim_.replug();
    }
}

std::string Chaos::report() const { return faultCounts(sim_) + "unplug " + std::to_string(unplugs_.load()) + '\n'; }

}  // namespace boardsim
