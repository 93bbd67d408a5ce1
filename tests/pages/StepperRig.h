// A stepper run over recorders of its board requests, run timer and view, on a data
// store selected on the device and a manual clock.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "data/DataContainer.h"
#include "pages/stepper/StepperRun.h"
#include "platform/core/Clock.h"

namespace pages::testing {

struct BoardCall {
    enum Kind { Port, Pwm, Timer, Output } kind;
    int channel = 0;  // port, channel
    int level = 0;    // port level, PWM duty, output value
    int extra = 0;    // output extra byte
    bool send = true;
    PwmChannelRecord record{};
};

class RecordingBoard final : public IPageBoard {
public:
    void WritePort(int port, int, int level, bool send) override { calls.push_back({BoardCall::Port, port, level, 0, send, {}}); }
    void SetPwm(int channel, double, int duty, int) override { calls.push_back({BoardCall::Pwm, channel, duty, 0, true, {}}); }
    void SetTimerChannel(int channel, const PwmChannelRecord& r, bool send) override {
        calls.push_back({BoardCall::Timer, channel, 0, 0, send, r});
    }
    void SetOutputValue(int channel, std::uint16_t value, std::uint8_t extra) override {
        calls.push_back({BoardCall::Output, channel, value, extra, true, {}});
    }
    void SendSerialData(std::span<const std::uint8_t>) override {}
    std::vector<BoardCall> Take() { return std::exchange(calls, {}); }
    std::vector<BoardCall> calls;
};

class ManualTimer final : public IRunTimer {
public:
    void Arm(std::uint32_t ms) override { armed = ms; }
    void Stop() override { armed.reset(); }
    std::optional<std::uint32_t> armed;
};

class RecordingView final : public stepper::IStepperRunView {
public:
    void RefreshClockButtons() override {}
    void ShowStepRows(bool) override {}
    void ShowRows(const std::array<std::uint32_t, 8>& flags) override { rows = flags; }
    void DemoValuesChanged() override {}
    std::array<std::uint32_t, 8> rows{};
};

struct StepperRig {
    explicit StepperRig(std::int32_t key) : run(key, store, board, timer, view) {
        store.SelectContainer(key);
        run.PresetChannelRecords();
    }
    void Set(int w, std::uint32_t v) { store.SetValue(w, v); }
    std::uint32_t Get(int w) const { return store.GetValue(w); }

    platform::ManualClock clock;
    platform::ScopedClock scoped{clock};
    CDerivedDataContainer store;
    RecordingBoard board;
    ManualTimer timer;
    RecordingView view;
    stepper::StepperRun run;
};

}  // namespace pages::testing
