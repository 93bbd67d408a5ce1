// The stepper page's timed runs: the clock-in run with its clock ramp, and the
// parallel-input step run (the page's step rows or a demo sequence).
//
// A state machine with no window of its own. The page owns one, lends it the data store
// (selected on the page's device), its board requests (`IPageBoard`), its run timer
// (`IRunTimer`, one-shot, 0x80C9) and a view (`IStepperRunView`); time comes from the
// process clock (platform::currentClock), so tests drive it with a ManualClock. Every call
// comes on the GUI thread: the page calls `OnRunTimer` for each run-timer tick, `StartRun`
// and the other entry points from its control handlers. Nothing here blocks or sleeps.
//
// Rules it keeps:
// - A clock record is staged, not sent, when neither its frequency, its duty nor the
//   excitation and direction on the wire changed; every other clock change is sent, and a
//   start or a clock on always sends (the board may have been set up again since).
// - "Update" and a stop compare with, and ramp from, the top the run last reached, never
//   with the controls, which the user may have moved since.
// - A step list is played row by row: each in-use step for its duration. "Auto" ends after
//   the last step (in "Fixed", after row 0 once); "Stop Button" repeats from the first step
//   with repeat on, and otherwise holds the last step until "Stop". Nothing is read past
//   the end of a list; a list without a step does not start.
// - A step lasts at least 1 ms; a step whose frequency has no table entry is skipped
//   without sending a 0 Hz phase record.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "board/Records.h"
#include "pages/scaffold/PageBoard.h"
#include "pages/stepper/StepperTables.h"
#include "parsers/StepRecord.h"

class IDataContainer;

namespace pages::stepper {

using pages::StepRecord;  // the rows and demo lines the run steps through
using pages::StepSource;
namespace stepbits = pages::stepbits;

// Data words of the page the runs read or write.
namespace word {
inline constexpr int kChipEnable = 0, kInputType = 1, kTestMode = 3, kRef = 4, kAttenuate = 6;
inline constexpr int kStartClock = 9, kTopClock = 10, kStartTopTime = 11, kExcitation = 12, kDirection = 13;
inline constexpr int kDriveMargin = 14, kBoostUp = 15, kHighEfficient = 16, kReset = 17, kOutputEnable = 18;
inline constexpr int kOverCurrent = 19, kStartStop = 20, kClock = 21, kReTopTime = 22;
inline constexpr int kTransferUnit = 24, kTransferTime = 25, kCount = 26, kStopSignal = 27, kRepeat = 29;
inline constexpr int kFirstRow = 31, kDemo = 41;
inline constexpr int kRowCount = 8;
}  // namespace word

// The clock-in mode word: what a clock-in run uses (start and top clock index, ramp-time
// index, excitation, direction).
struct ClockInWord {
    static std::uint32_t Pack(std::uint32_t start, std::uint32_t top, std::uint32_t ramp, std::uint32_t excitation,
                              std::uint32_t direction);
    static std::uint32_t Start(std::uint32_t w) { return w >> 26; }
    static std::uint32_t Top(std::uint32_t w) { return (w >> 20) & 0x3Fu; }
    static std::uint32_t Ramp(std::uint32_t w) { return (w >> 15) & 0x1Fu; }
    static std::uint32_t Excitation(std::uint32_t w) { return (w >> 13) & 3u; }
    static std::uint32_t Direction(std::uint32_t w) { return (w >> 12) & 1u; }
};

// What the runs ask of the page's controls.
class IStepperRunView {
public:
    virtual ~IStepperRunView() = default;
    // The clock-in state changed: show `ClockStopped()` on the "Clock" check and apply
    // `ClockButtons()`.
    virtual void RefreshClockButtons() = 0;
    // Frame the active row (`ActiveRow()` modulo 8, none for -1); show the row controls
    // when `show`.
    virtual void ShowStepRows(bool show) = 0;
    // Show these flags in the eight step rows: a demo's next steps (the user's row words
    // stay in the store meanwhile), or the row words again once it ends.
    virtual void ShowRows(const std::array<std::uint32_t, 8>& flags) = 0;
    // A demo step wrote words 0, 4 and 6: show them.
    virtual void DemoValuesChanged() = 0;
};

enum class StartMode { Stop = 0, Start = 1, ClockOnOff = 2, Update = 3 };

class StepperRun {
public:
    // `deviceKey` chooses the clock channel and pin routes. Everything is borrowed and
    // must outlive the run.
    StepperRun(std::int32_t deviceKey, IDataContainer& store, IPageBoard& board, IRunTimer& timer,
               IStepperRunView& view);

    // Presets the nine channel records by device (the page does it once at start).
    void PresetChannelRecords();
    PwmChannelRecord& ChannelRecord(int index) { return records_.at(static_cast<std::size_t>(index)); }

    // The page's run-timer tick: the clock ramp in clock-in mode, the next step otherwise.
    int OnRunTimer();

    // Forgets any run without a frame: timer off, runs and demo finished, the "Start/Stop",
    // "Clock" and demo words back to 0. For a page that opens, restores its settings or
    // switches the input type.
    void ResetToIdle();
    // Ends whatever runs at once, for a page that closes: the clock off without a ramp,
    // the phase channels at rest; then as ResetToIdle. Chip and output enable stay.
    void Halt();

    // ---- clock-in ----
    // Stop (ramp down to the start clock, then the clock off), start, clock on/off
    // (`argument` = clock stopped), update to the new top. `argument` 1 skips the pins.
    void StartRun(StartMode mode, int argument);
    int ClockRampTick();
    // The smooth ramp from `start` to `top` over `rampMs` at `t` ms, moving in jumps of at
    // least 390 pps once above 10 pps.
    double RampCurve(int start, int top, std::uint32_t rampMs, std::uint64_t t);
    int ApplyClock(int start, int top, std::uint32_t rampMs, std::uint64_t t);
    // Sends 100 Hz at 100 % duty on the clock channel; false for a device without one.
    bool ClockOff();
    // The clock-in settings the run last reached at its top (top, excitation, direction).
    std::uint32_t SettingsWord() const { return settingsWord_; }
    std::uint32_t RunningWord() const { return runningWord_; }
    struct ClockButtonState {
        bool clockEnabled = false;   // "Clock": at the top, running, nothing changed
        bool updateEnabled = false;  // "Update": at the top, running, something changed
    };
    ClockButtonState ClockButtons();

    // ---- parallel input ----
    // Refreshes the eight row steps from words 31-38 and the transfer settings.
    void BuildRowSteps();
    // "Start" (true) plays the rows; "Stop" (false) stops and rests the phase channels.
    // Starting an empty list returns false and sends nothing.
    bool StopRun(bool on);
    // Starts a demo over `steps` (shown in the rows, the row words left alone), or ends
    // it. False when the list holds no step.
    bool RunDemo(bool on, StepSource source, std::vector<StepRecord> steps);
    int AdvanceSequence();
    // Sets phase records 3 and 4 from a step and sends them; the step frequency (0 when
    // its index has no table entry; nothing is sent then).
    int ApplyStepRecord(const StepRecord& record);
    // How long a step runs, in ms (at least 1).
    std::uint32_t StepRunTime(const StepRecord& record, int frequency) const;

    // ---- state the page shows ----
    int CurrentFrequency() const { return current_; }
    bool ClockStopped() const { return clockStopped_; }
    bool TopReached() const { return topReached_; }
    bool RampFinished() const { return rampFinished_; }
    bool SequenceFinished() const { return sequenceFinished_; }
    int ActiveRow() const { return activeRow_; }
    void SetActiveRow(int row) { activeRow_ = row; }
    StepSource Source() const { return source_; }
    bool DemoRunning() const { return source_ != StepSource::Rows; }
    std::span<const StepRecord> RowSteps() const { return rows_; }
    const StepperTables& Tables() const { return tables_; }

private:
    std::uint32_t Word(int index) const;
    bool DualClockRecords() const;   // clock on channel 7 with a channel-6 companion
    bool SingleClockRecord() const;  // clock on channel 8
    PwmChannelRecord* ClockRecord(int* channel);
    void ApplyClockInPins();
    void SetClockRecord(PwmChannelRecord& record, double f);

    const std::vector<StepRecord>& List() const;
    // The next step to play, or none when the run has ended.
    const StepRecord* NextStep(bool* last);
    void SetSequencePins(const StepRecord& record, bool last, bool first);
    void ApplyDemoStep(const StepRecord& record);
    void ShowRowSteps();
    void EndSequence();

    std::int32_t key_;
    IDataContainer& store_;
    IPageBoard& board_;
    IRunTimer& timer_;
    IStepperRunView& view_;
    StepperTables tables_;
    std::array<PwmChannelRecord, 9> records_{};

    // clock-in
    int start_ = 0, top_ = 0;
    std::uint32_t rampMs_ = 0;
    int current_ = 0;
    double held_ = 0;
    std::uint64_t rampStart_ = 0;
    bool accelerating_ = false, rampFinished_ = true, topReached_ = false, immediate_ = false;
    bool clockStopped_ = false, changed_ = false;
    std::uint32_t settingsWord_ = 0, runningWord_ = 0;
    std::uint32_t wirePins_ = 0;  // excitation and direction of the last clock frame sent
    bool mustSend_ = false;       // the next clock frame goes out whatever it holds

    // parallel input
    std::vector<StepRecord> rows_;
    std::vector<StepRecord> demo_;
    StepSource source_ = StepSource::Rows;
    std::size_t position_ = 0;  // index of the next step to play
    std::size_t lastPlayed_ = 0;
    bool havePlayed_ = false;
    int activeRow_ = -1;
    bool sequenceFinished_ = true;
    bool parallelRunning_ = true;
    bool firstStepDone_ = false;
    bool ending_ = false;  // the last step is playing: the next tick ends the run
};

}  // namespace pages::stepper
