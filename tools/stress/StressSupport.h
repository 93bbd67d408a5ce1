// What the soak and the shutdown stress share: the program's own application object run
// in-process against the board simulator, every box answered, the program's loop turned
// while waiting, and pages opened and changed the way the main window and a control do.
// GUI thread only; a gui::Application must exist.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/QuillfenApp.h"
#include "platform/gui/CommonDialogs.h"

class CDerivedDialog;
class CQuillfenDlg;

namespace stress {

using Clock = std::chrono::steady_clock;

// Answers every message box the way a cautious user does (No where there is a No, else
// Cancel where there is one, else OK) and cancels every file dialog; counts the boxes by
// caption. Installed while it lives; afterwards no provider is installed.
class AnswerEverything final : public gui::IMessageBoxProvider, public gui::IFileDialogProvider {
public:
    AnswerEverything();
    ~AnswerEverything() override;
    AnswerEverything(const AnswerEverything&) = delete;
    AnswerEverything& operator=(const AnswerEverything&) = delete;

    int show(const gui::MessageBoxRequest& request) override;
    QString choose(const gui::FileDialogRequest& request) override;

    int Boxes() const;
    const std::map<std::string, int>& Captions() const { return captions_; }

private:
    std::map<std::string, int> captions_;
};

// Turns the program's loop until `done` holds or `limit` has passed; whether it holds.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

// Chooses the model of this name (its motor type first) and presses OK: the page, shown,
// or null.
CDerivedDialog* OpenModel(CQuillfenDlg& window, const std::string& name);
std::string ModelName(std::uint32_t deviceKey);

// A change as a control reports it: the value shown, then the page told. False when the
// page has no such control.
bool Change(CDerivedDialog& page, std::uint32_t kind, std::uint32_t index, std::uint32_t value);

// Asks the main window to exit as its menu does (the save question goes to the boxes).
void Exit(CQuillfenDlg& window);

// Whether the board is left driving a motor: the BLDC start pin (port 21) held at its run
// level, or the last second-controller channel frame in `frames` leaving the stepper
// clock channel pulsing (its compare neither 0 nor the period).
bool MotorDriven(bool port21Output, bool port21Level, const std::vector<std::vector<std::uint8_t>>& frames);

// Milliseconds between two points, as a double.
double Ms(Clock::duration d);

}  // namespace stress
