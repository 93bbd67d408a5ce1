// The dual-stepper page's runs: two motors, each playing its eight step rows on its own
// one-shot timer (0x80DD, 0x80DE), or both on one timer (0x80DF) while a same-time start
// keeps their steps equal. Every step sets the motor's 32-bit control word and sends both
// words as motor mode 4, then, after a 15 ms wait, the mode of the motors that moved.
//
// A state machine with no window of its own. The page owns one and lends it the data
// store (selected on the page's device), the board's motor-mode request (`IDualBoard`)
// and the three run timers (`IRunTimer`); the 15 ms wait sleeps on the process clock
// (platform::sleepMs), so tests run it on a ManualClock. GUI thread only: the page calls
// `OnMotorTimer` for each accepted tick and `StartStop` from its buttons; both return
// what the page must show. Motors are numbered 0 and 1; masks are 1 (motor 1), 2 (motor
// 2), 3 (both).
//
// Rules it keeps:
// - "Fixed" plays row 0; "Sequence" the checked rows in order. "Auto Stop" ends after the
//   last; "Stop Button" repeats from the first checked row with repeat on, else holds the
//   last step (row 0 in "Fixed") without a timer until Stop.
// - Nothing is read past the end of a step list: the position is the list's end when no
//   step is current, and every look-up checks it.
// - A step's time is its transfer time in seconds (the time list, or the seconds edit for
//   "Other ..."), less the 15 ms wait when one motor runs alone; a step shorter than 1 ms
//   stops the motor.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "pages/scaffold/PageBoard.h"
#include "parsers/StepRecord.h"
#include "parsers/ValueTable.h"

class IDataContainer;

namespace pages::dual {

inline constexpr int kMotors = 2;
inline constexpr int kRows = 8;

// Data words of the page. Motor 2's settings are motor 1's plus 8, its rows plus 33.
namespace word {
inline constexpr int kChipEnable = 0;
inline constexpr int kVref = 1, kRcs = 2, kCurrent = 3, kTestMode = 4, kTransferTime = 6, kStopSignal = 7, kRepeat = 8;
inline constexpr int kMotor2Offset = 8;
inline constexpr int kMeasuredVref1 = 17, kMeasuredVref2 = 18;
inline constexpr int kRowHeader1 = 20, kRowHeader2 = 53;
inline constexpr int kFirstRow1 = 21, kFirstRow2 = 54;  // four words a row: check, mode, frequency, direction
inline constexpr int kFootnote1 = 86, kFootnote2 = 89;
inline constexpr int kStart1 = 87, kStop1 = 88, kStart2 = 90, kStop2 = 91, kStartBoth = 92, kStopBoth = 93;
inline constexpr int kSeconds1 = 94, kSeconds2 = 95;
inline constexpr int kPolling1 = 96, kPolling2 = 97;
inline constexpr int kRecord = 103, kGraphRange = 104, kSpeed1 = 105, kSpeed2 = 106;

// Motor m's kind of a motor-1 setting (1..8).
constexpr int Of(int motor, int motor1Kind) { return motor1Kind + (motor == 0 ? 0 : kMotor2Offset); }
constexpr int Row(int motor, int row) { return (motor == 0 ? kFirstRow1 : kFirstRow2) + 4 * row; }
constexpr int Seconds(int motor) { return motor == 0 ? kSeconds1 : kSeconds2; }
constexpr int Polling(int motor) { return motor == 0 ? kPolling1 : kPolling2; }
constexpr int MeasuredVref(int motor) { return motor == 0 ? kMeasuredVref1 : kMeasuredVref2; }
}  // namespace word

// Values of the combos the runs read.
inline constexpr std::uint32_t kFixed = 0, kSequence = 1;
inline constexpr std::uint32_t kAutoStop = 0, kStopButton = 1;
inline constexpr std::uint32_t kOtherTime = 25;  // "Other ...": the seconds edit gives the time
inline constexpr std::uint32_t kMotorModeWaitMs = 15;

// Transfer times in seconds by combo index 0..24.
inline constexpr std::array<int, 25> kTransferSeconds = {
    1, 2, 3, 4, 5, 6, 7, 8, 16, 32, 64, 80, 160, 320, 640, 800, 1600, 2400, 3200, 4000, 4800, 5600, 6400, 7200, 8000};

// The 32-bit motor control word.
namespace control {
inline constexpr int kExcitation = 0, kRun = 2, kDirection = 3, kChipEnable = 4, kMotorSelect = 5, kConstant = 7,
                     kFrequency = 10;
// Writes one field (0 bits 8-9, 2 bit 10, 3 bit 11, 4 bit 12, 5 bit 13, 7 bits 14-15,
// 10 bits 0-2); other fields leave the word as it is.
std::uint32_t SetField(std::uint32_t word, int field, std::uint32_t value);
inline bool Runs(std::uint32_t word) { return (word >> 10) & 1u; }
}  // namespace control

// The step record's direction bit: 1 "CW" on this chip.
inline constexpr std::uint32_t kDirectionBit = 1u << 23;

// The board request of the runs.
class IDualBoard {
public:
    virtual ~IDualBoard() = default;
    // The board link's motor mode (1, 2, 3 or 4) with both control words, sent.
    virtual void SetMotorMode(int mode, std::uint32_t motor1, std::uint32_t motor2) = 0;
};

class DualRun {
public:
    // Borrowed, and must outlive the run: the store, the board and the timers of motor 1,
    // motor 2 and both motors.
    DualRun(IDataContainer& store, IDualBoard& board, IRunTimer& motor1, IRunTimer& motor2, IRunTimer& both);

    // Refreshes motor m's eight step records from its rows and settings.
    void BuildSequence(int motor);
    // A Start, Stop, "Start Same Time" or "Stop Same Time" button (kinds 87, 88, 90, 91,
    // 92, 93): the run state changes and the first (or last) step goes out at once.
    // False for any other kind.
    bool StartStop(int kind);
    // A tick of the timer of `mask` (1, 2, 3; 0 does nothing).
    void OnMotorTimer(int mask);
    // Ends both motors at once for a closing page: timers off, run bits 0 sent.
    void Halt();
    // The chip enable changed: field 4 of both words (sent with the next step).
    void SetChipEnable(std::uint32_t on);

    bool Running(int motor) const { return motors_.at(Index(motor)).running; }
    bool AnyRunning() const { return motors_[0].running || motors_[1].running; }
    bool SingleStart(int motor) const { return motors_.at(Index(motor)).single; }
    std::uint32_t Word(int motor) const { return motors_.at(Index(motor)).word; }
    // The row of the current step, -1 when none is current.
    int CurrentRow(int motor) const;
    // The current step's time in ms, -1 when no step is current.
    std::int64_t StepDuration(int motor) const;
    const std::vector<StepRecord>& Steps(int motor) const { return motors_.at(Index(motor)).steps; }

private:
    struct Motor {
        std::vector<StepRecord> steps;
        std::size_t position = 0;  // the list's size: no step is current
        std::uint32_t counter = 0;
        bool running = false;
        bool timerWanted = false;
        bool single = false;
        std::uint32_t word = 0;
    };
    static std::size_t Index(int motor) { return motor == 0 ? 0 : 1; }
    std::uint32_t Stored(int index) const;
    std::uint32_t RowFlags(int motor, int row, bool fixed) const;
    void Next(Motor& m) const;
    void AdvanceStep(int motor);
    void ApplyRecord(int motor);
    void Begin(int motor, bool single);
    void End(int motor, bool single);
    IRunTimer& TimerOf(int mask);

    IDataContainer& store_;
    IDualBoard& board_;
    IRunTimer& motor1Timer_;
    IRunTimer& motor2Timer_;
    IRunTimer& bothTimer_;
    ValueTable seconds_{kTransferSeconds};
    std::array<Motor, kMotors> motors_{};
};

}  // namespace pages::dual
