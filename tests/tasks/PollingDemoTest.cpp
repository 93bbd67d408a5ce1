#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "TaskTestSupport.h"
#include "platform/core/Debug.h"
#include "tasks/BldcDemoTask.h"
#include "tasks/GuiCommand.h"
#include "tasks/PollingTask.h"
#include "tasks/TaskFactory.h"
#include "tasks/TaskListener.h"

namespace {

class PollingOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(board_.started);
        ASSERT_TRUE(board_.Connect());  // installs and removes a clock of its own
        scope_ = std::make_unique<platform::ScopedClock>(clock_);
        const std::set<int> before = ListedThreads();
        queue_ = std::make_unique<CDerivedTaskListener>(window_.handle());
        worker_ = Without(ListedThreads(), before);
        ASSERT_EQ(worker_.size(), 1u) << "threads the queue started: " << Ids(worker_);
        queue_->SetMicon(board_.link.get());
        queue_->SetDataContainer(&store_);
    }
    void TearDown() override {
        queue_.reset();
        scope_.reset();
        EXPECT_EQ(CTaskFactory::GetInstance()->GetPollingTask(), nullptr);
    }
    void Polls(std::size_t n) { ASSERT_TRUE(window_.WaitForCount(window_.Count() + n)); }

    platform::DebugCapture debug_;
    platform::ManualClock clock_;
    std::unique_ptr<platform::ScopedClock> scope_;
    SimBoard board_;
    RecordingStore store_;
    RecordingWindow window_;
    std::unique_ptr<CDerivedTaskListener> queue_;
    std::set<int> worker_;  // the queue's worker thread, by kernel id
};

}  // namespace

TEST_F(PollingOnSim, PublishesTheChipsWordsEvery50msUntilStopped) {
    ASSERT_EQ(store_.SelectContainer(0x303), 1);
    board_.sim.setAdc(0, 0x123);
    board_.sim.setAdc(1, 0x456);
    board_.sim.setInputPort(18, true);
    board_.sim.setMeasuredValue(500);

    queue_->AddTask(0x0A010301, EmptyTaskRecord(), 0);
    ASSERT_TRUE(window_.WaitForCount(5));

    const auto posts = window_.Messages();
    for (std::size_t i = 0; i < posts.size(); ++i) {
        const auto& m = posts[i].message;
        EXPECT_EQ((std::tuple{m.msg, m.wParam, m.lParam}), (std::tuple{kMsgNewData, std::uintptr_t{0}, std::intptr_t{0}}));
        if (i > 0) { EXPECT_EQ(posts[i].clockMs - posts[i - 1].clockMs, 50u) << i; }
    }
    // Status 1 (flag clear, port 18 high), the analog inputs, the count.
    EXPECT_EQ((std::vector<std::uint32_t>{store_.GetValue(21), store_.GetValue(5), store_.GetValue(7), store_.GetValue(27)}),
              (std::vector<std::uint32_t>{1, 0x123, 0x456, 500}));
    // Counts of 1 to 19 are left out.
    const std::pair<std::uint16_t, std::uint32_t> counts[] = {{10, 500}, {0, 0}, {20, 20}};
    for (const auto& [set, kept] : counts) {
        board_.sim.setMeasuredValue(set);
        Polls(3);
        EXPECT_EQ(store_.GetValue(27), kept) << set;
    }

    queue_->AddTask(0x0A010300, EmptyTaskRecord(), 0);
    ASSERT_TRUE(queue_->WaitIdle(5000));
    // Stopped for good: the task is deleted, its thread (the only one that posts) gone.
    EXPECT_EQ(CTaskFactory::GetInstance()->GetPollingTask(), nullptr);
    EXPECT_EQ(debug_.count("\t\t\tRunning Task-queue : delete task\n"), 1u);
}

TEST_F(PollingOnSim, WithoutReadingItOnlyPosts) {
    ASSERT_EQ(store_.SelectContainer(0x300), 1);
    queue_->AddTask(0x0A000001, EmptyTaskRecord(), 0);  // argument A 0
    ASSERT_TRUE(window_.WaitForCount(4));
    for (const auto& f : board_.Frames()) EXPECT_TRUE(f[0] != 'A' && f[0] != '8') << f[0];
    EXPECT_TRUE(store_.Writes().empty());
}

TEST_F(PollingOnSim, ReadingsNeverLandInAnotherDevicesBlock) {
    const std::uint32_t other = store_.GetValueOf(0x100, 27);
    ASSERT_EQ(store_.SelectContainer(0x300), 1);
    board_.sim.setMeasuredValue(1234);
    queue_->AddTask(0x0A010001, EmptyTaskRecord(), 0);
    ASSERT_TRUE(window_.WaitForCount(2));
    EXPECT_EQ(store_.GetValue(27), 1234u);

    // The device changes right after a selection query, then for good.
    store_.SwitchAfterNextQuery(0x100);
    Polls(3);
    ASSERT_EQ(store_.SelectContainer(0x100), 1);
    Polls(3);
    EXPECT_EQ((std::tuple{store_.GetValueOf(0x100, 27), store_.GetValueOf(0x300, 27)}), (std::tuple{other, 1234u}));
}

// Each chip's outputs reach the board's ports that the poll reads: the poll makes those
// ports inputs itself, whatever they were, and drives no other.
struct ChipInputs {
    std::uint32_t word;
    std::vector<int> inputs;
};
void PrintTo(const ChipInputs& c, std::ostream* out) { *out << "word 0x" << std::hex << c.word; }
class PollingInputs : public PollingOnSim, public ::testing::WithParamInterface<ChipInputs> {};

TEST_P(PollingInputs, ThePollMakesTheChipsOutputPortsInputs) {
    ASSERT_EQ(store_.SelectContainer(0x300), 1);
    for (std::uint32_t port = 0; port <= 20; ++port) {
        PortRecord output{port, 1, 0, 0, port == 20 ? 1u : 0u};
        board_.link->WritePort(static_cast<int>(port), &output, static_cast<int>(output.send));
    }
    for (int port = 0; port <= 20; ++port) ASSERT_TRUE(board_.sim.portIsOutput(port)) << port;
    queue_->AddTask(GetParam().word, EmptyTaskRecord(), 0);
    ASSERT_TRUE(window_.WaitForCount(2));
    std::vector<int> inputs;
    for (int port = 0; port <= 20; ++port)
        if (!board_.sim.portIsOutput(port)) inputs.push_back(port);
    EXPECT_EQ(inputs, GetParam().inputs);
}

INSTANTIATE_TEST_SUITE_P(EachChip, PollingInputs,
                         ::testing::Values(ChipInputs{0x0A010001, {0, 1, 2}}, ChipInputs{0x0A010201, {0, 1}},
                                           ChipInputs{0x0A010501, {0, 1, 18}}));

TEST_F(PollingOnSim, EndedMidExchangeLeavesNoThreadNoPostAndAWorkingLink) {
    ASSERT_EQ(store_.SelectContainer(0x300), 1);
    for (const bool viaQueue : {true, false}) {
        SCOPED_TRACE(viaQueue ? "queue stopped" : "task deleted");
        RecordingWindow own;
        RecordingWindow& window = viaQueue ? window_ : own;
        const std::set<int> before = ListedThreads();
        std::unique_ptr<CPollingTask> task;
        if (viaQueue) {
            queue_->AddTask(0x0A010001, EmptyTaskRecord(), 0);
        } else {
            task = std::make_unique<CPollingTask>(0x0A010001);
            task->SetMicon(board_.link.get());
            task->SetDataContainer(&store_);
            task->SetNotifyWindow(window.handle());
            ASSERT_EQ(task->Start(), 1);
        }
        ASSERT_TRUE(window.WaitForCount(2));
        const std::set<int> poller = Without(ListedThreads(), before);
        ASSERT_EQ(poller.size(), 1u) << "threads the poll started: " << Ids(poller);
        const std::size_t sent = board_.sim.frameCount();
        board_.sim.injectFault(boardsim::Fault::LateReply);
        ASSERT_TRUE(board_.sim.waitForFrames(sent + 1, std::chrono::seconds(2)));
        window.Close();
        const std::size_t posts = window.Count();
        viaQueue ? queue_.reset() : task.reset();

        // The poll's thread, and with the queue its worker, are gone; nothing else new stays.
        const std::set<int> left = ThreadsLeft(Without(before, viaQueue ? worker_ : std::set<int>{}));
        EXPECT_TRUE(left.empty()) << "still listed: " << Ids(left) << "; the poll's " << Ids(poller) << ", the worker "
                                  << Ids(worker_);
        EXPECT_EQ(CTaskFactory::GetInstance()->GetPollingTask(), nullptr);
        EXPECT_EQ(debug_.count("\t\t\tRunning Task-queue : delete task\n"), 1u);
        EXPECT_EQ(window.Count(), posts);
        board_.sim.setMeasuredValue(0x0444);
        EXPECT_EQ(board_.link->ReadMeasuredValue(1), 0x0444);
    }
}

namespace {

// Time moves only by sleeps; the sleep after `HoldNextSleep` runs the given action on the
// sleeping thread before it returns.
class HoldingClock final : public platform::IClock {
public:
    std::uint64_t nowMs() override { return nowUs_.load() / 1000; }
    std::uint64_t nowUs() override { return nowUs_.load(); }
    void sleepMs(std::uint32_t ms) override {
        nowUs_ += ms * 1000ull;
        std::function<void()> action;
        {
            std::lock_guard guard(mutex_);
            action = std::exchange(hold_, {});
        }
        if (action) action();
    }
    void HoldNextSleep(std::function<void()> action) {
        std::lock_guard guard(mutex_);
        hold_ = std::move(action);
    }

private:
    std::atomic<std::uint64_t> nowUs_{0};
    std::mutex mutex_;
    std::function<void()> hold_;
};

// The scheduling state letter of one of this process's threads ('S' while it waits), or 0
// once it is no longer listed.
char ThreadState(int tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t end = stat.rfind(") ");
    return end == std::string::npos || end + 2 >= stat.size() ? 0 : stat[end + 2];
}

}  // namespace

// The polling task's destructor waits for its thread before anything of the task is torn
// down: its run may still be inside a poll, using the polling task's own members. Held in
// its sleep after a poll, the thread looks at the task once the deleting thread waits (in
// a join: nothing else in a destructor waits), and must still find a polling task.
TEST(PollingTask, DeletedWhileItRunsItsThreadEndsBeforeThePollingTaskIsTornDown) {
    HoldingClock clock;
    platform::ScopedClock scope(clock);
    FakeBoard board;
    RecordingStore store;
    RecordingWindow window;
    std::atomic<int> deleter{0};
    std::atomic<bool> held{false}, deleterWaited{false}, whole{false};
    ASSERT_EQ(store.SelectContainer(0x300), 1);
    auto task = std::make_unique<CPollingTask>(0x0A010001);
    const CDerivedTask* seen = task.get();
    task->SetMicon(board.link.get());
    task->SetDataContainer(&store);
    task->SetNotifyWindow(window.handle());
    ASSERT_EQ(task->Start(), 1);
    ASSERT_TRUE(window.WaitForCount(1));

    clock.HoldNextSleep([&] {
        held = true;
        deleterWaited = WaitUntil([&] { return deleter != 0 && ThreadState(deleter) == 'S'; }, std::chrono::seconds(10));
        whole = dynamic_cast<const CPollingTask*>(seen) != nullptr;
    });
    ASSERT_TRUE(WaitUntil([&] { return held.load(); }));
    std::thread deleting([&] {
        deleter = static_cast<int>(gettid());
        task.reset();
    });
    deleting.join();
    EXPECT_TRUE(deleterWaited.load()) << "the deleting thread never waited for the task's thread";
    EXPECT_TRUE(whole.load()) << "the task's thread ran on in a task no longer a polling task";
}

// Readings belong to the device selected when polling began, even when another is selected
// before the first poll.
TEST(PollingTask, ADeviceSelectedBeforeTheFirstPollGetsNoReadings) {
    HoldingClock clock;
    platform::ScopedClock scope(clock);
    FakeBoard board;
    RecordingStore store;
    RecordingWindow window;
    ASSERT_EQ(store.SelectContainer(0x300), 1);
    clock.HoldNextSleep([&] { store.SelectContainer(0x100); });  // the sleep before the first poll
    CPollingTask task(0x0A010001);
    task.SetMicon(board.link.get());
    task.SetDataContainer(&store);
    task.SetNotifyWindow(window.handle());
    ASSERT_EQ(task.Start(), 1);
    ASSERT_TRUE(window.WaitForCount(2));
    task.SetCommand(0x0A010000);
    task.GetThreadHandle()->Join();
    EXPECT_EQ(store.Writes().size(), 0u) << "the first of them to word " << (store.Writes().empty() ? -1 : store.Writes()[0].index);
}

namespace {

const std::uint32_t kPercents[21] = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 0};
std::uint32_t HoldOf(int step) { return step == 0 ? 2000 : step == 20 ? 4000 : 3000; }
std::uint32_t Duty(std::uint32_t percent) { return percent * 240 / 100; }

}  // namespace

TEST(BldcDemo, RampStaysBetweenItsEndsAndArrivesExactly) {
    for (std::uint32_t from : {0u, 50u, 100u}) {
        for (std::uint32_t to : {0u, 10u, 100u}) {
            const int a = static_cast<int>(Duty(from)), b = static_cast<int>(Duty(to));
            int last = a;
            for (std::uint32_t t = 0; t <= 5000; ++t) {
                const int v = CBldcDemoTask::RampDuty(from, to, 100, t);
                EXPECT_GE(v, std::min(a, b));
                EXPECT_LE(v, std::max(a, b));
                EXPECT_TRUE(b >= a ? v >= last : v <= last) << from << "->" << to << " t=" << t;
                last = v;
            }
            EXPECT_EQ(CBldcDemoTask::RampDuty(from, to, 100, 0), a);
            EXPECT_EQ(CBldcDemoTask::RampDuty(from, to, 100, 100), b);
            EXPECT_EQ(CBldcDemoTask::RampDuty(from, to, 100, 1700), b);  // t cubed would wrap
            EXPECT_EQ(CBldcDemoTask::RampDuty(from, to, 0, 0), b);
        }
    }
}

TEST(BldcDemo, ChipZeroWalksTheWholeSequenceAndEndsAtZero) {
    platform::DebugCapture debug;
    ScriptedClock clock;
    platform::ScopedClock scope(clock);
    RecordingStore store;
    ASSERT_EQ(store.SelectContainer(0x300), 1);

    CBldcDemoTask task(0x0E000001);  // chip 0
    task.SetDataContainer(&store);
    // Each step: 101 ramp writes, the hold, 1 ms; stopped in the second cycle's first ramp.
    const std::size_t cycle = 21 * 101;
    clock.At(21 * (101 + 1) + 2000 + 19 * 3000 + 4000 + 1, [&] { task.SetCommand(0x0E000000); });
    ASSERT_EQ(task.Start(), 1);
    task.GetThreadHandle()->Join();

    const auto w = store.WritesOf(1);
    ASSERT_EQ(w.size(), cycle + 2);
    std::uint64_t stepStart = 0;
    std::uint32_t previous = 0;
    for (int step = 0; step < 21; ++step) {
        const auto* ramp = &w[static_cast<std::size_t>(step) * 101];
        for (std::uint32_t t = 0; t <= 100; ++t) EXPECT_EQ(ramp[t].clockMs, stepStart + t) << step;
        EXPECT_EQ(ramp[0].value, Duty(previous)) << step;
        EXPECT_EQ(ramp[100].value, Duty(kPercents[step])) << step;
        const double mid = (Duty(previous) + Duty(kPercents[step])) / 2.0;
        EXPECT_NEAR(static_cast<double>(ramp[50].value), mid, 1.0) << step;
        stepStart += 101 + HoldOf(step) + 1;
        previous = kPercents[step];
    }
    EXPECT_EQ((std::tuple{w[cycle].clockMs, w[cycle].value, w[cycle + 1].clockMs, w[cycle + 1].value}),
              (std::tuple{stepStart, 0u, stepStart + 2, 0u}));
    std::size_t duties = 0;
    for (const auto& line : debug.lines()) duties += line.rfind("new Duty = ", 0) == 0;
    EXPECT_EQ(duties, cycle + 2);
}

TEST(BldcDemo, ChipFiveJumpsAndAStopInAHoldSetsZeroAtOnce) {
    platform::DebugCapture debug;
    ScriptedClock clock;
    platform::ScopedClock scope(clock);
    FakeBoard board;
    RecordingStore store;
    RecordingWindow window;
    ASSERT_EQ(store.SelectContainer(0x305), 1);

    CBldcDemoTask task(0x0E000501);
    task.SetDataContainer(&store);
    task.SetMicon(board.link.get());
    task.SetNotifyWindow(window.handle());
    clock.At(3000, [&] { task.SetCommand(0x0E000500); });  // in the second step's hold
    ASSERT_EQ(task.Start(), 1);
    task.GetThreadHandle()->Join();

    std::vector<std::pair<std::uint32_t, std::uint64_t>> duties;
    for (const auto& w : store.WritesOf(28)) duties.emplace_back(w.value, w.clockMs);
    EXPECT_EQ(duties, (std::vector<std::pair<std::uint32_t, std::uint64_t>>{{0, 0}, {24, 2002}, {0, 3001}}));
    EXPECT_EQ(board.wire->CountLetter('P'), 3u);
    const auto posts = window.Messages();
    ASSERT_EQ(posts.size(), 3u);
    for (const auto& p : posts) EXPECT_EQ((std::pair{p.message.msg, p.message.wParam}), (std::pair{kMsgNewData, std::uintptr_t{28}}));
}
