// The BLDC demo: walks 21 duty steps, 0 % up to 100 % and back to 0 %, over and over
// until a command byte of 0 stops it, then sets the duty to 0. Each duty goes into the
// data store under "Mutex_BLDC_Polling" and, for the chips that take it, to PWM channel
// 1. At most one exists; the task factory hands later demo words to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "tasks/Task.h"

class CBldcDemoTask final : public CDerivedTask {
public:
    struct Step {
        std::uint32_t percent;
        std::uint32_t holdMs;
    };

    static constexpr std::uint32_t kFullDuty = 240;  // the duty of 100 %
    static constexpr std::uint32_t kTransitionMs = 100;
    static constexpr double kPwmFrequency = 50000.0;
    static constexpr int kWordDutyChip0 = 1;
    static constexpr int kWordDuty = 28;

    explicit CBldcDemoTask(std::uint32_t word);
    ~CBldcDemoTask() override;

    int SetCommand(std::uint32_t word) override;
    int Run() override;
    void Cancel() override;

    bool IsStopping() const { return stop_.load() != 0; }
    const std::vector<std::unique_ptr<Step>>& Sequence() const { return steps_; }

    void Ramp(std::uint32_t previous, std::uint32_t next, std::uint32_t transitionMs);
    void Hold(std::uint32_t ms);
    void RampValue(std::uint32_t previous, std::uint32_t next, std::uint32_t transitionMs, std::uint32_t elapsedMs);
    int SetDutyPercent(std::uint32_t percent);
    int SetDuty(int duty);

    // The cubic ease from the previous duty to the next; from `elapsedMs` = T on it is
    // exactly the next duty.
    static int RampDuty(std::uint32_t previous, std::uint32_t next, std::uint32_t transitionMs, std::uint32_t elapsedMs);
    static int DutyOf(std::uint32_t percent);

private:
    void BuildSequence();
    void ClearSequence();
    int Chip() const { return static_cast<int>(GetArgumentB()); }

    std::vector<std::unique_ptr<Step>> steps_;
    std::atomic<std::uint8_t> command_;
    std::atomic<std::uint32_t> stop_{0};
    std::int32_t ownKey_ = -1;  // the device block the duty belongs to
};
