// tamsiro-board-sim as a process: the port on the first line, commands on stdin, and a
// clean end on "quit", end of input, or a signal.

#include "board-sim/PtyClient.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace boardsim {
namespace {

using test::Bytes;
using test::PtyClient;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct Child {
    pid_t pid = -1;
    int in = -1;   // its stdin
    int out = -1;  // its stdout
    int err = -1;  // its stderr

    ~Child() {
        for (int fd : {in, out, err})
            if (fd >= 0) ::close(fd);
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    void closeInput() {
        ::close(in);
        in = -1;
    }

    bool send(const std::string& text) const {
        return ::write(in, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // One line from fd without its newline; "" on time-out or end.
    static std::string line(int fd, std::chrono::milliseconds timeout = 5s) {
        std::string s;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return s;
            char c;
            if (::read(fd, &c, 1) != 1 || c == '\n') return s;
            s += c;
        }
    }

    // The exit code, or -1 when it did not end in time (it is killed then).
    int wait(std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(5ms);
        }
        return -1;
    }
};

void spawn(Child& child, std::vector<std::string> args) {
    int in[2], out[2], err[2];
    ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    args.insert(args.begin(), BOARD_SIM_PROGRAM);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&child.pid, BOARD_SIM_PROGRAM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    child.in = in[1];
    child.out = out[0];
    child.err = err[0];
    ASSERT_EQ(rc, 0);
}

class BoardSimProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/board-sim-program-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        dir_ = dir;
        link_ = (dir_ / "board").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path dir_;
    std::string link_;
};

TEST_F(BoardSimProgram, PrintsThePortTakesCommandsAndQuits) {
    Child child;
    spawn(child, {"--link", link_});
    ASSERT_EQ(Child::line(child.out), link_);
    ASSERT_TRUE(fs::is_symlink(link_));

    PtyClient client(link_);
    ASSERT_TRUE(client.isOpen());
    EXPECT_EQ(client.exchange({'V'}), (Bytes{4, 'V', 0x13, 0x21}));

    // "frames" answers after "version" has been applied.
    ASSERT_TRUE(child.send("version 0x1234 0x1319\nfrobnicate\nframes\n"));
    EXPECT_EQ(Child::line(child.out), "56");
    EXPECT_EQ(client.exchange({'V'}), (Bytes{4, 'V', 0x34, 0x12}));
    EXPECT_NE(Child::line(child.err).find("frobnicate"), std::string::npos);

    ASSERT_TRUE(child.send("quit\n"));
    EXPECT_EQ(child.wait(), 0);
    EXPECT_FALSE(fs::is_symlink(link_));
    EXPECT_TRUE(client.hungUp());
}

TEST_F(BoardSimProgram, EndOfInputQuitsUnlessAskedToStayThenASignalEndsIt) {
    {
        Child child;
        spawn(child, {});
        const std::string port = Child::line(child.out);
        EXPECT_EQ(port.rfind("/dev/pts/", 0), 0u) << port;
        child.closeInput();
        EXPECT_EQ(child.wait(), 0);
    }
    Child child;
    spawn(child, {"--link", link_, "--stay"});
    ASSERT_EQ(Child::line(child.out), link_);
    child.closeInput();
    PtyClient client(link_);
    EXPECT_EQ(client.exchange({'V'}), (Bytes{4, 'V', 0x13, 0x21}));  // still serving
    ::kill(child.pid, SIGTERM);
    EXPECT_EQ(child.wait(), 0);
    EXPECT_FALSE(fs::is_symlink(link_));
}

}  // namespace
}  // namespace boardsim
