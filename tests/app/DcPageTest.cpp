// The DC page through the real main window against the board simulator: opening, each
// kind of change as its frames, the direction-change wait, the demo from a file, the
// close; and as a user meets it in the program's own loop.
//
// Channel frames are '8' 02 frames carrying timer channels 6, 7 and 8: [8] the prescaler,
// [9]-[10] the period, [11]-[12] channel 6's compare, [13]-[14] channel 7's, [20] the
// output fields (two bits each: channel 6 first then second field, then channel 7's).
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "PageRigSupport.h"
#include "pages/dc/DcPage.h"
#include "platform/core/HeldPauses.h"
#include "platform/gui/Controls.h"
#include "ui/EditControl.h"

using namespace apptest;
using pages::dc::SequenceTimer;
namespace dc = pages::dc;

namespace {

using DcRig = PageRig<CDeviceDialog_DC>;

CDeviceDialog_DC* OpenQuiet(DcRig& r, std::uint32_t key, std::vector<Bytes>* opening) {
    return r.OpenQuiet(key, opening, {20});
}

// Port lines of the second controller ('8' 3): [3] holds 21 (bit 0) to 28, [5] has 31 in
// bit 5. Port 22 high (set up by the page); chip enable off and on.
const Bytes kChipOff = F("38 03 ff 03 38 00 03 00 00 3d");
const Bytes kChipOn = F("38 03 ff 03 38 20 03 00 00 5d");
const Bytes kReadHigh = F("38 13");
const Bytes kBothOff = F("38 02 00 00 ff ff 00 00 05 a6 0e 00 00 00 00 00 00 00 00 00 55 05 11");
// A restore switches both channels off with their bare off templates: no frequency, so
// prescaler and period 0, compares 0, outputs (1, 1).
const Bytes kRestoreOff = F("38 02 00 00 ff ff 00 00 00 00 00 00 00 00 00 00 00 00 00 00 55 05 58");

struct Cwd {
    explicit Cwd(const std::filesystem::path& p) : previous(std::filesystem::current_path()) { std::filesystem::current_path(p); }
    ~Cwd() { std::filesystem::current_path(previous); }
    std::filesystem::path previous;
};

}  // namespace

TEST(DcPage, EveryModelOpensAndOpeningRestoresTheBoardAndEachKindOfChangeGivesItsFrames) {
    DcRig r;
    std::vector<Bytes> opening;
    CDeviceDialog_DC* page = OpenQuiet(r, 0x200, &opening);
    ASSERT_NE(page, nullptr);
    SaveScreenshots(*page, "dc_page");
    IDataContainer& store = r.rig.data;
    // The page's own frames at its end: port 22 high, REF at duty 256, both channels off
    // in one frame, the status inputs (port 0 an input, ADC 0, interrupt inputs 1 and 2
    // in one 'C', 18 and 19 inputs); then the show starts polling, setting them up again.
    const Bytes lines = F("43 00 03 04 00 00 fe ff 00 08 00 14 04 01 00"), levels = F("45 00 00 06 06 00");
    const std::vector<Bytes> want = {
        kChipOff, kReadHigh, F("50 e0 f0 00 f0 08 c0 00 ff ff 00"), kRestoreOff,
        F("43 00 03 04 00 00 fe ff 00 0e 00 00 00 00 00"), levels, levels,
        F("43 00 03 04 00 00 fe ff 00 0e 00 00 04 01 00"), F("43 00 03 04 00 00 fe ff 00 0e 00 14 04 01 00"),
        lines, levels, levels,
        lines, levels, levels, lines, lines, lines, levels, levels};
    ASSERT_GE(opening.size(), want.size());
    ExpectFrames({opening.end() - static_cast<std::ptrdiff_t>(want.size()), opening.end()}, want);

    struct Step {
        const char* what;
        std::uint32_t kind, value;
        std::vector<Bytes> frames;
    };
    const Step steps[] = {
        // Chip enable on port 31, then both channels (still off) in one frame, now at the
        // page's 100 Hz.
        {"chip enable", 0, 1, {kChipOn, kReadHigh, kBothOff}},
        // Channel 1 started in forward/standby at duty 0: 100 % (compare = period), (0, 1).
        {"ch1 start", 4, 1, {F("38 02 00 00 ff ff 00 00 05 a6 0e a6 0e 00 00 00 00 00 00 00 54 05 c4")}},
        // Duty 64 of 256 forward: 75 %.
        {"ch1 duty", 3, 64, {F("38 02 00 00 ff ff 00 00 05 a6 0e fc 0a 00 00 00 00 00 00 00 54 05 16")}},
        // Forward to reverse: held forward at 100 %, then reverse (1, 0) at 25 %.
        {"ch1 reverse", 1, 2,
         {F("38 02 00 00 ff ff 00 00 05 a6 0e a6 0e 00 00 00 00 00 00 00 54 05 c4"),
          F("38 02 00 00 ff ff 00 00 05 a6 0e a9 03 00 00 00 00 00 00 00 51 05 b9")}},
        // 1500 Hz (period 4000): both channels, one frame.
        {"frequency", 2, 10, {F("38 02 00 00 ff ff 00 00 01 a0 0f e8 03 00 00 00 00 00 00 00 51 05 ef")}},
        // Channel 2 started forward at 100 %, (0, 1).
        {"ch2 start", 8, 1, {F("38 02 00 00 ff ff 00 00 01 a0 0f e8 03 a0 0f 00 00 00 00 00 41 05 8e")}},
        {"ch2 duty", 7, 128, {F("38 02 00 00 ff ff 00 00 01 a0 0f e8 03 d0 07 00 00 00 00 00 41 05 b6")}},
        // Forward/standby to forward/brake: no hold, (2, 0).
        {"ch2 brake", 5, 1, {F("38 02 00 00 ff ff 00 00 01 a0 0f e8 03 d0 07 00 00 00 00 00 21 05 96")}},
        // Reverse/brake: held forward at 100 % first, then (0, 2) at 50 %.
        {"ch2 reverse", 5, 3,
         {F("38 02 00 00 ff ff 00 00 01 a0 0f e8 03 a0 0f 00 00 00 00 00 41 05 8e"),
          F("38 02 00 00 ff ff 00 00 01 a0 0f e8 03 d0 07 00 00 00 00 00 81 05 f6")}},
        {"ch1 stop", 4, 0, {F("38 02 00 00 ff ff 00 00 01 a0 0f 00 00 d0 07 00 00 00 00 00 85 05 0f")}},
        // REF on channel 2: compare 256 - 100 - 1.
        {"REF", 9, 100, {F("50 e0 f0 00 f0 08 c0 00 9b ff 00")}},
        // Both attenuation pins (8, 10) in one level frame.
        {"attenuation", 11, 3, {lines, F("45 00 05 06 06 00"), F("45 00 05 06 06 00")}},
        {"blanking", 12, 1, {F("38 03 ff 07 38 20 03 00 00 61"), kReadHigh}},
        {"protection", 13, 1, {F("38 03 ff 0f 38 20 03 00 00 69"), kReadHigh}},
        {"resistance (stored only)", 14, 470, {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        Change(*page, step.kind, 0, step.value);
        ExpectFrames(r.Take(), step.frames);
        EXPECT_EQ(store.GetValue(step.kind), step.value);
    }
    // The twins follow: the frequency edit shows 1500 Hz, the duty edit 50 %.
    EXPECT_EQ((std::tuple{page->FindControl(2, 1)->text(), page->FindControl(7, 1)->text()}), (std::tuple{QString("1500"), QString("50.00")}));

    // A poll: REF measured, the two warnings, the currents from them.
    r.sim.sim.setAdc(0, 2048);
    r.sim.sim.setInterruptFlag(1, true);
    r.sim.sim.setInputPort(19, true);
    page->send(gui::msg::StatusPollTick, 0, 0);
    r.Settle();
    // 20 % of 1.65 V / 5 over 470 mOhm; channel 2's 220 mOhm gives 299 mA (truncated), over the mark.
    EXPECT_EQ((std::tuple{store.GetValue(10), store.GetValue(15), store.GetValue(17), store.GetValue(18), store.GetValue(19)}),
              (std::tuple{2048u, 140u, 299u, 1u, 0u}));
    EXPECT_EQ((std::tuple{page->FindControl(10, 0)->text(), page->FindControl(15, 0)->text(), page->FindControl(17, 0)->text()}),
              (std::tuple{QString("1.65"), QString("0.140"), QString("0.299")}));

    // Closing ends the run: channel 2 off (at 1500 Hz), its switch back to "Start".
    r.Take();
    page->send(gui::msg::Close);
    ExpectFrames(r.Take(), {F("38 02 00 00 ff ff 00 00 01 a0 0f 00 00 00 00 00 00 00 00 00 55 05 08")});
    EXPECT_EQ((std::tuple{store.GetValue(8), page->FindControl(8, 0)->text(), page->ChannelWord(1) >> 27 & 1u}),
              (std::tuple{0u, QString("Start"), 0u}));

    // Every DC model opens its page, titled by the connection.
    for (std::uint32_t key : {0x201u, 0x202u, 0x203u, 0x207u, 0x208u, 0x209u}) {
        CDeviceDialog_DC* other = OpenQuiet(r, key, nullptr);
        ASSERT_NE(other, nullptr) << std::hex << key;
        EXPECT_EQ(other->text(), QString::fromStdString(ModelName(key)) + " Controller (USB Connected)");
        // The chip enable's caption follows the profile; pages without the polling
        // switch poll nothing.
        if (auto* caption = other->FindControl(0, 100)) {
            EXPECT_EQ(caption->text(), key == 0x201 || key == 0x202 ? "PS: Chip Enable" : "ST: Chip Enable");
        }
        EXPECT_EQ(other->FindControl(20, 0) != nullptr, key == 0x201 || key == 0x203) << std::hex << key;
        EXPECT_EQ(other->FindControl(24, 0) != nullptr, key >= 0x207) << std::hex << key;
        if (key == 0x207) SaveScreenshots(*other, "dc_page_0x207");
        // 0x202's current depends on its resistance (in ohm) alone, recomputed at a change.
        if (key == 0x202) {
            Change(*other, 14, 0, 100);
            EXPECT_EQ((std::tuple{store.GetValue(15), other->FindControl(15, 0)->text()}), (std::tuple{8000u, QString("8.000")}));
        }
    }
}

TEST(DcPage, ADirectionChangeHoldsTheChannelForItsPauseFirst) {
    DcRig r;
    CDeviceDialog_DC* page = OpenQuiet(r, 0x203, nullptr);
    ASSERT_NE(page, nullptr);
    Change(*page, 4, 0, 1);
    r.Take();
    platform::ManualClock clock;
    platform::ScopedClock scope(clock);
    struct Case {
        std::uint32_t frequencyIndex, from, to, pauseMs;
        std::size_t frames;
    };
    // 100 Hz: 10 ms; 200 Hz and above: 5 ms; no change of direction: no pause, one frame.
    for (const Case& c : {Case{0, 0, 2, 10, 2}, Case{1, 2, 1, 5, 2}, Case{27, 1, 3, 5, 2}, Case{27, 3, 2, 0, 1},
                          Case{0, 2, 2, 0, 1}}) {
        Change(*page, 2, 0, c.frequencyIndex);
        Change(*page, 1, 0, c.from);
        r.Take();
        const std::uint64_t t0 = clock.nowMs();
        Change(*page, 1, 0, c.to);
        EXPECT_EQ((std::tuple{clock.nowMs() - t0, r.Take().size()}), (std::tuple{std::uint64_t{c.pauseMs}, c.frames}))
            << c.from << "->" << c.to << " at index " << c.frequencyIndex;
    }
    // With the channels stopped by hand, closing sends nothing more.
    Change(*page, 4, 0, 0);
    r.Take();
    page->send(gui::msg::Close);
    EXPECT_TRUE(r.Take().empty());
}

TEST(DcPage, TheDemoFromAFileShowsItsRowsWithoutStoringThemAndClosingEndsIt) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "sequence");
    {
        std::ofstream f(dir.path() / "sequence" / "Demomode_Sequence_dc.csv", std::ios::binary);
        f << "Chip Ena,REF V,PWM Freq,ATT,PWM mode,ON duty,PWM mode,ON duty,Duration,Unit\r\n"
             "H, 1.65, 1000, 80, FW<->STB, 25, REV<->BRK, 50, 50, Sec\r\n"
             "H,x,1000,80,FW<->STB,25,STB,50,2,Sec\r\n"
             "H, 0.5, 1000, 100, REV<->STB, 50, FW<->BRK, 50, 60, Sec\r\n";
    }
    Cwd cwd(dir.path());
    DcRig r;
    CDeviceDialog_DC* page = OpenQuiet(r, 0x207, nullptr);
    ASSERT_NE(page, nullptr);
    IDataContainer& store = r.rig.data;
    const std::vector<std::uint32_t> userWords = {store.GetValue(1), store.GetValue(2), store.GetValue(3), store.GetValue(5)};

    Dialogs boxes;
    boxes.answerBox(gui::id::Ok);
    Change(*page, 24, 0, 1);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    // "Demo Start" shows the sequence window, its editors built.
    ASSERT_NE(page->SequenceWindow(), nullptr);
    EXPECT_TRUE(page->SequenceWindow()->isShown() && page->SequenceWindow()->Editor(1, 7) != nullptr);
    EXPECT_EQ(boxes.boxes()[0].text, QString("line 3: REF voltage \"x\" is not a number; line skipped"));
    // Row 1: chip enable, REF 128 (compare 127), ATT 80 % (port 8 high, 10 low), then
    // channel 1 forward at 75 % staged and channel 2 reverse/brake at 50 % sent, 1 kHz.
    const Bytes lines = F("43 00 03 04 00 00 fe ff 00 08 00 14 04 01 00"), att = F("45 00 01 06 06 00");
    ExpectFrames(r.Take(), {kChipOn, kReadHigh, F("50 e0 f0 00 f0 08 c0 00 7f ff 00"), lines, att, att,
                            F("38 02 00 00 ff ff 00 00 02 b8 0b ca 08 dc 05 00 00 00 00 00 84 05 ff")});
    EXPECT_EQ((std::tuple{page->FindControl(5, 0)->GetValue(), page->FindControl(3, 0)->GetValue(), page->FindControl(2, 1)->text()}),
              (std::tuple{3u, 64u, QString("1000")}));
    EXPECT_FALSE(page->FindControl(1, 0)->isEnabled());
    EXPECT_NE(page->ArmedTick(SequenceTimer::Demo), 0u);

    // Row 2 (the refused line skipped) reverses both channels, each in turn: channel 1's
    // standby pulse (1, 1) at 0 %; then channel 2's brake pulse (2, 2) at 100 %, which
    // carries channel 1's new phase (reverse (1, 0) at 50 %) with it; then channel 2's
    // phase (forward/brake (2, 0) at 50 %). (The pauses' length on a manual clock is the
    // runner's own test's.)
    page->send(gui::msg::SequenceDemo, page->ArmedTick(SequenceTimer::Demo), 0);

    const Bytes full = F("45 00 00 06 06 00");
    ExpectFrames(r.Take(), {kChipOn, kReadHigh, F("50 e0 f0 00 f0 08 c0 00 d8 ff 00"), lines, full, full,
                            F("38 02 00 00 ff ff 00 00 02 b8 0b 00 00 dc 05 00 00 00 00 00 85 05 2e"),
                            F("38 02 00 00 ff ff 00 00 02 b8 0b dc 05 b8 0b 00 00 00 00 00 a1 05 0d"),
                            F("38 02 00 00 ff ff 00 00 02 b8 0b dc 05 dc 05 00 00 00 00 00 21 05 ab")});
    const auto shownModesAndDuties = [&] {
        return std::vector<std::uint32_t>{page->FindControl(1, 0)->GetValue(), page->FindControl(3, 0)->GetValue(),
                                          page->FindControl(5, 0)->GetValue(), page->FindControl(7, 0)->GetValue()};
    };
    EXPECT_EQ(shownModesAndDuties(), (std::vector<std::uint32_t>{2, 128, 1, 128}));
    // A parameter save now keeps the user's words: the demo only showed its rows.
    EXPECT_EQ((std::vector<std::uint32_t>{store.GetValue(1), store.GetValue(2), store.GetValue(3), store.GetValue(5)}), userWords);

    // "Demo Start" again while it runs (the switch and the demo out of step, as after a
    // rollback): the running demo ends before its rows go, and it starts from row 1.
    boxes.answerBox(gui::id::Ok);
    Change(*page, 24, 0, 1);
    const std::vector<Bytes> again = r.Take();
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(Hex(again.back()), Hex(F("38 02 00 00 ff ff 00 00 02 b8 0b ca 08 dc 05 00 00 00 00 00 84 05 ff")));
    EXPECT_EQ(page->Sequence()->CurrentDemoRow(), std::optional<std::size_t>(0));
    page->send(gui::msg::SequenceDemo, page->ArmedTick(SequenceTimer::Demo), 0);
    r.Take();

    // A tick of an older arming is dropped.
    page->send(gui::msg::SequenceDemo, page->ArmedTick(SequenceTimer::Demo) + 7, 0);
    EXPECT_TRUE(r.Take().empty());

    // Closing ends the demo: the user's own state again (chip off, REF 256, ATT 100 %,
    // both channels off), the items usable, "Demo Start".
    page->send(gui::msg::Close);
    const Bytes none = F("45 00 00 06 06 00");
    ExpectFrames(r.Take(), {kChipOff, kReadHigh, F("50 e0 f0 00 f0 08 c0 00 ff ff 00"), lines, none, none, kBothOff});
    EXPECT_EQ((std::tuple{page->FindControl(1, 0)->isEnabled(), store.GetValue(24), page->FindControl(24, 0)->GetValue(),
                          page->ArmedTick(SequenceTimer::Demo), page->Sequence()->DemoRunning()}),
              (std::tuple{true, 0u, 0u, std::uintptr_t{0}, false}));
    EXPECT_EQ((std::tuple{page->FindControl(5, 0)->GetValue(), page->FindControl(3, 0)->GetValue()}),
              (std::tuple{userWords[3], userWords[2]}));  // the user's own values shown again
}

TEST(DcPage, TheSequenceWindowRunsEachChannelsPhasesAsItsEditorsSetThem) {
    DcRig r;
    CDeviceDialog_DC* page = OpenQuiet(r, 0x200, nullptr);
    ASSERT_NE(page, nullptr);
    pages::dc::COptionDlg_DCSequence* window = page->SequenceWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isShown());
    guitest::userClick(*page->FindControl(21, 0));  // "Sequence Test"
    r.Settle();
    ASSERT_TRUE(window->isShown());

    // Channel 1, through the editors: phase 1 forward/standby at duty 16 (a click right of
    // the slider's thumb pages),
    // then phase 2 reverse/standby at 0 with 10 s.
    namespace seqid = pages::dc::seqid;
    auto* one = window->Editor(0, 0);
    auto* two = window->Editor(0, 1);
    ASSERT_TRUE(one && two);
    guitest::userClick(*one->item(seqid::kPhaseCheck));
    auto* duty = one->itemAs<gui::Trackbar>(seqid::kPhaseDuty);
    const QPoint rightOfThumb(duty->thumbRect().right() + 40, duty->thumbRect().center().y());
    guitest::userPress(*duty, rightOfThumb);
    guitest::userRelease(*duty, rightOfThumb);
    EXPECT_EQ(one->item(seqid::kPhasePercent)->text(), QString("6.25%"));
    guitest::userClick(*two->item(seqid::kPhaseCheck));
    guitest::focusForKeys(*two->item(seqid::kPhaseMode));
    guitest::userKey(*two->item(seqid::kPhaseMode), Qt::Key_Down);
    guitest::userKey(*two->item(seqid::kPhaseMode), Qt::Key_Down);
    guitest::focusForKeys(*two->item(seqid::kPhaseDuration));
    guitest::userKey(*two->item(seqid::kPhaseDuration), Qt::Key_Down);
    pages::dc::DcSequence& run = *page->Sequence();
    EXPECT_EQ((std::tuple{run.Phase(0, 0), run.Phase(0, 1), run.CheckedState(0), run.Enabled(0)}),
              (std::tuple{0x08010040u, 0x0A000041u, 2, true}));
    EXPECT_EQ(window->itemAs<gui::CheckButton>(seqid::kAll1)->check(), gui::CheckButton::Indeterminate);
    SaveScreenshots(*page, "dc_page_with_sequence");
    QDir().mkpath(TAMSIRO_SCREENSHOT_DIR);
    EXPECT_TRUE(window->widget()->grab().save(TAMSIRO_SCREENSHOT_DIR "/dc_sequence_window.png"));

    // "Start": phase 1 at 93.75 % (forward), channel 2 (nothing checked) off; 5 s armed.
    r.Take();
    guitest::userClick(*window->item(seqid::kStart));
    const Bytes phaseOne = F("38 02 00 00 ff ff 00 00 05 a6 0e bb 0d 00 00 00 00 00 00 00 54 05 d8");
    ExpectFrames(r.Take(), {phaseOne, phaseOne});
    ASSERT_NE(page->ArmedTick(SequenceTimer::Channel1), 0u);
    EXPECT_EQ(page->ArmedTick(SequenceTimer::Channel2), 0u);
    // Its tick: standby (1, 1) for the reversal, then phase 2 reverse at 0 %.
    page->send(gui::msg::SequenceChannel1Tick, page->ArmedTick(SequenceTimer::Channel1), 0);
    ExpectFrames(r.Take(), {F("38 02 00 00 ff ff 00 00 05 a6 0e 00 00 00 00 00 00 00 00 00 55 05 11"),
                            F("38 02 00 00 ff ff 00 00 05 a6 0e 00 00 00 00 00 00 00 00 00 51 05 0d")});
    // "Stop": channel 1, at phase 2 after phase 1, pauses in standby as a reversal does
    // (the same bytes as off here), then both channels off; no timer left.
    guitest::userClick(*window->item(seqid::kStop));
    ExpectFrames(r.Take(), {kBothOff, kBothOff, kBothOff});
    EXPECT_EQ(page->ArmedTick(SequenceTimer::Channel1), 0u);
    // A parameter set loaded while a run waits for its next phase ends the run.
    guitest::userClick(*window->item(seqid::kStart));
    ASSERT_NE(page->ArmedTick(SequenceTimer::Channel1), 0u);
    page->send(gui::msg::ReapplyDeviceData, 0, 0);
    r.Settle();
    EXPECT_EQ((std::tuple{page->ArmedTick(SequenceTimer::Channel1), run.Running(0)}), (std::tuple{std::uintptr_t{0}, false}));

    // "All Check/Uncheck" clicked from its third state unchecks all; the rollback resets
    // every phase (first duration, unchecked) and the boxes.
    guitest::userClick(*window->item(seqid::kAll1));
    EXPECT_EQ((std::tuple{window->itemAs<gui::CheckButton>(seqid::kAll1)->check(), run.CheckedState(0), run.Enabled(0)}),
              (std::tuple{0, 0, false}));
    guitest::userClick(*window->item(seqid::kLoop2));
    EXPECT_TRUE(run.Loop(1));
    page->send(gui::msg::Command, gui::makeWParam(pagemenu::kRollback, 0), 0);
    r.Settle();
    EXPECT_EQ((std::tuple{run.Phase(0, 1), window->itemAs<gui::CheckButton>(seqid::kLoop2)->check(),
                          two->itemAs<gui::ComboBox>(seqid::kPhaseDuration)->curSel()}),
              (std::tuple{pages::dc::kNewPhase, 0, 0}));

    // Closing the page hides the window with it.
    page->send(gui::msg::Close);
    EXPECT_FALSE(window->isShown());
}

TEST(DcPage, WhatEndsARunLeavesTheChannelsOffOnTheBoardAndOnThePage) {
    DcRig r;
    CDeviceDialog_DC* page = OpenQuiet(r, 0x200, nullptr);
    ASSERT_NE(page, nullptr);
    IDataContainer& store = r.rig.data;
    dc::DcSequence& run = *page->Sequence();
    // The page, its channel words and both start switches.
    const auto shows = [&] {
        return std::tuple{store.GetValue(4), page->FindControl(4, 0)->text(), dc::IsOn(page->ChannelWord(0)),
                          store.GetValue(8), page->FindControl(8, 0)->text(), dc::IsOn(page->ChannelWord(1))};
    };
    const auto bothStopped = std::tuple{0u, QString("Start"), false, 0u, QString("Start"), false};
    const Bytes oneFull = F("38 02 00 00 ff ff 00 00 05 a6 0e a6 0e 00 00 00 00 00 00 00 54 05 c4");

    // Channel 1 started on the page, then a sequence of one phase (forward at 100 %, 5 s)
    // that runs once on it.
    Change(*page, 4, 0, 1);
    r.Take();
    run.SetPhase(0, 0, dc::WithOn(dc::kNewPhase, true));
    run.SetEnabled(0, true);
    run.Start();
    ExpectFrames(r.Take(), {oneFull, oneFull});
    // Its end switches the channel off on the board, and the page says so: a duty change
    // that follows keeps it off.
    page->send(gui::msg::SequenceChannel1Tick, page->ArmedTick(SequenceTimer::Channel1), 0);
    ExpectFrames(r.Take(), {kBothOff});
    EXPECT_EQ(shows(), bothStopped);
    Change(*page, 3, 0, 64);
    ExpectFrames(r.Take(), {kBothOff});

    // A parameter set loaded with both channels started: off on the board, and off on the
    // page, so a change that follows does not start them again.
    Change(*page, 4, 0, 1);
    Change(*page, 8, 0, 1);
    r.Take();
    page->send(gui::msg::ReapplyDeviceData, 0, 0);
    const std::vector<Bytes> restore = r.Take();
    EXPECT_NE(std::find(restore.begin(), restore.end(), kRestoreOff), restore.end());
    EXPECT_EQ(shows(), bothStopped);
    Change(*page, 3, 0, 128);
    ExpectFrames(r.Take(), {kBothOff});

    // Closing the page while both channels' sequences wait for their next phase: the runs
    // halted, their timers stopped, the off records sent in one frame.
    run.SetPhase(1, 0, dc::WithOn(dc::kNewPhase, true));
    run.SetEnabled(1, true);
    run.Start();
    r.Take();
    ASSERT_TRUE(page->ArmedTick(SequenceTimer::Channel1) != 0 && page->ArmedTick(SequenceTimer::Channel2) != 0);
    page->send(gui::msg::Close);
    ExpectFrames(r.Take(), {kBothOff});
    EXPECT_EQ((std::tuple{page->ArmedTick(SequenceTimer::Channel1), page->ArmedTick(SequenceTimer::Channel2), run.Running(0),
                          run.Running(1)}),
              (std::tuple{std::uintptr_t{0}, std::uintptr_t{0}, false, false}));
    EXPECT_EQ(shows(), bothStopped);
}

TEST(DcPage, TheSequenceWindowBuildsItsEditorsWhenFirstShownAndTheyShowWhatTheRunnerHolds) {
    DcRig r;
    CDeviceDialog_DC* page = OpenQuiet(r, 0x200, nullptr);
    ASSERT_NE(page, nullptr);
    dc::COptionDlg_DCSequence* window = page->SequenceWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ((std::tuple{window->isShown(), window->Frame(0), window->Frame(1)}),
              (std::tuple{false, nullptr, nullptr}));
    dc::DcSequence& run = *page->Sequence();

    // Before the editors exist: a rollback resets the runner's phases as the editors'
    // reset would, and a parameter set loaded leaves them unbuilt.
    run.SetPhase(0, 1, dc::WithOn(dc::kNewPhase | 5u, true));
    page->send(gui::msg::Command, gui::makeWParam(pagemenu::kRollback, 0), 0);
    EXPECT_EQ((std::tuple{run.Phase(0, 1), run.CheckedState(0)}), (std::tuple{dc::kNewPhase, 0}));
    // Channel 2's phase 3: reverse/brake, duty 128, the list's 20 s; channel 2 looping.
    const std::uint32_t phase = dc::WithDuty(dc::WithMode(dc::WithOn(dc::kNewPhase | 3u, true), 3), 128);
    run.SetPhase(1, 2, phase);
    run.SetLoop(1, true);
    page->send(gui::msg::ReapplyDeviceData, 0, 0);
    r.Settle();
    r.Take();
    EXPECT_EQ(window->Frame(0), nullptr);

    // "Sequence Test": the editors built before the window shows, and nothing sent.
    guitest::userClick(*page->FindControl(21, 0));
    EXPECT_TRUE(r.Take().empty());
    ASSERT_TRUE(window->isShown());
    namespace seqid = dc::seqid;
    const auto shows = [](const dc::COptionDlg_DCSequenceSingle& e) {
        return std::tuple{e.isShown(), e.itemAs<gui::CheckButton>(seqid::kPhaseCheck)->check(),
                          e.itemAs<gui::ComboBox>(seqid::kPhaseMode)->curSel(),
                          e.itemAs<gui::Trackbar>(seqid::kPhaseDuty)->position(), e.item(seqid::kPhasePercent)->text(),
                          e.itemAs<gui::ComboBox>(seqid::kPhaseDuration)->curSel(), e.item(seqid::kPhaseMode)->isEnabled()};
    };
    for (int ch = 0; ch < dc::kChannelCount; ++ch) {
        for (int p = 0; p < dc::kPhaseCount; ++p) {
            SCOPED_TRACE(testing::Message() << "channel " << ch << " phase " << p);
            ASSERT_NE(window->Editor(ch, p), nullptr);
            const auto want = ch == 1 && p == 2 ? std::tuple{true, 1, 3, 128, QString("50.00%"), 3, true}
                                                : std::tuple{true, 0, 0, 0, QString("0.00%"), 0, false};
            EXPECT_EQ(shows(*window->Editor(ch, p)), want);
        }
    }
    const auto box = [&](int id) { return window->itemAs<gui::CheckButton>(id)->check(); };
    EXPECT_EQ((std::tuple{box(seqid::kLoop1), box(seqid::kLoop2), box(seqid::kAll1), box(seqid::kAll2)}),
              (std::tuple{0, 1, 0, int{gui::CheckButton::Indeterminate}}));
    // "All Check/Uncheck" clicked round: unchecked, checked (every phase), then into the
    // third state, which counts as unchecked.
    for (const int state : {0, 1, 0}) {
        guitest::userClick(*window->item(seqid::kAll2));
        EXPECT_EQ((std::tuple{box(seqid::kAll2), run.CheckedState(1), run.Enabled(1)}), (std::tuple{state, state, state != 0}));
    }

    // Shown again after "Close": the same editors, with what was edited in them.
    dc::COptionDlg_DCSequenceSingle* editor = window->Editor(0, 4);
    guitest::userClick(*editor->item(seqid::kPhaseCheck));
    guitest::userClick(*window->item(seqid::kClose));
    EXPECT_FALSE(window->isShown());
    guitest::userClick(*page->FindControl(21, 0));
    EXPECT_EQ((std::tuple{window->isShown(), window->Editor(0, 4), editor->itemAs<gui::CheckButton>(seqid::kPhaseCheck)->check(),
                          run.CheckedState(0)}),
              (std::tuple{true, editor, 1, 2}));
}

TEST(DcPage, AsAUserMeetsItInTheProgramsOwnLoop) {
    TempDir dir;
    SimLink sim;
    ASSERT_TRUE(sim.started);
    Dialogs dialogs;
    dialogs.answerBox(gui::id::No);
    bool worked = false;
    const auto lastChannelFrame = [&] {
        const auto frames = sim.Frames();
        for (auto it = frames.rbegin(); it != frames.rend(); ++it)
            if (it->size() > 2 && (*it)[0] == 0x38 && (*it)[1] == 0x02) return Hex(*it);
        return std::string();
    };
    const auto inside = [&](CQuillfenDlg& w) {
        auto* page = ChooseByKeys<CDeviceDialog_DC>(w, 2, ModelName(0x200));  // "DC", then the model
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(guitest::waitFor([&] { return page->isShown(); }, 5000));
        EXPECT_EQ(page->text(), QString::fromStdString(ModelName(0x200)) + " Controller (USB Connected)");

        // "Start" on channel 1: forward/standby at duty 0, that is 100 %, at 100 Hz.
        guitest::userClick(*page->FindControl(4, 0));
        EXPECT_TRUE(guitest::waitFor([&] { return lastChannelFrame() == Hex(F("38 02 00 00 ff ff 00 00 05 a6 0e a6 0e 00 00 00 00 00 00 00 54 05 c4")); }, 5000))
            << lastChannelFrame();
        EXPECT_EQ(page->FindControl(4, 0)->text(), QString("Stop"));

        // 150 % typed into the duty edit is held to the slider's 256 (100 %): forward at 0 %.
        CDerivedControl* edit = page->FindControl(3, 1);
        guitest::focusForKeys(*edit);
        edit->setText("15");
        guitest::userKey(*edit, Qt::Key_0, "0");
        guitest::userKey(*edit, Qt::Key_Return);
        EXPECT_EQ((std::tuple{page->FindControl(3, 0)->GetValue(), appServices().data->GetValue(3), edit->text()}),
                  (std::tuple{256u, 256u, QString("100.00")}));
        EXPECT_EQ(lastChannelFrame(), Hex(F("38 02 00 00 ff ff 00 00 05 a6 0e 00 00 00 00 00 00 00 00 00 54 05 10")));

        // The mode list walked down with the keys to "Reverse <-> Standby": 100 % reverse.
        CDerivedControl* modes = page->FindControl(1, 0);
        guitest::focusForKeys(*modes);
        guitest::userKey(*modes, Qt::Key_Down);
        guitest::userKey(*modes, Qt::Key_Down);
        EXPECT_EQ(appServices().data->GetValue(1), 2u);
        EXPECT_EQ(lastChannelFrame(), Hex(F("38 02 00 00 ff ff 00 00 05 a6 0e a6 0e 00 00 00 00 00 00 00 51 05 c1")));

        // The sequence editor, usable while the main window's loop runs: channel 2's
        // phase 1 checked, brake chosen with the keys, "Start": (2, 2) on channel 7, and
        // channel 1, with nothing checked, off (1, 1).
        guitest::userClick(*page->FindControl(21, 0));
        pages::dc::COptionDlg_DCSequence* window = page->SequenceWindow();
        ASSERT_TRUE(window != nullptr && guitest::waitFor([&] { return window->isShown(); }, 5000));
        namespace seqid = pages::dc::seqid;
        auto* phase = window->Editor(1, 0);
        guitest::userClick(*phase->item(seqid::kPhaseCheck));
        guitest::focusForKeys(*phase->item(seqid::kPhaseMode));
        for (int i = 0; i < 5; ++i) guitest::userKey(*phase->item(seqid::kPhaseMode), Qt::Key_Down);
        EXPECT_EQ(phase->itemAs<gui::ComboBox>(seqid::kPhaseMode)->curSel(), 5);
        guitest::userClick(*window->item(seqid::kStart));
        EXPECT_EQ(lastChannelFrame(), Hex(F("38 02 00 00 ff ff 00 00 05 a6 0e 00 00 00 00 00 00 00 00 00 a5 05 61")));
        EXPECT_NE(page->ArmedTick(SequenceTimer::Channel2), 0u);
        EXPECT_EQ(page->FindControl(4, 0)->text(), QString("Start"));  // as the board has channel 1
        // Esc closes the editor, which stops the channel waiting for its next phase.
        guitest::userKey(*phase->item(seqid::kPhaseMode), Qt::Key_Escape);
        EXPECT_TRUE(guitest::waitFor([&] { return !window->isShown(); }, 5000));
        EXPECT_EQ(page->ArmedTick(SequenceTimer::Channel2), 0u);
        worked = true;

        dialogs.answerBox(gui::id::No);
        w.send(gui::msg::Command, gui::makeWParam(mainwin::kExitApplication, gui::notify::ButtonClicked), 0);
    };
    CQuillfenApp app(Options(dir.path(), false, inside, sim.path()));
    EXPECT_EQ((std::tuple{app.InitInstance(), worked}), (std::tuple{0, true}));
    // The program closed: both channels off.
    EXPECT_EQ(lastChannelFrame(), Hex(kBothOff));
}

// A loaded set re-sends the board's set-up behind the page. "Start" pressed on the
// sequence window (a window the page owns) while that set-up waits finishes it first: the
// restore's channels-off frame goes before the run's, and the run goes on.
TEST(DcPage, AStartOnTheSequenceWindowWhileTheRestoreWaitsLandsAfterItAndTheRunGoesOn) {
    DcRig r;
    CDeviceDialog_DC* page = OpenQuiet(r, 0x200, nullptr);
    ASSERT_NE(page, nullptr);
    dc::COptionDlg_DCSequence* window = page->SequenceWindow();
    ASSERT_NE(window, nullptr);
    guitest::userClick(*page->FindControl(21, 0));  // "Sequence Test"
    r.Settle();
    namespace seqid = dc::seqid;
    guitest::userClick(*window->Editor(0, 0)->item(seqid::kPhaseCheck));
    r.Take();
    {
        HeldPauses held;
        const platform::ScopedClock scope(held);
        page->send(gui::msg::ReapplyDeviceData, 0, 0);
        // The defaults go out; the page's restore waits for the queue's notice still.
        held.Release();
        ASSERT_TRUE(r.rig.tasks.WaitIdle(5000));
        ASSERT_TRUE(page->BoardSetUpPending());
        guitest::userClick(*window->item(seqid::kStart));
    }
    const std::vector<Bytes> frames = r.Take();
    std::size_t restoreAt = frames.size(), lastChannelFrame = frames.size();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i] == kRestoreOff) restoreAt = i;
        if (frames[i].size() > 2 && frames[i][0] == 0x38 && frames[i][1] == 0x02) lastChannelFrame = i;
    }
    ASSERT_LT(restoreAt, frames.size()) << "no restore on the wire";
    EXPECT_GT(lastChannelFrame, restoreAt) << "the run's frame went before the restore's";
    EXPECT_EQ((std::tuple{page->Sequence()->Running(0), page->ArmedTick(SequenceTimer::Channel1) != 0}),
              (std::tuple{true, true}))
        << "channel 1 running, its phase timer armed";
    page->send(gui::msg::Close);
}
