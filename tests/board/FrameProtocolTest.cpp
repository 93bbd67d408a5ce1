// The board link's frame algorithm, driven byte by byte through an in-memory transport.
#include <gtest/gtest.h>

#include "FakeTransport.h"
#include "board/RG1Micon.h"
#include "platform/core/Clock.h"
#include "platform/core/Debug.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

class FrameProtocol : public ::testing::Test {
protected:
    FrameProtocol() : scope_(clock_) {
        auto t = std::make_unique<FakeTransport>();
        fake_ = t.get();
        link_ = std::make_unique<CRG1Micon>(std::move(t));
    }

    // Answers '8' 20 with a measured value and status, everything else with an ack.
    void AnswerMeasured(std::uint16_t value, std::uint8_t status) {
        fake_->respond = [=](const Bytes& f) {
            if (f[0] == '8' && f[1] == 20)
                return MakeReply('8', {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8), status},
                                 true);
            return Bytes{2, f[0]};
        };
    }

    platform::ManualClock clock_;
    platform::ScopedClock scope_;
    platform::DebugCapture debug_;
    FakeTransport* fake_ = nullptr;
    std::unique_ptr<CRG1Micon> link_;
};

}  // namespace

TEST_F(FrameProtocol, ConstructionSendsNothingAndSeedsTheLongFrame) {
    EXPECT_TRUE(fake_->written.empty());
    link_->SendParameterBlock(1);
    ASSERT_EQ(fake_->written.size(), 1u);
    Bytes expected(36, 0);
    expected[0] = '8';
    expected[1] = 1;
    expected[9] = 1;
    expected[35] = 1;  // sum of bytes 2 to 32
    EXPECT_EQ(fake_->written[0], expected);
}

TEST_F(FrameProtocol, OpenReinitialisesOncePerCloseAndKeepsThatAfterAFailedOpen) {
    const Bytes control{'C', 0, 0x03, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(link_->Open(0), 1);
    ASSERT_EQ(fake_->written.size(), 1u);
    EXPECT_EQ(fake_->written[0], control);
    link_->Open(0);
    EXPECT_EQ(fake_->written.size(), 1u);  // no second 'C' without a Close

    link_->Close();
    fake_->openResult = 0;
    EXPECT_EQ(link_->Open(0), 0);
    EXPECT_EQ(fake_->written.size(), 1u);  // nothing goes out over a failed open...
    fake_->openResult = 1;
    EXPECT_EQ(link_->Open(0), 1);
    ASSERT_EQ(fake_->written.size(), 2u);  // ...and the next good one still re-initialises
    EXPECT_EQ(fake_->written[1], control);
}

TEST_F(FrameProtocol, WrongEchoFailsKeepsTheOldReplyAndConsumesOneMoreReply) {
    AnswerMeasured(0x1234, 0);
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x1234);

    int calls = 0;
    fake_->respond = [&](const Bytes&) {
        ++calls;
        if (calls == 1) {  // the wrong letter, then the real reply that was owed
            Bytes r = MakeReply('V', {0x99, 0x99, 0}, true);
            Bytes real = MakeReply('8', {0x55, 0x55, 0}, true);
            r.insert(r.end(), real.begin(), real.end());
            return r;
        }
        return MakeReply('8', {0x78, 0x56, 0}, true);
    };
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x1234);  // unchanged: the command failed
    EXPECT_EQ(debug_.count("Receive data missmatch\n"), 1u);
    EXPECT_TRUE(fake_->pending.empty());             // exactly the owed reply was drained
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x5678);  // and the next command is in step
}

TEST_F(FrameProtocol, ChecksumFailureStillDeliversTheReplyButNotTheMeasuredValue) {
    fake_->respond = [](const Bytes& f) {
        Bytes r;
        if (f[1] == 17) {
            Bytes payload(10, 0);
            payload[2] = 0x34;  // measured value low, at byte 4
            payload[3] = 0x12;
            payload[9] = 0x07;  // status, at byte 11
            r = MakeReply('8', payload, true);
        } else {
            r = MakeReply('8', {0x22, 0x11, 0}, true);
        }
        r.back() ^= 0xFF;  // spoil the checksum
        return r;
    };
    link_->ReadSub17(1);
    EXPECT_EQ(link_->GetLastStatus(), 7);  // copied although the check failed
    EXPECT_EQ(link_->ReadMeasuredValue(0), 0x1234);
    // '8' 20 only takes a value from an exchange that succeeded.
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x1234);
}

TEST_F(FrameProtocol, OversizedLengthNeverOverflowsAndTheNextFrameWorks) {
    AnswerMeasured(0x0102, 0);
    link_->ReadMeasuredValue(1);
    int calls = 0;
    fake_->respond = [&](const Bytes& f) {
        if (++calls == 1) {
            Bytes r(200, 0xEE);
            r[0] = 200;
            r[1] = f[0];
            return r;
        }
        return MakeReply('8', {0x04, 0x03, 0}, true);
    };
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0102);
    EXPECT_TRUE(fake_->pending.empty());
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0304);
}

TEST_F(FrameProtocol, ShortZeroAndMissingRepliesFailWithoutTouchingKeptValues) {
    AnswerMeasured(0x0A0B, 0);
    link_->ReadMeasuredValue(1);

    // The length says 6, three bytes come.
    fake_->respond = [](const Bytes&) { return Bytes{6, '8', 0x01}; };
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0A0B);

    // A lone zero length byte counts as a wrong echo.
    fake_->respond = [](const Bytes&) { return Bytes{0}; };
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0A0B);
    EXPECT_GE(debug_.count("Receive data missmatch\n"), 1u);

    // Silence: five empty reads of the length byte, then give up.
    fake_->respond = [](const Bytes&) { return Bytes{}; };
    fake_->reads = 0;
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0A0B);
    EXPECT_EQ(fake_->reads, 5);
    EXPECT_EQ(link_->SendSelect(3, 1), 1);  // operations that ignore the result still say 1
}

TEST_F(FrameProtocol, AbsentBoardAndSuspendedLinkPutNothingOnTheWire) {
    AnswerMeasured(0x0203, 0);
    link_->ReadMeasuredValue(1);
    const auto before = fake_->written.size();

    fake_->present = 0;
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0203);
    link_->SendReset(1, 1);
    EXPECT_EQ(fake_->written.size(), before);

    fake_->present = 1;
    link_->Suspend();
    AnswerMeasured(0x9999, 0);
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0203);  // the kept reading
    EXPECT_EQ(fake_->written.size(), before);
    EXPECT_EQ(link_->Resume(), 0);
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x9999);
}

TEST_F(FrameProtocol, MeasuredValueReadsZeroWhileTheStatusIsSet) {
    AnswerMeasured(0x0500, 3);
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0);
    EXPECT_EQ(link_->GetLastStatus(), 3);
    AnswerMeasured(0x0500, 0);
    EXPECT_EQ(link_->ReadMeasuredValue(1), 0x0500);
    EXPECT_EQ(link_->GetLastStatus(), 0);
}

TEST_F(FrameProtocol, VersionsMasksAndFrameVariant) {
    std::uint16_t second = 0x1319;
    std::uint8_t absent = 0;
    bool spoil = false;
    fake_->respond = [&](const Bytes& f) {
        if (f[0] == 'V') return MakeReply('V', {0x13, 0x21}, false);
        Bytes r = MakeReply('8', {static_cast<std::uint8_t>(second), static_cast<std::uint8_t>(second >> 8), absent}, true);
        if (spoil) r.back() ^= 1;
        return r;
    };
    std::uint16_t m = 0, s = 0;
    EXPECT_EQ(link_->GetVersion(&m, &s, 1), 1);
    EXPECT_EQ(m, 0x2113);
    EXPECT_EQ(s, 0x1319);
    EXPECT_EQ(fake_->written[0], (Bytes{'V'}));
    EXPECT_EQ(fake_->written[1], (Bytes{'8', 18}));
    EXPECT_EQ(clock_.totalSleptMs(), 5u);  // the pause between the two reads

    EXPECT_EQ(link_->CheckVersionEqual(0x2113, 0x1319), 0);
    EXPECT_EQ(link_->CheckVersionEqual(0x2114, 0x1319), 1);
    EXPECT_EQ(link_->CheckVersionEqual(0x2113, 0x1216), 2);
    EXPECT_EQ(link_->CheckVersionOlder(0x2114, 0x1320), 3);
    EXPECT_EQ(link_->CheckVersionOlder(0x2112, 0x1318), 0);

    second = 0x2005;  // a second controller of another line is never offered an update
    EXPECT_EQ(link_->CheckVersionOlder(0x2113, 0x9999), 0);
    EXPECT_EQ(link_->CheckVersionEqual(0x2113, 0x1319), 0);

    second = 0x1216;
    link_->GetVersion(nullptr, nullptr, 1);
    EXPECT_TRUE(link_->UsesLongFrames());
    second = 0x1319;
    spoil = true;  // a garbled reply must not switch the frame variant
    link_->GetVersion(nullptr, &s, 1);
    EXPECT_EQ(s, 0x1216);
    EXPECT_TRUE(link_->UsesLongFrames());

    spoil = false;
    absent = 1;
    link_->GetVersion(nullptr, &s, 1);
    EXPECT_EQ(s, 0);
    EXPECT_FALSE(link_->UsesLongFrames());
    // Send 0 reports what was kept without a word on the wire.
    const auto n = fake_->written.size();
    link_->GetVersion(&m, &s, 0);
    EXPECT_EQ(fake_->written.size(), n);
    EXPECT_EQ(m, 0x2113);
}

TEST_F(FrameProtocol, SimpleFramesCarryTheirExactBytes) {
    link_->SendReset(1, 1);
    link_->SendSelect(0x13, 1);
    link_->SendSelectPair(1, 0x10, 1);
    link_->SendSelectPair(0, 0x05, 1);
    link_->SetOutputValue(0x23, 0x1234, 0x56, 1);
    EXPECT_EQ(link_->PulsePort(5, 25, 1), 1);
    link_->RequestFirmwareMode(0);
    link_->RequestFirmwareMode(1);
    const std::vector<Bytes> expected{
        {'R', 0},
        {'8', 0},
        {'8', 4, 0x13, 0x13},
        {'8', 5, 0x10, 0x00, 0x10},
        {'8', 5, 0x10, 0x05, 0x15},
        {'O', 0xE3, 0x34, 0x12, 0x56, 0x9C},
        {0x38, 0x06, 0x05, 0x04, 0x09},
        {'W', 0xFF, 0, 0, 0},
        {'W', 0, 0, 0, 0xFF},
    };
    EXPECT_EQ(fake_->written, expected);
}

TEST_F(FrameProtocol, PortMapBoundsPulsesAndSharedFramesAreRewritten) {
    for (int port : {-1, 0, 20, 34, 1000}) EXPECT_EQ(link_->PulsePort(1, port, 1), 0) << port;
    EXPECT_TRUE(fake_->written.empty());
    EXPECT_EQ(link_->PulsePort(1, 29, 1), 1);
    EXPECT_EQ(link_->PulsePort(1, 33, 1), 1);
    EXPECT_EQ(fake_->written[0], (Bytes{'8', 6, 1, 19, 20}));
    EXPECT_EQ(fake_->written[1], (Bytes{'8', 6, 1, 33, 34}));

    // '8' 21 shares its buffer with '8' 5: the select pair must still go out as '8' 5.
    fake_->respond = [](const Bytes& f) {
        return f[1] == 21 ? MakeReply('8', {0x42, 0}, true) : Bytes{2, f[0]};
    };
    EXPECT_EQ(link_->ReadSub21(1), 0x42);
    link_->SendSelectPair(1, 2, 1);
    EXPECT_EQ(fake_->written.back()[1], 5);
    EXPECT_EQ(fake_->written[fake_->written.size() - 2], (Bytes{'8', 21}));

    std::uint32_t status = 0;
    fake_->respond = [](const Bytes& f) {
        return f[1] == 22 ? MakeReply('8', {0x09, 0, 0}, true) : Bytes{2, f[0]};
    };
    link_->ReadStatus(&status, 1);
    EXPECT_EQ(status, 9u);
    EXPECT_EQ(link_->GetLastStatus(), 9);
}

TEST(DllVersion, WritesTheFixedTextWithinTheBuffer) {
    CRG1Micon link(std::make_unique<FakeTransport>());
    char buf[8];
    EXPECT_EQ(link.GetDllVersion(buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "2010");
    char small[3];
    EXPECT_EQ(link.GetDllVersion(small, sizeof small), 2);
    EXPECT_STREQ(small, "20");
    EXPECT_EQ(link.GetDllVersion(nullptr, 4), 0);
}
