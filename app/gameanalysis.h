// The analysis window of one recorded game: the game's chart (V through the game, the luck of
// every roll, every choice by its loss class), the split into luck and skill, where the score
// falls among optimal games, and the costliest choices, each a double-click from an advisor.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "play/QuintorLuckAndSkill.h"

class QChart;
class QChartView;
class QKeyEvent;
class QLabel;
class QLineSeries;
class QProgressBar;
class QScatterSeries;
class QTableWidget;
class QThread;
class TAdvisorForm;

// The optimal score distribution for the window program: from memory, from its file beside the
// tables, or computed on a worker thread (never on the window thread), then saved there. One per
// application.
class TDistributionSource : public QObject {
    Q_OBJECT
public:
    static TDistributionSource& Instance();
    ~TDistributionSource() override;

    // The distribution for the loaded tables, or null while it is being computed (then
    // Ready follows; Progress(k) after k of the 13 turns).
    const quintor::ScoreDistribution* Get();
    bool Computing() const { return worker != nullptr; }

signals:
    void Progress(int turns);
    void Ready();

private:
    explicit TDistributionSource(QObject* parent);
    void Start();
    void Finished();

    std::string key;   // location and expected score the distribution belongs to
    std::unique_ptr<quintor::ScoreDistribution> dist;
    QThread* worker = nullptr;
    std::shared_ptr<quintor::ScoreDistribution> result;   // written by the worker
    std::shared_ptr<std::string> failure;                 // likewise
    std::shared_ptr<std::atomic<bool>> cancel;
};

class TGameAnalysisForm : public QWidget {
    Q_OBJECT
public:
    // number: the game's (its recording window's) number.
    TGameAnalysisForm(const quintor::GameRecording& rec, int number, QWidget* parent = nullptr);

    // Placed like the recording windows: game n 20 x (n - 1) pixels down and right.
    static constexpr int DesignedLeft = 337;
    static constexpr int DesignedTop = 113;
    static constexpr int Offset = 20;
    static QString DesignedCaption() { return QStringLiteral("Game Analysis"); }

    const quintor::LuckAndSkill& Numbers() const { return numbers; }
    // The tooltip text of point i of a chart series.
    QString PointText(const QScatterSeries* series, int i) const;
    // Opens an advisor window on the position of costliest-choices row `row`.
    TAdvisorForm* OpenAdvisorAt(int row);

    QLabel* LabelSplit = nullptr;
    QLabel* LabelPercentile = nullptr;
    QProgressBar* DistributionProgress = nullptr;
    QChartView* GameChart = nullptr;
    QChartView* HistogramChart = nullptr;
    QTableWidget* CostlyChoices = nullptr;
    QLineSeries* ValueSeries = nullptr;            // start, then each roll and each choice
    std::vector<QScatterSeries*> RollSeries;       // lucky, unlucky
    std::vector<QScatterSeries*> ChoiceSeries;     // best, "<>", "*", "**", "***"
    QLineSeries* ScoreMark = nullptr;              // the player's score on the histogram

protected:
    bool eventFilter(QObject* watched, QEvent* ev) override;
    void keyPressEvent(QKeyEvent* ev) override;   // Escape closes the window

private:
    void FormCreate();
    void CreateGameChart();
    void CreateHistogram();
    void CreateCostlyChoices();
    void ShowDistribution();
    QScatterSeries* AddMarkers(QChart* chart, const QString& name, const char* colour,
                               int shape, double size);
    void ShowTip(const QScatterSeries* series, const QPointF& p, bool on);

    quintor::GameRecording recording;
    quintor::LuckAndSkill numbers;
    std::vector<int> costly;
    // Per series, the text of each point, in point order.
    std::vector<std::pair<const QScatterSeries*, std::vector<QString>>> texts;
};

// The number in a recording window's caption ("Game Recording 3 [a.txt]" gives 3; 1 if none).
int GameNumberOfCaption(const QString& caption);
// Opens the analysis window of a recorded game for the recording window `from`, owned by its
// owner (so it outlives the recording window).
TGameAnalysisForm* OpenGameAnalysis(QWidget* from, const quintor::GameRecording& rec);
