#include "parsers/StepperDemo.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <utility>

#include "parsers/DemoReader.h"
#include "parsers/ValueTable.h"

namespace pages::stepper {

namespace {

constexpr double kRefFullScale = 3.3;
constexpr std::size_t kColumns = 8;

// Decimal or hexadecimal whole number; an empty field is 0; none for anything else.
std::optional<unsigned long long> Whole(std::string_view s, int base) {
    if (s.empty()) return 0ull;
    unsigned long long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec == std::errc::result_out_of_range) return ~0ull;
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

// One step from the fields of a line; none (with a message) when the line is refused.
std::optional<StepRecord> ParseStep(const parsers::DemoLine& line, const parsers::LineNotes& notes) {
    const std::vector<std::string_view>& all = line.fields;
    for (std::size_t i = kColumns; i < all.size(); ++i)
        if (!all[i].empty()) {  // trailing empty fields are allowed
            notes.Skip("more than 8 fields");
            return std::nullopt;
        }
    std::array<std::string_view, kColumns> f{};  // a short line's missing fields are empty
    std::copy_n(all.begin(), std::min(all.size(), kColumns), f.begin());

    StepRecord r;
    r.flags = stepbits::kInUse;
    r.enable = f[0] == "H" ? 1 : 0;

    const auto volts = f[1].empty() ? std::optional<double>(0.0) : parsers::ReadReal(f[1]);
    if (!volts) {
        notes.Refuse("REF voltage", f[1], "", "not a number");
        return std::nullopt;
    }
    double v = *volts;
    if (!(v >= 0.0 && v <= kRefFullScale)) {
        v = v > kRefFullScale ? kRefFullScale : 0.0;
        char text[32];
        std::snprintf(text, sizeof text, "%.2f V", v);
        notes.Held("REF voltage " + std::string(f[1]) + " V", "outside 0 to 3.3 V", text);
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
        notes.Refuse("attenuation", f[2], "", "not 100, 80, 50 or 20 %");
        return std::nullopt;
    }

    // An empty choice takes its column's default (full step, CW, seconds).
    if (!f[3].empty() && f[3] != "Full") r.flags |= 1u << stepbits::kModeShift;

    const auto hz = Whole(f[4], 10);
    static const ValueTable kFrequencies(kStepFrequencies);
    const int index = hz && *hz <= 1'000'000 ? kFrequencies.FindIndexOfValue(static_cast<int>(*hz)) : -1;
    if (index < 0) {
        notes.Refuse("step frequency", f[4], " Hz", "not one the chip can step at");
        return std::nullopt;
    }
    r.flags |= static_cast<std::uint32_t>(index) << stepbits::kFrequencyShift;

    if (!f[5].empty() && f[5] != "CW") r.flags |= stepbits::kCcw;

    auto duration = Whole(f[6], 16);
    if (!duration) {
        notes.Refuse("duration", f[6], "", "not a hexadecimal number");
        return std::nullopt;
    }
    if (*duration > stepbits::kCountMask) {
        notes.Held("duration " + std::string(f[6]), "above FFFF", "FFFF");
        duration = stepbits::kCountMask;
    }
    r.flags |= static_cast<std::uint32_t>(*duration);  // a direct count, not a table index

    if (!f[7].empty() && f[7] != "Sec") r.flags |= stepbits::kUnitSteps;
    return r;
}

}  // namespace

SequenceText ParseSequence(std::string_view text) {
    SequenceText out;
    parsers::ReadDemoLines(text, parsers::OverlongLine::EndsReading, out.messages,
                           [&](const parsers::DemoLine& line, const parsers::LineNotes& notes) {
                               if (auto step = ParseStep(line, notes)) out.steps.push_back(*step);
                           });
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
    parsers::LoadedDemo<StepRecord> demo = parsers::LoadDemo<StepRecord>(
        folder, kDemoSequenceFile, "step", BuiltInSequenceText(), [](std::string_view text) {
            SequenceText parsed = ParseSequence(text);
            return std::pair{std::move(parsed.steps), std::move(parsed.messages)};
        });
    return DemoSequence{demo.fromFile ? StepSource::FileDemo : StepSource::BuiltInDemo, std::move(demo.entries),
                        std::move(demo.messages)};
}

}  // namespace pages::stepper
