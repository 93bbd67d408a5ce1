// The dual-stepper runs on recorders of their motor-mode frames and timers, a store
// selected on device 0x106 and a manual clock: the step order of each test mode and stop
// signal, the durations and timers, the stops, and the motor control word.
#include <gtest/gtest.h>

#include <tuple>

#include "StepperRig.h"
#include "pages/dual/DualRun.h"

namespace {

using namespace pages::dual;
using pages::testing::ManualTimer;

struct ModeCall {
    int mode;
    std::uint32_t w1, w2;
    bool operator==(const ModeCall&) const = default;
};

class RecordingDualBoard final : public IDualBoard {
public:
    void SetMotorMode(int mode, std::uint32_t w1, std::uint32_t w2) override { calls.push_back({mode, w1, w2}); }
    std::vector<ModeCall> Take() { return std::exchange(calls, {}); }
    std::vector<ModeCall> calls;
};

struct DualRig {
    DualRig() {
        store.SelectContainer(0x106);
        for (int w = 0; w < 128; ++w) store.SetValue(w, 0);
    }
    void Set(int w, std::uint32_t v) { store.SetValue(w, v); }
    // Row r of motor m: checked, excitation, frequency index, direction.
    void SetRow(int m, int r, std::uint32_t check, std::uint32_t mode, std::uint32_t f, std::uint32_t dir) {
        const int k = word::Row(m, r);
        Set(k, check), Set(k + 1, mode), Set(k + 2, f), Set(k + 3, dir);
    }
    // The optional of each timer: motor 1, motor 2, both.
    std::tuple<std::optional<std::uint32_t>, std::optional<std::uint32_t>, std::optional<std::uint32_t>> Timers() const {
        return {t1.armed, t2.armed, both.armed};
    }

    platform::ManualClock clock;
    platform::ScopedClock scoped{clock};
    CDerivedDataContainer store;
    RecordingDualBoard board;
    ManualTimer t1, t2, both;
    DualRun run{store, board, t1, t2, both};
};

using Timers = std::tuple<std::optional<std::uint32_t>, std::optional<std::uint32_t>, std::optional<std::uint32_t>>;
constexpr std::uint32_t kWordBase = 2u << 14;  // bits 14-15 always 2

}  // namespace

TEST(DualRun, ControlWordFieldsLandOnTheirBitsAndUnknownFieldsChangeNothing) {
    EXPECT_EQ(control::SetField(0, control::kExcitation, 7), 0x300u);
    EXPECT_EQ(control::SetField(0xFFFFFFFFu, control::kRun, 0), 0xFFFFFBFFu);
    EXPECT_EQ(control::SetField(0, control::kDirection, 1), 0x800u);
    EXPECT_EQ(control::SetField(0, control::kChipEnable, 3), 0x1000u);
    EXPECT_EQ(control::SetField(0, control::kMotorSelect, 1), 0x2000u);
    EXPECT_EQ(control::SetField(0, control::kConstant, 6), 0x8000u);
    EXPECT_EQ(control::SetField(0, control::kFrequency, 9), 1u);
    for (int field : {1, 6, 8, 9, 11, -1}) EXPECT_EQ(control::SetField(0x1234, field, 3), 0x1234u) << field;
}

TEST(DualRun, FixedAutoStopPlaysRowZeroOnceLessTheWaitThenStopsWithTheRunBitOff) {
    DualRig r;
    // Built but not started: no step is current.
    r.run.BuildSequence(0);
    EXPECT_EQ((std::tuple{r.run.CurrentRow(0), r.run.StepDuration(0), r.run.Steps(0).size()}),
              (std::tuple{-1, std::int64_t{-1}, std::size_t{8}}));
    r.Set(word::kChipEnable, 1);
    r.Set(word::kTransferTime, 4);  // "5 sec"
    r.SetRow(0, 0, 0, 2, 3, 1);
    r.SetRow(0, 1, 1, 1, 1, 0);  // ignored in "Fixed"
    r.run.SetChipEnable(1);
    ASSERT_TRUE(r.run.StartStop(word::kStart1));
    const std::uint32_t w1 = kWordBase | 1u << 12 | 1u << 11 | 1u << 10 | 2u << 8 | 4u;
    const std::uint32_t w2 = 1u << 12;  // motor 2 not stepped yet: only its chip enable
    EXPECT_EQ(r.board.Take(), (std::vector<ModeCall>{{4, w1, w2}, {1, w1, w2}}));
    EXPECT_EQ(r.clock.totalSleptMs(), 15u);
    EXPECT_EQ(r.Timers(), (Timers{4985u, std::nullopt, std::nullopt}));
    EXPECT_TRUE(r.run.Running(0));

    r.run.OnMotorTimer(1);
    const std::uint32_t off = w1 & ~(1u << 10);
    EXPECT_EQ(r.board.Take(), (std::vector<ModeCall>{{4, off, w2}, {1, off, w2}}));
    EXPECT_EQ(r.Timers(), (Timers{}));
    EXPECT_EQ((std::tuple{r.run.Running(0), r.run.CurrentRow(0), r.run.StepDuration(0)}), (std::tuple{false, -1, std::int64_t{-1}}));
    // A tick of no timer (mask 0 or above 3) does nothing at all.
    r.run.OnMotorTimer(0);
    r.run.OnMotorTimer(4);
    EXPECT_TRUE(r.board.calls.empty());
    // A tick after the end reads nothing past the list and starts nothing.
    r.run.OnMotorTimer(1);
    EXPECT_EQ(r.board.Take(), (std::vector<ModeCall>{{4, off, w2}, {1, off, w2}}));
    EXPECT_EQ(r.Timers(), (Timers{}));
}

TEST(DualRun, SequencePlaysTheCheckedRowsInOrderAndTheStopSignalDecidesWhatFollows) {
    struct Case {
        const char* what;
        std::uint32_t stop, repeat;
        std::vector<int> rows;  // the current row after the start and each tick; -1 none
        bool timerAtEnd;
    };
    const Case cases[] = {
        {"auto stop", kAutoStop, 0, {0, 2, -1}, false},
        {"stop button, repeat on", kStopButton, 1, {0, 2, 0, 2, 0}, true},
        {"stop button, repeat off", kStopButton, 0, {0, 2, 2, 2}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DualRig r;
        r.Set(word::Of(1, word::kTestMode), kSequence);
        r.Set(word::Of(1, word::kStopSignal), c.stop);
        r.Set(word::Of(1, word::kRepeat), c.repeat);
        r.Set(word::Of(1, word::kTransferTime), 1);  // "2 sec"
        r.SetRow(1, 0, 1, 0, 0, 0);
        r.SetRow(1, 2, 1, 3, 6, 1);
        r.run.StartStop(word::kStart2);
        std::vector<int> rows = {r.run.CurrentRow(1)};
        for (std::size_t i = 1; i < c.rows.size(); ++i) {
            r.run.OnMotorTimer(2);
            rows.push_back(r.run.CurrentRow(1));
        }
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(r.t2.armed.has_value(), c.timerAtEnd);
        // Motor 2's frames name mode 2, its word the motor select bit; row 2's settings.
        const auto calls = r.board.Take();
        ASSERT_GE(calls.size(), 4u);
        EXPECT_EQ(calls[3].mode, 2);
        EXPECT_EQ(calls[3].w2 & 0x3BFFu, (1u << 13 | 1u << 11 | 3u << 8 | 7u));
        EXPECT_EQ(r.run.Running(1), c.stop == kStopButton);
    }
    // "Fixed" with "Stop Button" holds row 0 without a timer until Stop.
    DualRig r;
    r.Set(word::kStopSignal, kStopButton);
    r.run.StartStop(word::kStart1);
    EXPECT_EQ(r.t1.armed, 985u);
    r.run.OnMotorTimer(1);
    EXPECT_EQ((std::tuple{r.run.CurrentRow(0), r.run.Running(0), r.t1.armed.has_value()}), (std::tuple{0, true, false}));
    r.run.StartStop(word::kStop1);
    EXPECT_FALSE(control::Runs(r.run.Word(0)));
    EXPECT_EQ((std::tuple{r.run.Running(0), r.t1.armed.has_value()}), (std::tuple{false, false}));
}

TEST(DualRun, SameTimeRunsOnOneTimerWhileTheStepsAreEqualElseOnEachMotorsOwn) {
    DualRig r;
    r.run.StartStop(word::kStartBoth);  // both "Fixed", "1 sec"
    EXPECT_EQ(r.Timers(), (Timers{std::nullopt, std::nullopt, 1000u}));
    EXPECT_EQ(r.board.Take().back().mode, 3);
    EXPECT_EQ((std::tuple{r.run.SingleStart(0), r.run.SingleStart(1)}), (std::tuple{false, false}));
    r.run.OnMotorTimer(3);  // Auto Stop: both end
    EXPECT_EQ(r.Timers(), (Timers{}));
    EXPECT_FALSE(r.run.AnyRunning());

    r.Set(word::Of(1, word::kTransferTime), 2);  // motor 2 "3 sec"
    r.run.StartStop(word::kStartBoth);
    EXPECT_EQ(r.Timers(), (Timers{1000u, 3000u, std::nullopt}));
    // Motor 1 stopped on its own: a later tick of the both-motor timer moves motor 2 only.
    r.run.StartStop(word::kStop1);
    r.board.Take();
    r.run.OnMotorTimer(3);
    EXPECT_EQ(r.board.Take().back().mode, 2);

    // "Stop Same Time" leaves no timer ticking, whichever was armed.
    r.run.StartStop(word::kStartBoth);
    r.run.StartStop(word::kStopBoth);
    EXPECT_EQ(r.Timers(), (Timers{}));
    EXPECT_FALSE(control::Runs(r.run.Word(0)) || control::Runs(r.run.Word(1)));
}

TEST(DualRun, OtherTimeTakesTheSecondsWordAndAStepUnderOneMillisecondStopsTheMotor) {
    DualRig r;
    r.Set(word::kTransferTime, kOtherTime);
    r.Set(word::kSeconds1, 3);
    r.run.StartStop(word::kStart1);
    EXPECT_EQ(r.t1.armed, 2985u);
    r.Set(word::kSeconds1, 0);
    r.run.StartStop(word::kStart1);
    EXPECT_EQ((std::tuple{r.run.Running(0), r.t1.armed.has_value()}), (std::tuple{false, false}));
    // An index the time list does not hold counts as itself.
    DualRig s;
    s.Set(word::kTransferTime, 30);
    s.run.StartStop(word::kStart1);
    EXPECT_EQ(s.run.StepDuration(0), 30000);
    // Halt ends both at once and says so with the run bits off.
    s.board.Take();
    s.run.Halt();
    const auto calls = s.board.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ((std::tuple{calls[0].mode, calls[1].mode, control::Runs(calls[1].w1), s.run.AnyRunning()}),
              (std::tuple{4, 3, false, false}));
    EXPECT_EQ(s.Timers(), (Timers{}));
}
