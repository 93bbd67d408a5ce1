#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "PtyPeer.h"
#include "platform/core/SerialPort.h"

using platform::SerialPort;
using platform::SerialTimeouts;

namespace {

constexpr SerialTimeouts kBoard{100, 50, 100, 50, 100};

std::vector<std::uint8_t> readN(SerialPort& port, std::size_t n, int* result = nullptr) {
    std::vector<std::uint8_t> buf(n);
    const int r = port.read(buf.data(), n);
    if (result) *result = r;
    buf.resize(r > 0 ? static_cast<std::size_t>(r) : 0);
    return buf;
}

}  // namespace

TEST(SerialPort, ControlBytesPassUnchangedBothWaysWithoutEcho) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort port;
    ASSERT_EQ(port.open(peer.slavePath()), 0);
    port.setTimeouts(kBoard);

    // CR, XON, XOFF, ^C, LF, ^D, DEL: each would be eaten or rewritten by a cooked tty.
    const std::vector<std::uint8_t> tricky{0x0D, 0x11, 0x13, 0x03, 0x0A, 0x04, 0x7F, 0x00, 0xFF};
    ASSERT_EQ(port.write(tricky.data(), tricky.size()), static_cast<int>(tricky.size()));
    EXPECT_EQ(peer.read(tricky.size()), tricky);

    peer.write(tricky);
    EXPECT_EQ(readN(port, tricky.size()), tricky);
    // Nothing was echoed back to the peer.
    EXPECT_TRUE(peer.read(1, 50).empty());
}

TEST(SerialPort, ReadTimeOutsFollowTheBoardSettings) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort port;
    ASSERT_EQ(port.open(peer.slavePath()), 0);
    port.setTimeouts(kBoard);

    // Nothing arrives: 0, not an error.
    int r = -2;
    EXPECT_TRUE(readN(port, 1, &r).empty());
    EXPECT_EQ(r, 0);

    // Fewer bytes than asked: what came, once the line stays quiet.
    peer.write({1, 2, 3});
    EXPECT_EQ(readN(port, 5), (std::vector<std::uint8_t>{1, 2, 3}));

    // Bytes trickling in within the interval are all collected.
    std::thread writer([&] {
        for (std::uint8_t b = 10; b < 14; ++b) {
            peer.write({b});
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    EXPECT_EQ(readN(port, 4), (std::vector<std::uint8_t>{10, 11, 12, 13}));
    writer.join();
}

TEST(SerialPort, PeerGoneGivesErrorsNotHangs) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort port;
    ASSERT_EQ(port.open(peer.slavePath()), 0);
    port.setTimeouts(kBoard);
    peer.closeMaster();
    int r = 0;
    readN(port, 4, &r);
    EXPECT_EQ(r, -1);
    const std::uint8_t b = 'V';
    EXPECT_EQ(port.write(&b, 1), -1);
}

TEST(SerialPort, OpenFailuresReportErrno) {
    SerialPort port;
    EXPECT_EQ(port.open("/nonexistent/tty"), ENOENT);
    EXPECT_FALSE(port.isOpen());
    const std::uint8_t b = 0;
    EXPECT_EQ(port.write(&b, 1), -1);  // closed: no I/O
    EXPECT_EQ(port.open("/dev/null"), ENOTTY);
}

TEST(SerialPort, SecondOpenOfTheSamePortIsRefused) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort first, second;
    ASSERT_EQ(first.open(peer.slavePath()), 0);
    const int err = second.open(peer.slavePath());
    EXPECT_TRUE(err == EBUSY || err == EBUSY /* flock */) << err;
    first.close();
    EXPECT_EQ(second.open(peer.slavePath()), 0);
}

TEST(SerialPort, DiscardInputDropsStaleBytes) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort port;
    ASSERT_EQ(port.open(peer.slavePath()), 0);
    port.setTimeouts(kBoard);
    peer.write({9, 9, 9});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    port.discardInput();
    peer.write({1});
    EXPECT_EQ(readN(port, 1), (std::vector<std::uint8_t>{1}));
}
