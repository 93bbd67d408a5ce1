#include "app/QuillfenDlg.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "app/AboutDlg.h"
#include "app/DialogSelector.h"
#include "app/FirmwareUpdateDlg.h"
#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "parsers/ProfileInfo.h"
#include "platform/core/BoardPorts.h"
#include "platform/core/Debug.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Controls.h"
#include "tasks/GuiCommand.h"
#include "tasks/TaskListener.h"
#include "tasks/TaskWord.h"
#include "ui/DerivedDialog.h"

using namespace mainwin;

// A page's "Version" reaches this window as its own Help > Version command.
static_assert(kVersion == pagemenu::kShowAbout);

namespace {

// Fires once the modal loop runs, i.e. once the window is on the screen.
constexpr int kOpenedTimer = 1;
// Retries the open of a board port that is there but could not be opened.
constexpr int kRetryOpenTimer = 2;
// How long the program's end waits for the closed page's last records.
constexpr std::uint32_t kLastRecordsWaitMs = 2000;

constexpr const char* kFirmwareCaption = "Tamsiro Firmware Update";

}  // namespace

CQuillfenDlg::CQuillfenDlg(Services services) : gui::Dialog(MainTemplate()), services_(std::move(services)) {}

CQuillfenDlg::~CQuillfenDlg() {
    watch_.reset();
    if (exists()) destroy();
}

gui::DialogTemplate CQuillfenDlg::MainTemplate() {
    using gui::ControlKind;
    namespace st = gui::style;
    gui::DialogTemplate t;
    t.caption = QStringLiteral("Tamsiro");
    t.size = QSize(230, 70);
    t.fontFace = QStringLiteral("Arial");
    t.pointSize = 8;
    t.style = gui::dialogStyle::Caption | gui::dialogStyle::SystemMenu | gui::dialogStyle::MinimiseBox;
    t.menu = gui::MenuSpec{{
        gui::MenuPopup{QStringLiteral("File"),
                       {gui::MenuItem{kLoadParameters, QStringLiteral("Load parameter setting")},
                        gui::MenuItem{kSaveParameters, QStringLiteral("Save parameter setting")},
                        gui::MenuItem{kExitApplication, QStringLiteral("Exit Application")}}},
        gui::MenuPopup{QStringLiteral("Help"), {gui::MenuItem{kVersion, QStringLiteral("Version")}}},
    }};
    t.items = {
        {ControlKind::PushButton, gui::id::Ok, QStringLiteral("OK"), QRect(105, 48, 50, 14),
         st::Visible | st::TabStop | st::DefaultButton},
        {ControlKind::PushButton, gui::id::Cancel, QStringLiteral("Cancel"), QRect(168, 48, 50, 14),
         st::Visible | st::TabStop},
        // The labels are a little wider than the layout's 34 units, which cut the last
        // letters of their text at this font's widths.
        {ControlKind::Static, -1, QStringLiteral("Motor Type"), QRect(21, 12, 40, 8), st::Visible},
        {ControlKind::ComboBox, kMotorTypeList, QString(), QRect(21, 21, 69, 69),
         st::Visible | st::VScroll | st::TabStop},
        {ControlKind::Static, -1, QStringLiteral("Driver type"), QRect(123, 12, 40, 8), st::Visible},
        {ControlKind::ComboBox, kDriverList, QString(), QRect(123, 21, 93, 69),
         st::Visible | st::VScroll | st::TabStop},
        {ControlKind::Static, -1, QStringLiteral("->"), QRect(102, 24, 8, 8), st::Visible},
    };
    return t;
}

gui::ComboBox* CQuillfenDlg::MotorTypes() const { return itemAs<gui::ComboBox>(kMotorTypeList); }
gui::ComboBox* CQuillfenDlg::Drivers() const { return itemAs<gui::ComboBox>(kDriverList); }

void CQuillfenDlg::BuildDeviceList() { full_ = devicetable::FullList(); }

int CQuillfenDlg::ClearDeviceLists() {
    full_.clear();
    shown_.clear();
    return 1;
}

bool CQuillfenDlg::onInitDialog() {
    gui::Dialog::onInitDialog();
    BuildDeviceList();
    selector_ = services_.makeSelector ? services_.makeSelector() : std::make_unique<CDialogSelector>();
    commands_ = CCommandGenerator::GetInstance();
    if (services_.tasks != nullptr) services_.tasks->SetMicon(services_.board);

    page_ = nullptr;
    if (gui::ComboBox* types = MotorTypes()) {
        for (const std::string& type : devicetable::MotorTypes()) types->addString(QString::fromStdString(type));
    }

    // The watch starts before the first check, so an arrival in between is not missed
    // (a second check of an unchanged board changes nothing).
    if (services_.watchLocator) {
        const gui::Handle self = handle();
        watch_ = std::make_unique<platform::DeviceWatch>(
            services_.watchLocator, [self] { gui::post(self, gui::msg::DeviceChange, 0, 0); }, services_.watchPoll);
        watch_->start();
    }
    const int connected = UpdateConnectionState();

    if (gui::ComboBox* types = MotorTypes()) types->setCurSel(0);
    OnMotorTypeChanged();
    if (connected) InitializeBoard(true);

    RestoreWindowPosition();
    setTimer(kOpenedTimer, 0);
    return true;
}

gui::LResult CQuillfenDlg::windowProc(std::uint32_t message, gui::WParam w, gui::LParam l) {
    switch (message) {
        case gui::msg::PageClosed:
            if (gui::ComboBox* c = MotorTypes()) c->setEnabled(true);
            if (gui::ComboBox* c = Drivers()) c->setEnabled(true);
            return 1;
        case gui::msg::Destroy:
            // No more device notifications: the watch thread is joined here.
            watch_.reset();
            // Closing the program ends an update that still runs (its worker is joined).
            if (update_) {
                update_->Abort();
                update_.reset();
            }
            SaveWindowPosition();
            CloseDevicePage();
            selector_.reset();
            // The program ends: what the page queued to end its runs must be on the wire
            // before the queue stops, which drops what has not started. A page that goes
            // does not wait for the queue itself. Bounded (a time-out is said in the trace).
            if (services_.tasks != nullptr) services_.tasks->Fence(kLastRecordsWaitMs);
            break;
        case gui::msg::DeviceChange:
            // While an update runs, the board is the update's.
            if (update_) {
                update_->send(message, w, l);
                return 1;
            }
            OnDeviceChange();
            break;
        case gui::msg::TaskData:
            OnTaskData(w);
            return 1;
        case gui::msg::FirmwareUpdateEnded:
            update_.reset();
            // The board came back with the new firmware: the title follows it.
            ShowConnection(services_.board != nullptr && services_.board->IsConnected() == 1);
            // A board not back when the update stopped waiting may have arrived since (the
            // update took that notice): look now; later arrivals come as device changes.
            if (services_.board != nullptr && services_.board->IsConnected() == 0 && UpdateConnectionState() != 0) {
                InitializeBoard(true);
                break;
            }
            InitializeBoard(false);
            if (page_ != nullptr && services_.board != nullptr) {
                SendToPage(gui::msg::ConnectionState, static_cast<gui::WParam>(services_.board->IsConnected()));
            }
            break;
        case gui::msg::ReinitialiseBoard:
            // A page built while an update runs asks for this: the board is the update's
            // until it ends, and its end re-initialises the board anyway.
            if (!update_) InitializeBoard(false);
            return 1;
        case gui::msg::Timer:
            if (static_cast<int>(w) == kOpenedTimer) {
                killTimer(kOpenedTimer);
                platform::debugOutf("Tamsiro: main window open (%s)\n", text().toUtf8().constData());
                return 0;
            }
            if (static_cast<int>(w) == kRetryOpenTimer) {
                OnDeviceChange();
                return 0;
            }
            break;
        default:
            break;
    }
    return gui::Dialog::windowProc(message, w, l);
}

gui::LResult CQuillfenDlg::onCommand(int id, int code, gui::Handle from) {
    if (id == kMotorTypeList && code == gui::notify::ComboSelectionChange) {
        OnMotorTypeChanged();
        return 1;
    }
    if (id == kDriverList && code == gui::notify::ComboSelectionChange) {
        OnDriverTypeChanged();
        return 1;
    }
    if (code == gui::notify::ButtonClicked) {
        switch (id) {
            case gui::id::Ok:
                // The main window stays open; OK only shows the page.
                ShowDevicePage();
                return 1;
            case gui::id::Cancel:
            case kExitApplication:
                if (ConfirmSave()) Quit();
                return 1;
            case kSaveParameters:
                SaveParameters();
                return 1;
            case kLoadParameters:
                LoadParameters();
                return 1;
            case kVersion:  // also what a page's "Version" posts (0x8008)
                ShowAbout();
                return 1;
            default:
                break;
        }
    }
    return gui::Dialog::onCommand(id, code, from);
}

gui::LResult CQuillfenDlg::onSysCommand(std::uint32_t code) {
    if ((code & 0xFFF0u) == static_cast<std::uint32_t>(kAboutSystemItem)) {
        if (services_.about != nullptr && !services_.about->exists()) services_.about->doModal(this);
        return 0;
    }
    return gui::Dialog::onSysCommand(code);
}

void CQuillfenDlg::Quit() {
    if (isRunningModal()) {
        endDialog(gui::id::Cancel);
    } else if (exists()) {
        destroy();
    }
}

void CQuillfenDlg::SendToPage(std::uint32_t message, gui::WParam w) {
    if (page_ != nullptr && page_->exists()) page_->send(message, w, 0);
}

// --- connection ---

int CQuillfenDlg::UpdateConnectionState() {
    if (services_.board == nullptr) return 0;
    return CheckAndOpen();
}

void CQuillfenDlg::ShowConnection(bool connected) {
    // An open About box follows every change the title shows.
    if (services_.about != nullptr && services_.about->exists()) {
        services_.about->RefreshInformation();
        // Opening the port again keeps the GUI thread a while: the box is drawn now, as
        // the title is.
        services_.about->updateNow();
    }
    setText(QString::fromLatin1(connected ? kTitleConnected : kTitleDisconnected));
}

int CQuillfenDlg::ShowAbout() {
    if (services_.about == nullptr) return 0;
    if (services_.about->exists()) {
        services_.about->RefreshInformation();
        return 1;
    }
    activate();
    services_.about->doModal(this);
    return 1;
}

int CQuillfenDlg::CheckAndOpen() {
    int change = services_.board->CheckConnection();
    if (change == -1) {
        services_.board->Close();
        ShowConnection(false);
        SendToPage(gui::msg::ConnectionState, 0);
        // A port that hung up or came to name another device may already be back: a
        // removal followed at once by an arrival.
        change = services_.board->CheckConnection();
        if (change == 1 && page_ != nullptr && page_->exists()) {
            CloseDevicePage();
            OnMotorTypeChanged();
        }
    }
    if (change != 1) {
        // Connected, or nothing there: no open to retry.
        killTimer(kRetryOpenTimer);
        return 0;
    }
    // The title follows the open: a port that another program holds is not connected.
    if (services_.board->Open(0) != 1) {
        ShowConnection(false);
        setTimer(kRetryOpenTimer, static_cast<int>(std::clamp<long long>(services_.watchPoll.count(), 1, 60000)));
        return 0;
    }
    killTimer(kRetryOpenTimer);
    ShowConnection(true);
    SendToPage(gui::msg::ConnectionState, 1);
    SendToPage(gui::msg::BoardConnected, 1);
    return 1;
}

void CQuillfenDlg::OnDeviceChange() {
    if (update_) return;  // the retry timer too: the update has the board
    if (UpdateConnectionState() != 0) InitializeBoard(true);
    if (services_.board != nullptr && services_.board->IsConnected() == 0) {
        if (page_ != nullptr && page_->exists()) CloseDevicePage();
        OnMotorTypeChanged();
    }
}

void CQuillfenDlg::OnTaskData(gui::WParam w) {
    if (gui::hiWord(w) != 2) return;
    const std::uint16_t line = gui::loWord(w);
    if (line != 16 && line != 17) return;
    // The two board-type lines answer once each; their levels only matter to the
    // list, which is filled again once both have come.
    if (++replyCount_ >= 2) {
        replyCount_ = 0;
        OnMotorTypeChanged();
        KeepChosenDriver();
    }
}

void CQuillfenDlg::KeepChosenDriver() {
    // The main window takes input before the replies come: a driver chosen meanwhile
    // has its page already (or gets it once its firmware question is answered), which
    // the refill must not leave unlisted and out of reach of OK. Where the refilled list
    // still holds that driver, it stays chosen.
    if (page_ == nullptr && !choosingDriver_) return;
    gui::ComboBox* drivers = Drivers();
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        if (shown_[i].code != code_) continue;
        if (drivers != nullptr) drivers->setCurSel(static_cast<int>(i));
        if (Window* ok = item(gui::id::Ok)) ok->setEnabled(true);
        return;
    }
}

// --- device lists ---

int CQuillfenDlg::FillDriverList(std::uint32_t low, std::uint32_t high) {
    gui::ComboBox* drivers = Drivers();
    shown_.clear();
    if (drivers != nullptr) drivers->resetContent();
    for (const devicetable::Entry& e : full_) {
        const std::uint32_t key = devicetable::Key(e.code);
        if (key < low || key > high) continue;
        shown_.push_back(e);
        if (drivers != nullptr) drivers->addString(QString::fromStdString(e.name));
    }
    if (shown_.empty()) {
        shown_.push_back({devicetable::kNotAvailableCode, std::string()});
        if (drivers != nullptr) drivers->addString(QString::fromLatin1(devicetable::kNotAvailableName));
    }
    if (Window* ok = item(gui::id::Ok)) ok->setEnabled(false);
    return 1;
}

int CQuillfenDlg::OnMotorTypeChanged() {
    const int selection = MotorTypes() != nullptr ? MotorTypes()->curSel() : -1;
    const devicetable::KeyRange range = devicetable::RangeForMotorType(selection);
    return FillDriverList(range.low, range.high);
}

int CQuillfenDlg::OnDriverTypeChanged() {
    gui::ComboBox* drivers = Drivers();
    const int selection = drivers != nullptr ? drivers->curSel() : -1;
    if (selection < 0 || static_cast<std::size_t>(selection) >= shown_.size()) {
        if (Window* ok = item(gui::id::Ok)) ok->setEnabled(false);
        return 0;
    }
    const devicetable::Entry entry = shown_[static_cast<std::size_t>(selection)];
    code_ = entry.code;
    kind_ = devicetable::Kind(entry.code);
    index_ = devicetable::Index(entry.code);
    const QString name = drivers->itemText(selection).value_or(QString()).left(260);

    // The firmware question's loop may take the board-type replies meanwhile.
    choosingDriver_ = true;
    const int firmware = CheckFirmware(kind_, index_, name);
    choosingDriver_ = false;
    if (firmware == kFirmwareOk) InitializeBoard(false);

    page_ = selector_ ? selector_->GetDialogPointer(this, kind_, index_, name) : nullptr;
    if (Window* ok = item(gui::id::Ok)) ok->setEnabled(page_ != nullptr);
    if (page_ != nullptr) {
        page_->setParent(nullptr);
        if (firmware == kNotChecked && services_.board != nullptr) {
            SendToPage(gui::msg::ConnectionState, static_cast<gui::WParam>(services_.board->IsConnected()));
        }
    }
    return 1;
}

// --- firmware ---

int CQuillfenDlg::CheckFirmware(std::uint32_t kind, std::uint32_t index, const QString& name) {
    if (services_.board == nullptr || services_.board->IsConnected() == 0) return kNotChecked;
    const std::optional<devicetable::FirmwareNeed> need = devicetable::FirmwareFor(kind, index);
    if (!need) return kFirmwareOk;
    const int mask = need->olderThan ? services_.board->CheckVersionOlder(need->mainVersion, need->secondVersion)
                                     : services_.board->CheckVersionEqual(need->mainVersion, need->secondVersion);
    if (mask == 0) return kFirmwareOk;

    const QString question =
        QStringLiteral(
            "The version of daughter board firmware is not suitable to control %1.\n"
            "If you press 'Yes' button, update on firmware will start. Or press 'No' button if you do "
            "not wish such update.")
            .arg(name)
            .left(511);
    const int answer = gui::messageBox(this, question, QString::fromLatin1(kFirmwareCaption),
                                       gui::MessageButtons::YesNo, gui::MessageIcon::Question);
    if (answer != gui::id::Yes) return kFirmwareOk;
    if (update_) return kFirmwareOk;  // one update at a time
    update_ = services_.makeUpdateDialog ? services_.makeUpdateDialog(services_.board)
                                         : gui::makeWindow<CFirmwareUpdateDlg>(services_.board);
    update_->SetOwner(handle());
    if (!update_->createModeless(this) || !update_->StartUpdate(mask, need->mainImage, need->secondImage)) {
        platform::debugOut("Firmware update: the update could not start\n");
        update_.reset();
        return kFirmwareOk;
    }
    update_->show(true);
    return kUpdateStarted;
}

// --- device page ---

int CQuillfenDlg::ShowDevicePage() {
    if (page_ == nullptr || !page_->exists()) return 0;
    if (gui::ComboBox* c = MotorTypes()) c->setEnabled(false);
    if (gui::ComboBox* c = Drivers()) c->setEnabled(false);
    page_->show(true);
    page_->raiseAboveSiblings();
    page_->activate();
    return 1;
}

int CQuillfenDlg::CloseDevicePage() {
    if (page_ == nullptr) return 0;
    if (page_->exists()) page_->hide();
    if (selector_) selector_->DeleteDialogPointer();
    page_ = nullptr;
    return 1;
}

// --- parameter sets ---

bool CQuillfenDlg::ConfirmSave() {
    const int answer = gui::messageBox(this, QStringLiteral("Save parameter setting ?"), QStringLiteral("Question"),
                                       gui::MessageButtons::YesNoCancel, gui::MessageIcon::Information);
    if (answer == gui::id::No) return true;
    // Quitting after a save that did not happen would lose the changes.
    if (answer == gui::id::Yes) return SaveParameters() == 1;
    return false;
}

int CQuillfenDlg::SaveParameters() {
    if (services_.data == nullptr) return 0;
    const int result = services_.data->SaveToFile(CDerivedDataContainer::kAllDevices);
    const SettingsFileReport report = services_.data->LastFileReport();
    if (result != 1 && report.status != SettingsFileStatus::Cancelled) {
        const QString text = report.message.empty() ? QStringLiteral("The parameter setting could not be saved.")
                                                    : QString::fromStdString(report.message);
        gui::messageBox(this, text, QStringLiteral("Save parameter setting"), gui::MessageButtons::Ok,
                        gui::MessageIcon::Error);
    }
    return result == 1 ? 1 : 0;
}

int CQuillfenDlg::LoadParameters() {
    if (services_.data == nullptr) return 0;
    services_.data->LoadFromFile();
    const SettingsFileReport report = services_.data->LastFileReport();
    // The open page is told whatever came of the load (also a cancel, or a file that
    // loaded nothing): what is in the store is what it shows, even when a later record
    // stopped the load.
    SendToPage(gui::msg::ReapplyDeviceData, 0);
    if (!report.ok() && report.status != SettingsFileStatus::Cancelled) {
        const QString text = report.message.empty() ? QStringLiteral("The parameter setting could not be loaded.")
                                                    : QString::fromStdString(report.message);
        gui::messageBox(this, text, QStringLiteral("Load parameter setting"), gui::MessageButtons::Ok,
                        gui::MessageIcon::Error);
    }
    return report.ok() ? 1 : 0;
}

// --- window position ---

void CQuillfenDlg::RestoreWindowPosition() {
    ProfileRect saved;
    if (services_.profile == nullptr || services_.profile->GetRect(CProfileInfo::kMainWindow, &saved) == 0) return;
    const QPoint topLeft(saved.left, saved.top);
    // A position on a screen that is no longer there would put the window out of reach.
    if (QGuiApplication::screenAt(topLeft) == nullptr) return;
    const QRect current = windowRect();
    moveWindow(QRect(topLeft, current.size()));
}

void CQuillfenDlg::SaveWindowPosition() {
    if (services_.profile == nullptr || !exists()) return;
    const QRect r = windowRect();
    services_.profile->SetRect(CProfileInfo::kMainWindow,
                               ProfileRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
}

void CQuillfenDlg::BringToFront() {
    if (!exists()) return;
    restore();
    show(true);
    raiseAboveSiblings();
    activate();
}
