// The XML module: one process-wide container of parsed documents, each
// under a text key, and the surface slots the application keeps for the
// XML-surface page.
//
// GUI thread only; the module has no lock.
#pragma once

#include "surface/XmlParser.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

enum class XmlLoadResult : int {
    Failed = -1,        // nothing stored; XmlLastError() says why
    AlreadyLoaded = 0,  // the key holds a document already, which is kept
    Loaded = 1,
};

// Creates the container when there is none. Returns 1.
int XmlInitialize();
// Destroys the container and every document in it. Returns 1.
int XmlUninitialize();
bool XmlIsInitialized();

// Parses the text once under `key`. A malformed text, or a call before
// XmlInitialize, stores nothing, writes a debug line naming the parser's
// error and offset, and returns Failed; no exception leaves this function.
XmlLoadResult XmlLoad(const void* data, std::size_t size, const std::string& key);
XmlLoadResult XmlLoad(std::string_view text, const std::string& key);
// What the last XmlLoad reported (ok() after a load or a kept document).
const XmlError& XmlLastError();

// The document element stored under the key, or null.
const CDerivedXmlElement* XmlFind(const std::string& key);
// Destroys the key's document: 1; 0 when the key is unknown.
int XmlRemove(const std::string& key);

// The application's two surface slots. A slot names a document of the
// module rather than holding its tree, so once the document is released (or
// the module shut down) the slot reads null instead of pointing at a
// destroyed tree.
class CXmlSurfaceSlots {
public:
    // XmlLoad of the text under `name`, then StoreXmlSurface(slot, name)
    // whatever the result (so a failed load leaves the slot empty).
    XmlLoadResult LoadXmlSurface(int slot, const void* data, std::size_t size, const std::string& name);
    // Keeps the document of `name` (or nothing, when there is none) in slot 1
    // when `slot` is non-zero, else in slot 0. Returns 1.
    int StoreXmlSurface(int slot, const std::string& name);
    // The surface in slot 0, or in the given slot; null when empty.
    const CDerivedXmlElement* GetXmlSurface() const { return GetXmlSurface(0); }
    const CDerivedXmlElement* GetXmlSurface(int slot) const;
    // Removes the document of `name` from the module (1, or 0 when unknown).
    int ReleaseXmlSurface(const std::string& name);

private:
    std::optional<std::string> slots_[2];  // document keys
};
