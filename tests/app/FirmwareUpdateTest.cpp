// The update dialog's worker against the simulator's boot loader: each loader fault ends
// in an error line with the board as it was, and closing in the middle of an update ends
// the worker. (The whole round as a user meets it is in FirmwareUpdateUserTest.cpp.)
#include <gtest/gtest.h>

#include <cstdlib>

#include "PageRigSupport.h"
#include "app/FirmwareUpdateDlg.h"
#include "board/BootLoader.h"
#include "res/firmware/FirmwareImages.h"

using namespace apptest;
using boardsim::LoaderFault;

TEST(FirmwareUpdate, EachLoaderFaultEndsInAnErrorLineAndTheBoardComesBackAsItWas) {
    struct Case {
        LoaderFault fault;
        const char* second;
    };
    for (const Case c : {Case{LoaderFault::VerifyMismatch, "MV6230: Update error"},
                         Case{LoaderFault::WriteFails, "MV6230: Update error"},
                         Case{LoaderFault::RunFails, "MV6230: Update error"},
                         Case{LoaderFault::InfoFails, "MV6230: Update error"},
                         Case{LoaderFault::Absent, "MV6230: Update error"}}) {
        const std::string loaderPath = UniqueLinkPath("tamsiro-loader");
        SimLink sim("tamsiro-board", loaderPath);
        ASSERT_TRUE(sim.Connect());
        UseLoader(*sim.link, loaderPath);
        sim.sim.setSecondVersion(0x1216);
        sim.sim.injectLoaderFault(c.fault);
        guitest::Spy<gui::Window> owner;
        ASSERT_TRUE(owner.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
        Dialogs boxes;
        boxes.answerBox(gui::id::Ok);
        CFirmwareUpdateDlg dialog(sim.link.get());
        dialog.SetOwner(owner.handle());
        dialog.SetTiming({5000, 20});
        ASSERT_TRUE(dialog.createModeless(&owner));
        ASSERT_TRUE(dialog.StartUpdate(2, firmware::kMainImage, firmware::kSecondImage1319));
        ASSERT_TRUE(guitest::waitFor([&] { return owner.count(gui::msg::FirmwareUpdateEnded) == 1; }, 20000))
            << static_cast<int>(c.fault);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text.toStdString(),
                  QString("Update Finished.\nMV6120: Update Skip\n%1").arg(c.second).toStdString())
            << static_cast<int>(c.fault);
        EXPECT_EQ(boxes.boxes()[0].icon, gui::MessageIcon::Information);
        EXPECT_FALSE(dialog.Running());
        std::uint16_t main = 0, second = 0;
        sim.link->GetVersion(&main, &second, 1);
        EXPECT_EQ(second, 0x1216) << static_cast<int>(c.fault);  // the old firmware still runs
    }
}

TEST(FirmwareUpdate, ClosingInTheMiddleEndsTheWorkerAndPostsNothing) {
    const std::string loaderPath = UniqueLinkPath("tamsiro-loader");
    SimLink sim("tamsiro-board", loaderPath);
    ASSERT_TRUE(sim.Connect());
    UseLoader(*sim.link, loaderPath);
    sim.sim.injectLoaderFault(LoaderFault::WriteSilence);  // the worker sits in a request
    guitest::Spy<gui::Window> owner;
    ASSERT_TRUE(owner.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    auto dialog = gui::makeWindow<CFirmwareUpdateDlg>(sim.link.get());
    dialog->SetOwner(owner.handle());
    ASSERT_TRUE(dialog->createModeless(&owner));
    ASSERT_TRUE(dialog->StartUpdate(1, firmware::kMainImage, firmware::kSecondImage1319));
    ASSERT_TRUE(guitest::waitFor([&] { return sim.sim.loaderRequests().size() >= 4; }, 10000));
    dialog.reset();  // as the main window does when it closes
    guitest::settle();
    EXPECT_TRUE(guitest::postsDelivered());
    EXPECT_EQ(owner.count(gui::msg::FirmwareUpdateEnded), 0);
    // The loader never saw a run: the board comes back with its old firmware.
    const auto requests = sim.sim.loaderRequests();
    EXPECT_TRUE(std::none_of(requests.begin(), requests.end(), [](const Bytes& r) {
        return r.size() > 8 && r[8] == boardsim::LoaderSide::kRun;
    }));
}
