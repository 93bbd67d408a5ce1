// The three process-wide factories of the XML-surface page: a `gui_type` word
// makes a custom control, a register width makes register data, a
// `relation_contents` word makes a relation. The words are case-sensitive; a
// word or width a factory does not know makes nothing (null).
//
// Each factory is made on first use by its GetInstance and lives until the
// program ends. What a factory makes belongs to the caller. GUI thread only
// for the control factory; the other two have no state to share.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "surfacepage/RegisterData.h"
#include "surfacepage/Relation.h"

class CDerivedControl;

namespace gui {
class Window;
}

class CControlFactory {
public:
    // The codes of the control words.
    enum Code : int {
        kUnknown = 0,
        kLabel = 1,
        kButton = 2,
        kCheck = 3,
        kRadio = 4,
        kComboBox = 5,
        kEdit = 6,
        kSlider = 7,
        kTab = 8,
        kFrame = 9,
        kImage = 10,
        kGradation = 11,
    };

    static CControlFactory& GetInstance();
    virtual ~CControlFactory() = default;

    // The code of a `gui_type` word; kUnknown for any other.
    int CodeOf(std::string_view word) const;
    // A new control of the word's class, for `parent` with the id; its window is
    // not created yet. Null for an unknown word.
    std::unique_ptr<CDerivedControl> CreateControl(gui::Window* parent, std::string_view word,
                                                   std::uint32_t id) const;

private:
    CControlFactory();
    std::map<std::string, int, std::less<>> codes_;
};

class CRegisterDataFactory {
public:
    static CRegisterDataFactory& GetInstance();
    virtual ~CRegisterDataFactory() = default;

    // Register data for 8, 16, 32 or 64 bits; null for any other width.
    std::unique_ptr<IRegisterData> CreateRegisterData(std::int32_t width) const;

private:
    CRegisterDataFactory() = default;
};

class CRelationFactory {
public:
    enum Code : int {
        kUnknown = 0,
        kDescription = 1,
        kParameter = 2,
        kRange = 3,
        kEnableState = 4,
        kVisibleState = 5,
        kShowWindow = 6,
        kHideWindow = 7,
        kOutFreq = 8,
        kStopFreq = 21,
    };

    static CRelationFactory& GetInstance();
    virtual ~CRelationFactory() = default;

    int CodeOf(std::string_view word) const;
    // A new relation of the word's class; null for an unknown word.
    std::unique_ptr<IRelation> CreateRelation(std::string_view word) const;

private:
    CRelationFactory();
    std::map<std::string, int, std::less<>> codes_;
};
