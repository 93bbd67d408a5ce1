// The BLDC page: building its controls from the layout tables, routing its messages,
// showing and closing.
#include "pages/bldc/BldcPage.h"

#include <algorithm>
#include <array>

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "data/ParameterDecoder.h"
#include "pages/bldc/BldcSpeed.h"
#include "pages/bldc/StartupDialogLink.h"
#include "pages/scaffold/PageScaffold.h"
#include "platform/core/NamedSync.h"
#include "platform/gui/Messages.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/InputControls.h"
#include "ui/SliderControl.h"
#include "ui/SpeedWindows.h"

using bldc::Control;
using bldc::PlacedControl;

namespace {

constexpr int kPanelMargin = 6;

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

CDeviceDialog_BLDC::CDeviceDialog_BLDC(std::int32_t deviceKey, const std::uint16_t* profile, const QString& name) {
    SetDeviceInfo(deviceKey, profile, name);
    state_.deviceKey = deviceKey;
}

CDeviceDialog_BLDC::~CDeviceDialog_BLDC() {
    // Destroyed here, not in the base, so that the page's own destruction work runs.
    if (exists()) destroy();
}

bool CDeviceDialog_BLDC::onInitDialog() {
    if (!CDerivedDialog::onInitDialog()) return false;
    IDataContainer* store = GetDataContainer();
    if (store == nullptr) return false;
    store->SelectContainer(GetDeviceKey());
    CRG1Micon* link = GetMicon();
    // Building shows stored values; nothing reaches the board until the restore below.
    if (link != nullptr) link->Suspend();
    BuildControls();
    if (GetProfileWord(bldc::kTestWindow) != 0) testDialog_ = bldc::CreateStartupTestDialog(link);
    if (auto* tachometer = TachometerPanel()) tachometer->ShowControls();
    if (link != nullptr) link->Resume();

    ResizeWindow();
    built_ = true;
    RestoreDeviceData();
    SetConnectionState(link != nullptr && link->IsConnected() != 0 ? 1 : -1);
    // The pole setting's maximum speed goes to the board: after the restore's frames.
    AfterQueuedTasks([this] {
        UpdateSpeedDisplays();
        ApplyPoleSetting();
    });
    RestoreWindowPositions();
    if (testDialog_) {
        testDialog_->SetMeasureParam(bldc::kMeasureSetting);
        testDialog_->SetDataSource(store, GetDeviceKey());
        testDialog_->SetDeviceProfile(profileWords_.data());
    }
    pollingMutex_ = platform::createNamedMutex("Mutex_BLDC_Polling");
    SetRecordSwitch(bldc::kRecord, true);
    SetPollingKind(bldc::kPolling);
    return true;
}

void CDeviceDialog_BLDC::BuildControls() {
    for (int slot = 0; slot < kProfileSlots; ++slot)
        profileWords_[static_cast<std::size_t>(slot)] = GetProfileWord(slot);
    const std::vector<PlacedControl> placed = bldc::PlaceControls(profileWords_);
    for (const PlacedControl& p : placed) {
        if (p.spec.control == Control::TachometerPanel || p.spec.control == Control::GraphPanel) {
            BuildPanel(p);
        } else {
            BuildControl(p);
        }
    }
    // The tachometer panel grows below and beside its dial to hold the items placed on it.
    if (CSubDialog_Tachometer* tachometer = TachometerPanel()) {
        int right = 0, bottom = 0;
        for (const PlacedControl& p : placed) {
            if (!p.onTachometer) continue;
            right = std::max(right, p.spec.x + p.spec.width);
            bottom = std::max(bottom, p.spec.y + p.spec.height);
        }
        const QSize client = tachometer->clientRect().size();
        const QSize wanted(std::max(client.width(), right + kPanelMargin), std::max(client.height(), bottom + kPanelMargin));
        if (wanted != client) tachometer->setClientSize(wanted);
    }
}

void CDeviceDialog_BLDC::BuildPanel(const PlacedControl& placed) {
    if (placed.spec.control == Control::TachometerPanel) {
        fgPulses_ = GetProfileWord(bldc::kTachometerPanel) & 15u;
        auto panel = std::make_unique<CSubDialog_Tachometer>();
        panel->SetOwner(handle(), placed.spec.kind);
        if (!panel->createModeless(this)) return;
        firstTachometer_ = std::move(panel);
        return;
    }
    auto panel = std::make_unique<CSubDialog_Graph>();
    panel->SetOwner(handle(), placed.spec.kind);
    if (!panel->createModeless(this)) return;
    // A channel's axes exist once its shape is set: shapes first, then titles and ranges.
    for (const bldc::GraphChannelSpec& c : bldc::kGraphChannels) panel->SetSeriesShape(c.channel, 0, c.colour, c.colour);
    for (const bldc::GraphChannelSpec& c : bldc::kGraphChannels) {
        panel->SetAxisTitle(c.channel, 1, Text(c.xTitle));
        panel->SetAxisTitle(c.channel, 0, Text(c.yTitle));
    }
    for (const bldc::GraphChannelSpec& c : bldc::kGraphChannels)
        panel->SetAxisRange(c.channel, 1, bldc::kGraphXMinimum, bldc::kGraphXMaximum, bldc::kGraphXDivisions);
    panel->SetChannelMask(0);
    graphWindow_ = std::move(panel);
}

void CDeviceDialog_BLDC::BuildControl(const PlacedControl& placed) {
    const bldc::ControlSpec& s = placed.spec;
    pages::ControlPlacement where;
    where.key = static_cast<std::uint32_t>(s.kind) << 16 | static_cast<std::uint32_t>(s.index);
    where.parent = this;
    if (placed.onTachometer && firstTachometer_) where.parent = firstTachometer_.get();
    where.rect = QRect(s.x, s.y, s.width, s.height);
    where.bound = s.control != Control::Label;
    const int variant = GetProfileWord(s.kind) & bldc::kVariantMask;

    CDerivedControl* made = nullptr;
    switch (s.control) {
        case Control::Label:
            made = pages::ConcreteCtrl<CDerivedLabel>(*this, where, [&](CDerivedLabel& c) {
                c.setText(Text(bldc::LabelCaption(s.kind, s.index, variant)));
            });
            if (made != nullptr && s.kind == bldc::kChipEnable) chipEnableKind_ = bldc::kChipEnable;
            if (made != nullptr && s.kind == bldc::kPowerEnable) chipEnableKind_ = bldc::kPowerEnable;
            break;
        case Control::Slider:
            made = pages::ConcreteCtrl<CDerivedSlider>(*this, where, [&](CDerivedSlider& c) {
                const bldc::SliderRange r = bldc::SliderRangeOf(s.kind);
                c.SetRange(r.minimum, r.maximum);
                c.SetValue(static_cast<std::uint32_t>(r.position));
            });
            break;
        case Control::Edit:
            made = pages::ConcreteCtrl<CDerivedEdit>(*this, where, [&](CDerivedEdit& c) {
                const bldc::EditSpec e = bldc::EditSpecOf(s.kind, GetDeviceKey());
                if (e.converts)
                    c.SetValueTable(std::make_unique<CDerivedParameterDecoder>(std::make_unique<ParameterRecord>(e.decoder)));
                if (e.readOnly) c.modifyStyle(0, gui::style::ReadOnly);
            });
            break;
        case Control::Combo:
            made = pages::ConcreteCtrl<CDerivedComboBox>(*this, where, [&](CDerivedComboBox& c) {
                for (std::string_view item : bldc::ComboItems(s.kind)) c.addString(Text(item));
                c.SetValue(0);
            });
            break;
        case Control::Check:
            made = pages::ConcreteCtrl<CDerivedCheckButton>(*this, where, [&](CDerivedCheckButton& c) {
                const bldc::CheckCaptions captions = bldc::CheckButtonCaptions(s.kind, variant);
                c.SetCaptions(Text(captions.ticked), Text(captions.clear));
                c.SetValue(0);
            });
            break;
        case Control::Button:
            made = pages::ConcreteCtrl<CDerivedButton>(*this, where, [&](CDerivedButton& c) {
                c.setText(Text(bldc::ButtonCaption(s.kind)));
            });
            break;
        case Control::Radio:
            made = pages::ConcreteCtrl<CDerivedRadioButton>(*this, where, [&](CDerivedRadioButton& c) {
                if (s.index >= 0 && s.index < static_cast<int>(bldc::kSswRadioCaptions.size()))
                    c.SetCaption(Text(bldc::kSswRadioCaptions[static_cast<std::size_t>(s.index)]));
            });
            break;
        case Control::ImageLabel:
            made = pages::ConcreteCtrl<CDerivedImageLabel>(*this, where, [&](CDerivedImageLabel& c) {
                c.SetLampColours(bldc::kLampOn, bldc::kLampOff);
            });
            break;
        case Control::ColourLabel:
            made = pages::ConcreteCtrl<CDerivedColorLabel>(*this, where, [&](CDerivedColorLabel& c) {
                for (const bldc::GradientStop& stop : bldc::kSpeedBarStops) c.AddColorStop(stop.colour, stop.percent);
                c.CreateRegions();
                c.RenderGradient();
            });
            break;
        case Control::TachometerPanel:
        case Control::GraphPanel:
            break;
    }
    if (made != nullptr && where.parent != this) {
        if (auto* panel = dynamic_cast<CSpeedWindow*>(where.parent)) panel->AddControl(made);
    }
}

gui::LResult CDeviceDialog_BLDC::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    const gui::LResult result = CDerivedDialog::windowProc(msg, w, l);
    // The test window goes with its page, once no handler of it (a file dialog's loop
    // under "Save Result") is on the stack.
    if (msg == gui::msg::Destroy) testDialog_.reset();
    return result;
}

void CDeviceDialog_BLDC::ReactToStoredChange(int kind, std::uint32_t value, CDerivedControl* control) {
    if (built_) React(kind, value, control);
}

void CDeviceDialog_BLDC::EndRuns() {
    if (!built_) return;
    // The test drives the board from its own thread: it ends before the idle duty goes,
    // so no trial starts the motor again after it.
    if (testDialog_) testDialog_->CloseDialog();
    const bool polling = state_.polling;
    const bool demo = state_.demo;
    Send(bldc::ClosePage(state_));
    if (polling) {
        if (auto* c = FindControl(bldc::kPolling, 0)) c->SetValue(0);
    }
    if (demo) {
        if (auto* c = FindControl(bldc::kDemo, 0)) c->SetValue(0);
    }
}
