// The simulator's motor model: speed counts that follow the start/stop pin.
#pragma once

#include <cstdint>
#include <vector>

namespace boardsim {

// `stillReads` reads of a start give 0 (the motor has not moved yet), then the FG
// period count falls from `firstCount` by `countStep` per read down to `fullSpeedCount`.
// The n-th start since enabling takes its still reads from stillReads[n % size].
// Leaving the run level stops the motor (count 0).
struct Motor {
    bool enabled = true;
    int port = 21;
    bool runLevel = false;
    std::vector<int> stillReads{3};
    std::uint16_t firstCount = 20000;
    std::uint16_t countStep = 2000;
    std::uint16_t fullSpeedCount = 500;
};

}  // namespace boardsim
