// Task words: the 32-bit requests that the pages and the main window hand to the task
// queue. Bits 24-31 name the task class, 16-23 and 8-15 carry two arguments, 0-7 the
// command byte (for the polling and demo tasks, 0 means stop).
#pragma once

#include <cstdint>

namespace taskword {

constexpr std::uint32_t Kind(std::uint32_t word) { return word >> 24; }
constexpr std::uint32_t ArgumentA(std::uint32_t word) { return (word >> 16) & 0xFF; }
constexpr std::uint32_t ArgumentB(std::uint32_t word) { return (word >> 8) & 0xFF; }
constexpr std::uint32_t Command(std::uint32_t word) { return word & 0xFF; }

constexpr std::uint32_t Make(std::uint32_t kind, std::uint32_t a, std::uint32_t b, std::uint32_t command) {
    return (kind & 0xFF) << 24 | (a & 0xFF) << 16 | (b & 0xFF) << 8 | (command & 0xFF);
}

}  // namespace taskword

// Task kinds (word >> 24). 0, 6, 7 and 8 make a plain task; 12, 13 and 15 and above make
// none, and the queue ignores such words.
enum TaskKind : std::uint32_t {
    kTaskPlain = 0,
    kTaskPwm = 1,
    kTaskGpio = 2,
    kTaskAdc = 3,
    kTaskInterrupt = 4,
    kTaskBldcSequence = 5,
    kTaskLensSequence = 9,
    kTaskPolling = 10,
    kTaskI2c = 11,
    kTaskSpi = 12,
    kTaskGpioPulse = 13,
    kTaskBldcDemo = 14,
};

// Task states.
enum TaskState : std::uint32_t {
    kTaskCreated = 0,
    kTaskStarted = 1,
    kTaskRunning = 2,
    kTaskFinished = 3,
};

// The exit code of a thread that is still running (and what joining no thread gives).
constexpr std::uint32_t kStillActive = 259;

// New data in the data store; a GPIO read adds the line plus kGpioReadTag in wParam.
constexpr std::uint32_t kMsgNewData = 0x812C;
constexpr std::uint32_t kGpioReadTag = 0x20000;

// The word the queue hands its polling and demo tasks to stop them (only the command
// byte 0 matters).
constexpr std::uint32_t kStopSingleTasksWord = 0x0AFF0000;

// Names of the queue's sync objects and of the mutex that the polling task, the demo
// task and the BLDC page share.
inline constexpr const char* kTaskListMutexName = "TaskRunningMutex";
inline constexpr const char* kTaskWakeEventName = "TaskRunningEvents";
inline constexpr const char* kBldcPollingMutexName = "Mutex_BLDC_Polling";

// One-shot board tasks whose frames depend on the order they were queued in: records
// staged by one task go out with the frame that a later one sends.
constexpr bool IsOrderedBoardKind(std::uint32_t kind) {
    return kind == kTaskPwm || kind == kTaskGpio || kind == kTaskLensSequence || kind == kTaskI2c;
}
