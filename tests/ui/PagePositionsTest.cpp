#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "PageTestSupport.h"
#include "app/PagePositions.h"
#include "data/TempDir.h"
#include "parsers/AppSettings.h"
#include "platform/gui/GuiTestSupport.h"
#include "ui/DisplayControls.h"
#include "ui/InputControls.h"
#include "ui/SpeedWindows.h"

namespace {

template <class W>
std::unique_ptr<gui::Window> SpeedWindow(gui::Window& page) {
    auto w = std::make_unique<W>();
    EXPECT_TRUE(w->createModeless(nullptr));
    w->SetOwner(page.handle(), 0);
    w->show();
    return w;
}

// One run of the program.
struct AppRun {
    explicit AppRun(const std::filesystem::path& file) {
        settings.SetPath(file);
        profile.Load();
        AppServices s;
        s.data = &store;
        s.tasks = &queue;
        s.positions = PagePositions(&profile);
        appServices() = s;
        store.SelectContainer(0x100);
        page.SetDeviceInfo(0x100, nullptr, QStringLiteral("Stepper"));
        EXPECT_TRUE(page.createModeless(nullptr));
        auto button = std::make_unique<CDerivedButton>(&page, 3000);
        button->CreateControlWindow(QPoint(10, 10), 200, 100);
        page.AddControl(0, std::move(button));
        page.SetTachometer(SpeedWindow<CSubDialog_Tachometer>(page));
        page.SetSecondTachometer(SpeedWindow<CSubDialog_DigitalTachometer>(page));
        page.SetGraph(SpeedWindow<CSubDialog_Graph>(page));
        // Shown first, so the frame is known.
        page.show();
        page.ResizeWindow();
        page.RestoreWindowPositions();
    }
    ~AppRun() {
        profile.SetRect(CProfileInfo::kMainWindow, ProfileRect{10, 10, 0, 0});  // as the main window does
        page.destroy();                                                         // saves the places
        profile.Save();
        settings.Flush();
        appServices() = AppServices{};
        guitest::settle();
    }
    QRect Tachometer() const { return page.Tachometer()->windowRect(); }

    CSettingsStore settings;
    CProfileInfo profile{&settings};
    CDerivedDataContainer store;
    uitest::RecordingQueue queue;
    uitest::SurfacePage page;
};

}  // namespace

// A stored rectangle gives each window its place, never its size: the windows were made
// smaller than they open before they were stored.
TEST(PagePositions, APageAndItsSpeedWindowsComeBackWhereTheyWereAtTheNextStartAtTheirOwnSizes) {
    TempDir dir;
    const std::filesystem::path file = dir.path() / "Tamsiro.ini";
    QSize pageSize, dialSize, graphSize;
    QRect digital;
    {
        AppRun first(file);
        pageSize = first.page.windowRect().size();
        dialSize = first.Tachometer().size();
        gui::Window* graphWindow = first.page.GetContainerWindow("speedcurve", nullptr);
        graphSize = graphWindow->windowRect().size();
        // Nothing stored: tachometers beside the page, the graph below them (below the
        // dial, the taller of the two).
        EXPECT_EQ(first.Tachometer().topLeft(), QPoint(pageSize.width(), 0));
        EXPECT_EQ(graphWindow->windowRect().topLeft(), QPoint(0, first.Tachometer().height()));
        first.page.moveWindow(QRect(QPoint(20, 30), pageSize));
        first.page.Tachometer()->moveWindow(QRect(400, 0, 170, 180));
        first.page.SecondTachometer()->moveWindow(QRect(400, 10, 382, 160));
        digital = first.page.SecondTachometer()->windowRect();
        graphWindow->moveWindow(QRect(20, 480, 304, 124));
        ASSERT_NE(first.Tachometer().size(), dialSize);
        ASSERT_NE(graphWindow->windowRect().size(), graphSize);
        gui::send(first.page.handle(), gui::msg::Close, 0, 0);
    }
    {
        AppRun second(file);
        EXPECT_EQ(second.page.windowRect(), QRect(QPoint(20, 30), pageSize));
        // Both tachometers share the place saved last.
        EXPECT_EQ(second.Tachometer(), QRect(digital.topLeft(), dialSize));
        EXPECT_EQ(second.page.SecondTachometer()->windowRect(), digital);
        EXPECT_EQ(second.page.GetContainerWindow("speedcurve", nullptr)->windowRect(),
                  QRect(QPoint(20, 480), graphSize));
    }
}

// The page near the lower right corner; the tachometers stored over it; the graph not
// stored: the tachometers go left of the page, the graph above both.
TEST(PagePositions, SpeedWindowsStoredOverThePageOrWithNothingStoredGoWhereTheScreenHasRoom) {
    TempDir dir;
    const std::filesystem::path file = dir.path() / "Tamsiro.ini";
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint corner(area.right() - 300, area.bottom() - 200);
    {
        // A rectangle without width counts as not stored.
        CSettingsStore settings;
        settings.SetPath(file);
        const std::pair<const char*, int> keys[] = {{"mainWindow.left", 10},
                                                    {"mainWindow.top", 10},
                                                    {"deviceWindow.left", corner.x()},
                                                    {"deviceWindow.top", corner.y()},
                                                    {"tachometer.left", corner.x() + 20},
                                                    {"tachometer.top", corner.y() + 20},
                                                    {"tachometer.right", corner.x() + 400},
                                                    {"tachometer.bottom", corner.y() + 420},
                                                    {"speedCurve.left", 9},
                                                    {"speedCurve.top", 9},
                                                    {"speedCurve.right", 9},
                                                    {"speedCurve.bottom", 9}};
        for (const auto& [key, value] : keys) {
            settings.WriteInt(QStringLiteral("WindowPosition"), QString::fromLatin1(key), value);
        }
        ASSERT_TRUE(settings.Flush());
    }
    AppRun run(file);
    const QRect page = run.page.windowRect();
    EXPECT_EQ(page.topLeft(), corner);
    const QRect tachometer = run.Tachometer();
    const QRect graph = run.page.GetContainerWindow("speedcurve", nullptr)->windowRect();
    EXPECT_EQ(tachometer.left() + tachometer.width(), page.left());
    EXPECT_EQ(graph.top() + graph.height(), std::min(page.top(), tachometer.top()));
    run.page.SetSecondTachometer(nullptr);
    run.page.RestoreWindowPositions();
    EXPECT_EQ(run.Tachometer(), tachometer);
}

TEST(PageRestore, AControlWithABitFieldShowsItsBitsOfTheStoredWord) {
    TempDir dir;
    AppRun run(dir.path() / "Tamsiro.ini");
    auto label = std::make_unique<CDerivedLabel>(&run.page, 3001);
    label->SetRegister(40, 0);
    label->SetBitField(4, 3);
    CDerivedControl* control = run.page.AddControl(40 << 16 | 1, std::move(label));
    run.store.SetValue(40, 0xB5);
    run.page.Restore(40, 1);
    EXPECT_EQ(control->GetValue(), 3u);  // bits 4..6 of 0xB5
}

// Stores the page's corner and a tachometer place (the graph's place has no width: not
// stored), as another page left them.
void StorePlaces(const std::filesystem::path& file, QPoint page, QRect tachometer) {
    CSettingsStore settings;
    settings.SetPath(file);
    const std::pair<const char*, int> keys[] = {{"mainWindow.left", 10},
                                                {"mainWindow.top", 10},
                                                {"deviceWindow.left", page.x()},
                                                {"deviceWindow.top", page.y()},
                                                {"tachometer.left", tachometer.left()},
                                                {"tachometer.top", tachometer.top()},
                                                {"tachometer.right", tachometer.left() + tachometer.width()},
                                                {"tachometer.bottom", tachometer.top() + tachometer.height()},
                                                {"speedCurve.left", 9},
                                                {"speedCurve.top", 9},
                                                {"speedCurve.right", 9},
                                                {"speedCurve.bottom", 9}};
    for (const auto& [key, value] : keys)
        settings.WriteInt(QStringLiteral("WindowPosition"), QString::fromLatin1(key), value);
    ASSERT_TRUE(settings.Flush());
}

// A tachometer place stored from the digital window: the dial is taller than that place,
// and the graph goes below the dial, not over it; where the taller dial would reach over
// the page, the place is not used at all.
TEST(PagePositions, SpeedWindowsPlacedByAStoredPlaceAreClearOfEachOtherAndThePageAsTheyLand) {
    {
        TempDir dir;
        const std::filesystem::path file = dir.path() / "Tamsiro.ini";
        StorePlaces(file, QPoint(10, 0), QRect(300, 0, 382, 160));
        AppRun run(file);
        const QRect dial = run.Tachometer();
        const QRect graph = run.page.GetContainerWindow("speedcurve", nullptr)->windowRect();
        ASSERT_EQ(dial.topLeft(), QPoint(300, 0));
        ASSERT_GT(dial.height(), 160);
        EXPECT_FALSE(graph.intersects(dial))
            << "dial " << dial.height() << " high, graph at (" << graph.x() << ", " << graph.y() << ")";
        EXPECT_FALSE(graph.intersects(run.page.windowRect()));
    }
    {
        TempDir dir;
        const std::filesystem::path file = dir.path() / "Tamsiro.ini";
        StorePlaces(file, QPoint(10, 300), QRect(10, 0, 382, 160));
        AppRun run(file);
        // The dial alone, as a page has it (the digital window would take the stored place).
        run.page.SetSecondTachometer(nullptr);
        run.page.RestoreWindowPositions();
        const QRect page = run.page.windowRect();
        ASSERT_EQ(page.topLeft(), QPoint(10, 300));
        EXPECT_EQ(run.Tachometer().topLeft(), QPoint(10 + page.width(), 300));
        const QRect graph = run.page.GetContainerWindow("speedcurve", nullptr)->windowRect();
        EXPECT_FALSE(graph.intersects(run.Tachometer()) || graph.intersects(page))
            << "graph at (" << graph.x() << ", " << graph.y() << ")";
    }
}
