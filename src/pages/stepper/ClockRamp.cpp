// The clock-in half of StepperRun: start, stop, update and clock on/off, the ramp tick and
// the clock channel records. See StepperRun.h for the rules.
#include <cmath>

#include "data/DataContainer.h"
#include "pages/stepper/StepperRun.h"
#include "platform/core/Clock.h"
#include "platform/core/Numeric.h"

namespace pages::stepper {

namespace {
constexpr std::uint32_t kRampTickMs = 25;
constexpr std::uint32_t kClockOffHoldMs = 500;
constexpr double kHoldBand = 390.0;
constexpr double kDutyRunning = 50.0;
constexpr double kDutyStopped = 100.0;
constexpr std::uint32_t kPinBits = (3u << 13) | (1u << 12);
constexpr std::uint32_t kReachedBits = (0x3Fu << 20) | kPinBits;
}  // namespace

std::uint32_t ClockInWord::Pack(std::uint32_t start, std::uint32_t top, std::uint32_t ramp, std::uint32_t excitation,
                                std::uint32_t direction) {
    return (start & 0x3Fu) << 26 | (top & 0x3Fu) << 20 | (ramp & 0x1Fu) << 15 | (excitation & 3u) << 13 |
           (direction & 1u) << 12;
}

StepperRun::StepperRun(std::int32_t deviceKey, IDataContainer& store, IPageBoard& board, IRunTimer& timer,
                       IStepperRunView& view)
    : key_(deviceKey), store_(store), board_(board), timer_(timer), view_(view) {}

std::uint32_t StepperRun::Word(int index) const { return WordOrZero(&store_, index); }

bool StepperRun::SingleClockRecord() const { return key_ == 0x100 || key_ == 0x105; }

bool StepperRun::DualClockRecords() const {
    return key_ == 0x101 || key_ == 0x102 || key_ == 0x104 || (key_ >= 0x107 && key_ <= 0x10C);
}

void StepperRun::PresetChannelRecords() {
    records_ = {};
    auto set = [&](int i, std::uint32_t fa, std::uint32_t fb, std::uint32_t oa, std::uint32_t ob, std::uint32_t mode) {
        auto& r = records_[static_cast<std::size_t>(i)];
        r.flagA = fa, r.flagB = fb, r.outputA = oa, r.outputB = ob, r.frequencyMode = mode;
    };
    if (SingleClockRecord()) {
        set(0, 0, 0, 1, 1, 0);
        set(1, 0, 0, 1, 1, 0);
        set(2, 0, 0, 0, 1, 0);
    } else {
        set(0, 0, 0, 1, 1, 0);
        set(1, 0, 1, 1, 0, 0);
        set(2, 0, 0, 1, 1, 0);
        set(3, 0, 0, 0, 0, 1);
        set(4, 0, 0, 0, 0, 1);
        set(5, 0, 0, 1, 1, 1);
    }
    for (int i = 6; i <= 8; ++i) set(i, 0, 0, 1, 1, 0);
}

void StepperRun::ResetToIdle() {
    timer_.Stop();
    accelerating_ = false, rampFinished_ = true, topReached_ = false, immediate_ = false;
    clockStopped_ = false, changed_ = false;
    current_ = 0, held_ = 0;
    sequenceFinished_ = true, ending_ = false, havePlayed_ = false;
    parallelRunning_ = false;  // the next step run sets its pins up again
    activeRow_ = -1;
    if (source_ != StepSource::Rows) {
        source_ = StepSource::Rows;
        demo_.clear();
        ShowRowSteps();
    }
    for (int w : {word::kStartStop, word::kClock, word::kDemo}) store_.SetValue(w, 0);
}

void StepperRun::Halt() {
    timer_.Stop();
    if (DemoRunning())
        RunDemo(false, StepSource::Rows, {});
    else if (!sequenceFinished_)
        StopRun(false);
    if (!clockStopped_ && current_ > 0) ClockOff();
    ResetToIdle();
}

int StepperRun::OnRunTimer() { return Word(word::kInputType) == 0 ? ClockRampTick() : AdvanceSequence(); }

PwmChannelRecord* StepperRun::ClockRecord(int* channel) {
    if (SingleClockRecord()) {
        *channel = 8;
        return &records_[2];
    }
    if (DualClockRecords()) {
        *channel = 7;
        return &records_[1];
    }
    return nullptr;
}

void StepperRun::ApplyClockInPins() {
    auto bit = [&](int w, int shift) { return static_cast<int>((Word(w) >> shift) & 1u); };
    if (SingleClockRecord()) {
        board_.WritePort(13, 1, bit(word::kBoostUp, 0), false);
        board_.WritePort(15, 1, bit(word::kBoostUp, 1), false);
        board_.WritePort(32, 1, bit(word::kDriveMargin, 0), false);
        board_.WritePort(33, 1, bit(word::kDriveMargin, 1), false);
        board_.WritePort(28, 1, bit(word::kHighEfficient, 0), false);
        board_.WritePort(24, 1, bit(word::kExcitation, 0), false);
        board_.WritePort(22, 1, bit(word::kExcitation, 1), false);
        board_.WritePort(29, 1, bit(word::kDirection, 0), false);
    } else if (key_ == 0x101 || key_ == 0x104) {
        records_[0].outputA = (Word(word::kExcitation) & 1) + 1;
        records_[0].outputB = ((Word(word::kExcitation) >> 1) & 1) + 1;
        records_[1].outputA = (Word(word::kDirection) & 1) + 1;
        records_[1].outputB = 0;
        board_.WritePort(24, 1, bit(word::kOverCurrent, 0), false);
    }
    board_.WritePort(12, 1, bit(word::kOutputEnable, 0), true);
    board_.WritePort(23, 1, bit(word::kReset, 0), true);
}

void StepperRun::StartRun(StartMode mode, int argument) {
    if (argument != 1) ApplyClockInPins();
    const std::uint32_t startIndex = (mode == StartMode::Start || mode == StartMode::ClockOnOff)
                                         ? Word(word::kStartClock)
                                         : ClockInWord::Top(settingsWord_);
    const std::uint32_t topIndex = mode == StartMode::Stop ? Word(word::kStartClock) : Word(word::kTopClock);
    const std::uint32_t rampIndex = mode == StartMode::Update ? Word(word::kReTopTime) : Word(word::kStartTopTime);
    start_ = tables_.clock.Lookup(startIndex, tables_.clock.Lookup(0));
    top_ = tables_.clock.Lookup(topIndex, start_);
    rampMs_ = static_cast<std::uint32_t>(tables_.startTopTimes.Lookup(rampIndex, 0));
    runningWord_ = ClockInWord::Pack(startIndex, topIndex, rampIndex, Word(word::kExcitation), Word(word::kDirection));

    switch (mode) {
    case StartMode::Stop:
        // A stop before the top ramps down from where the clock is now.
        if (!topReached_) start_ = current_;
        accelerating_ = false;
        break;
    case StartMode::Start:
        activeRow_ = -1;
        accelerating_ = true, topReached_ = false, clockStopped_ = false, mustSend_ = true;
        break;
    case StartMode::ClockOnOff:
        accelerating_ = true, clockStopped_ = argument != 0, mustSend_ = true;
        break;
    case StartMode::Update:
        clockStopped_ = false, accelerating_ = true;
        break;
    }
    immediate_ = rampMs_ == 0;
    rampFinished_ = false;

    if (!clockStopped_) {
        current_ = immediate_ ? top_ : start_;
        rampStart_ = platform::currentClock().nowMs();
        ClockRampTick();
    } else {
        current_ = 0, held_ = 0;
        ClockOff();
    }
}

int StepperRun::ClockRampTick() {
    const std::uint64_t t = platform::currentClock().nowMs() - rampStart_;
    timer_.Stop();
    if (rampFinished_) {
        if (accelerating_) return 0;  // at the top: the clock holds there without ticks
        current_ = 0;
        if (clockStopped_) {
            ClockOff();
            return 0;
        }
    }
    rampFinished_ = rampMs_ <= t;
    if (!accelerating_) clockStopped_ = rampMs_ + kClockOffHoldMs <= t;
    if (immediate_) {
        rampFinished_ = true;
        clockStopped_ = !accelerating_;
    }
    const int f = ApplyClock(start_, top_, rampMs_, t);
    current_ = f;
    topReached_ = f == top_;
    if (topReached_) {
        changed_ = false;
        settingsWord_ = (settingsWord_ & ~kReachedBits) | (runningWord_ & kReachedBits);
        view_.RefreshClockButtons();
    }
    held_ = f;
    if (!immediate_) timer_.Arm(kRampTickMs);
    return 1;
}

double StepperRun::RampCurve(int start, int top, std::uint32_t rampMs, std::uint64_t t) {
    if (rampMs == 0 || rampMs <= t) {
        held_ = top;
        return top;
    }
    // In double: the cube of an 8000 ms ramp overflows 32 bits.
    const double T = rampMs, x = static_cast<double>(t), d = static_cast<double>(start) - top;
    double f = (d * 2.0 / (T * T * T)) * x * x * x - (d * 3.0 / (T * T)) * x * x + start;
    if (std::fabs(f - held_) >= kHoldBand)
        held_ = f;
    else if (held_ > 10.0)
        f = held_;
    return f;
}

void StepperRun::SetClockRecord(PwmChannelRecord& record, double f) {
    record.frequency = platform::saturate<int>(f);
    record.value = clockStopped_ ? kDutyStopped : kDutyRunning;
    record.percent = 1;
    record.extra = 0;
}

int StepperRun::ApplyClock(int start, int top, std::uint32_t rampMs, std::uint64_t t) {
    const double f = RampCurve(start, top, rampMs, t);
    int channel = 0;
    PwmChannelRecord* clock = ClockRecord(&channel);
    if (clock == nullptr) return platform::saturate<int>(f);  // no clock channel on this device
    if (DualClockRecords()) {
        records_[0].frequency = f, records_[0].value = kDutyRunning, records_[0].percent = 1;
        board_.SetTimerChannel(6, records_[0], false);
    }
    const bool samePins = wirePins_ == (runningWord_ & kPinBits);
    // The duty counts too: after a clock off the record holds 100 Hz at 100 %, and a run
    // at 100 pps must still go out.
    const bool sameDuty = clock->value == (clockStopped_ ? kDutyStopped : kDutyRunning);
    const bool send = mustSend_ || !(std::fabs(f - clock->frequency) < 1.0 && samePins && sameDuty);
    SetClockRecord(*clock, f);
    if (DualClockRecords()) board_.SetTimerChannel(6, records_[0], false);
    board_.SetTimerChannel(channel, *clock, send);
    if (send) wirePins_ = runningWord_ & kPinBits, mustSend_ = false;
    return platform::saturate<int>(f);
}

bool StepperRun::ClockOff() {
    clockStopped_ = true;
    int channel = 0;
    PwmChannelRecord* clock = ClockRecord(&channel);
    if (clock == nullptr) return false;
    clock->frequency = 100.0, clock->value = kDutyStopped, clock->percent = 1;
    board_.SetTimerChannel(channel, *clock, true);
    return true;
}

StepperRun::ClockButtonState StepperRun::ClockButtons() {
    if (clockStopped_) {
        changed_ = false;
    } else if (topReached_) {
        changed_ = Word(word::kExcitation) != ClockInWord::Excitation(settingsWord_) ||
                   Word(word::kDirection) != ClockInWord::Direction(settingsWord_) ||
                   Word(word::kTopClock) != ClockInWord::Top(settingsWord_);
    }
    const bool running = Word(word::kStartStop) != 0;
    return {topReached_ && running && !changed_, topReached_ && running && changed_};
}

}  // namespace pages::stepper
