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

// Reads argv[1..argc-1]. Any argument the program does not know refuses the whole
// line; otherwise --help wins over --version, and --version over running.
Request Parse(int argc, const char* const* argv);

// Every option, one line each, ending in a newline.
std::string Usage();

// "Tamsiro Version X.Y.Z": the version the About box shows, ending in a newline.
std::string VersionLine();

}  // namespace commandline
