// A task queue that only records what it was told: the setter and stop calls by name,
// and the submitted words with their record sizes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tasks/TaskListener.h"

class RecordingQueue final : public ITaskListener {
public:
    std::vector<std::string> calls;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> added;  // word, record size
    platform::Handle window = 0;
    IDataContainer* store = nullptr;

    int SetNotifyWindow(platform::Handle w) override {
        window = w;
        return Record("window");
    }
    int SetDataContainer(IDataContainer* s) override {
        store = s;
        return Record("store");
    }
    int SetMicon(CRG1Micon*) override { return Record("link"); }
    int AddTask(std::uint32_t word, const void*, std::uint32_t size) override {
        added.emplace_back(word, size);
        return 1;
    }
    int StopAll() override { return Record("stop"); }

private:
    int Record(const char* call) {
        calls.push_back(call);
        return 1;
    }
};
