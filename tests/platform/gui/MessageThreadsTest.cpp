#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "GuiTestSupport.h"
#include "platform/core/Handles.h"
#include "platform/gui/Application.h"
#include "platform/gui/PostData.h"

using namespace gui;

TEST(MessagePosting, AWorkerPostsWhileTheWindowIsDestroyedMidway) {
    guitest::SpyWindow window;
    ASSERT_TRUE(window.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    const Handle target = window.handle();
    std::atomic<bool> reached{false}, finished{false};
    bool offThread = false;
    int afterDestroy = 0;
    window.answer = [&](std::uint32_t m, WParam w, LParam) -> LResult {
        if (m != msg::TaskData) return 0;
        afterDestroy += window.exists() ? 0 : 1;
        offThread |= !Application::isGuiThread();
        reached = reached || w == 100;
        if (w == 300) window.destroy();  // from inside its own delivery, with more still queued
        return 0;
    };
    std::thread worker([&] {
        for (int i = 0; i < 1000; ++i) {
            // Halfway, wait for delivery, so the window dies while this thread posts.
            for (int spin = 0; i == 500 && spin < 5000 && !reached; ++spin) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            platform::post(target, msg::TaskData, static_cast<WParam>(i), 0x20000);
        }
        finished = true;
    });
    ASSERT_TRUE(guitest::waitFor([&] { return finished.load(); }, 10000));
    worker.join();
    ASSERT_TRUE(guitest::postsDelivered());
    EXPECT_EQ((std::tuple{window.exists(), offThread, afterDestroy}), (std::tuple{false, false, 0}));
    const auto received = window.only(msg::TaskData);
    ASSERT_EQ(received.size(), 301u);
    for (std::size_t i = 0; i < received.size(); ++i) ASSERT_EQ(received[i].w, i);
    EXPECT_FALSE(platform::post(target, msg::TaskData, 0, 0));
    guitest::SpyWindow next;
    ASSERT_TRUE(next.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    EXPECT_GT(next.handle(), target);
}

namespace {
// Counts its lives: a leak or a double free shows.
struct Result {
    static inline std::atomic<int> alive{0};
    std::string text;
    explicit Result(std::string t) : text(std::move(t)) { ++alive; }
    Result(Result&& other) noexcept : text(std::move(other.text)) { ++alive; }
    ~Result() { --alive; }
};
}  // namespace

TEST(MessagePosting, PostsCarryAnOwnedPayloadThatIsFreedAfterTheHandlerOrWhenDropped) {
    guitest::SpyWindow status, closing;
    ASSERT_TRUE(status.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    ASSERT_TRUE(closing.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    std::vector<std::string> texts;
    std::unique_ptr<Result> kept;
    status.answer = [&](std::uint32_t m, WParam w, LParam l) -> LResult {
        if (m != msg::TestResult) return 0;
        EXPECT_EQ(gui::payloadValue<int>(l), nullptr);  // not the type it carries
        if (const Result* r = gui::payloadValue<Result>(l)) texts.push_back(r->text);
        if (w == 2) kept = gui::takePayload<Result>(l);  // the handler keeps the last one
        return 0;
    };
    closing.answer = [&](std::uint32_t m, WParam, LParam) -> LResult {
        if (m == msg::PageClosed) closing.destroy();  // its later posts are dropped
        return 0;
    };
    std::thread worker([&, target = status.handle(), gone = closing.handle()] {
        for (int i = 0; i < 3; ++i) gui::postValue(target, msg::TestResult, static_cast<WParam>(i), Result("step " + std::to_string(i)));
        platform::post(gone, msg::PageClosed, 0, 0);
        gui::postValue(gone, msg::TestResult, 0, Result("never read"));
    });
    worker.join();
    EXPECT_FALSE(gui::postValue(Handle{0}, msg::TestResult, 0, Result("no window")));
    ASSERT_TRUE(guitest::postsDelivered());
    EXPECT_FALSE(closing.exists());
    EXPECT_EQ(texts, (std::vector<std::string>{"step 0", "step 1", "step 2"}));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->text, "step 2");
    EXPECT_EQ(Result::alive.load(), 1);
    EXPECT_EQ(gui::payloadValue<Result>(reinterpret_cast<LParam>(kept.get())), nullptr);
    kept.reset();
    EXPECT_EQ(Result::alive.load(), 0);
}
