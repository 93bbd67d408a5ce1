// The stepper page's value tables: what the index in a slider position, a combo item or
// a row word's bit field stands for. Constant data; `StepperTables` holds them as the
// page's lookup tables.
#pragma once

#include <array>

#include "parsers/StepRecord.h"  // the step frequencies a step row indexes
#include "parsers/ValueTable.h"

namespace pages::stepper {

// Clock frequencies (pps), indexed by the start and top clock sliders.
inline constexpr std::array<int, 38> kClockFrequencies = {
    100,  200,  300,  400,  500,  600,  800,   1000,  1200,  1400,  1600,  1800, 2000,
    2400, 2800, 3200, 3600, 4000, 4400, 4800,  5200,  5600,  6000,  6400,  6800, 7200,
    7600, 8000, 8400, 8800, 9200, 9600, 10000, 10400, 10800, 11200, 11600, 12000};

// Start-top (and re-top) ramp times (ms), indexed by the items of their combos.
inline constexpr std::array<int, 17> kStartTopTimes = {0,    500,  1000, 1500, 2000, 2500, 3000, 3500, 4000,
                                                       4500, 5000, 5500, 6000, 6500, 7000, 7500, 8000};

// Step counts, indexed by the transfer-time combo; its last item ("Other ...", index 24)
// has no entry: the count then comes from the count edit.
inline constexpr std::array<int, 24> kStepCounts = {
    1, 2, 3, 4, 5, 6, 7, 8, 16, 32, 64, 80, 160, 320, 640, 1600, 2400, 3200, 4000, 4800, 5600, 6400, 7200, 8000};
inline constexpr int kOtherCountItem = 24;

struct StepperTables {
    ValueTable clock{kClockFrequencies};
    ValueTable startTopTimes{kStartTopTimes};
    ValueTable stepFrequencies{kStepFrequencies};
    ValueTable stepCounts{kStepCounts};
};

}  // namespace pages::stepper
