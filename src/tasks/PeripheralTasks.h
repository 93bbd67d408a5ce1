// The task classes of the PWM, GPIO, ADC, interrupt, BLDC-sequence and I2C words. The
// PWM, GPIO and I2C tasks copy an argument record of their exact size and hand it to one
// board link operation when they run; the others do no board work.
#pragma once

#include <atomic>

#include "board/Records.h"
#include "tasks/Task.h"

class CTask_Pwm final : public CDerivedTask {
public:
    static constexpr std::uint32_t kRecordSize = sizeof(PwmChannelRecord);

    explicit CTask_Pwm(std::uint32_t word) : CDerivedTask(word) {}
    ~CTask_Pwm() override { JoinThread(); }

    int SetParameters(const void* record, std::uint32_t size) override;
    int Start() override;
    int Run() override;
    // Straight to the board link, with the record as it is.
    int SetPwmFrequency(int channel, PwmChannelRecord* record, int send) override;

    bool IsRegistered() const { return registered_.load(); }

private:
    PwmChannelRecord record_{};
    std::atomic<bool> registered_{false};
};

class CTask_Gpio final : public CDerivedTask {
public:
    static constexpr std::uint32_t kRecordSize = sizeof(GpioRecord);

    explicit CTask_Gpio(std::uint32_t word) : CDerivedTask(word), read_(taskword::ArgumentA(word)) {}
    ~CTask_Gpio() override { JoinThread(); }

    int SetParameters(const void* record, std::uint32_t size) override;
    int Start() override;
    // Argument A non-zero reads the line and posts the level to the notify window;
    // otherwise the line is written or pulsed.
    int Run() override;
    int WriteOrPulse(int line, const GpioRecord* record, int send);

    bool IsRegistered() const { return registered_.load(); }

private:
    GpioRecord record_{};
    const std::uint32_t read_;
    std::atomic<bool> registered_{false};
};

class CTask_I2C final : public CDerivedTask {
public:
    static constexpr std::uint32_t kRecordSize = sizeof(I2cRecord);
    static constexpr std::uint32_t kTransfer = 0;
    static constexpr std::uint32_t kFetchReply = 1;

    explicit CTask_I2C(std::uint32_t word) : CDerivedTask(word) {}
    ~CTask_I2C() override { JoinThread(); }

    int SetParameters(const void* record, std::uint32_t size) override;
    int Run() override;

    bool IsRegistered() const { return registered_.load(); }
    // The task's copy; after a fetch it holds the reply. Read it only once the task
    // has finished.
    const I2cRecord& Record() const { return record_; }

private:
    I2cRecord record_{};
    std::atomic<bool> registered_{false};
};

class CTask_Adc final : public CDerivedTask {
public:
    explicit CTask_Adc(std::uint32_t word) : CDerivedTask(word) {}
    ~CTask_Adc() override { JoinThread(); }
    int SetAdcChannel(int channel, int enable, int send) override;
};

class CTask_Int final : public CDerivedTask {
public:
    explicit CTask_Int(std::uint32_t word) : CDerivedTask(word) {}
    ~CTask_Int() override { JoinThread(); }
    int SetInterruptInput(int item, int mode, int send) override;
};

// The BLDC sequence word: queued by the surfaces, no board work of its own.
class CBLDCTask final : public CDerivedTask {
public:
    explicit CBLDCTask(std::uint32_t word) : CDerivedTask(word) {}
    ~CBLDCTask() override { JoinThread(); }
};
