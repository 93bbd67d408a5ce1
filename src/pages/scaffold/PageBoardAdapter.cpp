#include "pages/scaffold/PageBoardAdapter.h"

#include "board/RG1Micon.h"
#include "ui/DerivedDialog.h"

namespace pages {

// The base's own forwarding, never a page's override of it.
void PageBoardAdapter::WritePort(int port, int direction, int level, bool send) {
    page_.CDerivedDialog::WritePort(port, static_cast<std::uint32_t>(direction), static_cast<std::uint32_t>(level),
                                    send ? 1 : 0);
}

void PageBoardAdapter::SetPwm(int channel, double frequency, int duty, int enable) {
    page_.CDerivedDialog::SetPwm(channel, frequency, duty, enable);
}

void PageBoardAdapter::SetTimerChannel(int channel, const PwmChannelRecord& record, bool send) {
    page_.CDerivedDialog::SetTimerChannel(channel, &record, send ? 1 : 0);
}

void PageBoardAdapter::SetOutputValue(int channel, std::uint16_t value, std::uint8_t extra) {
    if (CRG1Micon* link = page_.GetMicon()) link->SetOutputValue(channel, value, extra, 1);
}

void PageBoardAdapter::SendSerialData(std::span<const std::uint8_t> data) {
    if (CRG1Micon* link = page_.GetMicon()) link->SendSerialData(data.data(), data.size());
}

void SetStepperStatusInterrupts(CDerivedDialog& page) {
    page.SetInterruptInput(1, 0, 0);
    page.SetInterruptInput(2, 1, 0);
    page.SetInterruptInput(3, 1, 1);
}

}  // namespace pages
