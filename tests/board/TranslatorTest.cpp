// The native transport over a pty. (Frames it moves, time-outs and a port that comes and goes:
// SimLinkTest.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <utility>

#include "SimLink.h"
#include "platform/core/Debug.h"
#include "platform/core/Pty.h"

namespace {

// The locator reports the pty once Find() was called.
class NativeTranslator : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer_.ok()); }
    void Find() { locator_->port = {peer_.slavePath(), platform::friendlyPortName("", peer_.slavePath())}; }

    platform::ManualClock clock_;
    platform::ScopedClock scope_{clock_};
    platform::DebugCapture debug_;
    PtyPeer peer_;
    std::shared_ptr<FixedLocator> locator_ = std::make_shared<FixedLocator>();
    CNativeTranslator t_{kBoardPortClass, locator_};
    std::uint8_t byte_[4] = {'V'};
    std::int32_t moved_ = 0;
};

}  // namespace

TEST(PortPathFromFriendlyName, TakesTheBracketedPath) {
    EXPECT_EQ(PortPathFromFriendlyName("Eval Board(/dev/ttyUSB12)"), "/dev/ttyUSB12");
    EXPECT_EQ(PortPathFromFriendlyName("USB Serial Port (COM3)"), "");  // no path in the brackets
    EXPECT_EQ(PortPathFromFriendlyName(""), "");
}

TEST_F(NativeTranslator, OpenSleepsThroughTheClockAndReconnectReopensAfterAClose) {
    EXPECT_EQ(t_.Reconnect(), 1);  // nothing found yet: nothing to reopen
    EXPECT_EQ(debug_.count("Device Reconnect Success\n"), 0u);
    Find();
    EXPECT_EQ(t_.Open(0), 1);
    EXPECT_EQ(clock_.totalSleptMs(), 1500u);
    EXPECT_EQ(t_.Close(), 0);
    EXPECT_EQ(t_.Transfer(0, byte_, 1, &moved_), -1);
    EXPECT_EQ(moved_, -1);
    EXPECT_EQ(t_.Reconnect(), 1);
    EXPECT_EQ(t_.Transfer(0, byte_, 1, nullptr), 1);
    EXPECT_EQ(peer_.read(1), (std::vector<std::uint8_t>{'V'}));
    peer_.write({4, 'V', 0x13, 0x21});
    EXPECT_EQ(t_.Transfer(1, byte_, 4, nullptr), 4);  // no count pointer: still the count
    EXPECT_EQ(byte_[3], 0x21);
}

// Without the board's time-outs, with a board that says nothing or one that is gone, a
// read still ends: a read that never did would hold the link, and the program's end.
TEST_F(NativeTranslator, AReadWithoutTheBoardStillEnds) {
    Find();
    t_.SetUseTimeouts(0);
    ASSERT_EQ(t_.Open(0), 1);
    const auto readEnds = [&] {
        auto read = std::async(std::launch::async, [&] { return t_.Transfer(1, byte_, 1, &moved_); });
        const bool ended = read.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        if (!ended) t_.Close();  // lets a read that waits for ever go, so the test ends
        EXPECT_TRUE(ended);
        return read.get();
    };
    EXPECT_EQ(readEnds(), 0);  // silence: nothing, not an error
    peer_.closeMaster();
    EXPECT_EQ(readEnds(), -1);  // the board gone: the error
    EXPECT_EQ(moved_, -1);
}

TEST_F(NativeTranslator, OpenFailuresSayWhy) {
    EXPECT_EQ(t_.Detect(), -1);  // absent from the start: reported once
    EXPECT_EQ(t_.Detect(), 0);
    EXPECT_EQ(t_.Open(0), 0);
    locator_->port = platform::PortInfo{"/dev/x", "USB Serial Port (COM9)"};  // no path in the name
    EXPECT_EQ(t_.Open(0), 0);
    locator_->port = platform::PortInfo{"/nonexistent/tty", "B (/nonexistent/tty)"};
    EXPECT_EQ(t_.Open(0), 0);
    EXPECT_EQ(debug_.count("Open error : code 2\n"), 3u);
    EXPECT_EQ(t_.Transfer(0, byte_, 1, nullptr), -1);
}

// The presence check retries a port that failed to open every second on the GUI thread.
TEST_F(NativeTranslator, ARetryOfAPortThatFailedToOpenSkipsTheSettlingPauseANewArrivalDoesNot) {
    LockedPty locked;  // every open fails with EIO until it is unlocked
    ASSERT_TRUE(locked.ok());
    const std::string notATerminal = UniqueLinkPath("tamsiro-not-a-tty");  // ENOTTY
    std::ofstream(notATerminal).put('x');
    auto slept = [this, from = clock_.totalSleptMs()]() mutable {
        const auto now = clock_.totalSleptMs();
        return now - std::exchange(from, now);
    };
    const auto arrive = [&](const std::string& path, std::uint64_t device) {
        locator_->port = platform::PortInfo{path, platform::friendlyPortName("", path), device};
        return t_.Detect();
    };
    for (const std::string& path : {locked.slavePath(), notATerminal}) {
        SCOPED_TRACE(path);
        ASSERT_EQ(arrive(path, 7), 1);
        slept();
        EXPECT_EQ(t_.Open(0), 0);
        EXPECT_EQ(slept(), 500u);  // just arrived
        for (int retry = 0; retry < 3; ++retry) {
            EXPECT_EQ(t_.Detect(), 1);  // a port that cannot be opened counts as absent
            EXPECT_EQ(t_.Open(0), 0);
            EXPECT_EQ(slept(), 0u) << retry;
        }
        EXPECT_EQ(t_.IsConnected(), 0);

        // Another device under the name, a board gone and back, another port: arrivals.
        EXPECT_EQ(arrive(path, 8), 1);
        EXPECT_EQ(t_.Open(0), 0);
        EXPECT_EQ(slept(), 500u);
        locator_->port.reset();
        EXPECT_EQ(t_.Detect(), 0);  // already reported absent
        EXPECT_EQ(arrive(path, 8), 1);
        EXPECT_EQ(t_.Open(0), 0);
        EXPECT_EQ(slept(), 500u);
    }
    EXPECT_EQ(arrive(locked.slavePath(), 7), 1);
    EXPECT_EQ(t_.Open(0), 0);
    EXPECT_EQ(slept(), 500u);
    std::filesystem::remove(notATerminal);
    EXPECT_EQ(debug_.count("Open error : code 5\n"), 7u);
    EXPECT_EQ(debug_.count("Open error : code 19\n"), 6u);

    // Once it opens, the pauses after the open are as ever.
    ASSERT_TRUE(locked.Unlock());
    EXPECT_EQ(t_.Detect(), 1);
    EXPECT_EQ(t_.Open(0), 1);
    EXPECT_EQ(slept(), 1000u);
}

TEST_F(NativeTranslator, AHangUpOfTheOpenPortIsARemovalWhateverTheLocatorStillShows) {
    Find();  // and reported unchanged from now on: only the hang-up tells
    ASSERT_EQ(t_.Detect(), 1);
    ASSERT_EQ(t_.Open(0), 1);
    EXPECT_EQ(t_.Detect(), 0);
    peer_.closeMaster();
    int change = 0;
    for (int i = 0; i < 5000 && change == 0; ++i) {
        change = t_.Detect();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(change, -1);
    EXPECT_EQ(t_.IsConnected(), 0);
}
