// Window positions in the settings file, and the settings file's place.
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/DialogSelector.h"
#include "platform/core/Debug.h"

using namespace apptest;

namespace {

struct Profile {
    explicit Profile(const std::filesystem::path& ini) : profile(&settings) {
        settings.SetPath(ini);
        loaded = profile.Load();
    }
    std::vector<bool> Readable() const {
        std::vector<bool> readable;
        for (int index = 0; index < 4; ++index) {
            ProfileRect r;
            readable.push_back(profile.GetRect(index, &r) == 1);
        }
        return readable;
    }
    CSettingsStore settings;
    CProfileInfo profile;
    int loaded;
};

}  // namespace

TEST(WindowPositions, LoadFollowsTheFilesKeys) {
    TempDir dir;
    Profile none(dir.path() / "none.ini");
    EXPECT_EQ(none.loaded, 1);
    EXPECT_EQ(none.Readable(), std::vector<bool>(4, false));

    // One key missing or bad anywhere: nothing at all. A left edge of 0 counts only for the main window.
    const struct {
        std::map<std::string, std::string> changes;
        std::vector<bool> readable;
    } cases[] = {{{}, std::vector<bool>(4, true)},
                 {{{"speedCurve.bottom", ""}}, std::vector<bool>(4, false)},
                 {{{"tachometer.top", "1x"}}, std::vector<bool>(4, false)},
                 {{{"mainWindow.left", "0"}, {"deviceWindow.left", "0"}}, {true, false, true, true}}};
    for (const auto& c : cases) {
        WritePositions(dir.path() / "p.ini", c.changes);
        Profile p(dir.path() / "p.ini");
        EXPECT_EQ(p.Readable(), c.readable) << c.changes.size();
    }

    // Once the main window is set, the complete windows are readable.
    WritePositions(dir.path() / "p.ini", {{"speedCurve.bottom", ""}});
    Profile partial(dir.path() / "p.ini");
    partial.profile.SetRect(0, ProfileRect{1, 2, 3, 4});
    EXPECT_EQ(partial.Readable(), (std::vector<bool>{true, true, true, false}));
}

// (The other keys' way through a save and a load: the start with Ctrl held.)
TEST(WindowPositions, NegativePositionsRoundTripAndIndexesAreChecked) {
    TempDir dir;
    const auto ini = dir.path() / "positions.ini";
    WritePositions(ini);
    {
        Profile p(ini);
        p.profile.SetRect(2, ProfileRect{-20, 5, 80, 90});  // left of the first screen
        EXPECT_EQ(p.profile.Save(), 1);
    }
    Profile p(ini);
    ProfileRect r;
    ASSERT_EQ(p.profile.GetRect(2, &r), 1);
    EXPECT_EQ(r.left, -20);
    EXPECT_EQ(r.bottom, 90);

    ProfileRect untouched{11, 12, 13, 14};
    for (int index : {4, -1}) {
        EXPECT_EQ(p.profile.SetRect(index, ProfileRect{1, 1, 1, 1}), 0) << index;
        EXPECT_EQ(p.profile.GetRect(index, &untouched), 0) << index;
    }
    EXPECT_EQ(untouched.left, 11);
    EXPECT_EQ(p.profile.GetRect(0, nullptr), 0);
}

// (In the configuration folder the environment names: the program's processes.)
TEST(SettingsFile, BesideTheProgramWhenOneIsThereElseUnderHomeWithoutAnAbsoluteFolderNamed) {
    TempDir dir;
    writeText(dir.file("Tamsiro.ini"), "");  // a portable install
    EXPECT_EQ(appsettings::SettingsFilePath(dir.path(), "/c"), dir.path() / "Tamsiro.ini");
    EXPECT_EQ(appsettings::ConfigHome(nullptr, "/home/u"), std::filesystem::path("/home/u/.config"));
    EXPECT_EQ(appsettings::ConfigHome("conf", "/home/u"), std::filesystem::path("/home/u/.config"));  // not absolute
    EXPECT_EQ(appsettings::ConfigHome(nullptr, nullptr), std::filesystem::path());
    EXPECT_EQ(appsettings::ConfigHome("/xdg", "/home/u"), std::filesystem::path("/xdg"));

    // A first start: the configuration folder does not exist yet.
    CSettingsStore fresh;
    fresh.SetPath(dir.path() / "config" / "Tamsiro" / "Tamsiro.ini");
    fresh.WriteInt("WindowPosition", "mainWindow.left", 7);
    EXPECT_TRUE(fresh.Flush());
    EXPECT_EQ(readText(dir.file("config/Tamsiro/Tamsiro.ini")), "[WindowPosition]\nmainWindow.left=7\n");
}

// A line without "=" makes the toolkit refuse to rewrite the file; the positions and the
// last folder must still be saved, and the damaged file is kept.
TEST(WindowPositions, ADamagedSettingsFileIsKeptAsideAndTheSettingsAreStillSaved) {
    TempDir dir;
    const auto ini = dir.path() / "Tamsiro.ini";
    WritePositions(ini);
    std::ofstream(ini, std::ios::app) << "speedCurve.t\xc2\n";
    const std::string damaged = readText(ini.string());
    platform::DebugCapture debug;
    {
        Profile p(ini);
        EXPECT_EQ(p.Readable(), std::vector<bool>(4, true));
        p.profile.SetRect(2, ProfileRect{-5, 6, 70, 80});
        p.settings.WriteString("FileDialog", "lastFolder", "/tmp/sets");
        p.profile.Save();
        EXPECT_TRUE(p.settings.Flush());
    }
    Profile again(ini);
    ProfileRect r;
    ASSERT_EQ(again.profile.GetRect(2, &r), 1);
    EXPECT_EQ((std::tuple{r.left, r.top, r.right, r.bottom}), (std::tuple{-5, 6, 70, 80}));
    ASSERT_EQ(again.profile.GetRect(0, &r), 1);
    EXPECT_EQ((std::pair{r.left, r.top}), (std::pair{100, 50}));
    EXPECT_EQ(again.settings.GetString("FileDialog", "lastFolder").toStdString(), "/tmp/sets");
    EXPECT_EQ(readText((dir.path() / "Tamsiro.ini.damaged").string()), damaged);
    EXPECT_EQ(debug.count("Tamsiro: the settings file \"" + ini.string() + "\" could not be read whole; it was kept as \"" +
                          ini.string() + ".damaged\" and written anew\n"),
              1u)
        << ::testing::PrintToString(debug.lines());
}

// Which driver keys get which page: the edges of each motor type's range, and the DC
// keys 4 to 6 that have no page.
TEST(PageSelector, EachDriverKeyGetsItsPageClassAndTheGapsGetNone) {
    const std::vector<std::pair<std::uint32_t, PageClass>> cases = {
        {0x100, PageClass::Stepper}, {0x106, PageClass::StepperDual}, {0x10C, PageClass::Stepper},
        {0x10D, PageClass::None},    {0x203, PageClass::DC},          {0x204, PageClass::None},
        {0x206, PageClass::None},    {0x207, PageClass::DC},          {0x209, PageClass::DC},
        {0x20A, PageClass::None},    {0x309, PageClass::BLDC},        {0x30A, PageClass::None},
        {0x400, PageClass::Lens},    {0x403, PageClass::Lens},        {0x404, PageClass::None},
        {0x000, PageClass::None},    {0x500, PageClass::None},
    };
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(static_cast<int>(PageClassFor(key >> 8, key & 0xFFu)), static_cast<int>(expected)) << std::hex << key;
}
