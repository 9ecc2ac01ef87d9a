// The window tests run inside the program's own application object. As
// "app_tests --trainer-child FOLDER fail|exit|places" it runs the whole trainer in FOLDER
// instead, answering every dialog with OK and printing its text; once the loop runs, New Game is
// asked for before any game started, a program fault (fail), or File > Exit is chosen, after
// (places) opening an advisor and the table settings and printing where the windows are.
#include <cstring>
#include <iostream>

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QScreen>
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

// "name left top width height" of every shown window's frame, followed by the width and height
// of its client area; then "screen" and the available area.
void PrintPlaces() {
    auto print = [](const QString& name, const QRect& r, const QSize& client) {
        std::cout << name.toStdString() << ' ' << r.x() << ' ' << r.y() << ' ' << r.width() << ' '
                  << r.height() << ' ' << client.width() << ' ' << client.height() << std::endl;
    };
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) print(w->objectName(), w->frameGeometry(), w->size());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    print(QStringLiteral("screen"), area, area.size());
}

void ShowPlaces(TMainForm& f) {
    f.NewAdvisorButton->click();
    QTimer::singleShot(0, &f, [] {   // inside the table settings window's loop
        PrintPlaces();
        QApplication::activeModalWidget()->close();
    });
    f.Settings1->trigger();
    f.Exit1->trigger();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--trainer-child") == 0) {
        EchoDialogs echo;
        SetDialogs(&echo);
        SetExePath(argv[2]);
        const std::string mode = argv[3];
        TrainerOptions options{std::string(argv[2]) + "/QuintorTrainer", [mode](TMainForm& f) {
            QTimer::singleShot(0, &f, [&f, mode] {
                if (mode == "places")
                    ShowPlaces(f);
                else
                    mode == "exit" ? f.Exit1->trigger() : f.NewGame();
            });
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
