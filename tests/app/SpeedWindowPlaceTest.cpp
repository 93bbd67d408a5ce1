// The speed windows of real pages, opened one after another through the main window on
// a laptop's screen (1366 x 768), with the window places kept in a settings file.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>

#include "PageRigSupport.h"
#include "app/PagePositions.h"
#include "data/TempDir.h"
#include "ui/SpeedLayout.h"

namespace {

using namespace apptest;

constexpr std::uint32_t kStepper = 0x100;
constexpr std::uint32_t kDualStepper = 0x106;
constexpr std::uint32_t kBldc = 0x300;

std::string Describe(const QRect& r) { return testing::PrintToString(r); }

// The main window over the simulator, the pages' window places kept in a settings file
// that holds `positions` (WritePositions' keys) when the run starts.
struct PlaceRig : PageRig<CDerivedDialog> {
    explicit PlaceRig(const std::map<std::string, std::string>& positions) {
        WritePositions(ini, positions);
        rig.settings.SetPath(ini);
        rig.profile.Load();
        appServices().positions = PagePositions(&rig.profile);
    }
    void Close(CDerivedDialog* page) {
        page->send(gui::msg::Command, gui::makeWParam(pagemenu::kCloseWindow, 0), 0);
        ASSERT_TRUE(guitest::waitFor([&] { return !page->isShown(); }, 5000));
        Take();
    }
    TempDir dir;
    std::filesystem::path ini = dir.path() / "Tamsiro.ini";
};

bool LaptopScreen() { return QGuiApplication::primaryScreen()->availableGeometry() == QRect(0, 0, 1366, 768); }

// The page's controls (not those on its speed windows) that the rectangle covers so far
// that they cannot be reached: their centres.
std::vector<std::string> Hidden(const CDerivedDialog& page, const QRect& r) {
    std::vector<std::string> out;
    for (const auto& [key, control] : page.Controls()) {
        if (control->exists() && control->parent() == &page && r.contains(control->windowRect().center()))
            out.push_back(std::to_string(key >> 16) + ": " + Describe(control->windowRect()));
    }
    return out;
}

// The hosted controls that are not wholly inside the tachometer window's client area.
std::vector<std::string> CutOff(const CDerivedDialog& page) {
    std::vector<std::string> out;
    const CSubDialog_Tachometer* tachometer = page.TachometerPanel();
    for (const auto& [key, control] : page.Controls()) {
        if (control->exists() && control->parent() == tachometer &&
            !tachometer->clientRect().contains(control->rectInParent()))
            out.push_back(std::to_string(key >> 16) + ": " + Describe(control->rectInParent()));
    }
    return out;
}

// The screen as the page and its speed windows cover it, for someone to look at.
void SaveScreen(CDerivedDialog& page, const QString& name) {
    QImage screen(1366, 768, QImage::Format_RGB32);
    screen.fill(Qt::black);
    QPainter painter(&screen);
    for (gui::Window* w : {static_cast<gui::Window*>(&page), page.GetContainerWindow("tachometer", nullptr),
                           page.GetContainerWindow("speedcurve", nullptr)}) {
        if (w != nullptr && w->widget() != nullptr) painter.drawPixmap(w->windowRect().topLeft(), w->widget()->grab());
    }
    painter.end();
    QDir().mkpath(TAMSIRO_SCREENSHOT_DIR);
    EXPECT_TRUE(screen.save(QString(TAMSIRO_SCREENSHOT_DIR "/%1.png").arg(name)));
}

}  // namespace

// A tachometer rectangle stored from a smaller window (by another family's page, or in
// the file from an earlier run) gives the stepper's tachometer its place, not its size:
// its readout, slider and lamps stay inside it.
TEST(SpeedWindowPlace, AStepperTachometerKeepsItsOwnSizeWhateverRectangleWasStored) {
    if (!LaptopScreen()) GTEST_SKIP() << "needs the 1366 x 768 screen LaptopScreenMain sets up";
    PlaceRig r({{"deviceWindow.left", "0"},
                {"deviceWindow.top", "0"},
                {"tachometer.left", "400"},
                {"tachometer.top", "0"},
                {"tachometer.right", "782"},
                {"tachometer.bottom", "300"}});
    CDerivedDialog* page = r.Open(kStepper);
    ASSERT_NE(page, nullptr);
    ASSERT_NE(page->TachometerPanel(), nullptr);
    const QSize own = page->TachometerPanel()->windowRect().size();
    EXPECT_GT(own.height(), 300);
    EXPECT_EQ(CutOff(*page), std::vector<std::string>{}) << "with a 382 x 300 rectangle in the file";
    r.Close(page);

    for (const std::uint32_t before : {kBldc, kDualStepper}) {
        SCOPED_TRACE(ModelName(before));
        CDerivedDialog* other = r.Open(before);
        ASSERT_NE(other, nullptr);
        r.Close(other);
        page = r.Open(kStepper);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->TachometerPanel()->windowRect().size(), own);
        EXPECT_EQ(CutOff(*page), std::vector<std::string>{});
        r.Close(page);
    }
    SaveScreen(*r.Open(kStepper), QStringLiteral("laptop_stepper_after_dual"));
}

// On a laptop's screen no place for the dual-stepper page's graph is clear of the page
// and its readout: the graph still goes whole, at its size, where every control of the
// page stays in reach (the best place hides two pixel rows of one button); the BLDC page
// opened next places its windows whole as well.
TEST(SpeedWindowPlace, OnALaptopScreenTheGraphIsWholeAndLeavesEveryControlOfThePageInReach) {
    if (!LaptopScreen()) GTEST_SKIP() << "needs the 1366 x 768 screen LaptopScreenMain sets up";
    const QRect screen(0, 0, 1366, 768);
    const QSize graphSize(speedlayout::kGraphTemplate.width, speedlayout::kGraphTemplate.height);
    // The page at the screen's corner, no graph place stored.
    PlaceRig r({{"deviceWindow.left", "0"}, {"deviceWindow.top", "0"}, {"speedCurve.right", "30"}});
    for (const std::uint32_t key : {kDualStepper, kBldc}) {
        SCOPED_TRACE(ModelName(key));
        CDerivedDialog* page = r.Open(key);
        ASSERT_NE(page, nullptr);
        const QRect graph = page->GetContainerWindow("speedcurve", nullptr)->windowRect();
        const QRect tachometer = page->GetContainerWindow("tachometer", nullptr)->windowRect();
        EXPECT_TRUE(screen.contains(graph) && graph.size() == graphSize) << "graph " << Describe(graph);
        EXPECT_TRUE(screen.contains(tachometer)) << "tachometer " << Describe(tachometer);
        EXPECT_EQ(Hidden(*page, graph), std::vector<std::string>{}) << "graph " << Describe(graph);
        EXPECT_FALSE(graph.intersects(tachometer))
            << "graph " << Describe(graph) << ", tachometer " << Describe(tachometer);
        SaveScreen(*page, QStringLiteral("laptop_%1").arg(QString::fromStdString(ModelName(key))));
        r.Close(page);
    }
}

// The stepper's tachometer dragged to the right of the middle and its graph dragged
// down until it hangs over the screen's bottom: opened again, the graph comes back
// whole, and no place is clear of the page and the tachometer. Covering the dial's
// image is one control, covering the readouts, slider and lamps below it is several:
// the graph must leave those in sight.
TEST(SpeedWindowPlace, AGraphWithNoClearPlaceLeavesTheTachometersReadoutSliderAndLampsInSight) {
    if (!LaptopScreen()) GTEST_SKIP() << "needs the 1366 x 768 screen LaptopScreenMain sets up";
    const QRect screen(0, 0, 1366, 768);
    PlaceRig r({{"deviceWindow.left", "0"}, {"deviceWindow.top", "0"}});
    CDerivedDialog* page = r.Open(kStepper);
    ASSERT_NE(page, nullptr);
    gui::Window* tachometer = page->GetContainerWindow("tachometer", nullptr);
    gui::Window* graph = page->GetContainerWindow("speedcurve", nullptr);
    ASSERT_TRUE(tachometer != nullptr && graph != nullptr);
    // As a drag leaves them: the graph partly below the screen.
    tachometer->widget()->move(692, 170);
    graph->widget()->move(340, 600);
    r.Close(page);

    page = r.Open(kStepper);
    ASSERT_NE(page, nullptr);
    const QRect tachometerRect = page->GetContainerWindow("tachometer", nullptr)->windowRect();
    const QRect graphRect = page->GetContainerWindow("speedcurve", nullptr)->windowRect();
    ASSERT_EQ(tachometerRect.topLeft(), QPoint(692, 170));
    EXPECT_TRUE(screen.contains(graphRect)) << "graph " << Describe(graphRect);
    std::vector<std::string> covered;
    for (const auto& [key, control] : page->Controls()) {
        if (control->exists() && control->parent() == page->TachometerPanel() &&
            graphRect.intersects(control->windowRect()))
            covered.push_back("word " + std::to_string(key >> 16) + " \"" + control->text().toStdString() + "\" " +
                              Describe(control->windowRect()));
    }
    EXPECT_EQ(covered, std::vector<std::string>{})
        << "graph " << Describe(graphRect) << ", tachometer " << Describe(tachometerRect);
    SaveScreen(*page, QStringLiteral("laptop_stepper_graph_below_screen"));
}
