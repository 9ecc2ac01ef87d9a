#include "app/settings.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryFile>

#include "core/GeneralStuff.h"
#include "engine/QuintorStateTables.h"
#include "play/QuintorTutor.h"

namespace {

std::string exePath;

QString ReadKey(const char* key) {
    QSettings s(QString::fromStdString(SettingsFilePath()), QSettings::IniFormat);
    return s.value(QString::fromLatin1(key)).toString();
}

// A write would rewrite a file that does not parse without the lines it did not understand.
// The parsed files are cached per path, which can hide the format error from the QSettings
// that writes, so a fresh copy is parsed instead.
bool ParsesCleanly(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return true;   // nothing to lose; the write reports it
    QTemporaryFile copy;
    if (!copy.open() || copy.write(file.readAll()) < 0 || !copy.flush()) return true;
    QSettings probe(copy.fileName(), QSettings::IniFormat);
    (void)probe.allKeys();
    return probe.status() != QSettings::FormatError;
}

void WriteKey(const char* key, const std::string& value) {
    const std::string path = SettingsFilePath();
    QSettings s(QString::fromStdString(path), QSettings::IniFormat);
    if (!ParsesCleanly(path))
        throw quintor::IOError("The settings file \"" + path +
                               "\" is not a valid settings file; it was left unchanged");
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
    return quintor::UserFilePath(exePath, SettingsFileName, "config");
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
    return quintor::DefaultTableLocation(exePath);
}

void WriteTablesLocation(const std::string& location) {
    WriteKey("Tables/Location", location);
}

bool ReadTutorOn() {
    return ReadKey("Tutor/On") == QStringLiteral("true");
}

void WriteTutorOn(bool on) {
    WriteKey("Tutor/On", on ? "true" : "false");
}

double ReadTutorThreshold() {
    return quintor::TutorThresholdFromText(ReadKey("Tutor/WarnAt").toStdString());
}

void WriteTutorThreshold(double threshold) {
    WriteKey("Tutor/WarnAt", quintor::TutorThresholdText(threshold));
}
