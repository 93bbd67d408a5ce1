// The demo sequence reader: the built-in copy, malformed lines and the file fallbacks.
#include <gtest/gtest.h>

#include <fstream>

#include "data/TempDir.h"
#include "pages/stepper/DemoSequence.h"

namespace pages::stepper {
namespace {

constexpr const char* kHeader = "Chip Ena,REF V,ATT,Step,Freq,Direction,Duration,Unit\r\n";

bool Mentions(const std::vector<std::string>& messages, const std::string& text) {
    for (const auto& m : messages)
        if (m.find(text) != std::string::npos) return true;
    return false;
}

TEST(DemoSequence, BuiltInCopyReadsWithoutAMessage) {
    // (Its steps as they play are shown on the stepper run.)
    const SequenceText parsed = ParseSequence(BuiltInSequenceText());
    EXPECT_TRUE(parsed.messages.empty());
    ASSERT_EQ(parsed.steps.size(), 64u);
    for (const StepRecord& r : parsed.steps) EXPECT_EQ(r.enable, 1);  // the unit column is no second enable
}

TEST(DemoSequence, MalformedLinesAreClampedOrRefusedWithAMessage) {
    struct Case {
        const char* line;
        bool kept;
        const char* message;  // part of the message, or "" for none
    };
    const Case cases[] = {
        {"H,1.0,80,Half,200,CW,10,Step", true, ""},
        {"", false, ""},                                       // an empty line is no step
        {"H,,80,Full,200,CW,3,Sec", true, ""},                 // empty REF keeps ATT in its column
        {"H,5.0,80,Full,200,CW,3,Sec", true, "outside 0 to 3.3 V"},
        {"H,-1,80,Full,200,CW,3,Sec", true, "outside 0 to 3.3 V"},
        {"H,1.0,90,Full,200,CW,3,Sec", false, "attenuation \"90\""},
        {"H,1.0,80,Full,250,CW,3,Sec", false, "step frequency \"250\""},
        {"H,1.0,80,Full,,CW,3,Sec", false, "step frequency"},
        {"H,abc,80,Full,200,CW,3,Sec", false, "REF voltage \"abc\""},
        {"H,1.0,80,Full,200,CW,xyz,Sec", false, "duration \"xyz\""},
        {"H,1.0,80,Full,200,CW,1FFFF,Sec", true, "FFFF used"},
        {"H,1.0,80,Full,200,CW,3,Sec,H", false, "more than 8 fields"},
        {"H,1.0,80,Full,200,CW,3,Sec,", true, ""},             // a trailing comma
        {" H , 1.0 , 80 , Full , 200 , CW , 3 , Sec ", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const SequenceText parsed = ParseSequence(std::string(kHeader) + c.line + "\r\n");
        EXPECT_EQ(parsed.steps.size(), c.kept ? 1u : 0u);
        EXPECT_TRUE(*c.message ? Mentions(parsed.messages, c.message) : parsed.messages.empty());
    }

    const auto one = [](const char* line) { return ParseSequence(std::string(kHeader) + line + "\n").steps.at(0); };
    const StepRecord hex = one("H,1.0,80,Half,200,CW,10,Step");
    EXPECT_EQ((std::tuple{hex.flags & 0xFFFFu, UnitSteps(hex), FullStep(hex)}), (std::tuple{16u, true, false}));  // hexadecimal
    const StepRecord blankRef = one("H,,80,Full,200,CW,3,Sec");
    EXPECT_EQ((std::tuple{blankRef.refDuty, blankRef.attenuation}), (std::tuple{0.0, 1}));
    EXPECT_EQ(one("H,5.0,80,Full,200,CW,3,Sec").refDuty, 256.0);
    const StepRecord spaced = one(" H , 1.0 , 80 , Full , 200 , CW , 3 , Sec ");
    EXPECT_EQ((std::tuple{spaced.enable, Ccw(spaced), UnitSteps(spaced)}), (std::tuple{1, false, false}));
    EXPECT_EQ(one("L,1.0,2,Full,1200,CCW,3,Sec").attenuation, 2);  // a code stays a code
}

TEST(DemoSequence, OverlongLineEndsTheReadingAndKeepsEarlierSteps) {
    const std::string text = std::string(kHeader) + "H,1,80,Full,200,CW,3,Sec\n" + "H,1,80,Full,200,CW,3," +
                             std::string(300, 'S') + "\nH,1,80,Full,200,CW,3,Sec\n";
    const SequenceText parsed = ParseSequence(text);
    EXPECT_EQ((std::tuple{parsed.steps.size(), Mentions(parsed.messages, "line 3: longer than 259")}), (std::tuple{1u, true}));
}

TEST(DemoSequence, FileOrBuiltInCopy) {
    TempDir dir;
    DemoSequence missing = LoadDemoSequence(dir.path());
    EXPECT_EQ((std::tuple{missing.source, missing.messages.empty()}), (std::tuple{StepSource::BuiltInDemo, true}));  // silently

    std::filesystem::create_directories(dir.path() / "sequence");
    const auto write = [&](const std::string& text) {
        std::ofstream(dir.path() / kDemoSequenceFile, std::ios::binary) << text;
    };
    write(kHeader);
    DemoSequence headerOnly = LoadDemoSequence(dir.path());
    EXPECT_EQ((std::tuple{headerOnly.source, headerOnly.steps.size()}), (std::tuple{StepSource::BuiltInDemo, 64u}));
    EXPECT_TRUE(Mentions(headerOnly.messages, "holds no step"));

    write(std::string(kHeader) + "H,3.3,20,Full,1200,CCW,A,Step\r\nH,0,250,Full,20,CW,1,Sec\r\n");
    DemoSequence file = LoadDemoSequence(dir.path());
    EXPECT_EQ(file.source, StepSource::FileDemo);
    ASSERT_EQ(file.steps.size(), 1u);
    // "Step" after CR LF: no stray CR.
    EXPECT_EQ((std::tuple{file.steps[0].refDuty, file.steps[0].flags & 0xFFFFu, UnitSteps(file.steps[0])}), (std::tuple{256.0, 10u, true}));
    EXPECT_TRUE(Mentions(file.messages, "line 3: attenuation"));
}

}  // namespace
}  // namespace pages::stepper
