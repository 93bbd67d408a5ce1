#include "res/firmware/FirmwareImages.h"

#include <cstdio>
#include <vector>

namespace firmware {

std::string MakeFirmwareHex(int controllerFlag, std::uint16_t version) {
    const std::size_t size = (controllerFlag != 0 ? 48u : 112u) * 128u;
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 31 + i / 128 * 7 + version);
    image[0] = 'T';
    image[1] = 'F';
    image[2] = 'W';
    image[3] = static_cast<std::uint8_t>(controllerFlag != 0 ? 1 : 0);
    image[4] = static_cast<std::uint8_t>(version);
    image[5] = static_cast<std::uint8_t>(version >> 8);
    std::string text;
    char line[64];
    for (std::size_t at = 0; at < size; at += 16) {
        unsigned sum = 16 + (at >> 8 & 0xFF) + (at & 0xFF);
        int n = std::snprintf(line, sizeof line, ":10%04X00", static_cast<unsigned>(at));
        for (std::size_t i = 0; i < 16; ++i) {
            sum += image[at + i];
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X", image[at + i]);
        }
        std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += line;
    }
    text += ":00000001FF\r\n";
    return text;
}

}  // namespace firmware
