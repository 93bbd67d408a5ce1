// The parameter settings file: headerless records of one device key and its
// 256 current data words, every number 4 bytes, least significant first.
#pragma once

#include "data/DeviceDefaults.h"
#include "data/FileNameProvider.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace settingsfile {

constexpr std::size_t kKeyBytes = 4;
constexpr std::size_t kRecordBytes = kKeyBytes + 4 * devdefaults::kWordsPerBlock;  // 1028

// The dialogs that ask for the file's name.
FileDialogRequest SaveDialogRequest();  // "Save As local PC"
FileDialogRequest OpenDialogRequest();  // "Open file", the file must exist

// Appends one record (key, then words 0..255) to `out`.
void AppendRecord(std::vector<std::uint8_t>& out, std::int32_t key, const devdefaults::Block& words);

std::int32_t ReadKey(const std::uint8_t* bytes);        // 4 bytes
devdefaults::Block ReadWords(const std::uint8_t* bytes);  // 1024 bytes

// Replaces the file at `path` with `bytes` so that a failure at any point
// (a full disk, a crash) leaves the old file as it was: the bytes go to a
// temporary file in the same folder, which is flushed to disk and then
// renamed over the old one. A symbolic link is followed, so the link stays.
// Returns an empty string on success, else why it failed.
std::string WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace settingsfile

// What a save or a load of the settings file did.
enum class SettingsFileStatus {
    Ok,
    Cancelled,         // no file name was given
    NoBlock,           // save: the device key has no data block
    OpenFailed,        // the file could not be opened
    WriteFailed,       // save: the file could not be written; the old file is unchanged
    Empty,             // load: the file holds no record
    UnknownKey,        // load: stopped at a record whose key the store does not know
    IncompleteRecord,  // load: the file ends inside a record, which was ignored
    ReadFailed,        // load: the file could not be read to its end
};

struct SettingsFileReport {
    SettingsFileStatus status = SettingsFileStatus::Ok;
    int records = 0;           // records written, or complete records loaded
    std::int32_t key = -1;     // load: the key of the record where loading stopped
    std::uint64_t offset = 0;  // load: the byte offset where loading stopped
    std::string message;       // a sentence for the user; empty when all went well

    bool ok() const { return status == SettingsFileStatus::Ok; }
};
