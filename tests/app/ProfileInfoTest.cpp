// Window positions in the settings file, and the settings file's place.
#include <gtest/gtest.h>

#include <QSettings>

#include "AppTestSupport.h"

using namespace apptest;

namespace {

// A settings file with every position key (mainWindow and deviceWindow: left and top;
// tachometer and speedCurve: all four), minus the ones named in `without`.
void WriteAllKeys(const std::filesystem::path& ini, std::initializer_list<const char*> without = {},
                  int mainLeft = 100) {
    QSettings s(QString::fromStdString(ini.string()), QSettings::IniFormat);
    const std::vector<std::pair<const char*, int>> keys = {
        {"mainWindow.left", mainLeft},  {"mainWindow.top", 50},     {"deviceWindow.left", 300},
        {"deviceWindow.top", 60},       {"tachometer.left", 10},    {"tachometer.top", 20},
        {"tachometer.right", 110},      {"tachometer.bottom", 120}, {"speedCurve.left", 30},
        {"speedCurve.top", 40},         {"speedCurve.right", 230},  {"speedCurve.bottom", 240},
    };
    for (const auto& [key, value] : keys) {
        if (std::find_if(without.begin(), without.end(), [&](const char* w) { return std::string(w) == key; }) !=
            without.end()) {
            continue;
        }
        s.setValue(QString("WindowPosition/") + key, value);
    }
}

struct Profile {
    explicit Profile(const std::filesystem::path& ini) : profile(&settings) { settings.SetPath(ini); }
    CSettingsStore settings;
    CProfileInfo profile;
    bool Readable(int index) const {
        ProfileRect r;
        return profile.GetRect(index, &r) == 1;
    }
};

}  // namespace

TEST(WindowPositions, LoadFollowsTheFilesKeys) {
    TempDir dir;
    {  // No section: nothing can be read.
        Profile p(dir.path / "empty.ini");
        EXPECT_EQ(p.profile.Load(), 1);
        for (int i = 0; i < 4; ++i) EXPECT_FALSE(p.Readable(i)) << i;
    }
    {  // Every key: every window, with the corners only for the first two.
        WriteAllKeys(dir.path / "all.ini");
        Profile p(dir.path / "all.ini");
        p.profile.Load();
        ProfileRect r;
        ASSERT_EQ(p.profile.GetRect(0, &r), 1);
        EXPECT_EQ(r.left, 100);
        EXPECT_EQ(r.top, 50);
        EXPECT_EQ(r.right, 0);
        ASSERT_EQ(p.profile.GetRect(3, &r), 1);
        EXPECT_EQ(r.bottom, 240);
    }
    {  // One key missing anywhere: nothing at all, not even the main window. Once the
       // main window is set, the complete windows are readable, the incomplete one not.
        WriteAllKeys(dir.path / "partial.ini", {"speedCurve.bottom"});
        Profile p(dir.path / "partial.ini");
        p.profile.Load();
        for (int i = 0; i < 4; ++i) EXPECT_FALSE(p.Readable(i)) << i;
        p.profile.SetRect(0, ProfileRect{1, 2, 3, 4});
        EXPECT_TRUE(p.Readable(0));
        EXPECT_TRUE(p.Readable(1));
        EXPECT_TRUE(p.Readable(2));
        EXPECT_FALSE(p.Readable(3));  // its left/top/right were never a saved rectangle
    }
    {  // A left edge of 0: the main window counts, the device window does not.
        WriteAllKeys(dir.path / "zero.ini", {}, 0);
        {
            QSettings s(QString::fromStdString((dir.path / "zero.ini").string()), QSettings::IniFormat);
            s.setValue("WindowPosition/deviceWindow.left", 0);
        }
        Profile p(dir.path / "zero.ini");
        p.profile.Load();
        EXPECT_TRUE(p.Readable(0));
        EXPECT_FALSE(p.Readable(1));
    }
    {  // A value that is no number counts as never saved.
        WriteAllKeys(dir.path / "bad.ini");
        {
            QSettings s(QString::fromStdString((dir.path / "bad.ini").string()), QSettings::IniFormat);
            s.setValue("WindowPosition/tachometer.top", "1x");
        }
        Profile p(dir.path / "bad.ini");
        p.profile.Load();
        EXPECT_FALSE(p.Readable(0));
    }
}

TEST(WindowPositions, SaveWritesWhatIsKnownAndIndexesAreChecked) {
    TempDir dir;
    const auto ini = dir.path / "positions.ini";
    WriteAllKeys(ini);
    {
        // Nothing loaded (as after a start with Ctrl held): only what was set is
        // written; the other windows keep what the file had.
        Profile p(ini);
        p.profile.SetRect(0, ProfileRect{7, 8, 400, 300});
        EXPECT_EQ(p.profile.Save(), 1);
    }
    {
        QSettings s(QString::fromStdString(ini.string()), QSettings::IniFormat);
        EXPECT_EQ(s.value("WindowPosition/mainWindow.left").toInt(), 7);
        EXPECT_EQ(s.value("WindowPosition/mainWindow.top").toInt(), 8);
        EXPECT_FALSE(s.contains("WindowPosition/mainWindow.right"));
        EXPECT_EQ(s.value("WindowPosition/deviceWindow.left").toInt(), 300);
        EXPECT_EQ(s.value("WindowPosition/speedCurve.bottom").toInt(), 240);
    }
    {
        Profile p(ini);
        p.profile.Load();
        p.profile.SetRect(2, ProfileRect{-20, 5, 80, 90});  // left of the first screen
        p.profile.Save();
    }
    {
        Profile p(ini);
        p.profile.Load();
        ProfileRect r;
        ASSERT_EQ(p.profile.GetRect(2, &r), 1);
        EXPECT_EQ(r.left, -20);
        EXPECT_EQ(r.bottom, 90);
        ASSERT_EQ(p.profile.GetRect(0, &r), 1);
        EXPECT_EQ(r.left, 7);

        // Indexes outside 0..3 are refused and write nothing.
        EXPECT_EQ(p.profile.SetRect(4, ProfileRect{1, 1, 1, 1}), 0);
        EXPECT_EQ(p.profile.SetRect(-1, ProfileRect{1, 1, 1, 1}), 0);
        ProfileRect untouched{11, 12, 13, 14};
        EXPECT_EQ(p.profile.GetRect(4, &untouched), 0);
        EXPECT_EQ(p.profile.GetRect(-1, &untouched), 0);
        EXPECT_EQ(untouched.left, 11);
        EXPECT_EQ(untouched.bottom, 14);
        EXPECT_EQ(p.profile.GetRect(0, nullptr), 0);
    }
}

TEST(SettingsFile, BesideTheProgramWhenWritableElseInTheUsersConfigFolder) {
    const auto yes = [](const std::filesystem::path&) { return true; };
    const auto no = [](const std::filesystem::path&) { return false; };
    EXPECT_EQ(appsettings::SettingsFilePath("/opt/tamsiro", yes, "/home/u/.config"),
              std::filesystem::path("/opt/tamsiro/Tamsiro.ini"));
    EXPECT_EQ(appsettings::SettingsFilePath("/usr/bin", no, "/home/u/.config"),
              std::filesystem::path("/home/u/.config/Tamsiro/Tamsiro.ini"));
    TempDir dir;
    EXPECT_EQ(appsettings::SettingsFilePath(dir.path), dir.path / "Tamsiro.ini");
}
