// The BLDC start-up test dialog: a modeless top-level window (template 163, "BLDC
// Testmode") with the test's parameter controls, the result list, the histogram and the
// statistics. It starts and aborts the worker (CBldcStartupTest) and shows what the
// worker posts.
//
// Owns: the parameter controls (built in code from StartupLayout.h), the histogram
// window, the worker, the results and the line log with its Save dialog. Borrows: the
// board link (the worker drives it), the data store and the device profile (read on the
// GUI thread only: the worker gets everything it needs at Test Start and reads no
// control). GUI thread only, except that the worker posts TestResult to its handle.
//
// Closing the window aborts a running test and hides the window: no test goes on
// cycling the motor out of sight. Destroying it (or deleting the object) aborts a
// running test and joins the worker first.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "pages/bldc/StartupDialogLink.h"
#include "pages/bldc/StartupResults.h"
#include "pages/bldc/StartupTest.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/Drawing.h"
#include "ui/RecordFile.h"

class CDerivedControl;
class CDerivedFile;
class CDerivedGraphLabel;
class CPageFileNames;

namespace bldc {

class COptionDlg_BLDCTest final : public gui::Dialog, public IStartupTestDialog {
public:
    // `now` dates the saved file's banners (the local time when empty).
    explicit COptionDlg_BLDCTest(CRG1Micon* board, LocalTimeSource now = {});
    ~COptionDlg_BLDCTest() override;

    // ---- IStartupTestDialog ------------------------------------------------------------
    bool SetDeviceProfile(const std::uint16_t* profile) override;
    bool SetDataSource(IDataContainer* store, std::int32_t deviceKey) override;
    int SetMeasureParam(int setting) override;
    int SetStartStopType(int type) override;
    int RefreshFromDevice() override;
    int SetPwmSetting(int channel, int frequency, int driveDuty, int idleDuty) override;
    void ShowDialog() override;
    void CloseDialog() override;
    bool IsShown() const override { return gui::Window::isShown(); }

    // ---- for the window's own use and its tests ---------------------------------------
    // The parameter control (kind, index): index 0 the slider, combo box or button, 1 the
    // edit, 100 the caption, 101 the unit. Null when there is none.
    CDerivedControl* FindControl(int kind, int index) const;
    bool IsRunning() const { return running_; }
    const CStartupResults& Results() const { return results_; }
    CDerivedGraphLabel* Histogram() const { return histogram_.get(); }
    std::uint32_t BinWidth() const { return binWidth_; }

    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;

protected:
    bool onInitDialog() override;
    gui::LResult onClose() override;
    void onDestroy() override;

private:
    void BuildControls();
    void BuildSliderGroup(int kind, int x, int y);
    void BuildHistogram();
    void OnParameterChanged(int kind, CDerivedControl* control);
    void OnResult(gui::WParam w, gui::LParam l);
    void StartTest();
    void AbortTest();
    void EnableControls(bool running);
    void ClearResults();
    void ShowStatistics();
    // Shows `value` in the kind's slider and edit.
    void Resync(int kind, std::uint32_t value);
    std::uint32_t SliderValue(int kind) const;
    void SetHistogramRanges();
    std::uint32_t PolePairs() const;

    std::map<std::uint32_t, std::unique_ptr<CDerivedControl>> controls_;
    std::unique_ptr<CDerivedGraphLabel> histogram_;
    std::unique_ptr<CPageFileNames> fileNames_;
    std::unique_ptr<CDerivedFile> log_;
    LocalTimeSource now_;
    gui::Font font_;
    CBldcStartupTest test_;
    CStartupResults results_;

    IDataContainer* store_ = nullptr;
    std::int32_t deviceKey_ = 0;
    const std::uint16_t* profile_ = nullptr;
    std::uint32_t fgPulses_ = 1;
    TestPwm pwm_;
    int measureSetting_ = 19;
    int startStopType_ = 0;
    std::uint32_t binWidth_ = 500;
    std::uint32_t trials_ = 10;
    std::uint32_t timeoutMs_ = 10000;
    std::uint32_t offTimeMs_ = 1000;
    std::uint32_t targetRpm_ = 0;
    std::uint32_t targetFg_ = 1;
    bool running_ = false;
};

}  // namespace bldc
