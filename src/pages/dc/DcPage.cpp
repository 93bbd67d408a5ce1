// The DC page: building its controls from the layout table, routing its messages, and
// the sequence runner's board and timers.
#include "pages/dc/DcPage.h"

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "data/ParameterDecoder.h"
#include "pages/scaffold/PageScaffold.h"
#include "platform/gui/Messages.h"
#include "tasks/Timer.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/InputControls.h"
#include "ui/SliderControl.h"

using pages::dc::ControlClass;
using pages::dc::PlacedControl;
using pages::dc::SequenceTimer;
namespace kind = pages::dc::kind;

namespace {

constexpr gui::ColourRef kWarningColour = 0x0000FF;
constexpr gui::ColourRef kLampOn = 0x00FFFF;
constexpr gui::ColourRef kLampOff = 0xFFFFFF;
constexpr std::uint32_t kTimerMessages[] = {gui::msg::SequenceChannel1Tick, gui::msg::SequenceChannel2Tick,
                                            gui::msg::SequenceDemo};

std::unique_ptr<IParameterDecoder> MakeDecoder(const pages::dc::EditFormat& f) {
    auto record = std::make_unique<ParameterRecord>();
    record->kind = f.decoder;
    record->a = f.a;
    record->b = f.b;
    record->format = f.format;
    if (f.frequencyTable) {
        for (std::uint32_t hz : pages::dc::FrequencyTable()) record->table.push_back(static_cast<std::int32_t>(hz));
    }
    return std::make_unique<CDerivedParameterDecoder>(std::move(record));
}

QString Text(const std::string& s) { return QString::fromUtf8(s.c_str()); }

}  // namespace

CDeviceDialog_DC::CDeviceDialog_DC(std::int32_t deviceKey, const std::uint16_t* profile, const QString& name) {
    SetDeviceInfo(deviceKey, profile, name);
}

CDeviceDialog_DC::~CDeviceDialog_DC() {
    // Destroyed here, not in the base, so that the page's own close work runs.
    if (exists()) destroy();
    // The timers' threads end before the runner they tick goes.
    for (auto& t : timers_) {
        if (t) t->Stop();
        t.reset();
    }
}

bool CDeviceDialog_DC::onInitDialog() {
    if (!CDerivedDialog::onInitDialog()) return false;
    IDataContainer* store = GetDataContainer();
    if (store == nullptr) return false;
    for (std::size_t i = 0; i < timers_.size(); ++i) {
        if (timers_[i]) continue;
        timers_[i] = std::make_unique<CTimer>(kTimerMessages[i]);
        timers_[i]->SetWindow(handle());
        timers_[i]->SetRepeat(0);  // one tick per arming
    }
    store->SelectContainer(GetDeviceKey());
    BuildAndRestore();
    UpdateIout();
    // Only a page with the polling switch polls: the others have no status inputs to show.
    if (FindControl(kind::kPolling, 0) != nullptr) SetPollingKind(kind::kPolling);
    return true;
}

void CDeviceDialog_DC::BuildPage(const ProfileWords& profile) {
    if (!sequence_) {
        sequence_ = std::make_unique<pages::dc::DcSequence>(board_, static_cast<pages::dc::ISequenceTimers&>(*this),
                                                            static_cast<pages::dc::IDcSequenceHost&>(*this));
    }
    for (const PlacedControl& placed : pages::dc::LayOutDcPage(GetDeviceKey(), profile)) BuildControl(placed);
    if (!sequenceWindow_) {
        auto window = gui::makeWindow<pages::dc::COptionDlg_DCSequence>(*sequence_);
        if (window->createModeless(this)) sequenceWindow_ = std::move(window);
    }
    built_ = true;
}

void CDeviceDialog_DC::BuildControl(const PlacedControl& placed) {
    pages::ControlPlacement where;
    where.key = placed.key;
    where.parent = this;
    where.rect = QRect(placed.x, placed.y, placed.width, placed.height);
    where.bound = placed.bound;
    const QString caption = Text(placed.caption);
    switch (placed.cls) {
        case ControlClass::Label:
            pages::ConcreteCtrl<CDerivedLabel>(*this, where, [&](CDerivedLabel& c) { c.setText(caption); });
            break;
        case ControlClass::Button:
            pages::ConcreteCtrl<CDerivedButton>(*this, where, [&](CDerivedButton& c) { c.setText(caption); });
            break;
        case ControlClass::Check:
            pages::ConcreteCtrl<CDerivedCheckButton>(*this, where, [&](CDerivedCheckButton& c) {
                c.SetCaptions(Text(placed.checkedCaption), caption);
                c.SetValue(0);
            });
            break;
        case ControlClass::Combo:
            pages::ConcreteCtrl<CDerivedComboBox>(*this, where, [&](CDerivedComboBox& c) {
                for (const std::string& item : placed.items) c.addString(Text(item));
                c.SetValue(0);
            });
            break;
        case ControlClass::Slider:
            pages::ConcreteCtrl<CDerivedSlider>(*this, where, [&](CDerivedSlider& c) {
                c.SetRange(0, placed.sliderMax);
                c.SetValue(0);
            });
            break;
        case ControlClass::Edit:
            pages::ConcreteCtrl<CDerivedEdit>(*this, where, [&](CDerivedEdit& c) {
                if (!placed.edit) return;
                c.SetValueTable(MakeDecoder(*placed.edit));
                if (placed.edit->readOnly) c.modifyStyle(0, gui::style::ReadOnly);
                if (placed.edit->warnAbove) c.SetWarning(*placed.edit->warnAbove, kWarningColour);
            });
            break;
        case ControlClass::ImageLabel:
            pages::ConcreteCtrl<CDerivedImageLabel>(*this, where,
                                                    [&](CDerivedImageLabel& c) { c.SetLampColours(kLampOn, kLampOff); });
            break;
    }
}

gui::LResult CDeviceDialog_DC::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    switch (msg) {
        case gui::msg::StatusPollTick:
            OnPollTimer();
            return 1;
        case gui::msg::SequenceChannel1Tick:
        case gui::msg::SequenceChannel2Tick:
        case gui::msg::SequenceDemo: {
            const std::size_t t = msg == gui::msg::SequenceChannel1Tick   ? 0
                                  : msg == gui::msg::SequenceChannel2Tick ? 1
                                                                          : 2;
            // Only the tick of the present arming counts: one still queued from an earlier
            // arming must not cut the new phase short.
            if (w == 0 || w != armed_[t]) return 1;
            armed_[t] = 0;
            if (timers_[t]) timers_[t]->Stop();
            if (!sequence_) return 1;
            if (t == 2) {
                sequence_->OnDemoTick();
            } else {
                sequence_->OnChannelTick(static_cast<int>(t));
            }
            return 1;
        }
        case gui::msg::ShowWindow:
            if (w == 0 && sequenceWindow_) sequenceWindow_->hide();
            break;
        default:
            break;
    }
    return CDerivedDialog::windowProc(msg, w, l);
}

void CDeviceDialog_DC::RetireOwnedWindows() { sequenceWindow_.reset(); }

gui::LResult CDeviceDialog_DC::onCommand(int id, int code, gui::Handle from) {
    if (id == pagemenu::kRollback && code == 0 && sequenceWindow_) sequenceWindow_->ResetAll();
    return CDerivedDialog::onCommand(id, code, from);
}

void CDeviceDialog_DC::ReactToStoredChange(int k, std::uint32_t value, CDerivedControl* control) {
    if (built_) React(k, value, control);
}

// ---- the runner's board and timers ------------------------------------------------------

void CDeviceDialog_DC::Board::WritePort(int port, int direction, int level, bool send) {
    page_.CDerivedDialog::WritePort(port, static_cast<std::uint32_t>(direction), static_cast<std::uint32_t>(level),
                                    send ? 1 : 0);
}

void CDeviceDialog_DC::Board::SetPwm(int channel, double frequency, int duty, int enable) {
    page_.CDerivedDialog::SetPwm(channel, frequency, duty, enable);
}

void CDeviceDialog_DC::Board::SetTimerChannel(int channel, const PwmChannelRecord& record, bool send) {
    // The base converts a copy: the period and percent of the record are never touched.
    page_.CDerivedDialog::SetTimerChannel(channel, &record, send ? 1 : 0);
}

void CDeviceDialog_DC::Arm(SequenceTimer timer, std::uint32_t ms) {
    const auto t = static_cast<std::size_t>(timer);
    if (!timers_[t] || ms == 0) return;
    timers_[t]->Stop();
    const std::uintptr_t tick = armed_[t] = ++armings_;
    const std::uint32_t message = timers_[t]->GetMessageId();
    timers_[t]->Start(ms, [tick, message](platform::Handle window) {
        return window != 0 && platform::post(window, message, tick, 0) ? 1 : 0;
    });
}

void CDeviceDialog_DC::Stop(SequenceTimer timer) {
    const auto t = static_cast<std::size_t>(timer);
    armed_[t] = 0;
    if (timers_[t]) timers_[t]->Stop();
}
