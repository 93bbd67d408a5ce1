// The BLDC page's reaction to each changed kind, its board restore, the speed display of
// a polling message, and recording.
#include <algorithm>
#include <mutex>
#include <utility>

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "pages/bldc/BldcPage.h"
#include "pages/bldc/BldcSpeed.h"
#include "pages/bldc/StartupDialogLink.h"
#include "platform/core/Debug.h"
#include "platform/core/NamedSync.h"
#include "ui/DisplayControls.h"
#include "ui/SpeedWindows.h"

namespace {

constexpr int kLastChipDependentKind = 25;
constexpr int kSpeedCountWord = 27;  // published by the polling task

}  // namespace

void CDeviceDialog_BLDC::Send(const std::vector<bldc::BldcCommand>& commands) {
    if (commands.empty()) return;
    bldc::SendCommands(handle(), GetDataContainer(), GetTaskQueue(), commands);
}

void CDeviceDialog_BLDC::GiveTestPwm(const std::optional<bldc::TestPwm>& pwm) {
    if (testDialog_ && pwm) testDialog_->SetPwmSetting(pwm->channel, pwm->frequency, pwm->driveDuty, pwm->idleDuty);
}

int CDeviceDialog_BLDC::OnControlChanged(std::int32_t kind, CDerivedControl* control) {
    if (control == nullptr || kind < 0 || kind >= bldc::kKindCount || !built_) return 1;
    React(kind, control->GetValue(), control);
    return 1;
}

void CDeviceDialog_BLDC::React(int kind, std::uint32_t v, CDerivedControl* control) {
    const bldc::Reaction r = bldc::OnChange(kind, v, state_);
    Send(r.commands);
    if (r.enableChipItems) EnableChipDependentItems(*r.enableChipItems);
    GiveTestPwm(r.testPwm);
    switch (r.action) {
        case bldc::PageAction::ShowTestDialog:
            if (testDialog_) testDialog_->ShowDialog();
            break;
        case bldc::PageAction::ApplyPoleSetting:
            ApplyPoleSetting();
            ShowSpeedRangeItems();
            if (testDialog_) testDialog_->RefreshFromDevice();
            break;
        case bldc::PageAction::ApplyMaxSpeed:
            ApplyMaxSpeed(r.maxSpeed, true);
            break;
        case bldc::PageAction::RecordCheck:
            SwitchRecord(control, v != 0);
            break;
        case bldc::PageAction::None:
            break;
    }
    switch (kind) {
        case bldc::kPwmInInverted:
        case bldc::kPwmInDirect:
        case bldc::kPwm4Duty:
        case bldc::kPwm8Frequency:
        case bldc::kMaxSpeedPps:
        case bldc::kMaxSpeedRpm:
            SyncPair(kind, control);
            break;
        case bldc::kVoltage2:
            SyncPair(kind, control);
            // This chip has no read-back: the edit shows the setting itself.
            if (GetDeviceKey() == 0x307) Restore(bldc::kAnalog0, 0);
            break;
        case bldc::kSswLevel:
            if (control != nullptr)
                for (std::uint32_t i = 0; i < 3; ++i) SynchronizeControl(bldc::kSswLevel, i, control);
            break;
        default:
            break;
    }
    if (!r.debugText.empty()) platform::debugOut(r.debugText);
}

void CDeviceDialog_BLDC::EnableChipDependentItems(int e) {
    for (int kind = 0; kind <= kLastChipDependentKind; ++kind) {
        if (FindControl(static_cast<std::uint32_t>(kind), 0) == nullptr) continue;
        if ((GetProfileWord(kind) & bldc::kFollowsChipEnable) == 0) continue;
        EnableControlsAt(kind, e == 0);
    }
}

void CDeviceDialog_BLDC::ApplyMaxSpeed(std::uint32_t value, bool store) {
    IDataContainer* data = GetDataContainer();
    if (store && data != nullptr) {
        const bldc::StoredWord w = bldc::MaxSpeedWord(value, data->GetValue(bldc::kPoles));
        data->SetValue(w.word, w.value);
    }
    const auto scale = static_cast<std::int32_t>(std::min<std::uint32_t>(value, 0x7FFFFFFF));
    if (auto* tachometer = TachometerPanel()) tachometer->SetFullScale(scale);
    if (auto* graph = GraphPanel()) graph->SetYAxisMaximum(scale);
}

void CDeviceDialog_BLDC::ApplyPoleSetting() {
    const IDataContainer* data = GetDataContainer();
    if (data == nullptr) return;
    const bldc::PoleSetting p = bldc::PoleSettingOf(*data);
    if (auto* tachometer = TachometerPanel()) tachometer->SelectDial(p.rpm ? 1 : 0);
    if (auto* graph = GraphPanel()) graph->SetChannelMask(static_cast<std::uint32_t>(p.graphChannelMask));
    ApplyMaxSpeed(p.maxSpeed, false);
    if (auto* label = dynamic_cast<CDerivedLabel*>(FindControl(bldc::kCurrentSpeed, bldc::kCaptionIndex)))
        label->setText(
            QString::fromUtf8(p.currentSpeedCaption.data(), static_cast<qsizetype>(p.currentSpeedCaption.size())));
}

void CDeviceDialog_BLDC::ShowSpeedRangeItems() {
    const bool pps = Word(bldc::kPoles) == 0;
    for (const auto& [key, control] : Controls()) {
        const std::uint32_t kind = key >> 16;
        if (kind == bldc::kMaxSpeedPps) control->show(pps);
        if (kind == bldc::kMaxSpeedRpm) control->show(!pps);
    }
}

gui::LResult CDeviceDialog_BLDC::RestoreDeviceData() {
    if (GetDataContainer() == nullptr || !built_) return 0;
    return CDerivedDialog::RestoreDeviceData();
}

void CDeviceDialog_BLDC::OpeningBoardSetUp() {
    // The opening's restore ends by showing the stored speed and the pole setting.
    showStoredSpeedAfterRestore_ = true;
    CDerivedDialog::OpeningBoardSetUp();
}

void CDeviceDialog_BLDC::RestoreBoard() {
    IDataContainer* store = GetDataContainer();
    if (store == nullptr || !built_) return;
    RestoreAll();
    if (auto* tachometer = TachometerPanel()) tachometer->SetValues(0, 0);
    EnableControlsAt(bldc::kRecord, false);
    if (CRG1Micon* link = GetMicon()) link->SendSelect(static_cast<std::uint8_t>(bldc::kMeasureSetting), 1);

    // The inputs the polling reads; the last of each group sends the frame. These go to
    // the link from this thread, so they go before the queued settings: after them they
    // would race the task threads' frames, and each frame carries the whole port table.
    const int key = GetDeviceKey();
    const int inputs = key == 0x300 ? 3 : (key == 0x302 || key == 0x303 || key == 0x308) ? 2 : 0;
    for (int port = 0; port < inputs; ++port) WritePort(port, 0, 0, port == inputs - 1 ? 1 : 0);
    for (int channel = 0; channel < inputs; ++channel) SetAdcChannel(channel, 1, channel == inputs - 1 ? 1 : 0);

    const bool has12 = GetProfileWord(bldc::kChipEnable) != 0;
    const bool has13 = GetProfileWord(bldc::kPowerEnable) != 0;
    if (has12 || has13) {
        const bldc::Reaction chip = bldc::RestoreChipEnable(*store, has12, has13);
        Send(chip.commands);
        if (chip.enableChipItems) EnableChipDependentItems(*chip.enableChipItems);
    }
    Send(bldc::ResendPwm2(state_, *store));
    Send(bldc::ResendPwm5(*store));
    Send(bldc::ResendPwm3(state_, *store));
    const bldc::Reaction in = bldc::ResendPwmIn(state_, *store);
    Send(in.commands);
    GiveTestPwm(in.testPwm);

    const std::uint32_t ssw = Word(bldc::kSswLevel);
    Restore(bldc::kSswLevel, ssw);
    const bldc::Reaction pin = bldc::SswPin(-1, ssw);
    Send(pin.commands);
    if (!pin.debugText.empty()) platform::debugOut(pin.debugText);
    if (CDerivedControl* chosen = FindControl(bldc::kSswLevel, ssw))
        for (std::uint32_t i = 0; i < 3; ++i) SynchronizeControl(bldc::kSswLevel, i, chosen);

    ApplyMaxSpeed(bldc::PoleSettingOf(*store).maxSpeed, false);
    ShowSpeedRangeItems();
    // At the opening, once the dial was set to 0 above: every speed display shows the
    // stored count, then the pole setting picks the unit, dial, graph series, caption and
    // full scale. A later restore (a loaded set, a rollback) leaves the dial at 0.
    if (std::exchange(showStoredSpeedAfterRestore_, false)) {
        UpdateSpeedDisplays();
        ApplyPoleSetting();
    }
}

gui::LResult CDeviceDialog_BLDC::OnTaskData(gui::WParam w, gui::LParam) {
    {
        std::unique_lock<platform::NamedMutex> lock;
        if (pollingMutex_) lock = std::unique_lock<platform::NamedMutex>(*pollingMutex_);
        if (!IsDestroyed() && built_) {
            NextSpeedSample();
            UpdateSpeedDisplays();
        }
    }
    const auto kind = static_cast<std::uint32_t>(w);
    Restore(kind, 0);
    Restore(kind, 1);
    return 1;
}

void CDeviceDialog_BLDC::UpdateSpeedDisplays() {
    IDataContainer* store = GetDataContainer();
    if (store == nullptr) return;
    const std::uint32_t count = store->GetValue(kSpeedCountWord);
    const bldc::SpeedDisplay d = bldc::ComputeSpeedDisplay(count, store->GetValue(bldc::kPoles), fgPulses_);
    store->SetValue(bldc::kCurrentSpeed, d.currentSpeedWord);
    EnableControlsAt(bldc::kRotation, d.rotationEnabled);
    for (bldc::Kind kind :
         {bldc::kAnalog0, bldc::kAnalog1, bldc::kAnalog2, bldc::kCurrentSpeed, bldc::kLockStatus, bldc::kMotorLocked})
        Restore(static_cast<std::uint32_t>(kind), 0);
    SpeedSample sample;
    sample.raw = count;
    sample.pps = d.speed.pps;
    sample.rpm = d.speed.rpm;
    sample.shownPps = static_cast<std::int32_t>(std::min<std::uint32_t>(d.speed.ppsShown, 0x7FFFFFFF));
    sample.shownRpm = static_cast<std::int32_t>(std::min<std::uint32_t>(d.speed.rpmShown, 0x7FFFFFFF));
    ShowSpeedSample(sample);
}
