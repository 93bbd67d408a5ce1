// Turns task words into tasks, and keeps the polling task and the BLDC demo task single:
// a later word for either goes to the one that exists. The factory only remembers those
// two; the queue owns every task it made.
#pragma once

#include <cstdint>
#include <mutex>

class ITask;
class CPollingTask;
class CBldcDemoTask;

class CTaskFactory {
public:
    static CTaskFactory* GetInstance();

    // A new task (the caller owns it; *created is set to true), the recorded polling or
    // demo task after its SetCommand (word) (*created false), or nullptr for a kind
    // without a task class. A start word for a single task that is already stopping
    // makes a fresh one, so the request is not lost while the old one winds down; a
    // stop word when none is running makes nothing.
    ITask* CreateTask(std::uint32_t word, bool* created = nullptr);

    int SetPollingTask(CPollingTask* task);
    int SetBldcDemoTask(CBldcDemoTask* task);
    CPollingTask* GetPollingTask() const;
    CBldcDemoTask* GetBldcDemoTask() const;
    // Clears whichever record still names this task; called as the task goes away.
    void Forget(const ITask* task);

    CTaskFactory(const CTaskFactory&) = delete;
    CTaskFactory& operator=(const CTaskFactory&) = delete;

private:
    CTaskFactory() = default;
    ~CTaskFactory() = default;

    mutable std::mutex mutex_;
    CPollingTask* polling_ = nullptr;
    CBldcDemoTask* demo_ = nullptr;
};
