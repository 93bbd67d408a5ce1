// The BLDC page's pure parts: speed arithmetic, and the GUI commands of each change, restore
// and close (their frames: the application's suite).
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "data/DataContainer.h"
#include "pages/bldc/BldcChanges.h"
#include "pages/bldc/BldcLayout.h"
#include "pages/bldc/BldcSpeed.h"
#include "tasks/RecordingQueue.h"
#include "tasks/TaskListener.h"

using namespace bldc;

// Count (10 µs units), pole pairs, FG pulses: the speeds shown, word 17 (pps without poles,
// else rpm), F/R usable (below 36 pps or 1001 rpm). A zero divisor gives 0.
TEST(BldcSpeed, CountsGiveTheShownSpeedsAndRotationUnlocksOnlyWhenSlow) {
    struct Row {
        std::uint32_t count, poles, fg, pps, rpm, word;
        bool rotation;
    };
    const Row rows[] = {{10000, 2, 3, 10, 100, 100, true},  {0, 2, 1, 0, 0, 0, true},
                        {1000, 0, 1, 100, 0, 100, false},   {1000, 2, 0, 100, 0, 0, true},
                        {2857, 0, 1, 35, 0, 35, true},      {2777, 0, 1, 36, 0, 36, false},
                        {2999, 2, 1, 33, 1000, 1000, true}, {2997, 2, 1, 33, 1001, 1001, false}};
    for (const Row& r : rows) {
        const SpeedDisplay d = ComputeSpeedDisplay(r.count, r.poles, r.fg);
        EXPECT_EQ((std::tuple{d.speed.ppsShown, d.speed.rpmShown, d.currentSpeedWord, d.rotationEnabled}),
                  (std::tuple{r.pps, r.rpm, r.word, r.rotation}))
            << r.count << " " << r.poles << " " << r.fg;
    }
    // The start-up test's targets: 1000 rpm with 2 pole pairs and 1 pulse is 33 Hz.
    EXPECT_EQ((std::tuple{RpmToFg(1000, 2, 1), FgToRpm(33, 2, 1)}), (std::tuple{33u, 990u}));
    EXPECT_EQ((std::tuple{FgToRpm(33, 2, 0), FgToRpm(33, 0, 1), RpmToFg(1000, 0, 1)}), (std::tuple{0u, 0u, 0u}));
}

namespace {

void ExpectPwm(const BldcCommand& c, int word, std::uint32_t value, int channel, double frequency, double duty,
               int send) {
    EXPECT_EQ((std::tuple{c.word, c.value, c.taskWord, c.Size()}), (std::tuple{word, value, 0x01000000u, 72u}))
        << channel;
    PwmChannelRecord expected{};
    expected.channel = static_cast<std::uint32_t>(channel);
    expected.frequency = frequency;
    expected.value = duty;
    expected.send = static_cast<std::uint32_t>(send);
    PwmChannelRecord got{};
    if (c.Size() == sizeof got) std::memcpy(&got, c.Data(), sizeof got);
    EXPECT_EQ((std::tuple{got.channel, got.frequency, got.value, got.send}),
              (std::tuple{expected.channel, expected.frequency, expected.value, expected.send}));
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof expected), 0) << "the other fields of channel " << channel;
}

void ExpectGpio(const BldcCommand& c, int word, std::uint32_t value, std::uint32_t line, std::uint32_t direction,
                std::uint32_t level) {
    EXPECT_EQ((std::tuple{c.word, c.value, c.taskWord, c.Size()}), (std::tuple{word, value, 0x02000000u, 28u})) << line;
    const std::uint32_t expected[7] = {line, direction, level, 0, 1, 0, 0};  // written (not pulsed), sent
    EXPECT_EQ(std::memcmp(c.Data(), expected, sizeof expected), 0) << line;
}

}  // namespace

TEST(BldcChanges, PwmChangesSwitchTheOtherSpeedInputOffOnce) {
    BldcPageState state;
    state.deviceKey = 0x304;
    Reaction r = OnChange(0, 40, state);
    ASSERT_EQ(r.commands.size(), 3u);
    ExpectPwm(r.commands[0], 4, kNoStore, 2, 15625.0, 256.0, 0);
    ExpectPwm(r.commands[1], 4, kNoStore, 5, 15625.0, 256.0, 0);
    ExpectPwm(r.commands[2], 0, 40, 1, 50000.0, 200.0, 1);
    EXPECT_EQ(r.testPwm, (TestPwm{1, 50000, 200, 240}));
    r = OnChange(0, 41, state);
    ASSERT_EQ(r.commands.size(), 1u);
    // 0x304 keeps channel 1 for the voltage input.
    r = OnChange(4, 100, state);
    ASSERT_EQ(r.commands.size(), 1u);
    ExpectPwm(r.commands[0], 4, 100, 2, 15625.0, 156.0, 1);

    // Channel 4 keeps its frequency and duty between the two controls.
    ExpectPwm(OnChange(1, 3, state).commands[0], 1, 3, 4, 488.0, 0.0, 1);
    ExpectPwm(OnChange(2, 50, state).commands[0], 2, 50, 4, 488.0, 128.0, 1);
    ExpectPwm(OnChange(3, 12, state).commands[0], 3, 12, 8, 12.0, 50.0, 1);
    ExpectPwm(OnChange(8, 56, state).commands[0], 8, 56, 3, 15625.0, 200.0, 1);
    ExpectPwm(OnChange(6, 56, state).commands[0], 6, 56, 5, 15625.0, 56.0, 1);  // channel 5 is direct
    // A stray combo index saturates instead of shifting out of range.
    EXPECT_EQ(OnChange(1, 0xFFFFFFFFu, state).commands[0].pwm.frequency, 2147483647.0);

    // 0x307's voltage item has no read-back: word 5 takes the value, store only.
    BldcPageState chip7;
    chip7.deviceKey = 0x307;
    r = OnChange(4, 9, chip7);
    ASSERT_EQ(r.commands.size(), 3u);
    EXPECT_EQ(std::make_pair(r.commands[2].word, r.commands[2].value), std::make_pair(5, 9u));
    EXPECT_EQ(r.commands[2].Data(), nullptr);
}

TEST(BldcChanges, ChipEnableRestoreMatchesTheChangeForTheSameStoredValue) {
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x302), 1);
    BldcPageState state;
    state.deviceKey = 0x302;
    for (std::uint32_t v : {0u, 1u}) {
        SCOPED_TRACE(v);
        Reaction change12 = OnChange(12, v, state);
        Reaction change13 = OnChange(13, v, state);
        ExpectGpio(change12.commands[0], 12, v, 21, 1, 1 - v);
        ExpectGpio(change13.commands[0], 13, v, 31, 1, v);
        store.SetValue(12, v);
        store.SetValue(13, v);
        Reaction restore12 = RestoreChipEnable(store, true, false);
        Reaction restore13 = RestoreChipEnable(store, false, true);
        ExpectGpio(restore12.commands[0], -1, kNoStore, 21, 1, 1 - v);
        ExpectGpio(restore13.commands[0], -1, kNoStore, 31, 1, v);
        EXPECT_EQ(restore12.enableChipItems, change12.enableChipItems);
        EXPECT_EQ(restore13.enableChipItems, change13.enableChipItems);
    }
    EXPECT_EQ((std::tuple{OnChange(12, 0, state).enableChipItems, OnChange(13, 0, state).enableChipItems}),
              (std::tuple{0, 1}));
}

TEST(BldcChanges, PortsPollingDemoAndClose) {
    BldcPageState state;
    state.deviceKey = 0x305;
    ExpectGpio(OnChange(10, 1, state).commands[0], 10, 1, 27, 1, 1);
    ExpectGpio(OnChange(11, 0, state).commands[0], 11, 0, 26, 1, 0);
    Reaction r = OnChange(30, 1, state);
    ExpectGpio(r.commands[0], 30, 1, 15, 0, 0);
    EXPECT_EQ((std::tuple{r.debugText, OnChange(30, 3, state).commands.empty()}),
              (std::tuple{"High-Z selection\n", true}));
    // Kinds without a reaction store nothing.
    for (int kind : {5, 7, 9, 16, 17, 20, 21, 22, 24, 25, 31, 32, 34, -1})
        EXPECT_TRUE(OnChange(kind, 1, state).commands.empty());
    r = OnChange(29, 8, state);
    EXPECT_EQ((std::pair{r.action, r.maxSpeed}), (std::pair{PageAction::ApplyMaxSpeed, 800u}));
    EXPECT_EQ((std::pair{MaxSpeedWord(800, 0).word, MaxSpeedWord(800, 0).value}), (std::pair{19, 80u}));

    r = OnChange(26, 1, state);
    ASSERT_EQ(r.commands.size(), 1u);
    EXPECT_EQ(r.commands[0].taskWord, 0x0A010501u);
    ASSERT_EQ(r.commands[0].Size(), 4u);
    EXPECT_EQ(*static_cast<const std::uint32_t*>(r.commands[0].Data()), 50u);
    r = OnChange(33, 1, state);
    EXPECT_EQ((std::pair{r.commands[0].taskWord, r.commands[0].Size()}), (std::pair{0x0E000501u, 0u}));
    EXPECT_NE(r.commands[0].Data(), nullptr);
    EXPECT_EQ((std::tuple{state.polling, state.demo}), (std::tuple{true, true}));

    // Closing idles channel 1 (the frames: the application's suite), stops polling and the demo.
    std::vector<BldcCommand> close = ClosePage(state);
    ASSERT_EQ(close.size(), 3u);
    EXPECT_EQ((std::pair{close[1].taskWord, close[2].taskWord}), (std::pair{0x0A010500u, 0x0E000500u}));
    EXPECT_EQ(ClosePage(state).size(), 1u);

    // Executed as GUI commands, the demo word reaches the queue with its empty record.
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x305), 1);
    RecordingQueue queue;
    const BldcCommand commands[] = {DemoCommand(5, true), PollingCommand(5, false), OnChange(18, 2, state).commands[0]};
    EXPECT_EQ(SendCommands(77, &store, &queue, commands), 3);
    EXPECT_EQ(queue.added,
              (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0x0E000501u, 0u}, {0x0A010500u, 4u}}));
    EXPECT_EQ(queue.window, 77u);
    EXPECT_EQ((std::pair{store.GetValue(33), store.GetValue(18)}), (std::pair{1u, 2u}));
}

// Closing idles PWMIN where the motor stands still: 0 for the direct-input models (0x302,
// 0x303, 0x305), 240 for the inverted ones; nothing runs on.
TEST(BldcChanges, ClosingIdlesPwmInAtEachModelsStandstill) {
    for (int key = 0x300; key <= 0x308; ++key) {
        SCOPED_TRACE(::testing::Message() << "key 0x" << std::hex << key);
        BldcPageState state;
        state.deviceKey = key;
        const std::vector<BldcCommand> close = ClosePage(state);
        ASSERT_EQ(close.size(), 1u);
        const bool direct = key == 0x302 || key == 0x303 || key == 0x305;
        ExpectPwm(close[0], -1, kNoStore, 1, 50000.0, direct ? 0.0 : 240.0, 1);
    }
}

TEST(BldcChanges, RestoreResendsByDeviceKey) {
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x301), 1);
    store.SetValue(0, 40), store.SetValue(4, 100), store.SetValue(8, 56);
    BldcPageState state;
    state.deviceKey = 0x301;
    Reaction in = ResendPwmIn(state, store);
    ASSERT_EQ(in.commands.size(), 1u);
    ExpectPwm(in.commands[0], -1, kNoStore, 1, 50000.0, 200.0, 1);
    EXPECT_EQ(in.testPwm, (TestPwm{1, 50000, 200, 240}));
    ExpectPwm(ResendPwm3(state, store)[0], -1, kNoStore, 3, 15625.0, 56.0, 1);
    // Channel 2 at 256 - 100, as a change of kind 4 to 100 sends (staged on 0x300).
    for (int key : {0x301, 0x300}) {
        state.deviceKey = key;
        ExpectPwm(ResendPwm2(state, store)[0], -1, kNoStore, 2, 15625.0, 156.0, key == 0x301);
    }
    ExpectPwm(ResendPwm3(state, store)[0], -1, kNoStore, 3, 15625.0, 200.0, 1);
}

// Beyond the screenshots: no blank list items, 0x307's caption, none for an unknown variant.
TEST(BldcLayout, ListsAndCaptionVariants) {
    EXPECT_EQ((std::pair{ComboItems(1).size(), ComboItems(18).size()}), (std::pair{std::size_t{9}, std::size_t{11}}));
    EXPECT_EQ((std::tuple{LabelCaption(4, 100, 4), LabelCaption(4, 100, 5)}), (std::tuple{"TOC Voltage", ""}));
}

// The entries the page builds from carry each kind's decoration: the profile's variant
// picks a check's captions, 0x1000 parents a group on the tachometer panel, the speed field
// shows its word unconverted, the lamps and speed bars take their colours.
TEST(BldcLayout, EntriesCarryRangesFormatsColoursAndTheVariantsCaptions) {
    std::array<std::uint16_t, kProfileWords> profile{};
    profile[kChipEnable] = 2;  // S/B: Start and Brake
    profile[kMaxSpeedPps] = kOnTachometer | 1;
    profile[kCurrentSpeed] = profile[kLockStatus] = profile[kSlowBar] = 1;
    const std::vector<pages::PlacedControl> placed = PlaceControls(0x300, profile);
    const auto at = [&](int kind, int index) -> const pages::PlacedControl& {
        static const pages::PlacedControl none;
        for (const pages::PlacedControl& c : placed)
            if (c.kind == kind && c.index == index) return c;
        ADD_FAILURE() << "no entry " << kind << "/" << index;
        return none;
    };
    const pages::PlacedControl& check = at(kChipEnable, 0);
    EXPECT_EQ((std::tuple{check.caption, check.checkedCaption}), (std::tuple{"Start", "Brake"}));
    const pages::PlacedControl& slider = at(kMaxSpeedPps, 0);
    EXPECT_EQ((std::tuple{slider.sliderMin, slider.sliderMax, slider.sliderStart,
                          slider.parent == pages::Parent::TachometerPanel}),
              (std::tuple{10, 350, std::optional<int>{80}, true}));
    const pages::PlacedControl& speed = at(kCurrentSpeed, 0);
    ASSERT_TRUE(speed.edit.has_value());
    EXPECT_EQ((std::pair{speed.edit->readOnly, speed.edit->converts}), (std::pair{true, false}));
    const pages::PlacedControl& lamp = at(kLockStatus, 0);
    EXPECT_EQ((std::pair{lamp.onColour, lamp.offColour}), (std::pair{kLampOn, kLampOff}));
    const pages::PlacedControl& bar = at(kSlowBar, 0);
    ASSERT_EQ(bar.gradient.size(), kSpeedBarStops.size());
    EXPECT_EQ((std::pair{bar.gradient.front().colour, bar.gradient.back().colour}), (std::pair{0xFFC0A0u, 0x8080FFu}));
}
