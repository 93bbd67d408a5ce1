#include "surface/XmlControlConainer.h"

#include "platform/core/Debug.h"
#include "surface/SurfaceText.h"
#include "surface/XmlParser.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

namespace {

using Items = std::vector<std::string>;

// Parses a document and fills a record from its first <control>.
class ControlDocument {
public:
    explicit ControlDocument(const std::string& text)
    {
        EXPECT_EQ(parser_.ParseResource(text.data(), text.size(), nullptr, "k"), 1)
            << parser_.GetLastError().message;
    }
    CXmlControlConainer fill()
    {
        CXmlControlConainer record;
        const CDerivedXmlElement* root = parser_.GetRoot();
        const CDerivedXmlElement* control = root ? root->FindElement("control") : nullptr;
        EXPECT_NE(control, nullptr);
        if (control != nullptr) {
            applied = record.Fill(*control);
        }
        return record;
    }
    int applied = 0;

private:
    CDerivedParser parser_;
};

// The shutter trigger width of a lens surface, every field given.
const char* const kFullControl = R"(<?xml version="1.0" encoding="Shift_JIS"?>
<controls parent="standard">
  <!-- Shutter/Iris Trigger -->
  <control>
    <software>
      <gui_type>combobox</gui_type>
      <gui_parent>standard</gui_parent>
      <gui_description>1, 5, 10, 15, 20, 30, 40, 50</gui_description>
      <gui_pos>64, 24</gui_pos>
      <gui_size>60, 200</gui_size>
      <gui_parameter>0,7</gui_parameter>
      <radio_group>1</radio_group>
      <gui_format>pulse</gui_format>
    </software>
    <hardware>
      <device_target>gpio_pulse</device_target>
      <device_number>25</device_number>
      <device_io_type>output</device_io_type>
      <register_address>-2</register_address>
      <i2c_startadrs>1</i2c_startadrs>
      <i2c_endadrs>2</i2c_endadrs>
      <transfer>1</transfer>
    </hardware>
    <data>
      <container_id>4</container_id>
      <lsbbit>3</lsbbit>
      <bitlength>3</bitlength>
      <relation_id>2</relation_id>
      <algorithm_s>%tp</algorithm_s>
      <algorithm_r>
        %tp
      </algorithm_r>
      <fixed_value>4</fixed_value>
    </data>
  </control>
</controls>
)";

}  // namespace

TEST(ControlRecord, ANewRecordHoldsTheDefaults)
{
    const CXmlControlConainer r;
    EXPECT_EQ(r.GetGuiType(), "");
    EXPECT_EQ(r.GetDescriptionCount(), 0);
    EXPECT_EQ(r.GetDescription(0), nullptr);
    EXPECT_EQ(r.GetItemIndex(), 0);
    EXPECT_EQ(r.GetItemCount(), 0);
    EXPECT_EQ(r.GetPosition(), std::make_pair(0, 0));
    EXPECT_EQ(r.GetSize(), std::make_pair(0, 0));
    EXPECT_EQ(r.GetParameterMin(), 0);
    EXPECT_EQ(r.GetParameterMax(), 0);
    EXPECT_EQ(r.GetRadioGroup(), 0);
    EXPECT_FALSE(r.HasGuiFormat());
    EXPECT_FALSE(r.HasDeviceTarget());
    EXPECT_EQ(r.GetDeviceNumber(), 0);
    EXPECT_EQ(r.GetIoType(), -1);
    EXPECT_EQ(r.GetRegisterAddress(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(r.GetI2cStartAddress(), 0);
    EXPECT_EQ(r.GetI2cEndAddress(), 0);
    EXPECT_EQ(r.GetTransfer(), 0);
    EXPECT_EQ(r.GetContainerId(), -1);
    EXPECT_FALSE(r.HasContainerId());
    EXPECT_EQ(r.GetLsbBit(), -1);
    EXPECT_EQ(r.GetBitLength(), 0);
    EXPECT_EQ(r.GetRelationId(), -1);
    EXPECT_FALSE(r.HasRelationId());
    EXPECT_EQ(r.GetSpareNumber(), -1);
    EXPECT_FALSE(r.HasSpareNumber());
    EXPECT_EQ(r.GetFormulaTokenCount(1), 0);
    EXPECT_EQ(r.GetFormulaTokenCount(0), 0);
    EXPECT_EQ(r.GetFixedValue(), -1);
    EXPECT_TRUE(r.GetProblems().empty());
}

TEST(ControlRecord, FillsEveryFieldFromAControlElement)
{
    ControlDocument document(kFullControl);
    const CXmlControlConainer r = document.fill();
    EXPECT_EQ(document.applied, 21);
    EXPECT_EQ(r.GetGuiType(), "combobox");
    EXPECT_EQ(r.GetDescriptions(), (Items{"1", "5", "10", "15", "20", "30", "40", "50"}));
    EXPECT_EQ(r.GetItemIndex(), 0);
    EXPECT_EQ(r.GetItemCount(), 8);
    EXPECT_EQ(*r.GetDescription(7), "50");
    EXPECT_EQ(r.GetDescription(8), nullptr);
    EXPECT_EQ(r.GetPosition(), std::make_pair(64, 24));
    EXPECT_EQ(r.GetSize(), std::make_pair(60, 200));
    EXPECT_EQ(r.GetParameterMin(), 0);
    EXPECT_EQ(r.GetParameterMax(), 7);
    EXPECT_EQ(r.GetRadioGroup(), 1);
    EXPECT_EQ(r.GetGuiFormat(), "pulse");
    EXPECT_EQ(r.GetDeviceTarget(), "gpio_pulse");
    EXPECT_EQ(r.GetDeviceNumber(), 25);
    EXPECT_EQ(r.GetIoType(), 1);
    EXPECT_EQ(r.GetRegisterAddress(), CXmlControlConainer::kRegisterRange);
    EXPECT_EQ(r.GetI2cStartAddress(), 1);
    EXPECT_EQ(r.GetI2cEndAddress(), 2);
    EXPECT_EQ(r.GetTransfer(), 1);
    EXPECT_EQ(r.GetContainerId(), 4);
    EXPECT_EQ(r.GetLsbBit(), 3);
    EXPECT_EQ(r.GetBitLength(), 3);
    EXPECT_EQ(r.GetRelationId(), 2);
    EXPECT_EQ(r.GetFormulaTokens(1), (Items{"%tp"}));
    EXPECT_EQ(r.GetFormulaTokens(0), (Items{"%tp"}));
    EXPECT_EQ(r.GetFixedValue(), 4);
    EXPECT_TRUE(r.GetProblems().empty());
}

TEST(ControlRecord, MissingAndEmptyFieldsKeepTheDefaults)
{
    ControlDocument document(R"(<control>
      <software><gui_type>label</gui_type><gui_pos></gui_pos><gui_format>
      </gui_format></software>
      <hardware/>
      <!-- no data section -->
    </control>)");
    const CXmlControlConainer r = document.fill();
    EXPECT_EQ(document.applied, 1);
    EXPECT_EQ(r.GetGuiType(), "label");
    EXPECT_EQ(r.GetPosition(), std::make_pair(0, 0));
    EXPECT_FALSE(r.HasGuiFormat());
    EXPECT_EQ(r.GetRegisterAddress(), CXmlControlConainer::kRegisterNotGiven);
    EXPECT_EQ(r.GetContainerId(), -1);
    EXPECT_EQ(r.GetIoType(), -1);
    EXPECT_EQ(r.GetFixedValue(), -1);
}

TEST(ControlRecord, ALaterSectionWinsAndTheOrderOfSectionsInTheTextDoesNotMatter)
{
    ControlDocument document(R"(<control>
      <data><container_id>12</container_id><algorithm_s>%p * 100</algorithm_s></data>
      <software><container_id>3</container_id><gui_type>slider</gui_type>
        <algorithm_s>+ 1</algorithm_s></software>
    </control>)");
    const CXmlControlConainer r = document.fill();
    EXPECT_EQ(r.GetContainerId(), 12);
    // Formula tokens append: "software" is read before "data".
    EXPECT_EQ(r.GetFormulaTokens(1), (Items{"+", "1", "%p", "*", "100"}));
}

TEST(ControlRecord, NumberTexts)
{
    CXmlControlConainer r;
    r.SetPosition("8, 8");
    EXPECT_EQ(r.GetPosition(), std::make_pair(8, 8));
    r.SetParameter("1,120");
    EXPECT_EQ(std::make_pair(r.GetParameterMin(), r.GetParameterMax()), std::make_pair(1, 120));
    r.SetParameter("5");
    EXPECT_EQ(std::make_pair(r.GetParameterMin(), r.GetParameterMax()), std::make_pair(5, 5));
    r.SetSize("\t30\n\r,\n 40 junk");
    EXPECT_EQ(r.GetSize(), std::make_pair(30, 40));
    r.SetRegisterAddress("-2");
    EXPECT_EQ(r.GetRegisterAddress(), -2);
    r.SetRelationId("abc");
    EXPECT_EQ(r.GetRelationId(), 0);
    r.SetFixedValue("  +17px");
    EXPECT_EQ(r.GetFixedValue(), 17);
    r.SetSpareNumber("99999999999");
    EXPECT_EQ(r.GetSpareNumber(), std::numeric_limits<std::int32_t>::max());
    EXPECT_TRUE(r.HasSpareNumber());
    r.SetTransfer("-99999999999");
    EXPECT_EQ(r.GetTransfer(), std::numeric_limits<std::int32_t>::min());
    r.SetDeviceTarget("  gpio extra");
    EXPECT_EQ(r.GetDeviceTarget(), "gpio");

    EXPECT_EQ(surfacetext::ParseNumber(""), 0);
    EXPECT_EQ(surfacetext::ParseNumber("-"), 0);
    EXPECT_EQ(surfacetext::ParseNumber("2147483647"), 2147483647);
    EXPECT_EQ(surfacetext::ParseNumber("-2147483648"), std::numeric_limits<std::int32_t>::min());
}

TEST(ControlRecord, IoTypeWords)
{
    const std::pair<const char*, int> cases[] = {
        {"output", 1}, {"input", 0}, {"in", -1}, {"input_output", 1}, {" input output", 0}, {"OUTPUT", -1},
    };
    for (const auto& [text, expected] : cases) {
        CXmlControlConainer r;
        r.SetIoType(text);
        EXPECT_EQ(r.GetIoType(), expected) << text;
    }
}

TEST(ControlRecord, DescriptionItems)
{
    const std::pair<const char*, Items> cases[] = {
        {"On, Off", {"On", "Off"}},
        {"Enable,Disable", {"Enable", "Disable"}},
        {"for 1 - 2 ch", {"for 1 - 2 ch"}},
        {"Standby(All_Off)", {"Standby(All Off)"}},
        {"\n          1 - 2 Ch\n          3 - 4 Ch\n        ", {"1 - 2 Ch", "3 - 4 Ch"}},
        {"a,   ,b", {"a", "", "b"}},
        {"a,,b", {"a", "b"}},
        {"trailing  ,x", {"trailing  ", "x"}},
        {"Off, 0.032,\t0.064\r\n", {"Off", "0.032", "0.064"}},
    };
    for (const auto& [text, items] : cases) {
        CXmlControlConainer r;
        r.SetItemIndex("3");
        r.SetDescription(text);
        EXPECT_EQ(r.GetDescriptions(), items) << text;
        EXPECT_EQ(r.GetItemCount(), static_cast<int>(items.size()));
        EXPECT_EQ(r.GetItemIndex(), 0);
    }

    // A new description replaces the list (the description relation's use).
    CXmlControlConainer r;
    r.SetDescription("a, b, c");
    r.SetDescription("x");
    EXPECT_EQ(r.GetDescriptions(), Items{"x"});
}

TEST(ControlRecord, FormulaTokensFeedTheEvaluator)
{
    CXmlControlConainer r;
    r.SetFormula("(%p + 5 * 1) / 100", 1);
    EXPECT_EQ(r.GetFormulaTokens(1), (Items{"(%p", "+", "5", "*", "1)", "/", "100"}));
    r.SetFormula("%p * 100 / 1023", 0);
    EXPECT_EQ(r.GetTokenCount(CXmlControlConainer::kSendList), 7);
    EXPECT_EQ(r.GetTokenCount(CXmlControlConainer::kReceiveList), 5);
    EXPECT_EQ(r.GetTokenCount(2), 0);
    EXPECT_EQ(r.GetToken(2, 0), nullptr);
    EXPECT_EQ(*r.GetToken(1, 6), "100");
    EXPECT_EQ(r.GetToken(1, 7), nullptr);
    EXPECT_EQ(r.GetToken(0, -1), nullptr);
    EXPECT_EQ(*r.GetFormulaToken(5, 0), "(%p");  // any non-zero flag is the send list

    CDerivedMathematics send;
    ASSERT_EQ(send.Parse(CDerivedMathematics::kSendList, &r), 1);
    send.SetVariable(95);
    EXPECT_DOUBLE_EQ(send.Evaluate(), 1.0);  // strictly left to right: (95 + 5) * 1 / 100
    CDerivedMathematics receive;
    ASSERT_EQ(receive.Parse(CDerivedMathematics::kReceiveList, &r), 1);
    receive.SetVariable(1023);
    EXPECT_DOUBLE_EQ(receive.Evaluate(), 100.0);
}

TEST(ControlRecord, OutOfRangeDataWordsAndBitFieldsAreRefused)
{
    platform::DebugCapture debug;
    struct Case {
        const char* word;
        const char* text;
        std::int32_t (CXmlControlConainer::*get)() const;
        std::int32_t kept;
    };
    const Case refused[] = {
        {"container_id", "128", &CXmlControlConainer::GetContainerId, -1},
        {"container_id", "-2", &CXmlControlConainer::GetContainerId, -1},
        {"container_id", "70000", &CXmlControlConainer::GetContainerId, -1},
        {"lsbbit", "32", &CXmlControlConainer::GetLsbBit, -1},
        {"lsbbit", "-5", &CXmlControlConainer::GetLsbBit, -1},
        {"bitlength", "33", &CXmlControlConainer::GetBitLength, 0},
        {"bitlength", "-1", &CXmlControlConainer::GetBitLength, 0},
        {"i2c_startadrs", "256", &CXmlControlConainer::GetI2cStartAddress, 0},
        {"i2c_endadrs", "-1", &CXmlControlConainer::GetI2cEndAddress, 0},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(std::string(c.word) + " " + c.text);
        ControlDocument document(std::string("<control><data><") + c.word + ">" + c.text + "</" + c.word +
                                 "></data></control>");
        const CXmlControlConainer r = document.fill();
        EXPECT_EQ((r.*c.get)(), c.kept);
        ASSERT_FALSE(r.GetProblems().empty());
        EXPECT_EQ(r.GetProblems()[0].rfind(c.word, 0), 0u) << r.GetProblems()[0];
    }
    EXPECT_GE(debug.lines().size(), std::size(refused));

    // The limits themselves are accepted.
    CXmlControlConainer edge;
    EXPECT_EQ(edge.SetContainerId("127"), 1);
    EXPECT_EQ(edge.SetLsbBit("31"), 1);
    EXPECT_EQ(edge.SetBitLength("1"), 1);
    EXPECT_EQ(edge.SetI2cStartAddress("255"), 1);
    EXPECT_EQ(edge.SetContainerId("-1"), 1);
    CXmlControlConainer whole;
    EXPECT_EQ(whole.SetLsbBit("0"), 1);
    EXPECT_EQ(whole.SetBitLength("32"), 1);
    EXPECT_TRUE(edge.GetProblems().empty());
    EXPECT_TRUE(whole.GetProblems().empty());
}

TEST(ControlRecord, ABitFieldPastBit31UnbindsTheControl)
{
    platform::DebugCapture debug;
    ControlDocument document(R"(<control><data>
        <container_id>10</container_id><lsbbit>28</lsbbit><bitlength>8</bitlength>
    </data></control>)");
    const CXmlControlConainer r = document.fill();
    EXPECT_EQ(r.GetBitLength(), 0);
    // Bound to the whole word, the control would overwrite bits it does not own.
    EXPECT_EQ(r.GetContainerId(), -1);
    EXPECT_FALSE(r.HasContainerId());
    EXPECT_EQ(r.GetProblems().size(), 2u);
}

TEST(ControlRecord, ADeviceNumberOutsideItsTargetDropsTheTarget)
{
    platform::DebugCapture debug;
    const std::tuple<const char*, int, bool> cases[] = {
        {"pwm", 8, true},  {"pwm", 9, false},    {"pwm", -1, false}, {"gpio", 33, true},
        {"gpio", 34, false}, {"gpio_pulse", 40, false}, {"adc", 7, true}, {"adc", 8, false},
        {"int", 1, true},  {"int", 0, false},    {"int", 6, false},  {"lens_sequence", 3, true},
        {"i2c", 999, true},
    };
    for (const auto& [target, number, kept] : cases) {
        SCOPED_TRACE(std::string(target) + " " + std::to_string(number));
        ControlDocument document(std::string("<control><hardware><device_target>") + target +
                                 "</device_target><device_number>" + std::to_string(number) +
                                 "</device_number></hardware><data><container_id>5</container_id></data></control>");
        const CXmlControlConainer r = document.fill();
        EXPECT_EQ(r.HasDeviceTarget(), kept);
        EXPECT_EQ(r.GetProblems().empty(), kept);
        EXPECT_EQ(r.GetContainerId(), 5);  // the control still stores its value
    }
}
