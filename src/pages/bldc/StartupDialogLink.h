// What the BLDC page asks of its start-up test dialog. The dialog is a modeless
// top-level window owned by the page, created hidden with the page when the device's profile
// word 15 is non-zero; the page shows it from "Start Testmode" and keeps it told of the
// PWMIN setting and the pole count. GUI thread only.
#pragma once

#include <cstdint>
#include <memory>

class IDataContainer;
class CRG1Micon;

namespace gui {
class Window;
}

namespace bldc {

class IStartupTestDialog {
public:
    // Destroys the window: a running test is aborted and its worker joined first.
    virtual ~IStartupTestDialog() = default;

    // The device's control profile (borrowed for the dialog's life); FG pulses per
    // electrical turn = profile[16] & 15. False for null.
    virtual bool SetDeviceProfile(const std::uint16_t* profile) = 0;
    // The data store and the device key whose word 18 (pole pairs) the dialog reads.
    // False for a null store.
    virtual bool SetDataSource(IDataContainer* store, std::int32_t deviceKey) = 0;
    // The measurement timer setting (the page's 39). 1.
    virtual int SetMeasureParam(int setting) = 0;
    // 0: low level turns the motor, 1: high level. Sets the combo box too. 1.
    virtual int SetStartStopType(int type) = 0;
    // The pole count changed: target rpm from the target FG, Target RPM / Target FG
    // enabling. 1.
    virtual int RefreshFromDevice() = 0;
    // The PWMIN channel, its frequency in Hz, the drive and the idle duty. 1.
    virtual int SetPwmSetting(int channel, int frequency, int driveDuty, int idleDuty) = 0;
    // Shows the window (the page's "Start Testmode").
    virtual void ShowDialog() = 0;
    // What closing the window does: a running test is aborted (as "Abort Test" does,
    // the worker joined and the motor stopped), then the window is hidden.
    virtual void CloseDialog() = 0;
    virtual bool IsShown() const = 0;
};

// Frees the dialog through the window layer's deferred delete: its window goes at once,
// the object once no handler of it runs (the page may go while "Save Result" waits in
// its file dialog).
struct ReleaseStartupTestDialog {
    void operator()(IStartupTestDialog* dialog) const;
};
using StartupTestDialogPtr = std::unique_ptr<IStartupTestDialog, ReleaseStartupTestDialog>;

// Creates the dialog's window, hidden, driving `board`, owned by `owner` (the page: input
// to the dialog first lets the page finish its board set-up; null: no owner). Null when
// it cannot be created.
StartupTestDialogPtr CreateStartupTestDialog(CRG1Micon* board, gui::Window* owner = nullptr);

}  // namespace bldc
