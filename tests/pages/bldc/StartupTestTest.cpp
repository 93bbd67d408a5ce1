// The BLDC start-up test against the simulator's motor model: the trials' arrival times,
// the statistics, histogram buckets, saved file and clipboard text they give, and Abort
// ending a run promptly whatever the board does.
#include <gtest/gtest.h>

#include <QString>
#include <numeric>

#include "data/FileTestSupport.h"
#include "pages/bldc/StartupResults.h"
#include "pages/bldc/StartupTest.h"
#include "platform/gui/CommonDialogs.h"
#include "tasks/TaskTestSupport.h"
#include "ui/LogFile.h"

using namespace bldc;

namespace {

// What the dialog does with the worker's posts: rows for the current run, then the end.
struct Collected {
    CStartupResults results;
    bool ended = false;
    std::vector<std::uint32_t> runs;
};

Collected Collect(const RecordingWindow& window, std::uint32_t run) {
    Collected c;
    for (const auto& posted : window.Messages()) {
        EXPECT_EQ(posted.message.msg, kMsgTrialResult);
        const TrialPost p = DecodeTrialPost(posted.message.wParam, posted.message.lParam);
        c.runs.push_back(p.run);
        if (p.run != run) continue;
        if (p.end)
            c.ended = true;
        else
            c.results.Add(p.index, p.ms);
    }
    return c;
}

std::size_t SpeedReads(const boardsim::BoardSim& sim) {
    std::size_t n = 0;
    for (const auto& f : sim.frames()) n += f.bytes.size() >= 2 && f.bytes[0] == '8' && f.bytes[1] == 20;
    return n;
}

}  // namespace

// Time moves only by the worker's 1 ms sleeps, so each arrival time is exact: the 100 ms
// start delay, the reads of a motor that has not moved yet, then ten reads to pass
// 100 Hz (the count falls from 20000 by 2000 a read to 500). The fourth start never
// turns: its trial ends at the time-out with 0.
TEST(BldcStartupTest, TrialsGiveExactTimesStatisticsFileAndClipboard) {
    SimBoard board;
    ASSERT_TRUE(board.started);
    ASSERT_TRUE(board.Connect());
    board.sim.setMotor({true, 21, false, {3, 5, 4, 1000000}, 20000, 2000, 500});
    RecordingWindow window;
    platform::ManualClock clock;
    platform::ScopedClock scope(clock);

    StartupTestParams params;
    params.trials = 4;
    params.timeoutMs = 300;
    params.offTimeMs = 20;
    params.targetFg = 100;
    params.pwm = {1, 50000, 200, 240};
    CBldcStartupTest test(board.link.get());
    ASSERT_TRUE(test.Start(window.handle(), params));
    EXPECT_FALSE(test.Start(window.handle(), params));  // one run at a time
    ASSERT_TRUE(window.WaitForCount(5, std::chrono::seconds(30)));
    test.OnEnded();

    Collected c = Collect(window, test.RunNumber());
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(c.runs, (std::vector<std::uint32_t>(5, 1)));
    const CStartupResults& r = c.results;
    const StatisticsText t = r.Texts();
    EXPECT_EQ(t.minimum, "113");
    EXPECT_EQ(t.maximum, "115");
    EXPECT_EQ(t.average, "114.00");
    EXPECT_EQ(t.deviation, "0.82");
    EXPECT_EQ(t.errors, "1");
    // Buckets (b × 2, (b + 1) × 2]: 113 in (112, 114] with 114, 115 in the next one.
    std::vector<std::uint32_t> buckets = r.Buckets(2, 300);
    ASSERT_EQ(buckets.size(), 150u);
    EXPECT_EQ(buckets[56], 2u);
    EXPECT_EQ(buckets[57], 1u);
    EXPECT_EQ(std::accumulate(buckets.begin(), buckets.end(), 0u), 3u);

    // The select frame first; the motor is left stopped (S/S high) and PWMIN idle.
    const auto frames = board.Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front(), (std::vector<std::uint8_t>{'8', 4, 39, 39}));
    EXPECT_TRUE(board.sim.portLevel(21));

    // Saved through the line log, and copied to the clipboard.
    TempDir dir;
    ScriptedNames names;
    names.answers = {dir.file("startup.txt")};
    CDerivedFile log(&names, [] { return LocalDateTime{2024, 5, 17, 9, 3, 7, 45}; });
    EXPECT_EQ(SaveResult(log, r), 1);
    EXPECT_EQ(SaveResult(log, r), 0);  // cancelled: nothing more written
    EXPECT_EQ(readText(dir.file("startup.txt")),
              "---------------<< 2024/05/17 09:03:07.045 >>Record start---------------\r\n"
              "\r\n"
              "Test number, Arrival time[msec]\r\n"
              "1,113\r\n2,115\r\n3,114\r\n4,0\r\n"
              "---------------Record end---------------\r\n");
    gui::ScriptedDialogs dialogs;
    EXPECT_TRUE(CopyToClipboard(r));
    ASSERT_EQ(dialogs.clipboard().size(), 1u);
    EXPECT_EQ(dialogs.clipboard()[0], QString("1\t113\r\n2\t115\r\n3\t114\r\n4\t0\r\n"));
    dialogs.failClipboard(true);
    EXPECT_FALSE(CopyToClipboard(r));

    CStartupResults empty;
    EXPECT_EQ(empty.Texts().average, "0.00");
    EXPECT_TRUE(empty.ClipboardText().empty());
}

// Abort in the middle of a trial, once while the motor never turns and once while the
// board keeps reporting a bad status: the worker is joined well within 200 ms, the
// aborted trial reports nothing, the end still comes and the motor is stopped.
TEST(BldcStartupTest, AbortMidTrialEndsPromptly) {
    SimBoard board;
    ASSERT_TRUE(board.started);
    ASSERT_TRUE(board.Connect());
    board.sim.setMotor({true, 21, false, {1000000}, 20000, 2000, 500});
    RecordingWindow window;
    CBldcStartupTest test(board.link.get());
    StartupTestParams params;
    params.timeoutMs = 10000;
    params.offTimeMs = 1;

    for (std::uint8_t status : {0, 1}) {
        SCOPED_TRACE(static_cast<int>(status));
        board.sim.setStatus(status);
        const std::size_t before = SpeedReads(board.sim);
        const std::size_t posts = window.Count();
        ASSERT_TRUE(test.Start(window.handle(), params));
        ASSERT_TRUE(WaitUntil([&] { return SpeedReads(board.sim) >= before + 20; }, std::chrono::seconds(10)));
        const auto start = std::chrono::steady_clock::now();
        test.Abort();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, std::chrono::milliseconds(200));
        EXPECT_FALSE(test.IsRunning());
        ASSERT_TRUE(window.WaitForCount(posts + 1));
        const auto messages = window.Messages();
        ASSERT_EQ(messages.size(), posts + 1);
        const TrialPost end = DecodeTrialPost(messages.back().message.wParam, messages.back().message.lParam);
        EXPECT_TRUE(end.end);
        EXPECT_EQ(end.run, test.RunNumber());
        EXPECT_TRUE(board.sim.portLevel(21));
    }
    EXPECT_EQ(test.RunNumber(), 2u);
}

// Test Start takes the targets the sliders show: 10 on Target RPM is 1000 rpm, which with
// 2 pole pairs and 1 FG pulse is 33 Hz; without a pole count Target FG's 10 is 100 Hz.
TEST(BldcStartupTest, TargetsComeFromTheSlidersAsShown) {
    const auto targets = [](Targets t) { return std::make_pair(t.rpm, t.fg); };
    EXPECT_EQ(targets(TargetsFromSliders(10, 1, 2, 1)), std::make_pair(1000u, 33u));
    EXPECT_EQ(targets(TargetsFromSliders(10, 10, 0, 1)), std::make_pair(0u, 100u));
    EXPECT_TRUE(TestControlEnabled(3, false, 2));
    EXPECT_FALSE(TestControlEnabled(4, false, 2));
    EXPECT_TRUE(TestControlEnabled(4, false, 0));
    EXPECT_FALSE(TestControlEnabled(0, true, 0));
    EXPECT_TRUE(TestControlEnabled(8, true, 0));
    EXPECT_TRUE(TestControlEnabled(6, true, 0));
}
