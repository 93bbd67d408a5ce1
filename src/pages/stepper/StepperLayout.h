// The stepper page's layout as data: which controls each item kind has, their captions,
// lists, ranges and formats (per device where the chip differs), the sizes and offsets of
// every control class, and the order in which the page builds its groups.
//
// Pure data and one pure function, `LayOutStepperPage`, that walks the build order with
// the running position and the device's control profile and returns every control the
// page creates, with its key, class, parent, rectangle, texts and profile bits, as the
// scaffold's layout entries (`PlacedControl`). The scaffold's control factory creates
// exactly these; nothing here knows a control class.
//
// Coordinates are page pixels; controls parented on the tachometer panel use the panel's
// client coordinates, the graph panel's its own.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "pages/scaffold/PlacedControl.h"

namespace pages::stepper {

struct StepperLayout {
    std::vector<PlacedControl> controls;
    int pageWidth = 0, pageHeight = 0;  // extent of the page's own controls
    bool hasTab = false;
};

// The speed-curve panel's settings on this page.
struct GraphPanelSpec {
    const char* xAxis = "Elapsed Time [msec]";
    const char* yAxis = "Motor Rotational Speed [pps]";
    std::uint32_t seriesColour = 0x800000;
    int xMin = -5000, xMax = 0, xDivision = 500;
    std::uint32_t seriesMask = 1;
};

// `tachometerPanel` is the tachometer panel's window size (its items go below its dial).
StepperLayout LayOutStepperPage(std::int32_t deviceKey, std::span<const std::uint16_t, 128> profile,
                                Rect tachometerPanel);

// Decoration of one control of an item kind on a device (captions, items, ranges,
// formats); the rectangle is left empty. Exposed for the page's decorators.
PlacedControl DecorateControl(std::int32_t deviceKey, int kind, int index, ControlClass cls);

// Devices whose step rows have no excitation column.
bool NoExcitationColumn(std::int32_t deviceKey);

// The tachometer's full scale for the clock-in page on a device: word 52 times this.
int TachometerScaleFactor(std::int32_t deviceKey);

}  // namespace pages::stepper
