#include "surface/SurfaceReader.h"

#include "platform/core/Debug.h"
#include "surface/SurfaceText.h"

#include <array>

namespace surface {
namespace {

using namespace std::string_view_literals;

template <typename Visit>
void forEachChildElement(const CDerivedXmlElement& parent, Visit visit)
{
    for (int i = 0; i < parent.GetChildCount(); ++i) {
        if (const CDerivedXmlElement* child = AsElement(parent.GetChild(i))) {
            visit(*child);
        }
    }
}

}  // namespace

SectionCode SectionCodeOf(std::string_view word)
{
    if (word == "registerlist") {
        return kSectionRegisterList;
    }
    if (word == "relationlist") {
        return kSectionRelationList;
    }
    if (word == "controls") {
        return kSectionControls;
    }
    if (word == "initiallist") {
        return kSectionInitialList;
    }
    return kSectionUnknown;
}

std::int32_t IdBaseOf(const std::string* parentName)
{
    if (parentName == nullptr || *parentName == "standard") {
        return kIdBaseStandard;
    }
    if (*parentName == "floating") {
        return kIdBaseFloating;
    }
    if (*parentName == "tachometer") {
        return kIdBaseTachometer;
    }
    if (*parentName == "speedcurve") {
        return kIdBaseSpeedCurve;
    }
    return kIdBaseNone;
}

std::vector<RegisterDecl> ReadRegisterList(const CDerivedXmlElement& section)
{
    std::vector<RegisterDecl> registers;
    int position = 0;
    forEachChildElement(section, [&](const CDerivedXmlElement& element) {
        static constexpr std::array kWords = {"address"sv, "bitlength"sv};
        std::array<const CDerivedXmlElement*, kWords.size()> found{};
        element.FindElements(kWords, found);
        const std::string* address = FirstChildText(found[0]);
        const std::string* bitLength = FirstChildText(found[1]);
        if (address == nullptr || bitLength == nullptr) {
            platform::debugOut("surface: register " + std::to_string(position) + " has no " +
                               (address == nullptr ? "address" : "bitlength") + "; skipped\n");
        } else {
            registers.push_back({surfacetext::ParseNumber(*address), surfacetext::ParseNumber(*bitLength)});
        }
        ++position;
    });
    return registers;
}

std::vector<RelationDecl> ReadRelationList(const CDerivedXmlElement& section)
{
    std::vector<RelationDecl> relations;
    int position = 0;
    forEachChildElement(section, [&](const CDerivedXmlElement& element) {
        static constexpr std::array kWords = {"relation_contents"sv, "owner_id"sv, "destination_id"sv, "parentname"sv,
                                              "datalist"sv};
        std::array<const CDerivedXmlElement*, kWords.size()> found{};
        element.FindElements(kWords, found);
        const std::string* contents = FirstChildText(found[0]);
        if (contents == nullptr) {
            platform::debugOut("surface: relation " + std::to_string(position) +
                               " has no relation_contents; skipped\n");
            ++position;
            return;
        }
        RelationDecl relation;
        relation.contents = surfacetext::FirstToken(*contents);
        if (const std::string* text = FirstChildText(found[1])) {
            relation.ownerIds = *text;
        }
        if (const std::string* text = FirstChildText(found[2])) {
            relation.destinationIds = *text;
        }
        if (const std::string* text = FirstChildText(found[3])) {
            relation.parentName = surfacetext::FirstToken(*text);
        }
        if (const CDerivedXmlElement* list = found[4]) {
            forEachChildElement(*list, [&](const CDerivedXmlElement& item) {
                const std::string* text = FirstChildText(&item);
                relation.data.push_back(text != nullptr ? *text : std::string());
            });
        }
        relations.push_back(std::move(relation));
        ++position;
    });
    return relations;
}

ControlsBlockDecl ReadControlsBlock(const CDerivedXmlElement& section)
{
    ControlsBlockDecl block;
    if (const std::string* parent = AttributeText(&section, "parent")) {
        block.parentName = *parent;
    }
    block.idBase = IdBaseOf(block.parentName ? &*block.parentName : nullptr);
    std::int32_t position = 0;
    forEachChildElement(section, [&](const CDerivedXmlElement& element) {
        ControlDecl control;
        control.id = block.idBase + position;
        control.record = std::make_unique<CXmlControlConainer>();
        control.record->Fill(element);
        block.controls.push_back(std::move(control));
        ++position;
    });
    return block;
}

}  // namespace surface
