// The stepper page's runs on a manual clock and timer: the clock ramp's frames, the stop
// and clock off, and the step lists' order, pins, phase records and ends.
#include <gtest/gtest.h>

#include "pages/stepper/DemoSequence.h"
#include "pages/stepper/MeasuredValues.h"
#include "pages/stepper/SerialFrame.h"
#include "StepperRig.h"

namespace pages::testing {
namespace {

using stepper::StartMode;
namespace word = stepper::word;

// Clock frames sent on `channel` (staged ones left out) while the ramp ticks every 25 ms.
std::vector<double> RunRamp(StepperRig& rig, int channel) {
    std::vector<double> sent;
    auto collect = [&] {
        for (const auto& c : rig.board.Take())
            if (c.kind == BoardCall::Timer && c.channel == channel && c.send) sent.push_back(c.record.frequency);
    };
    collect();
    for (int guard = 0; rig.timer.armed && guard < 2000; ++guard) {
        rig.clock.advanceMs(*rig.timer.armed);
        rig.run.OnRunTimer();
        collect();
    }
    return sent;
}

TEST(ClockRamp, CurveHoldsWithinItsBandAndTakesLongRampsInDouble) {
    StepperRig rig(0x101);
    EXPECT_DOUBLE_EQ(rig.run.RampCurve(100, 2000, 1000, 500), 1050.0);
    EXPECT_DOUBLE_EQ(rig.run.RampCurve(100, 2000, 1000, 510), 1050.0);  // within the band: held
    EXPECT_NEAR(rig.run.RampCurve(100, 12000, 8000, 4000), 6050.0, 1e-6);  // the cube of an 8 s ramp
}

TEST(ClockRamp, StartRampsToTopOnChannel7WithItsCompanionThenStops) {
    StepperRig rig(0x101);
    rig.Set(word::kStartClock, 0);    // 100 pps
    rig.Set(word::kTopClock, 12);     // 2000 pps
    rig.Set(word::kStartTopTime, 2);  // 1000 ms
    rig.Set(word::kStartStop, 1);
    rig.run.StartRun(StartMode::Start, 0);

    const auto first = rig.board.calls;
    ASSERT_GE(first.size(), 6u);
    // Pins first (port 24 staged, 12 and 23 sent), then channel 6 staged twice and 7 sent.
    std::vector<std::pair<int, bool>> order;
    for (std::size_t i = 0; i < 6; ++i) order.emplace_back(first[i].channel, first[i].send);
    EXPECT_EQ(order, (std::vector<std::pair<int, bool>>{{24, false}, {12, true}, {23, true}, {6, false}, {6, false}, {7, true}}));
    EXPECT_EQ(first[3].kind, BoardCall::Timer);
    EXPECT_EQ((std::tuple{first[5].record.frequency, first[5].record.value, first[5].record.percent}), (std::tuple{100.0, 50.0, 1u}));

    const auto sent = RunRamp(rig, 7);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_DOUBLE_EQ(sent.back(), 2000.0);
    for (std::size_t i = 1; i + 1 < sent.size(); ++i) EXPECT_GE(sent[i] - sent[i - 1], 390.0) << i;
    EXPECT_FALSE(rig.timer.armed);  // no ticks at the top
    EXPECT_EQ((std::tuple{rig.run.TopReached(), rig.run.CurrentFrequency()}), (std::tuple{true, 2000}));
    EXPECT_EQ(stepper::ClockInWord::Top(rig.run.SettingsWord()), 12u);
    const auto buttons = [&] { return std::pair{rig.run.ClockButtons().clockEnabled, rig.run.ClockButtons().updateEnabled}; };
    EXPECT_EQ(buttons(), (std::pair{true, false}));
    rig.Set(word::kTopClock, 13);
    EXPECT_EQ(buttons(), (std::pair{false, true}));
}

TEST(ClockRamp, ImmediateRampSendsTheTopOnceAndArmsNothing) {
    StepperRig rig(0x100);
    rig.Set(word::kStartClock, 0);
    rig.Set(word::kTopClock, 5);  // 600 pps
    rig.Set(word::kStartTopTime, 0);
    rig.run.StartRun(StartMode::Start, 1);  // no pins
    const auto calls = rig.board.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ((std::tuple{calls[0].channel, calls[0].send, calls[0].record.frequency}), (std::tuple{8, true, 600.0}));
    EXPECT_FALSE(rig.timer.armed);
}

TEST(ClockRamp, StopHoldsTheStartClockThenSwitchesTheClockOff) {
    StepperRig rig(0x100);
    rig.Set(word::kStartClock, 1);  // 200
    rig.Set(word::kTopClock, 7);    // 1000
    rig.Set(word::kStartTopTime, 1);  // 500 ms
    rig.run.StartRun(StartMode::Start, 1);
    RunRamp(rig, 8);
    ASSERT_TRUE(rig.run.TopReached());

    const auto stopAt = rig.clock.nowMs();
    rig.run.StartRun(StartMode::Stop, 1);
    std::vector<std::pair<std::uint64_t, BoardCall>> frames;
    for (int guard = 0; rig.timer.armed && guard < 200; ++guard) {
        rig.clock.advanceMs(*rig.timer.armed);
        rig.run.OnRunTimer();
        for (const auto& c : rig.board.Take()) frames.emplace_back(rig.clock.nowMs() - stopAt, c);
    }
    ASSERT_FALSE(frames.empty());
    const auto& off = frames.back().second;
    EXPECT_EQ((std::tuple{off.channel, off.record.frequency, off.record.value, off.send}), (std::tuple{8, 100.0, 100.0, true}));
    EXPECT_GE(frames.back().first, 1000u);  // T + 500 ms, then the next tick
    EXPECT_EQ((std::tuple{rig.run.ClockStopped(), rig.run.CurrentFrequency(), rig.timer.armed}), (std::tuple{true, 0, std::nullopt}));
    // Before the clock went off, the start clock was held.
    for (const auto& [t, c] : frames)
        if (t >= 500 && t < 1000) {
            EXPECT_DOUBLE_EQ(c.record.frequency, 200.0) << t;
        }
}

TEST(ClockRamp, StartAtTheClockOffFrequencyIsStillSent) {
    StepperRig rig(0x100);
    rig.run.ClockOff();  // leaves 100 Hz at 100 %
    rig.board.Take();
    rig.Set(word::kStartClock, 0), rig.Set(word::kTopClock, 0), rig.Set(word::kStartTopTime, 0);
    rig.run.StartRun(StartMode::Start, 1);
    const auto calls = rig.board.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ((std::pair{calls[0].send, calls[0].record.value}), (std::pair{true, 50.0}));
}

TEST(ClockRamp, ResetToIdleForgetsARunAndItsWords) {
    StepperRig rig(0x101);
    rig.Set(word::kStartStop, 1), rig.Set(word::kClock, 1), rig.Set(word::kStartTopTime, 2);
    rig.run.StartRun(StartMode::Start, 1);
    ASSERT_TRUE(rig.timer.armed);
    rig.run.ResetToIdle();
    EXPECT_FALSE(rig.timer.armed);
    EXPECT_EQ((std::tuple{rig.Get(word::kStartStop), rig.Get(word::kClock), rig.run.CurrentFrequency()}), (std::tuple{0u, 0u, 0}));
}

// ---- step runs ----

std::uint32_t Row(bool inUse, bool full, int freqIndex, bool ccw) {
    return (inUse ? 1u << 31 : 0u) | (full ? 0u : 1u << 29) | static_cast<std::uint32_t>(freqIndex) << 24 | (ccw ? 1u << 23 : 0u);
}

struct StepRun : StepperRig {
    StepRun() : StepperRig(0x101) {
        Set(word::kInputType, 1);
        Set(word::kTestMode, 1);
        Set(word::kTransferUnit, 0);
        Set(word::kTransferTime, 2);  // 3 s
        for (int r = 0; r < 8; ++r) Set(word::kFirstRow + r, 0);
    }
    void CheckRowsTwoAndFive() {
        Set(word::kFirstRow + 2, Row(true, true, 9, false));
        Set(word::kFirstRow + 5, Row(true, true, 4, false));
    }
    // Rows played, tick by tick, until the run ends or `ticks` ran out.
    std::vector<int> Play(int ticks) {
        std::vector<int> rows;
        run.BuildRowSteps();
        if (!run.StopRun(true)) return rows;
        rows.push_back(run.ActiveRow());
        for (int i = 1; i < ticks && timer.armed; ++i) {
            clock.advanceMs(*timer.armed);
            run.OnRunTimer();
            if (timer.armed) rows.push_back(run.ActiveRow());
        }
        return rows;
    }
};

TEST(StepSequence, PhaseRecordsFollowModeFrequencyAndDirection) {
    StepRun rig;
    stepper::StepRecord full{0, 0, 0, Row(true, true, 9, false)};  // 200 Hz
    EXPECT_EQ(rig.run.ApplyStepRecord(full), 200);
    auto calls = rig.board.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ((std::tuple{calls[0].channel, calls[0].send, calls[1].channel, calls[1].send}), (std::tuple{6, false, 7, true}));
    const auto phase = [](const BoardCall& c) { return std::tuple{c.record.frequency, c.record.value, c.record.extra, c.record.flagA}; };
    EXPECT_EQ(phase(calls[1]), (std::tuple{50.0, 50.0, 0u, 25u}));

    stepper::StepRecord half{0, 0, 0, Row(true, false, 9, true)};
    rig.run.ApplyStepRecord(half);
    calls = rig.board.Take();
    EXPECT_EQ(phase(calls[1]), (std::tuple{25.0, 38.0, 12u, 75u}));

    stepper::StepRecord unknown{0, 0, 0, Row(true, true, 31, false)};
    EXPECT_EQ(rig.run.ApplyStepRecord(unknown), 0);
    EXPECT_TRUE(rig.board.Take().empty());  // never a 0 Hz phase record
}

TEST(StepSequence, RunTimeIsAtLeastOneMillisecond) {
    StepRun rig;
    using namespace stepper::stepbits;
    EXPECT_EQ(rig.run.StepRunTime({0, 0, 0, kUnitSteps | 80}, 200), 200u);  // (80 / 8) * (4000 / 200)
    EXPECT_EQ(rig.run.StepRunTime({0, 0, 0, 3}, 200), 3000u);
    EXPECT_EQ(rig.run.StepRunTime({0, 0, 0, kUnitSteps | kCountIsIndex | 11}, 200), 200u);  // table: 80
    EXPECT_EQ(rig.run.StepRunTime({0, 0, 0, kUnitSteps | 5}, 200), 1u);  // below 8 steps
    EXPECT_EQ(rig.run.StepRunTime({0, 0, 0, 0}, 200), 1u);
    EXPECT_EQ(rig.run.StepRunTime({0, 0, 0, kUnitSteps | 80}, 0), 1u);  // no frequency: no division
}

TEST(StepSequence, EndsOfTheListBySignalAndRepeat) {
    {
        StepRun rig;  // "Auto": each checked row once, then the run ends
        rig.CheckRowsTwoAndFive();
        EXPECT_EQ(rig.Play(10), (std::vector<int>{2, 5}));
        EXPECT_EQ((std::tuple{rig.run.SequenceFinished(), rig.run.ActiveRow()}), (std::tuple{true, -1}));
        const auto calls = rig.board.Take();
        // The end: the board's step output off, then both phase channels at rest.
        ASSERT_GE(calls.size(), 3u);
        const auto& end = calls[calls.size() - 3];
        EXPECT_EQ((std::tuple{end.kind, end.channel, end.level}), (std::tuple{BoardCall::Output, 0, 0}));
        const auto& rest = calls.back();
        EXPECT_EQ((std::tuple{rest.channel, rest.record.outputA, rest.record.outputB}), (std::tuple{7, 1u, 1u}));
    }
    {
        StepRun rig;  // "Stop Button" with repeat: round again
        rig.Set(word::kStopSignal, 1), rig.Set(word::kRepeat, 1);
        rig.CheckRowsTwoAndFive();
        EXPECT_EQ(rig.Play(5), (std::vector<int>{2, 5, 2, 5, 2}));
    }
    {
        StepRun rig;  // "Stop Button" without repeat: the last row holds until "Stop"
        rig.Set(word::kStopSignal, 1);
        rig.CheckRowsTwoAndFive();
        EXPECT_EQ(rig.Play(4), (std::vector<int>{2, 5, 5, 5}));
        rig.run.StopRun(false);
        EXPECT_FALSE(rig.timer.armed);
    }
    {
        StepRun rig;  // "Fixed" with "Auto": row 0 once, for its duration
        rig.Set(word::kTestMode, 0);
        rig.Set(word::kFirstRow, Row(false, true, 9, false));
        EXPECT_EQ(rig.Play(5), (std::vector<int>{0}));
        EXPECT_EQ(rig.timer.armed, std::nullopt);
    }
    {
        StepRun rig;  // no checked row: nothing starts, nothing is sent
        EXPECT_EQ((std::tuple{rig.Play(3).empty(), rig.board.calls.empty(), rig.timer.armed}), (std::tuple{true, true, std::nullopt}));
    }
}

TEST(StepSequence, FirstStepInStepsSetsUpDirectionBeforeTheCount) {
    StepRun rig;
    rig.Set(word::kTestMode, 0);  // "Fixed" + "Auto": full step counts twice
    rig.Set(word::kTransferUnit, 1);
    rig.Set(word::kTransferTime, 11);  // 80 steps
    rig.Set(word::kFirstRow, Row(true, true, 9, true));
    rig.run.BuildRowSteps();
    ASSERT_TRUE(rig.run.StopRun(true));
    const auto calls = rig.board.Take();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ((std::tuple{calls[0].kind, calls[0].channel, calls[0].extra}), (std::tuple{BoardCall::Output, 3, 1}));  // CCW
    EXPECT_EQ((std::pair{calls[1].channel, calls[1].level}), (std::pair{0, 160}));
    EXPECT_EQ(rig.timer.armed, 200u);
}

TEST(StepSequence, DemoPlaysItsStepsInTheRowsAndGivesTheRowsBack) {
    StepRun rig;
    rig.Set(word::kFirstRow + 3, Row(true, false, 2, true));
    const std::uint32_t userRow = rig.Get(word::kFirstRow + 3);
    auto demo = stepper::LoadDemoSequence("/nonexistent-folder");
    ASSERT_EQ(demo.source, stepper::StepSource::BuiltInDemo);
    ASSERT_TRUE(rig.run.RunDemo(true, demo.source, demo.steps));

    // REF: 0.1 V * 256 / 3.3, truncated.
    EXPECT_EQ((std::tuple{rig.Get(word::kChipEnable), rig.Get(word::kRef), rig.Get(word::kAttenuate)}), (std::tuple{1u, 7u, 0u}));
    EXPECT_EQ((std::tuple{rig.Get(word::kFirstRow + 1), rig.timer.armed}), (std::tuple{demo.steps[1].flags, 3000u}));
    const auto calls = rig.board.Take();
    auto pwm = std::find_if(calls.begin(), calls.end(), [](const BoardCall& c) { return c.kind == BoardCall::Pwm; });
    ASSERT_NE(pwm, calls.end());
    EXPECT_EQ(pwm->level, 256 - 7);

    for (int i = 0; i < 8; ++i) {
        rig.clock.advanceMs(3000);
        rig.run.OnRunTimer();
    }
    EXPECT_EQ(rig.run.ActiveRow(), 8);
    EXPECT_EQ(rig.Get(word::kFirstRow), demo.steps[8].flags);  // the next eight shown
    EXPECT_EQ(rig.Get(word::kAttenuate), 0u);
    rig.clock.advanceMs(3000);
    rig.run.OnRunTimer();
    rig.clock.advanceMs(3000);
    rig.run.OnRunTimer();  // no refill between multiples of eight
    EXPECT_EQ(rig.Get(word::kFirstRow), demo.steps[8].flags);

    ASSERT_TRUE(rig.run.RunDemo(false, demo.source, {}));
    EXPECT_EQ((std::pair{rig.Get(word::kFirstRow + 3), rig.Get(word::kFirstRow + 1)}), (std::pair{userRow, 0u}));
    EXPECT_FALSE(rig.timer.armed || rig.run.DemoRunning());
}

TEST(SerialFrame, MasksWideValuesAndCodesTheOverCurrentSetting) {
    CDerivedDataContainer store;
    store.SelectContainer(0x105);
    // (Each field's place is in the frame the stepper page sends; here, what does not fit.)
    for (int w = 58; w <= 67; ++w) store.SetValue(w, 0);
    store.SetValue(59, 5), store.SetValue(65, 1);
    store.SetValue(64, 2);     // "Off": code 1
    store.SetValue(59, 0x1F);  // too wide: masked, the address stays
    store.SetValue(66, 1);     // has no bit
    const auto frame = stepper::BuildSerialSettingsFrame(store);
    EXPECT_EQ((std::tuple{frame[0], frame[3]}), (std::tuple{0xBC, 0x07}));
    store.SetValue(64, 7);  // no code
    EXPECT_EQ(stepper::BuildSerialSettingsFrame(store)[3], 0x03);
}

TEST(MeasuredValues, OutputCurrentTruncatesAndNeverDividesByZero) {
    using stepper::OutputCurrent;
    EXPECT_EQ(OutputCurrent(0x101, {1242, 500, 0, 0}), 400u);  // 1.0006 V / 5 / 0.5 ohm
    EXPECT_EQ(OutputCurrent(0x101, {1241, 500, 0, 0}), 399u);
    EXPECT_EQ(OutputCurrent(0x100, {1242, 500, 2, 0}), 200u);  // 50 %
    EXPECT_EQ(OutputCurrent(0x105, {1242, 500, 0, 7}), 120u);  // 30 % by word 58
    EXPECT_EQ(OutputCurrent(0x101, {1242, 0, 0, 0}), 0u);      // no resistance
    EXPECT_EQ(OutputCurrent(0x103, {0, 0, 0, 0}), 0u);
    EXPECT_EQ(OutputCurrent(0x103, {0, 2000, 0, 0}), 400u);
    EXPECT_EQ(OutputCurrent(0x101, {1242, 500, 9, 0}), 0u);    // attenuation outside its table
    EXPECT_EQ(OutputCurrent(0x105, {1242, 500, 0, 8}), 0u);
    EXPECT_EQ(OutputCurrent(0x107, {1242, 500, 0, 0}), 0u);    // no current readout
}

}  // namespace
}  // namespace pages::testing
