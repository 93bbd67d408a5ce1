// The two motors' step runs of the dual-stepper page.
#include "pages/dual/DualRun.h"

#include "data/DataContainer.h"
#include "platform/core/Clock.h"
#include "platform/core/Debug.h"

namespace pages::dual {

std::uint32_t control::SetField(std::uint32_t word, int field, std::uint32_t value) {
    const auto put = [&](int shift, std::uint32_t mask) {
        return (word & ~(mask << shift)) | ((value & mask) << shift);
    };
    switch (field) {
        case kExcitation:
            return put(8, 3u);
        case kRun:
            return put(10, 1u);
        case kDirection:
            return put(11, 1u);
        case kChipEnable:
            return put(12, 1u);
        case kMotorSelect:
            return put(13, 1u);
        case kConstant:
            return put(14, 3u);
        case kFrequency:
            return put(0, 7u);
        default:
            return word;
    }
}

DualRun::DualRun(IDataContainer& store, IDualBoard& board, IRunTimer& motor1, IRunTimer& motor2, IRunTimer& both)
    : store_(store), board_(board), motor1Timer_(motor1), motor2Timer_(motor2), bothTimer_(both) {}

std::uint32_t DualRun::Stored(int index) const {
    const std::uint32_t v = store_.GetValue(index);
    return v == 0xFFFFFFFFu ? 0u : v;  // no block selected: nothing stored
}

std::uint32_t DualRun::RowFlags(int motor, int row, bool fixed) const {
    const int k = word::Row(motor, row);
    std::uint32_t flags = 0;
    const bool active = fixed ? row == 0 : Stored(k) != 0;
    if (active) flags |= stepbits::kInUse;
    flags |= (Stored(k + 1) & 3u) << stepbits::kModeShift;
    flags |= (Stored(k + 2) & 31u) << stepbits::kFrequencyShift;
    if (Stored(k + 3) & 1u) flags |= kDirectionBit;
    if (Stored(word::Of(motor, word::kTransferTime)) == kOtherTime) {
        flags |= Stored(word::Seconds(motor)) & stepbits::kCountMask;
    } else {
        flags |= (Stored(word::Of(motor, word::kTransferTime)) & stepbits::kCountMask) | stepbits::kCountIsIndex;
    }
    return flags;
}

void DualRun::BuildSequence(int motor) {
    Motor& m = motors_.at(Index(motor));
    const bool fixed = Stored(word::Of(motor, word::kTestMode)) == kFixed;
    // On the first build no step is current yet: the position is the list's end.
    const bool first = m.steps.empty();
    m.steps.resize(kRows);
    if (first) m.position = m.steps.size();
    for (int row = 0; row < kRows; ++row) {
        StepRecord& r = m.steps[static_cast<std::size_t>(row)];
        r.enable = static_cast<std::uint8_t>(Stored(word::kChipEnable) & 0xFFu);
        r.refDuty = static_cast<double>(Stored(word::Of(motor, word::kVref)));  // VREF = refDuty * 3.3 / 256
        r.flags = RowFlags(motor, row, fixed);
    }
}

void DualRun::Next(Motor& m) const {
    if (m.position >= m.steps.size()) {
        m.position = 0;
        m.counter = 0;
    } else {
        ++m.position;
        ++m.counter;
    }
    while (m.position < m.steps.size() && !InUse(m.steps[m.position])) {
        ++m.position;
        ++m.counter;
    }
}

void DualRun::AdvanceStep(int motor) {
    Motor& m = motors_.at(Index(motor));
    const bool fixed = Stored(word::Of(motor, word::kTestMode)) == kFixed;
    const bool stopButton = Stored(word::Of(motor, word::kStopSignal)) == kStopButton;
    const bool repeat = Stored(word::Of(motor, word::kRepeat)) != 0;
    const std::size_t position = m.position;
    const std::uint32_t counter = m.counter;
    Next(m);
    if (m.position >= m.steps.size() && stopButton) {
        if (fixed) {
            Next(m);  // back to row 0, held without a timer
            m.timerWanted = false;
        } else if (repeat) {
            Next(m);  // from the first checked row again
        } else {
            m.position = position;  // the last step stays
            m.counter = counter;
            m.timerWanted = false;
        }
    }
    if (m.position >= m.steps.size()) {
        m.word = control::SetField(m.word, control::kRun, 0);
        m.timerWanted = false;
        return;
    }
    const int row = fixed ? 0 : static_cast<int>(m.position);
    m.steps[m.position].flags = RowFlags(motor, row, fixed);
    ApplyRecord(motor);
}

void DualRun::ApplyRecord(int motor) {
    Motor& m = motors_.at(Index(motor));
    if (m.position >= m.steps.size()) return;
    const StepRecord& r = m.steps[m.position];
    if (!InUse(r)) return;
    std::uint32_t w = m.word;
    w = control::SetField(w, control::kExcitation, (r.flags >> stepbits::kModeShift) & 3u);
    w = control::SetField(w, control::kRun, m.running ? 1u : 0u);
    w = control::SetField(w, control::kDirection, (r.flags & kDirectionBit) ? 1u : 0u);
    w = control::SetField(w, control::kChipEnable, Stored(word::kChipEnable));
    w = control::SetField(w, control::kFrequency, static_cast<std::uint32_t>(FrequencyIndex(r)) + 1u);
    w = control::SetField(w, control::kMotorSelect, static_cast<std::uint32_t>(Index(motor)));
    w = control::SetField(w, control::kConstant, 2u);
    m.word = w;
}

int DualRun::CurrentRow(int motor) const {
    const Motor& m = motors_.at(Index(motor));
    return m.position < m.steps.size() ? static_cast<int>(m.position) : -1;
}

std::int64_t DualRun::StepDuration(int motor) const {
    const Motor& m = motors_.at(Index(motor));
    if (m.position >= m.steps.size()) return -1;
    const std::uint32_t flags = m.steps[m.position].flags;
    const std::uint32_t raw = flags & stepbits::kCountMask;
    const std::int64_t time = (flags & stepbits::kCountIsIndex) ? seconds_.Lookup(raw, static_cast<int>(raw)) : raw;
    return (flags & stepbits::kUnitSteps) ? time : time * 1000;
}

void DualRun::SetChipEnable(std::uint32_t on) {
    for (Motor& m : motors_) m.word = control::SetField(m.word, control::kChipEnable, on);
}

void DualRun::Begin(int motor, bool single) {
    Motor& m = motors_.at(Index(motor));
    BuildSequence(motor);
    m.position = m.steps.size();
    m.counter = 0;
    m.single = single;
    m.timerWanted = true;
    m.running = true;
}

void DualRun::End(int motor, bool single) {
    Motor& m = motors_.at(Index(motor));
    m.single = single;
    m.timerWanted = false;
    m.running = false;
}

bool DualRun::StartStop(int kind) {
    switch (kind) {
        case word::kStart1:
            Begin(0, true);
            OnMotorTimer(1);
            return true;
        case word::kStop1:
            End(0, true);
            OnMotorTimer(1);
            return true;
        case word::kStart2:
            Begin(1, true);
            OnMotorTimer(2);
            return true;
        case word::kStop2:
            End(1, true);
            OnMotorTimer(2);
            return true;
        case word::kStartBoth:
            Begin(0, false);
            Begin(1, false);
            OnMotorTimer(3);
            return true;
        case word::kStopBoth:
            End(0, false);
            End(1, false);
            // Neither motor's own timer may tick on after a stop of both.
            motor1Timer_.Stop();
            motor2Timer_.Stop();
            OnMotorTimer(3);
            return true;
        default:
            return false;
    }
}

IRunTimer& DualRun::TimerOf(int mask) { return mask == 1 ? motor1Timer_ : mask == 2 ? motor2Timer_ : bothTimer_; }

void DualRun::OnMotorTimer(int mask) {
    if (mask < 1 || mask > 3) return;
    TimerOf(mask).Stop();
    int effective = mask;
    if (mask == 3) {
        if (motors_[0].single) effective = 2;
        if (motors_[1].single) effective = 1;
    }
    for (int motor = 0; motor < kMotors; ++motor) {
        if (effective & (1 << motor)) AdvanceStep(motor);
    }
    board_.SetMotorMode(4, motors_[0].word, motors_[1].word);
    platform::sleepMs(kMotorModeWaitMs);
    board_.SetMotorMode(effective, motors_[0].word, motors_[1].word);

    std::int64_t d[kMotors] = {StepDuration(0), StepDuration(1)};
    if (mask == 1) d[0] -= kMotorModeWaitMs;
    if (mask == 2) d[1] -= kMotorModeWaitMs;
    const bool asOne = mask == 3 && d[0] >= 1 && d[1] >= 1 && d[0] == d[1];
    for (int motor = 0; motor < kMotors; ++motor) {
        if (d[motor] < 1) End(motor, motors_[static_cast<std::size_t>(motor)].single);
    }
    if (!asOne) {
        for (int motor = 0; motor < kMotors; ++motor) {
            const Motor& m = motors_[static_cast<std::size_t>(motor)];
            if (m.timerWanted && (effective & (1 << motor)) && d[motor] >= 1)
                TimerOf(motor + 1).Arm(static_cast<std::uint32_t>(d[motor]));
        }
    } else if (motors_[0].timerWanted || motors_[1].timerWanted) {
        platform::debugOut("SameTime Timer updated\n");
        bothTimer_.Arm(static_cast<std::uint32_t>(d[0]));
    }
}

void DualRun::Halt() {
    motor1Timer_.Stop();
    motor2Timer_.Stop();
    bothTimer_.Stop();
    const bool moving = AnyRunning() || control::Runs(motors_[0].word) || control::Runs(motors_[1].word);
    for (int motor = 0; motor < kMotors; ++motor) {
        End(motor, false);
        Motor& m = motors_[static_cast<std::size_t>(motor)];
        m.word = control::SetField(m.word, control::kRun, 0);
        m.position = m.steps.size();
    }
    if (!moving) return;
    board_.SetMotorMode(4, motors_[0].word, motors_[1].word);
    platform::sleepMs(kMotorModeWaitMs);
    board_.SetMotorMode(3, motors_[0].word, motors_[1].word);
}

}  // namespace pages::dual
