// One control of a page's layout as data: what the layout tables of every hard-coded page
// (stepper, dual-stepper, DC, BLDC) produce and the one control factory creates from.
//
// Plain values, no window; any thread. Coordinates are those of the control's parent: the
// page, or a speed panel's client area.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pages/scaffold/LayoutGeometry.h"
#include "pages/scaffold/ProfileBits.h"

namespace pages {

enum class ControlClass {
    Label,
    Check,
    Combo,
    Slider,
    Edit,
    Button,
    Radio,
    Frame,
    ImageLabel,   // a lamp
    ColourLabel,  // a gradient bar
    Tab,
    TachometerPanel,  // panels are made by the page itself, not by the factory
    GraphPanel,
};

enum class Parent { Page, TachometerPanel, GraphPanel };

// How a number box shows its data word: the value decoder the edit converts with, and
// its style.
struct EditFormat {
    const char* format = "%.lf";
    int decoder = 0;  // parameter decoder kind: 0 identity, 1 percent, 3 multiply, 4 divide, 5 ratio, 6 table
    double a = 0, b = 0;
    bool readOnly = false;
    std::optional<double> warnAbove{};  // shown in the warning colour above this value
    std::vector<std::int32_t> table{};  // decoder 6: index -> shown value
    bool converts = true;               // false: the word is shown as it is, with no decoder
};

// A colour of a gradient bar at a percentage of its length (0x00BBGGRR).
struct ColourStop {
    int percent = 0;
    std::uint32_t colour = 0;
};

struct PlacedControl {
    std::uint32_t key = 0;  // kind << 16 | index; the window id is key + 3000
    int kind = 0;           // the data word
    int index = 0;          // 0.. value controls, 100.. captions (bound to no word)
    ControlClass cls = ControlClass::Label;
    Parent parent = Parent::Page;
    Rect rect;                      // a width x height of 0 takes the control's size after decoration
    ProfileBits bits;               // (stepper pages) of profile[kind]
    std::uint16_t profileWord = 0;  // (stepper pages)

    // Decoration.
    std::string caption;                        // label, button, radio, frame; a check's caption when clear
    std::string checkedCaption;                 // check
    bool plainCheck = false;                    // a plain check box instead of a push-like one
    int lsb = 0, bitCount = 0;                  // bit field of the data word; count 0 = the whole word
    std::vector<std::string> items;             // combo, tab
    int sliderMin = 0, sliderMax = 0;           // slider range
    std::optional<int> sliderStart;             // slider position set after the range; none leaves it
    std::optional<EditFormat> edit;             // edit
    std::uint32_t onColour = 0, offColour = 0;  // lamp, 0x00BBGGRR
    std::vector<ColourStop> gradient;           // gradient bar
};

}  // namespace pages
