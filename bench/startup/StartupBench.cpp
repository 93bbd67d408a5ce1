// Time from process start to the main window shown, without a board, beside an empty
// Qt dialog program started the same way in the same run. Each program says on stderr
// when its window is up ("main window open", "empty dialog open"); the time runs from
// just before the spawn to that line, and the program is then killed.
//
// Both programs run from copies in a folder of the benchmark's own, so Tamsiro's
// settings file and instance lock are not the user's. The board port names a path
// that does not exist. With a display (DISPLAY or WAYLAND_DISPLAY) the programs show
// their windows on it; without one, or when QT_QPA_PLATFORM says so, off screen.
//
// Besides the empty dialog, the same dialog holding one line of text is timed: any
// window with text pays for the font set-up that the empty one never does.
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Programs {
    std::filesystem::path dir;
    std::filesystem::path tamsiro;
    std::filesystem::path empty;
    std::vector<std::string> env;

    Programs() {
        dir = std::filesystem::temp_directory_path() / ("tamsiro-startup-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        tamsiro = dir / "tamsiro";
        empty = dir / "startup_empty_dialog";
        std::filesystem::copy_file(TAMSIRO_PROGRAM, tamsiro, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(EMPTY_DIALOG_PROGRAM, empty, std::filesystem::copy_options::overwrite_existing);
        bool platformSet = false;
        bool display = false;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (entry.rfind("TAMSIRO_BOARD_PORT=", 0) == 0 || entry.rfind("TAMSIRO_DEBUG=", 0) == 0 ||
                entry.rfind("XDG_CONFIG_HOME=", 0) == 0) {
                continue;
            }
            if (entry.rfind("QT_QPA_PLATFORM=", 0) == 0) platformSet = true;
            if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0) display = true;
            env.push_back(entry);
        }
        if (!platformSet && !display) env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("TAMSIRO_BOARD_PORT=" + (dir / "no-board").string());
        // The trace carries the marker; the settings file goes into the folder's own.
        env.push_back("TAMSIRO_DEBUG=1");
        env.push_back("XDG_CONFIG_HOME=" + (dir / "config").string());
    }
    ~Programs() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Programs& programs() {
    static Programs p;
    return p;
}

// Seconds from the spawn to the line that holds `marker`; negative when it never came.
double TimeToWindow(const std::filesystem::path& program, const char* marker, const char* argument = nullptr) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", 0, 0);

    std::vector<char*> envp;
    for (std::string& e : programs().env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = program.string();
    std::string arg = argument != nullptr ? argument : "";
    char* argv[] = {path.data(), argument != nullptr ? arg.data() : nullptr, nullptr};

    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return -1;
    }

    double seconds = -1;
    std::string seen;
    char buffer[4096];
    while (Clock::now() - start < std::chrono::seconds(30)) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(n));
        if (seen.find(marker) != std::string::npos) {
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
            break;
        }
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(pipeFds[0]);
    return seconds;
}

// Alternates the two programs so that both see the same machine state.
void BM_StartupToMainWindow(benchmark::State& state) {
    double tamsiroTotal = 0;
    double emptyTotal = 0;
    double labelledTotal = 0;
    int runs = 0;
    for (auto _ : state) {
        const double empty = TimeToWindow(programs().empty, "empty dialog open");
        const double labelled = TimeToWindow(programs().empty, "empty dialog open", "label");
        const double tamsiro = TimeToWindow(programs().tamsiro, "main window open");
        if (empty < 0 || labelled < 0 || tamsiro < 0) {
            state.SkipWithError("a program did not show its window");
            break;
        }
        state.SetIterationTime(tamsiro);
        tamsiroTotal += tamsiro;
        emptyTotal += empty;
        labelledTotal += labelled;
        ++runs;
    }
    if (runs > 0) {
        state.counters["tamsiro_ms"] = tamsiroTotal / runs * 1000.0;
        state.counters["empty_dialog_ms"] = emptyTotal / runs * 1000.0;
        state.counters["text_dialog_ms"] = labelledTotal / runs * 1000.0;
        state.counters["ratio"] = tamsiroTotal / emptyTotal;
        state.counters["ratio_to_text_dialog"] = tamsiroTotal / labelledTotal;
    }
}
BENCHMARK(BM_StartupToMainWindow)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
