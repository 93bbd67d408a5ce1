#include "tasks/GuiCommand.h"

#include <new>

#include "data/DataContainer.h"
#include "tasks/TaskListener.h"

CSingleCommand::CSingleCommand(platform::Handle notifyWindow, std::uint32_t identifier)
    : window_(notifyWindow), identifier_(identifier) {}

int CSingleCommand::SetReceiver(ITaskListener* queue) {
    receiver_ = queue;
    return queue != nullptr ? 1 : 0;
}

int CSingleCommand::SetTask(std::uint32_t word, const void* record, std::uint32_t size) {
    word_ = word;
    record_ = record;
    recordSize_ = size;
    return record != nullptr && size != 0 ? 1 : 0;
}

int CSingleCommand::SetRegister(IDataContainer* store, std::uint32_t index, std::uint32_t value) {
    store_ = store;
    index_ = index;
    value_ = value;
    return 1;
}

int CSingleCommand::SetBitField(std::uint32_t lsb, std::uint32_t length) {
    lsb_ = lsb;
    bitLength_ = length;
    return 1;
}

int CSingleCommand::SetPause(std::uint32_t ms) {
    pauseMs_ = ms;
    return 1;
}

int CSingleCommand::Execute() {
    if (store_ != nullptr && value_ != kNoValue) {
        // The store checks the index and keeps the field inside the word.
        const int index = static_cast<int>(index_);
        if (bitLength_ != 0) {
            store_->SetBits(index, static_cast<int>(lsb_), static_cast<int>(bitLength_ & 0x7FFFFFFFu), value_);
        } else {
            store_->SetValue(index, value_);
        }
    }
    if (receiver_ == nullptr) return 1;
    receiver_->SetNotifyWindow(window_);
    if (record_ == nullptr) return 1;
    if (pauseMs_ != 0)
        receiver_->AddPacedTask(word_, record_, recordSize_, pauseMs_);
    else
        receiver_->AddTask(word_, record_, recordSize_);
    return 1;
}

const void* EmptyTaskRecord() {
    static const std::uint8_t kEmpty[1] = {0};
    return kEmpty;
}

struct CommandGeneratorHolder {
    CCommandGenerator generator;
};

CCommandGenerator* CCommandGenerator::GetInstance() {
    static CommandGeneratorHolder holder;
    return &holder.generator;
}

CCommandGenerator::~CCommandGenerator() { Clear(); }

CSingleCommand* CCommandGenerator::CreateCommand(platform::Handle notifyWindow, std::uint32_t identifier) {
    auto command = std::unique_ptr<CSingleCommand>(new (std::nothrow) CSingleCommand(notifyWindow, identifier));
    if (!command) return nullptr;
    CSingleCommand* raw = command.get();
    std::lock_guard guard(mutex_);
    commands_.push_back(std::move(command));
    return raw;
}

int CCommandGenerator::ExecuteCommand(ITaskListener* queue, CSingleCommand* command) {
    if (command == nullptr) return 0;
    command->SetReceiver(queue);
    return command->Execute();
}

int CCommandGenerator::DeleteCommand(IGuiCommand* command) {
    std::unique_ptr<CSingleCommand> doomed;  // deleted outside the lock
    {
        std::lock_guard guard(mutex_);
        for (auto it = commands_.begin(); it != commands_.end(); ++it) {
            if (it->get() == command) {
                doomed = std::move(*it);
                commands_.erase(it);
                break;
            }
        }
    }
    return doomed ? 1 : 0;
}

void CCommandGenerator::Clear() {
    std::list<std::unique_ptr<CSingleCommand>> doomed;
    {
        std::lock_guard guard(mutex_);
        doomed.swap(commands_);
    }
}

std::size_t CCommandGenerator::CommandCount() const {
    std::lock_guard guard(mutex_);
    return commands_.size();
}
