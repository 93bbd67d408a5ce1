#include "ui/ExternFile.h"
#include "ui/LogFile.h"

#include "data/FileTestSupport.h"
#include "platform/core/Debug.h"

#include <gtest/gtest.h>

namespace {

// 2024/05/17 09:03:07.045, then 100 ms later at every call.
LocalTimeSource steppingClock()
{
    return [calls = 0]() mutable {
        const int ms = 45 + 100 * calls++;
        return LocalDateTime{2024, 5, 17, 9, 3, 7 + ms / 1000, ms % 1000};
    };
}

const std::string kEnd = "---------------Record end---------------\r\n";
const std::string kOneChannel = "time, raw data, pps, rpm\r\n";

std::string startBanner(const std::string& stamp)
{
    return "---------------<< 2024/05/17 " + stamp + " >>Record start---------------\r\n";
}

}  // namespace

TEST(RecordFile, BlocksAppendWithExactBytesAndARestartClosesTheRunningBlock)
{
    TempDir dir;
    const std::string path = dir.file("rec.csv");
    writeText(path, "earlier content\r\n");
    CDerivedExternFile file(nullptr, steppingClock());
    ASSERT_TRUE(file.SetFileName(path));

    ASSERT_TRUE(file.StartRecord(1));
    file.WriteRow(10, 20);
    ASSERT_TRUE(file.EndRecord());
    ASSERT_TRUE(file.StartRecord(0));
    EXPECT_EQ((std::tuple{file.WriteRow(120, 3600), file.WriteRowReal(7, 1500.0, 0.125)}), (std::tuple{1, 1}));
    EXPECT_EQ(file.WriteRowReal(4294967295u, 1234567.0, 0.1 + 0.2), 1);
    ASSERT_TRUE(file.StartRecord(0));  // no EndRecord in between
    EXPECT_EQ(file.WriteRow(50, 60), 1);
    ASSERT_TRUE(file.EndRecord());
    EXPECT_EQ(readText(path), "earlier content\r\n" + startBanner("09:03:07.045") +
                                  "time, ch1 pps data, ch2 pps data, \r\n"
                                  "09:03:07.145, 10, 20\r\n" +
                                  kEnd + startBanner("09:03:07.245") + kOneChannel +
                                  "09:03:07.345, 120, 3600\r\n"
                                  "09:03:07.445, 7, 1500, 0.125\r\n"
                                  "09:03:07.545, 4294967295, 1.23457e+06, 0.3\r\n" +
                                  kEnd + startBanner("09:03:07.645") + kOneChannel + "09:03:07.745, 50, 60\r\n" + kEnd);
    EXPECT_EQ(recordfile::StartBanner({987, 12, 1, 23, 59, 59, 999}),
              "---------------<< 0987/12/01 23:59:59.999 >>Record start---------------");
}

TEST(RecordFile, AnUnwritablePathFailsClearlyAndLosesNothing)
{
    TempDir dir;
    platform::DebugCapture debug;
    ScriptedNames dialog;
    CDerivedExternFile file(&dialog, steppingClock());

    // A recording into a good file...
    dialog.answers = {dir.file("good.csv"), dir.file("missing/bad.csv")};
    ASSERT_EQ(file.ChooseFile(), 1);
    EXPECT_FALSE(file.EndRecord() || file.WriteRow(1, 2) != 0);
    ASSERT_TRUE(file.StartRecord(0));
    file.WriteRow(5, 6);

    // ...then a file in a missing folder is picked.
    ASSERT_EQ(file.ChooseFile(), 1);
    ASSERT_EQ(dialog.requests.at(0).mode, FileDialogRequest::Mode::Save);
    EXPECT_FALSE(file.StartRecord(0));
    EXPECT_NE(file.GetLastError().find("missing/bad.csv"), std::string::npos) << file.GetLastError();
    EXPECT_FALSE(debug.lines().empty() || file.IsRecording());
    EXPECT_EQ((std::pair{file.WriteRow(7, 8), file.WriteRowReal(7, 1.0, 2.0)}), (std::pair{0, 0}));
    EXPECT_FALSE(file.EndRecord() || std::filesystem::exists(dir.file("missing")));
    const std::string good = startBanner("09:03:07.045") + kOneChannel + "09:03:07.145, 5, 6\r\n" + kEnd;
    EXPECT_EQ(readText(dir.file("good.csv")), good);

    EXPECT_EQ(file.ChooseFile(), 0);
    EXPECT_EQ((std::pair{file.GetFileName(), file.GetDisplayName()}), (std::pair{dir.file("missing/bad.csv"), std::string("bad.csv")}));
    EXPECT_EQ(CDerivedExternFile().ChooseFile(), 0);

    file.SetFileName("ab");
    EXPECT_FALSE(file.StartRecord(1) || std::filesystem::exists("ab"));
}

TEST(RecordFile, AFailingWriteIsReportedNotSwallowed)
{
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    platform::DebugCapture debug;
    CDerivedExternFile file;
    file.SetFileName("/dev/full");
    EXPECT_FALSE(file.StartRecord(0) || file.IsRecording());
    EXPECT_NE(file.GetLastError().find("/dev/full"), std::string::npos);
}

TEST(LogFile, WritesBannerEmptyLineAndEnabledLinesOnlyWithTextOutsideAsciiAsQuestionMarks)
{
    TempDir dir;
    ScriptedNames dialog;
    platform::DebugCapture debug;
    CDerivedFile unchosen;
    EXPECT_FALSE(unchosen.StartRecord() || unchosen.GetLastError().empty());
    CDerivedFile log(&dialog, steppingClock());
    dialog.answers = {dir.file("test.csv")};
    ASSERT_EQ(log.ChooseFile(), 1);

    EXPECT_EQ(log.WriteLine("before start", 1), 0);
    ASSERT_TRUE(log.StartRecord());
    EXPECT_EQ((std::tuple{log.WriteLine("Test number, Arrival time[msec]", 1), log.WriteLine("left out", 0)}), (std::tuple{1, 0}));
    // "5 µs → ok" with a line break inside, then broken UTF-8; the log goes on.
    EXPECT_EQ(log.WriteLine("5 \xC2\xB5s \xE2\x86\x92 ok\nnext", 1), 1);
    EXPECT_EQ((std::tuple{log.WriteLine("bad \xFF\x80 end", 1), log.WriteLine("2,0", 1)}), (std::tuple{1, 1}));
    ASSERT_TRUE(log.EndRecord());
    EXPECT_FALSE(log.EndRecord());
    EXPECT_EQ(readText(dir.file("test.csv")), startBanner("09:03:07.045") +
                                                  "\r\n"
                                                  "Test number, Arrival time[msec]\r\n"
                                                  "5 ?s ? ok\r\nnext\r\n"
                                                  "bad ?? end\r\n"
                                                  "2,0\r\n" +
                                                  kEnd);
    EXPECT_EQ((std::tuple{log.ChooseFile(), log.GetFileName()}), (std::tuple{0, dir.file("test.csv")}));
}
