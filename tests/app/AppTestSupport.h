// Shared pieces of the window tests: folders to run the program in, the run log, the one
// expected-score table of the test program, and acting inside a modal window's loop.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

// A fresh folder tree root/bin that stands for the program's folder (ExePath is set to it, so
// the settings file lands there); the table folder beside it is root/gstbl when made.
class ProgramFolder {
public:
    ProgramFolder();
    std::string Root() const;
    std::string Bin() const;
    std::string Make(const std::string& sub) const;   // creates root/sub, returns its path
    std::string SettingsText() const;

private:
    QTemporaryDir dir;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);

// The run log grows during the whole test program; a mark remembers where a test began.
class LogMark {
public:
    LogMark();
    std::string Since() const;   // what was written after the mark (flushed first)

private:
    std::size_t offset;
};

// The folder holding this test program's expected-score table. Whichever test needs it first
// builds it (the table window test does so through the window); afterwards it is reused.
std::string TableStore();
bool TableStoreFilled();
void FillTableStore();   // computes the table there directly unless it is there already
// A fresh folder holding links to the stored tables: expected always, variance when asked
// (the variance file then links to the expected one: good enough for tests of existence).
std::string FolderWithTables(const ProgramFolder& f, const std::string& sub, bool variance);

// Runs action on the first modal window of type T once it is up, from inside its event loop;
// nothing happens once context is gone.
template <typename T>
void WhenModal(QObject* context, std::function<void(T*)> action, int tries = 400) {
    QTimer::singleShot(5, context, [context, action, tries] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            action(w);
        } else if (tries > 0) {
            WhenModal<T>(context, action, tries - 1);
        }
    });
}
