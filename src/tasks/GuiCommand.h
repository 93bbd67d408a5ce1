// GUI commands: deferred requests built on the GUI thread when a control changes or the
// board must be set. A command may carry a value for a data-store word or bit field and
// a task word with its argument record; executing it stores the value, names the window
// that the queue's new tasks notify, and submits the task word.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>

#include "platform/core/Handles.h"

class IDataContainer;
class ITaskListener;

class IGuiCommand {
public:
    virtual ~IGuiCommand() = default;
    virtual int Execute() = 0;
};

class CSingleCommand : public IGuiCommand {
public:
    static constexpr std::uint32_t kNoValue = 0xFFFFFFFFu;

    CSingleCommand(platform::Handle notifyWindow, std::uint32_t identifier);

    // Stores the value (unless there is no store or it is kNoValue), then, with a
    // receiver, sets its notify window and, when the record pointer is not null,
    // submits the task word with the record (the task copies it). Returns 1.
    int Execute() override;

    virtual int SetReceiver(ITaskListener* queue);
    // 1 when both record and size are non-zero; the three are stored in any case.
    virtual int SetTask(std::uint32_t word, const void* record, std::uint32_t size);
    virtual int SetRegister(IDataContainer* store, std::uint32_t index, std::uint32_t value);
    virtual int SetBitField(std::uint32_t lsb, std::uint32_t length);
    // The task's pause after its work (the board's pacing, kept by the queue).
    virtual int SetPause(std::uint32_t ms);

    platform::Handle GetNotifyWindow() const { return window_; }
    std::uint32_t GetIdentifier() const { return identifier_; }

private:
    IDataContainer* store_ = nullptr;
    ITaskListener* receiver_ = nullptr;
    const platform::Handle window_;
    const std::uint32_t identifier_;
    std::uint32_t index_ = 0;
    std::uint32_t value_ = 0;
    std::uint32_t lsb_ = 0xFFFFFFFFu;
    std::uint32_t bitLength_ = 0;
    std::uint32_t word_ = 0;
    const void* record_ = nullptr;
    std::uint32_t recordSize_ = 0;
    std::uint32_t pauseMs_ = 0;
};

// A record for task words that carry no data (polling, demo, BLDC and lens sequence):
// only a null record keeps a command from submitting its word, and this one is never read.
const void* EmptyTaskRecord();

// Makes, runs and deletes commands; created on first use, it deletes at program exit
// every command still in its list.
class CCommandGenerator {
public:
    static CCommandGenerator* GetInstance();

    CSingleCommand* CreateCommand(platform::Handle notifyWindow, std::uint32_t identifier);
    // SetReceiver (queue), then Execute.
    int ExecuteCommand(ITaskListener* queue, CSingleCommand* command);
    // 1 when the command was one of this generator's (it is deleted), else 0.
    int DeleteCommand(IGuiCommand* command);
    void Clear();
    std::size_t CommandCount() const;

    CCommandGenerator(const CCommandGenerator&) = delete;
    CCommandGenerator& operator=(const CCommandGenerator&) = delete;

private:
    CCommandGenerator() = default;
    ~CCommandGenerator();
    friend struct CommandGeneratorHolder;

    mutable std::mutex mutex_;
    std::list<std::unique_ptr<CSingleCommand>> commands_;
};
