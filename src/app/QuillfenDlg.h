// The main window: the motor type and driver lists, the USB connection state in the
// title, board initialisation, the firmware check, the device page of the chosen
// driver, and the parameter set menu. The application runs it modally; its loop is the
// program's main loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/DeviceTable.h"
#include "board/Records.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/Window.h"

class CAboutDlg;
class CFirmwareUpdateDlg;
class CDerivedDataContainer;
class CProfileInfo;
class CRG1Micon;
class ISelector;
class ITaskListener;
class CCommandGenerator;

namespace gui {
class ComboBox;
}

namespace platform {
class DeviceWatch;
class IBoardLocator;
}  // namespace platform

// Control and command ids of the main window.
namespace mainwin {
inline constexpr int kMotorTypeList = 1024;
inline constexpr int kDriverList = 1025;
inline constexpr int kLoadParameters = 32775;
inline constexpr int kSaveParameters = 32771;
inline constexpr int kExitApplication = 32774;
inline constexpr int kVersion = 32776;
inline constexpr int kAboutSystemItem = 0x10;

inline constexpr const char* kTitleConnected = "Tamsiro (USB Connected)";
inline constexpr const char* kTitleDisconnected = "Tamsiro (USB Disconnected)";

// Results of the firmware check.
inline constexpr int kNotChecked = 0;     // no board
inline constexpr int kFirmwareOk = 7;     // nothing to update, or the update was declined
inline constexpr int kUpdateStarted = 6;  // "Yes": the update dialog runs
}  // namespace mainwin

// The board init records, in the order they are queued.
namespace boardinit {
inline constexpr std::uint32_t kGpioWriteWord = 0x02000000u;
inline constexpr std::uint32_t kGpioReadWord = 0x02010000u;
inline constexpr std::uint32_t kPwmWord = 0x01000000u;
// The board's pacing, held by the task queue after each record (ms): a GPIO record, a
// PWM record, the extra settle after the last PWM record, a board-type read.
inline constexpr std::uint32_t kGpioPauseMs = 5;
inline constexpr std::uint32_t kPwmPauseMs = 2;
inline constexpr std::uint32_t kSettlePauseMs = 100;
inline constexpr std::uint32_t kReadPauseMs = 10;
// Lines 0 to 33 for the chosen device kind (0 before a driver is chosen).
std::vector<GpioRecord> GpioDefaults(std::uint32_t kind);
// Channels 0 to 8.
std::vector<PwmChannelRecord> PwmDefaults();
// The reads of lines 16 and 17 that tell the board type.
std::vector<GpioRecord> BoardTypeQuery();
}  // namespace boardinit

class CQuillfenDlg : public gui::Dialog {
public:
    // What the main window borrows from the application.
    struct Services {
        CRG1Micon* board = nullptr;
        ITaskListener* tasks = nullptr;
        CDerivedDataContainer* data = nullptr;
        CProfileInfo* profile = nullptr;
        // The About box the Help menu runs; null: none.
        CAboutDlg* about = nullptr;
        // Made for each update; empty: the real dialog over the board link.
        std::function<gui::WindowPtr<CFirmwareUpdateDlg>(CRG1Micon*)> makeUpdateDialog;
        // Watches the board's port for arrival and removal; null: no watch.
        std::shared_ptr<platform::IBoardLocator> watchLocator;
        std::chrono::milliseconds watchPoll{1000};
        // Makes the page selector; empty: the real one.
        std::function<std::unique_ptr<ISelector>()> makeSelector;
    };

    explicit CQuillfenDlg(Services services);
    ~CQuillfenDlg() override;

    static gui::DialogTemplate MainTemplate();

    bool onInitDialog() override;
    gui::LResult windowProc(std::uint32_t message, gui::WParam w, gui::LParam l) override;

    // Empties the full and the shown device lists.
    int ClearDeviceLists();
    // Queues the default GPIO and PWM records and, when asked, the board type query.
    int InitializeBoard(bool queryBoardType);
    // Queues the task word with its record and the pause the queue holds after it.
    int SendBoardCommand(std::uint32_t word, const void* record, std::uint32_t size, std::uint32_t pauseMs);
    int SendGpioDefaults();
    int SendPwmDefaults();
    int QueryBoardType();
    // Re-checks the board: 1 only when it has just been connected.
    int UpdateConnectionState();
    int FillDriverList(std::uint32_t low, std::uint32_t high);
    int OnMotorTypeChanged();
    int OnDriverTypeChanged();
    // 0 without a board; 7 nothing needs updating or "No"; 6 "Yes": the update dialog
    // runs, and the page hears of the board once it has ended (0x8280).
    int CheckFirmware(std::uint32_t kind, std::uint32_t index, const QString& name);
    int ShowDevicePage();
    int CloseDevicePage();
    // Asks whether to save before quitting; true when the program may quit.
    bool ConfirmSave();
    // 1 when the parameter file was written; a failure (not a cancel) is shown.
    int SaveParameters();
    // 1 when a file was read completely; a failure (not a cancel) is shown.
    int LoadParameters();
    // Runs the About box modally, or refreshes it when it is already open.
    int ShowAbout();
    void RestoreWindowPosition();
    void SaveWindowPosition();
    // Shows the window if hidden or minimised, raises it and makes it active.
    void BringToFront();

    // --- state, for the application and for tests ---
    gui::Dialog* CurrentPage() const { return page_; }
    const std::vector<devicetable::Entry>& ShownDevices() const { return shown_; }
    const std::vector<devicetable::Entry>& FullDevices() const { return full_; }
    std::uint32_t Code() const { return code_; }
    std::uint32_t Kind() const { return kind_; }
    std::uint32_t Index() const { return index_; }
    int BoardTypeReplies() const { return static_cast<int>(replyCount_); }
    ISelector* Selector() const { return selector_.get(); }
    CFirmwareUpdateDlg* UpdateDialog() const { return update_.get(); }

protected:
    gui::LResult onCommand(int id, int code, gui::Handle from) override;
    gui::LResult onSysCommand(std::uint32_t code) override;

private:
    void BuildDeviceList();
    // The connection check and open behind UpdateConnectionState.
    int CheckAndOpen();
    // The title for the board's state; an open About box is brought to the same state
    // first, so the two never disagree.
    void ShowConnection(bool connected);
    void OnDeviceChange();
    void OnTaskData(gui::WParam w);
    // After the board-type refill: the open page's driver chosen again when listed.
    void KeepChosenDriver();
    void Quit();
    gui::ComboBox* MotorTypes() const;
    gui::ComboBox* Drivers() const;
    void SendToPage(std::uint32_t message, gui::WParam w);

    Services services_;
    std::unique_ptr<ISelector> selector_;
    gui::Dialog* page_ = nullptr;  // owned by the selector
    std::vector<devicetable::Entry> full_;
    std::vector<devicetable::Entry> shown_;
    std::uint32_t replyCount_ = 0;
    CCommandGenerator* commands_ = nullptr;
    std::uint32_t code_ = 0;
    std::uint32_t kind_ = 0;
    std::uint32_t index_ = 0;
    bool choosingDriver_ = false;  // a driver's firmware check runs (it may ask)
    std::unique_ptr<platform::DeviceWatch> watch_;
    gui::WindowPtr<CFirmwareUpdateDlg> update_;
};
