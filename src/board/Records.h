// Argument records that travel with task words and reach the board link. They are raw
// little-endian blocks of fixed size; the layouts below are the wire-independent
// in-memory form the tasks copy around.
#pragma once

#include <cstddef>
#include <cstdint>

// A timer/PWM channel, 72 bytes.
struct PwmChannelRecord {
    std::uint32_t channel = 0;  // 0 to 8
    std::uint32_t reserved = 0;
    double frequency = 0;  // Hz
    double value = 0;      // compare value or duty (percent of the period with the percent flag)
    double exponent = 0;   // written by the board link
    std::uint32_t period = 0;  // written by the board link
    std::uint32_t outputMode = 0;
    std::uint32_t extra = 0;  // extra byte in the low byte
    std::uint32_t flagA = 0;
    std::uint32_t flagB = 0;
    std::uint32_t outputA = 0;
    std::uint32_t outputB = 0;
    std::uint32_t percent = 0;
    std::uint32_t frequencyMode = 0;  // 1: the period carries twice the frequency
    std::uint32_t send = 0;
};
static_assert(sizeof(PwmChannelRecord) == 72);
static_assert(offsetof(PwmChannelRecord, frequency) == 8 && offsetof(PwmChannelRecord, period) == 32 &&
              offsetof(PwmChannelRecord, send) == 68);

// What the board link reads of a port line.
struct PortRecord {
    std::uint32_t line = 0;       // 0 to 33
    std::uint32_t direction = 0;  // bit 0; 1 output
    std::uint32_t level = 0;      // bit 0
    std::uint32_t reserved = 0;
    std::uint32_t send = 0;
};
static_assert(sizeof(PortRecord) == 20);

// A GPIO task's record, 28 bytes: the port record plus the pulse form.
struct GpioRecord {
    PortRecord port;
    std::uint32_t pulse = 0;  // non-zero pulses the line instead of writing it
    std::uint32_t pulseWidth = 0;
};
static_assert(sizeof(GpioRecord) == 28);

struct AdcChannelRecord {
    std::uint32_t channel = 0;
    std::uint32_t enable = 0;
    std::uint32_t reference = 0;  // bit 0
    std::uint32_t setting = 0;    // low 3 bits
    std::uint32_t send = 0;
};

struct InterruptInputRecord {
    std::uint32_t input = 0;  // 1 to 5
    std::uint32_t modeA = 0;  // low 2 bits
    std::uint32_t modeB = 0;  // low 2 bits (inputs 4 and 5)
    std::uint32_t send = 0;
};

// An I2C request, 140 bytes.
struct I2cRecord {
    std::uint32_t operation = 0;  // the read flag for the link; for a task 0 transfer, 1 fetch the reply
    std::uint32_t length = 0;     // data length n; n + 2 request bytes go into the frame
    std::uint8_t address = 0;     // 7 bits
    std::uint8_t reserved[2] = {};
    std::uint8_t bytes[129] = {};
};
static_assert(sizeof(I2cRecord) == 140 && offsetof(I2cRecord, bytes) == 11);
