// The stepper page's reaction to each changed kind, its board restore, the enabling rules
// between its items and the status polling.
#include <algorithm>

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "pages/scaffold/DemoMessages.h"
#include "pages/scaffold/PageScaffold.h"
#include "pages/stepper/MeasuredValues.h"
#include "pages/stepper/SerialFrame.h"
#include "pages/stepper/StepperPage.h"
#include "parsers/StepperDemo.h"
#include "platform/gui/CommonDialogs.h"
#include "ui/EditControl.h"
#include "ui/SliderControl.h"
#include "ui/SpeedWindows.h"

namespace word = pages::stepper::word;
using pages::kRefPwmChannel;
using pages::kRefPwmHz;
using pages::stepper::StartMode;

namespace {

constexpr int kClockTableLast = 37;
constexpr std::uint32_t kOtherCount = 24;  // "Other ..." transfer time: the count edit gives it
constexpr std::uint32_t kDefaultCount = 8;
// What a demo plays itself; the user gets them back when it ends.
constexpr int kDemoLockedKinds[] = {0, 1, 2, 4, 6, 3, 24, 25, 26, 27, 29, 39, 40};

bool IsOneOf(std::int32_t key, std::initializer_list<std::int32_t> keys) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

bool ParallelOnly(std::int32_t key) { return IsOneOf(key, {0x102, 0x103, 0x107, 0x108, 0x109, 0x10A, 0x10B, 0x10C}); }

}  // namespace

void CDeviceDialog_Stepper::RestoreKind(int kind) {
    for (std::uint32_t index = 0; index < 4; ++index) Restore(static_cast<std::uint32_t>(kind), index);
}

void CDeviceDialog_Stepper::Port(int port, std::uint32_t level, bool send) {
    CDerivedDialog::WritePort(port, 1, level, send ? 1 : 0);
}

void CDeviceDialog_Stepper::PortFromWord(int port, int word, bool send) { Port(port, Word(word), send); }

void CDeviceDialog_Stepper::React(int kind, std::uint32_t v, CDerivedControl* control) {
    const std::int32_t key = GetDeviceKey();
    switch (kind) {
        case 0:
            Port(31, v, true);
            Enable(68, v != 0);
            break;
        case word::kInputType:
            SyncPair(word::kInputType, control);
            OnInputType(v);
            break;
        case word::kTestMode:
            SetTestMode(v);
            UpdateParallelEnables();
            break;
        case word::kRef:
            CDerivedDialog::SetPwm(kRefPwmChannel, kRefPwmHz, 256.0 - v, 1);
            SyncPair(kind, control);
            break;
        case word::kAttenuate:
            Port(8, v & 1u, false);
            Port(10, v >> 1, true);
            break;
        case word::kStartClock:
            ApplyClockRange();
            SyncPair(kind, control);
            break;
        case word::kTopClock:
            SyncPair(kind, control);
            ApplyClockRange();
            RefreshClockButtons();
            break;
        case word::kExcitation:
        case word::kDirection:
            if (IsOneOf(key, {0x100, 0x101, 0x104})) {
                ApplyClockRange();
                RefreshClockButtons();
            }
            break;
        case word::kStartTopTime:
            ApplyClockRange();
            break;
        case word::kDriveMargin:
            Port(32, v & 1u, false);
            Port(33, v >> 1, true);
            break;
        case word::kBoostUp:
            Port(13, v & 1u, false);
            Port(15, v >> 1, true);
            break;
        case word::kHighEfficient:
            Port(28, v, true);
            break;
        case word::kReset:
        case 55:
        case 28:
            Port(23, v, true);
            break;
        case word::kOutputEnable:
        case 57:
            Port(12, v, true);
            break;
        case word::kOverCurrent:
            Port(24, v, true);
            break;
        case word::kStartStop:
            runFlag_ = v != 0;
            run_->StartRun(v != 0 ? StartMode::Start : StartMode::Stop, v == 0 ? 1 : 0);
            if (v == 0) RefreshClockButtons();
            break;
        case word::kClock:
            run_->StartRun(StartMode::ClockOnOff, static_cast<int>(v));
            RefreshClockButtons();
            break;
        case 23:
            run_->StartRun(StartMode::Update, 0);
            RefreshClockButtons();
            break;
        case word::kTransferTime:
            UpdateCountEdit();
            run_->BuildRowSteps();
            break;
        case word::kCount:
            if (v == 0 || v > 65535) {
                gui::messageBox(this, QStringLiteral("Please specify a value between 1 and 65535"),
                                QStringLiteral("Parameter Error"), gui::MessageButtons::Ok, gui::MessageIcon::None);
                SetWord(word::kCount, kDefaultCount);
                RestoreKind(word::kCount);
            }
            run_->BuildRowSteps();
            break;
        case word::kStopSignal:
            UpdateParallelEnables();
            break;
        case 39:
            run_->BuildRowSteps();
            run_->StopRun(v != 0);
            break;
        case 40:
            run_->StopRun(false);
            break;
        case 41:
            RunDemoSequence(v != 0);
            break;
        case 51:
            SwitchRecord(control, v != 0);
            break;
        case 52:
            SyncPair(kind, control);
            SetTachometerScale(static_cast<int>(v) * (IsOneOf(key, {0x100, 0x101, 0x104, 0x105}) ? 100 : 10));
            break;
        case 53:
            SyncPair(kind, control);
            if (IsOneOf(key, {0x101, 0x104})) SetTachometerScale(static_cast<int>(v) * 10);
            break;
        case 54:
            SwitchPolling(v != 0);
            SetStatusPolling(v != 0);
            break;
        case 56:
            Port(29, v, true);
            break;
        case 68:
            pages::stepper::SendSerialSettings(board_, *GetDataContainer());
            Enable(68, Word(0) != 0);
            break;
        default:
            if (kind >= word::kFirstRow && kind < word::kFirstRow + word::kRowCount) {
                const int row = kind - word::kFirstRow;
                if (control != nullptr && control == FindControl(static_cast<std::uint32_t>(kind), 0)) {
                    SetRowState(row, true, 0);
                    UpdateStartStopButtons(false);
                }
                run_->BuildRowSteps();
            } else if (kind == word::kReTopTime || kind == word::kTransferUnit || kind == word::kRepeat) {
                run_->BuildRowSteps();
            }
            break;
    }
}

void CDeviceDialog_Stepper::ShowIdle() {
    runFlag_ = false;
    for (int kind : {word::kStartStop, word::kDemo}) RestoreKind(kind);
    RefreshClockButtons();
}

void CDeviceDialog_Stepper::OnInputType(std::uint32_t v) {
    // A run on the other input cannot go on: stop it before the pins change.
    const bool demo = run_->DemoRunning();
    run_->ResetToIdle();
    if (demo) EnableDemoControls(true);
    Port(22, v, true);
    SendChannelRecords();
    ApplyTabPage(word::kInputType);
    SetTestMode(Word(word::kTestMode));
    UpdateParallelEnables();
    if (v == 0) {
        PortFromWord(23, word::kReset, true);
        SetTachometerScale(static_cast<int>(Word(52)) * 100);
        run_->SetActiveRow(-1);
    } else {
        PortFromWord(23, 28, true);
        SetTachometerScale(static_cast<int>(Word(53)) * 10);
    }
    ShowStepRows(v != 0);
    ShowIdle();
}

void CDeviceDialog_Stepper::SendChannelRecords() {
    board_.SetTimerChannel(6, run_->ChannelRecord(6), false);
    board_.SetTimerChannel(7, run_->ChannelRecord(7), false);
    board_.SetTimerChannel(8, run_->ChannelRecord(8), true);
}

void CDeviceDialog_Stepper::SetTachometerScale(int pps) {
    if (auto* tachometer = TachometerPanel()) tachometer->SetFullScale(pps);
    if (auto* graph = GraphPanel()) graph->SetYAxisMaximum(pps);
}

void CDeviceDialog_Stepper::ApplyTabPage(int kind) {
    if (kind != 1 && kind != 2) return;
    const std::uint32_t shown = Word(kind);
    for (const auto& [key, control] : Controls()) {
        const std::uint16_t profileWord = GetProfileWord(static_cast<int>(key >> 16));
        if (!pages::DecodeProfile(profileWord).tabPage) continue;
        // Row controls follow their own rules once their page is shown.
        const bool onPage = pages::ShownOnTabPage(profileWord, shown);
        const bool hiddenByProfile = pages::DecodeProfile(profileWord).hidden;
        control->show(onPage && !hiddenByProfile);
    }
    if (shown != 0) ShowStepRows(true);
}

void CDeviceDialog_Stepper::SetTestMode(std::uint32_t t) {
    Enable(30, t != 0);
    for (int row = 0; row < word::kRowCount; ++row) {
        if (t == 0)
            SetRowState(row, false, row == 0 ? 1 : 0);
        else
            SetRowState(row, true, 0);
    }
    UpdateStartStopButtons(t == 0);
}

void CDeviceDialog_Stepper::SetRowState(int row, bool fromCheck, std::uint32_t value) {
    const auto kind = static_cast<std::uint32_t>(word::kFirstRow + row);
    // Rows stay locked while a demo shows its own steps in them.
    const bool locked = run_ && run_->DemoRunning();
    CDerivedControl* check = FindControl(kind, 0);
    const std::uint32_t v = fromCheck ? (check != nullptr ? check->GetValue() : 0) : value;
    if (check != nullptr) {
        // Given a state, row 0's check stays locked ("Fixed" always plays row 0).
        const bool checkOn = fromCheck ? true : (row != 0 && v != 0);
        check->setEnabled(!locked && checkOn);
    }
    for (std::uint32_t index = 1; index <= 3; ++index) {
        if (auto* c = FindControl(kind, index)) c->setEnabled(!locked && v != 0);
    }
}

void CDeviceDialog_Stepper::UpdateStartStopButtons(bool always) {
    bool any = always;
    for (int row = 0; row < word::kRowCount && !any; ++row) {
        if (auto* check = FindControl(static_cast<std::uint32_t>(word::kFirstRow + row), 0))
            any = check->GetValue() != 0;
    }
    Enable(39, any);
    Enable(40, any);
}

void CDeviceDialog_Stepper::UpdateParallelEnables() {
    const std::uint32_t t = Word(word::kTestMode), s = Word(word::kStopSignal), c = Word(word::kTransferTime);
    Enable(word::kTransferTime, s == 0 || t != 0);
    Enable(word::kCount, (s == 0 || t != 0) && c == kOtherCount);
    Enable(word::kRepeat, t != 0 && s != 0);
}

void CDeviceDialog_Stepper::UpdateCountEdit() { Enable(word::kCount, Word(word::kTransferTime) == kOtherCount); }

void CDeviceDialog_Stepper::ApplyClockRange() {
    const std::uint32_t start = Word(word::kStartClock);
    std::uint32_t top = Word(word::kTopClock);
    if (top < start) {
        top = start;
        SetWord(word::kTopClock, top);
    }
    if (auto* slider = dynamic_cast<CDerivedSlider*>(FindControl(word::kTopClock, 0))) {
        slider->SetRange(static_cast<std::int32_t>(start), kClockTableLast);
        slider->SetValue(std::max(start, top));
        SyncPair(word::kTopClock, slider);
    }
}

void CDeviceDialog_Stepper::RunDemoSequence(bool on) {
    if (on) {
        const pages::stepper::DemoSequence load = pages::stepper::LoadDemoSequence();
        // A page that went under the box ended its runs: the demo does not start.
        if (!pages::ShowDemoMessages(this, load.messages) || !run_->RunDemo(true, load.source, load.steps)) {
            SetWord(word::kDemo, 0);
            RestoreKind(word::kDemo);
            return;
        }
        SetTestMode(Word(word::kTestMode));  // the rows are locked while the demo shows its steps
        EnableDemoControls(false);
    } else if (run_->RunDemo(false, pages::stepper::StepSource::Rows, {})) {
        EnableDemoControls(true);
    }
}

void CDeviceDialog_Stepper::EnableDemoControls(bool on) {
    UpdateStartStopButtons(false);
    for (int kind : kDemoLockedKinds) Enable(kind, on && !pages::DecodeProfile(GetProfileWord(kind)).disabled);
    if (!on) return;
    // Back to the rules that govern them outside a demo.
    SetTestMode(Word(word::kTestMode));
    UpdateParallelEnables();
}

void CDeviceDialog_Stepper::RestoreBoard() {
    if (!run_) return;
    const bool demo = run_->DemoRunning();
    run_->ResetToIdle();
    runFlag_ = false;
    RestoreControls();
    if (demo) EnableDemoControls(true);
    const std::int32_t key = GetDeviceKey();
    const std::uint32_t t = Word(word::kTestMode);
    if (key == 0x100) {
        SetWord(word::kInputType, 0);
        Port(22, 0, true);
        ApplyTabPage(1);
        SetTestMode(t);
        PortFromWord(12, word::kOutputEnable, true);
        PortFromWord(23, word::kReset, false);
        PortFromWord(24, word::kOverCurrent, false);
        PortFromWord(28, word::kHighEfficient, true);
        pages::WriteTwoBitItem(board_, 32, 33, Word(word::kDriveMargin));
        pages::WriteTwoBitItem(board_, 13, 15, Word(word::kBoostUp));
        SetTachometerScale(static_cast<int>(Word(52)) * 100);
        ApplyClockRange();
    } else if (key == 0x101 || key == 0x104) {
        // The input type governs port 23 and the scale, as a change of it does.
        const bool parallel = Word(word::kInputType) != 0;
        PortFromWord(22, word::kInputType, true);
        PortFromWord(12, word::kOutputEnable, true);
        PortFromWord(23, parallel ? 28 : word::kReset, false);
        PortFromWord(24, word::kOverCurrent, false);
        PortFromWord(28, word::kHighEfficient, true);
        SetTestMode(t);
        UpdateParallelEnables();
        UpdateCountEdit();
        SetTachometerScale(parallel ? static_cast<int>(Word(53)) * 10 : static_cast<int>(Word(52)) * 100);
        ApplyClockRange();
        ShowStepRows(true);
        ApplyTabPage(1);
    } else if (ParallelOnly(key)) {
        ShowStepRows(true);
        ApplyTabPage(1);
        SetWord(word::kInputType, 1);
        Port(22, 1, true);
        SetTestMode(t);
        PortFromWord(23, 28, true);
        UpdateParallelEnables();
        UpdateCountEdit();
        SetTachometerScale(static_cast<int>(Word(52)) * 10);
    } else if (key == 0x105) {
        Port(23, Word(55) & 1u, true);
        Port(29, Word(56) & 1u, true);
        Port(12, Word(57) & 1u, true);
    }
    // The board's defaults left the chip disabled: the stored enable goes out on every
    // model, so the page's enable button shows what the board has.
    Port(31, Word(word::kChipEnable) & 1u, true);
    pages::WriteTwoBitItem(board_, 8, 10, Word(word::kAttenuate));
    CDerivedDialog::SetPwm(kRefPwmChannel, kRefPwmHz, 256.0 - Word(word::kRef), 1);
    SendChannelRecords();
    if (ParallelOnly(key)) board_.SetOutputValue(2, 0, 8);
    SetupStatusInputs();
    UpdateMeasuredValues();
    ShowConnectionInTitle();
    if (IsOneOf(key, {0x100, 0x101, 0x104})) RefreshClockButtons();
    ShowStepRows(Word(word::kInputType) != 0);
    return;
}

void CDeviceDialog_Stepper::SetupStatusInputs() {
    CDerivedDialog::WritePort(0, 0, 0, 1);
    SetAdcChannel(0, 1, 0);
    pages::SetStepperStatusInterrupts(*this);
    CDerivedDialog::WritePort(18, 0, 1, 0);
    CDerivedDialog::WritePort(19, 0, 1, 1);
    CDerivedDialog::WritePort(20, 0, 1, 1);
    ResetSpeedSamples();
}

void CDeviceDialog_Stepper::OnPollTimer() {
    if (!run_) return;
    StoreAdcValue(5, 0, 1);
    const std::int32_t key = GetDeviceKey();
    if (key == 0x100) {
        StoreInputLevel(45, 3, 1);
        StoreInputLevel(46, 2, 0);
        StoreInputLevel(49, 1, 0);
    } else if (IsOneOf(key, {0x101, 0x102, 0x104})) {
        StoreInputLevel(47, 1, 1);
        StoreInputLevel(48, 2, 1);
    }
    NextSpeedSample();
    UpdateMeasuredValues();
}

void CDeviceDialog_Stepper::SwitchPolling(bool on) {
    if (on) {
        SetupStatusInputs();
        if (auto* graph = GraphPanel()) graph->ClearSeries();
    }
    if (on) {
        ResetSpeedSamples();
    } else {
        NextSpeedSample();
    }
    UpdateMeasuredValues();
}

void CDeviceDialog_Stepper::UpdateMeasuredValues() {
    const int pps = run_->ClockStopped() ? 0 : run_->CurrentFrequency();
    pages::stepper::CurrentInputs in;
    in.adc = Word(5);
    in.resistance = Word(7);
    in.attenuate = Word(word::kAttenuate);
    in.serialAttenuate = Word(58);
    SetWord(8, pages::stepper::OutputCurrent(GetDeviceKey(), in));
    SetWord(44, static_cast<std::uint32_t>(pps));
    Restore(5, 0);
    Restore(8, 0);
    const std::int32_t key = GetDeviceKey();
    if (key == 0x100) {
        SetWord(47, Word(45) & Word(46));
        for (int kind : {45, 46, 47, 49}) RestoreKind(kind);
    } else if (IsOneOf(key, {0x101, 0x102, 0x104})) {
        RestoreKind(47);
        RestoreKind(48);
    }
    Restore(44, 1);
    SpeedSample sample;
    sample.raw = static_cast<std::uint32_t>(pps);
    sample.pps = pps;
    sample.shownPps = pps;
    ShowSpeedSample(sample);
}
