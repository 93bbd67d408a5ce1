// For the test build of the program: every message box is written to the debug output
// and answered at once (OK, No, Cancel or Abort: never a save or a retry), so the program
// runs headless without waiting for a user.
#pragma once

#include "platform/core/Debug.h"
#include "platform/gui/CommonDialogs.h"

class TestInstanceBoxes final : public gui::IMessageBoxProvider {
public:
    TestInstanceBoxes() { gui::setMessageBoxProvider(this); }
    ~TestInstanceBoxes() override { gui::setMessageBoxProvider(nullptr); }
    TestInstanceBoxes(const TestInstanceBoxes&) = delete;
    TestInstanceBoxes& operator=(const TestInstanceBoxes&) = delete;

    int show(const gui::MessageBoxRequest& r) override {
        platform::debugOutf("MessageBox [%s] %s\n", r.caption.toUtf8().constData(), r.text.toUtf8().constData());
        switch (r.buttons) {
            case gui::MessageButtons::YesNo:
            case gui::MessageButtons::YesNoCancel: return gui::id::No;
            case gui::MessageButtons::RetryCancel: return gui::id::Cancel;
            case gui::MessageButtons::AbortRetryIgnore: return gui::id::Abort;
            default: return gui::id::Ok;
        }
    }
};
