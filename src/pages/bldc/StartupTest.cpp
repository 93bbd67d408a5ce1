#include "pages/bldc/StartupTest.h"

#include <cmath>
#include <mutex>

#include "board/RG1Micon.h"
#include "pages/bldc/BldcSpeed.h"
#include "platform/core/Clock.h"
#include "platform/core/Debug.h"
#include "platform/core/NamedSync.h"
#include "tasks/ThreadCarrier.h"

namespace bldc {

namespace {

// The millisecond tick, wrapping like a 32-bit counter (differences are unsigned).
std::uint32_t NowMs() { return static_cast<std::uint32_t>(platform::currentClock().nowMs()); }

// True once the clock passed `deadline` (both wrapping tick values near each other).
bool Passed(std::uint32_t deadline) { return static_cast<std::int32_t>(NowMs() - deadline) > 0; }

}  // namespace

Targets TargetsFromSliders(std::uint32_t rpmPosition, std::uint32_t fgPosition, std::uint32_t polePairs,
                           std::uint32_t fgPulses) {
    Targets t;
    if (polePairs != 0) {
        t.rpm = rpmPosition * 100u;
        t.fg = RpmToFg(t.rpm, polePairs, fgPulses);
    } else {
        t.fg = fgPosition * 10u;
        t.rpm = FgToRpm(t.fg, polePairs, fgPulses);
    }
    return t;
}

bool TestControlEnabled(int kind, bool running, std::uint32_t polePairs) {
    switch (kind) {
        case 0: case 1: case 2: case 5: case 7: case 9: case 10: return !running;
        case 3: return !running && polePairs != 0;
        case 4: return !running && polePairs == 0;
        case 6: return true;
        case 8: return running;
        default: return false;
    }
}

TrialPost DecodeTrialPost(std::uintptr_t w, std::intptr_t l) {
    TrialPost p;
    const std::uint64_t word = w;
    p.run = static_cast<std::uint32_t>(word >> 32);
    p.index = static_cast<std::uint32_t>(word & 0xFFFFFFFFu);
    p.end = p.index == kEndIndex;
    p.ms = p.end ? 0 : static_cast<std::uint32_t>(l);
    return p;
}

CBldcStartupTest::CBldcStartupTest(CRG1Micon* link)
    : link_(link), mutex_(platform::createNamedMutex(kTestModeMutexName)) {}

CBldcStartupTest::~CBldcStartupTest() { Abort(); }

bool CBldcStartupTest::Start(platform::Handle dialog, const StartupTestParams& params) {
    if (link_ == nullptr || running_.load() != 0) return false;
    if (carrier_) carrier_->Join();  // a finished run whose end post is still on its way
    params_ = params;
    dialog_ = dialog;
    run_.fetch_add(1);
    running_ = 1;
    carrier_ = std::make_unique<CThreadCarrier>([this] { return Main(); });
    if (carrier_->Start() == 0) {
        running_ = 0;
        return false;
    }
    return true;
}

void CBldcStartupTest::Abort() {
    {
        std::lock_guard guard(*mutex_);
        running_ = 0;
    }
    if (carrier_) carrier_->Join();
}

void CBldcStartupTest::OnEnded() {
    running_ = 0;
    if (carrier_) carrier_->Join();
}

bool CBldcStartupTest::Running() {
    std::lock_guard guard(*mutex_);
    return running_.load() != 0;
}

std::uint32_t CBldcStartupTest::Main() {
    link_->SendSelect(static_cast<std::uint8_t>(params_.measureSetting), 1);
    SetPwmOutput(params_.pwm.idleDuty);
    WriteStartStopPin(false);
    WaitOffTime(params_.offTimeMs);
    for (std::uint32_t i = 0; i < params_.trials; ++i) {
        if (!Running()) break;
        RunTrial(i);
    }
    Post(kEndIndex, 0);
    return 0;
}

void CBldcStartupTest::RunTrial(std::uint32_t index) {
    SetPwmOutput(params_.pwm.driveDuty);
    WriteStartStopPin(true);
    const std::uint32_t t0 = NowMs();
    // The start delay sleeps in 1 ms steps (rather than spinning) so Abort is seen.
    while (NowMs() - t0 < kStartDelayMs && running_.load() != 0) platform::sleepMs(1);
    const std::uint32_t arrival = MeasureArrival(t0);
    // A trial cut short by Abort measured nothing: it is not reported as an error.
    if (running_.load() != 0) Post(index, arrival != 0 ? arrival - t0 : 0);
    // The motor is stopped whatever happened.
    WriteStartStopPin(false);
    SetPwmOutput(params_.pwm.idleDuty);
    WaitOffTime(params_.offTimeMs);
}

void CBldcStartupTest::SetPwmOutput(int duty) {
    PwmChannelRecord record = MakePwmRecord(params_.pwm.channel, params_.pwm.frequency, duty, 1);
    link_->SetPwmFrequency(params_.pwm.channel, &record, 1);
}

void CBldcStartupTest::WriteStartStopPin(bool on) {
    const int level = params_.startStopType == 0 ? (on ? 0 : 1) : (on ? 1 : 0);
    PortRecord record{kStartStopPort, 1, static_cast<std::uint32_t>(level), 0, 1};
    if (params_.startStopType == 1) link_->WritePort(kStartStopPort, &record, 1);
    const std::uint32_t deadline = NowMs() + params_.timeoutMs;
    for (;;) {
        link_->WritePort(kStartStopPort, &record, 1);
        if (link_->ReadPort(kStartStopPort, 1) == level) return;
        // The first write always goes out (the stop after an Abort too); retries only
        // while the run goes on and the time-out has not passed.
        if (running_.load() == 0 || Passed(deadline)) {
            platform::debugOutf("S/S pin level not confirmed\n");
            return;
        }
        platform::sleepMs(1);
    }
}

bool CBldcStartupTest::WaitOffTime(std::uint32_t ms) {
    const std::uint32_t start = NowMs();
    while (NowMs() - start < ms) {
        if (running_.load() == 0) return false;
        platform::sleepMs(1);
    }
    return running_.load() != 0;
}

std::optional<std::uint32_t> CBldcStartupTest::ReadSpeedCount(std::uint32_t deadline) {
    for (;;) {
        const int count = link_->ReadMeasuredValue(1);
        if (link_->GetLastStatus() == 0) return static_cast<std::uint32_t>(count);
        if (running_.load() == 0 || Passed(deadline)) return std::nullopt;
        platform::sleepMs(1);
    }
}

std::uint32_t CBldcStartupTest::MeasureArrival(std::uint32_t t0) {
    const double unit = CountUnitUs(params_.measureSetting);
    const std::uint32_t deadline = t0 + params_.timeoutMs;
    std::uint32_t previous = 0;
    bool accepted = false;
    for (;;) {
        if (running_.load() == 0) return 0;
        // Checked before a reading is accepted too: a motor that never turns ends its
        // trial with an error instead of holding the test until Abort.
        if (NowMs() - t0 > params_.timeoutMs) return 0;
        const std::optional<std::uint32_t> read = ReadSpeedCount(deadline);
        if (!read) continue;
        const std::uint32_t c = *read;
        double pps = 0.0;
        if (c >= 1 && c <= kNoiseCount) {
            accepted = false;
        } else {
            if (c != 0 && unit > 0.0) pps = 1.0 / (c * unit / 1000000.0);
            const double d = static_cast<double>(c) - static_cast<double>(previous);
            if (previous == 0 && std::fabs(d) > kTurningStep) {
                accepted = true;
                previous = c;
            }
        }
        if (accepted) {
            previous = c;
            const std::uint32_t stamp = NowMs();
            if (stamp - t0 > params_.timeoutMs) return 0;
            const bool reached = params_.polePairs != 0
                                     ? RpmFromPps(pps, params_.polePairs, params_.fgPulses) > params_.targetRpm
                                     : pps > params_.targetFg;
            if (reached) return stamp;
        }
        platform::sleepMs(1);
    }
}

void CBldcStartupTest::Post(std::uint32_t index, std::uint32_t ms) {
    const std::uint64_t w = std::uint64_t{run_.load()} << 32 | index;
    platform::post(dialog_, kMsgTrialResult, static_cast<std::uintptr_t>(w), static_cast<std::intptr_t>(ms));
}

}  // namespace bldc
