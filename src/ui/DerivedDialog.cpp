#include "ui/DerivedDialog.h"

#include <algorithm>
#include <utility>

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "platform/core/Debug.h"
#include "platform/gui/CommonDialogs.h"
#include "tasks/GuiCommand.h"
#include "tasks/TaskFactory.h"
#include "tasks/TaskListener.h"
#include "tasks/TaskWord.h"
#include "tasks/Timer.h"
#include "ui/AppServices.h"
#include "ui/ExternFile.h"
#include "ui/PageFileNames.h"
#include "ui/SliderControl.h"
#include "ui/SpeedWindows.h"

namespace {

// The names an XML control record's `device_target` uses for the task kinds.
struct TaskName {
    const char* name;
    std::int32_t kind;
};
constexpr TaskName kTaskNames[] = {
    {"pwm", kTaskPwm},
    {"gpio", kTaskGpio},
    {"gpio_pulse", kTaskGpioPulse},
    {"adc", kTaskAdc},
    {"int", kTaskInterrupt},
    {"polling", kTaskPolling},
    {"i2c", kTaskI2c},
    {"spi", kTaskSpi},
    {"bldc_sequence", kTaskBldcSequence},
    {"lens_sequence", kTaskLensSequence},
};

// The page font: "Arial", 14 pixels of cell, normal weight.
constexpr int kPageFontHeight = 14;
constexpr int kPageFontWeight = 400;

}  // namespace

gui::DialogTemplate CDerivedDialog::PageTemplate() {
    gui::DialogTemplate t;
    t.size = QSize(200, 120);  // the page sizes itself to its controls
    t.style = gui::dialogStyle::Caption | gui::dialogStyle::SystemMenu | gui::dialogStyle::MinimiseBox;
    gui::MenuSpec menu;
    menu.popups.push_back({QStringLiteral("File"),
                           {{pagemenu::kSaveParameters, QStringLiteral("Save parameter setting")},
                            {pagemenu::kExportSpeedGraph, QStringLiteral("Export Speed graph data")},
                            {pagemenu::kRollback, QStringLiteral("Rollback to Initial value")},
                            {pagemenu::kCloseWindow, QStringLiteral("Close window")}}});
    menu.popups.push_back({QStringLiteral("Help"), {{pagemenu::kVersion, QStringLiteral("Version")}}});
    t.menu = std::move(menu);
    return t;
}

CDerivedDialog::CDerivedDialog()
    : gui::Dialog(PageTemplate()),
      pageFont_(QStringLiteral("Arial"), kPageFontHeight, kPageFontWeight),
      fileNames_(std::make_unique<CPageFileNames>(this)) {}

CDerivedDialog::CDerivedDialog(std::int32_t deviceKey, const std::uint16_t* profile, const QString& name)
    : CDerivedDialog() {
    CDerivedDialog::SetDeviceInfo(deviceKey, profile, name);
}

CDerivedDialog::~CDerivedDialog() {
    // Runs the page's destruction while this class is still whole.
    if (exists()) destroy();
    recordFile_.reset();
    statusTimer_.reset();
    controls_.clear();
    taskNames_.clear();
}

// ---- set-up ----------------------------------------------------------------------------

bool CDerivedDialog::onInitDialog() {
    if (!gui::Dialog::onInitDialog()) return false;
    // The kept board records are not cleared here: they start cleared, and a page may
    // have set some of them in its constructor, or since the last run (a surface reload
    // runs this again).
    const AppServices& services = appServices();
    data_ = services.data;
    board_ = services.board;
    tasks_ = services.tasks;
    if (tasks_ != nullptr) {
        // The last page to open is the one the task threads notify.
        tasks_->SetMicon(board_);
        tasks_->SetDataContainer(data_);
        tasks_->SetNotifyWindow(handle());
    } else {
        platform::debugOut("CDerivedDialog: no task queue; changes are stored but not sent\n");
    }
    if (statusTimer_ == nullptr) statusTimer_ = std::make_unique<CTimer>(gui::msg::StatusPollTick);
    statusTimer_->SetWindow(handle());
    taskFactory_ = CTaskFactory::GetInstance();
    for (const TaskName& entry : kTaskNames) taskNames_[entry.name] = entry.kind;
    if (data_ != nullptr) data_->SelectContainer(deviceKey_);
    if (recordFile_ == nullptr) recordFile_ = std::make_unique<CDerivedExternFile>(fileNames_.get());
    return true;
}

// ---- own operations ---------------------------------------------------------------------

int CDerivedDialog::ReloadSurface() { return 1; }

bool CDerivedDialog::SetOwnerWindow(gui::Handle owner) {
    owner_ = owner;
    return owner != 0;
}

bool CDerivedDialog::SetDeviceInfo(std::int32_t deviceKey, const std::uint16_t* profile, const QString& name) {
    deviceKey_ = deviceKey;
    profile_ = profile;
    deviceName_ = name.left(kMaxTitleLength);
    return profile != nullptr;
}

int CDerivedDialog::OnControlChanged(std::int32_t, CDerivedControl*) { return 1; }

int CDerivedDialog::EnableControl(std::uint32_t kind, std::uint32_t index, bool enable) {
    CDerivedControl* control = FindControl(kind, index);
    if (control == nullptr) return 0;
    return control->setEnabled(enable) ? 1 : 0;
}

int CDerivedDialog::EnableControlsAt(std::int32_t word, bool enable) {
    for (auto& [key, control] : controls_) {
        if (control->GetRegisterAddress() == word) control->setEnabled(enable);
    }
    return 1;
}

CSingleCommand* CDerivedDialog::CreateCommand(std::uint32_t id) {
    return CCommandGenerator::GetInstance()->CreateCommand(handle(), id);
}

int CDerivedDialog::DeleteCommand(IGuiCommand* command) {
    if (command != nullptr) CCommandGenerator::GetInstance()->DeleteCommand(command);
    return 1;
}

int CDerivedDialog::ExecuteCommand(ITaskListener* listener, CSingleCommand* command) {
    CCommandGenerator::GetInstance()->ExecuteCommand(listener, command);
    return 1;
}

int CDerivedDialog::SetConnectionState(int state) {
    // Put together rather than formatted, so a name holding a format marker stays as it is.
    const QString title = deviceName_ + QStringLiteral(" Controller (USB ") +
                          (state == 1 ? QStringLiteral("Connected") : QStringLiteral("Disconnected")) +
                          QStringLiteral(")");
    setText(title.left(kMaxTitleLength));
    return 1;
}

gui::LResult CDerivedDialog::RestoreDeviceData() {
    // The board's defaults go after whatever is queued now, and the page's own writes
    // after them; this thread waits for neither.
    setUpDropped_ = false;
    AfterQueuedTasks([this] {
        gui::send(owner_, gui::msg::ReinitialiseBoard, 0, 0);
        AfterQueuedTasks([this] { RestoreBoard(); });
    });
    return 1;
}

// ---- board set-up after the queue --------------------------------------------------------

void CDerivedDialog::AfterQueuedTasks(std::function<void()> work) {
    boardWork_.push_back(std::move(work));
    if (!settingUp_ && boardWork_.size() == 1) AskForBoardSetUp();
}

void CDerivedDialog::AskForBoardSetUp() {
    while (!boardWork_.empty()) {
        const std::uintptr_t ticket = ++boardTicket_;
        if (tasks_ != nullptr && !destroyed_ && tasks_->PostWhenDone(handle(), gui::msg::BoardSetUpDue, ticket) != 0)
            return;
        RunFirstBoardWork();
    }
    BoardSetUpDone();
}

void CDerivedDialog::RunFirstBoardWork() {
    std::function<void()> work = std::move(boardWork_.front());
    boardWork_.pop_front();
    settingUp_ = true;
    work();
    settingUp_ = false;
}

void CDerivedDialog::CompleteBoardSetUp() {
    if (settingUp_ || boardWork_.empty()) return;
    ++boardTicket_;  // a notice already on its way finds nothing to do
    while (!boardWork_.empty()) {
        WaitForTaskQueue();
        RunFirstBoardWork();
    }
    BoardSetUpDone();
}

void CDerivedDialog::DropBoardSetUp() {
    if (boardWork_.empty()) return;
    platform::debugOutf("Page: its waiting board set-up is dropped (%zu step(s))\n", boardWork_.size());
    boardWork_.clear();
    ++boardTicket_;  // a notice already on its way finds nothing to do
    pollAfterSetUp_ = false;
    setUpDropped_ = true;
    if (opening_ == Opening::Waiting) opening_ = Opening::Dropped;
}

void CDerivedDialog::BoardSetUpDone() {
    if (opening_ == Opening::Waiting) opening_ = Opening::Done;
    if (!pollAfterSetUp_) return;
    pollAfterSetUp_ = false;
    if (isShown() && !destroyed_) PollWhileShown(true);
}

bool CDerivedDialog::beforeMessage(std::uint32_t message, gui::WParam w) {
    if (boardWork_.empty() || settingUp_) return true;
    switch (message) {
        // What closes the page: a going page drops its set-up instead (its hide and destroy).
        case gui::msg::Close:
        case gui::msg::Destroy:
        case gui::msg::SysCommand:
            return true;
        case gui::msg::Command:
            if (gui::loWord(w) == pagemenu::kCloseWindow && gui::hiWord(w) == gui::notify::MenuOrAccelerator)
                return true;
            break;
        // What only shows or places the page, and the notice itself.
        case gui::msg::BoardSetUpDue:
        case gui::msg::Create:
        case gui::msg::Size:
        case gui::msg::SetFocus:
        case gui::msg::KillFocus:
        case gui::msg::Enable:
        case gui::msg::SetText:
        case gui::msg::ShowWindow:
        case gui::msg::SavePositions:
        case gui::msg::RestorePositions:
        case gui::msg::FrameReady:
            return true;
        case gui::msg::StatusPollTick:
            return false;  // nothing is read before the board is set up; the next tick reads
        default:
            break;
    }
    platform::debugOutf("Page: board set-up finished at once for message 0x%X\n", message);
    CompleteBoardSetUp();
    return true;
}

void CDerivedDialog::beforeOwnedInput(const gui::InputEvent&) {
    if (boardWork_.empty() || settingUp_) return;
    platform::debugOut("Page: board set-up finished at once for the user's input\n");
    CompleteBoardSetUp();
}

void CDerivedDialog::ShowConnectionInTitle() {
    SetConnectionState(board_ != nullptr && board_->IsConnected() != 0 ? 1 : -1);
}

// ---- building ---------------------------------------------------------------------------

CDerivedDialog::ProfileWords CDerivedDialog::CopyProfile() const {
    ProfileWords words{};
    for (int slot = 0; slot < kProfileSlots; ++slot) words[static_cast<std::size_t>(slot)] = GetProfileWord(slot);
    return words;
}

void CDerivedDialog::BuildPage(const ProfileWords&) {}

void CDerivedDialog::BuildAndRestore() {
    // Building shows stored values; nothing reaches the board until the restore below.
    if (board_ != nullptr) board_->Suspend();
    BuildPage(CopyProfile());
    ShowPanelControls();
    if (board_ != nullptr) board_->Resume();
    ResizeWindow();
    OpenOnBoard();
    ShowConnectionInTitle();
    RestoreWindowPositions();
}

void CDerivedDialog::OpeningBoardSetUp() { RestoreDeviceData(); }

void CDerivedDialog::OpenOnBoard() {
    setUpDropped_ = false;
    opening_ = Opening::Waiting;
    OpeningBoardSetUp();
    if (!BoardSetUpPending()) opening_ = Opening::Done;
}

gui::LResult CDerivedDialog::OnTaskData(gui::WParam, gui::LParam) { return 0; }

// ---- control map ----------------------------------------------------------------------

CDerivedControl* CDerivedDialog::AddControl(std::uint32_t key, std::unique_ptr<CDerivedControl> control) {
    if (control == nullptr || destroyed_) return nullptr;
    const auto [it, inserted] = controls_.try_emplace(key, nullptr);
    if (!inserted) {
        platform::debugOutf("CDerivedDialog: a second control for key 0x%X was dropped\n", key);
        return nullptr;
    }
    it->second = std::move(control);
    CDerivedControl* added = it->second.get();
    for (gui::Window* speed : {firstTachometer_.get(), secondTachometer_.get(), graphWindow_.get()}) {
        auto* panel = dynamic_cast<CSpeedWindow*>(speed);
        if (panel != nullptr && added->parent() == panel) panel->AddControl(added);
    }
    return added;
}

CDerivedControl* CDerivedDialog::FindControlByKey(std::uint32_t key) const {
    const auto it = controls_.find(key);
    return it != controls_.end() ? it->second.get() : nullptr;
}

CDerivedControl* CDerivedDialog::FindControl(std::uint32_t kind, std::uint32_t index) const {
    return FindControlByKey(kind << 16 | (index & 0xFFFFu));
}

int CDerivedDialog::SynchronizeControl(std::uint32_t kind, std::uint32_t index, CDerivedControl* other) {
    CDerivedControl* control = FindControl(kind, index);
    if (control != nullptr && control->GetRegisterAddress() >= 0 &&
        static_cast<std::uint32_t>(control->GetRegisterAddress()) == kind) {
        control->Synchronize(other);
    }
    return 1;
}

void CDerivedDialog::SyncPair(std::uint32_t kind, CDerivedControl* from) {
    // A null `from` would make each control re-show its own value: a refresh, not a sync.
    if (from == nullptr) return;
    SynchronizeControl(kind, 0, from);
    SynchronizeControl(kind, 1, from);
}

// ---- data -------------------------------------------------------------------------------

int CDerivedDialog::ResetData() {
    if (data_ != nullptr) data_->ResetContainer(deviceKey_);
    return 1;
}

int CDerivedDialog::RestoreAll() {
    if (data_ == nullptr || data_->GetSelectedId() == -1) return 0;
    for (auto& [key, control] : controls_) {
        const ControlBinding binding = control->GetBinding();
        if (!binding.IsBound()) continue;  // nothing to show; its own value stays
        control->SetValue(binding.Read(*data_));
        control->Synchronize(nullptr);
    }
    return 0;
}

std::uint16_t CDerivedDialog::GetProfileWord(int slot) const {
    if (profile_ == nullptr || slot < 0 || slot >= kProfileSlots) return 0;
    return profile_[slot];
}

ITimer* CDerivedDialog::GetStatusTimer() const { return statusTimer_.get(); }

IExternFile* CDerivedDialog::GetRecordFile() const { return recordFile_.get(); }

bool CDerivedDialog::WaitForTaskQueue() {
    // Long enough for the board's defaults or a closing page's idle duty, short enough
    // not to hang the window.
    constexpr std::uint32_t kQueueWaitMs = 2000;
    return tasks_ == nullptr || tasks_->Fence(kQueueWaitMs);
}

std::uint32_t CDerivedDialog::Word(int index) const { return WordOrZero(data_, index); }

void CDerivedDialog::SetWord(int index, std::uint32_t value) {
    if (data_ != nullptr) data_->SetValue(index, value);
}

// ---- what every page repeats ------------------------------------------------------------

void CDerivedDialog::ReactToStoredChange(int, std::uint32_t, CDerivedControl*) {}

void CDerivedDialog::EndRunsOnce() {
    if (runsEnded_) return;
    runsEnded_ = true;
    EndRuns();
}

void CDerivedDialog::SetStatusPolling(bool on) {
    if (statusTimer_ == nullptr) return;
    statusTimer_->Stop();
    if (on && shown_) statusTimer_->Start(kStatusPollMs);
}

void CDerivedDialog::PollWhileShown(bool shown) {
    shown_ = shown;
    // Hidden, nothing polls: a page without a polling switch has only the status timer.
    if (!shown) SetStatusPolling(false);
    if (pollingKind_ < 0 || data_ == nullptr) return;
    const std::uint32_t value = shown ? 1 : 0;
    SetWord(pollingKind_, value);
    CDerivedControl* first = nullptr;
    for (const auto& [key, control] : controls_) {
        if (static_cast<int>(key >> 16) != pollingKind_) continue;
        Restore(key >> 16, key & 0xFFFFu);
        if (first == nullptr) first = control.get();
    }
    ReactToStoredChange(pollingKind_, value, first);
}

std::int32_t CDerivedDialog::GetTaskKind(std::string_view name) const {
    const auto it = taskNames_.find(name);
    return it != taskNames_.end() ? it->second : -1;
}

PwmChannelRecord* CDerivedDialog::PwmSetting(int channel) {
    if (channel < 0 || channel >= kPwmChannels) return nullptr;
    return &pwmSettings_[static_cast<std::size_t>(channel)];
}

GpioRecord* CDerivedDialog::ChannelSetting(int port) {
    if (port < 0 || port >= kPortLines) return nullptr;
    return &channelSettings_[static_cast<std::size_t>(port)];
}

AdcChannelRecord* CDerivedDialog::AdcSetting(int channel) {
    if (channel < 0 || channel >= kAdcChannels) return nullptr;
    return &adcSettings_[static_cast<std::size_t>(channel)];
}

InterruptInputRecord* CDerivedDialog::InterruptSetting(int input) {
    if (input < kFirstInterruptInput || input >= kFirstInterruptInput + kInterruptInputs) return nullptr;
    return &interruptSettings_[static_cast<std::size_t>(input - kFirstInterruptInput)];
}

// ---- destruction ------------------------------------------------------------------------

int CDerivedDialog::OnDestroyPage() {
    if (tasks_ != nullptr) tasks_->StopAll();
    SaveWindowPositions();
    if (statusTimer_ != nullptr && statusTimer_->IsRunning()) statusTimer_->Stop();
    if (recordFile_ != nullptr) recordFile_->EndRecord();
    RetireControls();
    for (std::unique_ptr<gui::Window>* owned :
         {&firstTachometer_, &secondTachometer_, &graphWindow_, &floatingDialog_}) {
        gui::deleteLater(std::move(*owned));
    }
    RetireOwnedWindows();
    secondControls_.clear();
    statusTimer_.reset();
    recordFile_.reset();
    return 1;
}

void CDerivedDialog::RetireControls() {
    ControlMap doomed;
    doomed.swap(controls_);
    // A control whose handler runs (its NotifyParent, or a dialog loop under it) is freed
    // once that handler has returned.
    for (auto& [key, control] : doomed) gui::deleteLater(std::move(control));
}

// ---- messages ---------------------------------------------------------------------------

CDerivedControl* CDerivedDialog::ControlFromMessage(gui::LParam l) const {
    // Compared as numbers: l is only used as a control once it is one of this page's.
    for (const auto& [key, control] : controls_) {
        if (reinterpret_cast<gui::LParam>(control.get()) == l) return control.get();
    }
    for (const auto& [key, control] : secondControls_) {
        if (reinterpret_cast<gui::LParam>(control) == l) return control;
    }
    return nullptr;
}

gui::LResult CDerivedDialog::HandleControlChanged(gui::WParam w, gui::LParam l) {
    if (destroyed_) return 0;
    const auto word = static_cast<std::int32_t>(static_cast<std::intptr_t>(w));
    CDerivedControl* control = ControlFromMessage(l);
    if (control == nullptr || word < CDerivedControl::kNoWord || word >= CDerivedControl::kWordCount) {
        platform::debugOutf(
            "CDerivedDialog: change report refused (word %d, not a control of this page "
            "or a word outside the block)\n",
            word);
        return 0;
    }
    if (!control->isEnabled()) {
        // A locked control (a row that does not run, what a demo plays) takes no change,
        // however the change came; it shows the stored value again.
        const ControlBinding binding = control->GetBinding();
        if (data_ != nullptr && binding.IsBound()) control->SetValue(binding.Read(*data_));
        return 1;
    }
    HoldToSliderRange(*control);
    runsEnded_ = false;  // a change may start a run again, even on a page closed before
    return OnControlChanged(word, control);
}

void CDerivedDialog::HoldToSliderRange(CDerivedControl& control) {
    // The edit and a slider bound to the same word and field store the same units (the
    // slider's position is the stored value), on a hard-coded page and a surface alike.
    const ControlBinding binding = control.GetBinding();
    if (!binding.IsBound() || control.GetControlKind() != CDerivedControl::kKindEdit) return;
    const std::uint32_t value = control.GetValue();
    std::uint32_t held = value;
    const CDerivedSlider* slider = nullptr;
    for (const auto& [key, other] : controls_) {
        const ControlBinding b = other->GetBinding();
        slider = dynamic_cast<const CDerivedSlider*>(other.get());
        if (slider != nullptr && b.word == binding.word && b.lowestBit == binding.lowestBit &&
            b.bitCount == binding.bitCount) {
            break;
        }
        slider = nullptr;
    }
    if (slider != nullptr) held = HeldToSliderRange(*slider, value);
    // Without a slider (or past what its range holds), a field keeps its own end: the
    // store would keep only the field's bits, turning a value past the end into another.
    if (binding.IsField() && binding.bitCount < 32) held = std::min(held, (std::uint32_t{1} << binding.bitCount) - 1);
    if (held != value) control.SetValue(held);
}

gui::LResult CDerivedDialog::windowProc(std::uint32_t message, gui::WParam w, gui::LParam l) {
    switch (message) {
        case gui::msg::BoardSetUpDue:
            if (w == boardTicket_ && !boardWork_.empty() && !settingUp_) {
                RunFirstBoardWork();
                AskForBoardSetUp();
            }
            return 1;
        case gui::msg::ControlChanged:
            return HandleControlChanged(w, l);
        case gui::msg::TaskData:
            return OnTaskData(w, l);
        case gui::msg::SavePositions:
            SaveWindowPositions();
            return 1;
        case gui::msg::RestorePositions:
            RestoreWindowPositions();
            return 1;
        case gui::msg::ReapplyDeviceData:
            RestoreDeviceData();
            return 1;
        case gui::msg::ConnectionState:
            SetConnectionState(static_cast<int>(static_cast<std::intptr_t>(w)));
            return 1;
        case gui::msg::SysCommand: {
            const std::uint32_t code = static_cast<std::uint32_t>(w) & 0xFFF0u;
            if (code == gui::syscmd::Minimise || code == gui::syscmd::Close) ShowSpeedWindows(false);
            if (code == gui::syscmd::Restore) ShowSpeedWindows(true);
            break;
        }
        case gui::msg::StatusPollTick:
            OnPollTimer();
            return 1;
        case gui::msg::ShowWindow:
            ShowSpeedWindows(w != 0);
            if (w == 0) {
                // A hidden page reads nothing from the board, nor records. Every way a page
                // goes out of sight (its close included) saves the places and tells the
                // owner here, once. A page hides only as it goes (a close, another model,
                // the board gone; minimising sends no ShowWindow): its waiting set-up is
                // dropped, as the next page sets the board up; shown again, it restores.
                DropBoardSetUp();
                pollAfterSetUp_ = false;
                PollWhileShown(false);
                SaveWindowPositions();
                gui::send(owner_, gui::msg::PageClosed, 0, 0);
            } else {
                // Only a real show: minimising sends no ShowWindow, so polling goes on.
                runsEnded_ = false;
                if (opening_ == Opening::Dropped) {
                    // The opening never reached the board: it gets what a calm opening
                    // gives it, the defaults the choice queued included.
                    gui::send(owner_, gui::msg::ReinitialiseBoard, 0, 0);
                    OpenOnBoard();
                } else if (setUpDropped_) {
                    RestoreDeviceData();
                }
                // Polling follows the board's set-up, as its frames did when the set-up held this thread.
                if (BoardSetUpPending())
                    pollAfterSetUp_ = true;
                else
                    PollWhileShown(true);
            }
            break;
        case gui::msg::Destroy:
            // Also when the window goes without a close: the motor must not be left
            // driven. This runs when the window goes, not when the object is freed later:
            // by then the next page has set the board up, and a rest sent now would undo it.
            // Nothing more: a waiting set-up is dropped, and this thread does not wait for
            // the queue (the program waits for it before it stops the queue).
            EndRunsOnce();
            DropBoardSetUp();
            destroyed_ = true;
            OnDestroyPage();
            break;
        case gui::msg::Close:
            EndRunsOnce();
            hide();  // its ShowWindow saves the places and tells the owner
            break;
        default:
            break;
    }
    return gui::Dialog::windowProc(message, w, l);
}

void CDerivedDialog::ShowSpeedWindows(bool visible) {
    for (gui::Window* speed : {firstTachometer_.get(), secondTachometer_.get(), graphWindow_.get()}) {
        if (speed != nullptr && speed->exists()) speed->show(visible);
    }
    // Owned windows hide with the page: a floating window left shown would lie over the
    // main window with nothing to close it. Only the page's own request shows it again.
    if (!visible && floatingDialog_ != nullptr && floatingDialog_->exists()) floatingDialog_->hide();
}

gui::LResult CDerivedDialog::onCommand(int id, int code, gui::Handle from) {
    // Only the menu's own commands; a control or accelerator notification with the same
    // id is not one.
    if (code == gui::notify::MenuOrAccelerator) {
        switch (id) {
            case pagemenu::kExportSpeedGraph:
                ChooseRecordFile();
                break;
            case pagemenu::kSaveParameters:
                SaveParameters();
                break;
            case pagemenu::kCloseWindow:
                post(gui::msg::SysCommand, gui::syscmd::Close);
                ShowSpeedWindows(false);
                break;
            case pagemenu::kVersion:
                gui::post(owner_, gui::msg::Command,
                          gui::makeWParam(static_cast<std::uint16_t>(pagemenu::kShowAbout), 0), 0);
                break;
            case pagemenu::kRollback:
                Rollback();
                break;
            default:
                break;
        }
    }
    return gui::Dialog::onCommand(id, code, from);
}

void CDerivedDialog::SaveParameters() {
    if (data_ == nullptr) return;
    if (data_->SaveToFile(deviceKey_) == 1) return;
    // A cancel says nothing; a failure says why, so the user does not take it for saved.
    const auto* store = dynamic_cast<const CDerivedDataContainer*>(data_);
    if (store == nullptr) return;
    const SettingsFileReport report = store->LastFileReport();
    if (report.ok() || report.status == SettingsFileStatus::Cancelled) return;
    gui::messageBox(this, QString::fromStdString(report.message), QStringLiteral("Save parameter setting"),
                    gui::MessageButtons::Ok, gui::MessageIcon::Warning);
}

void CDerivedDialog::Rollback() {
    ResetData();
    if (deviceKey_ == kFirstLensDevice) {
        ReloadSurface();
        return;
    }
    RestoreAll();
    RestoreDeviceData();
}
