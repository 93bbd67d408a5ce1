#include "board-sim/BoardModel.h"

#include <cstdio>

namespace boardsim {

namespace {

// A run of consecutive ports packed into one byte of a frame or reply.
struct PortGroup {
    std::size_t direction;  // byte in the 'C' frame, or in the short '8' 3 frame
    std::size_t level;      // byte in the 'E' frame, or in the short '8' 3 frame
    std::size_t reply;      // byte in the 'E' reply, or in the 8-byte '8' 19 reply
    int firstPort;
    int firstBit;
    int count;
};

constexpr PortGroup kFirstGroups[] = {
    {6, 1, 2, 0, 0, 8},
    {7, 2, 4, 8, 0, 8},
    {8, 3, 5, 16, 1, 2},
    {9, 4, 6, 18, 1, 3},
};

constexpr PortGroup kSecondGroups[] = {
    {2, 3, 2, 21, 0, 8},
    {4, 5, 3, 29, 3, 3},
    {6, 7, 4, 32, 0, 2},
};

// The long frame carries the same pairs 19 bytes further on ([21]..[26]); the 13-byte
// port read carries the levels 4 bytes further on ([6]..[8]), clear of the measured
// value at [4..5] and the status at [11].
constexpr std::size_t kLongPortOffset = 19;
constexpr std::size_t kLongReplyOffset = 4;

void decodeGroup(std::uint8_t byte, const PortGroup& g, std::uint64_t& mask) {
    for (int i = 0; i < g.count; ++i) {
        const std::uint64_t portBit = std::uint64_t{1} << (g.firstPort + i);
        if (byte & (1u << (g.firstBit + i)))
            mask |= portBit;
        else
            mask &= ~portBit;
    }
}

std::uint8_t encodeGroup(std::uint64_t mask, const PortGroup& g) {
    unsigned byte = 0;
    for (int i = 0; i < g.count; ++i)
        if (mask & (std::uint64_t{1} << (g.firstPort + i))) byte |= 1u << (g.firstBit + i);
    return static_cast<std::uint8_t>(byte);
}

std::uint64_t portMask(int first, int count) { return ((std::uint64_t{1} << count) - 1) << first; }

const std::uint64_t kFirstMask = portMask(0, BoardModel::kFirstPorts);
const std::uint64_t kSecondMask = portMask(BoardModel::kFirstPorts, BoardModel::kPorts - BoardModel::kFirstPorts);

std::uint8_t lo(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
std::uint8_t hi(std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }

unsigned frameKey(const Bytes& f) {
    if (f.empty()) return 0;
    if (f[0] == kSecondLetter && f.size() >= 2) return (unsigned{f[0]} << 8) | f[1];
    return f[0];
}

Bytes ack(std::uint8_t letter) { return Bytes{0x02, letter}; }

}  // namespace

bool BoardModel::portIsOutput(int port) const {
    if (port < 0 || port >= kPorts) return false;
    return (directions_ >> port) & 1;
}

bool BoardModel::portLevel(int port) const {
    if (port < 0 || port >= kPorts) return false;
    return (readBack() >> port) & 1;
}

std::uint64_t BoardModel::readBack() const { return (levels_ & directions_) | (inputLevels & ~directions_); }

void BoardModel::resetFirstController() {
    directions_ &= ~kFirstMask;
    levels_ &= ~kFirstMask;
    control_.fill(0);
    for (unsigned letter : {'C', 'E', 'P', 'O', 'M', 'S', 'I'}) lastFrames_.erase(letter);
}

void BoardModel::resetSecondController() {
    directions_ &= ~kSecondMask;
    levels_ &= ~kSecondMask;
    const unsigned first = unsigned{kSecondLetter} << 8;
    lastFrames_.erase(lastFrames_.lower_bound(first), lastFrames_.lower_bound(first + 0x100));
}

void BoardModel::applyControl(const Bytes& f) {
    for (std::size_t i = 0; i < control_.size() && i < f.size(); ++i) control_[i] = f[i];
    for (const PortGroup& g : kFirstGroups) decodeGroup(f[g.direction], g, directions_);
}

void BoardModel::applyLevels(const Bytes& f) {
    for (const PortGroup& g : kFirstGroups) decodeGroup(f[g.level], g, levels_);
}

void BoardModel::applySecondPorts(const Bytes& f, std::size_t offset) {
    for (const PortGroup& g : kSecondGroups) {
        decodeGroup(f[g.direction + offset], g, directions_);
        decodeGroup(f[g.level + offset], g, levels_);
    }
}

void BoardModel::apply(const Bytes& f) {
    const FrameSize size = frameSize(f.data(), f.size());
    if (size.status != FrameSize::Known) return;
    if (f.size() != size.length && f.size() != size.longLength) return;

    switch (f[0]) {
        case 'R':
            resetFirstController();
            return;
        case 'C':
            applyControl(f);
            break;
        case 'E':
            applyLevels(f);
            break;
        case kSecondLetter:
            if (f[1] == sub::Reset) {
                resetSecondController();
                return;
            }
            if (f[1] == sub::Ports) applySecondPorts(f, f.size() == kLongFrame ? kLongPortOffset : 0);
            break;
        default:
            break;
    }
    // Reads carry nothing worth keeping.
    if (f.size() > 1 && !(f[0] == kSecondLetter && f.size() == 2)) lastFrames_[frameKey(f)] = f;
}

Bytes BoardModel::statusRecord() const {
    Bytes r(13, 0);
    r[0] = 13;
    r[1] = kSecondLetter;
    r[4] = lo(measured);
    r[5] = hi(measured);
    r[11] = status;
    sealReply(r);
    return r;
}

Bytes BoardModel::secondControllerReply(const Bytes& f) const {
    switch (f[1]) {
        case sub::Read17:
        case sub::ParameterBlockRead:
            return statusRecord();
        case sub::Version: {
            // The version bytes go out even when byte 4 says the controller is absent, so a
            // reader that ignores byte 4 is caught.
            Bytes r{
                6, kSecondLetter, lo(secondVersion), hi(secondVersion), static_cast<std::uint8_t>(secondAbsent ? 1 : 0),
                0};
            sealReply(r);
            return r;
        }
        case sub::ReadPorts: {
            const std::uint64_t levels = readBack();
            if (longVariant()) {
                Bytes r = statusRecord();
                for (const PortGroup& g : kSecondGroups) r[g.reply + kLongReplyOffset] = encodeGroup(levels, g);
                sealReply(r);
                return r;
            }
            Bytes r(8, 0);
            r[0] = 8;
            r[1] = kSecondLetter;
            for (const PortGroup& g : kSecondGroups) r[g.reply] = encodeGroup(levels, g);
            sealReply(r);
            return r;
        }
        case sub::Measured: {
            Bytes r{6, kSecondLetter, lo(measured), hi(measured), status, 0};
            sealReply(r);
            return r;
        }
        case sub::Read21: {
            Bytes r{5, kSecondLetter, sub21, 0, 0};
            sealReply(r);
            return r;
        }
        case sub::Status: {
            Bytes r{6, kSecondLetter, status, 0, 0, 0};
            sealReply(r);
            return r;
        }
        default:
            return ack(kSecondLetter);
    }
}

Bytes BoardModel::reply(const Bytes& f) const {
    if (f.empty()) return {};
    switch (f[0]) {
        case 'V':
            return Bytes{4, 'V', lo(mainVersion), hi(mainVersion)};
        case 'A': {
            Bytes r(18, 0);
            r[0] = 18;
            r[1] = 'A';
            for (int n = 0; n < kAdcChannels; ++n) {
                r[2 + 2 * n] = lo(adc[n]);
                r[3 + 2 * n] = hi(adc[n]);
            }
            return r;
        }
        case 'E': {
            Bytes r(8, 0);
            r[0] = 8;
            r[1] = 'E';
            const std::uint64_t levels = readBack();
            for (const PortGroup& g : kFirstGroups) r[g.reply] = encodeGroup(levels, g);
            r[7] = static_cast<std::uint8_t>(interruptFlags & 0x3E);
            return r;
        }
        case 'I': {
            const bool read = f.size() > 2 && (f[1] & 1);
            if (!read) return ack('I');
            // A read asks for as many bytes as its data length; the reply holds at most 62.
            std::size_t n = f[2];
            if (n > kMaxReply - 2) n = kMaxReply - 2;
            Bytes r(n + 2, 0);
            r[0] = static_cast<std::uint8_t>(n + 2);
            r[1] = 'I';
            for (std::size_t i = 0; i < n && i < i2cReadData.size(); ++i) r[2 + i] = i2cReadData[i];
            return r;
        }
        case kSecondLetter:
            if (f.size() < 2) return {};
            return secondControllerReply(f);
        default:
            return ack(f[0]);
    }
}

std::string BoardModel::describe() const {
    std::string s;
    char line[160];
    std::snprintf(line, sizeof line, "versions: main 0x%04X, second 0x%04X%s, %s frames\n", mainVersion, secondVersion,
                  secondAbsent ? " (absent)" : "", longVariant() ? "long" : "short");
    s += line;
    std::snprintf(line, sizeof line,
                  "control: flag A %d, flag B %d, mode %u, interrupt modes %02X %02X, analog setting %u, "
                  "reference %d, enabled 0x%02X\n",
                  control_[2] & 1, (control_[2] >> 1) & 1, unsigned{control_[3]}, control_[10], control_[11],
                  unsigned{control_[12] & 7u}, (control_[12] >> 6) & 1, control_[13]);
    s += line;
    s += "ports:";
    for (int p = 0; p < kPorts; ++p) {
        std::snprintf(line, sizeof line, " %d%c%d", p, portIsOutput(p) ? 'o' : 'i', portLevel(p) ? 1 : 0);
        s += line;
    }
    s += '\n';
    std::snprintf(line, sizeof line,
                  "measured %u, status %u, sub21 %u, interrupt flags 0x%02X\nadc:", unsigned{measured},
                  unsigned{status}, unsigned{sub21}, unsigned{interruptFlags});
    s += line;
    for (std::uint16_t v : adc) {
        std::snprintf(line, sizeof line, " %u", unsigned{v});
        s += line;
    }
    s += '\n';
    for (const auto& [key, frame] : lastFrames_) s += "last " + hex(frame) + '\n';
    return s;
}

void BoardModel::advanceMotor(const Bytes& f) {
    if (!motor.enabled) {
        motorRunning_ = false;
        motorStarts_ = 0;
        return;
    }
    // Every frame may have moved the pin: leaving the run level stops the motor at once.
    if (portLevel(motor.port) != motor.runLevel) {
        motorRunning_ = false;
        measured = 0;
        return;
    }
    if (f.size() < 2 || f[0] != kSecondLetter || f[1] != sub::Measured) return;
    if (!motorRunning_) {
        motorRunning_ = true;
        motorReads_ = 0;
        ++motorStarts_;
    }
    ++motorReads_;
    const auto& still = motor.stillReads;
    const int wait = still.empty() ? 0 : still[static_cast<std::size_t>((motorStarts_ - 1) % still.size())];
    if (motorReads_ <= wait) {
        measured = 0;
        return;
    }
    const long count = long{motor.firstCount} - long{motor.countStep} * (motorReads_ - wait - 1);
    measured = static_cast<std::uint16_t>(count > motor.fullSpeedCount ? count : motor.fullSpeedCount);
}

}  // namespace boardsim
