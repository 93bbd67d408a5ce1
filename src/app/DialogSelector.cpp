#include "app/DialogSelector.h"

#include <cstdlib>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "app/Trace.h"
#include "pages/bldc/BldcPage.h"
#include "pages/dc/DcPage.h"
#include "pages/dual/DualPage.h"
#include "pages/stepper/StepperPage.h"
#include "platform/core/Debug.h"
#include "platform/gui/Dialog.h"
#include "surfacepage/BuiltInSurfaces.h"
#include "surfacepage/LensPage.h"

namespace {

// The profiles: the device keys that share one profile, and its non-zero slots written
// as "slot: word" or "first-last: word" (word in hexadecimal). Every other slot is 0.
struct ProfileRow {
    std::array<std::uint32_t, 4> keys;  // unused places are 0, which is no device's key
    std::string_view entries;
};

// clang-format off
const ProfileRow kProfileRows[] = {
    {{0x100}, "0: 2001, 4: 6001, 5: 2001, 7-8: 2001, 9-11: A001, 12-18: 2001, 20-23: 2001, 43: 0031, 44-47: 0081, 49: 0081, 50: 0031, 51: 0041, 52: 2081, 54: 0001"},
    {{0x101, 0x104}, "0-1: 2001, 2: 0001, 3: 3101, 4: 6001, 5-8: 2001, 9-11: B001, 12-13: 3001, 17: 3002, 18: 2002, 19: 2001, 20-23: 3001, 24-40: 3101, 42: 3101, 43: 0036, 44: 0081, 47: 0081, 48: 3181, 50: 0031, 51: 0041, 52: 3081, 53: 3181, 54: 0001"},
    {{0x102}, "0: 2002, 3: 2001, 4: 6001, 5-8: 2001, 24-25: 2002, 26: 2001, 27: 2002, 29-40: 2002, 42: 2002, 43: 0034, 44: 0081, 47: 0081, 50: 0031, 51: 0041, 52: 2081, 54: 0001"},
    {{0x103}, "0: 2002, 3: 2001, 7-8: 2001, 24-25: 2002, 26: 2001, 27: 2002, 29-40: 2002, 42: 2002, 43: 0034, 44: 0081, 50: 0031, 51: 0041, 52: 2081, 54: 0001"},
    {{0x105}, "0: 2001, 4: 6001, 5: 2001, 7-8: 2001, 9-11: A001, 20: 2001, 22: 3001, 23: 2001, 43: 0034, 44: 0081, 50: 0031, 51: 0041, 52: 2081, 54: 0001, 55-65: 2001, 67-68: 2001"},
    {{0x106}, "0: 2002, 1: 6001, 2-4: 2001, 5-7: 2002, 8-9: 6001, 10-12: 2001, 13-15: 2002, 16: 6001, 17-18: 2001, 20: 6001, 21-52: 2002, 53: 6001, 54-86: 2002, 87: 0002, 88-89: 2002, 90: 0002, 91: 2002, 92: 0002, 93-94: 2002, 95: 2001, 96-97: 0001, 98-99: 2002, 100: 0034, 101: 0081, 102: 0031, 103: 0041, 104-106: 2081"},
    {{0x107, 0x108, 0x109}, "3: 2001, 24-25: 2002, 26: 2001, 27: 2002, 29-40: 2002, 41: 2001, 42: 2002, 43: 0034, 44: 0081, 50: 0031, 51: 0001, 52: 2081, 54: 0011"},
    {{0x10A, 0x10B, 0x10C}, "0: 2002, 3: 2001, 24-25: 2002, 26: 2001, 27: 2002, 29-40: 2002, 41: 2001, 42: 2002, 43: 0034, 44: 0081, 50: 0031, 51: 0001, 52: 2081, 54: 0011"},
    {{0x200, 0x203}, "0-5: 2001, 7-8: 2001, 9-13: 0001, 14-19: 2001, 20-23: 0001"},
    {{0x201}, "0: 2002, 1-5: 2001, 7-8: 2001, 9-11: 0001, 14-18: 2001, 20-23: 0001"},
    {{0x202}, "0: 2002, 1-5: 2001, 7-8: 2001, 14-17: 2001, 21-23: 0001"},
    {{0x207, 0x208, 0x209}, "1-5: 2001, 7-8: 2001, 21-24: 0001"},
    {{0x300}, "0: 6001, 4: 6001, 5: 2001, 6: A001, 7: 0001, 8: A001, 9: 0001, 12: 2002, 14: 2001, 16: 0033, 17: 1001, 18: B001, 19: 3001, 22: 0031, 23-27: 0001, 29: 3001"},
    {{0x301}, "0: 2001, 12: 2001, 14: 2001, 16: 0031, 17: 1001, 18: B001, 19: 3001, 22: 0031, 23-24: 0001, 26-27: 0001, 29: 3001"},
    {{0x302}, "12: 2003, 14: 2001, 15: 0001, 16: 0031, 17: 1001, 18: B001, 19: 3001, 22: 0031, 23-24: 0001, 26: 0001, 28: 2001, 29: 3001"},
    {{0x303}, "12: 2003, 14: 2001, 15: 0001, 16: 0031, 17: 1001, 18: B001, 19: 3001, 21: 1001, 22: 0031, 23-24: 0001, 26: 0001, 28: 2001, 29: 3001"},
    {{0x304}, "0: 6002, 4: 6002, 5: 0002, 6: A002, 7: 0002, 16: 0031, 17: 1001, 18: B001, 19: 3001, 21: 1001, 22: 0031, 23-27: 0001, 29: 3001"},
    {{0x305}, "16: 0031, 17: 1001, 18: B001, 19: 3001, 21: 1001, 22: 0031, 23-24: 0001, 26: 0001, 28: 2002, 29: 3001, 30-32: 2001"},
    {{0x306}, "1-2: 2001, 4-5: 2003, 13-14: 2001, 15: 0001, 16: 0033, 17: 1001, 18: B001, 19: 3001, 20: 1002, 22: 0031, 23: 0001, 25-26: 0001, 29: 3001"},
    {{0x307}, "0: 6001, 4-5: 2004, 10: 2001, 12: 2001, 14: 2001, 16: 0033, 17: 1001, 18: B001, 19: 3001, 22: 0031, 23: 0001, 25-26: 0001, 29: 3001"},
    {{0x308}, "4-5: 2001, 6: A003, 7: 0003, 12: 2001, 14: 2001, 16: 0031, 17: 1001, 18: B001, 19: 3001, 22: 0031, 23: 0001, 25-27: 0001, 29: 3001"},
    {{0x400, 0x401, 0x402, 0x403}, "0: 2001, 3: 6001, 4: 2001, 6-7: 2001, 8: 0031, 9-11: 0081, 12: 0082, 13: 0081, 14-16: A041, 23-24: 2001, 26-30: 2001, 32: 2001, 51: 0031, 52: 0001, 54: 2081"},
    {{0x500}, "0: 2001, 3: 6001, 4: 2001, 6-7: 2001, 8: 0031, 9-11: 0081, 12: 0082, 13: 0081, 14-16: A041, 18-19: 2001, 21-25: 2001, 27: 2001, 46: 0031, 47: 0001, 49: 2081"},
};
// clang-format on

bool ParseNumber(std::string_view& text, int base, unsigned long& out) {
    std::size_t n = 0;
    while (n < text.size()) {
        const auto c = static_cast<unsigned char>(text[n]);
        if ((base == 16 ? std::isxdigit(c) : std::isdigit(c)) == 0) break;
        ++n;
    }
    if (n == 0 || n > 8) return false;
    const std::string digits(text.substr(0, n));
    char* end = nullptr;
    out = std::strtoul(digits.c_str(), &end, base);
    if (end == nullptr || *end != '\0') return false;
    text.remove_prefix(n);
    return true;
}

void SkipBlanks(std::string_view& text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
}

// Fills the profile from a row's slot list; false (and the profile left partly filled)
// for a malformed list, which only a broken table can give.
bool FillProfile(std::string_view text, ControlProfile& profile) {
    while (true) {
        SkipBlanks(text);
        if (text.empty()) return true;
        unsigned long first = 0, last = 0, word = 0;
        if (!ParseNumber(text, 10, first)) return false;
        last = first;
        if (!text.empty() && text.front() == '-') {
            text.remove_prefix(1);
            if (!ParseNumber(text, 10, last)) return false;
        }
        if (text.empty() || text.front() != ':') return false;
        text.remove_prefix(1);
        SkipBlanks(text);
        if (!ParseNumber(text, 16, word) || word > 0xFFFFu) return false;
        if (first > last || last >= kProfileSlots) return false;
        for (unsigned long slot = first; slot <= last; ++slot) profile[slot] = static_cast<std::uint16_t>(word);
        SkipBlanks(text);
        if (text.empty()) return true;
        if (text.front() != ',') return false;
        text.remove_prefix(1);
    }
}

}  // namespace

PageClass PageClassFor(std::uint32_t kind, std::uint32_t index) {
    switch (kind) {
        case 1:
            if (index == 6) return PageClass::StepperDual;
            return index <= 12 ? PageClass::Stepper : PageClass::None;
        case 2:
            return index <= 3 || (index >= 7 && index <= 9) ? PageClass::DC : PageClass::None;
        case 3:
            return index <= 9 ? PageClass::BLDC : PageClass::None;
        case 4:
            return index <= 3 ? PageClass::Lens : PageClass::None;
        default:
            return PageClass::None;
    }
}

CDialogSelector::CDialogSelector() { BuildProfiles(); }

CDialogSelector::~CDialogSelector() { DeleteDialogPointer(); }

void CDialogSelector::BuildProfiles() {
    for (const ProfileRow& row : kProfileRows) {
        ControlProfile words{};
        if (!FillProfile(row.entries, words)) {
            platform::debugOutf("CDialogSelector: malformed profile row \"%.*s\"\n", static_cast<int>(row.entries.size()),
                                row.entries.data());
        }
        for (const std::uint32_t key : row.keys) {
            if (key != 0) profiles_[key] = std::make_unique<ControlProfile>(words);
        }
    }
}

const ControlProfile* CDialogSelector::Profile(std::uint32_t key) const {
    const auto it = profiles_.find(key);
    return it != profiles_.end() ? it->second.get() : nullptr;
}

gui::Dialog* CDialogSelector::GetDialogPointer(gui::Window* owner, std::uint32_t kind, std::uint32_t index,
                                               const QString& name) {
    AppTrace("CDialogSelector::GetDialogPointer (entry)");
    DeleteDialogPointer();
    page_ = ConcreteProfile(PageClassFor(kind, index), owner, kind, index, name);
    AppTrace("CDialogSelector::GetDialogPointer (end)");
    return page_.get();
}

std::unique_ptr<gui::Dialog> CDialogSelector::ConcreteProfile(PageClass pageClass, gui::Window* owner,
                                                              std::uint32_t kind, std::uint32_t index,
                                                              const QString& name) {
    AppTrace("CDialogSelector::ConcreteProfile (entry / template)");
    const std::uint32_t key = (kind & 0xFFu) << 8 | (index & 0xFFu);
    const ControlProfile* profile = Profile(key);
    std::unique_ptr<gui::Dialog> page;
    if (profile != nullptr) {
        // Each page class is constructed here, given its owner (which receives the
        // page's 0x8020 and 0x8300), its device key, its profile and its name, and
        // created modeless and hidden without a parent.
        switch (pageClass) {
            case PageClass::Stepper:
                page = std::make_unique<CDeviceDialog_Stepper>(static_cast<std::int32_t>(key), profile->data(), name);
                break;
            case PageClass::BLDC:
                page = std::make_unique<CDeviceDialog_BLDC>(static_cast<std::int32_t>(key), profile->data(), name);
                break;
            case PageClass::StepperDual:
                page = std::make_unique<CDeviceDialog_StepperDual>(static_cast<std::int32_t>(key), profile->data(), name);
                break;
            case PageClass::DC:
                page = std::make_unique<CDeviceDialog_DC>(static_cast<std::int32_t>(key), profile->data(), name);
                break;
            case PageClass::Lens:
                // Built from its surface: only the drivers that have one get a page.
                if (surfacepage::SurfaceResourceId(static_cast<std::int32_t>(key)) != 0) {
                    auto lens = std::make_unique<CDeviceDialog_Lens>(surfacepage::BuiltInSurface);
                    lens->SetDeviceInfo(static_cast<std::int32_t>(key), profile->data(), name);
                    page = std::move(lens);
                }
                break;
            case PageClass::None:
                break;
        }
        if (auto* derived = dynamic_cast<CDerivedDialog*>(page.get())) {
            derived->SetOwnerWindow(owner != nullptr ? owner->handle() : gui::Handle{0});
            if (!derived->createModeless(nullptr)) page.reset();
        }
    }
    AppTrace("CDialogSelector::ConcreteProfile (end / template)");
    return page;
}

int CDialogSelector::DeleteDialogPointer() {
    AppTrace("CDialogSelector::DeleteDialogPointer (entry)");
    if (!page_) {
        AppTrace("CDialogSelector::DeleteDialogPointer (end)");
        return 0;
    }
    // The page may be inside one of its own handlers (a message box); it is destroyed
    // now and freed once that handler has returned.
    gui::deleteLater(std::move(page_));
    return 1;
}
