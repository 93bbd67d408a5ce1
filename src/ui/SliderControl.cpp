#include "ui/SliderControl.h"

#include <algorithm>
#include <cstdint>

#include "surface/XmlControlConainer.h"

namespace {

constexpr int kKeyPageUp = 33;
constexpr int kKeyPageDown = 34;
constexpr int kKeyEnd = 35;
constexpr int kKeyHome = 36;
constexpr int kKeyLeft = 37;
constexpr int kKeyUp = 38;
constexpr int kKeyRight = 39;
constexpr int kKeyDown = 40;
constexpr int kRepeatTimer = 1;

std::int32_t Clamp64(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

CDerivedSlider::CDerivedSlider(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindSlider);
    SetWindowClass("msctls_trackbar32");
    SetCreateStyle(gui::style::NoTicks);
}

int CDerivedSlider::SetValue(std::uint32_t value)
{
    position_ = static_cast<std::int32_t>(value);
    if (exists()) setPosition(position_);
    return 1;
}

int CDerivedSlider::Synchronize(CDerivedControl* other)
{
    position_ = static_cast<std::int32_t>(other != nullptr ? other->GetValue() : GetValue());
    if (exists()) setPosition(position_);
    return 1;
}

int CDerivedSlider::LoadFromElement()
{
    const CXmlControlConainer* record = GetElement();
    if (record == nullptr) return 0;
    if (exists()) SetRange(record->GetParameterMin() & 0xFFFF, record->GetParameterMax() & 0xFFFF);
    return 1;
}

int CDerivedSlider::ReloadFromElement()
{
    const std::int32_t kept = position_;
    const int loaded = LoadFromElement();
    if (loaded != 0) SetValue(static_cast<std::uint32_t>(kept));
    return loaded;
}

void CDerivedSlider::SetRange(std::int32_t minimum, std::int32_t maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    const std::int64_t span = static_cast<std::int64_t>(maximum) - minimum;
    pageStep_ = span >= 20 ? Clamp64(span / 20) : 1;
    position_ = minimum;
    if (!exists()) return;
    setRange(minimum, maximum);
    setPageSize(pageStep_);
    setPosition(position_);
}

void CDerivedSlider::onCreate() { ReadGeometry(); }

void CDerivedSlider::onSize(int, int)
{
    ReadGeometry();
    // A range under 20 steps still pages by one (a twentieth of it would be 0).
    const std::int64_t span = static_cast<std::int64_t>(maximum_) - minimum_;
    pageStep_ = span >= 20 ? Clamp64(span / 20) : 1;
    setPageSize(pageStep_);
}

void CDerivedSlider::ReadGeometry()
{
    thumb_ = thumbRect();
    channel_ = channelRect();
    track_ = QRect(QPoint(channel_.left(), thumb_.top()), QPoint(channel_.right(), thumb_.bottom()));
}

bool CDerivedSlider::PositionAt(std::int32_t x, std::int32_t* position) const
{
    const std::int32_t span = channel_.width() - thumb_.width();
    // No travel to map onto (a slider too small for its thumb): the position stays.
    if (span <= 0) return false;
    if (x < 0) {
        *position = minimum_;
    } else if (x > span) {
        *position = maximum_;
    } else {
        const double range = static_cast<double>(maximum_) - minimum_;
        *position = Clamp64(static_cast<std::int64_t>(minimum_ + static_cast<double>(x) / span * range + 0.5));
    }
    return true;
}

bool CDerivedSlider::Move(std::uint16_t code, std::int32_t amount)
{
    bool moved = false;
    const std::int64_t at = position_;
    switch (code) {
        // A step of 0 (a wheel turned less than half a notch) is no move.
        case gui::scroll::LineUp:
            if (at > minimum_) {
                position_ = Clamp64(std::max<std::int64_t>(at + amount, minimum_));
                moved = position_ != at;
            }
            break;
        case gui::scroll::LineDown:
            if (at < maximum_) {
                position_ = Clamp64(std::min<std::int64_t>(at + amount, maximum_));
                moved = position_ != at;
            }
            break;
        case gui::scroll::PageUp:
        case gui::scroll::Bottom:
            if (at > minimum_) {
                position_ = Clamp64(std::max<std::int64_t>(at - pageStep_, minimum_));
                moved = true;
            }
            break;
        case gui::scroll::PageDown:
        case gui::scroll::Top:
            if (at < maximum_) {
                position_ = Clamp64(std::min<std::int64_t>(at + pageStep_, maximum_));
                moved = true;
            }
            break;
        case gui::scroll::ThumbPosition:
        case gui::scroll::ThumbTrack:
            if (!onThumb_) {
                moved = true;  // reported, the position unchanged
            } else {
                // The thumb's left edge, compared as the 16-bit number the system keeps.
                const auto x = static_cast<std::int16_t>(mouse_.x() - grab_.x() - channel_.left());
                std::int32_t p = position_;
                if (PositionAt(x, &p)) {
                    moved = p != position_;
                    position_ = p;
                }
            }
            break;
        case gui::scroll::EndTrack:
            if (onThumb_) {
                const std::int32_t span = std::max(0, channel_.width() - thumb_.width());
                const std::int32_t x = std::clamp(mouse_.x() - grab_.x() - channel_.left(), 0, span);
                std::int32_t p = position_;
                if (PositionAt(x, &p)) position_ = p;
            }
            moved = true;
            break;
        default:
            break;
    }
    if (moved) Notify(code);
    return moved;
}

void CDerivedSlider::Notify(std::uint16_t code)
{
    Trace("CDerivedSlider: moved\n");
    const gui::Handle self = handle();
    setPosition(position_);
    NotifyParent();
    // The page may have destroyed the slider meanwhile.
    if (!exists() || handle() != self || parent() == nullptr) return;
    const auto pos = static_cast<std::uint16_t>(static_cast<std::uint32_t>(position_) & 0xFFFFu);
    sendToParent(gui::msg::HScroll, gui::makeWParam(code, pos), gui::handleToLParam(self));
}

void CDerivedSlider::ApplyClickSide()
{
    const int thumbEnd = thumb_.x() + thumb_.width();  // first pixel right of the thumb
    if (clickSide_ == kLeftOfThumb && thumb_.x() > mouse_.x()) {
        Move(gui::scroll::PageUp, 0);
    } else if (clickSide_ == kOnThumb) {
        Move(gui::scroll::ThumbTrack, 0);
    } else if (clickSide_ == kRightOfThumb && thumbEnd <= mouse_.x()) {
        Move(gui::scroll::PageDown, 0);
    }
}

bool CDerivedSlider::onMouseDown(const gui::MouseEvent& e)
{
    if (e.button != Qt::LeftButton) return true;
    setCapture();
    thumb_ = thumbRect();
    mouse_ = e.pos;
    onThumb_ = thumb_.contains(e.pos);
    inTrack_ = track_.contains(e.pos);
    if (!inTrack_) {
        clickSide_ = kOutsideTrack;
    } else if (e.pos.x() < thumb_.x()) {
        clickSide_ = kLeftOfThumb;
    } else if (e.pos.x() >= thumb_.x() + thumb_.width()) {
        clickSide_ = kRightOfThumb;
    } else {
        clickSide_ = kOnThumb;
        grab_ = e.pos - thumb_.topLeft();
    }
    ApplyClickSide();
    return true;
}

bool CDerivedSlider::onMouseMove(const gui::MouseEvent& e)
{
    if ((e.buttons & Qt::LeftButton) && inTrack_) {
        thumb_ = thumbRect();
        mouse_ = e.pos;
        ApplyClickSide();
    }
    return false;
}

void CDerivedSlider::onTimer(int timerId)
{
    if (timerId != kRepeatTimer) return;
    thumb_ = thumbRect();
    ApplyClickSide();
}

bool CDerivedSlider::onMouseUp(const gui::MouseEvent& e)
{
    if (e.button != Qt::LeftButton) return false;
    if (hasCapture()) releaseCapture();
    inTrack_ = false;
    const gui::Handle self = handle();
    Move(gui::scroll::ThumbPosition, 0);
    if (exists() && handle() == self) Move(gui::scroll::EndTrack, 0);
    return false;
}

bool CDerivedSlider::onKeyDown(const gui::KeyEvent& e)
{
    switch (e.code) {
        case kKeyPageUp:
            Move(gui::scroll::PageUp, 0);
            return true;
        case kKeyPageDown:
            Move(gui::scroll::PageDown, 0);
            return true;
        case kKeyEnd:
            if (Move(gui::scroll::PageDown, 0) && exists()) Notify(gui::scroll::PageDown);
            return true;
        case kKeyHome:
            if (Move(gui::scroll::PageUp, 0) && exists()) Notify(gui::scroll::PageUp);
            return true;
        case kKeyLeft:
        case kKeyUp:
            Move(gui::scroll::LineUp, -1);
            return true;
        case kKeyRight:
        case kKeyDown:
            Move(gui::scroll::LineDown, 1);
            return true;
        default:
            return false;
    }
}

bool CDerivedSlider::onWheel(int delta, const gui::MouseEvent&)
{
    const auto d = static_cast<std::int16_t>(delta);
    if (d >= 1) {
        Move(gui::scroll::LineUp, -(d / 60));
    } else if (d < 0) {
        Move(gui::scroll::LineDown, -d / 60);
    }
    return true;
}

std::uint32_t HeldToSliderRange(const CDerivedSlider& slider, std::uint32_t value)
{
    const std::int64_t low = std::max(0, slider.GetRangeMin());
    const std::int64_t high = slider.GetRangeMax();
    if (high <= low) return value;
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, low, high));
}
