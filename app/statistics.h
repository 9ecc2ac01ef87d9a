// Game > Statistics...: what the history says about the player, for one dice source (fair by
// default): the figures, where the points go and the costliest habits as text, the final score
// and the loss per game in two charts with their moving averages, and the list of games.
#pragma once

#include <QWidget>

#include "history/HistoryStatistics.h"

class QComboBox;
class QChartView;
class QLineSeries;
class QListWidget;
class QPlainTextEdit;

class TStatisticsForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int DesignedLeft = 300, DesignedTop = 60;
    static constexpr int DesignedWidth = 900, DesignedHeight = 700;
    static constexpr int AverageWindow = 10;   // games in the moving average

    TStatisticsForm(quintor::HistoryDatabase& db, QWidget* parent);
    // Reads the history again for the chosen dice source; a fault shows in the figures.
    void Refresh();

    QComboBox* DiceSourceBox = nullptr;    // "fair" first, the other stored sources, "all"
    QPlainTextEdit* Figures = nullptr;     // the text of quintor stats
    QChartView* ScoreChart = nullptr;
    QChartView* LossChart = nullptr;
    QLineSeries* ScoreSeries = nullptr;
    QLineSeries* ScoreAverage = nullptr;
    QLineSeries* LossSeries = nullptr;
    QLineSeries* LossAverage = nullptr;
    QListWidget* GameList = nullptr;       // one line per game, as quintor history writes it

private:
    quintor::HistoryFilter Filter() const;
    quintor::HistoryDatabase& db;
};
