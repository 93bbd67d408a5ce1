// The dual-stepper page's reaction to each changed kind, the enabling rules of its
// motor columns, the status polling and the board restore.
#include <cmath>

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "pages/dual/DualPage.h"
#include "pages/scaffold/PageBoardAdapter.h"
#include "pages/scaffold/PageScaffold.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Controls.h"
#include "ui/SpeedWindows.h"

namespace word = pages::dual::word;
using pages::kRefPwmHz;
using pages::dual::kFixed;
using pages::dual::kRows;
using pages::dual::kSequence;

namespace {

constexpr std::uint32_t kRcsFallback = 2000;
constexpr std::uint32_t kSecondsFallback = 8;
constexpr std::uint32_t kMaxSetting = 65535;
constexpr double kWarnVolts = 1.5;

// Motor 0 or 1 of a motor setting, row or button kind; -1 for a kind of neither.
int MotorOf(int kind) {
    if (kind >= 1 && kind <= 8) return 0;
    if (kind >= 9 && kind <= 16) return 1;
    if (kind >= word::kFirstRow1 && kind < word::kFirstRow1 + 4 * kRows) return 0;
    if (kind >= word::kFirstRow2 && kind < word::kFirstRow2 + 4 * kRows) return 1;
    return -1;
}
bool IsRowCheck(int kind) {
    const int motor = MotorOf(kind);
    return motor >= 0 && kind >= word::Row(motor, 0) && (kind - word::Row(motor, 0)) % 4 == 0;
}

}  // namespace

void CDeviceDialog_StepperDual::React(int kind, std::uint32_t v, CDerivedControl* control) {
    const int motor = MotorOf(kind);
    switch (kind) {
        case word::kChipEnable:
            CDerivedDialog::WritePort(14, 1, v, 1);
            run_->SetChipEnable(v);
            chipEnable_ = v;
            return;
        case word::Of(0, word::kVref):
        case word::Of(1, word::kVref):
            CDerivedDialog::SetPwm(motor == 0 ? 2 : 3, kRefPwmHz, 256.0 - v, 1);
            return;
        case word::Of(0, word::kRcs):
        case word::Of(1, word::kRcs):
            CheckRange(kind, v, kRcsFallback, control);
            return;
        case word::kSeconds1:
        case word::kSeconds2:
            CheckRange(kind, v, kSecondsFallback, control);
            return;
        case word::Of(0, word::kTestMode):
        case word::Of(1, word::kTestMode):
            UpdateControlStates(motor);
            ApplyRowRule(motor, v);
            return;
        case word::Of(0, word::kTransferTime):
        case word::Of(0, word::kStopSignal):
        case word::Of(1, word::kTransferTime):
        case word::Of(1, word::kStopSignal):
            UpdateControlStates(motor);
            return;
        case word::kStart1:
        case word::kStop1:
        case word::kStart2:
        case word::kStop2:
        case word::kStartBoth:
        case word::kStopBoth:
            StartStop(kind);
            return;
        case word::kPolling1:
        case word::kPolling2: {
            const std::uint32_t bit = kind == word::kPolling1 ? 1u : 2u;
            pollingBits_ = v != 0 ? pollingBits_ | bit : pollingBits_ & ~bit;
            SwitchPolling(kind == word::kPolling1 ? 0 : 1);
            SetStatusPolling(pollingBits_ != 0);
            return;
        }
        case word::kRecord:
            SwitchRecord(control, v != 0);
            return;
        case word::kGraphRange:
            SyncPair(kind, control);
            if (auto* graph = GraphPanel()) graph->SetYAxisMaximum(static_cast<std::int32_t>(v) * 100);
            return;
        default:
            break;
    }
    if (IsRowCheck(kind)) {
        ApplyRowRule(motor, Word(word::Of(motor, word::kTestMode)));
        ShowRunState();
    }
}

void CDeviceDialog_StepperDual::CheckRange(int kind, std::uint32_t v, std::uint32_t fallback,
                                           CDerivedControl* control) {
    if (v >= 1 && v <= kMaxSetting) return;
    // The fallback is stored before the box: the polling that goes on behind it must never
    // see a resistance of 0.
    SetWord(kind, fallback);
    Restore(static_cast<std::uint32_t>(kind), 0);
    SyncPair(kind, control);
    gui::messageBox(this, QStringLiteral("Please specify a value between 1 and 65535"),
                    QStringLiteral("Parameter Error"), gui::MessageButtons::Ok, gui::MessageIcon::Error);
}

void CDeviceDialog_StepperDual::StartStop(int kind) {
    // A start rebuilds the steps from the rows; the first step goes out at once.
    run_->StartStop(kind);
    ShowRunState();
}

bool CDeviceDialog_StepperDual::AnyRowChecked(int motor) const {
    for (int row = 0; row < kRows; ++row) {
        if (Word(word::Row(motor, row)) != 0) return true;
    }
    return false;
}

void CDeviceDialog_StepperDual::ShowRunState() {
    if (!run_) return;
    for (int motor = 0; motor < pages::dual::kMotors; ++motor) {
        const bool running = run_->Running(motor);
        const bool allowed = Word(word::Of(motor, word::kTestMode)) == kFixed || AnyRowChecked(motor);
        Enable(motor == 0 ? word::kStart1 : word::kStart2, !running && allowed);
        Enable(motor == 0 ? word::kStop1 : word::kStop2, running);
        UpdateControlStates(motor);
    }
    Enable(word::kStartBoth, !run_->AnyRunning());
    Enable(word::kStopBoth, run_->AnyRunning());
}

void CDeviceDialog_StepperDual::UpdateControlStates(int motor) {
    if (motor < 0 || !run_) return;
    const bool idle = !run_->Running(motor);
    const std::uint32_t test = Word(word::Of(motor, word::kTestMode));
    const std::uint32_t stop = Word(word::Of(motor, word::kStopSignal));
    const std::uint32_t time = Word(word::Of(motor, word::kTransferTime));
    const bool sequence = test == kSequence;
    Enable(word::Of(motor, word::kTestMode), idle);
    Enable(word::Of(motor, word::kStopSignal), idle);
    Enable(word::Of(motor, word::kRepeat), idle && sequence && stop == pages::dual::kStopButton);
    const bool timeOn = idle && (sequence || stop == pages::dual::kAutoStop);
    Enable(word::Of(motor, word::kTransferTime), timeOn);
    Enable(word::Seconds(motor), timeOn && time == pages::dual::kOtherTime);
    for (int row = 0; row < kRows; ++row) {
        const int k = word::Row(motor, row);
        Enable(k, idle && sequence);
        const bool checked = Word(k) != 0;
        const bool combos = row == 0 ? idle && (test == kFixed || checked) : idle && sequence && checked;
        for (int column = 1; column < 4; ++column) Enable(k + column, combos);
    }
}

void CDeviceDialog_StepperDual::ApplyRowRule(int motor, std::uint32_t testMode) {
    if (motor < 0) return;
    const bool sequence = testMode == kSequence;
    const bool idle = !run_ || !run_->Running(motor);
    for (int row = 0; row < kRows; ++row) {
        const int k = word::Row(motor, row);
        const bool check = idle && sequence;
        const bool combos = idle && (sequence ? Word(k) != 0 : row == 0);
        Enable(k, check);
        for (int column = 1; column < 4; ++column) Enable(k + column, combos);
    }
    Enable(motor == 0 ? word::kStart1 : word::kStart2, idle && (!sequence || AnyRowChecked(motor)));
}

// ---- polling ----------------------------------------------------------------------------

void CDeviceDialog_StepperDual::SetupStatusInputs() {
    SetAdcChannel(0, 1, 0);
    SetAdcChannel(1, 1, 0);
    pages::SetStepperStatusInterrupts(*this);
    // Ports 0 and 1, then 18 to 20, as inputs: two frames.
    for (int port : {0, 1, 18, 19, 20}) CDerivedDialog::WritePort(port, 0, 1, port == 1 || port == 20 ? 1 : 0);
    ResetSpeedSamples();
}

void CDeviceDialog_StepperDual::SwitchPolling(int motor) {
    if ((pollingBits_ >> motor) & 1u) {
        SetupStatusInputs();
        if (auto* graph = GraphPanel()) graph->ClearSeries();
        ResetSpeedSamples();
    }
    UpdateDisplays();
}

void CDeviceDialog_StepperDual::OnPollTimer() {
    if (!run_ || pollingBits_ == 0) return;
    const int first = ReadAdc(0, 1);
    const int second = ReadAdc(1, 0);
    if (pollingBits_ & 1u) SetWord(word::kMeasuredVref1, static_cast<std::uint32_t>(first));
    if (pollingBits_ & 2u) SetWord(word::kMeasuredVref2, static_cast<std::uint32_t>(second));
    NextSpeedSample();
    UpdateDisplays();
    // The board does not measure the motors' speeds: the displays show 0.
    const std::int32_t speed[2] = {0, 0};
    SetWord(word::kSpeed1, static_cast<std::uint32_t>(speed[0]));
    SetWord(word::kSpeed2, static_cast<std::uint32_t>(speed[1]));
    ShowSpeedSample(SpeedSample::TwoMotors(speed[0], speed[1]));
}

void CDeviceDialog_StepperDual::UpdateDisplays() {
    for (int motor = 0; motor < pages::dual::kMotors; ++motor) {
        if (((pollingBits_ >> motor) & 1u) == 0) continue;
        const double ohms = Word(word::Of(motor, word::kRcs)) / 1000.0;
        const double volts = Word(word::MeasuredVref(motor)) / 4096.0 * 3.3;
        ShowVrefWarning(motor, volts > kWarnVolts);
        // A resistance of 0 (from a loaded parameter set) shows no current instead of
        // dividing by it.
        const double ma = ohms > 0.0 ? std::trunc(volts / 3.0 / ohms * 4000.0) : 0.0;
        SetWord(word::Of(motor, word::kCurrent), ma > 0.0 && ma < 4294967295.0 ? static_cast<std::uint32_t>(ma) : 0u);
    }
    for (int kind :
         {word::Of(0, word::kCurrent), word::kMeasuredVref1, word::Of(1, word::kCurrent), word::kMeasuredVref2})
        Restore(static_cast<std::uint32_t>(kind), 0);
}

void CDeviceDialog_StepperDual::ShowVrefWarning(int motor, bool over) {
    const std::size_t m = motor == 0 ? 0 : 1;
    auto& tip = tooltips_[m];
    if (over && !vrefWarning_[m] && tip) tip->popup();
    if (!over && tip) tip->pop();
    vrefWarning_[m] = over;
}

// ---- restoring the board ----------------------------------------------------------------

void CDeviceDialog_StepperDual::RestoreBoard() {
    if (!run_) return;
    run_->Halt();
    RestoreControls();
    ApplyRowRule(0, Word(word::kTestMode));
    ApplyRowRule(1, Word(word::Of(1, word::kTestMode)));
    SetPwmFromRegister(2, kRefPwmHz, 1, 0x80000000u);
    SetPwmFromRegister(3, kRefPwmHz, 9, 0x80000001u);
    CDerivedDialog::SetTimerChannel(6, &channelRecords_[0], 0);
    CDerivedDialog::SetTimerChannel(7, &channelRecords_[1], 0);
    CDerivedDialog::SetTimerChannel(8, &channelRecords_[2], 1);
    for (int port = 22; port <= 33; ++port) CDerivedDialog::WritePort(port, 1, 0, port == 33 ? 1 : 0);
    chipEnable_ = Word(word::kChipEnable);
    run_->SetChipEnable(chipEnable_);
    CDerivedDialog::WritePort(14, 1, chipEnable_, 1);
    SetupStatusInputs();
    UpdateDisplays();
    ShowConnectionInTitle();
    ShowRunState();
    if (auto* graph = GraphPanel()) graph->SetYAxisMaximum(static_cast<std::int32_t>(Word(word::kGraphRange)) * 100);
    pollingBits_ = (Word(word::kPolling1) != 0 ? 1u : 0u) | (Word(word::kPolling2) != 0 ? 2u : 0u);
    SwitchPolling(0);
    SwitchPolling(1);
    SetStatusPolling(pollingBits_ != 0);
}
