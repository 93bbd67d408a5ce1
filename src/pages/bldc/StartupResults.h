// The start-up test's results as the dialog keeps them: one row per reported trial, the
// statistics over the arrival times, the histogram's bucket counts, and the two ways out
// (a text file through the line log, the clipboard).
//
// A plain value object of the dialog (GUI thread). Times of 0 are errors: listed, counted
// in the error count, left out of the statistics and of every histogram bucket.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ILogFile;

namespace bldc {

inline constexpr const char* kResultFileHeader = "Test number, Arrival time[msec]";

struct ResultRow {
    std::string number;  // "%d" of the trial index + 1
    std::string time;    // "%d" of the arrival time in ms
};

struct Statistics {
    std::uint32_t count = 0;  // accepted (non-zero) times
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
    double sum = 0;
    double average = 0;
    double deviation = 0;  // population form
    std::uint32_t errors = 0;
};

// The statistics fields as the dialog shows them.
struct StatisticsText {
    std::string minimum, maximum, average, deviation, errors;
};

class CStartupResults {
public:
    void Clear();
    // A trial's result (index from 0).
    void Add(std::uint32_t index, std::uint32_t ms);

    const std::vector<ResultRow>& Rows() const { return rows_; }
    const Statistics& Stats() const { return stats_; }
    StatisticsText Texts() const;
    // Bucket b counts the times t with b × width < t ≤ (b + 1) × width, for the buckets
    // that start below `range` (the time-out): as the histogram bars count them.
    std::vector<std::uint32_t> Buckets(std::uint32_t width, std::uint32_t range) const;

    // One row per trial: number, tab, time, CR LF.
    std::string ClipboardText() const;
    // Start banner, header, "number,time" per row, end banner. False when the file could
    // not be opened or a line did not reach it.
    bool WriteResultFile(ILogFile& log) const;

private:
    std::vector<ResultRow> rows_;
    std::vector<std::uint32_t> times_;  // accepted times
    Statistics stats_;
};

// The Save dialog, then the file; 0 when cancelled or the file failed, else 1.
int SaveResult(ILogFile& log, const CStartupResults& results);
// The rows to the clipboard as text; false when the clipboard is not available.
bool CopyToClipboard(const CStartupResults& results);

}  // namespace bldc
