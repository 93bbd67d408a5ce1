// The program's settings file: where it lives, and integer access by section and key.
//
// "Tamsiro.ini" lives in $XDG_CONFIG_HOME/Tamsiro/ (~/.config/Tamsiro/ when the
// variable is unset or not an absolute path); a "Tamsiro.ini" already beside the
// program is used instead (a portable install). The file is an INI file.
#pragma once

#include <QString>
#include <filesystem>
#include <memory>

namespace appsettings {

inline constexpr const char* kFileName = "Tamsiro.ini";

// The settings file for a program folder: the one beside the program when it exists,
// else the one in `configHome`/Tamsiro/.
std::filesystem::path SettingsFilePath(const std::filesystem::path& programDir,
                                       const std::filesystem::path& configHome);
// The user's configuration folder from the values of XDG_CONFIG_HOME and HOME (null:
// unset). Empty when neither gives an absolute path.
std::filesystem::path ConfigHome(const char* xdgConfigHome, const char* home);
// The same for the running process (the password database when HOME is unset).
std::filesystem::path ConfigHome();
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
    // Text values; `fallback` when the key is missing.
    QString GetString(const QString& section, const QString& key, const QString& fallback = {}) const;
    void WriteString(const QString& section, const QString& key, const QString& value);
    // Writes what changed to the file; false when it could not be written. A file that
    // could not be read whole is first kept beside it as "Tamsiro.ini.damaged" (its
    // name plus ".damaged") and replaced by what could be read, with the changes.
    bool Flush();

private:
    std::filesystem::path path_;
    std::unique_ptr<QSettings> ini_;
    bool damaged_ = false;  // the file read with a format error and is not yet replaced
};
