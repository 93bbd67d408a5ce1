#include "pages/dc/DcSequence.h"

#include "platform/core/Clock.h"

namespace pages::dc {

std::uint32_t PhaseDurationMs(std::uint32_t phase) {
    const std::uint32_t d = phase & bits::kDurationMask;
    if ((phase & bits::kDurationIndex) == 0) return d * 1000u;
    const std::uint32_t index = d < kDurationListSize ? d : kDurationListSize - 1;
    return (index + 1) * 5u * 1000u;
}

DcSequence::DcSequence(IPageBoard& board, ISequenceTimers& timers, IDcSequenceHost& host)
    : board_(board), timers_(timers), host_(host) {
    ResetPhases();
}

std::uint32_t DcSequence::Phase(int channel, int phase) const {
    if (phase < 0 || phase >= kPhaseCount) return 0;
    return channels_[Index(channel)].phases[static_cast<std::size_t>(phase)];
}

void DcSequence::SetPhase(int channel, int phase, std::uint32_t word) {
    if (phase < 0 || phase >= kPhaseCount) return;
    channels_[Index(channel)].phases[static_cast<std::size_t>(phase)] = word & ~bits::kPending;
}

void DcSequence::SetAllChecked(int channel, bool checked) {
    for (std::uint32_t& p : channels_[Index(channel)].phases) p = WithOn(p, checked);
}

int DcSequence::CheckedState(int channel) const {
    int n = 0;
    for (std::uint32_t p : channels_[Index(channel)].phases) n += IsOn(p) ? 1 : 0;
    return n == 0 ? 0 : n == kPhaseCount ? 1 : 2;
}

void DcSequence::ResetPhases() {
    for (Channel& c : channels_) c.phases.fill(kNewPhase);
}

int DcSequence::Position(int channel) const {
    const int p = channels_[Index(channel)].current;
    return p < kPhaseCount ? p : -1;
}

void DcSequence::Pulse(int channel, std::uint32_t next, double frequency) {
    board_.SetTimerChannel(TimerChannel(channel), PulseRecord(next, frequency), true);
    platform::sleepMs(kReversalPauseMs);
}

void DcSequence::NextPhase(int channel, bool stop) {
    Channel& c = channels_[Index(channel)];
    const auto timer = channel == 1 ? SequenceTimer::Channel2 : SequenceTimer::Channel1;
    timers_.Stop(timer);
    const double frequency = FrequencyAt(host_.FrequencyIndex());
    int pos = c.current;
    while (pos < kPhaseCount && !IsOn(c.phases[static_cast<std::size_t>(pos)])) ++pos;
    if (pos >= kPhaseCount) pos = c.loop ? 0 : kPhaseCount;
    c.current = pos;
    if (pos >= kPhaseCount) {
        // The natural end (or a stop there): the off record goes to the board, so the
        // motor does not keep the last phase's drive, and the run is over.
        c.running = false;
        board_.SetTimerChannel(TimerChannel(channel), PhaseRecord(c.phases[0], true, frequency), true);
        host_.ChannelStopped(channel);
        return;
    }
    std::uint32_t& phase = c.phases[static_cast<std::size_t>(pos)];
    phase &= ~bits::kPending;
    if (c.previous < kPhaseCount && IsReversal(phase, c.phases[static_cast<std::size_t>(c.previous)]))
        Pulse(channel, phase, frequency);
    // A stop always reaches the board: a loop wraps to phase 1 even unchecked, and a stop
    // only staged there would leave the motor driven.
    board_.SetTimerChannel(TimerChannel(channel), PhaseRecord(phase, stop, frequency), stop || IsOn(phase));
    if (stop) {
        host_.ChannelStopped(channel);
        return;
    }
    // A duration of 0 holds the phase until the user stops it.
    if (const std::uint32_t ms = PhaseDurationMs(phase); ms > 0) timers_.Arm(timer, ms);
}

void DcSequence::Start() {
    for (int ch = 0; ch < kChannelCount; ++ch) {
        Channel& c = channels_[static_cast<std::size_t>(ch)];
        c.current = 0;
        c.previous = kPhaseCount;
        c.running = c.enabled;
        NextPhase(ch, !c.enabled);
    }
}

void DcSequence::Stop() {
    for (int ch = 0; ch < kChannelCount; ++ch) {
        channels_[static_cast<std::size_t>(ch)].running = false;
        NextPhase(ch, true);
    }
}

void DcSequence::OnChannelTick(int channel) {
    Channel& c = channels_[Index(channel)];
    if (!c.running) return;  // a tick that was on its way when the run stopped
    c.previous = c.current;
    if (c.current < kPhaseCount) ++c.current;
    NextPhase(channel, !c.running);
}

void DcSequence::OnHide() {
    for (int ch = 0; ch < kChannelCount; ++ch) {
        Channel& c = channels_[static_cast<std::size_t>(ch)];
        if (!c.running) continue;
        c.running = false;
        NextPhase(ch, true);
    }
}

void DcSequence::SetDemoRows(std::vector<DemoRow> rows) {
    rows_ = std::move(rows);
    demoRow_.reset();
}

void DcSequence::ClearDemoRows() {
    rows_.clear();
    demoRow_.reset();
}

void DcSequence::RunDemo(bool on) {
    timers_.Stop(SequenceTimer::Demo);
    demoRow_.reset();
    demoPrevious_ = {};
    if (on) {
        demoRunning_ = true;
        DemoStep();
        return;
    }
    const bool wasRunning = demoRunning_;
    demoRunning_ = false;
    if (wasRunning) host_.ApplyDemoRow(nullptr);
}

void DcSequence::OnDemoTick() {
    if (demoRunning_) DemoStep();
}

void DcSequence::DemoStep() {
    timers_.Stop(SequenceTimer::Demo);
    if (rows_.empty()) return;
    demoRow_ = demoRow_ && *demoRow_ + 1 < rows_.size() ? *demoRow_ + 1 : 0;
    const DemoRow row = rows_[*demoRow_];  // a copy: the page may change the list while applying it
    host_.ApplyDemoRow(&row);
    const double frequency = row.frequency;
    const std::array<std::uint32_t, kChannelCount> phases = {row.phase1, row.phase2};
    // Each channel in turn: its reversal pulse, then its phase. Channel 1's phase is only
    // staged, but channel 2's pulse carries it along, so a channel is held no longer than
    // its own 200 ms when both reverse.
    for (int ch = 0; ch < kChannelCount; ++ch) {
        const std::uint32_t phase = phases[static_cast<std::size_t>(ch)];
        const auto& previous = demoPrevious_[static_cast<std::size_t>(ch)];
        if (previous && IsReversal(phase, *previous)) Pulse(ch, phase, frequency);
        board_.SetTimerChannel(TimerChannel(ch), PhaseRecord(phase, row.enable == 0, frequency), ch == 1);
    }
    demoPrevious_ = {row.phase1, row.phase2};
    const std::uint32_t ms = (row.phase1 & bits::kDurationMask) * 1000u;
    if (ms > 0 && demoRunning_) timers_.Arm(SequenceTimer::Demo, ms);
}

void DcSequence::Halt() {
    const bool channelsBusy = channels_[0].running || channels_[1].running;
    for (Channel& c : channels_) c.running = false;
    timers_.Stop(SequenceTimer::Channel1);
    timers_.Stop(SequenceTimer::Channel2);
    if (demoRunning_) RunDemo(false);
    if (channelsBusy) {
        board_.SetTimerChannel(kTimerChannel1, MakeRecord(kOff, FrequencyAt(host_.FrequencyIndex()), 0), false);
        board_.SetTimerChannel(kTimerChannel2, MakeRecord(kOff, FrequencyAt(host_.FrequencyIndex()), 0), true);
        for (int ch = 0; ch < kChannelCount; ++ch) host_.ChannelStopped(ch);
    }
}

}  // namespace pages::dc
