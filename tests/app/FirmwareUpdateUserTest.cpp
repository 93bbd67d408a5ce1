// The firmware update as a user meets it, through the program object against the
// simulator's boot loader with old firmware on both controllers: the question answered
// "Yes" with a click, the update dialog's progress, the closing message clicked away,
// and the page that opens and works on the new firmware. Not a threaded suite: the
// page's dials draw on Qt's own thread pool, which the thread checker cannot see into.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <cstdlib>
#include <map>

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

TEST(FirmwareUpdate, YesUpdatesBothControllersWithProgressAndThePageOpensOnTheNewFirmware) {
    const std::string loaderPath = UniqueLinkPath("tamsiro-loader");
    SimLink sim("tamsiro-board", loaderPath);
    ASSERT_TRUE(sim.started);
    sim.sim.setMainVersion(0x2003);    // the KT3321(Stepper) wants 0x2113
    sim.sim.setSecondVersion(0x1216);  // and 0x1319
    // The program finds the loader where the environment says, as it does when started.
    ::setenv("TAMSIRO_BOOTLOADER_SOCKET", loaderPath.c_str(), 1);
    TempDir dir;

    std::map<int, std::vector<QString>> progress;  // status line -> the texts it showed
    QString finished, pageTitle;
    std::vector<Bytes> worked;
    std::pair<std::uint16_t, std::uint16_t> versions;
    bool pageShown = false;
    std::unique_ptr<QTimer> answerYes, watch, answerDone;
    // Every queued board task done.
    const auto Idle = [] {
        auto* tasks = dynamic_cast<CDerivedTaskListener*>(appServices().tasks);
        ASSERT_NE(tasks, nullptr);
        EXPECT_TRUE(tasks->WaitIdle(5000));
    };
    // The user's way, up to working the page; the program is left after it whatever failed.
    const auto use = [&](CQuillfenDlg& w) {
        ASSERT_TRUE(guitest::waitFor([&] { return w.text() == "Tamsiro (USB Connected)"; }, 10000));
        Idle();
        guitest::settle();
        gui::setMessageBoxProvider(nullptr);  // the real boxes, clicked
        answerYes = guitest::whenReady([&] { return ShownBox(fwupdate::kCaption) != nullptr; }, [&] {
            ClickButton(ShownBox(fwupdate::kCaption), QMessageBox::Yes);
        });
        watch = guitest::whenReady(
            [&] {
                if (auto* d = w.UpdateDialog(); d != nullptr && d->exists()) {
                    for (int line : {fwupdate::kFirstStatus, fwupdate::kSecondStatus}) {
                        const QString now = d->item(line)->text();
                        auto& seen = progress[line];
                        if (!now.isEmpty() && (seen.empty() || seen.back() != now)) seen.push_back(now);
                    }
                }
                return !finished.isEmpty();
            },
            [] {}, 60000);
        answerDone = guitest::whenReady(
            [&] {
                QMessageBox* box = ShownBox(fwupdate::kCaption);
                return box != nullptr && box->text().startsWith("Update Finished");
            },
            [&] {
                finished = ShownBox(fwupdate::kCaption)->text();
                ClickButton(ShownBox(fwupdate::kCaption), QMessageBox::Ok);
            },
            60000);
        // The stepper list, then the model, as the lists report a choice.
        for (const auto& [list, name] : {std::pair{mainwin::kMotorTypeList, std::string("Stepper")},
                                         std::pair{mainwin::kDriverList, std::string("KT3321(Stepper)")}}) {
            auto* combo = w.itemAs<gui::ComboBox>(list);
            int at = -1;
            for (int i = 0; i < combo->count(); ++i)
                if (combo->itemText(i).value_or(QString()).toStdString() == name) at = i;
            ASSERT_GE(at, 0) << name;
            combo->setCurSel(at);
            w.send(gui::msg::Command, gui::makeWParam(static_cast<std::uint16_t>(list), gui::notify::ComboSelectionChange), 0);
        }
        ASSERT_TRUE(guitest::waitFor([&] { return !finished.isEmpty() && w.UpdateDialog() == nullptr; }, 60000));
        UnexpectedDialogs::Install();
        Idle();
        guitest::settle();
        appServices().board->GetVersion(&versions.first, &versions.second, 0);
        // OK shows the page, which works the board as it now is.
        guitest::userClick(*w.item(gui::id::Ok));
        if (auto* page = dynamic_cast<CDeviceDialog_Stepper*>(w.CurrentPage())) {
            pageShown = page->isVisible();
            Idle();
            Change(*page, 54, 0, 0);  // polling off: only the change's frame follows
            Idle();
            guitest::settle();
            sim.sim.clearFrames();
            Change(*page, 4, 0, 100);  // REF: channel 2's compare in 'P'
            Idle();
            guitest::settle();
            worked = sim.Frames();
            pageTitle = page->text();
        }
    };
    CQuillfenApp app(Options(
        dir.path(), false,
        [&](CQuillfenDlg& w) {
            use(w);
            Dialogs exitBoxes;
            exitBoxes.answerBox(gui::id::No);  // "Save parameter setting ?"
            w.send(gui::msg::Command, gui::makeWParam(mainwin::kExitApplication, gui::notify::ButtonClicked), 0);
            EXPECT_EQ(exitBoxes.boxes().size(), 1u);
        },
        sim.path()));
    EXPECT_EQ(app.InitInstance(), 0);
    ::unsetenv("TAMSIRO_BOOTLOADER_SOCKET");

    EXPECT_EQ(finished.toStdString(), "Update Finished.\nMV6120: Update Success\nMV6230: Update Success");
    // Each line goes its way in order; a glance every few milliseconds may miss a step.
    const std::vector<QString> way = {"Update Waiting",   "Changing sequence ...",
                                      "Checking Device GUID", "Firmware Updating (Don't Disconnect)",
                                      "Please reconnect", "Update Finished"};
    for (int line : {fwupdate::kFirstStatus, fwupdate::kSecondStatus}) {
        std::vector<std::size_t> steps;
        for (const QString& text : progress[line]) steps.push_back(static_cast<std::size_t>(std::find(way.begin(), way.end(), text) - way.begin()));
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()) && !steps.empty() && steps.back() == way.size() - 1)
            << line << ": " << QStringList(progress[line].begin(), progress[line].end()).join(" | ").toStdString();
    }
    // The link read the new versions after the update.
    EXPECT_EQ(versions, (std::pair<std::uint16_t, std::uint16_t>{0x2113, 0x1319}));
    EXPECT_EQ(sim.sim.loaderRequests().size(), 2 * 6 + 2 * (loader::blocksFor(0) + loader::blocksFor(1)));
    EXPECT_TRUE(pageShown);
    EXPECT_EQ(pageTitle.toStdString(), "KT3321(Stepper) Controller (USB Connected)");
    ExpectFrames(worked, {F("50 E0 F0 00 F0 08 C0 00 9B FF 00")});
    appServices() = AppServices{};
}
