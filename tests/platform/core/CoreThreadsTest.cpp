#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "Inbox.h"
#include "Pty.h"
#include "platform/core/BoardPorts.h"
#include "platform/core/Clock.h"
#include "platform/core/SerialPort.h"

using namespace platform;
using namespace std::chrono_literals;

// (The board watch's arrivals and removals: with the main window.)

// The program's end must not wait out the watch's poll.
TEST(BoardPortsThreads, AWatchStopsWithoutWaitingOutItsPoll) {
    DeviceWatch watch(std::make_shared<PathBoardLocator>(::testing::TempDir() + "tamsiro-no-watch-" + std::to_string(::getpid())),
                      [] {}, std::chrono::minutes(1));
    watch.start();
    auto stopped = std::async(std::launch::async, [&] { watch.stop(); });
    EXPECT_EQ(stopped.wait_for(30s), std::future_status::ready);
    stopped.get();
}

// A timed wait sleeps: it ends at its deadline on the system clock, never before, and a
// raise from another thread ends one whose deadline is an hour away.
TEST(CancelSignalThreads, AWaitEndsAtItsDeadlineOrWhenRaised) {
    CancelSignal timed;
    const std::uint64_t deadline = currentClock().nowUs() + 2000;
    EXPECT_FALSE(timed.waitUntilUs(deadline));
    EXPECT_GE(currentClock().nowUs(), deadline);

    CancelSignal signal;
    auto waited = std::async(std::launch::async, [&] { return signal.waitUntilUs(currentClock().nowUs() + 3'600'000'000ull); });
    signal.raise();
    ASSERT_EQ(waited.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(waited.get());
    EXPECT_TRUE(signal.waitUntilUs(~0ull));  // raised stays raised
}

// On the manual clock a timed wait sleeps until the time is moved to its deadline.
TEST(CancelSignalThreads, AWaitOnTheManualClockSleepsUntilItsTimeIsMoved) {
    ManualClock clock;
    ScopedClock scope(clock);
    CancelSignal signal;
    auto waited = std::async(std::launch::async, [&] { return signal.waitUntilUs(10'000); });
    const auto asleep = [&](std::uint32_t n) {
        for (int i = 0; i < 25000 && clock.timedWaits() < n; ++i) std::this_thread::sleep_for(200us);
        return clock.timedWaits() >= n;
    };
    ASSERT_TRUE(asleep(1));
    EXPECT_EQ(clock.lastDeadlineUs(), 10'000u);
    clock.advanceMs(9);  // a millisecond short: it sleeps again
    ASSERT_TRUE(asleep(2));
    EXPECT_NE(waited.wait_for(0s), std::future_status::ready);
    clock.sleepMs(1);  // a sleep on the clock moves it too
    ASSERT_EQ(waited.wait_for(30s), std::future_status::ready);
    EXPECT_FALSE(waited.get());
    EXPECT_EQ(clock.sleepers(), 0u) << "an ended wait must not stay listed: its signal may be gone";
}

// Without time-outs a read waits for its bytes; close() from another thread must still
// end it, or shutting the program down with a silent board would hang.
TEST(SerialPortThreads, CloseEndsABlockedRead) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort port;
    ASSERT_EQ(port.open(peer.slavePath()), 0);
    std::atomic<int> result{-2};
    std::thread reader([&] {
        std::uint8_t buf[4];
        result = port.read(buf, sizeof buf);
    });
    // Only a quiet spell can show that the read waits: nothing else comes of it.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(result.load(), -2);  // still waiting
    port.close();
    reader.join();
    EXPECT_EQ(result.load(), -1);
    EXPECT_FALSE(port.isOpen());

    // Opened again, the port has forgotten that wake: a read waits out its time-out
    // (nothing came: 0, not an error), and then reads what comes.
    ASSERT_EQ(port.open(peer.slavePath()), 0);
    port.setTimeouts({100, 50, 100, 50, 100});
    std::uint8_t b = 0;
    EXPECT_EQ(port.read(&b, 1), 0);
    ASSERT_TRUE(peer.write({7}));
    EXPECT_EQ(port.read(&b, 1), 1);
    EXPECT_EQ(b, 7);
}

TEST(HandlesThreads, PostsFromManyThreadsAllArriveOrAreDroppedCleanly) {
    RecordingWindow window;
    const Handle h = window.handle();
    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) accepted += post(h, 0x812C, static_cast<std::uintptr_t>(i), 0) ? 1 : 0;
        });
    }
    ASSERT_TRUE(window.WaitForCount(1));
    window.Close();  // while workers still post
    for (auto& t : threads) t.join();
    EXPECT_EQ(static_cast<int>(window.Count()), accepted.load());
}
