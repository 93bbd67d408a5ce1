// The About box: the system's rows, and the box as a user opens it from the main
// window's Help menu (a real click), a page's "Version" and the system menu, showing
// the board's versions read on the wire and following the connection.
#include <gtest/gtest.h>

#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <sys/utsname.h>
#include <thread>

#include "PageRigSupport.h"
#include "app/AboutDlg.h"
#include "app/OSVersionInfo.h"
#include "pages/stepper/StepperPage.h"
#include "platform/gui/Controls.h"

using namespace apptest;

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

Rows RowsOf(CAboutDlg& about) {
    Rows out;
    auto* list = about.itemAs<gui::ListView>(about::kList);
    if (list == nullptr) return out;
    for (int r = 0; r < list->itemCount(); ++r)
        out.emplace_back(list->itemText(r, 0).toStdString(), list->itemText(r, 1).toStdString());
    return out;
}

const Rows kNoBoardRows = {{"USB connection", "Disconnect"},
                           {"Dll Version", "2010"},
                           {"MV6120 Version", "-not detected-"},
                           {"MV6230 Version", "-not detected-"}};

const SystemFacts kFacts{"Debian GNU/Linux 12 (bookworm)", "Linux", "6.1.0-18-amd64", "x86_64"};

// At each change of the main window's title, what the open About box says of the
// connection then (an empty text when the box has no such row).
class TitleWatch final : public QObject {
public:
    TitleWatch(gui::Window& window, CAboutDlg& about) : window_(window), about_(about) {
        window.widget()->installEventFilter(this);
    }
    std::vector<std::pair<std::string, std::string>> seen;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::WindowTitleChange) return false;
        std::string connection;
        for (const auto& [item, value] : RowsOf(about_))
            if (item == "USB connection") connection = value;
        seen.emplace_back(window_.text().toStdString(), connection);
        return false;
    }

private:
    gui::Window& window_;
    CAboutDlg& about_;
};

}  // namespace

TEST(AboutSystemRows, NameReleaseAndArchitectureComeFromTheSystemAndNothingWithoutIt) {
    COSVersionInfo info;
    ASSERT_EQ(info.Query(kFacts), 1);
    EXPECT_EQ((std::tuple{info.GetName(), info.GetEdition(), info.GetArchitecture()}),
              (std::tuple{std::string("Debian GNU/Linux 12 (bookworm)"), std::string("Linux 6.1.0-18-amd64"),
                          std::string("x86_64 (64bit)")}));
    // No distribution name: the kernel's; a machine of unknown word size stands alone.
    COSVersionInfo bare;
    ASSERT_EQ(bare.Query({"", "Linux", "5.10.0", "e2k"}), 1);
    EXPECT_EQ((std::tuple{bare.GetName(), bare.GetEdition(), bare.GetArchitecture()}),
              (std::tuple{std::string("Linux"), std::string("Linux 5.10.0"), std::string("e2k")}));
    EXPECT_EQ((std::tuple{COSVersionInfo::ArchitectureText("i686"), COSVersionInfo::ArchitectureText("aarch64")}),
              (std::tuple{std::string("32bit"), std::string("64bit")}));
    COSVersionInfo none;
    EXPECT_EQ((std::tuple{none.Query({}), none.GetName(), none.GetEdition()}), (std::tuple{0, std::string(), std::string()}));

    // This machine, as uname tells it.
    struct utsname u {};
    ASSERT_EQ(::uname(&u), 0);
    const SystemFacts here = ReadSystemFacts();
    EXPECT_EQ((std::tuple{here.sysname, here.release, here.machine}),
              (std::tuple{std::string(u.sysname), std::string(u.release), std::string(u.machine)}));
}

TEST(AboutBox, HelpVersionShowsTheBoardsVersionsRefreshRereadsThemAndAnUnplugTurnsTheRows) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    sim.sim.setSecondVersion(0x00AB);
    Rig rig(sim.path());
    COSVersionInfo info;
    ASSERT_EQ(info.Query(kFacts), 1);
    rig.about.SetOSVersionInfo(&info);
    rig.about.SetVersion("0.1.0", 32);

    Rows shown, refreshed, unplugged;
    std::vector<Bytes> asked;
    QString versionText;
    bool clicked = false;
    gui::Handle aboutOwnerWasDisabled = 0;
    std::unique_ptr<QTimer> inAbout;
    const int result = rig.RunModal(
        [&](CQuillfenDlg& w) {
            ASSERT_TRUE(guitest::waitFor([&] { return rig.Title() == QString(mainwin::kTitleConnected); }));
            ASSERT_TRUE(rig.tasks.WaitIdle(5000));
            ASSERT_TRUE(guitest::waitFor([&] { return rig.window->count(gui::msg::TaskData) >= 2; }));
            sim.sim.clearFrames();
            inAbout = guitest::whenReady([&] { return rig.about.isRunningModal(); }, [&] {
                guitest::settle();
                shown = RowsOf(rig.about);
                asked = sim.Frames();
                versionText = rig.about.item(about::kVersionText)->text();
                if (!w.isEnabled()) aboutOwnerWasDisabled = w.handle();
                QDir().mkpath(QStringLiteral(TAMSIRO_SCREENSHOT_DIR));
                EXPECT_TRUE(rig.about.widget()->grab().save(QStringLiteral(TAMSIRO_SCREENSHOT_DIR "/about-box.png")));

                sim.sim.setMainVersion(0x2114);
                guitest::userClick(*rig.about.item(about::kRefresh));
                refreshed = RowsOf(rig.about);

                // The watch sees the board go; the open box follows.
                sim.sim.unplug();
                guitest::waitFor([&] { return rig.Title() == QString(mainwin::kTitleDisconnected); });
                unplugged = RowsOf(rig.about);
                guitest::userClick(*rig.about.item(gui::id::Ok));
            });
            clicked = guitest::userMenuItem(w, mainwin::kVersion);
            // The command comes once the menu has closed: the box runs from the loop.
            guitest::waitFor([&] { return !unplugged.empty() && !rig.about.isRunningModal(); }, 15000);
            w.endDialog(gui::id::Cancel);
        },
        20000);
    EXPECT_EQ(result, gui::id::Cancel);
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(rig.about.exists());
    EXPECT_EQ(aboutOwnerWasDisabled, rig.window->handle());
    EXPECT_EQ(versionText, QString("Version 0.1.0"));
    // Opening reads both controllers' versions: 'V' and '8' 18.
    EXPECT_EQ(asked, (std::vector<Bytes>{{'V'}, {'8', 18}}));
    const Rows system = {{"OS Type", "Debian GNU/Linux 12 (bookworm)"},
                         {"OS Edition", "Linux 6.1.0-18-amd64"},
                         {"Architecture", "x86_64 (64bit)"}};
    Rows want = system;
    want.insert(want.end(), {{"USB connection", "Connection"},
                             {"Dll Version", "2010"},
                             {"MV6120 Version", "2113"},
                             {"MV6230 Version", "00AB"}});
    EXPECT_EQ(shown, want);
    want[5].second = "2114";
    EXPECT_EQ(refreshed, want);
    want = system;
    want.insert(want.end(), kNoBoardRows.begin(), kNoBoardRows.end());
    EXPECT_EQ(unplugged, want);
}

TEST(AboutBox, APagesVersionOpensItOverTheMainWindow) {
    // The page posts its "Version" to the main window, which runs the box.
    PageRig<CDeviceDialog_Stepper> r;
    auto* page = r.Open(0x101);
    ASSERT_NE(page, nullptr);
    r.rig.about.SetVersion("0.1.0", 32);
    Rows fromPage;
    auto closeIt = guitest::whenReady([&] { return r.rig.about.isRunningModal(); }, [&] {
        fromPage = RowsOf(r.rig.about);
        r.rig.about.endDialog(gui::id::Ok);
    });
    ASSERT_NE(page->menuAction(pagemenu::kVersion), nullptr);
    page->menuAction(pagemenu::kVersion)->trigger();
    ASSERT_TRUE(guitest::waitFor([&] { return !fromPage.empty(); }, 10000));
    EXPECT_EQ(fromPage.at(0), (std::pair<std::string, std::string>{"USB connection", "Connection"}));
}

TEST(AboutBox, TheSystemMenuOpensItAndWithoutABoardOrSystemFactsTheBoardRowsSaySo) {
    // No board, no system facts: the four board rows say so.
    Rig rig(NoBoard());
    ASSERT_TRUE(rig.Open());
    Rows noBoard;
    auto closeAgain = guitest::whenReady([&] { return rig.about.isRunningModal(); }, [&] {
        noBoard = RowsOf(rig.about);
        rig.about.endDialog(gui::id::Ok);
    });
    rig.window->send(gui::msg::SysCommand, mainwin::kAboutSystemItem, 0);
    EXPECT_EQ(noBoard, kNoBoardRows);
    EXPECT_FALSE(rig.about.exists());
}

// The board pulled out and back within one presence check: the port is opened again
// (which takes a while), and the title says "Disconnected" meanwhile. Whenever the
// title changes, the open box already says the same. The box, opened over the framed
// main window, has its whole layout as its client area.
TEST(AboutBox, AnOpenBoxIsWholeAndSaysWhatTheTitleSaysAtEachConnectionChange) {
    using namespace std::chrono_literals;
    SimLink sim;
    ASSERT_TRUE(sim.started);
    Rig rig(sim.path(), false, 1000ms);
    std::unique_ptr<TitleWatch> watch;
    bool replugged = false;
    QSize client;
    auto inAbout = guitest::whenReady([&] { return rig.about.isRunningModal(); }, [&] {
        // Built while the main window is framed: its client area is still the whole template.
        guitest::settle();
        client = rig.about.clientRect().size();
        watch = std::make_unique<TitleWatch>(*rig.window, rig.about);
        sim.sim.unplug();
        std::this_thread::sleep_for(50ms);
        replugged = sim.sim.replug();
        guitest::waitFor([&] { return watch->seen.size() >= 2; }, 10000);
        rig.about.endDialog(gui::id::Ok);
    });
    const int result = rig.RunModal(
        [&](CQuillfenDlg& w) {
            ASSERT_TRUE(guitest::waitFor([&] { return rig.Title() == QString(mainwin::kTitleConnected); }));
            w.send(gui::msg::Command, gui::makeWParam(mainwin::kVersion, gui::notify::ButtonClicked), 0);
            w.endDialog(gui::id::Cancel);
        },
        20000);
    EXPECT_EQ(result, gui::id::Cancel);
    EXPECT_TRUE(replugged);
    const gui::DialogTemplate layout = CAboutDlg::AboutTemplate();
    const QSize wanted = gui::dialogUnitsFor(gui::dialogFont(layout.fontFace, layout.pointSize)).toPixels(layout.size);
    EXPECT_EQ((std::pair{client.width(), client.height()}), (std::pair{wanted.width(), wanted.height()}));
    ASSERT_NE(watch, nullptr);
    EXPECT_EQ(watch->seen, (std::vector<std::pair<std::string, std::string>>{
                               {mainwin::kTitleDisconnected, "Disconnect"}, {mainwin::kTitleConnected, "Connection"}}));
}
