// The window program stores each game in the history when it ends or is aborted, once; a history
// that cannot be used shows its fault once, is logged, and play goes on.
#include <filesystem>

#include <QCheckBox>
#include <QComboBox>
#include <QLineSeries>
#include <QListWidget>

#include "AppTestSupport.h"
#include "app/statistics.h"
#include "history/HistoryStatistics.h"
#include "play/QuintorLuckAndSkill.h"

using namespace quintor;

namespace {

const char* const ScoreButtons[NCategories] = {"ButAces", "ButTwos", "ButThrees", "ButFours",
    "ButFives", "ButSixes", "ButThreeOfAKind", "ButFourOfAkind", "ButFullHouse",
    "ButSmallStraight", "ButLargeStraight", "ButQuintor", "ButChance"};

// A roll, a keep of the first two dice, another roll, then the scoring in c.
void PlayTurn(Trainer& t, Category c) {
    QWidget* dice = t.main->DiceSet();
    Find<QPushButton>(dice, "ButRoll")->click();
    for (std::size_t i = 0; i < NDice; ++i)
        Find<QCheckBox>(dice, "CheckDice" + std::to_string(i + 1))->setChecked(i < 2);
    Find<QPushButton>(dice, "ButRoll")->click();
    Find<QPushButton>(t.main->ScoreCard(), ScoreButtons[c])->click();
}

void PlayWholeGame(Trainer& t) {
    for (int turn = 0; turn < NTurnsPerGame; ++turn) {
        if (turn == NTurnsPerGame - 1) t.dialogs.ExpectInform();   // "Game Over!"
        PlayTurn(t, Category(turn));
    }
}

}  // namespace

TEST(HistoryStore, FinishedAndAbortedGamesOfTheWindowProgramAreStoredOnce) {
    Trainer t;
    TMainForm& m = *t.main;
    PlayWholeGame(t);
    const GameRecording finished = m.Recording();
    const LuckAndSkill a = AnalyseLuckAndSkill(finished, OptimalStrategy);
    // Another click of New Game starts the next game and stores nothing more.
    m.NewGameButton->click();
    PlayTurn(t, Chance);
    Find<QPushButton>(m.DiceSet(), "ButRoll")->click();
    t.dialogs.ExpectAsk(true);   // "Abort and analyze current game?"
    m.NewGameButton->click();
    EXPECT_TRUE(t.dialogs.Done());
    EXPECT_TRUE(t.dialogs.Texts(ScriptedDialogs::ErrorKind).empty());

    const std::string path = t.folder.Bin() + "/" + HistoryFileName;
    ASSERT_TRUE(std::filesystem::exists(path));
    HistoryDatabase db(path);
    const std::vector<HistoryGame> games = ReadGameList(db, HistoryFilter{""});
    ASSERT_EQ(games.size(), 2u);
    EXPECT_TRUE(games[0].finished);
    EXPECT_EQ(games[0].diceSource, "fair");
    EXPECT_EQ(games[0].finalScore, a.finalScore);
    EXPECT_NEAR(games[0].sumLoss, a.loss, 1e-9);
    EXPECT_NEAR(games[0].sumLuck, a.luck, 1e-9);
    EXPECT_FALSE(games[1].finished);
    const std::optional<HistoryGame> first = db.ReadGame(games[0].id), second = db.ReadGame(games[1].id);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->choices.size(), std::size_t(finished.len));
    EXPECT_EQ(first->choices.size(), 26u);   // a keep and a scoring every turn
    EXPECT_EQ(second->choices.size(), 2u);
    EXPECT_EQ(second->choices[0].turn, 1);
}

TEST(HistoryStore, AnUnusableHistoryShowsItsFaultOnceAndPlayGoesOn) {
    Trainer t;
    TMainForm& m = *t.main;
    // A folder where the database should be: it can be neither opened nor moved aside usefully.
    const std::string path = t.folder.Bin() + "/" + HistoryFileName;
    std::filesystem::create_directories(path + "/inside");
    t.dialogs.ExpectError();
    PlayWholeGame(t);
    ASSERT_EQ(t.dialogs.Texts(ScriptedDialogs::ErrorKind).size(), 1u);
    const std::string message = t.dialogs.Texts(ScriptedDialogs::ErrorKind)[0];
    EXPECT_NE(message.find("history"), std::string::npos) << message;
    EXPECT_EQ(m.NewGameButton->text(), "New Game");
    // The next game is played and aborted as always; the same fault is not shown again.
    m.NewGameButton->click();
    PlayTurn(t, Aces);
    t.dialogs.ExpectAsk(true);
    m.NewGameButton->click();
    EXPECT_TRUE(t.dialogs.Done());
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::ErrorKind).size(), 1u);
    EXPECT_NE(RunLog().find("History: "), std::string::npos);
}

TEST(HistoryStore, TheStatisticsWindowShowsTheStoredGames) {
    Trainer t;
    TMainForm& m = *t.main;
    PlayWholeGame(t);
    const LuckAndSkill a = AnalyseLuckAndSkill(m.Recording(), OptimalStrategy);
    m.NewGameButton->click();
    PlayTurn(t, Chance);
    t.dialogs.ExpectAsk(true);
    m.NewGameButton->click();

    m.Statistics1->trigger();
    TStatisticsForm* w = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<TStatisticsForm*>(top); s && s->isVisible()) w = s;
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->pos(), QPoint(TStatisticsForm::DesignedLeft, TStatisticsForm::DesignedTop));
    // Fair dice first: one finished game in the charts, both games in the figures and the list.
    EXPECT_EQ(w->DiceSourceBox->currentText(), "fair");
    ASSERT_EQ(w->ScoreSeries->count(), 1);
    EXPECT_EQ(w->ScoreSeries->at(0).y(), a.finalScore);
    EXPECT_EQ(w->ScoreAverage->at(0).y(), a.finalScore);
    ASSERT_EQ(w->LossSeries->count(), 1);
    EXPECT_NEAR(w->LossSeries->at(0).y(), a.loss, 1e-9);
    const std::string figures = w->Figures->toPlainText().toStdString();
    EXPECT_NE(figures.find("(1 finished, 1 aborted)"), std::string::npos) << figures;
    EXPECT_NE(figures.find("The costliest habits"), std::string::npos) << figures;
    EXPECT_NE(figures.find(Format("Best final score               : %5d", a.finalScore)), std::string::npos) << figures;
    EXPECT_EQ(w->GameList->count(), 2);
    // Another source without games empties everything.
    w->DiceSourceBox->addItem(QStringLiteral("demon"), QStringLiteral("demon"));
    w->DiceSourceBox->setCurrentIndex(w->DiceSourceBox->count() - 1);
    EXPECT_EQ(w->ScoreSeries->count(), 0);
    EXPECT_EQ(w->GameList->count(), 0);
    EXPECT_NE(w->Figures->toPlainText().toStdString().find("No games with "), std::string::npos);
    w->close();
}
