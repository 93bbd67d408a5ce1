#include "app/AppSettings.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <system_error>
#include <unistd.h>

namespace appsettings {

std::filesystem::path SettingsFilePath(const std::filesystem::path& programDir,
                                       const std::function<bool(const std::filesystem::path&)>& writable,
                                       const std::filesystem::path& configHome) {
    if (!programDir.empty() && writable(programDir)) return programDir / kFileName;
    return configHome / "Tamsiro" / kFileName;
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& programDir) {
    const auto writable = [](const std::filesystem::path& dir) { return ::access(dir.c_str(), W_OK) == 0; };
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return SettingsFilePath(programDir, writable, std::filesystem::path(config.toStdString()));
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
    if (!path_.empty()) ini_ = std::make_unique<QSettings>(QString::fromStdString(path_.string()), QSettings::IniFormat);
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

bool CSettingsStore::Flush() {
    if (!ini_) return false;
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    ini_->sync();
    return ini_->status() == QSettings::NoError;
}
