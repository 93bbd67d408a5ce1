#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "TaskTestSupport.h"
#include "platform/core/Debug.h"
#include "platform/core/HeldPauses.h"
#include "tasks/BldcDemoTask.h"
#include "tasks/GuiCommand.h"
#include "tasks/LensTask.h"
#include "tasks/PeripheralTasks.h"
#include "tasks/PollingTask.h"
#include "tasks/TaskFactory.h"
#include "tasks/TaskListener.h"

namespace {

GpioRecord Gpio(std::uint32_t line, std::uint32_t direction, std::uint32_t level, std::uint32_t send = 1) {
    GpioRecord r;
    r.port = {line, direction, level, 0, send};
    return r;
}

class Engine : public ::testing::Test {
protected:
    Engine() : queue_(std::make_unique<CDerivedTaskListener>(window_.handle())) {
        queue_->SetMicon(board_.link.get());
        queue_->SetDataContainer(&store_);
    }
    void TearDown() override {
        queue_.reset();
        EXPECT_EQ(CTaskFactory::GetInstance()->GetPollingTask(), nullptr);
        EXPECT_EQ(CTaskFactory::GetInstance()->GetBldcDemoTask(), nullptr);
        EXPECT_EQ(debug_.count("Running Task end\n"), 1u);
    }

    platform::DebugCapture debug_;
    FakeBoard board_;
    RecordingStore store_;
    RecordingWindow window_;
    std::unique_ptr<CDerivedTaskListener> queue_;
};

}  // namespace

TEST(ThreadCarrier, JoinGivesTheExitCodeOnceThenStillActive) {
    std::atomic<bool> release{false};
    CThreadCarrier carrier([&] {
        while (!release) std::this_thread::yield();
        return 7u;
    });
    EXPECT_EQ(carrier.Join(), kStillActive);
    EXPECT_NE(carrier.Start(), 0u);
    EXPECT_EQ((std::tuple{carrier.Start(), carrier.GetExitCode()}),
              (std::tuple{0u, kStillActive}));  // one thread at a time
    release = true;
    EXPECT_EQ((std::tuple{carrier.Join(), carrier.GetExitCode(), carrier.HasThread()}), (std::tuple{7u, 7u, false}));
    EXPECT_EQ(carrier.Join(), kStillActive);
}

TEST(ThreadCarrier, TheQueuesWorkerIsOneThreadThatEndsWithTheQueue) {
    // A sanitizer's runtime starts a thread of its own at the first thread made: made
    // here, before the listing, it is not taken for the queue's.
    std::thread([] {}).join();
    // The queue's worker, named by its kernel id: a thread joined just before may still be
    // listed for a moment, so a plain count could take it for the worker.
    const std::set<int> before = ListedThreads();
    {
        CDerivedTaskListener queue;
        const std::set<int> worker = Without(ListedThreads(), before);
        ASSERT_EQ(worker.size(), 1u) << "threads the queue started: " << Ids(worker);
    }
    const std::set<int> left = ThreadsLeft(before);
    EXPECT_TRUE(left.empty()) << "still listed after the queue: " << Ids(left);
}

TEST(TaskBase, PlainKindsRunToFinished) {
    for (std::uint32_t kind : {0u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        bool created = false;
        std::unique_ptr<ITask> task(CTaskFactory::GetInstance()->CreateTask(kind << 24, &created));
        ASSERT_TRUE(task) << kind;
        ASSERT_TRUE(created) << kind;
        EXPECT_EQ((std::tuple{task->GetState(), task->Start()}), (std::tuple{kTaskCreated, 1}));
        EXPECT_TRUE(WaitUntil([&] { return task->GetState() == kTaskFinished; })) << kind;
        EXPECT_EQ(task->GetThreadHandle()->Join(), 0u);
    }
    for (std::uint32_t kind : {12u, 13u, 15u, 255u})
        EXPECT_EQ(CTaskFactory::GetInstance()->CreateTask(kind << 24), nullptr);
}

TEST(TaskBase, InterruptCheckReadsThePortOnlyWhenTheFlagIsClear) {
    platform::DebugCapture debug;
    FakeBoard board;
    CDerivedTask task(0);
    task.SetMicon(board.link.get());

    board.interruptFlags = 0x02;  // input 1: the flag read only
    EXPECT_EQ((std::tuple{task.CheckInterruptTraced(1, 1, 1), board.wire->Count()}), (std::tuple{1, 1u}));

    board.interruptFlags = 0;
    board.portBytes[2] = 0x02;  // port 18 high
    EXPECT_EQ((std::vector{task.CheckInterruptTraced(1, 1, 1), task.CheckInterruptTraced(1, 0, 1),
                           task.CheckInterrupt(1, 1)}),
              (std::vector{1, 0, 0}));
    EXPECT_EQ(debug.count("INT1 detect flag = 0 / GPIO18 Lv = 1\n"), 2u);
    const auto before = board.wire->Count();
    EXPECT_EQ((std::tuple{task.CheckInterrupt(4, 1), board.wire->Count()}), (std::tuple{0, before + 1}));
}

TEST_F(Engine, GpioReadPostsLineAndLevelToTheWindowOfItsQueuing) {
    RecordingWindow later;
    board_.portBytes[1] = 0x02;  // port 16 high
    const GpioRecord r = Gpio(16, 0, 1);
    queue_->AddTask(0x02010000, &r, sizeof r);
    queue_->SetNotifyWindow(later.handle());  // tasks already queued keep their window
    ASSERT_TRUE(window_.WaitForCount(1));
    EXPECT_EQ(window_.Messages()[0].message.lParam, 1);
    EXPECT_TRUE(queue_->WaitIdle(5000));
    EXPECT_EQ(later.Count(), 0u);
}

TEST_F(Engine, RecordsOfTheWrongSizeOrLengthSendNothing) {
    PwmChannelRecord pwm;
    pwm.channel = 1, pwm.send = 1;
    queue_->AddTask(0x01000000, &pwm, 64);
    const GpioRecord gpio = Gpio(3, 1, 1);
    queue_->AddTask(0x02000000, &gpio, 27);
    queue_->AddTask(0x02000000, nullptr, sizeof gpio);
    queue_->AddTask(0x0B000000, nullptr, 0);  // no I2C record: no bus transaction at all
    I2cRecord i2c;
    i2c.length = 61;  // more than the frame holds
    queue_->AddTask(0x0B000000, &i2c, sizeof i2c);
    for (std::uint32_t kind : {12u, 13u, 15u}) EXPECT_EQ(queue_->AddTask(kind << 24, &gpio, sizeof gpio), 1);
    ASSERT_TRUE(queue_->WaitIdle(5000));
    EXPECT_EQ((std::vector{board_.wire->Count(), debug_.count("PWM-1 register\n"),
                           debug_.count("I2C request of 61 bytes refused\n")}),
              (std::vector<std::size_t>{0, 0, 1}));
}

TEST_F(Engine, PulseFormPulsesTheLineAndI2cRequestsGoOutWhole) {
    GpioRecord pulse = Gpio(25, 1, 0);
    pulse.pulse = 1, pulse.pulseWidth = 3;
    queue_->AddTask(0x02000000, &pulse, sizeof pulse);
    I2cRecord i2c;
    i2c.length = 2, i2c.address = 0x33;
    const std::uint8_t bytes[] = {2, 5, 0xAA, 0xBB};
    std::memcpy(i2c.bytes, bytes, sizeof bytes);
    queue_->AddTask(0x0B000000, &i2c, sizeof i2c);
    ASSERT_TRUE(queue_->WaitIdle(5000));
    EXPECT_EQ(board_.wire->Frames(), (std::vector<Bytes>{{'8', 6, 3, 4, 7}, {'I', 0x66, 2, 5, 0xAA, 0xBB}}));
}

TEST(PeripheralTask, I2cFetchCopiesTheLastReplyWithoutAFrame) {
    platform::DebugCapture debug;
    FakeBoard board;
    I2cRecord read;
    read.operation = 1, read.length = 0;
    board.link->I2cTransfer(0, &read, 1);  // the wire answers [2, 'I']
    const auto sent = board.wire->Count();

    CTask_I2C task(0x0B000000);
    task.SetMicon(board.link.get());
    I2cRecord fetch;
    fetch.operation = 1, fetch.length = 99;
    ASSERT_EQ(task.SetParameters(&fetch, sizeof fetch), 1);
    ASSERT_EQ(task.Start(), 1);
    task.GetThreadHandle()->Join();
    EXPECT_EQ((std::tuple{board.wire->Count(), task.Record().length}), (std::tuple{sent, 2u}));
}

TEST_F(Engine, SecondPollingWordReachesTheQueuedTask) {
    queue_->AddTask(0x0A010000, EmptyTaskRecord(), 0);
    queue_->AddTask(0x0E000000, EmptyTaskRecord(), 0);
    EXPECT_EQ((std::tuple{queue_->PendingTasks(), CTaskFactory::GetInstance()->GetPollingTask()}),
              (std::tuple{0u, nullptr}));

    // Start and stop before the worker has started the task.
    queue_->AddTask(0x0A010001, EmptyTaskRecord(), 0);
    CPollingTask* task = CTaskFactory::GetInstance()->GetPollingTask();
    ASSERT_NE(task, nullptr);
    queue_->AddTask(0x0A010001, EmptyTaskRecord(), 0);
    EXPECT_EQ(CTaskFactory::GetInstance()->GetPollingTask(), task);
    queue_->AddTask(0x0A010000, EmptyTaskRecord(), 0);
    EXPECT_LE(queue_->PendingTasks(), 1u);
    EXPECT_TRUE(queue_->WaitIdle(5000));
    EXPECT_EQ(debug_.count("\t\t\tRunning Task-queue : delete task\n"), 1u);
}

TEST_F(Engine, StartWordWhileStoppingMakesAFreshPollingTask) {
    queue_->AddTask(0x0A010001, EmptyTaskRecord(), 0);
    ASSERT_TRUE(window_.WaitForCount(1));
    queue_->AddTask(0x0A010000, EmptyTaskRecord(), 0);
    queue_->AddTask(0x0A010001, EmptyTaskRecord(), 0);
    CPollingTask* current = CTaskFactory::GetInstance()->GetPollingTask();
    ASSERT_NE(current, nullptr);
    ASSERT_FALSE(current->IsStopping());
    ASSERT_TRUE(WaitUntil([&] { return queue_->PendingTasks() == 1u; }));
    const auto posts = window_.Count();
    EXPECT_TRUE(window_.WaitForCount(posts + 2));
    queue_->StopAll();
    EXPECT_TRUE(queue_->WaitIdle(5000));
}

TEST_F(Engine, WorkerSleepsWhileTheOnlyTaskRuns) {
    queue_->AddTask(0x0A010001, EmptyTaskRecord(), 0);
    ASSERT_TRUE(window_.WaitForCount(1));
    const auto passes = queue_->WorkerPasses();
    ASSERT_TRUE(window_.WaitForCount(4));  // about 150 ms of polling
    EXPECT_EQ(queue_->WorkerPasses(), passes);
}

namespace {

// Holds whoever waits on it until it is opened.
class Gate {
public:
    void Wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return open_; });
    }
    void Open() {
        {
            std::lock_guard guard(mutex_);
            open_ = true;
        }
        cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

// I2C requests to `address`: a one-shot board task whose frame the test can hold.
I2cRecord I2c(std::uint8_t address) {
    I2cRecord r;
    r.length = 2, r.address = address;
    r.bytes[0] = 2, r.bytes[1] = 1;
    return r;
}

// The engine with I2C requests to 0x10 held at the wire until `first` opens, and those to
// 0x20 until `later` opens; the held and the finished exchanges are counted per address.
class Fenced : public Engine {
protected:
    Fenced() {
        board_.wire->respond = [this, answer = board_.wire->respond](const Bytes& f) {
            const std::uint8_t address = f[0] == 'I' ? static_cast<std::uint8_t>(f[1] >> 1) : 0;
            if (address == 0x10 || address == 0x20) {
                ++held_[address >> 4];
                (address == 0x10 ? first_ : later_).Wait();
            }
            if (address != 0) ++done_[address >> 4];
            return answer(f);
        };
    }
    void TearDown() override {
        first_.Open();
        later_.Open();
        Engine::TearDown();
    }
    std::size_t FenceLines() const {
        std::size_t n = 0;
        for (const auto& line : debug_.lines()) n += line.rfind("Task queue fence", 0) == 0;
        return n;
    }
    void Queue(std::uint8_t address) {
        const I2cRecord r = I2c(address);
        queue_->AddTask(0x0B000000, &r, sizeof r);
    }

    Gate first_, later_;
    std::atomic<int> held_[3] = {0, 0, 0};  // by address / 16
    std::atomic<int> done_[3] = {0, 0, 0};
};

}  // namespace

TEST_F(Fenced, WaitsForTheEarlierTasksOnlyNotThePollNorTasksQueuedAfterIt) {
    queue_->AddTask(0x0A010001, EmptyTaskRecord(), 0);
    ASSERT_TRUE(window_.WaitForCount(1));  // polling runs, and runs until told to stop
    for (const std::uint8_t address : {0x10, 0x11, 0x12}) Queue(address);
    ASSERT_TRUE(WaitUntil([&] { return held_[1] == 1; }));

    // Once the fence waits: later requests, one of them held for good, then the first
    // request let go while more keep coming.
    std::atomic<bool> fenced{false};
    std::thread feeder([&] {
        if (!WaitUntil([&] { return queue_->FencesWaiting() == 1; })) return;
        Queue(0x20);
        first_.Open();
        for (int i = 0; i < 200 && !fenced; ++i) Queue(0x21);
    });
    const bool done = queue_->Fence(10000);
    fenced = true;
    feeder.join();
    EXPECT_TRUE(done);
    EXPECT_EQ((std::tuple{done_[1].load(), done_[2].load()}), (std::tuple{3, 0}));
    EXPECT_NE(CTaskFactory::GetInstance()->GetPollingTask(), nullptr);
    EXPECT_EQ(FenceLines(), 0u);
}

TEST_F(Fenced, AnEarlierTaskHeldPastTheBoundIsReportedAndTheFenceFails) {
    Queue(0x10);
    ASSERT_TRUE(WaitUntil([&] { return held_[1] == 1; }));
    EXPECT_FALSE(queue_->Fence(20));
    EXPECT_EQ(debug_.count("Task queue fence: 1 task(s) queued before the fence still unfinished after 20 ms (the "
                           "first of kind 11)\n"),
              1u);
    first_.Open();
    // Nothing earlier is left: the next fence holds.
    EXPECT_TRUE(queue_->Fence(10000));
}

TEST_F(Fenced, AStoppingQueueEndsAWaitingFenceAtOnce) {
    Queue(0x10);
    ASSERT_TRUE(WaitUntil([&] { return held_[1] == 1; }));
    CDerivedTaskListener* queue = queue_.get();
    std::atomic<int> result{-1};
    std::thread gui([&] { result = queue->Fence(600000) ? 1 : 0; });
    ASSERT_TRUE(WaitUntil([&] { return queue->FencesWaiting() == 1; }));
    // The queue's end waits for the held task; the fence does not.
    std::thread closing([&] { queue_.reset(); });
    EXPECT_TRUE(WaitUntil([&] { return result != -1; }, std::chrono::seconds(30)));
    first_.Open();
    closing.join();
    gui.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(debug_.count("Task queue fence: the queue stops with 1 task(s) queued before the fence unfinished (the "
                           "first of kind 11)\n"),
              1u);
}

// A notice is never promised and then left unsent: one promised before the stop comes as
// the queue stops, and a stopping queue promises none (the caller runs or drops its work).
TEST_F(Fenced, AStoppingQueueSendsTheNoticesItPromisedAndPromisesNoMore) {
    constexpr std::uint32_t kNotice = 0x8310;
    Queue(0x10);
    ASSERT_TRUE(WaitUntil([&] { return held_[1] == 1; }));
    CDerivedTaskListener* queue = queue_.get();
    ASSERT_EQ(queue->PostWhenDone(window_.handle(), kNotice, 7), 1);
    // A fence that ends shows the stop has begun; the queue's end then waits for the held task.
    std::atomic<bool> fenceEnded{false};
    std::thread gui([&] { fenceEnded = !queue->Fence(600000); });
    ASSERT_TRUE(WaitUntil([&] { return queue->FencesWaiting() == 1; }));
    std::thread closing([&] { queue_.reset(); });
    ASSERT_TRUE(WaitUntil([&] { return fenceEnded.load(); }, std::chrono::seconds(30)));
    const int whileStopping = queue->PostWhenDone(window_.handle(), kNotice, 8);
    first_.Open();
    closing.join();
    gui.join();
    EXPECT_EQ(whileStopping, 0) << "a stopping queue promised a notice";
    std::vector<std::uintptr_t> notices;
    for (const auto& posted : window_.Messages())
        if (posted.message.msg == kNotice) notices.push_back(posted.message.wParam);
    EXPECT_EQ(notices, std::vector<std::uintptr_t>{7}) << "notices posted (by their wParam)";
}

// The poll sets its inputs up from what the link keeps of the settings sent before it, so
// it does not start while a board task queued ahead of it still has its frame to send.
TEST_F(Fenced, APollQueuedBehindABoardTaskStartsOnlyOnceThatTasksFrameIsOut) {
    Queue(0x10);
    ASSERT_TRUE(WaitUntil([&] { return held_[1] == 1; }));
    // Counted before the poll is queued: the walk its queuing wakes may be over before the
    // next line runs. The worker is idle meanwhile (the held task waits on its own thread).
    const std::uint64_t passes = queue_->WorkerPasses();
    queue_->AddTask(0x0A010001, EmptyTaskRecord(), 0);
    const CPollingTask* poll = CTaskFactory::GetInstance()->GetPollingTask();
    ASSERT_NE(poll, nullptr);
    // A walk of the worker's over the list with the poll in it; a word of no task takes the
    // list's lock, so it returns once that walk is over.
    ASSERT_TRUE(WaitUntil([&] { return queue_->WorkerPasses() > passes; })) << "passes " << passes;
    queue_->AddTask(0x0C000000, nullptr, 0);
    EXPECT_EQ(poll->GetState(), kTaskCreated);

    first_.Open();
    ASSERT_TRUE(window_.WaitForCount(1));
    const auto frames = board_.wire->Frames();
    ASSERT_GT(frames.size(), 1u);
    EXPECT_EQ(frames.front(), (Bytes{'I', 0x20, 2, 1, 0, 0}));  // the request first, the poll's set-up behind it
}

// A running demo, as a running poll, never holds a fence up: it runs until told to stop.
TEST_F(Engine, AFenceWaitsForTheTasksQueuedBeforeItNotForARunningDemo) {
    ASSERT_EQ(store_.SelectContainer(0x305), 1);
    queue_->AddTask(0x0E000501, EmptyTaskRecord(), 0);
    ASSERT_TRUE(window_.WaitForCount(1));  // its first duty is out: the demo runs
    const GpioRecord gpio = Gpio(5, 1, 1);
    queue_->AddTask(0x02000000, &gpio, sizeof gpio);
    EXPECT_TRUE(queue_->Fence(10000));
    std::vector<std::string> said;
    for (const auto& line : debug_.lines())
        if (line.rfind("Task queue fence", 0) == 0) said.push_back(line);
    EXPECT_EQ(said, std::vector<std::string>{});
    const CBldcDemoTask* demo = CTaskFactory::GetInstance()->GetBldcDemoTask();
    ASSERT_NE(demo, nullptr);
    EXPECT_EQ(demo->GetState(), kTaskRunning);
}

// A lens drive in its timed wait counts for a fence once its drive request is out, as it
// does for the queue's order: a page's close must not sit out the drive's time.
TEST_F(Engine, AFenceWaitsForALensDrivesRequestNotItsDriveTime) {
    ASSERT_EQ(store_.SelectContainer(0x305), 1);
    store_.SetValue(CLensTask::kWordDriveTime, 0xFFFFFFFFu);
    queue_->AddTask(0x09000000, EmptyTaskRecord(), 1);
    const GpioRecord gpio = Gpio(5, 1, 1);
    queue_->AddTask(0x02000000, &gpio, sizeof gpio);
    EXPECT_TRUE(queue_->Fence(10000));
    // The drive still on (no stop request yet), the port written behind it.
    const std::size_t frames = board_.wire->Frames().size();
    EXPECT_EQ((std::tuple{board_.wire->CountLetter('I'), frames > 1}), (std::tuple{1u, true})) << frames;
}

// The board's pacing is held on the queue's side: a task's pause keeps the next board
// task and a fence waiting, and a queue that stops ends the pause at once. The pause is
// held by the clock, and the wire is compared at each step: at the pause's start, during
// it, and after the stop.
TEST_F(Engine, APausedTaskHoldsTheNextBoardTaskAndAFenceAndAStopEndsThePause) {
    HeldPauses held;
    platform::ScopedClock scope(held);
    std::vector<Bytes> atPause;
    held.OnEntry([&] { atPause = board_.wire->Frames(); });
    const GpioRecord first = Gpio(5, 1, 1), second = Gpio(6, 1, 1);
    queue_->AddPacedTask(0x02000000, &first, sizeof first, 3600000);
    queue_->AddTask(0x02000000, &second, sizeof second);
    ASSERT_TRUE(WaitUntil([&] { return held.Entered() == 1; })) << "the first record's pause never began";
    // The first record's whole exchange (its port setting, its level and the level read
    // back) is out as its pause begins, and nothing of the second's.
    const std::vector<Bytes> firstOnly(atPause.begin(), atPause.end());
    ASSERT_EQ(firstOnly.size(), 3u) << "frames as the pause began";
    EXPECT_FALSE(queue_->Fence(20));
    EXPECT_EQ(board_.wire->Frames(), firstOnly) << "the record queued behind the pause went out during it";
    queue_.reset();  // ends the pause; the task held behind it never sends
    EXPECT_EQ(board_.wire->Frames(), firstOnly) << "the record held behind the pause was sent";
    EXPECT_EQ(held.Entered(), 1);
}

// The next board task's thread is made while the task ahead pauses, so that only its own
// exchange is left when the pause ends; its frames still wait for that end, and one
// thread at a time waits so. A stop while it waits ends it without its frames.
TEST_F(Engine, TheNextBoardTaskStartsDuringThePauseAheadAndItsFramesWaitForThePausesEnd) {
    HeldPauses held;
    platform::ScopedClock scope(held);
    const GpioRecord first = Gpio(5, 1, 1), second = Gpio(6, 1, 1), third = Gpio(7, 1, 1);
    queue_->AddPacedTask(0x02000000, &first, sizeof first, 3600000);
    queue_->AddPacedTask(0x02000000, &second, sizeof second, 3600000);
    queue_->AddTask(0x02000000, &third, sizeof third);
    ASSERT_TRUE(WaitUntil([&] { return held.Entered() == 1; })) << "the first record's pause never began";
    ASSERT_TRUE(WaitUntil([&] { return queue_->TasksStarted() == 2u; }))
        << "tasks started during the first pause: " << queue_->TasksStarted();
    const std::vector<Bytes> firstOnly = board_.wire->Frames();
    ASSERT_EQ(firstOnly.size(), 3u);
    EXPECT_FALSE(queue_->Fence(20));
    EXPECT_EQ((std::tuple{board_.wire->Frames(), queue_->TasksStarted()}), (std::tuple{firstOnly, 2u}))
        << "the second record's frames went out during the first pause, or a third thread was made";

    held.Release();
    ASSERT_TRUE(queue_->Fence(5000));
    const std::vector<Bytes> all = board_.wire->Frames();
    ASSERT_EQ(all.size(), 9u);
    EXPECT_EQ(std::vector<Bytes>(all.begin(), all.begin() + 3), firstOnly) << "the first record's frames";
    EXPECT_EQ(held.Entered(), 2);
}

TEST_F(Engine, AStopWhileATaskWaitsForItsTurnEndsItWithoutItsFrames) {
    HeldPauses held;
    platform::ScopedClock scope(held);
    const GpioRecord first = Gpio(5, 1, 1), second = Gpio(6, 1, 1);
    queue_->AddPacedTask(0x02000000, &first, sizeof first, 3600000);
    queue_->AddTask(0x02000000, &second, sizeof second);
    ASSERT_TRUE(WaitUntil([&] { return queue_->TasksStarted() == 2u; })) << "the second record never started";
    const std::vector<Bytes> firstOnly = board_.wire->Frames();
    queue_.reset();
    EXPECT_EQ(board_.wire->Frames(), firstOnly) << "the record waiting for its turn was sent at the stop";
}

// Polling, demo, a lens drive of some 50 days, one-shot tasks queued behind.
TEST(Shutdown, EndsPromptlyWithEveryThreadJoined) {
    platform::DebugCapture debug;
    FakeBoard board;
    RecordingStore store;
    RecordingWindow window;
    ASSERT_EQ(store.SelectContainer(0x305), 1);
    store.SetValue(CLensTask::kWordDriveTime, 0xFFFFFFFFu), store.SetValue(CLensTask::kWordRegister1, 0x35);
    store.SetValue(CLensTask::kWordStopMode, 2);
    {
        CDerivedTaskListener queue(window.handle());
        queue.SetMicon(board.link.get());
        queue.SetDataContainer(&store);
        queue.AddTask(0x0A010001, EmptyTaskRecord(), 0);
        queue.AddTask(0x0E000501, EmptyTaskRecord(), 0);
        queue.AddTask(0x09000000, EmptyTaskRecord(), 1);
        ASSERT_TRUE(WaitUntil([&] { return board.wire->CountLetter('I') == 1; }));
        const GpioRecord gpio = Gpio(5, 1, 1);
        for (int i = 0; i < 5; ++i) queue.AddTask(0x02000000, &gpio, sizeof gpio);
        ASSERT_TRUE(window.WaitForCount(3));
    }
    EXPECT_EQ(debug.count("Running Task end\n"), 1u);
    EXPECT_EQ(
        (std::tuple{CTaskFactory::GetInstance()->GetPollingTask(), CTaskFactory::GetInstance()->GetBldcDemoTask()}),
        (std::tuple{nullptr, nullptr}));
    const auto frames = board.wire->Frames();
    EXPECT_EQ((std::tuple{board.wire->CountLetter('I'),
                          std::count(frames.begin(), frames.end(), Bytes{'I', 0xE4, 2, 1, 0x35, 0x1A})}),
              (std::tuple{2u, 1}));
    EXPECT_EQ(store.WritesOf(28).back().value, 0u);
}
