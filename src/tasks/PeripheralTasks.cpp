#include "tasks/PeripheralTasks.h"

#include <cstring>

#include "board/RG1Micon.h"
#include "platform/core/Debug.h"

namespace {

const char* SendText(std::uint32_t send) { return send != 0 ? "+ translate" : ""; }

int AsInt(std::uint32_t v) { return static_cast<int>(v); }

}  // namespace

// --- PWM ---

int CTask_Pwm::SetParameters(const void* record, std::uint32_t size) {
    if (record != nullptr && size == kRecordSize) {
        std::memcpy(&record_, record, kRecordSize);
        registered_ = true;
        platform::debugOutf("PWM-%d register\n", AsInt(record_.channel));
    }
    return registered_ ? 1 : 0;
}

int CTask_Pwm::Start() {
    platform::debugOutf("\tPWM-%d Rise Event\n", AsInt(record_.channel));
    return CDerivedTask::Start();
}

int CTask_Pwm::Run() {
    if (!registered_) return 0;
    platform::debugOutf("\t\tPWM-%d set %s\n", AsInt(record_.channel), SendText(record_.send));
    SetPwmFrequency(AsInt(record_.channel), &record_, AsInt(record_.send));
    return 0;
}

int CTask_Pwm::SetPwmFrequency(int channel, PwmChannelRecord* record, int send) {
    CRG1Micon* link = Micon();
    return link != nullptr ? link->SetPwmFrequency(channel, record, send) : 0;
}

// --- GPIO ---

int CTask_Gpio::SetParameters(const void* record, std::uint32_t size) {
    if (record != nullptr && size == kRecordSize) {
        std::memcpy(&record_, record, kRecordSize);
        registered_ = true;
        platform::debugOutf("GPIO-%d register\n", AsInt(record_.port.line));
    }
    return registered_ ? 1 : 0;
}

int CTask_Gpio::Start() {
    platform::debugOutf("\tGPIO-%d Rise Event\n", AsInt(record_.port.line));
    return CDerivedTask::Start();
}

int CTask_Gpio::Run() {
    if (!registered_) return 0;
    const std::uint32_t line = record_.port.line;
    const std::uint32_t send = record_.port.send;
    if (read_ != 0) {
        platform::debugOutf("\t\tGPIO-%d get %s\n", AsInt(line), SendText(send));
        const int level = ReadPort(AsInt(line), AsInt(send));
        platform::post(GetNotifyWindow(), kMsgNewData, (line & 0xFFFF) | kGpioReadTag, level);
    } else {
        platform::debugOutf("\t\tGPIO-%d set %s\n", AsInt(line), SendText(send));
        WriteOrPulse(AsInt(line), &record_, AsInt(send));
    }
    return 0;
}

int CTask_Gpio::WriteOrPulse(int line, const GpioRecord* record, int send) {
    CRG1Micon* link = Micon();
    if (link == nullptr || record == nullptr) return 0;
    if (record->pulse == 0) return link->WritePort(line, &record->port, send);
    return link->PulsePort(static_cast<std::uint8_t>(record->pulseWidth & 0xFF), AsInt(record->port.line), send);
}

// --- I2C ---

int CTask_I2C::SetParameters(const void* record, std::uint32_t size) {
    if (record != nullptr && size == kRecordSize) {
        std::memcpy(&record_, record, kRecordSize);
        registered_ = true;
    }
    return registered_ ? 1 : 0;
}

int CTask_I2C::Run() {
    // Without a record there is no request: an empty transfer would address the bus's
    // general call address.
    if (!registered_) return 0;
    CRG1Micon* link = Micon();
    if (link == nullptr) return 0;
    if (record_.operation == kTransfer) {
        if (link->I2cTransfer(0, &record_, 1) == 0) {
            platform::debugOutf("I2C request of %u bytes refused\n", record_.length);
        }
    } else if (record_.operation == kFetchReply) {
        link->GetI2cReply(record_.bytes, &record_.length);
    }
    return 0;
}

// --- ADC and interrupt inputs ---

int CTask_Adc::SetAdcChannel(int channel, int enable, int send) {
    CRG1Micon* link = Micon();
    if (link == nullptr) return 1;
    AdcChannelRecord request{0, static_cast<std::uint32_t>(enable), 0, 4, 0};
    link->SetAdcChannel(channel, &request, send);
    return 1;
}

int CTask_Int::SetInterruptInput(int item, int mode, int send) {
    CRG1Micon* link = Micon();
    if (link == nullptr) return 1;
    InterruptInputRecord request{0, static_cast<std::uint32_t>(mode), 0, 0};
    link->SetInterruptInput(item, &request, send);
    return 1;
}
