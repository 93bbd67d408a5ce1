// The stepper page's runs on a manual clock and timer: the clock ramp, and the step lists
// (rows and demo) by mode, signal and unit.
#include <gtest/gtest.h>

#include "StepperRig.h"
#include "pages/stepper/MeasuredValues.h"
#include "parsers/StepperDemo.h"

namespace pages::testing {
namespace {

using stepper::StartMode;
namespace word = stepper::word;

// Clock frames sent on `channel` while the ramp ticks: ms from the first, pps, duty.
using Sent = std::tuple<std::uint64_t, double, double>;
std::vector<Sent> Ramp(StepperRig& rig, int channel) {
    std::vector<Sent> sent;
    for (const auto from = rig.clock.nowMs();; rig.run.OnRunTimer()) {
        for (const auto& c : rig.board.Take())
            if (c.kind == BoardCall::Timer && c.channel == channel && c.send)
                sent.emplace_back(rig.clock.nowMs() - from, c.record.frequency, c.record.value);
        if (!rig.timer.armed || rig.clock.nowMs() - from > 9000) return sent;
        rig.clock.advanceMs(*rig.timer.armed);
    }
}

TEST(ClockRamp, StartRampsToTopOnChannel7WithItsCompanionThenUpdatesThePinsThere) {
    StepperRig rig(0x101);
    rig.Set(word::kTopClock, 12);     // 100 to 2000 pps
    rig.Set(word::kStartTopTime, 2);  // over 1000 ms
    rig.Set(word::kStartStop, 1);
    rig.run.StartRun(StartMode::Start, 0);

    // Pins (24 staged), then channel 6 staged twice and 7 sent.
    std::vector<std::tuple<int, int, bool>> order;
    for (const auto& c : rig.board.calls) order.emplace_back(c.kind, c.channel, c.send);
    EXPECT_EQ(order, (std::vector<std::tuple<int, int, bool>>{
                         {0, 24, false}, {0, 12, true}, {0, 23, true}, {2, 6, false}, {2, 6, false}, {2, 7, true}}));
    EXPECT_EQ((std::tuple{rig.board.calls[4].record.frequency, rig.board.calls.back().record.percent}),
              (std::tuple{100.0, 1u}));

    const auto sent = Ramp(rig, 7);
    EXPECT_EQ(sent.front(), (Sent{0, 100, 50}));
    EXPECT_EQ(sent.back(), (Sent{1000, 2000, 50}));
    for (std::size_t i = 1; i + 1 < sent.size(); ++i)
        EXPECT_GE(std::get<1>(sent[i]) - std::get<1>(sent[i - 1]), 390.0) << i;
    EXPECT_FALSE(rig.timer.armed);  // no ticks at the top
    EXPECT_EQ(rig.run.CurrentFrequency(), 2000);
    const auto buttons = [&] {
        return std::pair{rig.run.ClockButtons().clockEnabled, rig.run.ClockButtons().updateEnabled};
    };
    EXPECT_EQ(buttons(), (std::pair{true, false}));

    // Excitation and direction changed at the top: "Update" sends them.
    rig.Set(word::kExcitation, 1), rig.Set(word::kDirection, 1);
    EXPECT_EQ(buttons(), (std::pair{false, true}));
    rig.board.Take();
    rig.run.StartRun(StartMode::Update, 0);
    const auto calls = rig.board.Take();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ((std::tuple{calls[4].channel, calls[4].record.outputA, calls[4].record.outputB}),
              (std::tuple{6, 2u, 1u}));
    EXPECT_EQ((std::tuple{calls[5].channel, calls[5].send, calls[5].record.outputA}), (std::tuple{7, true, 2u}));
    EXPECT_DOUBLE_EQ(calls[5].record.frequency, 2000.0);
    EXPECT_EQ(buttons(), (std::pair{true, false}));
}

TEST(ClockRamp, AStartAlwaysPutsTheClockOnTheWire) {
    StepperRig rig(0x100);
    rig.Set(word::kTopClock, 5);  // 600 pps at once: a "0sec" ramp
    // The second after the page forgot the run (a parameter load, a reconnect).
    for (int i = 0; i < 2; ++i) {
        rig.Set(word::kStartStop, 1);
        rig.run.StartRun(StartMode::Start, 1);
        const auto calls = rig.board.Take();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ((std::tuple{calls[0].channel, calls[0].send, calls[0].record.frequency, calls[0].record.value}),
                  (std::tuple{8, true, 600.0, 50.0}));
        EXPECT_FALSE(rig.timer.armed);
        rig.run.ResetToIdle();
        EXPECT_EQ(rig.Get(word::kStartStop), 0u);
    }
}

TEST(ClockRamp, StopMidRampRampsDownFromWhereTheClockIsThenSwitchesItOff) {
    StepperRig rig(0x100);
    rig.Set(word::kTopClock, 12);     // 100 to 2000 pps
    rig.Set(word::kStartTopTime, 2);  // over 1000 ms
    rig.run.StartRun(StartMode::Start, 1);
    rig.clock.advanceMs(500);
    rig.run.OnRunTimer();
    ASSERT_EQ(rig.run.CurrentFrequency(), 1050);  // halfway
    rig.board.Take();

    rig.run.StartRun(StartMode::Stop, 1);
    // Down from 1050 in jumps, the start clock held until T + 500 ms, 100 % duty, off.
    EXPECT_EQ(Ramp(rig, 8),
              (std::vector<Sent>{{450, 646, 50}, {750, 248, 50}, {1000, 100, 50}, {1500, 100, 100}, {1525, 100, 100}}));
    EXPECT_EQ((std::tuple{rig.run.ClockStopped(), rig.run.CurrentFrequency(), rig.timer.armed}),
              (std::tuple{true, 0, std::nullopt}));
}

std::uint32_t Row(bool inUse, bool full, int freqIndex, bool ccw) {
    return (inUse ? 1u << 31 : 0u) | (full ? 0u : 1u << 29) | static_cast<std::uint32_t>(freqIndex) << 24 |
           (ccw ? 1u << 23 : 0u);
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
    EXPECT_EQ((std::tuple{calls[0].channel, calls[0].send, calls[1].channel, calls[1].send}),
              (std::tuple{6, false, 7, true}));
    const auto phase = [](const BoardCall& c) {
        return std::tuple{c.record.frequency, c.record.value, c.record.extra, c.record.flagA};
    };
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
    EXPECT_EQ(rig.run.StepRunTime({0, 0, 0, kUnitSteps | 5}, 200), 1u);  // below 8 steps
    EXPECT_EQ(rig.run.StepRunTime({0, 0, 0, 0}, 200), 1u);
    EXPECT_EQ(rig.run.StepRunTime({0, 0, 0, kUnitSteps | 80}, 0), 1u);  // no frequency: no division
}

TEST(StepSequence, EachModeSignalAndUnitPlaysItsRowsAndTellsTheBoard) {
    using Out = std::tuple<int, int, int>;  // 'O' channel, value, byte
    struct Case {
        const char* what;
        std::uint32_t mode, signal, repeat, unit, row0;
        std::vector<int> rows;
        std::vector<Out> outputs;
    };
    const std::uint32_t full = Row(true, true, 9, false), ccw = Row(true, true, 9, true),
                        half = Row(true, false, 9, false);
    const Case cases[] = {
        {"Sequence, Auto: once", 1, 0, 0, 0, 0, {2, 5}, {{2, 0, 0}, {2, 0, 0}, {0, 0, 0}}},
        {"Sequence, Stop Button, repeat", 1, 1, 1, 0, 0, {2, 5, 2, 5, 2}, {}},
        {"Sequence, Stop Button: last holds", 1, 1, 0, 0, 0, {2, 5, 5, 5}, {}},
        {"Sequence in steps", 1, 0, 0, 1, half, {0, 2, 5}, {{3, 0, 7}, {0, 80, 0}, {0, 80, 0}, {0, 80, 0}, {0, 0, 0}}},
        {"Fixed, Auto", 0, 0, 0, 0, Row(false, true, 9, false), {0}, {{2, 0, 0}, {0, 0, 0}}},
        {"Fixed, Auto in steps: twice the count", 0, 0, 0, 1, ccw, {0}, {{3, 0, 1}, {0, 160, 0}, {0, 0, 0}}},
        {"Fixed, Stop Button in steps", 0, 1, 0, 1, full, {0, 0, 0}, {{3, 0, 5}, {0, 0, 0}, {2, 0, 0}, {2, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StepRun rig;
        rig.Set(word::kTestMode, c.mode), rig.Set(word::kStopSignal, c.signal), rig.Set(word::kRepeat, c.repeat);
        rig.Set(word::kTransferUnit, c.unit);
        if (c.unit) rig.Set(word::kTransferTime, 11);  // 80 steps: 200 ms at 200 Hz
        rig.CheckRowsTwoAndFive();
        rig.Set(word::kFirstRow, c.row0);
        // A run that ends takes one more tick to end.
        const bool ends = !c.outputs.empty() && c.outputs.back() == Out{0, 0, 0};
        EXPECT_EQ(rig.Play(static_cast<int>(c.rows.size()) + ends), c.rows);
        std::vector<Out> outputs;
        for (const auto& call : rig.board.calls)
            if (call.kind == BoardCall::Output) outputs.emplace_back(call.channel, call.level, call.extra);
        if (!c.outputs.empty()) {
            EXPECT_EQ(outputs, c.outputs);
        }
        if (!ends) {
            EXPECT_EQ(rig.timer.armed, c.unit ? 200u : 3000u);
            rig.run.StopRun(false);
        }
        // Stopped or ended: no tick to come, both phase channels at rest.
        const auto& rest = rig.board.calls.back();
        EXPECT_EQ((std::tuple{rest.channel, rest.record.outputA, rest.record.outputB}), (std::tuple{7, 1u, 1u}));
        EXPECT_EQ((std::tuple{rig.run.ActiveRow(), rig.timer.armed}), (std::tuple{-1, std::nullopt}));
    }
    StepRun none;  // no checked row: nothing starts, nothing is sent
    EXPECT_EQ((std::tuple{none.Play(3).empty(), none.board.calls.empty()}), (std::tuple{true, true}));
}

TEST(StepSequence, DemoShowsItsStepsInTheRowsWithoutTouchingTheRowWords) {
    StepRun rig;
    rig.Set(word::kFirstRow + 3, Row(true, false, 2, true));
    auto demo = stepper::LoadDemoSequence("/nonexistent-folder");
    ASSERT_EQ(demo.source, stepper::StepSource::BuiltInDemo);
    ASSERT_TRUE(rig.run.RunDemo(true, demo.source, demo.steps));
    // REF: 0.1 V * 256 / 3.3, truncated.
    EXPECT_EQ((std::tuple{rig.Get(word::kChipEnable), rig.Get(word::kRef), rig.timer.armed}),
              (std::tuple{1u, 7u, 3000u}));

    // Each attenuation code on pins 8 (staged) and 10, a block of 16 steps each, and REF
    // at 256 - 7; the rows show the next eight steps at every eighth.
    std::vector<std::tuple<int, int, bool>> pins;
    for (int step = 0; step < 64; ++step) {
        for (const auto& c : rig.board.Take())
            if (step % 16 == 0 && (c.kind == BoardCall::Pwm || c.channel == 8 || c.channel == 10))
                pins.emplace_back(c.channel, c.level, c.send);
        EXPECT_EQ(rig.view.rows[0], demo.steps[static_cast<std::size_t>(step / 8 * 8)].flags) << step;
        rig.clock.advanceMs(3000);
        rig.run.OnRunTimer();
    }
    EXPECT_EQ(pins, (std::vector<std::tuple<int, int, bool>>{{8, 0, false},
                                                             {10, 0, true},
                                                             {2, 249, true},
                                                             {8, 1, false},
                                                             {10, 0, true},
                                                             {2, 249, true},
                                                             {8, 0, false},
                                                             {10, 1, true},
                                                             {2, 249, true},
                                                             {8, 1, false},
                                                             {10, 1, true},
                                                             {2, 249, true}}));
    EXPECT_EQ((std::tuple{rig.run.ActiveRow(), rig.Get(word::kFirstRow + 3), rig.Get(word::kFirstRow)}),
              (std::tuple{0, Row(true, false, 2, true), 0u}));  // round again; the row words untouched

    rig.Set(word::kDemo, 1);
    ASSERT_TRUE(rig.run.RunDemo(false, demo.source, {}));
    EXPECT_EQ((std::tuple{rig.view.rows[3], rig.Get(word::kDemo), rig.run.DemoRunning(), rig.timer.armed}),
              (std::tuple{Row(true, false, 2, true), 0u, false, std::nullopt}));
}

TEST(MeasuredValues, OutputCurrentTruncatesAndNeverDividesByZero) {
    using stepper::OutputCurrent;
    EXPECT_EQ(OutputCurrent(0x100, {1242, 500, 2, 0}), 200u);  // 50 %
    EXPECT_EQ(OutputCurrent(0x105, {1242, 500, 0, 7}), 120u);  // 30 % by word 58
    EXPECT_EQ(OutputCurrent(0x101, {1242, 0, 0, 0}), 0u);      // no resistance
    EXPECT_EQ(OutputCurrent(0x103, {0, 0, 0, 0}), 0u);
    EXPECT_EQ(OutputCurrent(0x103, {0, 2000, 0, 0}), 400u);
    EXPECT_EQ(OutputCurrent(0x101, {1242, 500, 9, 0}), 0u);  // attenuation outside its table
    EXPECT_EQ(OutputCurrent(0x105, {1242, 500, 0, 8}), 0u);
    EXPECT_EQ(OutputCurrent(0x107, {1242, 500, 0, 0}), 0u);  // no current readout
}

}  // namespace
}  // namespace pages::testing
