#include "ui/FloatDialog.h"

#include "platform/core/Debug.h"
#include "ui/DerivedDialog.h"

gui::DialogTemplate CFloatDialog::FloatTemplate() {
    gui::DialogTemplate t;
    t.caption = QStringLiteral("Dialog");
    t.size = QSize(223, 119);
    t.fontFace = QStringLiteral("MS Shell Dlg");
    t.pointSize = 8;
    t.style = gui::dialogStyle::Caption | gui::dialogStyle::SystemMenu;
    return t;
}

CFloatDialog::CFloatDialog() : gui::Dialog(FloatTemplate()) {}

CFloatDialog::~CFloatDialog() {
    if (exists()) destroy();
}

bool CFloatDialog::SetOwner(CDerivedDialog* page) {
    owner_ = page;
    return page != nullptr;
}

gui::LResult CFloatDialog::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    if (msg == gui::msg::ControlChanged) {
        if (owner_ == nullptr || !owner_->exists()) {
            platform::debugOut("CFloatDialog: a change report with no page to hand it to\n");
            return 0;
        }
        // Through the page's own message, which checks that the control is one of its.
        return gui::send(owner_->handle(), msg, w, l);
    }
    return gui::Dialog::windowProc(msg, w, l);
}

bool CFloatDialog::onColourQuery(gui::Window& control, gui::ColourKind kind, gui::ColourQuery& answer) {
    return owner_ != nullptr && owner_->AnswerControlColour(control, kind, answer);
}
