// The stepper page's layout as data: which controls each item kind has, their captions,
// lists, ranges and formats (per device where the chip differs), the sizes and offsets of
// every control class, and the order in which the page builds its groups.
//
// Pure data and one pure function, `LayOutStepperPage`, that walks the build order with
// the running position and the device's control profile and returns every control the
// page creates, with its key, class, parent, rectangle, texts and profile bits. The page's
// control factories create exactly these; nothing here knows a control class.
//
// Coordinates are page pixels; controls parented on the tachometer panel use the panel's
// client coordinates, the graph panel's its own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pages/scaffold/ProfileBits.h"

namespace pages::stepper {

enum class ControlClass { Label, Check, Combo, Slider, Edit, Button, Frame, ImageLabel, Tab, TachometerPanel, GraphPanel };

enum class Parent { Page, TachometerPanel, GraphPanel };

// How a read-only or editable number box shows its data word.
struct EditFormat {
    const char* format = "%.lf";
    int decoder = 0;  // parameter decoder kind: 0 identity, 3 multiply, 4 divide, 5 ratio, 6 table
    double a = 0, b = 0;
    bool readOnly = false;
    std::optional<double> warnAbove;  // shown in the warning colour above this value
    const int* table = nullptr;       // decoder 6: index -> value
    int tableSize = 0;
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct PlacedControl {
    std::uint32_t key = 0;  // kind << 16 | index; the window id is key + 3000
    int kind = 0;           // the data word
    int index = 0;          // 0.. value controls, 100.. labels
    ControlClass cls = ControlClass::Label;
    Parent parent = Parent::Page;
    Rect rect;
    ProfileBits bits;       // of profile[kind]
    std::uint16_t profileWord = 0;

    // Decoration.
    std::string caption;                // label, button, check (its unchecked caption)
    std::string checkedCaption;         // check
    bool plainCheck = false;            // row checks: a plain check box on bit 31
    int lsb = 0, bitCount = 0;          // bit field of the data word; count 0 = the whole word
    std::vector<std::string> items;     // combo, tab
    int sliderMin = 0, sliderMax = 0;   // slider range, start position min
    std::optional<EditFormat> edit;     // edit
    std::uint32_t onColour = 0, offColour = 0;  // image label, 0x00BBGGRR
};

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
