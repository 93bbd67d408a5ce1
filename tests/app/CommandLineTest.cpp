// The command line as main reads it before anything else: the program's options, Qt's
// own options left for the application object, and what is refused.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "app/CommandLine.h"

namespace {

using Action = commandline::Request::Action;
using Outcome = std::tuple<std::string, std::string>;  // the action's name, the problem

const char* Name(Action action) {
    switch (action) {
        case Action::Run:
            return "Run";
        case Action::Help:
            return "Help";
        case Action::Version:
            return "Version";
        case Action::Refused:
            return "Refused";
    }
    return "?";
}

struct Line {
    std::vector<std::string> arguments;  // after the program's name
    std::string Text() const {
        std::string text = "tamsiro";
        for (const std::string& argument : arguments) text += " '" + argument + "'";
        return text;
    }
    Outcome Parse() const {
        std::vector<const char*> argv{"tamsiro"};
        for (const std::string& argument : arguments) argv.push_back(argument.c_str());
        argv.push_back(nullptr);
        const commandline::Request request = commandline::Parse(static_cast<int>(argv.size()) - 1, argv.data());
        return {Name(request.action), request.problem};
    }
};

}  // namespace

TEST(CommandLine, QtsOwnOptionsAreTakenWithTheirValuesAndLeftForQt) {
    // Each as Qt 6.4 takes it (Core, Gui, Widgets, the xcb plugin); a value is the next
    // argument whatever it says, so none of these is a stray argument.
    const std::initializer_list<Line> lines = {
        {{"-platform", "offscreen"}},
        {{"--platform", "offscreen"}},
        {{"-platformpluginpath", "/opt/plugins"}},
        {{"-platformtheme", "gtk3"}},
        {{"-plugin", "evdevtouch"}},
        {{"-qwindowgeometry", "640x480+0+0"}},
        {{"-qwindowicon", "icon.png"}},
        {{"-qwindowtitle", "Bench 2"}},
        {{"-geometry", "640x480"}},
        {{"-icon", "icon.png"}},
        {{"-title", "settings.ini"}},
        {{"-reverse"}},
        {{"-session", "10d2f3a1b7000171234567890_1234_5678"}},
        {{"--session", "x"}},
        {{"-style", "Fusion"}},
        {{"-style=Fusion"}},
        {{"--style=fusion"}},
        {{"-style="}},
        {{"-testability"}},
        {{"-stylesheet", "look.qss"}},
        {{"-stylesheet=look.qss"}},
        {{"-widgetcount"}},
        {{"-qdevel", "-qdebug"}},
        {{"-display", ":1"}},
        {{"--display", "host:0.1"}},
        {{"-name", "bench"}},
        {{"-nograb", "-dograb"}},
        {{"-visual", "0x21"}},
        {{"-qmljsdebugger", "port:3768"}},
        {{"-qmljsdebugger=port:3768,block"}},
        {{"-session", "--version"}},
        {{"--debug", "-platform", "xcb", "-display", ":0", "-style", "Fusion", "-reverse", "-session", "s_1"}},
    };
    for (const Line& line : lines) {
        EXPECT_EQ(line.Parse(), Outcome("Run", "")) << line.Text();
    }
}

TEST(CommandLine, WhatNeitherTheProgramNorQtTakesIsRefusedNamingItAndHelpStillWins) {
    const std::initializer_list<std::pair<Line, std::string>> refused = {
        {{{"-platform"}}, "option '-platform' needs a value"},
        {{{"--debug", "-reverse", "--session"}}, "option '--session' needs a value"},
        {{{"-style"}}, "option '-style' needs a value"},
        {{{"-display", ":1", "-visual"}}, "option '-visual' needs a value"},
        // Forms and options Qt 6.4 does not take (it would leave them unread).
        {{{"-platform=offscreen"}}, "unknown option '-platform=offscreen'"},
        {{{"-session=s_1"}}, "unknown option '-session=s_1'"},
        {{{"-sync"}}, "unknown option '-sync'"},
        {{{"---platform", "offscreen"}}, "unknown option '---platform'"},
        {{{"-stylesheets", "look.qss"}}, "unknown option '-stylesheets'"},
        {{{"-reverse", "--frobnicate", "--help"}}, "unknown option '--frobnicate'"},
        {{{"-platform", "offscreen", "settings.ini"}}, "unexpected argument 'settings.ini'"},
    };
    for (const auto& [line, problem] : refused) {
        EXPECT_EQ(line.Parse(), Outcome("Refused", problem)) << line.Text();
    }

    const std::initializer_list<std::pair<Line, Action>> answered = {
        {{{"--help", "-platform", "xcb"}}, Action::Help},
        {{{"-platform", "xcb", "-session", "s_1", "-h"}}, Action::Help},
        {{{"--version", "-style=Fusion", "--help"}}, Action::Help},
        {{{"-display", ":1", "--version"}}, Action::Version},
    };
    for (const auto& [line, action] : answered) {
        EXPECT_EQ(line.Parse(), Outcome(Name(action), "")) << line.Text();
    }
}
