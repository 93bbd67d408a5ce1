// A page's one-shot run timer whose ticks carry the arming that caused them.
//
// Each Arm posts its tick to the page as (message, arming number, 0); the page hands the
// tick's wParam to Accept, which takes only the tick of the present arming. A tick still
// queued from an earlier arming (a stop, or a re-arm while the GUI thread was busy) is
// dropped, so it never ends the next step early.
//
// Owns its multimedia timer; the page owns this object and keeps it alive as long as its
// window. Arm, Stop and Accept are called on the GUI thread.
#pragma once

#include <cstdint>
#include <memory>

#include "pages/scaffold/PageBoard.h"
#include "platform/gui/Window.h"

class CTimer;

namespace pages {

class TaggedRunTimer final : public IRunTimer {
public:
    TaggedRunTimer(std::uint32_t message, gui::Handle window);
    ~TaggedRunTimer() override;
    TaggedRunTimer(const TaggedRunTimer&) = delete;
    TaggedRunTimer& operator=(const TaggedRunTimer&) = delete;

    // One tick after `ms` (at least 1 ms); a running arming is stopped first.
    void Arm(std::uint32_t ms) override;
    void Stop() override;
    // True (and the timer disarmed) for the tick of the present arming; false for any other.
    bool Accept(std::uintptr_t tick);

    bool Armed() const { return armedTick_ != 0; }
    // The number the awaited tick carries; 0 when none is awaited.
    std::uintptr_t ArmedTick() const { return armedTick_; }
    std::uint32_t ArmedMs() const { return armedMs_; }
    std::uint32_t Message() const { return message_; }

private:
    std::uint32_t message_;
    gui::Handle window_;
    std::unique_ptr<CTimer> timer_;
    std::uintptr_t armedTick_ = 0;  // the arming whose tick is wanted, 0 none
    std::uintptr_t armings_ = 0;
    std::uint32_t armedMs_ = 0;
};

}  // namespace pages
