#include "pages/stepper/MeasuredValues.h"

#include <array>

#include "platform/core/Numeric.h"

namespace pages::stepper {

std::uint32_t OutputCurrent(std::int32_t key, const CurrentInputs& in) {
    const double vref = in.adc / 4096.0 * 3.3;
    const double r = in.resistance;
    if (key == 0x103) {
        if (in.resistance == 0) return 0;
        return platform::saturate<std::uint32_t>(0.2 / r * 4000.0 * 1000.0);
    }
    if (key != 0x100 && key != 0x101 && key != 0x102 && key != 0x104 && key != 0x105) return 0;
    static constexpr std::array<double, 4> kAttenuation = {100.0, 80.0, 50.0, 20.0};
    static constexpr std::array<double, 8> kSerialAttenuation = {100.0, 90.0, 80.0, 70.0, 60.0, 50.0, 40.0, 30.0};
    double att = 0;
    if (key == 0x105) {
        if (in.serialAttenuate >= kSerialAttenuation.size()) return 0;
        att = kSerialAttenuation[in.serialAttenuate];
    } else {
        if (in.attenuate >= kAttenuation.size()) return 0;
        att = kAttenuation[in.attenuate];
    }
    if (!(r * 1000.0 > 1.0)) return 0;
    return platform::saturate<std::uint32_t>(vref / 5.0 * (att / 100.0) / (r / 1000.0) * 1000.0);
}

}  // namespace pages::stepper
