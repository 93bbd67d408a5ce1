// The command language: what each command does on the wire, and that bad commands are
// refused with a message and change nothing.

#include "board-sim/Commands.h"
#include "board-sim/SimFixture.h"

#include <thread>
#include <tuple>

namespace boardsim {
namespace {

using namespace std::chrono_literals;

class BoardSimCommandsOnTheWire : public test::SimFixture {
protected:
    void run(const char* line) {
        const CommandResult r = runCommand(*sim_, line);
        EXPECT_TRUE(r.ok) << line << ": " << r.error;
    }
};

TEST_F(BoardSimCommandsOnTheWire, SettingsShowInTheReplies) {
    for (const char* line : {"version 0x2200 4886", "absent 0", "absent 1", "measured 0x0102", "status 9", "sub21 0XA0", "adc 7 0x1234",
                             "input 17 1", "intflag 3 1", "i2c 0x11 0x22", "  # a comment", ""})
        run(line);

    EXPECT_EQ(client_->exchange({'V'}), (Bytes{4, 'V', 0x00, 0x22}));
    EXPECT_EQ(client_->exchange({'8', 18}), (Bytes{6, '8', 0x16, 0x13, 1, 0x2A}));
    EXPECT_EQ(client_->exchange({'8', 20}), (Bytes{6, '8', 0x02, 0x01, 9, 0x0C}));
    EXPECT_EQ(client_->exchange({'8', 21}), (Bytes{5, '8', 0xA0, 0, 0xA0}));
    const Bytes adc = client_->exchange({'A'});
    ASSERT_EQ(adc.size(), 18u);
    EXPECT_EQ(Bytes(adc.begin() + 16, adc.end()), (Bytes{0x34, 0x12}));
    EXPECT_EQ(client_->exchange({'E', 0, 0, 0, 0, 0}), (Bytes{8, 'E', 0, 0, 0, 0x04, 0, 0x08}));
    EXPECT_EQ(client_->exchange({'I', 0xA1, 3, 0, 0, 0, 0}), (Bytes{5, 'I', 0x11, 0x22, 0}));
}

TEST_F(BoardSimCommandsOnTheWire, FaultsFramesAndPlugCommands) {
    run("fault wrong-echo 2");
    for (const char echo : {'W', 'W', 'V'}) EXPECT_EQ(client_->exchange({'V'})[1], echo);
    EXPECT_EQ(client_->exchange({'8', 5, 3, 4, 8}), (Bytes{2, '8'}));
    ASSERT_TRUE(client_->write({'Z'}));
    ASSERT_TRUE(sim_->waitForFrames(5, 2s));

    const CommandResult frames = runCommand(*sim_, "frames");
    EXPECT_EQ(frames.output, "56\n56\n56\n38 05 03 04 08  bad-checksum\n5A  dropped\n");
    run("clear");
    EXPECT_EQ(sim_->frameCount(), 0u);

    run("raw 0x02 0x51");
    EXPECT_EQ(client_->read(2), (Bytes{0x02, 'Q'}));

    const std::string before = sim_->slavePath();
    run("unplug");
    EXPECT_TRUE(client_->hungUp());
    const CommandResult replug = runCommand(*sim_, "replug");
    EXPECT_EQ(replug.output, sim_->portPath() + "\n");
    EXPECT_NE(sim_->slavePath(), before);

    EXPECT_TRUE(runCommand(*sim_, "quit").quit);
    EXPECT_NE(runCommand(*sim_, "state").output, "");
}

// Every frame spoilt, by every kind of fault, the same kinds for the same seed; "chaos off"
// gives clean replies again.
TEST_F(BoardSimCommandsOnTheWire, ChaosSpoilsRepliesWithEveryFaultRepeatablyUntilSwitchedOff) {
    const auto spoil = [&](std::uint64_t upTo) {
        run("chaos 7 100");
        // '8' 20 carries a checksum, so a bad checksum is one of the choices.
        for (std::uint64_t i = sim_->framesAnswered(); i < upTo; ++i) ASSERT_TRUE(client_->write({'8', 20}));
        for (int i = 0; i < 500 && sim_->framesAnswered() < upTo; ++i) std::this_thread::sleep_for(10ms);
        ASSERT_EQ(sim_->framesAnswered(), upTo);
    };
    spoil(300);
    std::vector<std::uint64_t> first;
    for (int k = 0; k < kFaultKinds; ++k) first.push_back(sim_->faultsApplied(static_cast<Fault>(k)));
    spoil(600);
    std::string counts = runCommand(*sim_, "faults").output;
    for (int k = 0; k < kFaultKinds; ++k) {
        const auto f = static_cast<Fault>(k);
        EXPECT_EQ(sim_->faultsApplied(f), 2 * first[static_cast<std::size_t>(k)]) << faultName(f);
        if (f == Fault::None) continue;
        EXPECT_GT(first[static_cast<std::size_t>(k)], 0u) << faultName(f);
        EXPECT_NE(counts.find(std::string(faultName(f)) + ' ' + std::to_string(2 * first[static_cast<std::size_t>(k)]) + '\n'), std::string::npos) << counts;
    }
    EXPECT_EQ((std::tuple{first[0], counts.substr(counts.rfind("answered"))}), (std::tuple{0u, std::string("answered 600\n")}));

    run("chaos off");
    client_->read(1 << 20, 500ms);  // what the faults left on the line, late replies too
    EXPECT_EQ(client_->exchange({'V'}), (Bytes{0x04, 'V', 0x13, 0x21}));
}

TEST_F(BoardSimCommandsOnTheWire, BadCommandsAreRefusedAndChangeNothing) {
    for (const char* bad : {"version 0x10000 1", "version 1", "absent 2", "measured", "status 256", "adc 8 1",
                            "adc 1 x", "input 34 1", "input 3 2", "intflag 0 1", "intflag 6 1", "fault bogus",
                            "fault silence 0", "fault silence 1 2", "i2c 0x100", "raw", "quit now", "frobnicate", "status 0x",
                            "status 12a", "status -1", "status +1", "status 1.5", "loader-fault", "loader-fault bogus",
                            "loader-fault absent 2", "chaos", "chaos x", "chaos 1 101", "chaos 1 2 3", "faults 1"}) {
        const CommandResult r = runCommand(*sim_, bad);
        EXPECT_FALSE(r.ok || r.quit || r.error.empty()) << bad;
    }
    EXPECT_EQ(client_->exchange({'V'}), (Bytes{4, 'V', 0x13, 0x21}));
    EXPECT_EQ(client_->exchange({'8', 18}), (Bytes{6, '8', 0x19, 0x13, 0, 0x2C}));
    EXPECT_EQ(client_->exchange({'E', 0, 0, 0, 0, 0}), (Bytes{8, 'E', 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace boardsim
