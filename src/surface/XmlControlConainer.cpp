#include "surface/XmlControlConainer.h"

#include "platform/core/Debug.h"
#include "surface/SurfaceText.h"

#include <array>
#include <tuple>

namespace {

using Setter = int (*)(CXmlControlConainer&, std::string_view);

struct Field {
    std::string_view word;
    Setter set;
};

// The order in which the page has always looked the words up.
const std::array<Field, 21> kFields = {{
    {"gui_type", [](CXmlControlConainer& r, std::string_view t) { return r.SetGuiType(t); }},
    {"gui_description", [](CXmlControlConainer& r, std::string_view t) { return r.SetDescription(t); }},
    {"gui_parameter", [](CXmlControlConainer& r, std::string_view t) { return r.SetParameter(t); }},
    {"gui_pos", [](CXmlControlConainer& r, std::string_view t) { return r.SetPosition(t); }},
    {"gui_size", [](CXmlControlConainer& r, std::string_view t) { return r.SetSize(t); }},
    {"radio_group", [](CXmlControlConainer& r, std::string_view t) { return r.SetRadioGroup(t); }},
    {"gui_format", [](CXmlControlConainer& r, std::string_view t) { return r.SetGuiFormat(t); }},
    {"device_target", [](CXmlControlConainer& r, std::string_view t) { return r.SetDeviceTarget(t); }},
    {"device_number", [](CXmlControlConainer& r, std::string_view t) { return r.SetDeviceNumber(t); }},
    {"device_io_type", [](CXmlControlConainer& r, std::string_view t) { return r.SetIoType(t); }},
    {"register_address", [](CXmlControlConainer& r, std::string_view t) { return r.SetRegisterAddress(t); }},
    {"i2c_startadrs", [](CXmlControlConainer& r, std::string_view t) { return r.SetI2cStartAddress(t); }},
    {"i2c_endadrs", [](CXmlControlConainer& r, std::string_view t) { return r.SetI2cEndAddress(t); }},
    {"transfer", [](CXmlControlConainer& r, std::string_view t) { return r.SetTransfer(t); }},
    {"container_id", [](CXmlControlConainer& r, std::string_view t) { return r.SetContainerId(t); }},
    {"lsbbit", [](CXmlControlConainer& r, std::string_view t) { return r.SetLsbBit(t); }},
    {"bitlength", [](CXmlControlConainer& r, std::string_view t) { return r.SetBitLength(t); }},
    {"relation_id", [](CXmlControlConainer& r, std::string_view t) { return r.SetRelationId(t); }},
    {"algorithm_s", [](CXmlControlConainer& r, std::string_view t) { return r.SetFormula(t, 1); }},
    {"algorithm_r", [](CXmlControlConainer& r, std::string_view t) { return r.SetFormula(t, 0); }},
    {"fixed_value", [](CXmlControlConainer& r, std::string_view t) { return r.SetFixedValue(t); }},
}};

constexpr std::array<std::string_view, 3> kSections = {"software", "hardware", "data"};

// ParseNumber passes over leading separators as it does over blanks, and
// either ends the digits, so the text needs no copy with blanks for them.
std::int32_t number(std::string_view text)
{
    return surfacetext::ParseNumber(text);
}

}  // namespace

const std::vector<std::string_view>& CXmlControlConainer::FieldWords()
{
    static const std::vector<std::string_view> words = [] {
        std::vector<std::string_view> out;
        for (const Field& field : kFields) {
            out.push_back(field.word);
        }
        return out;
    }();
    return words;
}

int CXmlControlConainer::Fill(const CDerivedXmlElement& control)
{
    // One walk finds every section and one walk per section every field:
    // the elements FindElement would give for each word, without walking
    // the control again for each of them.
    static const std::array<std::string_view, kFields.size()> kWords = [] {
        std::array<std::string_view, kFields.size()> words{};
        for (std::size_t i = 0; i < kFields.size(); ++i) {
            words[i] = kFields[i].word;
        }
        return words;
    }();
    std::array<const CDerivedXmlElement*, kSections.size()> sections{};
    control.FindElements(kSections, sections);
    int applied = 0;
    for (const CDerivedXmlElement* section : sections) {
        if (section == nullptr) {
            continue;
        }
        std::array<const CDerivedXmlElement*, kFields.size()> fields{};
        section->FindElements(kWords, fields);
        for (std::size_t i = 0; i < kFields.size(); ++i) {
            if (const std::string* text = FirstChildText(fields[i])) {
                applied += kFields[i].set(*this, *text);
            }
        }
    }
    Validate();
    return applied;
}

int CXmlControlConainer::Validate()
{
    int clean = 1;
    const auto [first, last] = DeviceNumberRange(deviceTarget_);
    if (first <= last && (deviceNumber_ < first || deviceNumber_ > last)) {
        refuse("device_target", deviceTarget_,
               "device number " + std::to_string(deviceNumber_) + " lies outside " + std::to_string(first) + ".." +
                   std::to_string(last) + "; the control drives no board facility");
        deviceTarget_.clear();
        clean = 0;
    }
    if (bitFieldRefused_ && containerId_ != kNone) {
        // Without its true bit field the control would write over the other
        // bits of the word; it is better bound to none.
        refuse("container_id", std::to_string(containerId_),
               "the bit field was refused; the control is bound to no data word");
        containerId_ = kNone;
        clean = 0;
    }
    return clean;
}

int CXmlControlConainer::refuse(std::string_view word, std::string_view text, std::string why)
{
    std::string problem = std::string(word) + " \"" + std::string(text) + "\": " + why;
    platform::debugOut("control record: " + problem + "\n");
    problems_.push_back(std::move(problem));
    return 0;
}

int CXmlControlConainer::SetGuiType(std::string_view text)
{
    guiType_ = std::string(text);
    return 1;
}

int CXmlControlConainer::SetDescription(std::string_view text)
{
    description_ = surfacetext::ParseItemList(text);
    itemIndex_ = 0;
    itemCount_ = static_cast<std::int32_t>(description_.size());
    return 1;
}

int CXmlControlConainer::SetParameter(std::string_view text)
{
    std::tie(parameterMin_, parameterMax_) = surfacetext::ParseTwoNumbers(text);
    return 1;
}

int CXmlControlConainer::SetItemIndex(std::string_view text)
{
    itemIndex_ = number(text);
    return 1;
}

int CXmlControlConainer::SetItemCount(std::string_view text)
{
    itemCount_ = number(text);
    return 1;
}

int CXmlControlConainer::SetPosition(std::string_view text)
{
    position_ = surfacetext::ParseTwoNumbers(text);
    return 1;
}

int CXmlControlConainer::SetSize(std::string_view text)
{
    size_ = surfacetext::ParseTwoNumbers(text);
    return 1;
}

int CXmlControlConainer::SetRadioGroup(std::string_view text)
{
    radioGroup_ = number(text);
    return 1;
}

int CXmlControlConainer::SetGuiFormat(std::string_view text)
{
    guiFormat_ = std::string(text);
    return 1;
}

int CXmlControlConainer::SetDeviceTarget(std::string_view text)
{
    deviceTarget_ = surfacetext::FirstToken(text);
    return 1;
}

int CXmlControlConainer::SetDeviceNumber(std::string_view text)
{
    deviceNumber_ = number(text);
    return 1;
}

int CXmlControlConainer::SetIoType(std::string_view text)
{
    const std::string token = surfacetext::FirstToken(text);
    if (token.find("input") != std::string::npos) {
        ioType_ = 0;
    }
    if (token.find("output") != std::string::npos) {
        ioType_ = 1;
    }
    return 1;
}

int CXmlControlConainer::SetRegisterAddress(std::string_view text)
{
    registerAddress_ = number(text);
    return 1;
}

int CXmlControlConainer::SetI2cStartAddress(std::string_view text)
{
    const std::int32_t value = number(text);
    if (value < 0 || value > kI2cAddressMax) {
        return refuse("i2c_startadrs", text, "outside 0..255; it stays " + std::to_string(i2cStart_));
    }
    i2cStart_ = value;
    return 1;
}

int CXmlControlConainer::SetI2cEndAddress(std::string_view text)
{
    const std::int32_t value = number(text);
    if (value < 0 || value > kI2cAddressMax) {
        return refuse("i2c_endadrs", text, "outside 0..255; it stays " + std::to_string(i2cEnd_));
    }
    i2cEnd_ = value;
    return 1;
}

int CXmlControlConainer::SetTransfer(std::string_view text)
{
    transfer_ = number(text);
    return 1;
}

int CXmlControlConainer::SetContainerId(std::string_view text)
{
    const std::int32_t value = number(text);
    if (value < kNone || value >= kContainerIdCount) {
        return refuse("container_id", text,
                      "outside -1.." + std::to_string(kContainerIdCount - 1) + "; it stays " +
                          std::to_string(containerId_));
    }
    containerId_ = value;
    return 1;
}

int CXmlControlConainer::SetLsbBit(std::string_view text)
{
    const std::int32_t value = number(text);
    if (value < kNone || value > 31) {
        bitFieldRefused_ = true;
        return refuse("lsbbit", text, "outside -1..31; it stays " + std::to_string(lsbBit_));
    }
    if (value >= 0 && bitLength_ > 0 && value + bitLength_ > 32) {
        bitFieldRefused_ = true;
        return refuse("lsbbit", text,
                      "with bit length " + std::to_string(bitLength_) + " the field passes bit 31; it stays " +
                          std::to_string(lsbBit_));
    }
    lsbBit_ = value;
    return 1;
}

int CXmlControlConainer::SetBitLength(std::string_view text)
{
    const std::int32_t value = number(text);
    if (value < 0 || value > 32) {
        bitFieldRefused_ = true;
        return refuse("bitlength", text, "outside 0..32; it stays " + std::to_string(bitLength_));
    }
    if (lsbBit_ >= 0 && value > 0 && lsbBit_ + value > 32) {
        bitFieldRefused_ = true;
        return refuse("bitlength", text,
                      "from bit " + std::to_string(lsbBit_) + " the field passes bit 31; it stays " +
                          std::to_string(bitLength_));
    }
    bitLength_ = value;
    return 1;
}

int CXmlControlConainer::SetRelationId(std::string_view text)
{
    relationId_ = number(text);
    return 1;
}

int CXmlControlConainer::SetSpareNumber(std::string_view text)
{
    spareNumber_ = number(text);
    return 1;
}

int CXmlControlConainer::SetFormula(std::string_view text, int send)
{
    std::vector<std::string>& list = send != 0 ? sendTokens_ : receiveTokens_;
    for (std::string& token : surfacetext::ParseTokenList(text)) {
        list.push_back(std::move(token));
    }
    return 1;
}

int CXmlControlConainer::SetFixedValue(std::string_view text)
{
    fixedValue_ = number(text);
    return 1;
}

const std::string* CXmlControlConainer::GetDescription(int index) const
{
    return GetListToken(description_, index);
}

const std::string* CXmlControlConainer::GetListToken(const std::vector<std::string>& list, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
        return nullptr;
    }
    return &list[static_cast<std::size_t>(index)];
}

const std::string* CXmlControlConainer::GetFormulaToken(int send, int index) const
{
    return GetListToken(GetFormulaTokens(send), index);
}

int CXmlControlConainer::GetFormulaTokenCount(int send) const
{
    return GetListTokenCount(GetFormulaTokens(send));
}

int CXmlControlConainer::GetTokenCount(int list) const
{
    if (list != kSendList && list != kReceiveList) {
        return 0;
    }
    return GetFormulaTokenCount(list);
}

const std::string* CXmlControlConainer::GetToken(int list, int index) const
{
    if (list != kSendList && list != kReceiveList) {
        return nullptr;
    }
    return GetFormulaToken(list, index);
}

std::pair<std::int32_t, std::int32_t> CXmlControlConainer::DeviceNumberRange(std::string_view target)
{
    if (target == "pwm") {
        return {0, 8};
    }
    if (target == "gpio" || target == "gpio_pulse") {
        return {0, 33};
    }
    if (target == "adc") {
        return {0, 7};
    }
    if (target == "int") {
        return {1, 5};
    }
    return {0, -1};
}
