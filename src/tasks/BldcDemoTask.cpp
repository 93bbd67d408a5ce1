#include "tasks/BldcDemoTask.h"

#include <mutex>

#include "data/DataContainer.h"
#include "platform/core/Clock.h"
#include "platform/core/Debug.h"
#include "platform/core/NamedSync.h"
#include "tasks/TaskFactory.h"
#include "platform/core/Numeric.h"

namespace {

std::uint32_t TickMs() { return static_cast<std::uint32_t>(platform::currentClock().nowMs()); }

}  // namespace

CBldcDemoTask::CBldcDemoTask(std::uint32_t word)
    : CDerivedTask(word), command_(static_cast<std::uint8_t>(taskword::Command(word))) {
    BuildSequence();
}

CBldcDemoTask::~CBldcDemoTask() {
    CTaskFactory::GetInstance()->Forget(this);
    stop_ = 1;
    JoinThread();
    ClearSequence();
}

void CBldcDemoTask::BuildSequence() {
    static constexpr std::uint32_t kPercents[] = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100,
                                                  90, 80, 70, 60, 50, 40, 30, 20, 10, 0};
    const std::size_t count = sizeof kPercents / sizeof kPercents[0];
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t hold = i == 0 ? 2000 : i + 1 == count ? 4000 : 3000;
        steps_.push_back(std::make_unique<Step>(Step{kPercents[i], hold}));
    }
}

void CBldcDemoTask::ClearSequence() { steps_.clear(); }

int CBldcDemoTask::SetCommand(std::uint32_t word) {
    CDerivedTask::SetCommand(word);
    command_ = static_cast<std::uint8_t>(taskword::Command(word));
    if (command_.load() == 0) stop_ = 1;
    return 1;
}

void CBldcDemoTask::Cancel() {
    CDerivedTask::Cancel();
    stop_ = 1;
}

int CBldcDemoTask::Run() {
    if (IDataContainer* store = DataContainer()) ownKey_ = store->GetSelectedId();
    std::uint32_t previous = 0;
    std::uint32_t transition = kTransitionMs;
    std::size_t index = 0;
    if (!steps_.empty()) {
        do {
            const Step step = *steps_[index];
            if (Chip() == 0) transition = kTransitionMs;
            else if (Chip() == 5) transition = 0;
            Ramp(previous, step.percent, transition);
            Hold(step.holdMs);
            index = (index + 1) % steps_.size();
            previous = step.percent;
            platform::sleepMs(1);
        } while (stop_.load() == 0);
    }
    SetDutyPercent(0);
    return 0;
}

void CBldcDemoTask::Ramp(std::uint32_t previous, std::uint32_t next, std::uint32_t transitionMs) {
    const std::uint32_t start = TickMs();
    std::uint32_t t = 0;
    do {
        t = TickMs() - start;
        if (Chip() == 0) RampValue(previous, next, transitionMs, t);
        else if (Chip() == 5) SetDutyPercent(next);
        platform::sleepMs(1);
    } while (stop_.load() == 0 && t < transitionMs);
}

void CBldcDemoTask::Hold(std::uint32_t ms) {
    const std::uint32_t start = TickMs();
    while (TickMs() - start < ms) {
        if (stop_.load() != 0) return;
        platform::sleepMs(1);
    }
}

int CBldcDemoTask::DutyOf(std::uint32_t percent) {
    return static_cast<int>(static_cast<std::uint64_t>(percent) * kFullDuty / 100);
}

int CBldcDemoTask::RampDuty(std::uint32_t previous, std::uint32_t next, std::uint32_t transitionMs,
                            std::uint32_t elapsedMs) {
    const int a = DutyOf(previous);
    const int b = DutyOf(next);
    // A late thread may look past the end of the transition: the ramp has arrived
    // then, and the cubic (whose powers would also wrap) must not be extrapolated.
    if (transitionMs == 0 || elapsedMs >= transitionMs) return b;
    const double delta = static_cast<double>(a) - static_cast<double>(b);
    const std::uint32_t T2 = transitionMs * transitionMs;
    const std::uint32_t T3 = T2 * transitionMs;
    const std::uint32_t t2 = elapsedMs * elapsedMs;
    const std::uint32_t t3 = t2 * elapsedMs;
    const double value = 2.0 * delta / T3 * t3 - 3.0 * delta / T2 * t2 + a;
    return platform::saturate<int>(value);
}

void CBldcDemoTask::RampValue(std::uint32_t previous, std::uint32_t next, std::uint32_t transitionMs,
                              std::uint32_t elapsedMs) {
    SetDuty(RampDuty(previous, next, transitionMs, elapsedMs));
}

int CBldcDemoTask::SetDutyPercent(std::uint32_t percent) { return SetDuty(DutyOf(percent)); }

int CBldcDemoTask::SetDuty(int duty) {
    platform::debugOutf("new Duty = %d\n", duty);
    std::lock_guard guard(SharedMutex());
    IDataContainer* store = DataContainer();
    if (store != nullptr && ownKey_ == -1) ownKey_ = store->GetSelectedId();
    // The duty belongs to the device the demo began with; never into another's block
    // (the store checks the selection and writes in one step).
    const auto storeDuty = [&](int index) {
        const DataWord word{index, static_cast<std::uint32_t>(duty)};
        if (store != nullptr) store->SetValuesIfSelected(ownKey_, {&word, 1});
    };
    const int chip = Chip();
    if (chip == 0) {
        storeDuty(kWordDutyChip0);
    } else if (chip == 3 || chip == 5) {
        storeDuty(kWordDuty);
        SetPwm(1, kPwmFrequency, duty, 1);
        platform::post(GetNotifyWindow(), kMsgNewData, kWordDuty, 0);
    }
    return 1;
}
