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

// How a Qt option takes its value: none, the next argument (whatever it says, as Qt
// takes it), or either the next argument or "-name=value".
enum class Value { None, Next, NextOrJoined };

struct QtOption {
    std::string_view name;  // single dash, as Qt compares it
    Value value;
};

// The options Qt 6.4's application object takes out of argv itself: QtCore, QtGui,
// QtWidgets and the xcb platform plugin (which takes -display, -name, -nograb,
// -dograb and -visual, and QtGui -geometry, -title and -icon, only when xcb is the
// platform; elsewhere Qt leaves them alone, which is harmless). Options Qt dropped
// (-sync, -fn, -bg, -cmap, ...) are not here: Qt would not act on them.
constexpr QtOption kQtOptions[] = {
    {"-qmljsdebugger", Value::NextOrJoined},
    {"-platform", Value::Next},
    {"-platformpluginpath", Value::Next},
    {"-platformtheme", Value::Next},
    {"-plugin", Value::Next},
    {"-qwindowgeometry", Value::Next},
    {"-qwindowicon", Value::Next},
    {"-qwindowtitle", Value::Next},
    {"-geometry", Value::Next},
    {"-icon", Value::Next},
    {"-title", Value::Next},
    {"-reverse", Value::None},
    {"-session", Value::Next},
    {"-style", Value::NextOrJoined},
    {"-testability", Value::None},
    {"-stylesheet", Value::NextOrJoined},
    {"-widgetcount", Value::None},
    {"-qdevel", Value::None},  // obsolete: Qt drops them unread
    {"-qdebug", Value::None},
    {"-display", Value::Next},
    {"-name", Value::Next},
    {"-nograb", Value::None},
    {"-dograb", Value::None},
    {"-visual", Value::Next},
};

// The Qt option `argument` names, if any; `joined` tells whether it carries its
// value after '='. Qt reads "--name" as "-name".
const QtOption* FindQtOption(std::string_view argument, bool& joined) {
    if (argument.starts_with("--")) argument.remove_prefix(1);
    for (const QtOption& option : kQtOptions) {
        if (argument == option.name) {
            joined = false;
            return &option;
        }
        if (option.value == Value::NextOrJoined && argument.starts_with(option.name) &&
            argument.substr(option.name.size()).starts_with('=')) {
            joined = true;
            return &option;
        }
    }
    return nullptr;
}

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
        if (known != nullptr) {
            help = help || known->action == Request::Action::Help;
            version = version || known->action == Request::Action::Version;
            continue;
        }
        // Qt's options stay in argv for the application object, with their values.
        bool joined = false;
        if (const QtOption* qt = FindQtOption(argument, joined)) {
            if (qt->value == Value::None || joined) continue;
            if (i + 1 < argc) {
                ++i;
                continue;
            }
            request.action = Request::Action::Refused;
            request.problem = "option '" + std::string(argument) + "' needs a value";
            return request;
        }
        request.action = Request::Action::Refused;
        request.problem =
            (argument.starts_with('-') ? "unknown option '" : "unexpected argument '") + std::string(argument) + "'";
        return request;
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
        "  -platform NAME, -display DISPLAY, -style NAME, -reverse, -session ID, ...\n"
        "              Qt's options, passed to Qt (see Qt's QApplication documentation)\n"
        "\n"
        "Environment:\n"
        "  TAMSIRO_BOARD_PORT         the board's serial port, instead of looking for the board\n"
        "  TAMSIRO_BOOTLOADER_SOCKET  the boot loader's channel (the board simulator's)\n"
        "  TAMSIRO_DEBUG=1            the same as --debug\n";
    return text;
}

std::string VersionLine() { return "Tamsiro Version " + CQuillfenApp::GetProductVersion() + "\n"; }

}  // namespace commandline
