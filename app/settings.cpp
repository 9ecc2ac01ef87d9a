#include "app/settings.h"

#include <QSettings>

#include "core/GeneralStuff.h"

namespace {

std::string exePath;

QString ReadKey(const char* key) {
    QSettings s(QString::fromStdString(SettingsFilePath()), QSettings::IniFormat);
    return s.value(QString::fromLatin1(key)).toString();
}

void WriteKey(const char* key, const std::string& value) {
    const std::string path = SettingsFilePath();
    QSettings s(QString::fromStdString(path), QSettings::IniFormat);
    s.setValue(QString::fromLatin1(key), QString::fromStdString(value));
    s.sync();
    if (s.status() != QSettings::NoError)
        throw quintor::IOError("Could not write the settings file \"" + path + "\"");
}

}  // namespace

void SetExePath(const std::string& path) {
    exePath = path;
}

std::string GetExePath() {
    return exePath;
}

std::string SettingsFilePath() {
    if (exePath.empty() || !quintor::DirectoryWritable(exePath))
        return quintor::UserFolder("config") + "/" + SettingsFileName;
    return exePath + "/" + SettingsFileName;
}

std::string ReadIniVersion() {
    // Keys outside a group land in [General].
    return ReadKey("Version").toStdString();
}

void WriteIniVersion(const std::string& version) {
    WriteKey("Version", version);
}

std::string ReadTablesLocation() {
    const std::string location = ReadKey("Tables/Location").toStdString();
    if (!location.empty()) return location;
    const std::string beside = exePath + "/../gstbl";
    return quintor::DirectoryExists(beside) ? beside : exePath;
}

void WriteTablesLocation(const std::string& location) {
    WriteKey("Tables/Location", location);
}
