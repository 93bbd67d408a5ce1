// Value tables of the hard-coded pages: an index (0, 1, 2 ...) mapped to a value, in the
// order of a constant array. A control that shows an index (a slider position, a combo
// item, a bit field of a row word) reads the meaning of that index here.
//
// Plain values, no state beyond the entries; a page owns its tables for its lifetime.
// Every lookup is bounds-checked: an index taken from a data word or a file may be
// anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pages {

class ValueTable {
public:
    ValueTable() = default;
    explicit ValueTable(std::span<const int> values) { Fill(values); }

    // Replaces the entries with `values` in array order. 0 when the table holds entries
    // afterwards, -1 when it is empty.
    int Fill(std::span<const int> values);

    // The first index whose value equals `value`, else -1.
    int FindIndexOfValue(int value) const;

    // The value at `index`; none for an index the table does not hold.
    std::optional<int> At(std::int64_t index) const;
    // The value at `index`, or `fallback` when the table does not hold it.
    int Lookup(std::int64_t index, int fallback = 0) const { return At(index).value_or(fallback); }

    std::size_t size() const { return values_.size(); }
    bool empty() const { return values_.empty(); }

private:
    std::vector<int> values_;
};

}  // namespace pages
