#include "pages/stepper/SerialFrame.h"

#include "data/DataContainer.h"
#include "pages/scaffold/PageBoard.h"

namespace pages::stepper {

std::array<std::uint8_t, 4> BuildSerialSettingsFrame(const IDataContainer& store) {
    auto w = [&](int index, std::uint32_t mask) {
        const std::uint32_t v = store.GetValue(index);
        return v == CDerivedDataContainer::kNoData ? 0u : v & mask;
    };
    // Over-current protection "ON_Latch", "ON_Auto", "Off" have the codes 0, 2, 1; other
    // values have none and send 0.
    static constexpr std::uint32_t kProtection[3] = {0, 2, 1};
    const std::uint32_t protection = store.GetValue(64) < 3 ? kProtection[store.GetValue(64)] : 0u;
    // Word 66 (output short-circuit protection) has no place in the frame.
    return {
        static_cast<std::uint8_t>(0u | w(59, 0xF) << 2 | w(65, 1) << 7),
        static_cast<std::uint8_t>(1u | w(58, 7) << 2 | w(60, 3) << 5 | w(62, 1) << 7),
        static_cast<std::uint8_t>(2u | w(61, 3) << 2 | w(67, 3) << 4 | w(63, 3) << 6),
        static_cast<std::uint8_t>(3u | protection << 2),
    };
}

void SendSerialSettings(IPageBoard& board, const IDataContainer& store) {
    const auto frame = BuildSerialSettingsFrame(store);
    board.SendSerialData(frame);
}

}  // namespace pages::stepper
