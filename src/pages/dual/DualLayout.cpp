// Where the dual-stepper page's controls go: one geometry table, the texts of each kind,
// and the placement walked with running positions (each group moves its position down by
// its height + 1, with the few exceptions the table names).
#include "pages/dual/DualLayout.h"

#include <algorithm>
#include <string>

#include "pages/dual/DualRun.h"
#include "pages/scaffold/LayoutGeometry.h"

namespace pages::dual {

namespace {

// Every size and offset of the page in one place.
namespace geometry {
constexpr Offset kCaptionOffset{10, 6}, kComboOffset{0, 1}, kFootnoteOffset{70, 0};
constexpr Size kCaption{125, 15}, kComboCaption{95, 15}, kTimeCaption{75, 15}, kUnit{25, 15}, kSecondsNote{60, 15};
constexpr Size kCheck{90, 25}, kButton{90, 25}, kSameTimeButton{100, 25}, kSlider{250, 28}, kEdit{50, 21};
constexpr Offset kSliderOffset{15, 0};
constexpr int kOwnLine = 21;  // a caption on its own line moves the group down this much
// Wide enough for their longest items ("Stop Button", "8000 sec") beside the arrow.
constexpr Size kCombo{88, 22}, kTimeCombo{75, 22};
constexpr Size kHeaderFirst{60, 15};
constexpr Offset kHeaderOffset{0, 7};
constexpr int kColumnWidths[3] = {83, 83, 59};  // excitation, frequency, direction
constexpr Size kRowCheck{60, 14};
// The banners' texts are wider than a column: motor 2's column starts far enough on.
constexpr Size kFootnote{250, 15}, kBanner{380, 15}, kPanelLabel{240, 15};
// Header texts run a little past their column into the next one's leading blanks.
constexpr int kHeaderOverhang = 14;
constexpr Offset kBanner2Offset{395, 5}, kPanelLabelOffset{20, 5};
constexpr Point kPanelLabelAt{60, 6};
constexpr int kMotor2X = 385, kStartBothX = 350, kStopBothX = 500;
constexpr int kTimeX = 190, kSecondsX = 170, kStopX = 120, kPollingAfterStop = 110, kButtonsIndent = 20;
constexpr int kAfterTop = 10, kTachometerHeight = 80;
}  // namespace geometry

const char* const kTransferTimes[] = {
    "1 sec",    "2 sec",    "3 sec",    "4 sec",    "5 sec",    "6 sec",    "7 sec",    "8 sec",    "16 sec",
    "32 sec",   "64 sec",   "80 sec",   "160 sec",  "320 sec",  "640 sec",  "800 sec",  "1600 sec", "2400 sec",
    "3200 sec", "4000 sec", "4800 sec", "5600 sec", "6400 sec", "7200 sec", "8000 sec", "Other ..."};
const char* const kRowOrdinals[] = {"1st", "2nd", "3rd", "4th", "5th", "6th", "7th", "8th"};
const char* const kHeaders[] = {"Index", " Excitation Mode", "   Frequency *", "  Direction"};
const char* const kExcitations[] = {"1/16 Step", "1/32 Step", "1/64 Step", "1/128 Step"};
const char* const kFrequencies[] = {"7.8125kHz", "3.9062kHz", "1.9531kHz", "0.9765kHz",
                                    "0.4882kHz", "0.2441kHz", "0.1220kHz"};

// Motor 1's kind of a motor setting (motor 2's is 8 more); -1 outside 1..16.
int Motor1Kind(int kind) { return kind >= 1 && kind <= 16 ? (kind - 1) % 8 + 1 : -1; }
bool IsRowKind(int kind) {
    return (kind >= word::kFirstRow1 && kind < word::kFirstRow1 + 32) ||
           (kind >= word::kFirstRow2 && kind < word::kFirstRow2 + 32);
}
int RowColumn(int kind) { return (kind - (kind < word::kFirstRow2 ? word::kFirstRow1 : word::kFirstRow2)) % 4; }
int RowOf(int kind) { return (kind - (kind < word::kFirstRow2 ? word::kFirstRow1 : word::kFirstRow2)) / 4; }

std::vector<std::string> Items(std::span<const char* const> texts) { return {texts.begin(), texts.end()}; }

// The texts, lists, ranges and formats of one control.
void Decorate(PlacedControl& c) {
    const int kind = c.kind, m1 = Motor1Kind(kind);
    if (c.cls == ControlClass::Label) {
        if (kind == word::kRowHeader1 || kind == word::kRowHeader2)
            c.caption = kHeaders[std::clamp(c.index - 100, 0, 3)];
        else if (kind == word::kFootnote1 || kind == word::kFootnote2)
            c.caption = " *: Frequency which changes VREF voltage";
        else if (kind == 98)
            c.caption = "===================      <  Motor 1  >      ===================";
        else if (kind == 99)
            c.caption = "===================      <  Motor 2  >      ===================";
        else if (kind == 101)
            c.caption = "Motor 1                                       Motor 2";
        else if (kind == 0 && c.index == 100)
            c.caption = "Chip Enable/Disable";
        else if (kind == word::kRecord)
            c.caption = "Record Graph Data";
        else if (kind == word::kGraphRange)
            c.caption = c.index == 100 ? "Graph range" : "pps";
        else if (m1 == word::kVref)
            c.caption = c.index == 100 ? (kind == 1 ? "VREF1/VREF2 Voltage" : "VREF3/VREF4 Voltage") : "V";
        else if (m1 == word::kRcs)
            c.caption = c.index == 100 ? "RCS resistance" : "ohm";
        else if (m1 == word::kCurrent)
            c.caption = c.index == 100 ? "lout =" : "A";
        else if (m1 == word::kTestMode)
            c.caption = "Test mode";
        else if (m1 == 5)
            c.caption = "Transfer Unit";
        else if (m1 == word::kTransferTime)
            c.caption = "Transfer Time";
        else if (m1 == word::kStopSignal)
            c.caption = "Stop Signal";
        else if (m1 == word::kRepeat)
            c.caption = "Repeat";
        return;  // the seconds edits' labels stay empty
    }
    switch (c.cls) {
        case ControlClass::Check:
            if (kind == 0)
                c.caption = "Enable", c.checkedCaption = "Disable";
            else if (kind == word::kPolling1 || kind == word::kPolling2)
                c.caption = "Polling Start", c.checkedCaption = "Polling Stop";
            else if (kind == word::kRecord)
                c.caption = "Record Start", c.checkedCaption = "Record End";
            else if (IsRowKind(kind))
                c.caption = c.checkedCaption = kRowOrdinals[RowOf(kind)], c.plainCheck = true;
            break;
        case ControlClass::Button: {
            static const char* const kButtons[] = {"Start",           "Stop",          "", "Start", "Stop",
                                                   "Start Same Time", "Stop Same Time"};
            if (kind >= word::kStart1 && kind <= word::kStopBoth) c.caption = kButtons[kind - word::kStart1];
            break;
        }
        case ControlClass::Combo:
            if (IsRowKind(kind)) {
                const int column = RowColumn(kind);
                if (column == 1)
                    c.items = Items(kExcitations);
                else if (column == 2)
                    c.items = Items(kFrequencies);
                else
                    c.items = {"CCW", "CW"};
            } else if (m1 == word::kTestMode)
                c.items = {"Fixed", "Sequence"};
            else if (m1 == 5)
                c.items = {"Seconds", "Steps"};
            else if (m1 == word::kTransferTime)
                c.items = Items(kTransferTimes);
            else if (m1 == word::kStopSignal)
                c.items = {"Auto Stop", "Stop Button"};
            else if (m1 == word::kRepeat)
                c.items = {"Off", "On"};
            break;
        case ControlClass::Slider:
            if (kind == word::kGraphRange)
                c.sliderMin = 1, c.sliderMax = 100;
            else
                c.sliderMin = 0, c.sliderMax = 141;
            break;
        case ControlClass::Edit:
            if (m1 == word::kRcs)
                c.edit = EditFormat{"%.lf", 0, 0, 0, false, {}};
            else if (m1 == word::kCurrent)
                c.edit = EditFormat{"%#.3lf", 4, 1000.0, 0, true, 0.2};
            else if (kind == word::kMeasuredVref1 || kind == word::kMeasuredVref2)
                c.edit = EditFormat{"%#.3lf", 5, 3.3, 4096.0, true, {}};
            // The seconds are typed here when "Other ..." is chosen (it is enabled only then).
            else if (kind == word::kSeconds1 || kind == word::kSeconds2)
                c.edit = EditFormat{"%.lf", 0, 0, 0, false, {}};
            else if (kind == word::kGraphRange)
                c.edit = EditFormat{"%.lf", 3, 100.0, 0, false, {}};
            else
                c.edit = EditFormat{"%d", 0, 0, 0, false, {}};
            break;
        default:
            break;
    }
}

class Builder {
public:
    explicit Builder(std::span<const std::uint16_t, 128> profile) : profile_(profile) {}

    bool Has(int kind) const { return kind >= 0 && kind < 128 && profile_[static_cast<std::size_t>(kind)] != 0; }

    // One control of `kind` at the group's running x; x then moves on by `advance` (by the
    // control's offset + width when 0). The group's height grows to cover it.
    void Add(int kind, int index, ControlClass cls, Size size, Offset off, int advance = 0) {
        if (Has(kind)) {
            PlacedControl c;
            c.kind = kind;
            c.index = index;
            c.key = static_cast<std::uint32_t>(kind) << 16 | static_cast<std::uint32_t>(index);
            c.cls = cls;
            c.profileWord = profile_[static_cast<std::size_t>(kind)];
            c.bits = DecodeProfile(c.profileWord);
            c.parent = c.bits.onTachometer && Has(100) ? Parent::TachometerPanel : Parent::Page;
            c.rect = {x_ + off.dx, y_ + off.dy, size.w, size.h};
            Decorate(c);
            out_.controls.push_back(std::move(c));
            height_ = std::max(height_, off.dy + size.h);
        }
        x_ += advance != 0 ? advance : off.dx + size.w;
    }
    void Begin(Point p) {
        x_ = p.x;
        y_ = p.y;
        height_ = 0;
    }
    void OwnLine(int groupX) {
        x_ = groupX;
        y_ += geometry::kOwnLine;
        height_ = 0;
    }
    // Where the group ends: y of the next one.
    int End(int extra = 1) const { return y_ + height_ + extra; }
    int Height() const { return height_; }
    int Y() const { return y_; }

    // The group of `kind` at `p`; p.y moves below it.
    void Group(int kind, Point& p);

    DualLayout Take() { return std::move(out_); }

private:
    std::span<const std::uint16_t, 128> profile_;
    DualLayout out_;
    int x_ = 0, y_ = 0, height_ = 0;
};

void Builder::Group(int kind, Point& p) {
    namespace g = geometry;
    Begin(p);
    const int m1 = Motor1Kind(kind);
    if (kind == 0) {
        Add(0, 100, ControlClass::Label, g::kCaption, g::kCaptionOffset);
        Add(0, 0, ControlClass::Check, g::kCheck, {});
        p.y = Y() + Height() - 10;
        return;
    }
    if (m1 == word::kVref || kind == word::kGraphRange) {
        Add(kind, 100, ControlClass::Label, g::kCaption, g::kCaptionOffset);
        OwnLine(p.x);
        Add(kind, 0, ControlClass::Slider, g::kSlider, g::kSliderOffset);
        const int editKind = kind == word::kGraphRange ? kind : kind == 1 ? word::kMeasuredVref1 : word::kMeasuredVref2;
        Add(editKind, kind == word::kGraphRange ? 1 : 0, ControlClass::Edit, g::kEdit, {});
        Add(kind, 101, ControlClass::Label, g::kUnit, g::kCaptionOffset);
    } else if (m1 == word::kRcs || m1 == word::kCurrent) {
        Add(kind, 100, ControlClass::Label, g::kCaption, g::kCaptionOffset);
        Add(kind, 0, ControlClass::Edit, g::kEdit, {});
        Add(kind, 101, ControlClass::Label, g::kUnit, g::kCaptionOffset);
    } else if (m1 == word::kTestMode || m1 == word::kStopSignal || m1 == word::kRepeat) {
        Add(kind, 100, ControlClass::Label, g::kComboCaption, g::kCaptionOffset);
        Add(kind, 0, ControlClass::Combo, g::kCombo, g::kComboOffset);
    } else if (m1 == word::kTransferTime) {
        Add(kind, 100, ControlClass::Label, g::kTimeCaption, g::kCaptionOffset);
        Add(kind, 0, ControlClass::Combo, g::kTimeCombo, g::kComboOffset);
    } else if (kind == word::kRowHeader1 || kind == word::kRowHeader2) {
        Add(kind, 100, ControlClass::Label, g::kHeaderFirst, g::kCaptionOffset);
        for (int i = 0; i < 3; ++i)
            Add(kind, 101 + i, ControlClass::Label, {g::kColumnWidths[i] + g::kHeaderOverhang, 15}, g::kHeaderOffset,
                g::kColumnWidths[i]);
    } else if (IsRowKind(kind)) {
        Add(kind, 0, ControlClass::Check, g::kRowCheck, g::kCaptionOffset);
        for (int i = 0; i < 3; ++i)
            Add(kind + 1 + i, 0, ControlClass::Combo, {g::kColumnWidths[i], 22}, g::kComboOffset, g::kColumnWidths[i]);
    } else if (kind == word::kFootnote1 || kind == word::kFootnote2) {
        Add(kind, 100, ControlClass::Label, g::kFootnote, g::kFootnoteOffset);
    } else if (kind >= word::kStart1 && kind <= word::kStopBoth) {
        const bool sameTime = kind == word::kStartBoth || kind == word::kStopBoth;
        Add(kind, 0, ControlClass::Button, sameTime ? g::kSameTimeButton : g::kButton, {});
    } else if (kind == word::kSeconds1 || kind == word::kSeconds2) {
        Add(kind, 100, ControlClass::Label, g::kComboCaption, g::kCaptionOffset);
        Add(kind, 0, ControlClass::Edit, g::kEdit, {});
        Add(kind, 101, ControlClass::Label, g::kSecondsNote, g::kCaptionOffset);
    } else if (kind == word::kPolling1 || kind == word::kPolling2) {
        Add(kind, 0, ControlClass::Check, g::kCheck, {});
    } else if (kind == 98) {
        Add(kind, 100, ControlClass::Label, g::kBanner, g::kCaptionOffset);
        return;  // motor 2's banner shares the line
    } else if (kind == 99) {
        Add(kind, 100, ControlClass::Label, g::kBanner, g::kBanner2Offset);
        p.y = Y() + Height() - 5;
        return;
    } else if (kind == 101) {
        Begin(g::kPanelLabelAt);
        Add(kind, 100, ControlClass::Label, g::kPanelLabel, g::kPanelLabelOffset);
        return;
    } else if (kind == word::kRecord) {
        Add(kind, 100, ControlClass::Label, g::kCaption, g::kCaptionOffset);
        Add(kind, 0, ControlClass::Check, g::kCheck, {});
    }
    p.y = End();
}

PlacedControl Panel(std::span<const std::uint16_t, 128> profile, int kind, ControlClass cls, Parent parent) {
    PlacedControl panel;
    panel.kind = kind;
    panel.key = static_cast<std::uint32_t>(kind) << 16;
    panel.cls = cls;
    panel.parent = parent;
    panel.profileWord = profile[static_cast<std::size_t>(kind)];
    panel.bits = DecodeProfile(panel.profileWord);
    return panel;
}

}  // namespace

DualLayout LayOutDualPage(std::span<const std::uint16_t, 128> profile) {
    namespace g = geometry;
    DualLayout out;
    // The speed panels first: their items are built on them.
    if (profile[100] != 0) out.controls.push_back(Panel(profile, 100, ControlClass::TachometerPanel, Parent::Page));
    if (profile[102] != 0) out.controls.push_back(Panel(profile, 102, ControlClass::GraphPanel, Parent::GraphPanel));

    Builder b(profile);
    // The top row: chip enable, the same-time buttons; then the motor banners.
    Point p{0, 0}, q{g::kStartBothX, 0};
    b.Group(0, p);
    b.Group(word::kStartBoth, q);
    q = {g::kStopBothX, 0};
    b.Group(word::kStopBoth, q);
    p.y += g::kAfterTop;
    b.Group(98, p);
    b.Group(99, p);

    // One column per motor, motor 2's kinds 8 (settings) and 33 (rows) further on.
    const auto column = [&](int motor, Point at) {
        const auto k = [motor](int motor1Kind) { return word::Of(motor, motor1Kind); };
        for (int kind : {word::kVref, word::kRcs, word::kCurrent}) b.Group(k(kind), at);
        b.Group(k(word::kTestMode), at);
        Point s{at.x + g::kTimeX, at.y};
        b.Group(k(word::kTransferTime), s);
        b.Group(k(word::kStopSignal), at);
        s.x = at.x + g::kSecondsX;
        b.Group(word::Seconds(motor), s);
        b.Group(k(word::kRepeat), at);
        b.Group(motor == 0 ? word::kRowHeader1 : word::kRowHeader2, at);
        for (int row = 0; row < kRows; ++row) b.Group(word::Row(motor, row), at);
        b.Group(motor == 0 ? word::kFootnote1 : word::kFootnote2, at);
        Point stop{at.x + g::kStopX, at.y}, polling{0, at.y};
        at.x += g::kButtonsIndent;
        b.Group(motor == 0 ? word::kStart1 : word::kStart2, at);
        b.Group(motor == 0 ? word::kStop1 : word::kStop2, stop);
        polling.x = stop.x + g::kPollingAfterStop;
        b.Group(word::Polling(motor), polling);
        return at;
    };
    const Point r{g::kMotor2X, p.y};
    p = column(0, p);
    column(1, r);
    b.Group(word::kRecord, p);

    // On the digital tachometer panel, below its display: its label and the graph range.
    p = {0, g::kTachometerHeight};
    b.Group(101, p);
    b.Group(word::kGraphRange, p);
    for (auto& c : b.Take().controls) out.controls.push_back(std::move(c));
    return out;
}

}  // namespace pages::dual
