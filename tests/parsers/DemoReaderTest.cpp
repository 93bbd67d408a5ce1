#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
              (std::pair{Lines{}, std::vector<std::string>{"line 1: longer than 259 characters; the sequence ends before it"}}));

    // Cutting never looks at the header; the cut line keeps its first 259 characters.
    const Read cut = ReadAll("x" + text, OverlongLine::IsCut);
    EXPECT_EQ((std::pair{cut.lines, cut.messages}),
              (std::pair{Lines{{2, {"a"}}, {3, {atLimit}}, {4, {std::string(kMaxDemoLine, 'y')}}, {5, {"b"}}},
                         std::vector<std::string>{"line 4: longer than 259 characters; the rest is ignored"}}));
}

}  // namespace
}  // namespace parsers
