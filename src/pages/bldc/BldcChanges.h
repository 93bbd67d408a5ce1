// What the BLDC page sends for a control change, a restore, a show and a close: pure
// functions from the value and the stored data words to the GUI commands (data word,
// value, task word, argument record) that the page then executes in order.
//
// Every board setting of this page goes through the task queue: PWM words (kind 1) with
// a 72-byte channel record, GPIO words (kind 2) with a 28-byte port record, the polling
// word with a 4-byte record holding its period, and the demo word with the empty record
// marker (a command without a record would store its value and drop the word).
//
// `BldcPageState` is the page's own memory (owned by the page, GUI thread). The store is
// borrowed and only read here; the values a command carries are stored when the page
// executes it (SendCommands).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "board/Records.h"
#include "platform/core/Handles.h"

class IDataContainer;
class ITaskListener;

namespace bldc {

inline constexpr std::uint32_t kWordPwm = 0x01000000;
inline constexpr std::uint32_t kWordGpio = 0x02000000;
inline constexpr std::uint32_t kNoStore = 0xFFFFFFFFu;
inline constexpr std::uint32_t kPollingPeriodMs = 50;

struct BldcCommand {
    enum class Record { None, Empty, Pwm, Gpio, Polling };

    int word = -1;                  // data word the value goes to; -1 names none
    std::uint32_t value = kNoStore;  // kNoStore is not stored
    std::uint32_t taskWord = 0;
    Record record = Record::None;  // None: store only, nothing is queued
    PwmChannelRecord pwm{};
    GpioRecord gpio{};
    std::uint32_t pollingPeriod = kPollingPeriodMs;

    // What the command hands the queue: null for Record::None, the empty marker (size 0)
    // for Record::Empty, else the record.
    const void* Data() const;
    std::uint32_t Size() const;
};

// The PWM record the page sends: channel, frequency (Hz), duty and the send flag (0 only
// stages the channel for a later frame); every other field 0.
PwmChannelRecord MakePwmRecord(int channel, double frequency, double duty, int send);
// The GPIO record: line, direction (1 output), level, send; written, not pulsed.
GpioRecord MakeGpioRecord(int line, int direction, int level, int send);

BldcCommand PwmCommand(int word, std::uint32_t value, const PwmChannelRecord& record);
BldcCommand GpioCommand(int word, std::uint32_t value, const GpioRecord& record);
// 0x0A010000 | chip << 8 | on, with the period record.
BldcCommand PollingCommand(int chip, bool on);
// 0x0E000000 | chip << 8 | on, with the empty record marker.
BldcCommand DemoCommand(int chip, bool on);

// The PWMIN setting the start-up test drives and idles the motor with.
struct TestPwm {
    int channel = 1;
    int frequency = 50000;
    int driveDuty = 0;
    int idleDuty = 0;
    bool operator==(const TestPwm&) const = default;
};

// The page's memory between changes.
struct BldcPageState {
    int deviceKey = 0x300;
    int speedInput = -1;  // the last of kinds 0, 4, 28 changed
    int pwm4Frequency = 61;
    int pwm4Duty = 0;
    bool polling = false;
    bool demo = false;
    int Chip() const { return deviceKey & 0xFF; }
};

// What the page does besides executing the commands.
enum class PageAction {
    None,
    ShowTestDialog,      // 15, 27
    ApplyPoleSetting,    // 18: pole setting, speed range items, test dialog refresh
    ApplyMaxSpeed,       // 19, 29: maxSpeed, stored
    RecordCheck,         // 23
};

struct Reaction {
    std::vector<BldcCommand> commands;
    std::optional<int> enableChipItems;  // EnableChipDependentItems argument
    std::optional<TestPwm> testPwm;      // hand to the start-up test
    PageAction action = PageAction::None;
    std::uint32_t maxSpeed = 0;          // with ApplyMaxSpeed
    std::string_view debugText;          // the SSW pin's selection text
};

// The reaction to a change of `kind` to `value`. Kinds without a reaction (and kinds
// above 33) give nothing, not even a stored word.
Reaction OnChange(int kind, std::uint32_t value, BldcPageState& state);

// Remembers k (0, 4 or 28) and switches the other speed input's channel off for the
// keys that need it; nothing when k is the remembered one.
std::vector<BldcCommand> SelectSpeedInput(int k, BldcPageState& state);

// The SSW pin (port 15) for radio index 0 low, 1 high impedance, 2 high; nothing for
// another index.
Reaction SswPin(int word, std::uint32_t value);

// Restoring the chip enable replays the change handler with the stored value, so the
// pin level and the enabled items match what the check shows: kind 12 drives pin 21 to
// 1 - word 12 and enables with word 12; kind 13 drives pin 31 to word 13 and enables
// with 1 - word 13.
Reaction RestoreChipEnable(const IDataContainer& store, bool hasKind12, bool hasKind13);
// The restore's re-sends, in the order the restore runs them (2, 5, 3, then PWMIN,
// which may first switch the voltage input off). Channel 2 gets 256 - word 4, the duty
// a change of kind 4 to the stored value sends.
std::vector<BldcCommand> ResendPwm2(const BldcPageState& state, const IDataContainer& store);
std::vector<BldcCommand> ResendPwm5(const IDataContainer& store);
std::vector<BldcCommand> ResendPwm3(const BldcPageState& state, const IDataContainer& store);
Reaction ResendPwmIn(BldcPageState& state, const IDataContainer& store);

// Closing the page: channel 1 to its idle duty (0 for 0x302, 0x303, 0x305, else 240),
// then the polling and demo stop words when they run. Clears the flags.
std::vector<BldcCommand> ClosePage(BldcPageState& state);

// The pole setting (data word 18) and what it selects.
struct PoleSetting {
    bool rpm = false;            // rpm dial, graph channel 2, kind 29 shown; else pps, channel 1, kind 19
    int graphChannelMask = 1;
    std::string_view currentSpeedCaption;
    std::uint32_t maxSpeed = 0;  // word 19 × 10 or word 29 × 100
};
PoleSetting PoleSettingOf(const IDataContainer& store);
// The word ApplyMaxSpeed stores: {19, value / 10} without a pole count, else {29, value / 100}.
struct StoredWord {
    int word;
    std::uint32_t value;
};
StoredWord MaxSpeedWord(std::uint32_t maxSpeed, std::uint32_t polePairs);

// Executes the commands in order as GUI commands that notify `window`: each stores its
// value and queues its word with a copy of its record. Returns how many ran.
int SendCommands(platform::Handle window, IDataContainer* store, ITaskListener* queue,
                 std::span<const BldcCommand> commands);

}  // namespace bldc
