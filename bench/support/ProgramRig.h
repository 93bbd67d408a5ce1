// The program's own objects for benchmarks that go through the main window: the board
// simulator as a process of its own (so its work is not counted as ours) or the board
// model in memory (so its latency is not counted either), the settings,
// the data store, the board link, the task queue and the main window, made in the order
// the application makes them and destroyed in reverse. Header only; GUI thread only.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QByteArray>
#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/DeviceTable.h"
#include "app/DialogSelector.h"
#include "app/FileDialogNames.h"
#include "app/QuillfenDlg.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "parsers/AppSettings.h"
#include "parsers/ProfileInfo.h"
#include "platform/core/BoardPorts.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Messages.h"
#include "support/MemoryBoard.h"
#include "tasks/TaskListener.h"
#include "ui/AppServices.h"

extern char** environ;

namespace benchrig {

// The calling thread's CPU time.
inline double ThreadCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

// The calling thread's minor page faults so far (fresh memory touched for the first time).
inline long ThreadMinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

// Runs the event loop, sleeping between events (a spinning wait would be counted as the
// program's CPU), until done() or the time limit.
inline bool WaitFor(const std::function<bool()>& done, int limitMs) {
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
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    bool Running() const { return pid_ > 0; }
    void Command(const std::string& line) {
        const std::string text = line + "\n";
        if (commands_ >= 0 && ::write(commands_, text.data(), text.size()) < 0) return;
    }

private:
    pid_t pid_ = 0;
    int commands_ = -1;
};

enum class Board { Simulator, Memory };

// The main window over the board, connected and past the board's initialisation;
// `error` says what failed instead.
struct Program {
    std::filesystem::path dir;
    std::filesystem::path link;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<CSettingsStore> settings;
    std::unique_ptr<CFileDialogNames> names;
    std::unique_ptr<CDerivedDataContainer> data;
    std::shared_ptr<platform::PathBoardLocator> locator;
    std::unique_ptr<CRG1Micon> board;
    std::unique_ptr<CDerivedTaskListener> tasks;
    std::unique_ptr<CProfileInfo> profile;
    std::unique_ptr<CQuillfenDlg> window;
    gui::ScriptedDialogs dialogs;  // answers the program's boxes and file dialogs
    std::string error;

    // `tag` names the benchmark's own folder; `makeSelector` as the main window takes it.
    explicit Program(const std::string& tag, std::function<std::unique_ptr<ISelector>()> makeSelector = {},
                     Board kind = Board::Simulator)
        : dir(std::filesystem::temp_directory_path() / ("tamsiro-" + tag + "-" + std::to_string(::getpid()))),
          link(dir / "board") {
        std::filesystem::create_directories(dir);
        // The settings file and the instance lock go into the benchmark's own folder.
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "config").string()));
        if (kind == Board::Simulator) {
            sim = std::make_unique<Simulator>(link);
            if (!sim->Running() || !WaitFor([this] { return std::filesystem::exists(link); }, 5000)) {
                error = "the simulator did not start";
                return;
            }
            locator = std::make_shared<platform::PathBoardLocator>(link.string());
            board = std::make_unique<CRG1Micon>(std::make_unique<CNativeTranslator>(kBoardPortClass, locator));
        } else {
            board = std::make_unique<CRG1Micon>(std::make_unique<MemoryBoard>());
        }
        settings = std::make_unique<CSettingsStore>();
        names = std::make_unique<CFileDialogNames>();
        data = std::make_unique<CDerivedDataContainer>(names.get());
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
        s.makeSelector = std::move(makeSelector);
        window = std::make_unique<CQuillfenDlg>(std::move(s));
        if (!window->createModeless(nullptr) || !WaitFor([this] { return board->IsConnected() != 0; }, 5000)) {
            error = "the board did not connect";
            return;
        }
        WaitFor([] { return false; }, 500);  // the board's initialisation
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
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Chooses the device of `key` in both lists as a user does; the main window makes
    // its page then. False when the table has no such device.
    bool ChooseDevice(std::uint32_t key) {
        for (const auto& e : devicetable::FullList()) {
            if (devicetable::Key(e.code) != key) continue;
            Choose(mainwin::kMotorTypeList, static_cast<int>(devicetable::Kind(e.code)));
            const auto& shown = window->ShownDevices();
            for (std::size_t i = 0; i < shown.size(); ++i) {
                if (shown[i].name == e.name) {
                    Choose(mainwin::kDriverList, static_cast<int>(i));
                    return true;
                }
            }
        }
        return false;
    }
    void Choose(int list, int selection) {
        window->itemAs<gui::ComboBox>(list)->setCurSel(selection);
        window->send(gui::msg::Command,
                     gui::makeWParam(static_cast<std::uint16_t>(list), gui::notify::ComboSelectionChange), 0);
    }
    // OK as the button reports it: the main window shows the page.
    void PressOk() { window->send(gui::msg::Command, gui::makeWParam(gui::id::Ok, gui::notify::ButtonClicked), 0); }
};

}  // namespace benchrig
