// The DC page: building its controls from the layout table, routing its messages, and
// the sequence runner's board and timers.
#include "pages/dc/DcPage.h"

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "pages/scaffold/PlacedControlFactory.h"
#include "platform/gui/Messages.h"

using pages::dc::SequenceTimer;
namespace kind = pages::dc::kind;

namespace {

constexpr std::uint32_t kTimerMessages[] = {gui::msg::SequenceChannel1Tick, gui::msg::SequenceChannel2Tick,
                                            gui::msg::SequenceDemo};

}  // namespace

CDeviceDialog_DC::~CDeviceDialog_DC() {
    // Destroyed here, not in the base, so that the page's own close work runs.
    if (exists()) destroy();
    // The timers' threads end before the runner they tick goes.
    for (auto& t : timers_) t.reset();
}

bool CDeviceDialog_DC::onInitDialog() {
    if (!CDerivedDialog::onInitDialog()) return false;
    IDataContainer* store = GetDataContainer();
    if (store == nullptr) return false;
    for (std::size_t i = 0; i < timers_.size(); ++i) {
        if (!timers_[i]) timers_[i] = std::make_unique<pages::TaggedRunTimer>(kTimerMessages[i], handle());
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
    for (const pages::PlacedControl& placed : pages::dc::LayOutDcPage(GetDeviceKey(), profile))
        pages::CreatePlacedControl(*this, placed, this);
    if (!sequenceWindow_) {
        auto window = gui::makeWindow<pages::dc::COptionDlg_DCSequence>(*sequence_);
        if (window->createModeless(this)) sequenceWindow_ = std::move(window);
    }
    built_ = true;
}

gui::LResult CDeviceDialog_DC::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    switch (msg) {
        case gui::msg::SequenceChannel1Tick:
        case gui::msg::SequenceChannel2Tick:
        case gui::msg::SequenceDemo: {
            const std::size_t t = msg == gui::msg::SequenceChannel1Tick   ? 0
                                  : msg == gui::msg::SequenceChannel2Tick ? 1
                                                                          : 2;
            // Only the tick of the present arming counts: one still queued from an earlier
            // arming must not cut the new phase short.
            if (!timers_[t] || !timers_[t]->Accept(w) || !sequence_) return 1;
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

// ---- the runner's timers ---------------------------------------------------------------

void CDeviceDialog_DC::Arm(SequenceTimer timer, std::uint32_t ms) {
    if (auto& t = timers_[static_cast<std::size_t>(timer)]) t->Arm(ms);
}

void CDeviceDialog_DC::Stop(SequenceTimer timer) {
    if (auto& t = timers_[static_cast<std::size_t>(timer)]) t->Stop();
}
