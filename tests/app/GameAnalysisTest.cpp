// The analysis window of a recorded game, opened from its recording window: the split's numbers,
// one chart point per roll and per choice, the percentile line and its histogram once the
// distribution has been computed on its worker thread, the costliest choices and their advisors.
#include <QCheckBox>
#include <QChartView>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QProgressBar>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTableWidget>
#include <QThread>
#include <QThreadPool>
#include <QValueAxis>

#include "AppTestSupport.h"
#include "app/advisor.h"
#include "app/gameanalysis.h"
#include "engine/QuintorScoreDistribution.h"
#include "history/HistoryRecording.h"

using namespace quintor;

namespace {

TGameAnalysisForm* OpenAnalysis(TGameRecForm* w) {
    auto* b = Find<QPushButton>(w, "AnalysisButton");
    EXPECT_TRUE(b->isEnabled());
    b->click();
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* a = qobject_cast<TGameAnalysisForm*>(top); a && a->isVisible()) return a;
    ADD_FAILURE() << "no analysis window";
    return nullptr;
}

int Count(const std::vector<QScatterSeries*>& series) {
    int n = 0;
    for (const QScatterSeries* s : series) n += s->count();
    return n;
}

// Lets the worker thread finish, handling its signals, for at most a minute.
void WaitForDistribution() { WaitWhile([] { return TDistributionSource::Instance().Computing(); }); }

TEST(GameAnalysis, FinishedGameSplitChartPercentileAndCostliestChoices) {
    Trainer t;
    TGameRecForm* w = t.main->CurrentRecordingWindow();
    EXPECT_FALSE(Find<QPushButton>(w, "AnalysisButton")->isEnabled());
    // Chance first, then the rest backwards, with keeps in some turns: some choices lose.
    for (int turn = 0; turn < NTurnsPerGame; ++turn) {
        const Category c = Category(NCategories - 1 - turn);
        std::vector<std::string> keeps;
        if (turn % 2 == 0) keeps.push_back("11000");
        if (turn % 4 == 0) keeps.push_back("10000");
        if (turn == NTurnsPerGame - 1) t.dialogs.ExpectInform();   // "Game Over!"
        PlayTurn(t, c, keeps);
    }
    const GameRecording& rec = t.main->Recording();
    const LuckAndSkill a = AnalyseLuckAndSkill(rec, OptimalStrategy);
    ASSERT_TRUE(a.finished);
    const int score = std::stoi(Field(t.main->ScoreCard(), "EditGrandTotal"));
    EXPECT_EQ(a.finalScore, score);

    TGameAnalysisForm* f = OpenAnalysis(w);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), "Game Analysis 1");
    EXPECT_EQ(f->pos(), QPoint(337, 113));
    EXPECT_EQ(f->parentWidget(), t.main.get());
    // The split line: its numbers add up to the score shown on the card.
    const std::string split = f->LabelSplit->text().toStdString();
    EXPECT_EQ(split, SplitLine(a));
    double start = 0, luck = 0, loss = 0;
    int total = 0;
    ASSERT_EQ(std::sscanf(split.c_str(), "Expected at start %lf + luck %lf - loss %lf = %d", &start,
                          &luck, &loss, &total), 4) << split;
    EXPECT_EQ(total, score);
    EXPECT_NEAR(start, 254.59, 0.005);
    EXPECT_NEAR(start + luck - loss, score, 0.02);
    EXPECT_GT(loss, 0.0);

    // One point per roll and per choice (and the start) on the line; each roll once among the
    // luck markers, each choice once among the class markers, in its class.
    ASSERT_EQ(f->ValueSeries->count(), 1 + 2 * rec.len);
    EXPECT_EQ(Count(f->RollSeries), rec.len);
    EXPECT_EQ(Count(f->ChoiceSeries), rec.len);
    std::array<int, 5> inClass{};
    for (const ChoiceAnalysis& c : a.choices) ++inClass[std::size_t(c.deltaClass + 1)];
    for (std::size_t k = 0; k < 5; ++k) EXPECT_EQ(f->ChoiceSeries[k]->count(), inClass[k]) << k;
    EXPECT_EQ(f->ValueSeries->at(0).y(), a.start);
    EXPECT_EQ(f->ValueSeries->at(2 * rec.len).y(), double(score));
    EXPECT_EQ(f->ValueSeries->at(2 * rec.len).x(), double(NTurnsPerGame));
    const QScatterSeries* firstRoll = f->RollSeries[a.choices[0].luck >= 0 ? 0 : 1];
    EXPECT_TRUE(f->PointText(firstRoll, 0).startsWith("Turn 1, roll 1: 123456TFHSLQC;63-   0  "))
        << f->PointText(firstRoll, 0).toStdString();
    EXPECT_TRUE(f->PointText(firstRoll, 0).contains(QString::fromStdString(Format("luck %+.2f", a.choices[0].luck))));

    // The distribution is computed on the worker while the window is up, then shown.
    EXPECT_TRUE(f->DistributionProgress->isVisible() || !TDistributionSource::Instance().Computing());
    WaitForDistribution();
    ASSERT_FALSE(TDistributionSource::Instance().Computing());
    EXPECT_FALSE(f->DistributionProgress->isVisible());
    ScoreDistribution d;
    LoadScoreDistribution(ReadTablesLocation() + "/" + DistributionFileName,
                          OptimalStateValue(InitialGameState), d);   // saved beside the tables
    const QString pct = f->LabelPercentile->text();
    EXPECT_TRUE(pct.startsWith(QString::fromStdString(PercentileLine(score, d)) + "\n")) << pct.toStdString();
    ASSERT_NE(f->ScoreMark, nullptr);
    ASSERT_EQ(f->ScoreMark->count(), 2);
    EXPECT_EQ(f->ScoreMark->at(0).x(), double(score));
    EXPECT_EQ(f->HistogramChart->chart()->series().size(), 2);

    // The costliest choices, largest loss first; double-click and Enter open advisors there.
    const std::vector<int> costly = CostliestChoices(a, 5);
    ASSERT_EQ(f->CostlyChoices->rowCount(), int(costly.size()));
    ASSERT_GT(costly.size(), 0u);
    EXPECT_EQ(f->CostlyChoices->item(0, 0)->text().toStdString(),
              Format("%.2f %s", a.choices[std::size_t(costly[0])].loss,
                     DeltaClassMarker(a.choices[std::size_t(costly[0])].deltaClass)));
    const GameRecordingEntry& e = rec.entry[std::size_t(costly[0])];
    const std::string position = f->CostlyChoices->item(0, 2)->text().toStdString();
    EXPECT_EQ(position.substr(0, 17), GameStateToString(e.gameState));
    TAdvisorForm* adv = f->OpenAdvisorAt(0);
    ASSERT_NE(adv, nullptr);
    EXPECT_EQ(Field(adv, "StateEdit"), position);
    EXPECT_TRUE(Find<QPlainTextEdit>(adv, "txtAdvice")->toPlainText().contains(" options\n"));
    const auto advisors = [&t] { return t.main->findChildren<TAdvisorForm*>().size(); };
    const auto before = advisors();
    f->CostlyChoices->setCurrentCell(0, 0);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(f->CostlyChoices, &enter);
    EXPECT_EQ(advisors(), before + 1);
    EXPECT_EQ(f->OpenAdvisorAt(99), nullptr);

    // QUINTOR_ANALYSIS_SCREENSHOT=FILE keeps a picture of the window (to look at under Xvfb).
    if (const char* shot = std::getenv("QUINTOR_ANALYSIS_SCREENSHOT")) {
        QCoreApplication::processEvents();
        f->grab().save(QString::fromLocal8Bit(shot));
    }
    // It resizes with the window; Escape closes it.
    f->resize(700, 560);
    QCoreApplication::processEvents();
    EXPECT_LE(f->GameChart->width(), 700);
    EXPECT_GT(f->GameChart->height(), 100);
    const QPointer<TGameAnalysisForm> open = f;
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(f->CostlyChoices, &escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open.isNull());   // closed and gone
}

TEST(GameAnalysis, AbortedGameEndsAtTheExpectationOfItsLastPosition) {
    Trainer t;
    PlayTurn(t, Chance, {"11100"});
    PlayTurn(t, Sixes, {});
    Find<QPushButton>(t.main->DiceSet(), "ButRoll")->click();
    t.dialogs.ExpectAsk(true);
    t.main->NewGameButton->click();
    const GameRecording& rec = t.main->Recording();
    ASSERT_EQ(rec.len, 3);
    TGameAnalysisForm* f = OpenAnalysis(t.main->CurrentRecordingWindow());
    ASSERT_NE(f, nullptr);
    const LuckAndSkill a = AnalyseLuckAndSkill(rec, OptimalStrategy);
    EXPECT_FALSE(a.finished);
    EXPECT_EQ(f->LabelSplit->text().toStdString(),
              Format("Expected at start %.2f + luck %.2f - loss %.2f = %.2f expected at the abort",
                     a.start, a.luck, a.loss, a.end));
    EXPECT_EQ(f->ValueSeries->count(), 7);
    WaitForDistribution();
    EXPECT_TRUE(f->LabelPercentile->text().startsWith("The game was aborted"));
    EXPECT_EQ(f->ScoreMark, nullptr);
    f->close();
}

// A game recorded from late on: Sixes and Chance free, 200 so far, the bonus made. It keeps
// 6 6 6, scores 6 6 6 3 5 in Sixes, then 1 2 3 4 5 in Chance: 233.
GameRecording LateGame() {
    auto bag = [](std::initializer_list<int> values) {
        ValueBag b;
        for (int v : values) AddToBag(b, v, 1);
        return RankFromValueBag(b);
    };
    GameRecording rec;
    InitGameRecording(rec);
    GameState g;
    g.free = CategorySet((1u << Sixes) | (1u << Chance));
    g.need = 0;
    const TurnState first{2, ToChoose, bag({6, 6, 6, 1, 2})};
    ExtendGameRecording(rec, g, 200, Event{Keeping, 0, std::uint16_t(bag({6, 6, 6}))}, first);
    const TurnState second{1, ToChoose, bag({6, 6, 6, 3, 5})};
    Event sixes{Scoring, Sixes, 0};
    GameState next;
    ScoreCard delta;
    ApplyScoringEvent(OptimalStrategy->Rules, g, second, next, delta, sixes);
    ExtendGameRecording(rec, g, 200, sixes, second);
    const TurnState last{2, ToChoose, bag({1, 2, 3, 4, 5})};
    Event chance{Scoring, Chance, 0};
    GameState end;
    ApplyScoringEvent(OptimalStrategy->Rules, next, last, end, delta, chance);
    ExtendGameRecording(rec, next, 200 + sixes.arg, chance, last);
    return rec;
}

void WaitForChances(const TGameAnalysisForm* f) { EXPECT_TRUE(WaitWhile([f] { return f->ChancesComputing(); })); }

// Every point of every series of the game chart has the height of its point of the line.
void ExpectMarkersOnTheLine(const TGameAnalysisForm* f) {
    std::vector<const QScatterSeries*> markers(f->RollSeries.begin(), f->RollSeries.end());
    markers.insert(markers.end(), f->ChoiceSeries.begin(), f->ChoiceSeries.end());
    for (const QScatterSeries* s : markers)
        for (const QPointF& p : s->points()) {
            bool found = false;
            for (const QPointF& q : f->ValueSeries->points())
                if (q.x() == p.x()) found = q.y() == p.y();
            EXPECT_TRUE(found) << p.x();
        }
}

// The chart shows the chance to reach a target instead: computed on a worker (with a progress
// bar meanwhile), one chance per point of the game, each the engine's at that point; tooltips
// give the chances; off again, the expected final scores are back. A newer target replaces one
// still being computed. The target offered first is the player's best fair game, else 300.
TEST(GameAnalysis, TheChanceToReachATargetThroughALateGame) {
    Trainer t;
    const GameRecording rec = LateGame();
    ASSERT_EQ(rec.len, 3);
    EXPECT_EQ(TGameAnalysisForm::DefaultChanceTarget(t.main.get()), 300);   // no game stored yet
    auto* f = new TGameAnalysisForm(rec, 2, t.main.get());
    f->show();
    EXPECT_FALSE(f->ChanceToggle->isChecked());
    EXPECT_EQ(f->ChanceTarget->value(), 300);
    EXPECT_EQ(f->ChanceShown(), 0);
    const LuckAndSkill a = AnalyseLuckAndSkill(rec, OptimalStrategy);
    ASSERT_TRUE(a.finished);
    ASSERT_EQ(a.finalScore, 233);
    const std::vector<GamePoint> points = GamePoints(rec, OptimalStrategy->Rules);
    ASSERT_EQ(f->Points().size(), points.size());
    ASSERT_EQ(f->ValueSeries->count(), int(points.size()));
    std::vector<double> values;
    for (const QPointF& p : f->ValueSeries->points()) values.push_back(p.y());
    const QString valueTip = f->PointText(f->RollSeries[a.choices[0].luck >= 0 ? 0 : 1], 0);
    auto* axis = qobject_cast<QValueAxis*>(f->GameChart->chart()->axes(Qt::Vertical).front());
    ASSERT_NE(axis, nullptr);
    const double valueMin = axis->min(), valueMax = axis->max();
    const int valueTicks = axis->tickCount();

    f->ChanceTarget->setValue(240);
    EXPECT_EQ(f->ChanceShown(), 0);   // only once the toggle is on
    EXPECT_FALSE(f->ChancesComputing());
    f->ChanceToggle->setChecked(true);
    EXPECT_TRUE(f->ChancesComputing());
    EXPECT_TRUE(f->ChanceProgress->isVisible());
    EXPECT_TRUE(f->ChanceStatus->text().startsWith("Computing the chances to reach 240"));
    WaitForChances(f);
    EXPECT_FALSE(f->ChanceProgress->isVisible());
    EXPECT_FALSE(f->ChanceStatus->isVisible());
    ASSERT_EQ(f->ChanceShown(), 240);
    const std::vector<double> c = ChancesAtPoints(OptimalStrategy->Cache->Table, points, 240);
    for (std::size_t i = 0; i < points.size(); ++i)
        EXPECT_NEAR(f->ValueSeries->at(int(i)).y(), 100.0 * c[i], 1e-9) << i;
    EXPECT_GT(c[0], 0.0);
    EXPECT_EQ(c.back(), 0.0);   // 233 is short of 240
    ExpectMarkersOnTheLine(f);
    EXPECT_EQ(axis->min(), 0.0);
    EXPECT_EQ(axis->max(), 100.0);
    EXPECT_EQ(axis->tickCount(), 5);   // 0, 25, 50, 75, 100
    EXPECT_EQ(f->GameChart->chart()->title(), "Chance to reach 240 through the game");
    const QScatterSeries* firstRoll = f->RollSeries[a.choices[0].luck >= 0 ? 0 : 1];
    EXPECT_EQ(f->PointText(firstRoll, 0),
              valueTip + QString::fromStdString(Format(
                             "\nChance to reach 240: %.2f%% before the roll, %.2f%% after it",
                             100.0 * c[0], 100.0 * c[1])));
    const QScatterSeries* lastChoice = nullptr;
    for (const QScatterSeries* s : f->ChoiceSeries)
        for (const QPointF& p : s->points())
            if (p.x() == f->ValueSeries->at(6).x()) lastChoice = s;
    ASSERT_NE(lastChoice, nullptr);
    // QUINTOR_CHANCE_SCREENSHOT=FILE keeps a picture of the chance chart (to look at under Xvfb).
    if (const char* shot = std::getenv("QUINTOR_CHANCE_SCREENSHOT")) {
        QCoreApplication::processEvents();
        f->grab().save(QString::fromLocal8Bit(shot));
    }
    EXPECT_TRUE(f->PointText(lastChoice, lastChoice->count() - 1)
                    .endsWith(QString::fromStdString(Format(
                        "Chance to reach 240: %.2f%% before the choice, 0.00%% after it", 100.0 * c[5]))))
        << f->PointText(lastChoice, lastChoice->count() - 1).toStdString();

    // Off: the expected final scores and their axis and tooltips again; on: at once, as known.
    f->ChanceToggle->setChecked(false);
    EXPECT_FALSE(f->ChancesComputing());
    EXPECT_EQ(f->ChanceShown(), 0);
    for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(f->ValueSeries->at(int(i)).y(), values[i]) << i;
    ExpectMarkersOnTheLine(f);
    EXPECT_EQ(axis->min(), valueMin);
    EXPECT_EQ(axis->max(), valueMax);
    EXPECT_EQ(axis->tickCount(), valueTicks);
    EXPECT_EQ(f->PointText(firstRoll, 0), valueTip);
    f->ChanceToggle->setChecked(true);
    EXPECT_FALSE(f->ChancesComputing());
    EXPECT_EQ(f->ChanceShown(), 240);

    // Two targets in quick succession: only the second's chances are ever shown.
    std::vector<double> starts;
    QObject::connect(f->ValueSeries, &QXYSeries::pointsReplaced,
                     [f, &starts] { starts.push_back(f->ValueSeries->at(0).y()); });
    f->ChanceTarget->setValue(220);
    f->ChanceTarget->setValue(250);
    WaitForChances(f);
    EXPECT_EQ(f->ChanceShown(), 250);
    const std::vector<double> c250 = ChancesAtPoints(OptimalStrategy->Cache->Table, points, 250);
    const std::vector<double> c220 = ChancesAtPoints(OptimalStrategy->Cache->Table, points, 220);
    ASSERT_NE(c220[0], c250[0]);
    for (std::size_t i = 0; i < points.size(); ++i)
        EXPECT_NEAR(f->ValueSeries->at(int(i)).y(), 100.0 * c250[i], 1e-9) << i;
    for (double y : starts) EXPECT_NE(y, 100.0 * c220[0]) << "a stale result was shown";
    EXPECT_EQ(f->GameChart->chart()->title(), "Chance to reach 250 through the game");

    // Closed while computing: nothing breaks when the worker ends.
    f->ChanceTarget->setValue(260);
    ASSERT_TRUE(f->ChancesComputing());
    const QPointer<TGameAnalysisForm> open = f;
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open.isNull());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();

    // With the game stored as a fair game, its score is the player's best, offered first.
    const HistoryResult stored =
        StorePlayedGame(t.main->History(), rec, OptimalStrategy, ScoreDistribution{}, "fair", 1, 2);
    ASSERT_TRUE(stored.message.empty()) << stored.message;
    EXPECT_EQ(TGameAnalysisForm::DefaultChanceTarget(t.main.get()), 233);
    EXPECT_EQ(TGameAnalysisForm::DefaultChanceTarget(nullptr), 300);
    TGameAnalysisForm again(rec, 3, t.main.get());
    EXPECT_EQ(again.ChanceTarget->value(), 233);
    WaitForDistribution();   // the histogram's, started by the window: done before the next test
}

}  // namespace
