// The parallel-input half of StepperRun: the step lists (the page's rows or a demo), one
// step per run-timer tick. See StepperRun.h for the rules.
#include <algorithm>

#include "data/DataContainer.h"
#include "pages/stepper/StepperRun.h"
#include "platform/core/Numeric.h"

namespace pages::stepper {

namespace {
constexpr double kRefFrequency = 15625.0;
constexpr int kRefChannel = 2;

bool AnyInUse(const std::vector<StepRecord>& list, std::size_t from) {
    return std::any_of(list.begin() + static_cast<std::ptrdiff_t>(std::min(from, list.size())), list.end(),
                       [](const StepRecord& r) { return InUse(r); });
}
}  // namespace

const std::vector<StepRecord>& StepperRun::List() const { return source_ == StepSource::Rows ? rows_ : demo_; }

void StepperRun::BuildRowSteps() {
    rows_.resize(word::kRowCount);
    const std::uint32_t unit = Word(word::kTransferUnit) & 1u;
    const std::uint32_t item = Word(word::kTransferTime);
    const bool other = item == static_cast<std::uint32_t>(kOtherCountItem);
    const std::uint32_t count = (other ? Word(word::kCount) : item) & stepbits::kCountMask;
    for (int r = 0; r < word::kRowCount; ++r) {
        std::uint32_t flags = Word(word::kFirstRow + r) & ~(stepbits::kUnitSteps | stepbits::kCountIsIndex | stepbits::kCountMask);
        flags |= (unit ? stepbits::kUnitSteps : 0u) | (other ? 0u : stepbits::kCountIsIndex) | count;
        rows_[static_cast<std::size_t>(r)] = StepRecord{0, 0, 0.0, flags};
    }
}

bool StepperRun::StopRun(bool on) {
    if (!on) {
        timer_.Stop();
        rampFinished_ = true, sequenceFinished_ = true, ending_ = false;
        parallelRunning_ = false;
        current_ = 0;
        for (int i : {6, 7}) records_[static_cast<std::size_t>(i)].outputA = 1, records_[static_cast<std::size_t>(i)].outputB = 1;
        board_.SetTimerChannel(6, records_[6], false);
        board_.SetTimerChannel(7, records_[7], true);
        activeRow_ = -1;
        view_.ShowStepRows(true);
        return true;
    }
    if (DemoRunning()) return false;  // the demo owns the run until it is switched off
    activeRow_ = -1;
    const bool fixed = Word(word::kTestMode) == 0;
    if (rows_.empty() || (!fixed && !AnyInUse(rows_, 0))) return false;  // nothing to play
    position_ = 0, havePlayed_ = false, ending_ = false;
    rampFinished_ = false, sequenceFinished_ = false;
    AdvanceSequence();
    parallelRunning_ = true;
    return true;
}

bool StepperRun::RunDemo(bool on, StepSource source, std::vector<StepRecord> steps) {
    if (on) {
        if (source == StepSource::Rows || !AnyInUse(steps, 0)) return false;
        timer_.Stop();
        activeRow_ = -1;
        view_.ShowStepRows(true);
        demo_ = std::move(steps);
        source_ = source;
        position_ = 0, havePlayed_ = false, ending_ = false;
        sequenceFinished_ = false;
        AdvanceSequence();
        parallelRunning_ = true;
        return true;
    }
    if (!DemoRunning()) return false;
    sequenceFinished_ = true;
    StopRun(false);
    source_ = StepSource::Rows;
    demo_.clear();
    activeRow_ = -1;
    ShowRowSteps();  // the user's rows, untouched in the store, show again
    view_.ShowStepRows(true);
    store_.SetValue(word::kDemo, 0);
    return true;
}

const StepRecord* StepperRun::NextStep(bool* last) {
    const auto& list = List();
    *last = false;
    if (ending_ || list.empty()) return nullptr;
    const bool demo = DemoRunning();
    const bool fixed = !demo && Word(word::kTestMode) == 0;
    const bool stopButton = demo || Word(word::kStopSignal) != 0;
    const bool repeat = demo || Word(word::kRepeat) != 0;
    if (fixed) {
        activeRow_ = 0;
        *last = !stopButton;  // "Auto": row 0 once, for its duration
        return &list[0];
    }
    std::size_t i = position_;
    while (i < list.size() && !InUse(list[i])) ++i;
    if (i == list.size()) {
        if (stopButton && repeat) {
            i = 0;
            while (i < list.size() && !InUse(list[i])) ++i;
            if (i == list.size()) return nullptr;
        } else if (stopButton && havePlayed_) {
            i = lastPlayed_;  // held until "Stop"
        } else {
            return nullptr;
        }
    }
    lastPlayed_ = i, havePlayed_ = true, position_ = i + 1;
    activeRow_ = static_cast<int>(i);
    *last = !stopButton && !AnyInUse(list, i + 1);
    return &list[i];
}

std::uint32_t StepperRun::StepRunTime(const StepRecord& record, int frequency) const {
    std::uint32_t n = record.flags & stepbits::kCountMask;
    if (record.flags & stepbits::kCountIsIndex) n = static_cast<std::uint32_t>(tables_.stepCounts.Lookup(n, 0));
    std::uint32_t ms = 0;
    if (!UnitSteps(record))
        ms = n * 1000u;
    else if (frequency > 0)
        ms = (n / 8u) * (4000u / static_cast<std::uint32_t>(frequency));
    return std::max<std::uint32_t>(ms, 1u);
}

void StepperRun::SetSequencePins(const StepRecord& record, bool last, bool first) {
    std::uint32_t n = record.flags & stepbits::kCountMask;
    if (record.flags & stepbits::kCountIsIndex) n = static_cast<std::uint32_t>(tables_.stepCounts.Lookup(n, 0));
    const bool steps = UnitSteps(record);
    const bool fixed = !DemoRunning() && Word(word::kTestMode) == 0;
    int channel = 2;
    std::uint32_t value = 0;
    if (fixed) {
        // "Stop Button" runs free until "Stop"; "Auto" plays its one step.
        if (last && steps) channel = 0, value = FullStep(record) ? 2 * n : n;
    } else if (steps) {
        channel = 0, value = n;
    }
    const auto v16 = static_cast<std::uint16_t>(std::min<std::uint32_t>(value, 0xFFFFu));
    if (first && steps) {
        board_.SetOutputValue(3, 0, Ccw(record) ? 1 : FullStep(record) ? 5 : 7);
        board_.SetOutputValue(0, v16, 0);
    } else {
        board_.SetOutputValue(channel, v16, 0);
    }
}

int StepperRun::ApplyStepRecord(const StepRecord& record) {
    const int f = tables_.stepFrequencies.Lookup(FrequencyIndex(record), 0);
    if (f <= 0) return 0;
    const bool full = FullStep(record);
    for (int i : {3, 4}) {
        auto& r = records_[static_cast<std::size_t>(i)];
        r.frequency = full ? f / 4.0 : f / 8.0;
        r.value = full ? 50.0 : 38.0;
        r.extra = full ? 0 : 12;
    }
    records_[4].flagA = Ccw(record) ? 75 : 25;
    board_.SetTimerChannel(6, records_[3], false);
    board_.SetTimerChannel(7, records_[4], true);
    return f;
}

void StepperRun::ShowRowSteps() {
    std::array<std::uint32_t, word::kRowCount> flags{};
    for (int r = 0; r < word::kRowCount; ++r) {
        std::uint32_t w = Word(word::kFirstRow + r);
        if (DemoRunning()) {
            const std::size_t i = static_cast<std::size_t>(std::max(activeRow_, 0)) + static_cast<std::size_t>(r);
            w = i < demo_.size() ? demo_[i].flags : 0u;
        }
        flags[static_cast<std::size_t>(r)] = w;
    }
    view_.ShowRows(flags);
}

void StepperRun::ApplyDemoStep(const StepRecord& record) {
    if (activeRow_ % word::kRowCount == 0) ShowRowSteps();
    const std::uint32_t att = record.attenuation & 3u;
    const int ref = std::clamp(platform::saturate<int>(record.refDuty), 0, 256);
    const std::uint32_t enable = record.enable & 1u;
    store_.SetValue(word::kAttenuate, att);
    store_.SetValue(word::kRef, static_cast<std::uint32_t>(ref));
    store_.SetValue(word::kChipEnable, enable);
    WriteTwoBitItem(board_, 8, 10, att);
    board_.SetPwm(kRefChannel, kRefFrequency, 256 - ref, 1);
    board_.WritePort(31, 1, static_cast<int>(enable), true);
    view_.DemoValuesChanged();
}

void StepperRun::EndSequence() {
    board_.SetOutputValue(0, 0, 0);  // the board's end of the step run
    StopRun(false);
}

int StepperRun::AdvanceSequence() {
    timer_.Stop();
    if (sequenceFinished_) {
        activeRow_ = -1;
        view_.ShowStepRows(true);
        return 0;
    }
    bool last = false;
    const StepRecord* next = NextStep(&last);
    if (next == nullptr) {
        EndSequence();
        return 0;
    }
    const StepRecord step = *next;
    view_.ShowStepRows(true);
    ending_ = last;
    const int f = tables_.stepFrequencies.Lookup(FrequencyIndex(step), 0);
    if (f <= 0) {
        // No such step frequency: the step is passed over rather than run at 0 Hz.
        timer_.Arm(1);
        return 1;
    }
    const bool first = !firstStepDone_ || !parallelRunning_;
    SetSequencePins(step, last, first);
    firstStepDone_ = true;
    if (DemoRunning()) ApplyDemoStep(step);
    current_ = ApplyStepRecord(step);
    timer_.Arm(StepRunTime(step, current_));
    return 1;
}

}  // namespace pages::stepper
