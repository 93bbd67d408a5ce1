// What the board receives, and when, at its start-up and at each family's page opening,
// on the simulator over a pseudo-terminal with the program's real pauses. The frames and
// the least gap before each are kept in data/opening-wire.txt, taken from the program
// before its pacing moved off the GUI thread; only lower bounds on the gaps are checked.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "PageRigSupport.h"
#include "ui/DerivedDialog.h"

using namespace apptest;

namespace {

struct WireFrame {
    std::string hex;
    double gapMs = 0;  // since the frame before (the first: since the capture began)
};
using Wire = std::vector<WireFrame>;

// The sections of the expectation file: "[name]" and then "<least gap in ms> <hex>" lines.
std::map<std::string, Wire> ReadExpected() {
    std::map<std::string, Wire> out;
    std::ifstream in(TAMSIRO_OPENING_WIRE);
    std::string line;
    Wire* section = nullptr;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = &out[line.substr(1, line.find(']') - 1)];
            continue;
        }
        if (section == nullptr) continue;
        std::istringstream fields(line);
        WireFrame f;
        fields >> f.gapMs;
        std::getline(fields >> std::ws, f.hex);
        section->push_back(f);
    }
    return out;
}

Wire Capture(const SimLink& sim, std::chrono::steady_clock::time_point from) {
    Wire out;
    for (const auto& f : sim.sim.frames()) {
        out.push_back({Hex(f.bytes), std::chrono::duration<double, std::milli>(f.received - from).count()});
        from = f.received;
    }
    return out;
}

std::string Listing(const Wire& wire) {
    std::ostringstream out;
    for (const auto& f : wire) out << static_cast<int>(f.gapMs) << " " << f.hex << "\n";
    return out.str();
}

// The same frames in the same order as the expectation's, each at least its gap after
// the one before; frames after them (the page's status polls) are not compared. The
// simulator stamps a frame when its read returns: a millisecond of slack covers a read
// that came late for the earlier frame. The first `skip` frames of the expectation are
// left out (the choice's own reads, for a page shown again).
const std::map<std::string, Wire>& Expected() {
    static const std::map<std::string, Wire> expected = ReadExpected();
    return expected;
}

void ExpectWire(const std::string& name, const Wire& got, std::size_t skip = 0) {
    const std::map<std::string, Wire>& expected = Expected();
    const auto it = expected.find(name);
    ASSERT_NE(it, expected.end()) << "no section [" << name << "] in " << TAMSIRO_OPENING_WIRE
                                  << "; what the board received:\n"
                                  << Listing(got);
    ASSERT_LE(skip, it->second.size());
    const Wire want(it->second.begin() + static_cast<std::ptrdiff_t>(skip), it->second.end());
    bool same = got.size() >= want.size();
    for (std::size_t i = 0; same && i < want.size(); ++i) same = got[i].hex == want[i].hex;
    ASSERT_TRUE(same) << "[" << name << "] wanted " << want.size() << " frames:\n"
                      << Listing(want) << "received " << got.size() << ":\n"
                      << Listing(got);
    for (std::size_t i = 1; i < want.size(); ++i)
        EXPECT_GE(got[i].gapMs + 1.0, want[i].gapMs) << "[" << name << "] frame " << i << " " << want[i].hex;
}

struct Opening {
    const char* family;
    std::uint32_t key;
};

}  // namespace

TEST(OpeningWire, TheBoardsStartUpPutsItsFramesOnTheWireInOrderAndPaced) {
    SimLink sim;
    ASSERT_TRUE(sim.started);
    Rig rig(sim.path());
    platform::SystemClock system;
    platform::ScopedClock real(system);  // the pauses as the program takes them
    const auto from = std::chrono::steady_clock::now();
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(guitest::waitFor([&] { return rig.window->count(gui::msg::TaskData) >= 2; }, 10000));
    ASSERT_TRUE(rig.tasks.WaitIdle(5000));
    ExpectWire("startup", Capture(sim, from));
}

TEST(OpeningWire, EachFamilysPageOpeningPutsTheSameFramesOnTheWireInOrderAndPaced) {
    // One model of each family, and the models whose restore differs within one.
    const Opening openings[] = {{"stepper", 0x100}, {"stepper", 0x101}, {"dual", 0x106}, {"dc", 0x200},
                                {"bldc", 0x300},    {"bldc", 0x302},    {"lens", 0x400}};
    for (const Opening& o : openings) {
        PageRig<CDerivedDialog> r;
        ASSERT_TRUE(r.Start());
        platform::SystemClock system;
        platform::ScopedClock real(system);
        r.Settle();
        r.sim.sim.clearFrames();
        const auto from = std::chrono::steady_clock::now();
        {
            Dialogs boxes;
            boxes.answerBox(gui::id::No);  // a firmware question, where the model has one
            ASSERT_TRUE(r.rig.ChooseDriverNamed(ModelName(o.key))) << o.family << " " << std::hex << o.key;
        }
        // The page is made and sets the board up; it is not shown, so nothing polls.
        auto* page = dynamic_cast<CDerivedDialog*>(r.rig.window->CurrentPage());
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(guitest::waitFor([&] { return !page->BoardSetUpPending(); }, 10000)) << "set-up still waiting";
        r.Settle();
        std::ostringstream name;
        name << o.family << " " << std::hex << o.key;
        ExpectWire(name.str(), Capture(r.sim, from));
    }
}

// A page closed from its menu while its opening's set-up still waits for the board's
// defaults drops that set-up; shown again with OK, it opens on the board as a calm opening
// does: the same frames (but the firmware-version reads the choice made) in the same order
// and spacing, so the board ends as after a calm opening. Closed once that is done and
// shown again, it sends no restore.
TEST(OpeningWire, APageClosedWithinItsOpeningAndShownAgainPutsACalmOpeningsFramesOnTheWire) {
    const Opening openings[] = {{"stepper", 0x100}, {"dual", 0x106}, {"dc", 0x200}, {"bldc", 0x300}, {"lens", 0x400}};
    constexpr std::size_t kChoiceReads = 2;  // '56' and '8' 0x12: the choice's firmware check
    for (const Opening& o : openings) {
        std::ostringstream name;
        name << o.family << " " << std::hex << o.key;
        SCOPED_TRACE(name.str());
        PageRig<CDerivedDialog> r;
        ASSERT_TRUE(r.Start());
        platform::SystemClock system;
        platform::ScopedClock real(system);
        r.Settle();
        {
            Dialogs boxes;
            boxes.answerBox(gui::id::No);  // a firmware question, where the model has one
            ASSERT_TRUE(r.rig.ChooseDriverNamed(ModelName(o.key)));
        }
        auto* page = dynamic_cast<CDerivedDialog*>(r.rig.window->CurrentPage());
        ASSERT_NE(page, nullptr);
        // No event has run since the choice: the set-up still waits for the defaults it queued.
        r.rig.Command(gui::id::Ok);
        ASSERT_TRUE(page->isShown() && page->BoardSetUpPending()) << "the opening's set-up was done before the close";
        page->send(gui::msg::Command, gui::makeWParam(pagemenu::kCloseWindow, gui::notify::MenuOrAccelerator), 0);
        guitest::settle();  // the close it posts
        ASSERT_FALSE(page->isShown());
        r.Settle();  // the choice's defaults on the wire, the dropped set-up's notice delivered
        r.sim.sim.clearFrames();

        const auto from = std::chrono::steady_clock::now();
        r.rig.Command(gui::id::Ok);
        ASSERT_TRUE(page->isShown());
        // The shown page polls once set up, so the queue is never idle: wait for the frames.
        const std::size_t wanted = Expected().at(name.str()).size() - kChoiceReads;
        EXPECT_TRUE(guitest::waitFor([&] { return r.sim.sim.frames().size() >= wanted; }, 10000));
        ExpectWire(name.str(), Capture(r.sim, from), kChoiceReads);

        // Its set-up done, closed and shown again: no restore is asked for.
        page->send(gui::msg::Command, gui::makeWParam(pagemenu::kCloseWindow, gui::notify::MenuOrAccelerator), 0);
        guitest::settle();
        ASSERT_FALSE(page->isShown());
        r.rig.Command(gui::id::Ok);
        EXPECT_EQ((std::tuple{page->isShown(), page->BoardSetUpPending()}), (std::tuple{true, false}))
            << "shown, set-up asked for";
    }
}
