// Intel HEX text to a firmware image. Every record is read and checked (mark, count,
// address, type, checksum), so a damaged or truncated file is refused as a whole before
// anything reaches the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct HexImage {
    bool ok = false;
    std::string error;               // why the text was refused; empty when ok
    std::vector<std::uint8_t> data;  // `capacity` bytes, 0 where the text puts nothing
    std::size_t highest = 0;         // one past the highest address the text wrote
};

// Reads data (00), end-of-file (01) and extended address (02, 04) records; start
// address records (03, 05) are accepted and ignored. Refused: a line that is not a
// record, a bad checksum, an unknown record type, data past `capacity`, no data at all,
// and a text without its end-of-file record (cut short).
HexImage ParseIntelHex(std::string_view text, std::size_t capacity);
