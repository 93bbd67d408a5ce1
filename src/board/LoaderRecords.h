// The boot loader's request and information records, byte for byte as the loader side
// takes and gives them. Little-endian throughout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace loader {

// Request record: a 28-byte header, then the request's data.
inline constexpr std::size_t kHeaderSize = 28;
inline constexpr std::size_t kCodeOffset = 0;      // u32 request code
inline constexpr std::size_t kStatusOffset = 4;    // u8; 0 going out, non-zero back: the request failed
inline constexpr std::size_t kCommandOffset = 8;   // u8 loader command (1041); u32 control word (1002/1003)
inline constexpr std::size_t kKeyOffset = 10;      // u16
inline constexpr std::size_t kBlockOffset = 12;    // u16
inline constexpr std::size_t kReadBackOffset = 16; // u32

inline constexpr std::uint32_t kReadControl = 1002;
inline constexpr std::uint32_t kWriteControl = 1003;
inline constexpr std::uint32_t kReadInfo = 1020;
inline constexpr std::uint32_t kCommand = 1041;
inline constexpr std::uint8_t kInfoSelector = 0x40;  // header byte 8 of the information request
inline constexpr std::uint16_t kFinishBlock = 0xFFFF;
inline constexpr std::uint32_t kControlBootBit = 1u << 3;

// Information record (68 bytes): the fields the download uses.
inline constexpr std::size_t kInfoSize = 68;
inline constexpr std::size_t kInfoKeyLow = 22;
inline constexpr std::size_t kInfoKeyHigh = 23;
inline constexpr std::size_t kInfoBlockLength = 24;    // u16
inline constexpr std::size_t kInfoTimeoutFactor = 32;  // u16
inline constexpr std::size_t kInfoErase = 34;
inline constexpr std::size_t kInfoFinish = 35;
inline constexpr std::size_t kInfoWrite = 36;
inline constexpr std::size_t kInfoReadBack = 37;
inline constexpr std::size_t kInfoRun = 38;

// The image: 0x3800 bytes in blocks of 128; the first controller takes 112 blocks, the
// second 48.
inline constexpr std::size_t kImageSize = 0x3800;
inline constexpr std::size_t kBlockSize = 128;
inline constexpr std::size_t kFirstBlocks = 112;
inline constexpr std::size_t kSecondBlocks = 48;
inline constexpr std::size_t blocksFor(int controllerFlag) { return controllerFlag != 0 ? kSecondBlocks : kFirstBlocks; }

// Every message on the loader socket is preceded by its length in 4 little-endian bytes.
inline constexpr std::size_t kLengthPrefix = 4;
// No request record is longer than this (a header and a whole image).
inline constexpr std::size_t kMaxMessage = kHeaderSize + kImageSize;

inline std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Statuses of a download.
enum DownloadStatus : int {
    kSuccess = 1,
    kImageRefused = 2,  // no image, or one that is malformed, cut short or does not fit
    kWriteFailed = 3,   // erase or write failed (also: the device's block length is not ours)
    kVerifyFailed = 4,
    kFinishFailed = 5,
    kRunFailed = 6,
};

// Result of opening the loader device.
inline constexpr int kOpenNotFound = 9999;

}  // namespace loader
