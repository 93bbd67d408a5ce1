// The device surfaces compiled into the program (resource type "XML"), by device key:
// resource 175 for the first lens driver (0x400), 501 for the second (0x401).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace surfacepage {

// The resource id of a device key's surface; 0 for a key without one.
int SurfaceResourceId(std::int32_t deviceKey);
// The surface text of a device key, as the page's surface source gives it; nothing
// for a key without a surface (and a debug line when its resource is missing).
std::optional<std::string> BuiltInSurface(std::int32_t deviceKey);

}  // namespace surfacepage
