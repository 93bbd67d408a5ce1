// The board unplugged while a window of the open page waits in a file dialog or a message
// box: the page and its windows go, the dialog closes under its caller, and the program
// goes on saying the board is gone.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "PageRigSupport.h"
#include "pages/bldc/BldcPage.h"
#include "pages/bldc/StartupDialog.h"
#include "pages/dc/DcPage.h"
#include "pages/dual/DualPage.h"
#include "pages/stepper/StepperPage.h"
#include "surfacepage/LensPage.h"

using namespace apptest;

namespace {

// Unplugs the board once a dialog of class T shows; a dialog still open after 10 s is
// cancelled, so a loop that misses the unplug fails the test instead of hanging it.
template <class T>
struct UnplugUnderDialog {
    explicit UnplugUnderDialog(SimLink& sim)
        : unplug(guitest::whenReady([] { return guitest::shownDialog<T>() != nullptr; }, [this, &sim] {
              sim.sim.unplug();
              unplugged = true;
          })) {}
    bool unplugged = false;
    std::unique_ptr<QTimer> unplug;
    std::unique_ptr<QTimer> watchdog = guitest::dialogWatchdog();
};

// The main window saw the removal: the page closed, the title says so.
template <class Page>
void ExpectBoardGone(PageRig<Page>& r) {
    EXPECT_TRUE(guitest::waitFor([&] { return r.rig.Title().contains("USB Disconnected"); }, 5000))
        << r.rig.Title().toStdString();
    EXPECT_EQ(r.rig.window->CurrentPage(), nullptr);
    guitest::settle();  // the page and its windows are freed now
}

}  // namespace

TEST(Unplug, WhileTheStartupTestsResultFileDialogIsOpen) {
    PageRig<CDeviceDialog_BLDC> r;
    CDeviceDialog_BLDC* page = r.Open(0x302);
    ASSERT_NE(page, nullptr);
    auto* test = dynamic_cast<bldc::COptionDlg_BLDCTest*>(page->TestDialog());
    ASSERT_NE(test, nullptr);
    guitest::userClick(*page->FindControl(15, 0));  // "Start Testmode"
    guitest::userClick(*test->FindControl(7, 0));   // start, then abort
    guitest::userClick(*test->FindControl(8, 0));
    gui::setFileDialogProvider(nullptr);  // the real dialog
    UnplugUnderDialog<QFileDialog> unplug(r.sim);
    guitest::userClick(*test->FindControl(9, 0));  // "Save Result"
    UnexpectedDialogs::Install();
    EXPECT_TRUE(unplug.unplugged);
    ExpectBoardGone(r);
}

TEST(Unplug, WhileTheStepperPagesRecordFileChooserIsOpen) {
    PageRig<CDeviceDialog_Stepper> r;
    CDeviceDialog_Stepper* page = r.Open(0x100);
    ASSERT_NE(page, nullptr);
    gui::setFileDialogProvider(nullptr);
    UnplugUnderDialog<QFileDialog> unplug(r.sim);
    page->send(gui::msg::Command, gui::makeWParam(pagemenu::kExportSpeedGraph, gui::notify::MenuOrAccelerator), 0);
    UnexpectedDialogs::Install();
    EXPECT_TRUE(unplug.unplugged);
    ExpectBoardGone(r);
}

TEST(Unplug, WhileABldcPagesFileOpenErrorIsShown) {
    PageRig<CDeviceDialog_BLDC> r;
    CDeviceDialog_BLDC* page = r.Open(0x300);
    ASSERT_NE(page, nullptr);
    TempDir dir;
    {
        Dialogs dialogs;
        dialogs.answerFile(QString::fromStdString((dir.path() / "no-such-folder" / "speed.csv").string()));
        page->send(gui::msg::Command, gui::makeWParam(pagemenu::kExportSpeedGraph, gui::notify::MenuOrAccelerator), 0);
    }
    CDerivedControl* record = page->FindControl(bldc::kRecord, 0);
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(record->isEnabled());
    gui::setMessageBoxProvider(nullptr);
    UnplugUnderDialog<QMessageBox> unplug(r.sim);
    guitest::userClick(*record);  // "File open error"
    UnexpectedDialogs::Install();
    EXPECT_TRUE(unplug.unplugged);
    ExpectBoardGone(r);
}

namespace {

// The page's own File > "Save parameter setting" chosen with the mouse; the file dialog
// (the main window's) runs a nested loop, in which the board is unplugged and the main
// window deletes the page, and stays open a while after; then it is answered with
// `answer` (a name: Save; empty: Cancel or Escape). The program goes on: the main window
// says the board is gone, sees it plugged in again and opens the page again.
template <class Page>
void UnplugWhileThePagesSaveDialogIsOpen(std::uint32_t key, bool save, std::uint16_t secondVersion = 0) {
    SCOPED_TRACE(ModelName(key) + (save ? " (Save)" : " (Cancel)"));
    PageRig<Page> r;
    if (secondVersion != 0) r.sim.sim.setSecondVersion(secondVersion);
    Page* page = r.Open(key);
    ASSERT_NE(page, nullptr);
    const gui::Handle pageHandle = page->handle();
    TempDir dir;
    const std::filesystem::path file = dir.path() / "parameters.dat";
    bool goneInDialog = false;
    {
        guitest::NestedLoopFiles dialog([&] { r.sim.sim.unplug(); },
                                        [&] {
                                            goneInDialog = goneInDialog || (r.rig.window->CurrentPage() == nullptr &&
                                                                            !gui::isWindow(pageHandle));
                                            return goneInDialog;
                                        },
                                        save ? QString::fromStdString(file.string()) : QString());
        const auto watchdog = guitest::dialogWatchdog();
        ASSERT_TRUE(guitest::userMenuItem(*page, pagemenu::kSaveParameters));
        ASSERT_TRUE(guitest::waitFor([&] { return dialog.closed == 1; }, 15000)) << "the save dialog never closed";
        EXPECT_EQ(dialog.requests.size(), 1u);
    }
    UnexpectedDialogs::Install();
    EXPECT_TRUE(goneInDialog) << "the page was still there when the dialog closed";
    // A Save chosen after the page went still writes the settings; a cancel writes nothing.
    EXPECT_EQ(std::filesystem::exists(file) && std::filesystem::file_size(file) > 0, save);
    ExpectBoardGone(r);
    // The main window goes on: the board plugged in again is seen and a page opens.
    ASSERT_TRUE(r.sim.sim.replug());
    EXPECT_TRUE(guitest::waitFor([&] { return r.rig.Title() == QString(mainwin::kTitleConnected); }, 10000))
        << r.rig.Title().toStdString();
    // The board set up again: its two answers, as at the start.
    EXPECT_TRUE(guitest::waitFor([&] { return r.rig.window->count(gui::msg::TaskData) >= 4; }, 10000));
    r.rig.tasks.WaitIdle(5000);
    Page* again = r.Open(key);
    ASSERT_NE(again, nullptr) << "no page opened after the board came back";
    EXPECT_TRUE(again->exists());
}

}  // namespace

TEST(Unplug, WhileTheSaveDialogOfAStepperPagesOwnMenuIsOpen) {
    UnplugWhileThePagesSaveDialogIsOpen<CDeviceDialog_Stepper>(0x100, true);
    UnplugWhileThePagesSaveDialogIsOpen<CDeviceDialog_Stepper>(0x100, false);
}

TEST(Unplug, WhileTheSaveDialogOfADualStepperPagesOwnMenuIsOpen) {
    UnplugWhileThePagesSaveDialogIsOpen<CDeviceDialog_StepperDual>(0x106, true, 0x1216);
    UnplugWhileThePagesSaveDialogIsOpen<CDeviceDialog_StepperDual>(0x106, false, 0x1216);
}

TEST(Unplug, WhileTheSaveDialogOfADcPagesOwnMenuIsOpen) {
    UnplugWhileThePagesSaveDialogIsOpen<CDeviceDialog_DC>(0x200, true);
    UnplugWhileThePagesSaveDialogIsOpen<CDeviceDialog_DC>(0x200, false);
}

TEST(Unplug, WhileTheSaveDialogOfABldcPagesOwnMenuIsOpen) {
    UnplugWhileThePagesSaveDialogIsOpen<CDeviceDialog_BLDC>(0x300, true);
    UnplugWhileThePagesSaveDialogIsOpen<CDeviceDialog_BLDC>(0x300, false);
}

TEST(Unplug, WhileTheSaveDialogOfALensPagesOwnMenuIsOpen) {
    UnplugWhileThePagesSaveDialogIsOpen<CDeviceDialog_Lens>(0x400, true);
    UnplugWhileThePagesSaveDialogIsOpen<CDeviceDialog_Lens>(0x400, false);
}
