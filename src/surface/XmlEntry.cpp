#include "surface/XmlEntry.h"

#include <algorithm>

CDerivedXmlElement::~CDerivedXmlElement() = default;

const CDerivedXmlElement* CDerivedXmlElement::ElementOrNull() const
{
    return GetType() == kXmlElement ? this : nullptr;
}

int CDerivedXmlElement::AddChild(std::string_view /*name*/, std::unique_ptr<IXmlEntry> entry)
{
    if (!entry) {
        return 0;
    }
    children_.push_back(std::move(entry));
    return 1;
}

int CDerivedXmlElement::AddAttribute(std::string_view name, std::unique_ptr<IXmlEntry> entry)
{
    if (!entry) {
        return 0;
    }
    const auto at = attributes_.lower_bound(name);
    if (at != attributes_.end() && at->first == name) {
        return 0;
    }
    attributes_.emplace_hint(at, std::string(name), std::move(entry));
    return 1;
}

const IXmlEntry* CDerivedXmlElement::GetChild(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= children_.size()) {
        return nullptr;
    }
    return children_[static_cast<std::size_t>(index)].get();
}

int CDerivedXmlElement::GetChildCount() const
{
    return static_cast<int>(children_.size());
}

int CDerivedXmlElement::GetAttributeCount() const
{
    return static_cast<int>(attributes_.size());
}

const CDerivedXmlElement* CDerivedXmlElement::FindElement(std::string_view name) const
{
    if (GetName() == name) {
        return this;
    }
    // The parser limits the nesting depth, so this recursion is bounded.
    for (const auto& child : children_) {
        if (const CDerivedXmlElement* element = child->ElementOrNull()) {
            if (const CDerivedXmlElement* found = element->FindElement(name)) {
                return found;
            }
        }
    }
    return nullptr;
}

void CDerivedXmlElement::FindElements(std::span<const std::string_view> names,
                                      std::span<const CDerivedXmlElement*> found) const
{
    std::fill(found.begin(), found.end(), nullptr);
    names = names.first(std::min(names.size(), found.size()));
    std::size_t missing = names.size();
    if (missing > 0) {
        findEach(names, found, missing);
    }
}

bool CDerivedXmlElement::findEach(std::span<const std::string_view> names, std::span<const CDerivedXmlElement*> found,
                                  std::size_t& missing) const
{
    // The same order as FindElement: this element, then its child elements
    // depth-first; a name keeps the first element that carries it.
    const std::string& own = GetName();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (found[i] == nullptr && names[i] == own) {
            found[i] = this;
            --missing;
        }
    }
    if (missing == 0) {
        return false;
    }
    // The parser limits the nesting depth, so this recursion is bounded.
    for (const auto& child : children_) {
        if (const CDerivedXmlElement* element = child->ElementOrNull()) {
            if (!element->findEach(names, found, missing)) {
                return false;
            }
        }
    }
    return true;
}

const IXmlEntry* CDerivedXmlElement::GetAttribute(std::string_view name) const
{
    const auto it = attributes_.find(name);
    return it == attributes_.end() ? nullptr : it->second.get();
}

std::vector<std::string> CDerivedXmlElement::GetAttributeNames() const
{
    std::vector<std::string> names;
    names.reserve(attributes_.size());
    for (const auto& [name, entry] : attributes_) {
        names.push_back(name);
    }
    return names;
}

CXmlFactory& CXmlFactory::GetInstance()
{
    static CXmlFactory instance;
    return instance;
}

std::unique_ptr<CDerivedXmlEntry> CXmlFactory::CreateEntry(std::uint32_t kind, std::string text) const
{
    switch (kind) {
    case kXmlElement:
    case kXmlAttribute:
        return std::make_unique<CDerivedXmlElement>(kind, std::move(text));
    case kXmlText:
    case kXmlCData:
        return std::make_unique<CDerivedXmlText>(kind, std::move(text));
    default:
        return nullptr;
    }
}

const CDerivedXmlElement* AsElement(const IXmlEntry* entry)
{
    return entry == nullptr ? nullptr : entry->ElementOrNull();
}

const std::string* FirstChildText(const CDerivedXmlElement* element)
{
    if (element == nullptr) {
        return nullptr;
    }
    const IXmlEntry* first = element->GetChild(0);
    if (first == nullptr || first->GetType() != kXmlText) {
        return nullptr;
    }
    return &first->GetName();
}

const std::string* AttributeText(const CDerivedXmlElement* element, std::string_view name)
{
    if (element == nullptr) {
        return nullptr;
    }
    const IXmlEntry* value = element->GetAttribute(name);
    return value == nullptr ? nullptr : &value->GetName();
}
