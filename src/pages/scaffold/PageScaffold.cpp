// The shared control factory and change prologue of the hard-coded pages.
#include "pages/scaffold/PageScaffold.h"

#include "tasks/GuiCommand.h"
#include "ui/DerivedControl.h"

namespace pages {

CDerivedControl* CreatePageControl(CDerivedDialog& page, const ControlPlacement& placement,
                                   std::unique_ptr<CDerivedControl> control,
                                   const std::function<void(CDerivedControl&)>& decorate) {
    const std::uint32_t kind = placement.key >> 16;
    const std::uint16_t word = page.GetProfileWord(static_cast<int>(kind));
    if (word == 0 || control == nullptr) return nullptr;
    if (placement.bound) {
        control->SetRegister(static_cast<std::int32_t>(kind), word);
        if (placement.bitCount != 0)
            control->SetBitField(static_cast<std::uint32_t>(placement.lowestBit),
                                 static_cast<std::uint32_t>(placement.bitCount));
    }
    QRect rect = placement.rect;
    if (!control->CreateControlWindow(rect.topLeft(), rect.width(), rect.height())) return nullptr;
    control->SetFont(page.GetPageFont());
    if (decorate) decorate(*control);
    // A zero size takes the control's own size after its caption was set.
    if (rect.width() * rect.height() == 0) rect.setSize(control->clientRect().size());
    control->moveWindow(rect);
    CDerivedControl* added = page.AddControl(placement.key, std::move(control));
    if (added == nullptr) return nullptr;
    ApplyProfileBits(page, *added, placement.key, DecodeProfile(word));
    return added;
}

void ApplyProfileBits(CDerivedDialog& page, CDerivedControl& control, std::uint32_t key, const ProfileBits& bits) {
    const std::uint32_t kind = key >> 16;
    if (bits.showStoredValue) page.Restore(kind, key & 0xFFFFu);
    if (bits.disabled) control.setEnabled(false);
    control.show(!bits.hidden);
}

ChangePrologue::ChangePrologue(CDerivedDialog& page, std::int32_t kind, CDerivedControl& control) : page_(page) {
    value_ = control.GetValue();
    if (kind < 0 || kind >= CDerivedControl::kWordCount) return;
    command_ = page.CreateCommand(static_cast<std::uint32_t>(kind));
    if (command_ == nullptr) return;
    command_->SetRegister(page.GetDataContainer(), static_cast<std::uint32_t>(kind), value_);
    if (control.GetBitCount() != 0) command_->SetBitField(control.GetBitPosition(), control.GetBitCount());
    page.ExecuteCommand(page.GetTaskQueue(), command_);
}

ChangePrologue::~ChangePrologue() {
    if (command_ != nullptr) page_.DeleteCommand(command_);
}

}  // namespace pages
