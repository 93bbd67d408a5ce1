// tamsiro-board-sim as a process: the port on the first line, commands on stdin, and a
// clean end on "quit", end of input, or a signal.

#include "data/TempDir.h"
#include "platform/core/Pty.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace boardsim {
namespace {

using ptytest::Bytes;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The program started with its standard streams on pipes; killed if a test leaves it running.
struct Child {
    pid_t pid = -1;
    int in = -1, out = -1, err = -1;

    explicit Child(std::vector<std::string> args) {
        int pipes[3][2];
        for (auto& p : pipes) {
            if (::pipe2(p, O_CLOEXEC) != 0) return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipes[0][0], 0);
        posix_spawn_file_actions_adddup2(&actions, pipes[1][1], 1);
        posix_spawn_file_actions_adddup2(&actions, pipes[2][1], 2);
        args.insert(args.begin(), BOARD_SIM_PROGRAM);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid, BOARD_SIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipes[0][0]);
        ::close(pipes[1][1]);
        ::close(pipes[2][1]);
        in = pipes[0][1];
        out = pipes[1][0];
        err = pipes[2][0];
    }
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
    // One line from fd without its newline; what came so far on time-out or end.
    static std::string line(int fd) {
        std::string s;
        for (Bytes c; (c = ptytest::readFor(fd, 1, 5s)).size() == 1 && c[0] != '\n';) s += static_cast<char>(c[0]);
        return s;
    }
    // The exit code, or -1 when it did not end within five seconds.
    int wait() {
        for (int i = 0; i < 1000; ++i) {
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

class BoardSimProgram : public ::testing::Test {
protected:
    TempDir dir_;
    std::string link_ = dir_.file("board");
};

TEST_F(BoardSimProgram, PrintsThePortTakesCommandsAndQuits) {
    Child child({"--link", link_});
    ASSERT_GT(child.pid, 0);
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
        Child child({});
        ASSERT_GT(child.pid, 0);
        const std::string port = Child::line(child.out);
        EXPECT_EQ(port.rfind("/dev/pts/", 0), 0u) << port;
        child.closeInput();
        EXPECT_EQ(child.wait(), 0);
    }
    Child child({"--link", link_, "--stay"});
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
