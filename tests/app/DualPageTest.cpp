// The dual-stepper page through the real main window against the board simulator in its
// long-frame variant (second controller 0x1216): opening, each kind of change, both
// motors' runs with their motor-mode pairs, and the page as a user meets it.
#include <gtest/gtest.h>

#include "PageRigSupport.h"
#include "pages/dual/DualPage.h"
#include "ui/Graph.h"

#include <fstream>
#include <iterator>
#include <mutex>

using namespace apptest;
namespace word = pages::dual::word;

namespace {

struct DualRig : PageRig<CDeviceDialog_StepperDual> {
    DualRig() { sim.sim.setSecondVersion(0x1216); }
};

CDeviceDialog_StepperDual* OpenQuiet(DualRig& r, std::vector<Bytes>* opening) {
    return r.OpenQuiet(0x106, opening, {word::kPolling1, word::kPolling2});
}

// The tick the page awaits from a run timer, delivered now as the timer would post it.
void Tick(CDeviceDialog_StepperDual& page, int mask, std::uintptr_t tick) {
    page.send(gui::msg::Motor1Tick + static_cast<std::uint32_t>(mask - 1), tick, 0);
}
std::uintptr_t Awaited(const CDeviceDialog_StepperDual& page, int mask) {
    const pages::TaggedRunTimer* t = page.Timer(mask);
    return t != nullptr ? t->ArmedTick() : 0;
}

bool Enabled(const CDeviceDialog_StepperDual& page, std::uint32_t kind) {
    const CDerivedControl* c = page.FindControl(kind, 0);
    return c != nullptr && c->isEnabled();
}

// The real clock, noting every sleep of the GUI thread's own (the timers' threads sleep 1 ms
// at a time on a clock that is not the system's).
class SleepNotingClock final : public platform::IClock {
public:
    std::uint64_t nowMs() override { return real_.nowMs(); }
    std::uint64_t nowUs() override { return real_.nowUs(); }
    void sleepMs(std::uint32_t ms) override {
        if (ms > 1) {
            std::lock_guard lock(mutex_);
            slept_.push_back(ms);
        }
        real_.sleepMs(ms);
    }
    std::vector<std::uint32_t> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(slept_, {});
    }

private:
    platform::SystemClock real_;
    std::mutex mutex_;
    std::vector<std::uint32_t> slept_;
};

// The speed graph's top, in pps.
std::int64_t GraphMaximum(const CDeviceDialog_StepperDual& page) {
    const CSubDialog_Graph* graph = page.GraphPanel();
    if (graph == nullptr || graph->GraphWindow() == nullptr || graph->GraphWindow()->Axis(1, false) == nullptr) return -1;
    return graph->GraphWindow()->Axis(1, false)->GetDecoder()->GetMaximum();
}

// The motor-mode frame: 'M', mode, A, B, C.
Bytes M(int mode, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return {'M', static_cast<std::uint8_t>(mode), a, b, c};
}

}  // namespace

TEST(DualPage, OpeningRestoresTheBoardInLongFramesAndEachKindOfChangeGivesItsFrames) {
    DualRig r;
    std::vector<Bytes> opening;
    CDeviceDialog_StepperDual* page = OpenQuiet(r, &opening);
    ASSERT_NE(page, nullptr);
    IDataContainer& store = r.rig.data;
    EXPECT_EQ(page->text(), QString::fromStdString(ModelName(0x106)) + " Controller (USB Connected)");
    SaveScreenshots(*page, "dual_page");
    ASSERT_NE(page->DigitalPanel(), nullptr);
    EXPECT_TRUE(page->DigitalPanel()->widget()->grab().save(TAMSIRO_SCREENSHOT_DIR "/dual_page_tachometer.png"));
    ASSERT_TRUE(page->GraphPanel() && page->GraphPanel()->GraphWindow());
    EXPECT_EQ(page->GraphPanel()->GraphWindow()->GetSeriesCount(), 2);

    // The page's own frames, after the main window's set-up (which ends with channel 8's
    // default in the long frame). Timer channels and ports 21-33 go in the 36-byte frames.
    const Bytes longPorts = F("38 03 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 ff 01 38 00 03 00 00 00 00 00 00 00 00 00 3c");
    const Bytes statusInterrupts = F("43 00 03 04 00 00 fc ff 00 00 00 50 04 03 00");
    const Bytes inputLevels = F("45 03 00 06 0e 00");
    std::vector<Bytes> want = {
        // VREF1/2 on channel 2 (staged) and VREF3/4 on channel 3 (sent) at 256 - 0.
        F("50 e0 f0 00 f0 08 c0 00 ff ff 00"),
        // Timer channels 6 and 7 staged, 8 sent: no frequency, both output fields 1.
        F("38 02 00 00 ff ff 00 00 00 00 00 00 00 00 00 00 00 00 00 00 55 ff 01 38 00 03 00 05 00 00 00 00 00 00 00 93"),
        // Ports 22-33 low (the last one sends), read back; chip enable 0 on port 14.
        longPorts, F("38 13"), F("43 00 03 04 00 00 ff ff 00 0e 00 00 00 00 00"), F("45 00 00 06 06 00"),
        F("45 00 00 06 06 00"),
        // Status inputs: ADC 0 and 1 with interrupt inputs 2 and 3 in one 'C'; ports 0, 1
        // and 18-20 inputs.
        F("43 00 03 04 00 00 ff ff 00 0e 00 50 04 03 00"), F("43 00 03 04 00 00 fc ff 00 0e 00 50 04 03 00"),
        F("45 03 00 06 06 00"), F("45 03 00 06 06 00"), statusInterrupts, inputLevels, inputLevels,
    };
    // Polling, restored from words 96 and 97 (both on by default) and switched on again
    // by the show: each motor's switch sets the status inputs up again.
    for (int time = 0; time < 4; ++time) {
        for (const Bytes& f : {statusInterrupts, statusInterrupts, inputLevels, inputLevels, statusInterrupts, inputLevels, inputLevels})
            want.push_back(f);
    }
    const Bytes mainSetupEnd = F("38 02 00 00 ff ff 00 00 05 a6 0e 00 00 00 00 00 00 00 00 00 55 ff 01 38 00 03 00 05 00 00 00 00 00 00 00 4c");
    const auto own = std::find(opening.rbegin(), opening.rend(), mainSetupEnd);
    ASSERT_NE(own, opening.rend());
    ExpectFrames({own.base(), opening.end()}, want);

    struct Step {
        const char* what;
        std::uint32_t kind, value;
        std::vector<Bytes> frames;
    };
    const Step steps[] = {
        // A check: chip enable on port 14 ('E' [2] bit 6).
        {"chip enable", word::kChipEnable, 1, {statusInterrupts, F("45 03 40 06 0e 00"), F("45 03 40 06 0e 00")}},
        // Sliders: VREF1/2 on channel 2 ('P' [8] = 256 - 100 - 1), VREF3/4 on channel 3.
        {"VREF1/2", 1, 100, {F("50 e0 f0 00 f0 08 c0 00 9b ff 00")}},
        {"VREF3/4", 9, 41, {F("50 e0 f0 00 f0 08 c0 00 9b d6 00")}},
        // Combos and row checks only store and enable.
        {"test mode", 12, pages::dual::kSequence, {}},
        {"row check off", word::Row(1, 0), 0, {}},
        {"row check", word::Row(1, 0), 1, {}},
        {"graph range", word::kGraphRange, 50, {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        Change(*page, step.kind, 0, step.value);
        ExpectFrames(r.Take(), step.frames);
        EXPECT_EQ(store.GetValue(static_cast<int>(step.kind)), step.value);
        // Motor 2's Start follows its row checks in "Sequence".
        if (step.kind == word::Row(1, 0)) {
            EXPECT_EQ(Enabled(*page, word::kStart2), step.value == 1);
        }
    }
    EXPECT_TRUE(r.sim.sim.portLevel(14));
    // Sequence on motor 2: its row checks open, its Start follows the checked row;
    // the graph's range shows in pps.
    EXPECT_EQ((std::tuple{Enabled(*page, word::Row(1, 1)), Enabled(*page, word::Row(1, 1) + 1), Enabled(*page, word::kStart2)}),
              (std::tuple{true, false, true}));
    EXPECT_EQ((std::tuple{page->FindControl(word::kGraphRange, 1)->text(), GraphMaximum(*page)}), (std::tuple{QString("5000"), 5000}));
    Change(*page, word::kGraphRange, 1, 30);  // typed into its edit: the slider follows
    EXPECT_EQ((std::tuple{page->FindControl(word::kGraphRange, 0)->GetValue(), store.GetValue(word::kGraphRange)}),
              (std::tuple{30u, 30u}));

    // A resistance below 1 and seconds above 65535 are refused with the message and
    // their fallbacks; nothing goes to the board.
    for (const auto& [kind, typed, fallback] : {std::tuple{2, 0u, 2000u}, std::tuple{10, 0u, 2000u},
                                                std::tuple{word::kSeconds1, 70000u, 8u}}) {
        SCOPED_TRACE(kind);
        Dialogs boxes;
        boxes.answerBox(gui::id::Ok);
        if (kind == word::kSeconds1) Change(*page, word::kTransferTime, 0, pages::dual::kOtherTime);  // the edit opens
        Change(*page, static_cast<std::uint32_t>(kind), 0, typed);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ((std::tuple{boxes.boxes()[0].text, boxes.boxes()[0].caption}),
                  (std::tuple{QString("Please specify a value between 1 and 65535"), QString("Parameter Error")}));
        EXPECT_EQ((std::tuple{store.GetValue(kind), page->FindControl(static_cast<std::uint32_t>(kind), 0)->text()}),
                  (std::tuple{fallback, QString::number(fallback)}));
        EXPECT_TRUE(r.Take().empty());
    }

    // Polling with a resistance of 0 from a loaded parameter set shows no current, and
    // a measured VREF above 1.5 V raises the warning.
    store.SetValue(2, 0);
    r.sim.sim.setAdc(0, 2048);
    Change(*page, word::kPolling1, 0, 1);
    ASSERT_TRUE(guitest::waitFor([&] { return store.GetValue(word::kMeasuredVref1) == 2048; }, 5000));
    r.Settle();
    EXPECT_EQ((std::tuple{store.GetValue(3), page->VrefWarning(0), page->VrefTipShown(0), page->VrefTipShown(1)}),
              (std::tuple{0u, true, true, false}));
    // The tip pops up once as the VREF rises past 1.5 V, down as it falls back, and up
    // again only after that.
    r.sim.sim.setAdc(0, 1000);
    ASSERT_TRUE(guitest::waitFor([&] { return !page->VrefWarning(0); }, 5000));
    EXPECT_FALSE(page->VrefTipShown(0));
    r.sim.sim.setAdc(0, 2048);
    ASSERT_TRUE(guitest::waitFor([&] { return page->VrefWarning(0); }, 5000));
    EXPECT_TRUE(page->VrefTipShown(0));
    // Moved away from the slider, the tip goes; the warning still up, polls do not bring
    // it back.
    guitest::userMove(*page->FindControl(2, 0), QPoint(5, 5));
    EXPECT_FALSE(page->VrefTipShown(0));
    const std::uint32_t sample = page->SampleCounter();
    ASSERT_TRUE(guitest::waitFor([&] { return page->SampleCounter() != sample && page->SampleCounter() != sample + 1; }, 5000));
    EXPECT_EQ((std::tuple{page->VrefWarning(0), page->VrefTipShown(0)}), (std::tuple{true, false}));
    // Over the VREF1/2 slider it shows again (motor 2's stays down: its VREF is low).
    guitest::userMove(*page->FindControl(1, 0), QPoint(20, 10));
    EXPECT_TRUE(guitest::waitFor([&] { return page->VrefTipShown(0); }, 5000));
    EXPECT_FALSE(page->VrefTipShown(1));
    store.SetValue(2, 1500);
    ASSERT_TRUE(guitest::waitFor([&] { return store.GetValue(3) == 1466; }, 5000));  // trunc(1.65 / 3 / 1.5 * 4000)
    EXPECT_EQ(page->FindControl(3, 0)->text(), QString("1.466"));

    // Recording: each poll writes a row of both motors' speeds (0: the board measures
    // none for this chip) between the banners, under a header that names both columns.
    {
        TempDir dir;
        const std::filesystem::path csv = dir.path() / "speed.csv";
        Dialogs boxes;
        boxes.answerFile(QString::fromStdString(csv.string()));
        page->send(gui::msg::Command, gui::makeWParam(pagemenu::kExportSpeedGraph, 0), 0);
        ASSERT_TRUE(Enabled(*page, word::kRecord));
        Change(*page, word::kRecord, 0, 1);
        const std::uint32_t from = page->SampleCounter();
        ASSERT_TRUE(guitest::waitFor([&] { return page->SampleCounter() != from; }, 5000));
        Change(*page, word::kRecord, 0, 0);
        std::ifstream in(csv);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("Record start---------------\r\ntime, ch1 pps data, ch2 pps data, \r\n"), std::string::npos)
            << text;
        EXPECT_NE(text.find(", 0, 0\r\n"), std::string::npos) << text;
        EXPECT_TRUE(boxes.boxes().empty());
    }
    Change(*page, word::kPolling1, 0, 0);
}

// Each motor's "Repeat" opens only for a sequence stopped by the button, and its transfer
// time for a sequence or "Auto Stop"; the other motor's choices leave them as they are.
TEST(DualPage, EachMotorsRepeatAndTransferTimeFollowItsOwnTestModeAndStopSignal) {
    DualRig r;
    CDeviceDialog_StepperDual* page = OpenQuiet(r, nullptr);
    ASSERT_NE(page, nullptr);
    using pages::dual::kAutoStop, pages::dual::kFixed, pages::dual::kSequence, pages::dual::kStopButton;
    const auto settings = [&](int motor) {
        return std::tuple{Enabled(*page, word::Of(motor, word::kRepeat)), Enabled(*page, word::Of(motor, word::kTransferTime))};
    };
    struct Case {
        std::uint32_t test, stop;
        bool repeat, time;
    };
    for (int motor : {0, 1}) {
        SCOPED_TRACE(motor);
        const int other = 1 - motor;
        for (const Case& c : {Case{kSequence, kStopButton, true, true}, Case{kSequence, kAutoStop, false, true},
                              Case{kFixed, kAutoStop, false, true}, Case{kFixed, kStopButton, false, false}}) {
            SCOPED_TRACE(::testing::Message() << "test " << c.test << ", stop " << c.stop);
            Change(*page, static_cast<std::uint32_t>(word::Of(motor, word::kTestMode)), 0, c.test);
            Change(*page, static_cast<std::uint32_t>(word::Of(motor, word::kStopSignal)), 0, c.stop);
            EXPECT_EQ(settings(motor), (std::tuple{c.repeat, c.time}));
            // The other motor at the opposite corner keeps this one's states.
            const auto before = settings(motor);
            Change(*page, static_cast<std::uint32_t>(word::Of(other, word::kTestMode)), 0, c.test == kFixed ? kSequence : kFixed);
            Change(*page, static_cast<std::uint32_t>(word::Of(other, word::kStopSignal)), 0, c.stop == kAutoStop ? kStopButton : kAutoStop);
            EXPECT_EQ(settings(motor), before);
        }
    }
}

// Each motor's measured VREF is read while its own polling is on, and only then.
TEST(DualPage, EachMotorsMeasuredVrefFollowsItsOwnPolling) {
    DualRig r;
    CDeviceDialog_StepperDual* page = OpenQuiet(r, nullptr);
    ASSERT_NE(page, nullptr);
    IDataContainer& store = r.rig.data;
    for (int motor : {0, 1}) {
        SCOPED_TRACE(motor);
        const int other = 1 - motor;
        const auto polled = static_cast<std::uint32_t>(word::MeasuredVref(motor));
        const auto held = static_cast<std::uint32_t>(word::MeasuredVref(other));
        Change(*page, static_cast<std::uint32_t>(word::Polling(motor)), 0, 1);
        Change(*page, static_cast<std::uint32_t>(word::Polling(other)), 0, 0);
        const std::uint32_t kept = store.GetValue(static_cast<int>(held));
        // Both inputs move; a poll has read them once this motor's word shows its new value.
        r.sim.sim.setAdc(motor, static_cast<std::uint16_t>(1000 + motor));
        r.sim.sim.setAdc(other, static_cast<std::uint16_t>(kept + 7));
        ASSERT_TRUE(guitest::waitFor([&] { return store.GetValue(static_cast<int>(polled)) == 1000u + motor; }, 5000));
        EXPECT_EQ(store.GetValue(static_cast<int>(held)), kept) << "read with its polling off";
    }
    Change(*page, word::kPolling1, 0, 0);
    Change(*page, word::kPolling2, 0, 0);
}

TEST(DualPage, BothMotorsRunAsExactMotorModePairsWithTheirWaitAndStaleTicksEndNothing) {
    DualRig r;
    CDeviceDialog_StepperDual* page = OpenQuiet(r, nullptr);
    ASSERT_NE(page, nullptr);
    // Motor 1, "Fixed", "Auto Stop", 60 s ("Other ..."; no real tick comes during the
    // test, each is delivered by hand): row 0 at 1/64 step, 0.9765 kHz, CW.
    for (const auto& [kind, value] : {std::pair{word::kChipEnable, 1u}, {word::Row(0, 0) + 1, 2u}, {word::Row(0, 0) + 2, 3u},
                                      {word::Row(0, 0) + 3, 1u}, {word::kTransferTime, pages::dual::kOtherTime},
                                      {word::kSeconds1, 60u}, {word::Of(1, word::kTransferTime), pages::dual::kOtherTime},
                                      {word::kSeconds2, 60u}})
        Change(*page, static_cast<std::uint32_t>(kind), 0, value);
    r.Take();
    SleepNotingClock noting;
    platform::ScopedClock scoped(noting);

    // Mode 4 carries both frequency codes (C = 0x40 | 4 | 0 << 3), then after 15 ms mode
    // 1 motor 1's byte 1 (0x9E: constant 2, enable, CW, run, 1/64) with bits 7-5 = 100.
    Change(*page, word::kStart1, 0, 0);
    ExpectFrames(r.Take(), {M(4, 0, 0, 0x44), M(1, 0x9E, 0x10, 0x44)});
    EXPECT_EQ(noting.Take(), std::vector<std::uint32_t>{15});
    ASSERT_NE(page->Timer(1), nullptr);
    EXPECT_EQ(page->Timer(1)->ArmedMs(), 59985u);
    EXPECT_EQ((std::tuple{Enabled(*page, word::kStart1), Enabled(*page, word::kStop1), Enabled(*page, word::kStartBoth),
                          Enabled(*page, word::kTestMode)}),
              (std::tuple{false, true, false, false}));

    // Stop: the step moves on with the run bit off (0x9A); a new start arms again, and
    // the tick of the first arming, still arriving, ends nothing.
    const std::uintptr_t stale = Awaited(*page, 1);
    Change(*page, word::kStop1, 0, 0);
    ExpectFrames(r.Take(), {M(4, 0x9E, 0x10, 0x44), M(1, 0x9A, 0x10, 0x44)});
    EXPECT_FALSE(page->Timer(1)->Armed());
    Change(*page, word::kStart1, 0, 0);
    r.Take();
    ASSERT_NE(Awaited(*page, 1), stale);
    Tick(*page, 1, stale);
    EXPECT_TRUE(r.Take().empty());
    EXPECT_TRUE(page->Run()->Running(0));
    // The awaited tick ends the run after row 0 ("Auto Stop"): the run bit off again.
    Tick(*page, 1, Awaited(*page, 1));
    ExpectFrames(r.Take(), {M(4, 0x9E, 0x10, 0x44), M(1, 0x9A, 0x10, 0x44)});
    EXPECT_EQ((std::tuple{page->Run()->Running(0), Enabled(*page, word::kStart1), Enabled(*page, word::kStop1)}),
              (std::tuple{false, true, false}));

    // Motor 2, "Sequence" over rows 1st and 3rd: mode 2 carries its byte 1 with bits 7-5
    // = 101; row 0 (1/16, 7.8125 kHz, CW) then row 2 (1/128, 0.1220 kHz, CCW).
    Change(*page, 12, 0, pages::dual::kSequence);
    for (const auto& [kind, value] : {std::pair{word::Row(1, 0), 1u}, {word::Row(1, 0) + 1, 0u}, {word::Row(1, 0) + 2, 0u},
                                      {word::Row(1, 0) + 3, 1u}, {word::Row(1, 2), 1u}, {word::Row(1, 2) + 3, 0u}})
        Change(*page, static_cast<std::uint32_t>(kind), 0, value);
    Change(*page, word::Row(1, 2) + 1, 0, 3);
    Change(*page, word::Row(1, 2) + 2, 0, 6);
    r.Take();
    const auto motor2Byte = [](std::uint32_t excitation, std::uint32_t cw, std::uint32_t run) {
        return static_cast<std::uint8_t>(0xA0 | 1u << 4 | cw << 3 | run << 2 | excitation);  // 101, enable, ...
    };
    Change(*page, word::kStart2, 0, 0);
    const std::uint8_t first = motor2Byte(0, 1, 1);
    ExpectFrames(r.Take(), {M(4, 0x9A, 0x10, 0x40 | 4 | 1 << 3), M(2, 0x9A, first, 0x40 | 4 | 1 << 3)});
    EXPECT_EQ(page->Timer(2)->ArmedMs(), 59985u);
    Tick(*page, 2, Awaited(*page, 2));
    const std::uint8_t third = motor2Byte(3, 0, 1);
    ExpectFrames(r.Take(), {M(4, 0x9A, first, 0x40 | 4 | 7 << 3), M(2, 0x9A, third, 0x40 | 4 | 7 << 3)});
    EXPECT_EQ(page->Run()->CurrentRow(1), 2);
    Tick(*page, 2, Awaited(*page, 2));
    r.Take();
    EXPECT_FALSE(page->Run()->Running(1));

    // Same time with equal steps: one timer for both, not shortened; mode 3 sends both
    // bytes. "Stop Same Time" leaves no timer.
    Change(*page, 12, 0, pages::dual::kFixed);
    r.Take();
    Change(*page, word::kStartBoth, 0, 0);
    const auto frames = r.Take();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ((std::tuple{frames[0][1], frames[1][1], frames[1][2] >> 5, frames[1][3] >> 5}), (std::tuple{4, 3, 4, 5}));
    EXPECT_EQ((std::tuple{page->Timer(1)->Armed(), page->Timer(2)->Armed(), page->Timer(3)->ArmedMs()}),
              (std::tuple{false, false, 60000u}));
    Change(*page, word::kStopBoth, 0, 0);
    r.Take();
    EXPECT_EQ((std::tuple{page->Timer(1)->Armed(), page->Timer(2)->Armed(), page->Timer(3)->Armed(), page->Run()->AnyRunning()}),
              (std::tuple{false, false, false, false}));

    // A parameter set loaded while motor 1 runs: the run ends with its run bit sent off,
    // and the controls show the loaded values.
    Change(*page, word::kStart1, 0, 0);
    r.Take();
    IDataContainer& store = r.rig.data;
    store.SetValue(2, 1234);
    store.SetValue(12, pages::dual::kSequence);
    store.SetValue(word::kGraphRange, 20);
    page->RestoreDeviceData();
    Bytes last;
    for (const Bytes& f : r.Take())
        if (f.size() == 5 && f[0] == 'M') last = f;
    ASSERT_EQ(last.size(), 5u);
    EXPECT_EQ((std::tuple{last[1], last[2] & 0x04, page->Run()->AnyRunning(), page->Timer(1)->Armed()}),
              (std::tuple{3, 0, false, false}));
    EXPECT_EQ((std::tuple{page->FindControl(2, 0)->text(), Enabled(*page, word::Row(1, 1)), Enabled(*page, word::kStart1)}),
              (std::tuple{QString("1234"), true, true}));
    EXPECT_EQ(GraphMaximum(*page), 2000);
}

TEST(DualPage, AsAUserMeetsItInTheProgramsOwnLoop) {
    TempDir dir;
    SimLink sim;
    ASSERT_TRUE(sim.started);
    sim.sim.setSecondVersion(0x1216);
    Dialogs dialogs;
    bool worked = false;
    const auto inside = [&](CQuillfenDlg& w) {
        auto* page = ChooseByKeys<CDeviceDialog_StepperDual>(w, 1, ModelName(0x106));  // "Stepper", then the model
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(guitest::waitFor([&] { return page->isShown() && page->PollingBits() == 3u; }, 5000));
        EXPECT_TRUE(page->text().endsWith("Controller (USB Connected)"));

        // Chip enable clicked: port 14 goes high.
        guitest::userClick(*page->FindControl(word::kChipEnable, 0));
        EXPECT_TRUE(guitest::waitFor([&] { return sim.sim.portLevel(14); }, 5000));
        // "Stop Button" chosen with the keys, then Start clicked: motor 1 runs and holds.
        CDerivedControl* stop = page->FindControl(word::kStopSignal, 0);
        guitest::focusForKeys(*stop);
        guitest::userKey(*stop, Qt::Key_Down);
        EXPECT_EQ(appServices().data->GetValue(word::kStopSignal), pages::dual::kStopButton);
        sim.sim.clearFrames();
        guitest::userClick(*page->FindControl(word::kStart1, 0));
        EXPECT_TRUE(guitest::waitFor([&] { return sim.Frames().size() >= 2 && sim.Frames()[1][0] == 'M'; }, 5000));
        EXPECT_TRUE(page->Run()->Running(0));

        // A speed typed into the graph range's edit is held to its slider (1..100).
        CDerivedControl* edit = page->FindControl(word::kGraphRange, 1);
        ASSERT_NE(edit, nullptr);
        guitest::focusForKeys(*edit);
        edit->setText("99999");
        guitest::userKey(*edit, Qt::Key_Return);
        EXPECT_EQ((std::tuple{appServices().data->GetValue(word::kGraphRange), edit->text()}), (std::tuple{100u, QString("10000")}));
        worked = true;

        dialogs.answerBox(gui::id::No);
        w.send(gui::msg::Command, gui::makeWParam(mainwin::kExitApplication, gui::notify::ButtonClicked), 0);
    };
    CQuillfenApp app(Options(dir.path(), false, inside, sim.path()));
    EXPECT_EQ((std::tuple{app.InitInstance(), worked}), (std::tuple{0, true}));
    // The program closed with motor 1 running: the last motor-mode frame sends both
    // motors with their run bits off.
    Bytes last;
    for (const Bytes& f : sim.Frames())
        if (!f.empty() && f[0] == 'M') last = f;
    ASSERT_EQ(last.size(), 5u);
    EXPECT_EQ((std::tuple{last[1], last[2] & 0x04, last[3] & 0x04}), (std::tuple{3, 0, 0}));
}

// Closing with both motors running and no board to hear the stop: the page goes at once
// (its runs ended, its timers' threads joined), without a hang.
TEST(DualPage, TheBoardUnpluggedMidRunClosesThePage) {
    DualRig r;
    CDeviceDialog_StepperDual* page = OpenQuiet(r, nullptr);
    ASSERT_NE(page, nullptr);
    for (const auto& [kind, value] : {std::pair{word::kTransferTime, pages::dual::kOtherTime}, {word::kSeconds1, 1u},
                                      {word::kStopSignal, pages::dual::kStopButton}})
        Change(*page, static_cast<std::uint32_t>(kind), 0, value);
    Change(*page, word::kStartBoth, 0, 0);  // both motors, 1 s steps on the both-motor timer
    ASSERT_TRUE(page->Run()->AnyRunning());
    r.sim.sim.unplug();
    EXPECT_TRUE(guitest::waitFor([&] { return r.rig.window->CurrentPage() == nullptr; }, 5000));
    r.Settle();
}
