// The program as real processes (the test build's boxes go to the debug output): a second start
// shows the box and fronts the first; a start after a killed one is a first start; a termination
// signal ends it as a close does; the trace is off unless asked for.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <csignal>

#include "AppTestSupport.h"

using namespace apptest;

namespace {

// A copy of the program in a folder of its own, with its own configuration folder.
struct Install {
    Install() { std::filesystem::copy_file(TAMSIRO_TEST_INSTANCE_PROGRAM, dir.path() / "tamsiro"); }
    std::filesystem::path Settings() const { return dir.path() / "config" / "Tamsiro" / "Tamsiro.ini"; }
    std::filesystem::path Lock() const { return dir.path() / "config" / "Tamsiro" / "Tamsiro.lock"; }
    TempDir dir;
};

// One run of the program, with its standard error collected; killed if still running at
// the end. `trace`: how the trace is asked for ("env", "arg" or "").
class Instance {
public:
    Instance(const Install& install, const std::string& trace = "env") {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TAMSIRO_BOARD_PORT", QString::fromStdString((install.dir.path() / "no-board").string()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((install.dir.path() / "config").string()));
        env.remove("TAMSIRO_DEBUG");
        if (trace == "env") env.insert("TAMSIRO_DEBUG", "1");
        process.setProcessEnvironment(env);
        process.setProgram(QString::fromStdString((install.dir.path() / "tamsiro").string()));
        if (trace == "arg") process.setArguments({"--debug"});
        process.start();
    }
    ~Instance() { Kill(); }
    // Waits until standard error holds `text`.
    bool WaitFor(const QByteArray& text, int limitMs = 10000) {
        QElapsedTimer t;
        t.start();
        while (!Output().contains(text) && t.elapsed() < limitMs && process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(50);
        }
        return Output().contains(text);
    }
    const QByteArray& Output() {
        output_ += process.readAllStandardError();
        return output_;
    }
    void Kill() {
        if (process.state() == QProcess::NotRunning) return;
        process.kill();
        process.waitForFinished(5000);
    }

    QProcess process;

private:
    QByteArray output_;
};

}  // namespace

TEST(InstanceProcesses, TheSecondStartStopsAndCallsTheFirstAndAKilledOneLeavesNoLock) {
    Install install;
    Instance first(install, "arg");
    ASSERT_TRUE(first.process.waitForStarted(5000));
    ASSERT_TRUE(first.WaitFor("main window open")) << first.Output().constData();
    // The lock sits beside the settings file in the user's configuration folder (that it
    // is private is checked in-process).
    EXPECT_TRUE(std::filesystem::exists(install.Lock()));

    Instance second(install);
    ASSERT_TRUE(second.process.waitForStarted(5000));
    ASSERT_TRUE(second.process.waitForFinished(10000));
    EXPECT_EQ((std::pair{second.process.exitStatus(), second.process.exitCode()}), (std::pair{QProcess::NormalExit, 0}));
    const QByteArray box =
        "MessageBox [Error: Already running] Tamsiro is already running.\n\nIf running by different user account, "
        "please terminate after change to User account to corresponding.\nOtherwise, to press 'OK' button will be "
        "visible.";
    EXPECT_TRUE(second.Output().contains(box)) << second.Output().constData();
    EXPECT_FALSE(second.Output().contains("main window open"));
    EXPECT_TRUE(first.WaitFor("asked this instance to come to the front")) << first.Output().constData();

    // Without the trace asked for, the same start says nothing on standard error.
    Instance quiet(install, "");
    ASSERT_TRUE(quiet.process.waitForFinished(10000));
    EXPECT_EQ(quiet.process.exitCode(), 0);
    EXPECT_FALSE(quiet.Output().contains("Tamsiro") || quiet.Output().contains("MessageBox")) << quiet.Output().constData();

    // Killed: its lock file stays behind, but the next start takes it over.
    first.Kill();
    EXPECT_TRUE(std::filesystem::exists(install.Lock()));
    Instance third(install);
    ASSERT_TRUE(third.process.waitForStarted(5000));
    EXPECT_TRUE(third.WaitFor("main window open")) << third.Output().constData();
    EXPECT_FALSE(third.Output().contains("Already running"));
}

TEST(InstanceProcesses, TerminationSignalsEndTheProgramAsACloseDoesWithoutTheSaveQuestion) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        Install install;
        Instance program(install);
        ASSERT_TRUE(program.process.waitForStarted(5000));
        ASSERT_TRUE(program.WaitFor("main window open")) << program.Output().constData();
        EXPECT_FALSE(std::filesystem::exists(install.Settings()));
        ASSERT_EQ(::kill(static_cast<pid_t>(program.process.processId()), signal), 0);
        ASSERT_TRUE(program.process.waitForFinished(10000)) << signal;
        // A thread still running at the end, or a crash, would not be a normal exit with 0.
        EXPECT_EQ((std::pair{program.process.exitStatus(), program.process.exitCode()}), (std::pair{QProcess::NormalExit, 0})) << signal;
        const QByteArray out = program.Output();
        EXPECT_TRUE(out.contains("shutdown complete")) << out.constData();
        EXPECT_FALSE(out.contains("MessageBox")) << out.constData();  // no save question
        // The window positions reached the settings file.
        QSettings ini(QString::fromStdString(install.Settings().string()), QSettings::IniFormat);
        EXPECT_EQ((std::tuple{ini.contains("WindowPosition/mainWindow.left"), ini.contains("WindowPosition/mainWindow.top")}), (std::tuple{true, true})) << signal;
    }
}
