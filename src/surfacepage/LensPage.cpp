#include "surfacepage/LensPage.h"

#include <QPoint>
#include <QString>
#include <set>

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "platform/core/Debug.h"
#include "platform/gui/CommonDialogs.h"
#include "surfacepage/Factories.h"
#include "tasks/Event.h"
#include "tasks/GuiCommand.h"
#include "ui/AppServices.h"

// The page's kept records as the change builder sees them.
class CDeviceDialog_Lens::KeptRecords final : public surfacepage::IKeptRecords {
public:
    explicit KeptRecords(CDeviceDialog_Lens& page) : page_(page) {}
    PwmChannelRecord* Pwm(int channel) override { return page_.PwmSetting(channel); }
    GpioRecord* Port(int line) override { return page_.ChannelSetting(line); }
    AdcChannelRecord* Adc(int channel) override { return page_.AdcSetting(channel); }
    InterruptInputRecord* Interrupt(int input) override { return page_.InterruptSetting(input); }
    I2cRecord& I2c() override { return page_.I2cSetting(); }
    surfacepage::RegisterMap& Registers() override { return page_.registers_; }

private:
    CDeviceDialog_Lens& page_;
};

CDeviceDialog_Lens::CDeviceDialog_Lens(SurfaceSource source) : source_(std::move(source)) {
    // The board's PWM channels as the lens boards start them.
    for (const int channel : {0, 1, 6, 7, 8}) {
        PwmChannelRecord* record = PwmSetting(channel);
        record->flagA = 1;
        record->flagB = 1;
    }
    PwmSetting(2)->flagB = 1;
    PwmSetting(8)->send = 1;
}

namespace {
// The page whose document is kept under the surface key. Choosing another driver makes
// the next page before the last one is deleted (that waits for the event loop), and
// both use the one key: the new page must not take the old page's document, and the
// old page must not release the new one's.
const CDeviceDialog_Lens* surfaceHolder = nullptr;
}  // namespace

CDeviceDialog_Lens::~CDeviceDialog_Lens() {
    ForgetControls();
    registers_.clear();
    relations_.clear();
    if (surfaceHolder == this) {
        Slots().ReleaseXmlSurface(kSurfaceKey);
        surfaceHolder = nullptr;
    }
}

CXmlSurfaceSlots& CDeviceDialog_Lens::Slots() {
    CXmlSurfaceSlots* shared = appServices().surfaces;
    return shared != nullptr ? *shared : ownSlots_;
}

void CDeviceDialog_Lens::ForgetControls() {
    subjects_.clear();
    observers_.clear();
    relationIds_.clear();
}

bool CDeviceDialog_Lens::onInitDialog() {
    if (!CDerivedDialog::onInitDialog()) return false;
    if (!built_) {
        built_ = true;
        BuildFromSurface();
    }
    return true;
}

void CDeviceDialog_Lens::BuildFromSurface() {
    surfaceName_ = std::string(kSurfaceKey) + " of device 0x" + QString::number(GetDeviceKey(), 16).toStdString();
    const std::string& name = surfaceName_;
    const std::optional<std::string> text = source_ ? source_(GetDeviceKey()) : std::nullopt;
    const CDerivedXmlElement* root = nullptr;
    if (text) {
        if (surfaceHolder != this) Slots().ReleaseXmlSurface(kSurfaceKey);
        surfaceHolder = this;
        Slots().LoadXmlSurface(0, text->data(), text->size(), kSurfaceKey);
        root = Slots().GetXmlSurface();
    }
    surfacepage::SurfaceContent content = surfacepage::ReadSurface(root, name);
    if (!text) {
        content.problems.assign(1, "Surface \"" + name + "\": the device has no surface");
        platform::debugOut(content.problems[0] + "\n");
    }
    problems_ = content.problems;
    if (!content.read) {
        // Nothing to build, and nothing goes to the board for a page without controls.
        gui::messageBox(nullptr, QString::fromStdString(problems_.front()), GetDeviceName(), gui::MessageButtons::Ok,
                        gui::MessageIcon::Error);
        if (exists()) ShowConnectionInTitle();
        return;
    }

    registers_ = std::move(content.registers);
    for (surfacepage::SurfaceRelation& r : content.relations) {
        if (r.parentName) {
            gui::Window* window = GetContainerWindow(r.parentName->c_str(), nullptr);
            if (window != nullptr) r.relation->AddWindow(window->handle());
        }
        relations_.push_back(std::move(r.relation));
    }
    MakeControls(content.controls);
    WireObservers();
    for (const auto& [id, control] : Controls()) {
        const CXmlControlConainer* record = control->GetElement();
        if (record != nullptr && record->HasRelationId()) relationIds_.emplace(record->GetRelationId(), control.get());
    }
    ResizeWindow();
    OpenOnBoard();
    ShowConnectionInTitle();
}

void CDeviceDialog_Lens::OpeningBoardSetUp() {
    RefreshAll();
    // After the board's defaults queued at the driver's choice.
    AfterQueuedTasks([this] { StartChannel8(); });
}

void CDeviceDialog_Lens::MakeControls(std::vector<surfacepage::SurfaceControl>& controls) {
    const IDataContainer* store = GetDataContainer();
    for (surfacepage::SurfaceControl& made : controls) {
        gui::Window* parent = GetContainerWindow(made.parentName ? made.parentName->c_str() : nullptr, nullptr);
        if (parent == nullptr) {
            // A speed window this page does not have.
            std::string problem = "Surface \"" + surfaceName_ + "\", control " + std::to_string(made.id) +
                                  ": the page has no \"" + made.parentName.value_or("standard") +
                                  "\" window; the control is not made";
            platform::debugOut(problem + "\n");
            problems_.push_back(std::move(problem));
            continue;
        }
        std::unique_ptr<CDerivedControl> control = CControlFactory::GetInstance().CreateControl(
            parent, made.record->GetGuiType(), static_cast<std::uint32_t>(made.id));
        if (control == nullptr) continue;
        const auto [x, y] = made.record->GetPosition();
        const auto [width, height] = made.record->GetSize();
        control->SetElement(std::move(made.record));
        control->CreateControlWindow(QPoint(x, y), width, height);
        control->SetFont(GetPageFont());
        control->LoadFromElement();
        CDerivedControl* added = AddControl(static_cast<std::uint32_t>(made.id), std::move(control));
        if (added == nullptr) continue;
        const std::string* caption = added->GetElement()->GetDescription(0);
        added->setText(caption != nullptr ? QString::fromStdString(*caption) : QString());
        const ControlBinding binding = added->GetBinding();
        if (binding.IsBound() && store != nullptr && store->GetSelectedId() != -1)
            added->SetValue(binding.Read(*store));
    }
}

void CDeviceDialog_Lens::WireObservers() {
    for (const auto& [id, control] : Controls()) {
        observers_.push_back(std::make_unique<CDerivedObserver>(control.get()));
        const CXmlControlConainer* record = control->GetElement();
        if (record == nullptr || !record->HasContainerId()) continue;
        std::unique_ptr<ISubject>& subject = subjects_[record->GetContainerId()];
        if (subject == nullptr) subject = std::make_unique<CDerivedSubject>();
        subject->Attach(observers_.back().get());
    }
}

void CDeviceDialog_Lens::RefreshAll() {
    // A set rather than the system's table of 128 flags: the records refuse words
    // beyond it, and a set cannot be overrun whatever they hold.
    std::set<std::int32_t> shown;
    // Relations may show or hide controls but never add or remove one, so the map
    // stays as it is during the walk. A refresh (the opening, a loaded parameter set, a
    // rollback) shows the store; it must not drive the output pairs, whose relations'
    // owners are buttons: their stored word says nothing about a run.
    refreshing_ = true;
    for (const auto& [id, control] : Controls()) {
        const CXmlControlConainer* record = control->GetElement();
        if (record == nullptr || !record->HasContainerId()) continue;
        const std::int32_t word = record->GetContainerId();
        const auto subject = subjects_.find(word);
        if (subject == subjects_.end()) continue;
        if (shown.insert(word).second) {
            CDerivedEvent event(control.get(), GetDataContainer(), 1);
            subject->second->NotifyAll(&event);
            // Nothing is sent: the kept records and register images take the stored values.
            BuildOrder(*control);
            FollowRegisterImages(word, control.get());
        }
        // Every control of the word shows its stored value now, so each one's relations
        // follow it ("Current Step" gives "Step Time" its list, though it is not the
        // first control of its word).
        ApplyRelationsOf(*control);
    }
    refreshing_ = false;
    // A pair this page started and did not stop runs on (a continuous count never
    // ends): the shown store says nothing of a run, so the run ends with the refresh.
    for (std::uint32_t pair = 0; pair < pairRunning_.size(); ++pair) {
        if (pairRunning_[pair]) WriteStopFrequency(pair);
    }
    SendStoredChipEnable();
}

void CDeviceDialog_Lens::SendStoredChipEnable() {
    for (const auto& [id, control] : Controls()) {
        const CXmlControlConainer* record = control->GetElement();
        if (record == nullptr || record->GetDeviceTarget() != "gpio" || record->GetIoType() != 1 ||
            record->GetDeviceNumber() != kChipEnableLine) {
            continue;
        }
        // The refresh has shown the stored level on the control and put it in the line's
        // kept record; the command stores nothing, it only sends that record.
        const surfacepage::TaskOrder order = BuildOrder(*control);
        if (order.data == nullptr) return;
        if (CSingleCommand* command = CreateCommand(static_cast<std::uint32_t>(control->GetWindowId()))) {
            command->SetTask(order.word, order.data, order.size);
            ExecuteCommand(GetTaskQueue(), command);
            DeleteCommand(command);
        }
        return;  // one line, one frame, whatever number of controls show it
    }
}

void CDeviceDialog_Lens::EndRuns() {
    // A continuous count never ends by itself: the motor would run on after the page.
    for (std::uint32_t pair = 0; pair < pairRunning_.size(); ++pair) {
        if (pairRunning_[pair]) WriteStopFrequency(pair);
    }
}

bool CDeviceDialog_Lens::FeedsRegisterImage(const CDerivedControl& control) const {
    const CXmlControlConainer* record = control.GetElement();
    // Only what the page itself shows goes into the registers that "Send" writes: the
    // floating window's fields on the same register bits (the lens drive's modes)
    // keep to their own words.
    return record != nullptr && record->GetDeviceTarget() == "i2c" && record->GetRegisterAddress() >= 0 &&
           control.GetParentWindow() == this;
}

surfacepage::TaskOrder CDeviceDialog_Lens::BuildOrder(CDerivedControl& control) {
    const CXmlControlConainer* record = control.GetElement();
    if (record == nullptr || !record->HasDeviceTarget()) return {};
    // A register field off the page changes no image; its value is only stored.
    if (record->GetDeviceTarget() == "i2c" && record->GetRegisterAddress() >= 0 && !FeedsRegisterImage(control))
        return {};
    KeptRecords kept(*this);
    surfacepage::TaskOrder order = surfacepage::BuildTaskOrder(*record, GetTaskKind(record->GetDeviceTarget()),
                                                               control.GetValue(), GetDeviceKey(), kept);
    if (!order.problem.empty()) {
        platform::debugOut("Surface \"" + surfaceName_ + "\", control " + std::to_string(control.GetWindowId()) + ": " +
                           order.problem + "\n");
    }
    return order;
}

void CDeviceDialog_Lens::FollowRegisterImages(std::int32_t word, const CDerivedControl* except) {
    for (const auto& [id, control] : Controls()) {
        const CXmlControlConainer* record = control->GetElement();
        if (control.get() == except || record == nullptr || record->GetContainerId() != word ||
            !FeedsRegisterImage(*control)) {
            continue;
        }
        BuildOrder(*control);
    }
}

int CDeviceDialog_Lens::OnControlChanged(std::int32_t, CDerivedControl* control) {
    if (control == nullptr) return 1;
    const CXmlControlConainer* record = control->GetElement();
    if (record == nullptr) return 1;
    const surfacepage::TaskOrder order = BuildOrder(*control);
    if (CSingleCommand* command = CreateCommand(static_cast<std::uint32_t>(control->GetWindowId()))) {
        // A control without a (sound) data word stores nothing: never "word -1".
        const ControlBinding binding = control->GetBinding();
        if (binding.IsBound()) {
            command->SetRegister(GetDataContainer(), static_cast<std::uint32_t>(binding.word), control->GetValue());
            if (binding.IsField()) command->SetBitField(binding.lowestBit, binding.bitCount);
        }
        command->SetTask(order.word, order.data, order.size);
        ExecuteCommand(GetTaskQueue(), command);
        DeleteCommand(command);
    }
    if (record->HasContainerId()) {
        if (const auto subject = subjects_.find(record->GetContainerId()); subject != subjects_.end()) {
            CDerivedEvent event(control, GetDataContainer(), 0);
            subject->second->NotifyAll(&event);
        }
        FollowRegisterImages(record->GetContainerId(), control);
    }
    ApplyRelationsOf(*control);
    return 1;
}

std::uint32_t CDeviceDialog_Lens::StoredIndex(const CDerivedControl& control) const {
    const IDataContainer* store = GetDataContainer();
    const ControlBinding binding = control.GetBinding();
    if (store == nullptr || !binding.IsBound() || store->GetSelectedId() == -1) return IRelation::kNoIndex;
    return binding.Read(*store);
}

int CDeviceDialog_Lens::ApplyRelationsOf(CDerivedControl& control) {
    const CXmlControlConainer* record = control.GetElement();
    if (record == nullptr || !record->HasRelationId()) return 0;
    return surfacepage::ApplyRelations(relations_, record->GetRelationId(), StoredIndex(control),
                                       [this](std::int32_t id) { return ControlOfRelation(id); });
}

void CDeviceDialog_Lens::StartChannel8() {
    PwmChannelRecord* record = PwmSetting(8);
    record->channel = 8;
    record->frequency = 0.0;
    record->value = 50.0;
    record->exponent = 5.0;
    record->period = 3750;
    record->flagA = 0;
    record->flagB = 0;
    record->percent = 1;
    SetTimerChannel(8, record, 1);
}

int CDeviceDialog_Lens::ReloadSurface() {
    CDerivedDialog::onInitDialog();
    // The document is kept; loading it again only makes it the current surface. A
    // document another page holds now is not this page's to load.
    if (source_ && (surfaceHolder == nullptr || surfaceHolder == this)) {
        surfaceHolder = this;
        if (const std::optional<std::string> text = source_(GetDeviceKey())) {
            Slots().LoadXmlSurface(0, text->data(), text->size(), kSurfaceKey);
        }
    }
    RefreshAll();
    return 1;
}

void CDeviceDialog_Lens::RestoreBoard() { RefreshAll(); }

gui::LResult CDeviceDialog_Lens::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    switch (msg) {
        case gui::msg::TaskData:
            return 1;
        case gui::msg::OutputFrequency:
            if (!refreshing_)
                WriteOutputFrequency(static_cast<std::uint32_t>(w), (static_cast<std::uint32_t>(l) >> 16) & 0xFFFFu,
                                     static_cast<std::uint32_t>(l) & 0xFFFFu);
            break;
        case gui::msg::StopFrequency:
            if (!refreshing_) WriteStopFrequency(static_cast<std::uint32_t>(w));
            break;
        case gui::msg::Destroy:
            // The base retires the controls now; nothing may keep pointing at them.
            ForgetControls();
            break;
        default:
            break;
    }
    return CDerivedDialog::windowProc(msg, w, l);
}

void CDeviceDialog_Lens::WriteOutputFrequency(std::uint32_t pair, std::uint32_t frequencyWord,
                                              std::uint32_t countWord) {
    CRG1Micon* board = GetMicon();
    if (board == nullptr) return;
    WaitForTaskQueue();  // queued records first
    const std::uint32_t p = pair & 1u;
    // Data words a parameter file set to anything must not spill into the pair bit.
    const std::uint32_t frequency = Word(static_cast<int>(frequencyWord)) & 0x7Fu;
    const std::uint32_t count = Word(static_cast<int>(countWord)) & 0x7FFFu;
    board->SetOutputValue(1, static_cast<std::uint16_t>(p << 15), 0, 1);
    board->SetOutputValue(3, 0, static_cast<std::uint8_t>(p << 7 | frequency), 1);
    board->SetOutputValue(0, static_cast<std::uint16_t>(p << 15 | count), 1, 1);
    pairRunning_[p] = true;
}

void CDeviceDialog_Lens::WriteStopFrequency(std::uint32_t pair) {
    CRG1Micon* board = GetMicon();
    if (board == nullptr) return;
    WaitForTaskQueue();
    board->SetOutputValue(1, static_cast<std::uint16_t>((pair & 1u) << 15), 0, 1);
    pairRunning_[pair & 1u] = false;
}

IRegisterData* CDeviceDialog_Lens::Register(std::int32_t address) const {
    const auto found = registers_.find(address);
    return found != registers_.end() ? found->second.get() : nullptr;
}

CDerivedControl* CDeviceDialog_Lens::ControlOfRelation(std::int32_t relationId) const {
    const auto found = relationIds_.find(relationId);
    return found != relationIds_.end() ? found->second : nullptr;
}

ISubject* CDeviceDialog_Lens::SubjectOf(std::int32_t containerId) const {
    const auto found = subjects_.find(containerId);
    return found != subjects_.end() ? found->second.get() : nullptr;
}
