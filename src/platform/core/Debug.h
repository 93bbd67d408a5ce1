// Diagnostic output: the program's stand-in for the debugger output channel.
// Lines are dropped unless the trace was asked for (then they go to stderr); tests
// install a capture to assert on them whatever was asked for.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

void debugOut(std::string_view text);
void debugOutf(const char* format, ...) __attribute__((format(printf, 1, 2)));

using DebugSink = std::function<void(std::string_view)>;
// Installs a sink for every later line; an empty function restores the default (stderr
// when the trace is on, nowhere otherwise).
void setDebugSink(DebugSink sink);

// Whether the default output writes to stderr (at start: whether TAMSIRO_DEBUG=1).
void setDebugTrace(bool on);
bool debugTrace();
// Whether the command line ("--debug") or the environment (TAMSIRO_DEBUG=1) asks for
// the trace. `environment` is the variable's value, or null when it is unset.
bool debugTraceRequested(int argc, const char* const* argv, const char* environment);

// Collects every debug line while it lives (and keeps them off stderr).
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    std::vector<std::string> lines() const;
    std::size_t count(std::string_view text) const;  // lines equal to text
    void clear();

private:
    struct State;
    State* state_;
};

}  // namespace platform
