// Conversions from double that never invoke undefined behaviour: NaN gives 0, values
// beyond the target's range give its nearest limit.
#pragma once

#include <cmath>
#include <concepts>
#include <limits>

namespace platform {

template <std::integral T>
constexpr T saturate(double value) {
    if (std::isnan(value)) return T{0};
    if (value <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (value >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return static_cast<T>(value);  // truncates toward zero
}

}  // namespace platform
