// The frequency and stop relations of a lens page against the simulator: a press on
// their owner buttons writes the output pair's exact frames, with the data words held
// to their fields, and nothing while the page is hidden.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/gui/CommonDialogs.h"
#include "platform/gui/GuiTestSupport.h"
#include "surfacepage/LensPage.h"
#include "tasks/TaskTestSupport.h"
#include "ui/PageTestSupport.h"

namespace {

// "Set Freq / Count" and "STOP" of both output pairs.
const char* const kSurface = R"(<Tamsiro_Device>
  <relationlist>
    <relation><relation_contents>out_freq</relation_contents><owner_id>30</owner_id><destination_id>30</destination_id>
      <datalist><data>1</data><data>3</data><data>4</data></datalist></relation>
    <relation><relation_contents>stop_freq</relation_contents><owner_id>31</owner_id><destination_id>31</destination_id>
      <datalist><data>1</data></datalist></relation>
    <relation><relation_contents>out_freq</relation_contents><owner_id>32</owner_id><destination_id>32</destination_id>
      <datalist><data>0</data><data>5</data><data>6</data></datalist></relation>
  </relationlist>
  <controls>
    <control><software><gui_type>button</gui_type><gui_pos>10, 10</gui_pos><gui_size>90, 24</gui_size></software>
      <data><relation_id>30</relation_id></data></control>
    <control><software><gui_type>button</gui_type><gui_pos>110, 10</gui_pos><gui_size>60, 24</gui_size></software>
      <data><relation_id>31</relation_id></data></control>
    <control><software><gui_type>button</gui_type><gui_pos>10, 40</gui_pos><gui_size>90, 24</gui_size></software>
      <data><relation_id>32</relation_id></data></control>
  </controls>
</Tamsiro_Device>
)";

struct LensFrames : ::testing::Test {
    void SetUp() override
    {
        XmlInitialize();
        ASSERT_TRUE(board.started);
        ASSERT_TRUE(board.Connect());
        store.SelectContainer(0x400);
        page = gui::makeWindow<CDeviceDialog_Lens>([](std::int32_t) { return std::optional<std::string>(kSurface); });
        page->SetDeviceInfo(0x400, nullptr, QStringLiteral("LV8401"));
        ASSERT_TRUE(page->createModeless(nullptr));
        page->show();
        // Opening starts channel 8; what follows is the buttons' own.
        EXPECT_TRUE(board.sim.waitForFrames(1, std::chrono::seconds(10)));
        board.sim.clearFrames();
    }
    void TearDown() override
    {
        page.reset();
        guitest::settle();
    }
    // Every frame sent since the last call, once `count` arrived.
    std::vector<Bytes> Sent(std::size_t count)
    {
        EXPECT_TRUE(board.sim.waitForFrames(count, std::chrono::seconds(10)));
        std::vector<Bytes> frames = board.Frames();
        board.sim.clearFrames();
        return frames;
    }
    void Press(std::uint32_t id) { page->FindControlByKey(id)->NotifyParent(); }

    gui::ScriptedDialogs dialogs;
    SimBoard board;
    CDerivedDataContainer store;
    uitest::RecordingQueue queue;
    uitest::ScopedServices services{&store, &queue, board.link.get()};
    gui::WindowPtr<CDeviceDialog_Lens> page;
};

}  // namespace

TEST_F(LensFrames, SetFreqAndStopWriteThePairsOutputFrames)
{
    ASSERT_EQ(page->SurfaceProblems(), std::vector<std::string>{});
    store.SetValue(3, 10);
    store.SetValue(4, 500);
    Press(1000);
    EXPECT_EQ(Sent(3), (std::vector<Bytes>{{0x4F, 0xE1, 0x00, 0x80, 0x00, 0x80},
                                           {0x4F, 0xE3, 0x00, 0x00, 0x8A, 0x8A},
                                           {0x4F, 0xE0, 0xF4, 0x81, 0x01, 0x76}}));
    Press(1001);
    EXPECT_EQ(Sent(1), (std::vector<Bytes>{{0x4F, 0xE1, 0x00, 0x80, 0x00, 0x80}}));

    // Pair 0 with words a parameter file set out of their fields: the pair bit stays 0.
    store.SetValue(5, 200);    // 0x48 in its seven bits
    store.SetValue(6, 40000);  // 0x1C40 in its fifteen bits
    Press(1002);
    EXPECT_EQ(Sent(3), (std::vector<Bytes>{{0x4F, 0xE1, 0x00, 0x00, 0x00, 0x00},
                                           {0x4F, 0xE3, 0x00, 0x00, 0x48, 0x48},
                                           {0x4F, 0xE0, 0x40, 0x1C, 0x01, 0x5D}}));

    // A hidden page asks for nothing.
    page->hide();
    Press(1000);
    Press(1001);
    guitest::settle();
    EXPECT_TRUE(board.Frames().empty());
}
