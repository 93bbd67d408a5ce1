// Reading a surface into registers, relations and control records: a sound surface
// reads without a word said, and every index a surface gives that would reach outside
// its table is refused with a sentence naming the surface and the control, leaving the
// documented fallback. A surface that cannot be parsed is said, not thrown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "surface/XmlModule.h"
#include "surfacepage/SurfaceContent.h"

namespace {

using surfacepage::SurfaceContent;
using surfacepage::SurfaceControl;

std::string Control(const std::string& type, const std::string& hardware, const std::string& data)
{
    return "<control><software><gui_type>" + type + "</gui_type></software><hardware>" + hardware +
           "</hardware><data>" + data + "</data></control>\n";
}

std::string Registers(int count, int width)
{
    std::string out = "<registerlist>";
    for (int i = 0; i < count; ++i) {
        out += "<register><address>" + std::to_string(i) + "</address><bitlength>" + std::to_string(width) +
               "</bitlength></register>";
    }
    return out + "</registerlist>\n";
}

// Parses the text under a key of its own and reads it; the document is released after.
SurfaceContent Read(const std::string& text, const char* name)
{
    XmlInitialize();
    const std::string key = std::string("test ") + name;
    XmlLoad(text, key);
    SurfaceContent content = surfacepage::ReadSurface(XmlFind(key), name);
    XmlRemove(key);
    return content;
}

// The problems said about one subject ("control 1003"), without the surface's prefix.
std::vector<std::string> About(const SurfaceContent& content, const std::string& subject)
{
    const std::string prefix = "Surface \"" + content.name + "\", " + subject + ": ";
    std::vector<std::string> out;
    for (const std::string& p : content.problems)
        if (p.rfind(prefix, 0) == 0) out.push_back(p.substr(prefix.size()));
    return out;
}

bool Says(const std::vector<std::string>& said, const std::string& part)
{
    for (const std::string& s : said)
        if (s.find(part) != std::string::npos) return true;
    return false;
}

const SurfaceControl* Find(const SurfaceContent& content, std::int32_t id)
{
    for (const auto& c : content.controls)
        if (c.id == id) return &c;
    return nullptr;
}

}  // namespace

TEST(SurfaceContent, ASoundSurfaceGivesItsRegistersRelationsAndControlsWithoutAProblem)
{
    const std::string text = "<Tamsiro_Device>\n<initiallist><x/></initiallist>\n" +
        Control("label", "", "") /* outside a block: not a section */ +
        "<controls>\n" + Control("check", "<device_target>gpio</device_target><device_number>31</device_number>",
                                 "<container_id>5</container_id><relation_id>1</relation_id>") +
        Control("slider", "<device_target>i2c</device_target><register_address>3</register_address>",
                "<container_id>10</container_id><lsbbit>4</lsbbit><bitlength>4</bitlength>") +
        Control("radio", "<device_target>i2c</device_target><register_address>-2</register_address>"
                         "<i2c_startadrs>0</i2c_startadrs><i2c_endadrs>3</i2c_endadrs>",
                "<container_id>11</container_id>") +
        Control("radio", "<device_target>i2c</device_target><register_address>-3</register_address>"
                         "<i2c_startadrs>4</i2c_startadrs><i2c_endadrs>14</i2c_endadrs>",
                "<bitlength>2</bitlength><fixed_value>3</fixed_value>") +
        "</controls>\n<controls parent=\"floating\">" + Control("button", "", "") + "</controls>\n" +
        "<relationlist><relation><relation_contents>enable_state</relation_contents><owner_id>1</owner_id>"
        "<destination_id>2, 3</destination_id><datalist><data>1</data><data>0</data></datalist></relation>"
        "<relation><relation_contents>hide_window</relation_contents><owner_id>4</owner_id>"
        "<parentname>floating</parentname></relation></relationlist>\n" +
        // The register list may follow the controls that write it.
        "<registerlist><register><address>0</address><bitlength>8</bitlength></register>"
        "<register><address>1</address><bitlength>8</bitlength></register>"
        "<register><address>2</address><bitlength>8</bitlength></register>"
        "<register><address>3</address><bitlength>8</bitlength></register>"
        "<register><address>4</address><bitlength>16</bitlength></register></registerlist>\n"
        "</Tamsiro_Device>\n";
    const SurfaceContent content = Read(text, "sound");
    EXPECT_TRUE(content.read);
    EXPECT_EQ(content.problems, std::vector<std::string>{});
    ASSERT_EQ(content.registers.size(), 5u);
    EXPECT_EQ(content.registers.at(4)->GetBitWidth(), 16u);
    EXPECT_EQ(surfacepage::RangeByteCount(content.registers, 0, 4), 6);
    EXPECT_EQ(surfacepage::RangeByteCount(content.registers, 3, 9), 3);
    EXPECT_EQ(surfacepage::RangeByteCount(content.registers, 2, 1), -1);

    ASSERT_EQ(content.relations.size(), 2u);
    EXPECT_EQ(content.relations[0].relation->GetDestinationCount(), 2);
    EXPECT_EQ(content.relations[0].parentName, std::nullopt);
    EXPECT_EQ(content.relations[1].parentName, "floating");

    std::vector<std::int32_t> ids;
    for (const auto& c : content.controls) ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1000, 1001, 1002, 1003, 2000}));
    EXPECT_EQ(Find(content, 1001)->record->GetDeviceTarget(), "i2c");
    EXPECT_EQ(Find(content, 2000)->parentName, "floating");
}

TEST(SurfaceContent, EveryIndexOutsideItsTableIsRefusedNamingTheSurfaceAndTheControl)
{
    // 71 registers of 8 bits: a range over all of them holds more than one frame carries.
    const std::string text = "<Tamsiro_Device>\n" + Registers(71, 8) + "<controls>\n" +
        Control("label", "", "<container_id>128</container_id>") +                               // 1000
        Control("label", "", "<container_id>3</container_id><lsbbit>30</lsbbit><bitlength>4</bitlength>") +  // 1001
        Control("slider", "<device_target>pwm</device_target><device_number>9</device_number>", "") +        // 1002
        Control("check", "<device_target>gpio</device_target><device_number>34</device_number>", "") +       // 1003
        Control("check", "<device_target>int</device_target><device_number>0</device_number>", "") +         // 1004
        Control("slider", "<device_target>i2c</device_target><register_address>0</register_address>",
                "<container_id>4</container_id><lsbbit>6</lsbbit><bitlength>4</bitlength>") +                // 1005
        Control("slider", "<device_target>i2c</device_target><register_address>90</register_address>",
                "<lsbbit>0</lsbbit><bitlength>4</bitlength>") +                                              // 1006
        Control("radio", "<device_target>i2c</device_target><register_address>-3</register_address>"
                         "<i2c_startadrs>0</i2c_startadrs><i2c_endadrs>7</i2c_endadrs>",
                "<bitlength>2</bitlength><fixed_value>3</fixed_value>") +                                    // 1007
        Control("radio", "<device_target>i2c</device_target><register_address>-2</register_address>"
                         "<i2c_startadrs>0</i2c_startadrs><i2c_endadrs>70</i2c_endadrs>", "") +               // 1008
        Control("radio", "<device_target>i2c</device_target><register_address>-2</register_address>"
                         "<i2c_startadrs>5</i2c_startadrs><i2c_endadrs>2</i2c_endadrs>", "") +                // 1009
        Control("radio", "<device_target>i2c</device_target><register_address>-2</register_address>"
                         "<i2c_startadrs>0</i2c_startadrs><i2c_endadrs>59</i2c_endadrs>", "") +               // 1010: 60 bytes fit
        Control("radio", "<device_target>i2c</device_target><i2c_startadrs>300</i2c_startadrs>", "") +      // 1011
        Control("Label", "", "") +                                                                          // 1012
        Control("edit", "<device_target>pwm</device_target><device_number>8</device_number>",
                "<container_id>127</container_id><lsbbit>28</lsbbit><bitlength>4</bitlength>") +             // 1013: sound
        "</controls>\n<controls>" + Control("button", "", "") + "</controls>\n" +                           // 1000 again
        "<controls parent=\"nowhere\">" + Control("button", "", "") + "</controls>\n"
        "</Tamsiro_Device>\n";
    const SurfaceContent content = Read(text, "bad");
    ASSERT_TRUE(content.read);
    const auto said = [&](std::int32_t id) { return About(content, "control " + std::to_string(id)); };

    EXPECT_TRUE(Says(said(1000), "container_id \"128\"")) << testing::PrintToString(said(1000));
    EXPECT_FALSE(Find(content, 1000)->record->HasContainerId()) << "bound to no data word";
    EXPECT_TRUE(Says(said(1001), "lsbbit") || Says(said(1001), "bitlength")) << testing::PrintToString(said(1001));
    EXPECT_FALSE(Find(content, 1001)->record->HasContainerId());
    for (const std::int32_t id : {1002, 1003, 1004}) {
        EXPECT_TRUE(Says(said(id), "lies outside")) << id << ": " << testing::PrintToString(said(id));
        EXPECT_FALSE(Find(content, id)->record->HasDeviceTarget()) << id << " drives nothing";
    }
    EXPECT_TRUE(Says(said(1005), "bit field at bit 6, 4 bit(s) long, lies outside the 8-bit register 0"))
        << testing::PrintToString(said(1005));
    EXPECT_TRUE(Says(said(1006), "register 90 is not in the registerlist")) << testing::PrintToString(said(1006));
    EXPECT_TRUE(Says(said(1007), "bit field at bit 7, 2 bit(s) long")) << testing::PrintToString(said(1007));
    EXPECT_TRUE(Says(said(1008), "I2C range 0..70 holds 71 data bytes, more than the 60 one frame carries"))
        << testing::PrintToString(said(1008));
    EXPECT_TRUE(Says(said(1009), "I2C range 5..2 runs backwards")) << testing::PrintToString(said(1009));
    for (const std::int32_t id : {1005, 1006, 1007, 1008, 1009}) {
        EXPECT_TRUE(Says(said(id), "the control stores its value and drives nothing")) << id;
        ASSERT_NE(Find(content, id), nullptr) << id << " is still made";
        EXPECT_FALSE(Find(content, id)->record->HasDeviceTarget()) << id;
    }
    EXPECT_TRUE(Says(said(1011), "i2c_startadrs \"300\"")) << testing::PrintToString(said(1011));
    EXPECT_TRUE(Says(said(1012), "gui_type \"Label\" names no control")) << testing::PrintToString(said(1012));
    EXPECT_EQ(Find(content, 1012), nullptr);
    EXPECT_TRUE(Says(said(1000), "the id is used by an earlier control")) << testing::PrintToString(said(1000));
    EXPECT_FALSE(About(content, "controls block \"nowhere\"").empty()) << testing::PrintToString(content.problems);
    // The sound ones at the edges of their tables say nothing.
    EXPECT_EQ(said(1010), std::vector<std::string>{});
    EXPECT_EQ(said(1013), std::vector<std::string>{});
    EXPECT_TRUE(Find(content, 1010)->record->HasDeviceTarget());
    EXPECT_EQ(Find(content, 1013)->record->GetContainerId(), 127);
    EXPECT_EQ(content.controls.size(), 13u) << "1000 to 1011 and 1013, not the unknown type or the repeated id";
}

TEST(SurfaceContent, BadRegistersAndRelationsAreSkippedAndSaidAndAnUnparsableSurfaceIsReported)
{
    const std::string text =
        "<Tamsiro_Device><registerlist>"
        "<register><address>0</address><bitlength>24</bitlength></register>"
        "<register><address>1</address><bitlength>8</bitlength></register>"
        "<register><address>1</address><bitlength>16</bitlength></register></registerlist>"
        "<relationlist><relation><relation_contents>Enable_state</relation_contents><owner_id>1</owner_id></relation>"
        "<relation><owner_id>1</owner_id></relation>"
        "<relation><relation_contents>visible_state</relation_contents><owner_id>1</owner_id></relation>"
        "</relationlist></Tamsiro_Device>";
    const SurfaceContent content = Read(text, "odd");
    EXPECT_TRUE(Says(About(content, "register 0"), "width 24 is not 8, 16, 32 or 64")) << testing::PrintToString(content.problems);
    EXPECT_TRUE(Says(About(content, "register 1"), "declared twice")) << testing::PrintToString(content.problems);
    ASSERT_EQ(content.registers.size(), 1u);
    EXPECT_EQ(content.registers.at(1)->GetBitWidth(), 8u) << "the first declaration stays";
    EXPECT_TRUE(Says(About(content, "relationlist"), "1 relation(s) without relation_contents are skipped"))
        << testing::PrintToString(content.problems);
    EXPECT_TRUE(Says(content.problems, "\"Enable_state\"")) << testing::PrintToString(content.problems);
    ASSERT_EQ(content.relations.size(), 1u) << "only the relation with a known word, once";
    EXPECT_NE(dynamic_cast<CRelationVisibility*>(content.relations[0].relation.get()), nullptr);

    const SurfaceContent broken = Read("<Tamsiro_Device><controls></Tamsiro_Device>", "lens 0x400");
    EXPECT_FALSE(broken.read);
    ASSERT_EQ(broken.problems.size(), 1u);
    EXPECT_EQ(broken.problems[0].rfind("Surface \"lens 0x400\": could not be read: ", 0), 0u) << broken.problems[0];
    EXPECT_NE(broken.problems[0].find("(line 1)"), std::string::npos) << broken.problems[0];
    EXPECT_TRUE(broken.controls.empty());
    EXPECT_FALSE(surfacepage::ReadSurface(nullptr, "none").read);
}
