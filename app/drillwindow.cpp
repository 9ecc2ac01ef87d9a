#include "app/drillwindow.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/Dialogs.h"
#include "app/dieface.h"
#include "app/gamewidgets.h"
#include "app/keyboard.h"
#include "app/windowplaces.h"
#include "core/GeneralStuff.h"
#include "play/QuintorStateAnalyzer.h"

using namespace quintor;

TDrillForm::TDrillForm(HistoryDatabase* history, std::function<std::int64_t()> clock, std::uint32_t seed,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), db(history), Clock(std::move(clock)), run(db, seed) {
    setObjectName(QStringLiteral("DrillForm"));
    setWindowTitle(QStringLiteral("Drills"));
    setAttribute(Qt::WA_DeleteOnClose);
    FormCreate();
    resize(560, 640);
    PlaceWindow(this, QPoint(DesignedLeft, DesignedTop));
    NextClick();
}

TDrillForm::~TDrillForm() = default;

void TDrillForm::FormCreate() {
    auto* top = new QVBoxLayout(this);
    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    SourceLabel = label("SourceLabel");
    FreeLabel = label("FreeLabel");
    FreeLabel->setWordWrap(true);
    NeedLabel = label("NeedLabel");
    TotalLabel = label("TotalLabel");
    RollsLabel = label("RollsLabel");
    for (QLabel* l : {SourceLabel, FreeLabel, NeedLabel, TotalLabel}) top->addWidget(l);

    auto* dice = new QGridLayout;
    for (int i = 0; i < NDice; ++i) {
        Dice[std::size_t(i)] = new TDieFace(this);
        Dice[std::size_t(i)]->setObjectName(QStringLiteral("Die%1").arg(i + 1));
        Dice[std::size_t(i)]->setFixedSize(48, 48);
        Keep[std::size_t(i)] = new QCheckBox(QStringLiteral("Keep %1").arg(i + 1), this);
        Keep[std::size_t(i)]->setObjectName(QStringLiteral("Keep%1").arg(i + 1));
        connect(Keep[std::size_t(i)], &QCheckBox::toggled, Dice[std::size_t(i)], &TDieFace::SetKept);
        connect(Dice[std::size_t(i)], &TDieFace::Clicked, Keep[std::size_t(i)], [this, i] {
            if (Keep[std::size_t(i)]->isEnabled()) Keep[std::size_t(i)]->toggle();
        });
        dice->addWidget(Dice[std::size_t(i)], 0, i, Qt::AlignHCenter);
        dice->addWidget(Keep[std::size_t(i)], 1, i, Qt::AlignHCenter);
    }
    top->addLayout(dice);
    auto* rollRow = new QHBoxLayout;
    rollRow->addWidget(RollsLabel);
    RollButton = new QPushButton(QStringLiteral("Roll"), this);
    RollButton->setObjectName(QStringLiteral("RollButton"));
    RollButton->setToolTip(QStringLiteral("Keep the ticked dice and roll the others (key R)"));
    connect(RollButton, &QPushButton::clicked, this, [this] { RollClick(); });
    rollRow->addWidget(RollButton);
    rollRow->addStretch();
    top->addLayout(rollRow);

    auto* cats = new QGridLayout;
    for (int c = 0; c < NCategories; ++c) {
        auto* b = new QPushButton(
            QStringLiteral("%1 (%2)").arg(QString::fromStdString(ScoreItemName(ScoreItem(c))), CategoryKey(Category(c))),
            this);
        b->setObjectName(QStringLiteral("Category%1").arg(c));
        connect(b, &QPushButton::clicked, this, [this, c] { CategoryClick(Category(c)); });
        cats->addWidget(b, c < 6 ? c : c - 6, c < 6 ? 0 : 1);
        CategoryButtons[std::size_t(c)] = b;
    }
    top->addLayout(cats);

    Listing = new QPlainTextEdit(this);
    Listing->setObjectName(QStringLiteral("Listing"));
    Listing->setReadOnly(true);
    Listing->setFont(MonospacedFont(13));
    Listing->setFocusPolicy(Qt::NoFocus);   // the keys stay with the drill
    top->addWidget(Listing, 1);
    VerdictLabel = label("VerdictLabel");
    VerdictLabel->setWordWrap(true);
    top->addWidget(VerdictLabel);
    NextButton = new QPushButton(QStringLiteral("Next"), this);
    NextButton->setObjectName(QStringLiteral("NextButton"));
    NextButton->setToolTip(QStringLiteral("The next position (key N)"));
    connect(NextButton, &QPushButton::clicked, this, [this] { NextClick(); });
    top->addWidget(NextButton, 0, Qt::AlignRight);
}

void TDrillForm::ShowState() {
    AbstractState st;
    const bool ok = ReadAbstractState(position, st);
    QStringList free;
    if (ok)
        for (int c = 0; c < NCategories; ++c)
            if (InSet(st.gameState.free, c)) free << QString::fromStdString(ScoreItemName(ScoreItem(c)));
    FreeLabel->setText(QStringLiteral("Free categories: ") + free.join(QStringLiteral(", ")));
    const int need = ok ? st.gameState.need : 0;
    NeedLabel->setText((need > 0 ? QStringLiteral("Upper section: %1 to go for the bonus").arg(need)
                                 : QStringLiteral("Upper section: the bonus is reached")) +
                       (ok && st.gameState.chip ? QStringLiteral("; Quintor chip: yes")
                                                : QStringLiteral("; Quintor chip: no")));
    TotalLabel->setText(QStringLiteral("Total: %1").arg(ok ? st.total : 0));
    RollsLabel->setText(QStringLiteral("Rolls left: %1").arg(ok ? int(st.turnState.rollsLeft) : 0));
    for (int i = 0; i < NDice; ++i) {
        const bool shown = ok && i < st.dice.siz;
        Dice[std::size_t(i)]->setText(shown ? QString::fromStdString(Format(" %1d", int(st.dice.val[std::size_t(i)])))
                                            : QString());
        Keep[std::size_t(i)]->setChecked(false);
        Keep[std::size_t(i)]->setEnabled(ok && !answered && shown && st.turnState.rollsLeft > 0);
    }
    RollButton->setEnabled(ok && !answered && st.turnState.rollsLeft > 0);
    for (int c = 0; c < NCategories; ++c)
        CategoryButtons[std::size_t(c)]->setEnabled(ok && !answered && InSet(st.gameState.free, c));
}

void TDrillForm::NextClick() {
    bool fromHistory = false;
    position = run.Next(Clock(), &fromHistory);
    answered = false;
    outcome = DrillOutcome{};
    Listing->clear();
    VerdictLabel->clear();
    if (position.empty()) {
        SourceLabel->setText(QStringLiteral("No position to drill was found."));
    } else {
        SourceLabel->setText(fromHistory ? QStringLiteral("A position you got wrong in a game")
                                         : QStringLiteral("A position from optimal play"));
    }
    if (!run.LastResult().ok && !run.LastResult().message.empty()) {
        VerdictLabel->setText(QString::fromStdString(run.LastResult().message));
        Tell(run.LastResult());
    }
    ShowState();
    NextButton->setEnabled(false);
    setFocus();
}

void TDrillForm::RollClick() {
    if (answered || position.empty() || !RollButton->isEnabled()) return;
    AbstractState st;
    if (!ReadAbstractState(position, st)) return;
    ValueBag kept;
    for (int i = 0; i < NDice && i < st.dice.siz; ++i)
        if (Keep[std::size_t(i)]->isChecked()) AddToBag(kept, st.dice.val[std::size_t(i)], 1);
    Event e;
    e.aspect = Keeping;
    e.arg = RankFromValueBag(kept);
    Answer(e);
}

void TDrillForm::CategoryClick(Category c) {
    if (answered || position.empty() || !CategoryButtons[std::size_t(c)]->isEnabled()) return;
    Event e;
    e.aspect = Scoring;
    e.category = c;
    Answer(e);
}

void TDrillForm::Answer(const Event& choice) {
    try {
        outcome = AnswerDrill(position, choice);
    } catch (const QuintorError& e) {   // a position that cannot be drilled: say so, go on
        VerdictLabel->setText(QString::fromStdString(e.what()));
        NextButton->setEnabled(true);
        return;
    }
    answered = true;
    QStringList lines;
    for (const std::string& l : outcome.listing) lines << QString::fromStdString(l);
    Listing->setPlainText(lines.join(QLatin1Char('\n')));
    QString verdict = QString::fromStdString(DrillVerdict(outcome));
    if (db) {
        const HistoryResult r = StoreDrillOutcome(*db, outcome, Clock());
        if (!r.ok) verdict += QStringLiteral("\nThe answer was not stored: ") + QString::fromStdString(r.message);
        Tell(r);
    }
    VerdictLabel->setText(verdict);
    ShowState();   // every control of the position is off now
    for (int i = 0; i < NDice; ++i) Keep[std::size_t(i)]->setChecked(false);
    NextButton->setEnabled(true);
    NextButton->setFocus();
}

void TDrillForm::Tell(const HistoryResult& r) {
    // As the game controller does: a fault's box the first time its kind happens in this run.
    if (r.show && !r.message.empty()) Dialogs().ShowError(QString::fromStdString(r.message));
}

void TDrillForm::keyPressEvent(QKeyEvent* ev) {
    if (ev->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(ev);
        return;
    }
    const QString t = ev->text().toUpper();
    if (t.size() == 1) {
        const QChar k = t[0];
        if (k >= QLatin1Char('1') && k <= QLatin1Char('5')) {
            QCheckBox* b = Keep[std::size_t(k.unicode() - '1')];
            if (b->isEnabled()) b->toggle();
            return;
        }
        if (k == QLatin1Char(RollKey)) {
            RollClick();
            return;
        }
        if (k == QLatin1Char('N')) {
            if (NextButton->isEnabled()) NextClick();
            return;
        }
        for (int c = 0; c < NCategories; ++c)
            if (CategoryKey(Category(c)) == k) {
                CategoryClick(Category(c));
                return;
            }
    }
    if ((ev->key() == Qt::Key_Return || ev->key() == Qt::Key_Enter) && NextButton->isEnabled()) {
        NextClick();
        return;
    }
    QWidget::keyPressEvent(ev);
}
