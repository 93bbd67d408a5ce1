#include "surface/SurfaceReader.h"

#include "platform/core/Debug.h"
#include "surface/XmlParser.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const char* const kSurface = R"(<Tamsiro_Device>
  <registerlist>
    <register><address>0</address><bitlength>16</bitlength></register>
    <register><address>1</address></register>
    <register><info><address>2</address></info><bitlength>8</bitlength></register>
  </registerlist>
  <relationlist>
    <relation><relation_contents>enable_state</relation_contents><owner_id>12, 13</owner_id>
      <destination_id>
        2, 3</destination_id><datalist><data>1</data><!-- gap --><data/><data>0</data></datalist></relation>
    <relation><owner_id>4</owner_id></relation>
    <relation><relation_contents>hide_window</relation_contents><parentname>floating</parentname></relation>
  </relationlist>
  <controls>
    <control><software><gui_type>frame</gui_type></software></control>
    <!-- a comment between controls takes no position -->
    <control><software><gui_type>knob</gui_type></software></control>
    <control><data><container_id>0</container_id></data></control>
  </controls>
  <controls parent="floating"><control/></controls>
  <controls parent="elsewhere"><control/></controls>
</Tamsiro_Device>
)";

class SurfaceReader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(parser_.ParseResource(kSurface, std::strlen(kSurface), nullptr, "k"), 1); }
    // The i-th section of the document, which must be of the kind given.
    const CDerivedXmlElement& section(int i, surface::SectionCode code) const
    {
        const CDerivedXmlElement* s = AsElement(parser_.GetRoot()->GetChild(i));
        EXPECT_EQ(surface::SectionCodeOf(s->GetName()), code);
        return *s;
    }
    CDerivedParser parser_;
};

}  // namespace

TEST_F(SurfaceReader, RegistersAndRelationsMissingAFieldAreSkipped)
{
    platform::DebugCapture debug;
    const auto registers = surface::ReadRegisterList(section(0, surface::kSectionRegisterList));
    ASSERT_EQ(registers.size(), 2u);
    EXPECT_EQ(registers[0].bitLength, 16);
    EXPECT_EQ(registers[1].address, 2);  // found below the register, depth-first
    EXPECT_EQ(registers[1].bitLength, 8);
    EXPECT_EQ(debug.count("surface: register 1 has no bitlength; skipped\n"), 1u);

    const auto relations = surface::ReadRelationList(section(1, surface::kSectionRelationList));
    ASSERT_EQ(relations.size(), 2u);
    EXPECT_EQ((std::tuple{relations[0].contents, relations[0].ownerIds, relations[0].destinationIds}),
              (std::tuple{"enable_state", "12, 13", "\n        2, 3"}));
    EXPECT_FALSE(relations[0].parentName.has_value());
    EXPECT_EQ(relations[0].data, (std::vector<std::string>{"1", "", "0"}));
    EXPECT_EQ(relations[1].parentName, "floating");
    EXPECT_FALSE(relations[1].destinationIds.has_value());
    EXPECT_TRUE(relations[1].data.empty());
    EXPECT_EQ(debug.count("surface: relation 1 has no relation_contents; skipped\n"), 1u);
    // Section words are case-sensitive.
    EXPECT_EQ(surface::SectionCodeOf("initiallist"), surface::kSectionInitialList);
    EXPECT_EQ(surface::SectionCodeOf("Controls"), surface::kSectionUnknown);
}

TEST_F(SurfaceReader, ControlsAreNumberedByPositionFromTheBlocksIdBase)
{
    const surface::ControlsBlockDecl standard = surface::ReadControlsBlock(section(2, surface::kSectionControls));
    EXPECT_FALSE(standard.parentName.has_value());
    ASSERT_EQ(standard.controls.size(), 3u);
    EXPECT_EQ(standard.controls[0].id, 1000);
    EXPECT_EQ(standard.controls[0].record->GetGuiType(), "frame");
    EXPECT_EQ(standard.controls[1].id, 1001);  // an unknown type still takes its place
    EXPECT_EQ(standard.controls[2].id, 1002);
    EXPECT_EQ(standard.controls[2].record->GetContainerId(), 0);

    const surface::ControlsBlockDecl floating = surface::ReadControlsBlock(section(3, surface::kSectionControls));
    EXPECT_EQ(floating.parentName, "floating");
    EXPECT_EQ(floating.controls.at(0).id, 2000);
    EXPECT_EQ(surface::ReadControlsBlock(section(4, surface::kSectionControls)).controls.at(0).id, 0);  // an unknown parent
}
