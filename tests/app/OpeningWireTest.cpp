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
// that came late for the earlier frame.
void ExpectWire(const std::string& name, const Wire& got) {
    static const std::map<std::string, Wire> expected = ReadExpected();
    const auto it = expected.find(name);
    ASSERT_NE(it, expected.end()) << "no section [" << name << "] in " << TAMSIRO_OPENING_WIRE
                                  << "; what the board received:\n"
                                  << Listing(got);
    const Wire& want = it->second;
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
