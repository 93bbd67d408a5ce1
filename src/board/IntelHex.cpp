#include "board/IntelHex.h"

#include <optional>

namespace {

std::optional<std::uint8_t> HexByte(std::string_view s, std::size_t at) {
    if (at + 2 > s.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + 2; ++i) {
        const char c = s[i];
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (d < 0) return std::nullopt;
        value = value * 16 + d;
    }
    return static_cast<std::uint8_t>(value);
}

HexImage Refuse(std::size_t line, const std::string& why) {
    HexImage r;
    r.error = "line " + std::to_string(line) + ": " + why;
    return r;
}

}  // namespace

HexImage ParseIntelHex(std::string_view text, std::size_t capacity) {
    HexImage image;
    image.data.assign(capacity, 0);
    std::uint32_t base = 0;
    bool anyData = false;
    bool ended = false;
    std::size_t lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (line.empty()) continue;
        if (ended) return Refuse(lineNo, "text after the end-of-file record");
        if (line[0] != ':') return Refuse(lineNo, "not a record (no ':')");
        const std::string_view hex = line.substr(1);
        if (hex.size() < 10 || hex.size() % 2 != 0) return Refuse(lineNo, "record too short or odd length");
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const auto b = HexByte(hex, i);
            if (!b) return Refuse(lineNo, "not a hexadecimal digit");
            bytes.push_back(*b);
        }
        const std::size_t count = bytes[0];
        if (bytes.size() != count + 5) return Refuse(lineNo, "byte count does not match the record");
        std::uint8_t sum = 0;
        for (const std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
        if (sum != 0) return Refuse(lineNo, "checksum error");
        const std::uint32_t address = static_cast<std::uint32_t>(bytes[1] << 8 | bytes[2]);
        const std::uint8_t type = bytes[3];
        const std::uint8_t* payload = bytes.data() + 4;
        switch (type) {
            case 0x00: {
                const std::uint64_t first = static_cast<std::uint64_t>(base) + address;
                if (first + count > capacity) return Refuse(lineNo, "data past the end of the image (does not fit)");
                for (std::size_t i = 0; i < count; ++i) image.data[static_cast<std::size_t>(first) + i] = payload[i];
                if (count > 0) anyData = true;
                if (first + count > image.highest) image.highest = static_cast<std::size_t>(first + count);
                break;
            }
            case 0x01:
                if (count != 0) return Refuse(lineNo, "end-of-file record with data");
                ended = true;
                break;
            case 0x02:
                if (count != 2) return Refuse(lineNo, "bad segment address record");
                base = static_cast<std::uint32_t>(payload[0] << 8 | payload[1]) << 4;
                break;
            case 0x04:
                if (count != 2) return Refuse(lineNo, "bad linear address record");
                base = static_cast<std::uint32_t>(payload[0] << 8 | payload[1]) << 16;
                break;
            case 0x03:
            case 0x05:
                break;
            default:
                return Refuse(lineNo, "unknown record type");
        }
    }
    if (!ended) return Refuse(lineNo, "no end-of-file record (the text is cut short)");
    if (!anyData) return Refuse(lineNo, "no data");
    image.ok = true;
    return image;
}
