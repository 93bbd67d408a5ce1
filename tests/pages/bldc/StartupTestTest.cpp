// The BLDC start-up test's worker against the simulator, on its own thread: Abort ends a run
// promptly under a bad status. (Runs through the dialog: StartupDialogTest.cpp.)
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "pages/bldc/StartupDialog.h"
#include "pages/bldc/StartupTest.h"
#include "tasks/TaskTestSupport.h"

using namespace bldc;

// Abort mid-trial while the board reports a bad status: the worker is joined before Abort
// returns, only the end is posted, the motor is stopped.
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
    test.Abort();
    EXPECT_FALSE(test.IsRunning());
    ASSERT_TRUE(window.WaitForCount(1));
    const auto messages = window.Messages();
    ASSERT_EQ(messages.size(), 1u);
    const TrialPost end = DecodeTrialPost(messages.back().message.wParam, messages.back().message.lParam);
    EXPECT_EQ((std::tuple{end.end, end.run, board.sim.portLevel(21)}), (std::tuple{true, test.RunNumber(), true}));
}

// The page frees its (hidden) dialog while a trial runs: the window goes at once, its
// worker joined and the motor stopped before the release returns; later posts go nowhere.
TEST(BldcStartupTest, DestroyingTheDialogMidRunJoinsTheWorker) {
    SimBoard board;
    ASSERT_TRUE(board.started);
    ASSERT_TRUE(board.Connect());
    board.sim.setMotor({true, 21, false, {1000000}, 20000, 2000, 500});
    StartupTestDialogPtr made = CreateStartupTestDialog(board.link.get());
    auto* dialog = dynamic_cast<COptionDlg_BLDCTest*>(made.get());
    ASSERT_NE(dialog, nullptr);
    // What "Test Start" sends when clicked.
    dialog->send(gui::msg::ControlChanged, 7, reinterpret_cast<gui::LParam>(dialog->FindControl(7, 0)));
    ASSERT_TRUE(dialog->IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return !board.sim.portLevel(21) && board.sim.frames().size() > 40; }, std::chrono::seconds(10)));
    made.reset();
    EXPECT_TRUE(board.sim.portLevel(21));
    QCoreApplication::processEvents();
}
