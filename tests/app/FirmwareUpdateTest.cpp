// The update dialog's worker against the simulator's boot loader: each loader fault ends
// in an error line with the board as it was, a boot request held back or lost on the way
// is sent again, and closing in the middle of an update ends the worker. (The whole round
// as a user meets it is in FirmwareUpdateUserTest.cpp.)
#include <gtest/gtest.h>

#include <QDir>
#include <cstdlib>
#include <map>

#include "PageRigSupport.h"
#include "app/FirmwareUpdateDlg.h"
#include "board/BootLoader.h"
#include "platform/core/Debug.h"
#include "res/firmware/FirmwareImages.h"

using namespace apptest;
using boardsim::Fault;
using boardsim::LoaderFault;

namespace {

// The dialog, keeping every text each status line showed, and a picture of itself the
// moment the second controller's download starts.
class WatchedUpdateDlg : public CFirmwareUpdateDlg {
public:
    using CFirmwareUpdateDlg::CFirmwareUpdateDlg;
    gui::LResult windowProc(std::uint32_t message, gui::WParam w, gui::LParam l) override {
        const gui::LResult result = CFirmwareUpdateDlg::windowProc(message, w, l);
        if (message == fwupdate::kStatusMessage) {
            const int line = static_cast<int>(w);
            shown[line].push_back(item(line)->text().toStdString());
            if (line == fwupdate::kSecondStatus && l == fwupdate::kUpdating && picture.isNull()) {
                picture = widget()->grab().toImage();
            }
        }
        return result;
    }
    std::map<int, std::vector<std::string>> shown;
    QImage picture;
};

// The board with the second controller at 0x1216 and its loader, and an update dialog
// whose end a spy owner hears; message boxes are answered OK and kept.
struct UpdateRig {
    explicit UpdateRig(LoaderSearchTiming search = LoaderSearchTiming{20, 10000}) {
        EXPECT_TRUE(sim.Connect());
        UseLoader(*sim.link, loaderPath, search);
        sim.sim.setSecondVersion(0x1216);
        EXPECT_TRUE(owner.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
        boxes.answerBox(gui::id::Ok);
        dialog = gui::makeWindow<WatchedUpdateDlg>(sim.link.get());
        dialog->SetOwner(owner.handle());
        dialog->SetTiming({5000, 20});
        EXPECT_TRUE(dialog->createModeless(&owner));
    }
    // Rewrites the controllers of `mask` and waits (bounded) for the end: the closing
    // message's text, "" when the update did not end.
    std::string Run(int mask = 2) {
        if (!dialog->StartUpdate(mask, firmware::kMainImage, firmware::kSecondImage1319)) return "not started";
        if (!guitest::waitFor([&] { return owner.count(gui::msg::FirmwareUpdateEnded) == 1; }, 30000)) return "";
        EXPECT_FALSE(dialog->Running());
        const auto ended = owner.only(gui::msg::FirmwareUpdateEnded).at(0);
        EXPECT_EQ((std::pair{ended.w, ended.l}), (std::pair{gui::WParam{0}, gui::LParam{0}}));
        return boxes.boxes().size() == 1 ? boxes.boxes()[0].text.toStdString() : "boxes: " + std::to_string(boxes.boxes().size());
    }
    // The versions the board reports now.
    std::pair<std::uint16_t, std::uint16_t> Versions() {
        std::uint16_t main = 0, second = 0;
        sim.link->GetVersion(&main, &second, 1);
        return {main, second};
    }
    std::uint16_t SecondVersion() { return Versions().second; }
    // The boot requests for the second controller that reached the wire, and how many
    // of them were lost on the way.
    std::pair<int, int> BootRequests() const {
        int sent = 0, lost = 0;
        for (const auto& f : sim.sim.frames()) {
            if (f.bytes != Bytes{'W', 0, 0, 0, 0xFF}) continue;
            ++sent;
            if (f.dropped) ++lost;
        }
        return {sent, lost};
    }

    std::string loaderPath = UniqueLinkPath("tamsiro-loader");
    SimLink sim{"tamsiro-board", loaderPath};
    guitest::Spy<gui::Window> owner;
    Dialogs boxes;
    gui::WindowPtr<WatchedUpdateDlg> dialog;
};

const std::string kSecondUpdated = "Update Finished.\nMV6120: Update Skip\nMV6230: Update Success";
const std::string kSecondFailed = "Update Finished.\nMV6120: Update Skip\nMV6230: Update error";

}  // namespace

TEST(FirmwareUpdate, BothControllersAreRewrittenInTurnEachLineShowingItsWayAndTheNewVersionsRun) {
    UpdateRig rig;
    rig.sim.sim.setMainVersion(0x2003);
    EXPECT_EQ(rig.Run(3), "Update Finished.\nMV6120: Update Success\nMV6230: Update Success");
    const std::vector<std::string> way = {"Update Waiting",      "Changing sequence ...",
                                          "Checking Device GUID", "Firmware Updating (Don't Disconnect)",
                                          "Please reconnect",    "Update Finished"};
    EXPECT_EQ(rig.dialog->shown[fwupdate::kFirstStatus], way);
    EXPECT_EQ(rig.dialog->shown[fwupdate::kSecondStatus], way);
    EXPECT_EQ(rig.Versions(), (std::pair<std::uint16_t, std::uint16_t>{0x2113, 0x1319}));
    // Each session: information, erase, every block written and read back, finish, run,
    // and the control word read and written.
    EXPECT_EQ(rig.sim.sim.loaderRequests().size(), 2 * 6 + 2 * (loader::blocksFor(0) + loader::blocksFor(1)));
    // The first controller done, the second's download under way.
    ASSERT_FALSE(rig.dialog->picture.isNull());
    ASSERT_TRUE(QDir().mkpath(QStringLiteral(TAMSIRO_SCREENSHOT_DIR)));
    EXPECT_TRUE(rig.dialog->picture.save(QStringLiteral(TAMSIRO_SCREENSHOT_DIR "/firmware-update.png")));
}

TEST(FirmwareUpdate, EachLoaderFaultEndsInAnErrorLineAndTheBoardComesBackAsItWas) {
    for (const LoaderFault fault : {LoaderFault::VerifyMismatch, LoaderFault::WriteFails, LoaderFault::RunFails,
                                    LoaderFault::InfoFails, LoaderFault::Absent}) {
        UpdateRig rig;
        rig.sim.sim.injectLoaderFault(fault);
        EXPECT_EQ(rig.Run(), kSecondFailed) << static_cast<int>(fault);
        EXPECT_EQ(rig.boxes.boxes().at(0).icon, gui::MessageIcon::Information);
        EXPECT_EQ(rig.SecondVersion(), 0x1216) << static_cast<int>(fault);  // the old firmware still runs
    }
    // The first controller's failure stops the update: the second is not tried.
    UpdateRig rig;
    rig.sim.sim.setMainVersion(0x2003);
    rig.sim.sim.injectLoaderFault(LoaderFault::RunFails);
    EXPECT_EQ(rig.Run(3), "Update Finished.\nMV6120: Update error\nMV6230: Update Skip");
    EXPECT_EQ(rig.dialog->shown[fwupdate::kSecondStatus], std::vector<std::string>{});
    EXPECT_EQ(rig.Versions(), (std::pair<std::uint16_t, std::uint16_t>{0x2003, 0x1216}));
}

// A page is built on the GUI thread just as the worker sends the boot request, and its
// build suspends the link: the request must still go out. One lost on the line, or whose
// answer was lost, is sent again; the board takes it once.
TEST(FirmwareUpdate, ABootRequestHeldBackByAPageBeingBuiltOrLostOnTheWayStillTakesTheBoardIntoItsLoader) {
    struct Case {
        const char* what;
        bool suspended;
        Fault fault;
        std::pair<int, int> requests;  // sent, lost
    };
    for (const Case& c : {Case{"suspended", true, Fault::None, {1, 0}}, Case{"lost once", false, Fault::Lost, {2, 1}},
                         Case{"answer lost", false, Fault::Silence, {1, 0}}}) {
        UpdateRig rig;
        if (c.suspended) rig.sim.link->Suspend();
        rig.sim.sim.injectFault(c.fault);
        EXPECT_EQ(rig.Run(), kSecondUpdated) << c.what;
        rig.sim.link->Resume();
        // Silence: the second request found the board gone already or was acknowledged
        // by it on its way out; either way it took one.
        if (c.fault != Fault::Silence) {
            EXPECT_EQ(rig.BootRequests(), c.requests) << c.what;
        }
        EXPECT_EQ(rig.SecondVersion(), 0x1319) << c.what;
    }
}

TEST(FirmwareUpdate, ABoardThatNeverTakesTheBootRequestEndsInAnErrorAfterABoundedSearch) {
    UpdateRig rig(LoaderSearchTiming{20, 300});
    rig.sim.sim.injectFault(Fault::Lost, 3);
    platform::DebugCapture trace;
    EXPECT_EQ(rig.Run(), kSecondFailed);
    // The trace says why.
    for (const char* why : {"Firmware update: the board did not acknowledge the boot request\n",
                            "Loader: no loader device found\n"}) {
        EXPECT_EQ(trace.count(why), 1u) << why;
    }
    EXPECT_EQ(rig.BootRequests(), (std::pair{3, 3}));
    EXPECT_TRUE(rig.sim.sim.loaderRequests().empty());
    EXPECT_EQ(rig.SecondVersion(), 0x1216);
}

TEST(FirmwareUpdate, ClosingInTheMiddleEndsTheWorkerAndPostsNothing) {
    UpdateRig rig;
    rig.sim.sim.injectLoaderFault(LoaderFault::WriteSilence);  // the worker sits in a request
    ASSERT_TRUE(rig.dialog->StartUpdate(1, firmware::kMainImage, firmware::kSecondImage1319));
    ASSERT_TRUE(guitest::waitFor([&] { return rig.sim.sim.loaderRequests().size() >= 4; }, 10000));
    rig.dialog.reset();  // as the main window does when it closes
    guitest::settle();
    EXPECT_TRUE(guitest::postsDelivered());
    EXPECT_EQ(rig.owner.count(gui::msg::FirmwareUpdateEnded), 0);
    // The loader never saw a run: the board comes back with its old firmware.
    const auto requests = rig.sim.sim.loaderRequests();
    EXPECT_TRUE(std::none_of(requests.begin(), requests.end(), [](const Bytes& r) {
        return r.size() > 8 && r[8] == boardsim::LoaderSide::kRun;
    }));
}
