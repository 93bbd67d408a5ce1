// Posting from a worker thread: messages reach the GUI thread in order, nothing reaches
// a window after it was destroyed, and handles are never reused.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "GuiTestSupport.h"
#include "platform/core/Handles.h"
#include "platform/gui/Application.h"

using namespace gui;

TEST(MessagePosting, AWorkerPostsWhileTheWindowIsDestroyedMidway) {
    constexpr int kPosts = 1000;
    guitest::SpyWindow window;
    ASSERT_TRUE(window.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    const Handle target = window.handle();
    std::atomic<bool> reached{false};
    bool offThread = false, destroyed = false;
    int afterDestroy = 0;
    window.answer = [&](std::uint32_t m, WParam w, LParam) -> LResult {
        if (m != msg::TaskData) return 0;
        afterDestroy += destroyed ? 1 : 0;
        offThread |= !Application::isGuiThread();
        if (w == 100) reached = true;
        if (w == 300) {
            window.destroy();  // from inside its own delivery, with more still queued
            destroyed = true;
        }
        return 0;
    };

    std::atomic<int> accepted{0};
    std::atomic<int> refused{0};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < kPosts; ++i) {
            // Halfway, wait until the GUI thread is delivering, so the window dies
            // while this thread is still posting.
            for (int spin = 0; i == kPosts / 2 && spin < 5000 && !reached; ++spin) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            // The worker uses the core's post only: it never sees a Qt type.
            if (platform::post(target, msg::TaskData, static_cast<WParam>(i), 0x20000)) ++accepted;
            else ++refused;
        }
        finished = true;
    });
    ASSERT_TRUE(guitest::waitFor([&] { return finished.load(); }, 10000));
    worker.join();
    guitest::waitFor([] { return false; }, 30);  // let anything still queued come through

    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(window.exists());
    EXPECT_FALSE(offThread);
    EXPECT_EQ(afterDestroy, 0);
    // Delivered in the order posted, without gaps, up to the one that destroyed it.
    const auto received = window.only(msg::TaskData);
    ASSERT_EQ(received.size(), 301u);
    for (std::size_t i = 0; i < received.size(); ++i) ASSERT_EQ(received[i].w, i);
    EXPECT_EQ(accepted + refused, kPosts);
    EXPECT_GE(accepted.load(), 301);
    // Once the window is gone posting is refused; a new window gets a fresh handle.
    EXPECT_FALSE(platform::post(target, msg::TaskData, 0, 0));
    guitest::SpyWindow next;
    ASSERT_TRUE(next.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    EXPECT_GT(next.handle(), target);
    guitest::waitFor([] { return false; }, 10);
    EXPECT_EQ(next.count(msg::TaskData), 0);
}
