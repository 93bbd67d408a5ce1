// Reading the sections of a device surface into plain declarations.
//
// A surface's root element (its name is not checked) holds, in any order,
// "registerlist", "relationlist", one or more "controls" blocks and an
// "initiallist" that carries nothing; other sections are ignored. The page
// turns the declarations into register data, relations and controls.
#pragma once

#include "surface/XmlControlConainer.h"
#include "surface/XmlEntry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace surface {

enum SectionCode : int {
    kSectionUnknown = 0,
    kSectionRegisterList = 256,
    kSectionRelationList = 512,
    kSectionControls = 768,
    kSectionInitialList = 1024,
};

// The code of a section word (case-sensitive); kSectionUnknown for others.
SectionCode SectionCodeOf(std::string_view word);

// Control ids of a block are its id base plus the control's position.
enum ControlsIdBase : std::int32_t {
    kIdBaseNone = 0,
    kIdBaseStandard = 1000,
    kIdBaseFloating = 2000,
    kIdBaseTachometer = 3000,
    kIdBaseSpeedCurve = 4000,
};

// The id base of a `controls` block by its `parent` name: absent or
// "standard" 1000, "floating" 2000, "tachometer" 3000, "speedcurve" 4000,
// any other name 0.
std::int32_t IdBaseOf(const std::string* parentName);

struct RegisterDecl {
    std::int32_t address = 0;
    std::int32_t bitLength = -1;
};

// Every <register> that gives both `address` and `bitlength`, in order. A
// register missing either is skipped with a debug line (rather than taking
// the values of the register before it).
std::vector<RegisterDecl> ReadRegisterList(const CDerivedXmlElement& section);

struct RelationDecl {
    std::string contents;                       // `relation_contents`
    std::optional<std::string> ownerIds;        // `owner_id`
    std::optional<std::string> destinationIds;  // `destination_id`
    std::optional<std::string> parentName;      // `parentname`
    std::vector<std::string> data;              // the texts of `datalist`, in order
};

// Every <relation> that names its `relation_contents`, in order; one without
// it is skipped with a debug line. A <data> without text gives an empty text,
// so the later items keep their positions.
std::vector<RelationDecl> ReadRelationList(const CDerivedXmlElement& section);

struct ControlDecl {
    std::int32_t id = 0;  // id base + position in the block
    std::unique_ptr<CXmlControlConainer> record;
};

struct ControlsBlockDecl {
    std::optional<std::string> parentName;  // the `parent` attribute
    std::int32_t idBase = kIdBaseStandard;
    std::vector<ControlDecl> controls;      // one per child element, in order
};

// A `controls` block: every child element is a control and uses up its
// position, whatever its `gui_type`; the record is filled from it.
ControlsBlockDecl ReadControlsBlock(const CDerivedXmlElement& section);

}  // namespace surface
