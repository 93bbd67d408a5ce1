// The frequency steps a frequency slider walks through: the slider shows the step's
// index, the frequency edit the step's value.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace frequencysteps {

inline constexpr std::size_t kCount = 52;

// 0; 100 to 1000 by 100; 1500 to 10000 by 500; 11000 to 20000 by 1000;
// 25000 to 70000 by 5000; 80000, 90000, 100000.
const std::array<std::uint32_t, kCount>& Table();

// The first index whose frequency equals `frequency`; none when no step has it.
std::optional<std::uint32_t> IndexOf(std::uint32_t frequency);

// The step whose frequency is nearest `frequency` (the lower of two as near); 0 for
// anything not above 0, including NaN.
std::uint32_t NearestIndex(double frequency);

// The frequency of step `index`; 0 for an index outside the table.
std::uint32_t FrequencyAt(std::int64_t index);

}  // namespace frequencysteps
