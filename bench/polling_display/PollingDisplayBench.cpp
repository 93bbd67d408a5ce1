// CPU per polling tick of the BLDC page's whole road back, beside the same page idle in
// the same run, and the resident memory with the page and every speed window open.
//
// The real objects run as in the program: the main window, the board link, the task
// queue and the data store, with the simulator as a separate process on a pseudo
// terminal. A BLDC model is chosen and OK pressed; the page's tachometer and speed-curve
// windows are shown and "Record Graph Data" writes to a file. Every 50 ms the polling
// task reads the board, publishes the words and posts 0x812C; the page computes pps and
// rpm, updates its labels, both dials and the graph, and appends the record row.
//
// The tick figure is this process's CPU time (every thread: the polling task's reads
// and publish, the GUI thread's page update and painting) divided by the ticks the page
// handled; the idle figure is the same process's CPU per 50 ms with polling switched
// off. The simulator's measured count is set through its command input: one steady
// speed, or a speed that changes at every tick. Counters: tick_cpu_us (and its GUI
// thread part gui_thread_us), idle_cpu_us (per 50 ms), rss_mb. Sending the simulator
// its counts is left out of the figures.
// Target: a tick at most 1 ms (2% of a core); at most 80 MB resident.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <cmath>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "pages/bldc/BldcPage.h"
#include "platform/gui/Application.h"
#include "support/ProgramRig.h"
#include "ui/SpeedWindows.h"

namespace {

using benchrig::WaitFor;

constexpr std::uint32_t kKey = 0x300;
constexpr int kTicksPerIteration = 40;  // two seconds of polling

double ProcessCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

double ResidentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

// The program with the BLDC page open, its speed windows shown and its record writing.
struct Program : benchrig::Program {
    CDeviceDialog_BLDC* page = nullptr;
    int step_ = 0;
    double harnessUs = 0;  // CPU spent sending the simulator its counts

    Program() : benchrig::Program("polling-bench") {
        if (!error.empty() || !OpenPage()) return;
        // Every speed window open, and the record file writing.
        if (auto* t = page->TachometerPanel()) t->show();
        if (auto* g = page->GraphPanel()) g->show();
        dialogs.answerFile(QString::fromStdString((dir / "speed.csv").string()));
        page->send(gui::msg::Command, gui::makeWParam(pagemenu::kExportSpeedGraph, 0), 0);
        Change(23, 1);
        WaitFor([] { return false; }, 500);
    }

    bool OpenPage() {
        ChooseDevice(kKey);
        dialogs.answerBox(gui::id::No);  // a firmware question, where the model has one
        PressOk();
        page = dynamic_cast<CDeviceDialog_BLDC*>(window->CurrentPage());
        if (page == nullptr) error = "the BLDC page did not open";
        return page != nullptr;
    }
    // A change as the control reports it.
    void Change(std::uint32_t kind, std::uint32_t value) {
        if (CDerivedControl* c = page->FindControl(kind, 0)) {
            c->SetValue(value);
            c->NotifyParent();
        }
    }
    // Runs the program until the page has handled `ticks` polling messages; false when
    // they did not come.
    // With `changing`, the motor's speed changes at every tick, smoothly as a motor's
    // does (the count swings between 400 and 1600), so every tick moves the needle and
    // the readout; else it holds one speed (the count stays 1000).
    bool RunTicks(int ticks, bool changing) {
        if (!changing) sim->Command("measured 1000");
        int seen = 0;
        std::uint32_t last = page->SampleCounter();
        return WaitFor(
            [&] {
                const std::uint32_t now = page->SampleCounter();
                if (changing && now != last) {
                    // The stimulus is the benchmark's work, not the program's: not counted.
                    const double before = benchrig::ThreadCpuUs();
                    sim->Command("measured " + std::to_string(1000 + std::lround(600 * std::sin(++step_ / 10.0))));
                    harnessUs += benchrig::ThreadCpuUs() - before;
                }
                seen += static_cast<int>((now + 100 - last) % 100);
                last = now;
                return seen >= ticks;
            },
            ticks * 50 * 4 + 2000);
    }
};

// Made at the first benchmark and ended in main, while the application still exists.
std::unique_ptr<Program>& programSlot() {
    static std::unique_ptr<Program> p;
    return p;
}

Program& program() {
    if (!programSlot()) programSlot() = std::make_unique<Program>();
    return *programSlot();
}

void BM_PollingTick(benchmark::State& state) {
    Program& p = program();
    if (!p.error.empty()) {
        state.SkipWithError(p.error.c_str());
        return;
    }
    double cpu = 0;
    double gui = 0;
    int ticks = 0;
    for (auto _ : state) {
        const double before = ProcessCpuUs();
        const double guiBefore = benchrig::ThreadCpuUs();
        const double harnessBefore = p.harnessUs;
        if (!p.RunTicks(kTicksPerIteration, state.range(0) != 0)) {
            state.SkipWithError("polling messages stopped coming");
            return;
        }
        const double harness = p.harnessUs - harnessBefore;
        cpu += ProcessCpuUs() - before - harness;
        gui += benchrig::ThreadCpuUs() - guiBefore - harness;
        ticks += kTicksPerIteration;
    }
    state.counters["tick_cpu_us"] = cpu / ticks;
    state.counters["gui_thread_us"] = gui / ticks;
    state.counters["rss_mb"] = ResidentMb();
}

void BM_IdlePage(benchmark::State& state) {
    Program& p = program();
    if (!p.error.empty()) {
        state.SkipWithError(p.error.c_str());
        return;
    }
    p.Change(26, 0);  // "Polling Stop"
    WaitFor([] { return false; }, 300);
    double cpu = 0;
    double periods = 0;
    for (auto _ : state) {
        const double before = ProcessCpuUs();
        WaitFor([] { return false; }, kTicksPerIteration * 50);
        cpu += ProcessCpuUs() - before;
        periods += kTicksPerIteration;
    }
    p.Change(26, 1);
    state.counters["idle_cpu_us"] = cpu / periods;
    state.counters["rss_mb"] = ResidentMb();
}

}  // namespace

// Argument 0: a steady speed; 1: a speed that changes at every tick.
BENCHMARK(BM_PollingTick)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IdlePage)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    benchmark::Initialize(&argc, argv);
    gui::Application app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    programSlot().reset();
    benchmark::Shutdown();
    return 0;
}
