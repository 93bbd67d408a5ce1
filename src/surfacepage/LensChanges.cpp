#include "surfacepage/LensChanges.h"

#include "surface/XmlControlConainer.h"
#include "tasks/GuiCommand.h"
#include "tasks/TaskWord.h"

namespace surfacepage {

namespace {

constexpr std::int32_t kFirstLensKey = 0x400;

TaskOrder Refused(std::uint32_t word, std::string problem)
{
    TaskOrder order;
    order.word = word;
    order.problem = std::move(problem);
    return order;
}

template <class Record>
TaskOrder With(std::uint32_t word, TaskOrder::Record kind, Record* record)
{
    TaskOrder order;
    order.word = word;
    order.record = kind;
    order.data = record;
    order.size = sizeof(Record);
    return order;
}

std::string OutsideTable(const char* what, std::int32_t number)
{
    return std::string(what) + " " + std::to_string(number) + " has no record; the value is only stored";
}

// The I2C block takes the change's field, range or address, then its request.
TaskOrder I2cOrder(const CXmlControlConainer& record, std::uint32_t value, std::int32_t deviceKey, IKeptRecords& kept)
{
    I2cRecord& block = kept.I2c();
    RegisterMap& registers = kept.Registers();
    if (deviceKey == kFirstLensKey && record.GetGuiType() == "slider") value = 15u - value;
    const std::int32_t address = record.GetRegisterAddress();
    const auto registerAt = [&](std::int32_t at) -> IRegisterData* {
        const auto found = registers.find(at);
        return found != registers.end() ? found->second.get() : nullptr;
    };
    if (IRegisterData* target = address >= 0 ? registerAt(address) : nullptr) {
        if (record.GetLsbBit() >= 0 && record.GetBitLength() > 0) {
            target->SetBits(static_cast<std::uint32_t>(record.GetLsbBit()), static_cast<std::uint32_t>(record.GetBitLength()),
                            value);
        }
    } else if (address == CXmlControlConainer::kRegisterFixedPattern) {
        if (IRegisterData* target = registerAt(record.GetI2cStartAddress()); target != nullptr && record.GetBitLength() > 0) {
            target->SetBits(static_cast<std::uint32_t>(record.GetI2cEndAddress()),
                            static_cast<std::uint32_t>(record.GetBitLength()),
                            static_cast<std::uint32_t>(record.GetFixedValue()));
        }
    } else if (address == CXmlControlConainer::kRegisterRange) {
        const std::int64_t bytes = RangeByteCount(registers, record.GetI2cStartAddress(), record.GetI2cEndAddress());
        if (bytes < 0 || bytes > kMaxI2cRangeBytes) {
            return Refused(0x0B000000u, "I2C range " + std::to_string(record.GetI2cStartAddress()) + ".." +
                                            std::to_string(record.GetI2cEndAddress()) +
                                            " does not fit one frame; the block keeps its range");
        }
        block.reserved[0] = static_cast<std::uint8_t>(record.GetI2cStartAddress());
        block.reserved[1] = static_cast<std::uint8_t>(record.GetI2cEndAddress());
        block.length = static_cast<std::uint32_t>(bytes);
    } else if (address == CXmlControlConainer::kRegisterSlaveAddress) {
        block.address = SlaveAddressOfDigits(value);
    }
    if (!AssembleI2cRequest(block, registers)) {
        return Refused(0x0B000000u, "the I2C request does not fit one frame; nothing is sent");
    }
    if (record.GetTransfer() == 0) return Refused(0x0B000000u, std::string());
    return With(0x0B000000u, TaskOrder::Record::I2c, &block);
}

}  // namespace

std::uint8_t SlaveAddressOfDigits(std::uint32_t value)
{
    std::uint8_t address = 0;
    for (int i = 0; i < 8 && value != 0; ++i, value /= 10) {
        if (value % 10 != 0) address = static_cast<std::uint8_t>(address | (1u << i));
    }
    return address;
}

bool AssembleI2cRequest(I2cRecord& block, const RegisterMap& registers)
{
    const std::int32_t first = block.reserved[0];
    const std::int32_t last = block.reserved[1];
    const std::int64_t bytes = RangeByteCount(registers, first, last);
    if (bytes > kMaxI2cRangeBytes || block.length > static_cast<std::uint32_t>(kMaxI2cRangeBytes)) return false;
    block.operation = 0;
    block.bytes[0] = static_cast<std::uint8_t>(block.length & 0xFFu);
    block.bytes[1] = static_cast<std::uint8_t>(first);
    std::size_t at = 2;
    for (auto it = registers.lower_bound(first); bytes >= 0 && it != registers.end() && it->first <= last; ++it) {
        IRegisterData* data = it->second.get();
        if (data == nullptr) continue;
        data->GetBytes(&block.bytes[at], data->GetByteCount());
        at += data->GetByteCount();
    }
    return true;
}

TaskOrder BuildTaskOrder(const CXmlControlConainer& record, std::int32_t kind, std::uint32_t value,
                         std::int32_t deviceKey, IKeptRecords& kept)
{
    const std::int32_t number = record.GetDeviceNumber();
    const std::int32_t io = record.GetIoType();
    switch (kind) {
    case kTaskPwm: {
        PwmChannelRecord* pwm = kept.Pwm(number);
        if (pwm == nullptr) return Refused(0, OutsideTable("PWM channel", number));
        pwm->channel = static_cast<std::uint32_t>(number);
        if (io == 0) {
            pwm->frequency = static_cast<double>(value);
            pwm->value = 50.0;
        } else {
            pwm->value = static_cast<double>(value);
        }
        pwm->percent = 1;
        return With(0x01000000u, TaskOrder::Record::Pwm, pwm);
    }
    case kTaskGpio:
    case kTaskGpioPulse: {  // a GPIO word with the port record in its pulse form
        GpioRecord* port = kept.Port(number);
        if (port == nullptr) return Refused(0, OutsideTable("Port", number));
        port->port.line = static_cast<std::uint32_t>(number);
        if (kind == kTaskGpio) {
            port->port.direction = static_cast<std::uint32_t>(io) & 1u;
            port->port.level = value & 1u;
            port->port.reserved = 0;
            port->port.send = 1;
        } else {
            port->port.send = static_cast<std::uint32_t>(record.GetTransfer());
            port->pulse = 1;
            port->pulseWidth = value;
        }
        return With(0x02000000u, TaskOrder::Record::Port, port);
    }
    case kTaskAdc: {
        AdcChannelRecord* adc = kept.Adc(number);
        if (adc == nullptr) return Refused(0, OutsideTable("ADC channel", number));
        adc->channel = static_cast<std::uint32_t>(number);
        adc->enable = 1;
        adc->reference = value & 1u;
        return With(0x03000000u, TaskOrder::Record::Adc, adc);
    }
    case kTaskInterrupt: {
        InterruptInputRecord* input = kept.Interrupt(number);
        if (input == nullptr) return Refused(0, OutsideTable("Interrupt input", number));
        input->input = static_cast<std::uint32_t>(number);
        input->modeA = value & 3u;
        return With(0x04000000u, TaskOrder::Record::Interrupt, input);
    }
    case kTaskBldcSequence:
    case 6:
    case 7:
    case 8:
    case kTaskLensSequence: {
        // The task reads no record; the empty marker makes the command queue it.
        TaskOrder order;
        order.word = static_cast<std::uint32_t>(kind) << 24;
        order.record = TaskOrder::Record::Empty;
        order.data = EmptyTaskRecord();
        return order;
    }
    case kTaskI2c:
        return I2cOrder(record, value, deviceKey, kept);
    case kTaskPolling:
    case kTaskSpi:  // the bare kind, nothing queued (no surface uses them)
        return Refused(static_cast<std::uint32_t>(kind), std::string());
    default:
        return TaskOrder{};
    }
}

}  // namespace surfacepage
