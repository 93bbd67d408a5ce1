#include "app/DeviceTable.h"

namespace devicetable {

const std::vector<Entry>& FullList() {
    static const std::vector<Entry> list = {
        {MakeCode(0, 0), "----------"},
        {MakeCode(1, 0), "KT3310"},
        {MakeCode(1, 1), "KT3321(Stepper)"},
        {MakeCode(1, 2), "KT3332(Stepper)"},
        {MakeCode(1, 3), "KT3343(Stepper)"},
        {MakeCode(1, 4), "KT3354(Stepper)"},
        {MakeCode(1, 5), "KT3365(Stepper)"},
        {MakeCode(1, 6), "KT3376A"},
        {MakeCode(1, 7), "KT3387(Stepper)"},
        {MakeCode(1, 8), "KT3398(Stepper)"},
        {MakeCode(1, 9), "KT3409(Stepper)"},
        {MakeCode(1, 10), "KT3410(Stepper)"},
        {MakeCode(1, 11), "KT3421(Stepper)"},
        {MakeCode(1, 12), "KT3432(Stepper)"},
        {MakeCode(2, 0), "KT3321(DC)"},
        {MakeCode(2, 1), "KT3332(DC)"},
        {MakeCode(2, 2), "KT3343(DC)"},
        {MakeCode(2, 3), "KT3354(DC)"},
        {MakeCode(2, 7), "KT3387(DC)"},
        {MakeCode(2, 8), "KT3398(DC)"},
        {MakeCode(2, 9), "KT3409(DC)"},
        {MakeCode(3, 0), "KT3443"},
        {MakeCode(3, 1), "KT3454/56"},
        {MakeCode(3, 2), "KT3465"},
        {MakeCode(3, 3), "KT3476"},
        {MakeCode(3, 4), "KT3487"},
        {MakeCode(3, 5), "KT3498"},
        {MakeCode(3, 6), "KT3509"},
        {MakeCode(3, 7), "KT3510"},
        {MakeCode(3, 8), "KT3521"},
        {MakeCode(4, 0), "KT3532"},
        {MakeCode(4, 1), "KT3543"},
        {MakeCode(5, 1), "KT3376"},
    };
    return list;
}

const std::vector<std::string>& MotorTypes() {
    static const std::vector<std::string> types = {"----------", "Stepper", "DC", "BLDC", "Lens"};
    return types;
}

KeyRange RangeForMotorType(int selection) {
    switch (selection) {
        case 0: return {0x000, 0x499};
        case 1: return {0x100, 0x199};
        case 2: return {0x200, 0x299};
        case 3: return {0x300, 0x399};
        case 4: return {0x400, 0x499};
        default: return {0x000, 0x000};
    }
}

std::optional<FirmwareNeed> FirmwareFor(std::uint32_t kind, std::uint32_t index) {
    if ((kind == 1 && index == 6) || (kind == 5 && index == 1)) return FirmwareNeed{0x2113, 0x1216, 305, 211, false};
    if (kind == 3 && index == 1) return FirmwareNeed{0x2004, 0x1005, 305, 255, true};
    if (kind == 4 && index == 0) return FirmwareNeed{0x2113, 0x1418, 305, 170, false};
    if (kind >= 1 && kind <= 4) return FirmwareNeed{0x2113, 0x1319, 305, 255, false};
    return std::nullopt;
}

}  // namespace devicetable
