#include "data/DeviceDefaults.h"

#include <initializer_list>

namespace devdefaults {

const std::array<std::int32_t, kRowCount> kDeviceKeys = {
    // stepping-motor drivers
    0x100, 0x101, 0x102, 0x103, 0x104, 0x105, 0x106, 0x107, 0x108, 0x109, 0x10A, 0x10B, 0x10C,
    // brushed DC drivers
    0x200, 0x201, 0x202, 0x203, 0x207, 0x208, 0x209,
    // BLDC drivers
    0x300, 0x301, 0x302, 0x303, 0x304, 0x305, 0x306, 0x307, 0x308,
    // lens-actuator drivers
    0x400, 0x401,
    // kind 5
    0x501,
};

namespace {

struct Word {
    std::uint16_t index;
    std::uint32_t value;
};

using Words = std::initializer_list<Word>;

// Only the non-zero words; every other word of a row is 0.
constexpr Words kStepperPlain = {{52, 80}};
constexpr Words kStepper220 = {{7, 220}, {26, 8}, {52, 80}, {53, 30}};
constexpr Words kStepper470 = {{7, 470}, {26, 8}, {52, 80}};
constexpr Words kStepper4300 = {{7, 4300}, {26, 8}, {52, 80}};
constexpr Words kStepper110 = {{7, 110}, {26, 8}, {52, 80}, {53, 30}};
constexpr Words kDualStepper = {
    {2, 1500}, {10, 1500},
    {24, 1}, {28, 1}, {32, 1}, {36, 1}, {40, 1}, {44, 1}, {48, 1}, {52, 1},
    {57, 1}, {61, 1}, {65, 1}, {69, 1}, {73, 1}, {77, 1}, {81, 1}, {85, 1},
    {94, 8}, {95, 8}, {96, 1}, {97, 1}, {104, 100},
};

constexpr Words kDc200 = {{14, 470}, {16, 220}, {20, 1}};
constexpr Words kDc201 = {{14, 470}, {16, 470}, {20, 1}};
constexpr Words kDc202 = {{14, 4300}, {16, 4300}};
constexpr Words kDc203 = {{14, 220}, {16, 220}, {20, 1}};
constexpr Words kDc470 = {{14, 470}, {16, 470}};

constexpr Words kBldc = {{3, 24}, {16, 8}, {18, 2}, {19, 80}, {26, 1}, {29, 80}};
constexpr Words kBldcWord13 = {{3, 24}, {13, 1}, {16, 8}, {18, 2}, {19, 80}, {26, 1}, {29, 80}};
constexpr Words kBldcWord30 = {{3, 24}, {16, 8}, {18, 2}, {19, 80}, {26, 1}, {29, 80}, {30, 1}};

// Word 6 holds the device address as seven binary digits written as a
// decimal number, the way the lens page's address edit keeps it.
constexpr Words kLens400 = {{6, 1110010}, {8, 5}, {10, 64}, {11, 64}, {21, 1}, {22, 2}};
constexpr Words kLens401 = {{6, 1110010}, {8, 5}, {21, 1}, {22, 2}};

constexpr Words kKind5 = {{49, 8000}};

// One entry per row, in the order of kDeviceKeys.
const Words* const kRows[kRowCount] = {
    &kStepperPlain, &kStepper220, &kStepper470, &kStepper4300, &kStepper220, &kStepper110,
    &kDualStepper, &kStepper470, &kStepper470, &kStepper470, &kStepper470, &kStepper470,
    &kStepper470,
    &kDc200, &kDc201, &kDc202, &kDc203, &kDc470, &kDc470, &kDc470,
    &kBldc, &kBldc, &kBldcWord13, &kBldcWord13, &kBldc, &kBldcWord30, &kBldcWord13, &kBldc,
    &kBldc,
    &kLens400, &kLens401,
    &kKind5,
};

}  // namespace

Block DefaultRow(int row)
{
    Block block{};
    if (row < 0 || static_cast<std::size_t>(row) >= kRowCount) {
        return block;
    }
    for (const Word& w : *kRows[row]) {
        block[w.index] = w.value;
    }
    return block;
}

}  // namespace devdefaults
