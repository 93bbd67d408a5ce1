#include "pages/bldc/StartupResults.h"

#include <algorithm>
#include <cmath>

#include <QString>

#include "data/NumberText.h"
#include "platform/gui/CommonDialogs.h"
#include "ui/LogFile.h"

namespace bldc {

void CStartupResults::Clear() {
    rows_.clear();
    times_.clear();
    stats_ = {};
}

void CStartupResults::Add(std::uint32_t index, std::uint32_t ms) {
    rows_.push_back({std::to_string(std::uint64_t{index} + 1), std::to_string(ms)});
    if (ms == 0) {
        ++stats_.errors;
        return;
    }
    times_.push_back(ms);
    ++stats_.count;
    stats_.sum += ms;
    stats_.average = stats_.sum / stats_.count;
    const auto [lo, hi] = std::minmax_element(times_.begin(), times_.end());
    stats_.minimum = *lo;
    stats_.maximum = *hi;
    double squares = 0;
    for (std::uint32_t t : times_) squares += (t - stats_.average) * (t - stats_.average);
    stats_.deviation = std::sqrt(squares / static_cast<double>(times_.size()));
}

StatisticsText CStartupResults::Texts() const {
    return {std::to_string(stats_.minimum), std::to_string(stats_.maximum),
            numtext::FormatPrintf("%#.2lf", stats_.average), numtext::FormatPrintf("%#.2lf", stats_.deviation),
            std::to_string(stats_.errors)};
}

std::vector<std::uint32_t> CStartupResults::Buckets(std::uint32_t width, std::uint32_t range) const {
    if (width == 0) return {};
    std::vector<std::uint32_t> buckets((range + width - 1) / width, 0);
    for (std::uint32_t t : times_) {
        const std::size_t b = (t - 1) / width;
        if (b < buckets.size()) ++buckets[b];
    }
    return buckets;
}

std::string CStartupResults::ClipboardText() const {
    std::string text;
    for (const ResultRow& r : rows_) text += r.number + "\t" + r.time + "\r\n";
    return text;
}

bool CStartupResults::WriteResultFile(ILogFile& log) const {
    if (!log.StartRecord()) return false;
    bool ok = log.WriteLine(kResultFileHeader, 1) == 1;
    for (const ResultRow& r : rows_) ok = log.WriteLine(r.number + "," + r.time, 1) == 1 && ok;
    return log.EndRecord() && ok;
}

int SaveResult(ILogFile& log, const CStartupResults& results) {
    if (log.ChooseFile() == 0) return 0;
    return results.WriteResultFile(log) ? 1 : 0;
}

bool CopyToClipboard(const CStartupResults& results) {
    return gui::setClipboardText(QString::fromStdString(results.ClipboardText()));
}

}  // namespace bldc
