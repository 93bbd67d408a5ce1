// The program started twice as real processes (the test build, whose message boxes go
// to the debug output): the second start shows the box and makes the first come to the
// front; a start after a killed instance is a first start (no stale lock).
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <memory>

#include "AppTestSupport.h"

using namespace apptest;

namespace {

// One run of the program, with its debug output collected.
class Instance {
public:
    Instance(const std::filesystem::path& program, const std::filesystem::path& dir) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TAMSIRO_BOARD_PORT", QString::fromStdString((dir / "no-board").string()));
        process_.setProcessEnvironment(env);
        process_.setProgram(QString::fromStdString(program.string()));
        process_.start();
    }
    ~Instance() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    bool Started() { return process_.waitForStarted(5000); }
    // Waits until the debug output holds `text`.
    bool WaitFor(const QByteArray& text, int limitMs = 10000) {
        QElapsedTimer t;
        t.start();
        while (!Output().contains(text)) {
            if (t.elapsed() > limitMs || process_.state() == QProcess::NotRunning) return Output().contains(text);
            process_.waitForReadyRead(50);
        }
        return true;
    }
    const QByteArray& Output() {
        output_ += process_.readAllStandardError();
        return output_;
    }
    bool Finish(int limitMs = 10000) { return process_.waitForFinished(limitMs); }
    int ExitCode() const { return process_.exitCode(); }
    QProcess::ExitStatus ExitStatus() const { return process_.exitStatus(); }
    void Kill() {
        process_.kill();
        process_.waitForFinished(5000);
    }

private:
    QProcess process_;
    QByteArray output_;
};

}  // namespace

TEST(InstanceProcesses, TheSecondStartStopsAndCallsTheFirstAndAKilledOneLeavesNoLock) {
    // A copy of the program in a folder of its own: its settings file and lock go there.
    TempDir dir;
    const auto program = dir.path / "tamsiro";
    std::filesystem::copy_file(TAMSIRO_TEST_INSTANCE_PROGRAM, program);

    Instance first(program, dir.path);
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(first.WaitFor("main window open")) << first.Output().constData();
    EXPECT_TRUE(std::filesystem::exists(dir.path / "Tamsiro.lock"));

    Instance second(program, dir.path);
    ASSERT_TRUE(second.Started());
    ASSERT_TRUE(second.Finish());
    EXPECT_EQ(second.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.ExitCode(), 0);
    const QByteArray box =
        "MessageBox [Error: Already running] Tamsiro is already running.\n\nIf running by different user account, "
        "please terminate after change to User account to corresponding.\nOtherwise, to press 'OK' button will be "
        "visible.";
    EXPECT_TRUE(second.Output().contains(box)) << second.Output().constData();
    EXPECT_FALSE(second.Output().contains("main window open"));
    EXPECT_TRUE(first.WaitFor("asked this instance to come to the front")) << first.Output().constData();

    // Killed: its lock file stays behind, but the next start takes it over.
    first.Kill();
    EXPECT_TRUE(std::filesystem::exists(dir.path / "Tamsiro.lock"));
    Instance third(program, dir.path);
    ASSERT_TRUE(third.Started());
    EXPECT_TRUE(third.WaitFor("main window open")) << third.Output().constData();
    EXPECT_FALSE(third.Output().contains("Already running"));
}
