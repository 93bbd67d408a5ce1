#include "platform/gui/Internal.h"

namespace gui::detail {

ModalFocus::ModalFocus(QWidget* ownerTopLevel) : owner_(ownerTopLevel) {
    if (ownerTopLevel != nullptr) ownerFocus_ = ownerTopLevel->focusWidget();
}

void ModalFocus::take(QWidget* dialogTopLevel) {
    if (dialogTopLevel == nullptr) return;
    if (dialogTopLevel->focusWidget() == nullptr) {
        for (QWidget* w = dialogTopLevel->nextInFocusChain(); w != nullptr && w != dialogTopLevel;
             w = w->nextInFocusChain()) {
            if (w->window() == dialogTopLevel && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(dialogTopLevel) &&
                w->isEnabled()) {
                w->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    bringForward(dialogTopLevel, true);
    dialogTopLevel->activateWindow();
}

void ModalFocus::giveBack() {
    QWidget* owner = owner_.data();
    owner_ = nullptr;
    if (owner == nullptr || !owner->isVisible()) return;
    owner->activateWindow();
    if (ownerFocus_ != nullptr && ownerFocus_->window() == owner) ownerFocus_->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace gui::detail
