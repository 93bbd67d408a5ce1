// Both lens pages through the real main window against the board simulator: each opens
// with its title and the channel-8 start, each kind of change gives its frames (ports,
// the trigger pulse, the I2C block, the output pairs, the lens drive's start and stop),
// each relation kind acts on its destinations; and as a user meets it in the program's
// own loop.
//
// I2C frames: 'I', the slave address shifted left (0x72: e4), then the request bytes
// (data length, first register, the registers' bytes). Output frames: 'O', e0 + channel,
// the value (low byte first), the byte, their sum.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "PageRigSupport.h"
#include "surfacepage/LensPage.h"
#include "ui/EditControl.h"
#include "ui/FloatDialog.h"

using namespace apptest;

namespace {

using LensRig = PageRig<CDeviceDialog_Lens>;

// Channel 8 at half duty: prescaler exponent 5, period 3750 (a6 0e), compare 1875 (53 07).
const Bytes kChannel8 = F("38 02 00 00 ff ff 00 00 05 a6 0e 00 00 00 00 53 07 00 00 00 55 00 66");
// Port 31 (chip enable) high, with the other lines of the second controller as set up.
const Bytes kChipOn = F("38 03 ff 01 38 20 03 00 00 5b");
const Bytes kReadHigh = F("38 13");

struct LensPageRig {
    // The model's page, opened through the main window: built without a problem, titled
    // by the connection, its opening ending with its own frame, the channel-8 start.
    CDeviceDialog_Lens* Open(std::uint32_t key) {
        std::vector<Bytes> opening;
        CDeviceDialog_Lens* page = r.OpenQuiet(key, &opening, {});
        if (page == nullptr) return nullptr;
        EXPECT_EQ(page->SurfaceProblems(), std::vector<std::string>{});
        EXPECT_EQ(opening.empty() ? std::string() : Hex(opening.back()), Hex(kChannel8));
        EXPECT_EQ(page->text(), QString::fromStdString(ModelName(key)) + " Controller (USB Connected)");
        return page;
    }
    CDerivedControl* At(CDeviceDialog_Lens& page, std::uint32_t id) {
        CDerivedControl* c = page.FindControlByKey(id);
        EXPECT_NE(c, nullptr) << "control " << id;
        return c;
    }
    // A change as the control reports it; the frames it sent.
    std::vector<Bytes> Change(CDeviceDialog_Lens& page, std::uint32_t id, std::uint32_t value) {
        if (CDerivedControl* c = At(page, id)) {
            c->SetValue(value);
            c->NotifyParent();
        }
        return r.Take();
    }
    // The words of the selected block, then the page shown again as after a loaded set:
    // the board is set up again, and no output pair is driven (the buttons that own the
    // frequency and stop relations hold words too).
    void Load(CDeviceDialog_Lens& page, std::initializer_list<std::pair<int, std::uint32_t>> words) {
        for (const auto& [word, value] : words) r.rig.data.SetValue(word, value);
        page.send(gui::msg::ReapplyDeviceData, 0, 0);
        const std::vector<std::string> names = Names(r.Take());
        EXPECT_EQ(std::count(names.begin(), names.end(), "O"), 0);
        EXPECT_NE(std::count(names.begin(), names.end(), "C"), 0) << "the board set up again";
    }

    LensRig r;
};

struct Step {
    const char* what;
    std::uint32_t id, value;
    std::vector<Bytes> frames;
};

}  // namespace

TEST(LensPage, TheFirstDriversChangesGiveTheirFramesAndItsRelationsActOnTheirDestinations) {
    LensPageRig t;
    CDeviceDialog_Lens* page = t.Open(0x400);
    ASSERT_NE(page, nullptr);
    // The title follows the connection as the main window reports it.
    page->send(gui::msg::ConnectionState, 0);
    EXPECT_EQ(page->text(), "KT3532 Controller (USB Disconnected)");
    page->send(gui::msg::ConnectionState, 1);
    EXPECT_EQ(page->text(), "KT3532 Controller (USB Connected)");

    t.Load(*page, {{0, 0}, {1, 10}, {2, 500}, {3, 20}, {4, 1000}, {6, 1110010}, {10, 0}, {11, 0}, {12, 0}, {13, 0}, {20, 0}, {21, 0}});
    CFloatDialog* floating = page->GetFloatingDialog();
    ASSERT_NE(floating, nullptr);
    CDerivedControl* driveChannel = t.At(*page, 2002);
    EXPECT_TRUE(driveChannel->isEnabled()) << "chip enable off: \"1\"";

    const Step steps[] = {
        {"chip enable", 1002, 1, {kChipOn, kReadHigh}},
        {"FR1 output", 1033, 1, {F("38 03 ff 01 38 28 03 00 00 63"), kReadHigh}},
        // A register control only changes its image: 15 - 3 in bits 0-3, and the other
        // controls of word 10 write theirs, so bit 6 (set by the hidden label at the
        // refresh) is "Reset" (0) as shown. "Send" sends registers 0 to 3.
        {"reference voltage", 1009, 3, {}},
        {"Send", 1087, 1, {F("49 e4 04 00 0c 4f 00 00")}},
        {"range 02h", 1075, 3, {}},
        {"Send 02h", 1087, 1, {F("49 e4 01 02 00")}},
        // Pair 0: frequency setting 10 (word 1), 500 pulses (word 2); then its stop.
        {"Set Freq / Count 1 - 2", 1031, 1, {F("4f e1 00 00 00 00"), F("4f e3 00 00 0a 0a"), F("4f e0 f4 01 01 f6")}},
        {"STOP 1 - 2", 1061, 1, {F("4f e1 00 00 00 00")}},
        // Pair 1: the pair bit in the value's top bit and the byte's; 20 (word 3), 1000 (word 4).
        {"Set Freq / Count 3 - 4", 1058, 1, {F("4f e1 00 80 00 80"), F("4f e3 00 00 94 94"), F("4f e0 e8 83 01 6c")}},
        {"STOP 3 - 4", 1062, 1, {F("4f e1 00 80 00 80")}},
        // The lens drive: registers 0 and 1 from words 0 and 1 with mode 3 (word 20, which
        // the range choice stored) to start, register 1 and mode 1 (word 21, which the
        // STOP button stored) to stop.
        {"lens sequence", 2013, 1, {F("49 e4 04 00 00 01 0a 1b"), F("49 e4 02 01 0a 19")}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        ExpectFrames(t.Change(*page, step.id, step.value), step.frames);
    }
    // The binary label of register 0 shows the register's nibble as the chip takes it.
    EXPECT_EQ(t.At(*page, 1078)->text(), "00001100");
    // "enable_state": both owners of id 1 are on, so the drive channel choice is off.
    EXPECT_FALSE(driveChannel->isEnabled());
    t.Change(*page, 2013, 0);
    EXPECT_TRUE(driveChannel->isEnabled());
    SaveScreenshots(*page, "lens_page_0x400");

    // "hide_window": Exit hides the page and its floating window.
    floating->show();
    EXPECT_TRUE(t.Change(*page, 1006, 1).empty());
    EXPECT_EQ((std::tuple{page->isShown(), floating->isShown()}), (std::tuple{false, false}));
}

TEST(LensPage, TheSecondDriversChangesGiveTheirFramesAndItsRelationsActOnTheirDestinations) {
    LensPageRig t;
    CDeviceDialog_Lens* page = t.Open(0x401);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Controls().size(), 62u);

    // Register 1 with bits 4 and 5 set ("Free"), which the lens drive turns into "10 msec".
    t.Load(*page, {{0, 0}, {1, 0x35}, {2, 1}, {3, 0}, {5, 0}, {6, 1110010}, {7, 0}, {8, 0}, {20, 2}, {21, 5}});
    const auto shown = [&](std::initializer_list<std::uint32_t> ids) {
        std::vector<int> out;
        for (std::uint32_t id : ids) out.push_back(t.At(*page, id)->isEnabled() * 2 + t.At(*page, id)->isShown());
        return out;
    };
    // "enable_state" of the chip enable check (0: "0"): Option and both SEND off; the
    // lens drive's SEND hidden ("visible_state" of "Off").
    EXPECT_EQ(shown({1027, 1049, 1050}), (std::vector<int>{1, 1, 0}));

    const Step steps[] = {
        {"chip enable", 1002, 1, {kChipOn, kReadHigh}},
        // The width goes into port 25's record unsent; the trigger "Send" pulses with it.
        {"trigger width", 1005, 10, {}},
        {"trigger Send", 1007, 1, {F("38 06 0a 04 0e")}},
        // 512 in bits 6-15 of the 16-bit register 0; "OUT2-4" (word 2) writes register
        // 2's mode bits, which the floating window's modes (words 20 and 21) name too
        // but leave to the page: the image takes this change, not those words.
        {"auto focus output", 1010, 512, {}},
        {"OUT2-4", 1026, 3, {}},
        {"SEND", 1049, 1, {F("49 e4 04 00 80 00 35 03")}},
        {"range 01h", 1044, 2, {}},
        {"SEND 01h", 1049, 1, {F("49 e4 01 01 35")}},
        {"current step", 1014, 3, {}},
        {"continuous operation On", 2002, 1, {}},
        // Register 0 = 0x8018 (current step 3 in bits 3-5), register 1 without "Free",
        // mode 2 | 0x18 to start; register 1 as it is and mode 5 | 0x18 to stop.
        {"lens drive SEND", 1050, 1, {F("49 e4 04 00 80 18 05 1a"), F("49 e4 02 01 35 1d")}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        ExpectFrames(t.Change(*page, step.id, step.value), step.frames);
    }
    // "description": the step time list follows the current step's index.
    auto* stepTime = dynamic_cast<gui::ComboBox*>(t.At(*page, 1017));
    ASSERT_NE(stepTime, nullptr);
    EXPECT_EQ((std::tuple{stepTime->count(), stepTime->itemText(1).value_or(""), stepTime->itemText(7).value_or("")}),
              (std::tuple{8, QString("0.256"), QString("16.384")}));
    // "enable_state" and "visible_state" of the continuous operation: On enables the
    // floating window's modes and wait, disables the single-mode controls, and shows
    // the lens drive's SEND in place of the I2C one.
    EXPECT_EQ(shown({1005, 1007, 1026, 1029, 1031, 2004, 2007, 2009, 1049, 1050}),
              (std::vector<int>{1, 1, 1, 1, 1, 3, 3, 3, 2, 3}));
    t.Change(*page, 2001, 0);
    EXPECT_EQ(shown({1005, 1007, 1026, 1029, 1031, 2004, 2007, 2009, 1049, 1050}),
              (std::vector<int>{3, 3, 3, 3, 3, 1, 1, 1, 3, 2}));
    SaveScreenshots(*page, "lens_page_0x401");

    // "show_window": Option shows the continuous-operation window; "hide_window": Exit
    // hides it and the page.
    CFloatDialog* floating = page->GetFloatingDialog();
    ASSERT_NE(floating, nullptr);
    EXPECT_FALSE(floating->isShown());
    t.Change(*page, 1027, 1);
    EXPECT_TRUE(floating->isShown());
    t.Change(*page, 2002, 1);
    guitest::settle();
    EXPECT_TRUE(floating->widget()->grab().save(QString(TAMSIRO_SCREENSHOT_DIR "/lens_page_0x401_option.png")));
    t.Change(*page, 1051, 1);
    EXPECT_EQ((std::tuple{page->isShown(), floating->isShown()}), (std::tuple{false, false}));
}

TEST(LensPage, AsAUserMeetsItInTheProgramsOwnLoop) {
    TempDir dir;
    SimLink sim;
    ASSERT_TRUE(sim.started);
    Dialogs dialogs;
    dialogs.answerBox(gui::id::No);  // the first driver's firmware question
    bool worked = false;
    // The frames of one kind sent since the last call.
    const auto sent = [&](std::uint8_t letter, std::size_t count) {
        std::vector<std::string> out;
        guitest::waitFor([&] {
            std::size_t n = 0;
            for (const Bytes& f : sim.Frames()) n += f[0] == letter;
            return n >= count;
        }, 5000);
        for (const Bytes& f : sim.Frames())
            if (f[0] == letter) out.push_back(Hex(f));
        sim.sim.clearFrames();
        return out;
    };
    const auto inside = [&](CQuillfenDlg& w) {
        auto* page = ChooseByKeys<CDeviceDialog_Lens>(w, 4, ModelName(0x400));  // "Lens", then the model
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(guitest::waitFor([&] { return page->isShown(); }, 5000));
        EXPECT_EQ(page->text(), "KT3532 Controller (USB Connected)");
        IDataContainer& store = *appServices().data;
        store.SetValue(1, 10);
        store.SetValue(2, 500);
        EXPECT_TRUE(guitest::waitFor([&] { return !sim.Frames().empty() && sim.Frames().back() == kChannel8; }, 5000));
        sim.sim.clearFrames();

        // "Excitation Direction" walked to "CCW" with the keys: bit 4 of register 0,
        // which "Send" then carries (registers 0 to 3 after the hidden labels' bit 6).
        CDerivedControl* direction = page->FindControlByKey(1013);
        guitest::focusForKeys(*direction);
        guitest::userKey(*direction, Qt::Key_Down);
        EXPECT_EQ(store.GetValue(10) >> 4 & 1u, 1u);
        guitest::userClick(*page->FindControlByKey(1087));
        const std::vector<std::string> i2c = sent('I', 1);
        ASSERT_EQ(i2c.size(), 1u);
        EXPECT_EQ(QByteArray::fromHex(QByteArray::fromStdString(i2c[0]))[4] & 0x10, 0x10) << i2c[0];
        // "Set Freq / Count" of the first pair: its three output frames.
        guitest::userClick(*page->FindControlByKey(1031));
        EXPECT_EQ(sent('O', 3), (std::vector<std::string>{"4f e1 00 00 00 00", "4f e3 00 00 0a 0a", "4f e0 f4 01 01 f6"}));
        // "Exit" hides the page; the driver lists are free again.
        guitest::userClick(*page->FindControlByKey(1006));
        EXPECT_TRUE(guitest::waitFor([&] { return !page->isShown(); }, 5000));
        EXPECT_TRUE(w.itemAs<gui::ComboBox>(mainwin::kDriverList)->isEnabled());

        // The second driver, chosen the same way: its own surface.
        page = ChooseByKeys<CDeviceDialog_Lens>(w, 4, ModelName(0x401));
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(guitest::waitFor([&] { return page->isShown(); }, 5000));
        EXPECT_EQ((std::tuple{page->text(), page->Controls().size()}),
                  (std::tuple{QString("KT3543 Controller (USB Connected)"), std::size_t{62}}));
        store.SetValue(8, 0);  // no wait between the drive and its stop
        // The opening's frames end with the channel-8 start, the last of its set-up (the
        // keys may have passed the first driver's page, whose start can come later than
        // the defaults of this one).
        EXPECT_TRUE(guitest::waitFor(
            [&] { return !page->BoardSetUpPending() && !sim.Frames().empty() && sim.Frames().back() == kChannel8; },
            5000));
        sim.sim.clearFrames();
        // Chip enable on, "Option", continuous operation "On": the lens drive's SEND.
        guitest::userClick(*page->FindControlByKey(1002));
        EXPECT_EQ(sent('8', 2), (std::vector<std::string>{Hex(kChipOn), Hex(kReadHigh)}));
        guitest::userClick(*page->FindControlByKey(1027));
        CFloatDialog* floating = page->GetFloatingDialog();
        ASSERT_TRUE(floating != nullptr && guitest::waitFor([&] { return floating->isShown(); }, 5000));
        guitest::userClick(*page->FindControlByKey(2002));
        CDerivedControl* lensSend = page->FindControlByKey(1050);
        ASSERT_TRUE(guitest::waitFor([&] { return lensSend->isShown() && lensSend->isEnabled(); }, 5000));
        // The first mode walked down once with the keys: "OUT2 -> OUT3" (1) while driving.
        CDerivedControl* firstMode = page->FindControlByKey(2004);
        guitest::focusForKeys(*firstMode);
        guitest::userKey(*firstMode, Qt::Key_Down);
        EXPECT_EQ(store.GetValue(20) & 7u, 1u);
        guitest::userClick(*lensSend);
        const std::vector<std::string> drive = sent('I', 2);
        ASSERT_EQ(drive.size(), 2u);
        EXPECT_EQ(drive[0].substr(drive[0].size() - 2), "19") << "mode 1 with the output on, by I2C";
        EXPECT_EQ(drive[1].substr(0, 11), "49 e4 02 01") << "the stop: register 1 on";
        // "Exit" hides the floating window and the page.
        guitest::userClick(*page->FindControlByKey(1051));
        EXPECT_TRUE(guitest::waitFor([&] { return !page->isShown() && !floating->isShown(); }, 5000));
        worked = true;

        dialogs.answerBox(gui::id::No);
        w.send(gui::msg::Command, gui::makeWParam(mainwin::kExitApplication, gui::notify::ButtonClicked), 0);
    };
    CQuillfenApp app(Options(dir.path(), false, inside, sim.path()));
    EXPECT_EQ((std::tuple{app.InitInstance(), worked}), (std::tuple{0, true}));
}

namespace {
std::vector<Bytes> Outputs(const std::vector<Bytes>& frames) {
    std::vector<Bytes> out;
    std::copy_if(frames.begin(), frames.end(), std::back_inserter(out), [](const Bytes& f) { return f[0] == 'O'; });
    return out;
}
}  // namespace

// A refresh drives no output pair and leaves none running: a loaded set or a rollback
// stops the pair the page started (a continuous count keeps it going otherwise). A
// frequency typed into "CLK1 Frequency" is stored and sent as its step of the table.
TEST(LensPage, TheFirstDriversRefreshStopsARunningPairAndATypedFrequencyGoesOutAsItsStep) {
    LensPageRig t;
    CDeviceDialog_Lens* page = t.Open(0x400);
    ASSERT_NE(page, nullptr);
    t.Load(*page, {{1, 10}, {2, 0x7FFF}, {3, 20}, {4, 0x7FFF}});

    const Bytes kStopPair0 = F("4f e1 00 00 00 00"), kStopPair1 = F("4f e1 00 80 00 80");
    EXPECT_EQ(Outputs(t.Change(*page, 1031, 1)).size(), 3u) << "pair 0 runs";
    page->send(gui::msg::ReapplyDeviceData, 0, 0);
    ExpectFrames(Outputs(t.r.Take()), {kStopPair0});
    t.Load(*page, {});  // stopped already: nothing more

    EXPECT_EQ(Outputs(t.Change(*page, 1058, 1)).size(), 3u) << "pair 1 runs";
    page->send(gui::msg::Command, gui::makeWParam(pagemenu::kRollback, 0), 0);
    ExpectFrames(Outputs(t.r.Take()), {kStopPair1});
    t.Load(*page, {{2, 500}});

    // 1500 Hz is step 11: the edit shows 1500, the slider 11, and the pair is sent 11.
    auto* edit = dynamic_cast<CDerivedEdit*>(t.At(*page, 1025));
    ASSERT_NE(edit, nullptr);
    guitest::focusForKeys(*edit);
    edit->setText("1500");
    guitest::userKey(*edit, Qt::Key_Return);
    EXPECT_EQ((std::tuple{edit->text().toStdString(), t.At(*page, 1027)->GetValue(), t.r.rig.data.GetValue(1)}),
              (std::tuple{std::string("1500"), 11u, 11u}));
    ExpectFrames(t.Change(*page, 1031, 1), {F("4f e1 00 00 00 00"), F("4f e3 00 00 0b 0b"), F("4f e0 f4 01 01 f6")});

    // File > "Close window" with pair 0 running: the close stops it.
    page->send(gui::msg::Command, gui::makeWParam(pagemenu::kCloseWindow, 0), 0);
    ASSERT_TRUE(guitest::waitFor([&] { return !page->isShown(); }, 5000));
    ExpectFrames(Outputs(t.r.Take()), {kStopPair0});
}

// After a refresh the page sends what it shows: register 2's mode is that of "OUT2-4"
// (the floating window's modes are the lens drive's words), and "Step Time" lists the
// times of the "Current Step" shown.
TEST(LensPage, AfterTheSecondDriversRefreshSendAndStepTimeFollowWhatThePageShows) {
    LensPageRig t;
    CDeviceDialog_Lens* page = t.Open(0x401);
    ASSERT_NE(page, nullptr);
    IDataContainer& store = t.r.rig.data;
    const auto registers = [&] {
        const std::uint32_t r0 = store.GetValue(0) & 0xFFFF;
        return Bytes{'I', 0xE4, 4, 0, static_cast<std::uint8_t>(r0 >> 8), static_cast<std::uint8_t>(r0 & 0xFF),
                     static_cast<std::uint8_t>(store.GetValue(1) & 0xFF), static_cast<std::uint8_t>(store.GetValue(2) & 0xFF)};
    };
    ExpectFrames(t.Change(*page, 1002, 1), {kChipOn, kReadHigh});
    EXPECT_NE(store.GetValue(2) & 7u, store.GetValue(21) & 7u) << "the opening's words must tell the modes apart";
    ExpectFrames(t.Change(*page, 1049, 1), {registers()});
    EXPECT_EQ(t.At(*page, 1026)->GetValue(), store.GetValue(2) & 7u);

    t.Load(*page, {{0, 3u << 3}, {1, 0x35}, {2, 0x19}, {3, 1}, {5, 0}, {6, 1110010}, {20, 2}, {21, 5}});
    ExpectFrames(t.Change(*page, 1049, 1), {F("49 e4 04 00 00 18 35 19")});
    EXPECT_EQ(t.At(*page, 1026)->GetValue(), 1u);
    // A mode chosen for the lens drive stays its own: back in single mode, "SEND"
    // still writes the mode "OUT2-4" shows.
    t.Change(*page, 2002, 1);
    EXPECT_TRUE(t.Change(*page, 2004, 6).empty());
    t.Change(*page, 2001, 0);
    ExpectFrames(t.Change(*page, 1049, 1), {F("49 e4 04 00 00 18 35 19")});
    EXPECT_EQ(store.GetValue(20), 6u);
    auto* stepTime = dynamic_cast<gui::ComboBox*>(t.At(*page, 1017));
    ASSERT_NE(stepTime, nullptr);
    EXPECT_EQ((std::tuple{stepTime->count(), stepTime->itemText(1).value_or("").toStdString(),
                          stepTime->itemText(7).value_or("").toStdString()}),
              (std::tuple{8, std::string("0.256"), std::string("16.384")}));
}

// The chip enabled, the board unplugged (the page goes) and plugged in again, the model
// chosen again: the board's defaults disable the chip, and the new page's refresh
// enables it again after them, so its check says what the board has.
TEST(LensPage, AfterAnUnplugAndReplugTheReopenedPageSendsItsStoredChipEnableAfterTheDefaults) {
    LensPageRig t;
    CDeviceDialog_Lens* page = t.Open(0x401);
    ASSERT_NE(page, nullptr);
    ExpectFrames(t.Change(*page, 1002, 1), {kChipOn, kReadHigh});

    t.r.sim.sim.unplug();
    ASSERT_TRUE(guitest::waitFor([&] { return t.r.rig.window->CurrentPage() == nullptr; }, 5000));
    guitest::settle();
    ASSERT_TRUE(t.r.sim.sim.replug());
    ASSERT_TRUE(guitest::waitFor([&] { return t.r.rig.window->count(gui::msg::TaskData) >= 4; }, 10000));
    std::vector<Bytes> opening;
    page = t.r.OpenQuiet(0x401, &opening, {});
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ChipEnableAfterDefaults(opening), "high") << ::testing::PrintToString(Names(opening));
    EXPECT_EQ((std::tuple{t.r.sim.sim.portLevel(31), t.At(*page, 1002)->text().toStdString()}),
              (std::tuple{true, std::string("Disable")}));
}
