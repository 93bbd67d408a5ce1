// The page selector's control profiles and its page classes.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/DialogSelector.h"

namespace {

int NonZero(const ControlProfile& p) {
    return static_cast<int>(std::count_if(p.begin(), p.end(), [](std::uint16_t w) { return w != 0; }));
}

}  // namespace

TEST(ControlProfiles, EveryKeyHoldsItsWordsAndNothingElse) {
    CDialogSelector selector;
    EXPECT_EQ(selector.ProfileCount(), 34u);
    for (std::uint32_t key : {0x100u, 0x101u, 0x102u, 0x103u, 0x104u, 0x105u, 0x106u, 0x107u, 0x108u, 0x109u, 0x10Au,
                              0x10Bu, 0x10Cu, 0x200u, 0x201u, 0x202u, 0x203u, 0x207u, 0x208u, 0x209u, 0x300u, 0x301u,
                              0x302u, 0x303u, 0x304u, 0x305u, 0x306u, 0x307u, 0x308u, 0x400u, 0x401u, 0x402u, 0x403u,
                              0x500u}) {
        EXPECT_NE(selector.Profile(key), nullptr) << std::hex << key;
    }
    // The device table's kind-5 model has no profile; neither have DC indexes 4 to 6.
    EXPECT_EQ(selector.Profile(0x501), nullptr);
    EXPECT_EQ(selector.Profile(0x204), nullptr);

    const ControlProfile& p100 = *selector.Profile(0x100);
    EXPECT_EQ(p100[9], 0xA001);
    EXPECT_EQ(p100[11], 0xA001);
    EXPECT_EQ(p100[19], 0);
    EXPECT_EQ(p100[44], 0x0081);
    EXPECT_EQ(NonZero(p100), 29);

    const ControlProfile& p106 = *selector.Profile(0x106);
    for (int slot : {87, 90, 92}) EXPECT_EQ(p106[slot], 0x0002) << slot;
    EXPECT_EQ(p106[107], 0);
    EXPECT_EQ(NonZero(p106), 106);

    EXPECT_EQ((*selector.Profile(0x300))[16], 0x0033);
    EXPECT_EQ((*selector.Profile(0x304))[6], 0xA002);
    EXPECT_EQ(NonZero(*selector.Profile(0x207)), 11);
    EXPECT_EQ((*selector.Profile(0x500))[49], 0x2081);
    EXPECT_EQ(NonZero(*selector.Profile(0x500)), 25);
    // The words are kept whole, the bits no page tests included.
    EXPECT_EQ((*selector.Profile(0x101))[48], 0x3181);

    // Keys listed together share one profile's words (each its own copy).
    for (std::uint32_t key : {0x401u, 0x402u, 0x403u}) {
        EXPECT_EQ(*selector.Profile(key), *selector.Profile(0x400));
        EXPECT_NE(selector.Profile(key), selector.Profile(0x400));
    }
    EXPECT_EQ(*selector.Profile(0x104), *selector.Profile(0x101));
    EXPECT_EQ(*selector.Profile(0x209), *selector.Profile(0x207));
    EXPECT_NE(*selector.Profile(0x10A), *selector.Profile(0x107));  // slot 0 tells them apart
}

TEST(ControlProfiles, NoKindHasAPageYet) {
    for (std::uint32_t i : {4u, 5u, 6u}) EXPECT_EQ(PageClassFor(2, i), PageClass::None);
    EXPECT_EQ(PageClassFor(1, 6), PageClass::StepperDual);
    EXPECT_EQ(PageClassFor(5, 1), PageClass::None);
    CDialogSelector selector;
    for (std::uint32_t kind = 0; kind <= 5; ++kind) {
        for (std::uint32_t index = 0; index <= 12; ++index) {
            EXPECT_EQ(selector.GetDialogPointer(nullptr, kind, index, QStringLiteral("x")), nullptr);
        }
    }
    EXPECT_EQ(selector.DeleteDialogPointer(), 0);
}
