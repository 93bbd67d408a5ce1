// The program as real processes (the test build's boxes go to the debug output).
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <csignal>

#include "AppTestSupport.h"

using namespace apptest;

namespace {

struct Install {
    Install() { std::filesystem::copy_file(TAMSIRO_TEST_INSTANCE_PROGRAM, dir.path() / "tamsiro"); }
    QString Path(const char* name) const { return QString::fromStdString((dir.path() / name).string()); }
    TempDir dir;
};

// `trace`: how the trace is asked for ("env", "arg" or ""). `qtOptions`: Qt's own options
// for the line; with them, the environment offers no display (no DISPLAY, no
// WAYLAND_DISPLAY, no QT_QPA_PLATFORM), so the platform comes from the line alone.
struct Instance : QProcess {
    Instance(const Install& install, const QString& trace = "env", const QStringList& qtOptions = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (qtOptions.isEmpty()) {
            env.insert("QT_QPA_PLATFORM", "offscreen");
        } else {
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        }
        env.insert("TAMSIRO_BOARD_PORT", install.Path("no-board"));
        env.insert("XDG_CONFIG_HOME", install.Path("config"));
        env.remove("TAMSIRO_DEBUG");
        if (trace == "env") env.insert("TAMSIRO_DEBUG", "1");
        setProcessEnvironment(env);
        start(install.Path("tamsiro"), qtOptions + (trace == "arg" ? QStringList{"--debug"} : QStringList{}));
    }
    ~Instance() override {
        kill();
        waitForFinished(5000);
    }
    bool WaitFor(const QByteArray& text) {
        for (QDeadlineTimer end(10000); !Output().contains(text) && !end.hasExpired() && state() != NotRunning;) {
            waitForReadyRead(50);
        }
        return Output().contains(text);
    }
    const QByteArray& Output() { return output_ += readAllStandardError(); }
    QByteArray output_;
};

// One run to its end with these arguments, with no display to be had (no DISPLAY, no
// WAYLAND_DISPLAY, no QT_QPA_PLATFORM) and the trace asked for.
struct Answer {
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1;
    std::string out, err;
};
Answer RunHeadless(const Install& install, const QStringList& arguments) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    env.insert("TAMSIRO_BOARD_PORT", install.Path("no-board"));
    env.insert("XDG_CONFIG_HOME", install.Path("config"));
    env.insert("TAMSIRO_DEBUG", "1");
    program.setProcessEnvironment(env);
    program.start(install.Path("tamsiro"), arguments);
    Answer answer;
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(5000);
    }
    answer.status = program.exitStatus();
    answer.code = program.exitCode();
    answer.out = program.readAllStandardOutput().toStdString();
    answer.err = program.readAllStandardError().toStdString();
    return answer;
}

}  // namespace

TEST(InstanceProcesses, TheSecondStartStopsAndCallsTheFirstAndAKilledOneLeavesNoLock) {
    Install install;
    Instance first(install, "arg");
    ASSERT_TRUE(first.WaitFor("main window open")) << first.Output().constData();
    EXPECT_TRUE(QFile::exists(install.Path("config/Tamsiro/Tamsiro.lock")));

    Instance second(install);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    const QByteArray box =
        "MessageBox [Error: Already running] Tamsiro is already running.\n\nIf running by different user account, "
        "please terminate after change to User account to corresponding.\nOtherwise, to press 'OK' button will be "
        "visible.";
    EXPECT_TRUE(second.Output().contains(box)) << second.Output().constData();
    EXPECT_TRUE(first.WaitFor("asked this instance to come to the front")) << first.Output().constData();

    // No trace asked for: nothing on standard error.
    Instance quiet(install, "");
    ASSERT_TRUE(quiet.waitForFinished(10000));
    EXPECT_FALSE(quiet.Output().contains("Tamsiro")) << quiet.Output().constData();
    EXPECT_FALSE(quiet.Output().contains("MessageBox")) << quiet.Output().constData();

    // A killed one's lock stays, but the next start takes it over.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(5000));
    EXPECT_TRUE(QFile::exists(install.Path("config/Tamsiro/Tamsiro.lock")));
    Instance third(install);
    EXPECT_TRUE(third.WaitFor("main window open")) << third.Output().constData();
    EXPECT_FALSE(third.Output().contains("Already running"));
}

TEST(InstanceProcesses, TerminationSignalsEndTheProgramAsACloseDoesWithoutTheSaveQuestion) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        Install install;
        Instance program(install);
        ASSERT_TRUE(program.WaitFor("main window open")) << program.Output().constData();
        EXPECT_FALSE(QFile::exists(install.Path("config/Tamsiro/Tamsiro.ini")));
        ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signal), 0);
        ASSERT_TRUE(program.waitForFinished(10000)) << signal;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(program.exitCode(), 0) << signal;
        EXPECT_TRUE(program.Output().contains("shutdown complete")) << program.Output().constData();
        EXPECT_FALSE(program.Output().contains("MessageBox")) << program.Output().constData();  // no save question
        QSettings ini(install.Path("config/Tamsiro/Tamsiro.ini"), QSettings::IniFormat);
        EXPECT_TRUE(ini.contains("WindowPosition/mainWindow.left")) << signal;
    }
}

TEST(InstanceProcesses, HelpAndVersionAnswerWithoutADisplayOrTheLockAndAnUnknownOptionIsRefused) {
    Install install;
    const auto check = [&](const char* when) {
        const Answer help = RunHeadless(install, {"--help"});
        EXPECT_EQ((std::tuple{help.status, help.code}), (std::tuple{QProcess::NormalExit, 0})) << when << help.err;
        for (const char* option : {"--debug", "--help", "-h", "--version"})
            EXPECT_NE(help.out.find(std::string("\n  ") + option + ' '), std::string::npos)
                << when << option << help.out;
        EXPECT_TRUE(help.out.starts_with("Usage: tamsiro [OPTION]...\n")) << help.out;
        // Qt's options in one entry, its words in the column of the program's own.
        EXPECT_NE(help.out.find("\n  --help      show this help and exit\n"), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("\n  -platform NAME, -display DISPLAY, -style NAME, -reverse, -session ID, ...\n"
                                "              Qt's options, passed to Qt (see Qt's QApplication documentation)\n"),
                  std::string::npos)
            << help.out;
        EXPECT_EQ(help.err, "") << when;  // nothing of the program's start in the trace
        // Help before an option that runs the program, or after --version, still only helps,
        // also with Qt's options naming a platform there is no display for.
        const Answer both = RunHeadless(install, {"--debug", "-platform", "xcb", "--version", "-h"});
        EXPECT_EQ((std::tuple{both.code, both.out, both.err}), (std::tuple{0, help.out, std::string()})) << when;

        const Answer version = RunHeadless(install, {"--version"});
        EXPECT_EQ((std::tuple{version.status, version.code, version.err}),
                  (std::tuple{QProcess::NormalExit, 0, std::string()}))
            << when;
        // What the About box shows under the program's name.
        EXPECT_EQ(version.out, "Tamsiro Version " + CQuillfenApp::GetProductVersion() + "\n") << when;
        EXPECT_FALSE(CQuillfenApp::GetProductVersion().empty());

        for (const auto& [argument, said] :
             {std::pair{"--frobnicate", "tamsiro: unknown option '--frobnicate'\n"},
              std::pair{"settings.ini", "tamsiro: unexpected argument 'settings.ini'\n"}}) {
            const Answer refused = RunHeadless(install, {"--debug", argument, "--help"});
            EXPECT_EQ((std::tuple{refused.status, refused.code, refused.out}),
                      (std::tuple{QProcess::NormalExit, 2, std::string()}))
                << when << argument;
            EXPECT_EQ(refused.err, std::string(said) + "Try 'tamsiro --help' for the options.\n") << when;
        }
    };
    check("with no instance running");
    // Not a file of the program's was made: no settings folder, no lock.
    EXPECT_FALSE(std::filesystem::exists(install.dir.path() / "config"));

    Instance first(install, "arg");
    ASSERT_TRUE(first.WaitFor("main window open")) << first.Output().constData();
    check("beside a running instance");
    // The running one was neither asked to come to the front nor otherwise touched, and
    // a later start is still refused by its lock.
    Instance second(install);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_TRUE(second.Output().contains("Already running")) << second.Output().constData();
    ASSERT_TRUE(first.WaitFor("asked this instance to come to the front")) << first.Output().constData();
    EXPECT_EQ(first.Output().count("asked this instance to come to the front"), 1) << first.Output().constData();
}

TEST(InstanceProcesses, QtsOwnOptionsReachQtSoTheLineAloneNamesThePlatform) {
    Install install;
    // As a desktop's session restore starts it, on a platform named by the line only.
    Instance program(install, "env",
                     {"-platform", "offscreen", "-session", "10d2f3a1b7_1234", "-reverse", "--style=Fusion"});
    ASSERT_TRUE(program.WaitFor("main window open")) << program.Output().constData();
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ((std::tuple{program.exitStatus(), program.exitCode()}), (std::tuple{QProcess::NormalExit, 0}));
    EXPECT_TRUE(program.Output().contains("shutdown complete")) << program.Output().constData();
}
