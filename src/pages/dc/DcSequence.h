// The DC sequence runner: per motor channel up to eight timed phases (PWM mode, ON duty,
// duration, checked), run in order on the channel's one-shot timer, optionally in a loop;
// and the demo, which steps endlessly through the demo rows, one row per duration.
// A change between forward and reverse inside a channel's run (or between two demo rows)
// first holds the motor 200 ms in standby or brake.
//
// A state machine with no window: the sequence window shows and edits its phase words
// and forwards its timers' ticks here; the page (IDcSequenceHost) applies a demo row's
// chip settings. It owns its phase words and a copy of the demo rows, so nothing a
// window shows can be freed under it. Board records go through pages::IPageBoard (timer
// channel 6 for channel 1, 7 for channel 2); the pauses sleep on platform::currentClock(),
// so tests run them on a manual clock. GUI thread only.
//
// Decisions: a phase or row of duration 0 holds until stopped (no timer is armed); at the
// natural end of a run the off record is sent, so the motor stops, and the host hears of
// every channel a run leaves off; an unknown mode runs as off; an empty row list or a
// stale tick does nothing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "pages/dc/DcChannel.h"
#include "pages/scaffold/PageBoard.h"
#include "parsers/DcDemo.h"

namespace pages::dc {

inline constexpr int kPhaseCount = 8;
inline constexpr int kChannelCount = 2;
// The editor's duration list: 5 to 60 s by 5.
inline constexpr std::uint32_t kDurationListSize = 12;

// The phase's duration in ms: a list index (bit 6) or whole seconds; an index past the
// list takes its last entry.
std::uint32_t PhaseDurationMs(std::uint32_t phase);
// A new (or reset) editor's phase word: mode 0, duty 0, the list's first duration,
// unchecked.
inline constexpr std::uint32_t kNewPhase = bits::kDurationIndex;

// What the runner asks of the page.
class IDcSequenceHost {
public:
    virtual ~IDcSequenceHost() = default;
    // A demo row's chip enable, REF, attenuation and data words; null: the page's own
    // state again.
    virtual void ApplyDemoRow(const DemoRow* row) = 0;
    // The index into the frequency table the channels' own runs use (data word 2).
    virtual std::uint32_t FrequencyIndex() const = 0;
    // A channel's run has ended with its off record (stopped, hidden, halted, not enabled
    // at a start, or its last phase over): the board has the channel off, and the page
    // shows it so. Nothing is sent from here.
    virtual void ChannelStopped(int channel) = 0;
};

// The runner's three one-shot timers: channel 1, channel 2 and the demo.
enum class SequenceTimer { Channel1 = 0, Channel2 = 1, Demo = 2 };
class ISequenceTimers {
public:
    virtual ~ISequenceTimers() = default;
    virtual void Arm(SequenceTimer timer, std::uint32_t ms) = 0;
    virtual void Stop(SequenceTimer timer) = 0;
};

class DcSequence {
public:
    DcSequence(IPageBoard& board, ISequenceTimers& timers, IDcSequenceHost& host);

    // ---- the channels' phases (channel 0 or 1, phase 0..7)
    std::uint32_t Phase(int channel, int phase) const;
    void SetPhase(int channel, int phase, std::uint32_t word);
    // Sets or clears every phase's checked bit of a channel.
    void SetAllChecked(int channel, bool checked);
    // 0 none checked, 1 all, 2 some.
    int CheckedState(int channel) const;
    // Every phase word back to a new editor's.
    void ResetPhases();
    void SetLoop(int channel, bool loop) { channels_[Index(channel)].loop = loop; }
    void SetEnabled(int channel, bool enabled) { channels_[Index(channel)].enabled = enabled; }
    bool Loop(int channel) const { return channels_[Index(channel)].loop; }
    bool Enabled(int channel) const { return channels_[Index(channel)].enabled; }
    bool Running(int channel) const { return channels_[Index(channel)].running; }
    // The phase the channel is at, or -1 past the end.
    int Position(int channel) const;

    // "Start": both channels from their first phase; an enabled channel runs, the other
    // is sent off.
    void Start();
    // "Stop": both channels sent off.
    void Stop();
    // A channel's timer ticked: its next phase.
    void OnChannelTick(int channel);
    // The window was hidden: a channel whose run waits for its timer is stopped.
    void OnHide();

    // ---- the demo
    void SetDemoRows(std::vector<DemoRow> rows);
    void ClearDemoRows();
    const std::vector<DemoRow>& DemoRows() const { return rows_; }
    // On: the first row at once, then one row per duration. Off: the timer stopped and the
    // page's own state applied again.
    void RunDemo(bool on);
    bool DemoRunning() const { return demoRunning_; }
    void OnDemoTick();
    // The row shown now; none before the first step.
    std::optional<std::size_t> CurrentDemoRow() const { return demoRow_; }

    // Ends every run: the timers stopped and both channels sent off; a demo ended.
    void Halt();

private:
    struct Channel {
        std::array<std::uint32_t, kPhaseCount> phases{};
        int current = 0;  // kPhaseCount is the end
        int previous = kPhaseCount;
        bool running = false, enabled = false, loop = false;
    };
    static std::size_t Index(int channel) { return channel == 1 ? 1 : 0; }
    static int TimerChannel(int channel) { return channel == 1 ? kTimerChannel2 : kTimerChannel1; }
    void NextPhase(int channel, bool stop);
    void Pulse(int channel, std::uint32_t next, double frequency);
    void DemoStep();

    IPageBoard& board_;
    ISequenceTimers& timers_;
    IDcSequenceHost& host_;
    std::array<Channel, kChannelCount> channels_{};
    std::vector<DemoRow> rows_;
    std::optional<std::size_t> demoRow_;
    std::array<std::optional<std::uint32_t>, kChannelCount> demoPrevious_{};
    bool demoRunning_ = false;
};

}  // namespace pages::dc
