// The input controls of a device page: push button, check button, radio button, combo
// box and tab control (the slider and the edit have headers of their own).
//
// Each pairs CDerivedControl with the matching window of the layer, keeps its own
// value, handles the mouse itself and reports a user change with NotifyParent
// (ControlChanged to the parent). The page reads the new value with GetValue in its
// OnControlChanged. GUI thread only.
#pragma once

#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>

#include "platform/gui/Controls.h"
#include "ui/DerivedControl.h"

// Push button: notifies when the button is released after a press on it, wherever the
// pointer is then.
class CDerivedButton : public CDerivedControl, public gui::PushButton {
public:
    CDerivedButton(gui::Window* parent, std::uint32_t id);

protected:
    bool onMouseDown(const gui::MouseEvent& e) override;
    bool onMouseUp(const gui::MouseEvent& e) override;

private:
    bool pressed_ = false;
};

// Check button drawn as a push button: a release inside it toggles it, shows the
// caption of the new state and notifies. It never toggles by itself otherwise.
class CDerivedCheckButton : public CDerivedControl, public gui::CheckButton {
public:
    CDerivedCheckButton(gui::Window* parent, std::uint32_t id);

    // Shows the state: 0 off, anything else on. Returns the check mark's answer (0), as
    // the system's button does.
    int SetValue(std::uint32_t value) override;
    std::uint32_t GetValue() const override { return checked_; }
    int Synchronize(CDerivedControl* other) override;
    // Off caption = description item 0, on caption = item 1; shows the caption of the
    // present state. 0 without a record.
    int LoadFromElement() override;

    // Shown with the next SetValue or click. 1.
    int SetCaptions(const QString& onText, const QString& offText);

protected:
    bool onMouseUp(const gui::MouseEvent& e) override;

private:
    int Show();

    std::uint32_t checked_ = 0;
    QString onCaption_;
    QString offCaption_;
};

// Radio button with a value of its own: the record's `fixed_value`, else the window id
// (low 16 bits) modulo 100. A click checks it and notifies; SetValue checks it only when
// the value given is its own. Radio buttons are not exclusive by themselves: the page
// synchronises the buttons that share a data word.
class CDerivedRadioButton : public CDerivedControl, public gui::RadioButton {
public:
    CDerivedRadioButton(gui::Window* parent, std::uint32_t id);

    int SetValue(std::uint32_t value) override;
    std::uint32_t GetValue() const override;
    // Another control: shows its value. Null: shows again the value last given to
    // SetValue (the group's stored value), so a restore ticks only the button whose
    // value is stored; nothing when none was given yet. Itself: nothing (0).
    int Synchronize(CDerivedControl* other) override;
    // Caption = description item 0. 0 without a record.
    int LoadFromElement() override;

    // Stores the caption and shows it at once when the window exists. 1.
    int SetCaption(const QString& text);

protected:
    bool onMouseUp(const gui::MouseEvent& e) override;

private:
    QString caption_;
    std::optional<std::uint32_t> lastGiven_;
};

// Drop-down list. Its value is the selected index, except in the numeric form (a record
// whose `algorithm_s` has tokens and whose first `algorithm_r` token holds "%tp"): its
// items are numbers, and the value is the selected item's number.
class CDerivedComboBox : public CDerivedControl, public gui::ComboBox {
public:
    CDerivedComboBox(gui::Window* parent, std::uint32_t id);

    // Selects item v; in the numeric form the item whose number is v (no selection when
    // no item has it). 1.
    int SetValue(std::uint32_t value) override;
    // The selected index; in the numeric form the selected item's number (0 with no
    // selection or a text that is not a number).
    std::uint32_t GetValue() const override;
    int Synchronize(CDerivedControl* other) override;
    // Adds the record's description items and selects item 0. 0 without window or record.
    int LoadFromElement() override;
    // Empties the list, refills it and selects the value it had again. 1.
    int ReloadFromElement() override;

    bool IsNumeric() const;

protected:
    bool onNotify(std::uint32_t msg, gui::WParam w, gui::LParam l) override;

private:
    // The number an item's text stands for (decimal; saturated to 32 bits).
    static std::int64_t ItemNumber(const QString& text);

    std::uint32_t selected_ = 0;
};

// Tab control: a press on a tab selects it and notifies before the tab control's own
// selection follows. A press beside the tabs does nothing.
class CDerivedTab : public CDerivedControl, public gui::TabControl {
public:
    CDerivedTab(gui::Window* parent, std::uint32_t id);

    int SetValue(std::uint32_t value) override;
    std::uint32_t GetValue() const override { return selected_; }
    int Synchronize(CDerivedControl* other) override;
    int LoadFromElement() override { return 1; }

protected:
    bool onMouseDown(const gui::MouseEvent& e) override;

private:
    std::uint32_t selected_ = 0;
};
