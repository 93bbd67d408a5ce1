// The program started and closed again and again in-process against the board simulator,
// with every kind of task running at each close: the BLDC page polling, its demo and its
// start-up test, a lens drive in its timed wait and a burst of GPIO tasks queued. The time
// of each close, from "Exit Application" to the end of shutdown, is the figure; the target
// is under 1 s. Besides Google Benchmark's mean it reports the minimum, median and
// maximum over all closes, and how many closes were over the target.
//
// --cycles=N (default 100) sets the number of closes; the other flags are Google
// Benchmark's.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "board-sim/BoardSim.h"
#include "platform/gui/Application.h"
#include "stress/CloseCycle.h"

namespace {

constexpr double kTargetMs = 1000.0;
int cycles = 100;

void BM_CloseWithEveryTaskRunning(benchmark::State& state) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tamsiro-shutdown-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    boardsim::BoardSim::Options simOptions;
    simOptions.linkPath = (dir / "board").string();
    simOptions.log = [](const std::string&) {};
    boardsim::BoardSim sim(simOptions);
    if (!sim.start()) {
        state.SkipWithError("no simulator");
        return;
    }
    sim.setMotor(boardsim::Motor{});
    stress::CloseCycleOptions o;
    o.dir = dir;
    o.sim = &sim;
    std::vector<double> times;
    int failures = 0;
    for (auto _ : state) {
        const stress::CloseCycle c = stress::RunCloseCycle(o);
        o.bldcKey = c.bldcKey;
        if (!c.opened || !c.settingsWritten) {
            ++failures;
            std::fprintf(stderr, "close %zu: %s%s\n", times.size(), c.missing.c_str(), c.settingsProblem.c_str());
        }
        times.push_back(c.closeMs);
        state.SetIterationTime(c.closeMs / 1000.0);
    }
    sim.stop();
    std::filesystem::remove_all(dir);
    if (times.empty()) return;
    std::sort(times.begin(), times.end());
    state.counters["min_ms"] = times.front();
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["max_ms"] = times.back();
    state.counters["target_ms"] = kTargetMs;
    state.counters["over_target"] = static_cast<double>(std::count_if(times.begin(), times.end(), [](double t) { return t >= kTargetMs; }));
    state.counters["failed"] = failures;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--cycles=", 9) == 0)
            cycles = std::max(1, std::atoi(argv[i] + 9));
        else
            rest.push_back(argv[i]);
    }
    int restCount = static_cast<int>(rest.size());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    gui::Application application(restCount, rest.data());
    benchmark::RegisterBenchmark("CloseWithEveryTaskRunning", BM_CloseWithEveryTaskRunning)
        ->Iterations(cycles)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
