// The BLDC page through the real main window against the board simulator: opening it
// restores the board, each kind of change reaches the wire, the polling task's counts
// become pps, rpm, dials, graph points and record rows, minimising keeps polling; and
// the page as a user meets it, in the program's own modal loop.
#include <gtest/gtest.h>

#include <regex>

#include "PageRigSupport.h"
#include "app/QuillfenApp.h"
#include "pages/bldc/BldcPage.h"
#include "pages/bldc/StartupDialog.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/Series.h"

using namespace apptest;

namespace {

// Frames that end with a polling run: `before`, then the polling task's input set-up,
// then whole polls (at least `minPolls`). The run may have been stopped before its
// set-up (nothing of it then) or between polls.
void ExpectPollingAfter(const std::vector<Bytes>& got, std::vector<Bytes> want, const std::vector<Bytes>& setup,
                        const std::vector<Bytes>& poll, std::size_t minPolls) {
    if (got.size() > want.size() || minPolls > 0) want.insert(want.end(), setup.begin(), setup.end());
    const std::size_t polls = got.size() > want.size() ? (got.size() - want.size()) / poll.size() : 0;
    EXPECT_GE(polls, minPolls);
    for (std::size_t i = 0; i < std::max(polls, minPolls); ++i) want.insert(want.end(), poll.begin(), poll.end());
    ExpectFrames(got, want);
}

using BldcRig = PageRig<CDeviceDialog_BLDC>;

// The page, shown and polled at least once (the first poll comes after the polling
// task's input set-up).
CDeviceDialog_BLDC* OpenPolling(BldcRig& r, std::uint32_t key) {
    CDeviceDialog_BLDC* page = r.Open(key);
    return page != nullptr && guitest::waitFor([&] { return page->SampleCounter() > 0; }, 5000) ? page : nullptr;
}

// The board's defaults as the main window sets them up: the 'C' control frame (port
// directions in [6]-[9], all outputs), the 'E' level frame and its read-back, the high
// ports 21-33 ('8' 3: all outputs, 21 high, sum in [9]) and their read-back, 'P' (channels
// 0 and 1 at 50 kHz with 240, 2 and 3 at 15625 Hz with 256) and the second controller's
// channels ('8' 2).
const Bytes kLevels = F("45 00 00 06 00 00");
const Bytes kHighPorts = F("38 03 FF 01 38 00 03 00 00 3B");
const Bytes kReadHigh = F("38 13");
const Bytes kSecondPwm = F("38 02 00 00 FF FF 00 00 05 A6 0E 00 00 00 00 00 00 00 00 00 55 05 11");
const std::vector<Bytes> kBoardDefaults = {F("43 00 03 04 00 00 FF FF 00 0E 00 00 00 00 00"), kLevels, kLevels,
                                           kHighPorts, kReadHigh, F("50 E0 F0 00 F0 08 C0 00 FF FF 00"), kSecondPwm};
// The measurement timer setting 39 (0x27) selected on the second controller.
const Bytes kSelect39 = F("38 04 27 27");
const Bytes kReadCount = F("38 14");

std::string LastPwm(const std::vector<Bytes>& frames) {
    Bytes last;
    for (const Bytes& f : frames)
        if (f[0] == 'P') last = f;
    return Hex(last);
}

std::vector<Bytes> Join(std::initializer_list<std::vector<Bytes>> parts) {
    std::vector<Bytes> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

TEST(BldcPage, EveryModelOpensAndOpeningRestoresTheBoardAndEachKindOfChangeGivesItsFrames) {
    // Ports 0-2 as inputs ('C' [6] F8) with analog inputs 0-2 on ([12], [13] 04 07).
    const Bytes inputs300 = F("43 00 03 04 00 00 F8 FF 00 0E 00 00 00 00 00");
    const Bytes analog300 = F("43 00 03 04 00 00 F8 FF 00 0E 00 00 04 07 00");
    // Port 15 an input (High-Z: [7] 7F); then, for polling, ports 0, 1 and 18 inputs,
    // analog inputs 0 and 1, and interrupt input 1 ([11]).
    const Bytes ssw305 = F("43 00 03 04 00 00 FF 7F 00 0E 00 00 00 00 00");
    const Bytes interrupt305 = F("43 00 03 04 00 00 FC 7F 00 0C 00 08 04 03 00");
    struct Opening {
        std::uint32_t key;
        std::vector<Bytes> restore, pollingSetup, poll;
    };
    const Opening openings[] = {
        // 0x300: the inputs the polling reads; the chip enable (word 12 = 0) drives pin
        // 21 high; channel 2 staged (this chip sends it with channel 3); channel 5 on the
        // second controller; channels 3 and 2 at 256 - 0 ([6] C0);
        // PWMIN staged idle; the SSW pin (word 30 = 0) an output driven low.
        {0x300,
         {kSelect39, inputs300, kLevels, kLevels, analog300, kHighPorts, kReadHigh, kSecondPwm,
          F("50 E0 F0 00 F0 08 C0 00 FF FF 00"), analog300, kLevels, kLevels},
         {analog300, kLevels, kLevels, analog300},
         {F("41"), kReadCount}},
        // 0x305: channels 2 (256 - 0), 5, 3 sent; PWMIN direct with word 28 = 0 ([4] 00); the SSW
        // pin at its default High-Z. Its polls read the lock input, the analog inputs and
        // the count.
        {0x305,
         {kSelect39, F("50 E0 F0 00 F0 08 C0 00 FF FF 00"), kSecondPwm, F("50 E0 F0 00 F0 08 40 00 FF FF 00"),
          F("50 E0 F0 00 00 00 40 00 FF FF 00"), ssw305, kLevels, kLevels},
         {F("43 00 03 04 00 00 FC 7F 00 0C 00 00 00 00 00"), kLevels, kLevels,
          F("43 00 03 04 00 00 FC 7F 00 0C 00 00 04 03 00"), interrupt305},
         {kLevels, kLevels, F("41"), kReadCount}},
    };
    for (const Opening& o : openings) {
        SCOPED_TRACE(Hex({static_cast<std::uint8_t>(o.key >> 8), static_cast<std::uint8_t>(o.key)}));
        BldcRig r;
        CDeviceDialog_BLDC* page = OpenPolling(r, o.key);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->text(), QString::fromStdString(ModelName(o.key)) + " Controller (USB Connected)");
        EXPECT_TRUE(page->State().polling);
        // The firmware versions when the model is chosen, the defaults, the same again
        // from the page's restore, then the page's own settings and the polling start.
        Change(*page, 26, 0, 0);
        ExpectPollingAfter(r.Take(), Join({{F("56"), F("38 12")}, kBoardDefaults, kBoardDefaults, o.restore}),
                           o.pollingSetup, o.poll, 1);
        EXPECT_FALSE(page->State().polling);
        SaveScreenshots(*page, QString("bldc_page_0x%1").arg(o.key, 0, 16));

        struct Step {
            const char* what;
            std::uint32_t kind, index, value;
            std::vector<Bytes> frames;
        };
        const std::vector<Step> steps300 = {
            // PWMIN inverted: channel 1 at 240 - 40 ([4] C8).
            {"PWMIN 40", 0, 0, 40, {F("50 E0 F0 00 C8 00 80 00 FF FF 00")}},
            // The voltage input takes over: channel 1 off (staged) and channel 2 at
            // 256 - 100, compare 155 in [8], in one frame.
            {"voltage 100", 4, 0, 100, {F("50 E0 F0 00 00 00 C0 00 9B FF 00")}},
            // Chip enable ticked: pin 21 low ([3] bit 0), sum one less.
            {"chip enable", 12, 0, 1, {F("38 03 FF 00 38 00 03 00 00 3A"), kReadHigh}},
            {"rotation", 14, 0, 1, {F("38 03 FF 00 38 08 03 00 00 42"), kReadHigh}},
            // The pole count is only stored.
            {"poles", 18, 0, 2, {}},
        };
        const std::vector<Step> steps305 = {
            {"PWMIN direct 40", 28, 0, 40, {F("50 E0 F0 00 28 00 40 00 FF FF 00")}},
            // "High Lv": port 15 an output ([7] FF) driven high ('E' [2] 80).
            {"SSW high", 30, 2, 2,
             {F("43 00 03 04 00 00 FC FF 00 0C 00 08 04 03 00"), F("45 00 80 06 00 00"), F("45 00 80 06 00 00")}},
        };
        for (const Step& step : o.key == 0x300 ? steps300 : steps305) {
            SCOPED_TRACE(step.what);
            Change(*page, step.kind, step.index, step.value);
            ExpectFrames(r.Take(), step.frames);
            EXPECT_EQ(r.rig.data.GetValue(static_cast<int>(step.kind)), step.value);
        }
        // Closing the page (0x305), or the program with the page open (0x300), idles
        // PWMIN once: channel 1 at 0 on 0x305, at 240 ([4] F0) on 0x300.
        const std::vector<Bytes> idle = {F(o.key == 0x305 ? "50 E0 F0 00 00 00 40 00 FF FF 00" : "50 E0 F0 00 F0 08 C0 00 9B FF 00")};
        if (o.key == 0x305) {
            page->send(gui::msg::Close);
            ExpectFrames(r.Take(), idle);
        }
        Dialogs boxes;
        boxes.answerBox(gui::id::No);
        r.rig.Command(mainwin::kExitApplication);
        ExpectFrames(r.Take(), o.key == 0x305 ? std::vector<Bytes>{} : idle);
    }
    // Every model of the kind has its page: OK enables for each. Choosing one makes its
    // page; the one before does its close work as it goes, before the new page restores.
    BldcRig r;
    ASSERT_TRUE(r.Start());
    for (std::uint32_t key = 0x300; key <= 0x308; ++key) {
        ASSERT_TRUE(r.rig.ChooseDriverNamed(ModelName(key))) << key;
        EXPECT_TRUE(r.rig.OkEnabled()) << key;
    }
    r.Take();
    ASSERT_TRUE(r.rig.ChooseDriverNamed(ModelName(0x305)));
    // The last PWM frame is 0x305's PWMIN at its stored 0 ([4] 00), not 0x308's idle 240.
    EXPECT_EQ(LastPwm(r.Take()), Hex(F("50 E0 F0 00 00 00 40 00 FF FF 00")));
}

TEST(BldcPage, PollingShowsTheCountAsPpsAndRpmEverywhereAndRecordsIt) {
    BldcRig r;
    // A motor that runs at a count of 10000 (10 µs units: 10 pps) while pin 21 is high.
    boardsim::Motor motor;
    motor.runLevel = true;
    motor.stillReads = {};
    motor.firstCount = motor.fullSpeedCount = 10000;
    motor.countStep = 0;
    r.sim.sim.setMotor(motor);
    CDeviceDialog_BLDC* page = OpenPolling(r, 0x301);  // 1 FG pulse per turn
    ASSERT_NE(page, nullptr);
    Change(*page, 18, 0, 2);  // 2 pole pairs: 300 rpm
    // Waits for n more polls (the counter wraps at 100).
    const auto polls = [&](std::uint32_t n) {
        const std::uint32_t from = page->SampleCounter();
        return guitest::waitFor([&] { return (page->SampleCounter() + 100 - from) % 100 >= n; }, 5000);
    };
    auto* graph = page->GraphPanel() ? page->GraphPanel()->GraphWindow() : nullptr;
    ASSERT_TRUE(graph);
    ASSERT_TRUE(page->TachometerPanel());
    const auto lastY = [&](int channel) {
        const ISeriesContainer* c = graph->Series(channel) ? graph->Series(channel)->Container() : nullptr;
        return c != nullptr && c->GetCount() > 0 ? c->GetPoint(c->GetCount() - 1).second : -1.0;
    };
    ASSERT_TRUE(guitest::waitFor([&] { return lastY(2) == 300.0; }, 5000));
    EXPECT_EQ(lastY(1), 10.0);
    const ISeriesContainer* rpmPoints = graph->Series(2)->Container();
    EXPECT_EQ(rpmPoints->GetPoint(rpmPoints->GetCount() - 1).first, page->SampleCounter() * 50.0 - 5000.0);
    EXPECT_EQ(r.rig.data.GetValue(17), 300u);
    EXPECT_EQ(static_cast<CDerivedEdit*>(page->FindControl(17, 0))->text(), QString("300"));
    EXPECT_EQ(static_cast<CDerivedLabel*>(page->FindControl(17, 100))->text(), QString("Current rpm"));
    EXPECT_EQ(page->TachometerPanel()->ShownDial(), page->TachometerPanel()->RpmDial());
    EXPECT_EQ(page->TachometerPanel()->RpmDial()->Needle().GetValue(), 300);
    EXPECT_TRUE(page->FindControl(14, 0)->isEnabled());  // slow enough to turn round
    EXPECT_EQ(graph->GetChannelMask(), 2u);

    // Fast (count 1000: 100 pps, 3000 rpm): F/R is locked.
    motor.firstCount = motor.fullSpeedCount = 1000;
    r.sim.sim.setMotor(motor);
    ASSERT_TRUE(guitest::waitFor([&] { return lastY(2) == 3000.0; }, 5000));
    EXPECT_EQ((std::tuple{lastY(1), page->FindControl(14, 0)->isEnabled()}), (std::tuple{100.0, false}));

    // Recording: a chosen file enables the switch; the rows follow the polls with the raw
    // count and the unrounded speeds (count 30000: 3.33333 pps, 100 rpm).
    motor.firstCount = motor.fullSpeedCount = 30000;
    r.sim.sim.setMotor(motor);
    ASSERT_TRUE(guitest::waitFor([&] { return lastY(1) == 3.0; }, 5000));
    TempDir dir;
    const std::string csv = (dir.path() / "speed.csv").string();
    {
        Dialogs boxes;
        boxes.answerFile(QString::fromStdString(csv));
        page->send(gui::msg::Command, gui::makeWParam(pagemenu::kExportSpeedGraph, 0), 0);
    }
    ASSERT_TRUE(page->FindControl(23, 0)->isEnabled());
    Change(*page, 23, 0, 1);
    ASSERT_TRUE(polls(3));
    Change(*page, 23, 0, 0);
    const std::string text = readText(csv);
    EXPECT_TRUE(std::regex_match(text, std::regex("---------------<< \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "
                                                  ">>Record start---------------\r\n"
                                                  "time, raw data, pps, rpm\r\n"
                                                  "(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}, 30000, 3\\.33333, 100\r\n){3,}"
                                                  "---------------Record end---------------\r\n")))
        << text;

    // The polling traffic: one count read per poll on this chip, and nothing else (the
    // poll whose message was still on its way when the log was cleared may be missing).
    guitest::settle();
    r.sim.sim.clearFrames();
    ASSERT_TRUE(polls(4));
    Change(*page, 26, 0, 0);
    ExpectPollingAfter(r.Take(), {}, {}, {kReadCount}, 3);
    // Started again: the inputs it reads (ports 0-2, analog inputs 0-2, already set),
    // then its polls.
    Change(*page, 26, 0, 1);
    ASSERT_TRUE(polls(2));

    // Minimised and restored, the page keeps polling and its panels show it again.
    page->widget()->showMinimized();
    guitest::settle();
    EXPECT_FALSE(page->TachometerPanel()->isShown());
    ASSERT_TRUE(polls(2));
    page->widget()->showNormal();
    guitest::settle();
    EXPECT_EQ((std::tuple{page->TachometerPanel()->isShown(), page->State().polling}), (std::tuple{true, true}));
    const std::size_t points = graph->Series(2)->Container()->GetCount();
    ASSERT_TRUE(guitest::waitFor([&] { return graph->Series(2)->Container()->GetCount() > points || points >= 100; }, 5000));
    Change(*page, 26, 0, 0);
    const Bytes analog = F("43 00 03 04 00 00 F8 FF 00 0E 00 00 04 07 00");
    ExpectPollingAfter(r.Take(), {}, {analog, kLevels, kLevels, analog}, {kReadCount}, 2);

    // Once the page is destroyed a late polling message changes nothing.
    page->destroy();
    const std::uint32_t from = page->SampleCounter();
    page->windowProc(gui::msg::TaskData, 0, 0);
    EXPECT_EQ(page->SampleCounter(), from);
}

// The page's start-up test window: "Start Testmode" shows it, the pole count picks its
// target, and a run drives PWMIN at the duty the page set.
TEST(BldcPage, StartTestmodeShowsTheTestWhichFollowsThePagesPolesAndDuty) {
    BldcRig r;
    CDeviceDialog_BLDC* page = OpenPolling(r, 0x302);
    ASSERT_NE(page, nullptr);
    auto* test = dynamic_cast<bldc::COptionDlg_BLDCTest*>(page->TestDialog());
    ASSERT_NE(test, nullptr);
    EXPECT_FALSE(test->IsShown());
    guitest::userClick(*page->FindControl(15, 0));
    EXPECT_TRUE(test->IsShown());

    // Target RPM only with a pole count (the model starts with 4 poles), Target FG
    // only without.
    EXPECT_EQ((std::tuple{test->FindControl(3, 0)->isEnabled(), test->FindControl(4, 0)->isEnabled()}), (std::tuple{true, false}));
    for (std::uint32_t poles : {0u, 2u}) {
        Change(*page, 18, 0, poles);
        EXPECT_EQ(test->FindControl(3, 0)->isEnabled(), poles != 0) << poles;
        EXPECT_EQ(test->FindControl(4, 0)->isEnabled(), poles == 0) << poles;
    }

    // PWMIN (direct) at 120: the run's start drives channel 1 at 120 ([4] 78).
    Change(*page, 28, 0, 120);
    Change(*page, 26, 0, 0);  // polling off: only the test's frames follow
    r.Take();
    guitest::userClick(*test->FindControl(7, 0));
    EXPECT_TRUE(guitest::waitFor(
        [&] {
            for (const auto& f : r.sim.Frames())
                if (f.size() == 11 && f[0] == 'P' && f[4] == 120) return true;
            return false;
        },
        5000));
    // Closing the page aborts the run (the motor stopped) and hides its window; the
    // window goes with the page.
    page->send(gui::msg::Close);
    EXPECT_EQ((std::tuple{test->IsRunning(), test->IsShown(), r.sim.sim.portLevel(21)}), (std::tuple{false, false, true}));
    page->destroy();
    EXPECT_EQ(page->TestDialog(), nullptr);
}

TEST(BldcPage, AsAUserMeetsItInTheProgramsOwnLoop) {
    TempDir dir;
    SimLink sim;
    ASSERT_TRUE(sim.started);
    Dialogs dialogs;
    dialogs.answerBox(gui::id::No);
    bool worked = false;
    const auto inside = [&](CQuillfenDlg& w) {
        const std::string name = ModelName(0x300);
        auto* page = ChooseByKeys<CDeviceDialog_BLDC>(w, 3, name);  // "BLDC", then the model
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(guitest::waitFor([&] { return page->isShown() && page->SampleCounter() > 0; }, 5000));
        EXPECT_EQ(page->text(), QString::fromStdString(name) + " Controller (USB Connected)");

        // A click on "F/R" drives pin 29; one on "Polling Timer" stops the polling.
        const bool before = sim.sim.portLevel(29);
        guitest::userClick(*page->FindControl(14, 0));
        EXPECT_TRUE(guitest::waitFor([&] { return sim.sim.portLevel(29) != before; }, 5000));
        guitest::userClick(*page->FindControl(26, 0));
        EXPECT_EQ((std::tuple{page->State().polling, appServices().data->GetValue(26)}), (std::tuple{false, 0u}));

        // The PWMIN slider moved with the keys: channel 1 at 240 - the new value.
        CDerivedControl* slider = page->FindControl(0, 0);
        sim.sim.clearFrames();
        guitest::focusForKeys(*slider);
        guitest::userKey(*slider, Qt::Key_PageDown);
        const std::uint32_t v = appServices().data->GetValue(0);
        EXPECT_GT(v, 0u);
        EXPECT_TRUE(guitest::waitFor(
            [&] {
                for (const auto& f : sim.Frames())
                    if (f.size() == 11 && f[0] == 'P' && f[4] == 240 - v) return true;
                return false;
            },
            5000));
        worked = true;

        dialogs.answerBox(gui::id::No);
        w.send(gui::msg::Command, gui::makeWParam(mainwin::kExitApplication, gui::notify::ButtonClicked), 0);
    };
    CQuillfenApp app(Options(dir.path(), false, inside, sim.path()));
    EXPECT_EQ((std::tuple{app.InitInstance(), worked}), (std::tuple{0, true}));
    // The program closed with the page open: PWMIN idles at 240 ([4] F0) before the
    // queue goes.
    EXPECT_EQ(LastPwm(sim.Frames()), Hex(F("50 E0 F0 00 F0 08 80 00 FF FF 00")));
}
