#include "pages/dc/DcLayout.h"

#include <algorithm>
#include <array>

#include "pages/dc/DcChannel.h"

namespace pages::dc {

namespace {

// One control of a group: its class, index (100 the caption, 101 the unit), offset from
// the running x and the group's row, and size. `kind` -1 means the group's own kind.
struct Piece {
    ControlClass cls;
    int index;
    int dx, dy, width, height;
    int kind = -1;
};

constexpr Piece kCaption{ControlClass::Label, kCaptionIndex, 10, 7, 100, 14};
constexpr int kGroupGap = 3;
constexpr Piece kUnit{ControlClass::Label, kUnitIndex, 10, 7, 50, 14};
constexpr std::uint32_t kLampOn = 0x00FFFF, kLampOff = 0xFFFFFF;

struct Group {
    int kind;
    bool captionOnOwnLine;
    std::vector<Piece> pieces;
    const char* caption;
    const char* unit;
};

// clang-format off
const std::vector<Group>& Groups() {
    static const std::vector<Group> groups = [] {
        const auto sliderGroup = [](int k, int editKind, int editIndex, const char* caption, const char* unit) {
            return Group{k, true, {kCaption, {ControlClass::Slider, 0, 15, 0, 275, 28},
                                   {ControlClass::Edit, editIndex, 0, 0, 50, 21, editKind}, kUnit}, caption, unit};
        };
        // The captions and items in the page's font are wider than the chip maker's layout
        // allowed for: the right-hand captions and the mode lists get the room to show
        // their whole texts.
        const auto comboGroup = [](int k, int captionWidth, int width, const char* caption) {
            Piece label = kCaption;
            label.width = captionWidth;
            return Group{k, false, {label, {ControlClass::Combo, 0, 0, 1, width, 22}}, caption, nullptr};
        };
        const auto checkGroup = [](int k, const char* caption) {
            return Group{k, false, {kCaption, {ControlClass::Check, 0, 0, 0, 90, 25}}, caption, nullptr};
        };
        const auto editGroup = [](int k, const char* caption, const char* unit) {
            return Group{k, false, {kCaption, {ControlClass::Edit, 0, 0, 0, 50, 21}, kUnit}, caption, unit};
        };
        const auto lampGroup = [](int k) {
            return Group{k, false, {{ControlClass::ImageLabel, 0, 15, 0, 20, 20}, kCaption}, "Warning", nullptr};
        };
        const auto titleGroup = [](int k, const char* caption) {
            return Group{k, false, {{ControlClass::Label, kCaptionIndex, 10, 7, 200, 14}}, caption, nullptr};
        };
        using namespace kind;
        return std::vector<Group>{
            checkGroup(kChipEnable, "Chip Enable"),  // its prefix comes from the profile word
            comboGroup(kMode1, 100, 160, "PWM mode"), comboGroup(kMode2, 100, 160, "PWM mode"),
            sliderGroup(kFrequency, kFrequency, 1, "PWM Frequency", "Hz"),
            sliderGroup(kFrequency2, kFrequency2, 1, "PWM Frequency", "Hz"),
            sliderGroup(kDuty1, kDuty1, 1, "On Duty", "%"), sliderGroup(kDuty2, kDuty2, 1, "On Duty", "%"),
            checkGroup(kStart1, "Start/Stop"), checkGroup(kStart2, "Start/Stop"),
            sliderGroup(kRef, kRefMeasured, 0, "REF Voltage", "V"),
            comboGroup(kAtt, 120, 108, "Attenuate"), comboGroup(kBlanking, 120, 108, "Blanking Time"),
            comboGroup(kProtection, 120, 108, "Over-cur. Protection"),
            editGroup(kResistance1, "RF-Resistance", "ohm"), editGroup(kResistance2, "RF-Resistance", "ohm"),
            editGroup(kCurrent1, "Iout =", "A"), editGroup(kCurrent2, "Iout =", "A"),
            lampGroup(kWarning1), lampGroup(kWarning2),
            checkGroup(kPolling, "Polling Timer"),
            Group{kSequenceWindow, false, {{ControlClass::Button, 0, 110, 0, 90, 25}}, "Sequence Test", nullptr},
            titleGroup(kTitle1, "Ch1 Motor(OUT1A-OUT1B)"), titleGroup(kTitle2, "Ch2 Motor(OUT2A-OUT2B)"),
            Group{kDemo, false, {{ControlClass::Check, 0, 110, 0, 90, 25}}, nullptr, nullptr},
        };
    }();
    return groups;
}
// clang-format on

const Group* FindGroup(int k) {
    for (const Group& g : Groups())
        if (g.kind == k) return &g;
    return nullptr;
}

struct Position {
    int x = 0, y = 0;
};

// The value format of an edit kind; the frequency edits show the PWM frequency of the index.
EditFormat EditFormatOf(int k, std::int32_t deviceKey) {
    using namespace kind;
    if (k == kFrequency || k == kFrequency2) {
        const auto& hz = FrequencyTable();
        return {"%.lf", 6, 0, 0, false, std::nullopt, {hz.begin(), hz.end()}};
    }
    if (k == kDuty1 || k == kDuty2) return {"%#.2lf", 1, 256.0, 0, false, std::nullopt};
    if (k == kRefMeasured) return {"%#.2lf", 5, 3.3, 4096.0, true, 1.0};
    if (k == kResistance1 || k == kResistance2)
        return deviceKey == 0x202 ? EditFormat{"%.lf", 0, 2000.0, 0, false, std::nullopt}
                                  : EditFormat{"%#.2lf", 4, 1000.0, 0, false, std::nullopt};
    if (k == kCurrent1 || k == kCurrent2) return {"%#.3lf", 4, 1000.0, 0, true, 0.2};
    return {"%d", 0, 0, 0, false, std::nullopt};
}

void Decorate(PlacedControl& c, std::int32_t deviceKey, std::uint16_t profileWord, const Group& g) {
    using namespace kind;
    if (c.index == kCaptionIndex) {
        c.caption = g.caption != nullptr ? g.caption : "";
        if (c.kind == kChipEnable) c.caption = ((profileWord & 7u) == 1 ? "ST: " : "PS: ") + c.caption;
        return;
    }
    if (c.index == kUnitIndex) {
        c.caption = g.unit != nullptr ? g.unit : "";
        return;
    }
    switch (c.cls) {
        case ControlClass::Check: {
            struct CheckTexts {
                int kind;
                const char* off;
                const char* on;
            };
            static constexpr CheckTexts kChecks[] = {{kChipEnable, "Enable", "Disable"},
                                                     {kStart1, "Start", "Stop"},
                                                     {kStart2, "Start", "Stop"},
                                                     {kPolling, "Polling Start", "Polling Stop"},
                                                     {kDemo, "Demo Start", "Demo Stop"}};
            for (const CheckTexts& t : kChecks) {
                if (t.kind != c.kind) continue;
                c.caption = t.off;
                c.checkedCaption = t.on;
            }
            break;
        }
        case ControlClass::Combo:
            if (c.kind == kMode1 || c.kind == kMode2) c.items.assign(std::begin(kModeItems), std::end(kModeItems));
            if (c.kind == kAtt) c.items = {"100%", "80%", "50%", "20%"};
            if (c.kind == kBlanking) c.items = {"2usec", "3usec"};
            if (c.kind == kProtection) c.items = {"Latch", "Auto Reset"};
            break;
        case ControlClass::Slider:
            c.sliderMax = (c.kind == kFrequency || c.kind == kFrequency2) ? 27 : 256;
            c.sliderStart = 0;
            break;
        case ControlClass::ImageLabel:
            c.onColour = kLampOn;
            c.offColour = kLampOff;
            break;
        case ControlClass::Button:
            c.caption = g.caption;
            break;
        case ControlClass::Edit:
            c.edit = EditFormatOf(c.kind, deviceKey);
            break;
        default:
            break;
    }
}

// Places the group of `k` at `at` and moves `at` down by the rows it added.
void PlaceGroup(int k, Position& at, std::int32_t deviceKey, std::span<const std::uint16_t, 128> profile,
                std::vector<PlacedControl>& out) {
    const Group* g = FindGroup(k);
    const std::uint16_t word = profile[static_cast<std::size_t>(k)];
    if (g == nullptr || word == 0) return;
    int x = at.x, y = at.y, height = 0;
    for (const Piece& p : g->pieces) {
        PlacedControl c;
        c.kind = p.kind < 0 ? k : p.kind;
        c.index = p.index;
        c.key = static_cast<std::uint32_t>(c.kind) << 16 | static_cast<std::uint32_t>(p.index);
        c.cls = p.cls;
        c.rect = {x + p.dx, y + p.dy, p.width, p.height};
        Decorate(c, deviceKey, word, *g);
        out.push_back(std::move(c));
        if (p.index == kCaptionIndex && g->captionOnOwnLine) {
            y += 21;
            height += 21;
            continue;
        }
        x += p.cls == ControlClass::Edit ? 50 : p.dx + p.width;
    }
    int rowHeight = 0;
    for (const Piece& p : g->pieces) {
        if (p.index == kCaptionIndex && g->captionOnOwnLine) continue;
        rowHeight = std::max(rowHeight, p.dy + p.height);
    }
    // A little room between groups, so that stacked buttons and edits do not touch.
    at.y += height + rowHeight + kGroupGap;
}

}  // namespace

std::vector<PlacedControl> LayOutDcPage(std::int32_t deviceKey, std::span<const std::uint16_t, 128> profile) {
    using namespace kind;
    constexpr int kColumnB = 370;
    std::vector<PlacedControl> out;
    Position a{0, 0};
    const auto place = [&](std::initializer_list<int> kinds, Position& at) {
        for (int k : kinds) PlaceGroup(k, at, deviceKey, profile, out);
    };
    place({kChipEnable}, a);
    Position b{kColumnB, a.y};
    place({kRef, kFrequency, kFrequency2}, a);
    place({kAtt, kBlanking, kProtection}, b);
    a.y = std::max(a.y, b.y) + 20;
    b = {kColumnB, a.y};
    place({kTitle1, kMode1, kDuty1, kResistance1, kCurrent1, kWarning1, kStart1}, a);
    place({kTitle2, kMode2, kDuty2, kResistance2, kCurrent2, kWarning2, kStart2}, b);
    a.y = std::max(a.y, b.y) + 10;
    place({kPolling, kSequenceWindow, kDemo}, a);
    return out;
}

}  // namespace pages::dc
