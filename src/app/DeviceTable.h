// The built-in device table of the main window, the motor type ranges that filter it,
// and the firmware each device needs on the board.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace devicetable {

// One driver model: its code word (kind << 24 | index << 16) and its display name.
struct Entry {
    std::uint32_t code = 0;
    std::string name;
};

constexpr std::uint32_t Kind(std::uint32_t code) { return code >> 24; }
constexpr std::uint32_t Index(std::uint32_t code) { return (code >> 16) & 0xFFu; }
// The device key that the selector and the data store use.
constexpr std::uint32_t Key(std::uint32_t code) { return code >> 16; }
constexpr std::uint32_t MakeCode(std::uint32_t kind, std::uint32_t index) {
    return (kind & 0xFFu) << 24 | (index & 0xFFu) << 16;
}

// What the driver list shows when a motor type has no models.
inline constexpr std::uint32_t kNotAvailableCode = 0x80000999u;
inline constexpr const char* kNotAvailableName = "(N/A)";

// The 33 entries in table order: the separator, the models of kinds 1 to 4, and one
// model of kind 5 that no motor type lists.
const std::vector<Entry>& FullList();

// The "Motor Type" list, in combo order.
const std::vector<std::string>& MotorTypes();

// Inclusive device key range of a "Motor Type" selection; 0..0 for no selection or
// one outside the list.
struct KeyRange {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
};
KeyRange RangeForMotorType(int selection);

// The firmware a device needs: the versions both controllers must report, the images
// an update would write, and whether an older version is enough reason to update
// (otherwise any difference is).
struct FirmwareNeed {
    std::uint16_t mainVersion = 0;
    std::uint16_t secondVersion = 0;
    int mainImage = 0;
    int secondImage = 0;
    bool olderThan = false;
};
// Nothing for kinds without a check (the separator, "(N/A)", kind 5 but index 1).
std::optional<FirmwareNeed> FirmwareFor(std::uint32_t kind, std::uint32_t index);

}  // namespace devicetable
