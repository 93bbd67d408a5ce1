#include "tasks/PollingTask.h"

#include <algorithm>
#include <mutex>

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "platform/core/Clock.h"
#include "platform/core/NamedSync.h"
#include "tasks/TaskFactory.h"

namespace {

// The millisecond tick, wrapping like a 32-bit counter (callers use unsigned differences).
std::uint32_t TickMs() { return static_cast<std::uint32_t>(platform::currentClock().nowMs()); }

}  // namespace

CPollingTask::CPollingTask(std::uint32_t word) : CDerivedTask(word), command_(taskword::Command(word)) {}

CPollingTask::~CPollingTask() {
    CTaskFactory::GetInstance()->Forget(this);
    stop_ = 1;
    JoinThread();
}

int CPollingTask::SetCommand(std::uint32_t word) {
    CDerivedTask::SetCommand(word);
    command_ = taskword::Command(word);
    if (command_.load() == 0) stop_ = 1;
    return 1;
}

void CPollingTask::Cancel() {
    CDerivedTask::Cancel();
    stop_ = 1;
}

int CPollingTask::Run() {
    periodMs_ = kPollPeriodMs;
    analog0_ = analog1_ = analog2_ = status_ = 0;
    speedCount_ = 0;
    lastPollMs_ = TickMs();
    if (IDataContainer* store = DataContainer()) ownKey_ = store->GetSelectedId();
    if (stop_.load() != 0) return 0;

    ConfigureInputs();

    do {
        const std::uint32_t now = TickMs();
        const std::uint32_t since = now - lastPollMs_;
        if (since >= periodMs_) {
            lastPollMs_ = now;
            Poll();
            platform::sleepMs(kAfterPollSleepMs);
            continue;
        }
        // Sleep to the next poll in one go (at most as long as the sleep after a poll,
        // so a stop is seen as soon as it was before): waking every millisecond cost
        // more than the poll itself.
        platform::sleepMs(std::min<std::uint32_t>(periodMs_ - since, kAfterPollSleepMs));
    } while (stop_.load() == 0);
    return 0;
}

void CPollingTask::ConfigureInputs() {
    switch (Chip()) {
        case 2:
        case 8:
            WritePort(0, 0, 0, 0);
            WritePort(1, 0, 0, 1);
            SetAdcChannel(0, 1, 0);
            SetAdcChannel(1, 1, 1);
            break;
        case 3:
        case 5:
            WritePort(0, 0, 0, 0);
            WritePort(1, 0, 0, 0);
            WritePort(18, 0, 0, 1);
            SetAdcChannel(0, 1, 0);
            SetAdcChannel(1, 1, 1);
            SetInterruptInput(1, 2, 1);
            break;
        default:
            WritePort(0, 0, 0, 0);
            WritePort(1, 0, 0, 0);
            WritePort(2, 0, 0, 1);
            SetAdcChannel(0, 1, 0);
            SetAdcChannel(1, 1, 0);
            SetAdcChannel(2, 1, 1);
            break;
    }
}

int CPollingTask::Poll() {
    CRG1Micon* link = Micon();
    if (link != nullptr && link->IsConnected() && Reads()) ReadValues();
    if (DataContainer() == nullptr) return 0;
    if (Reads()) PublishValues();
    platform::post(GetNotifyWindow(), kMsgNewData, 0, 0);
    return 1;
}

int CPollingTask::ReadValues() {
    if (stop_.load() != 0) return 0;
    switch (Chip()) {
        case 0:
            analog0_ = static_cast<std::uint32_t>(ReadAdcValue(0, 1));
            analog1_ = static_cast<std::uint32_t>(ReadAdcValue(1, 0));
            analog2_ = static_cast<std::uint32_t>(ReadAdcValue(2, 0));
            break;
        case 2:
        case 8:
            analog0_ = static_cast<std::uint32_t>(ReadAdcValue(0, 1));
            analog1_ = static_cast<std::uint32_t>(ReadAdcValue(1, 0));
            break;
        case 3:
        case 5:
            status_ = static_cast<std::uint32_t>(CheckInterruptTraced(1, 1, 1));
            analog0_ = static_cast<std::uint32_t>(ReadAdcValue(0, 1));
            analog1_ = static_cast<std::uint32_t>(ReadAdcValue(1, 0));
            break;
        default:
            break;
    }
    speedCount_ = ReadMeasuredValue();
    return 1;
}

int CPollingTask::PublishValues() {
    if (stop_.load() != 0) return 0;
    IDataContainer* store = DataContainer();
    if (store == nullptr) return 0;
    std::lock_guard guard(SharedMutex());

    // Readings belong to the device that was selected when polling began; once another
    // device is selected they must not land in its block. The store checks and writes
    // in one step, so a selection change cannot slip in between.
    if (ownKey_ == -1) ownKey_ = store->GetSelectedId();

    DataWord words[4];
    std::size_t n = 0;
    switch (Chip()) {
        case 0:
            words[n++] = {kWordAnalog0, analog0_};
            words[n++] = {kWordAnalog1, analog1_};
            words[n++] = {kWordAnalog2, analog2_};
            break;
        case 2:
        case 8:
            words[n++] = {kWordAnalog0, analog0_};
            words[n++] = {kWordAnalog1, analog1_};
            break;
        case 3:
        case 5:
            words[n++] = {kWordStatus, status_};
            words[n++] = {kWordAnalog0, analog0_};
            words[n++] = {kWordAnalog1, analog1_};
            break;
        default:
            break;
    }
    // Counts from 1 to 19 are noise of a motor at rest; 0 means standing.
    if (!(speedCount_ > 0 && speedCount_ < 20)) words[n++] = {kWordSpeedCount, static_cast<std::uint32_t>(speedCount_)};
    if (n > 0 && store->SetValuesIfSelected(ownKey_, std::span<const DataWord>(words, n)) == 0) return 0;
    return 1;
}
