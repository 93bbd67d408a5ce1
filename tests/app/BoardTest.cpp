// The main window against the board simulator: connection state, board initialisation,
// the board-type replies, the firmware check, what the device page is told, and
// closing while the board does not answer.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <set>
#include <tuple>

#include "AppTestSupport.h"
#include "platform/gui/CommonDialogs.h"

using namespace apptest;
using gui::msg::ConnectionState;
using gui::msg::TaskData;

namespace {

// The names of the devices the firmware question was asked for, choosing every model
// of kinds 1 to 4 in turn and answering "No".
std::set<std::string> DevicesAskedAbout(Rig& rig) {
    std::set<std::string> asked;
    for (const auto& name : ModelNames()) {
        Dialogs boxes;
        boxes.answerBox(gui::id::No);
        EXPECT_TRUE(rig.ChooseDriverNamed(name)) << name;
        if (boxes.boxes().empty()) continue;
        EXPECT_EQ(boxes.boxes().size(), 1u);
        const auto& box = boxes.boxes().front();
        EXPECT_EQ((std::tuple{box.caption, box.buttons, box.icon}),
                  (std::tuple{QString("Tamsiro Firmware Update"), gui::MessageButtons::YesNo, gui::MessageIcon::Question}));
        EXPECT_EQ(box.text, QString("The version of daughter board firmware is not suitable to control %1.\n"
                                    "If you press 'Yes' button, update on firmware will start. Or press 'No' "
                                    "button if you do not wish such update.")
                                .arg(QString::fromStdString(name)));
        asked.insert(name);
    }
    return asked;
}

std::set<std::string> AllModelsBut(std::initializer_list<const char*> except) {
    const auto all = ModelNames();
    std::set<std::string> out(all.begin(), all.end());
    for (const char* name : except) out.erase(name);
    return out;
}

// The main window as shown, with its caption drawn above the client area (the offscreen
// platform draws no window frame), for someone to look at.
void SaveScreenshot(Rig& rig) {
    rig.window->show(true);
    guitest::settle();
    QWidget* w = rig.window->widget();
    const QImage client = w->grab().toImage();
    const int captionHeight = 24;
    QImage shot(client.width(), client.height() + captionHeight, QImage::Format_RGB32);
    shot.fill(QColor(0x3C, 0x3C, 0x3C));
    QPainter p(&shot);
    p.setPen(Qt::white);
    QFont f = w->font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(8, 0, shot.width() - 16, captionHeight), Qt::AlignVCenter | Qt::AlignLeft, rig.Title());
    p.drawImage(0, captionHeight, client);
    p.end();
    QDir().mkpath(QStringLiteral(TAMSIRO_SCREENSHOT_DIR));
    EXPECT_TRUE(shot.save(QStringLiteral(TAMSIRO_SCREENSHOT_DIR "/main-window.png")));
}

}  // namespace

TEST(MainWindowBoard, ConnectionInitialisesTheBoardInOrderTheTwoLineReadsComeBackAndTheKindSetsTheLines) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    Rig rig(sim.path());
    ASSERT_TRUE(rig.Open());
    // The replies are posted to the window; none is handled before the events run.
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));

    const std::vector<Bytes> frames = sim.Frames();
    EXPECT_EQ(Names(frames), kInitAfterConnect);
    // The pauses between the records stay (on the manual clock): 5 ms after each GPIO
    // record, 2 ms after each PWM record, and 100 ms before the board-type read.
    const auto& ms = rig.timed.addedMs;
    ASSERT_EQ(ms.size(), 34u + 9u + 2u);
    for (std::size_t i = 1; i < 34; ++i) EXPECT_GE(ms[i] - ms[i - 1], 5u) << i;
    for (std::size_t i = 35; i < 43; ++i) EXPECT_GE(ms[i] - ms[i - 1], 2u) << i;
    EXPECT_EQ((std::pair{rig.timed.added[42].first, rig.timed.added[43].first}), (std::pair{boardinit::kPwmWord, boardinit::kGpioReadWord}));
    EXPECT_GE(ms[43] - ms[42], 100u);
    // (The defaults' bytes: the device pages' tests, which see the same set-up again.)
    ASSERT_EQ(frames.size(), 9u);
    EXPECT_EQ(frames[8], frames[2]);  // the line read asks as the level frame did

    // A driver chosen before the replies are handled: the second reply fills the list
    // again, which drops that choice.
    rig.ChooseMotorType(1);
    rig.ChooseDriver(2);
    EXPECT_EQ(rig.window->Code(), devicetable::MakeCode(1, 2));
    ASSERT_TRUE(guitest::waitFor([&] { return rig.window->count(TaskData) >= 2; }, 5000));
    const auto replies = rig.window->only(TaskData);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ((std::pair{replies[0].w, replies[1].w}), (std::pair{gui::WParam{0x20010}, gui::WParam{0x20011}}));
    EXPECT_EQ((std::tuple{rig.window->BoardTypeReplies(), rig.window->itemAs<gui::ComboBox>(mainwin::kDriverList)->curSel(),
                         rig.window->ShownDevices().size()}),
              (std::tuple{0, -1, 13u}));
    EXPECT_FALSE(rig.OkEnabled());
    SaveScreenshot(rig);  // the stepper models listed with the board connected

    // The chosen model's kind sets the driver lines.
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3321(DC)"));
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    for (int line : {18, 19, 21, 22}) EXPECT_TRUE(sim.sim.portLevel(line)) << line;
    EXPECT_FALSE(sim.sim.portLevel(20));
    EXPECT_EQ((std::tuple{sim.sim.portIsOutput(16), sim.sim.portIsOutput(17), sim.sim.portIsOutput(33)}), (std::tuple{false, false, true}));
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3443"));
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    EXPECT_TRUE(sim.sim.portLevel(21));
    for (int line : {18, 19, 22}) EXPECT_FALSE(sim.sim.portLevel(line)) << line;
}

TEST(MainWindowBoard, TheFirmwareQuestionComesExactlyForDevicesWhoseVersionsDiffer) {
    struct Case {
        std::uint16_t main, second;
        std::set<std::string> asked;
    };
    const std::vector<Case> cases = {
        {0x2113, 0x1319, {"KT3376A", "KT3532"}},
        // Only the dual stepper wants 0x1216; the BLDC "older than" check is content.
        {0x2113, 0x1216, AllModelsBut({"KT3376A", "KT3454/56"})},
        // An older main controller: every model, the "older than" one too.
        {0x2003, 0x1319, AllModelsBut({})},
    };
    for (const Case& c : cases) {
        SimLink sim;
        ASSERT_TRUE(sim.started);
        sim.sim.setMainVersion(c.main);
        sim.sim.setSecondVersion(c.second);
        Rig rig(sim.path());
        ASSERT_TRUE(rig.Open());
        EXPECT_EQ(DevicesAskedAbout(rig), c.asked) << std::hex << c.main << " " << c.second;
    }

    // Without a board nothing is checked and nothing asked.
    Rig none(NoBoard());
    ASSERT_TRUE(none.Open());
    EXPECT_TRUE(DevicesAskedAbout(none).empty());
}

TEST(MainWindowBoard, YesToTheUpdateSaysItIsNotAvailableAndMakesThePageAsAfterNo) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    Rig rig(sim.path(), true);
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    sim.sim.clearFrames();

    Dialogs boxes;
    boxes.answerBox(gui::id::Yes);
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3376A"));
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[1].caption, QString("Tamsiro Firmware Update"));
    EXPECT_TRUE(boxes.boxes()[1].text.contains("not available"));
    ASSERT_NE(rig.pages, nullptr);
    EXPECT_EQ((std::tuple{rig.pages->names.size(), rig.OkEnabled()}), (std::tuple{1u, true}));
    // As after "No": the board is initialised for the device, and the page is not
    // told the link state (that is only for a device chosen without a board).
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    const auto names = Names(sim.Frames());
    EXPECT_NE(std::find(names.begin(), names.end(), "P"), names.end());
    EXPECT_TRUE(rig.pageLog.empty());
}

TEST(MainWindowBoard, TitleAndPageFollowThePortAppearingAndVanishing) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    sim.sim.unplug();
    Rig rig(sim.path(), true);
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ(rig.Title(), QString("Tamsiro (USB Disconnected)"));

    // Chosen without a board: the page is made and told the link state.
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3443"));
    ASSERT_NE(rig.window->CurrentPage(), nullptr);
    EXPECT_EQ(rig.pageLog, (PageLog{{ConnectionState, 0}}));
    EXPECT_EQ(rig.pages->names, std::vector<QString>{"KT3443"});

    // OK shows the page and locks the lists.
    rig.Command(gui::id::Ok);
    EXPECT_EQ((std::tuple{rig.window->CurrentPage()->isShown(), rig.window->item(mainwin::kMotorTypeList)->isEnabled()}), (std::tuple{true, false}));
    // The page reports it was closed: the lists are free again.
    rig.window->send(gui::msg::PageClosed, 0, 0);
    EXPECT_TRUE(rig.window->item(mainwin::kMotorTypeList)->isEnabled());

    // Plugged in (what the page is told: the connection tests).
    sim.sim.replug();
    ASSERT_TRUE(guitest::waitFor([&] { return rig.window->count(TaskData) >= 2; }, 5000));

    // A page asking for re-initialisation gets the defaults sent again.
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    sim.sim.clearFrames();
    rig.window->send(gui::msg::ReinitialiseBoard, 0, 0);
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    EXPECT_EQ(Names(sim.Frames()), (std::vector<std::string>{"C", "E", "E", "83", "819", "P", "82"}));

    // Unplugged: the page is closed and the driver list filled again.
    sim.sim.unplug();
    ASSERT_TRUE(guitest::waitFor([&] { return rig.window->CurrentPage() == nullptr; }, 3000));
    EXPECT_EQ(rig.pages->deleted, 1);
    EXPECT_EQ((std::tuple{rig.window->itemAs<gui::ComboBox>(mainwin::kDriverList)->curSel(), rig.OkEnabled()}), (std::tuple{-1, false}));
}

TEST(MainWindowBoard, ClosingWhileTheBoardDoesNotAnswerWaitsOnlyForTheTaskOnTheWire) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    sim.sim.injectFault(boardsim::Fault::Silence, 1000);
    auto rig = std::make_unique<Rig>(sim.path());
    // The open and 45 initialisation tasks now wait on a silent board.
    const int result = rig->RunModal([&](CQuillfenDlg& w) {
        Dialogs boxes;
        boxes.answerBox(gui::id::No);
        rig->Command(mainwin::kExitApplication);
        EXPECT_FALSE(w.isRunningModal() && boxes.boxes().empty());
    });
    EXPECT_EQ(result, gui::id::Cancel);
    EXPECT_GT(rig->tasks.PendingTasks(), 0u);
    // Shutting the queue down drops what has not started and waits only for the task
    // on the wire (its exchanges end with the link's time-outs), so most of the work
    // never reaches the board.
    rig.reset();
    EXPECT_LT(sim.sim.frameCount(), 6u);
}
