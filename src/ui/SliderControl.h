// The slider of a device page: a trackbar whose mouse, keyboard and wheel handling is
// the control's own. Every change goes through one move operation that takes a scroll
// code and an amount; a move that happened sets the thumb, reports the change with
// NotifyParent and then sends HScroll (code | position << 16) to the parent.
//
// Its position is its value; it is not held to the range (a stored value outside the
// range is kept, the thumb shows the nearest end). GUI thread only.
#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>

#include "platform/gui/Controls.h"
#include "ui/DerivedControl.h"

class CDerivedSlider : public CDerivedControl, public gui::Trackbar {
public:
    // Click sides: left of the thumb, on it, right of it, outside the track.
    static constexpr std::int32_t kLeftOfThumb = -1;
    static constexpr std::int32_t kOnThumb = 0;
    static constexpr std::int32_t kRightOfThumb = 1;
    static constexpr std::int32_t kOutsideTrack = static_cast<std::int32_t>(0x80000000u);

    CDerivedSlider(gui::Window* parent, std::uint32_t id);

    int SetValue(std::uint32_t value) override;
    std::uint32_t GetValue() const override { return static_cast<std::uint32_t>(position_); }
    int Synchronize(CDerivedControl* other) override;
    // The range from the record's `gui_parameter` (both ends taken as 16-bit numbers, as
    // one message carries them). 0 without a record.
    int LoadFromElement() override;
    // Takes the record's range again and keeps the position it had (a range
    // relation changed the record). 0 without a record.
    int ReloadFromElement() override;

    // The range; the page step becomes a twentieth of it (1 for a range under 20) and
    // the position its minimum.
    void SetRange(std::int32_t minimum, std::int32_t maximum);
    std::int32_t GetRangeMin() const { return minimum_; }
    std::int32_t GetRangeMax() const { return maximum_; }
    std::int32_t GetPageStep() const { return pageStep_; }

    // The move operation: true when it moved (and so notified).
    bool Move(std::uint16_t code, std::int32_t amount);

protected:
    void onCreate() override;
    void onSize(int width, int height) override;
    void onTimer(int timerId) override;
    bool onMouseDown(const gui::MouseEvent& e) override;
    bool onMouseUp(const gui::MouseEvent& e) override;
    bool onMouseMove(const gui::MouseEvent& e) override;
    bool onKeyDown(const gui::KeyEvent& e) override;
    bool onWheel(int delta, const gui::MouseEvent& e) override;

private:
    void ReadGeometry();
    void ApplyClickSide();
    // The position for the thumb's left edge at x, and whether a span exists to map.
    bool PositionAt(std::int32_t x, std::int32_t* position) const;
    void Notify(std::uint16_t code);

    std::int32_t minimum_ = 0;
    std::int32_t maximum_ = 0;
    std::int32_t pageStep_ = 0;
    std::int32_t position_ = 0;
    QRect thumb_;
    QRect channel_;
    QRect track_;
    QPoint mouse_;
    QPoint grab_;
    bool onThumb_ = false;
    bool inTrack_ = false;
    std::int32_t clickSide_ = kOutsideTrack;
};

// A value typed beside a slider (its edit, or a value computed for it) held to the
// slider's range, so the slider, the edit and what is stored or sent all say the same;
// the value as it is while the slider has no range yet.
std::uint32_t HeldToSliderRange(const CDerivedSlider& slider, std::uint32_t value);
