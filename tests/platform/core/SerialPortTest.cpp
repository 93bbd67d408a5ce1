// The serial port over a pseudo-terminal, and finding the board's port. (Hang-ups, held ports
// and renamed terminals: through the link and the main window.)
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "Pty.h"
#include "platform/core/BoardPorts.h"
#include "platform/core/SerialPort.h"

using platform::SerialPort;
using ptytest::Bytes;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        ASSERT_EQ(port.open(peer.slavePath()), 0);
        port.setTimeouts({100, 50, 100, 50, 100});  // the board link's settings
    }
    Bytes readN(std::size_t n, int* result = nullptr) {
        Bytes buf(n);
        const int r = port.read(buf.data(), n);
        if (result) *result = r;
        buf.resize(r > 0 ? static_cast<std::size_t>(r) : 0);
        return buf;
    }
    PtyPeer peer;
    SerialPort port;
};

}  // namespace

TEST_F(SerialPortTest, ControlBytesPassUnchangedBothWaysWithoutEcho) {
    // CR, XON, XOFF, ^C, LF, ^D, DEL: each would be eaten or rewritten by a cooked tty.
    const Bytes tricky{0x0D, 0x11, 0x13, 0x03, 0x0A, 0x04, 0x7F, 0x00, 0xFF};
    ASSERT_EQ(port.write(tricky.data(), tricky.size()), static_cast<int>(tricky.size()));
    EXPECT_EQ(peer.read(tricky.size()), tricky);
    peer.write(tricky);
    EXPECT_EQ(readN(tricky.size()), tricky);
    EXPECT_TRUE(peer.read(1, 50ms).empty());  // nothing echoed back
}

TEST_F(SerialPortTest, ReadTimeOutsFollowTheBoardSettingsAndStaleInputCanBeDropped) {
    int r = -2;
    EXPECT_EQ((std::tuple{readN(1, &r).empty(), r}), (std::tuple{true, 0})) << r;  // nothing arrives: 0, not an error
    peer.write({1, 2, 3});
    EXPECT_EQ(readN(5), (Bytes{1, 2, 3}));  // fewer than asked once the line stays quiet
    // Bytes trickling in within the interval are all collected.
    std::thread writer([&] {
        for (std::uint8_t b = 10; b < 14; ++b) {
            peer.write({b});
            std::this_thread::sleep_for(20ms);
        }
    });
    EXPECT_EQ(readN(4), (Bytes{10, 11, 12, 13}));
    writer.join();

    peer.write({9, 9, 9});
    std::this_thread::sleep_for(20ms);
    port.discardInput();
    peer.write({1});
    EXPECT_EQ(readN(1), (Bytes{1}));
}

TEST(SerialPort, OpenFailuresReportErrno) {
    SerialPort port;
    EXPECT_EQ((std::tuple{port.open("/nonexistent/tty"), port.isOpen()}), (std::tuple{ENOENT, false}));
    const std::uint8_t b = 0;
    EXPECT_EQ(port.write(&b, 1), -1);  // closed: no I/O
    EXPECT_EQ(port.open("/dev/null"), ENOTTY);
}

TEST(BoardPorts, PathLocatorFollowsThePathsExistence) {
    const fs::path link = fs::temp_directory_path() / ("tamsiro-locator-" + std::to_string(::getpid()));
    fs::remove(link);
    platform::PathBoardLocator locator(link.string());
    EXPECT_FALSE(locator.findPresent());
    fs::create_symlink("/dev/null", link);
    auto found = locator.findPresent();
    ASSERT_TRUE(found);
    EXPECT_EQ((std::pair{found->devPath, found->friendlyName}), (std::pair{link.string(), "Board Port (" + link.string() + ")"}));
    // A dangling link is a board that went away.
    fs::remove(link);
    fs::create_symlink("/nonexistent/pts/99", link);
    EXPECT_FALSE(locator.findPresent());
    fs::remove(link);
}

