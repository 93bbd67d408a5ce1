// The two built-in lens surfaces, control by control, against a table written by hand
// from the drivers' description (never from the surface files): kind, id, caption,
// data word, bit field, relation id, target, board number, register and window. Then
// the counts, the relations read, the floating window nothing opens on the first
// driver, and what the first refresh leaves in the I2C block and register images.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "LensPageRig.h"
#include "surfacepage/BuiltInSurfaces.h"
#include "ui/FloatDialog.h"

namespace {

constexpr int kNone = -1;
constexpr int kUnset = INT_MIN;  // no register address given

// One control as the description gives it. A bit field "bits a-b" is lsb a, length
// b - a + 1; a whole word has lsb -1 and length 0 (the hidden labels: lsb -1, length 1).
struct Row {
    std::uint32_t id;
    const char* kind;
    const char* caption;  // description item 0
    int word = kNone;
    int lsb = kNone;
    int length = 0;
    int relation = kNone;
    const char* target = "";
    int number = 0;
    int reg = kUnset;
};

// The I2C range and fixed-pattern controls: start, end and fixed value.
struct Range {
    std::uint32_t id;
    int start;
    int end;
    int fixed;
};

std::string Describe(const Row& r, bool floating)
{
    std::ostringstream out;
    out << r.kind << " \"" << r.caption << "\" word " << r.word << " bits " << r.lsb << "+" << r.length << " rel "
        << r.relation << " target \"" << r.target << "\" " << r.number << " reg " << r.reg
        << (floating ? " floating" : " page");
    return out.str();
}

// clang-format off
// Device 0x400: the page (ninety controls from 1000) ...
const Row k400[] = {
    {1000, "frame", "Chip Enable / Disable"},
    {1001, "label", "Chip Enable"},
    {1002, "check", "Enable", 0, kNone, 0, 1, "gpio", 31},
    {1003, "frame", "Photo Sensor Driving"},
    {1004, "label", "Drive"},
    {1005, "check", "On", 13, 2, 1, kNone, "i2c", 0, 3},
    {1006, "button", "Exit", kNone, kNone, 0, 17},
    // for 1 - 2 ch
    {1007, "frame", "for 1 - 2 ch"},
    {1008, "label", "Current Reference Voltage"},
    {1009, "slider", "", 10, 0, 4, kNone, "i2c", 0, 0},
    {1010, "edit", "", 10, 0, 4},
    {1011, "label", "V"},
    {1012, "label", "Excitation Direction"},
    {1013, "combobox", "CW", 10, 4, 1, 101, "i2c", 0, 0},
    {1014, "label", "Step Hold"},
    {1015, "combobox", "Clear", 10, 5, 1, kNone, "i2c", 0, 0},
    {1016, "label", "Counter Reset"},
    {1017, "combobox", "Reset", 10, 6, 1, kNone, "i2c", 0, 0},
    {1018, "label", "Output Enable"},
    {1019, "check", "On", 10, 7, 1, kNone, "i2c", 0, 0},
    {1020, "label", "CLK1 Frequency Division Ratio"},
    {1021, "combobox", "Undivided", 12, 0, 2, kNone, "i2c", 0, 2},
    {1022, "label", "Excitation Mode"},
    {1023, "combobox", "Micro Step", 12, 4, 2, kNone, "i2c", 0, 2},
    {1024, "label", "CLK1 Frequency"},
    {1025, "edit", "", 1, 0, 16},
    {1026, "label", "Hz"},
    {1027, "slider", "", 1, 0, 16},
    {1028, "label", "Pulse Count"},
    {1029, "edit", "", 2, 0, 16},
    {1030, "slider", "", 2, 0, 16},
    {1031, "button", "Set Freq / Count", 7, kNone, 0, 2},
    {1032, "label", "FR1 Output"},
    {1033, "check", "High", kNone, kNone, 0, kNone, "gpio", 29},
    // for 3 - 4 ch
    {1034, "frame", "for 3 - 4 ch"},
    {1035, "label", "Current Reference Voltage"},
    {1036, "slider", "", 11, 0, 4, kNone, "i2c", 0, 1},
    {1037, "edit", "", 11, 0, 4},
    {1038, "label", "V"},
    {1039, "label", "Excitation Direction"},
    {1040, "combobox", "CW", 11, 4, 1, 102, "i2c", 0, 1},
    {1041, "label", "Step Hold"},
    {1042, "combobox", "Clear", 11, 5, 1, kNone, "i2c", 0, 1},
    {1043, "label", "Counter Reset"},
    {1044, "combobox", "Reset", 11, 6, 1, kNone, "i2c", 0, 1},
    {1045, "label", "Output Enable"},
    {1046, "check", "On", 11, 7, 1, kNone, "i2c", 0, 1},
    {1047, "label", "CLK2 Frequency Division Ratio"},
    {1048, "combobox", "Undivided", 12, 2, 2, kNone, "i2c", 0, 2},
    {1049, "label", "Excitation Mode"},
    {1050, "combobox", "Micro Step", 12, 6, 2, kNone, "i2c", 0, 2},
    {1051, "label", "CLK2 Frequency"},
    {1052, "edit", "", 3, 0, 16},
    {1053, "label", "Hz"},
    {1054, "slider", "", 3, 0, 16},
    {1055, "label", "Pulse Count"},
    {1056, "edit", "", 4, 0, 16},
    {1057, "slider", "", 4, 0, 16},
    {1058, "button", "Set Freq / Count", 8, kNone, 0, 3},
    {1059, "label", "FR2 Output"},
    {1060, "check", "High", kNone, kNone, 0, kNone, "gpio", 30},
    {1061, "button", "STOP", 21, kNone, 0, 21},
    {1062, "button", "STOP", 22, kNone, 0, 22},
    // for each ch, MO Setting
    {1063, "frame", "for each ch"},
    {1064, "label", "Chopping frequency"},
    {1065, "combobox", "400kHz", 13, 0, 2, kNone, "i2c", 0, 3},
    {1066, "frame", "MO Setting"},
    {1067, "label", "MO Output Channel"},
    {1068, "combobox", "1 - 2 ch", 13, 3, 1, kNone, "i2c", 0, 3},
    {1069, "label", "MO Output Position"},
    {1070, "combobox", "Initial Pos", 13, 4, 1, kNone, "i2c", 0, 3},
    // I2C Data Send
    {1071, "frame", "I2C Data Send"},
    {1072, "radio", "All(00h - 03h)", 20, kNone, 0, kNone, "i2c", 0, -2},
    {1073, "radio", "00h", 20, kNone, 0, kNone, "i2c", 0, -2},
    {1074, "radio", "01h", 20, kNone, 0, kNone, "i2c", 0, -2},
    {1075, "radio", "02h", 20, kNone, 0, kNone, "i2c", 0, -2},
    {1076, "radio", "03h", 20, kNone, 0, kNone, "i2c", 0, -2},
    {1077, "label", "00h"},
    {1078, "label", "", 10, 0, 8},
    {1079, "label", "01h"},
    {1080, "label", "", 11, 0, 8},
    {1081, "label", "02h"},
    {1082, "label", "", 12, 0, 8},
    {1083, "label", "03h"},
    {1084, "label", "", 13, 0, 8},
    {1085, "label", "Slave Adrs"},
    {1086, "edit", "01110010", 6, kNone, 0, kNone, "i2c", 0, -1},
    {1087, "button", "Send", kNone, kNone, 0, kNone, "i2c", 0},
    {1088, "label", "", 14, kNone, 1, kNone, "i2c", 0, -3},
    {1089, "label", "", 15, kNone, 1, kNone, "i2c", 0, -3},
    // ... and the floating window (fourteen from 2000).
    {2000, "frame", "Sequence for KT3532"},
    {2001, "label", "Drive Channel"},
    {2002, "combobox", "1 - 2 Ch", 100, kNone, 0, 100},
    {2003, "label", "Start CLK Frequency"},
    {2004, "edit", "", 101, 0, 16},
    {2005, "label", "pps"},
    {2006, "slider", "", 101, 0, 16},
    {2007, "label", "Top CLK Frequency"},
    {2008, "edit", "", 102, 0, 16},
    {2009, "slider", "", 102, 0, 16},
    {2010, "label", "pps"},
    {2011, "label", "Start-Top Time"},
    {2012, "combobox", "0sec", 103},
    {2013, "check", "Send", 104, kNone, 0, 1, "lens_sequence", 3},
};
const Range k400Ranges[] = {
    {1072, 0, 3, 0}, {1073, 0, 0, 1}, {1074, 1, 1, 2}, {1075, 2, 2, 3}, {1076, 3, 3, 4},
    {1088, 0, 6, 1}, {1089, 1, 6, 1},
};

// Device 0x401: the page (fifty-two from 1000) and the floating window (ten from 2000).
const Row k401[] = {
    {1000, "frame", "Chip Enable/Disable"},
    {1001, "label", "Chip Enable"},
    {1002, "check", "Enable", 3, kNone, 0, 1, "gpio", 31},
    {1003, "frame", "Shutter/Iris Trigger"},
    {1004, "label", "Width"},
    {1005, "combobox", "1", 4, kNone, 0, 2, "gpio_pulse", 25},
    {1006, "label", "msec"},
    {1007, "button", "Send", kNone, kNone, 0, 3, "gpio", 25},
    // Auto Focus
    {1008, "frame", "Auto Focus"},
    {1009, "label", "Output"},
    {1010, "slider", "", 0, 6, 10, kNone, "i2c", 0, 0},
    {1011, "edit", "", 0, 6, 10},
    {1012, "label", "Current Slope Setting"},
    {1013, "label", "Current Step"},
    {1014, "combobox", "Off", 0, 3, 3, 4, "i2c", 0, 0},
    {1015, "label", "mA"},
    {1016, "label", "Step Time"},
    {1017, "combobox", "Off", 0, 0, 3, 5, "i2c", 0, 0},
    {1018, "label", "msec"},
    // Shutter/Iris
    {1019, "frame", "Shutter/Iris"},
    {1020, "label", "Output"},
    {1021, "slider", "", 1, 0, 4, kNone, "i2c", 0, 1},
    {1022, "edit", "", 1, 0, 4},
    {1023, "label", "Drive Time"},
    {1024, "combobox", "10 msec", 1, 4, 2, kNone, "i2c", 0, 1},
    {1025, "label", "OUT2-4"},
    {1026, "combobox", "Standby(All Off)", 2, 0, 3, 6, "i2c", 0, 2},
    {1027, "button", "Option", kNone, kNone, 0, 9},
    {1028, "label", "On/Off"},
    {1029, "combobox", "Off", 2, 3, 1, 7, "i2c", 0, 2},
    {1030, "label", "Trigger Select"},
    {1031, "combobox", "Externam Trigger", 2, 4, 1, 8, "i2c", 0, 2},
    // Register Address Data: the images
    {1032, "frame", "Register Address Data"},
    {1033, "label", "Address"},
    {1034, "label", "Data"},
    {1035, "label", "0x00"},
    {1036, "label", "", 0, 0, 16},
    {1037, "label", "0x01"},
    {1038, "label", "", 1, 0, 8},
    {1039, "label", "0x02"},
    {1040, "label", "", 2, 0, 8},
    // Register Address Data: sending
    {1041, "frame", "Register Address Data"},
    {1042, "radio", "All(00h - 02h)", 5, kNone, 0, kNone, "i2c", 0, -2},
    {1043, "radio", "00h", 5, kNone, 0, kNone, "i2c", 0, -2},
    {1044, "radio", "01h", 5, kNone, 0, kNone, "i2c", 0, -2},
    {1045, "radio", "02h", 5, kNone, 0, kNone, "i2c", 0, -2},
    {1046, "radio", "SH/IR(01h - 02h)", 5, kNone, 0, kNone, "i2c", 0, -2},
    {1047, "label", "Slave Adrs"},
    {1048, "edit", "0110011", 6, kNone, 0, kNone, "i2c", 0, -1},
    {1049, "button", "SEND", kNone, kNone, 0, 10, "i2c", 0},
    {1050, "button", "SEND", kNone, kNone, 0, 11, "lens_sequence", 3},
    {1051, "button", "Exit", kNone, kNone, 0, 17},
    // Continuous Operation
    {2000, "frame", "Continuous Operation"},
    {2001, "radio", "Off", 7, kNone, 0, 12},
    {2002, "radio", "On", 7, kNone, 0, 13},
    {2003, "label", "OUT2-4: 1"},
    {2004, "combobox", "Standby(All Off)", 20, 0, 3, 14, "i2c", 0, 2},
    {2005, "label", "Wait"},
    {2006, "label", "msec"},
    {2007, "edit", "5", 8, kNone, 0, 15},
    {2008, "label", "OUT2-4: 2"},
    {2009, "combobox", "Standby(All Off)", 21, 0, 3, 16, "i2c", 0, 2},
};
const Range k401Ranges[] = {
    {1042, 0, 2, 0}, {1043, 0, 0, 1}, {1044, 1, 1, 2}, {1045, 2, 2, 3}, {1046, 1, 2, 4},
    {2001, 0, 0, 0}, {2002, 0, 0, 1},
};
// clang-format on

class BuiltInSurface : public LensPageRig {
protected:
    void Open(std::int32_t key)
    {
        page.reset();
        guitest::settle();
        Make(key, surfacepage::BuiltInSurface);
        ASSERT_EQ(page->SurfaceProblems(), std::vector<std::string>{});
    }
    // Every control against its row, and nothing the table does not name.
    template <std::size_t N, std::size_t M>
    void CheckControls(const Row (&rows)[N], const Range (&ranges)[M])
    {
        EXPECT_EQ(page->Controls().size(), N) << "the page has controls the table does not name";
        for (const Row& row : rows) {
            const CDerivedControl* control = page->FindControlByKey(row.id);
            ASSERT_NE(control, nullptr) << "control " << row.id;
            const CXmlControlConainer* record = control->GetElement();
            ASSERT_NE(record, nullptr) << "control " << row.id;
            const std::string* caption = record->GetDescription(0);
            const Row seen{row.id,
                           record->GetGuiType().c_str(),
                           caption != nullptr ? caption->c_str() : "",
                           record->GetContainerId(),
                           record->GetLsbBit(),
                           record->GetBitLength(),
                           record->GetRelationId(),
                           record->GetDeviceTarget().c_str(),
                           record->GetDeviceNumber(),
                           record->GetRegisterAddress()};
            const bool inFloating = control->GetParentWindow() == static_cast<gui::Window*>(page->GetFloatingDialog());
            EXPECT_EQ(Describe(seen, inFloating), Describe(row, row.id >= 2000)) << "control " << row.id;
        }
        for (const Range& range : ranges) {
            const CXmlControlConainer* record = page->FindControlByKey(range.id)->GetElement();
            EXPECT_EQ((std::vector<int>{record->GetI2cStartAddress(), record->GetI2cEndAddress(), record->GetFixedValue()}),
                      (std::vector<int>{range.start, range.end, range.fixed}))
                << "control " << range.id;
        }
    }
    std::pair<std::size_t, std::size_t> Counts() const
    {
        std::pair<std::size_t, std::size_t> counts;
        for (const auto& [id, control] : page->Controls()) (id >= 2000 ? counts.second : counts.first) += 1;
        return counts;
    }

};

}  // namespace

TEST_F(BuiltInSurface, EveryControlOfBothLensDriversIsWhereTheDescriptionPutsIt)
{
    EXPECT_EQ(surfacepage::SurfaceResourceId(0x400), 175);
    EXPECT_EQ(surfacepage::SurfaceResourceId(0x401), 501);
    EXPECT_EQ(surfacepage::BuiltInSurface(0x402), std::nullopt);

    Open(0x400);
    EXPECT_EQ(Counts(), (std::pair<std::size_t, std::size_t>{90, 14}));
    CheckControls(k400, k400Ranges);
    EXPECT_EQ(page->RelationCount(), 8u);
    EXPECT_EQ((std::vector<std::uint32_t>{page->Register(0)->GetBitWidth(), page->Register(1)->GetBitWidth(),
                                          page->Register(2)->GetBitWidth(), page->Register(3)->GetBitWidth()}),
              (std::vector<std::uint32_t>{8, 8, 8, 8}));
    // The first control of relation id 1 (the chip enable check) keeps it.
    EXPECT_EQ(page->ControlOfRelation(1), page->FindControlByKey(1002));

    Open(0x401);
    EXPECT_EQ(Counts(), (std::pair<std::size_t, std::size_t>{52, 10}));
    CheckControls(k401, k401Ranges);
    EXPECT_EQ(page->RelationCount(), 9u);
    EXPECT_EQ((std::vector<std::uint32_t>{page->Register(0)->GetBitWidth(), page->Register(1)->GetBitWidth(),
                                          page->Register(2)->GetBitWidth()}),
              (std::vector<std::uint32_t>{16, 8, 8}));
    EXPECT_EQ(page->Register(3), nullptr);
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(BuiltInSurface, TheFirstDriversSequenceWindowIsNeverShownAndItsFirstRefreshFillsTheBlock)
{
    store.SelectContainer(0x400);
    store.SetValue(6, 1110010);  // the slave address as its binary digits
    store.SetValue(10, 0);
    store.SetValue(11, 0);
    Open(0x400);
    // The hidden labels set bit 6 of registers 0 and 1; the range is the first range
    // control's, all four registers.
    const I2cRecord& block = page->I2cSetting();
    EXPECT_EQ(block.address, 0x72u);
    EXPECT_EQ(page->Register(0)->GetBits(6, 1), 1u);
    EXPECT_EQ(page->Register(1)->GetBits(6, 1), 1u);
    EXPECT_EQ((std::vector<unsigned>{block.length, block.reserved[0], block.reserved[1]}), (std::vector<unsigned>{4, 0, 3}));

    // No control owns relation id 99, so no change of any control shows the window.
    EXPECT_EQ(page->ControlOfRelation(99), nullptr);
    for (const auto& [id, control] : page->Controls()) {
        for (const std::uint32_t value : {0u, 1u}) {
            control->SetValue(value);
            control->NotifyParent();
        }
    }
    EXPECT_TRUE(page->GetFloatingDialog() == nullptr || !page->GetFloatingDialog()->isShown());
}
