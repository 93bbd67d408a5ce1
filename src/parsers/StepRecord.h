// One step of a parallel-input run: a row of a stepper page's step table, or a line of a
// demo sequence. Both stepper pages run them. 24 bytes, as the pages keep them.
#pragma once

#include <array>
#include <cstdint>

namespace pages {

struct StepRecord {
    std::uint8_t enable = 0;       // chip enable for a demo step
    std::uint8_t attenuation = 0;  // attenuation code 0..3 for a demo step
    double refDuty = 0;            // REF PWM value 0..256 for a demo step
    std::uint32_t flags = 0;       // see the bit names below
};
static_assert(sizeof(StepRecord) == 24);

namespace stepbits {
inline constexpr std::uint32_t kInUse = 1u << 31;
inline constexpr int kModeShift = 29;       // 2 bits; 0 full step
inline constexpr int kFrequencyShift = 24;  // 5 bits; index into the step-frequency table
inline constexpr std::uint32_t kCcw = 1u << 23;
inline constexpr std::uint32_t kUnitSteps = 1u << 17;     // else seconds
inline constexpr std::uint32_t kCountIsIndex = 1u << 16;  // bits 0-15 index the step-count table
inline constexpr std::uint32_t kCountMask = 0xFFFFu;
}  // namespace stepbits

// Step frequencies (Hz), indexed by a step row's bits 24-28.
inline constexpr std::array<int, 20> kStepFrequencies = {20,  40,  60,  80,  100, 120, 140, 160,  180,  200,
                                                         300, 400, 500, 600, 700, 800, 900, 1000, 1100, 1200};

// Where the steps of a parallel-input run come from.
enum class StepSource { Rows = 0, BuiltInDemo = 1, FileDemo = 2 };

inline bool InUse(const StepRecord& r) { return (r.flags & stepbits::kInUse) != 0; }
inline bool FullStep(const StepRecord& r) { return ((r.flags >> stepbits::kModeShift) & 3u) == 0; }
inline int FrequencyIndex(const StepRecord& r) {
    return static_cast<int>((r.flags >> stepbits::kFrequencyShift) & 31u);
}
inline bool Ccw(const StepRecord& r) { return (r.flags & stepbits::kCcw) != 0; }
inline bool UnitSteps(const StepRecord& r) { return (r.flags & stepbits::kUnitSteps) != 0; }

}  // namespace pages
