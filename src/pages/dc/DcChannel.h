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
#include "parsers/DcPhaseWord.h"

namespace pages::dc {

// Board timer channels of the two motor channels.
inline constexpr int kTimerChannel1 = 6;
inline constexpr int kTimerChannel2 = 7;

inline constexpr std::size_t kFrequencyCount = 28;

// 100 to 1000 Hz by 100, then 1500 to 10000 Hz by 500.
const std::array<std::uint32_t, kFrequencyCount>& FrequencyTable();
// The table's frequency at `index`; an index past the table takes its last entry.
std::uint32_t FrequencyAt(std::uint32_t index);
// The index of the table's frequency nearest to `hz` (the lower on a tie).
std::uint32_t NearestFrequencyIndex(double hz);

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
    std::uint32_t att = 0;        // data word 11
    std::uint32_t refAdc = 0;     // data word 10, 12-bit count
    std::int32_t resistance = 0;  // data word 14 or 16 (mOhm; Ohm on 0x202)
};
// The channel's output current in mA; 0 for a resistance of 0 or below or a device whose
// formula is not known.
double OutputCurrent(std::int32_t deviceKey, const CurrentInputs& in);

}  // namespace pages::dc
