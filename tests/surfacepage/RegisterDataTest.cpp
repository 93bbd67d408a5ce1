// Register images: fields in and out, bytes most significant first, and fields that
// do not fit the register refused with the image unchanged.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "surfacepage/RegisterData.h"

namespace {

std::vector<std::uint8_t> Bytes(IRegisterData& r)
{
    std::vector<std::uint8_t> out(r.GetByteCount(), 0xEE);
    EXPECT_EQ(r.GetBytes(out.data(), r.GetByteCount()), 1);
    return out;
}

}  // namespace

TEST(RegisterData, FieldsAreWrittenBitByBitAndReadBackMostSignificantByteFirst)
{
    CRegisterData8 r8;
    EXPECT_EQ(r8.GetBitWidth(), 8u);
    EXPECT_EQ(r8.GetByteCount(), 1u);
    EXPECT_EQ(r8.SetBits(4, 1, 1), 1);
    EXPECT_EQ(r8.SetBits(0, 4, 9), 1);
    EXPECT_EQ(r8.GetBits(0, 8), 25u);
    EXPECT_EQ(Bytes(r8), (std::vector<std::uint8_t>{0x19}));
    EXPECT_EQ(r8.GetLastValue(), 0x19);
    // Only the field's own bits change; value bits above the length are ignored.
    r8.SetBits(0, 8, 0xFF);
    r8.SetBits(2, 2, 0);
    EXPECT_EQ(r8.GetBits(0, 8), 0xF3u);
    r8.SetBits(4, 2, 0xFFFFFFFDu);  // only the low two bits (01) are taken
    EXPECT_EQ(r8.GetBits(0, 8), 0xD3u);
    EXPECT_EQ(r8.GetBits(4, 2), 1u);

    CRegisterData16 r16;
    r16.SetBits(0, 16, 0x1234);
    EXPECT_EQ(Bytes(r16), (std::vector<std::uint8_t>{0x12, 0x34}));
    r16.SetBits(6, 10, 0x3FF);  // the second surface's 10-bit field at bit 6
    EXPECT_EQ(r16.GetBits(6, 10), 0x3FFu);
    EXPECT_EQ(r16.GetBits(0, 6), 0x34u);

    CRegisterData32 r32;
    r32.SetBits(0, 32, 0xA1B2C3D4u);
    EXPECT_EQ(r32.GetBits(0, 32), 0xA1B2C3D4u);
    EXPECT_EQ(Bytes(r32), (std::vector<std::uint8_t>{0xA1, 0xB2, 0xC3, 0xD4}));

    // The 64-bit image carries its upper half into the bytes too.
    CRegisterData64 r64;
    r64.SetBits(32, 32, 0x01020304u);
    r64.SetBits(0, 32, 0x05060708u);
    EXPECT_EQ(r64.GetBits(32, 32), 0x01020304u);
    EXPECT_EQ(Bytes(r64), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(r64.GetLastValue(), 0x0102030405060708ull);
}

TEST(RegisterData, FieldsOutsideTheRegisterAndNullBuffersAreRefusedWithoutChange)
{
    CRegisterData8 r8;
    r8.SetBits(0, 8, 0x5A);
    struct Field { std::uint32_t lsb, length; };
    for (const Field f : {Field{8, 1}, Field{7, 2}, Field{0, 9}, Field{0xFFFFFFFFu, 2}, Field{1, 0xFFFFFFFFu}}) {
        EXPECT_EQ(r8.SetBits(f.lsb, f.length, 0xFFFFFFFFu), 0) << "field at " << f.lsb << " length " << f.length;
        EXPECT_EQ(r8.GetBits(f.lsb, f.length), 0u) << "field at " << f.lsb << " length " << f.length;
    }
    EXPECT_EQ(r8.GetBits(0, 8), 0x5Au);
    // A 64-bit register still takes no field longer than a value carries.
    CRegisterData64 r64;
    EXPECT_EQ(r64.SetBits(0, 33, 1), 0);
    EXPECT_EQ(r64.SetBits(40, 24, 0xFFFFFF), 1);
    EXPECT_EQ(r64.SetBits(41, 24, 1), 0);
    // A length of 0 changes nothing and is no fault.
    EXPECT_EQ(r8.SetBits(3, 0, 1), 1);
    EXPECT_EQ(r8.GetBits(0, 8), 0x5Au);

    EXPECT_EQ(r8.GetBytes(nullptr, 1), 0);
    EXPECT_EQ(r8.GetLastValue(), 0);  // nothing was read out
    // More bytes than the register has: the leading ones are 0, nothing is read past it.
    std::array<std::uint8_t, 10> wide{};
    wide.fill(0xEE);
    EXPECT_EQ(r8.GetBytes(wide.data(), 10), 1);
    EXPECT_EQ(wide, (std::array<std::uint8_t, 10>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0x5A}));
}
