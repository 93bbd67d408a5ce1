// The numeric entry field of a device page.
//
// SetValue shows a stored value in the format its value decoder (hard-coded pages) or
// its XML record (surface page) asks for. Typed text is taken as a new value when the
// user presses Enter, leaves the field, or stops typing for one second, and only when
// the text differs from what the field showed: clicking in and out leaves the value
// alone, and Enter on an unchanged field reports the stored value again without reading
// the text. Until then a refresh (SetValue, Synchronize) leaves a text the user changed
// by any means (typing, Backspace, Delete, a paste) as it is. The taken value is converted back to stored units (rounded half away from
// zero to a whole number, held to 0 .. kLargestValue), shown as SetValue would show it, and
// reported with NotifyParent; the page base then holds it to the range of the slider on
// its word and to what its field's bits hold.
//
// A warning threshold colours the text when the shown value passes it; the page (or
// the base dialog, which does it for every edit) applies it while answering the edit's
// colour query. GUI thread only.
#pragma once

#include <QString>
#include <cstdint>

#include "platform/gui/Colour.h"
#include "platform/gui/Controls.h"
#include "ui/DerivedControl.h"

class CDerivedEdit : public CDerivedControl, public gui::Edit {
public:
    // The window timer that takes typed text after a pause.
    static constexpr int kCommitTimer = 5000;
    static constexpr int kCommitDelayMs = 1000;

    CDerivedEdit(gui::Window* parent, std::uint32_t id);
    ~CDerivedEdit() override;

    // Formats and shows a stored value. 1.
    int SetValue(std::uint32_t value) override;
    // The largest value an edit reports: 0xFFFFFFFF means "no value" to the store.
    static constexpr std::uint32_t kLargestValue = 0xFFFFFFFEu;
    // The value in stored units, rounded half away from zero and held to
    // 0 .. kLargestValue (not a number gives 0).
    std::uint32_t GetValue() const override;
    // Another control: shows its value; null: shows its own again; itself: nothing. 1.
    int Synchronize(CDerivedControl* other) override;

    // A threshold of 0.0 or more switches the warning on; a negative one switches it off.
    int SetWarning(double threshold, gui::ColourRef colour);
    // With the warning on: the warning colour when the shown value is above the
    // threshold, else black. Nothing with the warning off. 1.
    int ApplyWarningColour(gui::ColourQuery& answer) const;

    // The text SetValue made, the value in stored units, and whether the last typed text
    // was hexadecimal.
    const QString& GetFormattedText() const { return text_; }
    double GetCurrentValue() const { return current_; }
    double GetShownValue() const { return shown_; }
    bool IsHexInput() const { return hexInput_; }
    bool IsCommitPending() const { return timerRunning_; }

    // The text SetValue shows for a stored value (no window needed).
    QString Format(std::uint32_t value);

protected:
    bool onKeyDown(const gui::KeyEvent& e) override;
    bool onChar(const gui::KeyEvent& e) override;
    void onAfterKeyDown(const gui::KeyEvent& e) override;
    void onAfterKeyUp(const gui::KeyEvent& e) override;
    void onKillFocus(Qt::FocusReason reason) override;
    void onTimer(int timerId) override;
    bool onNotify(std::uint32_t msg, gui::WParam w, gui::LParam l) override;

private:
    void Take(const char* why, bool enter);
    // Enter re-sends an unchanged field's stored value; focus loss and the pause do not.
    void Commit(bool enter);
    void Typed(const gui::KeyEvent& e);

    QString text_;
    double current_ = 0.0;
    bool hexInput_ = false;
    bool committed_ = false;
    bool timerRunning_ = false;
    bool userChanged_ = false;  // the user changed the text since it was last shown
    double shown_ = 0.0;
    double threshold_ = -1.0;
    gui::ColourRef warningColour_ = 0;
    bool warningOn_ = false;
};
