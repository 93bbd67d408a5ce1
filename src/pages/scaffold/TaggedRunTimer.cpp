#include "pages/scaffold/TaggedRunTimer.h"

#include <algorithm>

#include "platform/core/Handles.h"
#include "tasks/Timer.h"

namespace pages {

TaggedRunTimer::TaggedRunTimer(std::uint32_t message, gui::Handle window)
    : message_(message), window_(window), timer_(std::make_unique<CTimer>(message)) {
    timer_->SetWindow(window);
    timer_->SetRepeat(0);  // one tick per arming
}

TaggedRunTimer::~TaggedRunTimer() {
    // The timer's thread ends before anything its tick reaches goes.
    timer_->Stop();
}

void TaggedRunTimer::Arm(std::uint32_t ms) {
    timer_->Stop();
    const std::uintptr_t tick = armedTick_ = ++armings_;
    armedMs_ = std::max<std::uint32_t>(ms, 1);
    const std::uint32_t message = message_;
    timer_->Start(armedMs_, [tick, message](platform::Handle window) {
        return window != 0 && platform::post(window, message, tick, 0) ? 1 : 0;
    });
}

void TaggedRunTimer::Stop() {
    armedTick_ = 0;
    armedMs_ = 0;
    timer_->Stop();
}

bool TaggedRunTimer::Accept(std::uintptr_t tick) {
    if (tick == 0 || tick != armedTick_) return false;
    Stop();
    return true;
}

}  // namespace pages
