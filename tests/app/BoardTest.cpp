#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>
#include <cstdlib>
#include <set>
#include <tuple>

#include "AppTestSupport.h"
#include "app/FirmwareUpdateDlg.h"
#include "platform/gui/CommonDialogs.h"

using namespace apptest;
using gui::msg::ConnectionState;
using gui::msg::TaskData;

namespace {

// Devices asked about, choosing every model, answering "No".
std::set<std::string> DevicesAskedAbout(Rig& rig) {
    std::set<std::string> asked;
    for (const auto& name : ModelNames()) {
        Dialogs boxes;
        boxes.answerBox(gui::id::No);
        EXPECT_TRUE(rig.ChooseDriverNamed(name)) << name;
        if (boxes.boxes().empty()) continue;
        EXPECT_EQ(boxes.boxes().size(), 1u);
        const auto& box = boxes.boxes().front();
        EXPECT_EQ(
            (std::tuple{box.caption, box.buttons, box.icon}),
            (std::tuple{QString("Tamsiro Firmware Update"), gui::MessageButtons::YesNo, gui::MessageIcon::Question}));
        EXPECT_EQ(box.text, QString("The version of daughter board firmware is not suitable to control %1.\n"
                                    "If you press 'Yes' button, update on firmware will start. Or press 'No' "
                                    "button if you do not wish such update.")
                                .arg(QString::fromStdString(name)));
        asked.insert(name);
    }
    return asked;
}

std::set<std::string> AllModelsBut(std::initializer_list<const char*> except) {
    const auto all = ModelNames();
    std::set<std::string> out(all.begin(), all.end());
    for (const char* name : except) out.erase(name);
    return out;
}

// The main window as shown, for someone to look at.
void SaveScreenshot(Rig& rig) {
    rig.window->show(true);
    guitest::settle();
    QDir().mkpath(QStringLiteral(TAMSIRO_SCREENSHOT_DIR));
    EXPECT_TRUE(rig.window->widget()->grab().save(QStringLiteral(TAMSIRO_SCREENSHOT_DIR "/main-window.png")));
}

}  // namespace

TEST(MainWindowBoard, ConnectionInitialisesTheBoardInOrderTheTwoLineReadsComeBackAndTheKindSetsTheLines) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    Rig rig(sim.path());
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));

    const std::vector<Bytes> frames = sim.Frames();
    EXPECT_EQ(Names(frames), kInitAfterConnect);
    // The pauses go with the records, for the queue to hold (the opening wire test shows
    // them on the wire): 5 ms after GPIO records, 2 ms after PWM records and 100 ms more
    // after the last, 10 ms after each read.
    std::vector<std::uint32_t> pauses(34, 5);
    pauses.insert(pauses.end(), 8, 2);
    pauses.insert(pauses.end(), {102, 10, 10});
    EXPECT_EQ(rig.timed.pausesMs, pauses);
    ASSERT_EQ(rig.timed.added.size(), 34u + 9u + 2u);
    EXPECT_EQ((std::pair{rig.timed.added[42].first, rig.timed.added[43].first}),
              (std::pair{boardinit::kPwmWord, boardinit::kGpioReadWord}));
    ASSERT_EQ(frames.size(), 9u);
    EXPECT_EQ(frames[8], frames[2]);  // the line read asks as the level frame did

    // A choice made before the replies are handled outlasts the refill (with its page).
    rig.ChooseMotorType(1);
    rig.ChooseDriver(2);
    EXPECT_EQ(rig.window->Code(), devicetable::MakeCode(1, 2));
    ASSERT_TRUE(guitest::waitFor([&] { return rig.window->count(TaskData) >= 2; }, 5000));
    const auto replies = rig.window->only(TaskData);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ((std::pair{replies[0].w, replies[1].w}), (std::pair{gui::WParam{0x20010}, gui::WParam{0x20011}}));
    EXPECT_EQ(
        (std::tuple{rig.window->BoardTypeReplies(), rig.window->itemAs<gui::ComboBox>(mainwin::kDriverList)->curSel(),
                    rig.window->ShownDevices().size(), rig.OkEnabled()}),
        (std::tuple{0, 2, 13u, true}));
    SaveScreenshot(rig);  // the stepper models listed with the board connected

    ASSERT_TRUE(rig.ChooseDriverNamed("KT3321(DC)"));
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    for (int line : {18, 19, 21, 22}) EXPECT_TRUE(sim.sim.portLevel(line)) << line;
    EXPECT_FALSE(sim.sim.portLevel(20));
    EXPECT_EQ((std::tuple{sim.sim.portIsOutput(16), sim.sim.portIsOutput(17), sim.sim.portIsOutput(33)}),
              (std::tuple{false, false, true}));
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3443"));
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    EXPECT_TRUE(sim.sim.portLevel(21));
    for (int line : {18, 19, 22}) EXPECT_FALSE(sim.sim.portLevel(line)) << line;
}

TEST(MainWindowBoard, TheFirmwareQuestionComesExactlyForDevicesWhoseVersionsDiffer) {
    struct Case {
        std::uint16_t main, second;
        std::set<std::string> asked;
    };
    const std::vector<Case> cases = {
        {0x2113, 0x1319, {"KT3376A", "KT3532"}},
        // Only the dual stepper wants 0x1216.
        {0x2113, 0x1216, AllModelsBut({"KT3376A", "KT3454/56"})},
        {0x2003, 0x1319, AllModelsBut({})},
    };
    for (const Case& c : cases) {
        SimLink sim;
        ASSERT_TRUE(sim.started);
        sim.sim.setMainVersion(c.main);
        sim.sim.setSecondVersion(c.second);
        Rig rig(sim.path());
        ASSERT_TRUE(rig.Open());
        EXPECT_EQ(DevicesAskedAbout(rig), c.asked) << std::hex << c.main << " " << c.second;
    }

    Rig none(NoBoard());
    ASSERT_TRUE(none.Open());
    EXPECT_TRUE(DevicesAskedAbout(none).empty());
}

TEST(MainWindowBoard, YesStartsTheUpdateThePageHearsOfTheBoardOnlyOnceItEndsAndNoLoaderIsAnError) {
    SimLink sim;  // a board whose boot request leads to no loader
    ASSERT_TRUE(sim.started);
    ::unsetenv("TAMSIRO_BOOTLOADER_SOCKET");
    Rig rig(sim.path(), true);
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    sim.sim.clearFrames();

    Dialogs boxes;
    boxes.answerBox(gui::id::Yes);
    boxes.answerBox(gui::id::Ok);
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3376A"));
    ASSERT_NE(rig.window->UpdateDialog(), nullptr);
    EXPECT_TRUE(rig.window->UpdateDialog()->isVisible());
    ASSERT_NE(rig.pages, nullptr);
    EXPECT_EQ((std::tuple{rig.pages->names.size(), rig.OkEnabled(), rig.pageLog.empty()}),
              (std::tuple{1u, true, true}));
    // A page built meanwhile asks for the board's defaults: the board is the update's.
    const std::size_t queued = rig.timed.added.size();
    rig.window->send(gui::msg::ReinitialiseBoard, 0, 0);
    EXPECT_EQ(rig.timed.added.size(), queued);
    // The search for the loader runs out (on the rig's manual clock): an error line.
    ASSERT_TRUE(guitest::waitFor([&] { return rig.window->UpdateDialog() == nullptr; }, 20000));
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ((std::pair{boxes.boxes()[1].caption, boxes.boxes()[1].text}),
              (std::pair{QString("Tamsiro Firmware Update"),
                         QString("Update Finished.\nMV6120: Update Skip\nMV6230: Update error")}));
    // Then the board is initialised and the page told the link state.
    EXPECT_EQ(rig.pageLog, (PageLog{{ConnectionState, 1}}));
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    const auto frames = sim.Frames();
    ASSERT_FALSE(frames.empty());
    // After the version check: the second controller's boot request.
    const auto names = Names(frames);
    const auto boot = std::find(names.begin(), names.end(), "W");
    ASSERT_NE(boot, names.end());
    EXPECT_EQ(frames[static_cast<std::size_t>(boot - names.begin())], (Bytes{'W', 0, 0, 0, 0xFF}));
    EXPECT_NE(std::find(names.begin(), names.end(), "P"), names.end());
}

TEST(MainWindowBoard, ClosingDuringAnUpdateEndsItsWorkerAndTheBoardKeepsItsFirmware) {
    const std::string loaderPath = UniqueLinkPath("tamsiro-loader");
    SimLink sim("tamsiro-board", loaderPath);
    ASSERT_TRUE(sim.started);
    sim.sim.setSecondVersion(0x1216);
    sim.sim.injectLoaderFault(boardsim::LoaderFault::WriteSilence);  // the worker sits in a request
    Rig rig(sim.path());
    UseLoader(rig.board, loaderPath);
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    static platform::SystemClock systemClock;
    platform::ScopedClock real(systemClock);  // the loader shows up in real time
    {
        Dialogs boxes;
        boxes.answerBox(gui::id::Yes);
        ASSERT_TRUE(rig.ChooseDriverNamed("KT3321(Stepper)"));
    }
    ASSERT_NE(rig.window->UpdateDialog(), nullptr);
    ASSERT_TRUE(guitest::waitFor([&] { return sim.sim.loaderRequests().size() >= 4; }, 20000));
    rig.window->destroy();  // the program closes: its update ends, its worker joined
    EXPECT_EQ(rig.window->UpdateDialog(), nullptr);
    guitest::settle();
    EXPECT_EQ(rig.window->count(gui::msg::FirmwareUpdateEnded), 0);
    const auto requests = sim.sim.loaderRequests();
    EXPECT_TRUE(std::none_of(requests.begin(), requests.end(),
                             [](const Bytes& r) { return r.size() > 8 && r[8] == boardsim::LoaderSide::kRun; }));
}

// The user must plug the board back in after its download and takes longer than the
// update waits: the download is still a success, said together with the board being
// away, the second controller is not tried without it, and the main window takes the
// board when it comes back.
TEST(MainWindowBoard, AGoodDownloadWhoseBoardComesBackLateIsASuccessAndTheBoardIsTakenOnItsReturn) {
    const std::string loaderPath = UniqueLinkPath("tamsiro-loader");
    SimLink sim("tamsiro-board", loaderPath);
    ASSERT_TRUE(sim.started);
    sim.sim.setMainVersion(0x2003);  // both controllers need the update
    sim.sim.setSecondVersion(0x1216);
    sim.sim.injectLoaderFault(boardsim::LoaderFault::StaysAway);
    Rig rig(sim.path());
    rig.updateTiming = CFirmwareUpdateDlg::Timing{300, 20};
    UseLoader(rig.board, loaderPath);
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    static platform::SystemClock systemClock;
    platform::ScopedClock real(systemClock);  // the loader shows up in real time
    Dialogs boxes;
    boxes.answerBox(gui::id::Yes);
    boxes.answerBox(gui::id::Ok);
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3321(Stepper)"));
    ASSERT_TRUE(guitest::waitFor([&] { return rig.window->UpdateDialog() == nullptr; }, 30000));
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[1].text.toStdString(),
              "Update Finished.\nMV6120: Update Success (the board has not come back: please reconnect)\n"
              "MV6230: Update Skip");
    EXPECT_EQ(rig.Title().toStdString(), "Tamsiro (USB Disconnected)");
    EXPECT_EQ(sim.sim.loaderRequests().size(), 6 + 2 * loader::blocksFor(0));  // one session, whole

    // Plugged in again: the board is set up as any arrival and runs the new firmware.
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    sim.sim.clearFrames();
    ASSERT_TRUE(sim.sim.replug());
    ASSERT_TRUE(guitest::waitFor([&] { return rig.Title() == "Tamsiro (USB Connected)"; }, 10000));
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    guitest::settle();
    EXPECT_EQ(Names(sim.Frames()), kInitAfterConnect);
    std::uint16_t main = 0, second = 0;
    rig.board.GetVersion(&main, &second, 1);
    EXPECT_EQ((std::pair{main, second}), (std::pair<std::uint16_t, std::uint16_t>{0x2113, 0x1216}));
}

TEST(MainWindowBoard, TitleAndPageFollowThePortAppearingAndVanishing) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    sim.sim.unplug();
    Rig rig(sim.path(), true);
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ(rig.Title(), QString("Tamsiro (USB Disconnected)"));

    ASSERT_TRUE(rig.ChooseDriverNamed("KT3443"));
    ASSERT_NE(rig.window->CurrentPage(), nullptr);
    EXPECT_EQ(rig.pageLog, (PageLog{{ConnectionState, 0}}));
    EXPECT_EQ(rig.pages->names, std::vector<QString>{"KT3443"});

    rig.Command(gui::id::Ok);
    EXPECT_EQ(
        (std::tuple{rig.window->CurrentPage()->isShown(), rig.window->item(mainwin::kMotorTypeList)->isEnabled()}),
        (std::tuple{true, false}));
    rig.window->send(gui::msg::PageClosed, 0, 0);
    EXPECT_TRUE(rig.window->item(mainwin::kMotorTypeList)->isEnabled());

    sim.sim.replug();
    ASSERT_TRUE(guitest::waitFor([&] { return rig.window->count(TaskData) >= 2; }, 5000));

    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    sim.sim.clearFrames();
    rig.window->send(gui::msg::ReinitialiseBoard, 0, 0);
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    EXPECT_EQ(Names(sim.Frames()), (std::vector<std::string>{"C", "E", "E", "83", "819", "P", "82"}));

    sim.sim.unplug();
    ASSERT_TRUE(guitest::waitFor([&] { return rig.window->CurrentPage() == nullptr; }, 3000));
    EXPECT_EQ(rig.pages->deleted, 1);
    EXPECT_EQ((std::tuple{rig.window->itemAs<gui::ComboBox>(mainwin::kDriverList)->curSel(), rig.OkEnabled()}),
              (std::tuple{-1, false}));
}

TEST(MainWindowBoard, ClosingWhileTheBoardDoesNotAnswerWaitsOnlyForTheTaskOnTheWire) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    sim.sim.injectFault(boardsim::Fault::Silence, 1000);
    auto rig = std::make_unique<Rig>(sim.path());
    const int result = rig->RunModal([&](CQuillfenDlg& w) {
        Dialogs boxes;
        boxes.answerBox(gui::id::No);
        rig->Command(mainwin::kExitApplication);
        EXPECT_FALSE(w.isRunningModal() && boxes.boxes().empty());
    });
    EXPECT_EQ(result, gui::id::Cancel);
    EXPECT_GT(rig->tasks.PendingTasks(), 0u);
    // The queue drops what has not started: most work never reaches the board.
    rig.reset();
    EXPECT_LT(sim.sim.frameCount(), 6u);
}
