#include "parsers/DcDemo.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <type_traits>
#include <fstream>
#include <iterator>
#include <optional>

#include "parsers/DcPhaseWord.h"

namespace pages::dc {

namespace {

constexpr std::size_t kColumns = 10;
constexpr double kRefFullScale = 3.3;
constexpr std::uint32_t kMaxDuration = bits::kDurationMask;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// A real in the C locale whatever the user's; none for anything but a whole number.
std::optional<double> Real(std::string_view s) {
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::string Say(std::size_t line, const std::string& what) { return "line " + std::to_string(line) + ": " + what; }

// The row's fields, one column at a time; false refuses the line.
class RowParser {
public:
    RowParser(std::size_t line, std::vector<std::string>& messages) : line_(line), messages_(messages) {
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
                    if (v < 1.0 || v > 4294967295.0) {
                        messages_.push_back(Say(line_, "PWM frequency \"" + std::string(text) + "\" Hz is not usable; line skipped"));
                        return false;
                    }
                    row_.frequency = static_cast<std::uint32_t>(v);
                    return true;
                });
            case 3:
                return Number(text, "attenuation", 100.0, [&](double v) {
                    const long p = std::lround(std::fmin(std::fmax(v, -1.0), 255.0));
                    row_.att = p == 100 ? 0 : p == 80 ? 1 : p == 50 ? 2 : p == 20 ? 3 : static_cast<std::uint8_t>(p & 0xFF);
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
    template <class Use>
    bool Number(std::string_view text, const char* what, double empty, Use use) {
        std::optional<double> v = text.empty() ? std::optional<double>(empty) : Real(text);
        if (!v) {
            messages_.push_back(Say(line_, std::string(what) + " \"" + std::string(text) + "\" is not a number; line skipped"));
            return false;
        }
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
        messages_.push_back(Say(line_, std::string(what) + " is outside its range; " + text + unit + " used"));
        return held;
    }

    std::size_t line_;
    std::vector<std::string>& messages_;
    DemoRow row_;
};

}  // namespace

std::uint32_t LookupMode(std::string_view keyword) {
    static constexpr std::array<std::string_view, 6> kKeywords = {"FW<->STB", "FW<->BRK", "REV<->STB", "REV<->BRK", "STB", "BRK"};
    for (std::uint32_t i = 0; i < kKeywords.size(); ++i)
        if (kKeywords[i] == keyword) return i;
    return kUnknown;
}

DemoText ParseDemoSequence(std::string_view text) {
    DemoText out;
    std::size_t lineNo = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (lineNo == 1) continue;  // the header
        if (line.size() > kMaxDemoLine) {
            out.messages.push_back(Say(lineNo, "longer than " + std::to_string(kMaxDemoLine) + " characters; the rest is ignored"));
            line = line.substr(0, kMaxDemoLine);
        }
        if (Trim(line).empty()) continue;
        RowParser parser(lineNo, out.messages);
        bool ok = true;
        std::size_t column = 0;
        while (ok) {
            const std::size_t comma = line.find(',');
            ok = parser.Field(column, Trim(line.substr(0, comma)));
            column = (column + 1) % kColumns;
            if (comma == std::string_view::npos) break;
            line.remove_prefix(comma + 1);
        }
        if (ok) out.rows.push_back(parser.Row());
    }
    return out;
}

std::string BuiltInDemoText() {
    return "Chip Ena,REF V,PWM Freq,ATT,PWM mode,ON duty,PWM mode,ON duty,Duration,Unit\r\n"
           "H,0.1,100,100,STB,,STB,,1,Sec\r\n";
}

DemoLoad LoadDemoSequence(const std::filesystem::path& folder) {
    DemoLoad out;
    std::ifstream file(folder / kDemoSequenceFile, std::ios::binary);
    if (file) {
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        DemoText parsed = ParseDemoSequence(text);
        out.messages = std::move(parsed.messages);
        if (!parsed.rows.empty()) {
            out.fromFile = true;
            out.rows = std::move(parsed.rows);
            return out;
        }
        out.messages.push_back(std::string(kDemoSequenceFile) + " holds no row; the built-in sequence is played");
    }
    out.rows = ParseDemoSequence(BuiltInDemoText()).rows;
    return out;
}

}  // namespace pages::dc
