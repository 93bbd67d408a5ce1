// Port lines, analog and interrupt inputs, the serial bus and serial data, motor modes.
// Ports 0-20 belong to the first controller: directions in the 'C' frame, levels in the
// 'E' frame. Ports 21-33 belong to the second: '8' 3, or the long frame with 0x12xx.
#include <algorithm>
#include <cstring>

#include "board/Bits.h"
#include "board/RG1Micon.h"

namespace {

// Where a port of the first controller sits: the byte of its group in the 'C' frame
// (direction; the 'E' frame's byte is 5 less, the reply's given separately) and its bit.
struct LowPortPlace {
    int controlByte;
    int levelByte;
    int replyByte;
    int bit;
};

LowPortPlace LowPort(int port) {
    if (port <= 7) return {6, 1, 2, port};
    if (port <= 15) return {7, 2, 4, port - 8};
    if (port <= 17) return {8, 3, 5, port - 16 + 1};
    return {9, 4, 6, port - 18 + 1};
}

// A port of the second controller: byte offset within its direction/level pair
// (0 for 21-28, 2 for 29-31, 4 for 32-33) and its bit.
struct HighPortPlace {
    int pair;
    int bit;
};

HighPortPlace HighPort(int port) {
    if (port <= 28) return {0, port - 21};
    if (port <= 31) return {2, port - 29 + 3};
    return {4, port - 32};
}

// Where the 13-byte port read of a 0x12xx second controller carries the levels of
// ports 21-28, 29-31 and 32-33 (its bytes 4-5 and 11 stay the measured value and status).
constexpr int kLongReadLevels = 6;

}  // namespace

int CRG1Micon::WritePort(int port, const PortRecord* record, int send) {
    if (record == nullptr || port < 0 || port > 33) return 0;
    std::lock_guard guard(lock_);
    const bool output = (record->direction & 1) != 0;
    const bool level = (record->level & 1) != 0;
    if (port <= 20) {
        const auto place = LowPort(port);
        controlFrame_[0] = 'C';
        portLevelFrame_[0] = 'E';
        bits::Set(controlFrame_[place.controlByte], place.bit, output);
        bits::Set(portLevelFrame_[place.levelByte], place.bit, level);
        if (send) {
            Send(controlFrame_.data(), controlFrame_.size(), nullptr, 0);
            Send(portLevelFrame_.data(), portLevelFrame_.size(), nullptr, 0);
            ReadPort(port, 1);
        }
    } else {
        const auto place = HighPort(port);
        bits::Set(portHighFrame_[2 + place.pair], place.bit, output);
        bits::Set(portHighFrame_[3 + place.pair], place.bit, level);
        bits::Set(longFrame_[21 + place.pair], place.bit, output);
        bits::Set(longFrame_[22 + place.pair], place.bit, level);
        portHighFrame_[0] = '8';
        portHighFrame_[1] = 3;
        portHighFrame_[9] = Sum(portHighFrame_.data(), 2, 8);
        longFrame_[0] = '8';
        longFrame_[1] = 3;
        longFrame_[35] = Sum(longFrame_.data(), 2, 34);
        if (send) {
            SendPortHigh();
            ReadPort(port, 1);
        }
    }
    return 1;
}

void CRG1Micon::SendPortHigh() {
    if (UsesLongFrames()) {
        Send(longFrame_.data(), longFrame_.size(), nullptr, 0);
    } else {
        Send(portHighFrame_.data(), portHighFrame_.size(), nullptr, 0);
    }
}

int CRG1Micon::ReadPort(int port, int send) {
    if (port < 0 || port > 33) return 0;
    std::lock_guard guard(lock_);
    if (port <= 20) {
        if (send) {
            portLevelFrame_[0] = 'E';
            Send(portLevelFrame_.data(), portLevelFrame_.size(), portLevelReply_.data(), portLevelReply_.size());
        }
        const auto place = LowPort(port);
        return bits::Get(portLevelReply_[place.replyByte], place.bit) ? 1 : 0;
    }
    if (send) {
        longFrame_[0] = '8';
        longFrame_[1] = 19;
        if (UsesLongFrames()) {
            if (Send(longFrame_.data(), 2, statusRecord_.data(), statusRecord_.size()) == 0) {
                std::copy_n(statusRecord_.begin() + kLongReadLevels, 3, portHighReply_.begin() + 2);
            }
        } else {
            Send(longFrame_.data(), 2, portHighReply_.data(), portHighReply_.size());
        }
    }
    const auto place = HighPort(port);
    return bits::Get(portHighReply_[2 + place.pair / 2], place.bit) ? 1 : 0;
}

int CRG1Micon::SetAdcChannel(int channel, const AdcChannelRecord* record, int send) {
    if (record == nullptr || channel < 0 || channel > 33) return 0;
    if (channel > 7) return 1;  // accepted, but those inputs have nothing to set
    std::lock_guard guard(lock_);
    controlFrame_[0] = 'C';
    bits::Set(controlFrame_[13], channel, record->enable != 0);
    if (record->enable != 0) {
        bits::SetField(controlFrame_[12], 0, 0x7, record->setting);
        bits::Set(controlFrame_[12], 6, (record->reference & 1) != 0);
    }
    if (send) Send(controlFrame_.data(), controlFrame_.size(), nullptr, 0);
    return 1;
}

int CRG1Micon::ReadAdc(int channel, int send) {
    if (channel < 0 || channel > 33) return 0;
    std::lock_guard guard(lock_);
    if (send) {
        analogFrame_[0] = 'A';
        Send(analogFrame_.data(), 1, analogReply_.data(), analogReply_.size());
    }
    if (channel > 7) return 0;
    return analogReply_[2 + 2 * channel] | (analogReply_[3 + 2 * channel] << 8);
}

int CRG1Micon::SetInterruptInput(int input, const InterruptInputRecord* record, int send) {
    if (record == nullptr || input < 1 || input > 5) return 0;
    std::lock_guard guard(lock_);
    controlFrame_[0] = 'C';
    if (input >= 4) {
        const int shift = input == 4 ? 0 : 4;
        bits::SetField(controlFrame_[10], shift, 0x3, record->modeB);
        bits::SetField(controlFrame_[10], shift + 2, 0x3, record->modeA);
    } else {
        bits::SetField(controlFrame_[11], 2 * input, 0x3, record->modeA);
    }
    if (send) Send(controlFrame_.data(), controlFrame_.size(), nullptr, 0);
    return 1;
}

int CRG1Micon::ReadInterruptFlag(int input, int send) {
    if (input < 1 || input > 5) return 0;
    std::lock_guard guard(lock_);
    if (send) {
        portLevelFrame_[0] = 'E';
        Send(portLevelFrame_.data(), portLevelFrame_.size(), portLevelReply_.data(), portLevelReply_.size());
    }
    return bits::Get(portLevelReply_[7], input) ? 1 : 0;
}

int CRG1Micon::SendControlStop() {
    std::lock_guard guard(lock_);
    controlFrame_[0] = 'C';
    bits::Set(controlFrame_[2], 0, false);
    bits::Set(controlFrame_[2], 1, true);
    controlFrame_[3] = 2;
    return Send(controlFrame_.data(), controlFrame_.size(), nullptr, 0);
}

int CRG1Micon::I2cTransfer(std::uint32_t /*ignored*/, const I2cRecord* record, int send) {
    if (record == nullptr) return 0;
    if (record->length > kMaxI2cData) return 0;  // would not fit the 64-byte frame
    std::lock_guard guard(lock_);
    const std::size_t n = record->length;
    serialBusFrame_[0] = 'I';
    serialBusFrame_[1] = static_cast<std::uint8_t>(((record->address & 0x7F) << 1) | (record->operation != 0 ? 1 : 0));
    std::memcpy(serialBusFrame_.data() + 2, record->bytes, n + 2);
    if (send) {
        serialBusReply_.fill(0);
        Send(serialBusFrame_.data(), n + 4, serialBusReply_.data(), serialBusReply_.size());
    }
    return 1;
}

int CRG1Micon::GetI2cReply(std::uint8_t* destination, std::uint32_t* count) {
    if (destination == nullptr || count == nullptr) return 0;
    std::lock_guard guard(lock_);
    const std::size_t length = serialBusReply_[0];
    std::memcpy(destination, serialBusReply_.data() + 2, std::min(length, serialBusReply_.size() - 2));
    *count = static_cast<std::uint32_t>(length);
    return 1;
}

int CRG1Micon::SendSerialData(const std::uint8_t* data, std::size_t length) {
    if (length > kMaxSerialData || (data == nullptr && length > 0)) return 0;
    std::lock_guard guard(lock_);
    serialDataFrame_[0] = 'S';
    serialDataFrame_[1] = static_cast<std::uint8_t>(length & 0x3F);
    if (length > 0) std::memcpy(serialDataFrame_.data() + 2, data, length);
    Send(serialDataFrame_.data(), length + 2, nullptr, 0);
    return 1;
}

int CRG1Micon::SetMotorMode(int mode, const std::uint32_t* recordA, const std::uint32_t* recordB, int send) {
    std::lock_guard guard(lock_);
    auto& f = motorModeFrame_;
    f[0] = 'M';
    f[1] = static_cast<std::uint8_t>(mode);
    auto secondByte = [](const std::uint32_t* r) { return static_cast<std::uint8_t>((*r >> 8) & 0xFF); };
    switch (mode) {
        case 1:
            if (recordA) f[2] = secondByte(recordA);
            bits::Set(f[3], 4, bits::Get(f[2], 4));
            bits::SetField(f[2], 5, 0x7, 0b100);
            break;
        case 2:
            if (recordB) f[3] = secondByte(recordB);
            bits::Set(f[2], 4, bits::Get(f[3], 4));
            bits::SetField(f[3], 5, 0x7, 0b101);
            break;
        case 3:
            if (recordA) f[2] = secondByte(recordA);
            if (recordB) f[3] = secondByte(recordB);
            bits::SetField(f[2], 5, 0x7, 0b100);
            bits::SetField(f[3], 5, 0x7, 0b101);
            break;
        case 4:
            bits::SetField(f[4], 6, 0x3, 0b01);
            if (recordA) bits::SetField(f[4], 0, 0x7, *recordA);
            if (recordB) bits::SetField(f[4], 3, 0x7, *recordB);
            break;
        default:
            break;
    }
    if (send) Send(f.data(), f.size(), nullptr, 0);
    return 1;
}
