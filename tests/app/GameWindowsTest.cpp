// The score card, dice set, game recording and advisor windows on their own: real widgets,
// events caught by a handler of the test, dialogs answered by the script.
#include <filesystem>
#include <sstream>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "GameTestSupport.h"
#include "app/advisor.h"
#include "app/diceset.h"
#include "app/gamerecordings.h"
#include "app/gamewidgets.h"
#include "app/scorecards.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "play/QuintorGameRecordings.h"

using namespace quintor;
using gametest::ButtonNames;
using gametest::Find;
using gametest::Hint;
using gametest::SplitLines;
using gametest::Text;

namespace {

const char* const EditNames[16] = {
    "EditAces",          "EditTwos",          "EditThrees",      "EditFours",
    "EditFives",         "EditSixes",         "EditThreeOfAKind", "EditFourOfAKind",
    "EditFullHouse",     "EditSmallStraight", "EditLargeStraight", "EditQuintor",
    "EditChance",        "EditUSBonus",       "EditEQBonus",     "EditGrandTotal"};

// The optimal strategy with the complete table and no variance table, as after loading only
// the expected-score file.
void UseOptimalTableOnly() {
    FillTableStore();
    CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal,
                TableStore() + "/" + OptimalTableFileName);
    OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
    OptimalStrategy->VarianceCache = nullptr;
}

std::vector<std::string> Lines(const QWidget* w, const char* name) {
    return SplitLines(Find<QPlainTextEdit>(w, name)->toPlainText());
}

}  // namespace

TEST(ScoreCardWindow, ShowsUsedRowsTotalsAndButtonsAndRaisesScoringPerButton) {
    ScriptedDialogs dialogs;
    TScoreCardForm f;
    EXPECT_EQ(f.windowTitle().toStdString(), "Score Card");
    EXPECT_EQ(f.size(), QSize(305, 505));
    EXPECT_EQ(f.pos(), QPoint(0, 208));
    std::vector<Event> raised;
    f.SetGameEventHandler([&](Event e) { raised.push_back(e); });

    // A fresh game: categories empty, the sums zero, every button off, turn 1.
    for (int i = 0; i < NCategories; ++i) {
        EXPECT_EQ(Text(Find<QLineEdit>(&f, EditNames[i])), "") << EditNames[i];
        EXPECT_FALSE(Find<QPushButton>(&f, ButtonNames[i])->isEnabled()) << ButtonNames[i];
        EXPECT_EQ(Find<QPushButton>(&f, ButtonNames[i])->text().toStdString(), "<<");
    }
    for (int i = 13; i < 16; ++i) EXPECT_EQ(Text(Find<QLineEdit>(&f, EditNames[i])), "   0");
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditUSTotal")), "   0");
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditTurnIndex")), "1");

    // Aces 3, Sixes 24, a zero Three of a Kind, the bonus: used rows show their points, even 0;
    // the upper total counts the six upper rows only.
    f.Totals.set(Aces, 3);
    f.Totals.set(Sixes, 24);
    f.Totals.set(ThreeOfAKind, 0);
    f.Totals.set(UpperSectionBonusItem, 35);
    f.Totals.set(GrandTotal, 62);
    GameState g = InitialGameState;
    for (int c : {int(Aces), int(Sixes), int(ThreeOfAKind)}) g.free = WithoutCategory(g.free, c);
    f.ShowScoreCard(g);
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditAces")), "   3");
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditSixes")), "  24");
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditThreeOfAKind")), "   0");
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditTwos")), "");
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditUSBonus")), "  35");
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditUSTotal")), "  27");
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditGrandTotal")), "  62");
    EXPECT_EQ(f.GrandTotalText(), "  62");

    f.EnableScoreButtons();
    for (int i = 0; i < NCategories; ++i)
        EXPECT_EQ(Find<QPushButton>(&f, ButtonNames[i])->isEnabled(), InSet(g.free, i))
            << ButtonNames[i];
    // Each button names its own category; disabled ones raise nothing.
    for (int i = 0; i < NCategories; ++i) Find<QPushButton>(&f, ButtonNames[i])->click();
    ASSERT_EQ(raised.size(), 10u);
    int k = 0;
    for (int i = 0; i < NCategories; ++i) {
        if (!InSet(g.free, i)) continue;
        EXPECT_EQ(raised[k].aspect, Scoring);
        EXPECT_EQ(int(raised[k].category), i) << ButtonNames[i];
        EXPECT_EQ(raised[k].arg, 0);
        ++k;
    }
    f.DisableScoreButtons();
    for (int i = 0; i < NCategories; ++i)
        EXPECT_FALSE(Find<QPushButton>(&f, ButtonNames[i])->isEnabled());

    // A new game clears the card again.
    f.SetGameEventHandler([&](Event e) { raised.push_back(e); });
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditAces")), "");
    EXPECT_EQ(Text(Find<QLineEdit>(&f, "EditUSBonus")), "   0");
    EXPECT_EQ(f.Totals[GrandTotal], 0);

    // A foreign sender is a wiring fault: the box, then Quintor.
    dialogs.ExpectInform();
    QPushButton stranger;
    EXPECT_EQ(f.CategoryFromSender(&stranger), QuintorCat);
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::InformKind),
              std::vector<std::string>{"CategoryFromSender: Inappropriate Sender"});
}

TEST(ScoreCardWindow, HintsStartOffSwitchTogetherAndCannotBeClosed) {
    TScoreCardForm f;
    auto* label = Find<QLabel>(&f, "LabelFullHouse");
    auto* edit = Find<QLineEdit>(&f, "EditEQBonus");
    auto* button = Find<QPushButton>(&f, "ButChance");
    auto* turn = Find<QLineEdit>(&f, "EditTurnIndex");
    EXPECT_EQ(Hint(label),
              "Condition: 3 equal dice values and 2 other equals, or a Joker Quintor");
    EXPECT_EQ(Hint(edit), "100 points for each extra Quintor");
    EXPECT_EQ(Hint(turn), "Number of this turn");
    EXPECT_EQ(Hint(Find<QLabel>(&f, "LabelGrandTotal")), "");
    for (QWidget* w : std::initializer_list<QWidget*>{label, edit, button, turn})
        EXPECT_FALSE(HintShown(w)) << w->objectName().toStdString();

    f.SetScoreHint(Chance, "Score 17 now");
    f.ShowHints(true);
    for (QWidget* w : std::initializer_list<QWidget*>{label, edit, button, turn})
        EXPECT_TRUE(HintShown(w)) << w->objectName().toStdString();
    EXPECT_EQ(Hint(button), "Score 17 now");
    EXPECT_TRUE(Find<QLabel>(&f, "LabelUSBonus")->font().bold());
    EXPECT_FALSE(Find<QLabel>(&f, "LabelAces")->font().bold());

    f.show();
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
}

TEST(DiceSetWindow, RollsKeepsAndCountsThroughOneTurn) {
    TDiceSetForm f;
    EXPECT_EQ(f.windowTitle().toStdString(), "Dice Set");
    EXPECT_EQ(f.size(), QSize(246, 73));
    EXPECT_EQ(f.pos(), QPoint(0, 105));
    auto* roll = Find<QPushButton>(&f, "ButRoll");
    auto* index = Find<QLineEdit>(&f, "EditRollIndex");
    EXPECT_EQ(roll->text().toStdString(), "Roll !");
    EXPECT_EQ(Find<QLabel>(&f, "lblInfo")->text().toStdString(), "Roll");
    EXPECT_EQ(Hint(index), "Number of times rolled on this turn (max. 3)");
    QCheckBox* box[NDice];
    for (int i = 0; i < NDice; ++i) {
        const std::string name = "CheckDice" + std::to_string(i + 1);
        box[i] = Find<QCheckBox>(&f, name.c_str());
    }

    // The test stands in for the controller: it applies keeps and asks for the rolls.
    GameState gs = InitialGameState;
    TurnState ts = InitialTurnState;
    std::vector<Event> raised;
    f.SetGameEventHandler([&](Event e) {
        raised.push_back(e);
        if (e.aspect == Keeping) ApplyTurnEvent(ts, e);
        if (e.aspect == Rolling) f.DoRoll(gs, ts);
    });
    EXPECT_EQ(f.DiceText(), "");
    for (QCheckBox* b : box) EXPECT_FALSE(b->isEnabled());

    // First roll: no keeping, five dice shown as " d".
    roll->click();
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].aspect, Rolling);
    EXPECT_EQ(f.DiceText().size(), 5u);
    for (int i = 1; i <= NDice; ++i) {
        const std::string name = "EditDice" + std::to_string(i);
        const std::string t = Text(Find<QLineEdit>(&f, name.c_str()));
        ASSERT_EQ(t.size(), 2u);
        EXPECT_EQ(t[0], ' ');
        EXPECT_TRUE(t[1] >= '1' && t[1] <= '6');
    }
    EXPECT_EQ(Text(index), "1");
    EXPECT_EQ(ts.rollsLeft, 2);
    EXPECT_EQ(ts.phase, ToChoose);
    EXPECT_EQ(ts.dice, gametest::ShownBag(&f));
    for (QCheckBox* b : box) EXPECT_TRUE(b->isEnabled());

    // Second roll keeping dice 1 and 3: they stay, the keeping names exactly them.
    std::vector<int> before = gametest::ShownDice(&f);
    box[0]->click();
    box[2]->click();
    roll->click();
    ASSERT_EQ(raised.size(), 3u);
    EXPECT_EQ(raised[1].aspect, Keeping);
    ValueBag kept;
    AddToBag(kept, before[0], 1);
    AddToBag(kept, before[2], 1);
    EXPECT_EQ(raised[1].arg, RankFromValueBag(kept));
    EXPECT_EQ(raised[2].aspect, Rolling);
    std::vector<int> after = gametest::ShownDice(&f);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[2], before[2]);
    EXPECT_EQ(Text(index), "2");
    EXPECT_TRUE(box[0]->isChecked());   // marks stay between rolls
    EXPECT_EQ(ts.dice, gametest::ShownBag(&f));

    // Third roll keeping all five: nothing changes but the count; then the turn is over.
    for (QCheckBox* b : box) b->setChecked(true);
    roll->click();
    ASSERT_EQ(raised.size(), 5u);
    EXPECT_EQ(raised[3].aspect, Keeping);
    EXPECT_EQ(raised[3].arg, gametest::ShownBag(&f));
    EXPECT_EQ(gametest::ShownDice(&f), after);
    EXPECT_EQ(Text(index), "3");
    EXPECT_EQ(ts.rollsLeft, 0);
    EXPECT_FALSE(roll->isEnabled());
    for (QCheckBox* b : box) EXPECT_FALSE(b->isEnabled());

    // The next turn: dice stay visible, marks and count cleared, no keeping before the roll.
    f.ResetTurn();
    EXPECT_EQ(gametest::ShownDice(&f), after);
    EXPECT_EQ(Text(index), "");
    EXPECT_TRUE(roll->isEnabled());
    for (QCheckBox* b : box) {
        EXPECT_FALSE(b->isChecked());
        EXPECT_FALSE(b->isEnabled());
    }
    ts = InitialTurnState;
    roll->click();
    ASSERT_EQ(raised.size(), 6u);
    EXPECT_EQ(raised[5].aspect, Rolling);

    // A new game clears the dice; a kept field without a value is no die.
    f.SetGameEventHandler([](Event) {});
    EXPECT_EQ(f.DiceText(), "");
    box[1]->setChecked(true);
    EXPECT_THROW(f.KeptBag(), RangeError);

    f.show();
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
}

TEST(DiceSetWindow, MenuItemsChooseTheSourceByTagAndNameTheCaption) {
    TDiceSetForm f;
    EXPECT_EQ(f.Source(), FairDice());
    QAction demonic(QStringLiteral("&Demonic"));
    demonic.setCheckable(true);
    demonic.setData(4);
    f.SelectDiceSource(&demonic);
    EXPECT_TRUE(demonic.isChecked());
    EXPECT_EQ(f.Source(), DemonDice());
    EXPECT_EQ(f.windowTitle().toStdString(), "Dice Set [Demonic]");

    // An item whose Tag names no menu source renames the window but keeps the source.
    QAction other(QStringLiteral("Per &List && more"));
    other.setCheckable(true);
    other.setData(2);
    f.SelectDiceSource(&other);
    EXPECT_EQ(f.Source(), DemonDice());
    EXPECT_EQ(f.windowTitle().toStdString(), "Dice Set [Per List && more]");

    QAction angelic(QStringLiteral("Angelic"));
    angelic.setCheckable(true);
    angelic.setData(5);
    f.SelectDiceSource(&angelic);
    EXPECT_EQ(f.Source(), AngelDice());
    QAction fair(QStringLiteral("&Fair"));
    fair.setCheckable(true);
    fair.setData(1);
    f.SelectDiceSource(&fair);
    EXPECT_EQ(f.Source(), FairDice());
    EXPECT_EQ(f.windowTitle().toStdString(), "Dice Set [Fair]");
}

namespace {

// Records the arguments of the save dialog as well.
class SaveDialogs : public ScriptedDialogs {
public:
    struct SaveCall {
        std::string title, startDir, suffix, name, filter;
    };
    std::vector<SaveCall> calls;
    QString ChooseSaveFile(const QString& title, const QString& startDir, const QString& suffix,
                           const QString& name, const QString& filter) override {
        calls.push_back({title.toStdString(), startDir.toStdString(), suffix.toStdString(),
                         name.toStdString(), filter.toStdString()});
        return ScriptedDialogs::ChooseSaveFile(title, startDir, suffix, name, filter);
    }
};

}  // namespace

TEST(GameRecordingWindow, WelcomeProgressAnalysisSaveAndDiscardQuestion) {
    UseOptimalTableOnly();
    SaveDialogs dialogs;
    ProgramFolder folder;
    const std::string dir = folder.Make("reports");
    SetLastSaveDir(folder.Root());

    auto* w = new TGameRecForm;
    w->setWindowTitle(QStringLiteral("Game Recording 1"));
    EXPECT_EQ(w->size(), QSize(541, 570));
    EXPECT_EQ(w->pos(), QPoint(337, 113));
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    auto* save = Find<QPushButton>(w, "SaveButton");
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(Hint(save), "Save game recording in text file");
    std::vector<std::string> welcome = Lines(w, "txtGameRec");
    ASSERT_EQ(welcome.size(), 13u);
    EXPECT_EQ(welcome[0], "Roll the dice to start your Quintor Proficiency Test.");
    EXPECT_EQ(welcome[6], "including the Extra Quintor Bonus and Jokers.");
    EXPECT_EQ(welcome[8].rfind("More information: ", 0), 0u);
    EXPECT_EQ(welcome[10].rfind("Send feedback to ", 0), 0u);
    EXPECT_EQ(welcome[12], "Good luck!");

    w->ShowGameInProgress();
    EXPECT_EQ(Lines(w, "txtGameRec"),
              (std::vector<std::string>{"Game in progress.", "",
                                        "Game analysis will be shown here at end."}));

    // A short game: one scoring of a first roll of 1 2 3 4 5 as a Large Straight.
    GameRecording rec;
    InitGameRecording(rec);
    ValueBag bag;
    for (int v = 1; v <= 5; ++v) AddToBag(bag, v, 1);
    TurnState ts{2, ToChoose, RankFromValueBag(bag)};
    Event e;
    e.aspect = Scoring;
    e.category = LargeStraight;
    e.arg = 40;
    ExtendGameRecording(rec, InitialGameState, 0, e, ts);
    w->ShowAnalysis(rec);
    std::vector<std::string> report;
    WriteGameAnalysis(report, rec, "You", OfficialRules, true, OptimalStrategy);
    EXPECT_EQ(Lines(w, "txtGameRec"), report);
    EXPECT_TRUE(w->Unsaved);
    EXPECT_TRUE(save->isEnabled());

    // Cancel changes nothing.
    dialogs.ExpectSaveFile("");
    save->click();
    EXPECT_TRUE(w->Unsaved);
    EXPECT_EQ(w->windowTitle().toStdString(), "Game Recording 1");
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].title, "Save Game Recording in Text File: ");
    EXPECT_EQ(dialogs.calls[0].startDir, folder.Root());
    EXPECT_EQ(dialogs.calls[0].suffix, "txt");
    EXPECT_EQ(dialogs.calls[0].name, "qpt");
    EXPECT_EQ(dialogs.calls[0].filter, "Text files (*.txt)");

    // a.txt, then b.txt: each line ends in CR LF; the caption names the last file only.
    std::string expected;
    for (const std::string& l : report) expected += l + "\r\n";
    dialogs.ExpectSaveFile(dir + "/a.txt");
    save->click();
    EXPECT_FALSE(w->Unsaved);
    EXPECT_EQ(ReadWholeFile(dir + "/a.txt"), expected);
    EXPECT_EQ(w->windowTitle().toStdString(), "Game Recording 1 [a.txt]");
    EXPECT_EQ(LastSaveDir(), dir);
    dialogs.ExpectSaveFile(dir + "/b.txt");
    save->click();
    EXPECT_EQ(ReadWholeFile(dir + "/b.txt"), expected);
    EXPECT_EQ(w->windowTitle().toStdString(), "Game Recording 1 [b.txt]");
    EXPECT_EQ(dialogs.calls.back().startDir, dir);
    EXPECT_TRUE(save->isEnabled());

    // A file that cannot be written: the error box, Unsaved stays, the caption and the
    // directory stay, and the old file is untouched.
    w->ShowAnalysis(rec);
    dialogs.ExpectSaveFile(folder.Root() + "/missing/c.txt");
    dialogs.ExpectError();
    save->click();
    EXPECT_TRUE(w->Unsaved);
    EXPECT_EQ(w->windowTitle().toStdString(), "Game Recording 1 [b.txt]");
    EXPECT_EQ(LastSaveDir(), dir);
    EXPECT_FALSE(std::filesystem::exists(folder.Root() + "/missing"));
    ASSERT_EQ(dialogs.Texts(ScriptedDialogs::ErrorKind).size(), 1u);
    EXPECT_NE(dialogs.Texts(ScriptedDialogs::ErrorKind)[0].find("c.txt"), std::string::npos);

    // Closing with an unsaved analysis asks; Cancel keeps the window, OK closes it.
    int closed = 0;
    w->OnClosed = [&](TGameRecForm* f) {
        EXPECT_EQ(f, w);
        ++closed;
    };
    w->show();
    dialogs.ExpectAsk(false);
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(closed, 0);
    dialogs.ExpectAsk(true);
    QPointer<TGameRecForm> alive(w);
    EXPECT_TRUE(w->close());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::AskKind),
              (std::vector<std::string>{"Discard unsaved Game Recording 1 [b.txt]?",
                                        "Discard unsaved Game Recording 1 [b.txt]?"}));
    gametest::ProcessDeletions();
    EXPECT_TRUE(alive.isNull());
}

TEST(GameRecordingWindow, ClosingWithoutAnAnalysisAsksNothing) {
    ScriptedDialogs dialogs;   // any question fails the test
    auto* w = new TGameRecForm;
    w->show();
    EXPECT_TRUE(w->close());
    auto* v = new TGameRecForm;
    v->show();
    v->ShowGameInProgress();
    EXPECT_TRUE(v->close());
    gametest::ProcessDeletions();
}

TEST(AdvisorWindow, ListsTheOptionsOfTypedStatesAndReportsErrorsUnderTheFault) {
    UseOptimalTableOnly();
    std::string current = "123456TFHSLQC;63-   0  ;3";
    TAdvisorForm f([&] { return current; });
    EXPECT_EQ(f.windowTitle().toStdString(), "Optimal Solitaire Quintor Advisor");
    EXPECT_EQ(f.pos(), QPoint(195, 107));
    auto* edit = Find<QLineEdit>(&f, "StateEdit");
    auto* analyze = Find<QPushButton>(&f, "AnalyzeButton");
    auto* update = Find<QPushButton>(&f, "UpdateButton");
    EXPECT_EQ(Text(edit), "123456TFHSLQC;63-   0  56666;0");
    EXPECT_EQ(Hint(update), "Update Quitor state from game, then analyze it");
    EXPECT_TRUE(HintShown(analyze));
    std::vector<std::string> help = Lines(&f, "txtAdvice");
    ASSERT_EQ(help.size(), 34u);
    EXPECT_EQ(help[0], "Enter an abstract Quitnor state and click Analyze.");
    EXPECT_EQ(help[13], "  the chip, i.e. whether Quitor scored 50 (+ or -)");
    EXPECT_EQ(help[33], "               C = Chance");

    // No rolls left: the thirteen scorings, best first, without deviations.
    analyze->click();
    std::vector<std::string> lines = Lines(&f, "txtAdvice");
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "13 options");
    double last = 1e9;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].find("+/-"), std::string::npos);
        const double v = std::stod(lines[i].substr(lines[i].size() - 7));
        EXPECT_LE(v, last) << lines[i];
        last = v;
    }

    // Two rolls left: 13 scorings and the 10 keeps of 5 6 6 6 6; 32 keeps for five values.
    f.Init("123456TFHSLQC;63-   0  56666;2");
    analyze->click();
    EXPECT_EQ(Lines(&f, "txtAdvice")[0], "23 options");
    f.Init("123456TFHSLQC;63-   0  13254;2");
    analyze->click();
    EXPECT_EQ(Lines(&f, "txtAdvice").size(), 46u);
    EXPECT_EQ(Lines(&f, "txtAdvice")[0], "45 options");

    // Update takes the game's state: before a first roll the 252 outcomes, whose values
    // weighted by their chances give the game's optimal value.
    update->click();
    EXPECT_EQ(Text(edit), current);
    lines = Lines(&f, "txtAdvice");
    ASSERT_EQ(lines.size(), 253u);
    EXPECT_EQ(lines[0], "252 options");
    double mean = 0.0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::istringstream in(lines[i]);
        std::string word;
        in >> word;
        ASSERT_EQ(word, "Rolling");
        ValueBag bag;
        for (int d = 0; d < NDice; ++d) {
            int v = 0;
            in >> v;
            AddToBag(bag, v, 1);
        }
        double value = 0.0;
        in >> value;
        ASSERT_TRUE(in) << lines[i];
        mean += ValueBagTbl[RankFromValueBag(bag)].prob * value;
    }
    EXPECT_NEAR(mean, OptimalStateValue(InitialGameState), 0.006);

    // Errors: the four-line report with the caret under the fault; surrounding blanks do
    // not move it, and the edit keeps them.
    f.Init("  123456TFHSLQC;64-   0  ;3 ");
    analyze->click();
    EXPECT_EQ(Lines(&f, "txtAdvice"),
              (std::vector<std::string>{"Error in Abstract Quintor State at position 16",
                                        "123456TFHSLQC;64-   0  ;3",
                                        std::string(15, ' ') + "^",
                                        "Upper Section Need > 63"}));
    EXPECT_EQ(Text(edit), "  123456TFHSLQC;64-   0  ;3 ");
    const std::string atEnd = "123456TFHSLQC;63-   0  56666;3";
    f.Init(atEnd);
    analyze->click();
    lines = Lines(&f, "txtAdvice");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], Format("Error in Abstract Quintor State at position %d",
                               int(atEnd.size()) + 1));
    EXPECT_EQ(lines[2], std::string(atEnd.size(), ' ') + "^");
    EXPECT_EQ(lines[3], "Before first roll, no dice can be kept");
}
