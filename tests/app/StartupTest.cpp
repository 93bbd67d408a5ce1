// The application object run in-process: window positions across starts, Ctrl at
// start, and a second start that brings the first window to the front.
#include <gtest/gtest.h>

#include <QSettings>

#include "AppTestSupport.h"
#include "app/QuillfenApp.h"
#include "app/SingleInstance.h"
#include "platform/gui/CommonDialogs.h"
#include "ui/AppServices.h"

using namespace apptest;

namespace {

AppOptions Options(const std::filesystem::path& dir, bool ctrl, std::function<void(CQuillfenDlg&)> inside) {
    AppOptions o;
    o.programDir = dir;
    o.ctrlHeld = [ctrl] { return ctrl; };
    const std::string port = NoBoard();
    o.makeBoardLink = [port] {
        return std::make_unique<CRG1Micon>(
            std::make_unique<CNativeTranslator>(kBoardPortClass, std::make_shared<platform::PathBoardLocator>(port)));
    };
    o.watchLocator = std::make_shared<platform::PathBoardLocator>(port);
    o.watchPoll = std::chrono::milliseconds(20);
    o.onMainWindowOpen = std::move(inside);
    return o;
}

// Ends the main window through Exit, answering "No" to the save question.
void Exit(CQuillfenDlg& w, gui::ScriptedDialogs& dialogs) {
    dialogs.answerBox(gui::id::No);
    w.send(gui::msg::Command, gui::makeWParam(mainwin::kExitApplication, gui::notify::ButtonClicked), 0);
}

int IniValue(const std::filesystem::path& ini, const char* key) {
    QSettings s(QString::fromStdString(ini.string()), QSettings::IniFormat);
    return s.value(QString("WindowPosition/") + key, -99).toInt();
}

}  // namespace

TEST(Startup, PositionsAreSavedAtShutdownAndRestoredUnlessCtrlIsHeld) {
    TempDir dir;
    const auto ini = dir.path / "Tamsiro.ini";
    // What device pages leave in the file: without their windows' positions no position
    // can be read, the main window's included.
    WritePositions(ini, {{"mainWindow.left", ""}, {"mainWindow.top", ""}});
    gui::ScriptedDialogs dialogs;

    bool servicesShared = false;
    CQuillfenApp first(Options(dir.path, false, [&](CQuillfenDlg& w) {
        servicesShared = appServices().data != nullptr && appServices().tasks != nullptr && appServices().board != nullptr;
        w.moveWindow(QRect(QPoint(123, 87), w.windowRect().size()));
        Exit(w, dialogs);
    }));
    EXPECT_EQ(first.InitInstance(), 0);
    EXPECT_TRUE(servicesShared);
    EXPECT_EQ(appServices().data, nullptr);  // cleared before the services went
    EXPECT_EQ(first.GetDataContainer(), nullptr);
    EXPECT_EQ(first.SettingsFile(), ini);
    EXPECT_EQ(IniValue(ini, "mainWindow.left"), 123);
    EXPECT_EQ(IniValue(ini, "mainWindow.top"), 87);

    QPoint opened;
    CQuillfenApp second(Options(dir.path, false, [&](CQuillfenDlg& w) {
        opened = w.windowRect().topLeft();
        Exit(w, dialogs);
    }));
    second.InitInstance();
    EXPECT_EQ(opened, QPoint(123, 87));
    EXPECT_EQ(dialogs.boxes().size(), 2u);  // the two save questions only

    // Ctrl held: told once, the window opens at its default place, and where it is at
    // the end is still saved; the page windows' positions stay as they were.
    dialogs.answerBox(gui::id::Ok);
    CQuillfenApp third(Options(dir.path, true, [&](CQuillfenDlg& w) {
        opened = w.windowRect().topLeft();
        w.moveWindow(QRect(QPoint(200, 100), w.windowRect().size()));
        Exit(w, dialogs);
    }));
    third.InitInstance();
    EXPECT_TRUE(third.StartedWithCtrl());
    EXPECT_NE(opened, QPoint(123, 87));
    ASSERT_EQ(dialogs.boxes().size(), 4u);
    const auto& ctrlBox = dialogs.boxes()[2];
    EXPECT_EQ(ctrlBox.text, QString("Tamsiro has detected Startup state with Ctrl key pressed.\n"
                                    "This will skip positional information restoration."));
    EXPECT_EQ(ctrlBox.caption, QString("Tamsiro startup Information"));
    EXPECT_EQ(ctrlBox.icon, gui::MessageIcon::Information);
    EXPECT_EQ(ctrlBox.owner, 0u);
    EXPECT_EQ(IniValue(ini, "mainWindow.left"), 200);
    EXPECT_EQ(IniValue(ini, "mainWindow.top"), 100);
    EXPECT_EQ(IniValue(ini, "mainWindow.right"), -99);  // never written for the main window
    EXPECT_EQ(IniValue(ini, "deviceWindow.left"), 300);
    EXPECT_EQ(IniValue(ini, "speedCurve.bottom"), 240);

    // With one page window's position missing, the main window keeps its default place.
    WritePositions(ini, {{"mainWindow.left", "123"}, {"mainWindow.top", "87"}, {"deviceWindow.left", ""}});
    CQuillfenApp fourth(Options(dir.path, false, [&](CQuillfenDlg& w) {
        opened = w.windowRect().topLeft();
        Exit(w, dialogs);
    }));
    fourth.InitInstance();
    EXPECT_NE(opened, QPoint(123, 87));
}

TEST(Startup, ASecondStartShowsTheBoxAndBringsTheFirstWindowToTheFront) {
    TempDir dir;
    gui::ScriptedDialogs dialogs;
    bool secondSawFirst = false;
    bool cameBack = false;
    bool active = false;
    CQuillfenApp first(Options(dir.path, false, [&](CQuillfenDlg& w) {
        w.minimise();
        w.hide();
        CQuillfenApp second(Options(dir.path, false, [](CQuillfenDlg&) { ADD_FAILURE() << "second main window"; }));
        EXPECT_EQ(second.InitInstance(), 0);
        secondSawFirst = second.WasAlreadyRunning();
        EXPECT_EQ(second.GetRG1Micon(), nullptr);  // nothing was created
        cameBack = guitest::waitFor([&] { return w.isShown() && !w.widget()->isMinimized(); }, 3000);
        guitest::waitFor([&] { return w.widget()->isActiveWindow(); }, 1000);
        active = w.widget()->isActiveWindow();
        Exit(w, dialogs);
    }));
    first.InitInstance();
    EXPECT_FALSE(first.WasAlreadyRunning());
    EXPECT_TRUE(secondSawFirst);
    EXPECT_TRUE(cameBack);
    EXPECT_TRUE(active);
    ASSERT_GE(dialogs.boxes().size(), 1u);
    const auto& box = dialogs.boxes()[0];  // its caption and text: see the two-process test
    EXPECT_EQ(box.caption, QString("Error: Already running"));
    EXPECT_EQ(box.buttons, gui::MessageButtons::Ok);
    EXPECT_EQ(box.icon, gui::MessageIcon::None);
    EXPECT_EQ(box.owner, 0u);

    // Once the first has ended, a start is a first start again.
    CQuillfenApp later(Options(dir.path, false, [&](CQuillfenDlg& w) { Exit(w, dialogs); }));
    later.InitInstance();
    EXPECT_FALSE(later.WasAlreadyRunning());
}

// (A lock released at exit or left by a killed instance: the tests above and the
// two-process test.)
TEST(InstanceLock, NobodyListeningAnotherFolderAndAnUnusableLock) {
    TempDir dir;
    CSingleInstance first(dir.path / "Tamsiro.lock");
    ASSERT_EQ(first.Acquire(), CSingleInstance::Result::First);
    CSingleInstance second(dir.path / "Tamsiro.lock");
    EXPECT_EQ(second.Acquire(), CSingleInstance::Result::AlreadyRunning);
    EXPECT_FALSE(second.RequestShow(200));  // the first does not listen: no hang
    CSingleInstance elsewhere(dir.path / "other" / "Tamsiro.lock");
    EXPECT_EQ(elsewhere.Acquire(), CSingleInstance::Result::First);
    EXPECT_NE(CSingleInstance::ServerName(dir.path / "Tamsiro.lock"),
              CSingleInstance::ServerName(dir.path / "other" / "Tamsiro.lock"));

    std::ofstream{dir.path / "plain-file"};
    CSingleInstance impossible(dir.path / "plain-file" / "Tamsiro.lock");
    EXPECT_EQ(impossible.Acquire(), CSingleInstance::Result::Unguarded);
}
