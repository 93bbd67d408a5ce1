// A page closed from its menu reads nothing more from the board, for every family: opened
// through the real main window against the simulator, polling (and recording, where the
// page records), then File > "Close window", and the wire watched for a few polling periods.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "PageRigSupport.h"
#include "pages/bldc/BldcLayout.h"
#include "pages/dual/DualRun.h"
#include "ui/DerivedDialog.h"

using namespace apptest;

namespace {

struct Family {
    const char* name;
    std::uint32_t key;
    std::uint16_t secondVersion;  // 0: the simulator's own
    int recordKind;               // -1: the page records nothing
    // A frame of the page's status poll; none for a page without one.
    std::function<bool(const Bytes&)> polls;
};

bool ReadsAnalog(const Bytes& f) { return !f.empty() && f[0] == 'A'; }

const Family kFamilies[] = {
    {"stepper", 0x100, 0, 51, ReadsAnalog},
    {"dual-stepper", 0x106, 0x1216, pages::dual::word::kRecord, ReadsAnalog},
    {"DC", 0x200, 0, -1, ReadsAnalog},
    // The polling task reads the speed count.
    {"BLDC", 0x305, 0, bldc::kRecord, [](const Bytes& f) { return f == F("38 14"); }},
    {"lens", 0x400, 0, -1, nullptr},
};

// Several of the pages' 50 ms polling periods (and of the polling task's): long enough to
// see a poll that goes on, short enough not to slow the suite.
constexpr int kWatchMs = 400;

}  // namespace

TEST(ClosedPage, ReadsNothingFromTheBoardAndRecordsNoMoreRowsInEveryFamily) {
    for (const Family& family : kFamilies) {
        SCOPED_TRACE(family.name);
        TempDir dir;  // outlives the rig: the record ends when the page goes
        PageRig<CDerivedDialog> r;
        if (family.secondVersion != 0) r.sim.sim.setSecondVersion(family.secondVersion);
        CDerivedDialog* page = r.Open(family.key);
        ASSERT_NE(page, nullptr);
        if (family.polls) {
            const auto polled = [&] {
                const std::vector<Bytes> frames = r.sim.Frames();
                return std::any_of(frames.begin(), frames.end(), family.polls);
            };
            ASSERT_TRUE(guitest::waitFor(polled, 5000)) << "polling from the show";
        }

        // Recording, where the page records: rows come while it polls.
        const std::filesystem::path csv = dir.path() / "speed.csv";
        const auto recorded = [&] { return std::filesystem::exists(csv) ? std::filesystem::file_size(csv) : 0u; };
        if (family.recordKind >= 0) {
            const auto kind = static_cast<std::uint32_t>(family.recordKind);
            Dialogs boxes;
            boxes.answerFile(QString::fromStdString(csv.string()));
            page->send(gui::msg::Command, gui::makeWParam(pagemenu::kExportSpeedGraph, 0), 0);
            ASSERT_TRUE(page->FindControl(kind, 0) != nullptr && page->FindControl(kind, 0)->isEnabled());
            Change(*page, kind, 0, 1);
            const auto started = recorded();
            ASSERT_GT(started, 0u);
            ASSERT_TRUE(guitest::waitFor([&] { return recorded() > started; }, 5000)) << "a row while polling";
        }

        // File > "Close window" (the menu posts the close). What the close itself sends goes
        // out; from then on the wire stays quiet: no status read, no polling task's frame.
        {
            Dialogs boxes;  // none expected
            page->send(gui::msg::Command, gui::makeWParam(pagemenu::kCloseWindow, 0), 0);
            ASSERT_TRUE(guitest::waitFor([&] { return !page->isShown(); }, 5000));
            r.Take();
        }
        const auto rows = recorded();
        const bool quiet = !guitest::waitFor([&] { return !r.sim.Frames().empty(); }, kWatchMs);
        r.Settle();
        const std::vector<Bytes> after = r.sim.Frames();
        EXPECT_TRUE(quiet && after.empty()) << "after the close: " << ::testing::PrintToString(Names(after));
        EXPECT_EQ(recorded(), rows) << "rows written after the close";
        EXPECT_EQ(r.rig.window->CurrentPage(), page) << "closed, not gone";
    }
}
