// The lens sequence task: its two I2C requests, the drive time between them, no device data.
#include <gtest/gtest.h>

#include <memory>

#include "TaskTestSupport.h"
#include "platform/core/Debug.h"
#include "tasks/LensTask.h"
#include "tasks/TaskListener.h"

namespace {

// A tenth of a millisecond passes at each read.
class SteppingClock final : public platform::IClock {
public:
    std::uint64_t nowMs() override { return nowUs() / 1000; }
    std::uint64_t nowUs() override { return us_.fetch_add(100); }
    void sleepMs(std::uint32_t ms) override { us_ += ms * 1000ull; }

private:
    std::atomic<std::uint64_t> us_{0};
};

// A lens device's words: they make the frames below.
void SetWords(IDataContainer& store, std::uint32_t driveMs) {
    ASSERT_EQ(store.SelectContainer(0x401), 1);
    store.SetValue(CLensTask::kWordRegister0, 0x1234);
    store.SetValue(CLensTask::kWordRegister1, 0x35);
    store.SetValue(CLensTask::kWordDriveMode, 0xFF);
    store.SetValue(CLensTask::kWordStopMode, 2);
    store.SetValue(CLensTask::kWordDriveTime, driveMs);
}
const Bytes kDrive{'I', 0xE4, 4, 0, 0x12, 0x34, 0x05, 0x1F}, kStop{'I', 0xE4, 2, 1, 0x35, 0x1A};
constexpr std::uint32_t kLongDriveMs = 0x12345;  // over 65,535 ms

class Lens : public ::testing::Test {
protected:
    void SetUp() override {
        SetWords(store_, 30);
        task_.SetMicon(board_.link.get());
        task_.SetDataContainer(&store_);
    }

    platform::DebugCapture debug_;
    SteppingClock clock_;
    platform::ScopedClock scope_{clock_};
    FakeBoard board_;
    RecordingStore store_;
    CLensTask task_{0x09000000};
};

}  // namespace

TEST_F(Lens, DrivesForTheWaitThenSwitchesToTheStopMode) {
    ASSERT_EQ(task_.Start(), 1);
    task_.GetThreadHandle()->Join();
    // "Free" drive time (bits 4 and 5) becomes the shortest.
    EXPECT_EQ(board_.wire->Frames(), (std::vector<Bytes>{kDrive, kStop}));
    const auto t = board_.wire->Times();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_GE(t[1] - t[0], 30u);
    EXPECT_LE(t[1] - t[0], 31u);
}

// Longer than 16 bits hold, and not 65,535 either: the whole word counts.
TEST_F(Lens, WaitsTheWholeDriveTimeItsWordHolds) {
    store_.SetValue(CLensTask::kWordDriveTime, kLongDriveMs);
    ASSERT_EQ(task_.Start(), 1);
    task_.GetThreadHandle()->Join();
    EXPECT_EQ(board_.wire->Frames(), (std::vector<Bytes>{kDrive, kStop}));
    const auto t = board_.wire->Times();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_GE(t[1] - t[0], kLongDriveMs);
    EXPECT_LE(t[1] - t[0], kLongDriveMs + 1);
}

// The drive sleeps until the clock reaches its end, not a tick before: with the time
// moved by hand it sleeps once per move and sends the stop once the drive time is up.
TEST_F(Lens, SleepsUntilTheClockReachesTheDriveTime) {
    platform::ManualClock clock;
    platform::ScopedClock scope(clock);
    clock.advanceMs(5);
    ASSERT_EQ(task_.Start(), 1);
    ASSERT_TRUE(WaitUntil([&] { return clock.timedWaits() == 1; })) << "the drive never went to sleep";
    EXPECT_EQ(clock.lastDeadlineUs(), 35'000u);
    EXPECT_EQ(board_.wire->Frames(), (std::vector<Bytes>{kDrive}));
    clock.advanceMs(29);
    ASSERT_TRUE(WaitUntil([&] { return clock.timedWaits() == 2; }));
    EXPECT_EQ(board_.wire->Count(), 1u);
    clock.advanceMs(1);
    task_.GetThreadHandle()->Join();
    EXPECT_EQ(board_.wire->Frames(), (std::vector<Bytes>{kDrive, kStop}));
    EXPECT_EQ(clock.timedWaits(), 2u);
}

TEST_F(Lens, NothingIsSentWithoutDeviceData) {
    ASSERT_EQ(store_.SelectContainer(0x7777), 0);
    ASSERT_EQ(task_.Start(), 1);
    task_.GetThreadHandle()->Join();
    EXPECT_EQ(board_.wire->Count(), 0u);
    EXPECT_EQ(debug_.count("Lens sequence: no device data, nothing sent\n"), 1u);
}

TEST_F(Lens, CancelEndsTheDriveButStillSwitchesOffWithTheLensDevicesWords) {
    platform::ManualClock still;  // only the cancel can end this drive
    platform::ScopedClock scope(still);
    store_.SetValue(CLensTask::kWordDriveTime, kLongDriveMs);
    ASSERT_EQ(task_.Start(), 1);
    ASSERT_TRUE(WaitUntil([&] { return board_.wire->Count() == 1; }));
    ASSERT_EQ(store_.SelectContainer(0x100), 1);  // another page shown meanwhile
    store_.SetValue(CLensTask::kWordRegister1, 0x77);
    store_.SetValue(CLensTask::kWordStopMode, 6);
    task_.Cancel();
    task_.GetThreadHandle()->Join();
    EXPECT_EQ(board_.wire->Frames().back(), kStop);
    EXPECT_EQ(task_.GetState(), kTaskFinished);
}

// A newer drive ends one in progress whatever its time: time stands still here.
TEST(LensQueue, ANewerDriveEndsALongDriveEarly) {
    platform::ManualClock still;
    platform::ScopedClock scope(still);
    FakeBoard board;
    RecordingStore store;
    SetWords(store, kLongDriveMs);
    auto queue = std::make_unique<CDerivedTaskListener>();
    queue->SetMicon(board.link.get());
    queue->SetDataContainer(&store);
    queue->AddTask(0x09000000, nullptr, 0);
    ASSERT_TRUE(WaitUntil([&] { return board.wire->Count() == 1; }));
    queue->AddTask(0x09000000, nullptr, 0);
    ASSERT_TRUE(WaitUntil([&] { return board.wire->Count() == 3; }));
    EXPECT_EQ(board.wire->Frames(), (std::vector<Bytes>{kDrive, kStop, kDrive}));
    queue.reset();  // and the shutdown ends the newer one
    EXPECT_EQ(board.wire->Frames(), (std::vector<Bytes>{kDrive, kStop, kDrive, kStop}));
}

// A second drive stops the first before it begins, so that stop cannot cut it short.
TEST(LensOnSim, RegisterChangesAndASecondDriveDoNotWaitOutTheDrive) {
    SimBoard board;
    ASSERT_TRUE(board.Connect());
    CDerivedDataContainer store;
    SetWords(store, 0xFFFFFFFFu);  // about 50 days: only the second drive and the end stop it
    auto queue = std::make_unique<CDerivedTaskListener>();
    queue->SetMicon(board.link.get());
    queue->SetDataContainer(&store);
    I2cRecord change{};
    change.length = 2;
    change.address = CLensTask::kSlaveAddress;
    change.bytes[0] = 2, change.bytes[1] = 1, change.bytes[2] = 0x22, change.bytes[3] = 0x19;
    queue->AddTask(0x09000000, nullptr, 0);
    queue->AddTask(0x0B000000, &change, sizeof change);
    ASSERT_TRUE(board.sim.waitForFrames(2, std::chrono::seconds(10)));
    queue->AddTask(0x09000000, nullptr, 0);
    ASSERT_TRUE(board.sim.waitForFrames(4, std::chrono::seconds(10)));
    queue.reset();
    EXPECT_EQ(board.Frames(), (std::vector<Bytes>{kDrive, {'I', 0xE4, 2, 1, 0x22, 0x19}, kStop, kDrive, kStop}));
}
