// The record of one <control> element of a device surface: what the control
// shows (type, captions, place, range, format), the data word and bit field
// it is bound to, the board facility it drives and its two formulas.
//
// Values that would address memory later (data word, bit field, I2C
// addresses, device number) are checked as they are read: an out-of-range
// value is refused, the field keeps what it held (its default), and the
// refusal is written to the debug output and kept in GetProblems().
#pragma once

#include "data/Mathematics.h"
#include "surface/XmlEntry.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CXmlControlConainer final : public IFormulaTokenSource {
public:
    static constexpr std::int32_t kNone = -1;
    static constexpr std::int32_t kRegisterNotGiven = std::numeric_limits<std::int32_t>::min();  // 0x80000000
    // Special register addresses of an "i2c" control.
    static constexpr std::int32_t kRegisterSlaveAddress = -1;
    static constexpr std::int32_t kRegisterRange = -2;
    static constexpr std::int32_t kRegisterFixedPattern = -3;
    // The page keeps one refresh flag per data word in a table of this
    // size, so a surface's data words lie below it.
    static constexpr std::int32_t kContainerIdCount = 128;
    // I2C register addresses travel as one byte each.
    static constexpr std::int32_t kI2cAddressMax = 255;
    static constexpr int kReceiveList = 0;  // "algorithm_r"
    static constexpr int kSendList = 1;     // "algorithm_s"

    // The field words in the order the record reads them from a section.
    static const std::vector<std::string_view>& FieldWords();

    CXmlControlConainer() = default;
    ~CXmlControlConainer() override = default;

    // Reads the "software", "hardware" and "data" sections below the
    // <control> element, in that order (a field given twice takes the later
    // value; an empty element changes nothing), then checks the board
    // binding (Validate). Returns the number of field texts applied.
    int Fill(const CDerivedXmlElement& control);
    // Checks what only the fields together tell: a board target whose device
    // number lies outside the target's channels, ports or inputs is dropped
    // (the control then stores its value but drives nothing), and a control
    // whose bit field was refused is bound to no data word (rather than to
    // the whole word). Returns 1 when the record needed no change.
    int Validate();

    // Setters: each takes the field's text; 1 when applied, 0 when refused.
    int SetGuiType(std::string_view text);
    int SetDescription(std::string_view text);  // also item index 0 and item count
    int SetParameter(std::string_view text);
    int SetItemIndex(std::string_view text);
    int SetItemCount(std::string_view text);
    int SetPosition(std::string_view text);
    int SetSize(std::string_view text);
    int SetRadioGroup(std::string_view text);
    int SetGuiFormat(std::string_view text);
    int SetDeviceTarget(std::string_view text);
    int SetDeviceNumber(std::string_view text);
    int SetIoType(std::string_view text);
    int SetRegisterAddress(std::string_view text);
    int SetI2cStartAddress(std::string_view text);  // 0..255
    int SetI2cEndAddress(std::string_view text);    // 0..255
    int SetTransfer(std::string_view text);
    int SetContainerId(std::string_view text);  // -1, or 0..127
    int SetLsbBit(std::string_view text);       // -1, or 0..31 with the field inside bit 31
    int SetBitLength(std::string_view text);    // 0..32 with the field inside bit 31
    int SetRelationId(std::string_view text);
    int SetSpareNumber(std::string_view text);
    // Appends the text's tokens to the send list (send non-zero) or the
    // receive list.
    int SetFormula(std::string_view text, int send);
    int SetFixedValue(std::string_view text);

    // Getters.
    const std::string& GetGuiType() const { return guiType_; }
    int GetDescriptionCount() const { return static_cast<int>(description_.size()); }
    const std::string* GetDescription(int index) const;  // null outside the list
    const std::vector<std::string>& GetDescriptions() const { return description_; }
    std::int32_t GetItemIndex() const { return itemIndex_; }
    std::int32_t GetItemCount() const { return itemCount_; }
    std::int32_t GetParameterMin() const { return parameterMin_; }
    std::int32_t GetParameterMax() const { return parameterMax_; }
    std::pair<std::int32_t, std::int32_t> GetPosition() const { return position_; }
    std::pair<std::int32_t, std::int32_t> GetSize() const { return size_; }
    std::int32_t GetRadioGroup() const { return radioGroup_; }
    const std::string& GetGuiFormat() const { return guiFormat_; }
    bool HasGuiFormat() const { return !guiFormat_.empty(); }
    const std::string& GetDeviceTarget() const { return deviceTarget_; }
    bool HasDeviceTarget() const { return !deviceTarget_.empty(); }
    std::int32_t GetDeviceNumber() const { return deviceNumber_; }
    std::int32_t GetIoType() const { return ioType_; }
    std::int32_t GetRegisterAddress() const { return registerAddress_; }
    std::int32_t GetI2cStartAddress() const { return i2cStart_; }
    std::int32_t GetI2cEndAddress() const { return i2cEnd_; }
    std::int32_t GetTransfer() const { return transfer_; }
    std::int32_t GetContainerId() const { return containerId_; }
    std::int32_t GetLsbBit() const { return lsbBit_; }
    std::int32_t GetBitLength() const { return bitLength_; }
    bool HasContainerId() const { return containerId_ != kNone; }
    std::int32_t GetRelationId() const { return relationId_; }
    bool HasRelationId() const { return relationId_ != kNone; }
    std::int32_t GetSpareNumber() const { return spareNumber_; }
    bool HasSpareNumber() const { return spareNumber_ != kNone; }
    // One token of a list, null outside it.
    static const std::string* GetListToken(const std::vector<std::string>& list, int index);
    static int GetListTokenCount(const std::vector<std::string>& list) { return static_cast<int>(list.size()); }
    const std::string* GetFormulaToken(int send, int index) const;
    int GetFormulaTokenCount(int send) const;
    const std::vector<std::string>& GetFormulaTokens(int send) const { return send != 0 ? sendTokens_ : receiveTokens_; }
    std::int32_t GetFixedValue() const { return fixedValue_; }

    // The expression evaluator's view: list 1 is the send formula, 0 the
    // receive one; any other list is empty.
    int GetTokenCount(int list) const override;
    const std::string* GetToken(int list, int index) const override;

    // Why fields were refused or the target dropped, one sentence each.
    const std::vector<std::string>& GetProblems() const { return problems_; }

    // The device numbers a target accepts, as {first, last}; {0, -1} for a
    // target that addresses no channel, port or input.
    static std::pair<std::int32_t, std::int32_t> DeviceNumberRange(std::string_view target);

private:
    int refuse(std::string_view word, std::string_view text, std::string why);

    std::string guiType_;
    std::vector<std::string> description_;
    std::int32_t itemIndex_ = 0;
    std::int32_t itemCount_ = 0;
    std::pair<std::int32_t, std::int32_t> position_{0, 0};
    std::pair<std::int32_t, std::int32_t> size_{0, 0};
    std::int32_t parameterMin_ = 0;
    std::int32_t parameterMax_ = 0;
    std::int32_t radioGroup_ = 0;
    std::string guiFormat_;
    std::string deviceTarget_;
    std::int32_t deviceNumber_ = 0;
    std::int32_t ioType_ = kNone;
    std::int32_t registerAddress_ = kRegisterNotGiven;
    std::int32_t i2cStart_ = 0;
    std::int32_t i2cEnd_ = 0;
    std::int32_t transfer_ = 0;
    std::int32_t containerId_ = kNone;
    std::int32_t lsbBit_ = kNone;
    std::int32_t bitLength_ = 0;
    std::int32_t relationId_ = kNone;
    std::int32_t spareNumber_ = kNone;
    std::vector<std::string> sendTokens_;
    std::vector<std::string> receiveTokens_;
    std::int32_t fixedValue_ = kNone;

    bool bitFieldRefused_ = false;
    std::vector<std::string> problems_;
};
