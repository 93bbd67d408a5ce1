#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "Inbox.h"
#include "Pty.h"
#include "platform/core/BoardPorts.h"
#include "platform/core/SerialPort.h"

namespace fs = std::filesystem;
using namespace platform;
using namespace std::chrono_literals;

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
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(result.load(), -2);  // still waiting
    port.close();
    reader.join();
    EXPECT_EQ(result.load(), -1);
    EXPECT_FALSE(port.isOpen());
}

TEST(HandlesThreads, PostsFromManyThreadsAllArriveOrAreDroppedCleanly) {
    auto& reg = HandleRegistry::instance();
    auto inbox = std::make_shared<Inbox>();
    const Handle h = reg.add(inbox);
    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) accepted += post(h, 0x812C, static_cast<std::uintptr_t>(i), 0) ? 1 : 0;
        });
    }
    std::this_thread::sleep_for(1ms);
    reg.remove(h);  // the window closes while workers still post
    for (auto& t : threads) t.join();
    EXPECT_EQ(static_cast<int>(inbox->Count()), accepted.load());
}

TEST(BoardPortsThreads, WatchCallsBackOnArrivalAndRemovalAndStopsPromptly) {
    const fs::path link = ::testing::TempDir() + "tamsiro-watch-" + std::to_string(::getpid());
    std::mutex m;
    std::condition_variable cv;
    int changes = 0;
    DeviceWatch watch(std::make_shared<PathBoardLocator>(link.string()),
                      [&] {
                          std::lock_guard lock(m);
                          ++changes;
                          cv.notify_all();
                      },
                      20ms);
    watch.start();
    auto waitFor = [&](int n) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, 5s, [&] { return changes >= n; });
    };
    fs::create_symlink("/dev/null", link);
    EXPECT_TRUE(waitFor(1));
    fs::remove(link);
    EXPECT_TRUE(waitFor(2));

    const auto before = std::chrono::steady_clock::now();
    watch.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    std::lock_guard lock(m);
    EXPECT_EQ(changes, 2);
}
