#include "ui/InputControls.h"

#include <algorithm>
#include <climits>

#include "data/NumberText.h"
#include "surface/XmlControlConainer.h"

namespace {

QString Description(const CXmlControlConainer& record, int index)
{
    const std::string* text = record.GetDescription(index);
    return text != nullptr ? QString::fromStdString(*text) : QString();
}

// Radio buttons on the hard-coded pages have ids key + 3000, so this is the control's
// index modulo 100.
std::uint32_t OwnValueOfId(std::uint32_t id) { return (id & 0xFFFFu) % 100u; }

}  // namespace

// ---- push button ----------------------------------------------------------------------

CDerivedButton::CDerivedButton(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindButton);
    SetWindowClass("BUTTON");
    SetCreateStyle(0);
}

bool CDerivedButton::onMouseDown(const gui::MouseEvent& e)
{
    if (e.button == Qt::LeftButton) pressed_ = true;
    return false;
}

bool CDerivedButton::onMouseUp(const gui::MouseEvent& e)
{
    if (e.button == Qt::LeftButton && pressed_) {
        pressed_ = false;
        Trace("CDerivedButton: Button click hooked\n");
        NotifyParent();
    }
    return false;
}

// ---- check button ---------------------------------------------------------------------

CDerivedCheckButton::CDerivedCheckButton(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindCheckButton);
    SetWindowClass("BUTTON");
    SetCreateStyle(gui::style::PushLike);
}

int CDerivedCheckButton::Show()
{
    Trace("CDerivedButton: Check-button click hooked\n");
    setText(checked_ != 0 ? onCaption_ : offCaption_);
    setCheck(checked_ != 0 ? 1 : 0);
    return 0;
}

int CDerivedCheckButton::SetValue(std::uint32_t value)
{
    checked_ = value;
    if (!exists()) return 0;
    return Show();
}

int CDerivedCheckButton::Synchronize(CDerivedControl* other)
{
    if (other == this) return 0;
    SetValue(other != nullptr ? other->GetValue() : GetValue());
    return 1;
}

int CDerivedCheckButton::LoadFromElement()
{
    const CXmlControlConainer* record = GetElement();
    if (record == nullptr) return 0;
    offCaption_ = Description(*record, 0);
    onCaption_ = Description(*record, 1);
    if (exists()) setText(checked_ != 0 ? onCaption_ : offCaption_);
    return 1;
}

int CDerivedCheckButton::SetCaptions(const QString& onText, const QString& offText)
{
    onCaption_ = onText;
    offCaption_ = offText;
    return 1;
}

bool CDerivedCheckButton::onMouseUp(const gui::MouseEvent& e)
{
    if (e.button != Qt::LeftButton) return false;
    // The present client area (the page may have resized the button since it was made).
    if (clientRect().contains(e.pos)) {
        checked_ = checked_ == 0 ? 1 : 0;
        Show();
        NotifyParent();
    }
    return false;
}

// ---- radio button ---------------------------------------------------------------------

CDerivedRadioButton::CDerivedRadioButton(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindRadioButton);
    SetWindowClass("BUTTON");
    SetCreateStyle(0);
}

std::uint32_t CDerivedRadioButton::GetValue() const
{
    const CXmlControlConainer* record = GetElement();
    if (record != nullptr) return static_cast<std::uint32_t>(record->GetFixedValue());
    return OwnValueOfId(GetWindowId());
}

int CDerivedRadioButton::SetValue(std::uint32_t value)
{
    lastGiven_ = value;
    if (exists()) setCheck(value == GetValue() ? 1 : 0);
    return 1;
}

int CDerivedRadioButton::Synchronize(CDerivedControl* other)
{
    if (other == this) return 0;
    if (other != nullptr) {
        SetValue(other->GetValue());
    } else if (lastGiven_) {
        SetValue(*lastGiven_);
    }
    return 1;
}

int CDerivedRadioButton::LoadFromElement()
{
    const CXmlControlConainer* record = GetElement();
    if (record == nullptr) return 0;
    caption_ = Description(*record, 0);
    if (exists()) setText(caption_);
    return 1;
}

int CDerivedRadioButton::SetCaption(const QString& text)
{
    caption_ = text;
    if (exists()) setText(caption_);
    return 1;
}

bool CDerivedRadioButton::onMouseUp(const gui::MouseEvent& e)
{
    if (e.button != Qt::LeftButton) return false;
    if (clientRect().contains(e.pos)) {
        SetValue(GetValue());
        NotifyParent();
    }
    return true;  // the button's own click processing does not run
}

// ---- combo box ------------------------------------------------------------------------

CDerivedComboBox::CDerivedComboBox(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindComboBox);
    SetWindowClass("COMBOBOX");
    SetCreateStyle(0);
}

bool CDerivedComboBox::IsNumeric() const
{
    const CXmlControlConainer* record = GetElement();
    if (record == nullptr || record->GetFormulaTokenCount(1) == 0) return false;
    // Without a receive token the items are not numbers.
    const std::string* first = record->GetFormulaToken(0, 0);
    return first != nullptr && first->find("%tp") != std::string::npos;
}

std::int64_t CDerivedComboBox::ItemNumber(const QString& text)
{
    // The system's buffer holds 15 characters.
    const std::int64_t n = numtext::ParseLeadingInteger(text.left(15).toStdString(), 10);
    return std::clamp<std::int64_t>(n, INT32_MIN, INT32_MAX);
}

int CDerivedComboBox::SetValue(std::uint32_t value)
{
    if (IsNumeric() && exists()) {
        int found = -1;
        for (int i = 0; i < count() && found < 0; ++i) {
            if (const auto text = itemText(i);
                text && static_cast<std::uint32_t>(static_cast<std::int32_t>(ItemNumber(*text))) == value) {
                found = i;
            }
        }
        selected_ = found >= 0 ? static_cast<std::uint32_t>(found) : 0xFFFFFFFFu;
        setCurSel(found);
        return 1;
    }
    selected_ = value;
    if (exists()) setCurSel(value > static_cast<std::uint32_t>(INT_MAX) ? -1 : static_cast<int>(value));
    return 1;
}

std::uint32_t CDerivedComboBox::GetValue() const
{
    if (!IsNumeric()) return selected_;
    if (!exists()) return 0;
    const auto text = itemText(curSel());
    if (!text) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(ItemNumber(*text)));
}

int CDerivedComboBox::Synchronize(CDerivedControl* other)
{
    SetValue(other != nullptr ? other->GetValue() : GetValue());
    return 1;
}

int CDerivedComboBox::LoadFromElement()
{
    const CXmlControlConainer* record = GetElement();
    if (!exists() || record == nullptr) return 0;
    for (const std::string& item : record->GetDescriptions()) addString(QString::fromStdString(item));
    setCurSel(0);
    return 1;
}

int CDerivedComboBox::ReloadFromElement()
{
    const std::uint32_t kept = GetValue();
    while (exists() && count() > 0) deleteString(0);
    LoadFromElement();
    SetValue(kept);
    return 1;
}

bool CDerivedComboBox::onNotify(std::uint32_t msg, gui::WParam w, gui::LParam)
{
    if (msg == gui::msg::Command && gui::hiWord(w) == gui::notify::ComboSelectionChange) {
        Trace("CDerivedComboBox: Combobox list select hooked\n");
        const int sel = curSel();
        selected_ = sel >= 0 ? static_cast<std::uint32_t>(sel) : 0xFFFFFFFFu;
        NotifyParent();
    }
    return false;
}

// ---- tab control ----------------------------------------------------------------------

CDerivedTab::CDerivedTab(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindTab);
    SetWindowClass("SysTabControl32");
    SetCreateStyle(gui::style::HotTrack);
}

int CDerivedTab::SetValue(std::uint32_t value)
{
    selected_ = value;
    if (exists() && value < static_cast<std::uint32_t>(count())) setCurSel(static_cast<int>(value));
    return 1;
}

int CDerivedTab::Synchronize(CDerivedControl* other)
{
    if (other == this) return 0;
    SetValue(other != nullptr ? other->GetValue() : GetValue());
    return 1;
}

bool CDerivedTab::onMouseDown(const gui::MouseEvent& e)
{
    if (e.button != Qt::LeftButton) return false;
    for (int i = 0; i < count(); ++i) {
        if (itemRect(i).contains(e.pos)) {
            selected_ = static_cast<std::uint32_t>(i);
            NotifyParent();
            break;
        }
    }
    return false;
}
