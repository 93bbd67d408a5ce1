// Putting the board into a known state: default GPIO and PWM records queued as tasks,
// then, after a new connection, the two input lines that tell the board type.
#include <vector>

#include "app/QuillfenDlg.h"
#include "tasks/GuiCommand.h"

namespace boardinit {

namespace {

GpioRecord Line(std::uint32_t line, std::uint32_t direction, std::uint32_t level, std::uint32_t send) {
    GpioRecord r;
    r.port.line = line;
    r.port.direction = direction;
    r.port.level = level;
    r.port.reserved = 0;
    r.port.send = send;
    r.pulse = 0;
    r.pulseWidth = 0;
    return r;
}

PwmChannelRecord Channel(std::uint32_t channel, double frequency, double value, std::uint32_t send) {
    PwmChannelRecord r;
    r.channel = channel;
    r.frequency = frequency;
    r.value = value;
    r.outputA = 1;
    r.outputB = 1;
    r.percent = 1;
    r.frequencyMode = 0;
    r.outputMode = 0;
    r.extra = 0;
    r.flagA = 0;
    r.flagB = 0;
    r.send = send;  // exponent and period are the board link's to compute
    return r;
}

}  // namespace

std::vector<GpioRecord> GpioDefaults(std::uint32_t kind) {
    std::vector<GpioRecord> records;
    records.reserve(34);
    for (std::uint32_t line = 0; line <= 33; ++line) {
        // Lines 16 and 17 are the board-type inputs.
        const std::uint32_t direction = (line == 16 || line == 17) ? 0 : 1;
        bool high = line == 16 || line == 17 || line == 21;
        if ((line == 18 || line == 19) && (kind == 1 || kind == 2)) high = true;
        if (line == 22 && kind == 2) high = true;
        // The last line of each group sends the group's frame.
        const std::uint32_t send = (line == 20 || line == 33) ? 1 : 0;
        records.push_back(Line(line, direction, high ? 1 : 0, send));
    }
    return records;
}

std::vector<PwmChannelRecord> PwmDefaults() {
    return {
        Channel(0, 50000, 240, 0), Channel(1, 50000, 240, 0), Channel(2, 15625, 256, 0),
        Channel(3, 15625, 256, 1), Channel(4, 15625, 0, 0),   Channel(5, 15625, 0, 0),
        Channel(6, 100, 0, 0),     Channel(7, 100, 0, 0),     Channel(8, 100, 0, 1),
    };
}

std::vector<GpioRecord> BoardTypeQuery() {
    // Line 16's read sends the frame; line 17 takes its level from the same reply.
    return {Line(16, 0, 1, 1), Line(17, 0, 1, 0)};
}

}  // namespace boardinit

int CQuillfenDlg::SendBoardCommand(std::uint32_t word, const void* record, std::uint32_t size, std::uint32_t pauseMs) {
    if (commands_ == nullptr) commands_ = CCommandGenerator::GetInstance();
    CSingleCommand* command = commands_->CreateCommand(handle(), 0xFFFFFFFFu);
    if (command == nullptr) return 0;
    command->SetTask(word, record, size);
    command->SetPause(pauseMs);
    // The queue's notify window becomes this window, so read results come back here.
    commands_->ExecuteCommand(services_.tasks, command);
    commands_->DeleteCommand(command);
    return 1;
}

// The board's pacing goes with each record: the queue holds the records after it for
// the pause, so this thread queues them all at once and goes on.
int CQuillfenDlg::SendGpioDefaults() {
    for (const GpioRecord& r : boardinit::GpioDefaults(kind_))
        SendBoardCommand(boardinit::kGpioWriteWord, &r, sizeof r, boardinit::kGpioPauseMs);
    return 1;
}

int CQuillfenDlg::SendPwmDefaults() {
    const std::vector<PwmChannelRecord> records = boardinit::PwmDefaults();
    for (std::size_t i = 0; i < records.size(); ++i) {
        // The last record also holds what follows the defaults for the board to settle.
        const bool last = i + 1 == records.size();
        SendBoardCommand(boardinit::kPwmWord, &records[i], sizeof records[i],
                         boardinit::kPwmPauseMs + (last ? boardinit::kSettlePauseMs : 0));
    }
    return 1;
}

int CQuillfenDlg::QueryBoardType() {
    replyCount_ = 0;
    for (const GpioRecord& r : boardinit::BoardTypeQuery())
        SendBoardCommand(boardinit::kGpioReadWord, &r, sizeof r, boardinit::kReadPauseMs);
    return 1;
}

int CQuillfenDlg::InitializeBoard(bool queryBoardType) {
    SendGpioDefaults();
    SendPwmDefaults();
    if (queryBoardType) QueryBoardType();
    return 1;
}
