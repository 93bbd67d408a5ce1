// The process-wide services that pages and the main window borrow. The application
// object owns them, fills this in at start-up (after creating them) and clears it at
// shutdown (before destroying them); the page code reads it instead of reaching up
// into the application layer.
#pragma once

#include <cstdint>
#include <functional>

class IDataContainer;
class ITaskListener;
class CRG1Micon;
class CXmlSurfaceSlots;

// A window's rectangle in screen coordinates, right and bottom exclusive.
struct WindowPlace {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The window-position profile as the pages use it, by window kind: 1 the page, 2 the
// tachometer windows, 3 the speed-curve window. `get` is false when nothing usable is
// stored for that kind. Either may be empty (no profile): nothing is kept then.
struct WindowPositions {
    std::function<bool(int kind, WindowPlace* place)> get;
    std::function<void(int kind, const WindowPlace& place)> set;
};

struct AppServices {
    IDataContainer* data = nullptr;
    ITaskListener* tasks = nullptr;
    CRG1Micon* board = nullptr;
    // The application's two surface slots (the XML-surface page loads its surface
    // through them); a page without them keeps slots of its own.
    CXmlSurfaceSlots* surfaces = nullptr;
    WindowPositions positions;
};

// GUI thread only.
inline AppServices& appServices() {
    static AppServices services;
    return services;
}
