// The analysis window of one recorded game: the game's chart (V through the game, the luck of
// every roll, every choice by its loss class; or instead the chance of reaching a target score),
// the split into luck and skill, where the score falls among optimal games, and the costliest
// choices, each a double-click from an advisor.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "play/QuintorLuckAndSkill.h"

class QChart;
class QChartView;
class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineSeries;
class QProgressBar;
class QScatterSeries;
class QSpinBox;
class QTableWidget;
class QThread;
class QValueAxis;
class QXYSeries;
class TAdvisorForm;
class TBackgroundJob;

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
    // The game's points, one per point of ValueSeries.
    const std::vector<quintor::GamePoint>& Points() const { return gamePoints; }
    // The target whose chances the game chart shows, 0 while it shows the expected final score.
    int ChanceShown() const { return shownTarget; }
    bool ChancesComputing() const;
    // The target offered first: the best final score of the player's fair games in the history
    // of the main window `owner` (when it is one and has any), else 300.
    static int DefaultChanceTarget(QWidget* owner);

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
    QCheckBox* ChanceToggle = nullptr;             // the chart shows the chance to reach ...
    QSpinBox* ChanceTarget = nullptr;              // ... this final score
    QLabel* ChanceStatus = nullptr;                // computing, or why there are no chances
    QProgressBar* ChanceProgress = nullptr;        // points done while computing

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
    void CreateChanceControls();
    void ChanceSettingsChanged();
    // The chart with the chances to reach target (chances null: the expected final scores).
    void ShowChartOf(const std::vector<double>* chances, int target);

    quintor::GameRecording recording;
    quintor::LuckAndSkill numbers;
    std::vector<int> costly;
    // Per series, the text of each point, in point order.
    std::vector<std::pair<const QScatterSeries*, std::vector<QString>>> texts;
    // Per series of the game chart, the index in gamePoints of each of its points.
    std::vector<std::pair<QXYSeries*, std::vector<int>>> pointOf;
    std::vector<quintor::GamePoint> gamePoints;
    std::vector<double> values;                    // V at each point
    double valueLo = 0.0, valueHi = 0.0;           // the value axis's range
    int valueTicks = 5;
    QValueAxis* GameAxisY = nullptr;
    int shownTarget = 0;
    std::map<int, std::vector<double>> chances;    // by target, once computed
    TBackgroundJob* chanceJob = nullptr;
};

// The number in a recording window's caption ("Game Recording 3 [a.txt]" gives 3; 1 if none).
int GameNumberOfCaption(const QString& caption);
// Opens the analysis window of a recorded game for the recording window `from`, owned by its
// owner (so it outlives the recording window).
TGameAnalysisForm* OpenGameAnalysis(QWidget* from, const quintor::GameRecording& rec);
