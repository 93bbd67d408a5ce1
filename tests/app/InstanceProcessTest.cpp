// The program started twice as real processes (the test build, whose message boxes go
// to the debug output): the second start shows the box and makes the first come to the
// front; a start after a killed instance is a first start (no stale lock).
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include "AppTestSupport.h"

using namespace apptest;

namespace {

// One run of the program in `dir` (where its settings file and lock go), with its debug
// output collected; killed if still running at the end.
class Instance {
public:
    explicit Instance(const std::filesystem::path& dir) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TAMSIRO_BOARD_PORT", QString::fromStdString((dir / "no-board").string()));
        process.setProcessEnvironment(env);
        process.setProgram(QString::fromStdString((dir / "tamsiro").string()));
        process.start();
    }
    ~Instance() { Kill(); }
    // Waits until the debug output holds `text`.
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
    // A copy of the program in a folder of its own: its settings file and lock go there.
    TempDir dir;
    std::filesystem::copy_file(TAMSIRO_TEST_INSTANCE_PROGRAM, dir.path / "tamsiro");

    Instance first(dir.path);
    ASSERT_TRUE(first.process.waitForStarted(5000));
    ASSERT_TRUE(first.WaitFor("main window open")) << first.Output().constData();
    EXPECT_TRUE(std::filesystem::exists(dir.path / "Tamsiro.lock"));

    Instance second(dir.path);
    ASSERT_TRUE(second.process.waitForStarted(5000));
    ASSERT_TRUE(second.process.waitForFinished(10000));
    EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process.exitCode(), 0);
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
    Instance third(dir.path);
    ASSERT_TRUE(third.process.waitForStarted(5000));
    EXPECT_TRUE(third.WaitFor("main window open")) << third.Output().constData();
    EXPECT_FALSE(third.Output().contains("Already running"));
}
