// The page's board forwarding: exact frames, PWM records converted on a copy.
#include <gtest/gtest.h>

#include "PageTestSupport.h"
#include "platform/gui/GuiTestSupport.h"
#include "tasks/TaskTestSupport.h"

namespace {

// The second controller's PWM frame with channel 6 set (the others as connected).
Bytes Channel6Frame(std::uint32_t period, std::uint8_t exponent, std::uint32_t value) {
    Bytes f(23, 0);
    f[0] = '8', f[1] = 2, f[8] = exponent;
    f[9] = static_cast<std::uint8_t>(period & 0xFF), f[10] = static_cast<std::uint8_t>((period >> 8) & 0x0F);
    f[11] = static_cast<std::uint8_t>(value & 0xFF), f[12] = static_cast<std::uint8_t>((value >> 8) & 0x0F);
    unsigned sum = 0;
    for (std::size_t i = 2; i <= 21; ++i) sum += f[i];
    f[22] = static_cast<std::uint8_t>(sum);
    return f;
}

struct ForwardingPage : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(board.started);
        ASSERT_TRUE(board.Connect());
        store.SelectContainer(0x100);
        page.SetDeviceInfo(0x100, nullptr, QStringLiteral("Stepper"));
        ASSERT_TRUE(page.createModeless(nullptr));
    }
    void TearDown() override {
        page.destroy();
        guitest::settle();
    }
    // The one frame sent since the last call (empty unless exactly one).
    Bytes Sent() {
        EXPECT_TRUE(board.sim.waitForFrames(1, std::chrono::seconds(10)));
        std::vector<Bytes> frames = board.Frames();
        board.sim.clearFrames();
        return frames.size() == 1 ? frames[0] : Bytes{};
    }

    SimBoard board;
    CDerivedDataContainer store;
    uitest::RecordingQueue queue;
    uitest::ScopedServices services{&store, &queue, board.link.get()};
    uitest::SurfacePage page;
};

// A page built through the base's building: each step raises a port of its own, and
// the restore notes whether the first frames' port was up by then.
class BuildingPage : public uitest::SurfacePage {
public:
    using CDerivedDialog::BuildAndRestore;
    std::function<bool()> firstFramesOut;
    std::uint16_t profileWord3 = 0;
    bool firstFramesBeforeRestore = false;
    void BuildPage(const ProfileWords& profile) override {
        profileWord3 = profile[3];
        WritePort(1, 1, 1, 1);
    }
    void OpeningBoardSetUp() override {
        WritePort(2, 1, 1, 1);
        CDerivedDialog::OpeningBoardSetUp();
    }
    gui::LResult RestoreDeviceData() override {
        firstFramesBeforeRestore = firstFramesOut();
        WritePort(3, 1, 1, 1);
        return 1;
    }
};

}  // namespace

// Building sends nothing (the link is suspended); once it resumes, the page's first frames
// go before its restore's, and the title shows the link.
TEST_F(ForwardingPage, BuildingSendsNothingThenTheFirstFramesGoBeforeTheRestoresAndTheTitleShowsTheLink) {
    std::uint16_t profile[128] = {0, 0, 0, 0x2010};
    BuildingPage built;
    built.SetDeviceInfo(0x100, profile, QStringLiteral("Stepper"));
    ASSERT_TRUE(built.createModeless(nullptr));
    built.firstFramesOut = [this] { return board.sim.portLevel(2); };
    board.sim.clearFrames();
    built.BuildAndRestore();
    // Building's port write stays off the wire (the link keeps its level for the next).
    EXPECT_EQ(board.Frames().size(), 6u) << "two port writes of three frames each";
    EXPECT_EQ((std::tuple{board.sim.portLevel(2), board.sim.portLevel(3), built.firstFramesBeforeRestore}),
              (std::tuple{true, true, true}));
    EXPECT_EQ((std::tuple{built.profileWord3, built.text()}),
              (std::tuple{0x2010, QStringLiteral("Stepper Controller (USB Connected)")}));
    built.destroy();
}

TEST_F(ForwardingPage, PwmRecordsGoThroughTheFrequencyConversionOfACopy) {
    // A period and exponent without a frequency, half on.
    PwmChannelRecord preset;
    preset.period = 3750, preset.exponent = 5, preset.value = 50, preset.percent = 1, preset.frequency = 0.0;
    EXPECT_EQ(page.SetTimerChannel(6, &preset, 1), 1);
    EXPECT_EQ(Sent(), Channel6Frame(3750, 5, 1875));
    // The page's record is as it was, so sending it again sends the same.
    EXPECT_EQ((std::tuple{preset.value, page.SetTimerChannel(6, &preset, 1)}), (std::tuple{50.0, 1}));
    EXPECT_EQ(Sent(), Channel6Frame(3750, 5, 1875));

    // A frequency in Hz gets its period; the duty is the compare value as given.
    EXPECT_EQ(page.SetPwm(6, 100.0, 50.0, 1), 1);
    EXPECT_EQ(Sent(), Channel6Frame(3750, 5, 50));
    // From a data word, inverted with bit 31: 256 - 56.
    store.SetValue(20, 56);
    EXPECT_EQ(page.SetPwmFromRegister(6, 100.0, 20, 0x80000001u), 1);
    EXPECT_EQ(Sent(), Channel6Frame(3750, 5, 200));
    // Staged only (enable 0): nothing on the wire; a word outside the block sends nothing.
    EXPECT_EQ((std::tuple{page.SetPwmFromRegister(6, 100.0, 20, 0), page.SetPwmFromRegister(6, 100.0, 256, 1)}),
              (std::tuple{1, 0}));
    EXPECT_TRUE(board.Frames().empty());
}

TEST_F(ForwardingPage, PortAnalogAndInterruptWorkReachTheBoard) {
    EXPECT_EQ((std::tuple{page.WritePort(31, 1, 1, 1), board.sim.portLevel(31)}),
              (std::tuple{1, true}));  // its frames: see the page flow
    // An interrupt input with its flag clear reads its port: port 19 low stores 1.
    board.sim.setInterruptFlag(2, false);
    board.sim.setInputPort(19, false);
    EXPECT_EQ((std::tuple{page.StoreInputLevel(40, 2, 1), store.GetValue(40)}), (std::tuple{1, 1u}));
    board.sim.setInterruptFlag(2, true);
    EXPECT_EQ(page.StoreInputLevel(40, 2, 1), 1);
    board.sim.setInterruptFlag(2, false);
    board.sim.setInputPort(19, true);
    EXPECT_EQ(page.StoreInputLevel(40, 2, 1), 0);
    EXPECT_EQ(page.StoreInputLevel(41, 4, 1), 0);  // only inputs 1 to 3
    EXPECT_EQ((std::pair{store.GetValue(40), store.GetValue(41)}), (std::pair{0u, 0u}));

    board.sim.setAdc(3, 0x1234);
    board.sim.clearFrames();
    EXPECT_EQ((std::tuple{page.StoreAdcValue(42, 3, 1), store.GetValue(42)}), (std::tuple{0x1234, 0x1234u}));
    EXPECT_EQ(Sent(), Bytes{'A'});

    // The kept records change without board traffic.
    EXPECT_EQ(page.StorePwmSetting(9, 1.0, 1.0, 1), nullptr);
    page.ChannelSetting(33)->port.reserved = 77;
    GpioRecord* line = page.StoreChannelSetting(33, 1, 0, 1);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ((std::pair{line->port.line, line->port.reserved}), (std::pair{33u, 77u}));  // the fourth field is kept
    EXPECT_EQ((std::tuple{page.StoreChannelSetting(34, 1, 0, 1), board.Frames().empty()}), (std::tuple{nullptr, true}));
}
