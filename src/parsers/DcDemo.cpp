#include "parsers/DcDemo.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <type_traits>
#include <utility>

#include "parsers/DcPhaseWord.h"
#include "parsers/DemoReader.h"

namespace pages::dc {

namespace {

constexpr std::size_t kColumns = 10;
constexpr double kRefFullScale = 3.3;
constexpr std::uint32_t kMaxDuration = bits::kDurationMask;

// The row's fields, one column at a time; false refuses the line.
class RowParser {
public:
    explicit RowParser(const parsers::LineNotes& notes) : notes_(notes) {
        row_.phase1 = row_.phase2 = WithMode(bits::kOn, kOff);
    }

    bool Field(std::size_t column, std::string_view text) {
        switch (column) {
            case 0:
                row_.enable = text == "H" ? 1 : 0;
                return true;
            case 1:
                return Number(text, "REF voltage", 0.0, [&](double v) {
                    row_.ref = Held(v, 0.0, kRefFullScale, "REF voltage", " V") * 256.0 / kRefFullScale;
                });
            case 2:
                return Number(text, "PWM frequency", 100.0, [&](double v) -> bool {
                    if (v < 1.0 || v > 4294967295.0) return notes_.Refuse("PWM frequency", text, " Hz", "not usable");
                    row_.frequency = static_cast<std::uint32_t>(v);
                    return true;
                });
            case 3:
                return Number(text, "attenuation", 100.0, [&](double v) {
                    const long p = std::lround(std::fmin(std::fmax(v, -1.0), 255.0));
                    row_.att = p == 100  ? 0
                               : p == 80 ? 1
                               : p == 50 ? 2
                               : p == 20 ? 3
                                         : static_cast<std::uint8_t>(p & 0xFF);
                });
            case 4:
            case 6: {
                std::uint32_t& phase = column == 4 ? row_.phase1 : row_.phase2;
                phase = WithMode(phase, text.empty() ? kOff : LookupMode(text));
                return true;
            }
            case 5:
            case 7:
                return Number(text, "ON duty", 0.0, [&](double v) {
                    const double p = Held(v, 0.0, 100.0, "ON duty", " %");
                    std::uint32_t& phase = column == 5 ? row_.phase1 : row_.phase2;
                    phase = WithDuty(phase, static_cast<std::uint32_t>(p * 256.0 / 100.0));
                });
            case 8:
                return Number(text, "duration", 0.0, [&](double v) {
                    const auto s = static_cast<std::uint32_t>(Held(v, 0.0, kMaxDuration, "duration", " s"));
                    row_.phase1 = (row_.phase1 & ~bits::kDurationMask) | s;
                    row_.phase2 = (row_.phase2 & ~bits::kDurationMask) | s;
                });
            default:
                return true;  // the unit: durations are seconds
        }
    }

    const DemoRow& Row() const { return row_; }

private:
    // A real in the C locale; an empty field takes `empty`; infinity and NaN refuse the line.
    template <class Use>
    bool Number(std::string_view text, const char* what, double empty, Use use) {
        std::optional<double> v = text.empty() ? std::optional<double>(empty) : parsers::ReadReal(text);
        if (!v || !std::isfinite(*v)) return notes_.Refuse(what, text, "", "not a number");
        if constexpr (std::is_same_v<decltype(use(0.0)), bool>) {
            return use(*v);
        } else {
            use(*v);
            return true;
        }
    }

    double Held(double v, double lo, double hi, const char* what, const char* unit) {
        if (v >= lo && v <= hi) return v;
        const double held = v < lo ? lo : hi;
        char text[32];
        std::snprintf(text, sizeof text, "%g", held);
        notes_.Held(what, "outside its range", std::string(text) + unit);
        return held;
    }

    const parsers::LineNotes& notes_;
    DemoRow row_;
};

}  // namespace

std::uint32_t LookupMode(std::string_view keyword) {
    static constexpr std::array<std::string_view, 6> kKeywords = {"FW<->STB",  "FW<->BRK", "REV<->STB",
                                                                  "REV<->BRK", "STB",      "BRK"};
    for (std::uint32_t i = 0; i < kKeywords.size(); ++i)
        if (kKeywords[i] == keyword) return i;
    return kUnknown;
}

DemoText ParseDemoSequence(std::string_view text) {
    DemoText out;
    parsers::ReadDemoLines(text, parsers::OverlongLine::IsCut, out.messages,
                           [&](const parsers::DemoLine& line, const parsers::LineNotes& notes) {
                               // An eleventh field starts the columns again; the first refused field ends the line.
                               RowParser parser(notes);
                               for (std::size_t i = 0; i < line.fields.size(); ++i)
                                   if (!parser.Field(i % kColumns, line.fields[i])) return;
                               out.rows.push_back(parser.Row());
                           });
    return out;
}

std::string BuiltInDemoText() {
    return "Chip Ena,REF V,PWM Freq,ATT,PWM mode,ON duty,PWM mode,ON duty,Duration,Unit\r\n"
           "H,0.1,100,100,STB,,STB,,1,Sec\r\n";
}

DemoLoad LoadDemoSequence(const std::filesystem::path& folder) {
    parsers::LoadedDemo<DemoRow> demo =
        parsers::LoadDemo<DemoRow>(folder, kDemoSequenceFile, "row", BuiltInDemoText(), [](std::string_view text) {
            DemoText parsed = ParseDemoSequence(text);
            return std::pair{std::move(parsed.rows), std::move(parsed.messages)};
        });
    return DemoLoad{demo.fromFile, std::move(demo.entries), std::move(demo.messages)};
}

}  // namespace pages::dc
