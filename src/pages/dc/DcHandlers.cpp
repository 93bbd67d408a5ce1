// The DC page's reaction to each changed kind, its board restore, the demo and the status
// polling with the output current readout.
#include <algorithm>

#include "data/DataContainer.h"
#include "pages/dc/DcPage.h"
#include "pages/scaffold/DemoMessages.h"
#include "pages/scaffold/PageScaffold.h"
#include "platform/core/Clock.h"

namespace dc = pages::dc;
namespace kind = pages::dc::kind;
using pages::kRefPwmChannel;
using pages::kRefPwmHz;

namespace {

// What a demo sets itself; the user gets them back when it ends.
constexpr int kDemoLockedKinds[] = {kind::kChipEnable, kind::kRef,    kind::kAtt,           kind::kFrequency,
                                    kind::kMode1,      kind::kMode2,  kind::kDuty1,         kind::kDuty2,
                                    kind::kStart1,     kind::kStart2, kind::kSequenceWindow};

int ChannelOf(int k) { return (k == kind::kMode2 || k == kind::kDuty2 || k == kind::kStart2) ? 1 : 0; }

}  // namespace

void CDeviceDialog_DC::Port(int port, std::uint32_t level, bool send) {
    board_.WritePort(port, 1, static_cast<int>(level & 1u), send);
}

void CDeviceDialog_DC::SetRefPwm(double duty) { CDerivedDialog::SetPwm(kRefPwmChannel, kRefPwmHz, duty, 1); }

void CDeviceDialog_DC::WriteAtt(std::uint32_t att) { pages::WriteTwoBitItem(board_, 8, 10, att); }

void CDeviceDialog_DC::RestoreKinds(std::initializer_list<int> kinds) {
    for (int k : kinds) {
        Restore(static_cast<std::uint32_t>(k), 0);
        Restore(static_cast<std::uint32_t>(k), 1);
    }
}

void CDeviceDialog_DC::ShowOnControls(int k, std::uint32_t value) {
    for (std::uint32_t index = 0; index < 2; ++index) {
        if (CDerivedControl* c = FindControl(static_cast<std::uint32_t>(k), index)) c->SetValue(value);
    }
}

int CDeviceDialog_DC::OnControlChanged(std::int32_t k, CDerivedControl* control) {
    // Only the page's own kinds are stored and acted on.
    if (!built_ || k < 0 || k >= kind::kCount) return 1;
    return pages::StoreThenReact(*this, k, control, &CDeviceDialog_DC::React);
}

void CDeviceDialog_DC::ApplyChannel(int channel, bool send) {
    const dc::ChannelApplication a =
        dc::ApplyChannel(channels_[channel == 1 ? 1 : 0], dc::FrequencyAt(frequencyIndex_));
    board_.SetTimerChannel(channel == 1 ? dc::kTimerChannel2 : dc::kTimerChannel1, a.record, send);
    // The driver needs the held output before the new direction; the wait blocks, as the
    // frames that follow must not overtake it.
    if (a.pauseMs > 0) platform::sleepMs(a.pauseMs);
}

void CDeviceDialog_DC::ApplyBothChannels() {
    ApplyChannel(0, false);
    ApplyChannel(1, true);
}

void CDeviceDialog_DC::ChangeMode(int channel, std::uint32_t mode) {
    if (dc::SetChannelMode(channels_[static_cast<std::size_t>(channel)], mode)) ApplyChannel(channel, true);
    ApplyChannel(channel, true);
}

void CDeviceDialog_DC::React(int k, std::uint32_t v, CDerivedControl* control) {
    switch (k) {
        case kind::kChipEnable:
            enableCopy_ = v;
            Port(31, v, true);
            ApplyBothChannels();
            SyncPair(k, control);
            break;
        case kind::kMode1:
        case kind::kMode2:
            ChangeMode(ChannelOf(k), v);
            break;
        case kind::kFrequency:
            frequencyIndex_ = std::min<std::uint32_t>(v, dc::kFrequencyCount - 1);
            ApplyBothChannels();
            SyncPair(k, control);
            break;
        case kind::kDuty1:
        case kind::kDuty2: {
            std::uint32_t& w = channels_[static_cast<std::size_t>(ChannelOf(k))];
            w = dc::WithDuty(w, v);
            ApplyChannel(ChannelOf(k), true);
            SyncPair(k, control);
            break;
        }
        case kind::kStart1:
        case kind::kStart2: {
            std::uint32_t& w = channels_[static_cast<std::size_t>(ChannelOf(k))];
            w = dc::WithOn(w, v != 0);
            ApplyBothChannels();
            break;
        }
        case kind::kRef:
            refCopy_ = v;
            SetRefPwm(256.0 - std::min<std::uint32_t>(v, dc::kMaxDuty));
            break;
        case kind::kAtt:
            attCopy_ = v;
            WriteAtt(v);
            break;
        case kind::kBlanking:
            Port(23, v, true);
            break;
        case kind::kProtection:
            Port(24, v, true);
            break;
        case kind::kResistance1:
        case kind::kResistance2:
            if (GetDeviceKey() == 0x202) UpdateIout();
            break;
        case kind::kPolling:
            SwitchPolling(v != 0);
            break;
        case kind::kSequenceWindow:
            if (sequenceWindow_) sequenceWindow_->ShowActive();
            break;
        case kind::kDemo:
            if (sequenceWindow_) sequenceWindow_->ShowActive();
            RunDemoSequence(v != 0);
            break;
        default:
            break;  // stored only
    }
}

void CDeviceDialog_DC::RestoreBoard() {
    if (!built_) return;
    // A loaded parameter set starts from rest: a demo or sequence run ends here, so no
    // timer of it drives a channel the restore has just switched off.
    if (sequence_) {
        sequence_->Halt();
        sequence_->ClearDemoRows();
    }
    if (demoItemsLocked_) EnableDemoItems(true);
    SetWord(kind::kDemo, 0);
    RestoreKinds({kind::kDemo});
    enableCopy_ = Word(kind::kChipEnable);
    attCopy_ = Word(kind::kAtt);
    frequencyIndex_ = std::min<std::uint32_t>(Word(kind::kFrequency), dc::kFrequencyCount - 1);
    refCopy_ = Word(kind::kRef);
    // The channels are switched off below: their words take the stored mode and duty,
    // off, and the start switches say so.
    for (int ch = 0; ch < 2; ++ch) {
        const int modeKind = ch == 0 ? kind::kMode1 : kind::kMode2;
        const int dutyKind = ch == 0 ? kind::kDuty1 : kind::kDuty2;
        const int startKind = ch == 0 ? kind::kStart1 : kind::kStart2;
        std::uint32_t w = dc::WithMode(0, std::min<std::uint32_t>(Word(modeKind), dc::kReverseBrake));
        channels_[static_cast<std::size_t>(ch)] = dc::WithDuty(w, Word(dutyKind));
        SetWord(startKind, 0);
        RestoreKinds({startKind});
    }
    Port(22, 1, true);
    SetRefPwm(256.0);
    // Their off templates as they are (no frequency, no percent): period and prescaler 0.
    board_.SetTimerChannel(dc::kTimerChannel1, dc::ModeTemplate(dc::kOff), false);
    board_.SetTimerChannel(dc::kTimerChannel2, dc::ModeTemplate(dc::kOff), true);
    SetupStatusInputs();
    return;
}

void CDeviceDialog_DC::SetupStatusInputs() {
    board_.WritePort(0, 0, 0, true);
    SetAdcChannel(0, 1, 1);
    SetInterruptInput(1, 1, 0);
    SetInterruptInput(2, 1, 1);
    board_.WritePort(18, 0, 1, false);
    board_.WritePort(19, 0, 1, true);
}

void CDeviceDialog_DC::SwitchPolling(bool on) {
    if (on) SetupStatusInputs();
    SetStatusPolling(on);
}

void CDeviceDialog_DC::OnPollTimer() {
    if (!built_) return;
    StoreAdcValue(kind::kRefMeasured, 0, 1);
    StoreInputLevel(kind::kWarning1, 1, 1);
    StoreInputLevel(kind::kWarning2, 2, 0);
    UpdateIout();
}

void CDeviceDialog_DC::UpdateIout() {
    const std::int32_t key = GetDeviceKey();
    dc::CurrentInputs in;
    in.att = Word(kind::kAtt);
    in.refAdc = Word(kind::kRefMeasured);
    in.resistance = static_cast<std::int32_t>(Word(kind::kResistance1));
    SetWord(kind::kCurrent1, static_cast<std::uint32_t>(dc::OutputCurrent(key, in)));
    in.resistance = static_cast<std::int32_t>(Word(kind::kResistance2));
    SetWord(kind::kCurrent2, static_cast<std::uint32_t>(dc::OutputCurrent(key, in)));
    for (int k : {kind::kRefMeasured, kind::kCurrent1, kind::kCurrent2, kind::kWarning1, kind::kWarning2})
        Restore(static_cast<std::uint32_t>(k), 0);
}

void CDeviceDialog_DC::RunDemoSequence(bool on) {
    if (!sequence_) return;
    // Whatever ran before ends first, so no row is freed while it is still played.
    if (sequence_->DemoRunning()) sequence_->RunDemo(false);
    sequence_->ClearDemoRows();
    if (!on) {
        EnableDemoItems(true);
        return;
    }
    dc::DemoLoad load = dc::LoadDemoSequence();
    if (!pages::ShowDemoMessages(this, load.messages) || IsDestroyed() || !sequence_) return;
    sequence_->SetDemoRows(std::move(load.rows));
    EnableDemoItems(false);
    sequence_->RunDemo(true);
}

void CDeviceDialog_DC::EnableDemoItems(bool on) {
    demoItemsLocked_ = !on;
    for (int k : kDemoLockedKinds) EnableControlsAt(k, on);
}

void CDeviceDialog_DC::ApplyDemoRow(const dc::DemoRow* row) {
    if (row == nullptr) {
        // The page's own state again: chip pins, REF and both channels as the user left
        // them, and the controls from the store, which the demo never wrote.
        Port(31, enableCopy_, true);
        SetRefPwm(256.0 - std::min<std::uint32_t>(refCopy_, dc::kMaxDuty));
        WriteAtt(attCopy_);
        ApplyBothChannels();
        RestoreKinds({kind::kChipEnable, kind::kRef, kind::kAtt, kind::kFrequency, kind::kMode1, kind::kMode2,
                      kind::kDuty1, kind::kDuty2});
        return;
    }
    const double ref = std::clamp(row->ref, 0.0, 256.0);
    Port(31, row->enable, true);
    SetRefPwm(256.0 - ref);
    WriteAtt(row->att);
    // Shown, not stored: a parameter save during the demo keeps the user's settings.
    ShowOnControls(kind::kChipEnable, row->enable);
    ShowOnControls(kind::kRef, static_cast<std::uint32_t>(ref));
    ShowOnControls(kind::kAtt, row->att);
    ShowOnControls(kind::kFrequency, dc::NearestFrequencyIndex(row->frequency));
    ShowOnControls(kind::kMode1, dc::ModeOf(row->phase1));
    ShowOnControls(kind::kMode2, dc::ModeOf(row->phase2));
    ShowOnControls(kind::kDuty1, dc::DutyOf(row->phase1));
    ShowOnControls(kind::kDuty2, dc::DutyOf(row->phase2));
}

void CDeviceDialog_DC::ChannelStopped(int channel) {
    // The sequence has switched the channel off on the board: its word and its start
    // switch say so, and the next change on the page does not start it again.
    const std::size_t ch = channel == 1 ? 1 : 0;
    channels_[ch] = dc::WithOn(channels_[ch], false);
    const int k = ch == 0 ? kind::kStart1 : kind::kStart2;
    if (Word(k) != 0) SetWord(k, 0);
    RestoreKinds({k});
}

void CDeviceDialog_DC::EndRuns() {
    if (!built_ || !sequence_) return;
    // The motor at rest: both channels off first, so the demo's end, which applies the
    // page's own state, does not start them again; their switches say so.
    const bool running = dc::IsOn(channels_[0]) || dc::IsOn(channels_[1]);
    for (std::size_t ch = 0; ch < 2; ++ch) channels_[ch] = dc::WithOn(channels_[ch], false);
    for (int k : {kind::kStart1, kind::kStart2}) {
        if (Word(k) != 0) SetWord(k, 0);
    }
    RestoreKinds({kind::kStart1, kind::kStart2});
    const bool demo = sequence_->DemoRunning();
    sequence_->Halt();
    if (demo || Word(kind::kDemo) != 0) {
        sequence_->ClearDemoRows();
        EnableDemoItems(true);
        SetWord(kind::kDemo, 0);
        RestoreKinds({kind::kDemo});
    }
    if (running && !demo) ApplyBothChannels();
    if (Word(kind::kPolling) != 0) SwitchPolling(false);
}
