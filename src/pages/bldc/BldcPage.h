// The device page of the brushless-DC driver chips (device keys 0x300 to 0x308; the
// key's low byte is the chip index). Its controls are built in code from the device's
// control profile and the layout tables (BldcLayout.h); every board setting of a change
// goes to the task queue as the GUI commands BldcChanges.h gives; the polling task's
// 0x812C (TaskData) turns the published speed count into pps, rpm, dials, graph points
// and record-file rows.
//
// Owns: the start-up test dialog (when profile word 15 is non-zero and one could be
// made), its handle of "Mutex_BLDC_Polling", its page state, and (through the base) the
// tachometer and graph panels and every control. Borrows from the base: the data store,
// the board link, the task queue, the record file. GUI thread only; the polling and
// demo tasks reach it only by posting TaskData.
//
// Opening a page: construct it with a key, its 128-word profile (borrowed for the page's
// life) and the device name, SetOwnerWindow, createModeless(nullptr) (OnInitDialog
// builds and restores), then show() (polling starts). A polling message is
// send(gui::msg::TaskData, kind, 0) (the task posts kind 0, the demo 28).
//
// Files: BldcPage.cpp (building, message routing, show and close), BldcHandlers.cpp
// (change reactions, restore, speed display, recording).
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "pages/bldc/BldcChanges.h"
#include "pages/bldc/BldcLayout.h"
#include "pages/bldc/StartupDialogLink.h"
#include "ui/DerivedDialog.h"

namespace platform {
class NamedMutex;
}

class CDeviceDialog_BLDC : public CDerivedDialog {
public:
    CDeviceDialog_BLDC(std::int32_t deviceKey, const std::uint16_t* profile, const QString& name);
    // Destroys the window (which runs the close work: start-up test aborted, idle
    // PWMIN, polling and demo stopped) if it still exists.
    ~CDeviceDialog_BLDC() override;

    bool onInitDialog() override;
    int OnControlChanged(std::int32_t word, CDerivedControl* control) override;
    gui::LResult RestoreDeviceData() override;
    // The restore, which at the opening ends by showing the stored speed.
    void OpeningBoardSetUp() override;
    void RestoreBoard() override;
    gui::LResult OnTaskData(gui::WParam w, gui::LParam l) override;

    bldc::IStartupTestDialog* TestDialog() const { return testDialog_.get(); }
    const bldc::BldcPageState& State() const { return state_; }
    std::uint32_t SampleCounter() const { return SpeedSampleIndex(); }
    std::uint32_t FgPulses() const { return fgPulses_; }

protected:
    // The start-up test aborted, the idle PWMIN sent, polling and demo stopped.
    void EndRuns() override;
    // The start-up test window goes with the page.
    void RetireOwnedWindows() override;
    // Polling switched on by a show.
    void ReactToStoredChange(int kind, std::uint32_t value, CDerivedControl* control) override;

private:
    // ---- building (BldcPage.cpp)
    // The controls and panels from the layout and the start-up test window, with the link
    // suspended.
    void BuildPage(const ProfileWords& profile) override;
    void BuildControls();
    void BuildPanel(const pages::PlacedControl& placed);
    void BuildControl(const pages::PlacedControl& placed);

    // ---- reactions and displays (BldcHandlers.cpp)
    void React(int kind, std::uint32_t v, CDerivedControl* control);
    void Send(const std::vector<bldc::BldcCommand>& commands);
    void EnableChipDependentItems(int e);
    void ApplyPoleSetting();
    void ApplyMaxSpeed(std::uint32_t value, bool store);
    void ShowSpeedRangeItems();
    void UpdateSpeedDisplays();
    void GiveTestPwm(const std::optional<bldc::TestPwm>& pwm);

    std::array<std::uint16_t, kProfileSlots> profileWords_{};
    bldc::BldcPageState state_;
    std::uint32_t fgPulses_ = 0;
    int chipEnableKind_ = 0;  // 12 or 13 when the page has that item
    bool built_ = false;
    bool showStoredSpeedAfterRestore_ = false;  // set for the opening's restore only (OpeningBoardSetUp)
    bldc::StartupTestDialogPtr testDialog_;
    std::shared_ptr<platform::NamedMutex> pollingMutex_;
};
