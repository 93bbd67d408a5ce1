#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Inbox.h"
#include "Pty.h"
#include "platform/core/SerialPort.h"

using namespace platform;
using namespace std::chrono_literals;

// (The board watch's arrivals, removals and stop: with the main window.)

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
