// The DC page's demo sequence: read from "sequence/Demomode_Sequence_dc.csv" in the
// current directory, or, when that file cannot be opened or holds no row, from the
// built-in copy (its header and one standby line).
//
// A header line, then one row per line of ten comma-separated fields: chip enable ("H"
// on), REF voltage (V), PWM frequency (Hz), attenuation (%: 100, 80, 50, 20; another
// number is kept as it stands), channel 1 PWM mode keyword, channel 1 ON duty (%),
// channel 2 mode keyword and duty, duration (s), unit (ignored: always seconds). An
// eleventh field starts the columns again at chip enable.
//
// Pure functions, no state. Blanks around a field are trimmed; numbers are read in the C
// locale; an empty field keeps its column's default (enable off, 0 V, the table's first
// frequency, 100 %, the off mode, 0 %, 0 s). A mode keyword the table does not know
// gives the unknown mode, which runs as off. REF, duty and duration are held to their
// fields (0..3.3 V, 0..100 %, 0..63 s); a number that does not parse, or a frequency of
// 0 or below, refuses its line; each refusal and each hold leaves one message naming the
// line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pages::dc {

inline constexpr const char* kDemoSequenceFile = "sequence/Demomode_Sequence_dc.csv";

// One demo row; the phase words as DcPhaseWord.h reads them (bit 27 set, duration in s).
struct DemoRow {
    std::uint8_t enable = 0;
    std::uint8_t att = 0;           // 0..3 for 100, 80, 50, 20 %, else the percent as written
    double ref = 0.0;               // PWM steps: volts * 256 / 3.3
    std::uint32_t frequency = 100;  // Hz
    std::uint32_t phase1 = 0;
    std::uint32_t phase2 = 0;
};

struct DemoText {
    std::vector<DemoRow> rows;
    std::vector<std::string> messages;
};

// Parses the text of a demo file (header line first; LF or CR LF line ends).
DemoText ParseDemoSequence(std::string_view text);

// The built-in copy: the header and one line, CR LF line ends.
std::string BuiltInDemoText();

struct DemoLoad {
    bool fromFile = false;
    std::vector<DemoRow> rows;
    std::vector<std::string> messages;
};
// Reads the demo file under `folder`; the built-in copy when it cannot be opened
// (silently) or holds no row (with a message).
DemoLoad LoadDemoSequence(const std::filesystem::path& folder = ".");

// The keyword's mode (0..5), or the unknown mode 7.
std::uint32_t LookupMode(std::string_view keyword);

}  // namespace pages::dc
