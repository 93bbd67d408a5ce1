// The time from choosing a device to its page drawn with all its controls, for one
// model of each page family, beside a plain Qt dialog with the same child widgets built
// and drawn in the same run.
//
// The real objects run as in the program: the main window, the board link, the task
// queue and the data store. The board is the simulator's board model in this process
// (answers cost what the model costs); with --board=sim it is the simulator as a
// separate process on a pseudo terminal. The pages of the stepper families write ports
// with synchronous frames while they open, and against the simulator process most of
// their time is then spent waiting for its round trips (the GUI thread sleeps, its CPU
// time is a fraction of the figure), which measures the simulator's scheduling on a
// busy machine more than the page: hence the board in memory by default.
//
// The main window makes the page when a driver is chosen and shows it on OK; the page's
// own opening is timed from the moment the page selector is asked for it (after the main
// window's firmware check and board initialisation, which belong to choosing a driver)
// through its construction, building and board restore (the main window queues the
// default GPIO and PWM records again), OK showing it with its speed windows, until every
// widget of every window it opened that shows on screen has been painted. The restore's
// pacing (5 ms per GPIO record, 2 ms per PWM record, 100 ms at the end) is held on the
// task queue's side now, so the GUI thread's pauses that PauseClock counts apart (and
// leaves out of page_ms; ratio_with_pauses keeps them in) are those of other sleeps only.
// They pass without waiting unless --pauses=slept (see PauseClock).
//
// The baseline: every window the page opened, described as Qt widgets (class, place,
// caption, items, range) and built again as a plain QDialog of Qt widgets only, shown,
// raised and activated, until the same condition holds. Counters per family: widgets
// (child widgets of the page's windows), windows, page_ms, page_cpu_ms (the GUI
// thread's CPU in it), pause_ms (of it waited_ms really waited), baseline_ms, ratio
// (page_ms / baseline_ms), ratio_with_pauses, baseline_cpu_ms and cpu_ratio (the GUI
// thread's CPU on both sides: steadier than the times when other programs share the
// cores), page_faults and baseline_faults (the GUI thread's minor page faults: fresh memory touched). Of page_ms,
// build_ms is the part before OK (the page made when its driver is chosen, pauses left
// out) and ok_ms the part from OK until drawn; ratio_from_ok is ok_ms / baseline_ms. The
// benchmark's time is page_ms.
// Target: ratio at most 2 for every family.
//
// The lens page is the page selector's own, on the model's built-in surface.
//
// BM_FirstOpen is what a user waits for: each run is a fresh process (this program with
// --first-open=KEY) that starts the program's objects, chooses the driver and presses OK
// once, with the program's pauses real. choose_ms is the wait after choosing the driver
// (the page is made and the board restored then), ok_ms the wait from OK until every
// window of the page is drawn and a posted event has been answered (the page takes input),
// first_ms both together; the benchmark's time is first_ms. setup_ms is the time from
// choosing the driver until the page's board set-up (which waits on the task queue's side
// for the board's paced defaults, without holding the GUI thread) has finished.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "page_open/PlainMirror.h"
#include "platform/core/Clock.h"
#include "platform/gui/Application.h"
#include "support/ProgramRig.h"
#include "surface/XmlModule.h"
#include "surfacepage/LensPage.h"
#include "ui/DerivedDialog.h"

namespace {

// One line per page family: its name in the report and the device key of the model
// whose page is opened.
struct Family {
    const char* name;
    std::uint32_t key;
};
constexpr Family kFamilies[] = {
    {"stepper", 0x100}, {"dual_stepper", 0x106}, {"dc", 0x200}, {"bldc", 0x300}, {"lens", 0x400},
};

constexpr int kDrawLimitMs = 10000;

// The system clock, counting the time the GUI thread spends in the program's pauses.
// The pauses let the tasks queued before them put their frames on the wire before the GUI
// thread goes on. By default a pause waits for just that (the task queue's fence, at most
// the pause's length) and this clock's time jumps ahead by the rest, for every thread. On
// a virtual machine, memory left unwritten for some tens of milliseconds becomes several
// times slower to write again (the host's page tracking), so after the restore's real
// 290 ms the page's remaining work would be charged for the host, not for itself, while
// the plain dialog never pauses. --pauses=slept sleeps them as the program does.
class PauseClock final : public platform::IClock {
public:
    std::uint64_t nowMs() override { return system_.nowMs() + skippedMs_.load(); }
    std::uint64_t nowUs() override { return system_.nowUs() + skippedMs_.load() * 1000; }
    void sleepMs(std::uint32_t ms) override {
        if (std::this_thread::get_id() != gui_) {
            system_.sleepMs(ms);
            return;
        }
        QElapsedTimer slept;
        slept.start();
        if (sleep_ || tasks_ == nullptr) {
            system_.sleepMs(ms);
        } else {
            tasks_->Fence(ms);
            const auto waitedMs = static_cast<std::uint64_t>(slept.elapsed());
            if (waitedMs < ms) skippedMs_ += ms - waitedMs;
        }
        const double waitedUs = static_cast<double>(slept.nsecsElapsed()) / 1e3;
        pausedUs_ += std::max(waitedUs, ms * 1000.0);
        sleptUs_ += waitedUs;
    }
    // Read on the GUI thread only, the one thread that adds to them: the pauses' length,
    // and the part of it that the GUI thread really waited.
    double PausedUs() const { return pausedUs_; }
    double SleptUs() const { return sleptUs_; }
    void SleepPauses(bool sleep) { sleep_ = sleep; }
    // The program's task queue, whose fence a pause waits for.
    void FenceOn(ITaskListener* tasks) { tasks_ = tasks; }

private:
    platform::SystemClock system_;
    std::thread::id gui_ = std::this_thread::get_id();
    double pausedUs_ = 0;
    double sleptUs_ = 0;
    std::atomic<std::uint64_t> skippedMs_{0};
    bool sleep_ = false;
    ITaskListener* tasks_ = nullptr;
};

PauseClock& pauseClock() {
    static PauseClock clock;
    return clock;
}

// When the page selector was last asked for a page.
struct OpeningStart {
    std::optional<QElapsedTimer> since;
    double pausedUs = 0;
    double sleptUs = 0;
    double cpuUs = 0;
    long faults = 0;
};
OpeningStart& openingStart() {
    static OpeningStart start;
    return start;
}

// The program's page selector, noting when each page is asked for.
class TimedSelector final : public ISelector {
public:
    gui::Dialog* GetDialogPointer(gui::Window* owner, std::uint32_t kind, std::uint32_t index,
                                  const QString& name) override {
        openingStart().since.emplace();
        openingStart().since->start();
        openingStart().pausedUs = pauseClock().PausedUs();
        openingStart().sleptUs = pauseClock().SleptUs();
        openingStart().cpuUs = benchrig::ThreadCpuUs();
        openingStart().faults = benchrig::ThreadMinorFaults();
        DeleteDialogPointer();
        return real_.GetDialogPointer(owner, kind, index, name);
    }
    int DeleteDialogPointer() override { return real_.DeleteDialogPointer(); }

private:
    CDialogSelector real_;
};

QList<QWidget*> VisibleWindows() {
    QList<QWidget*> shown;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) shown << w;
    }
    return shown;
}

// The windows shown from now on that were not shown before: the page's.
std::function<QList<QWidget*>()> WindowsOpenedFromNow() {
    return [before = VisibleWindows()] {
        QList<QWidget*> opened;
        for (QWidget* w : VisibleWindows()) {
            if (!before.contains(w)) opened << w;
        }
        return opened;
    };
}

// Runs the event loop without sleeping until every window is drawn; false at the limit.
bool SpinUntilDrawn(const pagebench::PaintWatch& watch, const std::function<QList<QWidget*>()>& windows) {
    QElapsedTimer limit;
    limit.start();
    while (limit.elapsed() < kDrawLimitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const QList<QWidget*> now = windows();
        if (!now.isEmpty() && std::all_of(now.begin(), now.end(), [&](const QWidget* w) { return watch.Drawn(*w); }))
            return true;
    }
    return false;
}

void DeleteDeferred() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

struct Opening {
    double wallUs = 0;
    double okUs = 0;  // from OK until drawn
    double pausedUs = 0;
    double sleptUs = 0;  // of the pauses, the time really waited
    double cpuUs = 0;    // the GUI thread's
    long faults = 0;     // the GUI thread's minor page faults
    std::vector<pagebench::WidgetShape> windows;
    std::string error;
};

struct Rig : benchrig::Program {
    pagebench::PaintWatch watch;

    explicit Rig(benchrig::Board board)
        : benchrig::Program(
              "page-open-bench", [] { return std::make_unique<TimedSelector>(); }, board) {}

    // Chooses the device, presses OK and waits until the page is drawn; the page is
    // closed again afterwards.
    Opening Open(std::uint32_t key) {
        Opening o;
        const auto pageWindows = WindowsOpenedFromNow();
        watch.Clear();
        openingStart().since.reset();
        if (!ChooseDevice(key)) o.error = "no device has the key";
        if (o.error.empty() && !openingStart().since) o.error = "the main window asked for no page";
        QElapsedTimer fromOk;
        fromOk.start();
        const double sleptBeforeOk = pauseClock().SleptUs();
        if (o.error.empty()) PressOk();
        if (o.error.empty() && window->CurrentPage() == nullptr) o.error = "no page was made";
        if (o.error.empty() && !SpinUntilDrawn(watch, pageWindows)) o.error = "the page was not drawn in time";
        if (o.error.empty()) {
            o.wallUs = static_cast<double>(openingStart().since->nsecsElapsed()) / 1e3;
            o.okUs = static_cast<double>(fromOk.nsecsElapsed()) / 1e3 - (pauseClock().SleptUs() - sleptBeforeOk);
            o.pausedUs = pauseClock().PausedUs() - openingStart().pausedUs;
            o.sleptUs = pauseClock().SleptUs() - openingStart().sleptUs;
            o.cpuUs = benchrig::ThreadCpuUs() - openingStart().cpuUs;
            o.faults = benchrig::ThreadMinorFaults() - openingStart().faults;
            for (const QWidget* w : pageWindows()) o.windows.push_back(pagebench::Describe(*w));
        }
        if (const auto* lens = dynamic_cast<const CDeviceDialog_Lens*>(window->CurrentPage())) {
            if (!lens->SurfaceProblems().empty()) o.error = "the lens surface: " + lens->SurfaceProblems().front();
        }
        window->CloseDevicePage();
        DeleteDeferred();
        return o;
    }

    struct Plain {
        double wallUs = -1;  // negative: not drawn in time
        double cpuUs = 0;    // the GUI thread's
        long faults = 0;
    };
    // The same windows as plain dialogs, shown and drawn.
    Plain Baseline(const std::vector<pagebench::WidgetShape>& windows) {
        watch.Clear();
        const double cpuBefore = benchrig::ThreadCpuUs();
        const long faultsBefore = benchrig::ThreadMinorFaults();
        QElapsedTimer elapsed;
        elapsed.start();
        std::vector<std::unique_ptr<QDialog>> dialogs;
        for (const pagebench::WidgetShape& shape : windows) {
            dialogs.push_back(pagebench::BuildPlain(shape));
            dialogs.back()->show();
            dialogs.back()->raise();
            dialogs.back()->activateWindow();
        }
        const bool drawn = SpinUntilDrawn(watch, [&dialogs] {
            QList<QWidget*> shown;
            for (const auto& d : dialogs) shown << d.get();
            return shown;
        });
        Plain plain;
        if (drawn) plain.wallUs = static_cast<double>(elapsed.nsecsElapsed()) / 1e3;
        plain.cpuUs = benchrig::ThreadCpuUs() - cpuBefore;
        plain.faults = benchrig::ThreadMinorFaults() - faultsBefore;
        dialogs.clear();
        DeleteDeferred();
        return plain;
    }
};

benchrig::Board g_board = benchrig::Board::Memory;

// Made at the first benchmark and ended in main, while the application still exists.
std::unique_ptr<Rig>& rigSlot() {
    static std::unique_ptr<Rig> r;
    return r;
}

Rig& rig() {
    if (!rigSlot()) {
        rigSlot() = std::make_unique<Rig>(g_board);
        pauseClock().FenceOn(rigSlot()->tasks.get());
    }
    return *rigSlot();
}

void BM_PageOpen(benchmark::State& state, Family family) {
    Rig& r = rig();
    if (!r.error.empty()) {
        state.SkipWithError(r.error.c_str());
        return;
    }
    // Once before timing, so that both sides find Qt's caches as warm.
    if (const Opening warm = r.Open(family.key); !warm.error.empty()) {
        state.SkipWithError(warm.error.c_str());
        return;
    }
    double pageUs = 0, okUs = 0, pausedUs = 0, sleptUs = 0, cpuUs = 0, baselineUs = 0, baselineCpuUs = 0, faults = 0,
           baselineFaults = 0;
    int widgets = 0, windows = 0, runs = 0;
    for (auto _ : state) {
        const Opening o = r.Open(family.key);
        if (!o.error.empty()) {
            state.SkipWithError(o.error.c_str());
            return;
        }
        const Rig::Plain base = r.Baseline(o.windows);
        if (base.wallUs < 0) {
            state.SkipWithError("the plain dialog was not drawn in time");
            return;
        }
        const double page = o.wallUs - o.sleptUs;
        state.SetIterationTime(page / 1e6);
        pageUs += page;
        okUs += o.okUs;
        pausedUs += o.pausedUs;
        sleptUs += o.sleptUs;
        cpuUs += o.cpuUs;
        baselineUs += base.wallUs;
        baselineCpuUs += base.cpuUs;
        faults += static_cast<double>(o.faults);
        baselineFaults += static_cast<double>(base.faults);
        windows = static_cast<int>(o.windows.size());
        widgets = 0;
        for (const pagebench::WidgetShape& w : o.windows) widgets += pagebench::ChildCount(w);
        ++runs;
    }
    if (runs == 0) return;
    state.counters["widgets"] = widgets;
    state.counters["windows"] = windows;
    state.counters["page_ms"] = pageUs / runs / 1e3;
    state.counters["build_ms"] = (pageUs - okUs) / runs / 1e3;
    state.counters["ok_ms"] = okUs / runs / 1e3;
    state.counters["ratio_from_ok"] = okUs / baselineUs;
    state.counters["pause_ms"] = pausedUs / runs / 1e3;
    state.counters["waited_ms"] = sleptUs / runs / 1e3;
    state.counters["page_cpu_ms"] = cpuUs / runs / 1e3;
    state.counters["baseline_ms"] = baselineUs / runs / 1e3;
    state.counters["ratio"] = pageUs / baselineUs;
    state.counters["ratio_with_pauses"] = (pageUs + pausedUs) / baselineUs;
    state.counters["baseline_cpu_ms"] = baselineCpuUs / runs / 1e3;
    state.counters["cpu_ratio"] = cpuUs / baselineCpuUs;
    state.counters["page_faults"] = faults / runs;
    state.counters["baseline_faults"] = baselineFaults / runs;
}

// The child of BM_FirstOpen: opens the page of `key` once in this fresh process, with the
// program's pauses real, and prints "CHOOSE_MS OK_MS SETUP_MS" on standard output.
int FirstOpenChild(std::uint32_t key) {
    Rig r(g_board);
    if (!r.error.empty()) {
        std::fprintf(stderr, "%s\n", r.error.c_str());
        return 1;
    }
    const auto pageWindows = WindowsOpenedFromNow();
    QElapsedTimer choose;
    choose.start();
    if (!r.ChooseDevice(key)) {
        std::fprintf(stderr, "no device has the key\n");
        return 1;
    }
    const double chooseUs = static_cast<double>(choose.nsecsElapsed()) / 1e3;
    QElapsedTimer fromOk;
    fromOk.start();
    r.PressOk();
    if (r.window->CurrentPage() == nullptr || !SpinUntilDrawn(r.watch, pageWindows)) {
        std::fprintf(stderr, "the page was not drawn\n");
        return 1;
    }
    bool answered = false;
    QTimer::singleShot(0, [&answered] { answered = true; });
    while (!answered) QCoreApplication::processEvents(QEventLoop::AllEvents);
    const double okUs = static_cast<double>(fromOk.nsecsElapsed()) / 1e3;
    // The board's set-up goes on behind the page (its pacing on the task queue's side).
    auto* page = dynamic_cast<CDerivedDialog*>(r.window->CurrentPage());
    while (page != nullptr && page->BoardSetUpPending()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double setUpUs = static_cast<double>(choose.nsecsElapsed()) / 1e3;
    std::printf("%.3f %.3f %.3f\n", chooseUs / 1e3, okUs / 1e3, setUpUs / 1e3);
    r.window->CloseDevicePage();
    DeleteDeferred();
    return 0;
}

std::string g_self;  // this program's path, for BM_FirstOpen's children

void BM_FirstOpen(benchmark::State& state, Family family) {
    double chooseMs = 0, okMs = 0, setUpMs = 0;
    int runs = 0;
    for (auto _ : state) {
        char keyArg[32];
        std::snprintf(keyArg, sizeof keyArg, "%u", family.key);
        std::string command = "'" + g_self + "' --first-open=" + keyArg;
        if (g_board == benchrig::Board::Simulator) command += " --board=sim";
        FILE* child = ::popen(command.c_str(), "r");
        double c = -1, o = -1, s = -1;
        const int read = child != nullptr ? std::fscanf(child, "%lf %lf %lf", &c, &o, &s) : 0;
        const int status = child != nullptr ? ::pclose(child) : -1;
        if (read != 3 || status != 0) {
            state.SkipWithError("the fresh process did not open the page");
            return;
        }
        state.SetIterationTime((c + o) / 1e3);
        chooseMs += c;
        okMs += o;
        setUpMs += s;
        ++runs;
    }
    if (runs == 0) return;
    state.counters["choose_ms"] = chooseMs / runs;
    state.counters["ok_ms"] = okMs / runs;
    state.counters["first_ms"] = (chooseMs + okMs) / runs;
    state.counters["setup_ms"] = setUpMs / runs;
}

}  // namespace

// Qt's offscreen platform says at every raise that it cannot raise; both sides raise.
QtMessageHandler g_previousHandler = nullptr;

void QuietRaise(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QStringLiteral("does not support raise()"))) return;
    if (g_previousHandler != nullptr) g_previousHandler(type, context, text);
}

int main(int argc, char** argv) {
    g_previousHandler = qInstallMessageHandler(QuietRaise);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    g_self = argv[0];
    benchmark::Initialize(&argc, argv);
    std::optional<std::uint32_t> firstOpen;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--board=sim") g_board = benchrig::Board::Simulator;
        if (arg == "--pauses=slept") pauseClock().SleepPauses(true);
        if (arg.rfind("--first-open=", 0) == 0) firstOpen = static_cast<std::uint32_t>(std::stoul(arg.substr(13)));
    }
    gui::Application app(argc, argv);
    if (firstOpen) {
        XmlInitialize();
        const int result = FirstOpenChild(*firstOpen);
        XmlUninitialize();
        return result;
    }
    const platform::ScopedClock clock(pauseClock());
    XmlInitialize();
    for (const Family& f : kFamilies) {
        // A fixed count of fresh processes: each also waits out the board's set-up behind
        // the page, which the short figure would otherwise have run hundreds of times.
        benchmark::RegisterBenchmark((std::string("BM_FirstOpen/") + f.name).c_str(), BM_FirstOpen, f)
            ->Iterations(5)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    for (const Family& f : kFamilies) {
        benchmark::RegisterBenchmark((std::string("BM_PageOpen/") + f.name).c_str(), BM_PageOpen, f)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    pauseClock().FenceOn(nullptr);
    rigSlot().reset();
    XmlUninitialize();
    benchmark::Shutdown();
    return 0;
}
