// The Intel HEX images of the firmware download, read into the first controller's 112
// blocks of 128 bytes. Invariants: a refused text says on which line and why; an
// accepted image re-emits (16 data bytes a record, extended linear addresses where
// needed) as records that read back to the very same image, and that emitted text,
// read and emitted again, is the same text.
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "board/IntelHex.h"

namespace {

constexpr std::size_t kCapacity = 112 * 128;

void Record(std::string& out, std::uint8_t type, std::uint16_t address, const std::uint8_t* bytes, std::size_t n) {
    char text[16];
    unsigned sum = static_cast<unsigned>(n) + (address >> 8) + (address & 0xFFu) + type;
    std::snprintf(text, sizeof text, ":%02X%04X%02X", static_cast<unsigned>(n), address, type);
    out += text;
    for (std::size_t i = 0; i < n; ++i) {
        sum += bytes[i];
        std::snprintf(text, sizeof text, "%02X", bytes[i]);
        out += text;
    }
    std::snprintf(text, sizeof text, "%02X\r\n", (0x100u - (sum & 0xFFu)) & 0xFFu);
    out += text;
}

// The image's bytes below `highest`, as the firmware images are written.
std::string Emit(const HexImage& image) {
    std::string out;
    std::uint32_t upper = 0;
    for (std::size_t at = 0; at < image.highest; at += 16) {
        if ((at >> 16) != upper) {
            upper = static_cast<std::uint32_t>(at >> 16);
            const std::uint8_t extended[2] = {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)};
            Record(out, 0x04, 0, extended, 2);
        }
        Record(out, 0x00, static_cast<std::uint16_t>(at & 0xFFFFu), image.data.data() + at,
               std::min<std::size_t>(16, image.highest - at));
    }
    Record(out, 0x01, 0, nullptr, 0);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const HexImage image = ParseIntelHex(fuzz::Text(data, size), kCapacity);
    if (!image.ok) {
        FUZZ_EXPECT(image.error.rfind("line ", 0) == 0, "refused without a line: \"%s\"", image.error.c_str());
        return 0;
    }
    FUZZ_EXPECT(image.error.empty() && image.data.size() == kCapacity && image.highest > 0 && image.highest <= kCapacity,
                "accepted with error \"%s\", %zu bytes, highest %zu", image.error.c_str(), image.data.size(),
                image.highest);
    const std::string emitted = Emit(image);
    const HexImage again = ParseIntelHex(emitted, kCapacity);
    FUZZ_EXPECT(again.ok && again.data == image.data && again.highest == image.highest,
                "the re-emitted records read back %s (highest %zu, was %zu)", again.ok ? "differently" : again.error.c_str(),
                again.highest, image.highest);
    FUZZ_EXPECT(Emit(again) == emitted, "the re-emitted records emit differently the second time");
    return 0;
}
