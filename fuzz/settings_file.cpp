// The parameter settings file as the data store loads it. Invariants: every complete
// record with a known key before the first unknown key or the cut-off end is loaded,
// no other; each loaded device's words read back word for word and save (through the
// store's own record writer) to the very bytes of its last record in the file; the
// devices the file does not name keep their defaults; the report says where it stopped.
#include <map>
#include <sstream>
#include <vector>

#include "FuzzSupport.h"
#include "data/DataContainer.h"
#include "data/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const CDerivedDataContainer pristine;
    CDerivedDataContainer store;
    std::istringstream in(std::string(fuzz::Text(data, size)));
    const SettingsFileReport report = store.LoadFromStream(in);

    // What the file holds: the offset of each key's last complete record before a stop.
    constexpr std::size_t kRecord = settingsfile::kRecordBytes;
    std::map<std::int32_t, std::size_t> last;
    std::size_t records = 0;
    SettingsFileStatus expected = size == 0 ? SettingsFileStatus::Empty : SettingsFileStatus::Ok;
    for (std::size_t at = 0; at < size; at += kRecord) {
        if (size - at < settingsfile::kKeyBytes) {
            expected = SettingsFileStatus::IncompleteRecord;
            break;
        }
        const std::int32_t key = settingsfile::ReadKey(data + at);
        if (!store.HasBlock(key)) {
            expected = SettingsFileStatus::UnknownKey;
            break;
        }
        if (size - at < kRecord) {
            expected = SettingsFileStatus::IncompleteRecord;
            break;
        }
        last[key] = at;
        ++records;
    }
    FUZZ_EXPECT(report.status == expected && report.records == static_cast<int>(records),
                "status %d records %d, expected status %d records %zu", static_cast<int>(report.status),
                report.records, static_cast<int>(expected), records);
    FUZZ_EXPECT(report.ok() == report.message.empty(), "status %d with message \"%s\"",
                static_cast<int>(report.status), report.message.c_str());
    FUZZ_EXPECT(report.offset == records * kRecord,
                "offset %llu after %zu records", static_cast<unsigned long long>(report.offset), records);

    for (const std::int32_t key : devdefaults::kDeviceKeys) {
        const auto found = last.find(key);
        if (found == last.end()) {
            // A few words of each untouched device: reading all 8192 would slow the run tenfold.
            for (const int i : {0, 1, 100, 255})
                FUZZ_EXPECT(store.GetValueOf(key, i) == pristine.GetValueOf(key, i),
                            "device 0x%X word %d changed without a record", key, i);
            continue;
        }
        devdefaults::Block words{};
        for (int i = 0; i < 256; ++i) words[static_cast<std::size_t>(i)] = store.GetValueOf(key, i);
        std::vector<std::uint8_t> saved;
        settingsfile::AppendRecord(saved, key, words);
        FUZZ_EXPECT(std::equal(saved.begin(), saved.end(), data + found->second),
                    "device 0x%X does not save back to its record at offset %zu", key, found->second);
    }
    return 0;
}
