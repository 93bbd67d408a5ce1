// The program's settings file: where it lives, and integer access by section and key.
//
// "Tamsiro.ini" lives beside the program when that folder is writable, else in
// $XDG_CONFIG_HOME/Tamsiro/ (~/.config/Tamsiro/ when the variable is unset). The file
// is an INI file.
#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <memory>

namespace appsettings {

inline constexpr const char* kFileName = "Tamsiro.ini";

// The settings file for a program folder. `writable` says whether a folder may be
// written; `configHome` is the user's configuration folder.
std::filesystem::path SettingsFilePath(const std::filesystem::path& programDir,
                                       const std::function<bool(const std::filesystem::path&)>& writable,
                                       const std::filesystem::path& configHome);
// The same for the running system: access(2) for writability, the XDG configuration
// folder for the fallback.
std::filesystem::path SettingsFilePath(const std::filesystem::path& programDir);
// The folder of the running program.
std::filesystem::path ProgramDir();

}  // namespace appsettings

class QSettings;

// Integer values by section and key in the settings file (the application's profile
// functions). Writes reach the file at Flush. No path: reads give the default, writes
// do nothing.
class CSettingsStore {
public:
    CSettingsStore();
    ~CSettingsStore();
    CSettingsStore(const CSettingsStore&) = delete;
    CSettingsStore& operator=(const CSettingsStore&) = delete;

    void SetPath(const std::filesystem::path& path);
    const std::filesystem::path& Path() const { return path_; }

    // The value, or `fallback` when the key is missing or not a decimal integer.
    int GetInt(const QString& section, const QString& key, int fallback) const;
    void WriteInt(const QString& section, const QString& key, int value);
    // Writes what changed to the file; false when it could not be written.
    bool Flush();

private:
    std::filesystem::path path_;
    std::unique_ptr<QSettings> ini_;
};
