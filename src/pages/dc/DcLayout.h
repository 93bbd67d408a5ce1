// The DC page's layout as data: the item kinds, which controls each kind's group holds
// (class, index, offset, size, texts), the value formats of its edits, and the order and
// columns in which the page builds its groups.
//
// Pure data and one pure function, `LayOutDcPage`, that walks the build order with two
// running positions and the device's control profile and returns every control the page
// creates, as the scaffold's layout entries (`PlacedControl`). A group whose profile word
// is 0 adds nothing, so a column has no gaps. The scaffold's control factory creates
// exactly these; nothing here knows a control class.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pages/scaffold/PlacedControl.h"

namespace pages::dc {

// Item kinds: each is also the index of its data word.
namespace kind {
inline constexpr int kChipEnable = 0;
inline constexpr int kMode1 = 1;
inline constexpr int kFrequency = 2;
inline constexpr int kDuty1 = 3;
inline constexpr int kStart1 = 4;
inline constexpr int kMode2 = 5;
inline constexpr int kFrequency2 = 6;
inline constexpr int kDuty2 = 7;
inline constexpr int kStart2 = 8;
inline constexpr int kRef = 9;
inline constexpr int kRefMeasured = 10;
inline constexpr int kAtt = 11;
inline constexpr int kBlanking = 12;
inline constexpr int kProtection = 13;
inline constexpr int kResistance1 = 14;
inline constexpr int kCurrent1 = 15;
inline constexpr int kResistance2 = 16;
inline constexpr int kCurrent2 = 17;
inline constexpr int kWarning1 = 18;
inline constexpr int kWarning2 = 19;
inline constexpr int kPolling = 20;
inline constexpr int kSequenceWindow = 21;
inline constexpr int kTitle1 = 22;
inline constexpr int kTitle2 = 23;
inline constexpr int kDemo = 24;
inline constexpr int kCount = 25;
}  // namespace kind

inline constexpr int kCaptionIndex = 100;
inline constexpr int kUnitIndex = 101;

// Every control of the page for this device and profile (128 words), in build order.
std::vector<PlacedControl> LayOutDcPage(std::int32_t deviceKey, std::span<const std::uint16_t, 128> profile);

// The mode combo's items (the four PWM modes; standby and brake come only from a sequence).
inline constexpr const char* kModeItems[] = {"Forward <-> Standby", "Forward <-> Brake", "Reverse <-> Standby",
                                             "Reverse <-> Brake"};

}  // namespace pages::dc
