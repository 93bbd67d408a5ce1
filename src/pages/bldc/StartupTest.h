// The BLDC start-up test's worker: it starts the motor a given number of times and
// measures how long each start takes to pass the target speed (the arrival time).
//
// Owns its worker thread (through a thread carrier); borrows the board link, which it
// drives directly (each link operation takes the link's lock, the select frame too).
// Start, Abort and OnEnded are GUI-thread calls; the worker posts to the dialog:
//   kMsgTrialResult, w = run << 32 | trial index (from 0), l = arrival time in ms
//                    (0: the target was not passed in time);
//   kMsgTrialResult, w = run << 32 | kEndIndex, l = 0 when the test is over.
// DecodeTrialPost takes a post apart; the dialog drops posts of an earlier run.
//
// Nothing waits forever: every loop of the worker checks the running flag and a
// time-out, so Abort (and the destructor) end a run within a few milliseconds, even
// while the board does not answer or keeps reporting a bad status. A trial cut short by
// Abort posts nothing; a trial whose motor never passes the target within the time-out
// posts 0 (an error), whether or not a reading was ever accepted.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "pages/bldc/BldcChanges.h"
#include "platform/core/Handles.h"

class CRG1Micon;
class CThreadCarrier;
namespace platform {
class NamedMutex;
}

namespace bldc {

inline constexpr std::uint32_t kMsgTrialResult = 0x8300;
inline constexpr std::uint32_t kEndIndex = 0xFFFFFFFFu;
inline constexpr const char* kTestModeMutexName = "BLDC_TESTMODE";
// The S/S pin that starts and stops the motor.
inline constexpr int kStartStopPort = 21;
// The motor is given this long after the start before the speed is read.
inline constexpr std::uint32_t kStartDelayMs = 100;
// Readings 1 to 100 are noise and never accepted; a motor is found turning when a
// reading moves more than this from 0.
inline constexpr std::uint32_t kNoiseCount = 100;
inline constexpr double kTurningStep = 200.0;

// Everything a run needs, taken on the GUI thread at Test Start (so the worker reads no
// control and no data word): the targets are the values the sliders show.
struct StartupTestParams {
    std::uint32_t trials = 10;
    std::uint32_t timeoutMs = 10000;
    std::uint32_t offTimeMs = 1000;
    std::uint32_t targetRpm = 1000;  // the target when polePairs is not 0
    std::uint32_t targetFg = 10;     // Hz; the target when polePairs is 0
    int startStopType = 0;           // 0: low level turns the motor, 1: high level
    TestPwm pwm;                     // PWMIN channel, frequency, drive and idle duty
    int measureSetting = 39;         // the count unit is (setting + 1) / 4 µs
    std::uint32_t polePairs = 0;     // data word 18
    std::uint32_t fgPulses = 1;      // profile[16] & 15
};

// The targets as the sliders show them (Test Start takes these, not a value kept from an
// earlier change): with a pole count the Target RPM slider's position × 100 and the FG
// frequency that follows, else the Target FG slider's position × 10 and the rpm that
// follows.
struct Targets {
    std::uint32_t rpm = 0;
    std::uint32_t fg = 0;
};
Targets TargetsFromSliders(std::uint32_t rpmPosition, std::uint32_t fgPosition, std::uint32_t polePairs,
                           std::uint32_t fgPulses);

// Which parameter controls of the dialog (kinds 0-10) are enabled: the set-up while idle
// (Target RPM only with a pole count, Target FG only without), the bin width always,
// Abort only while running.
bool TestControlEnabled(int kind, bool running, std::uint32_t polePairs);

struct TrialPost {
    std::uint32_t run = 0;
    bool end = false;
    std::uint32_t index = 0;
    std::uint32_t ms = 0;
};
TrialPost DecodeTrialPost(std::uintptr_t w, std::intptr_t l);

class CBldcStartupTest {
public:
    explicit CBldcStartupTest(CRG1Micon* link);
    ~CBldcStartupTest();  // aborts a run and joins the worker

    CBldcStartupTest(const CBldcStartupTest&) = delete;
    CBldcStartupTest& operator=(const CBldcStartupTest&) = delete;

    // Starts a run that posts to `dialog`. False (nothing started) while a run is going,
    // without a link, or when the thread cannot be made.
    bool Start(platform::Handle dialog, const StartupTestParams& params);
    // Clears the running flag under "BLDC_TESTMODE" and joins the worker.
    void Abort();
    // The end post arrived: the run is over (joins the finished worker).
    void OnEnded();

    bool IsRunning() const { return running_.load() != 0; }
    // The number of the latest run (1 for the first); posts carry it.
    std::uint32_t RunNumber() const { return run_.load(); }

private:
    std::uint32_t Main();
    bool Running();          // the flag, read under the mutex (before each trial)
    void RunTrial(std::uint32_t index);
    void SetPwmOutput(int duty);
    // Drives the S/S pin until the board reads the wanted level back; gives up when the
    // run is aborted or after the trial's time-out.
    void WriteStartStopPin(bool on);
    // False when the run was aborted during the wait.
    bool WaitOffTime(std::uint32_t ms);
    // The FG period count, read until the board reports a good status; nothing when the
    // run was aborted or the deadline (a clock time in ms) passed first.
    std::optional<std::uint32_t> ReadSpeedCount(std::uint32_t deadline);
    // The clock time the target was passed, 0 when it was not within the time-out or
    // the run was aborted.
    std::uint32_t MeasureArrival(std::uint32_t t0);
    void Post(std::uint32_t index, std::uint32_t ms);

    CRG1Micon* link_;
    std::shared_ptr<platform::NamedMutex> mutex_;
    std::unique_ptr<CThreadCarrier> carrier_;
    std::atomic<int> running_{0};
    std::atomic<std::uint32_t> run_{0};
    // Written on the GUI thread before the worker starts, read only by the worker.
    StartupTestParams params_;
    platform::Handle dialog_ = 0;
};

}  // namespace bldc
