// A page's board set-up after its restore waits for the board's defaults on the queue's
// side: the GUI thread goes on meanwhile, and whatever of the page's would write to the
// board first finishes the set-up. The board's pacing is held here by a clock whose
// pauses last until the test lets them go, so "still waiting" is a state, not a time.
#include <gtest/gtest.h>

#include <QTimer>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "PageRigSupport.h"
#include "pages/bldc/BldcPage.h"
#include "platform/core/Debug.h"

using namespace apptest;

namespace {

// The system's time, with every pause of the board's pacing held until Release.
class HeldPauses final : public platform::IClock {
public:
    std::uint64_t nowMs() override { return system_.nowMs(); }
    std::uint64_t nowUs() override { return system_.nowUs(); }
    void sleepMs(std::uint32_t ms) override { system_.sleepMs(ms); }
    bool pauseMs(platform::CancelSignal& signal, std::uint32_t) override {
        std::unique_lock lock(mutex_);
        // The signal has no hook of ours: it is looked at between short waits.
        while (!released_ && !signal.raised()) cv_.wait_for(lock, std::chrono::milliseconds(1));
        return signal.raised();
    }
    void Release() {
        {
            std::lock_guard guard(mutex_);
            released_ = true;
        }
        cv_.notify_all();
    }

private:
    platform::SystemClock system_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool released_ = false;
};

using BldcRig = PageRig<CDeviceDialog_BLDC>;

// The model chosen with the board's pacing held: the page is made, its set-up waits.
CDeviceDialog_BLDC* ChooseHeld(BldcRig& r, std::uint32_t key) {
    if (!r.Start()) return nullptr;
    r.Settle();
    r.sim.sim.clearFrames();
    if (!r.rig.ChooseDriverNamed(ModelName(key))) return nullptr;
    return dynamic_cast<CDeviceDialog_BLDC*>(r.rig.window->CurrentPage());
}

std::size_t IndexOf(const std::vector<Bytes>& frames, const Bytes& frame, std::size_t from = 0) {
    for (std::size_t i = from; i < frames.size(); ++i)
        if (frames[i] == frame) return i;
    return frames.size();
}

const Bytes kSelect = F("38 04 27 27");  // the set-up's first frame of its own

// A BLDC model chosen with the board's pacing held: the page is made, its set-up waits.
class PageSetUp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(r.Start());
        scope_.emplace(held);
        page = ChooseHeld(r, 0x300);
        ASSERT_NE(page, nullptr);
    }
    // The defaults let go and on the wire; the set-up waits for the queue's notice still.
    void ReleaseDefaults() {
        held.Release();
        ASSERT_TRUE(r.rig.tasks.WaitIdle(5000));
        ASSERT_TRUE(page->BoardSetUpPending());
    }

    BldcRig r;
    HeldPauses held;
    std::optional<platform::ScopedClock> scope_;
    CDeviceDialog_BLDC* page = nullptr;
};

}  // namespace

TEST_F(PageSetUp, TheChoiceReturnsAndThePageIsShownAndAnswersEventsWhileTheBoardIsSetUp) {
    EXPECT_TRUE(page->BoardSetUpPending()) << "the choice waited for the board's set-up";

    bool answeredWhileWaiting = false;
    QTimer::singleShot(0, [&] { answeredWhileWaiting = page->BoardSetUpPending(); });
    r.rig.Command(gui::id::Ok);
    guitest::settle();
    EXPECT_TRUE((std::tuple{answeredWhileWaiting, page->isShown(), page->BoardSetUpPending()}) ==
                (std::tuple{true, true, true}))
        << "answered while waiting " << answeredWhileWaiting << ", shown " << page->isShown() << ", waiting "
        << page->BoardSetUpPending();
    EXPECT_EQ(IndexOf(r.sim.Frames(), kSelect), r.sim.Frames().size()) << "the set-up ran before the defaults";

    held.Release();
    ASSERT_TRUE(guitest::waitFor([&] { return !page->BoardSetUpPending(); }, 10000));
    EXPECT_LT(IndexOf(r.sim.Frames(), kSelect), r.sim.Frames().size()) << "the set-up never ran";
}

TEST_F(PageSetUp, AKeyOnThePageWhileItsSetUpWaitsIsAnsweredAfterTheSetUpAndKeepsTheUsersValue) {
    r.rig.Command(gui::id::Ok);
    CDerivedControl* slider = page->FindControl(0, 0);  // PWMIN
    ASSERT_NE(slider, nullptr);
    const std::uint32_t stored = r.rig.data.GetValue(0);
    // The defaults are out (nothing here has run the queue's notice yet): only the key
    // can finish the set-up now, and it does so before the slider sees it.
    ReleaseDefaults();
    platform::DebugCapture debug;
    guitest::focusForKeys(*slider);
    guitest::userKey(*slider, Qt::Key_PageDown);

    EXPECT_EQ(debug.count("Page: board set-up finished at once for the user's input\n"), 1u);
    EXPECT_FALSE(page->BoardSetUpPending());
    const std::uint32_t moved = r.rig.data.GetValue(0);
    EXPECT_NE(moved, stored) << "the key's change was lost";
    EXPECT_EQ(slider->GetValue(), moved);
    // The user's PWMIN (channel 1 at 240 less the slider) goes out after the set-up's own frames.
    std::vector<Bytes> frames;
    std::size_t users = 0;
    const auto findUsers = [&] {
        frames = r.sim.Frames();
        for (users = 0; users < frames.size(); ++users) {
            const Bytes& f = frames[users];
            if (f.size() == 11 && f[0] == 'P' && f[4] == 240 - moved) return true;
        }
        return false;
    };
    ASSERT_TRUE(guitest::waitFor(findUsers, 5000)) << "no PWMIN frame at " << 240 - moved;
    const std::size_t select = IndexOf(frames, kSelect);
    ASSERT_LT(select, frames.size()) << "the set-up never ran";
    EXPECT_GT(users, select);
}

// The speed window's hosted controls are the page's too: a press there finishes the set-up first.
TEST_F(PageSetUp, APressOnTheTachometerWindowWhileThePagesSetUpWaitsFinishesItFirst) {
    r.rig.Command(gui::id::Ok);
    CSubDialog_Tachometer* panel = page->TachometerPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->isShown());
    ReleaseDefaults();
    platform::DebugCapture debug;
    guitest::userClick(*panel);
    EXPECT_EQ(debug.count("Page: board set-up finished at once for the user's input\n"), 1u);
    EXPECT_FALSE(page->BoardSetUpPending());
}

TEST_F(PageSetUp, APageDestroyedWhileItsSetUpWaitsFinishesItFirstAndWritesNothingAfterwards) {
    const gui::Handle handle = page->handle();
    ReleaseDefaults();

    page->destroy();
    EXPECT_FALSE(page->BoardSetUpPending());
    const auto atDestroy = r.sim.Frames();
    EXPECT_LT(IndexOf(atDestroy, kSelect), atDestroy.size()) << "the destroy did not finish the set-up";
    r.Settle();  // the notice finds no window
    EXPECT_FALSE(gui::isWindow(handle));
    EXPECT_EQ(r.sim.Frames().size(), atDestroy.size()) << "a destroyed page wrote to the board";
}

// At start-up and after a replug the main window takes input while the board-type reads
// still wait behind the board's held pacing: a driver chosen then keeps its page, and the
// main window keeps showing it chosen (with OK) when the replies refill the list.
TEST(BoardTypeNotKnownYet, ADriverChosenThenStaysChosenWithItsPageWhenTheRepliesRefillTheList) {
    // The pacing outlives the rig: a pause still held when a check fails ends with the queue.
    HeldPauses startUp, replug;
    BldcRig r;
    const std::string name = ModelName(0x300);
    const auto replies = [&] { return r.rig.window->count(gui::msg::TaskData); };
    const auto chosenText = [&] {
        auto* drivers = r.rig.window->itemAs<gui::ComboBox>(mainwin::kDriverList);
        return drivers->itemText(drivers->curSel()).value_or(QString()).toStdString();
    };
    const auto agrees = [&](gui::Dialog* page, bool shown, const char* when) {
        EXPECT_EQ((std::tuple{r.rig.window->CurrentPage() == page, page->isShown(), chosenText(), r.rig.OkEnabled()}),
                  (std::tuple{true, shown, name, true}))
            << when;
    };
    std::optional<platform::ScopedClock> scope(startUp);

    // Start-up: chosen and shown before the type is known.
    ASSERT_TRUE(r.rig.Open());
    ASSERT_EQ(r.rig.Title().toStdString(), mainwin::kTitleConnected);
    ASSERT_TRUE(r.rig.ChooseDriverNamed(name));
    gui::Dialog* page = r.rig.window->CurrentPage();
    ASSERT_NE(page, nullptr);
    r.rig.Command(gui::id::Ok);
    guitest::settle();
    ASSERT_EQ(replies(), 0) << "the board's type was known before the choice";
    agrees(page, true, "before the replies");
    startUp.Release();
    ASSERT_TRUE(guitest::waitFor([&] { return replies() == 2; }, 5000));
    guitest::settle();
    agrees(page, true, "after the replies");

    // A replug: the page goes with the board; chosen again before the type is known, and
    // OK pressed only once the replies are in.
    r.sim.sim.unplug();
    ASSERT_TRUE(guitest::waitFor([&] { return r.rig.window->CurrentPage() == nullptr; }, 5000));
    scope.reset();
    scope.emplace(replug);
    ASSERT_TRUE(r.sim.sim.replug());
    ASSERT_TRUE(guitest::waitFor([&] { return r.rig.Title().toStdString() == mainwin::kTitleConnected; }, 5000));
    ASSERT_TRUE(r.rig.ChooseDriverNamed(name));
    page = r.rig.window->CurrentPage();
    ASSERT_NE(page, nullptr);
    guitest::settle();
    ASSERT_EQ(replies(), 2) << "the board's type was known before the choice";
    agrees(page, false, "after the replug, before the replies");
    replug.Release();
    ASSERT_TRUE(guitest::waitFor([&] { return replies() == 4; }, 5000));
    guitest::settle();
    agrees(page, false, "after the replug's replies");
    r.rig.Command(gui::id::Ok);
    agrees(page, true, "shown by OK");
}

// The replies come while the chosen model's firmware question is open: once it is
// answered, the model's page is made and the main window shows that model chosen.
TEST(BoardTypeNotKnownYet, TheRepliesDuringADriversFirmwareQuestionLeaveThatDriverChosen) {
    HeldPauses pacing;
    BldcRig r;
    // Answers "No" once the replies are in, taking the main window's messages meanwhile
    // as the question's own loop does.
    struct AnswerAfterTheReplies final : gui::IMessageBoxProvider {
        int show(const gui::MessageBoxRequest& request) override {
            caption = request.caption.toStdString();
            pacing->Release();
            repliesIn = guitest::waitFor([&] { return window->count(gui::msg::TaskData) == 2; }, 5000);
            return gui::id::No;
        }
        HeldPauses* pacing = nullptr;
        guitest::Spy<CQuillfenDlg>* window = nullptr;
        std::string caption;
        bool repliesIn = false;
    } boxes;
    boxes.pacing = &pacing;
    boxes.window = r.rig.window.get();
    std::optional<platform::ScopedClock> scope(pacing);
    ASSERT_TRUE(r.rig.Open());
    gui::setMessageBoxProvider(&boxes);
    const std::string name = ModelName(0x106);  // needs other firmware than the board's
    const bool chosen = r.rig.ChooseDriverNamed(name);
    UnexpectedDialogs::Install();
    ASSERT_TRUE(chosen);
    EXPECT_EQ((std::tuple{boxes.caption, boxes.repliesIn}), (std::tuple{std::string("Tamsiro Firmware Update"), true}));
    auto* drivers = r.rig.window->itemAs<gui::ComboBox>(mainwin::kDriverList);
    const std::string shown = drivers->itemText(drivers->curSel()).value_or(QString()).toStdString();
    EXPECT_EQ((std::tuple{r.rig.window->CurrentPage() != nullptr, shown, r.rig.OkEnabled()}),
              (std::tuple{true, name, true}));
}
