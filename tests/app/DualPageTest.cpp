// The dual-stepper page through the real main window against the board simulator in its
// long-frame variant (second controller 0x1216): opening, each kind of change, both
// motors' runs with their motor-mode pairs, and the page as a user meets it.
#include <gtest/gtest.h>

#include "PageRigSupport.h"
#include "pages/dual/DualPage.h"

using namespace apptest;

namespace {

struct DualRig : PageRig<CDeviceDialog_StepperDual> {
    DualRig() { sim.sim.setSecondVersion(0x1216); }
};

}  // namespace

TEST(DualPage, Probe) {
    DualRig r;
    auto* page = r.Open(0x106);
    ASSERT_NE(page, nullptr);
    r.rig.tasks.WaitIdle(5000);
    for (auto& f : r.sim.Frames()) std::printf("%s\n", Hex(f).c_str());
    SaveScreenshots(*page, "dual_page");
}
