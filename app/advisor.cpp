#include "app/advisor.h"

#include <vector>

#include <memory>

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/backgroundjob.h"
#include "app/gamewidgets.h"
#include "app/windowplaces.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorScoreDistribution.h"
#include "engine/QuintorStrategies.h"
#include "play/QuintorStateAnalyzer.h"

using namespace quintor;

namespace {

const char* const HelpText[] = {
    "Enter an abstract Quitnor state and click Analyze.",
    "",
    "An abstract Quintor state captures all you need to know",
    "about the past to assess the future.  It has this form:",
    "",
    "  <Game State> <Total> <Turn State>",
    "",
    "where",
    "",
    "<Game State> lists",
    "",
    "  the free categories (one char per category, _ allowed);",
    "  the points still needed for the Upper Section Bonus",
    "  the chip, i.e. whether Quitor scored 50 (+ or -)",
    "",
    "<Total> is",
    "",
    "  the total score so far",
    "",
    "<Turn State> lists",
    "",
    "  the values on the kept dice (_ allowed);",
    "  the number of rolls left (3, 2, 1, 0)",
    "",
    "This is also the format used by the proficiency test output.",
    "",
    "Legend for Game State:",
    "1 = Aces       T = Three of a Kind",
    "2 = Twos       F = Four of a Kind",
    "3 = Threes     H = Full House",
    "4 = Fours      S = Small Straight",
    "5 = Fives      L = Large Straight",
    "6 = Sixes      Q = Quintor",
    "               C = Chance",
};

QString JoinLines(const std::vector<std::string>& lines) {
    QStringList list;
    for (const std::string& l : lines) list << QString::fromStdString(l);
    return list.join(QLatin1Char('\n'));
}

}  // namespace

TAdvisorForm::TAdvisorForm(std::function<std::string()> currentState, QWidget* parent)
    : QWidget(parent, Qt::Window), CurrentState(std::move(currentState)) {
    setObjectName(QStringLiteral("AdvisorForm"));
    // Hints show while the user points, even when another window has the focus.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setWindowTitle(QStringLiteral("Optimal Solitaire Quintor Advisor"));
    setAttribute(Qt::WA_DeleteOnClose);
    FormCreate();
    // The designed size is the least that shows the controls as designed; larger, the text grows.
    setMinimumSize(542, 567);
    resize(542, 567);
    PlaceWindow(this, QPoint(195, 107));
    StateEdit->setFocus();   // ready for typing a state and Return
}

void TAdvisorForm::FormCreate() {
    // The edit and the text share one fixed-pitch font, so an error's caret lines up.
    const QFont mono = MonospacedFont(13);

    AnalyzeButton = new QPushButton(QStringLiteral("Analyze"), this);
    AnalyzeButton->setObjectName(QStringLiteral("AnalyzeButton"));
    AnalyzeButton->setToolTip(QStringLiteral("Analyze given Quintor state"));
    AnalyzeButton->setFixedSize(75, 25);
    SetHintShown(AnalyzeButton, true);

    StateEdit = new QLineEdit(QStringLiteral("123456TFHSLQC;63-   0  56666;0"), this);
    StateEdit->setObjectName(QStringLiteral("StateEdit"));
    StateEdit->setFont(mono);
    StateEdit->setFixedHeight(24);

    UpdateButton = new QPushButton(QStringLiteral("Update"), this);
    UpdateButton->setObjectName(QStringLiteral("UpdateButton"));
    UpdateButton->setToolTip(QStringLiteral("Update Quitor state from game, then analyze it"));
    UpdateButton->setFixedSize(75, 25);
    SetHintShown(UpdateButton, true);

    txtAdvice = new QPlainTextEdit(this);
    txtAdvice->setObjectName(QStringLiteral("txtAdvice"));
    txtAdvice->setReadOnly(true);
    txtAdvice->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtAdvice->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtAdvice->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtAdvice->setFont(mono);
    txtAdvice->setPlainText(
        JoinLines(std::vector<std::string>(std::begin(HelpText), std::end(HelpText))));

    // The target sits in the strip below the text, so the designed controls keep their places.
    TargetEdit = new QLineEdit(this);
    TargetEdit->setObjectName(QStringLiteral("TargetEdit"));
    TargetEdit->setFixedSize(60, 24);
    TargetEdit->setMaxLength(8);
    TargetEdit->setToolTip(QStringLiteral(
        "A final score to reach (1 to 1575): every option then also shows the chance of reaching "
        "it when the rest of the game is played for the best expected score"));
    SetHintShown(TargetEdit, true);
    LabelTarget = new QLabel(QStringLiteral("&Target:"), this);
    LabelTarget->setObjectName(QStringLiteral("LabelTarget"));
    LabelTarget->setBuddy(TargetEdit);
    TargetStatus = new QLabel(this);
    TargetStatus->setObjectName(QStringLiteral("TargetStatus"));
    chances = new TBackgroundJob(this);

    // At the designed size the controls sit at their designed places (the text at 24, 56, 489
    // by 465); the edit takes any extra width and the text any extra width and height.
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->addWidget(AnalyzeButton, 0, Qt::AlignTop);
    row->addSpacing(21);
    row->addWidget(StateEdit, 1, Qt::AlignTop);
    row->addSpacing(21);
    row->addWidget(UpdateButton, 0, Qt::AlignTop);
    auto* targetRow = new QHBoxLayout;
    targetRow->setSpacing(0);
    targetRow->addWidget(LabelTarget);
    targetRow->addSpacing(6);
    targetRow->addWidget(TargetEdit);
    targetRow->addSpacing(12);
    targetRow->addWidget(TargetStatus, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 29, 12);
    layout->setSpacing(0);
    layout->addLayout(row);
    layout->addSpacing(15);
    layout->addWidget(txtAdvice, 1);
    layout->addSpacing(10);
    layout->addLayout(targetRow);

    connect(AnalyzeButton, &QPushButton::clicked, this, [this] { AnalyzeButtonClick(); });
    // Return in either edit analyses, as the button does.
    connect(StateEdit, &QLineEdit::returnPressed, this, [this] { AnalyzeButtonClick(); });
    connect(TargetEdit, &QLineEdit::returnPressed, this, [this] { AnalyzeButtonClick(); });
    connect(UpdateButton, &QPushButton::clicked, this, [this] { UpdateButtonClick(); });
    connect(chances, &TBackgroundJob::BusyChanged, this, [this](bool busy) {
        if (!busy && TargetStatus->text().startsWith(QStringLiteral("Computing"))) TargetStatus->clear();
    });
}

void TAdvisorForm::Init(const std::string& text) {
    StateEdit->setText(QString::fromStdString(text));
}

void TAdvisorForm::Analyze() {
    // A newer analysis replaces one whose chances are still coming.
    chances->Cancel();
    TargetStatus->clear();
    const int target = Target();
    if (target > 0) {
        AnalyzeWithTarget(target);
        return;
    }
    txtAdvice->clear();
    std::vector<std::string> lines;
    Advise(lines, StateEdit->text().toStdString(), OptimalStrategy);
    txtAdvice->setPlainText(JoinLines(lines));
    if (target < 0) TargetStatus->setText(BadTargetText());
}

int TAdvisorForm::Target() const {
    const QString typed = TargetEdit->text().trimmed();
    if (typed.isEmpty()) return 0;
    for (const QChar c : typed)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
    bool ok = false;
    const int target = typed.toInt(&ok);
    return ok && target >= 1 && target <= MaxPoints ? target : -1;
}

void TAdvisorForm::AnalyzeWithTarget(int target) {
    // The listing shows at once; the chances follow from the worker.
    auto advice = std::make_shared<TargetAdvice>(PrepareTargetAdvice(StateEdit->text().toStdString()));
    txtAdvice->setPlainText(JoinLines(advice->lines));
    const CacheState* C = OptimalStrategy ? OptimalStrategy->Cache : nullptr;
    if (!advice->wantsChances || !C) return;
    // The worker gets its own copy of the table: tables loaded meanwhile cannot change it.
    auto table = std::make_shared<const GameStateTable>(C->Table);
    TargetStatus->setText(ComputingText(target));
    chances->Request([this, advice, table, target](const TBackgroundJob::Control& control) {
        std::function<void()> show;
        try {
            // A newer request stops this one at the next layer of its passes.
            TargetChances c = ChancesToReach(*table, advice->game, advice->total, advice->turn,
                                             target, 0, [&control](int, int) { return !control.stop; });
            if (control.stop) return show;
            show = [this, advice, c = std::move(c), target] {
                FinishTargetAdvice(*advice, c, target);
                txtAdvice->setPlainText(JoinLines(advice->lines));
                TargetStatus->clear();
            };
        } catch (const std::exception& e) {
            show = [this, text = QString::fromStdString(e.what())] {
                TargetStatus->setText(QStringLiteral("No chances: ") + text);
            };
        }
        return show;
    });
}

bool TAdvisorForm::Computing() const { return chances->Busy(); }

QString TAdvisorForm::BadTargetText() {
    return QStringLiteral("The target is a final score from 1 to 1575, or nothing.");
}

QString TAdvisorForm::ComputingText(int target) {
    return QStringLiteral("Computing the chances to reach %1 ...").arg(target);
}

void TAdvisorForm::UpdateButtonClick() {
    if (CurrentState) Init(CurrentState());
    Analyze();
}
