#include "app/scorecards.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Dialogs.h"
#include "app/keyboard.h"
#include "app/windowplaces.h"
#include "core/GeneralStuff.h"

using namespace quintor;

namespace {

struct RowText {
    const char* label;
    const char* caption;
    const char* condition;
    const char* edit;
    const char* editHint;
    const char* button;
};

// Rows by score item; the button names keep their historic spelling ("ButFourOfAkind").
const RowText RowTexts[16] = {
    {"LabelAces", "Aces", "Condition: None", "EditAces", "Total value of all dice showing 1", "ButAces"},
    {"LabelTwos", "Twos", "Condition: None", "EditTwos", "Total value of all dice showing 2", "ButTwos"},
    {"LabelThrees", "Threes", "Condition: None", "EditThrees", "Total value of all dice showing 3", "ButThrees"},
    {"LabelFours", "Fours", "Condition: None", "EditFours", "Total value of all dice showing 4", "ButFours"},
    {"LabelFives", "Fives", "Condition: None", "EditFives", "Total value of all dice showing 5", "ButFives"},
    {"LabelSixes", "Sixes", "Condition: None", "EditSixes", "Total value of all dice showing 6", "ButSixes"},
    {"LabelThreeOfAKind", "Three of a Kind", "Condition: 3 (or more) equal dice values",
     "EditThreeOfAKind", "Total of all dice values", "ButThreeOfAKind"},
    {"LabelFourOfAKind", "Four of a Kind", "Condition: 4 (or more) equal dice values",
     "EditFourOfAKind", "Total of all dice values", "ButFourOfAkind"},
    {"LabelFullHouse", "Full House",
     "Condition: 3 equal dice values and 2 other equals, or a Joker Quintor", "EditFullHouse",
     "25 points", "ButFullHouse"},
    {"LabelSmallStraight", "Small Straight",
     "Condition: 4 (or more) dice values in sequence, or a Joker Quintor", "EditSmallStraight",
     "30 points", "ButSmallStraight"},
    {"LabelLargeStraight", "Large Straight",
     "Condition: 5 dice values in sequence, or a Joker Quintor", "EditLargeStraight",
     "40 points", "ButLargeStraight"},
    {"LabelQuintor", "Quintor", "Condition: 5 equal dice values", "EditQuintor", "50 points",
     "ButQuintor"},
    {"LabelChance", "Chance", "Condition: None", "EditChance", "Total of all dice values",
     "ButChance"},
    {"LabelUSBonus", "Upper Section Bonus", "Condition: 63 or more in Upper Section",
     "EditUSBonus", "35 points", nullptr},
    {"LabelEQBonus", "Extra Quintor Bonus", "Condition: 50 for Quintor and 5 equals",
     "EditEQBonus", "100 points for each extra Quintor", nullptr},
    {"LabelGrandTotal", "GRAND TOTAL", "", "EditGrandTotal", "Sum of all above", nullptr},
};

constexpr int RowHeight = 24;
constexpr int LabelX = 6;
constexpr int LabelW = 170;
constexpr int ValueX = 182;
constexpr int ValueW = 52;
constexpr int ButtonX = 242;
constexpr int ButtonW = 44;
constexpr int KeyW = 18;   // the key label at the right end of the label column

QString PointsText(int points) {
    return QString::fromStdString(Format("%*d", 4, points));
}

}  // namespace

TScoreCardForm::TScoreCardForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("ScoreCardForm"));
    // Hints show while the user points, even when another window has the focus.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    WatchProgramEnd();
    setWindowTitle(QStringLiteral("Score Card"));
    RefuseWindowStates(this, Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    setFixedSize(305, 505);
    FormCreate();
    ShowHints(false);
    PlaceWindow(this, QPoint(0, 208));
}

QLabel* TScoreCardForm::CreateLabel(QWidget* parent, const char* name, const QString& caption,
                                    const QString& hint, int x, int y, int w, bool bold) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setToolTip(hint);
    QFont f = l->font();
    f.setPixelSize(14);   // captions read larger than the figures beside them
    f.setBold(bold);
    l->setFont(f);
    l->setGeometry(x, y, w, RowHeight - 2);
    return l;
}

QLineEdit* TScoreCardForm::CreateValueField(QWidget* parent, const char* name, int x, int y) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    e->setFont(MonospacedFont(13));
    e->setGeometry(x, y, ValueW, RowHeight - 2);
    return e;
}

void TScoreCardForm::CreateRow(int item, QWidget* parent, int y) {
    const RowText& t = RowTexts[item];
    Row& r = ScoreCardRows[item];
    int x0 = parent == this ? LabelX : LabelX - 4;   // panels sit 4 pixels in
    r.label = CreateLabel(parent, t.label, QString::fromLatin1(t.caption),
                          QString::fromLatin1(t.condition), x0, y, LabelW, item >= 13);
    r.value = CreateValueField(parent, t.edit, ValueX - (LabelX - x0), y);
    r.value->setToolTip(QString::fromLatin1(t.editHint));
    if (t.button) {
        r.button = new QPushButton(QStringLiteral("<<"), parent);
        r.button->setObjectName(QString::fromLatin1(t.button));
        r.button->setGeometry(ButtonX - (LabelX - x0), y, ButtonW, RowHeight - 2);
        r.button->setFocusPolicy(Qt::NoFocus);
        QPushButton* b = r.button;
        connect(b, &QPushButton::clicked, this, [this, b] { ScoreButtonClick(b); });

        const QChar key = CategoryKey(Category(item));
        r.label->resize(LabelW - KeyW - 4, r.label->height());
        r.key = new QLabel(key, parent);
        r.key->setObjectName(QStringLiteral("Key") + QString::fromLatin1(t.label + 5));
        r.key->setAlignment(Qt::AlignCenter);
        r.key->setStyleSheet(QStringLiteral(
            "QLabel { color: #333333; border: 1px solid #8c8c8c; border-radius: 3px; "
            "font-size: 11px; }"));
        r.key->setGeometry(x0 + LabelW - KeyW, y + 2, KeyW, RowHeight - 6);
        r.key->setToolTip(QStringLiteral("Key %1: score in %2").arg(key).arg(r.label->text()));
    }
}

void TScoreCardForm::FormCreate() {
    LabelTurnIndex = CreateLabel(this, "LabelTurnIndex", QStringLiteral("Turn"), QString(),
                                 ValueX - 50, 6, 44, false);
    LabelTurnIndex->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    EditTurnIndex = CreateValueField(this, "EditTurnIndex", ValueX, 6);
    EditTurnIndex->setToolTip(QStringLiteral("Number of this turn"));

    PanelUpperSection = new QFrame(this);
    PanelUpperSection->setObjectName(QStringLiteral("PanelUpperSection"));
    PanelUpperSection->setFrameShape(QFrame::StyledPanel);
    PanelUpperSection->setGeometry(4, 34, 297, 6 * RowHeight + 8);
    for (int i = Aces; i <= Sixes; ++i) CreateRow(i, PanelUpperSection, 4 + i * RowHeight);

    int y = 34 + 6 * RowHeight + 12;
    LabelUSTotal = CreateLabel(this, "LabelUSTotal", QStringLiteral("Upper Section Total"),
                               QString(), LabelX, y, LabelW, true);
    EditUSTotal = CreateValueField(this, "EditUSTotal", ValueX, y);

    y += RowHeight + 8;
    PanelLowerSection = new QFrame(this);
    PanelLowerSection->setObjectName(QStringLiteral("PanelLowerSection"));
    PanelLowerSection->setFrameShape(QFrame::StyledPanel);
    PanelLowerSection->setGeometry(4, y, 297, 7 * RowHeight + 8);
    for (int i = ThreeOfAKind; i <= Chance; ++i)
        CreateRow(i, PanelLowerSection, 4 + (i - ThreeOfAKind) * RowHeight);

    y += 7 * RowHeight + 16;
    for (int i = UpperSectionBonusItem; i <= GrandTotal; ++i) {
        CreateRow(i, this, y);
        y += RowHeight + (i == ExtraQuintorBonusItem ? 8 : 0);
    }
}

void TScoreCardForm::SetGameEventHandler(TGameEventHandler h) {
    handler = std::move(h);
    for (Row& r : ScoreCardRows) r.value->clear();
    DisableScoreButtons();
    Totals = ZeroScoreCard;
    ShowScoreCard(InitialGameState);
    EditTurnIndex->setText(QStringLiteral("1"));
}

void TScoreCardForm::ShowScoreCard(const GameState& g) {
    for (int i = 0; i < NRows; ++i) {
        if (i < NCategories && InSet(g.free, i))
            ScoreCardRows[i].value->clear();
        else
            ScoreCardRows[i].value->setText(PointsText(Totals[i]));
    }
    int upper = 0;
    for (int i = Aces; i <= Sixes; ++i) upper += Totals[i];
    EditUSTotal->setText(PointsText(upper));
}

void TScoreCardForm::EnableScoreButtons() {
    for (int i = 0; i < NCategories; ++i)
        ScoreCardRows[i].button->setEnabled(ScoreCardRows[i].value->text().isEmpty());
}

void TScoreCardForm::DisableScoreButtons() {
    for (int i = 0; i < NCategories; ++i) ScoreCardRows[i].button->setEnabled(false);
}

void TScoreCardForm::SetScoreHint(Category c, const std::string& text) {
    ScoreCardRows[CheckCategory(c)].button->setToolTip(QString::fromStdString(text));
}

void TScoreCardForm::ShowHints(bool on) {
    SetHintShown(EditTurnIndex, on);
    for (Row& r : ScoreCardRows) {
        SetHintShown(r.label, on);
        SetHintShown(r.value, on);
        if (r.button) SetHintShown(r.button, on);
        if (r.key) SetHintShown(r.key, on);
    }
}

void TScoreCardForm::SetTurnIndex(int turn) {
    EditTurnIndex->setText(QString::number(turn));
}

std::string TScoreCardForm::GrandTotalText() const {
    return ScoreCardRows[GrandTotal].value->text().toStdString();
}

Category TScoreCardForm::CategoryFromSender(const QObject* sender) const {
    for (int i = 0; i < NCategories; ++i)
        if (sender != nullptr && sender == ScoreCardRows[i].button) return Category(i);
    Dialogs().Inform(QStringLiteral("CategoryFromSender: Inappropriate Sender"));
    return QuintorCat;
}

void TScoreCardForm::ScoreButtonClick(const QObject* sender) {
    Event e;
    e.aspect = Scoring;
    e.category = CategoryFromSender(sender);
    e.arg = 0;
    if (handler) handler(e);   // a withdrawn scoring leaves the card as it is
}

void TScoreCardForm::ScoreKey(Category c) {
    ScoreCardRows[CheckCategory(c)].button->click();   // nothing when it is disabled
}

void TScoreCardForm::closeEvent(QCloseEvent* ev) {
    if (OwnerClosed(this))
        ev->accept();
    else
        ev->ignore();
}
