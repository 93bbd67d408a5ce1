// The simulator over a real pseudo-terminal, for what the link's suites never send it (bad
// checksums, unknown input), and its shutdown and plugging races. Its replies, faults and
// plugging are proven by those suites.
#include "board-sim/SimFixture.h"
#include "board-sim/Chaos.h"

#include <algorithm>
#include <thread>

namespace boardsim {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A '8' frame of `size` bytes with `bytes` set, its last byte the sum of [2..last].
Bytes frame(std::size_t size, std::uint8_t code, std::initializer_list<std::pair<int, std::uint8_t>> bytes, std::size_t last) {
    Bytes f(size, 0);
    f[0] = '8', f[1] = code;
    for (auto [at, value] : bytes) f[static_cast<std::size_t>(at)] = value;
    for (std::size_t i = 2; i <= last; ++i) f[size - 1] = static_cast<std::uint8_t>(f[size - 1] + f[i]);
    return f;
}

using BoardSimTest = test::SimFixture;

const Bytes kVersion{'V'};
const Bytes kVersionReply{0x04, 'V', 0x13, 0x21};

TEST_F(BoardSimTest, FrameChecksumsAreCheckedAndBadFramesAnsweredButNotApplied) {
    Bytes badPorts = frame(10, 3, {{2, 0xFF}, {3, 0xFF}}, 8);
    badPorts[9] ^= 1;
    Bytes badLong = frame(36, 3, {{21, 0xFF}, {22, 0xFF}}, 34);
    badLong[35] ^= 1;
    Bytes badBlock = frame(36, 0xFF, {{2, 1}}, 32);
    badBlock[35] ^= 1;
    const Bytes frames[] = {badPorts, {'8', 5, 3, 4, 8}, {'8', 6, 5, 4, 9}, {'O', 0xE1, 0x34, 0x12, 5, 0}, badLong, frame(36, 1, {{2, 1}}, 32)};
    for (const Bytes& f : frames) EXPECT_EQ(client_->exchange(f).size(), 2u);
    EXPECT_EQ(client_->exchange(badBlock).size(), 13u);

    const auto log = sim_->frames();
    ASSERT_EQ(log.size(), 7u);
    const bool expected[] = {false, false, true, false, false, true, false};
    for (std::size_t i = 0; i < log.size(); ++i) EXPECT_EQ(log[i].checksumOk, expected[i]) << i;
    // Neither bad port frame made a port an output.
    for (int port = 21; port <= 33; ++port) EXPECT_FALSE(sim_->portIsOutput(port)) << port;
    EXPECT_GE(messages_.load(), 5u);
}

TEST_F(BoardSimTest, UnknownOrImpossibleInputIsDroppedUnansweredAndTheLineRecovers) {
    ASSERT_TRUE(client_->write({'Z', 0x01, 0x02}));
    ASSERT_TRUE(sim_->waitForFrames(1, 2s));
    // An I2C frame announcing more than fits in a frame.
    ASSERT_TRUE(client_->write({'I', 0xA0, 200, 0}));
    ASSERT_TRUE(sim_->waitForFrames(2, 2s));
    // One frame at a time: an answer to either would come ahead of the version's.
    EXPECT_EQ(client_->exchange(kVersion), kVersionReply);

    // A frame that stops half way is dropped after a while, not joined to the next one.
    ASSERT_TRUE(client_->write({'C', 0, 3}));
    ASSERT_TRUE(sim_->waitForFrames(4, 2s));
    EXPECT_EQ(client_->exchange(kVersion), kVersionReply);

    const auto log = sim_->frames();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[3].bytes, (Bytes{'C', 0, 3}));
    std::vector<bool> dropped;
    for (const auto& f : log) dropped.push_back(f.dropped);
    EXPECT_EQ(dropped, (std::vector<bool>{true, true, false, true, false}));
}

TEST_F(BoardSimTest, StopJoinsWhileAClientIsConnectedAndWorkIsPending) {
    sim_->injectFault(Fault::LateReply);
    ASSERT_TRUE(client_->write(kVersion));
    ASSERT_TRUE(sim_->waitForFrames(1, 2s));
    ASSERT_TRUE(client_->write({'C', 0}));  // and an unfinished frame
    sim_->stop();
    EXPECT_TRUE(client_->hungUp());
    EXPECT_FALSE(fs::is_symlink(dir_.file("board")));
    sim_->stop();

    // Started again, it serves a new pty with the log kept.
    ASSERT_TRUE(sim_->start());
    PtyClient again(sim_->portPath());
    EXPECT_EQ(again.exchange(kVersion), kVersionReply);
    EXPECT_EQ(sim_->frameCount(), 2u);
}

TEST_F(BoardSimTest, UnplugAndReplugRaceTheServingThreadSafely) {
    client_.reset();
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done.load()) {
            (void)sim_->slavePath();
            (void)sim_->frameCount();
            sim_->sendRaw({1});
        }
    });
    for (int i = 0; i < 50; ++i) {
        sim_->unplug();
        ASSERT_TRUE(sim_->replug());
    }
    done = true;
    reader.join();
    PtyClient last(sim_->portPath());
    ASSERT_TRUE(last.isOpen());
    // The raw bytes queued before it opened are read up to a mark sent after them.
    const Bytes mark{0xA5, 0x5A, 0xC3};
    sim_->sendRaw(mark);
    Bytes seen;
    const auto marked = [&] { return seen.size() >= mark.size() && std::equal(mark.begin(), mark.end(), seen.end() - static_cast<std::ptrdiff_t>(mark.size())); };
    for (Bytes b; !marked() && !(b = last.read(1)).empty();) seen.push_back(b[0]);
    ASSERT_TRUE(marked());
    EXPECT_EQ(last.exchange(kVersion), kVersionReply);
}

TEST_F(BoardSimTest, ChaosPullsTheBoardOutAgainAndAgainAndLeavesItPluggedIn) {
    client_.reset();
    Chaos::Options o;
    o.seed = 3;
    o.faultPercent = 0;
    o.maxPlugged = o.maxAway = 5ms;
    Chaos chaos(*sim_, o);
    for (int i = 0; i < 500 && chaos.unplugs() < 3; ++i) std::this_thread::sleep_for(10ms);
    chaos.stop();
    EXPECT_GE(chaos.unplugs(), 3u);
    EXPECT_TRUE(sim_->plugged());
    const std::string report = chaos.report();
    EXPECT_NE(report.find("\nunplug " + std::to_string(chaos.unplugs()) + "\n"), std::string::npos) << report;
    PtyClient again(sim_->portPath());
    EXPECT_EQ(again.exchange(kVersion), kVersionReply);
}

}  // namespace
}  // namespace boardsim
