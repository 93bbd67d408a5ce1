#include "tasks/LensTask.h"

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "platform/core/Clock.h"
#include "platform/core/Debug.h"

CLensTask::~CLensTask() {
    Cancel();
    JoinThread();
}

void CLensTask::BuildDriveRequest(I2cRecord& record, std::uint32_t word0, std::uint32_t word1, std::uint32_t word20) {
    record.operation = 0;
    record.length = 4;
    record.address = kSlaveAddress;
    record.reserved[0] = 0;  // first and last register: the transfer does not read them
    record.reserved[1] = 2;
    std::uint8_t register1 = static_cast<std::uint8_t>(word1 & 0xFF);
    // Drive time "Free" (bits 4 and 5 both set) becomes the shortest fixed drive.
    if ((register1 & 0x30) == 0x30) register1 = static_cast<std::uint8_t>(register1 & ~0x30);
    record.bytes[0] = 4;
    record.bytes[1] = 0;
    record.bytes[2] = static_cast<std::uint8_t>((word0 >> 8) & 0xFF);
    record.bytes[3] = static_cast<std::uint8_t>(word0 & 0xFF);
    record.bytes[4] = register1;
    record.bytes[5] = static_cast<std::uint8_t>((word20 & 0x07) | 0x18);  // output on, I2C trigger
}

void CLensTask::BuildStopRequest(I2cRecord& record, std::uint32_t word1, std::uint32_t word21) {
    record.length = 2;
    record.address = kSlaveAddress;
    record.reserved[0] = 1;
    record.reserved[1] = 2;
    record.bytes[0] = 2;
    record.bytes[1] = 1;
    record.bytes[2] = static_cast<std::uint8_t>(word1 & 0xFF);
    record.bytes[3] = static_cast<std::uint8_t>((word21 & 0x07) | 0x18);
}

int CLensTask::Run() {
    I2cRecord record{};
    IDataContainer* store = DataContainer();
    CRG1Micon* link = Micon();
    // The drive belongs to the device selected now: both requests take that device's
    // words, whichever page is selected when the drive ends.
    const std::int32_t key = store != nullptr ? store->GetSelectedId() : -1;
    // With no device selected every word reads as all ones: nothing of it may reach the chip.
    if (key == -1) {
        platform::debugOut("Lens sequence: no device data, nothing sent\n");
        return 0;
    }
    const auto word = [&](int index) { return store->GetValueOf(key, index); };
    const std::uint32_t driveMs = word(kWordDriveTime);  // all 32 bits of it

    const std::uint64_t startUs = platform::currentClock().nowUs();

    BuildDriveRequest(record, word(kWordRegister0), word(kWordRegister1), word(kWordDriveMode));
    if (link != nullptr) link->I2cTransfer(0, &record, 1);
    // Later board tasks wait only for this frame, not for the drive time.
    MarkFramesSent();

    // The drive time sleeps on the task's cancel signal: a shutdown or a newer drive ends
    // it at once, and the stop request still goes out below.
    WaitCancellableUntilUs(startUs + static_cast<std::uint64_t>(driveMs) * 1000);

    BuildStopRequest(record, word(kWordRegister1), word(kWordStopMode));
    if (link != nullptr) link->I2cTransfer(0, &record, 1);
    return 0;
}
