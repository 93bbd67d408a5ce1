#include "parsers/StepperDemo.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "parsers/ValueTable.h"

namespace pages::stepper {

namespace {

constexpr double kRefFullScale = 3.3;
constexpr std::size_t kColumns = 8;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Decimal or hexadecimal whole number; an empty field is 0; none for anything else.
std::optional<unsigned long long> Whole(std::string_view s, int base) {
    if (s.empty()) return 0ull;
    unsigned long long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec == std::errc::result_out_of_range) return ~0ull;
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

// A real in the C locale whatever the user's; an empty field is 0.
std::optional<double> Real(std::string_view s) {
    if (s.empty()) return 0.0;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

std::string Say(std::size_t line, const std::string& what) { return "line " + std::to_string(line) + ": " + what; }

// One step from the fields of a line; none (with a message) when the line is refused.
std::optional<StepRecord> ParseStep(const std::array<std::string_view, kColumns>& f, std::size_t line,
                                    std::vector<std::string>& messages) {
    StepRecord r;
    r.flags = stepbits::kInUse;
    r.enable = f[0] == "H" ? 1 : 0;

    const auto volts = Real(f[1]);
    if (!volts) {
        messages.push_back(Say(line, "REF voltage \"" + std::string(f[1]) + "\" is not a number; line skipped"));
        return std::nullopt;
    }
    double v = *volts;
    if (!(v >= 0.0 && v <= kRefFullScale)) {
        v = v > kRefFullScale ? kRefFullScale : 0.0;
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", v);
        messages.push_back(Say(line, "REF voltage " + std::string(f[1]) + " V is outside 0 to 3.3 V; " + text + " V used"));
    }
    r.refDuty = v * 256.0 / kRefFullScale;

    const auto att = Whole(f[2], 10);
    static constexpr std::array<int, 4> kPercent = {100, 80, 50, 20};
    const auto code = att ? std::find(kPercent.begin(), kPercent.end(), static_cast<long long>(std::min(*att, 1000ull)))
                          : kPercent.end();
    if (code != kPercent.end()) {
        r.attenuation = static_cast<std::uint8_t>(code - kPercent.begin());
    } else if (att && *att <= 3) {
        r.attenuation = static_cast<std::uint8_t>(*att);  // already a code
    } else {
        messages.push_back(Say(line, "attenuation \"" + std::string(f[2]) + "\" is not 100, 80, 50 or 20 %; line skipped"));
        return std::nullopt;
    }

    // An empty choice takes its column's default (full step, CW, seconds).
    if (!f[3].empty() && f[3] != "Full") r.flags |= 1u << stepbits::kModeShift;

    const auto hz = Whole(f[4], 10);
    static const ValueTable kFrequencies(kStepFrequencies);
    const int index = hz && *hz <= 1'000'000 ? kFrequencies.FindIndexOfValue(static_cast<int>(*hz)) : -1;
    if (index < 0) {
        messages.push_back(Say(line, "step frequency \"" + std::string(f[4]) + "\" Hz is not one the chip can step at; line skipped"));
        return std::nullopt;
    }
    r.flags |= static_cast<std::uint32_t>(index) << stepbits::kFrequencyShift;

    if (!f[5].empty() && f[5] != "CW") r.flags |= stepbits::kCcw;

    auto duration = Whole(f[6], 16);
    if (!duration) {
        messages.push_back(Say(line, "duration \"" + std::string(f[6]) + "\" is not a hexadecimal number; line skipped"));
        return std::nullopt;
    }
    if (*duration > stepbits::kCountMask) {
        messages.push_back(Say(line, "duration " + std::string(f[6]) + " is above FFFF; FFFF used"));
        duration = stepbits::kCountMask;
    }
    r.flags |= static_cast<std::uint32_t>(*duration);  // a direct count, not a table index

    if (!f[7].empty() && f[7] != "Sec") r.flags |= stepbits::kUnitSteps;
    return r;
}

}  // namespace

SequenceText ParseSequence(std::string_view text) {
    SequenceText out;
    std::size_t lineNo = 0;
    bool header = true;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kMaxSequenceLine) {
            out.messages.push_back(Say(lineNo, "longer than " + std::to_string(kMaxSequenceLine) +
                                                   " characters; the sequence ends before it"));
            break;
        }
        if (header) {
            header = false;
            continue;
        }
        if (Trim(line).empty()) continue;  // an empty line is no step

        std::array<std::string_view, kColumns> fields{};
        std::size_t column = 0;
        bool tooMany = false;
        for (std::size_t start = 0;;) {
            const std::size_t comma = line.find(',', start);
            const std::string_view field = Trim(line.substr(start, comma == std::string_view::npos ? line.npos : comma - start));
            if (column < kColumns)
                fields[column] = field;
            else if (!field.empty())
                tooMany = true;  // trailing empty fields are allowed
            ++column;
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
        if (tooMany) {
            out.messages.push_back(Say(lineNo, "more than 8 fields; line skipped"));
            continue;
        }
        if (auto step = ParseStep(fields, lineNo, out.messages)) out.steps.push_back(*step);
    }
    return out;
}

std::string BuiltInSequenceText() {
    static constexpr std::array<int, 8> kAttenuation = {100, 100, 80, 80, 50, 50, 20, 20};
    static constexpr std::array<int, 8> kFrequency = {20, 100, 200, 500, 500, 200, 100, 20};
    std::string text = "Chip Ena,REF V,ATT,Step,Freq,Direction,Duration,Unit\r\n";
    for (std::size_t block = 0; block < 8; ++block)
        for (int hz : kFrequency)
            text += "H,0.1," + std::to_string(kAttenuation[block]) + ",Full," + std::to_string(hz) + "," +
                    (block % 2 == 0 ? "CW" : "CCW") + ",3,Sec\r\n";
    return text;
}

DemoSequence LoadDemoSequence(const std::filesystem::path& folder) {
    DemoSequence out;
    std::ifstream file(folder / kDemoSequenceFile, std::ios::binary);
    if (file) {
        const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        SequenceText parsed = ParseSequence(text);
        out.messages = std::move(parsed.messages);
        if (!parsed.steps.empty()) {
            out.source = StepSource::FileDemo;
            out.steps = std::move(parsed.steps);
            return out;
        }
        out.messages.push_back(std::string(kDemoSequenceFile) + " holds no step; the built-in sequence is played");
    }
    out.source = StepSource::BuiltInDemo;
    out.steps = ParseSequence(BuiltInSequenceText()).steps;
    return out;
}

}  // namespace pages::stepper
