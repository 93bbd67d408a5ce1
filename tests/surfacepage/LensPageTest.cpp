// The XML-surface page built from a small surface: the controls each block makes, the
// stored values they start with, one observer per control and one subject per data
// word, the relation-id map, one refresh per word with its relations, the channel-8
// record, a refresh after a parameter set on either lens model, a surface that cannot
// be read, and a destroyed page that leaves nothing behind.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "LensPageRig.h"
#include "tasks/Event.h"
#include "tasks/Timer.h"
#include "ui/FloatDialog.h"
#include "ui/SliderControl.h"

namespace {

const char* const kSurface = R"(<Tamsiro_Device>
  <registerlist>
    <register><address>0</address><bitlength>8</bitlength></register>
    <register><address>1</address><bitlength>16</bitlength></register>
  </registerlist>
  <relationlist>
    <relation><relation_contents>enable_state</relation_contents><owner_id>1</owner_id>
      <destination_id>5</destination_id><datalist><data>1</data><data>0</data></datalist></relation>
    <relation><relation_contents>hide_window</relation_contents><owner_id>9</owner_id>
      <parentname>floating</parentname></relation>
  </relationlist>
  <controls>
    <control><software><gui_type>frame</gui_type><gui_pos>5, 5</gui_pos><gui_size>300, 200</gui_size>
      <gui_description>Chip</gui_description></software></control>
    <control><software><gui_type>check</gui_type><gui_pos>10, 20</gui_pos><gui_size>80, 24</gui_size>
      <gui_description>Off, On</gui_description></software>
      <data><container_id>10</container_id><lsbbit>4</lsbbit><bitlength>1</bitlength><relation_id>1</relation_id></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>100, 20</gui_pos><gui_size>60, 20</gui_size></software>
      <data><container_id>10</container_id><lsbbit>4</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>slider</gui_type><gui_pos>10, 60</gui_pos><gui_size>200, 30</gui_size>
      <gui_parameter>0, 15</gui_parameter></software>
      <data><container_id>10</container_id><lsbbit>0</lsbbit><bitlength>4</bitlength><relation_id>5</relation_id></data></control>
    <control><software><gui_type>knob</gui_type></software></control>
    <control><software><gui_type>combobox</gui_type><gui_pos>10, 100</gui_pos><gui_size>100, 120</gui_size>
      <gui_description>A, B, C</gui_description></software><data><container_id>11</container_id></data></control>
    <control><software><gui_type>button</gui_type><gui_pos>10, 150</gui_pos><gui_size>60, 24</gui_size>
      <gui_description>Exit</gui_description></software><data><relation_id>9</relation_id></data></control>
  </controls>
  <controls parent="floating">
    <control><software><gui_type>check</gui_type><gui_pos>5, 5</gui_pos><gui_size>80, 24</gui_size></software>
      <data><container_id>12</container_id><relation_id>1</relation_id></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>5, 40</gui_pos><gui_size>80, 20</gui_size></software></control>
  </controls>
  <controls parent="tachometer">
    <control><software><gui_type>label</gui_type></software></control>
  </controls>
</Tamsiro_Device>
)";

// Controls whose changes reach the task queue and the register images.
const char* const kChangeSurface = R"(<Tamsiro_Device>
  <registerlist>
    <register><address>0</address><bitlength>8</bitlength></register>
    <register><address>1</address><bitlength>8</bitlength></register>
    <register><address>2</address><bitlength>8</bitlength></register>
    <register><address>3</address><bitlength>8</bitlength></register>
  </registerlist>
  <controls>
    <control><software><gui_type>check</gui_type><gui_pos>10, 10</gui_pos><gui_size>80, 24</gui_size></software>
      <hardware><device_target>gpio</device_target><device_number>31</device_number><device_io_type>output</device_io_type></hardware>
      <data><container_id>20</container_id><lsbbit>0</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>slider</gui_type><gui_pos>10, 40</gui_pos><gui_size>200, 30</gui_size>
      <gui_parameter>0, 15</gui_parameter></software>
      <hardware><device_target>i2c</device_target><register_address>0</register_address></hardware>
      <data><container_id>21</container_id><lsbbit>0</lsbbit><bitlength>4</bitlength></data></control>
    <control><software><gui_type>edit</gui_type><gui_pos>220, 40</gui_pos><gui_size>60, 24</gui_size></software>
      <data><container_id>21</container_id><lsbbit>0</lsbbit><bitlength>4</bitlength></data></control>
    <control><software><gui_type>radio</gui_type><gui_pos>10, 80</gui_pos><gui_size>120, 24</gui_size></software>
      <hardware><device_target>i2c</device_target><register_address>-2</register_address>
        <i2c_startadrs>0</i2c_startadrs><i2c_endadrs>3</i2c_endadrs></hardware>
      <data><container_id>22</container_id><fixed_value>0</fixed_value></data></control>
    <control><software><gui_type>button</gui_type><gui_pos>10, 110</gui_pos><gui_size>60, 24</gui_size></software>
      <hardware><device_target>i2c</device_target><transfer>1</transfer></hardware></control>
    <control><software><gui_type>button</gui_type><gui_pos>80, 110</gui_pos><gui_size>60, 24</gui_size></software>
      <hardware><device_target>lens_sequence</device_target></hardware></control>
  </controls>
</Tamsiro_Device>
)";

// Counts the events a subject hands it.
class CountingObserver final : public IObserver {
public:
    int Update(const IEvent* event) override {
        if (event != nullptr) ++updates;
        return 1;
    }
    int updates = 0;
};

class LensPage : public LensPageRig {
protected:
    void Open(std::int32_t key, std::optional<std::string> text = std::string(kSurface)) {
        store.SelectContainer(key);
        store.SetValue(10, 0x1B);  // bit 4 set, bits 0-3 = 11
        store.SetValue(11, 2);
        store.SetValue(12, 1);  // the floating check that also owns relation 1 agrees
        Make(key, [text](std::int32_t) { return text; });
    }
};

}  // namespace

TEST_F(LensPage, BuildsEveryControlItsSurfaceDescribesWithItsStoredValueAndWiring) {
    Open(0x400);
    std::vector<std::uint32_t> ids;
    for (const auto& [id, control] : page->Controls()) ids.push_back(id);
    // 1004 names no control class and the page has no tachometer window: neither is made.
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{1000, 1001, 1002, 1003, 1005, 1006, 2000, 2001}));
    ASSERT_NE(page->GetFloatingDialog(), nullptr);
    EXPECT_EQ(Control(2000)->GetParentWindow(), static_cast<gui::Window*>(page->GetFloatingDialog()));
    EXPECT_EQ(Control(1001)->GetParentWindow(), static_cast<gui::Window*>(page.get()));
    EXPECT_EQ(Control(1000)->text(), QStringLiteral("Chip"));
    EXPECT_EQ(Control(1001)->GetValue(), 1u) << "bit 4 of word 10";
    EXPECT_EQ(Control(1003)->GetValue(), 11u) << "bits 0-3 of word 10";
    EXPECT_EQ(Control(1005)->GetValue(), 2u);
    EXPECT_EQ(
        page->SurfaceProblems(),
        (std::vector<std::string>{
            "Surface \"LensControls of device 0x400\", control 1004: gui_type \"knob\" names no control; none is made",
            "Surface \"LensControls of device 0x400\", control 3000: the page has no \"tachometer\" window; the "
            "control is not made"}));

    // The first control of a relation id keeps it; relations ran at the refresh: both
    // owners of relation 1 are on (1), so the slider it acts on is disabled ("0").
    EXPECT_EQ(page->ControlOfRelation(1), Control(1001));
    EXPECT_EQ(page->ControlOfRelation(9), Control(1006));
    EXPECT_FALSE(Control(1003)->isEnabled());
    EXPECT_EQ(page->RelationCount(), 2u);
    ASSERT_NE(page->Register(1), nullptr);
    EXPECT_EQ(page->Register(1)->GetBitWidth(), 16u);
    EXPECT_EQ(page->Register(2), nullptr);

    // One subject per data word; a refresh notifies each word once, however many
    // controls show it.
    ASSERT_NE(page->SubjectOf(10), nullptr);
    EXPECT_EQ(page->SubjectOf(13), nullptr);
    CountingObserver word10, word12;
    page->SubjectOf(10)->Attach(&word10);
    page->SubjectOf(12)->Attach(&word12);
    page->RefreshAll();
    EXPECT_EQ(word10.updates, 1);
    EXPECT_EQ(word12.updates, 1);

    // The floating window's relation holds the floating dialog: the Exit button hides it.
    page->GetFloatingDialog()->show();
    page->ApplyRelationsOf(*Control(1006));
    EXPECT_FALSE(page->GetFloatingDialog()->isShown());

    // Channel 8 starts at half duty on the lens boards; the other channels keep their flags.
    const PwmChannelRecord* ch8 = page->PwmSetting(8);
    EXPECT_EQ((std::tuple{ch8->channel, ch8->value, ch8->exponent, ch8->period, ch8->flagA, ch8->flagB, ch8->percent,
                          ch8->send}),
              (std::tuple{8u, 50.0, 5.0, 3750u, 0u, 0u, 1u, 1u}));
    EXPECT_EQ((std::tuple{page->PwmSetting(0)->flagA, page->PwmSetting(7)->flagB, page->PwmSetting(2)->flagA,
                          page->PwmSetting(2)->flagB, page->PwmSetting(3)->flagB}),
              (std::tuple{1u, 1u, 0u, 1u, 0u}));
    EXPECT_TRUE(page->text().contains(QStringLiteral("Disconnected"))) << page->text().toStdString();
    EXPECT_TRUE(dialogs.boxes().empty());
    EXPECT_EQ(Control(1001)->font().family().toStdString(), page->GetPageFont().family().toStdString());
    EXPECT_EQ(Control(1001)->font().pixelSize(), page->GetPageFont().pixelSize()) << "controls take the page's font";

    // The page has no status to poll: shown, its status timer stays off.
    ASSERT_NE(page->GetStatusTimer(), nullptr);
    page->show();
    EXPECT_EQ(page->GetStatusTimer()->IsRunning(), 0u);
    page->hide();
}

TEST_F(LensPage, ALoadedParameterSetIsShownOnEitherLensModel) {
    for (const std::int32_t key : {0x400, 0x401}) {
        Open(key);
        store.SetValue(10, 0x07);  // bit 4 clear: the checks are off and the slider enabled
        store.SetValue(12, 0);
        page->send(gui::msg::ReapplyDeviceData, 0, 0);
        EXPECT_EQ(Control(1001)->GetValue(), 0u) << std::hex << key;
        EXPECT_EQ(Control(1003)->GetValue(), 7u) << std::hex << key;
        EXPECT_TRUE(Control(1003)->isEnabled()) << std::hex << key;
        // A reload shows the store again without reading the surface again.
        store.SetValue(10, 0x13);
        EXPECT_EQ(page->ReloadSurface(), 1);
        EXPECT_EQ(Control(1003)->GetValue(), 3u) << std::hex << key;
        EXPECT_EQ(page->Controls().size(), 8u) << std::hex << key;
        page.reset();
        guitest::settle();
    }
}

TEST_F(LensPage, ASurfaceThatCannotBeReadIsSaidAndThePageStaysEmpty) {
    Open(0x400, std::string("<Tamsiro_Device><controls></Tamsiro_Device>"));
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_TRUE(dialogs.boxes()[0].text.startsWith(
        QStringLiteral("Surface \"LensControls of device 0x400\": could not be read")))
        << dialogs.boxes()[0].text.toStdString();
    EXPECT_EQ(dialogs.boxes()[0].icon, gui::MessageIcon::Error);
    EXPECT_TRUE(page->Controls().empty());
    EXPECT_EQ(page->PwmSetting(8)->period, 0u) << "channel 8 is not started for a page without a surface";
    EXPECT_TRUE(page->text().endsWith(QStringLiteral("(USB Disconnected)"))) << page->text().toStdString();
    EXPECT_EQ(XmlFind(CDeviceDialog_Lens::kSurfaceKey), nullptr);
    page.reset();
    guitest::settle();

    Open(0x402, std::nullopt);
    ASSERT_EQ(dialogs.boxes().size(), 2u);
    EXPECT_EQ(dialogs.boxes()[1].text,
              QStringLiteral("Surface \"LensControls of device 0x402\": the device has no surface"));
    EXPECT_TRUE(page->Controls().empty());
}

TEST_F(LensPage, ADestroyedPageForgetsItsControlsAndReleasesItsSurface) {
    Open(0x400);
    ASSERT_NE(XmlFind(CDeviceDialog_Lens::kSurfaceKey), nullptr);
    // The window goes first (the board was unplugged); the object lives on a while.
    page->destroy();
    guitest::settle();
    EXPECT_EQ(page->ControlOfRelation(1), nullptr);
    EXPECT_EQ(page->SubjectOf(10), nullptr);
    page->RefreshAll();  // reaches no freed control
    page.reset();
    guitest::settle();
    EXPECT_EQ(XmlFind(CDeviceDialog_Lens::kSurfaceKey), nullptr);

    // The next page reads its own surface, not a stale document.
    std::string other = kSurface;
    other.replace(other.find("<gui_description>Chip"), 21, "<gui_description>Lens");
    Open(0x401, other);
    EXPECT_EQ(Control(1000)->text(), QStringLiteral("Lens"));

    // Another driver chosen: its page is made while the last one still lives (it is
    // deleted from the event loop), and neither takes or releases the other's document.
    gui::WindowPtr<CDeviceDialog_Lens> last = std::move(page);
    Open(0x400);
    EXPECT_EQ(Control(1000)->text(), QStringLiteral("Chip"));
    last.reset();
    guitest::settle();
    ASSERT_NE(XmlFind(CDeviceDialog_Lens::kSurfaceKey), nullptr);
    EXPECT_EQ(page->ReloadSurface(), 1);
    page.reset();
    guitest::settle();
    EXPECT_EQ(XmlFind(CDeviceDialog_Lens::kSurfaceKey), nullptr);
}

TEST_F(LensPage, AChangeStoresItsValueQueuesItsTargetAndKeepsTheWordAndRegisterImagesInStep) {
    store.SelectContainer(0x400);
    store.SetValue(21, 5);
    Open(0x400, std::string(kChangeSurface));
    store.SetValue(21, 5);  // Open set its own words; the page shows what the store holds
    queue.added.clear();
    page->RefreshAll();
    ASSERT_EQ(page->SurfaceProblems(), std::vector<std::string>{});
    // The refresh fills the images (15 - 5 in register 0, the range 0..3) and sends only
    // the chip enable's port record, at the level stored (0).
    EXPECT_EQ(queue.added, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0x02000000u, 28u}}));
    EXPECT_EQ((std::tuple{page->ChannelSetting(31)->port.level, page->ChannelSetting(31)->port.send}),
              (std::tuple{0u, 1u}));
    EXPECT_EQ(page->Register(0)->GetBits(0, 8), 10u);
    EXPECT_EQ(page->I2cSetting().length, 4u);
    queue.added.clear();

    const auto change = [&](std::uint32_t id, std::uint32_t value) {
        Control(id)->SetValue(value);
        Control(id)->NotifyParent();
    };
    change(1000, 1);
    EXPECT_EQ(store.GetValue(20) & 1u, 1u);
    ASSERT_EQ(queue.added.size(), 1u);
    EXPECT_EQ(queue.added[0], (std::pair<std::uint32_t, std::uint32_t>{0x02000000u, 28u}));
    const GpioRecord* p31 = page->ChannelSetting(31);
    EXPECT_EQ((std::tuple{p31->port.line, p31->port.direction, p31->port.level, p31->port.send}),
              (std::tuple{31u, 1u, 1u, 1u}));

    // The slider stores its own value; its field takes 15 - value; the edit follows.
    change(1001, 3);
    EXPECT_EQ(store.GetValue(21) & 0xFu, 3u);
    EXPECT_EQ(page->Register(0)->GetBits(0, 8), 12u);
    EXPECT_EQ(Control(1002)->GetValue(), 3u);
    EXPECT_EQ(queue.added.size(), 1u) << "a register control without transfer only stores";
    // A value typed into the edit on the same word reaches the slider and its register.
    change(1002, 9);
    EXPECT_EQ(store.GetValue(21) & 0xFu, 9u);
    EXPECT_EQ(Control(1001)->GetValue(), 9u);
    EXPECT_EQ(page->Register(0)->GetBits(0, 8), 6u) << "Send must write what the page shows";

    // "Send" queues the block with the registers of the chosen range.
    change(1004, 1);
    ASSERT_EQ(queue.added.size(), 2u);
    EXPECT_EQ(queue.added[1], (std::pair<std::uint32_t, std::uint32_t>{0x0B000000u, 140u}));
    const I2cRecord& block = page->I2cSetting();
    EXPECT_EQ(std::vector<std::uint8_t>(block.bytes, block.bytes + 6), (std::vector<std::uint8_t>{4, 0, 6, 0, 0, 0}));

    // A lens sequence button has no data word: it queues its word and stores nothing.
    const std::vector<std::uint32_t> before = [&] {
        std::vector<std::uint32_t> words;
        for (int i = 0; i < 256; ++i) words.push_back(store.GetValue(i));
        return words;
    }();
    change(1005, 1);
    ASSERT_EQ(queue.added.size(), 3u);
    EXPECT_EQ(queue.added[2].first, 0x09000000u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(store.GetValue(i), before[static_cast<std::size_t>(i)]) << "word " << i;
}

TEST_F(LensPage, ARangeRelationOnAChangeGivesItsDestinationTheRangeOfTheOwnersChoice) {
    // The built-in surfaces have no "range" or "parameter" relation: a surface of its own.
    const std::string surface = R"(<Tamsiro_Device>
  <relationlist>
    <relation><relation_contents>range</relation_contents><owner_id>40</owner_id><destination_id>41</destination_id>
      <datalist><data>0, 15</data><data>0, 1023</data></datalist></relation>
    <relation><relation_contents>parameter</relation_contents><owner_id>40</owner_id><destination_id>41</destination_id>
      <datalist><data>5, 6</data></datalist></relation>
  </relationlist>
  <controls>
    <control><software><gui_type>combobox</gui_type><gui_pos>10, 10</gui_pos><gui_size>100, 100</gui_size>
      <gui_description>Fine, Coarse</gui_description></software><data><container_id>30</container_id><relation_id>40</relation_id></data></control>
    <control><software><gui_type>slider</gui_type><gui_pos>10, 40</gui_pos><gui_size>200, 30</gui_size>
      <gui_parameter>0, 15</gui_parameter></software><data><container_id>31</container_id><relation_id>41</relation_id></data></control>
  </controls>
</Tamsiro_Device>
)";
    store.SelectContainer(0x401);
    store.SetValue(30, 0);
    store.SetValue(31, 9);
    Open(0x401, surface);
    ASSERT_EQ(page->SurfaceProblems(), std::vector<std::string>{});
    auto* slider = Control<CDerivedSlider>(1001);
    ASSERT_NE(slider, nullptr);
    Control(1000)->SetValue(1);
    Control(1000)->NotifyParent();
    EXPECT_EQ((std::tuple{store.GetValue(30), slider->GetRangeMin(), slider->GetRangeMax(), slider->GetValue()}),
              (std::tuple{1u, 0, 1023, 9u}))
        << "\"range\" took the second range, the value kept; \"parameter\" did nothing";
    Control(1000)->SetValue(0);
    Control(1000)->NotifyParent();
    EXPECT_EQ((std::tuple{slider->GetRangeMin(), slider->GetRangeMax()}), (std::tuple{0, 15}));
}
