// The demo sequence reader: each field, malformed lines and the file fallbacks.
#include <gtest/gtest.h>

#include <fstream>

#include "data/TempDir.h"
#include "parsers/StepperDemo.h"

namespace pages::stepper {
namespace {

constexpr const char* kHeader = "Chip Ena,REF V,ATT,Step,Freq,Direction,Duration,Unit\r\n";

bool Mentions(const std::vector<std::string>& messages, const std::string& text) {
    for (const auto& m : messages)
        if (m.find(text) != std::string::npos) return true;
    return false;
}

TEST(DemoSequence, EachFieldGoesToItsPlaceAndAnEmptyChoiceToItsDefault) {
    using namespace stepbits;
    struct Case {
        const char* line;
        int enable, attenuation;
        double ref;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {"H,0,100,Full,20,CW,3,Sec", 1, 0, 0.0, kInUse | 3},
        {"L,3.3,80,Half,200,CCW,10,Step", 0, 1, 256.0,
         kInUse | 1u << kModeShift | 9u << kFrequencyShift | kCcw | kUnitSteps | 0x10},
        {"H,5.0,50,Full,1200,CW,1FFFF,Sec", 1, 2, 256.0, kInUse | 19u << kFrequencyShift | 0xFFFF},  // both clamped
        {"H,-1,20,Full,20,CW,3,Sec", 1, 3, 0.0, kInUse | 3},
        {"H,0,2,Full,20,CW,3,Sec", 1, 2, 0.0, kInUse | 3},                  // a code stays a code
        {"H,0,3,Full,20,CW,3,Sec", 1, 3, 0.0, kInUse | 3},                  // the last code, 20 %
        {"H,,80,,200,,3,", 1, 1, 0.0, kInUse | 9u << kFrequencyShift | 3},  // full step, CW, seconds
        {" H , 0 , 80 , Full , 200 , CW , 3 , Sec ,", 1, 1, 0.0, kInUse | 9u << kFrequencyShift | 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const SequenceText parsed = ParseSequence(std::string(kHeader) + c.line + "\r\n");
        ASSERT_EQ(parsed.steps.size(), 1u);
        const StepRecord& r = parsed.steps[0];
        EXPECT_EQ((std::tuple{int{r.enable}, int{r.attenuation}, r.flags}),
                  (std::tuple{c.enable, c.attenuation, c.flags}));
        EXPECT_DOUBLE_EQ(r.refDuty, c.ref);
    }
}

TEST(DemoSequence, MalformedLinesAreClampedOrRefusedWithAMessage) {
    const std::pair<const char*, const char*> cases[] = {
        {"H,5.0,80,Full,200,CW,3,Sec", "line 2: REF voltage 5.0 V is outside 0 to 3.3 V; 3.30 V used"},
        {"H,1.0,90,Full,200,CW,3,Sec", "attenuation \"90\""},
        {"H,1.0,4,Full,200,CW,3,Sec", "attenuation \"4\""},  // past the last code
        {"H,1.0,80,Full,250,CW,3,Sec", "step frequency \"250\""},
        {"H,1.0x,80,Full,200,CW,3,Sec", "REF voltage \"1.0x\""},
        {"H,1.0,80,Full,200,CW,xyz,Sec", "duration \"xyz\""},
        {"H,1.0,80,Full,200,CW,3s,Sec", "duration \"3s\""},  // a number with more after it
        {"H,1.0,80,Full,200,CW,1FFFF,Sec", "FFFF used"},
        {"H,1.0,80,Full,200,CW,3,Sec,H", "more than 8 fields"},
    };
    for (const auto& [line, message] : cases) {
        SCOPED_TRACE(line);
        const SequenceText parsed = ParseSequence(std::string(kHeader) + line + "\n\n");  // an empty line is no step
        EXPECT_EQ(parsed.steps.size(), std::string(message).find("used") != std::string::npos ? 1u : 0u);
        EXPECT_TRUE(Mentions(parsed.messages, message));
        EXPECT_EQ(parsed.messages.size(), 1u);
    }
}

TEST(DemoSequence, OverlongLineEndsTheReadingAndKeepsEarlierSteps) {
    const std::string text = std::string(kHeader) + "H,1,80,Full,200,CW,3,Sec\n" + "H,1,80,Full,200,CW,3," +
                             std::string(300, 'S') + "\nH,1,80,Full,200,CW,3,Sec\n";
    const SequenceText parsed = ParseSequence(text);
    EXPECT_EQ((std::tuple{parsed.steps.size(), Mentions(parsed.messages, "line 3: longer than 259")}),
              (std::tuple{1u, true}));
}

TEST(DemoSequence, FileOrBuiltInCopy) {
    TempDir dir;
    DemoSequence missing = LoadDemoSequence(dir.path());
    EXPECT_EQ((std::tuple{missing.source, missing.messages.empty()}),
              (std::tuple{StepSource::BuiltInDemo, true}));  // silently
    // The built-in copy reads whole: 64 steps, none clamped or refused.
    const SequenceText builtIn = ParseSequence(BuiltInSequenceText());
    EXPECT_EQ((std::tuple{builtIn.steps.size(), builtIn.messages}), (std::tuple{64u, std::vector<std::string>{}}));
    std::string turns;  // eight blocks of eight steps, clockwise first, then each block the other way
    for (const StepRecord& step : builtIn.steps) turns += Ccw(step) ? 'L' : 'R';
    EXPECT_EQ(turns, "RRRRRRRRLLLLLLLLRRRRRRRRLLLLLLLLRRRRRRRRLLLLLLLLRRRRRRRRLLLLLLLL");

    std::filesystem::create_directories(dir.path() / "sequence");
    const auto write = [&](const std::string& text) {
        std::ofstream(dir.path() / kDemoSequenceFile, std::ios::binary) << text;
    };
    write(kHeader);  // no step: the built-in copy, with a message
    DemoSequence headerOnly = LoadDemoSequence(dir.path());
    EXPECT_EQ((std::tuple{headerOnly.source, headerOnly.steps.size(), headerOnly.messages.size()}),
              (std::tuple{StepSource::BuiltInDemo, 64u, 1u}));

    write(std::string(kHeader) + "H,3.3,20,Full,1200,CCW,A,Step\r\n");
    DemoSequence file = LoadDemoSequence(dir.path());
    EXPECT_EQ((std::tuple{file.source, file.steps.size(), file.messages.empty()}),
              (std::tuple{StepSource::FileDemo, 1u, true}));
}

}  // namespace
}  // namespace pages::stepper
