// The DC drivers' channel and phase words: the fields of the word a page keeps per motor
// channel and of a sequence step (a demo row's channel or a phase of the sequence window),
// and the modes the combo boxes and the demo file's keywords name. Constants and
// constexpr accessors only; DcChannel.h builds the board records from these words.
#pragma once

#include <cstdint>

namespace pages::dc {

// Channel and phase word fields.
namespace bits {
inline constexpr std::uint32_t kDurationMask = 0x3F;      // 0-5: duration (s, or a list index with kDurationIndex)
inline constexpr std::uint32_t kDurationIndex = 1u << 6;  // the duration is an index into the editor's list
inline constexpr std::uint32_t kPending = 1u << 10;       // a change of direction waits for its pause
inline constexpr int kDutyShift = 12;                     // 12-20: ON duty 0..256
inline constexpr std::uint32_t kDutyMask = 0x1FFu << kDutyShift;
inline constexpr int kPreviousShift = 21;  // 21-23: the mode before the last change
inline constexpr int kModeShift = 24;      // 24-26: the mode
inline constexpr std::uint32_t kModeMask = 7u << kModeShift;
inline constexpr std::uint32_t kOn = 1u << 27;  // channel on / phase checked
}  // namespace bits

// Modes 0..5 as the combo boxes and the CSV keywords name them; 6 is the off record, 7 a
// keyword the table does not know (sent as off).
enum Mode : std::uint32_t {
    kForwardStandby = 0,
    kForwardBrake = 1,
    kReverseStandby = 2,
    kReverseBrake = 3,
    kStandby = 4,
    kBrake = 5,
    kOff = 6,
    kUnknown = 7,
};

inline constexpr std::uint32_t kMaxDuty = 256;

constexpr std::uint32_t ModeOf(std::uint32_t w) { return (w & bits::kModeMask) >> bits::kModeShift; }
constexpr std::uint32_t PreviousModeOf(std::uint32_t w) { return (w >> bits::kPreviousShift) & 7u; }
constexpr std::uint32_t DutyOf(std::uint32_t w) { return (w & bits::kDutyMask) >> bits::kDutyShift; }
constexpr bool IsOn(std::uint32_t w) { return (w & bits::kOn) != 0; }
constexpr std::uint32_t WithMode(std::uint32_t w, std::uint32_t mode) {
    return (w & ~bits::kModeMask) | ((mode & 7u) << bits::kModeShift);
}
// A duty above 256 is held to 256.
constexpr std::uint32_t WithDuty(std::uint32_t w, std::uint32_t duty) {
    return (w & ~bits::kDutyMask) | ((duty > kMaxDuty ? kMaxDuty : duty) << bits::kDutyShift);
}
constexpr std::uint32_t WithOn(std::uint32_t w, bool on) { return on ? (w | bits::kOn) : (w & ~bits::kOn); }

}  // namespace pages::dc
