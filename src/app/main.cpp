// Tamsiro: the application object runs everything from the instance check to shutdown.
#include <cstdio>
#include <cstdlib>

#include "app/CommandLine.h"
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
    // Answered before the application object exists: no display is needed, and the
    // instance lock of a running program is left alone.
    const commandline::Request request = commandline::Parse(argc, argv);
    switch (request.action) {
        case commandline::Request::Action::Help:
            std::fputs(commandline::Usage().c_str(), stdout);
            return std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
        case commandline::Request::Action::Version:
            std::fputs(commandline::VersionLine().c_str(), stdout);
            return std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
        case commandline::Request::Action::Refused:
            std::fprintf(stderr, "tamsiro: %s\nTry 'tamsiro --help' for the options.\n", request.problem.c_str());
            return commandline::kRefusedExit;
        case commandline::Request::Action::Run:
            break;
    }
    // The trace is for whoever asks for it: "--debug" or TAMSIRO_DEBUG=1.
    platform::setDebugTrace(platform::debugTraceRequested(argc, argv, std::getenv("TAMSIRO_DEBUG")));
    // argv still holds Qt's own options (Parse only read them): the application object
    // takes them out.
    gui::Application application(argc, argv);
    gui::setProgramIcon();
#ifdef TAMSIRO_TEST_INSTANCE
    TestInstanceBoxes boxes;
#endif
    CQuillfenApp app;
    return app.InitInstance();
}
