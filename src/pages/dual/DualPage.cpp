// The dual-stepper page: building its controls from the layout table, routing its
// messages, and the run's board request and timers.
#include "pages/dual/DualPage.h"

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "pages/scaffold/PlacedControlFactory.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Messages.h"
#include "ui/SpeedWindows.h"

using pages::ControlClass;
using pages::Parent;
using pages::PlacedControl;
namespace word = pages::dual::word;

namespace {

constexpr gui::ColourRef kTipBackground = 0xFFFFC8;
constexpr gui::ColourRef kTipText = 0x0000FF;
constexpr int kTipInitialMs = 1;
constexpr int kTipPopupMs = 10000;

}  // namespace

CDeviceDialog_StepperDual::CDeviceDialog_StepperDual(std::int32_t deviceKey, const std::uint16_t* profile,
                                                     const QString& name)
    : CDerivedDialog(deviceKey, profile, name) {}

CDeviceDialog_StepperDual::~CDeviceDialog_StepperDual() {
    // Destroyed here, not in the base, so that the page's own close work runs.
    if (exists()) destroy();
    for (auto& timer : timers_) timer.reset();  // their threads end before the run goes
}

void CDeviceDialog_StepperDual::RetireOwnedWindows() {
    for (auto& tip : tooltips_) tip.reset();
}

const pages::TaggedRunTimer* CDeviceDialog_StepperDual::Timer(int mask) const {
    return mask >= 1 && mask <= 3 ? timers_[static_cast<std::size_t>(mask - 1)].get() : nullptr;
}

bool CDeviceDialog_StepperDual::VrefTipShown(int motor) const {
    const auto& tip = tooltips_.at(motor == 0 ? 0 : 1);
    return tip && tip->isPoppedUp();
}

CSubDialog_DigitalTachometer* CDeviceDialog_StepperDual::DigitalPanel() const {
    return dynamic_cast<CSubDialog_DigitalTachometer*>(firstTachometer_.get());
}

bool CDeviceDialog_StepperDual::onInitDialog() {
    if (!CDerivedDialog::onInitDialog()) return false;
    IDataContainer* store = GetDataContainer();
    if (store == nullptr) return false;
    if (!timers_[0]) {
        timers_[0] = std::make_unique<pages::TaggedRunTimer>(gui::msg::Motor1Tick, handle());
        timers_[1] = std::make_unique<pages::TaggedRunTimer>(gui::msg::Motor2Tick, handle());
        timers_[2] = std::make_unique<pages::TaggedRunTimer>(gui::msg::BothMotorsTick, handle());
    }
    store->SelectContainer(GetDeviceKey());
    MakeTooltips();
    BuildAndRestore();
    SetRecordSwitch(word::kRecord, false, true);  // a row holds both motors' speeds
    SetPollingKind(word::kPolling1);
    return true;
}

void CDeviceDialog_StepperDual::BuildPage(const ProfileWords& profile) {
    run_ = std::make_unique<pages::dual::DualRun>(*GetDataContainer(), static_cast<pages::dual::IDualBoard&>(*this),
                                                  *timers_[0], *timers_[1], *timers_[2]);
    BuildControls(profile);
    if (auto* graph = GraphPanel()) {
        graph->SetChannelMask(3);
        graph->AddPoint(0, 0, 0);
    }
    PresetChannelRecords();
    run_->BuildSequence(0);
    run_->BuildSequence(1);
}

void CDeviceDialog_StepperDual::MakeTooltips() {
    for (std::size_t motor = 0; motor < tooltips_.size(); ++motor) {
        if (tooltips_[motor]) continue;
        auto tip = gui::makeWindow<gui::Tooltip>();
        if (!tip->create(this)) continue;
        tip->setDelays(kTipInitialMs, kTipPopupMs);
        tip->setColours(kTipBackground, kTipText);
        tip->setText(QString::fromUtf8(pages::dual::kVrefTip));
        tooltips_[motor] = std::move(tip);
    }
    vrefWarning_ = {};
}

void CDeviceDialog_StepperDual::PresetChannelRecords() {
    for (std::size_t i = 0; i < channelRecords_.size(); ++i) {
        channelRecords_[i] = PwmChannelRecord{};
        channelRecords_[i].channel = static_cast<std::uint32_t>(6 + i);
        channelRecords_[i].outputA = 1;
        channelRecords_[i].outputB = 1;
    }
}

void CDeviceDialog_StepperDual::BuildControls(const ProfileWords& profile) {
    const pages::dual::DualLayout layout = pages::dual::LayOutDualPage(profile);
    for (const PlacedControl& placed : layout.controls) {
        if (placed.cls == ControlClass::TachometerPanel || placed.cls == ControlClass::GraphPanel) {
            BuildPanel(placed);
            continue;
        }
        const bool onPanel = placed.parent == Parent::TachometerPanel;
        CDerivedControl* made =
            pages::CreatePlacedControl(*this, placed, PanelOrPage(onPanel ? SpeedPanel::Tachometer : SpeedPanel::None));
        // The VREF sliders carry the warning tooltip.
        if (made != nullptr && placed.cls == ControlClass::Slider && (placed.kind == 1 || placed.kind == 9)) {
            auto& tip = tooltips_[placed.kind == 1 ? 0 : 1];
            if (tip) tip->setTool(made, QString::fromUtf8(pages::dual::kVrefTip));
        }
    }
}

void CDeviceDialog_StepperDual::BuildPanel(const PlacedControl& placed) {
    if (placed.cls == ControlClass::TachometerPanel) {
        if (auto* panel = MakeDigitalTachometerPanel(placed.kind)) panel->SetValues(0, 0);
        return;
    }
    CSubDialog_Graph* panel = MakeGraphPanel(placed.kind);
    if (panel == nullptr) return;
    const pages::dual::DualGraphSpec spec;
    // A channel's axes and curve exist only once its shape is set.
    panel->SetSeriesShape(1, 0, spec.motor1Colour, spec.motor1Colour);
    panel->SetSeriesShape(2, 0, spec.motor2Colour, spec.motor2Colour);
    for (int channel : {1, 2}) {
        panel->SetAxisTitle(channel, 1, QString::fromUtf8(spec.xAxis));
        panel->SetAxisTitle(channel, 0, QString::fromUtf8(spec.yAxis));
        panel->SetAxisRange(channel, 1, spec.xMin, spec.xMax, spec.xDivision);
    }
}

gui::LResult CDeviceDialog_StepperDual::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    switch (msg) {
        case gui::msg::RunRampTick:
            return 1;  // the single-motor run's tick: not used on this page
        case gui::msg::Motor1Tick:
        case gui::msg::Motor2Tick:
        case gui::msg::BothMotorsTick: {
            const int mask = static_cast<int>(msg - gui::msg::Motor1Tick) + 1;
            // Only the tick of the present arming counts: one still queued from before a
            // stop or a re-arm must not end the next step early.
            auto& timer = timers_[static_cast<std::size_t>(mask - 1)];
            if (!timer || !run_ || !timer->Accept(w)) return 1;
            run_->OnMotorTimer(mask);
            ShowRunState();
            return 1;
        }
        default:
            break;
    }
    return CDerivedDialog::windowProc(msg, w, l);
}

void CDeviceDialog_StepperDual::SetMotorMode(int mode, std::uint32_t motor1, std::uint32_t motor2) {
    if (CRG1Micon* link = GetMicon()) link->SetMotorMode(mode, &motor1, &motor2, 1);
}

void CDeviceDialog_StepperDual::EndRuns() {
    if (!run_) return;
    run_->Halt();
    ShowRunState();
}

bool CDeviceDialog_StepperDual::preTranslate(gui::Window& target, const gui::InputEvent& event) {
    if (event.kind == gui::InputEvent::MouseMove) {
        for (std::size_t motor = 0; motor < tooltips_.size(); ++motor) {
            if (!tooltips_[motor]) continue;
            if (vrefWarning_[motor]) {
                tooltips_[motor]->relayMouseMove(event.mouse.screenPos);
            } else {
                tooltips_[motor]->pop();
            }
        }
    }
    return CDerivedDialog::preTranslate(target, event);
}

void CDeviceDialog_StepperDual::ReactToStoredChange(int kind, std::uint32_t value, CDerivedControl* control) {
    if (!run_) return;
    if (kind == word::kPolling1) {
        // A show switches both motors' polling on.
        SetWord(word::kPolling2, value);
        Restore(word::kPolling2, 0);
        React(word::kPolling1, value, control);
        React(word::kPolling2, value, FindControl(word::kPolling2, 0));
        return;
    }
    React(kind, value, control);
}
