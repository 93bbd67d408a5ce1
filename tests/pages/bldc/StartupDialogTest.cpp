// The start-up test dialog through the user's path against the simulator's motor: a run's
// rows, statistics, histogram, file and clipboard, and Abort ending the worker at once. Not
// threaded: Qt's painting thread pool is uninstrumented (mid-run destruction: StartupTestTest).
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

// The dialog as the page sets it up (PWMIN, measurement setting 39, one FG pulse, the
// block's 2 pole pairs), shown, on the simulator's board. Time moves only by the worker's sleeps,
// so the arrival times are exact.
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
        dialog->RefreshFromDevice();
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
    std::size_t SpeedReads() const {
        std::size_t n = 0;
        for (const auto& f : board.sim.frames()) n += f.bytes.size() >= 2 && f.bytes[0] == '8' && f.bytes[1] == 20;
        return n;
    }
};

}  // namespace

// Ten trials (the fewest the dialog takes: a typed 3 is held to 10), 1 s time-out and
// off time, 100 ms bins, and 2000 rpm typed into Target RPM (2 pole pairs, 1 FG pulse:
// 66 Hz). The motor's still reads give arrival times of 110 ms + still reads; the
// fourth start never turns.
TEST(BldcStartupDialog, RunGivesRowsStatisticsHistogramFileAndClipboard) {
    Rig rig;
    rig.board.sim.setMotor({true, 21, false, {3, 5, 4, 1000000, 3, 5, 4, 6, 3, 7}, 20000, 2000, 500});
    rig.Key(0, Qt::Key_Right);
    EXPECT_EQ(rig.Control(0, 1).text(), "11");
    rig.Type(0, "3");
    EXPECT_EQ((std::tuple{rig.Control(0, 1).text(), rig.dialog->FindControl(0, 0)->GetValue()}), (std::tuple{"10", 10u}));
    rig.Key(1, Qt::Key_Left, 9);
    EXPECT_EQ(rig.Control(1, 1).text(), "1");
    // The 1 Hz FG target at the start is 30 rpm, shown as the slider's lowest 1000.
    EXPECT_EQ(rig.Control(3, 1).text(), "1000");
    rig.Type(3, "2000");
    EXPECT_EQ((std::tuple{rig.dialog->FindControl(3, 0)->GetValue(), rig.Control(4, 1).text()}), (std::tuple{20u, "60"}));
    rig.Key(6, Qt::Key_Left, 4);
    EXPECT_EQ(rig.Control(6, 1).text(), "0.1");

    rig.Click(7);
    ASSERT_TRUE(guitest::waitFor([&] { return !rig.dialog->IsRunning(); }, 60000));
    EXPECT_EQ(rig.StartAbortEnabled(), (std::pair{true, false}));

    EXPECT_EQ(rig.Rows(), "1=113 2=115 3=114 4=0 5=113 6=115 7=114 8=116 9=113 10=117 ");
    EXPECT_EQ(rig.dialog->itemAs<gui::ListView>(1060)->selectedItem(), 9);
    // The measurement setting the page gave goes out first.
    EXPECT_EQ(rig.board.Frames().front(), (std::vector<std::uint8_t>{'8', 4, 39, 39}));
    EXPECT_EQ((QStringList{rig.Field(1067), rig.Field(1068), rig.Field(1069), rig.Field(1070), rig.Field(1071)}),
              (QStringList{"113", "117", "114.44", "1.34", "1"}));
    // Bars of 100 ms over the 1 s time-out: the nine arrivals in (100, 200], the error in none.
    const ISeriesContainer* points = rig.dialog->Histogram()->Series(1)->Container();
    std::vector<int> bars;
    for (int b = 0; b < 10; ++b) bars.push_back(static_cast<int>(points->CountInRange(b * 100, (b + 1) * 100)));
    EXPECT_EQ(bars, (std::vector<int>{0, 9, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rig.dialog->Histogram()->Range(1, true)->divisions, 100);

    TempDir dir;
    rig.dialogs.answerFile(QString::fromStdString(dir.file("startup.csv")));
    rig.Click(9);
    rig.Click(9);  // cancelled: nothing more written
    EXPECT_EQ(readText(dir.file("startup.csv")),
              "---------------<< 2024/05/17 09:03:07.045 >>Record start---------------\r\n"
              "\r\n"
              "Test number, Arrival time[msec]\r\n"
              "1,113\r\n2,115\r\n3,114\r\n4,0\r\n5,113\r\n6,115\r\n7,114\r\n8,116\r\n9,113\r\n10,117\r\n"
              "---------------Record end---------------\r\n");
    rig.Click(10);
    ASSERT_EQ(rig.dialogs.clipboard().size(), 1u);
    EXPECT_EQ(rig.dialogs.clipboard()[0],
              "1\t113\r\n2\t115\r\n3\t114\r\n4\t0\r\n5\t113\r\n6\t115\r\n7\t114\r\n8\t116\r\n9\t113\r\n10\t117\r\n");

    QDir().mkpath(QStringLiteral(TAMSIRO_SCREENSHOT_DIR));
    EXPECT_TRUE(rig.dialog->widget()->grab().save(QStringLiteral(TAMSIRO_SCREENSHOT_DIR "/bldc_startup_test.png")));

    // Closing only hides it.
    rig.dialog->send(gui::msg::Close);
    EXPECT_EQ((std::tuple{rig.dialog->IsShown(), rig.dialog->exists()}), (std::tuple{false, true}));
}

// A motor that never turns: each trial ends at the time-out as an error. Abort in the
// middle of the next trial leaves the idle state before the click returns.
TEST(BldcStartupDialog, NeverTurningMotorGivesErrorsAndAbortEndsTheRun) {
    Rig rig;
    rig.board.sim.setMotor({true, 21, false, {1000000}, 20000, 2000, 500});
    rig.Key(1, Qt::Key_Left, 9);
    rig.Click(7);
    ASSERT_TRUE(guitest::waitFor([&] { return rig.dialog->Results().Rows().size() >= 1; }, 60000));
    // Seen while the run goes on: no more posts are taken in until the click.
    const std::string rows = rig.Rows();
    EXPECT_EQ(rows.substr(0, 4), "1=0 ");
    EXPECT_EQ((std::tuple{rig.Field(1071).toStdString(), rig.Field(1069)}), (std::tuple{std::to_string(rig.dialog->Results().Rows().size()), "0.00"}));
    EXPECT_EQ(rig.StartAbortEnabled(), (std::pair{false, true}));
    const std::size_t reads = rig.SpeedReads();
    ASSERT_TRUE(WaitUntil([&] { return rig.SpeedReads() >= reads + 50; }, std::chrono::seconds(30)));
    const auto clicked = std::chrono::steady_clock::now();
    rig.Click(8);
    EXPECT_FALSE(rig.dialog->IsRunning());
    EXPECT_LT(std::chrono::steady_clock::now() - clicked, std::chrono::milliseconds(200));
    EXPECT_EQ(rig.StartAbortEnabled(), (std::pair{true, false}));
    EXPECT_TRUE(rig.board.sim.portLevel(21));  // the motor is stopped
    guitest::settle();
    EXPECT_EQ(rig.Rows(), rows);  // the aborted trial reports nothing

    // Closing the window mid-trial aborts the run as "Abort Test" does: nothing goes on
    // out of sight.
    rig.Click(7);
    ASSERT_TRUE(WaitUntil([&] { return !rig.board.sim.portLevel(21); }, std::chrono::seconds(30)));
    rig.dialog->send(gui::msg::Close);
    EXPECT_EQ((std::tuple{rig.dialog->IsRunning(), rig.dialog->IsShown(), rig.board.sim.portLevel(21)}),
              (std::tuple{false, false, true}));
}
