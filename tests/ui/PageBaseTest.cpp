// The page base: set-up (also run twice), title, messages to and from the main window,
// the page menu, the control map, change reports, and destruction.
#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "PageTestSupport.h"
#include "data/TempDir.h"
#include "platform/core/Debug.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/GuiTestSupport.h"
#include "tasks/TaskFactory.h"
#include "tasks/Timer.h"
#include "ui/ExternFile.h"

namespace {

using uitest::RecordingQueue;
using uitest::SurfacePage;
using uitest::TestCheck;
using uitest::TestLabel;

class ScriptedNames final : public IFileNameProvider {
public:
    std::deque<std::string> answers;
    int requests = 0;
    std::string RequestFileName(const FileDialogRequest&) override
    {
        ++requests;
        if (answers.empty()) return {};
        std::string a = answers.front();
        answers.pop_front();
        return a;
    }
};

// A page whose speed windows the test can give it.
class Page final : public SurfacePage {
public:
    using SurfacePage::SurfacePage;
    void SetTachometer(std::unique_ptr<gui::Window> w) { firstTachometer_ = std::move(w); }
    gui::Window* Tachometer() const { return firstTachometer_.get(); }
    void AddSecond(std::uint32_t key, CDerivedControl* c) { secondControls_[key] = c; }
    void RemoveSecond(std::uint32_t key) { secondControls_.erase(key); }
};

class PageBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(owner.create(nullptr, 0, QRect(0, 0, 100, 100)));
        store.SetFileNameProvider(&names);
        store.SelectContainer(0x300);
        store.SetValue(7, 0);
        store.SetValue(8, 5);
    }
    void TearDown() override { guitest::settle(); }

    // Opens a page for `key` as the page selector does.
    void Open(Page& page, std::int32_t key = 0x300)
    {
        page.SetOwnerWindow(owner.handle());
        page.SetDeviceInfo(key, profile, QStringLiteral("TM4410"));
        ASSERT_TRUE(page.createModeless(nullptr));
    }
    gui::LResult Menu(Page& page, int id, std::uint16_t code = 0)
    {
        return page.send(gui::msg::Command, gui::makeWParam(static_cast<std::uint16_t>(id), code), 0);
    }

    ScriptedNames names;
    CDerivedDataContainer store;
    RecordingQueue queue;
    uitest::ScopedServices services{&store, &queue};
    guitest::SpyWindow owner;
    std::uint16_t profile[128] = {0, 0, 0, 0x2010};
};

}  // namespace

TEST_F(PageBase, OpensWithTheServicesTheQueueAndItsBlock)
{
    store.SelectContainer(0x101);
    Page page(uitest::kTwoChecksSurface);
    Open(page);
    EXPECT_EQ(queue.calls, (std::vector<std::string>{"link", "store", "window"}));
    EXPECT_EQ(queue.window, page.handle());
    EXPECT_EQ(queue.store, &store);
    EXPECT_EQ(store.GetSelectedId(), 0x300);
    EXPECT_EQ(page.GetTaskKind("gpio_pulse"), 13);
    EXPECT_EQ(page.GetTaskKind("lens_sequence"), 9);
    EXPECT_EQ(page.GetTaskKind("spi"), 12);
    EXPECT_EQ(page.GetTaskKind("GPIO"), -1);
    EXPECT_EQ(page.GetTaskFactory(), CTaskFactory::GetInstance());
    ASSERT_NE(page.GetStatusTimer(), nullptr);
    EXPECT_EQ(static_cast<CTimer*>(page.GetStatusTimer())->GetMessageId(), 0x80C8u);
    EXPECT_NE(page.GetRecordFile(), nullptr);
    EXPECT_EQ(page.GetProfileWord(3), 0x2010u);
    EXPECT_EQ(page.GetProfileWord(128), 0u);
    EXPECT_EQ(page.GetProfileWord(-1), 0u);
    // The controls of the surface show their stored values.
    EXPECT_EQ(page.Controls().size(), 4u);
    EXPECT_EQ(page.control<TestLabel>(1003)->GetValue(), 5u);
    EXPECT_FALSE(page.isShown());
}

// A surface reload runs the set-up again: it must neither make a second timer or record
// file (the first would keep ticking or stay open) nor clear records the page set.
TEST_F(PageBase, SettingUpAgainKeepsTheTimerTheRecordFileAndTheRecords)
{
    TempDir dir;
    Page page;
    page.PwmSetting(8)->send = 1;
    page.PwmSetting(8)->value = 50.0;
    Open(page);
    ITimer* timer = page.GetStatusTimer();
    IExternFile* file = page.GetRecordFile();
    timer->Start(1000);
    ASSERT_TRUE(file->SetFileName((dir.path() / "speed.csv").string()));
    ASSERT_TRUE(file->StartRecord(0));
    page.PwmSetting(2)->flagB = 1;

    ASSERT_TRUE(page.onInitDialog());
    EXPECT_EQ(page.GetStatusTimer(), timer);
    EXPECT_EQ(timer->IsRunning(), 1u);
    EXPECT_EQ(page.GetRecordFile(), file);
    EXPECT_TRUE(static_cast<CDerivedExternFile*>(file)->IsRecording());
    EXPECT_EQ(page.PwmSetting(8)->send, 1u);
    EXPECT_EQ(page.PwmSetting(8)->value, 50.0);
    EXPECT_EQ(page.PwmSetting(2)->flagB, 1u);
    EXPECT_EQ(queue.calls.size(), 6u);
    timer->Stop();
}

TEST_F(PageBase, RecordsAndProfileSlotsOutsideTheirTablesAreRefused)
{
    Page page;
    EXPECT_NE(page.PwmSetting(0), nullptr);
    EXPECT_NE(page.PwmSetting(8), nullptr);
    EXPECT_EQ(page.PwmSetting(9), nullptr);
    EXPECT_EQ(page.PwmSetting(-1), nullptr);
    EXPECT_NE(page.ChannelSetting(33), nullptr);
    EXPECT_EQ(page.ChannelSetting(34), nullptr);
    EXPECT_NE(page.AdcSetting(11), nullptr);
    EXPECT_EQ(page.AdcSetting(12), nullptr);
    EXPECT_EQ(page.InterruptSetting(0), nullptr);
    EXPECT_NE(page.InterruptSetting(1), nullptr);
    EXPECT_NE(page.InterruptSetting(5), nullptr);
    EXPECT_EQ(page.InterruptSetting(6), nullptr);
    EXPECT_EQ(page.GetProfileWord(0), 0u);  // no profile yet
}

TEST_F(PageBase, MainWindowMessagesSetTheTitleAndTheBoard)
{
    Page page;
    Open(page);
    // A loaded parameter set: the owner sets the board up again.
    owner.answer = [](std::uint32_t m, gui::WParam, gui::LParam) -> gui::LResult {
        return m == gui::msg::ReinitialiseBoard ? 7 : 0;
    };
    EXPECT_EQ(page.send(gui::msg::ReapplyDeviceData), 1);
    EXPECT_EQ(owner.count(gui::msg::ReinitialiseBoard), 1);
    EXPECT_EQ(page.RestoreDeviceData(), 7);

    EXPECT_EQ(page.send(gui::msg::ConnectionState, 1), 1);
    EXPECT_EQ(page.text(), QStringLiteral("TM4410 Controller (USB Connected)"));
    page.send(gui::msg::ConnectionState, 2);
    EXPECT_EQ(page.text(), QStringLiteral("TM4410 Controller (USB Disconnected)"));
    page.send(gui::msg::ConnectionState, static_cast<gui::WParam>(-1));
    EXPECT_EQ(page.text(), QStringLiteral("TM4410 Controller (USB Disconnected)"));

    page.SetDeviceInfo(0x300, profile, QStringLiteral("50%1 %s"));
    page.SetConnectionState(1);
    EXPECT_EQ(page.text(), QStringLiteral("50%1 %s Controller (USB Connected)"));
    page.SetDeviceInfo(0x300, profile, QString(400, QLatin1Char('x')));
    page.SetConnectionState(0);
    EXPECT_EQ(page.GetDeviceName().size(), 259);
    EXPECT_EQ(page.text().size(), 259);
}

TEST_F(PageBase, ClosingOrHidingHidesThePageAndItsSpeedWindowsAndTellsTheOwner)
{
    Page page;
    Open(page);
    auto tach = std::make_unique<gui::Window>();
    ASSERT_TRUE(tach->create(nullptr, 0, QRect(0, 0, 50, 50)));
    gui::Window* speed = tach.get();
    page.SetTachometer(std::move(tach));
    page.show();
    EXPECT_TRUE(speed->isShown());

    page.send(gui::msg::SysCommand, gui::syscmd::Minimise);
    EXPECT_FALSE(speed->isShown());
    page.send(gui::msg::SysCommand, gui::syscmd::Restore);
    EXPECT_TRUE(speed->isShown());

    // The close box: hidden, not destroyed; the owner hears of it (once from the close
    // itself, once from the hiding).
    page.send(gui::msg::SysCommand, gui::syscmd::Close);
    EXPECT_TRUE(page.exists());
    EXPECT_FALSE(page.isShown());
    EXPECT_FALSE(speed->isShown());
    EXPECT_EQ(owner.count(gui::msg::PageClosed), 2);

    page.show();
    EXPECT_TRUE(speed->isShown());
    page.hide();
    EXPECT_EQ(owner.count(gui::msg::PageClosed), 3);

    // "Close window" posts the close.
    page.show();
    Menu(page, pagemenu::kCloseWindow);
    EXPECT_FALSE(speed->isShown());
    EXPECT_TRUE(guitest::waitFor([&] { return !page.isShown(); }));
    EXPECT_EQ(owner.count(gui::msg::PageClosed), 5);
}

TEST_F(PageBase, MenuSavesTheBlockAndSaysWhyASaveFailed)
{
    TempDir dir;
    gui::ScriptedDialogs dialogs;
    Page page;
    Open(page);
    // A control notification with a menu id is not a menu command.
    Menu(page, pagemenu::kSaveParameters, 1);
    EXPECT_EQ(names.requests, 0);

    Menu(page, pagemenu::kSaveParameters);  // cancelled: nothing to say
    EXPECT_EQ(names.requests, 1);
    EXPECT_TRUE(dialogs.boxes().empty());

    const auto good = dir.path() / "page.bin";
    names.answers = {good.string(), (dir.path() / "missing" / "page.bin").string()};
    Menu(page, pagemenu::kSaveParameters);
    EXPECT_EQ(std::filesystem::file_size(good), 1028u);
    EXPECT_TRUE(dialogs.boxes().empty());
    Menu(page, pagemenu::kSaveParameters);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].caption, QStringLiteral("Save parameter setting"));
    EXPECT_FALSE(dialogs.boxes()[0].text.isEmpty());

    Menu(page, pagemenu::kVersion);
    ASSERT_TRUE(guitest::waitFor([&] { return owner.count(gui::msg::Command) == 1; }));
    EXPECT_EQ(owner.only(gui::msg::Command)[0].w, 0x8008u);
}

TEST_F(PageBase, RollbackRestoresTheControlsOrReloadsTheFirstLensSurface)
{
    CDerivedDataContainer defaults;
    defaults.SelectContainer(0x300);
    {
        Page page(uitest::kTwoChecksSurface);
        Open(page);
        store.SetValue(7, 0xFFFF);
        Menu(page, pagemenu::kRollback);
        EXPECT_EQ(store.GetValue(7), defaults.GetValue(7));
        // Shown after the reset, then the board is set up again.
        EXPECT_EQ(page.control<TestLabel>(1002)->GetValue(), defaults.GetValue(7));
        EXPECT_EQ(page.control<TestCheck>(1000)->GetValue(), defaults.GetValue(7) & 1u);
        EXPECT_EQ(page.calls, (std::vector<std::string>{"restore-device"}));
        EXPECT_EQ(owner.count(gui::msg::ReinitialiseBoard), 1);
    }
    CDerivedDataContainer lensDefaults;
    lensDefaults.SelectContainer(0x400);
    Page lens(uitest::kTwoChecksSurface);
    Open(lens, 0x400);
    store.SetValue(8, 0xABCD);
    const int shownBefore = lens.control<TestLabel>(1003)->shown;
    Menu(lens, pagemenu::kRollback);
    EXPECT_EQ(store.GetValue(8), lensDefaults.GetValue(8));
    EXPECT_EQ(lens.calls, (std::vector<std::string>{"reload"}));
    EXPECT_EQ(lens.control<TestLabel>(1003)->shown, shownBefore);  // the reload shows them
    EXPECT_EQ(owner.count(gui::msg::ReinitialiseBoard), 1);
}

TEST_F(PageBase, ControlMapKeysEnablingAndSynchronizing)
{
    platform::DebugCapture debug;
    Page page;
    Open(page);
    auto* label = page.AddControl(5u << 16 | 2, std::make_unique<TestLabel>(&page, 0x50002 + 3000));
    ASSERT_NE(label, nullptr);
    ASSERT_TRUE(label->CreateControlWindow(QPoint(0, 0), 20, 20));
    label->SetRegister(5, 0);
    EXPECT_EQ(page.AddControl(5u << 16 | 2, std::make_unique<TestLabel>(&page, 1)), nullptr);
    EXPECT_EQ(page.FindControl(5, 2), label);
    EXPECT_EQ(page.FindControl(5, 0x10002), label);  // the index keeps 16 bits
    EXPECT_EQ(page.FindControl(5, 3), nullptr);

    EXPECT_EQ(page.EnableControl(9, 9, false), 0);
    EXPECT_EQ(page.EnableControl(5, 2, false), 0);
    EXPECT_FALSE(label->isEnabled());
    EXPECT_EQ(page.EnableControl(5, 2, true), 1);
    EXPECT_TRUE(label->isEnabled());
    page.EnableControlsAt(5, false);
    EXPECT_FALSE(label->isEnabled());

    auto* check = static_cast<TestCheck*>(page.AddControl(6u << 16, std::make_unique<TestCheck>(&page, 0x60000 + 3000)));
    check->SetRegister(7, 0);  // its data word is not its kind
    TestLabel source(nullptr, 1);
    source.SetValue(1);
    page.SynchronizeControl(6, 0, &source);
    EXPECT_EQ(check->shown, 0);
    check->SetRegister(6, 0);
    page.SynchronizeControl(6, 0, &source);
    EXPECT_EQ(check->GetValue(), 1u);
}

// ControlChanged carries a pointer in l: it is used only when it is one of the page's
// controls, and the word only when it lies in the block.
TEST_F(PageBase, ChangeReportsAreCheckedBeforeUse)
{
    platform::DebugCapture debug;
    Page page(uitest::kTwoChecksSurface);
    Open(page);
    auto* check = page.control<TestCheck>(1000);
    TestCheck stranger(&owner, 77);
    ASSERT_TRUE(stranger.CreateControlWindow(QPoint(0, 0), 10, 10));
    const auto l = [](CDerivedControl* c) { return reinterpret_cast<gui::LParam>(c); };

    EXPECT_EQ(page.send(gui::msg::ControlChanged, static_cast<gui::WParam>(-1), l(&stranger)), 0);
    EXPECT_EQ(page.send(gui::msg::ControlChanged, 3, 0x1234), 0);
    EXPECT_EQ(page.send(gui::msg::ControlChanged, 256, l(check)), 0);
    EXPECT_EQ(page.send(gui::msg::ControlChanged, static_cast<gui::WParam>(-2), l(check)), 0);
    EXPECT_TRUE(page.changes.empty());
    EXPECT_EQ(debug.lines().size(), 4u);

    EXPECT_EQ(page.send(gui::msg::ControlChanged, static_cast<gui::WParam>(-1), l(check)), 1);
    ASSERT_EQ(page.changes.size(), 1u);
    EXPECT_EQ(page.changes[0].word, -1);
    EXPECT_EQ(page.changes[0].control, check);

    // The second map counts as the page's too.
    page.AddSecond(1, &stranger);
    EXPECT_EQ(page.send(gui::msg::ControlChanged, 0, l(&stranger)), 1);
    EXPECT_EQ(page.changes.size(), 2u);
    page.RemoveSecond(1);

    // Task data goes to its own hook; the base ignores it.
    EXPECT_EQ(page.send(gui::msg::TaskData, 0x20011, 1), 0);
}

TEST_F(PageBase, DestroyingThePageStopsEndsAndDeletesEverything)
{
    TempDir dir;
    Page page(uitest::kTwoChecksSurface);
    Open(page);
    auto tach = std::make_unique<gui::Window>();
    ASSERT_TRUE(tach->create(nullptr, 0, QRect(0, 0, 50, 50)));
    const gui::Handle speed = tach->handle();
    page.SetTachometer(std::move(tach));
    const gui::Handle checkWindow = page.FindControlByKey(1000)->handle();
    page.GetStatusTimer()->Start(1000);
    const auto csv = dir.path() / "speed.csv";
    page.GetRecordFile()->SetFileName(csv.string());
    ASSERT_TRUE(page.GetRecordFile()->StartRecord(0));
    const gui::Handle self = page.handle();

    page.destroy();
    EXPECT_TRUE(page.IsDestroyed());
    EXPECT_EQ(queue.calls.back(), "stop");
    EXPECT_EQ(page.GetStatusTimer(), nullptr);
    EXPECT_EQ(page.GetRecordFile(), nullptr);
    EXPECT_TRUE(page.Controls().empty());
    EXPECT_EQ(page.Tachometer(), nullptr);
    EXPECT_FALSE(gui::isWindow(speed));
    EXPECT_FALSE(gui::isWindow(checkWindow));
    std::ifstream in(csv, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Record end"), std::string::npos);
    EXPECT_FALSE(gui::post(self, gui::msg::ConnectionState, 1));
    // Nothing more can be added to a page that is going away.
    EXPECT_EQ(page.AddControl(5, std::make_unique<TestLabel>(&page, 5)), nullptr);
}

// A change handler may close the page (a message box loop, a device removal): the
// control whose click started it must outlive its own handler.
TEST_F(PageBase, APageDestroyedInsideAChangeKeepsTheReportingControlAliveUntilItReturns)
{
    Page page(uitest::kTwoChecksSurface);
    Open(page);
    page.show();
    auto* check = page.control<TestCheck>(1000);
    int afterwards = 0;
    check->afterNotify = [&] { afterwards = check->notified; };
    page.duringChange = [&] { page.destroy(); };
    QTest::mouseClick(check->widget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(afterwards, 1);
    EXPECT_TRUE(page.IsDestroyed());
    EXPECT_TRUE(page.Controls().empty());
    guitest::settle();  // now it goes
}
