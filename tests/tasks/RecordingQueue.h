// A task queue that records what it was told: the setter and stop calls by name, the
// submitted words with their record sizes and the clock's time, and the fences. Given a
// real queue, it passes every call on to it. One thread only.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Clock.h"
#include "tasks/TaskListener.h"

class RecordingQueue final : public ITaskListener {
public:
    explicit RecordingQueue(ITaskListener* forward = nullptr) : forward_(forward) {}

    std::vector<std::string> calls;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> added;  // word, record size
    std::vector<std::uint64_t> addedMs;                          // when each was added
    std::vector<std::uint32_t> pausesMs;                         // the pause each was given
    platform::Handle window = 0;
    IDataContainer* store = nullptr;

    int SetNotifyWindow(platform::Handle w) override {
        window = w;
        Record("window");
        return forward_ ? forward_->SetNotifyWindow(w) : 1;
    }
    int SetDataContainer(IDataContainer* s) override {
        store = s;
        Record("store");
        return forward_ ? forward_->SetDataContainer(s) : 1;
    }
    int SetMicon(CRG1Micon* link) override {
        Record("link");
        return forward_ ? forward_->SetMicon(link) : 1;
    }
    int AddTask(std::uint32_t word, const void* record, std::uint32_t size) override {
        added.emplace_back(word, size);
        addedMs.push_back(platform::currentClock().nowMs());
        pausesMs.push_back(0);
        return forward_ ? forward_->AddTask(word, record, size) : 1;
    }
    int AddPacedTask(std::uint32_t word, const void* record, std::uint32_t size, std::uint32_t pauseMs) override {
        added.emplace_back(word, size);
        addedMs.push_back(platform::currentClock().nowMs());
        pausesMs.push_back(pauseMs);
        return forward_ ? forward_->AddPacedTask(word, record, size, pauseMs) : 1;
    }
    int StopAll() override {
        Record("stop");
        return forward_ ? forward_->StopAll() : 1;
    }
    // Kept apart from `calls`, so a page that fences its queue leaves their order as it was.
    std::vector<std::uint32_t> fences;  // the time-out of each fence
    bool Fence(std::uint32_t timeoutMs) override {
        fences.push_back(timeoutMs);
        return forward_ ? forward_->Fence(timeoutMs) : true;
    }

    // Without a real queue nothing is pending: the caller goes on at once.
    int notices = 0;
    int PostWhenDone(platform::Handle w, std::uint32_t message, std::uintptr_t wParam) override {
        ++notices;
        return forward_ ? forward_->PostWhenDone(w, message, wParam) : 0;
    }

private:
    void Record(const char* call) { calls.push_back(call); }
    ITaskListener* forward_;
};
