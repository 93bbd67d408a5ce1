// The board connection over real pseudo-terminals. (A hang-up: the transport's.)
#include <gtest/gtest.h>

#include <QTimer>
#include <algorithm>
#include <thread>

#include "AppTestSupport.h"
#include "platform/core/SerialPort.h"

using namespace apptest;
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

TEST(BoardConnection, APortAnotherProgramHoldsIsNotConnectedNeverStallsTheWindowAndIsOpenedOnceFree) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    // Another program's handle on the port (its lock is the handle's, as another
    // process's would be; a forked holder would not run under the thread checker).
    auto holder = std::make_unique<platform::SerialPort>();
    ASSERT_EQ(holder->open(sim.path()), 0);
    Rig rig(sim.path(), true, 1000ms);  // the presence check's own period
    platform::SystemClock realClock;    // the pauses before and after an open take their time
    platform::ScopedClock realTime(realClock);
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ(rig.Title(), kDisconnected);

    // The retries of the busy port (one a second) never hold the GUI thread.
    std::vector<std::chrono::steady_clock::time_point> ticks;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { ticks.push_back(std::chrono::steady_clock::now()); });
    beat.start(20);
    std::size_t framesWhileHeld = 0;
    QTimer::singleShot(5000, [&] {
        framesWhileHeld = sim.sim.frameCount();
        holder.reset();
    });
    ASSERT_TRUE(guitest::waitFor([&] { return holder == nullptr; }, 10000));
    beat.stop();
    EXPECT_EQ(framesWhileHeld, 0u);
    long long longest = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        longest = std::max<long long>(longest, std::chrono::duration_cast<std::chrono::milliseconds>(ticks[i] - ticks[i - 1]).count());
    }
    EXPECT_LT(longest, 300) << "over " << ticks.size() << " beats";

    EXPECT_TRUE(guitest::waitFor([&] { return rig.Title() == kConnected; }, 5000));
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
