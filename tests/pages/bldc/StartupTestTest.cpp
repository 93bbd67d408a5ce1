// The BLDC start-up test's worker against the simulator: Abort ends a run promptly under a bad
// status, destroying the dialog mid-run joins the worker, and Test Start's targets. (A whole run
// through the dialog's controls: StartupDialogTest.cpp.)
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "pages/bldc/StartupDialog.h"
#include "pages/bldc/StartupTest.h"
#include "platform/gui/Messages.h"
#include "ui/DerivedControl.h"
#include "tasks/TaskTestSupport.h"

using namespace bldc;

namespace {

std::size_t SpeedReads(const boardsim::BoardSim& sim) {
    std::size_t n = 0;
    for (const auto& f : sim.frames()) n += f.bytes.size() >= 2 && f.bytes[0] == '8' && f.bytes[1] == 20;
    return n;
}

}  // namespace

// Abort in the middle of a trial while the board keeps reporting a bad status: the
// worker is joined well within 200 ms, the aborted trial reports nothing, the end still
// comes and the motor is stopped.
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
    ASSERT_TRUE(WaitUntil([&] { return SpeedReads(board.sim) >= 20; }, std::chrono::seconds(10)));
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

// The page deletes its (hidden) dialog while a trial runs: the worker is joined first and
// stops the motor; its later posts go nowhere.
TEST(BldcStartupTest, DestroyingTheDialogMidRunJoinsTheWorker) {
    SimBoard board;
    ASSERT_TRUE(board.started);
    ASSERT_TRUE(board.Connect());
    board.sim.setMotor({true, 21, false, {1000000}, 20000, 2000, 500});
    std::unique_ptr<IStartupTestDialog> made = CreateStartupTestDialog(board.link.get());
    auto* dialog = dynamic_cast<COptionDlg_BLDCTest*>(made.get());
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->IsShown());
    // What "Test Start" sends when clicked.
    dialog->send(gui::msg::ControlChanged, 7, reinterpret_cast<gui::LParam>(dialog->FindControl(7, 0)));
    ASSERT_TRUE(dialog->IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return SpeedReads(board.sim) >= 20; }, std::chrono::seconds(10)));
    made.reset();
    EXPECT_TRUE(board.sim.portLevel(21));
    QCoreApplication::processEvents();
}

// Test Start takes the targets the sliders show: 10 on Target RPM is 1000 rpm, which with
// 2 pole pairs and 1 FG pulse is 33 Hz; without a pole count Target FG's 10 is 100 Hz.
TEST(BldcStartupTest, TargetsComeFromTheSlidersAsShown) {
    const auto targets = [](Targets t) { return std::make_pair(t.rpm, t.fg); };
    EXPECT_EQ(targets(TargetsFromSliders(10, 1, 2, 1)), std::make_pair(1000u, 33u));
    EXPECT_EQ(targets(TargetsFromSliders(10, 10, 0, 1)), std::make_pair(0u, 100u));
    EXPECT_EQ((std::vector{TestControlEnabled(3, false, 2), TestControlEnabled(4, false, 2), TestControlEnabled(4, false, 0),
                           TestControlEnabled(6, true, 0)}),
              (std::vector{true, false, true, true}));
}
