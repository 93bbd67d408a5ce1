#include "tasks/ThreadCarrier.h"

#include <system_error>

#include "platform/core/Debug.h"
#include "tasks/TaskWord.h"

static_assert(kStillActive == 259);

namespace {

std::atomic<std::uint64_t> g_nextThreadId{1};

}  // namespace

CThreadCarrier::CThreadCarrier(Routine routine, ExitHook onExit)
    : routine_(std::move(routine)), onExit_(std::move(onExit)) {}

CThreadCarrier::~CThreadCarrier() { Join(); }

std::uint64_t CThreadCarrier::Start() {
    std::lock_guard guard(mutex_);
    if (thread_.joinable()) return 0;
    const std::uint64_t id = g_nextThreadId++;
    running_ = true;
    try {
        thread_ = std::thread([this] { ThreadMain(); });
    } catch (const std::system_error& e) {
        running_ = false;
        platform::debugOutf("Thread creation failed: %s\n", e.what());
        return 0;
    }
    nativeId_ = thread_.get_id();
    id_ = id;
    return id;
}

void CThreadCarrier::ThreadMain() {
    const std::uint32_t code = routine_ ? routine_() : 0;
    exitCode_ = code;
    running_ = false;
    if (onExit_) onExit_();
}

std::uint32_t CThreadCarrier::Join() {
    std::lock_guard guard(mutex_);
    if (!thread_.joinable()) return kStillActiveCode;
    if (thread_.get_id() == std::this_thread::get_id()) {
        // A thread cannot wait for itself; let it run out on its own.
        platform::debugOut("Thread carrier joined from its own thread\n");
        thread_.detach();
    } else {
        thread_.join();
    }
    id_ = 0;
    nativeId_ = std::thread::id{};
    return exitCode_.load();
}

std::uint32_t CThreadCarrier::GetExitCode() const {
    return running_.load() ? kStillActiveCode : exitCode_.load();
}

bool CThreadCarrier::HasThread() const {
    std::lock_guard guard(mutex_);
    return thread_.joinable();
}

bool CThreadCarrier::IsCurrentThread() const { return nativeId_.load() == std::this_thread::get_id(); }
