// Parsing an XML text into an entry tree, and the keyed container that owns
// the parsed documents.
#pragma once

#include "surface/XmlEntry.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

// Why a parse failed. The codes are those the surface loader has always
// reported; 0 means no error.
enum XmlErrorCode : std::uint32_t {
    kXmlErrorNone = 0,
    kXmlErrorSetup = 0x80000000u,      // no text to parse, the module is not initialised, no such file
    kXmlErrorNotWellFormed = 0x40000000u,
    kXmlErrorNoRoot = 0x20000000u,     // the text holds no document element
    kXmlErrorKeyInUse = 0x10000000u,   // a document is already stored under the key
};

struct XmlError {
    std::uint32_t code = kXmlErrorNone;
    std::ptrdiff_t offset = -1;  // byte offset into the text, -1 when it does not apply
    int line = 0;                // 1-based line of the offset, 0 when it does not apply
    std::string message;         // empty when there was no error

    bool ok() const { return code == kXmlErrorNone; }
};

class IXmlContainer {
public:
    virtual ~IXmlContainer() = default;

    // Takes the root under the key: 1; when the key is present already the
    // container keeps its document, `root` is dropped and the result is 0.
    virtual int Add(const std::string& key, std::unique_ptr<CDerivedXmlElement> root) = 0;
    virtual const CDerivedXmlElement* Find(const std::string& key) const = 0;
    // Destroys the key's document: 1; 0 when the key is unknown.
    virtual int Remove(const std::string& key) = 0;
};

class CDerivedXmlContainer final : public IXmlContainer {
public:
    int Add(const std::string& key, std::unique_ptr<CDerivedXmlElement> root) override;
    const CDerivedXmlElement* Find(const std::string& key) const override;
    int Remove(const std::string& key) override;

    std::size_t Size() const { return roots_.size(); }

private:
    std::map<std::string, std::unique_ptr<CDerivedXmlElement>> roots_;
};

class IParser {
public:
    virtual ~IParser() = default;

    // Parses `size` bytes of UTF-8 XML text and, when a container is given,
    // stores the tree under `key`. 1 on success; 0 with GetLastError() set.
    virtual int ParseResource(const void* data, std::size_t size, IXmlContainer* container,
                              const std::string& key) = 0;
    // The same for the text of a file.
    virtual int ParseFile(const std::string& path, IXmlContainer* container, const std::string& key) = 0;
    // The root of the last successful parse (owned by the container it was
    // stored in, or by the parser when no container was given); else null.
    virtual const CDerivedXmlElement* GetRoot() const = 0;
};

class CDerivedParser final : public IParser {
public:
    // Deeper documents are refused, so walking and destroying a tree never
    // exhausts the stack. The surfaces nest six levels.
    static constexpr int kMaxDepth = 256;

    int ParseResource(const void* data, std::size_t size, IXmlContainer* container,
                      const std::string& key) override;
    int ParseFile(const std::string& path, IXmlContainer* container, const std::string& key) override;
    const CDerivedXmlElement* GetRoot() const override { return root_; }

    const XmlError& GetLastError() const { return error_; }

private:
    int fail(XmlError error);

    const CDerivedXmlElement* root_ = nullptr;
    std::unique_ptr<CDerivedXmlElement> ownedRoot_;  // only when no container took it
    XmlError error_;
};
