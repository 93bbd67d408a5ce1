// The process-wide services that pages and the main window borrow. The application
// object owns them, fills this in at start-up (after creating them) and clears it at
// shutdown (before destroying them); the page code reads it instead of reaching up
// into the application layer.
#pragma once

class IDataContainer;
class ITaskListener;
class CRG1Micon;

struct AppServices {
    IDataContainer* data = nullptr;
    ITaskListener* tasks = nullptr;
    CRG1Micon* board = nullptr;
};

// GUI thread only.
inline AppServices& appServices() {
    static AppServices services;
    return services;
}
