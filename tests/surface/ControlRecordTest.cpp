#include "surface/XmlControlConainer.h"

#include "platform/core/Debug.h"
#include "surface/SurfaceText.h"
#include "surface/XmlParser.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace {

using Items = std::vector<std::string>;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

// A record filled from the first <control> of a document; `applied` counts the fields.
struct Filled {
    explicit Filled(const std::string& text)
    {
        CDerivedParser parser;
        EXPECT_EQ(parser.ParseResource(text.data(), text.size(), nullptr, "k"), 1) << parser.GetLastError().message;
        const CDerivedXmlElement* control = parser.GetRoot() ? parser.GetRoot()->FindElement("control") : nullptr;
        EXPECT_NE(control, nullptr);
        if (control != nullptr) applied = record.Fill(*control);
    }
    CXmlControlConainer record;
    int applied = 0;
};

// Every field given.
const char* const kFullControl = R"(<controls>
  <control>
    <software>
      <gui_type>combobox</gui_type><gui_parent>standard</gui_parent>
      <gui_description>1, 5, 10, 15, 20, 30, 40, 50</gui_description>
      <gui_pos>64, 24</gui_pos><gui_size>60, 200</gui_size>
      <gui_parameter>0,7</gui_parameter><radio_group>1</radio_group><gui_format>pulse</gui_format>
    </software>
    <hardware>
      <device_target>gpio_pulse</device_target><device_number>25</device_number>
      <device_io_type>output</device_io_type><register_address>-2</register_address>
      <i2c_startadrs>1</i2c_startadrs><i2c_endadrs>2</i2c_endadrs><transfer>1</transfer>
    </hardware>
    <data>
      <container_id>4</container_id><lsbbit>3</lsbbit><bitlength>3</bitlength><relation_id>2</relation_id>
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

TEST(ControlRecord, FillsEveryFieldFromAControlElement)
{
    const Filled filled(kFullControl);
    const CXmlControlConainer& r = filled.record;
    EXPECT_EQ((std::tuple{filled.applied, r.GetGuiType()}), (std::tuple{21, "combobox"}));
    EXPECT_EQ(r.GetDescriptions(), (Items{"1", "5", "10", "15", "20", "30", "40", "50"}));
    EXPECT_EQ((std::tuple{r.GetItemIndex(), r.GetItemCount(), r.GetParameterMin(), r.GetParameterMax(),
                         r.GetRadioGroup()}), (std::tuple{0, 8, 0, 7, 1}));
    EXPECT_EQ((std::tuple{r.GetPosition(), r.GetSize(), r.GetGuiFormat(), r.GetDeviceTarget()}),
              (std::tuple{std::make_pair(64, 24), std::make_pair(60, 200), "pulse", "gpio_pulse"}));
    EXPECT_EQ((std::tuple{r.GetDeviceNumber(), r.GetIoType(), r.GetI2cStartAddress(), r.GetI2cEndAddress(),
                         r.GetTransfer()}), (std::tuple{25, 1, 1, 2, 1}));
    EXPECT_EQ(r.GetRegisterAddress(), CXmlControlConainer::kRegisterRange);
    EXPECT_EQ((std::tuple{r.GetContainerId(), r.GetLsbBit(), r.GetBitLength(), r.GetRelationId(), r.GetFixedValue()}),
              (std::tuple{4, 3, 3, 2, 4}));
    EXPECT_EQ(r.GetFormulaTokens(1), Items{"%tp"});
    EXPECT_EQ(r.GetFormulaTokens(0), Items{"%tp"});
    EXPECT_EQ(r.GetProblems(), Items{});
}

TEST(ControlRecord, MissingAndEmptyFieldsKeepTheDefaults)
{
    const Filled filled(R"(<control>
      <software><gui_type>label</gui_type><gui_pos></gui_pos><gui_format>
      </gui_format></software><hardware/><!-- no data section -->
    </control>)");
    const CXmlControlConainer& r = filled.record;
    EXPECT_EQ(filled.applied, 1);
    EXPECT_EQ(r.GetPosition(), std::make_pair(0, 0));
    EXPECT_FALSE(r.HasGuiFormat() || r.HasDeviceTarget());
    EXPECT_EQ(r.GetRegisterAddress(), CXmlControlConainer::kRegisterNotGiven);
    EXPECT_EQ((std::tuple{r.GetContainerId(), r.GetLsbBit(), r.GetBitLength(), r.GetIoType(), r.GetFixedValue()}),
              (std::tuple{-1, -1, 0, -1, -1}));
    EXPECT_FALSE(r.HasRelationId());
    EXPECT_EQ(r.GetFormulaTokenCount(1), 0);

    // A later section wins, whatever the order of the sections in the text; formula
    // tokens append ("software" is read before "data").
    const Filled later(R"(<control>
      <data><container_id>12</container_id><algorithm_s>%p * 100</algorithm_s></data>
      <software><container_id>3</container_id><algorithm_s>+ 1</algorithm_s></software>
    </control>)");
    EXPECT_EQ(later.record.GetContainerId(), 12);
    EXPECT_EQ(later.record.GetFormulaTokens(1), (Items{"+", "1", "%p", "*", "100"}));
}

TEST(ControlRecord, NumberWordAndListTexts)
{
    CXmlControlConainer r;
    r.SetParameter("5");  // one number: both ends of the range
    EXPECT_EQ(std::make_pair(r.GetParameterMin(), r.GetParameterMax()), std::make_pair(5, 5));
    r.SetSize("\t30\n\r,\n 40 junk");
    EXPECT_EQ(r.GetSize(), std::make_pair(30, 40));
    r.SetFixedValue("  +17px");
    EXPECT_EQ(r.GetFixedValue(), 17);
    r.SetSpareNumber("99999999999");
    EXPECT_EQ(r.GetSpareNumber(), kMax);
    r.SetTransfer("-99999999999");
    EXPECT_EQ(r.GetTransfer(), kMin);
    r.SetDeviceTarget("  gpio extra");
    EXPECT_EQ(r.GetDeviceTarget(), "gpio");
    EXPECT_EQ(surfacetext::ParseNumber("-"), 0);
    EXPECT_EQ(surfacetext::ParseNumber("-2147483648"), kMin);

    const std::pair<const char*, int> ioTypes[] = {
        {"output", 1}, {"input", 0}, {"in", -1}, {"input_output", 1}, {" input output", 0}, {"OUTPUT", -1},
    };
    for (const auto& [text, expected] : ioTypes) {
        CXmlControlConainer io;
        io.SetIoType(text);
        EXPECT_EQ(io.GetIoType(), expected) << text;
    }

    const std::pair<const char*, Items> descriptions[] = {
        {"Standby(All_Off)", {"Standby(All Off)"}},
        {"\n          1 - 2 Ch\n          3 - 4 Ch\n        ", {"1 - 2 Ch", "3 - 4 Ch"}},
        {"a,   ,b", {"a", "", "b"}},
        {"a,,b", {"a", "b"}},
        {"trailing  ,x", {"trailing  ", "x"}},
        {"Off, 0.032,\t0.064\r\n", {"Off", "0.032", "0.064"}},
    };
    for (const auto& [text, items] : descriptions) {
        r.SetItemIndex("3");
        r.SetDescription(text);  // replaces the list, as the description relation does
        EXPECT_EQ(r.GetDescriptions(), items) << text;
        EXPECT_EQ(r.GetItemCount(), static_cast<int>(items.size()));
        EXPECT_EQ(r.GetItemIndex(), 0);
    }
}

TEST(ControlRecord, FormulaTokensFeedTheEvaluator)
{
    CXmlControlConainer r;
    r.SetFormula("(%p + 5 * 1) / 100", 1);
    EXPECT_EQ(r.GetFormulaTokens(1), (Items{"(%p", "+", "5", "*", "1)", "/", "100"}));
    r.SetFormula("%p * 100 / 1023", 0);
    EXPECT_EQ((std::tuple{r.GetTokenCount(2), r.GetToken(1, 7), r.GetToken(0, -1)}), (std::tuple{0, nullptr, nullptr}));
    EXPECT_EQ(*r.GetFormulaToken(5, 0), "(%p");  // any non-zero flag is the send list

    // (The send list's value: with the controls.)
    CDerivedMathematics send;
    ASSERT_EQ(send.Parse(CDerivedMathematics::kSendList, &r), 1);
    EXPECT_EQ(send.Parse(CDerivedMathematics::kReceiveList, &r), 0);  // parsed once
    EXPECT_EQ(send.GetPostfix(), (Items{"(%p", "5", "+", "1)", "*", "100", "/"}));
    CDerivedMathematics receive;
    ASSERT_EQ(receive.Parse(CDerivedMathematics::kReceiveList, &r), 1);
    receive.SetVariable(1023);
    EXPECT_DOUBLE_EQ(receive.Evaluate(), 100.0);
}

TEST(ControlRecord, OutOfRangeValuesAreRefused)
{
    platform::DebugCapture debug;
    using R = CXmlControlConainer;
    struct Case { const char* word; const char* text; std::int32_t (R::*get)() const; int kept; };
    const Case refused[] = {
        {"container_id", "128", &R::GetContainerId, -1}, {"container_id", "-2", &R::GetContainerId, -1},
        {"lsbbit", "32", &R::GetLsbBit, -1},             {"lsbbit", "-5", &R::GetLsbBit, -1},
        {"bitlength", "33", &R::GetBitLength, 0},        {"bitlength", "-1", &R::GetBitLength, 0},
        {"i2c_startadrs", "256", &R::GetI2cStartAddress, 0}, {"i2c_endadrs", "-1", &R::GetI2cEndAddress, 0},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(std::string(c.word) + " " + c.text);
        const std::string word = c.word;
        const Filled filled("<control><data><" + word + ">" + c.text + "</" + word + "></data></control>");
        EXPECT_EQ((filled.record.*c.get)(), c.kept);
        ASSERT_FALSE(filled.record.GetProblems().empty());
        EXPECT_EQ(filled.record.GetProblems()[0].rfind(c.word, 0), 0u) << filled.record.GetProblems()[0];
    }
    EXPECT_EQ(debug.lines().size(), std::size(refused));  // one line per refusal

    // The limits themselves are accepted.
    CXmlControlConainer edge;
    EXPECT_EQ(edge.SetContainerId("127") + edge.SetLsbBit("31") + edge.SetBitLength("1"), 3);
    EXPECT_EQ(edge.SetI2cStartAddress("255"), 1);
    CXmlControlConainer whole;
    EXPECT_EQ(whole.SetLsbBit("0") + whole.SetBitLength("32"), 2);
    CXmlControlConainer noBits;  // a field of no bits, at the top bit
    EXPECT_EQ(noBits.SetLsbBit("31") + noBits.SetBitLength("0"), 2);
    EXPECT_EQ(edge.GetProblems(), Items{});
    EXPECT_EQ(whole.GetProblems(), Items{});
    EXPECT_EQ(noBits.GetProblems(), Items{});

    // A field past bit 31 unbinds the control: bound to the whole word it would
    // overwrite bits it does not own.
    const Filled past("<control><data><container_id>10</container_id><lsbbit>28</lsbbit>"
                      "<bitlength>8</bitlength></data></control>");
    EXPECT_EQ(past.record.GetBitLength(), 0);
    EXPECT_FALSE(past.record.HasContainerId());
    EXPECT_EQ(past.record.GetProblems().size(), 2u);

    // A device number outside its target's range drops the target; the control still
    // stores its value.
    const std::tuple<const char*, int, bool> cases[] = {
        {"pwm", 8, true},  {"pwm", 9, false}, {"pwm", -1, false}, {"gpio", 33, true}, {"gpio_pulse", 34, false},
        {"adc", 7, true},  {"adc", 8, false}, {"int", 0, false},  {"int", 6, false},  {"i2c", 999, true},
    };
    for (const auto& [target, number, kept] : cases) {
        SCOPED_TRACE(std::string(target) + " " + std::to_string(number));
        const Filled filled("<control><hardware><device_target>" + std::string(target) + "</device_target>" +
                            "<device_number>" + std::to_string(number) + "</device_number></hardware>" +
                            "<data><container_id>5</container_id></data></control>");
        EXPECT_EQ(filled.record.HasDeviceTarget(), kept);
        EXPECT_EQ(filled.record.GetProblems().empty(), kept);
        EXPECT_EQ(filled.record.GetContainerId(), 5);
    }
}
