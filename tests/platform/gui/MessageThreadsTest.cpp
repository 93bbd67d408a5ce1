// Posting from worker threads: messages reach the GUI thread in order, nothing reaches
// a window after it was destroyed, and handles are never reused.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "GuiTestSupport.h"
#include "platform/core/Handles.h"
#include "platform/gui/Application.h"

using namespace gui;

namespace {

class Receiver : public Window {
public:
    std::vector<WParam> received;
    bool offThread = false;
    bool destroyed = false;
    int afterDestroy = 0;
    WParam destroyAt = ~WParam{0};  // destroys itself on receiving this number
    std::atomic<bool> reached{false};
    WParam signalAt = ~WParam{0};
    LResult windowProc(std::uint32_t m, WParam w, LParam l) override {
        if (m == msg::TaskData) {
            if (destroyed) ++afterDestroy;
            offThread |= !Application::isGuiThread();
            received.push_back(w);
            if (w == signalAt) reached = true;
            if (w == destroyAt) {
                destroy();  // from inside its own delivery, with more still queued
                destroyed = true;
            }
        }
        return Window::windowProc(m, w, l);
    }
};

}  // namespace

TEST(MessagePosting, AWorkerPostsWhileTheWindowIsDestroyedMidway) {
    constexpr int kPosts = 1000;
    Receiver window;
    ASSERT_TRUE(window.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    window.signalAt = 100;
    window.destroyAt = 300;
    const Handle target = window.handle();

    std::atomic<int> accepted{0};
    std::atomic<int> refused{0};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < kPosts; ++i) {
            // Halfway, wait until the GUI thread is delivering, so the window dies
            // while this thread is still posting.
            if (i == kPosts / 2) {
                for (int spin = 0; spin < 5000 && !window.reached; ++spin) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
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

    EXPECT_TRUE(window.destroyed);
    EXPECT_FALSE(window.exists());
    EXPECT_FALSE(window.offThread);
    EXPECT_EQ(window.afterDestroy, 0);
    // Delivered in the order posted, without gaps, up to the one that destroyed it.
    ASSERT_EQ(window.received.size(), 301u);
    for (std::size_t i = 0; i < window.received.size(); ++i) ASSERT_EQ(window.received[i], i);
    EXPECT_EQ(accepted + refused, kPosts);
    EXPECT_GE(accepted.load(), 301);
    // Once the window is gone posting is refused; a new window gets a fresh handle.
    EXPECT_FALSE(platform::post(target, msg::TaskData, 0, 0));
    Receiver next;
    ASSERT_TRUE(next.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    EXPECT_GT(next.handle(), target);
    guitest::waitFor([] { return false; }, 10);
    EXPECT_TRUE(next.received.empty());
}

TEST(MessagePosting, SeveralWorkersEachKeepTheirOwnOrder) {
    constexpr int kWorkers = 4;
    constexpr int kEach = 250;
    Receiver window;
    ASSERT_TRUE(window.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    const Handle target = window.handle();
    std::vector<std::thread> workers;
    for (int t = 0; t < kWorkers; ++t) {
        workers.emplace_back([t, target] {
            for (int i = 0; i < kEach; ++i) platform::post(target, msg::TaskData, static_cast<WParam>(t * 10000 + i), 0);
        });
    }
    for (auto& w : workers) w.join();
    ASSERT_TRUE(guitest::waitFor([&] { return window.received.size() == kWorkers * kEach; }, 5000));
    std::vector<int> next(kWorkers, 0);
    for (WParam v : window.received) {
        const int t = static_cast<int>(v / 10000);
        ASSERT_EQ(static_cast<int>(v % 10000), next[static_cast<std::size_t>(t)]);
        ++next[static_cast<std::size_t>(t)];
    }
    EXPECT_FALSE(window.offThread);
}
