// A message sink that keeps what it is posted.
#pragma once

#include <mutex>
#include <vector>

#include "platform/core/Handles.h"

struct Inbox : platform::IMessageSink {
    std::mutex m;
    std::vector<platform::Message> got;
    void deliver(const platform::Message& msg) override {
        std::lock_guard lock(m);
        got.push_back(msg);
    }
};
