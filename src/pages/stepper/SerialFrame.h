// The four-byte settings frame of the stepper chip with the serial interface (device
// 0x105), packed from its data words 58 to 67. Each byte carries its own address 0..3 in
// bits 0-1; every field is masked to its width, so no stored value reaches another field.
#pragma once

#include <array>
#include <cstdint>

class IDataContainer;

namespace pages {
class IPageBoard;
}

namespace pages::stepper {

std::array<std::uint8_t, 4> BuildSerialSettingsFrame(const IDataContainer& store);

// Packs the frame from the store and sends it (length 4, no reply).
void SendSerialSettings(IPageBoard& board, const IDataContainer& store);

}  // namespace pages::stepper
