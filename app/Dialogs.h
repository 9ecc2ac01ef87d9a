// Every question, information box, error box and file or directory dialog of the program goes
// through this one small interface, so tests can answer them from a script.
#pragma once

#include <QString>

class DialogService {
public:
    virtual ~DialogService() = default;

    // A question with OK and Cancel; true for OK.
    virtual bool Ask(const QString& text) = 0;
    // Information with OK only.
    virtual void Inform(const QString& text) = 0;
    // A recoverable error with OK only.
    virtual void ShowError(const QString& text) = 0;
    // The name to save to, or empty on Cancel. The real dialog asks before overwriting.
    virtual QString ChooseSaveFile(const QString& title, const QString& startDir,
                                   const QString& defaultSuffix, const QString& defaultName,
                                   const QString& filter) = 0;
    // A directory, or empty on Cancel. The real dialog offers to create a typed directory that
    // does not exist yet.
    virtual QString ChooseDirectory(const QString& startDir) = 0;
};

// The service in use: the real dialogs unless a test installed another one.
DialogService& Dialogs();
// nullptr puts the real dialogs back.
void SetDialogs(DialogService* service);
// The real dialogs, whatever is installed.
DialogService& RealDialogs();

// The question the real directory dialog asks for a typed directory that does not exist.
inline const char* const CreateDirectoryQuestion =
    "The specified directory does not exist. Create it?";
