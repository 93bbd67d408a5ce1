// The polling task: the road back from the board for the BLDC page. Every 50 ms it
// reads the chip's analog inputs, a status input and the measured speed count, writes
// them into the data store under "Mutex_BLDC_Polling" and posts 0x812C to the window
// that queued it, until a command byte of 0 stops it. At most one exists; the task
// factory hands later polling words to it.
#pragma once

#include <atomic>
#include <cstdint>

#include "tasks/Task.h"

class CPollingTask final : public CDerivedTask {
public:
    static constexpr std::uint32_t kPollPeriodMs = 50;
    static constexpr std::uint32_t kAfterPollSleepMs = 30;

    // Data words the task writes.
    static constexpr int kWordAnalog0 = 5;
    static constexpr int kWordAnalog1 = 7;
    static constexpr int kWordAnalog2 = 9;
    static constexpr int kWordStatus = 21;
    static constexpr int kWordSpeedCount = 27;

    explicit CPollingTask(std::uint32_t word);
    ~CPollingTask() override;

    // Takes the new word's command byte only; 0 sets the stop flag, which nothing clears.
    int SetCommand(std::uint32_t word) override;
    int Run() override;
    void Cancel() override;

    bool IsStopping() const { return stop_.load() != 0; }
    std::uint32_t GetCommandByte() const { return command_.load(); }

    int Poll();
    int ReadValues();
    int PublishValues();

private:
    void ConfigureInputs();
    int Chip() const { return static_cast<int>(GetArgumentB()); }
    bool Reads() const { return GetArgumentA() == 1; }

    std::atomic<std::uint32_t> command_;
    std::atomic<std::uint32_t> stop_{0};
    std::uint32_t analog0_ = 0;
    std::uint32_t analog1_ = 0;
    std::uint32_t analog2_ = 0;
    std::uint32_t status_ = 0;
    std::int32_t speedCount_ = 0;
    std::uint32_t periodMs_ = kPollPeriodMs;
    std::uint32_t lastPollMs_ = 0;
    // The device block the readings belong to: the one selected when polling began.
    std::int32_t ownKey_ = -1;
};
