// A small modeless window beside a device page that hosts some of the page's controls
// (a surface's "floating" controls block). Its controls report their changes to it
// with ControlChanged, and it hands each one on to its owning page, so to the page a
// control here behaves like one on the page itself. GUI thread only.
#pragma once

#include "platform/gui/Dialog.h"

class CDerivedDialog;

class CFloatDialog : public gui::Dialog {
public:
    // The empty template: caption "Dialog", 223 by 119 dialog units.
    static gui::DialogTemplate FloatTemplate();

    CFloatDialog();
    ~CFloatDialog() override;

    // The page the changes go to (borrowed). True when a page was given.
    bool SetOwner(CDerivedDialog* page);
    CDerivedDialog* GetOwner() const { return owner_; }

    bool onInitDialog() override { return gui::Dialog::onInitDialog(); }
    // ControlChanged goes to the owning page and its answer is returned (0, with a debug
    // line, when there is no page); everything else gets the dialog's processing.
    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;

protected:
    // The page answers its controls' colour queries here too.
    bool onColourQuery(gui::Window& control, gui::ColourKind kind, gui::ColourQuery& answer) override;

private:
    CDerivedDialog* owner_ = nullptr;
};
