// The stepper page through the real main window against the board simulator: opening,
// each kind of change, a clock-in run and the page's close, the demo.
#include <gtest/gtest.h>

#include <QMessageBox>

#include "PageRigSupport.h"
#include "pages/stepper/StepperPage.h"
#include "ui/ExternFile.h"
#include "ui/InputControls.h"
#include "ui/SliderControl.h"

using namespace apptest;

namespace {

using StepperRig = PageRig<CDeviceDialog_Stepper>;

CDeviceDialog_Stepper* OpenQuiet(StepperRig& r, std::uint32_t key, std::vector<Bytes>* opening) {
    return r.OpenQuiet(key, opening, {54});
}

}  // namespace

TEST(StepperPage, OpeningRestoresTheBoardAndEachKindOfChangeGivesItsFrames) {
    StepperRig r;
    std::vector<Bytes> opening;
    CDeviceDialog_Stepper* page = OpenQuiet(r, 0x101, &opening);
    ASSERT_NE(page, nullptr);
    IDataContainer& store = r.rig.data;
    EXPECT_EQ(page->text(), QString::fromStdString(ModelName(0x101)) + " Controller (USB Connected)");
    SaveScreenshots(*page, "stepper_page_clock_in");
    // The speed graph opens with its pps curve, before any point comes.
    ASSERT_TRUE(page->GraphPanel() && page->GraphPanel()->GraphWindow());
    EXPECT_EQ(page->GraphPanel()->GraphWindow()->GetSeriesCount(), 1);

    // The page's own frames until it shows, for the stored defaults (all words 0 but the
    // resistance, count and scales), after the main window's board set-up (proven by its
    // own tests), which ends with channel 8's default. Ports: 'C' [6]-[9] directions,
    // 'E' [1]-[4] levels, '8' 3 [2]-[7] directions and levels of 21-33 with the sum in [9].
    const Bytes controlLines = F("43 00 02 02 00 00 FF FF 00 0E 00 00 00 00 00");
    const Bytes levels = F("45 00 00 06 06 00");                 // 16, 17 (inputs) and 18, 19 high
    const Bytes highLines = F("38 03 FF 01 38 00 03 00 00 3B");  // all outputs, 21 high
    const Bytes readHigh = F("38 13");
    // 'P': channels 0 and 1 at 50 kHz (period 14) with 240, 2 and 3 at 15625 Hz with 256.
    const Bytes pwmLow = F("50 E0 F0 00 F0 08 C0 00 FF FF 00");
    std::vector<Bytes> want = {
        // Input type on 22, output enable on 12, 23/24 staged with 28, chip enable on 31.
        highLines,
        readHigh,
        controlLines,
        levels,
        levels,
        highLines,
        readHigh,
        highLines,
        readHigh,
        // Both attenuation pins (8, 10) in one frame; REF on channel 2 at 256 - 0.
        controlLines,
        levels,
        levels,
        pwmLow,
        // Channel records 6 and 7 staged, 8 sent: no frequency yet, fields 1 and 1.
        F("38 02 00 00 FF FF 00 00 00 00 00 00 00 00 00 00 00 00 00 00 55 05 58"),
        // Status inputs: port 0 an input, then ADC 0 (setting 4) and interrupt inputs 2
        // and 3 in one 'C'.
        F("43 00 02 02 00 00 FE FF 00 0E 00 00 00 00 00"),
        levels,
        levels,
        F("43 00 02 02 00 00 FE FF 00 0E 00 50 04 01 00"),
        F("43 00 02 02 00 00 FE FF 00 08 00 50 04 01 00"),
        levels,
        levels,
    };
    // The set-up ends with ports 18, 19 and 20 read high. Shown: polling starts and sets
    // the status inputs up again; the frames keep what the first set-up left in them.
    const Bytes lines = F("43 00 02 02 00 00 FE FF 00 00 00 50 04 01 00"), inputs = F("45 00 00 06 0E 00");
    for (const Bytes& f :
         {lines, inputs, inputs, lines, inputs, inputs, lines, lines, inputs, inputs, lines, inputs, inputs})
        want.push_back(f);
    const auto own = std::find(opening.rbegin(), opening.rend(),
                               F("38 02 00 00 FF FF 00 00 05 A6 0E 00 00 00 00 00 00 00 00 00 55 05 11"));
    ExpectFrames({own.base(), opening.end()}, want);
    r.Take();

    // Each kind of change from the opening's state: its whole frames.
    const auto portWrite = [&](const char* portsEightToFifteen) {
        const Bytes e = F((std::string("45 00 ") + portsEightToFifteen + " 06 0E 00").c_str());
        return std::vector<Bytes>{lines, e, e};  // the level frame and its read-back
    };
    const Bytes records678 = F("38 02 00 00 FF FF 00 00 00 00 00 00 00 00 00 00 00 00 00 00 55 05 58");
    struct Step {
        const char* what;
        std::uint32_t kind, value;
        std::vector<Bytes> frames;
    };
    const Step steps[] = {
        // A check: output enable on port 12 ('E' [2] bit 4).
        {"output enable on", 18, 1, portWrite("10")},
        {"output enable off", 18, 0, portWrite("00")},
        // Both attenuation pins (8, 10) in one level frame.
        {"attenuation 3", 6, 3, portWrite("05")},
        {"attenuation 2", 6, 2, portWrite("04")},
        // REF: channel 2's compare 256 - 100 - 1 in 'P' [8].
        {"REF 100", 4, 100, {F("50 E0 F0 00 F0 08 C0 00 9B FF 00")}},
        // Reset on port 23 ('8' 3 [3] bit 2).
        {"reset", 17, 1, {F("38 03 FF 05 38 00 03 00 00 3F"), readHigh}},
        // The input type: port 22 ('8' 3 [3] bit 1), the three step channels, then port
        // 23 from the blanking time, or the reset.
        {"parallel input",
         1,
         1,
         {F("38 03 FF 07 38 00 03 00 00 41"), readHigh, records678, F("38 03 FF 03 38 00 03 00 00 3D"), readHigh}},
        {"clock input",
         1,
         0,
         {F("38 03 FF 01 38 00 03 00 00 3B"), readHigh, records678, F("38 03 FF 05 38 00 03 00 00 3F"), readHigh}},
        // Only stored: the excitation waits for a run.
        {"excitation", 12, 1, {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        Change(*page, step.kind, 0, step.value);
        ExpectFrames(r.Take(), step.frames);
        EXPECT_EQ(store.GetValue(step.kind), step.value);
        if (step.kind == 1) {
            EXPECT_EQ(page->FindControl(39, 0)->isShown(), step.value == 1);
        }
        if (step.kind == 1 && step.value == 1) SaveScreenshots(*page, "stepper_page_tab_parallel");
    }
    EXPECT_EQ((std::tuple{r.sim.sim.portLevel(12), r.sim.sim.portLevel(8), r.sim.sim.portLevel(10)}),
              (std::tuple{false, false, true}));
    EXPECT_TRUE(r.sim.sim.portLevel(23));
    EXPECT_EQ(store.GetValue(20), 0u);  // switching back started nothing

    // The count refuses 0 with the message and puts 8 back.
    {
        Dialogs boxes;
        boxes.answerBox(gui::id::Ok);
        Change(*page, 25, 0, 24);  // "Other ...", "Auto": the count is usable
        Change(*page, 27, 0, 0);
        Change(*page, 26, 0, 0);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, QString("Please specify a value between 1 and 65535"));
        EXPECT_EQ((std::tuple{boxes.boxes()[0].caption, store.GetValue(26)}),
                  (std::tuple{QString("Parameter Error"), 8u}));
    }

    // Recording: a chosen file enables the switch; a file that cannot be opened gives
    // the message, and the switch and its word go back to off.
    {
        TempDir dir;
        Dialogs boxes;
        boxes.answerFile(QString::fromStdString((dir.path() / "missing" / "speed.csv").string()));
        CDerivedControl* record = page->FindControl(51, 0);
        ASSERT_TRUE(record);
        page->send(gui::msg::Command, gui::makeWParam(pagemenu::kExportSpeedGraph, 0), 0);
        EXPECT_TRUE(record->isEnabled());
        boxes.answerBox(gui::id::Ok);
        Change(*page, 51, 0, 1);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        const gui::MessageBoxRequest& box = boxes.boxes()[0];
        EXPECT_EQ(box.text, QString("Failed to open the file(%1).\nThe specified file has already opened by other "
                                    "application.\nTry after the end of the application during operations.")
                                .arg(QString::fromStdString(page->GetRecordFile()->GetDisplayName())));
        EXPECT_EQ((std::tuple{box.caption, box.icon, store.GetValue(51)}),
                  (std::tuple{QString("File open error"), gui::MessageIcon::Error, 0u}));
        EXPECT_EQ(record->GetValue(), 0u);
    }
}

// The chip enabled, the page closed from its menu and the model chosen again: the board's
// defaults disable the chip, and the reopened page's restore enables it again after them,
// so its button says what the board has and the first click acts.
TEST(StepperPage, AReopenedPageSendsItsStoredChipEnableAfterTheDefaultsAndShowsWhatTheBoardHas) {
    StepperRig r;
    CDeviceDialog_Stepper* page = OpenQuiet(r, 0x100, nullptr);
    ASSERT_NE(page, nullptr);
    Change(*page, 0, 0, 1);
    r.Take();
    ASSERT_TRUE(r.sim.sim.portLevel(31));
    page->send(gui::msg::Command, gui::makeWParam(pagemenu::kCloseWindow, 0), 0);
    ASSERT_TRUE(guitest::waitFor([&] { return !page->isShown(); }, 5000));
    r.Take();

    std::vector<Bytes> opening;
    page = OpenQuiet(r, 0x100, &opening);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ChipEnableAfterDefaults(opening), "high") << ::testing::PrintToString(Names(opening));
    EXPECT_EQ((std::tuple{r.sim.sim.portLevel(31), page->FindControl(0, 0)->text().toStdString()}),
              (std::tuple{true, std::string("Disable")}));
}

TEST(StepperPage, TheSerialChipsSettingsWaitForSendAndGoOutInOneFrame) {
    StepperRig r;
    CDeviceDialog_Stepper* page = OpenQuiet(r, 0x105, nullptr);
    ASSERT_NE(page, nullptr);
    Change(*page, 0, 0, 1);  // chip enable: "Send" usable
    r.Take();
    ASSERT_TRUE(page->FindControl(68, 0));
    ASSERT_TRUE(page->FindControl(68, 0)->isEnabled());

    // The settings are only stored...
    const std::pair<std::uint32_t, std::uint32_t> settings[] = {{59, 5}, {65, 1}, {58, 3}, {60, 2}, {62, 1},
                                                                {61, 1}, {67, 2}, {63, 3}, {64, 1}};
    for (auto [kind, value] : settings) {
        Change(*page, kind, 0, value);
        EXPECT_TRUE(r.Take().empty()) << kind;
    }
    // ...until "Send": 'S', length 4, then each byte with its address in bits 0-1.
    // 0: excitation 5 in bits 2-5, EMO in bit 7; 1: attenuation 3 in 2-4, decay 2 in
    // 5-6, step detection in 7; 2: blanking 1, through-current 2, chopping 3 in pairs
    // from bit 2; 3: over-current "ON_Auto" as code 2 in bits 2-3.
    Change(*page, 68, 0, 0);
    ExpectFrames(r.Take(), {F("53 04 94 CD E6 0B")});
    // Words too wide for their field (a damaged file) are masked; an unknown code is 0.
    r.rig.data.SetValue(59, 0x1F);
    r.rig.data.SetValue(64, 7);
    Change(*page, 68, 0, 0);
    ExpectFrames(r.Take(), {F("53 04 BC CD E6 03")});
}

TEST(StepperPage, PollingAndAClockInRunFromStartToClose) {
    StepperRig r;
    // Polling (on once shown): REF read at 1.0006 V, inputs 2 and 3 low.
    r.sim.sim.setAdc(0, 1242);
    r.sim.sim.setInputPort(19, false), r.sim.sim.setInputPort(20, false);
    CDeviceDialog_Stepper* page = r.Open(0x100);
    ASSERT_NE(page, nullptr);
    IDataContainer& store = r.rig.data;
    Change(*page, 7, 0, 220);  // 0.22 ohm: Iout 1.0006 / 5 / 0.22
    ASSERT_TRUE(guitest::waitFor([&] { return store.GetValue(8) == 909u; }, 5000));
    // Lamps: 45 input 3, 46 input 2, 47 both, 49 input 1.
    EXPECT_EQ((std::tuple{store.GetValue(45), store.GetValue(46), store.GetValue(47), store.GetValue(49)}),
              (std::tuple{1u, 1u, 1u, 1u}));
    Change(*page, 54, 0, 0);
    const auto enabled = [&](std::uint32_t kind) { return page->FindControl(kind, 0)->isEnabled(); };
    Change(*page, 10, 0, 7);  // 100 to 1000 pps
    Change(*page, 11, 0, 1);  // over half a second
    Change(*page, 20, 0, 1);
    auto* run = page->Run();
    ASSERT_TRUE(guitest::waitFor([&] { return run->TopReached(); }, 10000));
    EXPECT_EQ((std::tuple{enabled(21), enabled(23)}), (std::tuple{true, false}));  // "Clock", not "Update"
    // The direction turned at the top offers "Update"; turned back, "Clock" again.
    const std::uint32_t direction = store.GetValue(13);
    Change(*page, 13, 0, direction ^ 1u);
    EXPECT_EQ((std::tuple{enabled(21), enabled(23)}), (std::tuple{false, true}));
    Change(*page, 13, 0, direction);
    EXPECT_EQ((std::tuple{enabled(21), enabled(23)}), (std::tuple{true, false}));

    // A new top chosen at the top: "Update" is offered, and "Stop" ramps down from the
    // top reached.
    Change(*page, 10, 0, 20);
    EXPECT_EQ((std::tuple{enabled(21), enabled(23)}), (std::tuple{false, true}));
    Change(*page, 20, 0, 0);
    EXPECT_EQ(run->CurrentFrequency(), 1000);
    ASSERT_TRUE(guitest::waitFor([&] { return run->ClockStopped(); }, 10000));
    // The clock off: channel 8 at 100 Hz (exponent 5, period 3750) and 100 % duty
    // (compare 3750 in [15], [16]).
    const Bytes clockOff = F("38 02 00 00 FF FF 00 00 05 A6 0E 00 00 00 00 A6 0E 00 00 00 55 04 C4");
    std::vector<Bytes> frames = r.Take();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(Hex(frames.back()), Hex(clockOff));

    // A page that closes, or goes, while its clock runs switches it off at once.
    Change(*page, 11, 0, 0);  // at once
    for (bool close : {true, false}) {
        Change(*page, 20, 0, 1);
        ASSERT_TRUE(run->TopReached());
        r.Take();
        if (close) {
            page->send(gui::msg::Close, 0, 0);
            ExpectFrames(r.Take(), {clockOff});
        } else {
            ASSERT_TRUE(r.rig.ChooseDriverNamed(ModelName(0x101)));  // the page is destroyed
            frames = r.Take();
            EXPECT_NE(std::find(frames.begin(), frames.end(), clockOff), frames.end());
        }
        EXPECT_EQ(store.GetValue(20), 0u);
    }
}

TEST(StepperPage, RowLocksAndADemoThatLocksWhatItPlaysAndKeepsTheRows) {
    StepperRig r;
    CDeviceDialog_Stepper* page = OpenQuiet(r, 0x10A, nullptr);
    ASSERT_NE(page, nullptr);
    IDataContainer& store = r.rig.data;
    const auto enabled = [&](std::uint32_t kind, std::uint32_t index) {
        CDerivedControl* c = page->FindControl(kind, index);
        return c != nullptr && c->isEnabled();
    };
    EXPECT_FALSE(enabled(51, 0));  // until a file is chosen
    // "Fixed" plays row 0 only: its check is locked, every other row whole.
    Change(*page, 3, 0, 0);
    SaveScreenshots(*page, "stepper_page_parallel_fixed");
    for (std::uint32_t kind = 31; kind <= 38; ++kind) {
        EXPECT_EQ((std::tuple{enabled(kind, 0), enabled(kind, 2), enabled(kind, 3)}),
                  (std::tuple{false, kind == 31, kind == 31}))
            << kind;
    }
    const std::uint32_t second = store.GetValue(32);
    guitest::userClick(*page->FindControl(32, 0));  // a click on a locked row changes nothing
    EXPECT_EQ((std::tuple{store.GetValue(32), page->FindControl(32, 0)->GetValue(), enabled(32, 0)}),
              (std::tuple{second, second >> 31, false}));
    Change(*page, 27, 0, 1);  // "Stop Button" in "Fixed": no transfer time
    EXPECT_FALSE(enabled(25, 0));
    Change(*page, 3, 0, 1);  // "Sequence": both, and "Repeat"
    EXPECT_EQ((std::tuple{enabled(25, 0), enabled(29, 0)}), (std::tuple{true, true}));
    std::vector<std::uint32_t> rows;
    for (int w = 31; w <= 38; ++w) rows.push_back(store.GetValue(w));
    r.Take();

    // A sequence file in the current folder plays; a line it refuses is named.
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "sequence");
    std::ofstream(dir.path() / "sequence" / "Demomode_Sequence_Stepper.csv")
        << "Enable,REF,ATT,Mode,Frequency,Direction,Time,Unit\n"
           "H,1.0,80,Full,200,CW,1,Sec\n"
           "H,1.0,90,Full,200,CW,1,Sec\n"
           "H,2.0,50,Half,400,CCW,1,Sec\n";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    {
        Dialogs boxes;
        boxes.answerBox(gui::id::Ok);
        Change(*page, 41, 0, 1);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_TRUE(boxes.boxes()[0].text.contains("line 3: attenuation \"90\""))
            << boxes.boxes()[0].text.toStdString();
    }
    std::filesystem::current_path(previous);
    EXPECT_EQ(page->Run()->Source(), pages::stepper::StepSource::FileDemo);
    // What the demo plays is locked; the row words stay the user's.
    for (std::uint32_t kind : {0u, 3u, 24u, 25u, 27u, 31u, 39u, 40u}) EXPECT_FALSE(enabled(kind, 0)) << kind;
    EXPECT_FALSE(enabled(31, 2));
    for (int w = 31; w <= 38; ++w) EXPECT_EQ(store.GetValue(w), rows[static_cast<std::size_t>(w - 31)]) << w;
    // The first step's attenuation (80 %: code 1).
    EXPECT_EQ((std::tuple{store.GetValue(6), r.sim.sim.portLevel(8), r.sim.sim.portLevel(10)}),
              (std::tuple{1u, true, false}));
    // A tick of an earlier arming (still queued when the next step was armed) is dropped.
    const std::uintptr_t first = page->ArmedTick();
    ASSERT_NE(first, 0u);
    ASSERT_TRUE(guitest::waitFor([&] { return page->Run()->ActiveRow() == 1; }, 5000));
    ASSERT_NE(page->ArmedTick(), first);
    page->send(gui::msg::RunRampTick, first, 0);
    EXPECT_EQ(page->Run()->ActiveRow(), 1);

    // Parameters loaded during the demo end it: "Demo" off, the controls back.
    page->RestoreDeviceData();
    ASSERT_TRUE(guitest::waitFor([&] { return !page->BoardSetUpPending(); }, 5000));  // the board set up again
    EXPECT_EQ((std::tuple{store.GetValue(41), page->FindControl(41, 0)->GetValue(), page->Run()->DemoRunning()}),
              (std::tuple{0u, 0u, false}));
    EXPECT_EQ((std::tuple{enabled(3, 0), enabled(24, 0), enabled(31, 0)}), (std::tuple{true, true, true}));
    for (int w = 31; w <= 38; ++w)
        EXPECT_EQ(page->FindControl(static_cast<std::uint32_t>(w), 0)->GetValue(),
                  rows[static_cast<std::size_t>(w - 31)] >> 31)
            << w;
}

TEST(StepperPage, ADemoStartsWithoutMessagesButNotOnAPageDestroyedUnderThem) {
    StepperRig r;
    CDeviceDialog_Stepper* page = OpenQuiet(r, 0x10A, nullptr);
    ASSERT_NE(page, nullptr);
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "sequence");
    const auto file = dir.path() / "sequence" / "Demomode_Sequence_Stepper.csv";
    const std::string header = "Enable,REF,ATT,Mode,Frequency,Direction,Time,Unit\n",
                      good = "H,1.0,80,Full,200,CW,1,Sec\n";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::ofstream(file) << header << good;
    {
        Dialogs boxes;  // nothing to say: no box, and the demo plays
        Change(*page, 41, 0, 1);
        EXPECT_EQ((std::tuple{boxes.boxes().size(), page->Run()->DemoRunning()}), (std::tuple{std::size_t{0}, true}));
        Change(*page, 41, 0, 0);
    }
    std::ofstream(file) << header << "H,1.0,90,Full,200,CW,1,Sec\n" << good;  // a refused line: the box
    // The page's window goes while the box's loop runs, as when the board is unplugged.
    gui::setMessageBoxProvider(nullptr);
    const auto destroyUnderBox =
        guitest::whenReady([] { return guitest::shownDialog<QMessageBox>() != nullptr; }, [&] { page->destroy(); });
    const auto watchdog = guitest::dialogWatchdog();
    Change(*page, 41, 0, 1);
    UnexpectedDialogs::Install();
    std::filesystem::current_path(previous);
    ASSERT_TRUE(page->IsDestroyed());
    // Its runs ended at the destroy; the demo never started after it.
    EXPECT_EQ((std::tuple{page->Run()->DemoRunning(), page->ArmedTick()}), (std::tuple{false, std::uintptr_t{0}}));
}
