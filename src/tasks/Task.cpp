#include "tasks/Task.h"

#include <string>

#include "board/RG1Micon.h"
#include "platform/core/Debug.h"
#include "platform/core/NamedSync.h"

namespace {

// A finished task wakes the queue's worker, which sleeps on this event until there is
// something to do. Opened by name: a task run without a queue finds none and wakes
// nobody.
void WakeQueueWorker() {
    if (auto wake = platform::openNamedEvent(kTaskWakeEventName)) wake->set();
}

}  // namespace

CDerivedTask::CDerivedTask(std::uint32_t word)
    : carrier_(std::make_unique<CThreadCarrier>([this] { return ThreadRoutine(); }, &WakeQueueWorker)),
      sharedMutex_(platform::createNamedMutex(kBldcPollingMutexName)),
      word_(word),
      argA_(taskword::ArgumentA(word)),
      argB_(taskword::ArgumentB(word)) {}

CDerivedTask::~CDerivedTask() { JoinThread(); }

void CDerivedTask::JoinThread() {
    if (carrier_) carrier_->Join();
}

void CDerivedTask::MarkFramesSent() {
    if (!framesSent_.exchange(true)) WakeQueueWorker();
}

void CDerivedTask::Cancel() {
    cancel_.raise();
    std::lock_guard guard(turnMutex_);
    if (turn_) turn_->Give(false);  // a task waiting for its turn ends without its work
}

bool CDerivedTask::GiveTurnAfterPause(std::shared_ptr<TaskTurn> turn) {
    std::lock_guard guard(turnMutex_);
    if (!pausing_ || nextTurn_) return false;
    nextTurn_ = std::move(turn);
    return true;
}

void CDerivedTask::WaitForTurn(std::shared_ptr<TaskTurn> turn) {
    std::lock_guard guard(turnMutex_);
    turn_ = std::move(turn);
}

std::uint32_t CDerivedTask::ThreadRoutine() {
    state_ = kTaskRunning;
    std::shared_ptr<TaskTurn> turn;
    {
        std::lock_guard guard(turnMutex_);
        turn = turn_;
    }
    const bool work = turn == nullptr || (turn->Wait() && !cancel_.raised());
    bool cut = !work;
    if (work) {
        Run();
        // The board's pacing: the queue's order is held here, on the task's side, so the
        // thread that queued the task never sleeps for it. The worker hears of the pause,
        // so that the next ordered task's thread is made during it rather than after it.
        if (const std::uint32_t pause = pauseMs_.load(); pause != 0) {
            {
                std::lock_guard guard(turnMutex_);
                pausing_ = true;
            }
            WakeQueueWorker();
            cut = platform::currentClock().pauseMs(cancel_, pause);
        }
    }
    framesSent_ = true;  // the thread's end wakes the worker
    {
        std::lock_guard guard(turnMutex_);
        pausing_ = false;
        if (nextTurn_) nextTurn_->Give(!cut);
    }
    state_ = kTaskFinished;
    return 0;
}

int CDerivedTask::SetCommand(std::uint32_t word) {
    const std::uint32_t next = (word_.load() & 0xFFFF0000u) | (argB_.load() & 0xFF) << 8 | (word & 0xFF);
    word_ = next;
    argA_ = taskword::ArgumentA(next);
    return 1;
}

int CDerivedTask::SetNotifyWindow(platform::Handle window) {
    window_ = window;
    return window != 0 ? 1 : 0;
}

int CDerivedTask::SetDataContainer(IDataContainer* store) {
    store_ = store;
    return store != nullptr ? 1 : 0;
}

int CDerivedTask::SetMicon(CRG1Micon* link) {
    link_ = link;
    return link != nullptr ? 1 : 0;
}

int CDerivedTask::SetParameters(const void* /*record*/, std::uint32_t /*size*/) { return 1; }

int CDerivedTask::Start() {
    if (!carrier_) return 0;
    state_ = kTaskStarted;
    if (carrier_->Start() == 0) {
        // Without a thread the task can never finish by itself; finished is the only
        // state that lets the queue delete it.
        platform::debugOut("Task thread could not be started\n");
        framesSent_ = true;
        state_ = kTaskFinished;
        return 0;
    }
    return 1;
}

// --- board link wrappers ---

int CDerivedTask::SetPwmFrequency(int channel, PwmChannelRecord* record, int send) {
    CRG1Micon* link = Micon();
    if (link == nullptr || record == nullptr) return 0;
    record->channel = static_cast<std::uint32_t>(channel);
    record->send = static_cast<std::uint32_t>(send);
    return link->SetPwmFrequency(channel, record, send);
}

int CDerivedTask::SetPwm(int channel, double frequency, double value, int send) {
    CRG1Micon* link = Micon();
    if (link == nullptr) return 0;
    PwmChannelRecord record{};
    record.channel = static_cast<std::uint32_t>(channel);
    record.frequency = frequency;
    record.value = value;
    record.send = static_cast<std::uint32_t>(send);
    return link->SetPwmFrequency(channel, &record, send);
}

int CDerivedTask::WritePort(int port, int direction, int level, int send) {
    CRG1Micon* link = Micon();
    if (link == nullptr) return 0;
    PortRecord record{static_cast<std::uint32_t>(port), static_cast<std::uint32_t>(direction),
                      static_cast<std::uint32_t>(level), 0, static_cast<std::uint32_t>(send)};
    return link->WritePort(port, &record, send);
}

int CDerivedTask::SetAdcChannel(int channel, int enable, int send) {
    CRG1Micon* link = Micon();
    if (link == nullptr) return 0;
    AdcChannelRecord record{static_cast<std::uint32_t>(channel), static_cast<std::uint32_t>(enable), 0, 4,
                            static_cast<std::uint32_t>(send)};
    return link->SetAdcChannel(channel, &record, send);
}

int CDerivedTask::SetInterruptInput(int item, int mode, int send) {
    CRG1Micon* link = Micon();
    if (link == nullptr) return 0;
    InterruptInputRecord record{static_cast<std::uint32_t>(item), static_cast<std::uint32_t>(mode), 0,
                                static_cast<std::uint32_t>(send)};
    return link->SetInterruptInput(item, &record, send);
}

int CDerivedTask::ReadPort(int port, int send) {
    CRG1Micon* link = Micon();
    return link != nullptr ? link->ReadPort(port, send) : 0;
}

int CDerivedTask::ReadAdc(int channel, int send) {
    CRG1Micon* link = Micon();
    return link != nullptr ? link->ReadAdc(channel, send) : 0;
}

int CDerivedTask::ReadInterruptFlag(int item, int send) {
    CRG1Micon* link = Micon();
    return link != nullptr ? link->ReadInterruptFlag(item, send) : 0;
}

int CDerivedTask::ReadMeasuredValue() {
    CRG1Micon* link = Micon();
    return link != nullptr ? link->ReadMeasuredValue(1) : 0;
}

int CDerivedTask::ReadAdcValue(int channel, int send) { return ReadAdc(channel, send); }

int CDerivedTask::CheckInterrupt(int item, int send) {
    const int flag = ReadInterruptFlag(item, send);
    // Only inputs 1-3 have a port of their own; for others the flag is all there is.
    if (flag != 0 || item < 1 || item > 3) return flag;
    return 1 - ReadPort(17 + item, 1);
}

int CDerivedTask::CheckInterruptTraced(int item, int expected, int send) {
    const int flag = ReadInterruptFlag(item, send);
    // One line per check, written at once, so that concurrent tasks do not interleave it.
    std::string line = "INT1 detect flag = " + std::to_string(flag);
    int result = flag;
    if (flag == 0 && item >= 1 && item <= 3) {
        const int port = 17 + item;
        const int level = ReadPort(port, 1);
        line += " / GPIO" + std::to_string(port) + " Lv = " + std::to_string(level);
        result = level == expected ? 1 : 0;
    }
    line += "\n";
    platform::debugOut(line);
    return result;
}
