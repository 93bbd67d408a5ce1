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

#include <QByteArray>
#include <QCoreApplication>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "app/AppSettings.h"
#include "app/DeviceTable.h"
#include "app/FileDialogNames.h"
#include "app/ProfileInfo.h"
#include "app/QuillfenDlg.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "pages/bldc/BldcPage.h"
#include "platform/core/BoardPorts.h"
#include "platform/gui/Application.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Controls.h"
#include "tasks/TaskListener.h"
#include "ui/AppServices.h"
#include "ui/SpeedWindows.h"

extern char** environ;

namespace {

constexpr std::uint32_t kKey = 0x300;
constexpr int kTicksPerIteration = 40;  // two seconds of polling

double ProcessCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

double GuiThreadCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
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

// Runs the event loop, sleeping between events (a spinning wait would be counted as the
// program's CPU), until done() or the time limit.
bool WaitFor(const std::function<bool()>& done, int limitMs) {
    bool expired = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&expired] { expired = true; });
    deadline.start(limitMs);
    while (!done() && !expired) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// The simulator as a child process, keeping a link to its port; its commands go to its
// standard input.
class Simulator {
public:
    explicit Simulator(const std::filesystem::path& link) {
        std::string program = BOARD_SIM_PROGRAM;
        std::string linkArg = link.string();
        char linkFlag[] = "--link";
        char stay[] = "--stay";
        char* argv[] = {program.data(), linkFlag, linkArg.data(), stay, nullptr};
        int commands[2];
        if (::pipe2(commands, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, commands[0], STDIN_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(commands[0]);
        commands_ = commands[1];
    }
    ~Simulator() {
        if (commands_ >= 0) ::close(commands_);
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    bool Running() const { return pid_ > 0; }
    void Command(const std::string& line) {
        const std::string text = line + "\n";
        if (commands_ >= 0 && ::write(commands_, text.data(), text.size()) < 0) return;
    }

private:
    pid_t pid_ = 0;
    int commands_ = -1;
};

// The program's objects in the order the application makes them (destroyed in reverse).
struct Program {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("tamsiro-polling-bench-" + std::to_string(::getpid()));
    std::filesystem::path link = dir / "board";
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<CSettingsStore> settings;
    std::unique_ptr<CFileDialogNames> names;
    std::unique_ptr<CDerivedDataContainer> data;
    std::shared_ptr<platform::PathBoardLocator> locator;
    std::unique_ptr<CRG1Micon> board;
    std::unique_ptr<CDerivedTaskListener> tasks;
    std::unique_ptr<CProfileInfo> profile;
    std::unique_ptr<CQuillfenDlg> window;
    gui::ScriptedDialogs dialogs;  // answers the record file's Save dialog
    CDeviceDialog_BLDC* page = nullptr;
    std::string error;
    int step_ = 0;
    double harnessUs = 0;  // CPU spent sending the simulator its counts

    Program() {
        std::filesystem::create_directories(dir);
        // The settings file and the instance lock go into the benchmark's own folder.
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "config").string()));
        sim = std::make_unique<Simulator>(link);
        if (!sim->Running() || !WaitFor([this] { return std::filesystem::exists(link); }, 5000)) {
            error = "the simulator did not start";
            return;
        }
        settings = std::make_unique<CSettingsStore>();
        names = std::make_unique<CFileDialogNames>();
        data = std::make_unique<CDerivedDataContainer>(names.get());
        locator = std::make_shared<platform::PathBoardLocator>(link.string());
        board = std::make_unique<CRG1Micon>(std::make_unique<CNativeTranslator>(kBoardPortClass, locator));
        tasks = std::make_unique<CDerivedTaskListener>(0);
        profile = std::make_unique<CProfileInfo>(settings.get());
        appServices().data = data.get();
        appServices().tasks = tasks.get();
        appServices().board = board.get();
        CQuillfenDlg::Services s;
        s.board = board.get();
        s.tasks = tasks.get();
        s.data = data.get();
        s.profile = profile.get();
        s.watchLocator = locator;
        window = std::make_unique<CQuillfenDlg>(std::move(s));
        if (!window->createModeless(nullptr) || !WaitFor([this] { return board->IsConnected() != 0; }, 5000)) {
            error = "the board did not connect";
            return;
        }
        WaitFor([] { return false; }, 500);  // the board's initialisation
        if (!OpenPage()) return;
        // Every speed window open, and the record file writing.
        if (auto* t = page->TachometerPanel()) t->show();
        if (auto* g = page->GraphPanel()) g->show();
        dialogs.answerFile(QString::fromStdString((dir / "speed.csv").string()));
        page->send(gui::msg::Command, gui::makeWParam(pagemenu::kExportSpeedGraph, 0), 0);
        Change(23, 1);
        WaitFor([] { return false; }, 500);
    }
    ~Program() {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        tasks.reset();
        appServices() = AppServices{};
        board.reset();
        sim.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    bool OpenPage() {
        for (const auto& e : devicetable::FullList()) {
            if (devicetable::Key(e.code) != kKey) continue;
            Choose(mainwin::kMotorTypeList, static_cast<int>(devicetable::Kind(e.code)));
            const auto& shown = window->ShownDevices();
            for (std::size_t i = 0; i < shown.size(); ++i) {
                if (shown[i].name == e.name) Choose(mainwin::kDriverList, static_cast<int>(i));
            }
        }
        dialogs.answerBox(gui::id::No);  // a firmware question, where the model has one
        window->send(gui::msg::Command, gui::makeWParam(gui::id::Ok, gui::notify::ButtonClicked), 0);
        page = dynamic_cast<CDeviceDialog_BLDC*>(window->CurrentPage());
        if (page == nullptr) error = "the BLDC page did not open";
        return page != nullptr;
    }
    void Choose(int list, int selection) {
        window->itemAs<gui::ComboBox>(list)->setCurSel(selection);
        window->send(gui::msg::Command,
                     gui::makeWParam(static_cast<std::uint16_t>(list), gui::notify::ComboSelectionChange), 0);
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
                    const double before = GuiThreadCpuUs();
                    sim->Command("measured " + std::to_string(1000 + std::lround(600 * std::sin(++step_ / 10.0))));
                    harnessUs += GuiThreadCpuUs() - before;
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
        const double guiBefore = GuiThreadCpuUs();
        const double harnessBefore = p.harnessUs;
        if (!p.RunTicks(kTicksPerIteration, state.range(0) != 0)) {
            state.SkipWithError("polling messages stopped coming");
            return;
        }
        const double harness = p.harnessUs - harnessBefore;
        cpu += ProcessCpuUs() - before - harness;
        gui += GuiThreadCpuUs() - guiBefore - harness;
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
