#include "pages/bldc/BldcLayout.h"

#include <algorithm>

namespace bldc {

namespace {

bool Contains(std::initializer_list<int> kinds, int kind) {
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

// Label, slider, edit and unit label; the edit is the analog read-back on the voltage kinds.
std::vector<ControlSpec> SliderGroup(int kind, int editKind, int editIndex) {
    return {{ControlClass::Label, kind, kCaptionIndex, 10, 7, 125, 14},
            {ControlClass::Slider, kind, 0, 25, 21, 275, 28},
            {ControlClass::Edit, editKind, editIndex, 300, 21, 50, 21},
            {ControlClass::Label, kind, kUnitIndex, 360, 28, 25, 14}};
}

ControlSpec Caption(int kind) { return {ControlClass::Label, kind, kCaptionIndex, 10, 7, 125, 14}; }

// "Number of Motor Poles" fills its 125 pixels: the tachometer column's fields start
// further right, so the caption keeps clear of its list (and the speed field lines up).
constexpr int kTachometerFieldX = 145;
ControlSpec WideCaption(int kind) { return {ControlClass::Label, kind, kCaptionIndex, 10, 7, 130, 14}; }

int RecipeHeight(int kind) {
    if (Contains({0, 28, 2, 3, 19, 29, 4, 6, 8}, kind)) return 49;
    if (kind == 1 || Contains({10, 11, 12, 13, 14, 23, 26, 33, 15, 27, 24, 25, 30}, kind)) return 25;
    if (kind == 18) return 23;
    if (Contains({17, 20, 21}, kind)) return 21;
    if (kind == 16) return 300;
    return 0;
}

}  // namespace

std::vector<ControlSpec> GroupControls(int kind) {
    if (Contains({0, 28, 2, 3, 19, 29}, kind)) return SliderGroup(kind, kind, 1);
    if (Contains({4, 6, 8}, kind)) return SliderGroup(kind, kind + 1, 0);
    if (kind == 1) return {Caption(kind), {ControlClass::Combo, kind, 0, 135, 1, 108, 22}};
    if (kind == 18) return {WideCaption(kind), {ControlClass::Combo, kind, 0, kTachometerFieldX, 1, 108, 22}};
    if (Contains({10, 11, 12, 13, 14, 23, 26, 33}, kind))
        return {Caption(kind), {ControlClass::Check, kind, 0, 135, 0, 90, 25}};
    if (kind == 15 || kind == 27) return {Caption(kind), {ControlClass::Button, kind, 0, 135, 0, 90, 25}};
    if (kind == 17) return {WideCaption(kind), {ControlClass::Edit, 17, 0, kTachometerFieldX, 0, 50, 21}};
    if (kind == 20 || kind == 21)
        return {{ControlClass::ImageLabel, kind, 0, 0, 0, 20, 20},
                {ControlClass::Label, kind, kCaptionIndex, 30, 7, 125, 14}};
    // "Slow" is as wide as its 25 pixels: the bar and "Fast" move right to leave a gap.
    if (kind == 24 || kind == 25)
        return {{ControlClass::Label, kind, kCaptionIndex, 10, 7, 30, 14},
                {ControlClass::ColourLabel, kind, 0, 45, 0, 257, 25},
                {ControlClass::Label, kind, kUnitIndex, 312, 7, 30, 14}};
    if (kind == 30)
        return {Caption(kind),
                {ControlClass::Radio, 30, 0, 135, 0, 65, 25},
                {ControlClass::Radio, 30, 1, 205, 0, 65, 25},
                {ControlClass::Radio, 30, 2, 275, 0, 65, 25}};
    // The panels size themselves; only their place is given.
    if (kind == 16) return {{ControlClass::TachometerPanel, 16, 0, 0, 0, 0, 0}};
    if (kind == 22) return {{ControlClass::GraphPanel, 22, 0, 0, 0, 0, 0}};
    return {};
}

int GroupAdvance(int kind, bool present) {
    if (present) return RecipeHeight(kind) + 1;
    if (kind == 1) return 3;
    if (kind == 16) return 301;
    return 1;
}

namespace {

std::uint16_t WordOf(std::span<const std::uint16_t> profile, int kind) {
    return kind >= 0 && static_cast<std::size_t>(kind) < profile.size() ? profile[static_cast<std::size_t>(kind)] : 0;
}

template <class Visit>
ColumnEnds Walk(std::span<const std::uint16_t> profile, Visit visit) {
    auto word = [&](int kind) { return WordOf(profile, kind); };
    int pageY = 0;
    int tachY = 0;
    for (int kind : kPageColumnOrder) {
        visit(kind, 0, pageY, word(kind));
        pageY += GroupAdvance(kind, word(kind) != 0);
    }
    int sharedY = 0;
    for (int kind : kTachometerColumnOrder) {
        if (kind == 19) sharedY = tachY;
        // 29 sits where 19 started and does not move the column: only one is shown.
        const int y = kind == 29 ? sharedY : tachY;
        visit(kind, 0, y, word(kind));
        if (kind != 29) tachY += GroupAdvance(kind, word(kind) != 0);
    }
    visit(22, 0, pageY, word(22));
    pageY += GroupAdvance(22, word(22) != 0);
    return {pageY, tachY};
}

// The entry of one control: texts by the variant of its own kind's word.
pages::PlacedControl Decorated(const ControlSpec& s, std::int32_t deviceKey, std::uint16_t ownWord) {
    pages::PlacedControl c;
    c.key = static_cast<std::uint32_t>(s.kind) << 16 | static_cast<std::uint32_t>(s.index);
    c.kind = s.kind;
    c.index = s.index;
    c.cls = s.control;
    c.rect = {s.x, s.y, s.width, s.height};
    const int variant = ownWord & kVariantMask;
    switch (s.control) {
        case ControlClass::Label:
            c.caption = LabelCaption(s.kind, s.index, variant);
            break;
        case ControlClass::Slider: {
            const SliderRange r = SliderRangeOf(s.kind);
            c.sliderMin = r.minimum;
            c.sliderMax = r.maximum;
            c.sliderStart = r.position;
            break;
        }
        case ControlClass::Edit:
            c.edit = EditFormatOf(s.kind, deviceKey);
            break;
        case ControlClass::Combo:
            for (std::string_view item : ComboItems(s.kind)) c.items.emplace_back(item);
            break;
        case ControlClass::Check: {
            const CheckCaptions captions = CheckButtonCaptions(s.kind, variant);
            c.caption = captions.clear;
            c.checkedCaption = captions.ticked;
            break;
        }
        case ControlClass::Button:
            c.caption = ButtonCaption(s.kind);
            break;
        case ControlClass::Radio:
            if (s.index >= 0 && s.index < static_cast<int>(kSswRadioCaptions.size()))
                c.caption = kSswRadioCaptions[static_cast<std::size_t>(s.index)];
            break;
        case ControlClass::ImageLabel:
            c.onColour = kLampOn, c.offColour = kLampOff;
            break;
        case ControlClass::ColourLabel:
            c.gradient.assign(kSpeedBarStops.begin(), kSpeedBarStops.end());
            break;
        default:
            break;
    }
    return c;
}

}  // namespace

std::vector<pages::PlacedControl> PlaceControls(std::int32_t deviceKey, std::span<const std::uint16_t> profile) {
    std::vector<pages::PlacedControl> out;
    Walk(profile, [&](int kind, int x, int y, std::uint16_t groupWord) {
        if (groupWord == 0) return;
        for (ControlSpec s : GroupControls(kind)) {
            s.x += x;
            s.y += y;
            pages::PlacedControl c = Decorated(s, deviceKey, WordOf(profile, s.kind));
            const bool panel = s.control == ControlClass::TachometerPanel || s.control == ControlClass::GraphPanel;
            if (!panel && (groupWord & kOnTachometer) != 0) c.parent = pages::Parent::TachometerPanel;
            out.push_back(std::move(c));
        }
    });
    return out;
}

ColumnEnds ColumnHeights(std::span<const std::uint16_t> profile) {
    return Walk(profile, [](int, int, int, std::uint16_t) {});
}

std::string_view LabelCaption(int kind, int index, int variant) {
    if (index == kUnitIndex) {
        switch (kind) {
            case 0:
            case 28:
            case 2:
                return "%";
            case 4:
            case 6:
            case 8:
                return "V";
            case 19:
                return "pps";
            case 29:
                return "rpm";
            case 24:
            case 25:
                return "Fast";
            default:
                return "";
        }
    }
    if (index != kCaptionIndex) return "";
    switch (kind) {
        case 0:
        case 28:
            return "PWMIN Duty";
        case 1:
            return "PWM Frequency";
        case 2:
            return "PWM Duty";
        case 4: {
            static constexpr std::string_view v[] = {"", "CTL Voltage", "VCONT Voltage", "LASEL Voltage",
                                                     "TOC Voltage"};
            return variant >= 1 && variant <= 4 ? v[variant] : "";
        }
        case 6: {
            static constexpr std::string_view v[] = {"", "STIME Voltage", "RMI Voltage", "LIM Voltage"};
            return variant >= 1 && variant <= 3 ? v[variant] : "";
        }
        case 8:
            return "MODE Voltage";
        case 10:
            return "BRKSEL State";
        case 11:
            return "CSDSEL State";
        case 12: {
            static constexpr std::string_view v[] = {"", "S/S: Chip Enable", "S/B: Chip Enable", "START: Chip Enable"};
            return variant >= 1 && variant <= 3 ? v[variant] : "";
        }
        case 13:
            return variant == 1 ? "POWER: Chip Enable" : "";
        case 14:
            return "F/R: Rotation Control";
        case 15:
            return "Testmode Window";
        case 17:
            return "Current rpm";  // the pole setting replaces it
        case 18:
            return "Number of Motor Poles";
        case 19:
        case 29:
            return "Maximum Speed";
        case 20:
            return variant == 1 ? "LD : Motor Locked" : variant == 2 ? "DIAG" : "";
        case 21:
            return variant == 1 || variant == 2 ? "RD : Motor Locked" : "";
        case 23:
            return "Record Graph Data";
        case 24:
        case 25:
            return "Slow";
        case 26:
            return "Polling Timer";
        case 30:
            return "SSW pin Level";
        case 33:
            return "Demonstration";
        default:
            return "";
    }
}

CheckCaptions CheckButtonCaptions(int kind, int variant) {
    switch (kind) {
        case 10:
            return {"Short Brake", "Free Run"};
        case 11:
            return {"FG", "LD"};
        case 12:
            if (variant == 1) return {"Start", "Stop"};
            if (variant == 2) return {"Start", "Brake"};
            if (variant == 3) return {"On", "Off"};
            return {"", ""};
        case 13:
            return variant == 1 ? CheckCaptions{"Start", "Stop"} : CheckCaptions{"On", "Off"};
        case 14:
            return {"Reverse", "Forward"};
        case 23:
            return {"Record Start", "Record End"};
        case 26:
            return {"Polling Start", "Polling Stop"};
        case 33:
            return {"Start", "Stop"};
        default:
            return {"", ""};
    }
}

std::string_view ButtonCaption(int kind) { return kind == 15 ? "Start Testmode" : ""; }

SliderRange SliderRangeOf(int kind) {
    switch (kind) {
        case 0:
        case 28:
            return {0, 240, 0};
        case 2:
            return {0, 100, 0};
        case 3:
            return {0, 24, 0};
        case 4:
        case 6:
        case 8:
            return {0, 256, 0};
        case 19:
        case 29:
            return {10, 350, 80};
        default:
            return {0, 0, 0};
    }
}

std::optional<pages::EditFormat> EditFormatOf(int editKind, int deviceKey) {
    using pages::EditFormat;
    switch (editKind) {
        case 0:
        case 28:
            return EditFormat{"%#.2lf", ParameterRecord::kPercent, 240.0, 0, false, {}};
        case 2:
        case 3:
            return EditFormat{"%.lf", ParameterRecord::kIdentity, 0, 0, false, {}};
        case 5:
            if (deviceKey == 0x307) return EditFormat{"%#.3lf", ParameterRecord::kRatio, 5.0, 256.0, true, {}};
            return EditFormat{"%#.3lf", ParameterRecord::kRatio, 3.3, 4096.0, true, {}};
        case 7:
        case 9:
            return EditFormat{"%#.3lf", ParameterRecord::kRatio, 3.3, 4096.0, true, {}};
        case 17:
            return EditFormat{"%d", ParameterRecord::kIdentity, 0, 0, true, {}, {}, false};
        case 19:
            return EditFormat{"%.lf", ParameterRecord::kMultiply, 10.0, 0, false, {}};
        case 29:
            return EditFormat{"%.lf", ParameterRecord::kMultiply, 100.0, 0, false, {}};
        default:
            return std::nullopt;
    }
}

std::span<const std::string_view> ComboItems(int kind) {
    static constexpr std::array<std::string_view, 9> kFrequencies = {"61Hz",   "122Hz",  "244Hz",  "488Hz",  "976Hz",
                                                                     "1952Hz", "3904Hz", "7808Hz", "15616Hz"};
    static constexpr std::array<std::string_view, 11> kPoles = {"N/A",      "2 poles",  "4 poles",  "6 poles",
                                                                "8 poles",  "10 poles", "12 poles", "14 poles",
                                                                "16 poles", "18 poles", "20 poles"};
    if (kind == 1) return kFrequencies;
    if (kind == 18) return kPoles;
    return {};
}

}  // namespace bldc
