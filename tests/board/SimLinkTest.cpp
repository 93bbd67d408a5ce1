#include <gtest/gtest.h>

#include "SimLink.h"
#include "platform/core/Debug.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

class SimLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(s_.started);
        ASSERT_TRUE(s_.ConnectAndClear());
    }
    SimLink s_;
    CRG1Micon& link() { return *s_.link; }
};

}  // namespace

TEST_F(SimLinkTest, ProtocolFramesAndTheValuesTheyBringBack) {
    s_.sim.setMeasuredValue(0x1234);
    s_.sim.setStatus(0);
    s_.sim.setSub21Value(0x5A);

    EXPECT_EQ(link().SendReset(1, 1), 1);
    std::uint16_t m = 0, s = 0;
    link().GetVersion(&m, &s, 1);
    EXPECT_EQ((std::pair{m, s}), (std::pair<std::uint16_t, std::uint16_t>(0x2113, 0x1319)));
    link().ReadSub17(1);
    EXPECT_EQ(link().ReadMeasuredValue(0), 0x1234);  // the 13-byte reply filled the status record
    link().SendParameterBlock(1);
    link().SendParameterBlockAndRead(1);
    EXPECT_EQ(link().ReadMeasuredValue(1), 0x1234);
    s_.sim.setStatus(9);
    std::uint32_t status = 0;
    link().ReadStatus(&status, 1);
    EXPECT_EQ((std::pair{status, link().GetLastStatus()}), (std::pair{9u, 9}));
    // '8' 21 shares its buffer with '8' 5: the select pairs below must still be '8' 5.
    EXPECT_EQ(link().ReadSub21(1), 0x5A);
    link().SendSelect(19, 1);
    link().SendSelectPair(1, 0x10, 1);
    link().SendSelectPair(0, 7, 1);
    link().SetOutputValue(0x23, 0x0304, 5, 1);
    link().SetOutputValue(0x23, 0x0304, 5, 1);  // the kept checksum byte is not summed in
    link().PulsePort(3, 22, 1);
    link().RequestFirmwareMode(0);
    link().RequestFirmwareMode(1);

    Bytes block(36, 0);  // the long frame as constructed: [9] = 1, [35] = sum of [2..32]
    block[0] = '8', block[1] = 1, block[9] = 1, block[35] = 1;
    Bytes blockRead = block;
    blockRead[1] = 0xFF;
    const std::vector<Bytes> expected{
        {'R', 0}, {'8', 0}, {'V'}, {'8', 18}, {'8', 17}, block, blockRead, {'8', 20}, {'8', 22}, {'8', 21},
        {'8', 4, 19, 19}, {'8', 5, 0x10, 0, 0x10}, {'8', 5, 0x10, 7, 0x17}, {'O', 0xE3, 0x04, 0x03, 0x05, 0x0C}, {'O', 0xE3, 0x04, 0x03, 0x05, 0x0C},
        {'8', 6, 3, 1, 4}, {'W', 0xFF, 0, 0, 0}, {'W', 0, 0, 0, 0xFF},
    };
    EXPECT_EQ(s_.Frames(), expected);
    for (const auto& f : s_.sim.frames()) EXPECT_TRUE(f.checksumOk);
}

TEST_F(SimLinkTest, VersionMasksAndTheFrameVariantFollowTheBoard) {
    EXPECT_EQ((std::vector{link().CheckVersionEqual(0x2113, 0x1319), link().CheckVersionEqual(0x2114, 0x1319),
                           link().CheckVersionEqual(0x2113, 0x1216), link().CheckVersionOlder(0x2114, 0x1320),
                           link().CheckVersionOlder(0x2114, 0x1216), link().CheckVersionOlder(0x2112, 0x1318)}),
              (std::vector{0, 1, 2, 3, 1, 0}));
    s_.sim.setSecondVersion(0x1100);
    EXPECT_EQ(link().CheckVersionOlder(0x2113, 0x1216), 2);
    s_.sim.setSecondVersion(0x2005);  // another line: never offered an update
    EXPECT_EQ((std::tuple{link().CheckVersionOlder(0x2113, 0x3000), link().CheckVersionEqual(0x2113, 0x1319)}), (std::tuple{0, 0}));

    std::uint16_t m = 0, s = 0;
    s_.sim.setSecondVersion(0x1216);
    link().GetVersion(nullptr, nullptr, 1);
    EXPECT_TRUE(link().UsesLongFrames());
    s_.sim.setSecondVersion(0x1319);
    s_.sim.injectFault(boardsim::Fault::BadChecksum);  // a garbled '8' 18 must not switch the variant
    link().GetVersion(nullptr, &s, 1);
    EXPECT_EQ((std::pair{s, link().UsesLongFrames()}), (std::pair{std::uint16_t{0x1216}, true}));
    s_.sim.setSecondAbsent(true);
    link().GetVersion(nullptr, &s, 1);
    EXPECT_EQ((std::pair{s, link().UsesLongFrames()}), (std::pair{std::uint16_t{0}, false}));
    // Send 0: the kept value, nothing on the wire.
    const auto frames = s_.sim.frameCount();
    link().GetVersion(&m, &s, 0);
    EXPECT_EQ((std::pair{s_.sim.frameCount(), m}), (std::pair{frames, std::uint16_t{0x2113}}));
}

TEST_F(SimLinkTest, EveryInjectedFaultFailsCleanlyAndTheNextFrameWorks) {
    using boardsim::Fault;
    platform::DebugCapture debug;
    std::uint16_t value = 0x0100;
    s_.sim.setMeasuredValue(value);
    ASSERT_EQ(link().ReadMeasuredValue(1), value);

    for (Fault fault : {Fault::Silence, Fault::WrongEcho, Fault::BadChecksum, Fault::ShortReply,
                        Fault::OversizedLength, Fault::ZeroLength, Fault::Garbage, Fault::StaleReply}) {
        SCOPED_TRACE(static_cast<int>(fault));
        s_.sim.setMeasuredValue(static_cast<std::uint16_t>(value + 1));
        s_.sim.injectFault(fault);
        const int got = link().ReadMeasuredValue(1);
        EXPECT_TRUE(got == value || fault == Fault::StaleReply) << got;
        ++value;
        s_.sim.setMeasuredValue(value);
        EXPECT_EQ(link().ReadMeasuredValue(1), value);
    }
    EXPECT_GE(debug.count("Receive data missmatch\n"), 1u);

    s_.sim.setMeasuredValue(0x0777);
    s_.sim.injectFault(Fault::LateReply);
    EXPECT_EQ(link().ReadMeasuredValue(1), 0x0777);
}

TEST_F(SimLinkTest, AnalogReadsOutsideTheChannelsAreRefusedOrReportNothing) {
    const auto frames = s_.sim.frameCount();
    EXPECT_EQ(link().ReadAdc(34, 1), 0);
    EXPECT_EQ(s_.sim.frameCount(), frames);
    EXPECT_EQ(link().ReadAdc(8, 1), 0);  // accepted and sent, nothing to report
    EXPECT_EQ(s_.sim.frameCount(), frames + 1);
}

TEST_F(SimLinkTest, LongFramesCarryPortsAndChannelsWithoutDisturbingEachOther) {
    s_.sim.setSecondVersion(0x1216);
    link().GetVersion(nullptr, nullptr, 1);
    ASSERT_TRUE(link().UsesLongFrames());
    s_.sim.setInputPort(21, true);
    s_.sim.setInputPort(33, true);
    s_.sim.setMeasuredValue(0x0303);
    s_.sim.clearFrames();

    // [9] = 1 from construction, port 30's bits, checksum over [2..34]; then the read.
    Bytes longPort(36, 0);
    longPort[0] = '8', longPort[1] = 3, longPort[9] = 1, longPort[23] = 0x10, longPort[24] = 0x10, longPort[35] = 0x21;
    PortRecord r{30, 1, 1, 0, 1};
    link().WritePort(30, &r, 1);
    EXPECT_EQ(s_.Frames(), (std::vector<Bytes>{longPort, {'8', 19}}));
    EXPECT_TRUE(s_.sim.portLevel(30));
    for (int p = 21; p < 34; ++p) EXPECT_EQ(link().ReadPort(p, 0), p == 21 || p == 30 || p == 33 ? 1 : 0) << p;
    EXPECT_EQ(link().ReadMeasuredValue(0), 0x0303);  // that reply also carries the kept value

    s_.sim.clearFrames();
    PwmChannelRecord ch8;
    ch8.value = 0x123;
    ch8.outputA = 2;
    link().SetPwmChannel(8, &ch8, 1);
    const Bytes f = s_.Frames().at(0);
    ASSERT_EQ(f.size(), 36u);
    // Channel 8 in [15], [16], [27]; [23] as the port frame left it.
    EXPECT_EQ((Bytes{f[1], f[15], f[16], f[27], f[23]}), (Bytes{2, 0x23, 0x01, 0x02, 0x10}));
    EXPECT_EQ((std::tuple{s_.sim.frames().at(0).checksumOk, s_.sim.portLevel(30)}), (std::tuple{true, true}));

    // A channel 6-8 period at [9] must not leak into the port frame or parameter blocks.
    PwmChannelRecord ch6;
    ch6.frequency = 100;  // period 3750, 0xA6 at [9]
    link().SetPwmFrequency(6, &ch6, 1);
    EXPECT_EQ(s_.Frames().back()[9], 0xA6);
    s_.sim.clearFrames();
    link().WritePort(30, &r, 1);
    link().SendParameterBlock(1);
    const auto frames = s_.Frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ((std::tuple{frames[0], frames[2][9]}), (std::tuple{longPort, 1}));
    for (const auto& logged : s_.sim.frames()) EXPECT_TRUE(logged.checksumOk);
}
