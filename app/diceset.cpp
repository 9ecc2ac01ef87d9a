#include "app/diceset.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/dieface.h"
#include "app/windowplaces.h"
#include "core/GeneralStuff.h"

using namespace quintor;

TDiceSetForm::TDiceSetForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("DiceSetForm"));
    // Hints show while the user points, even when another window has the focus.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    WatchProgramEnd();
    setWindowTitle(QStringLiteral("Dice Set"));
    RefuseWindowStates(this, Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    setFixedSize(246, 73);
    source = FairDice();
    FormCreate();
    ShowHints(false);
    ResetTurn();
    PlaceWindow(this, QPoint(0, 105));
}

void TDiceSetForm::FormCreate() {
    for (int i = 0; i < NDice; ++i) {
        auto* e = new TDieFace(this);
        e->setObjectName(QStringLiteral("EditDice%1").arg(i + 1));
        e->setAccessibleName(QStringLiteral("Die %1").arg(i + 1));
        e->setAlignment(Qt::AlignCenter);
        QFont f = MonospacedFont(16);
        f.setBold(true);
        e->setFont(f);
        e->setToolTip(QStringLiteral("Value on dice"));
        e->setGeometry(6 + i * 34, 8, 30, 30);
        EditDice[i] = e;

        auto* c = new QCheckBox(this);
        c->setObjectName(QStringLiteral("CheckDice%1").arg(i + 1));
        c->setToolTip(QStringLiteral("Checked dice will be kept and not rolled"));
        c->setGeometry(13 + i * 34, 46, 20, 20);
        CheckDice[i] = c;
        // The face shows its keep mark; a click on the face works the box.
        connect(c, &QCheckBox::toggled, e, &TDieFace::SetKept);
        connect(e, &TDieFace::Clicked, c, [c] {
            if (c->isEnabled()) c->click();
        });
    }
    lblInfo = new QLabel(QStringLiteral("Roll"), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setGeometry(180, 8, 28, 22);

    EditRollIndex = new QLineEdit(this);
    EditRollIndex->setObjectName(QStringLiteral("EditRollIndex"));
    EditRollIndex->setReadOnly(true);
    EditRollIndex->setFocusPolicy(Qt::NoFocus);
    EditRollIndex->setAlignment(Qt::AlignCenter);
    EditRollIndex->setToolTip(QStringLiteral("Number of times rolled on this turn (max. 3)"));
    EditRollIndex->setGeometry(210, 8, 30, 22);

    ButRoll = new QPushButton(QStringLiteral("Roll !"), this);
    ButRoll->setObjectName(QStringLiteral("ButRoll"));
    ButRoll->setToolTip(QStringLiteral("Roll all unkept dice"));
    ButRoll->setGeometry(180, 38, 60, 28);
    connect(ButRoll, &QPushButton::clicked, this, [this] { ButRollClick(); });
}

void TDiceSetForm::SelectDiceSource(QAction* item) {
    item->setChecked(true);
    switch (item->data().toInt()) {
    case dkPerDice: source = FairDice(); break;
    case dkDemon: source = DemonDice(); break;
    case dkAngel: source = AngelDice(); break;
    default: break;
    }
    QString name = item->text();
    const qsizetype amp = name.indexOf(QLatin1Char('&'));
    if (amp >= 0) name.remove(amp, 1);
    setWindowTitle(QStringLiteral("Dice Set [") + name + QStringLiteral("]"));
    ResetDiceDevil(source);
}

void TDiceSetForm::SetGameEventHandler(TGameEventHandler h) {
    handler = std::move(h);
    for (TDieFace* e : EditDice) e->clear();
    ResetTurn();
}

void TDiceSetForm::ResetTurn() {
    for (QCheckBox* c : CheckDice) {
        c->setChecked(false);
        c->setEnabled(false);
    }
    EditRollIndex->clear();
    FirstRoll = true;
    ButRoll->setEnabled(true);
}

void TDiceSetForm::EndTurn() {
    ButRoll->setEnabled(false);
    for (QCheckBox* c : CheckDice) c->setEnabled(false);
}

void TDiceSetForm::DoRoll(const GameState& gs, TurnState& ts) {
    Event e;
    RollDice(source, gs, ts, e);
    const ValueList& roll = ValueListTbl[CheckValueListRank(e.arg)].list;
    int next = 0;
    for (int i = 0; i < NDice; ++i) {
        if (CheckDice[i]->isChecked()) continue;
        Check(next < roll.siz, "TDiceSetForm.DoRoll", "next < roll.siz");
        EditDice[i]->setText(QString::fromStdString(Format(" %1d", int(roll.val[next]))));
        ++next;
    }
    ApplyTurnEvent(ts, e);
    EditRollIndex->setText(QString::number(NRollsPerTurn - ts.rollsLeft));
    if (ts.rollsLeft > 0) {
        for (QCheckBox* c : CheckDice) c->setEnabled(true);
    } else {
        EndTurn();
    }
}

ValueBagRank TDiceSetForm::KeptBag() const {
    ValueBag bag;
    for (int i = 0; i < NDice; ++i) {
        if (!CheckDice[i]->isChecked()) continue;
        bool ok = false;
        int v = EditDice[i]->text().trimmed().toInt(&ok);
        if (!ok) throw RangeError("Dice " + std::to_string(i + 1) + " shows no value");
        AddToBag(bag, int(CheckRange(v, MinValue, MaxValue, "Dice value")), 1);
    }
    return RankFromValueBag(bag);
}

std::string TDiceSetForm::DiceText() const {
    std::string s;
    for (const TDieFace* e : EditDice) s += e->text().trimmed().toStdString();
    return s;
}

void TDiceSetForm::ShowHints(bool on) {
    SetHintShown(EditRollIndex, on);
    SetHintShown(ButRoll, on);
    for (int i = 0; i < NDice; ++i) {
        SetHintShown(EditDice[i], on);
        SetHintShown(CheckDice[i], on);
    }
}

void TDiceSetForm::ButRollClick() {
    if (!FirstRoll) {
        Event keep;
        keep.aspect = Keeping;
        keep.arg = KeptBag();
        // The player may withdraw the keep when the tutor questions it: then nothing happens.
        if (handler && !handler(keep)) return;
    }
    Event roll;
    roll.aspect = Rolling;
    if (handler) handler(roll);
    FirstRoll = false;
}

void TDiceSetForm::KeepKey(int i) {
    QCheckBox* c = CheckDice[static_cast<std::size_t>(CheckRange(i, 0, NDice - 1, "Die"))];
    if (c->isEnabled()) c->click();
}

void TDiceSetForm::RollKey() {
    ButRoll->click();   // nothing when the button is disabled
}

void TDiceSetForm::closeEvent(QCloseEvent* ev) {
    if (OwnerClosed(this))
        ev->accept();
    else
        ev->ignore();
}
