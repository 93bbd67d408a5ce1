// The device page of the single-motor stepper drivers (device keys 0x100 to 0x10C but
// 0x106): its controls are built in code from the device's control profile and the layout
// table (StepperLayout.h), its changes are stored by the shared change prologue and then
// acted on by kind, and its runs are the StepperRun state machine on the page's run timer.
//
// Owns: the run timer (0x80C9), the run state machine, the tachometer and graph panels
// (through the base), every control (the base's control map). Borrows from the base: the
// data store, the board link, the task queue. GUI thread only; the run timer posts its
// ticks to the page, each tagged with the arming that caused it, and a tick of an older
// arming is dropped. Closing the page (or the program) ends its runs first: the clock off
// at once, the phase channels at rest.
//
// Files: StepperPage.cpp (building, message routing, the run's view and board),
// StepperHandlers.cpp (the reaction to each kind, restoring the board, enabling rules,
// status polling).
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "pages/scaffold/PageBoardAdapter.h"
#include "pages/scaffold/PageScaffold.h"
#include "pages/scaffold/TaggedRunTimer.h"
#include "pages/stepper/StepperLayout.h"
#include "pages/stepper/StepperRun.h"
#include "ui/DerivedDialog.h"

class CDeviceDialog_Stepper : public CDerivedDialog, private pages::stepper::IStepperRunView {
public:
    // (device key, control profile, name): the profile is borrowed for the page's life.
    using CDerivedDialog::CDerivedDialog;
    // Destroys the window (which ends the runs) if it still exists, then the run timer.
    ~CDeviceDialog_Stepper() override;

    bool onInitDialog() override;
    // Stored, then acted on by kind (once the run exists).
    int OnControlChanged(std::int32_t word, CDerivedControl* control) override {
        return run_ ? pages::StoreThenReact(*this, word, control, &CDeviceDialog_Stepper::React) : 1;
    }
    void RestoreBoard() override;
    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;

    pages::stepper::StepperRun* Run() const { return run_.get(); }
    // The arming of the run timer whose tick is awaited; 0 none.
    std::uintptr_t ArmedTick() const { return runTimer_ ? runTimer_->ArmedTick() : 0; }

protected:
    // The clock off at once, the phase channels at rest, a demo ended.
    void EndRuns() override;
    // Polling switched on by a show.
    void ReactToStoredChange(int kind, std::uint32_t value, CDerivedControl* control) override;

private:
    // IStepperRunView
    void RefreshClockButtons() override;
    void ShowStepRows(bool show) override;
    void ShowRows(const std::array<std::uint32_t, 8>& flags) override;
    void DemoValuesChanged() override;

    // ---- building (StepperPage.cpp)
    // The run, the controls and panels from the layout, the run's records, with the link
    // suspended; the clock stopped before the first restore.
    void BuildPage(const ProfileWords& profile) override;
    void OpeningBoardSetUp() override;
    void BuildControls(const ProfileWords& profile);
    CDerivedControl* BuildControl(const pages::PlacedControl& placed);
    void BuildPanel(const pages::PlacedControl& placed);

    // ---- reactions (StepperHandlers.cpp)
    void React(int kind, std::uint32_t v, CDerivedControl* control);
    void OnInputType(std::uint32_t v);
    void SendChannelRecords();
    void Port(int port, std::uint32_t level, bool send);
    void PortFromWord(int port, int word, bool send);
    void SetTachometerScale(int pps);
    void ApplyTabPage(int kind);
    void SetTestMode(std::uint32_t t);
    void SetRowState(int row, bool fromCheck, std::uint32_t value);
    void UpdateStartStopButtons(bool always);
    void UpdateParallelEnables();
    void UpdateCountEdit();
    void ApplyClockRange();
    void RunDemoSequence(bool on);
    void EnableDemoControls(bool on);
    // The run state went back to idle: show it on its controls.
    void ShowIdle();
    void RestoreKind(int kind);
    void SetupStatusInputs();
    void OnPollTimer() override;
    void SwitchPolling(bool on);
    void UpdateMeasuredValues();
    void Enable(int kind, bool on) { EnableControlsAt(kind, on); }

    // The run's board requests, over the base's forwarding.
    pages::PageBoardAdapter board_{*this};
    std::unique_ptr<pages::TaggedRunTimer> runTimer_;
    std::unique_ptr<pages::stepper::StepperRun> run_;
    bool runFlag_ = false;
};
