// The BLDC page through the real main window against the board simulator, and as a user meets
// it in the program's own modal loop.
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

// `want`, then the polling task's input set-up and whole polls (at least `minPolls`); a
// run stopped before its set-up has none.
void ExpectPollingAfter(const std::vector<Bytes>& got, std::vector<Bytes> want, const std::vector<Bytes>& setup,
                        const std::vector<Bytes>& poll, std::size_t minPolls) {
    if (got.size() > want.size() || minPolls > 0) want.insert(want.end(), setup.begin(), setup.end());
    const std::size_t polls = got.size() > want.size() ? (got.size() - want.size()) / poll.size() : 0;
    EXPECT_GE(polls, minPolls);
    for (std::size_t i = 0; i < std::max(polls, minPolls); ++i) want.insert(want.end(), poll.begin(), poll.end());
    ExpectFrames(got, want);
}

using BldcRig = PageRig<CDeviceDialog_BLDC>;

// The page, shown and polled at least once.
CDeviceDialog_BLDC* OpenPolling(BldcRig& r, std::uint32_t key) {
    CDeviceDialog_BLDC* page = r.Open(key);
    return page != nullptr && guitest::waitFor([&] { return page->SampleCounter() > 0; }, 5000) ? page : nullptr;
}

// The main window's board defaults: 'C' (all ports outputs), 'E' levels and read-back, high
// ports 21-33 ('8' 3: 21 high, sum in [9]) and read-back, 'P' (channels 0, 1 at 50 kHz with
// 240, 2, 3 at 15625 Hz with 256), the second controller's channels ('8' 2).
const Bytes kLevels = F("45 00 00 06 00 00");
const Bytes kHighPorts = F("38 03 FF 01 38 00 03 00 00 3B");
const Bytes kReadHigh = F("38 13");
const Bytes kSecondPwm = F("38 02 00 00 FF FF 00 00 05 A6 0E 00 00 00 00 00 00 00 00 00 55 05 11");
const std::vector<Bytes> kBoardDefaults = {F("43 00 03 04 00 00 FF FF 00 0E 00 00 00 00 00"), kLevels, kLevels,
                                           kHighPorts, kReadHigh, F("50 E0 F0 00 F0 08 C0 00 FF FF 00"), kSecondPwm};
// Measurement timer setting 39 (0x27).
const Bytes kSelect39 = F("38 04 27 27");
const Bytes kReadCount = F("38 14");

std::string LastPwm(const std::vector<Bytes>& frames) {
    Bytes last;
    for (const Bytes& f : frames)
        if (f[0] == 'P') last = f;
    return Hex(last);
}

// Waits for channel 1 at `duty` in a 'P' frame.
bool AwaitPwmIn(SimLink& sim, std::uint32_t duty) {
    return guitest::waitFor([&] {
        for (const auto& f : sim.Frames())
            if (f.size() == 11 && f[0] == 'P' && f[4] == duty) return true;
        return false;
    }, 5000);
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
    // Port 15 an input ([7] 7F); for polling also ports 0, 1, 18, analog 0, 1, interrupt 1 ([11]).
    const Bytes ssw305 = F("43 00 03 04 00 00 FF 7F 00 0E 00 00 00 00 00");
    const Bytes interrupt305 = F("43 00 03 04 00 00 FC 7F 00 0C 00 08 04 03 00");
    struct Opening {
        std::uint32_t key;
        std::vector<Bytes> restore, pollingSetup, poll;
    };
    const Opening openings[] = {
        // 0x300: polled inputs; pin 21 high (word 12 = 0); channel 5; channels 3 and 2 (staged)
        // at 256 - 0 ([6] C0), PWMIN staged idle; the SSW pin (word 30 = 0) driven low.
        {0x300,
         {kSelect39, inputs300, kLevels, kLevels, analog300, kHighPorts, kReadHigh, kSecondPwm,
          F("50 E0 F0 00 F0 08 C0 00 FF FF 00"), analog300, kLevels, kLevels},
         {analog300, kLevels, kLevels, analog300},
         {F("41"), kReadCount}},
        // 0x305: channels 2 (256 - 0), 5, 3; PWMIN direct at word 28 = 0; the SSW pin High-Z.
        // Its polls read the lock input, the analog inputs and the count.
        {0x305,
         {kSelect39, F("50 E0 F0 00 F0 08 C0 00 FF FF 00"), kSecondPwm, F("50 E0 F0 00 F0 08 40 00 FF FF 00"),
          F("50 E0 F0 00 00 00 40 00 FF FF 00"), ssw305, kLevels, kLevels},
         {F("43 00 03 04 00 00 FC 7F 00 0C 00 00 00 00 00"), kLevels, kLevels,
          F("43 00 03 04 00 00 FC 7F 00 0C 00 00 04 03 00"), interrupt305},
         {kLevels, kLevels, F("41"), kReadCount}},
    };
    for (const Opening& o : openings) {
        SCOPED_TRACE(o.key);
        BldcRig r;
        CDeviceDialog_BLDC* page = OpenPolling(r, o.key);
        ASSERT_NE(page, nullptr);
        // Firmware versions on choosing, the defaults, again from the restore, the page's own.
        Change(*page, 26, 0, 0);
        ExpectPollingAfter(r.Take(), Join({{F("56"), F("38 12")}, kBoardDefaults, kBoardDefaults, o.restore}),
                           o.pollingSetup, o.poll, 1);
        SaveScreenshots(*page, QString("bldc_page_0x%1").arg(o.key, 0, 16));

        struct Step {
            std::uint32_t kind, index, value;
            std::vector<Bytes> frames;
        };
        const std::vector<Step> steps300 = {
            // PWMIN inverted: channel 1 at 240 - 40 ([4] C8).
            {0, 0, 40, {F("50 E0 F0 00 C8 00 80 00 FF FF 00")}},
            // The voltage input takes over: channel 1 off (staged), channel 2 at 256 - 100 ([8] 9B).
            {4, 0, 100, {F("50 E0 F0 00 00 00 C0 00 9B FF 00")}},
            // Chip enable ticked: pin 21 low ([3] bit 0), sum one less.
            {12, 0, 1, {F("38 03 FF 00 38 00 03 00 00 3A"), kReadHigh}},
            {14, 0, 1, {F("38 03 FF 00 38 08 03 00 00 42"), kReadHigh}},
            {18, 0, 2, {}},  // only stored
            {29, 0, 20, {}},  // maximum speed 2000 rpm, only stored
        };
        const std::vector<Step> steps305 = {
            {28, 0, 40, {F("50 E0 F0 00 28 00 40 00 FF FF 00")}},
            // "High Lv": port 15 an output ([7] FF) driven high ('E' [2] 80).
            {30, 2, 2,
             {F("43 00 03 04 00 00 FC FF 00 0C 00 08 04 03 00"), F("45 00 80 06 00 00"), F("45 00 80 06 00 00")}},
        };
        for (const Step& step : o.key == 0x300 ? steps300 : steps305) {
            SCOPED_TRACE(step.kind);
            Change(*page, step.kind, step.index, step.value);
            ExpectFrames(r.Take(), step.frames);
            EXPECT_EQ(r.rig.data.GetValue(static_cast<int>(step.kind)), step.value);
        }
        // Closing the page from its menu (0x305), or the program with it open (0x300), idles
        // PWMIN once: 0 on 0x305, 240 ([4] F0) on 0x300.
        const std::vector<Bytes> idle = {F(o.key == 0x305 ? "50 E0 F0 00 00 00 40 00 FF FF 00" : "50 E0 F0 00 F0 08 C0 00 9B FF 00")};
        Dialogs boxes;
        if (o.key == 0x305) {
            page->send(gui::msg::Command, gui::makeWParam(pagemenu::kCloseWindow, 0), 0);
            r.Settle();  // the menu posts the close
            ExpectFrames(r.Take(), idle);
            EXPECT_TRUE(boxes.fileDialogs().empty());  // no record file asked for
        }
        boxes.answerBox(gui::id::No);
        r.rig.Command(mainwin::kExitApplication);
        ExpectFrames(r.Take(), o.key == 0x305 ? std::vector<Bytes>{} : idle);
    }
    // Every model has its page; a replaced one idles before the next restores.
    BldcRig r;
    ASSERT_TRUE(r.Start());
    for (std::uint32_t key = 0x300; key <= 0x308; ++key) {
        ASSERT_TRUE(r.rig.ChooseDriverNamed(ModelName(key))) << key;
        EXPECT_TRUE(r.rig.OkEnabled()) << key;
    }
    r.Take();
    ASSERT_TRUE(r.rig.ChooseDriverNamed(ModelName(0x305)));
    EXPECT_EQ(LastPwm(r.Take()), Hex(F("50 E0 F0 00 00 00 40 00 FF FF 00")));
}

TEST(BldcPage, PollingShowsTheCountAsPpsAndRpmEverywhereAndRecordsIt) {
    BldcRig r;
    // A motor at a count of 10000 (10 pps) while pin 21 is high.
    boardsim::Motor motor;
    motor.runLevel = true;
    motor.stillReads = {};
    motor.firstCount = motor.fullSpeedCount = 10000;
    motor.countStep = 0;
    r.sim.sim.setMotor(motor);
    CDeviceDialog_BLDC* page = OpenPolling(r, 0x301);  // 1 FG pulse per turn
    ASSERT_NE(page, nullptr);
    Change(*page, 18, 0, 2);  // 2 pole pairs: 300 rpm
    // Waits for n more polls (wrapping at 100).
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

    // A chosen record file enables the switch; rows hold the raw count and unrounded speeds.
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
    {
        // A file that cannot be opened: the box, and the switch off again.
        Dialogs boxes;
        boxes.answerFile(QString::fromStdString((dir.path() / "none" / "speed.csv").string()));
        page->send(gui::msg::Command, gui::makeWParam(pagemenu::kExportSpeedGraph, 0), 0);
        Change(*page, 23, 0, 1);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ((std::tuple{boxes.boxes()[0].caption.toStdString(), page->FindControl(23, 0)->GetValue()}), (std::tuple{"File open error", 0u}));
    }
    const std::string text = readText(csv);
    EXPECT_TRUE(std::regex_match(text, std::regex("-+<< [\\d/ :.]+ >>Record start-+\r\n"
                                                  "time, raw data, pps, rpm\r\n"
                                                  "(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}, 30000, 3\\.33333, 100\r\n){3,}"
                                                  "-+Record end-+\r\n")))
        << text;

    // From here only polls: one count read each.
    guitest::settle();
    r.sim.sim.clearFrames();

    // Minimised and restored: polling goes on, the panels come back.
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
    ExpectPollingAfter(r.Take(), {}, {}, {kReadCount}, 3);

    // Once the page is destroyed a late polling message changes nothing.
    page->destroy();
    const std::uint32_t from = page->SampleCounter();
    page->windowProc(gui::msg::TaskData, 0, 0);
    EXPECT_EQ(page->SampleCounter(), from);
}

// The program ends with the page open and polling: the page's idle duty, queued as its
// window goes, is on the wire by the time the window is gone (the program stops the
// queue next, dropping whatever has not started).
TEST(BldcPage, APageThatGoesWithTheProgramHasItsIdleOnTheWireBeforeItIsGone) {
    BldcRig r;
    CDeviceDialog_BLDC* page = OpenPolling(r, 0x305);
    ASSERT_NE(page, nullptr);
    Change(*page, 28, 0, 120);  // PWMIN (direct) at 120
    ASSERT_TRUE(AwaitPwmIn(r.sim, 120));
    r.sim.sim.clearFrames();
    // The program ends while a poll waits for its late reply: what the page queues as it
    // goes waits behind that poll.
    r.sim.sim.injectFault(boardsim::Fault::LateReply);
    ASSERT_TRUE(guitest::waitFor([&] { return r.sim.sim.faultsApplied(boardsim::Fault::LateReply) == 1; }, 5000));
    Dialogs boxes;
    boxes.answerBox(gui::id::No);
    r.rig.Command(mainwin::kExitApplication);
    ASSERT_EQ(r.rig.window->CurrentPage(), nullptr);
    // Looked at at once: no wait for the queue.
    const std::vector<Bytes> gone = r.sim.Frames();
    EXPECT_NE(std::find(gone.begin(), gone.end(), F("50 E0 F0 00 00 00 40 00 FF FF 00")), gone.end())
        << ::testing::PrintToString(Names(gone));
}

// "Start Testmode" shows the test window; the pole count picks its target; a run drives
// PWMIN at the page's duty; the page's close ends it.
TEST(BldcPage, StartTestmodeShowsTheTestWhichFollowsThePagesPolesAndDuty) {
    BldcRig r;
    CDeviceDialog_BLDC* page = OpenPolling(r, 0x302);
    ASSERT_NE(page, nullptr);
    auto* test = dynamic_cast<bldc::COptionDlg_BLDCTest*>(page->TestDialog());
    ASSERT_NE(test, nullptr);
    EXPECT_FALSE(test->IsShown());
    guitest::userClick(*page->FindControl(15, 0));
    EXPECT_TRUE(test->IsShown());

    // Target RPM only with a pole count (4 poles at the start), Target FG only without.
    EXPECT_EQ((std::tuple{test->FindControl(3, 0)->isEnabled(), test->FindControl(4, 0)->isEnabled()}), (std::tuple{true, false}));
    Change(*page, 18, 0, 0);
    EXPECT_EQ((std::tuple{test->FindControl(3, 0)->isEnabled(), test->FindControl(4, 0)->isEnabled()}), (std::tuple{false, true}));

    // PWMIN (direct) at 120: the run drives channel 1 at 120.
    Change(*page, 28, 0, 120);
    r.Take();
    guitest::userClick(*test->FindControl(7, 0));
    EXPECT_TRUE(AwaitPwmIn(r.sim, 120));
    // Closing the page aborts the run and hides the window, which goes with the page.
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

        guitest::userClick(*page->FindControl(26, 0));
        EXPECT_EQ((std::tuple{page->State().polling, appServices().data->GetValue(26)}), (std::tuple{false, 0u}));

        // The PWMIN slider moved with the keys: its edit and channel 1 follow.
        CDerivedControl* slider = page->FindControl(0, 0);
        sim.sim.clearFrames();
        guitest::focusForKeys(*slider);
        guitest::userKey(*slider, Qt::Key_PageDown);
        const std::uint32_t v = appServices().data->GetValue(0);
        EXPECT_EQ(page->FindControl(0, 1)->text().toStdString(), QString::asprintf("%.2f", v / 2.4).toStdString());
        // 50 % typed into the edit moves the slider to 120.
        CDerivedControl* edit = page->FindControl(0, 1);
        guitest::focusForKeys(*edit);
        edit->setText("5");
        guitest::userKey(*edit, Qt::Key_0, "0");
        guitest::userKey(*edit, Qt::Key_Return);
        EXPECT_EQ(slider->GetValue(), 120u);
        EXPECT_TRUE(AwaitPwmIn(sim, 240 - v));
        worked = true;

        dialogs.answerBox(gui::id::No);
        w.send(gui::msg::Command, gui::makeWParam(mainwin::kExitApplication, gui::notify::ButtonClicked), 0);
    };
    CQuillfenApp app(Options(dir.path(), false, inside, sim.path()));
    EXPECT_EQ((std::tuple{app.InitInstance(), worked}), (std::tuple{0, true}));
    // The program closed with the page open: PWMIN idles at 240 ([4] F0).
    EXPECT_EQ(LastPwm(sim.Frames()), Hex(F("50 E0 F0 00 F0 08 80 00 FF FF 00")));
}
