// tamsiro-board-sim: plays the evaluation board behind a pseudo-terminal for manual runs
// and for tests that start it as a process. Prints the port path on the first line of
// stdout, then takes commands from stdin (see README.md).

#include "board-sim/BoardSim.h"
#include "board-sim/Chaos.h"
#include "board-sim/Commands.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

void usage(std::FILE* to) {
    std::fputs(
        "usage: tamsiro-board-sim [--link PATH] [--loader PATH] [--stay] [--motor] [--chaos SEED]\n"
        "  --link PATH  keep a symlink at PATH pointing at the board's port\n"
        "  --loader PATH  after a boot request, offer the boot loader as a socket at PATH\n"
        "  --stay       keep running after the end of stdin, until SIGINT or SIGTERM\n"
        "  --motor      a motor behind port 21: it turns while the port is low\n"
        "  --chaos SEED  every fault at random: 5 % of replies spoilt, unplugged now and then;\n"
        "               at the end, how many of each went to stderr\n"
        "Commands on stdin, one per line:\n",
        to);
    std::fputs(boardsim::commandHelp(), to);
}

void emit(std::FILE* to, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
}

}  // namespace

int main(int argc, char** argv) {
    boardsim::BoardSim::Options options;
    bool stay = false;
    bool motor = false;
    std::optional<std::uint64_t> chaosSeed;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--link" && i + 1 < argc) {
            options.linkPath = argv[++i];
        } else if (arg == "--loader" && i + 1 < argc) {
            options.loaderPath = argv[++i];
        } else if (arg == "--stay") {
            stay = true;
        } else if (arg == "--motor") {
            motor = true;
        } else if (arg == "--chaos" && i + 1 < argc) {
            chaosSeed = boardsim::parseNumber(argv[++i], 0xFFFFFFFF);
            if (!chaosSeed) {
                std::fprintf(stderr, "tamsiro-board-sim: bad seed '%s'\n", argv[i]);
                return 2;
            }
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "tamsiro-board-sim: bad argument '%s'\n", arg.c_str());
            usage(stderr);
            return 2;
        }
    }
    // A long manual session must not grow the log without bound.
    options.frameLogLimit = 100000;

    // SIGINT and SIGTERM arrive through a signalfd, blocked before the serving thread
    // starts so that it inherits the mask and only this loop sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::fprintf(stderr, "tamsiro-board-sim: signalfd: %s\n", std::strerror(errno));
        return 1;
    }

    boardsim::BoardSim sim(options);
    if (!sim.start()) return 1;
    if (motor) sim.setMotor(boardsim::Motor{});
    emit(stdout, sim.portPath() + '\n');
    std::unique_ptr<boardsim::Chaos> chaos;
    if (chaosSeed) {
        boardsim::Chaos::Options o;
        o.seed = static_cast<std::uint32_t>(*chaosSeed);
        chaos = std::make_unique<boardsim::Chaos>(sim, o);
    }

    std::string pending;
    bool stdinOpen = true;
    bool quit = false;
    while (!quit) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "tamsiro-board-sim: poll: %s\n", std::strerror(errno));
            break;
        }
        if (fds[0].revents & POLLIN) break;
        if (!(fds[1].revents & (POLLIN | POLLHUP | POLLERR))) continue;

        char buf[4096];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) pending.append(buf, static_cast<std::size_t>(n));
        const bool end = n <= 0;
        if (end && !pending.empty()) pending += '\n';  // a last line without newline still counts

        std::size_t eol;
        while (!quit && (eol = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            const boardsim::CommandResult r = boardsim::runCommand(sim, line);
            if (!r.output.empty()) emit(stdout, r.output);
            if (!r.ok) emit(stderr, "error: " + r.error + '\n');
            quit = r.quit;
        }
        if (end) {
            stdinOpen = false;
            if (!stay) quit = true;
        }
    }
    if (chaos) {
        chaos->stop();
        emit(stderr, chaos->report());
    }
    sim.stop();
    ::close(signalFd);
    return 0;
}
