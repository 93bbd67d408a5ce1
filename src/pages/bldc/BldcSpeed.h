// The BLDC page's speed arithmetic: pps and rpm from the board's FG period count, what
// the page shows and records on each polling message, and the start-up test's
// conversions between a target rpm and a target FG frequency.
//
// Pure functions; any thread. A zero divisor (a count of 0, no pole pairs, 0 FG pulses
// per turn) gives 0, never a division.
#pragma once

#include <cstdint>


namespace bldc {

// The board's measurement timer setting: the count unit is (setting + 1) / 4 µs.
inline constexpr int kMeasureSetting = 39;
inline constexpr double CountUnitUs(int setting) { return (setting + 1) / 4.0; }

struct Speed {
    double pps = 0;             // unrounded, for the record file
    double rpm = 0;
    std::uint32_t ppsShown = 0;  // truncated toward zero, saturated, for the displays
    std::uint32_t rpmShown = 0;
};

// count: data word 27; polePairs: data word 18; fgPulses: profile[16] & 15.
Speed SpeedFromCount(std::uint32_t count, std::uint32_t polePairs, std::uint32_t fgPulses,
                     int setting = kMeasureSetting);
// rpm from pps: (2 / (2P)) × (pps / FG) × 60; 0 when P or FG is 0.
double RpmFromPps(double pps, std::uint32_t polePairs, std::uint32_t fgPulses);

// What one polling message changes on the page.
struct SpeedDisplay {
    Speed speed;
    std::uint32_t currentSpeedWord = 0;  // data word 17: pps without a pole count, else rpm
    bool rotationEnabled = false;        // F/R may be changed only while the motor is slow
};
SpeedDisplay ComputeSpeedDisplay(std::uint32_t count, std::uint32_t polePairs, std::uint32_t fgPulses);

// The start-up test's target conversions. FgToRpm: trunc((2 / 2P) × (fg / FG) × 60);
// RpmToFg: trunc(rpm × FG × 2P / 120). Both 0 when P or FG is 0.
std::uint32_t FgToRpm(std::uint32_t fg, std::uint32_t polePairs, std::uint32_t fgPulses);
std::uint32_t RpmToFg(std::uint32_t rpm, std::uint32_t polePairs, std::uint32_t fgPulses);

}  // namespace bldc
