// The page base: set-up, title, messages, page menu, control map, change reports, and
// destruction.
#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <map>

#include "PageTestSupport.h"
#include "data/FileTestSupport.h"
#include "platform/core/Debug.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/GuiTestSupport.h"
#include "tasks/Timer.h"
#include "ui/EditControl.h"
#include "ui/ExternFile.h"
#include "ui/SliderControl.h"
#include "ui/SpeedWindows.h"
#include "ui/Tachometer.h"

namespace {

using Page = uitest::SurfacePage;
using uitest::TestCheck;
using uitest::TestLabel;

class PageBase : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(owner.create(nullptr, 0, QRect(0, 0, 100, 100)));
        store.SetFileNameProvider(&names);
        store.SelectContainer(0x300);
        store.SetValue(7, 0);
        store.SetValue(8, 5);
    }
    void TearDown() override { guitest::settle(); }

    // Opens a page for `key` as the page selector does.
    void Open(Page& page, std::int32_t key = 0x300) {
        page.SetOwnerWindow(owner.handle());
        page.SetDeviceInfo(key, profile, QStringLiteral("TM4410"));
        ASSERT_TRUE(page.createModeless(nullptr));
    }
    gui::LResult Menu(Page& page, int id, std::uint16_t code = 0) {
        return page.send(gui::msg::Command, gui::makeWParam(static_cast<std::uint16_t>(id), code), 0);
    }
    // A top-level speed window handed to the page.
    gui::Window* GiveTachometer(Page& page) {
        auto tach = std::make_unique<gui::Window>();
        EXPECT_TRUE(tach->create(nullptr, 0, QRect(0, 0, 50, 50)));
        page.SetTachometer(std::move(tach));
        return page.Tachometer();
    }

    ScriptedNames names;
    CDerivedDataContainer store;
    uitest::RecordingQueue queue;
    uitest::ScopedServices services{&store, &queue};
    guitest::SpyWindow owner;
    std::uint16_t profile[128] = {0, 0, 0, 0x2010};
};

}  // namespace

TEST_F(PageBase, OpensWithItsServicesAndFollowsTheMainWindow) {
    store.SelectContainer(0x101);
    Page page(uitest::kTwoChecksSurface);
    EXPECT_EQ(page.GetProfileWord(0), 0u);
    Open(page);
    EXPECT_EQ(queue.calls, (std::vector<std::string>{"link", "store", "window"}));
    EXPECT_EQ((std::tuple{queue.window, queue.store}), (std::tuple{page.handle(), &store}));
    EXPECT_NE(page.GetStatusTimer(), nullptr);
    EXPECT_EQ((std::tuple{store.GetSelectedId(), page.GetProfileWord(3)}), (std::tuple{0x300, 0x2010u}));
    EXPECT_FALSE(page.isShown());

    // Records and profile slots outside their tables are refused.
    EXPECT_EQ((std::tuple{page.GetProfileWord(128), page.GetProfileWord(-1)}), (std::tuple{0u, 0u}));
    EXPECT_EQ((std::tuple{page.AdcSetting(11) != nullptr, page.InterruptSetting(5) != nullptr}),
              (std::tuple{true, true}));
    EXPECT_FALSE(page.PwmSetting(-1) || page.AdcSetting(12) || page.InterruptSetting(0) || page.InterruptSetting(6));

    // A loaded parameter set: the owner sets the board up again.
    EXPECT_EQ((std::tuple{page.send(gui::msg::ReapplyDeviceData), owner.count(gui::msg::ReinitialiseBoard)}),
              (std::tuple{1, 1}));
    // The title follows the connection; the name is no format; at most 259 characters.
    EXPECT_EQ(page.send(gui::msg::ConnectionState, static_cast<gui::WParam>(-1)), 1);
    EXPECT_EQ(page.text(), "TM4410 Controller (USB Disconnected)");
    page.SetDeviceInfo(0x300, profile, QStringLiteral("50%1 %s"));
    page.send(gui::msg::ConnectionState, 1);
    EXPECT_EQ(page.text(), "50%1 %s Controller (USB Connected)");
    page.SetDeviceInfo(0x300, profile, QString(400, QLatin1Char('x')));
    page.SetConnectionState(0);
    EXPECT_EQ(page.text().size(), 259);
}

// A surface reload runs the set-up again: no second timer or record file, records kept.
TEST_F(PageBase, SettingUpAgainKeepsTheTimerAndTheRecordFileAndDestroyingEndsThem) {
    TempDir dir;
    Page page(uitest::kTwoChecksSurface);
    page.PwmSetting(8)->value = 50.0;
    Open(page);
    ITimer* timer = page.GetStatusTimer();
    IExternFile* file = page.GetRecordFile();
    timer->Start(1000);
    ASSERT_TRUE(file->SetFileName(dir.file("speed.csv")));
    ASSERT_TRUE(file->StartRecord(0));
    page.PwmSetting(2)->flagB = 1;

    ASSERT_TRUE(page.onInitDialog());
    EXPECT_EQ((std::tuple{page.GetStatusTimer(), timer->IsRunning()}), (std::tuple{timer, 1u}));
    EXPECT_EQ((std::tuple{page.GetRecordFile(), static_cast<CDerivedExternFile*>(file)->IsRecording()}),
              (std::tuple{file, true}));
    EXPECT_EQ((std::tuple{page.PwmSetting(8)->value, page.PwmSetting(2)->flagB, queue.calls.size()}),
              (std::tuple{50.0, 1u, std::size_t{6}}));

    const gui::Handle speed = GiveTachometer(page)->handle();
    const gui::Handle checkWindow = page.FindControlByKey(1000)->handle();
    const gui::Handle self = page.handle();
    page.destroy();
    EXPECT_EQ((std::tuple{page.IsDestroyed(), queue.calls.back()}), (std::tuple{true, "stop"}));
    EXPECT_EQ((std::tuple{page.GetStatusTimer(), page.GetRecordFile(), page.Tachometer()}),
              (std::tuple{nullptr, nullptr, nullptr}));
    EXPECT_EQ((std::tuple{page.Controls().empty(), (gui::isWindow(speed) || gui::isWindow(checkWindow))}),
              (std::tuple{true, false}));
    EXPECT_NE(readText(dir.file("speed.csv")).find("Record end"), std::string::npos);
    EXPECT_FALSE(gui::post(self, gui::msg::ConnectionState, 1));
    // Nothing more can be added to a page that is going away.
    EXPECT_EQ(page.AddControl(5, std::make_unique<TestLabel>(&page, 5)), nullptr);
}

TEST_F(PageBase, ClosingHidesThePageAndItsSpeedWindowsAndASaveSaysWhyItFailed) {
    Page page;
    Open(page);
    gui::Window* speed = GiveTachometer(page);
    page.show();
    EXPECT_TRUE(speed->isShown());
    page.send(gui::msg::SysCommand, gui::syscmd::Minimise);
    EXPECT_FALSE(speed->isShown());
    page.send(gui::msg::SysCommand, gui::syscmd::Restore);
    EXPECT_TRUE(speed->isShown());

    // The close box hides it.
    page.send(gui::msg::SysCommand, gui::syscmd::Close);
    EXPECT_EQ((std::tuple{page.exists(), page.isShown(), speed->isShown()}), (std::tuple{true, false, false}));

    // "Close window" posts the close. The floating window hides with the page (left
    // shown, it would lie over the main window with nothing to close it); only the
    // page's own request shows it again.
    page.show();
    gui::Window* floating = page.GetContainerWindow("floating", nullptr);
    ASSERT_NE(floating, nullptr);
    floating->show();
    Menu(page, pagemenu::kCloseWindow);
    EXPECT_FALSE(speed->isShown());
    EXPECT_TRUE(guitest::waitFor([&] { return !page.isShown(); }));
    EXPECT_FALSE(floating->isShown());
    page.show();
    EXPECT_FALSE(floating->isShown());
    floating->show();
    page.send(gui::msg::SysCommand, gui::syscmd::Minimise);
    EXPECT_FALSE(floating->isShown());
    page.hide();

    // "Save parameter setting" saves the block and says why a save failed.
    TempDir dir;
    gui::ScriptedDialogs dialogs;
    Menu(page, pagemenu::kSaveParameters, 1);  // a control notification, not a menu command
    EXPECT_TRUE(names.requests.empty());
    Menu(page, pagemenu::kSaveParameters);  // cancelled: nothing to say
    EXPECT_EQ((std::tuple{names.requests.size(), dialogs.boxes().empty()}), (std::tuple{1u, true}));

    names.answers = {dir.file("page.bin"), dir.file("missing/page.bin")};
    Menu(page, pagemenu::kSaveParameters);
    EXPECT_EQ((std::tuple{std::filesystem::file_size(dir.file("page.bin")), dialogs.boxes().empty()}),
              (std::tuple{1028u, true}));
    Menu(page, pagemenu::kSaveParameters);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ((std::tuple{dialogs.boxes()[0].caption, dialogs.boxes()[0].text.isEmpty()}),
              (std::tuple{QStringLiteral("Save parameter setting"), false}));
}

// The hide that a close makes saves the places and tells the owner; the close itself
// does neither again, whichever way it came.
TEST_F(PageBase, AClosedPageSavesItsPlacesAndTellsTheOwnerOncePerClose) {
    std::map<int, int> saves;  // window kind -> places written
    appServices().positions.set = [&saves](int kind, const WindowPlace&) { ++saves[kind]; };
    Page page;
    Open(page);
    GiveTachometer(page);
    for (int close = 1; close <= 2; ++close) {
        SCOPED_TRACE(close == 1 ? "the close box" : "\"Close window\"");
        page.show();
        if (close == 1) {
            page.send(gui::msg::SysCommand, gui::syscmd::Close);
        } else {
            Menu(page, pagemenu::kCloseWindow);  // posts the close
            ASSERT_TRUE(guitest::waitFor([&] { return !page.isShown(); }));
        }
        EXPECT_EQ((std::tuple{owner.count(gui::msg::PageClosed), saves}),
                  (std::tuple{close, std::map<int, int>{{1, close}, {2, close}}}));
    }
}

TEST_F(PageBase, RollbackRestoresTheControlsOrReloadsTheFirstLensSurface) {
    CDerivedDataContainer defaults;  // a store still holding the defaults
    for (const std::int32_t key : {0x300, 0x400}) {
        SCOPED_TRACE(key);
        Page page(uitest::kTwoChecksSurface);
        Open(page, key);
        store.SetValue(7, 0xFFFF);
        const int shownBefore = page.control<TestLabel>(1002)->shown;
        Menu(page, pagemenu::kRollback);
        defaults.SelectContainer(key);
        EXPECT_EQ(store.GetValue(7), defaults.GetValue(7));
        if (key == 0x300) {
            // Shown after the reset, then the board is set up again.
            EXPECT_EQ(page.control<TestLabel>(1002)->GetValue(), defaults.GetValue(7));
            EXPECT_EQ(page.control<TestCheck>(1000)->GetValue(), defaults.GetValue(7) & 1u);
            EXPECT_EQ(page.calls, (std::vector<std::string>{"restore-device"}));
        } else {
            EXPECT_EQ(page.calls, (std::vector<std::string>{"reload"}));  // the reload shows them
            EXPECT_EQ(page.control<TestLabel>(1002)->shown, shownBefore);
        }
        EXPECT_EQ(owner.count(gui::msg::ReinitialiseBoard), 1);
    }
}

TEST_F(PageBase, ControlMapKeysEnablingAndSynchronizing) {
    Page page;
    Open(page);
    auto* label = page.AddControl(5u << 16 | 2, std::make_unique<TestLabel>(&page, 0x50002 + 3000));
    ASSERT_TRUE(label->CreateControlWindow(QPoint(0, 0), 20, 20));
    label->SetRegister(5, 0);
    EXPECT_EQ(page.AddControl(5u << 16 | 2, std::make_unique<TestLabel>(&page, 1)), nullptr);  // the key is taken
    EXPECT_EQ(page.FindControl(5, 0x10002), label);  // the index keeps 16 bits
    page.EnableControlsAt(5, false);
    EXPECT_EQ((std::tuple{label->isEnabled(), page.EnableControl(5, 2, true), label->isEnabled()}),
              (std::tuple{false, 1, true}));

    // Synchronized only when the control's data word is its kind.
    auto* check = static_cast<TestCheck*>(page.AddControl(6u << 16, std::make_unique<TestCheck>(&page, 0x60BB8)));
    check->SetRegister(7, 0);
    TestLabel source(nullptr, 1);
    source.SetValue(1);
    page.SynchronizeControl(6, 0, &source);
    EXPECT_EQ(check->shown, 0);
    check->SetRegister(6, 0);
    page.SynchronizeControl(6, 0, &source);
    EXPECT_EQ(check->GetValue(), 1u);
    store.SelectContainer(0x7777);  // none selected
    page.RestoreAll();
    EXPECT_EQ(static_cast<TestLabel*>(label)->shown, 0);
}

TEST_F(PageBase, APairFollowsTheControlThatChangedAndARestoreShowsTheStoreOnAllButLabels) {
    Page page;
    Open(page);
    // Word 9: a pair at indexes 0 and 1, a third control at 2, and a label at 3.
    std::vector<TestCheck*> checks;
    for (std::uint32_t index = 0; index < 3; ++index) {
        auto* c = static_cast<TestCheck*>(
            page.AddControl(9u << 16 | index, std::make_unique<TestCheck>(&page, 9000 + index)));
        c->SetRegister(9, 0);
        c->SetValue(0);
        checks.push_back(c);
    }
    auto* label = static_cast<TestLabel*>(page.AddControl(9u << 16 | 3, std::make_unique<TestLabel>(&page, 9003)));
    label->SetRegister(9, 0);
    label->SetValue(7);
    const auto shown = [&] { return std::tuple{checks[0]->shown, checks[1]->shown, checks[2]->shown, label->shown}; };
    const auto values = [&] {
        return std::tuple{checks[0]->GetValue(), checks[1]->GetValue(), checks[2]->GetValue(), label->GetValue()};
    };

    // No control changed: nothing is touched (not even re-shown).
    const auto before = shown();
    page.SyncPair(9, nullptr);
    EXPECT_EQ(shown(), before);
    TestLabel source(nullptr, 1);
    source.SetValue(1);
    page.SyncPair(9, &source);
    EXPECT_EQ(values(), (std::tuple{1u, 1u, 0u, 7u}));

    store.SetValue(9, 0);
    page.RestoreControls();
    EXPECT_EQ(values(), (std::tuple{0u, 0u, 0u, 7u}));  // the label keeps what it shows
}

TEST_F(PageBase, ChangeReportsAreCheckedBeforeUseAndMayDestroyThePage) {
    platform::DebugCapture debug;
    Page page(uitest::kTwoChecksSurface);
    Open(page);
    auto* check = page.control<TestCheck>(1000);
    TestCheck stranger(&owner, 77);
    ASSERT_TRUE(stranger.CreateControlWindow(QPoint(0, 0), 10, 10));
    const auto l = [](CDerivedControl* c) { return reinterpret_cast<gui::LParam>(c); };

    EXPECT_EQ(
        (std::vector{page.send(gui::msg::ControlChanged, static_cast<gui::WParam>(-1), l(&stranger)),
                     page.send(gui::msg::ControlChanged, 3, 0x1234), page.send(gui::msg::ControlChanged, 256, l(check)),
                     page.send(gui::msg::ControlChanged, static_cast<gui::WParam>(-2), l(check))}),
        std::vector<gui::LResult>(4, 0));
    EXPECT_EQ((std::tuple{page.changes.empty(), debug.lines().size()}), (std::tuple{true, 4u}));

    EXPECT_EQ(page.send(gui::msg::ControlChanged, static_cast<gui::WParam>(-1), l(check)), 1);
    ASSERT_EQ(page.changes.size(), 1u);
    EXPECT_EQ((std::tuple{page.changes[0].word, page.changes[0].control}), (std::tuple{-1, check}));
    // The second map counts as the page's too.
    page.AddSecond(1, &stranger);
    EXPECT_EQ((std::tuple{page.send(gui::msg::ControlChanged, 0, l(&stranger)), page.changes.size()}),
              (std::tuple{1, 2u}));
    page.RemoveSecond(1);

    // A change handler may close the page: the clicked control outlives its handler.
    page.show();
    int afterwards = 0;
    check->afterNotify = [&] { afterwards = check->notified; };
    page.duringChange = [&] { page.destroy(); };
    QTest::mouseClick(check->widget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ((std::tuple{afterwards, page.IsDestroyed(), page.Controls().empty()}), (std::tuple{1, true, true}));
    guitest::settle();  // now it goes
}

TEST_F(PageBase, RunsEndOnceAtCloseOrAtADestroyWithoutOneAndPollingRunsExactlyWhileShown) {
    const auto l = [](CDerivedControl* c) { return reinterpret_cast<gui::LParam>(c); };
    using Stored = std::vector<std::pair<int, std::uint32_t>>;
    {
        Page page(uitest::kTwoChecksSurface);
        Open(page);
        page.show();  // not yet built: nothing polls
        page.SetPollingKind(8);
        page.show(false);
        page.show();
        EXPECT_EQ((std::tuple{store.GetValue(8), page.storedChanges}), (std::tuple{1u, Stored{{8, 0}, {8, 1}}}));
        // A close hides the page: polling goes off, and the status timer a page started stops.
        page.GetStatusTimer()->Start(50);
        page.send(gui::msg::Close);
        EXPECT_EQ((std::tuple{store.GetValue(8), page.storedChanges, page.GetStatusTimer()->IsRunning()}),
                  (std::tuple{0u, Stored{{8, 0}, {8, 1}, {8, 0}}, 0u}));
        page.destroy();  // closed, nothing since: not again
        EXPECT_EQ(page.endRuns, 1);
    }
    {
        // Closed, then changed (a run may start again), then gone: ended twice.
        Page page(uitest::kTwoChecksSurface);
        Open(page);
        page.show();
        page.send(gui::msg::Close);
        page.send(gui::msg::ControlChanged, 7, l(page.control<TestCheck>(1000)));
        page.destroy();
        EXPECT_EQ(page.endRuns, 2);
    }
    {
        // The status timer ticks every 50 ms while polling is on and the page shown; a
        // hidden page's timer is not started, and a hide stops it.
        Page page;
        Open(page);
        auto* timer = dynamic_cast<CTimer*>(page.GetStatusTimer());
        ASSERT_NE(timer, nullptr);
        page.SetStatusPolling(true);
        EXPECT_EQ(timer->IsRunning(), 0u) << "hidden";
        page.show();
        page.SetStatusPolling(true);
        EXPECT_EQ((std::tuple{timer->IsRunning(), timer->GetPeriod()}), (std::tuple{1u, 50u})) << "shown";
        page.SetStatusPolling(false);
        EXPECT_EQ(timer->IsRunning(), 0u) << "switched off";
        page.SetStatusPolling(true);
        page.hide();
        EXPECT_EQ(timer->IsRunning(), 0u) << "hidden again";
    }
    {
        // Shown and gone without a close: ended once.
        Page page;
        Open(page);
        page.show();
        page.destroy();
        EXPECT_EQ(page.endRuns, 1);
    }
}

TEST_F(PageBase, ALockedControlsChangeIsRefusedAndShowsTheStoredValueAgain) {
    Page page(uitest::kTwoChecksSurface);
    Open(page);
    auto* check = page.control<TestCheck>(1000);
    check->setEnabled(false);
    check->SetValue(1);  // word 7 bit 0 holds 0
    EXPECT_EQ(page.send(gui::msg::ControlChanged, 7, reinterpret_cast<gui::LParam>(check)), 1);
    EXPECT_EQ((std::tuple{page.changes.size(), check->GetValue()}), (std::tuple{0u, 0u}));
}

TEST_F(PageBase, TheRecordSwitchFollowsTheChosenFileAndASampleIsOneRowTillItIsSwitchedOff) {
    TempDir dir;
    gui::ScriptedDialogs dialogs;
    Page page;
    Open(page);
    auto made = std::make_unique<TestCheck>(&page, 3000 + (9 << 16));  // the switch, on word 9
    made->SetRegister(9, 0);
    ASSERT_TRUE(made->CreateControlWindow(QPoint(0, 0), 80, 24));
    CDerivedControl* check = page.AddControl(9u << 16, std::move(made));
    page.SetRecordSwitch(9, true);
    EXPECT_FALSE(check->isEnabled());
    dialogs.answerFile(QString::fromStdString(dir.file("speed.csv")));
    Menu(page, pagemenu::kExportSpeedGraph);
    ASSERT_TRUE(check->isEnabled());
    EXPECT_FALSE(dialogs.fileDialogs().at(0).confirmOverwrite);  // a record appends to the file

    page.SwitchRecord(check, true);
    Page::SpeedSample sample;
    sample.raw = 480;
    sample.pps = 1250.5;
    sample.rpm = 37.5;
    page.ShowSpeedSample(sample);
    page.SwitchRecord(check, false);
    page.ShowSpeedSample(sample);  // after the end: no row
    const std::string text = readText(dir.file("speed.csv"));
    EXPECT_NE(text.find(", 480, 1250.5, 37.5"), std::string::npos) << text;
    EXPECT_EQ(text.find(", 480,"), text.rfind(", 480,")) << text;
    EXPECT_NE(text.find("Record end"), std::string::npos) << text;

    // A cancelled choice on a page whose cancel ends the record: the switch goes off.
    Menu(page, pagemenu::kExportSpeedGraph);
    EXPECT_FALSE(check->isEnabled());
}

// A two-motor page's sample: both speeds on its digital dial, and one row of the two as
// whole numbers under the header that names both columns.
TEST_F(PageBase, ATwoMotorSampleShowsBothSpeedsAndRecordsThemAsOneRow) {
    TempDir dir;
    gui::ScriptedDialogs dialogs;
    Page page;
    Open(page);
    auto made = std::make_unique<CSubDialog_DigitalTachometer>();
    ASSERT_TRUE(made->createModeless(nullptr));
    const CSubDialog_DigitalTachometer* dial = made.get();
    page.SetTachometer(std::move(made));
    page.SetRecordSwitch(9, false, true);
    dialogs.answerFile(QString::fromStdString(dir.file("speed.csv")));
    Menu(page, pagemenu::kExportSpeedGraph);
    page.SwitchRecord(nullptr, true);
    page.ShowSpeedSample(Page::SpeedSample::TwoMotors(1200, 340));
    page.SwitchRecord(nullptr, false);

    CSubDialog_DigitalTachometer expected;
    ASSERT_TRUE(expected.createModeless(nullptr));
    expected.SetValues(1200, 340);
    EXPECT_EQ(dial->Display()->Display().Text(), expected.Display()->Display().Text());
    expected.destroy();
    const std::string text = readText(dir.file("speed.csv"));
    EXPECT_NE(text.find("time, ch1 pps data, ch2 pps data, \r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(", 1200, 340\r\n"), std::string::npos) << text;
}

// The speed windows a page makes report to it; a control made on one is shown there by
// the panels' show, a hidden one too, while the page's own stay as they are. They, the
// floating dialog and the page's other windows are retired when the page is destroyed.
TEST_F(PageBase, SpeedPanelsAreMadeForThePageShowTheControlsMadeOnThemAndGoWithIt) {
    Page page;
    Open(page);
    EXPECT_EQ(page.PanelOrPage(Page::SpeedPanel::Tachometer), &page) << "none made yet";
    CSubDialog_Tachometer* first = page.MakeTachometerPanel(7);
    ASSERT_NE(first, nullptr);
    const gui::Handle replaced = first->handle();
    CSubDialog_Tachometer* tachometer = page.MakeTachometerPanel(7);
    CSubDialog_Graph* graph = page.MakeGraphPanel(8);
    ASSERT_TRUE(tachometer != nullptr && graph != nullptr);
    EXPECT_EQ((std::tuple{page.TachometerPanel(), page.GraphPanel(), gui::isWindow(replaced)}),
              (std::tuple{tachometer, graph, false}));
    EXPECT_EQ((std::tuple{tachometer->GetOwner(), graph->GetOwner()}), (std::tuple{page.handle(), page.handle()}));
    EXPECT_EQ((std::tuple{page.PanelOrPage(Page::SpeedPanel::Tachometer), page.PanelOrPage(Page::SpeedPanel::Graph),
                          page.PanelOrPage(Page::SpeedPanel::None)}),
              (std::tuple<gui::Window*, gui::Window*, gui::Window*>{tachometer, graph, &page}));

    std::vector<CDerivedControl*> made;
    for (gui::Window* host :
         {static_cast<gui::Window*>(tachometer), static_cast<gui::Window*>(graph), static_cast<gui::Window*>(&page)}) {
        auto label = std::make_unique<TestLabel>(host, 3000 + static_cast<int>(made.size()));
        ASSERT_TRUE(label->CreateControlWindow(QPoint(0, 0), 40, 20));
        label->show(false);
        made.push_back(page.AddControl(static_cast<std::uint32_t>(made.size()), std::move(label)));
    }
    page.show();
    page.ShowPanelControls();
    EXPECT_EQ((std::tuple{made[0]->isShown(), made[1]->isShown(), made[2]->isShown()}),
              (std::tuple{true, true, false}));

    gui::Window* floating = page.GetContainerWindow("floating", nullptr);
    ASSERT_NE(floating, nullptr);
    const std::vector<gui::Handle> owned{tachometer->handle(), graph->handle(), floating->handle()};
    page.destroy();
    EXPECT_EQ(
        (std::tuple{page.TachometerPanel(), page.GraphPanel(), page.GetFloatingDialog(), page.retired}),
        (std::tuple<CSubDialog_Tachometer*, CSubDialog_Graph*, CFloatDialog*, int>{nullptr, nullptr, nullptr, 1}));
    for (gui::Handle h : owned) EXPECT_FALSE(gui::isWindow(h)) << "window " << h << " outlived its page";
}

TEST_F(PageBase, SpeedSamplesCountOneToAHundredAcrossTheGraphsFiveSeconds) {
    Page page;
    Open(page);
    std::vector<std::int32_t> x;
    for (int i = 0; i < 101; ++i) {
        page.NextSpeedSample();
        if (i == 0 || i == 99 || i == 100) x.push_back(page.SpeedSampleX());
    }
    EXPECT_EQ(x, (std::vector<std::int32_t>{-4950, 0, -4950}));
}

TEST_F(PageBase, ATypedValueIsHeldToTheRangeOfTheSliderOnItsWordBeforeThePageSeesIt) {
    Page page;
    Open(page);
    auto slider = std::make_unique<CDerivedSlider>(&page, 0x90000 + 3000);
    slider->SetRegister(9, 0);
    slider->SetRange(10, 240);
    page.AddControl(9u << 16, std::move(slider));
    CDerivedEdit* edits[3] = {};
    for (std::int32_t word : {9, 10, 11}) {  // no slider on words 10 and 11
        auto edit = std::make_unique<CDerivedEdit>(&page, 3000 + (word << 16 | 1));
        edit->SetRegister(word, 0);
        if (word == 11) edit->SetBitField(4, 4);  // a field of four bits: 0..15
        ASSERT_TRUE(edit->CreateControlWindow(QPoint(0, 30 * word), 80, 24));
        edits[word - 9] = static_cast<CDerivedEdit*>(page.AddControl(word << 16 | 1, std::move(edit)));
    }
    page.show();
    std::vector<std::uint32_t> seen;
    page.duringChange = [&] { seen.push_back(page.changes.back().control->GetValue()); };
    const auto type = [&](CDerivedEdit* into, const char* text) {
        guitest::focusForKeys(*into);
        into->setText(QString::fromLatin1(text));
        guitest::userKey(*into, Qt::Key_Return);
        return into->text();
    };
    EXPECT_EQ(type(edits[0], "360"), "240");
    EXPECT_EQ(type(edits[0], "-50"), "10");
    EXPECT_EQ(type(edits[0], "100"), "100");
    EXPECT_EQ(type(edits[1], "360"), "360");
    // Past what its field holds: the field's end, not the low bits of what was typed.
    EXPECT_EQ(type(edits[2], "99"), "15");
    EXPECT_EQ(type(edits[2], "7"), "7");
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{240, 10, 100, 360, 15, 7}));
}
