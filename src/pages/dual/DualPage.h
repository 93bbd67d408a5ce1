// The device page of the stepping-motor driver that drives two motors (device key
// 0x106): its controls are built from the device's control profile and the layout table
// (DualLayout.h), its changes are stored by the shared change prologue and then acted on
// by kind, and both motors' runs are the DualRun state machine on three one-shot timers
// (0x80DD motor 1, 0x80DE motor 2, 0x80DF both).
//
// Owns: the three run timers, the run state machine, the two VREF warning tooltips, the
// digital tachometer and graph panels (through the base), every control (the base's
// control map). Borrows from the base: the data store, the board link, the task queue.
// GUI thread only; each timer's tick carries its arming, and a tick of an older arming
// is dropped. Closing the page (or the program) ends both runs first: the run bits go out
// as 0. Polling (kinds 96 and 97) runs on the base's 50 ms status timer while either
// motor's switch is on, and starts with each show.
//
// Files: DualPage.cpp (building, message routing, the run's board and timers),
// DualHandlers.cpp (the reaction to each kind, enabling rules, polling, restoring the
// board).
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "pages/dual/DualLayout.h"
#include "pages/dual/DualRun.h"
#include "pages/scaffold/PageScaffold.h"
#include "pages/scaffold/TaggedRunTimer.h"
#include "ui/DerivedDialog.h"

class CSubDialog_DigitalTachometer;

namespace gui {
class Tooltip;
}

class CDeviceDialog_StepperDual : public CDerivedDialog, private pages::dual::IDualBoard {
public:
    // (device key, control profile, name): the profile is borrowed for the page's life.
    // Out of line: the tooltips are of a type this header does not define.
    CDeviceDialog_StepperDual(std::int32_t deviceKey, const std::uint16_t* profile, const QString& name);
    // Destroys the window (which ends the runs) if it still exists, then the run timers.
    ~CDeviceDialog_StepperDual() override;

    bool onInitDialog() override;
    // Stored, then acted on by kind (once the run exists).
    int OnControlChanged(std::int32_t word, CDerivedControl* control) override {
        return run_ ? pages::StoreThenReact(*this, word, control, &CDeviceDialog_StepperDual::React) : 1;
    }
    void RestoreBoard() override;
    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;

    pages::dual::DualRun* Run() const { return run_.get(); }
    // The run timer of mask 1, 2 or 3 (motor 1, motor 2, both), null before the page is built.
    const pages::TaggedRunTimer* Timer(int mask) const;
    CSubDialog_DigitalTachometer* DigitalPanel() const;
    // The VREF warning of motor 0 or 1 is up.
    bool VrefWarning(int motor) const { return vrefWarning_.at(motor == 0 ? 0 : 1); }
    // The warning tooltip of motor 0 or 1 is showing.
    bool VrefTipShown(int motor) const;
    std::uint32_t PollingBits() const { return pollingBits_; }
    // The polling's sample counter (1..100, 0 after a restart).
    std::uint32_t SampleCounter() const { return SpeedSampleIndex(); }

protected:
    // Both motors stopped at once, their run bits sent as 0.
    void EndRuns() override;
    // The VREF tooltips go with the page.
    void RetireOwnedWindows() override;
    // Polling switched on by a show: both motors' switches.
    void ReactToStoredChange(int kind, std::uint32_t value, CDerivedControl* control) override;
    // Mouse moves reach each VREF tooltip while its warning is up (it shows over its
    // slider), and pop it down while the warning is clear. Never swallows the input.
    bool preTranslate(gui::Window& target, const gui::InputEvent& event) override;

private:
    // IDualBoard
    void SetMotorMode(int mode, std::uint32_t motor1, std::uint32_t motor2) override;

    // ---- building (DualPage.cpp)
    // The run, the controls and panels from the layout, the run's records, with the link
    // suspended.
    void BuildPage(const ProfileWords& profile) override;
    void BuildControls(const ProfileWords& profile);
    void BuildPanel(const pages::PlacedControl& placed);
    void MakeTooltips();
    void PresetChannelRecords();

    // ---- reactions (DualHandlers.cpp)
    void React(int kind, std::uint32_t v, CDerivedControl* control);
    void CheckRange(int kind, std::uint32_t v, std::uint32_t fallback, CDerivedControl* control);
    void StartStop(int kind);
    void ShowRunState();
    void UpdateControlStates(int motor);
    void ApplyRowRule(int motor, std::uint32_t testMode);
    bool AnyRowChecked(int motor) const;
    void SwitchPolling(int motor);
    void SetupStatusInputs();
    void OnPollTimer() override;
    void UpdateDisplays();
    void ShowVrefWarning(int motor, bool over);
    void Enable(int kind, bool on) { EnableControlsAt(kind, on); }

    std::array<std::unique_ptr<pages::TaggedRunTimer>, 3> timers_;
    std::unique_ptr<pages::dual::DualRun> run_;
    std::array<gui::WindowPtr<gui::Tooltip>, 2> tooltips_;
    std::array<bool, 2> vrefWarning_{};
    std::array<PwmChannelRecord, 3> channelRecords_{};  // timer channels 6, 7 and 8
    std::uint32_t pollingBits_ = 0;                     // bit 0 motor 1, bit 1 motor 2
    std::uint32_t chipEnable_ = 0;
};
