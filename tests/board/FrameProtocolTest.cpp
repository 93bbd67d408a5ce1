#include "FakeTransport.h"
#include "platform/core/Debug.h"

namespace {

class FrameProtocol : public FakeLinkTest {
protected:
    void AnswerMeasured(std::uint16_t value, std::uint8_t status) {
        fake_->respond = [=](const Bytes& f) {
            if (f[0] == '8' && f[1] == 20)
                return MakeReply('8', {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8), status},
                                 true);
            return Bytes{2, f[0]};
        };
    }
    platform::DebugCapture debug_;
};

}  // namespace

TEST_F(FrameProtocol, OpenReinitialisesOncePerCloseAndKeepsThatAfterAFailedOpen) {
    const Bytes control{'C', 0, 0x03, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(link_->Open(0), 1);
    ASSERT_EQ(Sent(), 1u);
    EXPECT_EQ(Frame(0), control);
    link_->Open(0);
    EXPECT_EQ(Sent(), 1u);  // no second 'C' without a Close

    link_->Close();
    fake_->openResult = 0;
    EXPECT_EQ(link_->Open(0), 0);
    EXPECT_EQ(Sent(), 1u);  // nothing goes out over a failed open...
    fake_->openResult = 1;
    EXPECT_EQ(link_->Open(0), 1);
    ASSERT_EQ(Sent(), 2u);  // ...and the next good one still re-initialises
    EXPECT_EQ(Frame(1), control);
}

TEST_F(FrameProtocol, WrongEchoFailsKeepsTheOldReplyAndConsumesOneMoreReply) {
    AnswerMeasured(0x1234, 0);
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x1234);
    int calls = 0;
    fake_->respond = [&](const Bytes&) {
        if (++calls == 1) {  // the wrong letter, then the real reply that was owed
            Bytes r = MakeReply('V', {0x99, 0x99, 0}, true);
            const Bytes real = MakeReply('8', {0x55, 0x55, 0}, true);
            r.insert(r.end(), real.begin(), real.end());
            return r;
        }
        return MakeReply('8', {0x78, 0x56, 0}, true);
    };
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x1234);
    EXPECT_EQ(debug_.count("Receive data missmatch\n"), 1u);
    EXPECT_EQ(fake_->Pending(), 0u);             // exactly the owed reply was drained
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x5678);
}

TEST_F(FrameProtocol, ChecksumFailureStillDeliversTheReplyButNotTheMeasuredValue) {
    fake_->respond = [](const Bytes& f) {
        Bytes r;
        if (f[1] == 17) {
            r = MakeReply('8', {0, 0, 0x34, 0x12, 0, 0, 0, 0, 0, 0x07}, true);
        } else {
            r = MakeReply('8', {0x22, 0x11, 0}, true);
        }
        r.back() ^= 0xFF;  // spoil the checksum
        return r;
    };
    link_->ReadSub17(1);
    EXPECT_EQ(link_->GetLastStatus(), 7);  // copied although the check failed
    EXPECT_EQ(link_->ReadMeasuredValue(0), 0x1234);
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x1234);
}

TEST_F(FrameProtocol, AReplyCutShortKeepsThePreviousReading) {
    // Port 0 reads high; then a level reply stops after its echo (the rest never came).
    fake_->respond = [](const Bytes&) { return MakeReply('E', {0x01, 0, 0, 0, 0, 0x02}, false); };
    ASSERT_EQ((std::pair{link_->ReadPort(0, 1), link_->ReadInterruptFlag(1, 0)}), (std::pair{1, 1}));
    fake_->respond = [](const Bytes&) { return Bytes{8, 'E', 0x00}; };
    EXPECT_EQ((std::pair{link_->ReadPort(0, 1), link_->ReadInterruptFlag(1, 0)}), (std::pair{1, 1}));
    EXPECT_EQ(fake_->Pending(), 0u);
}

TEST_F(FrameProtocol, AParameterBlockReadAsTheFirstFrameCarriesItsLetterAndSum) {
    link_->SendParameterBlockAndRead(1);
    Bytes expected(36, 0);
    expected[0] = '8', expected[1] = 0xFF, expected[9] = 1, expected[35] = 1;  // [9] = 1 from construction
    EXPECT_EQ(Last(), expected);
}

TEST_F(FrameProtocol, A64ByteReplyIsDeliveredAndLongerOnesAreSwallowedWhole) {
    I2cRecord read;
    read.operation = 1;
    read.address = 0x50;
    std::uint8_t out[64] = {};
    std::uint32_t count = 0;
    for (const std::uint8_t total : {64, 65, 200}) {
        fake_->respond = [total](const Bytes& f) {
            Bytes r(total, 0x5A);
            r[0] = total;
            r[1] = f[0];
            r[63] = 0x77;  // the last byte a reply may have
            return r;
        };
        link_->I2cTransfer(0, &read, 1);
        EXPECT_EQ(fake_->Pending(), 0u) << int(total);
        link_->GetI2cReply(out, &count);
        EXPECT_EQ(count, total == 64 ? 64u : 0u);  // nothing of an oversized reply is kept
        if (total == 64) { EXPECT_EQ(out[61], 0x77); }
    }
    EXPECT_EQ(debug_.count("Receive data too long\n"), 2u);

    // A garbled length byte followed by a few bytes and silence: swallowed without
    // waiting out a time-out for the bytes it promised.
    fake_->respond = [](const Bytes& f) { return Bytes{200, f[0], 1, 2}; };
    fake_->emptyReads = 0;
    link_->I2cTransfer(0, &read, 1);
    EXPECT_EQ((std::tuple{fake_->emptyReads.load(), debug_.count("Receive data too long\n")}), (std::tuple{0, 3u}));
}

TEST_F(FrameProtocol, AbsentBoardAndSuspendedLinkPutNothingOnTheWire) {
    AnswerMeasured(0x0203, 0);
    link_->ReadMeasuredValue(1);
    const auto before = Sent();
    fake_->present = 0;
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0203);
    link_->SendReset(1, 1);
    EXPECT_EQ(Sent(), before);

    fake_->present = 1;
    link_->Suspend();
    AnswerMeasured(0x9999, 0);
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0203);
    EXPECT_EQ((std::tuple{Sent(), link_->Resume(), link_->ReadMeasuredValue(1)}), (std::tuple{before, 0, 0x9999}));
}

TEST_F(FrameProtocol, MeasuredValueReadsZeroWhileTheStatusIsSet) {
    AnswerMeasured(0x0500, 3);
    EXPECT_EQ((std::tuple{link_->ReadMeasuredValue(1), link_->GetLastStatus()}), (std::tuple{0, 3}));
    AnswerMeasured(0x0500, 0);
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0500);
}

TEST_F(FrameProtocol, PulsesFollowThePortMap) {
    for (int port : {-1, 0, 20, 34, 1000}) EXPECT_EQ(link_->PulsePort(1, port, 1), 0) << port;
    EXPECT_EQ(Sent(), 0u);
    for (int port : {29, 33}) EXPECT_EQ(link_->PulsePort(1, port, 1), 1) << port;
    EXPECT_EQ(fake_->Frames(), (std::vector<Bytes>{{'8', 6, 1, 19, 20}, {'8', 6, 1, 33, 34}}));
}

TEST(DllVersion, WritesTheFixedTextWithinTheBuffer) {
    CRG1Micon link(std::make_unique<FakeTransport>());
    char buf[8], small[3];
    EXPECT_EQ((std::tuple{link.GetDllVersion(buf, sizeof buf), link.GetDllVersion(small, sizeof small)}), (std::tuple{4, 2}));
    EXPECT_EQ((std::pair{std::string(buf), std::string(small)}), (std::pair{std::string("2010"), std::string("20")}));
    EXPECT_EQ(link.GetDllVersion(nullptr, 4), 0);
}
