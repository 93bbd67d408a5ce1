// Time from executing a GUI command to its frame at the simulator, beside a direct board
// link call of the same frame in the same run. Both are taken as the moment the
// simulator has the frame (it keeps no arrival time of a first byte; an 11-byte frame
// takes microseconds over the pty, the same for both paths).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "board-sim/BoardSim.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "platform/core/Clock.h"
#include "platform/core/Debug.h"
#include "tasks/GuiCommand.h"
#include "tasks/TaskListener.h"

namespace {

using Clock = std::chrono::steady_clock;

boardsim::BoardSim::Options SimOptions() {
    boardsim::BoardSim::Options o;
    o.linkPath = (std::filesystem::temp_directory_path() / ("tamsiro-bench-" + std::to_string(::getpid()))).string();
    o.log = [](const std::string&) {};
    return o;
}

// Notes the moment the simulator's frame log reaches a count it is told to watch for.
class FrameWatch {
public:
    explicit FrameWatch(boardsim::BoardSim& sim) : sim_(sim), thread_([this] { Loop(); }) {}
    ~FrameWatch() {
        {
            std::lock_guard guard(mutex_);
            quit_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    // Arms the watch for frame `count`; returns once the watcher is waiting for it.
    void Arm(std::size_t count) {
        std::unique_lock lock(mutex_);
        target_ = count;
        seen_ = false;
        waiting_ = false;
        cv_.notify_all();
        cv_.wait(lock, [this] { return waiting_; });
    }
    // When the frame arrived; false when it never did.
    bool Result(Clock::time_point* at) {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return seen_; });
        *at = at_;
        return ok_;
    }

private:
    void Loop() {
        std::unique_lock lock(mutex_);
        while (!quit_) {
            if (target_ == 0) {
                cv_.wait(lock);
                continue;
            }
            const std::size_t count = target_;
            target_ = 0;
            waiting_ = true;
            cv_.notify_all();
            lock.unlock();
            const bool ok = sim_.waitForFrames(count, std::chrono::seconds(2));
            const auto at = Clock::now();
            lock.lock();
            ok_ = ok;
            at_ = at;
            seen_ = true;
            cv_.notify_all();
        }
    }

    boardsim::BoardSim& sim_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::size_t target_ = 0;
    bool waiting_ = false, seen_ = false, ok_ = false, quit_ = false;
    Clock::time_point at_;
    std::thread thread_;
};

struct Rig {
    Rig() : sim(SimOptions()) {
        platform::setDebugSink([](std::string_view) {});
        ready = sim.start();
        link = std::make_unique<CRG1Micon>(std::make_unique<CNativeTranslator>(
            kBoardPortClass, std::make_shared<platform::PathBoardLocator>(sim.portPath())));
        {
            platform::ManualClock quick;  // the open's settling sleeps cost nothing
            platform::ScopedClock scope(quick);
            link->CheckConnection();
            ready = ready && link->Open(0) == 1;
        }
        store.SelectContainer(0x300);
        queue = std::make_unique<CDerivedTaskListener>(0);
        queue->SetMicon(link.get());
        queue->SetDataContainer(&store);
        watch = std::make_unique<FrameWatch>(sim);
    }
    ~Rig() {
        watch.reset();
        queue.reset();
        link.reset();
        platform::setDebugSink({});
    }

    boardsim::BoardSim sim;
    bool ready = false;
    std::unique_ptr<CRG1Micon> link;
    CDerivedDataContainer store;
    std::unique_ptr<CDerivedTaskListener> queue;
    std::unique_ptr<FrameWatch> watch;
};

PwmChannelRecord ChannelOne() {
    PwmChannelRecord r;
    r.channel = 1;
    r.frequency = 50000;
    r.value = 120;
    r.send = 1;
    return r;
}

double Quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

double Us(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void BM_CommandLatency(benchmark::State& state) {
    static Rig rig;
    if (!rig.ready) {
        state.SkipWithError("simulator or board link not available");
        return;
    }
    auto* generator = CCommandGenerator::GetInstance();
    std::vector<double> direct, command;

    for (auto _ : state) {
        // The board link called directly on this thread.
        PwmChannelRecord record = ChannelOne();
        rig.watch->Arm(rig.sim.frameCount() + 1);
        const auto d0 = Clock::now();
        rig.link->SetPwmFrequency(1, &record, 1);
        Clock::time_point d1;
        if (!rig.watch->Result(&d1)) {
            state.SkipWithError("direct frame never arrived");
            break;
        }

        // The same frame through a GUI command, the queue and a task thread.
        CSingleCommand* c = generator->CreateCommand(0, 0xFFFFFFFFu);
        c->SetRegister(&rig.store, 40, 120);
        c->SetTask(0x01000000, &record, sizeof record);
        rig.watch->Arm(rig.sim.frameCount() + 1);
        const auto c0 = Clock::now();
        generator->ExecuteCommand(rig.queue.get(), c);
        Clock::time_point c1;
        const bool arrived = rig.watch->Result(&c1);
        generator->DeleteCommand(c);
        rig.queue->WaitIdle(2000);  // the task has read its reply and gone
        if (!arrived) {
            state.SkipWithError("command frame never arrived");
            break;
        }

        direct.push_back(Us(d1 - d0));
        command.push_back(Us(c1 - c0));
        state.SetIterationTime((c1 - c0) / std::chrono::duration<double>(1.0));
    }

    const double dMed = Quantile(direct, 0.5), cMed = Quantile(command, 0.5);
    state.counters["direct_median_us"] = dMed;
    state.counters["direct_p99_us"] = Quantile(direct, 0.99);
    state.counters["command_median_us"] = cMed;
    state.counters["command_p99_us"] = Quantile(command, 0.99);
    state.counters["median_extra_us"] = cMed - dMed;
    state.counters["median_ratio"] = dMed > 0 ? cMed / dMed : 0;
    char label[96];
    std::snprintf(label, sizeof label, "command/direct median %.2fx (+%.0f us, target +500 us)",
                  dMed > 0 ? cMed / dMed : 0.0, cMed - dMed);
    state.SetLabel(label);
}

}  // namespace

BENCHMARK(BM_CommandLatency)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
