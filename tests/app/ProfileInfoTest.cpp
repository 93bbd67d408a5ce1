// Window positions in the settings file, and the settings file's place.
#include <gtest/gtest.h>

#include "AppTestSupport.h"

using namespace apptest;

namespace {

struct Profile {
    explicit Profile(const std::filesystem::path& ini) : profile(&settings) { settings.SetPath(ini); }
    CSettingsStore settings;
    CProfileInfo profile;
    bool Readable(int index) const {
        ProfileRect r;
        return profile.GetRect(index, &r) == 1;
    }
    std::vector<bool> Readable() const { return {Readable(0), Readable(1), Readable(2), Readable(3)}; }
};

}  // namespace

TEST(WindowPositions, LoadFollowsTheFilesKeys) {
    TempDir dir;
    {  // No section: nothing can be read.
        Profile p(dir.path() / "empty.ini");
        EXPECT_EQ(p.profile.Load(), 1);
        EXPECT_EQ(p.Readable(), std::vector<bool>(4, false));
    }
    {  // Every key: every window, with the corners only for the first two.
        WritePositions(dir.path() / "all.ini");
        Profile p(dir.path() / "all.ini");
        p.profile.Load();
        ProfileRect r;
        ASSERT_EQ(p.profile.GetRect(0, &r), 1);
        EXPECT_EQ((std::tuple{r.left, r.top, r.right}), (std::tuple{100, 50, 0}));
        ASSERT_EQ(p.profile.GetRect(3, &r), 1);
        EXPECT_EQ(r.bottom, 240);
    }
    {  // One key missing anywhere: nothing at all, not even the main window. Once the
       // main window is set, the complete windows are readable, the incomplete one not.
        WritePositions(dir.path() / "partial.ini", {{"speedCurve.bottom", ""}});
        Profile p(dir.path() / "partial.ini");
        p.profile.Load();
        EXPECT_EQ(p.Readable(), std::vector<bool>(4, false));
        p.profile.SetRect(0, ProfileRect{1, 2, 3, 4});
        // The last one's left/top/right were never a saved rectangle.
        EXPECT_EQ(p.Readable(), (std::vector<bool>{true, true, true, false}));
    }
    {  // A left edge of 0: the main window counts, the device window does not.
        WritePositions(dir.path() / "zero.ini", {{"mainWindow.left", "0"}, {"deviceWindow.left", "0"}});
        Profile p(dir.path() / "zero.ini");
        p.profile.Load();
        EXPECT_EQ((std::tuple{p.Readable(0), p.Readable(1)}), (std::tuple{true, false}));
    }
    {  // A value that is no number counts as never saved.
        WritePositions(dir.path() / "bad.ini", {{"tachometer.top", "1x"}});
        Profile p(dir.path() / "bad.ini");
        p.profile.Load();
        EXPECT_FALSE(p.Readable(0));
    }
}

// (That a save writes only the windows it knows is shown by the start with Ctrl held.)
TEST(WindowPositions, NegativePositionsRoundTripAndIndexesAreChecked) {
    TempDir dir;
    const auto ini = dir.path() / "positions.ini";
    WritePositions(ini);
    {
        Profile p(ini);
        p.profile.Load();
        p.profile.SetRect(2, ProfileRect{-20, 5, 80, 90});  // left of the first screen
        EXPECT_EQ(p.profile.Save(), 1);
    }
    Profile p(ini);
    p.profile.Load();
    ProfileRect r;
    ASSERT_EQ(p.profile.GetRect(2, &r), 1);
    EXPECT_EQ((std::pair{r.left, r.bottom}), (std::pair{-20, 90}));

    // Indexes outside 0..3 are refused and write nothing.
    ProfileRect untouched{11, 12, 13, 14};
    for (int index : {4, -1}) {
        EXPECT_EQ(p.profile.SetRect(index, ProfileRect{1, 1, 1, 1}), 0) << index;
        EXPECT_EQ(p.profile.GetRect(index, &untouched), 0) << index;
    }
    EXPECT_EQ((std::pair{untouched.left, untouched.bottom}), (std::pair{11, 14}));
    EXPECT_EQ(p.profile.GetRect(0, nullptr), 0);
}

TEST(SettingsFile, InTheUsersConfigFolderUnlessOneIsAlreadyBesideTheProgram) {
    TempDir dir;
    const auto config = dir.path() / "config";
    EXPECT_EQ(appsettings::SettingsFilePath(dir.path(), config), config / "Tamsiro" / "Tamsiro.ini");
    writeText(dir.file("Tamsiro.ini"), "");  // a portable install
    EXPECT_EQ(appsettings::SettingsFilePath(dir.path(), config), dir.path() / "Tamsiro.ini");

    EXPECT_EQ(appsettings::ConfigHome("/srv/conf", "/home/u"), std::filesystem::path("/srv/conf"));
    EXPECT_EQ(appsettings::ConfigHome(nullptr, "/home/u"), std::filesystem::path("/home/u/.config"));
    EXPECT_EQ(appsettings::ConfigHome("conf", "/home/u"), std::filesystem::path("/home/u/.config"));  // not absolute
    EXPECT_EQ(appsettings::ConfigHome(nullptr, nullptr), std::filesystem::path());
}
