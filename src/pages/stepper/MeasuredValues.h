// The stepper page's measured output current, from the analog REF reading, the sense
// resistance and the attenuation. Pure; the page stores the result in word 8 on every
// status poll.
//
// A resistance of 0 and an attenuation word outside its table both give 0 A rather than a
// division by zero or a read past the table.
#pragma once

#include <cstdint>

namespace pages::stepper {

struct CurrentInputs {
    std::uint32_t adc = 0;          // word 5: REF reading, 12 bits over 3.3 V
    std::uint32_t resistance = 0;   // word 7: milliohms (the edit shows ohms)
    std::uint32_t attenuate = 0;    // word 6: 100, 80, 50, 20 %
    std::uint32_t serialAttenuate = 0;  // word 58 (device 0x105): 100 % down to 30 % in 10 % steps
};

// The output current in mA, truncated (word 8; the edit shows it in A).
std::uint32_t OutputCurrent(std::int32_t deviceKey, const CurrentInputs& in);

}  // namespace pages::stepper
