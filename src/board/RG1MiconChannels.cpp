// Timer and PWM channels: channels 0-3 travel in the 'P' frame to the first controller,
// 4-8 in the '8' 2 frame (or the long frame) to the second.
#include <cmath>

#include "board/Bits.h"
#include "board/RG1Micon.h"
#include "platform/core/Numeric.h"

namespace {

constexpr std::uint8_t Low(std::int64_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

// A period from a formula; out of range results are held at the hardware's limits
// (a frequency above what the channel can make gives its fastest period, 0).
std::uint32_t PeriodFrom(double computed) {
    const auto p = platform::saturate<std::int64_t>(std::trunc(computed));
    if (p < 0) return 0;
    return p > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<std::uint32_t>(p);
}

}  // namespace

void CRG1Micon::ComputePwmPeriod(int channel, PwmChannelRecord& r) {
    const double f = r.frequency;
    // No period can be made for a frequency of 0, below 0 or not a number: the record
    // keeps the period and exponent it carries, and a duty given in percent is taken of
    // that kept period (a preset record with its period and no frequency).
    if (!(f > 0) || !std::isfinite(f)) {
        if (channel >= 6 && r.frequencyMode == 0 && r.percent != 0) {
            r.value = std::trunc(static_cast<double>(r.period) * r.value / 100);
        }
        return;
    }
    if (channel <= 1) {
        r.period = PeriodFrom(std::trunc(1000 / f * 12000 / 16) - 1);
        r.exponent = 0;
    } else if (channel <= 5) {
        r.period = PeriodFrom(std::log(1000 / f * 4000 / 256) / std::log(2.0));
        r.exponent = 0;
    } else if (r.frequencyMode == 0) {
        double p = 0;
        for (int n = 0; n <= 5; ++n) {
            p = std::trunc(1000 / f * 12000 / static_cast<double>(1 << n));
            if (p < 4096) {
                r.period = PeriodFrom(p);
                r.exponent = n;
                break;
            }
        }
        if (r.percent != 0) r.value = std::trunc(p * r.value / 100);
    } else {
        r.period = PeriodFrom(2000 / (1000 / f) + 0.01);
        r.exponent = 0;
    }
}

void CRG1Micon::PatchPwm(int channel, const PwmChannelRecord& r) {
    const std::int64_t v = platform::saturate<std::int32_t>(std::trunc(r.value));
    const std::int64_t period = r.period;
    auto& p = pwmLowFrame_;
    auto& h = pwmHighFrame_;
    p[0] = 'P';
    h[0] = '8';
    h[1] = 2;
    switch (channel) {
        case 0:
            bits::SetField(p[1], 4, 0xF, r.period);
            p[2] = Low(v);
            bits::Set(p[3], 3, v > (period + 1) * 16);
            bits::SetField(p[3], 4, 0xF, r.outputMode);
            break;
        case 1:
            bits::SetField(p[1], 4, 0xF, r.period);
            p[4] = Low(v);
            bits::Set(p[5], 3, v == (period + 1) * 16);
            bits::SetField(p[5], 4, 0xF, r.outputMode);
            break;
        case 2:
            p[7] = Low(period);
            p[8] = Low(v - 1);
            bits::Set(p[6], 6, v != 0);
            break;
        case 3:
            p[7] = Low(period);
            p[9] = Low(v - 1);
            bits::Set(p[6], 7, v != 0);
            p[10] = static_cast<std::uint8_t>(r.extra);
            break;
        case 4:
            h[3] = Low(period);
            h[4] = Low(v - 1);
            bits::Set(h[2], 6, v != 0);
            break;
        case 5:
            h[3] = Low(period);
            h[5] = Low(v - 1);
            bits::Set(h[2], 7, v != 0);
            h[6] = static_cast<std::uint8_t>(r.extra);
            break;
        default: {  // 6 to 8: one shared period, exponent and flags, whichever channel came last
            h[9] = Low(period);
            bits::SetField(h[10], 0, 0xF, static_cast<std::uint32_t>(period >> 8));
            bits::SetField(h[8], 0, 0x7, static_cast<std::uint32_t>(platform::saturate<std::int32_t>(r.exponent)));
            bits::Set(h[8], 3, (r.frequencyMode & 1) != 0);
            bits::Set(h[7], 6, (r.flagA & 1) != 0);
            bits::Set(h[7], 7, (r.flagB & 1) != 0);
            h[17] = static_cast<std::uint8_t>(r.outputMode);
            const int index = channel - 6;
            h[11 + 2 * index] = Low(v);
            bits::SetField(h[12 + 2 * index], 0, 0xF, static_cast<std::uint32_t>(v >> 8));
            if (channel == 6) {
                bits::SetField(h[20], 0, 0x3, r.outputA);
                bits::SetField(h[20], 2, 0x3, r.outputB);
            } else if (channel == 7) {
                bits::SetField(h[20], 4, 0x3, r.outputA);
                bits::SetField(h[20], 6, 0x3, r.outputB);
                h[18] = static_cast<std::uint8_t>(r.extra);
            } else {
                bits::SetField(h[21], 0, 0x3, r.outputA);
                bits::SetField(h[21], 2, 0x3, r.outputB);
                h[19] = static_cast<std::uint8_t>(r.extra);
            }
            break;
        }
    }
    h[22] = Sum(h.data(), 2, 21);
}

void CRG1Micon::SendPwmGroup(int channel) {
    if (channel <= 3) {
        Send(pwmLowFrame_.data(), pwmLowFrame_.size(), nullptr, 0);
    } else if (!UsesLongFrames()) {
        Send(pwmHighFrame_.data(), pwmHighFrame_.size(), nullptr, 0);
    } else {
        // The long form carries the same channel bytes at the same places; the output
        // fields of channel 8 move to [27] because [21] to [26] hold ports 21-33. It is
        // built beside the kept long frame, whose bytes (its [9] of 1 above all) the port
        // frames and parameter blocks must keep.
        std::array<std::uint8_t, 36> frame = longFrame_;
        for (std::size_t i = 2; i <= 20; ++i) frame[i] = pwmHighFrame_[i];
        frame[27] = pwmHighFrame_[21];
        frame[0] = '8';
        frame[1] = 2;
        frame[35] = Sum(frame.data(), 2, 34);
        Send(frame.data(), frame.size(), nullptr, 0);
    }
}

int CRG1Micon::SetPwmChannel(int channel, const PwmChannelRecord* record, int send) {
    if (record == nullptr || channel < 0 || channel > 8) return 0;
    std::lock_guard guard(lock_);
    PatchPwm(channel, *record);
    if (send) {
        SendPwmGroup(channel);
        ReadPort(21, send);
    }
    return 1;
}

int CRG1Micon::SetPwmFrequency(int channel, PwmChannelRecord* record, int send) {
    if (record == nullptr || channel < 0 || channel > 8) return 0;
    std::lock_guard guard(lock_);
    ComputePwmPeriod(channel, *record);
    PatchPwm(channel, *record);
    if (send) SendPwmGroup(channel);
    return 1;
}
