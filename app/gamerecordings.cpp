#include "app/gamerecordings.h"

#include <algorithm>
#include <cmath>

#include <QBoxLayout>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/Dialogs.h"
#include "app/gameanalysis.h"
#include "app/gamewidgets.h"
#include "app/windowplaces.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"

using namespace quintor;

namespace {

std::string lastSaveDir;

const char* const WelcomeText[] = {
    "Roll the dice to start your Quintor Proficiency Test.",
    "",
    "For some help, enable Hints in the Game menu and",
    "point to various items.",
    "",
    "This program follows the official Quintor rules,",
    "including the Extra Quintor Bonus and Jokers.",
    "",
    "More information: https://quintor-trainer.example.org",
    "",
    "Send feedback to feedback@quintor-trainer.example.org",
    "",
    "Good luck!",
};

// The widest kind of report line: a choice that fell short of the optimal one by 5 points or
// more, with the optimal choice, its values and the loss's marker beside it.
const char* const WidestReportLine =
    " 8 _______FHSLQC;43-  38 34566;2  F   0  135.76 29  3456_  154.36 31  18.60 ***";

}  // namespace

std::string LastSaveDir() {
    if (lastSaveDir.empty()) lastSaveDir = DirectoryOf(ExecutablePath());
    return lastSaveDir;
}

void SetLastSaveDir(const std::string& dir) {
    lastSaveDir = dir;
}

TGameRecForm::TGameRecForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("GameRecForm"));
    // Hints show while the user points, even when another window has the focus.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    WatchProgramEnd();
    RefuseWindowStates(this, Qt::WindowMaximized | Qt::WindowFullScreen);
    setWindowTitle(DesignedCaption());
    setAttribute(Qt::WA_DeleteOnClose);
    FormCreate();
    // The designed size is the least; it opens wide enough for a whole report line, where the
    // screen has room for that, so no line needs scrolling sideways.
    setMinimumSize(DesignedWidth, DesignedHeight);
    resize(std::max(DesignedWidth, WidthForText(QString::fromLatin1(WidestReportLine))),
           DesignedHeight);
    PlaceWindow(this, QPoint(DesignedLeft, DesignedTop));
}

void TGameRecForm::FormCreate() {
    SaveButton = new QPushButton(QStringLiteral("Save"), this);
    SaveButton->setObjectName(QStringLiteral("SaveButton"));
    SaveButton->setToolTip(QStringLiteral("Save game recording in text file"));
    SetHintShown(SaveButton, true);
    SaveButton->setFixedSize(75, 25);
    SaveButton->setEnabled(false);
    connect(SaveButton, &QPushButton::clicked, this, [this] { SaveButtonClick(); });

    AnalysisButton = new QPushButton(QStringLiteral("Analysis"), this);
    AnalysisButton->setObjectName(QStringLiteral("AnalysisButton"));
    AnalysisButton->setToolTip(QStringLiteral("Show the game's chart, its luck and skill"));
    SetHintShown(AnalysisButton, true);
    AnalysisButton->setFixedSize(75, 25);
    AnalysisButton->setEnabled(false);
    connect(AnalysisButton, &QPushButton::clicked, this, [this] { AnalysisButtonClick(); });

    txtGameRec = new QPlainTextEdit(this);
    txtGameRec->setObjectName(QStringLiteral("txtGameRec"));
    txtGameRec->setReadOnly(true);
    txtGameRec->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtGameRec->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtGameRec->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtGameRec->setFont(MonospacedFont(13));

    // The buttons form a row at the top left, above the text, which takes all the rest.
    ButtonRow = new QHBoxLayout;
    ButtonRow->addWidget(SaveButton);
    ButtonRow->addWidget(AnalysisButton);
    ButtonRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(ButtonRow);
    layout->addWidget(txtGameRec, 1);

    SetLines(std::vector<std::string>(std::begin(WelcomeText), std::end(WelcomeText)));
}

int TGameRecForm::WidthForText(const QString& line) const {
    // The line, the document's margins, the cursor, the text area's frame and its vertical
    // scroll bar, and the window's margins around the text area.
    const int text = txtGameRec->fontMetrics().horizontalAdvance(line) +
                     2 * int(std::ceil(txtGameRec->document()->documentMargin())) +
                     txtGameRec->cursorWidth();
    const int area = text + 2 * txtGameRec->frameWidth() +
                     txtGameRec->verticalScrollBar()->sizeHint().width();
    const QMargins m = layout()->contentsMargins();
    return area + m.left() + m.right();
}

void TGameRecForm::SetLines(const std::vector<std::string>& lines) {
    QStringList list;
    for (const std::string& l : lines) list << QString::fromStdString(l);
    txtGameRec->setPlainText(list.join(QLatin1Char('\n')));
}

std::vector<std::string> TGameRecForm::Lines() const {
    std::vector<std::string> lines;
    for (const QString& l : txtGameRec->toPlainText().split(QLatin1Char('\n')))
        lines.push_back(l.toStdString());
    return lines;
}

void TGameRecForm::ShowGameInProgress() {
    SetLines({"Game in progress.", "", "Game analysis will be shown here at end."});
}

void TGameRecForm::ShowAnalysis(const GameRecording& rec) {
    std::vector<std::string> lines;
    WriteGameAnalysis(lines, rec, "You", OfficialRules, true, OptimalStrategy);
    SetLines(lines);
    Unsaved = true;
    SaveButton->setEnabled(true);
    analysed = rec;
    AnalysisButton->setEnabled(true);
}

void TGameRecForm::AnalysisButtonClick() {
    OpenGameAnalysis(this, analysed);
}

void TGameRecForm::SaveButtonClick() {
    const std::string file =
        Dialogs()
            .ChooseSaveFile(QStringLiteral("Save Game Recording in Text File: "),
                            QString::fromStdString(LastSaveDir()), QStringLiteral("txt"),
                            QStringLiteral("qpt"), QStringLiteral("Text files (*.txt)"))
            .toStdString();
    if (file.empty()) return;
    std::string text;
    for (const std::string& l : Lines()) text += l + "\r\n";
    try {
        WriteTextFileAtomically(file, text);
    } catch (const IOError& e) {
        Dialogs().ShowError(QString::fromStdString(e.what()));
        return;
    }
    Unsaved = false;
    SetLastSaveDir(DirectoryOf(file));
    QString caption = windowTitle();
    const qsizetype bracket = caption.indexOf(QLatin1Char('['));
    if (bracket >= 0) caption.truncate(bracket);
    caption = caption.trimmed() + QStringLiteral(" [") +
              QString::fromStdString(FileNameOf(file)) + QStringLiteral("]");
    setWindowTitle(caption);
}

void TGameRecForm::closeEvent(QCloseEvent* ev) {
    if (Unsaved && !OwnerClosed(this) &&
        !Dialogs().Ask(QStringLiteral("Discard unsaved ") + windowTitle() + QStringLiteral("?"))) {
        ev->ignore();
        return;
    }
    if (OnClosed) OnClosed(this);
    ev->accept();
}
