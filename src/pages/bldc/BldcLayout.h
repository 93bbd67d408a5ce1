// The BLDC page's layout as data: which controls each item kind builds, where they sit
// inside their group, the order the groups are built in, and every caption, range,
// value list, decoder and colour the page gives its controls.
//
// Plain tables and pure functions; no window is made here. PlaceControls gives every
// control as the scaffold's layout entry (`pages::PlacedControl`), decorated from the
// tables below, and the page makes each with the scaffold's control factory.
// Positions and sizes are pixels. Colours are 0x00BBGGRR values, as the drawing layer
// takes them. Thread: any (read-only data).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "data/ParameterDecoder.h"
#include "pages/scaffold/PlacedControl.h"

namespace bldc {

// Item kinds 0 to 33; a kind is also the data word of its item.
inline constexpr int kKindCount = 34;
inline constexpr int kProfileWords = 128;

enum Kind : int {
    kPwmInInverted = 0,
    kPwm4Frequency = 1,
    kPwm4Duty = 2,
    kPwm8Frequency = 3,
    kVoltage2 = 4,
    kAnalog0 = 5,
    kVoltage5 = 6,
    kAnalog1 = 7,
    kVoltage3 = 8,
    kAnalog2 = 9,
    kBrakeSelect = 10,
    kCsdSelect = 11,
    kChipEnable = 12,
    kPowerEnable = 13,
    kRotation = 14,
    kTestWindow = 15,
    kTachometerPanel = 16,
    kCurrentSpeed = 17,
    kPoles = 18,
    kMaxSpeedPps = 19,
    kLockStatus = 20,
    kMotorLocked = 21,
    kGraphPanel = 22,
    kRecord = 23,
    kSlowBar = 24,
    kFastBar = 25,
    kPolling = 26,
    kSecondTestButton = 27,
    kPwmInDirect = 28,
    kMaxSpeedRpm = 29,
    kSswLevel = 30,
    kDemo = 33,
};

// Index of a kind's caption label and unit label (the control key is kind << 16 | index).
inline constexpr int kCaptionIndex = 100;
inline constexpr int kUnitIndex = 101;

// Profile bits this page reads.
inline constexpr std::uint16_t kVariantMask = 0x0007;        // caption variant
inline constexpr std::uint16_t kPanelHidden = 0x0010;        // panels only
inline constexpr std::uint16_t kPanelOnPageParent = 0x0020;  // panels only
inline constexpr std::uint16_t kOnTachometer = 0x1000;       // control parented on the tachometer panel
inline constexpr std::uint16_t kRestoreAtOnce = 0x2000;
inline constexpr std::uint16_t kFollowsChipEnable = 0x8000;

using pages::ControlClass;

// One control of a group: its kind and index (the key is kind << 16 | index, the window
// id the key + 3000) and its rectangle relative to the group's start.
struct ControlSpec {
    ControlClass control;
    int kind;
    int index;
    int x, y, width, height;
};

// The build order: the page column, then the tachometer column (19 and 29 share a
// place), then the graph on the page column.
inline constexpr std::array<int, 20> kPageColumnOrder = {0,  28, 24, 1,  2,  3,  4,  25, 6,  8,
                                                         10, 11, 12, 13, 14, 15, 30, 23, 26, 33};
inline constexpr std::array<int, 7> kTachometerColumnOrder = {16, 17, 18, 19, 29, 20, 21};

// The controls of a kind's group (empty for kinds without controls).
std::vector<ControlSpec> GroupControls(int kind);
// How far a group moves its column: the recipe's height + 1 when the kind is in the
// profile, its fixed part (1; 3 for kind 1; 301 for kind 16) when it is not.
int GroupAdvance(int kind, bool present);
// Every control of the page in build order, placed and decorated (captions by the
// profile's variant, items, ranges, edit formats, colours); a control whose group's word
// has kOnTachometer is on the tachometer panel. A kind whose profile word is 0 makes
// nothing. The profile must hold kProfileWords words.
std::vector<pages::PlacedControl> PlaceControls(std::int32_t deviceKey, std::span<const std::uint16_t> profile);
// The lowest point reached on each column (the page sizes itself to it).
struct ColumnEnds {
    int page = 0;
    int tachometer = 0;
};
ColumnEnds ColumnHeights(std::span<const std::uint16_t> profile);

// Caption of label (kind, kCaptionIndex or kUnitIndex); empty where the kind or variant
// has none. variant = profile[kind] & kVariantMask.
std::string_view LabelCaption(int kind, int index, int variant);
// Check button captions: the text while clear (the initial one) and while ticked.
struct CheckCaptions {
    std::string_view clear;
    std::string_view ticked;
};
CheckCaptions CheckButtonCaptions(int kind, int variant);
std::string_view ButtonCaption(int kind);
inline constexpr std::array<std::string_view, 3> kSswRadioCaptions = {"Low Lv", "High-Z", "High Lv"};

struct SliderRange {
    int minimum, maximum, position;
};
// Kinds 0, 2, 3, 4, 6, 8, 19, 28, 29; {0, 0, 0} for others.
SliderRange SliderRangeOf(int kind);

// The format of a kind's edit (its data word is the edit's kind: 5, 7, 9 for the
// read-backs; kind 17 shows its word unconverted); none for kinds without an edit.
std::optional<pages::EditFormat> EditFormatOf(int editKind, int deviceKey);

// Combo items: kind 1 (item i is trunc(61 * 2^i) Hz), kind 18 (item i pole pairs).
std::span<const std::string_view> ComboItems(int kind);

inline constexpr std::uint32_t kLampOn = 0x4040FF;
inline constexpr std::uint32_t kLampOff = 0xFFFFFF;

inline constexpr std::array<pages::ColourStop, 5> kSpeedBarStops = {
    pages::ColourStop{0, 0xFFC0A0}, {38, 0xFFE2C0}, {55, 0xF0E2F0}, {72, 0xE2C0FF}, {100, 0x8080FF}};

// The speed-curve graph: channel 1 pps, channel 2 rpm; both lines.
struct GraphChannelSpec {
    int channel;
    std::uint32_t colour;
    std::string_view xTitle;
    std::string_view yTitle;
};
inline constexpr std::array<GraphChannelSpec, 2> kGraphChannels = {
    GraphChannelSpec{1, 0x0000C0, "Elapsed Time [msec]", "Motor Rotational Speed [pps]"},
    GraphChannelSpec{2, 0x800000, "Elapsed Time [msec]", "Motor Rotational Speed [rpm]"}};
inline constexpr int kGraphXMinimum = -5000;
inline constexpr int kGraphXMaximum = 0;
inline constexpr int kGraphXDivisions = 500;

}  // namespace bldc
