// SIGTERM, SIGINT and SIGHUP turned into a call on the GUI thread, so the program can
// end as a close does instead of dying where it stands.
//
// The handler only writes the signal number into a pipe (all a signal handler may
// safely do); a socket notifier on the pipe's other end runs `onSignal` from the event
// loop. Only one object may be installed at a time; the previous handlers come back
// when it goes.
#pragma once

#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

class CEndSignals {
public:
    explicit CEndSignals(std::function<void(int signal)> onSignal);
    ~CEndSignals();
    CEndSignals(const CEndSignals&) = delete;
    CEndSignals& operator=(const CEndSignals&) = delete;

    // False when the pipe or a handler could not be set up (the signals then keep
    // their previous meaning).
    bool installed() const { return installed_; }

private:
    void Drain();

    std::function<void(int)> onSignal_;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previous_[3] = {};
    bool installed_ = false;
};
