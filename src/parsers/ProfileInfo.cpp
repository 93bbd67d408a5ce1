#include "parsers/ProfileInfo.h"

#include <QString>

#include "parsers/AppSettings.h"

namespace {

constexpr const char* kSection = "WindowPosition";
constexpr const char* kSuffixes[4] = {".left", ".top", ".right", ".bottom"};

// The main window and the device page keep only their top-left corner.
int KeysOf(int index) { return index <= CProfileInfo::kDeviceWindow ? 2 : 4; }

QString KeyName(int index, int suffix) {
    return QString::fromLatin1(CProfileInfo::WindowName(index)) + QString::fromLatin1(kSuffixes[suffix]);
}

bool ValidIndex(int index) { return index >= 0 && index < CProfileInfo::kWindows; }

}  // namespace

CProfileInfo::CProfileInfo(CSettingsStore* settings) : settings_(settings) {}

CProfileInfo::~CProfileInfo() = default;

const char* CProfileInfo::WindowName(int index) {
    static constexpr const char* kNames[kWindows] = {"mainWindow", "deviceWindow", "tachometer", "speedCurve"};
    return ValidIndex(index) ? kNames[index] : "";
}

int CProfileInfo::Save() {
    if (settings_ != nullptr) {
        for (int w = 0; w < kWindows; ++w) {
            // A rectangle never loaded nor set holds no position of this session;
            // writing it would overwrite (or invent) the file's value.
            if (!known_[w]) continue;
            const ProfileRect& r = rects_[w];
            const std::int32_t values[4] = {r.left, r.top, r.right, r.bottom};
            for (int s = 0; s < KeysOf(w); ++s) settings_->WriteInt(kSection, KeyName(w, s), values[s]);
        }
        settings_->Flush();
    }
    invalid_[kMainWindow] = false;
    return 1;
}

int CProfileInfo::Load() {
    bool anyIncomplete = false;
    for (int w = 0; w < kWindows; ++w) {
        std::int32_t values[4] = {-1, -1, -1, -1};
        bool complete = true;
        for (int s = 0; s < KeysOf(w); ++s) {
            values[s] = settings_ != nullptr ? settings_->GetInt(kSection, KeyName(w, s), -1) : -1;
            if (values[s] == -1) complete = false;
        }
        if (KeysOf(w) == 2) values[2] = values[3] = 0;
        rects_[w] = ProfileRect{values[0], values[1], values[2], values[3]};
        known_[w] = complete;
        invalid_[w] = !complete || rects_[w].right == rects_[w].left;
        anyIncomplete = anyIncomplete || !complete;
    }
    // One window never saved makes the whole profile unreadable; otherwise the main
    // window counts whatever its (always zero) right edge says.
    invalid_[kMainWindow] = anyIncomplete;
    return 1;
}

int CProfileInfo::SetRect(int index, const ProfileRect& rect) {
    if (!ValidIndex(index)) return 0;
    rects_[index] = rect;
    invalid_[index] = false;
    known_[index] = true;
    return 1;
}

int CProfileInfo::GetRect(int index, ProfileRect* rect) const {
    if (!ValidIndex(index) || rect == nullptr) return 0;
    if (invalid_[kMainWindow] || invalid_[index]) return 0;
    *rect = rects_[index];
    return 1;
}
