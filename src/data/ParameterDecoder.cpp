#include "data/ParameterDecoder.h"

#include "data/NumberText.h"

namespace {

// x / d, with 0 for a zero divisor: the pages turn these results into
// register values, where an infinity means nothing useful.
double divide(double x, double d)
{
    return d == 0.0 ? 0.0 : x / d;
}

}  // namespace

CDerivedParameterDecoder::CDerivedParameterDecoder(std::unique_ptr<ParameterRecord> record)
{
    SetParameter(std::move(record));
}

CDerivedParameterDecoder::~CDerivedParameterDecoder() = default;

int CDerivedParameterDecoder::SetParameter(std::unique_ptr<ParameterRecord> record)
{
    table_.clear();
    record_ = std::move(record);
    if (!record_) {
        return 0;
    }
    if (record_->kind == ParameterRecord::kTable) {
        for (std::size_t i = 0; i < record_->table.size(); ++i) {
            table_.emplace(static_cast<std::int32_t>(i), record_->table[i]);
        }
    }
    return 1;
}

double CDerivedParameterDecoder::Decode(double x) const
{
    if (!record_) {
        return 0.0;
    }
    const double a = record_->a;
    const double b = record_->b;
    switch (record_->kind) {
    case ParameterRecord::kIdentity:
        return x;
    case ParameterRecord::kPercent:
        return divide(x, a) * 100.0;
    case ParameterRecord::kInvPercent:
        return divide(a - x, a) * 100.0;
    case ParameterRecord::kMultiply:
        return x * a;
    case ParameterRecord::kDivide:
        return divide(x, a);
    case ParameterRecord::kRatio:
        return divide(x * a, b);
    case ParameterRecord::kTable: {
        const auto it = table_.find(numtext::SaturateToInt32(x));
        return it != table_.end() ? static_cast<double>(it->second) : 0.0;
    }
    default:
        return 0.0;
    }
}

double CDerivedParameterDecoder::Encode(double x) const
{
    if (!record_) {
        return 0.0;
    }
    const double a = record_->a;
    const double b = record_->b;
    switch (record_->kind) {
    case ParameterRecord::kIdentity:
        return x;
    case ParameterRecord::kPercent:
        return x * a / 100.0;
    case ParameterRecord::kInvPercent:
        return a - x * a / 100.0;
    case ParameterRecord::kMultiply:
        return divide(x, a);
    case ParameterRecord::kDivide:
        return x * a;
    case ParameterRecord::kRatio:
        return divide(x * b, a);
    case ParameterRecord::kTable: {
        // The smallest index that shows this value (the map is ordered). A value past
        // an end of the table is held at that end, as a slider dragged there shows it:
        // the smallest index of the table's largest (or smallest) value.
        const std::int64_t wanted = numtext::SaturateToInt64(x);
        auto lowest = table_.end();
        auto highest = table_.end();
        for (auto it = table_.begin(); it != table_.end(); ++it) {
            if (it->second == wanted) {
                return static_cast<double>(it->first);
            }
            if (lowest == table_.end() || it->second < lowest->second) {
                lowest = it;
            }
            if (highest == table_.end() || it->second > highest->second) {
                highest = it;
            }
        }
        if (highest != table_.end() && wanted > highest->second) {
            return static_cast<double>(highest->first);
        }
        if (lowest != table_.end() && wanted < lowest->second) {
            return static_cast<double>(lowest->first);
        }
        return 0.0;
    }
    default:
        return 0.0;
    }
}

const std::string& CDerivedParameterDecoder::GetFormat() const
{
    static const std::string none;
    return record_ ? record_->format : none;
}

std::string CDerivedParameterDecoder::FormatDecoded(double raw) const
{
    return numtext::FormatPrintf(GetFormat(), Decode(raw));
}
