// Framing rules of the board's byte protocol as the board sees them: how long a command
// frame is, which frames and replies carry a checksum, and how to compute one.
#pragma once

#include <string>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace boardsim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kMaxFrame = 65;  // 'S' with 63 data bytes
inline constexpr std::size_t kMaxReply = 64;
inline constexpr std::size_t kLongFrame = 36;
inline constexpr std::uint8_t kSecondLetter = '8';

// Sub-codes of the second controller's frames.
namespace sub {
inline constexpr std::uint8_t Reset = 0;
inline constexpr std::uint8_t ParameterBlock = 1;
inline constexpr std::uint8_t Pwm = 2;
inline constexpr std::uint8_t Ports = 3;
inline constexpr std::uint8_t Select = 4;
inline constexpr std::uint8_t SelectPair = 5;
inline constexpr std::uint8_t Pulse = 6;
inline constexpr std::uint8_t Read17 = 17;
inline constexpr std::uint8_t Version = 18;
inline constexpr std::uint8_t ReadPorts = 19;
inline constexpr std::uint8_t Measured = 20;
inline constexpr std::uint8_t Read21 = 21;
inline constexpr std::uint8_t Status = 22;
inline constexpr std::uint8_t ParameterBlockRead = 0xFF;
}  // namespace sub

struct FrameSize {
    enum Status {
        NeedMore,   // not enough bytes yet to know the length
        Known,      // length (and, for '8' 2 / '8' 3, the long alternative) is known
        Unknown,    // no frame starts with these bytes
        Malformed,  // a known letter whose own length field is impossible
    };
    Status status = NeedMore;
    std::size_t length = 0;      // the frame's length (the short form where two exist)
    std::size_t longLength = 0;  // non-zero: the frame may instead be this long
};

// Length of the frame at the start of `data` (n bytes available).
FrameSize frameSize(const std::uint8_t* data, std::size_t n);

// Sum of bytes first..last (inclusive) modulo 256; bytes past the end count as absent.
std::uint8_t byteSum(const Bytes& bytes, std::size_t first, std::size_t last);

// Whether a complete frame carries a checksum of its own, and whether it adds up.
bool frameCarriesChecksum(const Bytes& frame);
bool frameChecksumOk(const Bytes& frame);

// Whether the reply to this frame ends in a checksum ('8' sub-codes with bit 4 set).
bool replyIsChecksummed(const Bytes& frame);

// Writes the checksum of bytes 2 to n-2 into the last byte of a reply.
void sealReply(Bytes& reply);

// "38 02 00 ..." for logs and diagnostics.
std::string hex(const Bytes& bytes);

}  // namespace boardsim
