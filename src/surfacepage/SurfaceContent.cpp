#include "surfacepage/SurfaceContent.h"

#include <set>

#include "platform/core/Debug.h"
#include "surface/SurfaceReader.h"
#include "surface/XmlModule.h"
#include "surfacepage/Factories.h"

namespace surfacepage {

namespace {

class Reader {
public:
    explicit Reader(SurfaceContent& content) : content_(content) {}

    void Problem(const std::string& subject, const std::string& text)
    {
        std::string line = "Surface \"" + content_.name + "\"";
        if (!subject.empty()) line += ", " + subject;
        line += ": " + text;
        platform::debugOut(line + "\n");
        content_.problems.push_back(std::move(line));
    }

    void Registers(const CDerivedXmlElement& section)
    {
        for (const surface::RegisterDecl& decl : surface::ReadRegisterList(section)) {
            const std::string subject = "register " + std::to_string(decl.address);
            std::unique_ptr<IRegisterData> data = CRegisterDataFactory::GetInstance().CreateRegisterData(decl.bitLength);
            if (data == nullptr) {
                Problem(subject, "width " + std::to_string(decl.bitLength) + " is not 8, 16, 32 or 64; no register is made");
                continue;
            }
            if (!content_.registers.emplace(decl.address, std::move(data)).second) {
                Problem(subject, "is declared twice; the first declaration stays");
            }
        }
    }

    void Relations(const CDerivedXmlElement& section)
    {
        const std::vector<surface::RelationDecl> decls = surface::ReadRelationList(section);
        const int elements = ElementCount(section);
        if (static_cast<std::size_t>(elements) > decls.size()) {
            Problem("relationlist", std::to_string(static_cast<std::size_t>(elements) - decls.size()) +
                                        " relation(s) without relation_contents are skipped");
        }
        int position = 0;
        for (const surface::RelationDecl& decl : decls) {
            ++position;
            std::unique_ptr<IRelation> relation = CRelationFactory::GetInstance().CreateRelation(decl.contents);
            if (relation == nullptr) {
                Problem("relation \"" + decl.contents + "\" (" + std::to_string(position) + ". with a word)",
                        "is no relation word; the relation is skipped");
                continue;
            }
            if (decl.ownerIds) relation->SetOwnerIds(*decl.ownerIds);
            if (decl.destinationIds) relation->SetDestinationIds(*decl.destinationIds);
            for (const std::string& text : decl.data) relation->AddData(text);
            content_.relations.push_back(SurfaceRelation{std::move(relation), decl.parentName});
        }
    }

    void Controls(const CDerivedXmlElement& section)
    {
        surface::ControlsBlockDecl block = surface::ReadControlsBlock(section);
        if (block.idBase == surface::kIdBaseNone) {
            Problem("controls block \"" + block.parentName.value_or("") + "\"",
                    "its parent names no window; its " + std::to_string(block.controls.size()) +
                        " control(s) are not made");
            return;
        }
        for (surface::ControlDecl& decl : block.controls) {
            const std::string subject = "control " + std::to_string(decl.id);
            CXmlControlConainer& record = *decl.record;
            for (const std::string& problem : record.GetProblems()) Problem(subject, problem);
            if (CControlFactory::GetInstance().CodeOf(record.GetGuiType()) == CControlFactory::kUnknown) {
                Problem(subject, "gui_type \"" + record.GetGuiType() + "\" names no control; none is made");
                continue;
            }
            if (!ids_.insert(decl.id).second) {
                Problem(subject, "the id is used by an earlier control; this one is not made");
                continue;
            }
            content_.controls.push_back(SurfaceControl{decl.id, block.parentName, std::move(decl.record)});
        }
    }

private:
    static int ElementCount(const CDerivedXmlElement& section)
    {
        int count = 0;
        for (int i = 0; i < section.GetChildCount(); ++i) {
            const IXmlEntry* child = section.GetChild(i);
            if (child != nullptr && child->GetType() == kXmlElement) ++count;
        }
        return count;
    }

    // Whether a field fits the register at `address`; says why not.
    bool FieldFits(const std::string& subject, std::int32_t address, std::int32_t lsb, std::int32_t length)
    {
        const auto found = content_.registers.find(address);
        if (found == content_.registers.end()) {
            Problem(subject, "register " + std::to_string(address) + " is not in the registerlist");
            return false;
        }
        const std::uint32_t width = found->second->GetBitWidth();
        if (lsb < 0 || length < 0 ||
            !IRegisterData::FieldFits(static_cast<std::uint32_t>(lsb), static_cast<std::uint32_t>(length), width)) {
            Problem(subject, "bit field at bit " + std::to_string(lsb) + ", " + std::to_string(length) +
                                 " bit(s) long, lies outside the " + std::to_string(width) + "-bit register " +
                                 std::to_string(address));
            return false;
        }
        return true;
    }

public:
    // Once every section is read, since a registerlist may follow the controls.
    void CheckRegisterTargets()
    {
        for (SurfaceControl& control : content_.controls) {
            if (control.record->GetDeviceTarget() == "i2c") CheckI2c("control " + std::to_string(control.id), *control.record);
        }
    }

private:
    void CheckI2c(const std::string& subject, CXmlControlConainer& record)
    {
        const std::int32_t address = record.GetRegisterAddress();
        bool sound = true;
        if (address >= 0) {
            sound = FieldFits(subject, address, record.GetLsbBit(), record.GetBitLength());
        } else if (address == CXmlControlConainer::kRegisterFixedPattern) {
            sound = FieldFits(subject, record.GetI2cStartAddress(), record.GetI2cEndAddress(), record.GetBitLength());
        } else if (address == CXmlControlConainer::kRegisterRange) {
            const std::int32_t first = record.GetI2cStartAddress();
            const std::int32_t last = record.GetI2cEndAddress();
            const std::int64_t bytes = RangeByteCount(content_.registers, first, last);
            if (bytes < 0) {
                Problem(subject, "I2C range " + std::to_string(first) + ".." + std::to_string(last) + " runs backwards");
                sound = false;
            } else if (bytes > kMaxI2cRangeBytes) {
                Problem(subject, "I2C range " + std::to_string(first) + ".." + std::to_string(last) + " holds " +
                                     std::to_string(bytes) + " data bytes, more than the " +
                                     std::to_string(kMaxI2cRangeBytes) + " one frame carries");
                sound = false;
            }
        }
        if (!sound) {
            Problem(subject, "the control stores its value and drives nothing");
            record.SetDeviceTarget("");
        }
    }

    SurfaceContent& content_;
    std::set<std::int32_t> ids_;
};

}  // namespace

std::int64_t RangeByteCount(const RegisterMap& registers, std::int32_t first, std::int32_t last)
{
    if (first > last) return -1;
    std::int64_t bytes = 0;
    for (auto it = registers.lower_bound(first); it != registers.end() && it->first <= last; ++it) {
        if (it->second != nullptr) bytes += it->second->GetByteCount();
    }
    return bytes;
}

SurfaceContent ReadSurface(const CDerivedXmlElement* root, std::string_view name)
{
    SurfaceContent content;
    content.name = std::string(name);
    Reader reader(content);
    if (root == nullptr) {
        const XmlError& error = XmlLastError();
        std::string why = error.ok() ? std::string("no document was loaded") : error.message;
        if (error.line > 0) why += " (line " + std::to_string(error.line) + ")";
        reader.Problem("", "could not be read: " + why);
        return content;
    }
    content.read = true;
    for (int i = 0; i < root->GetChildCount(); ++i) {
        const auto* section = dynamic_cast<const CDerivedXmlElement*>(root->GetChild(i));
        if (section == nullptr) continue;
        switch (surface::SectionCodeOf(section->GetName())) {
        case surface::kSectionRegisterList: reader.Registers(*section); break;
        case surface::kSectionRelationList: reader.Relations(*section); break;
        case surface::kSectionControls: reader.Controls(*section); break;
        default: break;  // "initiallist" carries nothing; other sections are not ours
        }
    }
    reader.CheckRegisterTargets();
    return content;
}

}  // namespace surfacepage
