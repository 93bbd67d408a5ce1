// What a control profile word says about the control of its slot on the stepper page
// (the other hard-coded pages give some of these bits meanings of their own and decode
// them in their own folders).
//
// Pure decoding; the word itself comes from the page selector's profile of the device.
#pragma once

#include <cstdint>
#include <optional>

namespace pages {

namespace profile {
inline constexpr std::uint16_t kHidden = 0x0010;
inline constexpr std::uint16_t kPanelOnPageParent = 0x0020;  // a speed panel floats outside the page
inline constexpr std::uint16_t kDisabled = 0x0040;
inline constexpr std::uint16_t kOnTachometer = 0x0080;
inline constexpr std::uint16_t kTabPageMask = 0x0F00;
inline constexpr std::uint16_t kOnTabPage = 0x1000;
inline constexpr std::uint16_t kShowStoredValue = 0x2000;
}  // namespace profile

struct ProfileBits {
    bool created = false;          // any non-zero word
    bool hidden = false;           // starts hidden
    bool disabled = false;         // starts disabled
    bool onTachometer = false;     // parented on the tachometer panel instead of the page
    bool panelOnPageParent = false;  // (speed panels) parented on the page's own parent
    std::optional<int> tabPage;    // the mode tab's page the control belongs to
    bool showStoredValue = false;  // shows the data store's value right after creation
};

constexpr ProfileBits DecodeProfile(std::uint16_t word) {
    ProfileBits bits;
    bits.created = word != 0;
    if (!bits.created) return bits;
    bits.hidden = (word & profile::kHidden) != 0;
    bits.disabled = (word & profile::kDisabled) != 0;
    bits.onTachometer = (word & profile::kOnTachometer) != 0;
    bits.panelOnPageParent = (word & profile::kPanelOnPageParent) != 0;
    if (word & profile::kOnTabPage) bits.tabPage = (word & profile::kTabPageMask) >> 8;
    bits.showStoredValue = (word & profile::kShowStoredValue) != 0;
    return bits;
}

// Whether a control with this word is shown while the mode tab shows `shownPage`:
// controls outside the tab always, tab members only on their own page.
constexpr bool ShownOnTabPage(std::uint16_t word, std::uint32_t shownPage) {
    const ProfileBits bits = DecodeProfile(word);
    return !bits.tabPage || static_cast<std::uint32_t>(*bits.tabPage) == shownPage;
}

}  // namespace pages
