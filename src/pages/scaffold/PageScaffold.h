// The page-side pieces every hard-coded page shares: the control factory that creates a
// control only when its kind's profile word is non-zero and applies the profile bits, and
// the change prologue that stores a changed value through a GUI command before the page
// reacts.
//
// The page owns every control (the base dialog's control map); these functions only
// create, place and register them. GUI thread only.
#pragma once

#include <QRect>
#include <cstdint>
#include <functional>
#include <memory>

#include "pages/scaffold/ProfileBits.h"
#include "ui/DerivedDialog.h"

class CDerivedControl;
class CSingleCommand;

namespace pages {

// What the factory needs besides the control's class.
struct ControlPlacement {
    std::uint32_t key = 0;            // kind << 16 | index
    gui::Window* parent = nullptr;    // the page, or a panel of it
    QRect rect;                       // a width x height of 0 takes the control's size after decoration
    int lowestBit = 0, bitCount = 0;  // bit field of the data word (count 0: the whole word)
    bool bound = true;                // labels and frames are bound to no word
};

// Creates the control of `placement.key` when its kind's profile word is non-zero, in this
// order: the object with id key + 3000, its binding, its window with the page's font, the
// decorator, the move to its place, the entry in the page's control map, and the profile
// bits (show the stored value, disabled, hidden). Null when the word is 0 or the window
// cannot be made (nothing is left behind then).
CDerivedControl* CreatePageControl(CDerivedDialog& page, const ControlPlacement& placement,
                                   std::unique_ptr<CDerivedControl> control,
                                   const std::function<void(CDerivedControl&)>& decorate);

template <class T>
T* ConcreteCtrl(CDerivedDialog& page, const ControlPlacement& placement, const std::function<void(T&)>& decorate) {
    const std::uint32_t kind = placement.key >> 16;
    if (page.GetProfileWord(static_cast<int>(kind)) == 0) return nullptr;
    auto control = std::make_unique<T>(placement.parent, placement.key + 3000);
    T* typed = control.get();
    CDerivedControl* made = CreatePageControl(page, placement, std::move(control), [&](CDerivedControl&) {
        if (decorate) decorate(*typed);
    });
    return made != nullptr ? typed : nullptr;
}

// Applies what the profile word says right after a control was created: the stored value
// shown at once, disabled, hidden.
void ApplyProfileBits(CDerivedDialog& page, CDerivedControl& control, std::uint32_t key, const ProfileBits& bits);

// Stores a changed control's value into its data word (or bit field) through a GUI
// command, so the page's reaction finds the new value in the store; the command is deleted
// when the prologue goes out of scope, after the reaction.
class ChangePrologue {
public:
    ChangePrologue(CDerivedDialog& page, std::int32_t kind, CDerivedControl& control);
    ~ChangePrologue();
    ChangePrologue(const ChangePrologue&) = delete;
    ChangePrologue& operator=(const ChangePrologue&) = delete;

    // The control's value as stored.
    std::uint32_t Value() const { return value_; }

private:
    CDerivedDialog& page_;
    CSingleCommand* command_ = nullptr;
    std::uint32_t value_ = 0;
};

// A page's answer to a change its control reported: the value stored (ChangePrologue),
// then `(page.*react)(kind, value, control)`, the command deleted after the reaction.
// Nothing without a control. 1.
template <class Page>
int StoreThenReact(Page& page, std::int32_t kind, CDerivedControl* control,
                   void (Page::*react)(int, std::uint32_t, CDerivedControl*)) {
    if (control == nullptr) return 1;
    const ChangePrologue prologue(page, kind, *control);
    (page.*react)(kind, prologue.Value(), control);
    return 1;
}

}  // namespace pages
