// A page's board set-up after its restore waits for the board's defaults on the queue's
// side: the GUI thread goes on meanwhile, and whatever of the page's would write to the
// board first finishes the set-up. The board's pacing is held here by a clock whose
// pauses last until the test lets them go, so "still waiting" is a state, not a time.
#include <gtest/gtest.h>

#include <QTimer>
#include <optional>

#include "PageRigSupport.h"
#include "pages/bldc/BldcPage.h"
#include "pages/bldc/StartupDialog.h"
#include "platform/core/Debug.h"
#include "platform/core/HeldPauses.h"
#include "tasks/TaskFactory.h"
#include "tasks/Timer.h"

using namespace apptest;

namespace {

using BldcRig = PageRig<CDeviceDialog_BLDC>;

// The model chosen with the board's pacing held: the page is made, its set-up waits.
CDeviceDialog_BLDC* ChooseHeld(BldcRig& r, std::uint32_t key) {
    if (!r.Start()) return nullptr;
    r.Settle();
    r.sim.sim.clearFrames();
    Dialogs boxes;
    boxes.answerBox(gui::id::No);  // a firmware question, where the model has one
    if (!r.rig.ChooseDriverNamed(ModelName(key))) return nullptr;
    return dynamic_cast<CDeviceDialog_BLDC*>(r.rig.window->CurrentPage());
}

std::size_t IndexOf(const std::vector<Bytes>& frames, const Bytes& frame, std::size_t from = 0) {
    for (std::size_t i = from; i < frames.size(); ++i)
        if (frames[i] == frame) return i;
    return frames.size();
}

const Bytes kSelect = F("38 04 27 27");  // the set-up's first frame of its own

// Trace lines that begin so: fences that ran out ("Task queue fence"), set-ups dropped.
std::size_t LinesOf(const platform::DebugCapture& debug, const std::string& start) {
    std::size_t n = 0;
    for (const auto& line : debug.lines()) n += line.rfind(start, 0) == 0;
    return n;
}
const std::string kFenceRunOut = "Task queue fence";
const std::string kDropped = "Page: its waiting board set-up is dropped";

// A BLDC model chosen with the board's pacing held: the page is made, its set-up waits.
class PageSetUp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(r.Start());
        scope_.emplace(held);
        page = ChooseHeld(r, Model());
        ASSERT_NE(page, nullptr);
    }
    virtual std::uint32_t Model() const { return 0x300; }
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

// The same with a model whose page has the start-up test window.
class PageSetUpWithTest : public PageSetUp {
protected:
    std::uint32_t Model() const override { return 0x302; }
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

// Any window the page owns counts, not only its speed windows: a press on the start-up
// test window's "Test Start" finishes the set-up first, so the run's frames follow it.
TEST_F(PageSetUpWithTest, APressOnTheStartUpTestWindowWhileThePagesSetUpWaitsFinishesItFirst) {
    r.rig.Command(gui::id::Ok);
    auto* test = dynamic_cast<bldc::COptionDlg_BLDCTest*>(page->TestDialog());
    ASSERT_NE(test, nullptr);
    test->ShowDialog();
    ReleaseDefaults();
    platform::DebugCapture debug;
    guitest::userClick(*test->FindControl(7, 0));  // "Test Start"
    EXPECT_EQ(debug.count("Page: board set-up finished at once for the user's input\n"), 1u);
    EXPECT_TRUE(test->IsRunning());
    // The run selects the measure as the restore does, so the restore is told by its own
    // input ports (sent from this thread) and the run by its first PWM frame.
    const Bytes restorePorts = F("43 00 03 04 00 00 fc ff 00 0e 00 00 00 00 00");
    const Bytes runPwm = F("50 e0 f0 00 00 00 c0 00 ff ff 00");
    std::vector<Bytes> frames;
    ASSERT_TRUE(guitest::waitFor(
        [&] {
            frames = r.sim.Frames();
            return IndexOf(frames, runPwm) < frames.size();
        },
        5000))
        << "the run sent nothing";
    std::string listing;
    for (const Bytes& f : frames) listing += Hex(f) + "\n";
    EXPECT_LT(IndexOf(frames, restorePorts), IndexOf(frames, runPwm))
        << "the run started before the page's restore:\n" << listing;
    page->send(gui::msg::Close);  // ends the run
}

// Another model chosen while the page's set-up waits: the page goes and drops its set-up.
// The choice returns with the board's pacing still held (no fence on this thread ran
// out), and nothing of the old page's restore reaches the board, then or after the new
// model's defaults.
TEST_F(PageSetUp, AnotherModelChosenWhileTheSetUpWaitsDropsItAndTheOldRestoreNeverReachesTheBoard) {
    platform::DebugCapture debug;
    Dialogs boxes;
    boxes.answerBox(gui::id::No);
    ASSERT_TRUE(r.rig.ChooseDriverNamed(ModelName(0x101)));
    EXPECT_EQ((std::tuple{LinesOf(debug, kFenceRunOut), LinesOf(debug, kDropped)}), (std::tuple{0u, 1u}))
        << "fences run out, set-ups dropped";
    EXPECT_NE(r.rig.window->CurrentPage(), page);

    held.Release();
    r.Settle();  // the new model's defaults and its page's set-up, the old notice delivered
    const auto frames = r.sim.Frames();
    EXPECT_EQ(IndexOf(frames, kSelect), frames.size()) << "the old page's restore reached the board";
}

// File > "Close window" while the set-up waits: the page goes without it (no fence on this
// thread runs out), its late notice does nothing and polling does not start. Shown again,
// it restores the board.
TEST_F(PageSetUp, APageClosedWhileItsSetUpWaitsDropsItAndRestoresWhenShownAgain) {
    r.rig.Command(gui::id::Ok);  // shown: polling waits for the set-up
    platform::DebugCapture debug;
    page->send(gui::msg::Command, gui::makeWParam(pagemenu::kCloseWindow, gui::notify::MenuOrAccelerator), 0);
    guitest::settle();  // the close it posts
    EXPECT_EQ((std::tuple{page->isShown(), page->BoardSetUpPending(), LinesOf(debug, kFenceRunOut),
                          LinesOf(debug, kDropped)}),
              (std::tuple{false, false, 0u, 1u}))
        << "shown, set-up waiting, fences run out, set-ups dropped";

    held.Release();
    ASSERT_TRUE(r.rig.tasks.WaitIdle(5000));
    guitest::settle();  // the notice asked for before the close
    EXPECT_EQ(IndexOf(r.sim.Frames(), kSelect), r.sim.Frames().size()) << "the closed page's restore ran";
    EXPECT_EQ((std::tuple{page->GetStatusTimer()->IsRunning(), CTaskFactory::GetInstance()->GetPollingTask()}),
              (std::tuple{0u, nullptr}))
        << "a closed page polls";

    r.rig.Command(gui::id::Ok);
    ASSERT_TRUE(page->isShown());
    r.Settle();
    EXPECT_LT(IndexOf(r.sim.Frames(), kSelect), r.sim.Frames().size()) << "shown again, the page did not restore";
    EXPECT_NE(CTaskFactory::GetInstance()->GetPollingTask(), nullptr) << "shown again, the page does not poll";
}

// The opening's restore sets the dial to 0; the display of the stored count and the pole
// setting come after it, so the dial shown agrees with the current-speed edit. The page is
// not shown: nothing polls, and what it shows is the opening's own.
TEST_F(PageSetUp, TheOpenedPagesDialShowsTheStoredSpeedItsEditShows) {
    // Stored while the page's restore still waits: a count of 1000 (100 pps) with two pole
    // pairs, on a scale of 350 x 100 rpm.
    const std::pair<int, std::uint32_t> words[] = {{27, 1000}, {18, 2}, {29, 350}};
    for (const auto& [word, value] : words) r.rig.data.SetValue(word, value);
    held.Release();
    ASSERT_TRUE(guitest::waitFor([&] { return !page->BoardSetUpPending(); }, 10000));
    r.Settle();
    CSubDialog_Tachometer* panel = page->TachometerPanel();
    ASSERT_NE(panel, nullptr);
    const CTachometerFull* dial = panel->RpmDial();
    EXPECT_EQ(panel->ShownDial(), dial) << "the pole count's dial";
    EXPECT_EQ(page->FindControl(17, 100)->text(), QString("Current rpm"));
    const std::int32_t needle = dial->Needle().GetValue();
    EXPECT_GT(needle, 0) << "the stored count is not shown";
    EXPECT_EQ(page->FindControl(17, 0)->text().toStdString(), std::to_string(needle));
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
