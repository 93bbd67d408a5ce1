#include "data/DataContainer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <istream>
#include <vector>

namespace {

constexpr int kWordCount = static_cast<int>(devdefaults::kWordsPerBlock);

bool validIndex(int index)
{
    return index >= 0 && index < kWordCount;
}

// The word bits [first, last) that a field at lsb with count bits covers,
// limited to bits 0..31 so that no shift reaches 32.
struct FieldRange {
    std::int64_t first;
    std::int64_t last;
};

FieldRange fieldRange(int lsb, int count)
{
    const std::int64_t start = lsb;
    const std::int64_t end = start + std::max(count, 0);
    return {std::max<std::int64_t>(start, 0), std::min<std::int64_t>(end, 32)};
}

std::string hexKey(std::int32_t key)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(key));
    return text;
}

}  // namespace

CDerivedDataContainer::CDerivedDataContainer(IFileNameProvider* fileNames) : fileNames_(fileNames)
{
    for (const std::int32_t key : devdefaults::kDeviceKeys) {
        current_.emplace(key, std::make_unique<Block>());
        defaults_.emplace(key, std::make_unique<Block>());
    }
    // Leaves the last key selected, as the program expects at start.
    for (std::size_t row = 0; row < devdefaults::kRowCount; ++row) {
        LoadDefaults(static_cast<int>(row), devdefaults::kDeviceKeys[row]);
    }
}

CDerivedDataContainer::~CDerivedDataContainer() = default;

int CDerivedDataContainer::selectLocked(std::int32_t key)
{
    const auto cur = current_.find(key);
    if (cur != current_.end()) {
        selectedCurrent_ = cur->second.get();
        selectedKey_ = key;
    } else {
        selectedCurrent_ = nullptr;
        selectedKey_ = -1;
    }
    const auto def = defaults_.find(key);
    selectedDefault_ = def != defaults_.end() ? def->second.get() : nullptr;
    return selectedCurrent_ != nullptr ? 1 : 0;
}

int CDerivedDataContainer::SelectContainer(std::int32_t key)
{
    std::lock_guard lock(mutex_);
    return selectLocked(key);
}

int CDerivedDataContainer::ResetContainer(std::int32_t key)
{
    std::lock_guard lock(mutex_);
    const int selected = selectLocked(key);
    if (selectedCurrent_ != nullptr && selectedDefault_ != nullptr) {
        *selectedCurrent_ = *selectedDefault_;
    }
    return selected;
}

int CDerivedDataContainer::SetBits(int index, int lsb, int count, std::uint32_t value)
{
    if (!validIndex(index)) {
        return 0;
    }
    const FieldRange range = fieldRange(lsb, count);
    std::lock_guard lock(mutex_);
    if (selectedCurrent_ == nullptr) {
        return 0;
    }
    std::uint32_t word = (*selectedCurrent_)[static_cast<std::size_t>(index)];
    for (std::int64_t bit = range.first; bit < range.last; ++bit) {
        const std::int64_t i = bit - lsb;  // the value's bit that goes there
        const std::uint32_t mask = 1u << bit;
        const bool set = i < 32 && ((value >> i) & 1u) != 0;
        word = set ? (word | mask) : (word & ~mask);
    }
    (*selectedCurrent_)[static_cast<std::size_t>(index)] = word;
    return 1;
}

int CDerivedDataContainer::SetValue(int index, std::uint32_t value)
{
    if (!validIndex(index)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    if (selectedCurrent_ == nullptr) {
        return 0;
    }
    (*selectedCurrent_)[static_cast<std::size_t>(index)] = value;
    return 1;
}

std::uint32_t CDerivedDataContainer::GetBits(int index, int lsb, int count) const
{
    if (!validIndex(index)) {
        return kNoData;
    }
    const FieldRange range = fieldRange(lsb, count);
    std::uint32_t word = 0;
    {
        std::lock_guard lock(mutex_);
        if (selectedCurrent_ == nullptr) {
            return kNoData;
        }
        word = (*selectedCurrent_)[static_cast<std::size_t>(index)];
    }
    std::uint32_t result = 0;
    for (std::int64_t bit = range.first; bit < range.last; ++bit) {
        const std::int64_t i = bit - lsb;
        if (i < 32 && ((word >> bit) & 1u) != 0) {
            result |= 1u << i;
        }
    }
    return result;
}

std::uint32_t CDerivedDataContainer::GetValue(int index) const
{
    if (!validIndex(index)) {
        return kNoData;
    }
    std::lock_guard lock(mutex_);
    if (selectedCurrent_ == nullptr) {
        return kNoData;
    }
    return (*selectedCurrent_)[static_cast<std::size_t>(index)];
}

std::int32_t CDerivedDataContainer::GetSelectedId() const
{
    std::lock_guard lock(mutex_);
    return selectedKey_;
}

int CDerivedDataContainer::SetValuesIfSelected(std::int32_t key, std::span<const DataWord> words)
{
    for (const DataWord& w : words) {
        if (!validIndex(w.index)) {
            return 0;
        }
    }
    std::lock_guard lock(mutex_);
    if (key == -1 || selectedKey_ != key || selectedCurrent_ == nullptr) {
        return 0;
    }
    for (const DataWord& w : words) {
        (*selectedCurrent_)[static_cast<std::size_t>(w.index)] = w.value;
    }
    return 1;
}

std::uint32_t CDerivedDataContainer::GetValueOf(std::int32_t key, int index) const
{
    if (!validIndex(index)) {
        return kNoData;
    }
    std::lock_guard lock(mutex_);
    const auto block = current_.find(key);
    if (block == current_.end()) {
        return kNoData;
    }
    return (*block->second)[static_cast<std::size_t>(index)];
}

int CDerivedDataContainer::LoadDefaults(int row, std::int32_t key)
{
    if (row < 0 || static_cast<std::size_t>(row) >= devdefaults::kRowCount) {
        return 0;
    }
    const Block words = devdefaults::DefaultRow(row);
    std::lock_guard lock(mutex_);
    if (selectLocked(key) == 0) {
        return 0;
    }
    *selectedCurrent_ = words;
    *defaults_.at(key) = words;
    return 1;
}

bool CDerivedDataContainer::HasBlock(std::int32_t key) const
{
    return current_.count(key) != 0;  // the maps never change after construction
}

void CDerivedDataContainer::SetFileNameProvider(IFileNameProvider* fileNames)
{
    fileNames_.store(fileNames);
}

void CDerivedDataContainer::setReport(const SettingsFileReport& report)
{
    std::lock_guard lock(reportMutex_);
    lastReport_ = report;
}

SettingsFileReport CDerivedDataContainer::LastFileReport() const
{
    std::lock_guard lock(reportMutex_);
    return lastReport_;
}

SettingsFileReport CDerivedDataContainer::SaveToPath(std::int32_t key, const std::string& path)
{
    SettingsFileReport report;
    if (key != kAllDevices && !HasBlock(key)) {
        // Nothing to save: leave any file of that name alone.
        report.status = SettingsFileStatus::NoBlock;
        report.key = key;
        report.message = "Device " + hexKey(key) + " has no parameter data; nothing was saved.";
        setReport(report);
        return report;
    }
    if (path.empty()) {
        report.status = SettingsFileStatus::Cancelled;
        report.message = "No file name was given; nothing was saved.";
        setReport(report);
        return report;
    }

    // Snapshot under the lock, write outside it: a slow disk must not stall
    // the task threads.
    std::vector<std::uint8_t> bytes;
    {
        std::lock_guard lock(mutex_);
        if (key == kAllDevices) {
            bytes.reserve(current_.size() * settingsfile::kRecordBytes);
            for (const auto& [k, block] : current_) {  // ascending key order
                settingsfile::AppendRecord(bytes, k, *block);
                ++report.records;
            }
        } else {
            bytes.reserve(settingsfile::kRecordBytes);
            settingsfile::AppendRecord(bytes, key, *current_.at(key));
            report.records = 1;
        }
    }

    const std::string error = settingsfile::WriteFileReplacing(path, bytes);
    if (!error.empty()) {
        report.status = SettingsFileStatus::WriteFailed;
        report.records = 0;
        report.message = error + " The previous file, if any, is unchanged.";
    }
    setReport(report);
    return report;
}

int CDerivedDataContainer::SaveToFile(std::int32_t key)
{
    if (key != kAllDevices && !HasBlock(key)) {
        return SaveToPath(key, {}).ok() ? 1 : 0;  // refused before any dialog
    }
    IFileNameProvider* provider = fileNames_.load();
    const std::string path =
        provider != nullptr ? provider->RequestFileName(settingsfile::SaveDialogRequest()) : std::string();
    return SaveToPath(key, path).ok() ? 1 : 0;
}

SettingsFileReport CDerivedDataContainer::LoadFromStream(std::istream& in)
{
    SettingsFileReport report;
    std::vector<std::uint8_t> record(settingsfile::kRecordBytes);
    std::uint64_t offset = 0;
    const auto recordNumber = [&report] { return std::to_string(report.records + 1); };

    for (;;) {
        in.read(reinterpret_cast<char*>(record.data()), static_cast<std::streamsize>(settingsfile::kKeyBytes));
        const auto gotKey = static_cast<std::size_t>(in.gcount());
        if (gotKey == 0) {
            if (in.bad()) {
                report.status = SettingsFileStatus::ReadFailed;
                report.message = "The parameter file could not be read after record " +
                                 std::to_string(report.records) + ".";
            } else if (report.records == 0) {
                report.status = SettingsFileStatus::Empty;
                report.message = "The parameter file holds no parameter data.";
            }
            break;
        }
        report.offset = offset;
        if (gotKey < settingsfile::kKeyBytes) {
            report.status = SettingsFileStatus::IncompleteRecord;
            report.message = "Record " + recordNumber() + " of the parameter file is incomplete (" +
                             std::to_string(gotKey) + " of " + std::to_string(settingsfile::kRecordBytes) +
                             " bytes); it was ignored.";
            break;
        }
        const std::int32_t key = settingsfile::ReadKey(record.data());
        report.key = key;
        if (!HasBlock(key)) {
            report.status = SettingsFileStatus::UnknownKey;
            report.message = "Record " + recordNumber() + " of the parameter file has the unknown device key " +
                             hexKey(key) + "; loading stopped there.";
            break;
        }
        in.read(reinterpret_cast<char*>(record.data() + settingsfile::kKeyBytes),
                static_cast<std::streamsize>(settingsfile::kRecordBytes - settingsfile::kKeyBytes));
        const std::size_t got = settingsfile::kKeyBytes + static_cast<std::size_t>(in.gcount());
        if (got < settingsfile::kRecordBytes) {
            // A half record never overwrites a device's words.
            report.status = in.bad() ? SettingsFileStatus::ReadFailed : SettingsFileStatus::IncompleteRecord;
            report.message = "Record " + recordNumber() + " of the parameter file (device " + hexKey(key) +
                             ") is incomplete (" + std::to_string(got) + " of " +
                             std::to_string(settingsfile::kRecordBytes) +
                             " bytes); it was ignored and the device keeps its values.";
            break;
        }
        const Block words = settingsfile::ReadWords(record.data() + settingsfile::kKeyBytes);
        {
            std::lock_guard lock(mutex_);
            *current_.at(key) = words;
        }
        ++report.records;
        offset += settingsfile::kRecordBytes;
        report.offset = offset;
        report.key = -1;
    }
    if (report.ok()) {
        report.offset = offset;
    }
    return report;
}

SettingsFileReport CDerivedDataContainer::LoadFromPath(const std::string& path)
{
    SettingsFileReport report;
    if (path.empty()) {
        report.status = SettingsFileStatus::Cancelled;
        report.message = "No file name was given; nothing was loaded.";
    } else {
        std::error_code ec;
        std::ifstream in;
        if (!std::filesystem::is_directory(path, ec)) {
            in.open(path, std::ios::binary);
        }
        if (!in.is_open()) {
            report.status = SettingsFileStatus::OpenFailed;
            report.message = "The parameter file \"" + path + "\" could not be opened.";
        } else {
            report = LoadFromStream(in);
            if (!report.message.empty()) {
                report.message = "\"" + path + "\": " + report.message;
            }
        }
    }
    setReport(report);
    return report;
}

int CDerivedDataContainer::LoadFromFile()
{
    IFileNameProvider* provider = fileNames_.load();
    const std::string path =
        provider != nullptr ? provider->RequestFileName(settingsfile::OpenDialogRequest()) : std::string();
    return LoadFromPath(path).ok() ? 1 : 0;
}
