// Where four windows stood: the main window, the device page, the tachometer window and
// the speed-curve window. The rectangles are kept in memory and read from and written
// to section "WindowPosition" of the settings file; -1 there means "never saved".
#pragma once

#include <array>
#include <cstdint>

class CSettingsStore;

struct ProfileRect {
    std::int32_t left = -1;
    std::int32_t top = -1;
    std::int32_t right = -1;
    std::int32_t bottom = -1;
};

class CProfileInfo {
public:
    static constexpr int kMainWindow = 0;
    static constexpr int kDeviceWindow = 1;
    static constexpr int kTachometer = 2;
    static constexpr int kSpeedCurve = 3;
    static constexpr int kWindows = 4;

    // The settings are borrowed; they must outlive the profile.
    explicit CProfileInfo(CSettingsStore* settings);
    virtual ~CProfileInfo();

    // Writes the rectangles held, each window's keys in suffix order; a window whose
    // rectangle was neither loaded nor set keeps what the file has. Then the profile
    // as a whole counts as valid. Returns 1.
    virtual int Save();
    // Reads every window's keys (missing ones read as -1). A window with any key
    // missing makes the whole profile unreadable until SetRect(0) or Save. Returns 1.
    virtual int Load();
    // 1, or 0 for an index outside 0..3 (nothing changes).
    virtual int SetRect(int index, const ProfileRect& rect);
    // 1 with the rectangle; 0 while the profile or that window is not valid, or for an
    // index outside 0..3 (nothing is written then).
    virtual int GetRect(int index, ProfileRect* rect) const;

    // The key names: the window's name and a suffix ("mainWindow.left").
    static const char* WindowName(int index);

private:
    CSettingsStore* settings_;
    std::array<ProfileRect, kWindows> rects_{};
    std::array<bool, kWindows> invalid_{true, true, true, true};
    // A rectangle that came from the file or from SetRect, i.e. one worth writing.
    std::array<bool, kWindows> known_{false, false, false, false};
};
