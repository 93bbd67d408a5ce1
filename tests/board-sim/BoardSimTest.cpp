// The simulator over a real pseudo-terminal, for what the link's suites never send it (bad
// checksums, unknown input), and its shutdown and plugging races. Its replies, faults and
// plugging are proven by those suites.
#include "board-sim/SimFixture.h"

#include <thread>

namespace boardsim {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::uint8_t sum(const Bytes& b, std::size_t first, std::size_t last) {
    unsigned s = 0;
    for (std::size_t i = first; i <= last; ++i) s += b.at(i);
    return static_cast<std::uint8_t>(s);
}

Bytes portFrame(Bytes f) {  // '8' 3, short: [9] = sum of [2..8]
    f.resize(10, 0);
    f[9] = sum(f, 2, 8);
    return f;
}

Bytes longFrame(std::uint8_t code, std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
    Bytes f(36, 0);
    f[0] = '8', f[1] = code;
    for (auto [at, value] : bytes) f[static_cast<std::size_t>(at)] = value;
    const bool block = code == 1 || code == 0xFF;
    f[35] = sum(f, 2, block ? 32 : 34);
    return f;
}

using BoardSimTest = test::SimFixture;

const Bytes kVersion{'V'};
const Bytes kVersionReply{0x04, 'V', 0x13, 0x21};

TEST_F(BoardSimTest, FrameChecksumsAreCheckedAndBadFramesAnsweredButNotApplied) {
    Bytes badPorts = portFrame({'8', 3, 0xFF, 0xFF});
    badPorts[9] ^= 1;
    Bytes badLong = longFrame(3, {{21, 0xFF}, {22, 0xFF}});
    badLong[35] ^= 1;
    Bytes badBlock = longFrame(0xFF, {{2, 1}});
    badBlock[35] ^= 1;
    const Bytes frames[] = {badPorts, {'8', 5, 3, 4, 8}, {'8', 6, 5, 4, 9}, {'O', 0xE1, 0x34, 0x12, 5, 0}, badLong, longFrame(1, {{2, 1}})};
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
    EXPECT_EQ(client_->read(1, 20ms), Bytes{});
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
    last.read(1 << 16, 50ms);  // raw bytes queued before it opened
    EXPECT_EQ(last.exchange(kVersion), kVersionReply);
}

}  // namespace
}  // namespace boardsim
