// The built-in default data words of every device key.
//
// The data store holds one block of 256 words for each of these keys; a
// device page shows the defaults before the user changes anything, and
// "Rollback to Initial value" restores them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace devdefaults {

constexpr std::size_t kWordsPerBlock = 256;
constexpr std::size_t kRowCount = 32;

using Block = std::array<std::uint32_t, kWordsPerBlock>;

// The device keys that have a block, in the store's (ascending) order; the
// default table has one row per key in the same order.
extern const std::array<std::int32_t, kRowCount> kDeviceKeys;

// The full row of default words for a row number 0..31; an all-zero row for
// any other number.
Block DefaultRow(int row);

}  // namespace devdefaults
