// CPU time of one 50 ms tick's display work, beside a full redraw of the same windows
// in the same run.
//
// A tick is what a polling page does with each new reading: a new point on both
// channels of the speed-curve window, both dials of the tachometer window, the
// composition of the graph and the copy into the tachometer's double buffer, and the
// windows' repaint. A full redraw is what a range or scale change costs: both dial
// scales and needles, both series from their buffers, axes and grid, composition and
// repaint. Times are the GUI thread's CPU time (not wall time); the counters are the
// medians: tick_cpu_us, redraw_cpu_us and their ratio tick_over_redraw.
// Target: one tick at most 1 ms and at most a fifth of a full redraw.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

#include "platform/gui/Application.h"
#include "ui/SpeedWindows.h"

namespace {

double ThreadCpuUs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

double Median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The windows of a BLDC-like page: both dials and a two-channel speed curve over the
// last five seconds.
struct Displays {
    CSubDialog_Tachometer tachometer;
    CSubDialog_Graph graph;
    int tick = 0;

    Displays()
    {
        tachometer.createModeless(nullptr);
        graph.createModeless(nullptr);
        graph.SetSeriesShape(1, CDerivedGraphLabel::kLine, 0x800000, 0);
        graph.SetSeriesShape(2, CDerivedGraphLabel::kLine, 0x0000FF, 0);
        graph.SetChannelMask(3);
        for (int channel = 1; channel <= 2; ++channel) graph.SetAxisRange(channel, 1, -5000, 0, 500);
        graph.SetYAxisMaximum(8000);
        graph.SetAxisTitle(2, 1, QStringLiteral("Time [msec]"));
        graph.SetAxisTitle(2, 0, QStringLiteral("Speed [rpm]"));
        tachometer.show();
        graph.show();
        for (int i = 0; i < 300; ++i) Tick();  // a full, wrapped trace
        QCoreApplication::processEvents();
    }

    void Tick()
    {
        const int k = tick++;
        const int x = (k % 101) * 50 - 5000;
        const int rpm = 4000 + static_cast<int>(3000 * std::sin(k / 17.0));
        const int pps = rpm / 10;
        graph.AddPoint(x, rpm, rpm / 2);
        tachometer.SetValues(pps, rpm);
    }

    void FullRedraw()
    {
        tachometer.SetFullScale(15000);
        graph.SetChannelMask(3);
    }

    // The windows paint what changed.
    static void Paint() { QCoreApplication::processEvents(); }
};

// Ticks, with a full redraw after every tenth, so both are measured under the same
// conditions in the same run.
void BM_SpeedDisplayTick(benchmark::State& state)
{
    Displays d;
    std::vector<double> ticks;
    std::vector<double> redraws;
    const auto redraw = [&] {
        const double t0 = ThreadCpuUs();
        d.FullRedraw();
        Displays::Paint();
        redraws.push_back(ThreadCpuUs() - t0);
    };
    for (auto _ : state) {
        const double t0 = ThreadCpuUs();
        d.Tick();
        Displays::Paint();
        ticks.push_back(ThreadCpuUs() - t0);
        if (ticks.size() % 10 == 0) {
            state.PauseTiming();
            redraw();
            state.ResumeTiming();
        }
    }
    while (redraws.size() < 5) redraw();
    const double tick = Median(ticks);
    const double full = Median(redraws);
    state.counters["tick_cpu_us"] = tick;
    state.counters["redraw_cpu_us"] = full;
    state.counters["tick_over_redraw"] = full > 0 ? tick / full : 0;
}

// The four stages of one update on their own, to see where its time goes: the dials,
// the graph's own change, the composition, and the repaint.
template <class Dials, class GraphChange>
void TimeParts(benchmark::State& state, const char* graphCounter, Dials dials, GraphChange graphChange)
{
    Displays d;
    std::vector<double> dialTimes, graphTimes, compose, paint;
    for (auto _ : state) {
        const int k = d.tick++;
        double t0 = ThreadCpuUs();
        dials(d, k);
        double t1 = ThreadCpuUs();
        dialTimes.push_back(t1 - t0);
        graphChange(d, k);
        t0 = ThreadCpuUs();
        graphTimes.push_back(t0 - t1);
        d.graph.GraphWindow()->Canvas();
        t1 = ThreadCpuUs();
        compose.push_back(t1 - t0);
        d.graph.Redraw();
        Displays::Paint();
        paint.push_back(ThreadCpuUs() - t1);
    }
    state.counters["dials_us"] = Median(dialTimes);
    state.counters[graphCounter] = Median(graphTimes);
    state.counters["compose_us"] = Median(compose);
    state.counters["paint_us"] = Median(paint);
}

// The parts of a tick.
void BM_TickParts(benchmark::State& state)
{
    TimeParts(
        state, "points_us", [](Displays& d, int k) { d.tachometer.SetValues(k % 1500, (k * 7) % 15000); },
        [](Displays& d, int k) { d.graph.GraphWindow()->AddPoint(3, (k % 101) * 50 - 5000, (k * 13) % 8000); });
}

// The parts of a full redraw.
void BM_RedrawParts(benchmark::State& state)
{
    TimeParts(
        state, "graph_us", [](Displays& d, int) { d.tachometer.SetFullScale(15000); },
        [](Displays& d, int) { d.graph.GraphWindow()->SetChannelMask(3); });
}

}  // namespace

BENCHMARK(BM_SpeedDisplayTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickParts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RedrawParts)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    benchmark::Initialize(&argc, argv);
    gui::Application app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
