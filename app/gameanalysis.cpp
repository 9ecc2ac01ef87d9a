#include "app/gameanalysis.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTableWidget>
#include <QThread>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include "app/advisor.h"
#include "app/backgroundjob.h"
#include "app/gamewidgets.h"
#include "app/main.h"
#include "app/settings.h"
#include "core/GeneralStuff.h"
#include "history/HistoryStatistics.h"
#include "app/palette.h"
#include "play/QuintorStateAnalyzer.h"

using namespace quintor;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

using namespace palette;

constexpr int HistogramBin = 10;   // points per bar of the histogram

struct Cancelled {};

// The position of a recorded choice as the advisor reads it: the dice in ascending order.
std::string PositionText(const GameRecordingEntry& e) {
    const ValueList& dice = ValueListTbl[ValueBagTbl[e.turnState.dice].vlr].list;
    return AbstractStateText(e.gameState, e.total, e.turnState, dice);
}

void SetAxisLook(QAbstractAxis* axis, const QString& title) {
    axis->setTitleText(title);
    QFont f = axis->titleFont();
    f.setBold(false);
    axis->setTitleFont(f);
}

}  // namespace

// ---- The distribution ---------------------------------------------------------------------------

TDistributionSource::TDistributionSource(QObject* parent) : QObject(parent) {}

TDistributionSource::~TDistributionSource() {
    if (worker) {
        *cancel = true;
        worker->wait();
        delete worker;
    }
}

TDistributionSource& TDistributionSource::Instance() {
    static QPointer<TDistributionSource> the;
    if (!the) the = new TDistributionSource(QCoreApplication::instance());
    return *the;
}

const ScoreDistribution* TDistributionSource::Get() {
    const CacheState* C = OptimalStrategy ? OptimalStrategy->Cache : nullptr;
    if (!C || C->Table.size() != std::size_t(NGameStates)) return nullptr;
    const double mean = C->Table[std::size_t(GameStateIndex(InitialGameState))];
    const std::string location = ReadTablesLocation();
    const std::string k = location + '\n' + Format("%.17g", mean);
    if (dist && key == k) return dist.get();
    if (worker) return nullptr;
    const std::string file = location + "/" + DistributionFileName;
    if (FileExists(file)) {
        try {
            auto d = std::make_unique<ScoreDistribution>();
            LoadScoreDistribution(file, mean, *d);
            dist = std::move(d);
            key = k;
            return dist.get();
        } catch (const IOError& e) {
            LogFile() << e.what() << '\n';
        }
    }
    key = k;
    dist.reset();
    Start();
    return nullptr;
}

void TDistributionSource::Start() {
    LogFile() << "Computing the optimal final score distribution ...\n";
    FlushLog();
    result = std::make_shared<ScoreDistribution>();
    failure = std::make_shared<std::string>();
    cancel = std::make_shared<std::atomic<bool>>(false);
    // The worker has its own copy of the table: a table created meanwhile cannot change it.
    auto table = std::make_shared<GameStateTable>(OptimalStrategy->Cache->Table);
    worker = QThread::create([this, table, res = result, fail = failure, stop = cancel] {
        try {
            *res = ComputeScoreDistribution(*table, 0, [this, stop](int turns) {
                if (*stop) throw Cancelled{};
                QMetaObject::invokeMethod(this, [this, turns] { emit Progress(turns); },
                                          Qt::QueuedConnection);
            });
        } catch (const Cancelled&) {
            *fail = "cancelled";
        } catch (const std::exception& e) {
            *fail = e.what();
        }
    });
    connect(worker, &QThread::finished, this, &TDistributionSource::Finished);
    worker->start(QThread::LowPriority);
}

void TDistributionSource::Finished() {
    worker->deleteLater();
    worker = nullptr;
    if (!failure->empty()) {
        LogFile() << "The optimal final score distribution was not computed: " << *failure << '\n';
        FlushLog();
        key.clear();
    } else {
        dist = std::make_unique<ScoreDistribution>(std::move(*result));
        try {
            SaveScoreDistribution(key.substr(0, key.find('\n')) + "/" + DistributionFileName, *dist);
        } catch (const IOError& e) {   // kept in memory for this run all the same
            LogFile() << e.what() << '\n';
            FlushLog();
        }
    }
    emit Ready();
}

// ---- The window ---------------------------------------------------------------------------------

TGameAnalysisForm::TGameAnalysisForm(const GameRecording& rec, int number, QWidget* parent)
    : QWidget(parent, Qt::Window), recording(rec) {
    setObjectName(QStringLiteral("GameAnalysisForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setWindowTitle(DesignedCaption() + QLatin1Char(' ') + QString::number(number));
    numbers = AnalyseLuckAndSkill(recording, OptimalStrategy);
    costly = CostliestChoices(numbers, 5);
    gamePoints = GamePoints(recording, OptimalStrategy->Rules);
    resize(920, 740);
    setMinimumSize(640, 520);
    const int shift = (std::max(number, 1) - 1) * Offset;
    move(DesignedLeft + shift, DesignedTop + shift);
    FormCreate();
}

void TGameAnalysisForm::FormCreate() {
    LabelSplit = new QLabel(Q(SplitLine(numbers)), this);
    LabelSplit->setObjectName(QStringLiteral("LabelSplit"));
    QFont bold = LabelSplit->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    LabelSplit->setFont(bold);
    LabelSplit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    LabelSplit->setToolTip(QStringLiteral(
        "The optimal expected final score at the start, plus the luck of every roll, minus what "
        "every choice lost against the best option"));

    CreateGameChart();
    CreateChanceControls();
    CreateHistogram();
    CreateCostlyChoices();

    LabelPercentile = new QLabel(this);
    LabelPercentile->setObjectName(QStringLiteral("LabelPercentile"));
    LabelPercentile->setWordWrap(true);
    LabelPercentile->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    DistributionProgress = new QProgressBar(this);
    DistributionProgress->setObjectName(QStringLiteral("DistributionProgress"));
    DistributionProgress->setRange(0, NCategories);
    DistributionProgress->setValue(0);
    DistributionProgress->hide();

    auto* costlyLabel = new QLabel(
        costly.empty() ? QStringLiteral("No choice lost anything against the best option.")
                       : QStringLiteral("The costliest choices (double-click or Enter opens an "
                                        "advisor on the position):"),
        this);
    costlyLabel->setWordWrap(true);
    costlyLabel->setBuddy(CostlyChoices);

    auto* left = new QVBoxLayout;
    left->addWidget(LabelPercentile);
    left->addWidget(DistributionProgress);
    left->addWidget(HistogramChart, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(costlyLabel);
    right->addWidget(CostlyChoices, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(left, 2);
    bottom->addLayout(right, 3);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    auto* chanceRow = new QHBoxLayout;
    chanceRow->addWidget(ChanceToggle);
    chanceRow->addWidget(ChanceTarget);
    chanceRow->addSpacing(12);
    chanceRow->addWidget(ChanceStatus);
    chanceRow->addWidget(ChanceProgress);
    chanceRow->addStretch(1);
    layout->addWidget(LabelSplit);
    layout->addLayout(chanceRow);
    layout->addWidget(GameChart, 3);
    layout->addLayout(bottom, 2);

    CostlyChoices->installEventFilter(this);
    CostlyChoices->setFocus();

    TDistributionSource& src = TDistributionSource::Instance();
    connect(&src, &TDistributionSource::Progress, this,
            [this](int turns) { DistributionProgress->setValue(turns); });
    connect(&src, &TDistributionSource::Ready, this, [this] { ShowDistribution(); });
    ShowDistribution();
}

QScatterSeries* TGameAnalysisForm::AddMarkers(QChart* chart, const QString& name,
                                              const char* colour, int shape, double size) {
    auto* s = new QScatterSeries;
    s->setName(name.toHtmlEscaped());   // the legend reads its labels as rich text
    s->setColor(QColor(colour));
    s->setBorderColor(QColor(Black));
    s->setMarkerShape(QScatterSeries::MarkerShape(shape));
    s->setMarkerSize(size);
    chart->addSeries(s);
    texts.push_back({s, {}});
    connect(s, &QScatterSeries::hovered, this,
            [this, s](const QPointF& p, bool on) { ShowTip(s, p, on); });
    return s;
}

void TGameAnalysisForm::CreateGameChart() {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Expected final score through the game"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    ValueSeries = new QLineSeries;
    ValueSeries->setName(QStringLiteral("Expected final score"));
    QPen pen{QColor(Grey)};
    pen.setWidthF(2.0);
    ValueSeries->setPen(pen);
    chart->addSeries(ValueSeries);
    RollSeries = {
        AddMarkers(chart, QStringLiteral("Lucky roll"), BluishGreen,
                   QScatterSeries::MarkerShapeRectangle, 10),
        AddMarkers(chart, QStringLiteral("Unlucky roll"), Blue,
                   QScatterSeries::MarkerShapeRectangle, 10),
    };
    ChoiceSeries = {
        AddMarkers(chart, QStringLiteral("Best choice"), Black, QScatterSeries::MarkerShapeCircle, 7),
        AddMarkers(chart, QStringLiteral("<> (loss < 0.01)"), SkyBlue,
                   QScatterSeries::MarkerShapeCircle, 12),
        AddMarkers(chart, QStringLiteral("* (< 1)"), Yellow,
                   QScatterSeries::MarkerShapeCircle, 12),
        AddMarkers(chart, QStringLiteral("** (< 5)"), Orange,
                   QScatterSeries::MarkerShapeCircle, 12),
        AddMarkers(chart, QStringLiteral("*** (5 or more)"), Vermillion,
                   QScatterSeries::MarkerShapeCircle, 12),
    };

    auto textsOf = [this](const QScatterSeries* s) -> std::vector<QString>& {
        for (auto& t : texts)
            if (t.first == s) return t.second;
        return texts.front().second;   // every series is in the list
    };
    // Each series' points by their index in gamePoints (and values): the start, then per choice
    // the roll (2i + 1) and the choice (2i + 2).
    auto indexesOf = [this](QXYSeries* s) -> std::vector<int>& {
        for (auto& p : pointOf)
            if (p.first == s) return p.second;
        pointOf.push_back({s, {}});
        return pointOf.back().second;
    };
    double lo = numbers.start, hi = numbers.start;
    ValueSeries->append(0.0, numbers.start);
    values.push_back(numbers.start);
    indexesOf(ValueSeries).push_back(0);
    for (std::size_t i = 0; i < numbers.choices.size(); ++i) {
        const ChoiceAnalysis& c = numbers.choices[i];
        const GameRecordingEntry& e = recording.entry[i];
        const int roll = NRollsPerTurn - e.turnState.rollsLeft;   // 1..3 within the turn
        // A turn spans one unit: its rolls at the sixths, each choice at the third after it.
        const double xr = (c.turn - 1) + (roll - 0.5) / NRollsPerTurn;
        const double xc = (c.turn - 1) + double(roll) / NRollsPerTurn;
        ValueSeries->append(xr, c.rolled);
        ValueSeries->append(xc, c.chosen);
        values.push_back(c.rolled);
        values.push_back(c.chosen);
        const int at = int(2 * i + 1);
        indexesOf(ValueSeries).push_back(at);
        indexesOf(ValueSeries).push_back(at + 1);
        lo = std::min({lo, c.rolled, c.chosen});
        hi = std::max({hi, c.rolled, c.chosen});
        const std::string where = PositionText(e);
        QScatterSeries* r = RollSeries[c.luck >= 0.0 ? 0 : 1];
        r->append(xr, c.rolled);
        indexesOf(r).push_back(at);
        textsOf(r).push_back(Q(Format("Turn %d, roll %d: %s\nExpected %.2f before the roll, %.2f "
                                      "after it: luck %+.2f",
                                      c.turn, roll, where.c_str(), c.before, c.rolled, c.luck)));
        QScatterSeries* m = ChoiceSeries[std::size_t(c.deltaClass + 1)];
        m->append(xc, c.chosen);
        indexesOf(m).push_back(at + 1);
        std::string text = Format("Turn %d: %s\nYour choice: %s, expected %.2f", c.turn,
                                  where.c_str(), ShortChoiceText(e.event).c_str(), c.chosen);
        if (c.noChoice)
            text += "\nThe only option";
        else if (c.identical)
            text += "\nThe best option";
        else
            text += Format("\nBest option: %s, expected %.2f\nLoss %.2f %s",
                           ShortChoiceText(c.best).c_str(), c.rolled, c.loss,
                           DeltaClassMarker(c.deltaClass));
        textsOf(m).push_back(Q(text));
    }

    auto* x = new QCategoryAxis;
    for (int t = 1; t <= NTurnsPerGame; ++t) x->append(QString::number(t), t);
    // A little room at both ends, so the first and the last points show whole.
    x->setStartValue(0.0);
    x->setRange(-0.12, NTurnsPerGame + 0.12);
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    SetAxisLook(x, QStringLiteral("Turn"));
    auto* y = new QValueAxis;
    GameAxisY = y;
    valueLo = std::floor(lo - 5.0);
    valueHi = std::ceil(hi + 5.0);
    y->setRange(valueLo, valueHi);
    y->applyNiceNumbers();
    valueLo = y->min();
    valueHi = y->max();
    valueTicks = y->tickCount();
    y->setLabelFormat(QStringLiteral("%d"));
    SetAxisLook(y, QStringLiteral("Expected final score (points)"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    // The empty classes stay out of the legend.
    for (QScatterSeries* s : ChoiceSeries)
        if (s->count() == 0) chart->legend()->markers(s).front()->setVisible(false);
    for (QScatterSeries* s : RollSeries)
        if (s->count() == 0) chart->legend()->markers(s).front()->setVisible(false);

    GameChart = new QChartView(chart, this);
    GameChart->setObjectName(QStringLiteral("GameChart"));
    GameChart->setRenderHint(QPainter::Antialiasing);
    GameChart->setMinimumHeight(240);
}

void TGameAnalysisForm::CreateHistogram() {
    auto* chart = new QChart;
    chart->setTitle(Q(Format("Final scores of perfect play (%d-point bars)", HistogramBin)));
    chart->legend()->setAlignment(Qt::AlignBottom);
    HistogramChart = new QChartView(chart, this);
    HistogramChart->setObjectName(QStringLiteral("HistogramChart"));
    HistogramChart->setRenderHint(QPainter::Antialiasing);
    HistogramChart->setMinimumHeight(200);
}

void TGameAnalysisForm::ShowDistribution() {
    TDistributionSource& src = TDistributionSource::Instance();
    const ScoreDistribution* d = src.Get();
    if (!d) {
        if (src.Computing()) {
            LabelPercentile->setText(QStringLiteral(
                "Computing the final scores of perfect play (once; they are kept beside the "
                "tables) ..."));
            DistributionProgress->show();
        } else {
            LabelPercentile->setText(
                QStringLiteral("The final scores of perfect play could not be computed."));
            DistributionProgress->hide();
        }
        return;
    }
    DistributionProgress->hide();
    const int score = numbers.finalScore;
    if (numbers.finished)
        LabelPercentile->setText(Q(PercentileLine(score, *d)) + QLatin1Char('\n') +
                                 Q(Format("A perfect player reaches %d or more in %.1f%% of games.",
                                          score, 100.0 * ChanceToReach(*d, score))));
    else
        LabelPercentile->setText(Q(Format(
            "The game was aborted; perfect play averages %.2f with these final scores.",
            DistributionMean(*d))));

    QChart* chart = HistogramChart->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* a : chart->axes()) {
        chart->removeAxis(a);
        delete a;
    }
    std::vector<double> bins(NFinalScores / HistogramBin + 1, 0.0);
    for (int s = 0; s < NFinalScores; ++s) bins[std::size_t(s / HistogramBin)] += (*d)[std::size_t(s)];
    int first = int(bins.size()) - 1, last = 0;
    double top = 0.0;
    for (int b = 0; b < int(bins.size()); ++b) {
        if (bins[std::size_t(b)] < 0.0002) continue;
        first = std::min(first, b);
        last = std::max(last, b);
        top = std::max(top, bins[std::size_t(b)]);
    }
    if (numbers.finished) {
        first = std::min(first, score / HistogramBin);
        last = std::max(last, score / HistogramBin);
    }
    auto* upper = new QLineSeries;
    for (int b = first; b <= last; ++b) {
        upper->append(b * HistogramBin, 100.0 * bins[std::size_t(b)]);
        upper->append((b + 1) * HistogramBin, 100.0 * bins[std::size_t(b)]);
    }
    auto* area = new QAreaSeries(upper);
    area->setName(QStringLiteral("Perfect play"));
    area->setColor(QColor(SkyBlue));
    area->setBorderColor(QColor(Blue));
    chart->addSeries(area);
    ScoreMark = nullptr;
    if (numbers.finished) {
        ScoreMark = new QLineSeries;
        ScoreMark->setName(Q(Format("Your score %d", score)));
        QPen pen{QColor(Vermillion)};
        pen.setWidthF(3.0);
        ScoreMark->setPen(pen);
        ScoreMark->append(score, 0.0);
        ScoreMark->append(score, 100.0 * top * 1.08);
        chart->addSeries(ScoreMark);
    }
    auto* x = new QValueAxis;
    const int from = first * HistogramBin / 50 * 50, to = ((last + 1) * HistogramBin + 49) / 50 * 50;
    x->setRange(from, to);
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0.0);
    x->setTickInterval(to - from > 400 ? 100.0 : 50.0);
    x->setLabelFormat(QStringLiteral("%d"));
    SetAxisLook(x, QStringLiteral("Final score (points)"));
    auto* y = new QValueAxis;
    y->setRange(0.0, 100.0 * top * 1.1);
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->applyNiceNumbers();
    SetAxisLook(y, QStringLiteral("% of games"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

void TGameAnalysisForm::CreateCostlyChoices() {
    CostlyChoices = new QTableWidget(int(costly.size()), 5, this);
    CostlyChoices->setObjectName(QStringLiteral("CostlyChoices"));
    CostlyChoices->setHorizontalHeaderLabels({QStringLiteral("Loss"), QStringLiteral("Turn"),
                                              QStringLiteral("Position"),
                                              QStringLiteral("Your choice"),
                                              QStringLiteral("Best option")});
    CostlyChoices->verticalHeader()->hide();
    CostlyChoices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CostlyChoices->setSelectionBehavior(QAbstractItemView::SelectRows);
    CostlyChoices->setSelectionMode(QAbstractItemView::SingleSelection);
    CostlyChoices->setTabKeyNavigation(false);
    const QFont mono = MonospacedFont(13);
    for (int row = 0; row < int(costly.size()); ++row) {
        const ChoiceAnalysis& c = numbers.choices[std::size_t(costly[std::size_t(row)])];
        const GameRecordingEntry& e = recording.entry[std::size_t(costly[std::size_t(row)])];
        const QStringList cells = {
            Q(Format("%.2f %s", c.loss, DeltaClassMarker(c.deltaClass))),
            QString::number(c.turn), Q(PositionText(e)), Q(ShortChoiceText(e.event)),
            Q(ShortChoiceText(c.best))};
        for (int col = 0; col < cells.size(); ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            if (col == 2) item->setFont(mono);
            item->setToolTip(QStringLiteral("Double-click or press Enter to open an advisor "
                                            "window on this position"));
            CostlyChoices->setItem(row, col, item);
        }
    }
    CostlyChoices->resizeColumnsToContents();
    CostlyChoices->horizontalHeader()->setStretchLastSection(true);
    if (!costly.empty()) CostlyChoices->selectRow(0);
    connect(CostlyChoices, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { OpenAdvisorAt(row); });
}

void TGameAnalysisForm::keyPressEvent(QKeyEvent* ev) {
    if (ev->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(ev);
}

bool TGameAnalysisForm::eventFilter(QObject* watched, QEvent* ev) {
    if (watched == CostlyChoices && ev->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(ev)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OpenAdvisorAt(CostlyChoices->currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, ev);
}

QString TGameAnalysisForm::PointText(const QScatterSeries* series, int i) const {
    QString text;
    for (const auto& t : texts)
        if (t.first == series && i >= 0 && i < int(t.second.size())) text = t.second[std::size_t(i)];
    const auto shown = chances.find(shownTarget);
    if (text.isEmpty() || shownTarget == 0 || shown == chances.end()) return text;
    for (const auto& p : pointOf) {
        if (p.first != series || i >= int(p.second.size())) continue;
        // Every marker follows a point: a roll's the position before it, a choice's the roll.
        const int at = p.second[std::size_t(i)];
        const std::vector<double>& c = shown->second;
        if (at < 1 || at >= int(c.size())) break;
        text += Q(Format(at % 2 == 1 ? "\nChance to reach %d: %.2f%% before the roll, %.2f%% after it"
                                     : "\nChance to reach %d: %.2f%% before the choice, %.2f%% after it",
                         shownTarget, 100.0 * c[std::size_t(at - 1)], 100.0 * c[std::size_t(at)]));
    }
    return text;
}

// ---- The chance to reach a target -------------------------------------------------------------

int TGameAnalysisForm::DefaultChanceTarget(QWidget* owner) {
    constexpr int Otherwise = 300;
    auto* main = qobject_cast<TMainForm*>(owner);
    if (!main) return Otherwise;
    const int best = ReadHistoryStatistics(main->History(), HistoryFilter{}).bestScore;
    return best > 0 ? best : Otherwise;
}

void TGameAnalysisForm::CreateChanceControls() {
    ChanceToggle = new QCheckBox(QStringLiteral("Show the &chance to reach"), this);
    ChanceToggle->setObjectName(QStringLiteral("ChanceToggle"));
    ChanceToggle->setToolTip(QStringLiteral(
        "The chart shows, instead of the expected final score, the chance of reaching the final "
        "score beside when the rest of the game is played for the best expected score"));
    ChanceTarget = new QSpinBox(this);
    ChanceTarget->setObjectName(QStringLiteral("ChanceTarget"));
    ChanceTarget->setRange(1, MaxPoints);
    ChanceTarget->setValue(DefaultChanceTarget(parentWidget()));
    // A typed number counts once it is complete (Return or leaving the field).
    ChanceTarget->setKeyboardTracking(false);
    ChanceTarget->setToolTip(QStringLiteral("The final score to reach (by default your best)"));
    ChanceStatus = new QLabel(this);
    ChanceStatus->setObjectName(QStringLiteral("ChanceStatus"));
    ChanceStatus->hide();
    ChanceProgress = new QProgressBar(this);
    ChanceProgress->setObjectName(QStringLiteral("ChanceProgress"));
    ChanceProgress->setMaximumWidth(180);
    ChanceProgress->hide();
    chanceJob = new TBackgroundJob(this);

    connect(ChanceToggle, &QCheckBox::toggled, this, [this] { ChanceSettingsChanged(); });
    connect(ChanceTarget, &QSpinBox::valueChanged, this, [this] { ChanceSettingsChanged(); });
    connect(chanceJob, &TBackgroundJob::Progress, this, [this](int done, int all) {
        ChanceProgress->setRange(0, all);
        ChanceProgress->setValue(done);
    });
    connect(chanceJob, &TBackgroundJob::BusyChanged, this, [this](bool busy) {
        if (busy) return;
        ChanceProgress->hide();
        if (ChanceStatus->text().startsWith(QStringLiteral("Computing"))) ChanceStatus->hide();
    });
}

bool TGameAnalysisForm::ChancesComputing() const { return chanceJob->Busy(); }

void TGameAnalysisForm::ChanceSettingsChanged() {
    const int target = ChanceTarget->value();
    const auto known = chances.find(target);
    if (!ChanceToggle->isChecked() || known != chances.end()) {
        chanceJob->Cancel();
        ChanceStatus->hide();
        ChanceProgress->hide();
        ShowChartOf(ChanceToggle->isChecked() ? &known->second : nullptr, target);
        return;
    }
    const CacheState* C = OptimalStrategy ? OptimalStrategy->Cache : nullptr;
    if (!C) return;
    // The worker's own copies: tables loaded meanwhile cannot change what it reads.
    auto table = std::make_shared<const GameStateTable>(C->Table);
    auto at = std::make_shared<const std::vector<GamePoint>>(gamePoints);
    ChanceStatus->setText(QStringLiteral("Computing the chances to reach %1 ...").arg(target));
    ChanceStatus->show();
    ChanceProgress->setRange(0, 0);   // busy until the passes report their layers
    ChanceProgress->setValue(0);
    ChanceProgress->show();
    chanceJob->Request([this, table, at, target](const TBackgroundJob::Control& control) {
        std::function<void()> show;
        try {
            std::vector<double> c = ChancesThroughGame(*table, *at, target, &control.stop,
                                                       control.progress);
            if (c.size() != at->size()) return show;   // stopped: a newer request came
            show = [this, c = std::move(c), target] {
                chances[target] = c;
                ChanceStatus->hide();
                ChanceProgress->hide();
                if (ChanceToggle->isChecked() && ChanceTarget->value() == target)
                    ShowChartOf(&chances[target], target);
            };
        } catch (const std::exception& e) {
            show = [this, text = QString::fromStdString(e.what())] {
                ChanceStatus->setText(QStringLiteral("No chances: ") + text);
                ChanceStatus->show();
                ChanceProgress->hide();
            };
        }
        return show;
    });
}

void TGameAnalysisForm::ShowChartOf(const std::vector<double>* c, int target) {
    if (c && c->size() != values.size()) return;
    for (auto& [series, at] : pointOf) {
        QList<QPointF> shown = series->points();
        for (int k = 0; k < int(shown.size()) && k < int(at.size()); ++k) {
            const std::size_t p = std::size_t(at[std::size_t(k)]);
            shown[k].setY(c ? 100.0 * (*c)[p] : values[p]);
        }
        series->replace(shown);
    }
    shownTarget = c ? target : 0;
    QChart* chart = GameChart->chart();
    if (c) {
        chart->setTitle(QStringLiteral("Chance to reach %1 through the game").arg(target));
        ValueSeries->setName(QStringLiteral("Chance to reach %1").arg(target));
        GameAxisY->setRange(0.0, 100.0);
        GameAxisY->setTickCount(5);   // every 25 per cent
        SetAxisLook(GameAxisY, QStringLiteral("Chance to reach %1 (%)").arg(target));
    } else {
        chart->setTitle(QStringLiteral("Expected final score through the game"));
        ValueSeries->setName(QStringLiteral("Expected final score"));
        GameAxisY->setRange(valueLo, valueHi);
        GameAxisY->setTickCount(valueTicks);
        SetAxisLook(GameAxisY, QStringLiteral("Expected final score (points)"));
    }
}

void TGameAnalysisForm::ShowTip(const QScatterSeries* series, const QPointF& p, bool on) {
    if (!on) {
        QToolTip::hideText();
        return;
    }
    const QList<QPointF> points = series->points();
    int best = -1;
    double dist = 0.0;
    for (int i = 0; i < points.size(); ++i) {
        const double d = std::hypot(points[i].x() - p.x(), (points[i].y() - p.y()) / 100.0);
        if (best < 0 || d < dist) {
            best = i;
            dist = d;
        }
    }
    if (best >= 0) QToolTip::showText(QCursor::pos(), PointText(series, best), GameChart);
}

TAdvisorForm* TGameAnalysisForm::OpenAdvisorAt(int row) {
    if (row < 0 || row >= int(costly.size())) return nullptr;
    const GameRecordingEntry& e = recording.entry[std::size_t(costly[std::size_t(row)])];
    QWidget* owner = parentWidget() ? parentWidget() : this;
    std::function<std::string()> current;
    if (auto* main = qobject_cast<TMainForm*>(owner)) {
        QPointer<TMainForm> m = main;
        current = [m] { return m ? m->CurrentAbstractState() : std::string(); };
    }
    auto* a = new TAdvisorForm(current, owner);
    a->Init(PositionText(e));
    a->Analyze();
    a->show();
    a->raise();
    return a;
}

int GameNumberOfCaption(const QString& caption) {
    // Only the number right after the caption's first words: a reopened game's caption names
    // its date instead ("Game Recording: fair dice, 2025-03-01 14:05").
    static const QRegularExpression number(QStringLiteral("^\\D*?Recording (\\d+)"));
    const QRegularExpressionMatch m = number.match(caption);
    return m.hasMatch() ? std::max(1, m.captured(1).toInt()) : 1;
}

TGameAnalysisForm* OpenGameAnalysis(QWidget* from, const GameRecording& rec) {
    QWidget* owner = from->parentWidget() ? from->parentWidget() : from;
    const QString caption = from->windowTitle();
    auto* w = new TGameAnalysisForm(rec, GameNumberOfCaption(caption), owner);
    // A reopened game's analysis names the game as its recording window does.
    const QString named = QStringLiteral("Recording: ");
    if (const qsizetype at = caption.indexOf(named); at >= 0) {
        QString game = caption.mid(at + named.size());
        if (const qsizetype bracket = game.indexOf(QStringLiteral(" [")); bracket >= 0) game.truncate(bracket);
        w->setWindowTitle(TGameAnalysisForm::DesignedCaption() + QStringLiteral(": ") + game);
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}
