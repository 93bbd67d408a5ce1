// The DC page's demo sequence CSV. Invariants: every row the reader accepts is in range
// (REF 0..256 steps, a frequency of at least 1 Hz, duties 0..256, durations 0..63 s, the
// same duration on both channels), and a row written back as a line of its own reads
// back as the same row.
#include <cmath>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "parsers/DcDemo.h"
#include "parsers/DcPhaseWord.h"

namespace {

using namespace pages::dc;

std::string Number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string PhaseFields(std::uint32_t phase) {
    static constexpr const char* kKeywords[8] = {"FW<->STB", "FW<->BRK", "REV<->STB", "REV<->BRK",
                                                 "STB",      "BRK",      "",          "??"};
    // Half a step above the duty, so the reader's truncation lands on it again.
    const double percent = std::fmin(100.0, (DutyOf(phase) + 0.5) * 100.0 / 256.0);
    return std::string(kKeywords[ModeOf(phase)]) + "," + Number(percent);
}

std::string LineOf(const DemoRow& r) {
    static constexpr int kPercent[4] = {100, 80, 50, 20};
    const std::string att = r.att < 4 ? std::to_string(kPercent[r.att]) : std::to_string(r.att);
    return std::string(r.enable ? "H" : "L") + "," + Number(r.ref * 3.3 / 256.0) + "," + std::to_string(r.frequency) +
           "," + att + "," + PhaseFields(r.phase1) + "," + PhaseFields(r.phase2) + "," +
           std::to_string(r.phase1 & bits::kDurationMask) + ",Sec\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const DemoText parsed = ParseDemoSequence(fuzz::Text(data, size));
    for (const DemoRow& r : parsed.rows) {
        FUZZ_EXPECT(r.enable <= 1 && r.ref >= 0.0 && r.ref <= 256.0 && r.frequency >= 1 &&
                        DutyOf(r.phase1) <= kMaxDuty && DutyOf(r.phase2) <= kMaxDuty &&
                        (r.phase1 & bits::kDurationMask) == (r.phase2 & bits::kDurationMask),
                    "row out of range: enable %u ref %g frequency %u phases 0x%08X 0x%08X", r.enable, r.ref,
                    r.frequency, r.phase1, r.phase2);
        const std::string line = LineOf(r);
        const DemoText again = ParseDemoSequence("header\n" + line);
        FUZZ_EXPECT(again.rows.size() == 1 && again.messages.empty(), "\"%s\" gives %zu rows and %zu messages",
                    line.c_str(), again.rows.size(), again.messages.size());
        const DemoRow& b = again.rows[0];
        FUZZ_EXPECT(b.enable == r.enable && b.att == r.att && b.frequency == r.frequency && b.phase1 == r.phase1 &&
                        b.phase2 == r.phase2 && std::fabs(b.ref - r.ref) <= 1e-9,
                    "\"%s\" reads back as %u %u %.17g %u 0x%08X 0x%08X (was %u %u %.17g %u 0x%08X 0x%08X)",
                    line.c_str(), b.enable, b.att, b.ref, b.frequency, b.phase1, b.phase2, r.enable, r.att, r.ref,
                    r.frequency, r.phase1, r.phase2);
    }
    return 0;
}
