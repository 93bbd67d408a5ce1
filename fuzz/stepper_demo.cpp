// The stepper page's demo sequence CSV. Invariants: every step the reader accepts is in
// range (REF duty 0..256, an attenuation code, a frequency of the table, a count up to
// FFFF, in use), no line gives more than one step, the reader says why about every line
// it refuses, and a step written back as a line of its own reads back as the same step.
#include <cmath>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "pages/stepper/StepperTables.h"
#include "parsers/StepperDemo.h"

namespace {

using namespace pages;
using namespace pages::stepper;

std::string LineOf(const StepRecord& r) {
    static constexpr int kPercent[4] = {100, 80, 50, 20};
    char volts[40];
    std::snprintf(volts, sizeof volts, "%.17g", r.refDuty * 3.3 / 256.0);
    char count[16];
    std::snprintf(count, sizeof count, "%X", r.flags & stepbits::kCountMask);
    return std::string(r.enable ? "H" : "L") + "," + volts + "," + std::to_string(kPercent[r.attenuation & 3]) + "," +
           (FullStep(r) ? "Full" : "Half") + "," +
           std::to_string(kStepFrequencies[static_cast<std::size_t>(FrequencyIndex(r))]) + "," +
           (Ccw(r) ? "CCW" : "CW") + "," + count + "," + (UnitSteps(r) ? "Step" : "Sec") + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::Text(data, size);
    const SequenceText parsed = ParseSequence(text);
    std::size_t lines = 0;
    for (const char c : text) lines += c == '\n';
    lines += !text.empty() && text.back() != '\n';
    FUZZ_EXPECT(parsed.steps.size() + (lines > 0 ? 1 : 0) <= std::max<std::size_t>(lines, 1),
                "%zu steps from %zu lines", parsed.steps.size(), lines);

    for (const StepRecord& r : parsed.steps) {
        FUZZ_EXPECT(InUse(r) && r.attenuation <= 3 && r.enable <= 1 && r.refDuty >= 0.0 && r.refDuty <= 256.0 &&
                        FrequencyIndex(r) < static_cast<int>(kStepFrequencies.size()) &&
                        (r.flags & stepbits::kCountIsIndex) == 0 && ((r.flags >> stepbits::kModeShift) & 3u) <= 1,
                    "step out of range: enable %u att %u ref %g flags 0x%08X", r.enable, r.attenuation, r.refDuty,
                    r.flags);
        const SequenceText again = ParseSequence("header\n" + LineOf(r));
        FUZZ_EXPECT(again.steps.size() == 1 && again.messages.empty(), "\"%s\" gives %zu steps and %zu messages",
                    LineOf(r).c_str(), again.steps.size(), again.messages.size());
        const StepRecord& b = again.steps[0];
        FUZZ_EXPECT(b.enable == r.enable && b.attenuation == r.attenuation && b.flags == r.flags &&
                        std::fabs(b.refDuty - r.refDuty) <= 1e-9,
                    "\"%s\" reads back as enable %u att %u ref %.17g flags 0x%08X (was %u %u %.17g 0x%08X)",
                    LineOf(r).c_str(), b.enable, b.attenuation, b.refDuty, b.flags, r.enable, r.attenuation, r.refDuty,
                    r.flags);
    }
    return 0;
}
