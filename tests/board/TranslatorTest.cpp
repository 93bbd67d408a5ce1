// The native transport: the port path from the friendly name, opening with its settling time,
// moving bytes, reconnecting, a hang-up seen as a removal. (A port that comes and goes: SimLinkTest.)
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "SimLink.h"
#include "platform/core/Debug.h"
#include "platform/core/Pty.h"

namespace {

// The transport over a pty peer that its locator reports once Find() was called, on a
// manual clock so the open's settling time costs nothing.
class NativeTranslator : public ::testing::Test {
protected:
    void Find() { locator_->port = {peer_.slavePath(), platform::friendlyPortName("", peer_.slavePath())}; }

    platform::ManualClock clock_;
    platform::ScopedClock scope_{clock_};
    platform::DebugCapture debug_;
    PtyPeer peer_;
    std::shared_ptr<FixedLocator> locator_ = std::make_shared<FixedLocator>();
    CNativeTranslator t_{kBoardPortClass, locator_};
};

}  // namespace

TEST(PortPathFromFriendlyName, TakesTheBracketedPath) {
    EXPECT_EQ(PortPathFromFriendlyName("USB Serial Port (/dev/ttyACM0)"), "/dev/ttyACM0");
    EXPECT_EQ(PortPathFromFriendlyName("Eval Board(/dev/ttyUSB12)"), "/dev/ttyUSB12");
    EXPECT_EQ(PortPathFromFriendlyName("USB Serial Port (COM3)") + PortPathFromFriendlyName(""), "");
}

TEST_F(NativeTranslator, OpenSleepsThroughTheClockAndMovesBytes) {
    ASSERT_TRUE(peer_.ok());
    Find();
    EXPECT_EQ((std::tuple{t_.Open(0), clock_.totalSleptMs()}), (std::tuple{1, 1500u})) << clock_.totalSleptMs();

    std::uint8_t frame[] = {'V'};
    std::int32_t moved = 0;
    EXPECT_EQ((std::tuple{t_.Transfer(0, frame, 1, &moved), moved}), (std::tuple{1, 1}));
    EXPECT_EQ(peer_.read(1), (std::vector<std::uint8_t>{'V'}));
    peer_.write({4, 'V', 0x13, 0x21});
    std::uint8_t reply[4] = {};
    EXPECT_EQ((std::tuple{t_.Transfer(1, reply, 4, nullptr), reply[3]}), (std::tuple{4, 0x21}));  // no count pointer: still the count
    EXPECT_EQ((std::tuple{t_.Transfer(1, reply, 1, &moved), moved}), (std::tuple{0, 0}));          // time-out with nothing
    EXPECT_EQ(t_.Close(), 0);
    EXPECT_EQ((std::tuple{t_.Transfer(0, frame, 1, &moved), moved}), (std::tuple{-1, -1}));  // closed: no I/O
}

TEST_F(NativeTranslator, WithoutTheBoardTimeOutsAReadStillEnds) {
    ASSERT_TRUE(peer_.ok());
    Find();
    t_.SetUseTimeouts(0);
    ASSERT_EQ(t_.Open(0), 1);
    std::uint8_t byte = 0;
    auto read = std::async(std::launch::async, [&] { return t_.Transfer(1, &byte, 1, nullptr); });
    const bool ended = read.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ended) peer_.write({0});  // let a read that waits for ever go, so the test ends
    EXPECT_TRUE(ended);
    EXPECT_EQ(read.get(), ended ? 0 : 1);
}

TEST_F(NativeTranslator, OpenFailuresSayWhy) {
    EXPECT_EQ(t_.Detect(), -1);  // absent from the start: reported once
    EXPECT_EQ(t_.Detect(), 0);
    EXPECT_EQ(t_.Open(0), 0);  // no board at all
    locator_->port = platform::PortInfo{"/dev/x", "USB Serial Port (COM9)"};  // no path in the name
    EXPECT_EQ(t_.Open(0), 0);
    locator_->port = platform::PortInfo{"/nonexistent/tty", "B (/nonexistent/tty)"};
    EXPECT_EQ((std::tuple{t_.Open(0), debug_.count("Open error : code 2\n")}), (std::tuple{0, 3u}));
    std::uint8_t b = 0;
    EXPECT_EQ(t_.Transfer(0, &b, 1, nullptr), -1);
}

TEST_F(NativeTranslator, ReconnectReopensTheFoundPort) {
    ASSERT_TRUE(peer_.ok());
    EXPECT_EQ((std::tuple{t_.Reconnect(), debug_.count("Device Reconnect Success\n")}), (std::tuple{1, 0u}));  // nothing found yet

    Find();
    t_.Detect();
    EXPECT_EQ((std::tuple{t_.Reconnect(), debug_.count("Device Reconnect Success\n")}), (std::tuple{1, 1u}));
    std::uint8_t frame[] = {'A'};
    EXPECT_EQ(t_.Transfer(0, frame, 1, nullptr), 1);
    EXPECT_EQ(peer_.read(1), (std::vector<std::uint8_t>{'A'}));
}

TEST_F(NativeTranslator, AHangUpOfTheOpenPortIsARemovalWhateverTheLocatorStillShows) {
    ASSERT_TRUE(peer_.ok());
    Find();  // and reported unchanged from now on: only the hang-up tells
    ASSERT_EQ(t_.Detect(), 1);
    ASSERT_EQ(t_.Open(0), 1);
    EXPECT_EQ(t_.Detect(), 0);
    peer_.closeMaster();
    // The kernel hangs the terminal up shortly after its other end closed.
    int change = 0;
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
         change == 0 && std::chrono::steady_clock::now() < until;) {
        if ((change = t_.Detect()) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ((std::pair{change, t_.IsConnected()}), (std::pair{-1, 0}));
}
