// Diagnostic output: the program's stand-in for the debugger output channel.
// Lines go to stderr by default; tests install a capture to assert on them.
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
// Installs a sink for every later line; an empty function restores stderr.
void setDebugSink(DebugSink sink);

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
