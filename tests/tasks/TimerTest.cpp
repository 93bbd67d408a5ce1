// The self-re-arming timer on a manual clock.
#include <gtest/gtest.h>

#include "TaskTestSupport.h"
#include "platform/core/Debug.h"
#include "tasks/Timer.h"

namespace {

class TimerTest : public ::testing::Test {
protected:
    TimerCallback Recorder(std::function<void()> during = [] {}) {
        return [this, during](platform::Handle) {
            {
                std::lock_guard guard(mutex_);
                ticks_.push_back(clock_.nowMs() - start_);
            }
            during();
            return 1;
        };
    }
    std::vector<std::uint64_t> Ticks() {
        std::lock_guard guard(mutex_);
        return ticks_;
    }
    bool WaitTicks(std::size_t n) {
        return WaitUntil([&] { return Ticks().size() >= n; });
    }
    static void Quiet() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

    platform::DebugCapture debug_;
    platform::ManualClock clock_;
    platform::ScopedClock scope_{clock_};
    std::mutex mutex_;
    std::vector<std::uint64_t> ticks_;
    std::uint64_t start_ = 0;
};

}  // namespace

TEST_F(TimerTest, FirstTickAfterThePeriodThenThePeriodLessTheHandlerTimeWithA50msFloor) {
    const struct {
        std::uint32_t period, handlerMs;
        std::vector<std::uint64_t> ticks;
    } cases[] = {{25, 0, {25, 75, 125, 175}}, {500, 120, {500, 1000, 1500}}, {500, 480, {500, 1030}}};
    for (const auto& c : cases) {
        start_ = clock_.nowMs();
        ticks_.clear();
        {
            CTimer timer(0x80C9);
            timer.Start(c.period, Recorder([&] { clock_.advanceMs(c.handlerMs); }));
            ASSERT_TRUE(WaitTicks(c.ticks.size()));
        }  // its thread is gone, so the clock stands still
        ticks_.resize(c.ticks.size());
        EXPECT_EQ(ticks_, c.ticks) << c.period << " " << c.handlerMs;
    }
}

TEST_F(TimerTest, StartWhileRunningChangesNothingAndRepeatZeroTicksOnce) {
    CTimer timer(0x80DD);
    timer.SetRepeat(0);
    timer.Start(100, Recorder());
    timer.Start(10, [&](platform::Handle) {
        ADD_FAILURE() << "the second Start took over";
        return 1;
    });
    ASSERT_TRUE(WaitTicks(1));
    Quiet();
    EXPECT_EQ(Ticks(), std::vector<std::uint64_t>{100});
    EXPECT_EQ(timer.IsRunning(), 1u);  // a single tick leaves it marked running
    timer.Start(10);                   // ... so only Stop and Start tick again
    timer.Stop();
    timer.Start(10);
    ASSERT_TRUE(WaitTicks(2));
    EXPECT_EQ(Ticks()[1], 110u);
}

TEST_F(TimerTest, ZeroPeriodFailsToArm) {
    CTimer timer(0x80DE);
    timer.Start(0, Recorder());
    EXPECT_EQ(timer.IsRunning(), 1u);
    EXPECT_EQ(debug_.count("Timer failed\n"), 1u);
    Quiet();
    EXPECT_EQ(Ticks().size(), 0u);
}

TEST_F(TimerTest, StopAndStartInsideTheTickKeepItTicking) {
    CTimer timer(0x8119);
    timer.Start(30, Recorder([&] {
        timer.Stop();
        timer.Start(30);
    }));
    ASSERT_TRUE(WaitTicks(20));
    timer.Stop();
    const auto t = Ticks();
    for (std::size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i], 30 * (i + 1)) << i;
}

// The pages' pattern: another thread restarts it while it re-arms.
TEST_F(TimerTest, GuiThreadRestartsRacingTheTimerThread) {
    RecordingWindow window;
    CTimer timer(0x80C8);
    timer.SetWindow(window.handle());
    std::atomic<bool> done{false};
    std::thread gui([&] {
        for (std::size_t seen = 0; !done; std::this_thread::yield()) {
            if (window.Count() == seen) continue;
            seen = window.Count();
            timer.Stop();
            timer.Start(seen % 30 + 5);
        }
    });
    timer.Start(5);
    EXPECT_TRUE(window.WaitForCount(300, std::chrono::seconds(20)));
    done = true;
    gui.join();
    timer.Stop();
    const auto n = window.Count();
    Quiet();
    EXPECT_EQ(window.Count(), n);
    EXPECT_EQ(window.Messages().back().message.msg, 0x80C8u);
}

TEST_F(TimerTest, AGoneWindowStopsRearmingUntilRestarted) {
    auto window = std::make_unique<RecordingWindow>();
    CTimer timer(0x811A);
    timer.SetWindow(window->handle());
    timer.Start(20);
    ASSERT_TRUE(window->WaitForCount(2));
    window->Close();
    const auto before = clock_.nowMs();
    Quiet();
    EXPECT_LE(clock_.nowMs() - before, 50u);
    EXPECT_EQ(timer.IsRunning(), 1u);

    RecordingWindow next;
    timer.SetWindow(next.handle());
    timer.Stop();
    timer.Start(20);
    EXPECT_TRUE(next.WaitForCount(2));
}

TEST_F(TimerTest, StopAndDestroyWaitForATickInProgress) {
    for (const bool destroy : {false, true}) {
        std::atomic<bool> inTick{false}, tickEnded{false};
        auto timer = std::make_unique<CTimer>(0x811B);
        timer->Start(10, [&](platform::Handle) {
            if (!inTick.exchange(true)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                tickEnded = true;
            }
            return 1;
        });
        ASSERT_TRUE(WaitUntil([&] { return inTick.load(); }));
        if (destroy) timer.reset();
        else timer->Stop();
        EXPECT_TRUE(tickEnded) << destroy;
    }
}
