// The serial port over a pseudo-terminal, and finding the board's port. (Opening, moving bytes,
// time-outs with nothing, hang-ups and found ports: through the link over the simulator.)
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

namespace {

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        ASSERT_EQ(port.open(peer.slavePath()), 0);
        port.setTimeouts({100, 50, 100, 50, 100});  // the board link's settings
    }
    Bytes readN(std::size_t n) {
        Bytes buf(n);
        buf.resize(static_cast<std::size_t>(std::max(port.read(buf.data(), n), 0)));
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
    // An echo would have gone back as the bytes came in, ahead of this one.
    const Bytes mark{0x55};
    ASSERT_EQ(port.write(mark.data(), mark.size()), 1);
    EXPECT_EQ(peer.read(1), mark);
}

TEST_F(SerialPortTest, ReadTimeOutsFollowTheBoardSettingsAndStaleInputCanBeDropped) {
    peer.write({1, 2, 3});
    EXPECT_EQ(readN(5), (Bytes{1, 2, 3}));  // fewer than asked once the line stays quiet
    // Bytes trickling in within the interval are all collected. (An interval alone, long
    // beside the trickle's gaps, so a loaded machine cannot stretch a gap past it.)
    port.setTimeouts({2000, 0, 0, 50, 100});
    std::thread writer([&] {
        for (std::uint8_t b = 10; b < 14; ++b) {
            peer.write({b});
            std::this_thread::sleep_for(20ms);
        }
    });
    EXPECT_EQ(readN(4), (Bytes{10, 11, 12, 13}));
    writer.join();

    peer.write({9, 9, 9});
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (port.pendingInput() < 3 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(port.pendingInput(), 3u);
    port.discardInput();
    EXPECT_EQ(port.pendingInput(), 0u);
    peer.write({1});
    EXPECT_EQ(readN(1), (Bytes{1}));
}

TEST(SerialPort, OpeningWhatIsNoTerminalFails) {
    SerialPort port;
    EXPECT_EQ(port.open("/dev/null"), ENOTTY);
    EXPECT_FALSE(port.isOpen());
}

TEST(BoardPorts, PathLocatorSeesNoBoardBehindAMissingOrDanglingLink) {
    const std::string link = ::testing::TempDir() + "tamsiro-locator-" + std::to_string(::getpid());
    platform::PathBoardLocator locator(link);
    EXPECT_FALSE(locator.findPresent());
    std::filesystem::create_symlink("/nonexistent/pts/99", link);
    EXPECT_FALSE(locator.findPresent());
    std::filesystem::remove(link);
}

