// The dual-stepper page's layout as data: each item kind's controls with their captions,
// lists, ranges and edit formats, the sizes and offsets of every group in one table, and
// the order in which the page places its groups in two motor columns.
//
// Pure data and one pure function, `LayOutDualPage`, that walks the placement with the
// running positions and the device's control profile and returns every control the page
// creates (the scaffold's layout entries, `PlacedControl`), in build order. Controls on the digital
// tachometer panel use the panel's client coordinates.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pages/scaffold/PlacedControl.h"

namespace pages::dual {

struct DualLayout {
    std::vector<PlacedControl> controls;
};

// The speed-curve panel's settings on this page: motor 1 blue, motor 2 red.
struct DualGraphSpec {
    const char* xAxis = "Time [msec]          <  Blue line : Motor1 , Red line : Motor2  >";
    const char* yAxis = "Motor Rotational Speed [pps]";
    std::uint32_t motor1Colour = 0x800000, motor2Colour = 0x0000FF;
    int xMin = -5000, xMax = 0, xDivision = 500;
};

inline constexpr const char* kVrefTip = "Please set REF Voltage < 1.5V";

DualLayout LayOutDualPage(std::span<const std::uint16_t, 128> profile);

}  // namespace pages::dual
