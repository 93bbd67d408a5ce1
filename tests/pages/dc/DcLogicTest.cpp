// The DC family's engine parts without a window: channel words and their records, the
// current readout, the demo file reader and the sequence runner on a manual clock.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "../StepperRig.h"
#include "pages/dc/DcChannel.h"
#include "pages/dc/DcLayout.h"
#include "pages/dc/DcSequence.h"
#include "parsers/DcDemo.h"
#include "platform/core/Clock.h"

using namespace pages::dc;
using pages::testing::BoardCall;
using pages::testing::RecordingBoard;

namespace {

// A record as (outputs, percent duty, Hz) for one comparison.
std::tuple<std::uint32_t, std::uint32_t, double, double> Shape(const PwmChannelRecord& r) {
    return {r.outputA, r.outputB, r.value, r.frequency};
}
double Percent(std::uint32_t duty) { return duty * 100.0 / 256.0; }

}  // namespace

TEST(DcChannel, ModeChangesPauseOnlyBetweenDirectionsAndEachModeGivesItsOutputsAndDuty) {
    // Forward to reverse at 100 Hz: held forward at 100 %, 10 ms, then reverse at the duty.
    std::uint32_t w = WithDuty(WithOn(0, true), 64);
    EXPECT_TRUE(SetChannelMode(w, kReverseStandby));
    ChannelApplication a = ApplyChannel(w, 100);
    EXPECT_EQ(Shape(a.record), Shape(MakeRecord(kForwardStandby, 100, 256)));
    EXPECT_EQ((std::tuple{a.pauseMs, a.record.outputA, a.record.outputB, a.record.value, a.record.percent}),
              (std::tuple{10u, 0u, 1u, 100.0, 1u}));
    a = ApplyChannel(w, 100);
    EXPECT_EQ((std::tuple{a.pauseMs, a.record.outputA, a.record.outputB, a.record.value}),
              (std::tuple{0u, 1u, 0u, Percent(64)}));
    // Back again at 200 Hz and above: 5 ms, held with the reverse template at 0 %.
    EXPECT_TRUE(SetChannelMode(w, kForwardBrake));
    a = ApplyChannel(w, 1000);
    EXPECT_EQ((std::tuple{a.pauseMs, a.record.outputA, a.record.outputB, a.record.value}),
              (std::tuple{5u, 1u, 0u, 0.0}));
    EXPECT_EQ(DirectionPauseMs(200), 5u);
    // Same direction, or to and from standby and brake: no pause.
    for (auto [from, to] : {std::pair{0u, 1u}, {1u, 4u}, {4u, 3u}, {2u, 3u}}) {
        std::uint32_t v = WithMode(WithOn(0, true), from);
        EXPECT_FALSE(SetChannelMode(v, to)) << from << "->" << to;
        EXPECT_EQ(ApplyChannel(v, 100).pauseMs, 0u) << from << "->" << to;
        EXPECT_EQ(ModeOf(v), to);
        EXPECT_EQ(PreviousModeOf(v), from);
    }
    // Duty 256: 0 % forward, 100 % reverse; standby and brake send 0 %.
    std::uint32_t full = WithDuty(WithOn(0, true), 256);
    EXPECT_EQ(ApplyChannel(full, 100).record.value, 0.0);
    full = WithMode(full, kReverseBrake);
    EXPECT_EQ((std::tuple{ApplyChannel(full, 100).record.value, ApplyChannel(full, 100).record.outputB}),
              (std::tuple{100.0, 2u}));
    for (std::uint32_t m : {4u, 5u}) EXPECT_EQ(ApplyChannel(full = WithMode(full, m), 100).record.value, 0.0) << m;
    // Off: the off record at 0 % whatever the mode and duty.
    std::uint32_t off = WithDuty(WithMode(0, kForwardBrake), 10);
    EXPECT_EQ(Shape(ApplyChannel(off, 500).record), Shape(MakeRecord(kOff, 500, 0)));
    EXPECT_EQ((std::tuple{ModeTemplate(kOff).outputA, ModeTemplate(kOff).outputB}), (std::tuple{1u, 1u}));
    // A mode past the table runs as off, and a duty past 256 is held.
    EXPECT_EQ(Shape(ModeTemplate(kUnknown)), Shape(ModeTemplate(kOff)));
    EXPECT_EQ(DutyOf(WithDuty(0, 900)), 256u);
}

TEST(DcChannel, FrequencyTableAndOutputCurrent) {
    EXPECT_EQ((std::tuple{FrequencyAt(0), FrequencyAt(9), FrequencyAt(10), FrequencyAt(27), FrequencyAt(500)}),
              (std::tuple{100u, 1000u, 1500u, 10000u, 10000u}));
    EXPECT_EQ((std::tuple{NearestFrequencyIndex(100), NearestFrequencyIndex(1200), NearestFrequencyIndex(1300),
                          NearestFrequencyIndex(0), NearestFrequencyIndex(99999)}),
              (std::tuple{0u, 9u, 10u, 0u, 27u}));
    // 0x202 ignores ATT and REF: 0.2 / 100 * 4000 A.
    EXPECT_DOUBLE_EQ(OutputCurrent(0x202, {3, 0, 100}), 8000.0);
    // ATT 80 %, 1.65 V, 470 mOhm.
    EXPECT_EQ(static_cast<int>(OutputCurrent(0x200, {1, 2048, 470})), 561);
    EXPECT_EQ(OutputCurrent(0x200, {1, 2048, 0}), 0.0);
    EXPECT_EQ(OutputCurrent(0x200, {1, 2048, -5}), 0.0);
    EXPECT_EQ(OutputCurrent(0x200, {9, 2048, 470}), 0.0);  // an ATT code the chip does not have
    EXPECT_EQ(OutputCurrent(0x204, {0, 2048, 470}), 0.0);
}

TEST(DcDemo, LinesGiveRowsWithTheirDefaultsHeldValuesAndOneMessagePerRefusal) {
    // The built-in line: on, 0.1 V, 100 Hz, 100 %, both standby at 0 %, 1 s.
    const DemoText builtIn = ParseDemoSequence(BuiltInDemoText());
    ASSERT_EQ(builtIn.rows.size(), 1u);
    const DemoRow& r = builtIn.rows[0];
    EXPECT_EQ((std::tuple{r.enable, r.att, r.frequency, r.phase1, r.phase2}),
              (std::tuple{std::uint8_t{1}, std::uint8_t{0}, 100u, 0x0C000001u, 0x0C000001u}));
    EXPECT_DOUBLE_EQ(r.ref, 0.1 * 256 / 3.3);
    EXPECT_TRUE(builtIn.messages.empty());

    // Blanks trimmed and C-locale numbers whatever the user's locale; CR LF or LF.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const DemoText t = ParseDemoSequence(
        "header\n"
        " H , 1.65 , 2000 , 50 , REV<->BRK , 50 , FW<->STB , 12.5 , 3 , Sec\r\n"
        "L,,,,,,,,,\n"                        // every default
        "H,5,100,30,FOO,150,STB,-1,99,Sec\n"  // held values, a raw ATT, an unknown mode
        "H,abc,100,100,STB,0,STB,0,1,Sec\n"   // refused: REF is no number
        "H,1,0,100,STB,0,STB,0,1,Sec\n"       // refused: no frequency
        "\n"
        "H,1,100,20,STB,0,STB,0,1,Sec,L\n");  // an eleventh field is chip enable again
    std::setlocale(LC_NUMERIC, saved.c_str());
    ASSERT_EQ(t.rows.size(), 4u);
    EXPECT_DOUBLE_EQ(t.rows[0].ref, 1.65 * 256 / 3.3);
    EXPECT_EQ((std::tuple{t.rows[0].enable, t.rows[0].frequency, t.rows[0].att, t.rows[0].phase1, t.rows[0].phase2}),
              (std::tuple{std::uint8_t{1}, 2000u, std::uint8_t{2}, bits::kOn | 3u << 24 | 128u << 12 | 3u,
                          bits::kOn | 0u << 24 | 32u << 12 | 3u}));
    EXPECT_EQ((std::tuple{t.rows[1].enable, t.rows[1].ref, t.rows[1].frequency, t.rows[1].att, t.rows[1].phase1}),
              (std::tuple{std::uint8_t{0}, 0.0, 100u, std::uint8_t{0}, bits::kOn | kOff << 24}));
    EXPECT_EQ((std::tuple{t.rows[2].ref, t.rows[2].att, ModeOf(t.rows[2].phase1), DutyOf(t.rows[2].phase1),
                          DutyOf(t.rows[2].phase2), t.rows[2].phase1 & bits::kDurationMask}),
              (std::tuple{256.0, std::uint8_t{30}, 7u, 256u, 0u, 63u}));
    EXPECT_EQ((std::tuple{t.rows[3].enable, t.rows[3].att}), (std::tuple{std::uint8_t{0}, std::uint8_t{3}}));
    const std::vector<std::string> said = {"line 4: REF voltage is outside its range; 3.3 V used",
                                           "line 4: ON duty is outside its range; 100 % used",
                                           "line 4: ON duty is outside its range; 0 % used",
                                           "line 4: duration is outside its range; 63 s used",
                                           "line 5: REF voltage \"abc\" is not a number; line skipped",
                                           "line 6: PWM frequency \"0\" Hz is not usable; line skipped"};
    EXPECT_EQ(t.messages, said);
}

TEST(DcDemo, TheFileServesWhenItHoldsRowsElseTheBuiltInCopy) {
    const auto dir = std::filesystem::temp_directory_path() / ("dc_demo_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "sequence");
    DemoLoad load = LoadDemoSequence(dir);  // no file: silently the built-in copy
    EXPECT_EQ((std::tuple{load.fromFile, load.rows.size(), load.messages.size()}), (std::tuple{false, 1u, 0u}));
    { std::ofstream(dir / kDemoSequenceFile) << "header only\n"; }
    load = LoadDemoSequence(dir);
    EXPECT_EQ((std::tuple{load.fromFile, load.rows.size()}), (std::tuple{false, 1u}));
    ASSERT_EQ(load.messages.size(), 1u);
    EXPECT_EQ(load.messages[0], "sequence/Demomode_Sequence_dc.csv holds no row; the built-in sequence is played");
    { std::ofstream(dir / kDemoSequenceFile) << "h\nH,1,500,80,FW<->STB,10,REV<->STB,20,2,Sec\n"; }
    load = LoadDemoSequence(dir);
    EXPECT_EQ((std::tuple{load.fromFile, load.rows.size(), load.rows[0].frequency}), (std::tuple{true, 1u, 500u}));
    std::filesystem::remove_all(dir);
}

namespace {

struct Timers final : ISequenceTimers {
    void Arm(SequenceTimer t, std::uint32_t ms) override { armed[static_cast<std::size_t>(t)] = ms; }
    void Stop(SequenceTimer t) override { armed[static_cast<std::size_t>(t)].reset(); }
    std::array<std::optional<std::uint32_t>, 3> armed;
};

struct Host final : IDcSequenceHost {
    void ApplyDemoRow(const DemoRow* row) override {
        rows.push_back(row != nullptr ? std::optional<DemoRow>(*row) : std::nullopt);
    }
    std::uint32_t FrequencyIndex() const override { return index; }
    void ChannelStopped(int channel) override { stopped.push_back(channel); }
    std::vector<std::optional<DemoRow>> rows;
    std::vector<int> stopped;
    std::uint32_t index = 0;
};

// The runner over recorders, on a manual clock.
struct SequenceRig {
    SequenceRig() : clockScope(clock), sequence(board, timers, host) {}
    std::uint32_t Phase(std::uint32_t mode, std::uint32_t duty, std::uint32_t listIndex, bool checked = true) {
        return WithOn(WithDuty(WithMode(bits::kDurationIndex | listIndex, mode), duty), checked);
    }
    platform::ManualClock clock;
    platform::ScopedClock clockScope;
    RecordingBoard board;
    Timers timers;
    Host host;
    DcSequence sequence;
};

// A timer-channel call as (channel, send, outputs, duty %, Hz).
using Call = std::tuple<int, bool, std::uint32_t, std::uint32_t, double, double>;
Call Of(const BoardCall& c) {
    return {c.channel, c.send, c.record.outputA, c.record.outputB, c.record.value, c.record.frequency};
}
std::vector<Call> Calls(std::vector<BoardCall> calls) {
    std::vector<Call> out;
    for (const BoardCall& c : calls) out.push_back(Of(c));
    return out;
}

}  // namespace

TEST(DcSequence, EachChannelRunsItsCheckedPhasesOnItsTimerWithAPauseAtEachReversal) {
    SequenceRig r;
    r.host.index = 9;  // 1000 Hz
    // Channel 1: forward 25 % for 5 s, then reverse 50 % for 10 s; channel 2: standby then
    // brake (no reversal), 60 s from the list's last entry.
    r.sequence.SetPhase(0, 0, r.Phase(kForwardStandby, 64, 0));
    r.sequence.SetPhase(0, 2, r.Phase(kReverseStandby, 128, 1));
    r.sequence.SetPhase(1, 0, r.Phase(kStandby, 0, 11));
    r.sequence.SetPhase(1, 1, r.Phase(kBrake, 32, 30));
    r.sequence.SetEnabled(0, true);
    r.sequence.SetEnabled(1, true);
    r.sequence.Start();
    EXPECT_EQ(Calls(r.board.Take()), (std::vector<Call>{{6, true, 0, 1, Percent(192), 1000.0},
                                                        {7, true, 1, 1, 100.0, 1000.0}}));  // standby counts as forward
    EXPECT_EQ((std::tuple{r.timers.armed[0], r.timers.armed[1]}),
              (std::tuple{std::optional(5000u), std::optional(60000u)}));

    // Channel 1's tick: 200 ms of standby (1, 1), then phase 3 (the unchecked 2 skipped).
    const std::uint64_t t0 = r.clock.nowMs();
    r.sequence.OnChannelTick(0);
    EXPECT_EQ(r.clock.nowMs() - t0, 200u);
    EXPECT_EQ(Calls(r.board.Take()),
              (std::vector<Call>{{6, true, 1, 1, 0.0, 1000.0}, {6, true, 1, 0, Percent(128), 1000.0}}));
    EXPECT_EQ((std::tuple{r.timers.armed[0], r.sequence.Position(0)}), (std::tuple{std::optional(10000u), 2}));
    // Channel 2: standby to brake is no reversal; an index past the list is 60 s.
    r.sequence.OnChannelTick(1);
    EXPECT_EQ(Calls(r.board.Take()), (std::vector<Call>{{7, true, 2, 2, Percent(32), 1000.0}}));
    EXPECT_EQ(r.timers.armed[1], std::optional(60000u));

    // The natural end: no checked phase follows, no loop: the off record is sent.
    r.sequence.OnChannelTick(0);
    EXPECT_EQ(Calls(r.board.Take()), (std::vector<Call>{{6, true, 1, 1, 0.0, 1000.0}}));
    EXPECT_EQ((std::tuple{r.timers.armed[0], r.sequence.Position(0)}), (std::tuple{std::nullopt, -1}));
    EXPECT_FALSE(r.sequence.Running(0));
    EXPECT_EQ(r.host.stopped, std::vector<int>{0});  // the page hears it is off
    r.sequence.OnChannelTick(0);                     // a stale tick past the end: nothing more
    EXPECT_TRUE(r.board.calls.empty());

    // "Stop": both channels sent off at once.
    r.sequence.Stop();
    EXPECT_EQ(Calls(r.board.Take()), (std::vector<Call>{{6, true, 1, 1, 0.0, 1000.0}, {7, true, 1, 1, 0.0, 1000.0}}));
    EXPECT_EQ((std::tuple{r.timers.armed[0], r.timers.armed[1], r.sequence.Running(0)}),
              (std::tuple{std::nullopt, std::nullopt, false}));
    EXPECT_EQ(r.host.stopped, (std::vector<int>{0, 0, 1}));
}

TEST(DcSequence, LoopsWrapToPhaseOneAndZeroDurationsHold) {
    SequenceRig r;
    // Brake modes pause with brake outputs; the loop wraps to phase 1 even unchecked.
    r.sequence.SetPhase(0, 0, r.Phase(kForwardBrake, 0, 0, false));
    r.sequence.SetPhase(0, 1, r.Phase(kReverseBrake, 256, 0));
    r.sequence.SetLoop(0, true);
    r.sequence.SetEnabled(0, true);
    r.sequence.Start();
    EXPECT_EQ(Calls(r.board.Take()), (std::vector<Call>{{6, true, 0, 2, 100.0, 100.0}, {7, true, 1, 1, 0.0, 100.0}}));
    EXPECT_EQ(r.host.stopped, std::vector<int>{1});  // channel 2, not enabled, sent off
    r.sequence.OnChannelTick(0);                     // past phase 8: phase 1, staged as it is unchecked
    EXPECT_EQ(Calls(r.board.Take()),
              (std::vector<Call>{{6, true, 2, 2, 100.0, 100.0}, {6, false, 2, 0, 100.0, 100.0}}));
    EXPECT_EQ((std::tuple{r.sequence.Position(0), r.timers.armed[0]}), (std::tuple{0, std::optional(5000u)}));
    {
        // Every phase unchecked during the run, then "Stop": the loop wraps to the unchecked
        // phase 1, and its off record must still go to the board.
        SequenceRig u;
        u.sequence.SetPhase(0, 0, u.Phase(kForwardBrake, 64, 0));
        u.sequence.SetLoop(0, true);
        u.sequence.SetEnabled(0, true);
        u.sequence.Start();
        u.sequence.SetAllChecked(0, false);
        u.board.Take();
        u.sequence.Stop();
        EXPECT_EQ(Calls(u.board.Take()), (std::vector<Call>{{6, true, 1, 1, 0.0, 100.0}, {7, true, 1, 1, 0.0, 100.0}}));
    }
    // A phase of 0 s (a whole-second duration) holds: no timer, so nothing spins.
    r.sequence.SetPhase(0, 1, WithOn(WithMode(0, kStandby), true));
    r.sequence.OnChannelTick(0);
    EXPECT_EQ(r.sequence.Position(0), 1);
    EXPECT_EQ(r.timers.armed[0], std::nullopt);
    EXPECT_EQ(PhaseDurationMs(bits::kDurationIndex | 11), 60000u);
    EXPECT_EQ(PhaseDurationMs(3), 3000u);
    // The check state of a channel's phases: none, some, all.
    r.sequence.SetAllChecked(1, false);
    EXPECT_EQ(r.sequence.CheckedState(1), 0);
    r.sequence.SetPhase(1, 4, r.Phase(0, 0, 0));
    EXPECT_EQ(r.sequence.CheckedState(1), 2);
    r.sequence.SetAllChecked(1, true);
    EXPECT_EQ(r.sequence.CheckedState(1), 1);
    r.sequence.ResetPhases();
    EXPECT_EQ(r.sequence.Phase(1, 4), kNewPhase);
}

TEST(DcSequence, TheDemoStepsThroughItsRowsAndEndsWithThePagesOwnState) {
    SequenceRig r;
    r.sequence.RunDemo(true);  // no rows: nothing sent, no timer, no crash
    EXPECT_EQ((std::tuple{r.board.calls.size(), r.host.rows.size(), r.timers.armed[2]}),
              (std::tuple{0u, 0u, std::nullopt}));
    r.sequence.OnDemoTick();
    EXPECT_TRUE(r.board.calls.empty());
    r.sequence.RunDemo(false);
    r.host.rows.clear();

    DemoRow a, b;
    a.enable = b.enable = 1;
    a.frequency = 2000;
    b.frequency = 500;
    a.phase1 = WithOn(WithDuty(WithMode(2, kForwardStandby), 64), true);
    a.phase2 = WithOn(WithMode(2, kUnknown), true);  // an unknown keyword runs as off
    b.phase1 = WithOn(WithDuty(WithMode(3, kReverseStandby), 64), true);
    b.phase2 = WithOn(WithMode(3, kStandby), true);
    r.sequence.SetDemoRows({a, b});
    r.sequence.RunDemo(true);
    EXPECT_EQ(r.host.rows.size(), 1u);
    EXPECT_EQ(r.host.rows[0]->frequency, 2000u);
    EXPECT_EQ(Calls(r.board.Take()),
              (std::vector<Call>{{6, false, 0, 1, Percent(192), 2000.0}, {7, true, 1, 1, 0.0, 2000.0}}));
    EXPECT_EQ(r.timers.armed[2], std::optional(2000u));
    // Row b reverses channel 1: 200 ms standby at the row's frequency first.
    const std::uint64_t t0 = r.clock.nowMs();
    r.sequence.OnDemoTick();
    EXPECT_EQ(r.clock.nowMs() - t0, 200u);
    EXPECT_EQ(Calls(r.board.Take()),
              (std::vector<Call>{
                  {6, true, 1, 1, 0.0, 500.0}, {6, false, 1, 0, Percent(64), 500.0}, {7, true, 1, 1, 100.0, 500.0}}));
    EXPECT_EQ(r.timers.armed[2], std::optional(3000u));
    // The wrap to row a reverses again; then the end gives the page its own state back.
    r.sequence.OnDemoTick();
    EXPECT_EQ(r.board.Take().size(), 3u);  // ch2 from standby to the unknown mode: no pause
    EXPECT_EQ(r.sequence.CurrentDemoRow(), std::optional<std::size_t>(0));
    r.sequence.RunDemo(false);
    EXPECT_EQ((std::tuple{r.host.rows.size(), r.host.rows.back().has_value(), r.timers.armed[2]}),
              (std::tuple{4u, false, std::nullopt}));
    r.sequence.OnDemoTick();  // a tick on its way when the demo ended
    EXPECT_TRUE(r.board.calls.empty());
    r.sequence.ClearDemoRows();
    EXPECT_EQ(r.sequence.CurrentDemoRow(), std::nullopt);
    // A row of 0 s holds the demo on it.
    a.phase1 &= ~bits::kDurationMask;
    r.sequence.SetDemoRows({a});
    r.sequence.RunDemo(true);
    EXPECT_EQ(r.timers.armed[2], std::nullopt);
}

namespace {

// Timer-channel calls stamped with the manual clock's time, for how long a record holds.
class StampedBoard final : public pages::IPageBoard {
public:
    explicit StampedBoard(platform::ManualClock& clock) : clock_(clock) {}
    void WritePort(int, int, int, bool) override {}
    void SetPwm(int, double, int, int) override {}
    void SetTimerChannel(int channel, const PwmChannelRecord& r, bool send) override {
        calls.emplace_back(clock_.nowMs(), Of({BoardCall::Timer, channel, 0, 0, send, r}));
    }
    void SetOutputValue(int, std::uint16_t, std::uint8_t) override {}
    void SendSerialData(std::span<const std::uint8_t>) override {}
    std::vector<std::pair<std::uint64_t, Call>> calls;

private:
    platform::ManualClock& clock_;
};

}  // namespace

TEST(DcSequence, ADemoRowReversingBothChannelsPulsesAndSetsEachChannelInTurn) {
    platform::ManualClock clock;
    platform::ScopedClock scope(clock);
    StampedBoard board(clock);
    Timers timers;
    Host host;
    DcSequence sequence(board, timers, host);
    DemoRow a, b;
    a.enable = b.enable = 1;
    a.frequency = b.frequency = 1000;
    a.phase1 = WithOn(WithDuty(WithMode(1, kForwardStandby), 64), true);
    a.phase2 = WithOn(WithDuty(WithMode(1, kReverseBrake), 128), true);
    b.phase1 = WithOn(WithDuty(WithMode(1, kReverseStandby), 128), true);
    b.phase2 = WithOn(WithDuty(WithMode(1, kForwardBrake), 128), true);
    sequence.SetDemoRows({a, b});
    sequence.RunDemo(true);
    board.calls.clear();
    const std::uint64_t t0 = clock.nowMs();
    sequence.OnDemoTick();
    // Channel 1's standby pulse goes at once; its phase, staged 200 ms later, travels with
    // channel 2's brake pulse, so channel 1 is held 200 ms, not for both pauses.
    using Stamped = std::pair<std::uint64_t, Call>;
    std::vector<Stamped> got;
    for (const auto& [ms, call] : board.calls) got.emplace_back(ms - t0, call);
    EXPECT_EQ(got, (std::vector<Stamped>{{0, {6, true, 1, 1, 0.0, 1000.0}},
                                         {200, {6, false, 1, 0, Percent(128), 1000.0}},
                                         {200, {7, true, 2, 2, 100.0, 1000.0}},
                                         {400, {7, true, 2, 0, Percent(128), 1000.0}}}));
}

// The layout's entries carry the warning lamps' colours and the sliders' start at 0.
TEST(DcLayout, LampsTakeTheirColoursAndSlidersStartAtZero) {
    std::array<std::uint16_t, 128> profile{};
    profile[kind::kWarning1] = profile[kind::kDuty1] = 1;
    std::vector<std::tuple<int, std::uint32_t, std::uint32_t, std::optional<int>>> got;
    for (const pages::PlacedControl& c : LayOutDcPage(0x200, profile))
        if (c.index == 0) got.emplace_back(c.kind, c.onColour, c.offColour, c.sliderStart);
    const std::vector<std::tuple<int, std::uint32_t, std::uint32_t, std::optional<int>>> want = {
        {kind::kDuty1, 0u, 0u, 0}, {kind::kWarning1, 0x00FFFFu, 0xFFFFFFu, std::nullopt}};
    EXPECT_EQ(got, want);
}
