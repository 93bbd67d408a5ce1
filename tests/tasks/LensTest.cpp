// The lens sequence task: its two I2C requests, the drive time between them, no device data.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "TaskTestSupport.h"
#include "platform/core/Debug.h"
#include "tasks/LensTask.h"
#include "tasks/TaskListener.h"

namespace {

// Moves on by a tenth of a millisecond each time it is read, so a task that watches it
// without sleeping sees time pass at a fixed rate.
class SteppingClock final : public platform::IClock {
public:
    std::uint64_t nowMs() override { return nowUs() / 1000; }
    std::uint64_t nowUs() override { return us_.fetch_add(100); }
    void sleepMs(std::uint32_t ms) override { us_ += ms * 1000ull; }

private:
    std::atomic<std::uint64_t> us_{0};
};

class Lens : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(store_.SelectContainer(0x401), 1);
        task_.SetMicon(board_.link.get());
        task_.SetDataContainer(&store_);
    }
    void Words(std::uint32_t w0, std::uint32_t w1, std::uint32_t w20, std::uint32_t w21, std::uint32_t drive) {
        store_.SetValue(CLensTask::kWordRegister0, w0);
        store_.SetValue(CLensTask::kWordRegister1, w1);
        store_.SetValue(CLensTask::kWordDriveMode, w20);
        store_.SetValue(CLensTask::kWordStopMode, w21);
        store_.SetValue(CLensTask::kWordDriveTime, drive);
    }
    void Run() {
        ASSERT_EQ(task_.Start(), 1);
        task_.GetThreadHandle()->Join();
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
    Words(0x1234, 0x35, 0xFF, 2, 30);
    Run();

    // "Free" drive time (bits 4 and 5) becomes the shortest; the output is switched on
    // with the I2C trigger; the stop request restores register 1 as stored.
    EXPECT_EQ(board_.wire->Frames(),
              (std::vector<Bytes>{{'I', 0xE4, 4, 0, 0x12, 0x34, 0x05, 0x1F}, {'I', 0xE4, 2, 1, 0x35, 0x1A}}));
    const auto t = board_.wire->Times();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_GE(t[1] - t[0], 30u) << t[1] - t[0];
    EXPECT_LE(t[1] - t[0], 31u) << t[1] - t[0];
}

TEST_F(Lens, NothingIsSentWithoutDeviceData) {
    Words(0x1234, 0x35, 0xFF, 2, 30);
    ASSERT_EQ(store_.SelectContainer(0x7777), 0);  // nothing selected now
    Run();
    EXPECT_EQ((std::pair{board_.wire->Count(), debug_.count("Lens sequence: no device data, nothing sent\n")}),
              (std::pair{std::size_t{0}, std::size_t{1}}));
}

TEST_F(Lens, CancelEndsTheDriveButStillSwitchesOff) {
    platform::ManualClock still;  // time stands: only the cancel can end this drive
    platform::ScopedClock scope(still);
    Words(0x0100, 0x02, 1, 3, 60000);
    ASSERT_EQ(task_.Start(), 1);
    ASSERT_TRUE(WaitUntil([&] { return board_.wire->Count() == 1; }));
    // Another page is shown meanwhile: the stop still takes the lens device's words.
    ASSERT_EQ(store_.SelectContainer(0x100), 1);
    store_.SetValue(CLensTask::kWordRegister1, 0x77);
    store_.SetValue(CLensTask::kWordStopMode, 6);
    task_.Cancel();
    task_.GetThreadHandle()->Join();
    EXPECT_EQ(board_.wire->Frames().back(), (Bytes{'I', 0xE4, 2, 1, 0x02, 0x1B}));
    EXPECT_EQ(task_.GetState(), kTaskFinished);
}

// A lens device's words on a real store (a drive as long as a drive may be), and a
// queue over the simulator's link.
class LensOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(board_.Connect());
        ASSERT_EQ(store_.SelectContainer(0x401), 1);
        store_.SetValue(CLensTask::kWordRegister0, 0x0100);
        store_.SetValue(CLensTask::kWordRegister1, 0x02);
        store_.SetValue(CLensTask::kWordStopMode, 3);
        store_.SetValue(CLensTask::kWordDriveTime, CLensTask::kMaxDriveMs);
        queue_ = std::make_unique<CDerivedTaskListener>();
        queue_->SetMicon(board_.link.get());
        queue_->SetDataContainer(&store_);
    }

    const Bytes drive_{'I', 0xE4, 4, 0, 0x01, 0x00, 0x02, 0x18};
    const Bytes stop_{'I', 0xE4, 2, 1, 0x02, 0x1B};
    SimBoard board_;
    CDerivedDataContainer store_;
    std::unique_ptr<CDerivedTaskListener> queue_;
};

// The lens page's register writes are I2C tasks queued behind the drive: they must not
// wait out its drive time.
TEST_F(LensOnSim, ARegisterChangeDuringADriveGoesOutAtOnce) {
    I2cRecord change;
    change.length = 2;
    change.address = CLensTask::kSlaveAddress;
    const std::uint8_t request[4] = {2, 1, 0x22, 0x19};
    std::memcpy(change.bytes, request, sizeof request);
    queue_->AddTask(0x09000000, nullptr, 0);
    queue_->AddTask(0x0B000000, &change, sizeof change);
    EXPECT_TRUE(board_.sim.waitForFrames(2, std::chrono::seconds(10)));
    queue_.reset();  // the shutdown cancels the drive in progress
    EXPECT_EQ(board_.Frames(), (std::vector<Bytes>{drive_, {'I', 0xE4, 2, 1, 0x22, 0x19}, stop_}));
}

// A second drive replaces the first: the first one's stop request goes out before the
// second drive begins, so it can never cut the second drive short.
TEST_F(LensOnSim, ASecondDriveEndsTheFirstBeforeItBegins) {
    queue_->AddTask(0x09000000, nullptr, 0);
    ASSERT_TRUE(board_.sim.waitForFrames(1, std::chrono::seconds(10)));
    queue_->AddTask(0x09000000, nullptr, 0);
    ASSERT_TRUE(board_.sim.waitForFrames(3, std::chrono::seconds(10)));
    EXPECT_EQ(board_.Frames(), (std::vector<Bytes>{drive_, stop_, drive_}));
    queue_.reset();  // the shutdown cancels the drive in progress
    EXPECT_EQ(board_.Frames(), (std::vector<Bytes>{drive_, stop_, drive_, stop_}));
}
