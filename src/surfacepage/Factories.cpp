#include "surfacepage/Factories.h"

#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/InputControls.h"
#include "ui/SliderControl.h"

namespace {

int Lookup(const std::map<std::string, int, std::less<>>& codes, std::string_view word)
{
    const auto found = codes.find(word);
    return found != codes.end() ? found->second : 0;
}

}  // namespace

CControlFactory& CControlFactory::GetInstance()
{
    static CControlFactory instance;
    return instance;
}

CControlFactory::CControlFactory()
    : codes_{{"label", kLabel},   {"button", kButton}, {"check", kCheck}, {"radio", kRadio},
             {"combobox", kComboBox}, {"edit", kEdit}, {"slider", kSlider}, {"tab", kTab},
             {"frame", kFrame},   {"image", kImage},   {"gradation", kGradation}}
{
}

int CControlFactory::CodeOf(std::string_view word) const { return Lookup(codes_, word); }

std::unique_ptr<CDerivedControl> CControlFactory::CreateControl(gui::Window* parent, std::string_view word,
                                                                std::uint32_t id) const
{
    switch (CodeOf(word)) {
    case kLabel: return std::make_unique<CDerivedLabel>(parent, id);
    case kButton: return std::make_unique<CDerivedButton>(parent, id);
    case kCheck: return std::make_unique<CDerivedCheckButton>(parent, id);
    case kRadio: return std::make_unique<CDerivedRadioButton>(parent, id);
    case kComboBox: return std::make_unique<CDerivedComboBox>(parent, id);
    case kEdit: return std::make_unique<CDerivedEdit>(parent, id);
    case kSlider: return std::make_unique<CDerivedSlider>(parent, id);
    case kTab: return std::make_unique<CDerivedTab>(parent, id);
    case kFrame: return std::make_unique<CDerivedFrame>(parent, id);
    case kImage: return std::make_unique<CDerivedImageLabel>(parent, id);
    case kGradation: return std::make_unique<CDerivedColorLabel>(parent, id);
    default: return nullptr;
    }
}

CRegisterDataFactory& CRegisterDataFactory::GetInstance()
{
    static CRegisterDataFactory instance;
    return instance;
}

std::unique_ptr<IRegisterData> CRegisterDataFactory::CreateRegisterData(std::int32_t width) const
{
    switch (width) {
    case 8: return std::make_unique<CRegisterData8>();
    case 16: return std::make_unique<CRegisterData16>();
    case 32: return std::make_unique<CRegisterData32>();
    case 64: return std::make_unique<CRegisterData64>();
    default: return nullptr;
    }
}

CRelationFactory& CRelationFactory::GetInstance()
{
    static CRelationFactory instance;
    return instance;
}

CRelationFactory::CRelationFactory()
    : codes_{{"description", kDescription}, {"parameter", kParameter},   {"range", kRange},
             {"enable_state", kEnableState}, {"visible_state", kVisibleState}, {"show_window", kShowWindow},
             {"hide_window", kHideWindow},   {"out_freq", kOutFreq},       {"stop_freq", kStopFreq}}
{
}

int CRelationFactory::CodeOf(std::string_view word) const { return Lookup(codes_, word); }

std::unique_ptr<IRelation> CRelationFactory::CreateRelation(std::string_view word) const
{
    switch (CodeOf(word)) {
    case kDescription: return std::make_unique<CRelationDescription>();
    case kParameter: return std::make_unique<CRelationParameter>();
    case kRange: return std::make_unique<CRelationRange>();
    case kEnableState: return std::make_unique<CRelationEnableState>();
    case kVisibleState: return std::make_unique<CRelationVisibility>();
    case kShowWindow: return std::make_unique<CRelationShowWindow>();
    case kHideWindow: return std::make_unique<CRelationHideWindow>();
    case kOutFreq: return std::make_unique<CRelationFreq>();
    case kStopFreq: return std::make_unique<CRelationStop>();
    default: return nullptr;
    }
}
