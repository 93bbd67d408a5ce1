// The stepper page: building its controls from the layout table, routing its messages,
// and the run's board requests, timer and view.
#include "pages/stepper/StepperPage.h"

#include <algorithm>
#include <array>

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "data/ParameterDecoder.h"
#include "pages/scaffold/PageScaffold.h"
#include "pages/scaffold/PlacedControlFactory.h"
#include "platform/gui/Messages.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/InputControls.h"
#include "ui/SliderControl.h"
#include "ui/SpeedWindows.h"

using pages::ControlClass;
using pages::Parent;
using pages::PlacedControl;
namespace word = pages::stepper::word;

namespace {

// The tachometer panel's dial; the panel's own items go below it.
constexpr pages::Rect kTachometerDial{0, 0, 382, 300};
constexpr int kPanelMargin = 6;

}  // namespace

CDeviceDialog_Stepper::~CDeviceDialog_Stepper() {
    // Destroyed here, not in the base, so that the page's own close work runs.
    if (exists()) destroy();
    // The timer's thread ends before the run it ticks goes.
    runTimer_.reset();
}

bool CDeviceDialog_Stepper::onInitDialog() {
    if (!CDerivedDialog::onInitDialog()) return false;
    IDataContainer* store = GetDataContainer();
    if (store == nullptr) return false;
    if (!runTimer_) runTimer_ = std::make_unique<pages::TaggedRunTimer>(gui::msg::RunRampTick, handle());
    store->SelectContainer(GetDeviceKey());
    BuildAndRestore();
    run_->SetActiveRow(-1);
    ShowStepRows(Word(word::kInputType) != 0);
    SetRecordSwitch(51, false);
    SetPollingKind(54);
    return true;
}

void CDeviceDialog_Stepper::BuildPage(const ProfileWords& profile) {
    run_ = std::make_unique<pages::stepper::StepperRun>(GetDeviceKey(), *GetDataContainer(), board_, *runTimer_,
                                                        static_cast<pages::stepper::IStepperRunView&>(*this));
    BuildControls(profile);

    const int key = GetDeviceKey();
    const bool hundreds = key == 0x100 || key == 0x101 || key == 0x104 || key == 0x105;
    if (auto* tachometer = TachometerPanel()) {
        tachometer->Reset();
        tachometer->SetValues(0, 0);
    }
    if (auto* graph = GraphPanel()) {
        graph->SetChannelMask(1);
        graph->AddPoint(0, 0, 0);
    }
    SetTachometerScale(static_cast<int>(Word(52)) * (hundreds ? 100 : 10));

    run_->PresetChannelRecords();
    run_->BuildRowSteps();
    run_->ResetToIdle();
}

void CDeviceDialog_Stepper::OpeningBoardSetUp() {
    // After the board's defaults queued at the driver's choice, before the first restore.
    AfterQueuedTasks([this] {
        if (CRG1Micon* link = GetMicon()) link->SendControlStop();
    });
    CDerivedDialog::OpeningBoardSetUp();
}

void CDeviceDialog_Stepper::BuildControls(const ProfileWords& profile) {
    const pages::stepper::StepperLayout layout =
        pages::stepper::LayOutStepperPage(GetDeviceKey(), profile, kTachometerDial);
    for (const PlacedControl& placed : layout.controls) {
        if (placed.cls == ControlClass::TachometerPanel || placed.cls == ControlClass::GraphPanel) {
            BuildPanel(placed);
        } else {
            BuildControl(placed);
        }
    }
    // Panel items are made on the panels (the base shows them there once built); the
    // tachometer panel is tall enough for all of its rows.
    if (CSubDialog_Tachometer* tachometer = TachometerPanel()) {
        int bottom = 0;
        for (const PlacedControl& placed : layout.controls) {
            if (placed.parent == Parent::TachometerPanel) bottom = std::max(bottom, placed.rect.y + placed.rect.height);
        }
        const QSize client = tachometer->clientRect().size();
        if (bottom + kPanelMargin > client.height())
            tachometer->setClientSize(QSize(client.width(), bottom + kPanelMargin));
    }
}

void CDeviceDialog_Stepper::BuildPanel(const PlacedControl& placed) {
    if (placed.cls == ControlClass::TachometerPanel) {
        if (auto* panel = MakeTachometerPanel(placed.kind)) panel->SelectDial(0);  // the stepper counts pulses
    } else if (auto* panel = MakeGraphPanel(placed.kind)) {
        const pages::stepper::GraphPanelSpec spec;
        // The channel's axes and curve exist only once its shape is set; titles and
        // ranges given before would have nothing to land on.
        panel->SetSeriesShape(1, 0, spec.seriesColour, spec.seriesColour);
        panel->SetAxisTitle(1, 1, QString::fromUtf8(spec.xAxis));
        panel->SetAxisTitle(1, 0, QString::fromUtf8(spec.yAxis));
        panel->SetAxisRange(1, 1, spec.xMin, spec.xMax, spec.xDivision);
        panel->SetChannelMask(spec.seriesMask);
    }
}

CDerivedControl* CDeviceDialog_Stepper::BuildControl(const PlacedControl& placed) {
    const SpeedPanel panel = placed.parent == Parent::TachometerPanel ? SpeedPanel::Tachometer
                             : placed.parent == Parent::GraphPanel    ? SpeedPanel::Graph
                                                                      : SpeedPanel::None;
    return pages::CreatePlacedControl(*this, placed, PanelOrPage(panel));
}

gui::LResult CDeviceDialog_Stepper::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    switch (msg) {
        case gui::msg::RunRampTick:
            // Only the tick of the present arming counts: one still queued from an
            // earlier arming (the GUI thread was busy) must not end the new step early.
            if (!runTimer_ || !runTimer_->Accept(w)) return 1;
            if (run_) run_->OnRunTimer();
            return 1;
        default:
            break;
    }
    return CDerivedDialog::windowProc(msg, w, l);
}

void CDeviceDialog_Stepper::ReactToStoredChange(int kind, std::uint32_t value, CDerivedControl* control) {
    if (run_) React(kind, value, control);
}

// ---- the run's view ---------------------------------------------------------------------

void CDeviceDialog_Stepper::EndRuns() {
    if (!run_) return;
    const bool demo = run_->DemoRunning();
    run_->Halt();
    if (demo) EnableDemoControls(true);
    ShowIdle();
}

void CDeviceDialog_Stepper::RefreshClockButtons() {
    if (auto* clock = FindControl(word::kClock, 0)) clock->SetValue(run_->ClockStopped() ? 1 : 0);
    const auto buttons = run_->ClockButtons();
    Enable(word::kClock, buttons.clockEnabled);
    Enable(23, buttons.updateEnabled);
}

void CDeviceDialog_Stepper::ShowStepRows(bool show) {
    const int active = run_->ActiveRow();
    for (int row = 0; row < word::kRowCount; ++row) {
        const std::uint32_t kind = static_cast<std::uint32_t>(word::kFirstRow + row);
        if (auto* frame = FindControl(kind, 4)) frame->show(active >= 0 && active % word::kRowCount == row);
        for (std::uint32_t index = 0; index < 4; ++index) {
            if (auto* c = FindControl(kind, index)) c->show(show);
        }
    }
}

void CDeviceDialog_Stepper::ShowRows(const std::array<std::uint32_t, 8>& flags) {
    for (int row = 0; row < word::kRowCount; ++row) {
        for (std::uint32_t index = 0; index < 4; ++index) {
            CDerivedControl* c = FindControl(static_cast<std::uint32_t>(word::kFirstRow + row), index);
            if (c == nullptr) continue;
            c->SetValue(c->GetBinding().Of(flags[static_cast<std::size_t>(row)]));
        }
    }
}

void CDeviceDialog_Stepper::DemoValuesChanged() {
    for (int kind : {0, 4, 5, 6}) RestoreKind(kind);
}
