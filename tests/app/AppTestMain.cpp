// The window tests run inside the program's own application object. As
// "app_tests --trainer-child FOLDER fail|exit" it runs the whole trainer in FOLDER instead,
// answering every dialog with OK and printing its text; once the loop runs, New Game is asked
// for before any game started, a program fault (fail), or File > Exit is chosen.
#include <cstring>
#include <iostream>

#include <QAction>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/Dialogs.h"
#include "app/TrainerApplication.h"
#include "app/main.h"
#include "app/settings.h"
#include "play/QuintorStartup.h"

namespace {

struct EchoDialogs : DialogService {
    static void Echo(const char* kind, const QString& text) {
        std::cout << kind << ": " << text.toStdString() << std::endl;
    }
    bool Ask(const QString& text) override { return Echo("ASK", text), true; }
    void Inform(const QString& text) override { Echo("INFORM", text); }
    void ShowError(const QString& text) override { Echo("ERROR", text); }
    QString ChooseSaveFile(const QString& title, const QString&, const QString&, const QString&,
                           const QString&) override {
        return Echo("SAVE", title), QString();
    }
    QString ChooseDirectory(const QString& start) override { return Echo("DIR", start), QString(); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--trainer-child") == 0) {
        EchoDialogs echo;
        SetDialogs(&echo);
        SetExePath(argv[2]);
        const bool exit = std::strcmp(argv[3], "exit") == 0;
        TrainerOptions options{std::string(argv[2]) + "/QuintorTrainer", [exit](TMainForm& f) {
            QTimer::singleShot(0, &f, [&f, exit] { exit ? f.Exit1->trigger() : f.NewGame(); });
        }};
        int childArgc = 1;
        return RunTrainer(childArgc, argv, options);
    }
    ::testing::InitGoogleTest(&argc, argv);
    quintor::StartModules();
    int rc = 0;
    {
        TrainerApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    quintor::StopModules();
    return rc;
}
