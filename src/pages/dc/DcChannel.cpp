#include "pages/dc/DcChannel.h"

#include <algorithm>
#include <cmath>

namespace pages::dc {

namespace {

struct OutputPair {
    std::uint32_t a, b;
};
// Output fields of modes 0..6 (the board firmware gives the values their meaning).
constexpr std::array<OutputPair, 7> kOutputs = {{{0, 1}, {2, 0}, {1, 0}, {0, 2}, {1, 1}, {2, 2}, {1, 1}}};

constexpr std::array<std::uint32_t, kFrequencyCount> MakeTable() {
    std::array<std::uint32_t, kFrequencyCount> t{};
    std::size_t i = 0;
    for (std::uint32_t f = 100; f <= 1000; f += 100) t[i++] = f;
    for (std::uint32_t f = 1500; f <= 10000; f += 500) t[i++] = f;
    return t;
}
constexpr std::array<std::uint32_t, kFrequencyCount> kTable = MakeTable();
static_assert(kTable[9] == 1000 && kTable[10] == 1500 && kTable[27] == 10000);

}  // namespace

const std::array<std::uint32_t, kFrequencyCount>& FrequencyTable() { return kTable; }

std::uint32_t FrequencyAt(std::uint32_t index) { return kTable[index < kFrequencyCount ? index : kFrequencyCount - 1]; }

std::uint32_t NearestFrequencyIndex(double hz) {
    std::uint32_t best = 0;
    double bestDistance = std::fabs(hz - kTable[0]);
    for (std::uint32_t i = 1; i < kFrequencyCount; ++i) {
        const double d = std::fabs(hz - kTable[i]);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

PwmChannelRecord ModeTemplate(std::uint32_t mode) {
    PwmChannelRecord r{};
    const OutputPair p = kOutputs[mode < kOff ? mode : kOff];
    r.outputA = p.a;
    r.outputB = p.b;
    return r;
}

std::uint32_t OutputDuty(std::uint32_t mode, std::uint32_t duty) {
    if (duty > kMaxDuty) duty = kMaxDuty;
    switch (mode) {
        case kForwardStandby:
        case kForwardBrake:
            return kMaxDuty - duty;
        case kReverseStandby:
        case kReverseBrake:
            return duty;
        default:
            return 0;
    }
}

PwmChannelRecord MakeRecord(std::uint32_t templateMode, double frequency, std::uint32_t outputDuty) {
    PwmChannelRecord r = ModeTemplate(templateMode);
    r.frequency = frequency;
    r.value = static_cast<double>(outputDuty) * 100.0 / 256.0;
    r.percent = 1;
    return r;
}

bool SetChannelMode(std::uint32_t& w, std::uint32_t mode) {
    const std::uint32_t previous = ModeOf(w);
    const std::uint32_t next = mode & 7u;
    w = (w & ~(7u << bits::kPreviousShift)) | (previous << bits::kPreviousShift);
    w = WithMode(w, next);
    if ((previous & 4u) == 0 && (next & 4u) == 0) {
        if (((previous ^ next) & 2u) != 0) {
            w |= bits::kPending;
        } else {
            w &= ~bits::kPending;
        }
    }
    return (w & bits::kPending) != 0;
}

std::uint32_t DirectionPauseMs(double frequency) {
    if (!(frequency > 0.0)) return 5;
    const double ms = 1000.0 / frequency;
    return ms >= 5.0 ? static_cast<std::uint32_t>(ms) : 5u;
}

ChannelApplication ApplyChannel(std::uint32_t& w, double frequency) {
    const bool pending = (w & bits::kPending) != 0;
    std::uint32_t mode = ModeOf(w);
    std::uint32_t duty = DutyOf(w);
    if (pending) {
        mode = PreviousModeOf(w) >= 2 ? kReverseStandby : kForwardStandby;
        duty = 0;
    }
    if (!IsOn(w) || mode > kBrake) {
        mode = kOff;
        duty = 0;
    }
    ChannelApplication out;
    out.record = MakeRecord(mode, frequency, OutputDuty(mode, duty));
    if (pending) {
        w &= ~bits::kPending;
        out.pauseMs = DirectionPauseMs(frequency);
    }
    return out;
}

PwmChannelRecord PhaseRecord(std::uint32_t phase, bool off, double frequency) {
    const std::uint32_t own = ModeOf(phase);
    if (off || own > kBrake) return MakeRecord(kOff, frequency, 0);
    std::uint32_t templateMode = own;
    std::uint32_t duty = DutyOf(phase);
    if ((phase & bits::kPending) != 0) {
        templateMode = own >= 2 ? kReverseStandby : kForwardStandby;
        duty = 0;
    }
    // The phase's own mode decides the duty, and standby counts as forward here.
    const bool forward = own == kForwardStandby || own == kForwardBrake || own == kStandby;
    const std::uint32_t d = forward ? kMaxDuty - std::min(duty, kMaxDuty) : std::min(duty, kMaxDuty);
    return MakeRecord(templateMode, frequency, d);
}

bool IsReversal(std::uint32_t next, std::uint32_t previous) {
    // Only the PWM modes have a direction; off and an unknown mode reverse nothing.
    const std::uint32_t a = ModeOf(next), b = ModeOf(previous);
    return a <= kReverseBrake && b <= kReverseBrake && ((a ^ b) & 2u) != 0;
}

PwmChannelRecord PulseRecord(std::uint32_t next, double frequency) {
    PwmChannelRecord r = PhaseRecord(next | bits::kPending, false, frequency);
    const std::uint32_t mode = ModeOf(next);
    const std::uint32_t out = (mode == kForwardBrake || mode == kReverseBrake) ? 2u : 1u;
    r.flagA = r.flagB = 0;
    r.outputA = r.outputB = out;
    return r;
}

double OutputCurrent(std::int32_t deviceKey, const CurrentInputs& in) {
    if (in.resistance <= 0) return 0.0;
    const double r = in.resistance;
    switch (deviceKey) {
        case 0x202:
            return 0.2 / r * 4000.0 * 1000.0;
        case 0x200:
        case 0x201:
        case 0x203:
        case 0x207:
        case 0x208:
        case 0x209: {
            static constexpr std::array<double, 4> kAtt = {100.0, 80.0, 50.0, 20.0};
            const double a = in.att < kAtt.size() ? kAtt[in.att] : 0.0;
            const double v = in.refAdc / 4096.0 * 3.3;
            return (a / 100.0) * (v / 5.0) / (r / 1000.0) * 1000.0;
        }
        default:
            return 0.0;
    }
}

}  // namespace pages::dc
