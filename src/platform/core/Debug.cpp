#include "platform/core/Debug.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace platform {
namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

DebugSink& sink() {
    static DebugSink s;
    return s;
}

// On from the start when the environment asks for it, so every program of ours (and
// every test) honours TAMSIRO_DEBUG=1.
std::atomic<bool>& traceFlag() {
    static std::atomic<bool> on{debugTraceRequested(0, nullptr, std::getenv("TAMSIRO_DEBUG"))};
    return on;
}

}  // namespace

void debugOut(std::string_view text) {
    std::lock_guard lock(sinkMutex());
    if (sink()) {
        sink()(text);
    } else if (traceFlag().load(std::memory_order_relaxed)) {
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
}

void setDebugTrace(bool on) { traceFlag() = on; }
bool debugTrace() { return traceFlag(); }

bool debugTraceRequested(int argc, const char* const* argv, const char* environment) {
    if (environment != nullptr && std::strcmp(environment, "1") == 0) return true;
    for (int i = 1; i < argc && argv != nullptr; ++i) {
        if (argv[i] != nullptr && std::strcmp(argv[i], "--debug") == 0) return true;
    }
    return false;
}

void debugOutf(const char* format, ...) {
    if (!traceFlag().load(std::memory_order_relaxed)) {
        std::lock_guard lock(sinkMutex());
        if (!sink()) return;  // nobody listens: skip the formatting
    }
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return;
    debugOut(std::string_view(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1)));
}

void setDebugSink(DebugSink s) {
    std::lock_guard lock(sinkMutex());
    sink() = std::move(s);
}

struct DebugCapture::State {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

DebugCapture::DebugCapture() : state_(new State) {
    State* st = state_;
    setDebugSink([st](std::string_view text) {
        std::lock_guard lock(st->mutex);
        st->lines.emplace_back(text);
    });
}

DebugCapture::~DebugCapture() {
    setDebugSink({});
    delete state_;
}

std::vector<std::string> DebugCapture::lines() const {
    std::lock_guard lock(state_->mutex);
    return state_->lines;
}

std::size_t DebugCapture::count(std::string_view text) const {
    std::lock_guard lock(state_->mutex);
    return static_cast<std::size_t>(std::count(state_->lines.begin(), state_->lines.end(), text));
}

void DebugCapture::clear() {
    std::lock_guard lock(state_->mutex);
    state_->lines.clear();
}

}  // namespace platform
