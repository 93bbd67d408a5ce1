// What an XML-surface page builds from its surface, read and checked before any
// window is made: the register images by address, the relations in list order
// (with the parent name each names, for the page to turn into a window) and the
// control records with their ids.
//
// Every index a surface gives is checked here, once, and each refusal is said
// in a sentence that names the surface and the register, relation or control
// ("Surface "lens 0x400", control 1023: ..."), written to the debug output and
// kept in `problems`. What a refused value leaves is a documented fallback:
// - a data word outside 0..127, a bit field outside bits 0..31: the control is
//   bound to no data word (the control record refuses them);
// - a channel, port or input number outside the board's: the control stores
//   its value and drives nothing (the record drops its target);
// - a register field outside its register, a register or fixed-pattern target
//   naming no register, an I2C range backwards or holding more than the 60 data
//   bytes one frame carries: likewise, the target is dropped;
// - a gui_type that names no control, a control id used twice, a block whose
//   parent names no window: no control is made (its position is still used);
// - a register width other than 8, 16, 32, 64, an address given twice: no
//   register (the first of an address stays);
// - a relation word the factory does not know, a <relation> without one: no
//   relation.
// A surface that could not be parsed gives read == false and its parser's error.
//
// GUI thread only (the relation factory's relations act on windows later).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "surface/XmlControlConainer.h"
#include "surface/XmlEntry.h"
#include "surfacepage/RegisterData.h"
#include "surfacepage/Relation.h"

namespace surfacepage {

using RegisterMap = std::map<std::int32_t, std::unique_ptr<IRegisterData>>;

struct SurfaceRelation {
    std::unique_ptr<IRelation> relation;
    std::optional<std::string> parentName;  // `parentname`: the window it shows or hides
};

struct SurfaceControl {
    std::int32_t id = 0;                    // the block's id base + position
    std::optional<std::string> parentName;  // the block's `parent`
    std::unique_ptr<CXmlControlConainer> record;
};

struct SurfaceContent {
    std::string name;   // how the problems name the surface
    bool read = false;  // false when there was no document to read
    RegisterMap registers;
    std::vector<SurfaceRelation> relations;  // `relationlist` order
    std::vector<SurfaceControl> controls;    // document order; only those a page makes
    std::vector<std::string> problems;
};

// Reads and checks a surface's document element. A null root (the document
// could not be parsed) gives read == false and one problem with the XML
// module's last error.
SurfaceContent ReadSurface(const CDerivedXmlElement* root, std::string_view name);

// The data bytes an I2C request carries for the registers from `first` to
// `last` inclusive (a register missing from the map carries none); -1 for a
// backward range.
std::int64_t RangeByteCount(const RegisterMap& registers, std::int32_t first, std::int32_t last);

// The most data bytes one I2C frame carries (the board link refuses more).
inline constexpr std::int64_t kMaxI2cRangeBytes = 60;

}  // namespace surfacepage
