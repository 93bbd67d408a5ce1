// The board connection over real pseudo-terminals. (A hang-up: the transport's.)
#include <gtest/gtest.h>

#include <thread>

#include "AppTestSupport.h"
#include "platform/core/Debug.h"
#include "platform/core/SerialPort.h"

using namespace apptest;
using gui::msg::BoardConnected;
using gui::msg::ConnectionState;
using namespace std::chrono_literals;

namespace {

const QString kConnected("Tamsiro (USB Connected)"), kDisconnected("Tamsiro (USB Disconnected)");

void PointLink(const std::string& link, const std::string& target) {
    std::filesystem::remove(link + ".next");
    std::filesystem::create_symlink(target, link + ".next");
    std::filesystem::rename(link + ".next", link);
}

bool WaitForInit(SimLink& sim) {
    return sim.sim.waitForFrames(kInitAfterConnect.size(), 5s) &&
           guitest::waitFor([&] { return Names(sim.Frames()) == kInitAfterConnect; }, 2000);
}

void OpenPage(Rig& rig, SimLink& sim) {
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(WaitForInit(sim));
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3443"));
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    rig.pageLog.clear();
    sim.sim.clearFrames();
}

void ExpectRemovalThenArrival(Rig& rig, SimLink& next) {
    ASSERT_TRUE(guitest::waitFor([&] { return rig.pages->deleted == 1; }, 5000));
    EXPECT_EQ(rig.pageLog, (PageLog{{ConnectionState, 0}}));
    EXPECT_TRUE(WaitForInit(next));
    EXPECT_EQ(rig.Title(), kConnected);
}

}  // namespace

TEST(BoardConnection, APortAnotherProgramHoldsIsNotConnectedIsRetriedWithoutTheSettlingPauseAndIsOpenedOnceFree) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    // Another program's handle on the port (its lock is the handle's, as another
    // process's would be; a forked holder would not run under the thread checker).
    auto holder = std::make_unique<platform::SerialPort>();
    ASSERT_EQ(holder->open(sim.path()), 0);
    platform::DebugCapture debug;
    const auto heldOpens = [&] { return debug.count("Open error : code 10\n"); };  // EBUSY
    Rig rig(sim.path(), true);  // the sleeps go to its manual clock
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ(rig.Title(), kDisconnected);
    EXPECT_EQ(rig.board.IsConnected(), 0);

    // The open after the arrival paused for the port to settle; the retries of the held
    // port (the GUI thread's, every presence poll) pause for nothing.
    ASSERT_TRUE(guitest::waitFor([&] { return heldOpens() >= 1; }, 5000));
    const std::uint64_t slept = rig.clock.totalSleptMs();
    EXPECT_EQ(slept, 500u);
    ASSERT_TRUE(guitest::waitFor([&] { return heldOpens() >= 4; }, 5000));
    EXPECT_EQ(rig.clock.totalSleptMs(), slept);
    EXPECT_EQ(sim.sim.frameCount(), 0u);
    EXPECT_EQ(rig.Title(), kDisconnected);
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3443"));
    EXPECT_EQ(rig.pageLog, (PageLog{{ConnectionState, 0}}));

    // Freed: the next check opens it, the page is told, and the board is initialised.
    rig.pageLog.clear();
    holder.reset();
    ASSERT_TRUE(guitest::waitFor([&] { return rig.Title() == kConnected; }, 5000));
    EXPECT_EQ(rig.board.IsConnected(), 1);
    ASSERT_GE(rig.pageLog.size(), 2u);
    EXPECT_EQ(rig.pageLog[0], (PageLog::value_type{ConnectionState, 1}));
    EXPECT_EQ(rig.pageLog[1].first, BoardConnected);
    EXPECT_TRUE(WaitForInit(sim));
}

TEST(BoardConnection, AnUnplugShorterThanThePresencePollIsSeenAndTheBoardInitialisedAgain) {
    SimLink sim("board port (1)");  // blanks and parentheses in the path
    ASSERT_TRUE(sim.started);
    Rig rig(sim.path(), true, 1000ms);  // the program's own presence poll: the gap falls between two
    OpenPage(rig, sim);
    sim.sim.unplug();
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(sim.sim.replug());
    ExpectRemovalThenArrival(rig, sim);
}

TEST(BoardConnection, ANameThatComesToStandForAnotherTerminalIsARemovalAndAVanishedOneTooWithoutFramesToTheOld) {
    SimLink board, other;
    ASSERT_TRUE(board.started);
    ASSERT_TRUE(other.started);
    const std::string link = UniqueLinkPath("tamsiro-board-link");
    PointLink(link, board.sim.slavePath());
    {
        Rig rig(link, true);
        OpenPage(rig, board);
        PointLink(link, other.sim.slavePath());
        ExpectRemovalThenArrival(rig, other);

        std::filesystem::remove(link);
        EXPECT_TRUE(guitest::waitFor([&] { return rig.Title() == kDisconnected; }, 5000));
        EXPECT_EQ(rig.board.IsConnected(), 0);
    }
    EXPECT_EQ(board.sim.frameCount(), 0u);
}
