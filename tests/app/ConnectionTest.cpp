// The board connection over real pseudo-terminals: the title follows the open, a port held by
// another program is retried, a quick unplug and replug (on a path with blanks and parentheses)
// or a name that comes to stand for another terminal is a removal. (A hang-up: the transport's.)
#include <gtest/gtest.h>

#include <thread>

#include "AppTestSupport.h"
#include "platform/core/SerialPort.h"

using namespace apptest;
using gui::msg::BoardConnected;
using gui::msg::ConnectionState;
using namespace std::chrono_literals;

namespace {

// Points `link` at `target`, replacing what it named in one step.
void PointLink(const std::string& link, const std::string& target) {
    const std::string next = link + ".next";
    std::filesystem::remove(next);
    std::filesystem::create_symlink(target, next);
    std::filesystem::rename(next, link);
}

// Waits until the simulator has logged a whole board initialisation after a connection.
bool WaitForInit(SimLink& sim) {
    return sim.sim.waitForFrames(kInitAfterConnect.size(), 5s) &&
           guitest::waitFor([&] { return Names(sim.Frames()) == kInitAfterConnect; }, 2000);
}

}  // namespace

TEST(BoardConnection, APortAnotherProgramHoldsIsNotConnectedAndIsOpenedOnceFree) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    auto holder = std::make_unique<platform::SerialPort>();
    ASSERT_EQ(holder->open(sim.path()), 0);
    Rig rig(sim.path(), true);
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ((std::pair{rig.Title(), rig.board.IsConnected()}), (std::pair{QString("Tamsiro (USB Disconnected)"), 0}));
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3443"));
    EXPECT_EQ(rig.pageLog, (PageLog{{ConnectionState, 0}}));
    EXPECT_EQ(sim.sim.frameCount(), 0u);

    // Freed: the next check opens it, the page is told, and the board is initialised.
    rig.pageLog.clear();
    holder.reset();
    ASSERT_TRUE(guitest::waitFor([&] { return rig.Title() == QString("Tamsiro (USB Connected)"); }, 5000));
    EXPECT_EQ(rig.board.IsConnected(), 1);
    ASSERT_GE(rig.pageLog.size(), 2u);
    EXPECT_EQ(rig.pageLog[0], (PageLog::value_type{ConnectionState, 1}));
    EXPECT_EQ(rig.pageLog[1].first, BoardConnected);
    EXPECT_TRUE(WaitForInit(sim));
}

TEST(BoardConnection, AnUnplugShorterThanThePresencePollIsSeenAndTheBoardInitialisedAgain) {
    SimLink sim("board port (1)");  // a path with blanks and parentheses opens too
    ASSERT_TRUE(sim.started);
    ASSERT_NE(sim.path().find("board port (1)"), std::string::npos);
    // The program's own presence poll: the gap below falls between two polls.
    Rig rig(sim.path(), true, 1000ms);
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3443"));
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    rig.pageLog.clear();
    sim.sim.clearFrames();

    sim.sim.unplug();
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(sim.sim.replug());
    // Seen as a removal (the page is told and closed), then as an arrival.
    ASSERT_TRUE(guitest::waitFor([&] { return rig.pages->deleted == 1; }, 5000));
    EXPECT_EQ(rig.pageLog, (PageLog{{ConnectionState, 0}}));
    EXPECT_TRUE(WaitForInit(sim));
    EXPECT_EQ((std::pair{rig.Title(), rig.board.IsConnected()}), (std::pair{QString("Tamsiro (USB Connected)"), 1}));
}

TEST(BoardConnection, ANameThatComesToStandForAnotherTerminalIsARemovalAndAVanishedOneTooWithoutFramesToTheOld) {
    SimLink board, other;
    ASSERT_TRUE(board.started);
    ASSERT_TRUE(other.started);
    const std::string link = UniqueLinkPath("tamsiro-board-link");
    PointLink(link, board.sim.slavePath());
    {
        Rig rig(link, true);
        ASSERT_TRUE(rig.Open());
        ASSERT_TRUE(WaitForInit(board));
        ASSERT_TRUE(rig.ChooseDriverNamed("KT3443"));
        ASSERT_TRUE(rig.tasks.WaitIdle(5000));
        rig.pageLog.clear();
        board.sim.clearFrames();

        // The name now stands for another terminal: the board counts as removed, the
        // other terminal as a new arrival that is initialised from the start.
        PointLink(link, other.sim.slavePath());
        ASSERT_TRUE(guitest::waitFor([&] { return rig.pages->deleted == 1; }, 5000));
        EXPECT_EQ(rig.pageLog, (PageLog{{ConnectionState, 0}}));
        EXPECT_TRUE(WaitForInit(other));
        EXPECT_EQ(rig.Title(), QString("Tamsiro (USB Connected)"));
        EXPECT_EQ(board.sim.frameCount(), 0u);

        // The name gone: disconnected.
        std::filesystem::remove(link);
        EXPECT_TRUE(guitest::waitFor([&] { return rig.Title() == QString("Tamsiro (USB Disconnected)"); }, 5000));
        EXPECT_EQ(rig.board.IsConnected(), 0);
    }
    EXPECT_EQ(board.sim.frameCount(), 0u);
}
