// The entry tree of a parsed XML document: plain objects copied from the
// parser's nodes, so nothing of the parser is kept once a document is read.
//
// Elements hold their child entries in document order and their attributes
// by name; character data becomes a text entry named "inner_text" by its
// parent. Comments, whitespace-only text, processing instructions and CDATA
// sections leave no entry. All text is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Node-kind codes, the DOM's node type numbers.
enum XmlEntryKind : std::uint32_t {
    kXmlElement = 1,
    kXmlAttribute = 2,
    kXmlText = 3,
    kXmlCData = 4,  // also the kind of attribute values
};

// The name under which an element's character data is added to it.
inline constexpr std::string_view kInnerTextName = "inner_text";

class CDerivedXmlElement;

class IXmlEntry {
public:
    virtual ~IXmlEntry() = default;

    // The element name, or the text itself for a text entry.
    virtual const std::string& GetName() const = 0;
    virtual std::uint32_t GetType() const = 0;

    // This entry when it is an element entry of kind kXmlElement, else null:
    // what AsElement asks, without a run-time type search at every entry a
    // walk passes.
    virtual const CDerivedXmlElement* ElementOrNull() const { return nullptr; }
};

class CDerivedXmlEntry : public IXmlEntry {
public:
    CDerivedXmlEntry(std::uint32_t kind, std::string name) : name_(std::move(name)), kind_(kind) {}

    const std::string& GetName() const override { return name_; }
    std::uint32_t GetType() const override { return kind_; }

private:
    std::string name_;
    std::uint32_t kind_;
};

// A text or attribute value.
class CDerivedXmlText : public CDerivedXmlEntry {
public:
    using CDerivedXmlEntry::CDerivedXmlEntry;
};

class CDerivedXmlElement : public CDerivedXmlEntry {
public:
    using CDerivedXmlEntry::CDerivedXmlEntry;
    ~CDerivedXmlElement() override;

    const CDerivedXmlElement* ElementOrNull() const override;

    // Room for this many children, so that appending them allocates once.
    void ReserveChildren(std::size_t count) { children_.reserve(count); }
    // Appends the entry (the name is not kept). 0 for a null entry.
    virtual int AddChild(std::string_view name, std::unique_ptr<IXmlEntry> entry);
    // Inserts the entry under the name; a name already present keeps its
    // first entry and the new one is dropped (0).
    virtual int AddAttribute(std::string_view name, std::unique_ptr<IXmlEntry> entry);
    // The child at `index` counting from 0, or null outside the list.
    virtual const IXmlEntry* GetChild(int index) const;
    virtual int GetChildCount() const;
    virtual int GetAttributeCount() const;
    // This element when its own name is `name`; otherwise the first element
    // of that name in a depth-first walk of the child elements in document
    // order; null when there is none.
    virtual const CDerivedXmlElement* FindElement(std::string_view name) const;
    // FindElement of every name in one walk: `found[i]` is what
    // FindElement(names[i]) gives. `found` is as long as `names`.
    void FindElements(std::span<const std::string_view> names, std::span<const CDerivedXmlElement*> found) const;
    // The attribute's value entry, or null.
    virtual const IXmlEntry* GetAttribute(std::string_view name) const;

    // The attribute names in their order (by name).
    std::vector<std::string> GetAttributeNames() const;

private:
    // One step of FindElements: false once nothing is missing any more.
    bool findEach(std::span<const std::string_view> names, std::span<const CDerivedXmlElement*> found,
                  std::size_t& missing) const;

    std::vector<std::unique_ptr<IXmlEntry>> children_;
    std::map<std::string, std::unique_ptr<IXmlEntry>, std::less<>> attributes_;
};

// Makes entries by node kind.
class CXmlFactory {
public:
    static CXmlFactory& GetInstance();
    virtual ~CXmlFactory() = default;

    // An element for kinds 1 and 2, a text entry for kinds 3 and 4, null for
    // any other kind.
    std::unique_ptr<CDerivedXmlEntry> CreateEntry(std::uint32_t kind, std::string text) const;

private:
    CXmlFactory() = default;
};

// The entry as an element, or null when it is none.
const CDerivedXmlElement* AsElement(const IXmlEntry* entry);
// The text of an element's first child when that child is a text entry
// (its character data, or its first run of it); null otherwise.
const std::string* FirstChildText(const CDerivedXmlElement* element);
// The value of an attribute, or null.
const std::string* AttributeText(const CDerivedXmlElement* element, std::string_view name);
