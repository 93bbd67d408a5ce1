// The native transport: the port path from the friendly name, opening with its settling
// time, moving bytes, and reconnecting. Detect over a real port is in SimLinkTest.
#include <gtest/gtest.h>

#include <future>

#include "platform/core/Pty.h"
#include "board/NativeTranslator.h"
#include "platform/core/Clock.h"
#include "platform/core/Debug.h"

namespace {

class ScriptedLocator : public platform::IBoardLocator {
public:
    std::optional<platform::PortInfo> port;
    std::optional<platform::PortInfo> findPresent() override { return port; }
    bool hasUdevEvents() const override { return false; }
};

}  // namespace

TEST(PortPathFromFriendlyName, TakesTheBracketedPath) {
    EXPECT_EQ(PortPathFromFriendlyName("USB Serial Port (/dev/ttyACM0)"), "/dev/ttyACM0");
    EXPECT_EQ(PortPathFromFriendlyName("Eval Board(/dev/ttyUSB12)"), "/dev/ttyUSB12");
    EXPECT_EQ(PortPathFromFriendlyName("USB Serial Port (COM3)"), "");
    EXPECT_EQ(PortPathFromFriendlyName(""), "");
}

TEST(NativeTranslator, OpenSleepsThroughTheClockAndMovesBytes) {
    platform::ManualClock clock;
    platform::ScopedClock scope(clock);
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    auto locator = std::make_shared<ScriptedLocator>();
    locator->port = platform::PortInfo{peer.slavePath(), platform::friendlyPortName("", peer.slavePath())};
    CNativeTranslator t(kBoardPortClass, locator);
    EXPECT_EQ(t.Open(0), 1);
    EXPECT_EQ(clock.totalSleptMs(), 1500u);

    std::uint8_t frame[] = {'V'};
    std::int32_t moved = 0;
    EXPECT_EQ(t.Transfer(0, frame, 1, &moved), 1);
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(peer.read(1), (std::vector<std::uint8_t>{'V'}));
    peer.write({4, 'V', 0x13, 0x21});
    std::uint8_t reply[4] = {};
    EXPECT_EQ(t.Transfer(1, reply, 4, nullptr), 4);  // no count pointer: still the count
    EXPECT_EQ(reply[3], 0x21);
    EXPECT_EQ(t.Transfer(1, reply, 1, &moved), 0);  // time-out with nothing
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(t.Close(), 0);
    EXPECT_EQ(t.Transfer(0, frame, 1, &moved), -1);  // closed: no I/O
    EXPECT_EQ(moved, -1);
}

TEST(NativeTranslator, WithoutTheBoardTimeOutsAReadStillEnds) {
    platform::ManualClock clock;
    platform::ScopedClock scope(clock);
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    auto locator = std::make_shared<ScriptedLocator>();
    locator->port = platform::PortInfo{peer.slavePath(), platform::friendlyPortName("", peer.slavePath())};
    CNativeTranslator t(kBoardPortClass, locator);
    t.SetUseTimeouts(0);
    ASSERT_EQ(t.Open(0), 1);
    std::uint8_t byte = 0;
    auto read = std::async(std::launch::async, [&] { return t.Transfer(1, &byte, 1, nullptr); });
    const bool ended = read.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ended) peer.write({0});  // let a read that waits for ever go, so the test ends
    EXPECT_TRUE(ended);
    EXPECT_EQ(read.get(), ended ? 0 : 1);
}

TEST(NativeTranslator, OpenFailuresSayWhy) {
    platform::ManualClock clock;
    platform::ScopedClock scope(clock);
    platform::DebugCapture debug;
    auto locator = std::make_shared<ScriptedLocator>();
    CNativeTranslator t(kBoardPortClass, locator);
    EXPECT_EQ(t.Detect(), -1);  // absent from the start: reported once
    EXPECT_EQ(t.Detect(), 0);
    EXPECT_EQ(t.Open(0), 0);  // no board at all
    locator->port = platform::PortInfo{"/dev/x", "USB Serial Port (COM9)"};  // no path in the name
    EXPECT_EQ(t.Open(0), 0);
    locator->port = platform::PortInfo{"/nonexistent/tty", "B (/nonexistent/tty)"};
    EXPECT_EQ(t.Open(0), 0);
    EXPECT_EQ(debug.count("Open error : code 2\n"), 3u);
    std::uint8_t b = 0;
    EXPECT_EQ(t.Transfer(0, &b, 1, nullptr), -1);
}

TEST(NativeTranslator, ReconnectReopensTheFoundPort) {
    platform::ManualClock clock;
    platform::ScopedClock scope(clock);
    platform::DebugCapture debug;
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    auto locator = std::make_shared<ScriptedLocator>();
    CNativeTranslator t(kBoardPortClass, locator);
    EXPECT_EQ(t.Reconnect(), 1);  // nothing found yet: nothing to do
    EXPECT_EQ(debug.count("Device Reconnect Success\n"), 0u);

    locator->port = platform::PortInfo{peer.slavePath(), platform::friendlyPortName("", peer.slavePath())};
    t.Detect();
    EXPECT_EQ(t.Reconnect(), 1);
    EXPECT_EQ(debug.count("Device Reconnect Success\n"), 1u);
    std::uint8_t frame[] = {'A'};
    EXPECT_EQ(t.Transfer(0, frame, 1, nullptr), 1);
    EXPECT_EQ(peer.read(1), (std::vector<std::uint8_t>{'A'}));
}
