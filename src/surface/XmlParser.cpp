#include "surface/XmlParser.h"

#include <pugixml.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>

int CDerivedXmlContainer::Add(const std::string& key, std::unique_ptr<CDerivedXmlElement> root)
{
    if (!root) {
        return 0;
    }
    return roots_.try_emplace(key, std::move(root)).second ? 1 : 0;
}

const CDerivedXmlElement* CDerivedXmlContainer::Find(const std::string& key) const
{
    const auto it = roots_.find(key);
    return it == roots_.end() ? nullptr : it->second.get();
}

int CDerivedXmlContainer::Remove(const std::string& key)
{
    return roots_.erase(key) > 0 ? 1 : 0;
}

namespace {

int lineAt(const char* text, std::size_t size, std::ptrdiff_t offset)
{
    if (offset < 0) {
        return 0;
    }
    const std::size_t end = std::min(size, static_cast<std::size_t>(offset));
    return 1 + static_cast<int>(std::count(text, text + end, '\n'));
}

XmlError makeError(std::uint32_t code, std::string what, const char* text, std::size_t size,
                   std::ptrdiff_t offset)
{
    XmlError error;
    error.code = code;
    error.offset = offset;
    error.line = lineAt(text, size, offset);
    error.message = std::move(what);
    if (offset >= 0) {
        error.message += " at offset " + std::to_string(offset) + " (line " + std::to_string(error.line) + ")";
    }
    return error;
}

// Copies a parsed node and everything below it into entries.
class TreeBuilder {
public:
    explicit TreeBuilder(int maxDepth) : maxDepth_(maxDepth) {}

    // The element's entry with its attributes and children; null when the
    // document nests deeper than allowed (`tooDeepAt` then holds the node).
    std::unique_ptr<CDerivedXmlElement> element(const pugi::xml_node& node, int depth)
    {
        if (depth > maxDepth_) {
            tooDeepAt_ = node;
            return nullptr;
        }
        auto entry = std::make_unique<CDerivedXmlElement>(kXmlElement, node.name());
        for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
            // A repeated attribute name keeps its first value.
            entry->AddAttribute(attribute.name(), std::make_unique<CDerivedXmlText>(kXmlCData, attribute.value()));
        }
        std::size_t kept = 0;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            const pugi::xml_node_type type = child.type();
            kept += type == pugi::node_element || type == pugi::node_pcdata ? 1 : 0;
        }
        entry->ReserveChildren(kept);
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            switch (child.type()) {
            case pugi::node_element: {
                auto sub = element(child, depth + 1);
                if (!sub) {
                    return nullptr;
                }
                const std::string_view name = sub->GetName();  // the entry itself does not move
                entry->AddChild(name, std::move(sub));
                break;
            }
            case pugi::node_pcdata:
                entry->AddChild(kInnerTextName, std::make_unique<CDerivedXmlText>(kXmlText, child.value()));
                break;
            default:
                // Comments, CDATA sections, processing instructions: no entry.
                break;
            }
        }
        return entry;
    }

    pugi::xml_node tooDeepAt() const { return tooDeepAt_; }

private:
    int maxDepth_;
    pugi::xml_node tooDeepAt_;
};

}  // namespace

int CDerivedParser::fail(XmlError error)
{
    error_ = std::move(error);
    return 0;
}

int CDerivedParser::ParseResource(const void* data, std::size_t size, IXmlContainer* container,
                                  const std::string& key)
{
    root_ = nullptr;
    ownedRoot_.reset();
    error_ = XmlError{};
    if (data == nullptr) {
        return fail(makeError(kXmlErrorSetup, "no document text", nullptr, 0, -1));
    }
    const char* text = static_cast<const char*>(data);

    // The surfaces are read as UTF-8 whatever their declaration says. The
    // fragment mode lets text and extra elements outside the document
    // element through, so that they can be refused below instead of being
    // dropped without a word.
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(data, size, pugi::parse_default | pugi::parse_fragment, pugi::encoding_utf8);
    if (!parsed) {
        return fail(makeError(kXmlErrorNotWellFormed, std::string("not well formed: ") + parsed.description(), text,
                              size, parsed.offset));
    }

    pugi::xml_node documentElement;
    for (const pugi::xml_node& node : document.children()) {
        switch (node.type()) {
        case pugi::node_element:
            if (documentElement) {
                return fail(makeError(kXmlErrorNotWellFormed, "not well formed: a second document element", text,
                                      size, node.offset_debug()));
            }
            documentElement = node;
            break;
        case pugi::node_pcdata:
        case pugi::node_cdata:
            return fail(makeError(kXmlErrorNotWellFormed, "not well formed: text outside the document element",
                                  text, size, node.offset_debug()));
        default:
            break;
        }
    }
    if (!documentElement) {
        return fail(makeError(kXmlErrorNoRoot, "no document element", text, size, -1));
    }

    TreeBuilder builder(kMaxDepth);
    std::unique_ptr<CDerivedXmlElement> root = builder.element(documentElement, 1);
    if (!root) {
        return fail(makeError(kXmlErrorNotWellFormed,
                              "elements nested deeper than " + std::to_string(kMaxDepth) + " levels", text, size,
                              builder.tooDeepAt().offset_debug()));
    }

    if (container == nullptr) {
        ownedRoot_ = std::move(root);
        root_ = ownedRoot_.get();
        return 1;
    }
    const CDerivedXmlElement* stored = root.get();
    if (container->Add(key, std::move(root)) == 0) {
        return fail(makeError(kXmlErrorKeyInUse, "a document is already stored under \"" + key + "\"", text, size,
                              -1));
    }
    root_ = stored;
    return 1;
}

int CDerivedParser::ParseFile(const std::string& path, IXmlContainer* container, const std::string& key)
{
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        root_ = nullptr;
        ownedRoot_.reset();
        return fail(makeError(kXmlErrorSetup, "cannot open \"" + path + "\"", nullptr, 0, -1));
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ParseResource(text.data(), text.size(), container, key);
}
