// Tamsiro: the application object runs everything from the instance check to shutdown.
#include <cstdlib>

#include "app/QuillfenApp.h"
#include "platform/core/Debug.h"
#include "platform/gui/Application.h"
#include "platform/gui/Resources.h"

#ifdef TAMSIRO_TEST_INSTANCE
// A test build of the program: message boxes are written to the debug output and
// answered at once, so that tests can start it headless as a process.
#include "TestInstanceBoxes.h"
#endif

int main(int argc, char** argv) {
    // The trace is for whoever asks for it: "--debug" or TAMSIRO_DEBUG=1.
    platform::setDebugTrace(platform::debugTraceRequested(argc, argv, std::getenv("TAMSIRO_DEBUG")));
    gui::Application application(argc, argv);
    gui::setProgramIcon();
#ifdef TAMSIRO_TEST_INSTANCE
    TestInstanceBoxes boxes;
#endif
    CQuillfenApp app;
    return app.InitInstance();
}
