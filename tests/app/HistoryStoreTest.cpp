// The window program stores each game in the history when it ends or is aborted, once; a history
// that cannot be used shows its fault once, is logged, and play goes on.
#include <filesystem>

#include <QBarSet>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include "AppTestSupport.h"
#include "app/drillwindow.h"
#include "app/gameanalysis.h"
#include "app/statistics.h"
#include "history/HistoryStatistics.h"
#include "history/QuintorDrills.h"
#include "play/QuintorLuckAndSkill.h"

using namespace quintor;

namespace {

template <class T>
std::vector<T*> Windows() {
    std::vector<T*> found;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* w = qobject_cast<T*>(top); w && w->isVisible()) found.push_back(w);
    return found;
}

TStatisticsForm* OpenStatistics(TMainForm& m) {
    m.Statistics1->trigger();
    const std::vector<TStatisticsForm*> w = Windows<TStatisticsForm>();
    return w.size() == 1 ? w[0] : nullptr;
}

std::string Text(const QLabel* l) { return l->text().toStdString(); }

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

// The figures, the drill record and where the points go, against the games' analyses, the
// history's splits and the answer given in the drill window (which stores into the same history).
TEST(HistoryStore, TheStatisticsWindowShowsTheFiguresWhereThePointsGoAndTheDrillRecord) {
    Trainer t;
    TMainForm& m = *t.main;
    PlayWholeGame(t);
    const LuckAndSkill a = AnalyseLuckAndSkill(m.Recording(), OptimalStrategy);
    m.NewGameButton->click();
    PlayTurn(t, Chance);
    t.dialogs.ExpectAsk(true);
    m.NewGameButton->click();

    // One drill answered in the drill window: the first free category of its position.
    TDrillForm* drill = m.Drills1Click();
    ASSERT_NE(drill, nullptr);
    EXPECT_EQ(drill->History(), &m.History());
    for (int c = 0; c < NCategories && !drill->Answered(); ++c)
        if (auto* b = Find<QPushButton>(drill, "Category" + std::to_string(c)); b->isEnabled()) b->click();
    ASSERT_TRUE(drill->Answered());
    const bool right = drill->Outcome().right;
    drill->close();

    TStatisticsForm* w = OpenStatistics(m);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->pos(), QPoint(TStatisticsForm::DesignedLeft, TStatisticsForm::DesignedTop));
    EXPECT_EQ(w->DiceSourceBox->currentText(), "fair");
    EXPECT_EQ(Text(w->GamesValue), "2 (1 finished, 1 aborted)");
    EXPECT_EQ(Text(w->BestScoreValue), std::to_string(a.finalScore));
    EXPECT_EQ(Text(w->MeanScoreValue), Format("%.2f", double(a.finalScore)));
    EXPECT_EQ(Text(w->LossPerGameValue), Format("%.2f", a.loss));   // finished games only
    EXPECT_EQ(Text(w->LuckPerGameValue), Format("%+.2f", a.luck));
    EXPECT_EQ(Text(w->DrillAnswersValue), right ? "1, 1 right (100.0%)" : "1, 0 right (0.0%)");
    EXPECT_NE(Text(w->DrillDueValue).find(" positions"), std::string::npos);

    // Where the points go: the history's splits (recounted from the games by the history tests),
    // per game, with the costliest habits in words.
    HistoryDatabase db(m.History().Path());
    const LossSplits sp = ReadLossSplits(db, HistoryFilter{});
    ASSERT_EQ(w->KindBars->count(), NChoiceKinds);
    for (int k = 0; k < NChoiceKinds; ++k) EXPECT_NEAR(w->KindBars->at(k), sp.byKind[std::size_t(k)].loss / 2, 1e-9) << k;
    ASSERT_EQ(w->TurnBars->count(), NTurnsPerGame);
    for (int i = 0; i < NTurnsPerGame; ++i) EXPECT_NEAR(w->TurnBars->at(i), sp.byTurn[std::size_t(i)].loss / 2, 1e-9) << i;
    ASSERT_EQ(w->CategoryTable->rowCount(), NCategories);
    for (int c = 0; c < NCategories; ++c) {
        const LossShare& share = sp.byCategory[std::size_t(c)];
        EXPECT_EQ(w->CategoryTable->item(c, 0)->text().toStdString(), ScoreItemName(ScoreItem(c)));
        EXPECT_EQ(w->CategoryTable->item(c, 1)->text().toInt(), share.choices) << c;
        EXPECT_EQ(w->CategoryTable->item(c, 2)->text().toStdString(), Format("%.2f", share.loss)) << c;
        EXPECT_EQ(w->CategoryTable->item(c, 3)->text().toStdString(), Format("%.2f", share.loss / 2)) << c;
    }
    // Scoring the categories in order loses points: three habits.
    ASSERT_EQ(sp.habits.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string habit = Text(w->Habits[i]);
        EXPECT_EQ(habit.rfind(std::to_string(i + 1) + ". " + sp.habits[i].text + ": ", 0), 0u) << habit;
        EXPECT_NE(habit.find(Format("%.2f points in all.", sp.habits[i].loss)), std::string::npos) << habit;
    }
    // The charts over the games: the finished game only.
    ASSERT_EQ(w->ScoreSeries->count(), 1);
    EXPECT_EQ(w->ScoreSeries->at(0).y(), a.finalScore);
    EXPECT_EQ(w->ScoreAverage->at(0).y(), a.finalScore);
    ASSERT_EQ(w->LossSeries->count(), 1);
    EXPECT_NEAR(w->LossSeries->at(0).y(), a.loss, 1e-9);
    // The text page holds all of it as quintor stats writes it, the drill record last.
    const std::string figures = w->Figures->toPlainText().toStdString();
    EXPECT_NE(figures.find("(1 finished, 1 aborted)"), std::string::npos) << figures;
    EXPECT_NE(figures.find(Format("Best final score               : %5d", a.finalScore)), std::string::npos) << figures;
    EXPECT_NE(figures.find("\nDrills\n  Answers given                  :     1\n"), std::string::npos) << figures;
    EXPECT_EQ(w->GameList->count(), 2);

    // Another source without games empties everything but the drill record.
    w->DiceSourceBox->addItem(QStringLiteral("demon"), QStringLiteral("demon"));
    w->DiceSourceBox->setCurrentIndex(w->DiceSourceBox->count() - 1);
    EXPECT_EQ(w->ScoreSeries->count(), 0);
    EXPECT_EQ(w->GameList->count(), 0);
    EXPECT_EQ(Text(w->GamesValue), "0 (0 finished, 0 aborted)");
    EXPECT_EQ(Text(w->BestScoreValue), "-");
    for (int k = 0; k < NChoiceKinds; ++k) EXPECT_EQ(w->KindBars->at(k), 0.0);
    EXPECT_EQ(Text(w->Habits[0]), "No choice has cost you 0.01 points or more yet.");
    EXPECT_FALSE(w->Habits[1]->isVisible());
    EXPECT_EQ(Text(w->DrillAnswersValue).substr(0, 3), "1, ");
    EXPECT_NE(w->Figures->toPlainText().toStdString().find("No games with "), std::string::npos);

    // Every page and the dice source are reachable from the keyboard.
    EXPECT_EQ(w->Pages->count(), 4);
    for (int i = 0; i < w->Pages->count(); ++i) EXPECT_TRUE(w->Pages->tabText(i).contains(QLatin1Char('&'))) << i;
    EXPECT_NE(w->DiceSourceBox->focusPolicy() & Qt::TabFocus, 0);
    EXPECT_NE(w->GameList->focusPolicy() & Qt::TabFocus, 0);
    // It shrinks to its least size and grows, and the charts follow.
    const int wide = w->KindChart->width();
    w->resize(w->minimumSize());
    QCoreApplication::processEvents();
    EXPECT_LE(w->KindChart->width(), wide);
    w->close();
}

// A double-click (or Return) on a game of the list opens its report and its analysis window as
// they were after the game; stored choices that do not make a game are said so.
TEST(HistoryStore, AListedGameOpensItsReportAndAnalysisAgain) {
    Trainer t;
    TMainForm& m = *t.main;
    PlayWholeGame(t);
    const std::vector<std::string> report = t.shownAtGameOver;
    ASSERT_FALSE(report.empty());
    const LuckAndSkill a = AnalyseLuckAndSkill(m.Recording(), OptimalStrategy);
    // A copy of the game with two positions swapped: each choice valid alone, but no game.
    {
        HistoryDatabase db(m.History().Path());
        std::optional<HistoryGame> g = db.ReadGame(1);
        ASSERT_TRUE(g.has_value());
        std::swap(g->choices[2], g->choices[4]);
        std::swap(g->choices[2].turn, g->choices[4].turn);
        ASSERT_TRUE(db.StoreGame(*g).ok);
    }
    const std::size_t recordingWindows = Windows<TGameRecForm>().size();

    TStatisticsForm* w = OpenStatistics(m);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->GameList->count(), 2);
    w->Pages->setCurrentIndex(2);
    EXPECT_EQ(w->Pages->currentWidget(), w->GameList->parentWidget());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
    const QRect first = w->GameList->visualItemRect(w->GameList->item(0));
    // As a real double-click arrives: a press and release, then the double-click.
    QTest::mouseClick(w->GameList->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(w->GameList->viewport(), Qt::LeftButton, {}, first.center());

    std::vector<TGameRecForm*> opened = Windows<TGameRecForm>();
    ASSERT_EQ(opened.size(), recordingWindows + 1);
    TGameRecForm* rec = nullptr;
    for (TGameRecForm* r : opened)
        if (r->windowTitle().startsWith(QStringLiteral("Game Recording: fair dice, "))) rec = r;
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->Lines(), report);   // the report as it was at "Game Over!"
    EXPECT_FALSE(rec->Unsaved);
    EXPECT_TRUE(Find<QPushButton>(rec, "SaveButton")->isEnabled());
    const std::vector<TGameAnalysisForm*> analyses = Windows<TGameAnalysisForm>();
    ASSERT_EQ(analyses.size(), 1u);
    TGameAnalysisForm* an = analyses[0];
    EXPECT_EQ(an->windowTitle(), QStringLiteral("Game Analysis") + rec->windowTitle().mid(14));
    EXPECT_EQ(an->LabelSplit->text().toStdString(), SplitLine(a));
    EXPECT_EQ(an->Numbers().finalScore, a.finalScore);
    EXPECT_EQ(an->Numbers().loss, a.loss);
    EXPECT_EQ(an->pos(), QPoint(TGameAnalysisForm::DesignedLeft, TGameAnalysisForm::DesignedTop));
    // The windows belong to the main window, as the running game's do: they outlive the list.
    EXPECT_EQ(rec->parentWidget(), &m);
    rec->close();
    an->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Return on the current game does the same; the broken copy is refused with the reason.
    w->GameList->setFocus();
    w->GameList->setCurrentRow(0);
    QTest::keyClick(w->GameList, Qt::Key_Return);
    EXPECT_EQ(Windows<TGameRecForm>().size(), recordingWindows + 1);
    EXPECT_EQ(Windows<TGameAnalysisForm>().size(), 1u);
    t.dialogs.ExpectInform();
    w->GameList->setCurrentRow(1);
    QTest::keyClick(w->GameList, Qt::Key_Return);
    EXPECT_TRUE(t.dialogs.Done());
    const std::string told = t.dialogs.Last();
    EXPECT_NE(told.find("cannot be shown again: its stored choices do not make a game (choice 3: the position"),
              std::string::npos) << told;
    EXPECT_EQ(Windows<TGameRecForm>().size(), recordingWindows + 1);
    w->close();
}

// The drill window uses the program's one history: a fault (a folder where the file should be)
// is shown once for the drills and the games together, logged, and neither stops.
TEST(HistoryStore, TheDrillWindowSharesTheHistoryAndItsFaultIsShownOnce) {
    Trainer t;
    TMainForm& m = *t.main;
    std::filesystem::create_directories(t.folder.Bin() + "/" + HistoryFileName + "/inside");
    t.dialogs.ExpectError();
    TDrillForm* drill = m.Drills1Click();
    ASSERT_NE(drill, nullptr);
    EXPECT_TRUE(t.dialogs.Done());
    EXPECT_NE(t.dialogs.Last().find("history"), std::string::npos) << t.dialogs.Last();
    EXPECT_EQ(drill->History(), &m.History());
    EXPECT_FALSE(drill->Position().empty());   // from optimal play instead
    EXPECT_EQ(Find<QLabel>(drill, "SourceLabel")->text(), QStringLiteral("A position from optimal play"));
    // Answering stores nothing and says so beside the verdict, without another box.
    for (int c = 0; c < NCategories && !drill->Answered(); ++c)
        if (auto* b = Find<QPushButton>(drill, "Category" + std::to_string(c)); b->isEnabled()) b->click();
    ASSERT_TRUE(drill->Answered());
    EXPECT_NE(Find<QLabel>(drill, "VerdictLabel")->text().indexOf(QStringLiteral("The answer was not stored")), -1);
    drill->close();
    // A whole game after it: its storing meets the same fault, already shown.
    PlayWholeGame(t);
    EXPECT_TRUE(t.dialogs.Done());
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::ErrorKind).size(), 1u);
    EXPECT_EQ(m.NewGameButton->text(), "New Game");
    EXPECT_NE(RunLog().find("History: "), std::string::npos);
}
