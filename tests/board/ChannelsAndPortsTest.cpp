#include <cmath>
#include <limits>
#include <tuple>

#include "FakeTransport.h"

namespace {

using Ops = FakeLinkTest;

}  // namespace

TEST_F(Ops, PeriodRulesWhereNoExponentFitsOrTheFrequencyIsAPeriod) {
    // 50 Hz: no exponent fits, the period stays; the percent uses the last period tried.
    PwmChannelRecord r;
    r.period = 1234;
    r.exponent = 3;
    r.frequency = 50;
    r.percent = 1;
    r.value = 50;
    link_->SetPwmFrequency(6, &r, 0);
    EXPECT_EQ((std::tuple{r.period, r.exponent, r.value}), (std::tuple{1234u, 3.0, 3750.0}));

    r = {};
    r.frequency = 100;
    r.frequencyMode = 1;
    r.value = 77;
    link_->SetPwmFrequency(7, &r, 0);
    EXPECT_EQ((std::tuple{r.period, r.exponent, r.value}), (std::tuple{200u, 0.0, 77.0}));
    EXPECT_EQ(Sent(), 0u);  // send 0: nothing on the wire
}

TEST_F(Ops, FrequenciesWithoutAPeriodGiveDefinedBytes) {
    for (double f : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        PwmChannelRecord r;
        r.period = 9;
        r.frequency = f;
        r.value = 60;
        r.percent = 1;
        EXPECT_EQ(link_->SetPwmFrequency(6, &r, 1), 1);
        EXPECT_EQ((std::tuple{r.period, r.value, Last()[11]}), (std::tuple{9u, 5.0, 5})) << f;
        r.frequency = f;
        r.value = 10;
        r.period = 3;
        EXPECT_EQ(link_->SetPwmFrequency(0, &r, 0), 1);
        EXPECT_EQ(r.period, 3u) << f;
    }
    // Too fast: the fastest period, not a wrapped one.
    PwmChannelRecord fast;
    fast.frequency = 50000;
    link_->SetPwmFrequency(2, &fast, 1);
    EXPECT_EQ((std::pair{fast.period, Last()[7]}), (std::pair{0u, std::uint8_t{0}}));
    fast.frequency = 1e9;
    link_->SetPwmFrequency(0, &fast, 1);
    EXPECT_EQ((std::pair{fast.period, Last()[1] & 0xF0}), (std::pair{0u, 0}));
    PwmChannelRecord huge;
    huge.value = 1e30;
    fake_->Clear();
    EXPECT_EQ(link_->SetPwmChannel(8, &huge, 1), 1);
    EXPECT_EQ((std::pair{Frame(0)[15], Frame(0)[16] & 0x0F}), (std::pair{std::uint8_t{0xFF}, 0x0F}));
}

TEST_F(Ops, ChannelEdgesAndRefusals) {
    PwmChannelRecord r;
    r.value = 0;
    link_->SetPwmChannel(2, &r, 1);
    EXPECT_EQ((std::pair{Frame(0)[8], Frame(0)[6] & 0x40}), (std::pair{std::uint8_t{0xFF}, 0}));
    EXPECT_EQ(Frame(1), (Bytes{'8', 19}));  // the port read that follows

    // Channel 0 marks full scale only above it, channel 1 exactly at it.
    PwmChannelRecord full;
    full.period = 15;
    full.value = 256;
    link_->SetPwmChannel(0, &full, 0);
    link_->SetPwmChannel(1, &full, 1);
    const Bytes p = Frame(2);
    EXPECT_EQ((std::tuple{p[2], p[3] & 0x08, p[5] & 0x08}), (std::tuple{std::uint8_t{0}, 0, 0x08}));

    fake_->Clear();
    for (int channel : {9, -1}) EXPECT_EQ(link_->SetPwmChannel(channel, &r, 1), 0);
    EXPECT_EQ((std::tuple{link_->SetPwmFrequency(0, nullptr, 1), Sent()}), (std::tuple{0, 0u}));
}

TEST_F(Ops, PortWritesOutsideTheMapAreRefused) {
    PortRecord r{34, 1, 1, 0, 1};
    EXPECT_EQ((std::tuple{link_->WritePort(34, &r, 1), link_->WritePort(5, nullptr, 1), Sent()}), (std::tuple{0, 0, 0u}));
}

TEST_F(Ops, ControlFrameRefusesUnknownInputsAndKeepsItsSettings) {
    AdcChannelRecord adc{2, 1, 1, 5, 1};
    EXPECT_EQ(link_->SetAdcChannel(12, &adc, 1), 1);  // accepted, nothing of it in the frame
    EXPECT_EQ(link_->SetAdcChannel(34, &adc, 1), 0);
    InterruptInputRecord in4{4, 2, 1, 1};
    link_->SetInterruptInput(4, &in4, 1);
    EXPECT_EQ((std::tuple{Last()[10], link_->SetInterruptInput(6, &in4, 1)}), (std::tuple{0x09, 0}));
    link_->SetControl(1, 1, 4, 0);
    link_->SendControlStop();
    EXPECT_EQ((std::tuple{Last()[2], Last()[3], Last()[10]}), (std::tuple{2, 2, 0x09}));
}

TEST_F(Ops, SerialBusSerialDataAndMotorModes) {
    fake_->respond = [](const Bytes& f) { return f[0] == 'I' ? Bytes{5, 'I', 0x11, 0x22, 0x33} : Bytes{2, f[0]}; };
    I2cRecord rd;
    rd.operation = 1;
    rd.address = 0x50;
    link_->I2cTransfer(0, &rd, 1);
    EXPECT_EQ(Last()[1], 0xA1);
    std::uint8_t got[129] = {};
    std::uint32_t count = 0;
    EXPECT_EQ(link_->GetI2cReply(got, &count), 1);
    EXPECT_EQ((std::tuple{count, got[0], got[2]}), (std::tuple{5u, 0x11, 0x33}));
    EXPECT_EQ(link_->GetI2cReply(nullptr, &count), 0);

    const auto before = Sent();
    I2cRecord tooLong;
    tooLong.length = 61;
    EXPECT_EQ((std::tuple{link_->I2cTransfer(0, &tooLong, 1), link_->I2cTransfer(0, nullptr, 1)}), (std::tuple{0, 0}));
    std::uint8_t data[63] = {1, 2, 3};
    EXPECT_EQ((std::tuple{link_->SendSerialData(data, 63), Sent(), link_->SendSerialData(data, 3)}), (std::tuple{0, before, 1}));
    EXPECT_EQ(Last(), (Bytes{'S', 3, 1, 2, 3}));
    EXPECT_EQ(link_->SendSerialData(data, 62), 1);
    EXPECT_EQ((std::pair{Last().size(), Last()[1]}), (std::pair{64ul, std::uint8_t{62}}));

    const std::uint32_t three = 3, six = 6, a = 0x1000;
    link_->SetMotorMode(4, &three, &six, 1);
    EXPECT_EQ(Last(), (Bytes{'M', 4, 0, 0, 0x73}));
    link_->SetMotorMode(1, &a, nullptr, 1);
    EXPECT_EQ(Last(), (Bytes{'M', 1, 0x90, 0x10, 0x73}));
    const std::uint32_t b = 0x0100;
    link_->SetMotorMode(2, nullptr, &b, 1);
    EXPECT_EQ(Last(), (Bytes{'M', 2, 0x80, 0xA1, 0x73}));
}
