// The BLDC page: building its controls from the layout tables, routing its messages,
// showing and closing.
#include "pages/bldc/BldcPage.h"

#include <algorithm>
#include <array>

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "pages/bldc/BldcSpeed.h"
#include "pages/bldc/StartupDialogLink.h"
#include "pages/scaffold/PlacedControlFactory.h"
#include "platform/core/NamedSync.h"
#include "platform/gui/Messages.h"
#include "ui/SpeedWindows.h"

using pages::ControlClass;
using pages::PlacedControl;

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
    BuildAndRestore();
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

void CDeviceDialog_BLDC::BuildPage(const ProfileWords& profile) {
    profileWords_ = profile;
    BuildControls();
    if (GetProfileWord(bldc::kTestWindow) != 0) testDialog_ = bldc::CreateStartupTestDialog(GetMicon(), this);
    built_ = true;
}

void CDeviceDialog_BLDC::BuildControls() {
    const std::vector<PlacedControl> placed = bldc::PlaceControls(GetDeviceKey(), profileWords_);
    for (const PlacedControl& p : placed) {
        if (p.cls == ControlClass::TachometerPanel || p.cls == ControlClass::GraphPanel) {
            BuildPanel(p);
        } else {
            BuildControl(p);
        }
    }
    // The tachometer panel grows below and beside its dial to hold the items placed on it.
    if (CSubDialog_Tachometer* tachometer = TachometerPanel()) {
        int right = 0, bottom = 0;
        for (const PlacedControl& p : placed) {
            if (p.parent != pages::Parent::TachometerPanel) continue;
            right = std::max(right, p.rect.x + p.rect.width);
            bottom = std::max(bottom, p.rect.y + p.rect.height);
        }
        const QSize client = tachometer->clientRect().size();
        const QSize wanted(std::max(client.width(), right + kPanelMargin),
                           std::max(client.height(), bottom + kPanelMargin));
        if (wanted != client) tachometer->setClientSize(wanted);
    }
}

void CDeviceDialog_BLDC::BuildPanel(const PlacedControl& placed) {
    if (placed.cls == ControlClass::TachometerPanel) {
        fgPulses_ = GetProfileWord(bldc::kTachometerPanel) & 15u;
        MakeTachometerPanel(placed.kind);
        return;
    }
    CSubDialog_Graph* panel = MakeGraphPanel(placed.kind);
    if (panel == nullptr) return;
    // A channel's axes exist once its shape is set: shapes first, then titles and ranges.
    for (const bldc::GraphChannelSpec& c : bldc::kGraphChannels)
        panel->SetSeriesShape(c.channel, 0, c.colour, c.colour);
    for (const bldc::GraphChannelSpec& c : bldc::kGraphChannels) {
        panel->SetAxisTitle(c.channel, 1, Text(c.xTitle));
        panel->SetAxisTitle(c.channel, 0, Text(c.yTitle));
    }
    for (const bldc::GraphChannelSpec& c : bldc::kGraphChannels)
        panel->SetAxisRange(c.channel, 1, bldc::kGraphXMinimum, bldc::kGraphXMaximum, bldc::kGraphXDivisions);
    panel->SetChannelMask(0);
}

void CDeviceDialog_BLDC::BuildControl(const PlacedControl& placed) {
    gui::Window* parent =
        PanelOrPage(placed.parent == pages::Parent::TachometerPanel ? SpeedPanel::Tachometer : SpeedPanel::None);
    CDerivedControl* made = pages::CreatePlacedControl(*this, placed, parent);
    if (made != nullptr && placed.cls == ControlClass::Label &&
        (placed.kind == bldc::kChipEnable || placed.kind == bldc::kPowerEnable))
        chipEnableKind_ = placed.kind;
}

// The test window goes with its page, once no handler of it (a file dialog's loop under
// "Save Result") is on the stack.
void CDeviceDialog_BLDC::RetireOwnedWindows() { testDialog_.reset(); }

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
