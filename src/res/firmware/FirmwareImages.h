// The firmware images the program carries, as Intel HEX text by resource id. The
// board's own images are not shipped: these are test images for the board simulator,
// generated at build time, each carrying its version (see MakeFirmwareHex).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace firmware {

// Resource ids: the first controller's image, and the second controller's three.
inline constexpr int kMainImage = 305;        // MV6120 0x2113
inline constexpr int kSecondImage1216 = 211;  // MV6230 0x1216
inline constexpr int kSecondImage1319 = 255;  // MV6230 0x1319
inline constexpr int kSecondImage1418 = 170;  // MV6230 0x1418

// The image's text; empty for an id the program does not carry.
std::string_view Image(int resourceId);

// A test image for the controller (0 first, 1 second) filling all its blocks: "TFW",
// the controller, the version (little-endian), then a pattern that differs per block.
// 16 data bytes a record from address 0, CR LF line ends, an end-of-file record.
std::string MakeFirmwareHex(int controllerFlag, std::uint16_t version);

}  // namespace firmware
