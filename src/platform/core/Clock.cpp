#include "platform/core/Clock.h"

#include <chrono>
#include <thread>

namespace platform {
namespace {

SystemClock g_system;
std::atomic<IClock*> g_clock{&g_system};

}  // namespace

std::uint64_t SystemClock::nowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::uint64_t SystemClock::nowUs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::sleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void ManualClock::sleepMs(std::uint32_t ms) {
    slept_ += ms;
    ++calls_;
    nowUs_ += static_cast<std::uint64_t>(ms) * 1000;
}

IClock& currentClock() { return *g_clock.load(); }

void setClock(IClock* c) { g_clock.store(c ? c : &g_system); }

}  // namespace platform
