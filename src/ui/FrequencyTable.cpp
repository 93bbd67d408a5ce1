#include "ui/FrequencyTable.h"

#include <cmath>

namespace frequencysteps {

namespace {

constexpr std::array<std::uint32_t, kCount> MakeTable()
{
    std::array<std::uint32_t, kCount> t{};
    std::size_t i = 0;
    t[i++] = 0;
    for (std::uint32_t f = 100; f <= 1000; f += 100) t[i++] = f;
    for (std::uint32_t f = 1500; f <= 10000; f += 500) t[i++] = f;
    for (std::uint32_t f = 11000; f <= 20000; f += 1000) t[i++] = f;
    for (std::uint32_t f = 25000; f <= 70000; f += 5000) t[i++] = f;
    t[i++] = 80000;
    t[i++] = 90000;
    t[i++] = 100000;
    return t;
}

constexpr std::array<std::uint32_t, kCount> kTable = MakeTable();
static_assert(kTable[10] == 1000 && kTable[11] == 1500 && kTable[28] == 10000 && kTable[29] == 11000 &&
              kTable[38] == 20000 && kTable[39] == 25000 && kTable[48] == 70000 && kTable[51] == 100000);

}  // namespace

const std::array<std::uint32_t, kCount>& Table() { return kTable; }

std::optional<std::uint32_t> IndexOf(std::uint32_t frequency)
{
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        if (kTable[i] == frequency) return static_cast<std::uint32_t>(i);
    }
    return std::nullopt;
}

std::uint32_t NearestIndex(double frequency)
{
    if (!(frequency > 0.0)) return 0;
    std::size_t best = 0;
    for (std::size_t i = 1; i < kTable.size(); ++i) {
        if (std::fabs(kTable[i] - frequency) < std::fabs(kTable[best] - frequency)) best = i;
    }
    return static_cast<std::uint32_t>(best);
}

std::uint32_t FrequencyAt(std::int64_t index)
{
    if (index < 0 || index >= static_cast<std::int64_t>(kTable.size())) return 0;
    return kTable[static_cast<std::size_t>(index)];
}

}  // namespace frequencysteps
