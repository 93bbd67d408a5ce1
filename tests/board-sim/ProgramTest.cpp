// tamsiro-board-sim as a process: the port on the first line, commands on stdin, and a
// clean end on "quit", end of input, or a signal.

#include "data/TempDir.h"
#include "platform/core/Pty.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

namespace boardsim {
namespace {

using ptytest::Bytes;
namespace fs = std::filesystem;

// The program with its standard streams on pipes; killed if a test leaves it running.
struct Child : QProcess {
    explicit Child(const QStringList& args) {
        start(BOARD_SIM_PROGRAM, args);
        waitForStarted(5000);
    }
    ~Child() override {
        kill();
        waitForFinished(5000);
    }
    // One line without its newline; what came so far on time-out or end.
    std::string line(ProcessChannel channel) {
        setReadChannel(channel);
        while (!canReadLine() && waitForReadyRead(5000)) {
        }
        return readLine().trimmed().toStdString();
    }
    bool send(const char* text) { return write(text) == static_cast<qint64>(std::strlen(text)) && waitForBytesWritten(); }
    // The exit code, or -1 when it did not end in time.
    int wait() { return waitForFinished(5000) && exitStatus() == NormalExit ? exitCode() : -1; }
};

class BoardSimProgram : public ::testing::Test {
protected:
    TempDir dir_;
    std::string link_ = dir_.file("board");
};

TEST_F(BoardSimProgram, PrintsThePortTakesCommandsAndQuits) {
    Child child({"--link", QString::fromStdString(link_)});
    ASSERT_EQ(child.line(QProcess::StandardOutput), link_);
    ASSERT_TRUE(fs::is_symlink(link_));

    PtyClient client(link_);
    ASSERT_TRUE(client.isOpen());
    EXPECT_EQ(client.exchange({'V'}), (Bytes{4, 'V', 0x13, 0x21}));

    // "frames" answers after "version" has been applied.
    ASSERT_TRUE(child.send("version 0x1234 0x1319\nfrobnicate\nframes\n"));
    EXPECT_EQ(child.line(QProcess::StandardOutput), "56");
    EXPECT_EQ(client.exchange({'V'}), (Bytes{4, 'V', 0x34, 0x12}));
    EXPECT_NE(child.line(QProcess::StandardError).find("frobnicate"), std::string::npos);

    ASSERT_TRUE(child.send("quit\n"));
    EXPECT_EQ(child.wait(), 0);
    EXPECT_FALSE(fs::is_symlink(link_));
    EXPECT_TRUE(client.hungUp());
}

TEST_F(BoardSimProgram, EndOfInputQuitsUnlessAskedToStayThenASignalEndsIt) {
    {
        Child child({});
        const std::string port = child.line(QProcess::StandardOutput);
        EXPECT_EQ(port.rfind("/dev/pts/", 0), 0u) << port;
        child.closeWriteChannel();
        EXPECT_EQ(child.wait(), 0);
    }
    Child child({"--link", QString::fromStdString(link_), "--stay"});
    ASSERT_EQ(child.line(QProcess::StandardOutput), link_);
    child.closeWriteChannel();
    PtyClient client(link_);
    EXPECT_EQ(client.exchange({'V'}), (Bytes{4, 'V', 0x13, 0x21}));  // still serving
    ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
    EXPECT_EQ(child.wait(), 0);
    EXPECT_FALSE(fs::is_symlink(link_));
}

}  // namespace
}  // namespace boardsim
