#include "surface/SurfaceReader.h"

#include "platform/core/Debug.h"
#include "surface/XmlParser.h"

#include <gtest/gtest.h>

namespace {

const char* const kSurface = R"(<?xml version="1.0" encoding="Shift_JIS"?>
<Tamsiro_Device>
  <!-- registers of the chip -->
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
  <extras><controls><control/></controls></extras>
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
    void SetUp() override
    {
        const std::string text = kSurface;
        ASSERT_EQ(parser_.ParseResource(text.data(), text.size(), nullptr, "k"), 1);
    }
    // The sections of a kind, in document order; a section inside an unknown one is none.
    std::vector<const CDerivedXmlElement*> sections(surface::SectionCode code) const
    {
        std::vector<const CDerivedXmlElement*> out;
        for (int i = 0; i < parser_.GetRoot()->GetChildCount(); ++i) {
            const CDerivedXmlElement* section = AsElement(parser_.GetRoot()->GetChild(i));
            if (section != nullptr && surface::SectionCodeOf(section->GetName()) == code) out.push_back(section);
        }
        return out;
    }
    CDerivedParser parser_;
};

}  // namespace

TEST_F(SurfaceReader, RegistersAndRelationsMissingAFieldAreSkipped)
{
    platform::DebugCapture debug;
    const auto registers = surface::ReadRegisterList(*sections(surface::kSectionRegisterList).at(0));
    ASSERT_EQ(registers.size(), 2u);
    // The second's address is found below the register, depth-first.
    EXPECT_EQ((std::tuple{registers[0].bitLength, registers[1].address, registers[1].bitLength}), (std::tuple{16, 2, 8}));
    EXPECT_EQ(debug.count("surface: register 1 has no bitlength; skipped\n"), 1u);

    const auto relations = surface::ReadRelationList(*sections(surface::kSectionRelationList).at(0));
    ASSERT_EQ(relations.size(), 2u);
    EXPECT_EQ((std::tuple{relations[0].contents, relations[0].ownerIds, relations[0].destinationIds}),
              (std::tuple{"enable_state", "12, 13", "\n        2, 3"}));
    EXPECT_FALSE(relations[0].parentName.has_value());
    EXPECT_EQ(relations[0].data, (std::vector<std::string>{"1", "", "0"}));
    EXPECT_EQ(relations[1].parentName, "floating");
    EXPECT_EQ((std::tuple{relations[1].destinationIds.has_value(), relations[1].data.empty()}), (std::tuple{false, true}));
    EXPECT_EQ(debug.count("surface: relation 1 has no relation_contents; skipped\n"), 1u);
}

TEST_F(SurfaceReader, ControlsAreNumberedByPositionFromTheBlocksIdBase)
{
    const auto blocks = sections(surface::kSectionControls);
    ASSERT_EQ(blocks.size(), 3u);
    const surface::ControlsBlockDecl standard = surface::ReadControlsBlock(*blocks[0]);
    EXPECT_FALSE(standard.parentName.has_value());
    ASSERT_EQ(standard.controls.size(), 3u);
    EXPECT_EQ((std::tuple{standard.controls[0].id, standard.controls[0].record->GetGuiType()}), (std::tuple{1000, "frame"}));
    EXPECT_EQ(standard.controls[1].id, 1001);  // an unknown type still takes its place
    EXPECT_EQ((std::tuple{standard.controls[2].id, standard.controls[2].record->GetContainerId()}), (std::tuple{1002, 0}));

    const surface::ControlsBlockDecl floating = surface::ReadControlsBlock(*blocks[1]);
    EXPECT_EQ((std::tuple{floating.parentName, floating.controls.at(0).id}), (std::tuple{"floating", 2000}));
    EXPECT_EQ(surface::ReadControlsBlock(*blocks[2]).controls.at(0).id, 0);  // an unknown parent
}
