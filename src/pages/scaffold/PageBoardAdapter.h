// The board requests of a page's engine parts (IPageBoard) carried out through the page
// base's forwarding, so every family's runs reach the board link the same way.
//
// Borrows the page, which must outlive it (a page holds its adapter as a member). GUI
// thread only, as the page's forwarding is.
#pragma once

#include "pages/scaffold/PageBoard.h"

class CDerivedDialog;

namespace pages {

class PageBoardAdapter final : public IPageBoard {
public:
    explicit PageBoardAdapter(CDerivedDialog& page) : page_(page) {}

    void WritePort(int port, int direction, int level, bool send) override;
    void SetPwm(int channel, double frequency, int duty, int enable) override;
    // The base converts a copy: the caller's record keeps its frequency, period and percent.
    void SetTimerChannel(int channel, const PwmChannelRecord& record, bool send) override;
    // Straight to the board link; nothing without one.
    void SetOutputValue(int channel, std::uint16_t value, std::uint8_t extra) override;
    void SendSerialData(std::span<const std::uint8_t> data) override;

private:
    CDerivedDialog& page_;
};

// The stepper boards' status interrupt inputs, set up in one frame: input 1 in mode 0,
// inputs 2 and 3 in mode 1 (the single- and the dual-motor board wire them alike).
void SetStepperStatusInterrupts(CDerivedDialog& page);

}  // namespace pages
