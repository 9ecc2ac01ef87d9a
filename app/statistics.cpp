#include "app/statistics.h"

#include <algorithm>
#include <sstream>

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QValueAxis>
#include <QVBoxLayout>

#include "app/windowplaces.h"

namespace q = quintor;

namespace {

// A chart of one value per game with its moving average, games numbered from 1.
QChartView* MakeChart(QWidget* parent, const QString& title, QLineSeries*& values, QLineSeries*& average) {
    auto* chart = new QChart;
    chart->setTitle(title);
    values = new QLineSeries;
    values->setName(QStringLiteral("per game"));
    average = new QLineSeries;
    average->setName(QStringLiteral("moving average"));
    chart->addSeries(values);
    chart->addSeries(average);
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("game"));
    x->setLabelFormat(QStringLiteral("%d"));
    auto* y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* s : {values, average}) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    auto* view = new QChartView(chart, parent);
    view->setMinimumHeight(220);
    return view;
}

void Fill(QLineSeries* values, QLineSeries* average, const std::vector<double>& v, const std::vector<double>& a) {
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
    const auto axes = values->attachedAxes();
    for (QAbstractAxis* axis : axes) {
        auto* va = qobject_cast<QValueAxis*>(axis);
        if (!va) continue;
        if (axis->orientation() == Qt::Horizontal)
            va->setRange(1.0, std::max(2.0, double(v.size())));
        else
            va->setRange(lo, hi * 1.05);
    }
}

}  // namespace

TStatisticsForm::TStatisticsForm(q::HistoryDatabase& database, QWidget* parent)
    : QWidget(parent, Qt::Window), db(database) {
    setObjectName(QStringLiteral("StatisticsForm"));
    setWindowTitle(QStringLiteral("Statistics"));
    setAttribute(Qt::WA_DeleteOnClose);

    DiceSourceBox = new QComboBox(this);
    DiceSourceBox->setObjectName(QStringLiteral("DiceSourceBox"));
    DiceSourceBox->addItem(QStringLiteral("fair"), QStringLiteral("fair"));
    for (const std::string& s : q::ReadDiceSources(db))
        if (s != "fair") DiceSourceBox->addItem(QString::fromStdString(s), QString::fromStdString(s));
    DiceSourceBox->addItem(QStringLiteral("all dice sources"), QString());

    Figures = new QPlainTextEdit(this);
    Figures->setObjectName(QStringLiteral("Figures"));
    Figures->setReadOnly(true);
    Figures->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Figures->setLineWrapMode(QPlainTextEdit::NoWrap);
    GameList = new QListWidget(this);
    GameList->setObjectName(QStringLiteral("GameList"));
    GameList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ScoreChart = MakeChart(this, QStringLiteral("Final score"), ScoreSeries, ScoreAverage);
    ScoreChart->setObjectName(QStringLiteral("ScoreChart"));
    LossChart = MakeChart(this, QStringLiteral("Loss per game"), LossSeries, LossAverage);
    LossChart->setObjectName(QStringLiteral("LossChart"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Dice source:"), this));
    top->addWidget(DiceSourceBox);
    top->addStretch();
    auto* charts = new QVBoxLayout;
    charts->addWidget(ScoreChart);
    charts->addWidget(LossChart);
    auto* middle = new QHBoxLayout;
    middle->addWidget(Figures, 1);
    middle->addLayout(charts, 1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(middle, 3);
    all->addWidget(new QLabel(QStringLiteral("Games, oldest first:"), this));
    all->addWidget(GameList, 1);

    connect(DiceSourceBox, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    resize(DesignedWidth, DesignedHeight);
    ::PlaceWindow(this, QPoint(DesignedLeft, DesignedTop));
    Refresh();
}

q::HistoryFilter TStatisticsForm::Filter() const {
    return q::HistoryFilter{DiceSourceBox->currentData().toString().toStdString()};
}

void TStatisticsForm::Refresh() {
    const q::HistoryFilter f = Filter();
    q::HistoryResult r;
    const q::HistoryStatistics s = q::ReadHistoryStatistics(db, f, &r);
    std::ostringstream text;
    if (!r.ok) {
        text << r.message << '\n';
    } else {
        const q::LossSplits splits = q::ReadLossSplits(db, f, &r);
        q::WriteHistoryStatistics(text, f, s, splits);
    }
    Figures->setPlainText(QString::fromStdString(text.str()));
    const q::HistorySeries series = q::ReadHistorySeries(db, f, AverageWindow);
    Fill(ScoreSeries, ScoreAverage, series.score, series.scoreAverage);
    Fill(LossSeries, LossAverage, series.loss, series.lossAverage);
    GameList->clear();
    for (const q::HistoryGame& g : q::ReadGameList(db, f))
        GameList->addItem(QString::fromStdString(q::HistoryLine(g)));
}
