// Shared by the game window tests: a main window running in a folder of its own with the
// complete optimal table, and small widget look-ups.
#pragma once

#include <string>
#include <vector>

#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "AppTestSupport.h"
#include "ScriptedDialogs.h"
#include "concepts/QuintorConcepts.h"

class TMainForm;

namespace gametest {

// The score buttons by category (one name keeps its historic spelling).
inline const char* const ButtonNames[quintor::NCategories] = {
    "ButAces",         "ButTwos",          "ButThrees",        "ButFours",
    "ButFives",        "ButSixes",         "ButThreeOfAKind",  "ButFourOfAkind",
    "ButFullHouse",    "ButSmallStraight", "ButLargeStraight", "ButQuintor",
    "ButChance"};

// Makes the expected-score table beside the folder's program directory, so the main window
// finds it at its default location; the variance table's absence is the one message.
TMainForm* NewMainForm(const ProgramFolder& folder, ScriptedDialogs& dialogs);

template <class T>
T* Find(const QObject* root, const char* name) {
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    if (!w) ADD_FAILURE() << "no control named " << name;
    return w;
}

std::string Text(const QLineEdit* e);
std::string Hint(const QWidget* w);
// The dice shown in the dice set window, die 1 to 5 (0 for an empty field).
std::vector<int> ShownDice(const QWidget* diceSet);
// The five shown dice as a five-dice bag rank.
quintor::ValueBagRank ShownBag(const QWidget* diceSet);
std::vector<std::string> SplitLines(const QString& text);
// Runs the deferred deletions of closed windows.
void ProcessDeletions();

}  // namespace gametest
