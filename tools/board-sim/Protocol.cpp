#include "board-sim/Protocol.h"

#include <cstdio>

namespace boardsim {

namespace {

FrameSize known(std::size_t length, std::size_t longLength = 0) {
    return FrameSize{FrameSize::Known, length, longLength};
}

FrameSize secondControllerFrame(std::uint8_t code) {
    switch (code) {
        case sub::Reset:
        case sub::Read17:
        case sub::Version:
        case sub::ReadPorts:
        case sub::Measured:
        case sub::Read21:
        case sub::Status:
            return known(2);
        case sub::ParameterBlock:
        case sub::ParameterBlockRead:
            return known(kLongFrame);
        case sub::Pwm:
            // The program picks the short or the long form by the second controller's
            // version it last read; the cutter tells them apart by what follows.
            return known(23, kLongFrame);
        case sub::Ports:
            return known(10, kLongFrame);
        case sub::Select:
            return known(4);
        case sub::SelectPair:
        case sub::Pulse:
            return known(5);
        default:
            return FrameSize{FrameSize::Unknown, 0, 0};
    }
}

}  // namespace

FrameSize frameSize(const std::uint8_t* data, std::size_t n) {
    if (n == 0) return {};
    switch (data[0]) {
        case 'R':
            return known(2);
        case 'C':
            return known(15);
        case 'E':
            return known(6);
        case 'P':
            return known(11);
        case 'O':
            return known(6);
        case 'M':
            return known(5);
        case 'A':
            return known(1);
        case 'V':
            return known(1);
        case 'W':
            return known(5);
        case 'S':
            if (n < 2) return {};
            return known(static_cast<std::size_t>(data[1] & 0x3F) + 2);
        case 'I': {
            // [2] is the request's data length n; the frame carries the address byte, n + 2
            // request bytes (length, register, data) and the letter: n + 4 in all.
            if (n < 3) return {};
            const std::size_t length = static_cast<std::size_t>(data[2]) + 4;
            if (length > kMaxReply) return FrameSize{FrameSize::Malformed, length, 0};
            return known(length);
        }
        case kSecondLetter:
            if (n < 2) return {};
            return secondControllerFrame(data[1]);
        default:
            return FrameSize{FrameSize::Unknown, 0, 0};
    }
}

std::uint8_t byteSum(const Bytes& bytes, std::size_t first, std::size_t last) {
    unsigned sum = 0;
    for (std::size_t i = first; i <= last && i < bytes.size(); ++i) sum += bytes[i];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

namespace {

// Index of the checksum byte and the range it covers; false when the frame has none.
bool checksumLayout(const Bytes& f, std::size_t& at, std::size_t& first, std::size_t& last) {
    if (f.empty()) return false;
    if (f[0] == 'O' && f.size() == 6) {
        at = 5, first = 2, last = 4;
        return true;
    }
    if (f[0] != kSecondLetter || f.size() < 2) return false;
    const std::uint8_t code = f[1];
    if (f.size() == kLongFrame) {
        at = 35, first = 2;
        // The parameter blocks sum 2..32; the long PWM and port frames 2..34.
        last = (code == sub::ParameterBlock || code == sub::ParameterBlockRead) ? 32 : 34;
        return true;
    }
    if (code == sub::Pwm && f.size() == 23) {
        at = 22, first = 2, last = 21;
        return true;
    }
    if (code == sub::Ports && f.size() == 10) {
        at = 9, first = 2, last = 8;
        return true;
    }
    if ((code == sub::SelectPair || code == sub::Pulse) && f.size() == 5) {
        at = 4, first = 2, last = 3;
        return true;
    }
    return false;
}

}  // namespace

bool frameCarriesChecksum(const Bytes& frame) {
    std::size_t at = 0, first = 0, last = 0;
    return checksumLayout(frame, at, first, last);
}

bool frameChecksumOk(const Bytes& frame) {
    std::size_t at = 0, first = 0, last = 0;
    if (!checksumLayout(frame, at, first, last)) return true;
    return frame[at] == byteSum(frame, first, last);
}

bool replyIsChecksummed(const Bytes& frame) {
    return frame.size() >= 2 && frame[0] == kSecondLetter && (frame[1] & 0x10) != 0;
}

void sealReply(Bytes& reply) {
    if (reply.size() < 3) return;
    reply.back() = byteSum(reply, 2, reply.size() - 2);
}

std::string hex(const Bytes& b) {
    std::string s;
    char buf[4];
    for (std::size_t i = 0; i < b.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", b[i]);
        s += buf;
    }
    return s;
}

}  // namespace boardsim
