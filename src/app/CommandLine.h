// The program's command line: what it asks for, the usage text and the version line.
//
// Read before anything else starts, so that --help, --version and a mistyped option
// are answered without a display, a window or the instance lock. Plain functions, any
// thread.
#pragma once

#include <string>

namespace commandline {

struct Request {
    enum class Action {
        Run,      // the program as usual
        Help,     // the usage on standard output, exit 0
        Version,  // the version line on standard output, exit 0
        Refused,  // `problem` on standard error, exit kRefusedExit
    };
    Action action = Action::Run;
    std::string problem;  // for Refused: what was wrong, naming the argument
};

// The exit code of a refused command line.
inline constexpr int kRefusedExit = 2;

// Reads argv[1..argc-1], which it leaves as they are: Qt's own options (-platform,
// -display, -style, -reverse, -session, ...; also with "--", and "-style=NAME" where Qt
// takes that form) are skipped with their values for the application object to take.
// An argument neither the program nor Qt knows refuses the whole line, and so does a
// Qt option whose value is missing at the end; otherwise --help wins over --version,
// and --version over running.
Request Parse(int argc, const char* const* argv);

// The program's options, one line each, then Qt's in short and the environment; ending
// in a newline.
std::string Usage();

// "Tamsiro Version X.Y.Z": the version the About box shows, ending in a newline.
std::string VersionLine();

}  // namespace commandline
