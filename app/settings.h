// The program's persistent settings, in "QuintorTrainerSettings.ini" beside the program: the
// version, the table location and the tutor's choices. Every access opens and closes the file.
#pragma once

#include <string>

inline const char* const SettingsFileName = "QuintorTrainerSettings.ini";

// The program's directory, without a trailing separator; set once at start-up (tests set it
// before creating the main window to run the program in a folder of their own).
void SetExePath(const std::string& path);
std::string GetExePath();

// Beside the program, or in the user's configuration folder when the program's folder keeps no
// files (KeepsFilesBeside: not writable, or an installed program's; a new table location must
// not be lost while looking saved).
std::string SettingsFilePath();

// [General] Version; empty when the file or the key is missing.
std::string ReadIniVersion();
void WriteIniVersion(const std::string& version);
// [Tables] Location; when missing, the default location of the console program as well
// (DefaultTableLocation of ExePath). The default is never written.
std::string ReadTablesLocation();
void WriteTablesLocation(const std::string& location);
// [Tutor] On (false when missing) and WarnAt ("0.01", "1.0" or "5.0"; 1.0 when missing or
// anything else).
bool ReadTutorOn();
void WriteTutorOn(bool on);
double ReadTutorThreshold();
void WriteTutorThreshold(double threshold);
