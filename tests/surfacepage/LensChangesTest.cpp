// What a change hands the queue: the task word and the kept record of each target,
// the I2C block built from register fields, ranges, fixed patterns and addresses, and
// numbers or ranges that fit no record refused with the value still stored.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <vector>

#include "surface/XmlControlConainer.h"
#include "surfacepage/Factories.h"
#include "surfacepage/LensChanges.h"
#include "tasks/GuiCommand.h"
#include "tasks/TaskWord.h"

namespace {

using surfacepage::TaskOrder;

// Kept records in plain tables of the page base's sizes.
class Kept final : public surfacepage::IKeptRecords {
public:
    explicit Kept(int registerCount = 4)
    {
        for (int i = 0; i < registerCount; ++i) registers[i] = CRegisterDataFactory::GetInstance().CreateRegisterData(8);
    }
    PwmChannelRecord* Pwm(int c) override { return c >= 0 && c < 9 ? &pwm[static_cast<std::size_t>(c)] : nullptr; }
    GpioRecord* Port(int l) override { return l >= 0 && l < 34 ? &ports[static_cast<std::size_t>(l)] : nullptr; }
    AdcChannelRecord* Adc(int c) override { return c >= 0 && c < 12 ? &adc[static_cast<std::size_t>(c)] : nullptr; }
    InterruptInputRecord* Interrupt(int i) override { return i >= 1 && i <= 5 ? &inputs[static_cast<std::size_t>(i - 1)] : nullptr; }
    I2cRecord& I2c() override { return i2c; }
    surfacepage::RegisterMap& Registers() override { return registers; }
    std::uint32_t Reg(int at) { return registers.at(at)->GetBits(0, 8); }

    std::array<PwmChannelRecord, 9> pwm{};
    std::array<GpioRecord, 34> ports{};
    std::array<AdcChannelRecord, 12> adc{};
    std::array<InterruptInputRecord, 5> inputs{};
    I2cRecord i2c{};
    surfacepage::RegisterMap registers;
};

CXmlControlConainer Record(const std::map<std::string, std::string>& fields)
{
    CXmlControlConainer r;
    for (const auto& [word, text] : fields) {
        if (word == "gui_type") r.SetGuiType(text);
        else if (word == "device_target") r.SetDeviceTarget(text);
        else if (word == "device_number") r.SetDeviceNumber(text);
        else if (word == "device_io_type") r.SetIoType(text);
        else if (word == "register_address") r.SetRegisterAddress(text);
        else if (word == "i2c_startadrs") r.SetI2cStartAddress(text);
        else if (word == "i2c_endadrs") r.SetI2cEndAddress(text);
        else if (word == "transfer") r.SetTransfer(text);
        else if (word == "lsbbit") r.SetLsbBit(text);
        else if (word == "bitlength") r.SetBitLength(text);
        else if (word == "fixed_value") r.SetFixedValue(text);
        else ADD_FAILURE() << "no setter for " << word;
    }
    return r;
}

std::vector<std::uint8_t> Request(const I2cRecord& block, std::size_t count)
{
    return std::vector<std::uint8_t>(block.bytes, block.bytes + count);
}

}  // namespace

TEST(LensChanges, PortPwmAdcInterruptAndSequenceTargetsFillTheirKeptRecords)
{
    Kept kept;
    kept.ports[31].pulse = 0;
    kept.ports[31].pulseWidth = 7;
    TaskOrder o = surfacepage::BuildTaskOrder(Record({{"device_number", "31"}, {"device_io_type", "output"}}), kTaskGpio, 1, 0x400, kept);
    EXPECT_EQ((std::tuple{o.word, o.record, o.data, o.size}),
              (std::tuple{0x02000000u, TaskOrder::Record::Port, static_cast<const void*>(&kept.ports[31]), 28u}));
    const GpioRecord& p31 = kept.ports[31];
    EXPECT_EQ((std::tuple{p31.port.line, p31.port.direction, p31.port.level, p31.port.reserved, p31.port.send, p31.pulse, p31.pulseWidth}),
              (std::tuple{31u, 1u, 1u, 0u, 1u, 0u, 7u}));

    // The pulse form shares the port's record and keeps its direction and level.
    kept.ports[25].port.direction = 1;
    o = surfacepage::BuildTaskOrder(Record({{"device_number", "25"}, {"transfer", "0"}}), kTaskGpioPulse, 3, 0x400, kept);
    const GpioRecord& p25 = kept.ports[25];
    EXPECT_EQ((std::tuple{o.word, o.record}), (std::tuple{0x02000000u, TaskOrder::Record::Port}));
    EXPECT_EQ((std::tuple{p25.port.line, p25.port.send, p25.pulse, p25.pulseWidth, p25.port.direction}),
              (std::tuple{25u, 0u, 1u, 3u, 1u}));

    // PWM: an input-typed control sets the frequency at half duty, others the duty.
    o = surfacepage::BuildTaskOrder(Record({{"device_number", "3"}, {"device_io_type", "input"}}), kTaskPwm, 2000, 0x400, kept);
    EXPECT_EQ((std::tuple{o.word, o.size, kept.pwm[3].channel, kept.pwm[3].frequency, kept.pwm[3].value, kept.pwm[3].percent}),
              (std::tuple{0x01000000u, 72u, 3u, 2000.0, 50.0, 1u}));
    surfacepage::BuildTaskOrder(Record({{"device_number", "3"}, {"device_io_type", "output"}}), kTaskPwm, 30, 0x400, kept);
    EXPECT_EQ((std::tuple{kept.pwm[3].frequency, kept.pwm[3].value}), (std::tuple{2000.0, 30.0}));

    o = surfacepage::BuildTaskOrder(Record({{"device_number", "2"}}), kTaskAdc, 1, 0x400, kept);
    EXPECT_EQ((std::tuple{o.word, kept.adc[2].channel, kept.adc[2].enable, kept.adc[2].reference}), (std::tuple{0x03000000u, 2u, 1u, 1u}));
    o = surfacepage::BuildTaskOrder(Record({{"device_number", "4"}}), kTaskInterrupt, 6, 0x400, kept);
    EXPECT_EQ((std::tuple{o.word, kept.inputs[3].input, kept.inputs[3].modeA}), (std::tuple{0x04000000u, 4u, 2u}));

    o = surfacepage::BuildTaskOrder(Record({}), kTaskLensSequence, 1, 0x400, kept);
    EXPECT_EQ((std::tuple{o.word, o.record, o.data}), (std::tuple{0x09000000u, TaskOrder::Record::Empty, EmptyTaskRecord()}));
    // Polling and SPI are the bare kind and queue nothing; an unknown target is word 0.
    EXPECT_EQ(surfacepage::BuildTaskOrder(Record({}), kTaskPolling, 1, 0x400, kept).word, 10u);
    EXPECT_EQ(surfacepage::BuildTaskOrder(Record({}), kTaskSpi, 1, 0x400, kept).record, TaskOrder::Record::None);
    o = surfacepage::BuildTaskOrder(Record({}), -1, 1, 0x400, kept);
    EXPECT_EQ((std::tuple{o.word, o.record, o.data}), (std::tuple{0u, TaskOrder::Record::None, static_cast<const void*>(nullptr)}));

    // A number outside the kept tables builds nothing and says so.
    using Target = std::pair<std::int32_t, const char*>;
    for (const auto& [kind, number] : {Target{kTaskPwm, "9"}, Target{kTaskGpio, "34"}, Target{kTaskGpioPulse, "-1"},
                                       Target{kTaskAdc, "12"}, Target{kTaskInterrupt, "0"}}) {
        o = surfacepage::BuildTaskOrder(Record({{"device_number", number}}), kind, 1, 0x400, kept);
        EXPECT_EQ(o.record, TaskOrder::Record::None) << kind << " " << number;
        EXPECT_NE(o.problem.find("has no record"), std::string::npos) << o.problem;
    }
}

TEST(LensChanges, TheI2cBlockTakesFieldsRangesPatternsAndAddressesAndSendsOnlyOnTransfer)
{
    Kept kept;
    const auto i2c = [&](const std::map<std::string, std::string>& fields, std::uint32_t value, std::int32_t key = 0x400) {
        return surfacepage::BuildTaskOrder(Record(fields), kTaskI2c, value, key, kept);
    };
    // "All(00h - 03h)": the range and length, kept in the block; nothing is sent.
    TaskOrder o = i2c({{"register_address", "-2"}, {"i2c_startadrs", "0"}, {"i2c_endadrs", "3"}}, 0);
    EXPECT_EQ((std::tuple{o.word, o.record, kept.i2c.length, kept.i2c.reserved[0], kept.i2c.reserved[1]}),
              (std::tuple{0x0B000000u, TaskOrder::Record::None, 4u, std::uint8_t{0}, std::uint8_t{3}}));
    // A slider on the first lens model writes 15 - value into its field.
    i2c({{"gui_type", "slider"}, {"register_address", "0"}, {"lsbbit", "0"}, {"bitlength", "4"}}, 3);
    EXPECT_EQ(kept.Reg(0), 12u);
    i2c({{"gui_type", "slider"}, {"register_address", "2"}, {"lsbbit", "4"}, {"bitlength", "4"}}, 3, 0x401);
    EXPECT_EQ(kept.Reg(2), 0x30u) << "no inversion on the second model";
    i2c({{"register_address", "-3"}, {"i2c_startadrs", "1"}, {"i2c_endadrs", "6"}, {"bitlength", "2"}, {"fixed_value", "3"}}, 0);
    EXPECT_EQ(kept.Reg(1), 0xC0u);
    i2c({{"register_address", "-1"}}, 1110010);
    EXPECT_EQ(kept.i2c.address, 0x72);
    // "Send": the block goes with its request: length, start, the registers' bytes.
    o = i2c({{"transfer", "1"}}, 1);
    EXPECT_EQ((std::tuple{o.word, o.record, o.data, o.size, kept.i2c.operation}),
              (std::tuple{0x0B000000u, TaskOrder::Record::I2c, static_cast<const void*>(&kept.i2c), 140u, 0u}));
    EXPECT_EQ(Request(kept.i2c, 6), (std::vector<std::uint8_t>{4, 0, 0x0C, 0xC0, 0x30, 0x00}));
    // "01h": range 1..1.
    i2c({{"register_address", "-2"}, {"i2c_startadrs", "1"}, {"i2c_endadrs", "1"}}, 1);
    i2c({{"transfer", "1"}}, 1);
    EXPECT_EQ(Request(kept.i2c, 3), (std::vector<std::uint8_t>{1, 1, 0xC0}));
    EXPECT_EQ(kept.i2c.address, 0x72) << "the address stays";

    EXPECT_EQ(surfacepage::SlaveAddressOfDigits(0), 0);
    EXPECT_EQ(surfacepage::SlaveAddressOfDigits(11111111), 0xFF);
    EXPECT_EQ(surfacepage::SlaveAddressOfDigits(4294967295u), 0xFF) << "only the lowest eight digits count";
    EXPECT_EQ(surfacepage::SlaveAddressOfDigits(1000000), 0x40);
}

TEST(LensChanges, ARangeOfMoreThanOneFrameIsRefusedAndTheBlockKeepsItsRequest)
{
    Kept kept(71);
    surfacepage::BuildTaskOrder(Record({{"register_address", "-2"}, {"i2c_startadrs", "0"}, {"i2c_endadrs", "59"}}), kTaskI2c, 0, 0x400, kept);
    EXPECT_EQ(kept.i2c.length, 60u) << "60 data bytes fit one frame";
    const I2cRecord before = kept.i2c;
    TaskOrder o = surfacepage::BuildTaskOrder(
        Record({{"register_address", "-2"}, {"i2c_startadrs", "0"}, {"i2c_endadrs", "70"}, {"transfer", "1"}}), kTaskI2c, 0, 0x400, kept);
    EXPECT_EQ(o.record, TaskOrder::Record::None);
    EXPECT_NE(o.problem.find("I2C range 0..70 does not fit one frame"), std::string::npos) << o.problem;
    EXPECT_EQ(kept.i2c.length, before.length);
    EXPECT_EQ(kept.i2c.reserved[1], before.reserved[1]);

    // A block whose length was set past a frame is not assembled.
    I2cRecord block{};
    block.length = 61;
    block.bytes[0] = 0xAA;
    EXPECT_FALSE(surfacepage::AssembleI2cRequest(block, kept.registers));
    EXPECT_EQ(block.bytes[0], 0xAA);
}
