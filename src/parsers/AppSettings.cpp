#include "parsers/AppSettings.h"

#include <pwd.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSettings>
#include <cstdlib>
#include <map>
#include <system_error>

#include "platform/core/Debug.h"

namespace appsettings {

std::filesystem::path SettingsFilePath(const std::filesystem::path& programDir,
                                       const std::filesystem::path& configHome) {
    std::error_code ec;
    if (!programDir.empty() && std::filesystem::is_regular_file(programDir / kFileName, ec)) {
        return programDir / kFileName;
    }
    // Without any configuration folder the file goes beside the program, as before.
    if (configHome.empty()) return programDir / kFileName;
    return configHome / "Tamsiro" / kFileName;
}

std::filesystem::path ConfigHome(const char* xdgConfigHome, const char* home) {
    // The base directory rules: a relative value is to be ignored.
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') return std::filesystem::path(xdgConfigHome);
    if (home != nullptr && home[0] == '/') return std::filesystem::path(home) / ".config";
    return {};
}

std::filesystem::path ConfigHome() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
    }
    return ConfigHome(std::getenv("XDG_CONFIG_HOME"), home);
}

std::filesystem::path ProgramDir() {
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

}  // namespace appsettings

CSettingsStore::CSettingsStore() = default;
CSettingsStore::~CSettingsStore() {
    if (ini_) ini_->sync();
}

void CSettingsStore::SetPath(const std::filesystem::path& path) {
    if (ini_) ini_->sync();
    path_ = path;
    ini_.reset();
    damaged_ = false;
    if (!path_.empty()) {
        ini_ = std::make_unique<QSettings>(QString::fromStdString(path_.string()), QSettings::IniFormat);
        (void)ini_->allKeys();  // reads the file now, so its state is known before any write
        damaged_ = ini_->status() == QSettings::FormatError;
    }
}

int CSettingsStore::GetInt(const QString& section, const QString& key, int fallback) const {
    if (!ini_) return fallback;
    const QVariant v = ini_->value(section + '/' + key);
    if (!v.isValid()) return fallback;
    bool ok = false;
    const int value = v.toString().trimmed().toInt(&ok, 10);
    return ok ? value : fallback;
}

void CSettingsStore::WriteInt(const QString& section, const QString& key, int value) {
    if (ini_) ini_->setValue(section + '/' + key, QString::number(value));
}

QString CSettingsStore::GetString(const QString& section, const QString& key, const QString& fallback) const {
    if (!ini_) return fallback;
    const QVariant v = ini_->value(section + '/' + key);
    return v.isValid() ? v.toString() : fallback;
}

void CSettingsStore::WriteString(const QString& section, const QString& key, const QString& value) {
    if (ini_) ini_->setValue(section + '/' + key, value);
}

bool CSettingsStore::Flush() {
    if (!ini_) return false;
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    if (damaged_) {
        // The toolkit never rewrites a file it could not read whole (nor says so once it
        // has), so one damaged line would keep every later setting from being saved. The
        // damaged file is kept aside, and what could be read, with this run's changes,
        // goes to a new one.
        damaged_ = false;
        std::map<QString, QVariant> values;
        for (const QString& key : ini_->allKeys()) values[key] = ini_->value(key);
        // Aside before the old object goes: its destructor may write the file.
        std::filesystem::path aside = path_;
        aside += ".damaged";
        std::filesystem::rename(path_, aside, ec);
        ini_.reset();
        platform::debugOut("Tamsiro: the settings file \"" + path_.string() + "\" could not be read whole; " +
                           (ec ? "it is written anew" : "it was kept as \"" + aside.string() + "\" and written anew") +
                           "\n");
        ini_ = std::make_unique<QSettings>(QString::fromStdString(path_.string()), QSettings::IniFormat);
        for (const auto& [key, value] : values) ini_->setValue(key, value);
    }
    ini_->sync();
    return ini_->status() == QSettings::NoError;
}
