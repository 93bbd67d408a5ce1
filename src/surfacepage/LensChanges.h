// What a control change on the XML-surface page hands the task queue: a pure
// function from the control's record, its value and the page's kept records to
// the task word and the record that goes with it. The page then stores the value
// through a GUI command that carries both.
//
// The kept records (one per PWM channel, port, ADC channel and interrupt input,
// and the page's one I2C block) are rebuilt in place, so a later change keeps
// what an earlier one set; the register images take their fields here too. A
// change that builds no record stores its value and queues nothing.
//
// Nothing here reads past a table: channel, port and input numbers outside the
// kept records, and an I2C range of more data bytes than one frame carries, build
// no record (the value is still stored) and say why. GUI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "board/Records.h"
#include "surfacepage/SurfaceContent.h"

class CXmlControlConainer;

namespace surfacepage {

// The records a page keeps, borrowed for one change; each accessor is null for a
// number outside its table.
class IKeptRecords {
public:
    virtual ~IKeptRecords() = default;
    virtual PwmChannelRecord* Pwm(int channel) = 0;
    virtual GpioRecord* Port(int line) = 0;
    virtual AdcChannelRecord* Adc(int channel) = 0;
    virtual InterruptInputRecord* Interrupt(int input) = 0;
    virtual I2cRecord& I2c() = 0;
    virtual RegisterMap& Registers() = 0;
};

struct TaskOrder {
    enum class Record { None, Empty, Pwm, Port, Adc, Interrupt, I2c };
    std::uint32_t word = 0;
    Record record = Record::None;  // None: the value is stored and nothing is queued
    const void* data = nullptr;    // the kept record (or the empty marker) the task copies
    std::uint32_t size = 0;
    std::string problem;           // why a record that was asked for was not built
};

// The task word and record of a change. `kind` is the task kind of the record's
// `device_target` (the page base's name table; -1 for a name it lacks). The value
// an I2C register field takes is 15 - value for a slider on device 0x400.
TaskOrder BuildTaskOrder(const CXmlControlConainer& record, std::int32_t kind, std::uint32_t value,
                         std::int32_t deviceKey, IKeptRecords& kept);

// Fills the I2C block's request from its range and the register images: data
// length, then byte 0 the length, byte 1 the range start, then each register's
// bytes, most significant first. False (the block unchanged) when the range holds
// more data bytes than one frame carries.
bool AssembleI2cRequest(I2cRecord& block, const RegisterMap& registers);

// The slave address from an address edit's value, whose decimal digits are the
// address's binary digits: 1110010 gives 0x72.
std::uint8_t SlaveAddressOfDigits(std::uint32_t value);

}  // namespace surfacepage
