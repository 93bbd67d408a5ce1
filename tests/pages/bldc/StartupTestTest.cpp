// The BLDC start-up test's worker against the simulator, on its own thread: Abort ends a run
// promptly under a bad status. (Runs through the dialog: StartupDialogTest.cpp.)
#include <gtest/gtest.h>

#include "pages/bldc/StartupTest.h"
#include "tasks/TaskTestSupport.h"

using namespace bldc;

// Abort mid-trial while the board reports a bad status: the worker is joined at once,
// only the end is posted, the motor is stopped.
TEST(BldcStartupTest, AbortMidTrialEndsPromptly) {
    SimBoard board;
    ASSERT_TRUE(board.started);
    ASSERT_TRUE(board.Connect());
    board.sim.setMotor({true, 21, false, {1000000}, 20000, 2000, 500});
    RecordingWindow window;
    CBldcStartupTest test(board.link.get());
    StartupTestParams params;
    params.timeoutMs = 10000, params.offTimeMs = 1;
    board.sim.setStatus(1);

    ASSERT_TRUE(test.Start(window.handle(), params));
    // Mid-trial, the count read again and again.
    ASSERT_TRUE(WaitUntil([&] { return !board.sim.portLevel(21) && board.sim.frames().size() > 40; }, std::chrono::seconds(10)));
    const auto start = std::chrono::steady_clock::now();
    test.Abort();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_FALSE(test.IsRunning());
    ASSERT_TRUE(window.WaitForCount(1));
    const auto messages = window.Messages();
    ASSERT_EQ(messages.size(), 1u);
    const TrialPost end = DecodeTrialPost(messages.back().message.wParam, messages.back().message.lParam);
    EXPECT_EQ((std::tuple{end.end, end.run, board.sim.portLevel(21)}), (std::tuple{true, test.RunNumber(), true}));
}
