#include "app/CommandLine.h"

#include <string_view>

#include "app/QuillfenApp.h"

namespace commandline {

namespace {

struct Option {
    std::string_view name;
    Request::Action action;
    std::string_view help;
};

// --debug is also read by the trace itself (platform::debugTraceRequested); here it
// only needs to be known.
constexpr Option kOptions[] = {
    {"--debug", Request::Action::Run, "write the diagnostic trace to standard error (as TAMSIRO_DEBUG=1 does)"},
    {"--help", Request::Action::Help, "show this help and exit"},
    {"-h", Request::Action::Help, "the same as --help"},
    {"--version", Request::Action::Version, "show the program's version and exit"},
};

}  // namespace

Request Parse(int argc, const char* const* argv) {
    Request request;
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc && argv != nullptr; ++i) {
        const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
        const Option* known = nullptr;
        for (const Option& option : kOptions) {
            if (option.name == argument) known = &option;
        }
        if (known == nullptr) {
            request.action = Request::Action::Refused;
            request.problem = (argument.starts_with('-') ? "unknown option '" : "unexpected argument '") +
                              std::string(argument) + "'";
            return request;
        }
        help = help || known->action == Request::Action::Help;
        version = version || known->action == Request::Action::Version;
    }
    if (help) {
        request.action = Request::Action::Help;
    } else if (version) {
        request.action = Request::Action::Version;
    }
    return request;
}

std::string Usage() {
    std::string text =
        "Usage: tamsiro [OPTION]...\n"
        "Evaluates motor driver chips on the evaluation board connected over USB.\n"
        "\n"
        "Options:\n";
    for (const Option& option : kOptions) {
        std::string line = "  " + std::string(option.name);
        line.resize(14, ' ');
        text += line + std::string(option.help) + "\n";
    }
    text +=
        "\n"
        "Environment:\n"
        "  TAMSIRO_BOARD_PORT         the board's serial port, instead of looking for the board\n"
        "  TAMSIRO_BOOTLOADER_SOCKET  the boot loader's channel (the board simulator's)\n"
        "  TAMSIRO_DEBUG=1            the same as --debug\n";
    return text;
}

std::string VersionLine() { return "Tamsiro Version " + CQuillfenApp::GetProductVersion() + "\n"; }

}  // namespace commandline
