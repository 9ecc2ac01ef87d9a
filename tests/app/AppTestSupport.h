// Shared pieces of the window tests: a folder to run the program in, the run log, the one
// expected-score table of the test program, a main window with its tables, widget look-ups
// and acting inside a modal window's loop.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QThread>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "ScriptedDialogs.h"
#include "app/TableSettings.h"
#include "app/diceset.h"
#include "app/gamerecordings.h"
#include "app/gamewidgets.h"
#include "app/main.h"
#include "app/scorecards.h"
#include "app/settings.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"

inline std::string ReadWholeFile(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}
inline std::string RunLog() {
    quintor::FlushLog();
    return ReadWholeFile(quintor::LogFilePath());
}

// A fresh folder tree root/bin that stands for the program's folder (ExePath is set to it, so
// the settings file lands there); root/gstbl beside it is the default table location. Each
// program folder starts and ends a run without tables.
struct ProgramFolder {
    ProgramFolder() { SetExePath(Make("bin")); TablesLoaded = false; }
    ~ProgramFolder() { TablesLoaded = false; }
    std::string Root() const { return dir.path().toStdString(); }
    std::string Bin() const { return Root() + "/bin"; }
    std::string Make(const std::string& sub) const {   // creates root/sub, returns its path
        std::filesystem::create_directories(Root() + "/" + sub);
        return Root() + "/" + sub;
    }
    std::string SettingsText() const { return ReadWholeFile(Bin() + "/" + SettingsFileName); }
    QTemporaryDir dir;
};

// A fresh folder root/sub with links to this program's expected-score table (computed once,
// by whoever needs it first): as the expected table, and as the variance table too when asked
// (good enough where only existence counts).
inline std::string FolderWithTables(const ProgramFolder& f, const std::string& sub, bool variance) {
    namespace fs = std::filesystem;
    static QTemporaryDir store;
    const fs::path table = fs::path(store.path().toStdString()) / quintor::OptimalTableFileName;
    if (!fs::exists(table)) quintor::CreateOptimalTable(store.path().toStdString());
    const std::string dir = f.Make(sub);
    fs::create_symlink(table, fs::path(dir) / quintor::OptimalTableFileName);
    if (variance) fs::create_symlink(table, fs::path(dir) / quintor::VarianceTableFileName);
    return dir;
}

template <class T>
T* Find(const QObject* root, const std::string& name) {
    T* w = root->findChild<T*>(QString::fromStdString(name));
    if (!w) ADD_FAILURE() << "no control named " << name;
    return w;
}
inline std::string Field(const QObject* root, const std::string& lineEdit) {
    const auto* e = Find<QLineEdit>(root, lineEdit);
    return e ? e->text().toStdString() : std::string();
}

// A main window that found the complete expected-score table at its default location (the
// missing variance table is its one message), with its game windows and first game.
struct Trainer {
    Trainer() {
        FolderWithTables(folder, "gstbl", false);
        dialogs.ExpectInform();
        dialogs.onShown = [this](const std::string& text) {
            if (text == "Game Over!" && main->CurrentRecordingWindow())
                shownAtGameOver = main->CurrentRecordingWindow()->Lines();
        };
        quintor::OptimalStrategy->VarianceCache = nullptr;   // as in a fresh run: none loaded
        main = std::make_unique<TMainForm>();
        main->show();
        EXPECT_TRUE(TablesLoaded);
    }
    ~Trainer() {
        main.reset();   // no close event, so no questions
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    ProgramFolder folder;
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> main;
    std::vector<std::string> shownAtGameOver;   // the recording window when "Game Over!" showed
};

// Runs action on the first modal window of type T once it is up, from inside its event loop.
template <typename T>
void WhenModal(QObject* context, std::function<void(T*)> action, int tries = 400) {
    QTimer::singleShot(5, context, [context, action, tries] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()))
            action(w);
        else if (tries > 0)
            WhenModal<T>(context, action, tries - 1);
    });
}

// Processes events while busy() holds, for at most a minute; false when it still holds.
inline bool WaitWhile(const std::function<bool()>& busy) {
    QElapsedTimer clock;
    clock.start();
    while (busy() && clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    return !busy();
}

inline const char* const ScoreButtons[quintor::NCategories] = {"ButAces", "ButTwos", "ButThrees",
    "ButFours", "ButFives", "ButSixes", "ButThreeOfAKind", "ButFourOfAkind", "ButFullHouse",
    "ButSmallStraight", "ButLargeStraight", "ButQuintor", "ButChance"};

inline const char* const ScoreRows[quintor::GrandTotal + 1] = {"EditAces", "EditTwos", "EditThrees",
    "EditFours", "EditFives", "EditSixes", "EditThreeOfAKind", "EditFourOfAKind", "EditFullHouse",
    "EditSmallStraight", "EditLargeStraight", "EditQuintor", "EditChance", "EditUSBonus", "EditEQBonus",
    "EditGrandTotal"};

inline std::vector<int> ShownDice(const QWidget* set) {
    std::vector<int> v;
    for (int i = 1; i <= quintor::NDice; ++i)
        v.push_back(QString::fromStdString(Field(set, "EditDice" + std::to_string(i))).toInt());
    return v;
}
inline quintor::ValueBagRank BagOf(const std::vector<int>& values) {
    quintor::ValueBag bag;
    for (int v : values) quintor::AddToBag(bag, v, 1);
    return quintor::RankFromValueBag(bag);
}

// One turn through the windows: a roll, then for each keep mask ("11000": dice 1 and 2) a roll
// keeping those dice, then the scoring in c.
inline void PlayTurn(Trainer& t, quintor::Category c, const std::vector<std::string>& keeps = {"11000"}) {
    QWidget* dice = t.main->DiceSet();
    Find<QPushButton>(dice, "ButRoll")->click();
    for (const std::string& keep : keeps) {
        for (std::size_t i = 0; i < quintor::NDice; ++i)
            Find<QCheckBox>(dice, "CheckDice" + std::to_string(i + 1))->setChecked(keep[i] == '1');
        Find<QPushButton>(dice, "ButRoll")->click();
    }
    Find<QPushButton>(t.main->ScoreCard(), ScoreButtons[c])->click();
}

// A whole game, the categories scored in order, one keep a turn; "Game Over!" expected.
inline void PlayWholeGame(Trainer& t) {
    for (int turn = 0; turn < quintor::NTurnsPerGame; ++turn) {
        if (turn == quintor::NTurnsPerGame - 1) t.dialogs.ExpectInform();
        PlayTurn(t, quintor::Category(turn));
    }
}
