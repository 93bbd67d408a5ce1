// The DC drivers' two motor channels as words and records: the channel word a page keeps
// per channel, the phase word of a sequence step (a demo row's channel or a phase of the
// sequence window), the 28-step PWM frequency table, the per-mode output templates, the
// pause after a change of direction, and the output current readout.
//
// Pure functions and constants; no state, no board. The page (DcPage.h) and the sequence
// runner (DcSequence.h) send the records these return through the page base's forwarding
// (timer channel 6 for motor channel 1, 7 for motor channel 2), which converts a copy.
#pragma once

#include <array>
#include <cstdint>

#include "board/Records.h"

namespace pages::dc {

// Board timer channels of the two motor channels.
inline constexpr int kTimerChannel1 = 6;
inline constexpr int kTimerChannel2 = 7;

// Channel and phase word fields.
namespace bits {
inline constexpr std::uint32_t kDurationMask = 0x3F;     // 0-5: duration (s, or a list index with kDurationIndex)
inline constexpr std::uint32_t kDurationIndex = 1u << 6;  // the duration is an index into the editor's list
inline constexpr std::uint32_t kPending = 1u << 10;      // a change of direction waits for its pause
inline constexpr int kDutyShift = 12;                    // 12-20: ON duty 0..256
inline constexpr std::uint32_t kDutyMask = 0x1FFu << kDutyShift;
inline constexpr int kPreviousShift = 21;                // 21-23: the mode before the last change
inline constexpr int kModeShift = 24;                    // 24-26: the mode
inline constexpr std::uint32_t kModeMask = 7u << kModeShift;
inline constexpr std::uint32_t kOn = 1u << 27;           // channel on / phase checked
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
inline constexpr std::size_t kFrequencyCount = 28;

// 100 to 1000 Hz by 100, then 1500 to 10000 Hz by 500.
const std::array<std::uint32_t, kFrequencyCount>& FrequencyTable();
// The table's frequency at `index`; an index past the table takes its last entry.
std::uint32_t FrequencyAt(std::uint32_t index);
// The index of the table's frequency nearest to `hz` (the lower on a tie).
std::uint32_t NearestFrequencyIndex(double hz);

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

// The mode's template: every field 0 but the two output fields of the mode (mode 7 and
// above take the off template).
PwmChannelRecord ModeTemplate(std::uint32_t mode);

// Output duty in 1/256 steps for the record's own mode: 256 - duty for the forward modes
// 0 and 1, the duty for the reverse modes 2 and 3, 0 for standby, brake, off and unknown.
std::uint32_t OutputDuty(std::uint32_t mode, std::uint32_t duty);

// A template with the frequency (Hz) and the output duty as percent.
PwmChannelRecord MakeRecord(std::uint32_t templateMode, double frequency, std::uint32_t outputDuty);

// The new mode of a channel word: the old one becomes the previous mode; a change between
// forward and reverse among the PWM modes 0..3 sets the pending bit (a change to or from
// standby or brake keeps it). True when a change of direction is now pending.
bool SetChannelMode(std::uint32_t& w, std::uint32_t mode);

// One application of a channel word: its record, and the pause (ms) to keep after sending
// it (0 but for a pending change of direction, whose bit is then cleared).
struct ChannelApplication {
    PwmChannelRecord record;
    std::uint32_t pauseMs = 0;
};
// With the pending bit: the previous mode's direction (mode 0 or 2) at duty 0 (the motor
// held); else the word's mode and duty; with the on bit clear always the off record.
ChannelApplication ApplyChannel(std::uint32_t& w, double frequency);

// The pause after a change of direction: 1000 / f whole ms, at least 5.
std::uint32_t DirectionPauseMs(double frequency);

// ---- sequence phases ----------------------------------------------------------------

// The record of a phase: off (or an unknown mode) sends the off record at duty 0; a
// pending change of direction the new mode's direction (0 or 2) with the phase's own
// output duty rule; else the phase's mode and duty.
PwmChannelRecord PhaseRecord(std::uint32_t phase, bool off, double frequency);
// Two phases are a reversal when both are PWM modes (0..3) and their directions differ.
bool IsReversal(std::uint32_t next, std::uint32_t previous);
// The 200 ms pause record between reversed phases: standby outputs (1, 1), or brake
// (2, 2) when the new mode brakes; its flag fields 0.
PwmChannelRecord PulseRecord(std::uint32_t next, double frequency);
inline constexpr std::uint32_t kReversalPauseMs = 200;

// ---- output current ------------------------------------------------------------------

struct CurrentInputs {
    std::uint32_t att = 0;       // data word 11
    std::uint32_t refAdc = 0;    // data word 10, 12-bit count
    std::int32_t resistance = 0;  // data word 14 or 16 (mOhm; Ohm on 0x202)
};
// The channel's output current in mA; 0 for a resistance of 0 or below or a device whose
// formula is not known.
double OutputCurrent(std::int32_t deviceKey, const CurrentInputs& in);

}  // namespace pages::dc
