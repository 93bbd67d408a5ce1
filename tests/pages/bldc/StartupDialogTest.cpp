// The start-up test dialog used through input events against the simulator's motor. Not
// threaded: Qt's painting thread pool is uninstrumented.
#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>
#include <array>

#include "data/DataContainer.h"
#include "data/FileTestSupport.h"
#include "pages/bldc/StartupDialog.h"
#include "platform/core/Clock.h"
#include "platform/gui/Controls.h"
#include "platform/gui/GuiTestSupport.h"
#include "tasks/TaskTestSupport.h"
#include "ui/DerivedControl.h"
#include "ui/Graph.h"
#include "ui/Series.h"

using namespace bldc;

namespace {

constexpr std::int32_t kDevice = 0x300;

// The dialog as the page sets it up (setting 39, one FG pulse, the block's 2 pole pairs), shown,
// on the simulator. Time moves only by the worker's sleeps: arrival times are exact.
struct Rig {
    SimBoard board;
    gui::ScriptedDialogs dialogs;
    CDerivedDataContainer store;
    std::array<std::uint16_t, 128> profile{};
    platform::ManualClock clock;
    platform::ScopedClock scope{clock};
    std::unique_ptr<COptionDlg_BLDCTest> dialog;

    Rig() {
        EXPECT_TRUE(board.started);
        EXPECT_TRUE(board.Connect());
        dialog = std::make_unique<COptionDlg_BLDCTest>(board.link.get(),
                                                       [] { return LocalDateTime{2024, 5, 17, 9, 3, 7, 45}; });
        EXPECT_TRUE(dialog->createModeless(nullptr));
        store.SelectContainer(kDevice);
        profile[16] = 1;
        dialog->SetDeviceProfile(profile.data());
        dialog->SetDataSource(&store, kDevice);
        dialog->SetMeasureParam(39);
        dialog->SetPwmSetting(1, 50000, 200, 240);
        dialog->ShowDialog();
    }
    gui::Window& Control(int kind, int index = 0) { return *dialog->FindControl(kind, index); }
    void Click(int kind) { guitest::userClick(Control(kind)); }
    void Key(int kind, Qt::Key key, int times = 1) {
        guitest::focusForKeys(Control(kind));
        for (int i = 0; i < times; ++i) guitest::userKey(Control(kind), key);
    }
    void Type(int kind, const QString& text) {
        gui::Window& edit = Control(kind, 1);
        guitest::focusForKeys(edit);
        edit.setText(QString());
        for (QChar c : text) guitest::userKey(edit, static_cast<Qt::Key>(c.unicode()), QString(c));
        guitest::userKey(edit, Qt::Key_Return);
    }
    QString Field(int id) { return dialog->item(id)->text(); }
    std::pair<bool, bool> StartAbortEnabled() { return {Control(7).isEnabled(), Control(8).isEnabled()}; }
    std::string Rows() {
        auto* list = dialog->itemAs<gui::ListView>(1060);
        std::string rows;
        for (int r = 0; r < list->itemCount(); ++r)
            rows += (list->itemText(r, 0) + "=" + list->itemText(r, 1) + " ").toStdString();
        return rows;
    }
};

}  // namespace

// Ten trials (a typed 3 is held to 10), 1 s time-out, 100 ms bins, 2000 rpm typed (66 Hz).
// Arrivals are 110 ms + the motor's still reads; the fourth start never turns.
TEST(BldcStartupDialog, RunGivesRowsStatisticsHistogramFileAndClipboard) {
    Rig rig;
    rig.board.sim.setMotor({true, 21, false, {3, 5, 4, 1000000, 3, 5, 4, 6, 3, 7}, 20000, 2000, 500});
    rig.Key(0, Qt::Key_Right);
    EXPECT_EQ(rig.Control(0, 1).text(), "11");
    rig.Type(0, "3");
    EXPECT_EQ((std::tuple{rig.Control(0, 1).text(), rig.dialog->FindControl(0, 0)->GetValue()}), (std::tuple{"10", 10u}));
    rig.Key(1, Qt::Key_Left, 9);
    EXPECT_EQ(rig.Control(1, 1).text(), "1");
    // 10 Hz FG at the start is 300 rpm, shown as Target RPM's lowest 1000.
    EXPECT_EQ((std::tuple{rig.Control(4, 1).text().toStdString(), rig.Control(3, 1).text().toStdString(), rig.Control(5, 100).exists()}),
              (std::tuple{"10", "1000", true}));
    rig.Type(3, "2000");
    EXPECT_EQ((std::tuple{rig.dialog->FindControl(3, 0)->GetValue(), rig.Control(4, 1).text()}), (std::tuple{20u, "60"}));
    rig.Key(6, Qt::Key_Left, 4);
    EXPECT_EQ(rig.Control(6, 1).text(), "0.1");

    rig.Click(7);
    ASSERT_TRUE(guitest::waitFor([&] { return !rig.dialog->IsRunning(); }, 60000));
    EXPECT_EQ(rig.StartAbortEnabled(), (std::pair{true, false}));

    EXPECT_EQ(rig.Rows(), "1=113 2=115 3=114 4=0 5=113 6=115 7=114 8=116 9=113 10=117 ");
    EXPECT_EQ(rig.dialog->itemAs<gui::ListView>(1060)->selectedItem(), 9);
    EXPECT_EQ(rig.board.Frames().front(), (std::vector<std::uint8_t>{'8', 4, 39, 39}));
    EXPECT_EQ((QStringList{rig.Field(1067), rig.Field(1068), rig.Field(1069), rig.Field(1070), rig.Field(1071)}),
              (QStringList{"113", "117", "114.44", "1.34", "1"}));
    // The nine arrivals in the (100, 200] bar, the error in none.
    const ISeriesContainer* points = rig.dialog->Histogram()->Series(1)->Container();
    EXPECT_EQ((std::pair{points->CountInRange(100, 200), points->CountInRange(0, 1000)}), (std::pair{9.0, 9.0}));
    EXPECT_EQ(rig.dialog->Histogram()->Range(1, true)->divisions, 100);

    TempDir dir;
    rig.dialogs.answerFile(QString::fromStdString(dir.file("startup.csv")));
    rig.Click(9);
    const std::string saved = readText(dir.file("startup.csv"));
    EXPECT_EQ(saved,
              "---------------<< 2024/05/17 09:03:07.045 >>Record start---------------\r\n"
              "\r\n"
              "Test number, Arrival time[msec]\r\n"
              "1,113\r\n2,115\r\n3,114\r\n4,0\r\n5,113\r\n6,115\r\n7,114\r\n8,116\r\n9,113\r\n10,117\r\n"
              "---------------Record end---------------\r\n");
    rig.Click(9);  // cancelled: nothing more written
    EXPECT_EQ(readText(dir.file("startup.csv")), saved);
    // The results file is written anew: its dialog asks before overwriting one.
    ASSERT_EQ(rig.dialogs.fileDialogs().size(), 2u);
    EXPECT_TRUE(rig.dialogs.fileDialogs()[0].confirmOverwrite);
    rig.Click(10);
    ASSERT_EQ(rig.dialogs.clipboard().size(), 1u);
    EXPECT_EQ(rig.dialogs.clipboard()[0],
              "1\t113\r\n2\t115\r\n3\t114\r\n4\t0\r\n5\t113\r\n6\t115\r\n7\t114\r\n8\t116\r\n9\t113\r\n10\t117\r\n");

    QDir().mkpath(QStringLiteral(TAMSIRO_SCREENSHOT_DIR));
    EXPECT_TRUE(rig.dialog->widget()->grab().save(QStringLiteral(TAMSIRO_SCREENSHOT_DIR "/bldc_startup_test.png")));
}

// A motor that never turns: Abort mid-trial leaves the idle state at once, the motor
// stopped; closing the window does the same and only hides it.
TEST(BldcStartupDialog, AbortOrClosingTheWindowEndsTheRunAtOnce) {
    Rig rig;
    rig.board.sim.setMotor({true, 21, false, {1000000}, 20000, 2000, 500});
    rig.Key(1, Qt::Key_Left, 9);
    rig.Click(7);
    ASSERT_TRUE(guitest::waitFor([&] { return rig.dialog->Results().Rows().size() >= 1; }, 60000));
    // Mid-trial: no more posts are taken in until the click.
    ASSERT_TRUE(WaitUntil([&] { return !rig.board.sim.portLevel(21); }, std::chrono::seconds(30)));
    const std::string rows = rig.Rows();
    EXPECT_EQ(rig.StartAbortEnabled(), (std::pair{false, true}));
    rig.Click(8);
    EXPECT_EQ((std::tuple{rig.dialog->IsRunning(), rig.StartAbortEnabled(), rig.board.sim.portLevel(21)}),
              (std::tuple{false, std::pair{true, false}, true}));
    guitest::settle();
    EXPECT_EQ(rig.Rows(), rows);  // the aborted trial reports nothing

    rig.Click(7);
    ASSERT_TRUE(WaitUntil([&] { return !rig.board.sim.portLevel(21); }, std::chrono::seconds(30)));
    rig.dialog->send(gui::msg::Close);
    EXPECT_EQ((std::tuple{rig.dialog->IsRunning(), rig.dialog->IsShown(), rig.dialog->exists(), rig.board.sim.portLevel(21)}),
              (std::tuple{false, false, true, true}));
}

// Readings at the limits: a count of exactly 100 once the motor turns is noise (101 is not);
// without poles, exactly the 10 Hz FG target has not passed it. Ten trials: all or no errors.
// S/S type 1: a high pin turns the motor.
TEST(BldcStartupDialog, ReadingsAtTheNoiseLimitAndAtTheTargetDoNotArrive) {
    struct Case {
        std::uint32_t poles;
        std::uint16_t fullSpeedCount;
        int type;
        const char* errors;
    };
    for (const Case c : {Case{2, 100, 0, "10"}, Case{2, 101, 1, "0"}, Case{0, 10000, 0, "10"}, Case{0, 9999, 0, "0"}}) {
        SCOPED_TRACE(c.fullSpeedCount);
        Rig rig;
        rig.store.SetValue(18, c.poles);
        rig.dialog->RefreshFromDevice();
        rig.dialog->SetStartStopType(c.type);
        rig.board.sim.setMotor({true, 21, c.type == 1, {3}, 20000, static_cast<std::uint16_t>(20000 - c.fullSpeedCount), c.fullSpeedCount});
        rig.Key(1, Qt::Key_Left, 9);
        rig.Click(7);
        ASSERT_TRUE(guitest::waitFor([&] { return !rig.dialog->IsRunning(); }, 60000));
        EXPECT_EQ(rig.Field(1071).toStdString(), c.errors);
    }
}
