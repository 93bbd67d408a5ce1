#include "surface/XmlModule.h"

#include "platform/core/Debug.h"

#include <exception>
#include <memory>

namespace {

struct ModuleState {
    std::unique_ptr<CDerivedXmlContainer> container;
    XmlError lastError;
};

ModuleState& state()
{
    static ModuleState instance;
    return instance;
}

XmlLoadResult reportFailure(const std::string& key, XmlError error)
{
    platform::debugOut("XmlLoad(\"" + key + "\"): " + error.message + "\n");
    state().lastError = std::move(error);
    return XmlLoadResult::Failed;
}

}  // namespace

int XmlInitialize()
{
    if (!state().container) {
        state().container = std::make_unique<CDerivedXmlContainer>();
    }
    return 1;
}

int XmlUninitialize()
{
    state().container.reset();
    return 1;
}

bool XmlIsInitialized()
{
    return state().container != nullptr;
}

XmlLoadResult XmlLoad(const void* data, std::size_t size, const std::string& key)
{
    ModuleState& module = state();
    module.lastError = XmlError{};
    if (!module.container) {
        XmlError error;
        error.code = kXmlErrorSetup;
        error.message = "the XML module is not initialised";
        return reportFailure(key, std::move(error));
    }
    if (module.container->Find(key) != nullptr) {
        return XmlLoadResult::AlreadyLoaded;
    }
    try {
        CDerivedParser parser;
        if (parser.ParseResource(data, size, module.container.get(), key) == 0) {
            return reportFailure(key, parser.GetLastError());
        }
    } catch (const std::exception& e) {
        // Only allocation can throw here; the caller gets a result, not an exception.
        XmlError error;
        error.code = kXmlErrorSetup;
        error.message = std::string("the document could not be stored: ") + e.what();
        return reportFailure(key, std::move(error));
    }
    return XmlLoadResult::Loaded;
}

XmlLoadResult XmlLoad(std::string_view text, const std::string& key)
{
    return XmlLoad(text.data(), text.size(), key);
}

const XmlError& XmlLastError()
{
    return state().lastError;
}

const CDerivedXmlElement* XmlFind(const std::string& key)
{
    const auto& container = state().container;
    return container ? container->Find(key) : nullptr;
}

int XmlRemove(const std::string& key)
{
    const auto& container = state().container;
    return container ? container->Remove(key) : 0;
}

XmlLoadResult CXmlSurfaceSlots::LoadXmlSurface(int slot, const void* data, std::size_t size,
                                               const std::string& name)
{
    const XmlLoadResult result = XmlLoad(data, size, name);
    StoreXmlSurface(slot, name);
    return result;
}

int CXmlSurfaceSlots::StoreXmlSurface(int slot, const std::string& name)
{
    auto& held = slots_[slot != 0 ? 1 : 0];
    if (XmlFind(name) != nullptr) {
        held = name;
    } else {
        held.reset();
    }
    return 1;
}

const CDerivedXmlElement* CXmlSurfaceSlots::GetXmlSurface(int slot) const
{
    const auto& held = slots_[slot != 0 ? 1 : 0];
    return held ? XmlFind(*held) : nullptr;
}

int CXmlSurfaceSlots::ReleaseXmlSurface(const std::string& name)
{
    return XmlRemove(name);
}
