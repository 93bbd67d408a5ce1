// The firmware update as a user meets it, against the simulator's boot loader: the
// question answered "Yes" with a click, the update dialog's progress, the closing
// message, and the page that opens and works on the new firmware. Not a threaded suite:
// the page's dials draw on Qt's own thread pool, which the thread checker cannot see
// into.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <cstdlib>

#include "PageRigSupport.h"
#include "app/FirmwareUpdateDlg.h"
#include "board/BootLoader.h"
#include "pages/stepper/StepperPage.h"
#include "res/firmware/FirmwareImages.h"

using namespace apptest;
using boardsim::LoaderFault;

namespace {

// The visible message box with this caption, or null.
QMessageBox* ShownBox(const QString& caption) {
    auto* box = guitest::shownDialog<QMessageBox>();
    return box != nullptr && box->windowTitle() == caption ? box : nullptr;
}

// Clicks the box's button with this role, as a user does.
void ClickButton(QMessageBox* box, QMessageBox::StandardButton which) {
    QAbstractButton* button = box->button(which);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}


}  // namespace

TEST(FirmwareUpdate, YesUpdatesTheSecondControllerWithProgressAndThePageOpensOnTheNewFirmware) {
    const std::string loaderPath = UniqueLinkPath("tamsiro-loader");
    SimLink sim("tamsiro-board", loaderPath);
    ASSERT_TRUE(sim.started);
    sim.sim.setSecondVersion(0x1216);  // the KT3321(Stepper) wants 0x1319
    Rig rig(sim.path());
    UseLoader(rig.board, loaderPath);
    appServices().data = &rig.data;
    appServices().tasks = &rig.tasks;
    appServices().board = &rig.board;
    static platform::SystemClock systemClock;

    std::vector<QString> progress;
    std::vector<Bytes> worked;
    QString finished;
    bool screenshot = false;
    CDeviceDialog_Stepper* page = nullptr;
    QString pageTitle;
    std::unique_ptr<QTimer> answerYes, watch, answerDone;
    const int result = rig.RunModal(
        [&](CQuillfenDlg& w) {
            ASSERT_TRUE(guitest::waitFor([&] { return rig.window->count(gui::msg::TaskData) >= 2; }));
            ASSERT_TRUE(rig.tasks.WaitIdle(5000));
            platform::ScopedClock real(systemClock);
            gui::setMessageBoxProvider(nullptr);  // the real boxes, clicked
            answerYes = guitest::whenReady([&] { return ShownBox(fwupdate::kCaption) != nullptr; }, [&] {
                ClickButton(ShownBox(fwupdate::kCaption), QMessageBox::Yes);
            });
            // Every status line text the dialog shows, and a picture mid-download.
            watch = guitest::whenReady(
                [&] {
                    if (auto* d = w.UpdateDialog(); d != nullptr && d->exists()) {
                        const QString now = d->item(fwupdate::kSecondStatus)->text();
                        if (progress.empty() || progress.back() != now) progress.push_back(now);
                        // The first picture of the update under way (a download takes a moment only).
                        if (!screenshot && !now.isEmpty() && now != "Update Waiting") {
                            screenshot = true;
                            QDir().mkpath(QStringLiteral(TAMSIRO_SCREENSHOT_DIR));
                            EXPECT_TRUE(d->widget()->grab().save(
                                QStringLiteral(TAMSIRO_SCREENSHOT_DIR "/firmware-update.png")));
                        }
                    }
                    return !finished.isEmpty();
                },
                [] {}, 30000);
            answerDone = guitest::whenReady(
                [&] { return ShownBox(fwupdate::kCaption) != nullptr && ShownBox(fwupdate::kCaption)->text().startsWith("Update Finished"); },
                [&] {
                    finished = ShownBox(fwupdate::kCaption)->text();
                    ClickButton(ShownBox(fwupdate::kCaption), QMessageBox::Ok);
                },
                30000);
            EXPECT_TRUE(rig.ChooseDriverNamed("KT3321(Stepper)"));
            ASSERT_TRUE(guitest::waitFor([&] { return !finished.isEmpty() && w.UpdateDialog() == nullptr; }, 30000));
            UnexpectedDialogs::Install();
            ASSERT_TRUE(rig.tasks.WaitIdle(5000));
            guitest::settle();
            // OK shows the page, which works the board as it now is.
            guitest::userClick(*w.item(gui::id::Ok));
            page = dynamic_cast<CDeviceDialog_Stepper*>(w.CurrentPage());
            if (page != nullptr) {
                rig.tasks.WaitIdle(5000);
                Change(*page, 54, 0, 0);  // polling off: only the change's frame follows
                rig.tasks.WaitIdle(5000);
                guitest::settle();
                sim.sim.clearFrames();
                Change(*page, 4, 0, 100);  // REF: channel 2's compare in 'P'
                rig.tasks.WaitIdle(5000);
                guitest::settle();
                worked = sim.Frames();
                pageTitle = page->text();
            }
            w.endDialog(gui::id::Cancel);
        },
        60000);
    EXPECT_EQ(result, gui::id::Cancel);
    EXPECT_EQ(finished.toStdString(), "Update Finished.\nMV6120: Update Skip\nMV6230: Update Success");
    EXPECT_TRUE(screenshot);
    // The first line skipped, then the second controller's way through the update.
    const std::vector<QString> want = {"Update Waiting", "Changing sequence ...", "Checking Device GUID",
                                       "Firmware Updating (Don't Disconnect)", "Please reconnect", "Update Finished"};
    std::vector<QString> seen;
    for (const QString& p : progress)
        if (std::find(want.begin(), want.end(), p) != want.end()) seen.push_back(p);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end(), [&](const QString& a, const QString& b) {
        return std::find(want.begin(), want.end(), a) < std::find(want.begin(), want.end(), b);
    })) << progress.size();
    EXPECT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().toStdString(), "Update Finished");
    // The board runs the new image: the link read it after the update.
    std::uint16_t main = 0, second = 0;
    rig.board.GetVersion(&main, &second, 0);
    EXPECT_EQ((std::pair{main, second}), (std::pair<std::uint16_t, std::uint16_t>{0x2113, 0x1319}));
    EXPECT_EQ(sim.sim.loaderRequests().size(), 1u + 1 + 48 + 48 + 4);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(pageTitle.toStdString(), "KT3321(Stepper) Controller (USB Connected)");
    ExpectFrames(worked, {F("50 E0 F0 00 F0 08 C0 00 9B FF 00")});
    rig.window.reset();
    guitest::settle();
    appServices() = AppServices{};
}

