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
#include "pages/stepper/StepperPage.h"

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
