#include "app/statistics.h"

#include <algorithm>
#include <ctime>
#include <sstream>

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>

#include "app/Dialogs.h"
#include "app/gameanalysis.h"
#include "app/gamerecordings.h"
#include "app/gamewidgets.h"
#include "app/windowplaces.h"
#include "core/GeneralStuff.h"
#include "app/palette.h"
#include "history/HistoryRecording.h"

namespace q = quintor;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

using namespace palette;

QValueAxis* ValueAxis(const QString& title) {
    auto* a = new QValueAxis;
    a->setTitleText(title);
    QFont f = a->titleFont();
    f.setBold(false);
    a->setTitleFont(f);
    return a;
}

QChartView* View(QChart* chart, QWidget* parent, const char* name, int minHeight) {
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* view = new QChartView(chart, parent);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(minHeight);
    view->setFocusPolicy(Qt::NoFocus);   // the numbers are on the text page for the keyboard
    return view;
}

// A chart of one value per game with its moving average, games numbered from 1.
QChartView* LineChart(QWidget* parent, const char* name, const QString& title, const QString& unit,
                      QLineSeries*& values, QLineSeries*& average) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    values = new QLineSeries;
    values->setName(QStringLiteral("per game"));
    values->setPen(QPen(QColor(SkyBlue), 1.5));
    average = new QLineSeries;
    average->setName(QStringLiteral("moving average of %1 games").arg(TStatisticsForm::AverageWindow));
    average->setPen(QPen(QColor(Vermillion), 2.5));
    chart->addSeries(values);
    chart->addSeries(average);
    QValueAxis* x = ValueAxis(QStringLiteral("game"));
    x->setLabelFormat(QStringLiteral("%d"));
    QValueAxis* y = ValueAxis(unit);
    y->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* s : {values, average}) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    return View(chart, parent, name, 200);
}

void FillLines(QChartView* view, QLineSeries* values, QLineSeries* average, const std::vector<double>& v,
               const std::vector<double>& a) {
    QList<QPointF> pv, pa;
    double lo = 0.0, hi = 1.0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        pv.append(QPointF(double(i + 1), v[i]));
        pa.append(QPointF(double(i + 1), a[i]));
        lo = std::min({lo, v[i], a[i]});
        hi = std::max({hi, v[i], a[i]});
    }
    values->replace(pv);
    average->replace(pa);
    // Smooth lines for a few hundred games; thousands of points are drawn plainly, far faster.
    view->setRenderHint(QPainter::Antialiasing, v.size() <= 1000);
    const auto axes = values->attachedAxes();
    for (QAbstractAxis* axis : axes) {
        auto* va = qobject_cast<QValueAxis*>(axis);
        if (!va) continue;
        if (axis->orientation() == Qt::Horizontal) {
            va->setRange(1.0, std::max(2.0, double(v.size())));
        } else {
            va->setRange(lo, hi * 1.05);
            va->applyNiceNumbers();   // ticks at round points
        }
    }
}

// A bar chart of points lost per game, one bar per name; horizontal for long names.
QChartView* BarChart(QWidget* parent, const char* name, const QString& title, const QStringList& names,
                     bool horizontal, const char* colour, QBarSet*& set) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->hide();
    set = new QBarSet(QStringLiteral("points lost per game"));
    set->setColor(QColor(colour));
    set->setBorderColor(QColor(colour));
    for (qsizetype i = 0; i < names.size(); ++i) set->append(0.0);
    QAbstractBarSeries* series = horizontal ? static_cast<QAbstractBarSeries*>(new QHorizontalBarSeries)
                                            : static_cast<QAbstractBarSeries*>(new QBarSeries);
    series->append(set);
    series->setBarWidth(0.7);
    chart->addSeries(series);
    auto* names_ = new QBarCategoryAxis;
    names_->append(names);
    names_->setReverse(horizontal);   // the first name at the top, as a list reads
    QValueAxis* values = ValueAxis(QStringLiteral("points"));
    values->setLabelFormat(QStringLiteral("%.2f"));
    chart->addAxis(names_, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(values, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(names_);
    series->attachAxis(values);
    return View(chart, parent, name, 150);
}

void FillBars(QBarSet* set, const QList<qreal>& values) {
    set->remove(0, set->count());
    set->append(values);
    const qreal top = values.isEmpty() ? 0.0 : *std::max_element(values.begin(), values.end());
    for (QAbstractAxis* axis : static_cast<QAbstractBarSeries*>(set->parent())->attachedAxes())
        if (auto* va = qobject_cast<QValueAxis*>(axis)) {
            va->setRange(0.0, top > 0.0 ? top * 1.1 : 1.0);
            va->applyNiceNumbers();
        }
}

QLabel* ValueLabel(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    // Selectable by keyboard too, so every figure can be reached and read with the keys.
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return l;
}

// "fair dice, 2025-03-01 14:05": how a reopened game's windows name it.
QString GameName(const q::HistoryGame& g) {
    const QString when = QDateTime::fromSecsSinceEpoch(g.ended).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return Q(g.diceSource) + QStringLiteral(" dice, ") + when;
}

}  // namespace

TStatisticsForm::TStatisticsForm(q::HistoryDatabase& database, QWidget* parent, std::function<std::int64_t()> clock)
    : QWidget(parent, Qt::Window), db(database), Clock(std::move(clock)) {
    if (!Clock) Clock = [] { return std::int64_t(std::time(nullptr)); };
    setObjectName(QStringLiteral("StatisticsForm"));
    setWindowTitle(QStringLiteral("Statistics"));
    setAttribute(Qt::WA_DeleteOnClose);
    CreateControls();
    setMinimumSize(760, 560);
    resize(DesignedWidth, DesignedHeight);
    ::PlaceWindow(this, QPoint(DesignedLeft, DesignedTop));
    Refresh();
}

void TStatisticsForm::CreateControls() {
    DiceSourceBox = new QComboBox(this);
    DiceSourceBox->setObjectName(QStringLiteral("DiceSourceBox"));
    DiceSourceBox->addItem(QStringLiteral("fair"), QStringLiteral("fair"));
    for (const std::string& s : q::ReadDiceSources(db))
        if (s != "fair") DiceSourceBox->addItem(Q(s), Q(s));
    DiceSourceBox->addItem(QStringLiteral("all dice sources"), QString());
    auto* sourceLabel = new QLabel(QStringLiteral("&Dice source:"), this);
    sourceLabel->setBuddy(DiceSourceBox);

    auto* figures = new QWidget(this);
    CreateFigures(figures);

    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    Pages->addTab(CreateProgressPage(), QStringLiteral("&Progress"));
    Pages->addTab(CreateLossPage(), QStringLiteral("&Where the points go"));
    Pages->addTab(CreateGamesPage(), QStringLiteral("&Games"));
    Figures = new QPlainTextEdit(this);
    Figures->setObjectName(QStringLiteral("Figures"));
    Figures->setReadOnly(true);
    Figures->setFont(MonospacedFont());
    Figures->setLineWrapMode(QPlainTextEdit::NoWrap);
    Pages->addTab(Figures, QStringLiteral("As te&xt"));

    auto* top = new QHBoxLayout;
    top->addWidget(sourceLabel);
    top->addWidget(DiceSourceBox);
    top->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(figures, 0);
    middle->addWidget(Pages, 1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(middle, 1);

    connect(DiceSourceBox, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    setTabOrder(DiceSourceBox, Pages);
}

void TStatisticsForm::CreateFigures(QWidget* box) {
    auto* games = new QGroupBox(QStringLiteral("Your games"), box);
    auto* form = new QFormLayout(games);
    GamesValue = ValueLabel(games, "GamesValue");
    GamesValue->setWordWrap(true);
    MeanScoreValue = ValueLabel(games, "MeanScoreValue");
    BestScoreValue = ValueLabel(games, "BestScoreValue");
    LossPerGameValue = ValueLabel(games, "LossPerGameValue");
    LuckPerGameValue = ValueLabel(games, "LuckPerGameValue");
    LossPerChoiceValue = ValueLabel(games, "LossPerChoiceValue");
    IdenticalValue = ValueLabel(games, "IdenticalValue");
    IdenticalValue->setToolTip(QStringLiteral("The share of your choices that were the best option"));
    form->addRow(QStringLiteral("Games:"), GamesValue);
    form->addRow(QStringLiteral("Mean final score:"), MeanScoreValue);
    form->addRow(QStringLiteral("Best final score:"), BestScoreValue);
    form->addRow(QStringLiteral("Mean loss per game:"), LossPerGameValue);
    form->addRow(QStringLiteral("Mean luck per game:"), LuckPerGameValue);
    form->addRow(QStringLiteral("Mean loss per choice:"), LossPerChoiceValue);
    form->addRow(QStringLiteral("Best choices:"), IdenticalValue);

    auto* drills = new QGroupBox(QStringLiteral("Drills"), box);
    auto* drillForm = new QFormLayout(drills);
    DrillAnswersValue = ValueLabel(drills, "DrillAnswersValue");
    DrillDueValue = ValueLabel(drills, "DrillDueValue");
    DrillBoxesValue = ValueLabel(drills, "DrillBoxesValue");
    DrillBoxesValue->setToolTip(QStringLiteral(
        "Positions you got wrong in boxes 1 to 6: a right answer moves a position up a box, and it "
        "comes back after 1, 2, 4, 8 or 16 days; a wrong one sends it back to box 1"));
    drillForm->addRow(QStringLiteral("Answers:"), DrillAnswersValue);
    drillForm->addRow(QStringLiteral("Due now:"), DrillDueValue);
    drillForm->addRow(QStringLiteral("Boxes 1 to 6:"), DrillBoxesValue);

    // Where the points go, in words: always in view.
    auto* habits = new QGroupBox(QStringLiteral("The costliest habits"), box);
    auto* habitList = new QVBoxLayout(habits);
    for (std::size_t i = 0; i < Habits.size(); ++i) {
        Habits[i] = ValueLabel(habits, ("Habit" + std::to_string(i + 1)).c_str());
        Habits[i]->setWordWrap(true);
        habitList->addWidget(Habits[i]);
    }

    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(games);
    column->addWidget(drills);
    column->addWidget(habits);
    column->addStretch();
    box->setMinimumWidth(330);
    box->setMaximumWidth(380);
}

QWidget* TStatisticsForm::CreateProgressPage() {
    auto* page = new QWidget(this);
    ScoreChart = LineChart(page, "ScoreChart", QStringLiteral("Final score"), QStringLiteral("points"),
                           ScoreSeries, ScoreAverage);
    LossChart = LineChart(page, "LossChart", QStringLiteral("Loss per game"), QStringLiteral("points lost"),
                          LossSeries, LossAverage);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(ScoreChart, 1);
    layout->addWidget(LossChart, 1);
    return page;
}

QWidget* TStatisticsForm::CreateLossPage() {
    auto* page = new QWidget(this);
    QStringList kinds, turns;
    for (int k = 0; k < q::NChoiceKinds; ++k) {
        // Short enough for the axis: "first roll", "second roll", "scoring".
        kinds << (k == q::ckKeepFirstRoll    ? QStringLiteral("Keep, 1st roll")
                  : k == q::ckKeepSecondRoll ? QStringLiteral("Keep, 2nd roll")
                                             : QStringLiteral("Score"));
    }
    for (int t = 1; t <= q::NTurnsPerGame; ++t) turns << QString::number(t);
    KindChart = BarChart(page, "KindChart", QStringLiteral("Points lost per game, by kind of choice"), kinds, true,
                         Blue, KindBars);
    TurnChart = BarChart(page, "TurnChart", QStringLiteral("Points lost per game, by turn"), turns, false,
                         BluishGreen, TurnBars);
    for (QBarSet* set : {KindBars, TurnBars})
        connect(set, &QBarSet::hovered, this, [this, set](bool on, int i) { ShowBarTip(set, i, on); });

    // Thirteen long names read best as the rows of a table, in the score card's order.
    CategoryTable = new QTableWidget(q::NCategories, 4, page);
    CategoryTable->setObjectName(QStringLiteral("CategoryTable"));
    CategoryTable->setHorizontalHeaderLabels({QStringLiteral("Scored in"), QStringLiteral("Times"),
                                              QStringLiteral("Points lost"), QStringLiteral("Per game")});
    CategoryTable->verticalHeader()->hide();
    CategoryTable->verticalHeader()->setDefaultSectionSize(CategoryTable->fontMetrics().height() + 6);
    CategoryTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CategoryTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    CategoryTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int col = 1; col < 4; ++col)
        CategoryTable->horizontalHeader()->setSectionResizeMode(col, QHeaderView::ResizeToContents);
    auto* tableLabel = new QLabel(QStringLiteral("Scoring in a &category when the best choice was another:"), page);
    tableLabel->setBuddy(CategoryTable);

    // Each chart as wide as the page, so every name on its axis is shown whole.
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(KindChart, 2);
    layout->addWidget(TurnChart, 3);
    layout->addWidget(tableLabel);
    layout->addWidget(CategoryTable, 4);
    return page;
}

QWidget* TStatisticsForm::CreateGamesPage() {
    auto* page = new QWidget(this);
    GameList = new QListWidget(page);
    GameList->setObjectName(QStringLiteral("GameList"));
    GameList->setFont(MonospacedFont());
    GameList->setUniformItemSizes(true);   // thousands of games fill the list quickly
    auto* label = new QLabel(
        QStringLiteral("Games, oldest first. Double-click a game (or press Return) to see its report and "
                       "analysis again."),
        page);
    label->setWordWrap(true);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(label);
    layout->addWidget(GameList, 1);
    // Activation is a double-click, or Return on the current game.
    connect(GameList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { OpenGame(GameList->row(item)); });
    return page;
}

q::HistoryFilter TStatisticsForm::Filter() const {
    return q::HistoryFilter{DiceSourceBox->currentData().toString().toStdString()};
}

void TStatisticsForm::Refresh() {
    const q::HistoryFilter f = Filter();
    q::HistoryResult r;
    const q::HistoryStatistics s = q::ReadHistoryStatistics(db, f, &r);
    std::ostringstream text;
    splits = q::LossSplits{};
    q::DrillRecord drills;
    if (r.ok) splits = q::ReadLossSplits(db, f, &r);
    if (r.ok) drills = q::ReadDrillRecord(db, Clock(), &r);
    if (!r.ok) {
        text << r.message << '\n';
    } else {
        q::WriteHistoryStatistics(text, f, s, splits);
        q::WriteDrillRecord(text, drills);
    }
    Figures->setPlainText(Q(text.str()));
    ShowFigures(s, drills);
    if (!r.ok) GamesValue->setText(Q(r.message));
    ShowLossSplits(s, splits);
    const q::HistorySeries series = q::ReadHistorySeries(db, f, AverageWindow);
    FillLines(ScoreChart, ScoreSeries, ScoreAverage, series.score, series.scoreAverage);
    FillLines(LossChart, LossSeries, LossAverage, series.loss, series.lossAverage);
    GameList->clear();
    for (const q::HistoryGame& g : q::ReadGameList(db, f)) {
        auto* item = new QListWidgetItem(Q(q::HistoryLine(g)));
        item->setData(Qt::UserRole, QVariant::fromValue(qint64(g.id)));
        GameList->addItem(item);
    }
    if (GameList->count() > 0) GameList->setCurrentRow(GameList->count() - 1);
}

void TStatisticsForm::ShowFigures(const q::HistoryStatistics& s, const q::DrillRecord& d) {
    const bool any = s.finished > 0;
    const QString none = QStringLiteral("-");
    GamesValue->setText(QStringLiteral("%1 (%2 finished, %3 aborted)").arg(s.games).arg(s.finished).arg(s.aborted));
    MeanScoreValue->setText(any ? QString::number(s.meanScore, 'f', 2) : none);
    BestScoreValue->setText(any ? QString::number(s.bestScore) : none);
    LossPerGameValue->setText(any ? QString::number(s.meanLossPerGame, 'f', 2) : none);
    LuckPerGameValue->setText(any ? Q(q::Format("%+.2f", s.meanLuckPerGame)) : none);
    LossPerChoiceValue->setText(s.counts.choices > 0 ? QString::number(s.meanLossPerChoice, 'f', 3) : none);
    IdenticalValue->setText(s.counts.choices > 0 ? Q(q::Format("%.1f%% of %d choices", 100.0 * s.identicalShare,
                                                               s.counts.choices))
                                                 : none);
    DrillAnswersValue->setText(d.answers == 0 ? QStringLiteral("none yet")
                                              : Q(q::Format("%d, %d right (%.1f%%)", d.answers, d.right,
                                                            100.0 * d.rightShare)));
    DrillDueValue->setText(QStringLiteral("%1 of %2 positions").arg(d.due).arg(d.positions));
    QStringList boxes;
    for (int n : d.byBox) boxes << QString::number(n);
    DrillBoxesValue->setText(boxes.join(QStringLiteral("  ")));
}

void TStatisticsForm::ShowLossSplits(const q::HistoryStatistics& s, const q::LossSplits& sp) {
    // Points lost per game: the bars of a chart add up to the mean loss of all the games shown
    // (the kinds' and the turns' do; the categories' count only the scorings that were not best).
    const double games = std::max(1, s.games);
    auto perGame = [games](const auto& shares) {
        QList<qreal> v;
        for (const q::LossShare& l : shares) v.append(l.loss / games);
        return v;
    };
    FillBars(KindBars, perGame(sp.byKind));
    FillBars(TurnBars, perGame(sp.byTurn));
    for (int c = 0; c < q::NCategories; ++c) {
        const q::LossShare& l = sp.byCategory[std::size_t(c)];
        auto number = [](double v, const QString& text) {
            auto* item = new QTableWidgetItem;
            item->setData(Qt::DisplayRole, text);
            item->setToolTip(QString::number(v, 'g', 10));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            return item;
        };
        CategoryTable->setItem(c, 0, new QTableWidgetItem(Q(q::ScoreItemName(q::ScoreItem(c)))));
        CategoryTable->setItem(c, 1, number(l.choices, QString::number(l.choices)));
        CategoryTable->setItem(c, 2, number(l.loss, QString::number(l.loss, 'f', 2)));
        CategoryTable->setItem(c, 3, number(l.loss / games, QString::number(l.loss / games, 'f', 2)));
    }
    for (std::size_t i = 0; i < Habits.size(); ++i) {
        QString text;
        if (i < sp.habits.size()) {
            const q::Habit& h = sp.habits[i];
            text = Q(q::Format("%zu. %s: %d %s, %.2f points in all.", i + 1, h.text.c_str(), h.count,
                               h.count == 1 ? "time" : "times", h.loss));
        } else if (i == 0) {
            text = QStringLiteral("No choice has cost you 0.01 points or more yet.");
        }
        Habits[i]->setText(text);
        Habits[i]->setVisible(!text.isEmpty());
    }
}

void TStatisticsForm::ShowBarTip(const QBarSet* set, int index, bool on) {
    if (!on) {
        QToolTip::hideText();
        return;
    }
    QString name;
    q::LossShare share;
    if (set == KindBars && index >= 0 && index < q::NChoiceKinds) {
        name = QString::fromLatin1(q::ChoiceKindName(q::ChoiceKind(index)));
        share = splits.byKind[std::size_t(index)];
    } else if (set == TurnBars && index >= 0 && index < q::NTurnsPerGame) {
        name = QStringLiteral("Turn %1").arg(index + 1);
        share = splits.byTurn[std::size_t(index)];
    } else {
        return;
    }
    QToolTip::showText(QCursor::pos(), Q(q::Format("%s: %d choices lost %.2f points, %.3f per choice",
                                                   name.toStdString().c_str(), share.choices, share.loss,
                                                   share.Mean())));
}

TGameRecForm* TStatisticsForm::OpenGame(int row) {
    const QListWidgetItem* item = GameList->item(row);
    if (!item) return nullptr;
    q::HistoryResult r;
    const std::optional<q::HistoryGame> g = db.ReadGame(item->data(Qt::UserRole).toLongLong(), &r);
    if (!g) {
        Dialogs().ShowError(r.ok ? QStringLiteral("This game is no longer in the history.") : Q(r.message));
        return nullptr;
    }
    q::GameRecording rec;
    if (const std::string err = q::RecordingFromHistoryGame(*g, rec); !err.empty()) {
        Dialogs().Inform(QStringLiteral("The game of %1 cannot be shown again: its stored choices do not make a "
                                        "game (%2).")
                             .arg(GameName(*g), Q(err)));
        return nullptr;
    }
    // Owned like the running game's windows, so they stay when this window closes.
    QWidget* owner = parentWidget() ? parentWidget() : this;
    auto* w = new TGameRecForm(owner);
    w->setWindowTitle(TGameRecForm::DesignedCaption() + QStringLiteral(": ") + GameName(*g));
    w->ShowAnalysis(rec);
    w->Unsaved = false;   // it is in the history; saving it as text stays possible
    w->show();
    OpenGameAnalysis(w, rec);
    return w;
}
