// The lens sequence: writes the drive settings to the lens driver over I2C, keeps the
// drive on for the time in data word 8 (the whole 32-bit word, in ms), then writes the
// stop settings; a shutdown or a newer drive ends the wait early. Everything comes
// from the block of the device selected when the drive began, read when each request is
// built. Later board tasks need not wait for the drive time: only for the drive request.
#pragma once

#include <cstdint>

#include "board/Records.h"
#include "tasks/Task.h"

class CLensTask final : public CDerivedTask {
public:
    static constexpr std::uint8_t kSlaveAddress = 0x72;

    static constexpr int kWordRegister0 = 0;
    static constexpr int kWordRegister1 = 1;
    static constexpr int kWordDriveTime = 8;
    static constexpr int kWordDriveMode = 20;
    static constexpr int kWordStopMode = 21;

    explicit CLensTask(std::uint32_t word) : CDerivedTask(word) {}
    ~CLensTask() override;

    int Run() override;

    static void BuildDriveRequest(I2cRecord& record, std::uint32_t word0, std::uint32_t word1, std::uint32_t word20);
    static void BuildStopRequest(I2cRecord& record, std::uint32_t word1, std::uint32_t word21);
};
