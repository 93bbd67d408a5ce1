// The start-up test dialog's parameter controls as data: kind (the key is kind << 16 |
// index, the window id key + 3000, as on the pages), captions, slider range and start
// position, edit decoder, and where each group sits. The dialog builds them from here.
// Pixels; read-only data, any thread.
#pragma once

#include <array>
#include <string_view>

#include "data/ParameterDecoder.h"

namespace bldc {

enum class TestControl { SliderGroup, Combo, Button };

struct TestParameterSpec {
    int kind;
    TestControl control;
    std::string_view caption;  // label, or the button's text
    std::string_view unit;
    int minimum, maximum, start;  // slider range and position
    std::int32_t decoder;         // ParameterRecord kind of the edit
    double factor;                // its A
    const char* format;           // its printf format
};

inline constexpr std::array<TestParameterSpec, 11> kTestParameters = {{
    {0, TestControl::SliderGroup, "Trial Number", "Times", 10, 10000, 10, ParameterRecord::kIdentity, 0, "%.lf"},
    {1, TestControl::SliderGroup, "Timeout", "sec", 1, 10, 10, ParameterRecord::kIdentity, 0, "%.lf"},
    {2, TestControl::SliderGroup, "Off Time", "sec", 1, 60, 1, ParameterRecord::kIdentity, 0, "%.lf"},
    {3, TestControl::SliderGroup, "Target RPM", "rpm", 10, 350, 10, ParameterRecord::kMultiply, 100.0, "%.lf"},
    {4, TestControl::SliderGroup, "Target FG", "Hz", 1, 300, 1, ParameterRecord::kMultiply, 10.0, "%.lf"},
    {5, TestControl::Combo, "S/S Type", "", 0, 1, 0, ParameterRecord::kIdentity, 0, ""},
    {6, TestControl::SliderGroup, "Step", "sec", 1, 50, 5, ParameterRecord::kDivide, 10.0, "%#.1lf"},
    {7, TestControl::Button, "Test Start", "", 0, 0, 0, ParameterRecord::kIdentity, 0, ""},
    {8, TestControl::Button, "Abort Test", "", 0, 0, 0, ParameterRecord::kIdentity, 0, ""},
    {9, TestControl::Button, "Save Result", "", 0, 0, 0, ParameterRecord::kIdentity, 0, ""},
    {10, TestControl::Button, "Copy Clipboard", "", 0, 0, 0, ParameterRecord::kIdentity, 0, ""},
}};

inline constexpr std::array<std::string_view, 2> kStartStopTypes = {"Low-Level : Rotate active",
                                                                    "High-Level : Rotate active"};

// Group starts: kinds 0-5 from (15, 25) downwards, kind 6 at (270, 225), buttons from (460, 20).
struct Point {
    int x, y;
};
inline constexpr Point kSetupStart{15, 25};
inline constexpr Point kStepStart{270, 225};
inline constexpr Point kButtonStart{460, 20};

// Controls inside a group (relative to its start) and the group heights.
struct Rect {
    int x, y, width, height;
};
struct SliderGroupLayout {
    Rect label, slider, edit, unit;
    int height;
};
// The set-up captions and the S/S combo box are wider than the system's 65 and 160 pixels
// so that "Trial Number" and the combo's items show whole in Arial's metrics here; the
// groups still end left of the buttons.
inline constexpr SliderGroupLayout kSetupSliderGroup{
    {0, 7, 80, 14}, {80, 0, 270, 26}, {350, 2, 50, 21}, {402, 7, 35, 14}, 28};
inline constexpr SliderGroupLayout kStepSliderGroup{
    {0, 7, 40, 14}, {40, 0, 180, 26}, {220, 2, 50, 21}, {272, 7, 30, 14}, 28};
inline constexpr Rect kStartStopLabel{0, 7, 80, 14};
inline constexpr Rect kStartStopCombo{80, 1, 200, 22};
inline constexpr int kStartStopHeight = 48;
inline constexpr Rect kStartButton{0, 0, 90, 42};
inline constexpr int kStartButtonHeight = 47;
inline constexpr Rect kOtherButton{0, 0, 90, 30};
inline constexpr int kOtherButtonHeight = 35;

// The result list's columns (70 pixels each) and the histogram's set-up.
inline constexpr std::array<std::string_view, 2> kResultColumns = {"Number", "Time[msec]"};
inline constexpr int kResultColumnWidth = 70;
inline constexpr std::uint32_t kHistogramOutline = 0xFFC0C0;
inline constexpr std::uint32_t kHistogramFill = 0xC04040;
inline constexpr std::string_view kHistogramXTitle = "Arrival Time [msec]";
inline constexpr std::string_view kHistogramYTitle = "Counts [Times]";

// The dialog's own items (template 163), in client pixels around the parameter controls
// above: "Setup" holds kinds 0-5 and the buttons, "Result - Analyze" the Step group and
// the histogram, the left column the result list and the statistics.
inline constexpr int kResultListId = 1060;
inline constexpr int kHistogramId = 1072;
inline constexpr int kClientWidth = 725;
inline constexpr int kClientHeight = 540;
inline constexpr Rect kSetupBox{5, 5, 715, 195};
inline constexpr Rect kOverallBox{5, 205, 245, 190};
inline constexpr Rect kResultList{15, 225, 225, 160};
inline constexpr Rect kStatisticsBox{5, 400, 245, 135};
inline constexpr Rect kAnalyzeBox{260, 205, 460, 330};
inline constexpr Rect kHistogram{280, 262, 420, 260};

// One statistics row: caption, read-only field and unit, from (15, 420) 22 pixels apart.
struct StatisticsRow {
    int id;
    std::string_view caption;
    std::string_view unit;
};
inline constexpr std::array<StatisticsRow, 5> kStatisticsRows = {{
    {1067, "Minimum", "msec"},
    {1068, "Maximum", "msec"},
    {1069, "Average", "msec"},
    {1070, "Standard deviation", ""},
    {1071, "Error count", "count"},
}};
inline constexpr Point kStatisticsStart{15, 420};
inline constexpr int kStatisticsStep = 22;
inline constexpr Rect kStatisticsCaption{0, 3, 105, 14};
inline constexpr Rect kStatisticsField{107, 0, 70, 20};
inline constexpr Rect kStatisticsUnit{182, 3, 45, 14};

}  // namespace bldc
