// Game > Statistics...: what the history says about the player, for one dice source (fair by
// default). On the left the figures, the drill record and the costliest habits in words; on the
// right four pages: the final score and the loss per game with their moving averages, where the
// points go (bar charts by kind of choice and by turn, a table by the category scored when the
// best was another), the list of games (double-click or Return opens a game's report and analysis window
// again), and everything as the text of quintor stats.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include <QWidget>

#include "history/HistoryStatistics.h"
#include "history/QuintorDrills.h"

class QBarSet;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;
class TGameRecForm;

class TStatisticsForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int DesignedLeft = 240, DesignedTop = 60;
    static constexpr int DesignedWidth = 1000, DesignedHeight = 760;
    static constexpr int AverageWindow = 10;   // games in the moving average

    // clock gives the time (seconds since 1970) at which drills count as due; the system clock
    // when empty.
    TStatisticsForm(quintor::HistoryDatabase& db, QWidget* parent,
                    std::function<std::int64_t()> clock = {});
    // Reads the history again for the chosen dice source; a fault shows in the figures.
    void Refresh();
    // Opens the report (a game recording window) and the analysis window of the game in row
    // `row` of the game list, beside the windows of the running game; returns the recording
    // window, or null when the game cannot be shown (the player is told why).
    TGameRecForm* OpenGame(int row);

    QComboBox* DiceSourceBox = nullptr;    // "fair" first, the other stored sources, "all"
    // The figures, each a value beside its name.
    QLabel* GamesValue = nullptr;          // "12 (10 finished, 2 aborted)"
    QLabel* MeanScoreValue = nullptr;
    QLabel* BestScoreValue = nullptr;
    QLabel* LossPerGameValue = nullptr;
    QLabel* LuckPerGameValue = nullptr;
    QLabel* LossPerChoiceValue = nullptr;
    QLabel* IdenticalValue = nullptr;      // "71.3% of 380 choices"
    QLabel* DrillAnswersValue = nullptr;   // "14, 9 right (64.3%)"
    QLabel* DrillDueValue = nullptr;       // "3 of 25 positions"
    QLabel* DrillBoxesValue = nullptr;     // "12  6  4  2  1  0"

    QTabWidget* Pages = nullptr;
    QChartView* ScoreChart = nullptr;
    QChartView* LossChart = nullptr;
    QLineSeries* ScoreSeries = nullptr;
    QLineSeries* ScoreAverage = nullptr;
    QLineSeries* LossSeries = nullptr;
    QLineSeries* LossAverage = nullptr;
    // Where the points go: points lost per game by kind of choice (3 bars) and by turn (13);
    // a row per category scored when the best option was another: times, points lost, per game.
    QChartView* KindChart = nullptr;
    QChartView* TurnChart = nullptr;
    QBarSet* KindBars = nullptr;
    QBarSet* TurnBars = nullptr;
    QTableWidget* CategoryTable = nullptr;
    std::array<QLabel*, 3> Habits{};       // the costliest habits in words, costliest first
    QListWidget* GameList = nullptr;       // one line per game, as quintor history writes it
    QPlainTextEdit* Figures = nullptr;     // the text of quintor stats

private:
    void CreateControls();
    void CreateFigures(QWidget* box);
    QWidget* CreateProgressPage();
    QWidget* CreateLossPage();
    QWidget* CreateGamesPage();
    void ShowFigures(const quintor::HistoryStatistics& s, const quintor::DrillRecord& d);
    void ShowLossSplits(const quintor::HistoryStatistics& s, const quintor::LossSplits& sp);
    void ShowBarTip(const QBarSet* set, int index, bool on);
    quintor::HistoryFilter Filter() const;

    quintor::HistoryDatabase& db;
    std::function<std::int64_t()> Clock;
    quintor::LossSplits splits;   // what the bar charts show, for their tips
};
