#include "ui/ExternFile.h"
#include "ui/LogFile.h"

#include "data/TempDir.h"
#include "platform/core/Debug.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

namespace {

// Answers the Save dialog from a script; an empty answer is a cancel.
class ScriptedDialog : public IFileNameProvider {
public:
    std::deque<std::string> answers;
    std::vector<FileDialogRequest> requests;

    std::string RequestFileName(const FileDialogRequest& request) override
    {
        requests.push_back(request);
        if (answers.empty()) {
            return {};
        }
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// 2024/05/17 09:03:07.045, then 100 ms later at every call.
class SteppingClock {
public:
    LocalTimeSource source()
    {
        return [this] {
            LocalDateTime t{2024, 5, 17, 9, 3, 7, 45};
            const int ms = 45 + 100 * calls_++;
            t.second += ms / 1000;
            t.millisecond = ms % 1000;
            return t;
        };
    }

private:
    int calls_ = 0;
};

std::string readText(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeText(const std::string& path, const std::string& text)
{
    writeBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

const std::string kEnd = "---------------Record end---------------\r\n";

std::string startBanner(const std::string& stamp)
{
    return "---------------<< 2024/05/17 " + stamp + " >>Record start---------------\r\n";
}

}  // namespace

TEST(RecordFile, FormatsBannersAndTimeStampsWithZeroPadding)
{
    EXPECT_EQ(recordfile::StartBanner({2024, 5, 17, 9, 3, 7, 45}),
              "---------------<< 2024/05/17 09:03:07.045 >>Record start---------------");
    EXPECT_EQ(recordfile::StartBanner({987, 12, 1, 23, 59, 59, 999}),
              "---------------<< 0987/12/01 23:59:59.999 >>Record start---------------");
    EXPECT_EQ(recordfile::TimeStamp({2024, 1, 2, 0, 0, 5, 7}), "00:00:05.007");
    EXPECT_EQ(recordfile::EndBanner(), "---------------Record end---------------");
}

TEST(RecordFile, ChoosesTheFileThroughTheSaveDialog)
{
    TempDir dir;
    ScriptedDialog dialog;
    CDerivedExternFile file(&dialog);
    dialog.answers = {dir.file("speed.csv")};

    EXPECT_EQ(file.ChooseFile(), 1);
    ASSERT_EQ(dialog.requests.size(), 1u);
    const FileDialogRequest& request = dialog.requests[0];
    EXPECT_EQ(request.mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(request.title, "Save graph data");
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].description, "MS-Excel CSV files(*.csv)");
    EXPECT_EQ(request.filters[0].pattern, "*.csv");
    EXPECT_EQ(request.filters[1].description, "All files(*.*)");
    EXPECT_EQ(request.filters[1].pattern, "*.*");
    EXPECT_EQ(request.defaultExtension, "csv");
    EXPECT_FALSE(request.fileMustExist);
    EXPECT_EQ(file.GetFileName(), dir.file("speed.csv"));
    EXPECT_EQ(file.GetDisplayName(), "speed.csv");

    // Cancelling keeps the earlier choice.
    EXPECT_EQ(file.ChooseFile(), 0);
    EXPECT_EQ(file.GetFileName(), dir.file("speed.csv"));
    EXPECT_EQ(file.GetDisplayName(), "speed.csv");

    // A path under six characters leaves the display name as it was.
    dialog.answers = {"/a.cs"};
    EXPECT_EQ(file.ChooseFile(), 1);
    EXPECT_EQ(file.GetFileName(), "/a.cs");
    EXPECT_EQ(file.GetDisplayName(), "speed.csv");

    CDerivedExternFile withoutDialog;
    EXPECT_EQ(withoutDialog.ChooseFile(), 0);
    EXPECT_FALSE(withoutDialog.SetFileName(""));
}

TEST(RecordFile, OneChannelRecordingBytesAreExact)
{
    TempDir dir;
    SteppingClock clock;
    CDerivedExternFile file(nullptr, clock.source());
    ASSERT_TRUE(file.SetFileName(dir.file("rec.csv")));

    ASSERT_TRUE(file.StartRecord(0));
    EXPECT_EQ(file.WriteRow(120, 3600), 1);
    EXPECT_EQ(file.WriteRowReal(7, 1500.0, 0.125), 1);
    EXPECT_EQ(file.WriteRowReal(4294967295u, 1234567.0, 0.1 + 0.2), 1);
    EXPECT_TRUE(file.EndRecord());

    EXPECT_EQ(readText(dir.file("rec.csv")), startBanner("09:03:07.045") +
                                                 "time, raw data, pps, rpm\r\n"
                                                 "09:03:07.145, 120, 3600\r\n"
                                                 "09:03:07.245, 7, 1500, 0.125\r\n"
                                                 "09:03:07.345, 4294967295, 1.23457e+06, 0.3\r\n" +
                                                 kEnd);
}

TEST(RecordFile, RecordingsAppendAfterWhatTheFileHeld)
{
    TempDir dir;
    const std::string path = dir.file("rec.csv");
    writeText(path, "earlier content\r\n");
    SteppingClock clock;
    CDerivedExternFile file(nullptr, clock.source());
    file.SetFileName(path);

    ASSERT_TRUE(file.StartRecord(1));
    file.WriteRow(10, 20);
    ASSERT_TRUE(file.EndRecord());
    ASSERT_TRUE(file.StartRecord(0));
    file.WriteRow(30, 40);
    ASSERT_TRUE(file.EndRecord());

    EXPECT_EQ(readText(path), "earlier content\r\n" + startBanner("09:03:07.045") +
                                  "time, ch1 pps data, ch2 pps data, \r\n"
                                  "09:03:07.145, 10, 20\r\n" +
                                  kEnd + startBanner("09:03:07.245") +
                                  "time, raw data, pps, rpm\r\n"
                                  "09:03:07.345, 30, 40\r\n" +
                                  kEnd);
}

TEST(RecordFile, StartingAgainWhileRecordingClosesTheRunningBlockFirst)
{
    TempDir dir;
    SteppingClock clock;
    CDerivedExternFile file(nullptr, clock.source());
    file.SetFileName(dir.file("a.csv"));

    ASSERT_TRUE(file.StartRecord(0));
    file.WriteRow(1, 2);
    ASSERT_TRUE(file.StartRecord(0));  // no EndRecord in between
    EXPECT_EQ(file.WriteRow(3, 4), 1);
    ASSERT_TRUE(file.EndRecord());

    EXPECT_EQ(readText(dir.file("a.csv")), startBanner("09:03:07.045") +
                                               "time, raw data, pps, rpm\r\n"
                                               "09:03:07.145, 1, 2\r\n" +
                                               kEnd + startBanner("09:03:07.245") +
                                               "time, raw data, pps, rpm\r\n"
                                               "09:03:07.345, 3, 4\r\n" +
                                               kEnd);
}

TEST(RecordFile, AnUnwritablePathFailsClearlyAndLosesNothing)
{
    TempDir dir;
    SteppingClock clock;
    platform::DebugCapture debug;
    ScriptedDialog dialog;
    CDerivedExternFile file(&dialog, clock.source());

    // A recording runs into a good file...
    dialog.answers = {dir.file("good.csv"), dir.file("missing/bad.csv")};
    ASSERT_EQ(file.ChooseFile(), 1);
    ASSERT_TRUE(file.StartRecord(0));
    file.WriteRow(5, 6);

    // ...then the user picks a file in a folder that does not exist.
    ASSERT_EQ(file.ChooseFile(), 1);
    EXPECT_FALSE(file.StartRecord(0));
    EXPECT_NE(file.GetLastError().find("missing/bad.csv"), std::string::npos) << file.GetLastError();
    EXPECT_FALSE(debug.lines().empty());
    EXPECT_FALSE(file.IsRecording());
    EXPECT_EQ(file.WriteRow(7, 8), 0);
    EXPECT_EQ(file.WriteRowReal(7, 1.0, 2.0), 0);
    EXPECT_FALSE(file.EndRecord());
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));

    // The good file holds its complete block.
    EXPECT_EQ(readText(dir.file("good.csv")), startBanner("09:03:07.045") +
                                                  "time, raw data, pps, rpm\r\n"
                                                  "09:03:07.145, 5, 6\r\n" +
                                                  kEnd);

    // A folder is no file either, and a path under three characters is refused.
    file.SetFileName(dir.path().string());
    EXPECT_FALSE(file.StartRecord(1));
    file.SetFileName("ab");
    EXPECT_FALSE(file.StartRecord(1));
    EXPECT_FALSE(std::filesystem::exists("ab"));
}

TEST(RecordFile, AFailingWriteIsReportedNotSwallowed)
{
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    platform::DebugCapture debug;
    CDerivedExternFile file;
    file.SetFileName("/dev/full");
    EXPECT_FALSE(file.StartRecord(0));
    EXPECT_NE(file.GetLastError().find("/dev/full"), std::string::npos);
    EXPECT_FALSE(file.IsRecording());
}

TEST(RecordFile, EndRecordOnAClosedFileWritesNothing)
{
    TempDir dir;
    const std::string path = dir.file("x.csv");
    writeText(path, "keep\r\n");
    CDerivedExternFile file;
    file.SetFileName(path);
    EXPECT_FALSE(file.EndRecord());
    EXPECT_EQ(file.WriteRow(1, 2), 0);
    EXPECT_EQ(readText(path), "keep\r\n");
}

TEST(RecordFile, DestroyingTheFileEndsItsRecording)
{
    TempDir dir;
    SteppingClock clock;
    {
        CDerivedExternFile file(nullptr, clock.source());
        file.SetFileName(dir.file("d.csv"));
        ASSERT_TRUE(file.StartRecord(0));
    }
    EXPECT_EQ(readText(dir.file("d.csv")), startBanner("09:03:07.045") + "time, raw data, pps, rpm\r\n" + kEnd);
}

TEST(LogFile, WritesBannerEmptyLineAndEnabledLinesOnly)
{
    TempDir dir;
    SteppingClock clock;
    ScriptedDialog dialog;
    CDerivedFile log(&dialog, clock.source());
    dialog.answers = {dir.file("test.csv")};
    ASSERT_EQ(log.ChooseFile(), 1);
    EXPECT_EQ(dialog.requests.at(0).title, "Save graph data");

    EXPECT_EQ(log.WriteLine("before start", 1), 0);
    ASSERT_TRUE(log.StartRecord());
    EXPECT_EQ(log.WriteLine("Test number, Arrival time[msec]", 1), 1);
    EXPECT_EQ(log.WriteLine("1,250", 1), 1);
    EXPECT_EQ(log.WriteLine("left out", 0), 0);
    EXPECT_EQ(log.WriteLine("2,0", 1), 1);
    ASSERT_TRUE(log.EndRecord());
    EXPECT_FALSE(log.EndRecord());

    EXPECT_EQ(readText(dir.file("test.csv")), startBanner("09:03:07.045") +
                                                  "\r\n"
                                                  "Test number, Arrival time[msec]\r\n"
                                                  "1,250\r\n"
                                                  "2,0\r\n" +
                                                  kEnd);

    // Cancelling keeps the path; a second recording appends.
    EXPECT_EQ(log.ChooseFile(), 0);
    EXPECT_EQ(log.GetFileName(), dir.file("test.csv"));
}

TEST(LogFile, TextOutsideAsciiBecomesQuestionMarksAndTheLogGoesOn)
{
    TempDir dir;
    SteppingClock clock;
    CDerivedFile log(nullptr, clock.source());
    log.SetFileName(dir.file("t.txt"));
    ASSERT_TRUE(log.StartRecord());
    // "5 µs → ok" with a line break inside, then broken UTF-8.
    EXPECT_EQ(log.WriteLine("5 \xC2\xB5s \xE2\x86\x92 ok\nnext", 1), 1);
    EXPECT_EQ(log.WriteLine("bad \xFF\x80 end", 1), 1);
    EXPECT_EQ(log.WriteLine("still writing", 1), 1);
    ASSERT_TRUE(log.EndRecord());

    EXPECT_EQ(readText(dir.file("t.txt")), startBanner("09:03:07.045") +
                                               "\r\n"
                                               "5 ?s ? ok\r\nnext\r\n"
                                               "bad ?? end\r\n"
                                               "still writing\r\n" +
                                               kEnd);
}

TEST(LogFile, AnUnwritablePathFailsClearly)
{
    TempDir dir;
    platform::DebugCapture debug;
    CDerivedFile log;
    EXPECT_FALSE(log.StartRecord());  // nothing chosen yet
    EXPECT_FALSE(log.GetLastError().empty());
    log.SetFileName(dir.file("no/such/folder.txt"));
    EXPECT_FALSE(log.StartRecord());
    EXPECT_EQ(log.WriteLine("x", 1), 0);
    EXPECT_FALSE(log.EndRecord());
    EXPECT_EQ(debug.lines().size(), 2u);
}
