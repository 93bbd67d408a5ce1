#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "data/TempDir.h"
#include "parsers/DemoReader.h"

namespace parsers {
namespace {

// Every data line the reader hands over, as its number and fields, and what it said.
struct Read {
    std::vector<std::pair<std::size_t, std::vector<std::string>>> lines;
    std::vector<std::string> messages;
};

Read ReadAll(std::string_view text, OverlongLine overlong) {
    Read out;
    ReadDemoLines(text, overlong, out.messages, [&](const DemoLine& line, const LineNotes&) {
        out.lines.emplace_back(line.number, std::vector<std::string>(line.fields.begin(), line.fields.end()));
    });
    return out;
}

using Lines = std::vector<std::pair<std::size_t, std::vector<std::string>>>;

TEST(DemoReader, LinesKeepTheirNumberInTheFileAndGiveTrimmedFieldsBlankLinesNone) {
    const Read read = ReadAll("Head,er\r\n a , b\t,\t\r\n\n \t\r\n,c\nx\r ,\ty \t", OverlongLine::IsCut);
    EXPECT_EQ(read.lines, (Lines{{2, {"a", "b", ""}}, {5, {"", "c"}}, {6, {"x", "y"}}}));
    EXPECT_EQ(read.messages, std::vector<std::string>{});
}

TEST(DemoReader, ALineOverTheLimitEndsTheReadingOrIsCutThereAsTheFamilyChooses) {
    const std::string atLimit(kMaxDemoLine, 'x');
    const std::string overLimit = std::string(kMaxDemoLine, 'y') + ",z";
    const std::string text = atLimit + "\n" + "a\r\n" + atLimit + "\r\n" + overLimit + "\nb\n";

    // The header is a line like any other for the limit when an overlong line ends the reading.
    EXPECT_EQ(ReadAll(text, OverlongLine::EndsReading).lines, (Lines{{2, {"a"}}, {3, {atLimit}}}));
    const Read ended = ReadAll("x" + text, OverlongLine::EndsReading);
    EXPECT_EQ((std::pair{ended.lines, ended.messages}),
              (std::pair{Lines{},
                         std::vector<std::string>{"line 1: longer than 259 characters; the sequence ends before it"}}));

    // Cutting never looks at the header; the cut line keeps its first 259 characters.
    const Read cut = ReadAll("x" + text, OverlongLine::IsCut);
    EXPECT_EQ((std::pair{cut.lines, cut.messages}),
              (std::pair{Lines{{2, {"a"}}, {3, {atLimit}}, {4, {std::string(kMaxDemoLine, 'y')}}, {5, {"b"}}},
                         std::vector<std::string>{"line 4: longer than 259 characters; the rest is ignored"}}));
}

// Something in the file's place that is not a file reads as a file with no entry: the
// built-in copy plays, with the message. A pipe must not block the reading.
TEST(DemoReader, APipeOrFolderInTheFilesPlaceGivesTheBuiltInCopyWithoutBlocking) {
    const auto words = [](std::string_view text) {
        std::vector<std::string> lines;
        std::vector<std::string> messages;
        ReadDemoLines(text, OverlongLine::IsCut, messages,
                      [&](const DemoLine& line, const LineNotes&) { lines.emplace_back(line.fields.at(0)); });
        return std::pair{lines, messages};
    };
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "sequence" / "folder.csv");
    const LoadedDemo<std::string> folder =
        LoadDemo<std::string>(dir.path(), "sequence/folder.csv", "row", "h\nbuilt-in", words);
    EXPECT_EQ(
        (std::tuple{folder.fromFile, folder.entries, folder.messages}),
        (std::tuple{false, std::vector<std::string>{"built-in"},
                    std::vector<std::string>{"sequence/folder.csv holds no row; the built-in sequence is played"}}));

    const std::filesystem::path pipe = dir.path() / "sequence" / "pipe.csv";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto load = std::async(std::launch::async, [&] {
        return LoadDemo<std::string>(dir.path(), "sequence/pipe.csv", "row", "h\nbuilt-in", words);
    });
    const bool ended = load.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ended) ::close(::open(pipe.c_str(), O_WRONLY));  // lets a blocked reading end, so the test can
    EXPECT_TRUE(ended) << "the reading blocked on a pipe";
    const LoadedDemo<std::string> piped = load.get();
    EXPECT_EQ((std::tuple{piped.fromFile, piped.entries, piped.messages.size()}),
              (std::tuple{false, std::vector<std::string>{"built-in"}, 1u}));
}

}  // namespace
}  // namespace parsers
