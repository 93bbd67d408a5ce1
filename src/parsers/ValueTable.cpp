#include "parsers/ValueTable.h"

#include <algorithm>

namespace pages {

int ValueTable::Fill(std::span<const int> values) {
    values_.assign(values.begin(), values.end());
    return values_.empty() ? -1 : 0;
}

int ValueTable::FindIndexOfValue(int value) const {
    const auto it = std::find(values_.begin(), values_.end(), value);
    return it == values_.end() ? -1 : static_cast<int>(it - values_.begin());
}

std::optional<int> ValueTable::At(std::int64_t index) const {
    if (index < 0 || static_cast<std::uint64_t>(index) >= values_.size()) return std::nullopt;
    return values_[static_cast<std::size_t>(index)];
}

}  // namespace pages
