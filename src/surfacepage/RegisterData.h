// The image of one serial register of a lens-actuator chip.
//
// The XML-surface page keeps one object per <register> of its surface, by
// address. A control change writes its bit field into the image; the I2C
// request then carries the image's bytes, most significant first.
//
// Bit positions come from the surface, so every field is checked against the
// register's width: a field that does not lie wholly inside the register is
// refused (the image is unchanged, SetBits returns 0) and reads as 0.
// GUI thread only; the page owns the objects through its register map.
#pragma once

#include <cstdint>

class IRegisterData {
public:
    virtual ~IRegisterData() = default;
    // The width in bits: 8, 16, 32 or 64.
    virtual std::uint32_t GetBitWidth() const = 0;
    // GetBitWidth() / 8.
    virtual std::uint32_t GetByteCount() const = 0;
    // Bits lsb .. lsb + length - 1 take bits 0 .. length - 1 of value. 1; 0 when
    // the field does not fit the register (nothing changes). A length of 0
    // changes nothing and returns 1.
    virtual int SetBits(std::uint32_t lsb, std::uint32_t length, std::uint32_t value) = 0;
    // The field moved down to bit 0; 0 for a field that does not fit.
    virtual std::uint32_t GetBits(std::uint32_t lsb, std::uint32_t length) const = 0;
    // Writes count bytes of the image into buffer, most significant first (byte
    // i is the image shifted right by 8 * (count - 1 - i) bits; bytes above the
    // image are 0) and keeps the image as the last value read out. 0 for a null
    // buffer (nothing written), else 1. Callers pass GetByteCount().
    virtual int GetBytes(std::uint8_t* buffer, std::uint32_t count) = 0;

    // Whether a field lies wholly inside a register of `width` bits and within
    // the 32 bits a field value carries.
    static constexpr bool FieldFits(std::uint32_t lsb, std::uint32_t length, std::uint32_t width)
    {
        return length <= 32 && lsb < width && length <= width - lsb;
    }
};

template <typename T, std::uint32_t N>
class CDerivedRegisterData final : public IRegisterData {
    static_assert(N == 8 || N == 16 || N == 32 || N == 64);
    static_assert(sizeof(T) * 8 == N);

public:
    std::uint32_t GetBitWidth() const override { return N; }
    std::uint32_t GetByteCount() const override { return N / 8; }

    int SetBits(std::uint32_t lsb, std::uint32_t length, std::uint32_t value) override
    {
        if (length == 0) return 1;
        if (!FieldFits(lsb, length, N)) return 0;
        const std::uint64_t mask = FieldMask(length) << lsb;
        image_ = (image_ & ~mask) | ((static_cast<std::uint64_t>(value) << lsb) & mask);
        return 1;
    }

    std::uint32_t GetBits(std::uint32_t lsb, std::uint32_t length) const override
    {
        if (length == 0 || !FieldFits(lsb, length, N)) return 0;
        return static_cast<std::uint32_t>((image_ >> lsb) & FieldMask(length));
    }

    int GetBytes(std::uint8_t* buffer, std::uint32_t count) override
    {
        if (buffer == nullptr) return 0;
        const std::uint64_t image = image_;
        lastValue_ = static_cast<T>(image);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t shift = 8ull * (count - 1 - i);
            buffer[i] = shift >= 64 ? 0 : static_cast<std::uint8_t>((image >> shift) & 0xFFu);
        }
        return 1;
    }

    T GetLastValue() const { return lastValue_; }

private:
    // Bits 0 .. length - 1; length is 1..32 here.
    static constexpr std::uint64_t FieldMask(std::uint32_t length) { return (std::uint64_t{1} << length) - 1; }

    T lastValue_ = 0;
    std::uint64_t image_ = 0;  // only bits below N are ever set
};

using CRegisterData8 = CDerivedRegisterData<std::uint8_t, 8>;
using CRegisterData16 = CDerivedRegisterData<std::uint16_t, 16>;
using CRegisterData32 = CDerivedRegisterData<std::uint32_t, 32>;
using CRegisterData64 = CDerivedRegisterData<std::uint64_t, 64>;
