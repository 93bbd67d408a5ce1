// The stepper page's demo sequence: read from "sequence/Demomode_Sequence_Stepper.csv" in
// the current directory, or, when that file cannot be opened or holds no step, from the
// built-in copy.
//
// A header line, then one step per line of eight comma-separated fields: chip enable
// ("H" on), REF voltage (V), attenuation (%: 100, 80, 50, 20), step mode ("Full" or the
// other mode), step frequency (Hz, one of the step-frequency table's), direction ("CW" or
// CCW), duration (hexadecimal), unit ("Sec" or steps). A line longer than 259 characters
// ends the reading there.
//
// Pure functions, no state. Each field is parsed once and keeps its column even when
// empty (an empty number reads as 0, an empty choice as its default: full step, CW,
// seconds). Values on a scale are clamped (a REF voltage to
// 0..3.3 V, a duration to 0xFFFF); codes outside their list (an attenuation or frequency
// the chip does not have, a field that is not a number) refuse their line. Each clamp or
// refusal leaves a message naming the line.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "pages/scaffold/StepRecord.h"
#include "pages/stepper/StepperRun.h"

namespace pages::stepper {

inline constexpr const char* kDemoSequenceFile = "sequence/Demomode_Sequence_Stepper.csv";
inline constexpr std::size_t kMaxSequenceLine = 259;

struct SequenceText {
    std::vector<StepRecord> steps;
    std::vector<std::string> messages;  // one per clamped value or refused line
};

// Parses the text of a sequence file (header line first; LF or CR LF line ends).
SequenceText ParseSequence(std::string_view text);

// The built-in sequence: 64 steps of 3 s, as text with its header and CR LF line ends.
std::string BuiltInSequenceText();

struct DemoSequence {
    StepSource source = StepSource::BuiltInDemo;
    std::vector<StepRecord> steps;
    std::vector<std::string> messages;  // what was clamped or refused, and why the built-in copy serves
};

// Reads the demo file under `folder` (the current directory for the page), falling back
// to the built-in copy when the file cannot be opened (silently) or yields no step (with
// a message).
DemoSequence LoadDemoSequence(const std::filesystem::path& folder = ".");

}  // namespace pages::stepper
