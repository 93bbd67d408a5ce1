// The XML surfaces: the parser, the module's load, and the readers of a surface's
// sections (registers, relations, control records with their formulas). Invariants: a
// text parses the same way every time (the same tree, or the same error), the module
// stores a document exactly when the parser accepts it, a failure always says why, and
// the section readers and each control's evaluators give the same results twice.
#include <cmath>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "data/Mathematics.h"
#include "surface/SurfaceReader.h"
#include "surface/XmlModule.h"
#include "surface/XmlParser.h"

namespace {

void DumpEntry(const IXmlEntry& entry, std::string& out, int depth) {
    out += std::to_string(entry.GetType()) + ':' + entry.GetName() + '\x01';
    const CDerivedXmlElement* element = AsElement(&entry);
    if (element == nullptr) return;
    FUZZ_EXPECT(depth <= CDerivedParser::kMaxDepth + 1, "a tree %d levels deep was accepted", depth);
    for (const std::string& name : element->GetAttributeNames()) {
        const IXmlEntry* value = element->GetAttribute(name);
        FUZZ_EXPECT(value != nullptr, "attribute \"%s\" listed without a value", name.c_str());
        out += '@' + name + '=' + value->GetName() + '\x01';
    }
    out += '{';
    for (int i = 0; i < element->GetChildCount(); ++i) {
        const IXmlEntry* child = element->GetChild(i);
        FUZZ_EXPECT(child != nullptr, "child %d of %d is null", i, element->GetChildCount());
        DumpEntry(*child, out, depth + 1);
    }
    out += '}';
}

// Everything the readers make of the sections, as text.
std::string ReadSections(const CDerivedXmlElement& root) {
    std::string out;
    for (int i = 0; i < root.GetChildCount(); ++i) {
        const CDerivedXmlElement* section = AsElement(root.GetChild(i));
        if (section == nullptr) continue;
        switch (surface::SectionCodeOf(section->GetName())) {
            case surface::kSectionRegisterList:
                for (const auto& r : surface::ReadRegisterList(*section))
                    out += "R" + std::to_string(r.address) + "," + std::to_string(r.bitLength) + ";";
                break;
            case surface::kSectionRelationList:
                for (const auto& r : surface::ReadRelationList(*section)) {
                    out += "L" + r.contents + "|" + r.ownerIds.value_or("-") + "|" + r.destinationIds.value_or("-") +
                           "|" + r.parentName.value_or("-");
                    for (const auto& d : r.data) out += "|" + d;
                    out += ";";
                }
                break;
            case surface::kSectionControls: {
                const surface::ControlsBlockDecl block = surface::ReadControlsBlock(*section);
                out += "C" + std::to_string(block.idBase) + ":";
                for (const auto& c : block.controls) {
                    const CXmlControlConainer& rec = *c.record;
                    FUZZ_EXPECT(rec.GetContainerId() >= -1 && rec.GetContainerId() < CXmlControlConainer::kContainerIdCount,
                                "control %d bound to data word %d", c.id, rec.GetContainerId());
                    FUZZ_EXPECT(rec.GetLsbBit() >= -1 && rec.GetLsbBit() <= 31 && rec.GetBitLength() >= 0 &&
                                    rec.GetBitLength() <= 32 &&
                                    (rec.GetLsbBit() < 0 || rec.GetLsbBit() + rec.GetBitLength() <= 32),
                                "control %d has the bit field %d/%d", c.id, rec.GetLsbBit(), rec.GetBitLength());
                    out += std::to_string(c.id) + "=" + rec.GetGuiType() + "/" + std::to_string(rec.GetContainerId()) +
                           "/" + std::to_string(rec.GetDeviceNumber()) + "/" + rec.GetDeviceTarget() + "/" +
                           std::to_string(rec.GetProblems().size());
                    for (int list : {CXmlControlConainer::kReceiveList, CXmlControlConainer::kSendList}) {
                        CDerivedMathematics m;
                        m.Parse(list, &rec);
                        m.SetVariable(c.id);
                        const double v = m.Evaluate();
                        char text[40];
                        std::snprintf(text, sizeof text, "%a", v);
                        out += std::string("/") + text;
                    }
                    out += ";";
                }
                break;
            }
            default:
                break;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CDerivedParser first, second;
    const int ok = first.ParseResource(data, size, nullptr, "fuzz");
    FUZZ_EXPECT(second.ParseResource(data, size, nullptr, "fuzz") == ok, "the second parse disagrees (first %d)", ok);
    if (!ok) {
        FUZZ_EXPECT(first.GetLastError().code != kXmlErrorNone && !first.GetLastError().message.empty(),
                    "a refused text without a reason (code 0x%X)", first.GetLastError().code);
        FUZZ_EXPECT(first.GetLastError().code == second.GetLastError().code &&
                        first.GetLastError().offset == second.GetLastError().offset,
                    "two parses fail differently: 0x%X at %td, 0x%X at %td", first.GetLastError().code,
                    first.GetLastError().offset, second.GetLastError().code, second.GetLastError().offset);
    } else {
        FUZZ_EXPECT(first.GetRoot() != nullptr && second.GetRoot() != nullptr, "a parse without a root");
        std::string a, b;
        DumpEntry(*first.GetRoot(), a, 0);
        DumpEntry(*second.GetRoot(), b, 0);
        FUZZ_EXPECT(a == b, "two parses give different trees (%zu and %zu bytes)", a.size(), b.size());
        const std::string sectionsA = ReadSections(*first.GetRoot());
        FUZZ_EXPECT(sectionsA == ReadSections(*second.GetRoot()), "the sections read differently the second time");
    }

    // The module stores exactly what the parser accepts, once.
    XmlInitialize();
    const XmlLoadResult loaded = XmlLoad(data, size, "fuzz");
    FUZZ_EXPECT(loaded == (ok ? XmlLoadResult::Loaded : XmlLoadResult::Failed), "module load %d, parser %d",
                static_cast<int>(loaded), ok);
    FUZZ_EXPECT((XmlFind("fuzz") != nullptr) == (ok == 1), "a document stored %s", ok ? "not" : "although refused");
    if (ok) FUZZ_EXPECT(XmlLoad(data, size, "fuzz") == XmlLoadResult::AlreadyLoaded, "a second load replaced the first");
    XmlRemove("fuzz");
    return 0;
}
