// The soak and the shutdown stress, short: the program's own object against the simulator
// with every fault at random, and started and closed with every kind of task running.
// scripts/soak runs the soak for minutes and bench/shutdown times a hundred closes; here
// they prove that every check holds and every close ends (under the sanitizers too,
// whose leak check at exit covers both).
#include <gtest/gtest.h>

#include <QtGlobal>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <thread>

#include "AppTestSupport.h"
#include "board-sim/BoardSim.h"
#include "stress/CloseCycle.h"
#include "stress/Soak.h"
#include "stress/StressSupport.h"

namespace {

using namespace std::chrono_literals;

int FromEnvironment(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

std::vector<std::uint8_t> Hex(const char* text) {
    const QByteArray bytes = QByteArray::fromHex(text);
    return {bytes.begin(), bytes.end()};
}

// Ends the process, saying what hung, when `Done` is not called within the limit: a hung
// close must fail here, not wait for the test runner's time-out.
class Watchdog {
public:
    Watchdog(std::string what, std::chrono::seconds limit)
        : thread_([this, what = std::move(what), limit] {
              std::unique_lock lock(mutex_);
              if (!cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::cerr << what << " did not end within " << limit.count() << " s\n";
                  std::abort();
              }
          }) {}
    ~Watchdog() { Done(); }
    void Done() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace

// Frames the stepper page sent: its clock at 1000 pps (period 3000, compare 1500), then off
// (compare at the period), and the board's defaults (compare 0).
TEST(Soak, AMotorCountsAsDrivenByTheStartPinOrAPulsingStepperClock) {
    const std::vector<std::uint8_t> running = Hex("38 02 00 00 FF FF 00 00 02 B8 0B 00 00 00 00 DC 05 00 00 00 55 04 FD");
    const std::vector<std::uint8_t> off = Hex("38 02 00 00 FF FF 00 00 05 A6 0E 00 00 00 00 A6 0E 00 00 00 55 04 C4");
    const std::vector<std::uint8_t> defaults = Hex("38 02 00 00 FF FF 00 00 05 A6 0E 00 00 00 00 00 00 00 00 00 55 05 11");
    const std::vector<std::uint8_t> poll = Hex("38 14");
    using Frames = std::vector<std::vector<std::uint8_t>>;
    const std::vector<std::tuple<bool, bool, Frames, bool>> cases = {
        {true, false, {}, true},                  // start pin driven to its run level
        {false, false, {}, false},                // an input reads low: nothing driven
        {true, true, {off, running, poll}, true}, // the clock's last word: running
        {true, true, {running, off, poll}, false},
        {true, true, {running, defaults}, false},
    };
    for (const auto& [output, level, frames, driven] : cases)
        EXPECT_EQ(stress::MotorDriven(output, level, frames), driven) << output << level << frames.size();
}

TEST(Soak, EveryFaultAtRandomLeavesTheLinkAnsweringTheTitlesTrueAndNoMotorDriven) {
    TempDir dir;
    stress::SoakOptions o;
    o.dir = dir.path();
    o.duration = std::chrono::seconds(FromEnvironment("TAMSIRO_SOAK_SECONDS", 10));
    o.seed = static_cast<std::uint32_t>(FromEnvironment("TAMSIRO_SOAK_SEED", 1));
    // More faults than the long run's, so that a short run meets every kind.
    o.faultPercent = FromEnvironment("TAMSIRO_SOAK_PERCENT", 20);
    // Each return of the board costs the open's 1.5 s of settling: a short run has room
    // for a couple.
    o.maxPlugged = std::min<std::chrono::milliseconds>(o.maxPlugged, o.duration / 2);
    stress::SoakFigures f;
    {
        Watchdog watchdog("the soak", std::chrono::duration_cast<std::chrono::seconds>(o.duration) + 120s);
        f = stress::RunSoak(o);
    }
    apptest::UnexpectedDialogs::Install();
    std::cout << f.Summary();
    EXPECT_EQ(f.linkAnswers, "");
    EXPECT_EQ(f.titles, "");
    EXPECT_EQ(f.motor, "");
    // Every kind of trouble came, and the program kept working through it.
    EXPECT_GT(f.unplugs, 0u);
    EXPECT_GE(f.faultsInjected, 5u);
    EXPECT_GE((std::pair{f.bldcPages, f.stepperPages}), (std::pair{1, 1}));
}

TEST(ShutdownStress, EveryCloseEndsAndWritesItsSettingsWithEveryKindOfTaskRunning) {
    TempDir dir;
    boardsim::BoardSim::Options simOptions = SimLink::MakeOptions("tamsiro-stress");
    boardsim::BoardSim sim(simOptions);
    ASSERT_TRUE(sim.start());
    sim.setMotor(boardsim::Motor{});
    stress::CloseCycleOptions o;
    o.dir = dir.path();
    o.sim = &sim;
    const int cycles = FromEnvironment("TAMSIRO_SHUTDOWN_CYCLES", 10);
    double slowest = 0;
    for (int i = 0; i < cycles; ++i) {
        stress::CloseCycle c;
        {
            Watchdog watchdog("close " + std::to_string(i), 20s);
            c = stress::RunCloseCycle(o);
        }
        o.bldcKey = c.bldcKey;
        slowest = std::max(slowest, c.closeMs);
        ASSERT_TRUE(c.opened) << "cycle " << i << ": " << c.missing;
        EXPECT_GE(c.queuedAtClose, 3u) << "cycle " << i;  // polling, demo, lens, and the burst's rest
        EXPECT_EQ(c.settingsProblem, "") << "cycle " << i;
        EXPECT_FALSE(c.motorLeftDriven) << "cycle " << i;
    }
    apptest::UnexpectedDialogs::Install();
    std::cout << cycles << " closes, the slowest " << slowest << " ms (bench/shutdown measures them)\n";
}
