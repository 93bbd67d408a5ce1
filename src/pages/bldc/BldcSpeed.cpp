#include "pages/bldc/BldcSpeed.h"

#include "platform/core/Numeric.h"

namespace bldc {

namespace {

std::uint32_t Shown(double v) { return platform::saturate<std::uint32_t>(v); }

}  // namespace

double RpmFromPps(double pps, std::uint32_t polePairs, std::uint32_t fgPulses) {
    if (polePairs == 0 || fgPulses == 0) return 0.0;
    return (2.0 / (2.0 * polePairs)) * (pps / fgPulses) * 60.0;
}

Speed SpeedFromCount(std::uint32_t count, std::uint32_t polePairs, std::uint32_t fgPulses, int setting) {
    Speed s;
    const double unit = CountUnitUs(setting);
    if (count != 0 && unit > 0.0) s.pps = 1.0 / (count * unit / 1000000.0);
    s.rpm = RpmFromPps(s.pps, polePairs, fgPulses);
    s.ppsShown = Shown(s.pps);
    s.rpmShown = Shown(s.rpm);
    return s;
}

SpeedDisplay ComputeSpeedDisplay(std::uint32_t count, std::uint32_t polePairs, std::uint32_t fgPulses) {
    SpeedDisplay d;
    d.speed = SpeedFromCount(count, polePairs, fgPulses);
    d.currentSpeedWord = polePairs == 0 ? d.speed.ppsShown : d.speed.rpmShown;
    d.rotationEnabled = polePairs == 0 ? d.speed.ppsShown < 36 : d.speed.rpmShown < 1001;
    return d;
}

std::uint32_t FgToRpm(std::uint32_t fg, std::uint32_t polePairs, std::uint32_t fgPulses) {
    if (polePairs == 0 || fgPulses == 0) return 0;
    return Shown((2.0 / (2.0 * polePairs)) * (static_cast<double>(fg) / fgPulses) * 60.0);
}

std::uint32_t RpmToFg(std::uint32_t rpm, std::uint32_t polePairs, std::uint32_t fgPulses) {
    const std::uint64_t product = std::uint64_t{rpm} * fgPulses * 2u * polePairs;
    return Shown(static_cast<double>(product) / 120.0);
}

}  // namespace bldc
