#include "GameTestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>

#include "app/main.h"

namespace gametest {

TMainForm* NewMainForm(const ProgramFolder& folder, ScriptedDialogs& dialogs) {
    FolderWithTables(folder, "gstbl", false);
    dialogs.ExpectInform();   // "... Standard deviations suppressed ..."
    auto* main = new TMainForm;
    main->show();
    return main;
}

std::string Text(const QLineEdit* e) {
    return e ? e->text().toStdString() : std::string();
}

std::string Hint(const QWidget* w) {
    return w ? w->toolTip().toStdString() : std::string();
}

std::vector<int> ShownDice(const QWidget* diceSet) {
    std::vector<int> dice;
    for (int i = 1; i <= quintor::NDice; ++i) {
        const std::string name = "EditDice" + std::to_string(i);
        dice.push_back(Find<QLineEdit>(diceSet, name.c_str())->text().trimmed().toInt());
    }
    return dice;
}

quintor::ValueBagRank ShownBag(const QWidget* diceSet) {
    quintor::ValueBag bag;
    for (int v : ShownDice(diceSet)) quintor::AddToBag(bag, v, 1);
    return quintor::RankFromValueBag(bag);
}

std::vector<std::string> SplitLines(const QString& text) {
    std::vector<std::string> lines;
    for (const QString& l : text.split(QLatin1Char('\n'))) lines.push_back(l.toStdString());
    return lines;
}

void ProcessDeletions() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace gametest
