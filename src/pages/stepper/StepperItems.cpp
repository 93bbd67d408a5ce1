// The stepper page's item texts, lists, ranges and formats by kind and device: a data
// table (DecorateControl reads it for every control the layout places).
#include <array>
#include <initializer_list>

#include "pages/stepper/StepperLayout.h"
#include "pages/stepper/StepperTables.h"

namespace pages::stepper {

namespace {

using Items = std::initializer_list<const char*>;

struct KindTexts {
    int kind;
    std::initializer_list<const char*> labels;  // captions of labels 100, 101, ...
    Items items;                                // combo items
    const char* unchecked = nullptr;            // check captions, or a button's caption
    const char* checked = nullptr;
};

// Device-independent texts; the device variants are applied in DecorateControl.
const KindTexts kTexts[] = {
    {0, {"Chip Enable/Disable"}, {}, "Enable", "Disable"},
    {1, {"Input Type"}, {"Clock-in", "Parallel"}},
    {3, {"Test mode"}, {"Fixed", "Sequence"}},
    {4, {"REF Voltage", "V"}, {}},
    {6, {"Attenuate"}, {"100%", "80%", "50%", "20%"}},
    {7, {"RF Resistance", "ohm"}, {}},
    {8, {"lout =", "A"}, {}},
    {9, {"Start Clock Frequency", "pps"}, {}},
    {10, {"Top Clock Frequency", "pps"}, {}},
    {11, {"Start-Top Time"}, {}},
    {12, {"Excitation Mode"}, {"Full Step", "Half Step", "1/4 Step", "1/16 Step"}},
    {13, {"Direction"}, {"CW", "CCW"}},
    {14, {"Drive Margin"}, {"Low", "Middle", "Large"}},
    {15, {"Boost Up"}, {"Min", "Low", "High", "Max"}},
    {16, {"High Efficient Drive"}, {}, "On", "Off"},
    {17, {"Reset"}, {"Normal", "Reset"}},
    {18, {"Output Enable"}, {}, "Off", "On"},
    {19, {"Over-cur. Protection"}, {"Latch", "Auto Reset"}},
    {20, {"Start/Stop"}, {}, "Start", "Stop"},
    {21, {"Clock"}, {}, "Off", "On"},
    {22, {"Re-Top Time"}, {}},
    {23, {}, {}, "Update"},
    {24, {"Transfer Unit"}, {"Seconds", "Steps"}},
    {25, {"Transfer Time"}, {"1",    "2",    "3",    "4",    "5",    "6",    "7",        "8",    "16",
                             "32",   "64",   "80",   "160",  "320",  "640",  "1600",     "2400", "3200",
                             "4000", "4800", "5600", "6400", "7200", "8000", "Other ..."}},
    {26, {" ", "(max:65535)"}, {}},
    {27, {"Stop Signal"}, {"Auto", "Stop Button"}},
    {28, {"Blanking Time"}, {"2usec", "3usec"}},
    {29, {"Repeat"}, {"Off", "On"}},
    // The step table's headers sit over columns narrower than their words: two lines.
    {30, {"Index", "Excitation\nMode", "Frequency *", "Direction"}, {}},
    {39, {}, {}, "Start"},
    {40, {}, {}, "Stop"},
    {41, {}, {}, "Demo Start", "Demo Stop"},
    {42, {"*: Frequency is one step period conversion"}, {}},
    {44, {"Current PPS"}, {}},
    {45, {"Boost Up"}, {}},
    {46, {"Step Out"}, {}},
    {48, {" 2ch Warning"}, {}},
    {49, {"Stop Motor"}, {}},
    {51, {"Record Graph Data"}, {}, "Record Start", "Record End"},
    {52, {"Tachometer Max PPS", "pps"}, {}},
    {53, {"Tachometer Max PPS", "pps"}, {}},
    {54, {"Polling Timer"}, {}, "Polling Start", "Polling Stop"},
    {55, {"Reset"}, {"Normal", "Reset"}},
    {56, {"Direction"}, {"CW", "CCW"}},
    {57, {"Output Enable"}, {"On", "Off"}},
    {58, {"Attenuate"}, {"100%", "90%", "80%", "70%", "60%", "50%", "40%", "30%"}},
    {59,
     {"Excitation Mode"},
     {"1/2step", "1/4step", "1/8step", "1/16step", "1/32step", "1/64step", "1/128step", "1/3step", "1/6step",
      "1/12step", "1/36step", "1/5step", "1/10step", "1/20step", "1/50step", "1/100step"}},
    {60, {"DECAY Mode"}, {"25%FAST", "50%FAST", "SLOW", "FAST"}},
    {61, {"Blanking Time"}, {"0.5us", "1.0us", "2.0us", "4.0us"}},
    {62, {"Step Det. Time"}, {"0.52s", "1.04s"}},
    {63, {"Chopping Period"}, {"8us", "16us", "24us", "32us"}},
    {64, {"Over-cur. Protection"}, {"ON_Latch", "ON_Auto", "Off"}},
    {65, {"EMO Output"}, {"Over-cur. det.", "Lowvoltage det."}},
    {66, {"Output ShortCircuit Protect"}, {"Latch", "Auto Reset"}},
    {67, {"Through Cur-Protector"}, {"0.5us", "1.0us", "2.0us", "4.0us"}},
    {68, {"Send Serial Signal"}, {}, "Send"},
};

const char* const kRowOrdinals[8] = {"1st", "2nd", "3rd", "4th", "5th", "6th", "7th", "8th"};
const char* const kStepFrequencyItems[20] = {"20Hz",  "40Hz",  "60Hz",  "80Hz",   "100Hz",  "120Hz", "140Hz",
                                             "160Hz", "180Hz", "200Hz", "300Hz",  "400Hz",  "500Hz", "600Hz",
                                             "700Hz", "800Hz", "900Hz", "1000Hz", "1100Hz", "1200Hz"};
constexpr std::array<int, 5> kStartClockValues = {100, 200, 300, 400, 500};

const KindTexts* Find(int kind) {
    for (const auto& t : kTexts)
        if (t.kind == kind) return &t;
    return nullptr;
}

// "0sec", "0.5sec", "1sec" ... up to `count` half seconds.
std::vector<std::string> RampTimes(int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(std::to_string(i / 2) + (i % 2 ? ".5sec" : "sec"));
    return out;
}

bool In(std::int32_t key, std::initializer_list<std::int32_t> keys) {
    for (auto k : keys)
        if (k == key) return true;
    return false;
}

}  // namespace

bool NoExcitationColumn(std::int32_t key) { return key >= 0x10A && key <= 0x10C; }

int TachometerScaleFactor(std::int32_t key) { return In(key, {0x100, 0x101, 0x104, 0x105}) ? 100 : 10; }

PlacedControl DecorateControl(std::int32_t key, int kind, int index, ControlClass cls) {
    PlacedControl c;
    c.kind = kind, c.index = index, c.cls = cls;
    c.key = static_cast<std::uint32_t>(kind) << 16 | static_cast<std::uint32_t>(index);
    const KindTexts* t = Find(kind);

    if (kind >= 31 && kind <= 38) {  // a step row
        const int row = kind - 31;
        switch (index) {
            case 0:
                c.caption = kRowOrdinals[row], c.checkedCaption = kRowOrdinals[row], c.plainCheck = true, c.lsb = 31,
                c.bitCount = 1;
                break;
            case 1:
                c.items = {"Full Step", "Half Step"}, c.lsb = 29, c.bitCount = 2;
                break;
            case 2:
                c.items.assign(std::begin(kStepFrequencyItems), std::end(kStepFrequencyItems)), c.lsb = 24,
                                                                                                c.bitCount = 5;
                break;
            case 3:
                c.items = {"CW", "CCW"}, c.lsb = 23, c.bitCount = 1;
                break;
            default:
                break;  // the frame that marks the running row
        }
        return c;
    }

    switch (cls) {
        case ControlClass::Label:
        case ControlClass::ImageLabel:
            if (cls == ControlClass::ImageLabel) {
                static constexpr std::pair<int, std::uint32_t> kOn[] = {
                    {45, 0x6BFF40}, {46, 0x4040FF}, {47, 0x00FFFF}, {48, 0x00FFFF}, {49, 0xFFBA6B}};
                for (auto [k, colour] : kOn)
                    if (k == kind) c.onColour = colour;
                c.offColour = 0xFFFFFF;
                break;
            }
            if (kind == 47) {
                c.caption = In(key, {0x100, 0x102, 0x105}) ? " Warning" : In(key, {0x101, 0x104}) ? " 1ch Warning" : "";
            } else if (kind == 26 && index == 101 && In(key, {0x101, 0x104})) {
                c.caption = "(max:65535)";
            } else if (kind == 30 && NoExcitationColumn(key)) {
                static const char* const kHeader[] = {"Index", "Frequency *", "Direction"};
                if (index >= 100 && index < 103) c.caption = kHeader[index - 100];
            } else if (t && index >= 100 && static_cast<std::size_t>(index - 100) < t->labels.size()) {
                c.caption = t->labels.begin()[index - 100];
            }
            break;
        case ControlClass::Check:
        case ControlClass::Button:
            if (t && t->unchecked) c.caption = t->unchecked;
            if (t && t->checked) c.checkedCaption = t->checked;
            break;
        case ControlClass::Combo:
        case ControlClass::Tab:
            if (kind == 11 || kind == 22) {
                c.items = RampTimes(key == 0x105 ? 5 : 17);
            } else if (kind == 12 && key == 0x100) {
                c.items = {"Full Step", "Half Step(70%)", "1/4 Step", "Half Step(100%)"};
            } else if (t) {
                c.items.assign(t->items.begin(), t->items.end());
            }
            break;
        case ControlClass::Slider:
            switch (kind) {
                case 4:
                    c.sliderMin = 0, c.sliderMax = 256;
                    break;
                case 9:
                    c.sliderMin = 0, c.sliderMax = 4;
                    break;
                case 10:
                    c.sliderMin = 0, c.sliderMax = 37;
                    break;  // the page narrows it to start..37
                case 52:
                    if (In(key, {0x100, 0x101, 0x104, 0x105}))
                        c.sliderMin = 5, c.sliderMax = 120;
                    else
                        c.sliderMin = 10, c.sliderMax = 150;
                    break;
                case 53:
                    if (In(key, {0x101, 0x104})) c.sliderMin = 10, c.sliderMax = 150;
                    break;
                default:
                    break;
            }
            break;
        case ControlClass::Edit: {
            EditFormat f;
            switch (kind) {
                case 5:
                    f = {"%#.2lf", 5, 3.3, 4096.0, true, 1.0};
                    break;
                case 7:
                    f = key == 0x103 ? EditFormat{"%.lf", 0, 2000.0, 0, false, {}}
                                     : EditFormat{"%#.2lf", 4, 1000.0, 0, false, {}};
                    break;
                case 8:
                    f = {"%#.3lf", 4, 1000.0, 0, true, 0.2};
                    break;
                case 9:
                    f = {"%.lf", 6, 0, 0, false, {}, {kStartClockValues.begin(), kStartClockValues.end()}};
                    break;
                case 10:
                    f = {"%.lf", 6, 0, 0, false, {}, {kClockFrequencies.begin(), kClockFrequencies.end()}};
                    break;
                case 44:
                    f = {"%.lf", 0, 0, 0, true, {}};
                    break;
                case 52:
                    f = {"%.lf", 3, TachometerScaleFactor(key) * 1.0, 0, false, {}};
                    break;
                case 53:
                    f = {"%.lf", 3, 10.0, 0, false, {}};
                    break;
                default:
                    f = {"%.lf", 0, 0, 0, false, {}};
                    break;  // 26: the raw count
            }
            c.edit = f;
            break;
        }
        default:
            break;
    }
    return c;
}

}  // namespace pages::stepper
