// The board link's operations that the reply fuzzer drives, one per op byte: every way
// the program reads a reply (kept replies, checksummed reads, the serial bus, the
// version check) and frames that expect none. The seed corpus was captured by running
// the same operations against the simulator (MakeCorpus.cpp).
#pragma once

#include <cstdint>

#include "board/RG1Micon.h"

namespace fuzz {

inline constexpr int kBoardOps = 16;

// Runs operation `op % kBoardOps`; the higher bits choose its port, channel or input.
inline void RunBoardOp(CRG1Micon& link, std::uint8_t op) {
    const int arg = op / kBoardOps;
    switch (op % kBoardOps) {
        case 0:
            link.Open(0);
            break;
        case 1: {
            std::uint16_t main = 0, second = 0;
            link.GetVersion(&main, &second, 1);
            break;
        }
        case 2:
            link.ReadPort(arg * 3 % 34, 1);
            break;
        case 3:
            link.ReadAdc(arg % 9, 1);
            break;
        case 4:
            link.ReadMeasuredValue(1);
            break;
        case 5: {
            std::uint32_t status = 0;
            link.ReadStatus(&status, 1);
            break;
        }
        case 6:
            link.ReadSub17(1);
            break;
        case 7:
            link.ReadSub21(1);
            break;
        case 8:
            link.SendParameterBlockAndRead(1);
            break;
        case 9: {
            I2cRecord read;
            read.operation = 1;
            read.address = 0x50;
            read.length = static_cast<std::uint32_t>(arg);
            link.I2cTransfer(0, &read, 1);
            std::uint8_t out[64] = {};
            std::uint32_t count = 0;
            link.GetI2cReply(out, &count);
            break;
        }
        case 10:
            link.ReadInterruptFlag(1 + arg % 5, 1);
            break;
        case 11: {
            PortRecord port{static_cast<std::uint32_t>(21 + arg % 13), 1, static_cast<std::uint32_t>(arg & 1), 0, 1};
            link.WritePort(static_cast<int>(port.line), &port, 1);
            break;
        }
        case 12: {
            PwmChannelRecord pwm;
            pwm.channel = static_cast<std::uint32_t>(arg % 9);
            pwm.frequency = 1000.0 * (arg + 1);
            pwm.value = 50;
            pwm.percent = 1;
            link.SetPwmFrequency(static_cast<int>(pwm.channel), &pwm, 1);
            break;
        }
        case 13:
            link.CheckVersionOlder(0x2113, 0x1319);
            break;
        case 14:
            link.SendReset(1, 1);
            break;
        default:
            link.SendControlStop();
            break;
    }
}

}  // namespace fuzz
