// Bit and field patching inside the kept frames.
#pragma once

#include <cstdint>

namespace bits {

inline void Set(std::uint8_t& byte, int bit, bool on) {
    byte = static_cast<std::uint8_t>(on ? (byte | (1u << bit)) : (byte & ~(1u << bit)));
}

// Replaces the bits `mask << shift` of the byte with the low bits of `value`.
inline void SetField(std::uint8_t& byte, int shift, unsigned mask, std::uint32_t value) {
    byte = static_cast<std::uint8_t>((byte & ~(mask << shift)) | ((value & mask) << shift));
}

inline bool Get(std::uint8_t byte, int bit) { return ((byte >> bit) & 1) != 0; }

}  // namespace bits
