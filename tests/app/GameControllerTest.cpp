// Whole games through the real windows of a main window that found its tables: the test clicks
// Roll, the keep boxes and the score buttons, keeps its own account of the game with the
// concepts' rules, and compares the controller's recording, hints and report with it.
#include <algorithm>
#include <memory>
#include <sstream>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "GameTestSupport.h"
#include "app/advisor.h"
#include "app/diceset.h"
#include "app/gamerecordings.h"
#include "app/gamewidgets.h"
#include "app/main.h"
#include "app/scorecards.h"
#include "cli/Cli.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "play/QuintorGameSession.h"

using namespace quintor;
using gametest::ButtonNames;
using gametest::Find;
using gametest::Hint;
using gametest::ShownBag;
using gametest::ShownDice;
using gametest::SplitLines;
using gametest::Text;

namespace {


// Remembers what the current recording window showed when "Game Over!" came up.
class GameOverDialogs : public ScriptedDialogs {
public:
    TMainForm* main = nullptr;
    std::vector<std::string> shownAtGameOver;
    void Inform(const QString& text) override {
        if (text == QStringLiteral("Game Over!") && main && main->CurrentRecordingWindow())
            shownAtGameOver = main->CurrentRecordingWindow()->Lines();
        ScriptedDialogs::Inform(text);
    }
};

std::vector<std::string> RecordingText(const TGameRecForm* w) {
    return SplitLines(Find<QPlainTextEdit>(w, "txtGameRec")->toPlainText());
}

// Plays through the windows and keeps its own account of positions, total and recording.
class Player {
public:
    explicit Player(TMainForm* m)
        : main(m), dice(m->DiceSet()), card(m->ScoreCard()),
          roll(Find<QPushButton>(dice, "ButRoll")) {
        for (int i = 0; i < NDice; ++i) {
            const std::string name = "CheckDice" + std::to_string(i + 1);
            box[i] = Find<QCheckBox>(dice, name.c_str());
        }
        InitGameRecording(rec);
    }

    // Rolls, first ticking exactly the dice (1-based) in keep unless it is a turn's first roll.
    void Roll(std::initializer_list<int> keep = {}) {
        const std::vector<int> before = ShownDice(dice);
        std::array<bool, NDice> kept{};
        if (ts.rollsLeft < NRollsPerTurn) {
            for (int d : keep) kept[d - 1] = true;
            ValueBag bag;
            for (int i = 0; i < NDice; ++i) {
                box[i]->setChecked(kept[i]);
                if (kept[i]) AddToBag(bag, before[i], 1);
            }
            Event e;
            e.aspect = Keeping;
            e.arg = RankFromValueBag(bag);
            ExtendGameRecording(rec, gs, total, e, ts);
            ts.phase = ToRoll;
            ts.dice = e.arg;
        }
        ASSERT_TRUE(roll->isEnabled());
        roll->click();
        const std::vector<int> after = ShownDice(dice);
        for (int i = 0; i < NDice; ++i) {
            if (kept[i]) {
                EXPECT_EQ(after[i], before[i]) << "kept die " << i + 1;
            }
            EXPECT_TRUE(after[i] >= 1 && after[i] <= 6);
        }
        ts.rollsLeft = std::uint8_t(ts.rollsLeft - 1);
        ts.phase = ToChoose;
        ts.dice = ShownBag(dice);
        CheckAfterRoll();
    }

    // Every roll rewrites all thirteen previews, used categories included, and enables
    // exactly the free categories.
    void CheckAfterRoll() {
        EXPECT_EQ(Text(Find<QLineEdit>(dice, "EditRollIndex")),
                  std::to_string(NRollsPerTurn - ts.rollsLeft));
        for (int c = 0; c < NCategories; ++c) {
            auto* b = Find<QPushButton>(card, ButtonNames[c]);
            EXPECT_EQ(Hint(b), ScoreHint(OfficialRules, gs, ts, Category(c))) << ButtonNames[c];
            EXPECT_EQ(b->isEnabled(), InSet(gs.free, c)) << ButtonNames[c];
        }
        for (QCheckBox* b : box) EXPECT_EQ(b->isEnabled(), ts.rollsLeft > 0);
    }

    Category FirstFree() const { return FirstCategoryIn(gs.free); }

    void Score(Category c) {
        Event e;
        e.aspect = Scoring;
        e.category = c;
        GameState next;
        ScoreCard delta;
        ApplyScoringEvent(OfficialRules, gs, ts, next, delta, e);
        ExtendGameRecording(rec, gs, total, e, ts);
        total += delta[GrandTotal];
        gs = next;
        ts = InitialTurnState;
        Find<QPushButton>(card, ButtonNames[c])->click();
        for (int k = 0; k < NCategories; ++k)
            EXPECT_FALSE(Find<QPushButton>(card, ButtonNames[k])->isEnabled());
        EXPECT_EQ(Text(Find<QLineEdit>(card, "EditGrandTotal")), Format("%*d", 4, total));
    }

    void ExpectRecordingMatches() const {
        const GameRecording& got = main->Recording();
        ASSERT_EQ(got.len, rec.len);
        for (int i = 0; i < rec.len; ++i) {
            const GameRecordingEntry& a = got.entry[i];
            const GameRecordingEntry& b = rec.entry[i];
            EXPECT_TRUE(EqualGameStates(a.gameState, b.gameState)) << "entry " << i;
            EXPECT_EQ(a.total, b.total) << "entry " << i;
            EXPECT_EQ(a.turnState.rollsLeft, b.turnState.rollsLeft) << "entry " << i;
            EXPECT_EQ(a.turnState.dice, b.turnState.dice) << "entry " << i;
            EXPECT_EQ(a.event.aspect, b.event.aspect) << "entry " << i;
            EXPECT_EQ(a.event.category, b.event.category) << "entry " << i;
            EXPECT_EQ(a.event.arg, b.event.arg) << "entry " << i;
        }
    }

    std::vector<std::string> ExpectedReport() const {
        std::vector<std::string> lines;
        WriteGameAnalysis(lines, rec, "You", OfficialRules, true, OptimalStrategy);
        return lines;
    }

    TMainForm* main;
    TDiceSetForm* dice;
    TScoreCardForm* card;
    QPushButton* roll;
    QCheckBox* box[NDice] = {};
    GameState gs = InitialGameState;
    TurnState ts = InitialTurnState;
    int total = 0;
    GameRecording rec;
};

class GameController : public ::testing::Test {
protected:
    void SetUp() override {
        dialogs.main = nullptr;
        main.reset(gametest::NewMainForm(folder, dialogs));
        dialogs.main = main.get();
        ASSERT_NE(main->ScoreCard(), nullptr);
        ASSERT_NE(main->DiceSet(), nullptr);
    }
    void TearDown() override {
        main.reset();
        gametest::ProcessDeletions();
    }

    std::vector<TGameRecForm*> RecordingWindows() const {
        gametest::ProcessDeletions();
        std::vector<TGameRecForm*> v;
        for (TGameRecForm* w : main->findChildren<TGameRecForm*>()) v.push_back(w);
        return v;
    }

    QPushButton* NewGameButton() const { return main->NewGameButton; }

    ProgramFolder folder;
    GameOverDialogs dialogs;
    std::unique_ptr<TMainForm> main;
};

// Thirteen turns: rolls with kept dice, all five dice kept once, scorings in the first free
// category; then the report, which must already stand when "Game Over!" shows.
void PlayWholeGame(Player& p, GameOverDialogs& dialogs) {
    for (int turn = 1; turn <= NTurnsPerGame; ++turn) {
        EXPECT_EQ(Text(Find<QLineEdit>(p.card, "EditTurnIndex")), std::to_string(turn));
        p.Roll();
        if (turn % 3 != 0) p.Roll({1, 2});
        if (turn % 3 == 1) p.Roll({1, 2, 3, 4, 5});
        if (turn == NTurnsPerGame) dialogs.ExpectInform();
        p.Score(p.FirstFree());
    }
}

}  // namespace

TEST_F(GameController, DemonicGameRunsFromFirstRollToGameOverAndItsReport) {
    auto* w1 = main->CurrentRecordingWindow();
    ASSERT_NE(w1, nullptr);
    EXPECT_EQ(w1->windowTitle().toStdString(), "Game Recording 1");
    EXPECT_EQ(w1->pos(), QPoint(337, 113));
    EXPECT_EQ(RecordingText(w1)[0], "Roll the dice to start your Quintor Proficiency Test.");
    EXPECT_EQ(main->DiceSet()->windowTitle().toStdString(), "Dice Set [Fair]");
    EXPECT_FALSE(NewGameButton()->isEnabled());
    EXPECT_EQ(NewGameButton()->text().toStdString(), "New Game");
    EXPECT_FALSE(main->NewGame1->isEnabled());

    main->Demonic1->trigger();
    EXPECT_EQ(main->DiceSet()->windowTitle().toStdString(), "Dice Set [Demonic]");
    EXPECT_TRUE(main->Demonic1->isChecked());
    EXPECT_FALSE(main->Fair1->isChecked());

    Player p(main.get());
    p.Roll();
    // The first roll starts the game.
    EXPECT_EQ(main->Phase(), gpGameInProgress);
    EXPECT_EQ(NewGameButton()->text().toStdString(), "Abort Game");
    EXPECT_EQ(Hint(NewGameButton()), "Abort and analyze current game");
    EXPECT_TRUE(NewGameButton()->isEnabled());
    EXPECT_EQ(main->NewGame1->text().toStdString(), "Abort Game");
    EXPECT_TRUE(main->NewGame1->isEnabled());
    EXPECT_EQ(RecordingText(w1), (std::vector<std::string>{
                                     "Game in progress.", "",
                                     "Game analysis will be shown here at end."}));
    p.Roll({1, 2});
    p.Roll({1, 2, 3, 4, 5});
    p.Score(p.FirstFree());
    // Between turns the dice stay, the boxes and the count are cleared.
    EXPECT_EQ(ShownBag(p.dice), p.rec.entry[p.rec.len - 1].turnState.dice);
    EXPECT_EQ(Text(Find<QLineEdit>(p.dice, "EditRollIndex")), "");
    for (QCheckBox* b : p.box) {
        EXPECT_FALSE(b->isChecked());
        EXPECT_FALSE(b->isEnabled());
    }
    EXPECT_EQ(main->CurrentAbstractState(),
              GameStateToString(p.gs) + Format("%4d", p.total) + "  ;3");

    // The rest of the game.
    for (int turn = 2; turn <= NTurnsPerGame; ++turn) {
        EXPECT_EQ(Text(Find<QLineEdit>(p.card, "EditTurnIndex")), std::to_string(turn));
        p.Roll();
        if (turn % 2 == 0) p.Roll({3});
        if (turn == NTurnsPerGame) dialogs.ExpectInform();
        p.Score(p.FirstFree());
    }
    EXPECT_EQ(main->Phase(), gpGameOver);
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::InformKind).back(), "Game Over!");
    p.ExpectRecordingMatches();
    const std::vector<std::string> report = p.ExpectedReport();
    EXPECT_EQ(RecordingText(w1), report);
    EXPECT_EQ(dialogs.shownAtGameOver, report);
    EXPECT_TRUE(w1->Unsaved);
    EXPECT_TRUE(Find<QPushButton>(w1, "SaveButton")->isEnabled());
    EXPECT_EQ(report[1], "Game Details and Analysis");
    // The totals line carries the final score under the player's column.
    const std::string totals = std::string(34, ' ') + Format("%5d", p.total);
    EXPECT_TRUE(std::any_of(report.begin(), report.end(), [&](const std::string& l) {
        return l.rfind(totals, 0) == 0;
    }));

    // After the game: New Game offered, nothing else acts.
    EXPECT_EQ(NewGameButton()->text().toStdString(), "New Game");
    EXPECT_EQ(Hint(NewGameButton()), "Start a new game");
    EXPECT_TRUE(NewGameButton()->isEnabled());
    EXPECT_FALSE(p.roll->isEnabled());
    for (const char* name : ButtonNames)
        EXPECT_FALSE(Find<QPushButton>(p.card, name)->isEnabled());

    // The demon is deterministic: the same play gives the same game again.
    NewGameButton()->click();
    Player q(main.get());
    q.Roll();
    EXPECT_EQ(ShownBag(q.dice), p.rec.entry[0].turnState.dice);
}

TEST_F(GameController, AngelicGameScoredAfterEveryFirstRollHasThirteenScorings) {
    main->Angelic1->trigger();
    EXPECT_EQ(main->DiceSet()->windowTitle().toStdString(), "Dice Set [Angelic]");
    Player p(main.get());
    for (int turn = 1; turn <= NTurnsPerGame; ++turn) {
        p.Roll();
        if (turn == NTurnsPerGame) dialogs.ExpectInform();
        p.Score(p.FirstFree());
    }
    EXPECT_EQ(main->Phase(), gpGameOver);
    ASSERT_EQ(p.rec.len, NTurnsPerGame);
    for (int i = 0; i < p.rec.len; ++i) EXPECT_EQ(p.rec.entry[i].event.aspect, Scoring);
    p.ExpectRecordingMatches();
    EXPECT_EQ(RecordingText(main->CurrentRecordingWindow()), p.ExpectedReport());
    EXPECT_EQ(dialogs.shownAtGameOver, p.ExpectedReport());
}

TEST_F(GameController, WholeGameWithKeepsMatchesItsRecordingAndReport) {
    Player p(main.get());
    PlayWholeGame(p, dialogs);
    p.ExpectRecordingMatches();
    EXPECT_EQ(RecordingText(main->CurrentRecordingWindow()), p.ExpectedReport());
    EXPECT_EQ(dialogs.shownAtGameOver, p.ExpectedReport());
}

TEST_F(GameController, AbortAsksFirstThenAnalysesThePartialGameWithoutGameOver) {
    Player p(main.get());
    p.Roll();
    p.Roll({2, 4});
    const std::string dice = main->DiceSet()->DiceText();
    const std::string state = main->CurrentAbstractState();
    auto* w1 = main->CurrentRecordingWindow();

    // Cancel: nothing changes.
    dialogs.ExpectAsk(false);
    NewGameButton()->click();
    EXPECT_EQ(main->Phase(), gpGameInProgress);
    EXPECT_EQ(main->DiceSet()->DiceText(), dice);
    EXPECT_EQ(main->CurrentAbstractState(), state);
    EXPECT_EQ(RecordingText(w1)[0], "Game in progress.");
    p.CheckAfterRoll();
    EXPECT_TRUE(p.roll->isEnabled());

    // OK: the analysis of the partial game (one keep), and no "Game Over!".
    dialogs.ExpectAsk(true);
    main->NewGame1->trigger();
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::AskKind),
              (std::vector<std::string>{"Abort and analyze current game?",
                                        "Abort and analyze current game?"}));
    EXPECT_EQ(main->Phase(), gpGameOver);
    p.ExpectRecordingMatches();
    EXPECT_EQ(RecordingText(w1), p.ExpectedReport());
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::InformKind).size(), 1u);   // the table message only
    EXPECT_TRUE(NewGameButton()->isEnabled());
    EXPECT_EQ(NewGameButton()->text().toStdString(), "New Game");
    EXPECT_FALSE(p.roll->isEnabled());
    for (QCheckBox* b : p.box) EXPECT_FALSE(b->isEnabled());

    // Closing now asks about the unsaved analysis.
    dialogs.ExpectAsk(false);
    EXPECT_FALSE(main->close());
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::AskKind).back(),
              "Discard 1 unsaved game recording(s), and exit?");

    // The next game gets window 2, 20 pixels further; window 1 stays.
    NewGameButton()->click();
    EXPECT_EQ(main->Phase(), gpGameNotStarted);
    auto* w2 = main->CurrentRecordingWindow();
    ASSERT_NE(w2, w1);
    EXPECT_EQ(w2->windowTitle().toStdString(), "Game Recording 2");
    EXPECT_EQ(w2->pos(), QPoint(357, 133));
    EXPECT_FALSE(w2->Unsaved);
    EXPECT_EQ(RecordingWindows().size(), 2u);
    EXPECT_EQ(main->Recording().len, 0);
    EXPECT_EQ(main->CurrentAbstractState(), "123456TFHSLQC;63-   0  ;3");
    EXPECT_EQ(main->DiceSet()->DiceText(), "");
    EXPECT_FALSE(NewGameButton()->isEnabled());
    try {
        main->NewGame();
        ADD_FAILURE() << "New Game before the first roll must fail its check";
    } catch (const CheckFailure& e) {
        EXPECT_STREQ(e.what(), "TMainForm.NewGame: GamePhase <> gpGameNotStarted FAILED");
    }

    Player q(main.get());
    q.Roll();
    dialogs.ExpectAsk(false);
    EXPECT_FALSE(main->close());
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::AskKind).back(),
              "Discard game in progress and 1 unsaved game recording(s), and exit?");
    EXPECT_EQ(main->UnsavedRecordingCount(), 1);

    // OK: the one question covered every window; the game windows then close without
    // refusing or asking again.
    dialogs.ExpectAsk(true);
    EXPECT_TRUE(main->close());
    EXPECT_TRUE(main->ScoreCard()->close());
    EXPECT_TRUE(main->DiceSet()->close());
    EXPECT_TRUE(w1->close());
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::AskKind).size(), 5u);
}

TEST_F(GameController, DiceMenuChangesTheSourceOfTheNextRollMidTurn) {
    Player p(main.get());
    p.Roll();
    main->Angelic1->trigger();
    EXPECT_EQ(main->DiceSet()->windowTitle().toStdString(), "Dice Set [Angelic]");
    EXPECT_TRUE(main->Angelic1->isChecked());

    // What the angel gives for the dice kept now.
    const std::vector<int> before = ShownDice(p.dice);
    ValueBag kept;
    AddToBag(kept, before[0], 1);
    TurnState t{p.ts.rollsLeft, ToRoll, RankFromValueBag(kept)};
    Event e;
    RollDice(AngelDice(), p.gs, t, e);
    const ValueList& values = ValueListTbl[e.arg].list;
    p.Roll({1});
    const std::vector<int> after = ShownDice(p.dice);
    for (int i = 1; i < NDice; ++i) EXPECT_EQ(after[i], values.val[i - 1]) << "die " << i + 1;

    // Keeping all five: a keeping of the five dice, nothing rolls, one roll used.
    main->Demonic1->trigger();
    EXPECT_EQ(main->DiceSet()->windowTitle().toStdString(), "Dice Set [Demonic]");
    p.Roll({1, 2, 3, 4, 5});
    EXPECT_EQ(ShownDice(p.dice), after);
    EXPECT_EQ(Text(Find<QLineEdit>(p.dice, "EditRollIndex")), "3");
    EXPECT_FALSE(p.roll->isEnabled());
    p.ExpectRecordingMatches();
    EXPECT_EQ(main->Recording().entry[1].event.arg, ShownBag(p.dice));
}

TEST_F(GameController, RecordingWindowClosedDuringAGameReturnsWithItsNumber) {
    Player p(main.get());
    p.Roll();
    auto* w1 = main->CurrentRecordingWindow();
    EXPECT_TRUE(w1->close());   // no analysis yet: no question
    EXPECT_EQ(main->CurrentRecordingWindow(), nullptr);
    EXPECT_TRUE(RecordingWindows().empty());
    EXPECT_EQ(main->UnsavedRecordingCount(), 0);

    p.Score(p.FirstFree());
    dialogs.ExpectAsk(true);
    NewGameButton()->click();
    auto* again = main->CurrentRecordingWindow();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->windowTitle().toStdString(), "Game Recording 1");
    EXPECT_EQ(again->pos(), QPoint(337, 113));
    EXPECT_EQ(RecordingText(again), p.ExpectedReport());
    EXPECT_EQ(main->UnsavedRecordingCount(), 1);

    NewGameButton()->click();
    EXPECT_EQ(main->CurrentRecordingWindow()->windowTitle().toStdString(), "Game Recording 2");

    // Closing the unsaved window 1 asks; Cancel keeps it, OK lets it go.
    dialogs.ExpectAsk(false);
    EXPECT_FALSE(again->close());
    EXPECT_EQ(main->UnsavedRecordingCount(), 1);
    dialogs.ExpectAsk(true);
    EXPECT_TRUE(again->close());
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::AskKind).back(), "Discard unsaved Game Recording 1?");
    EXPECT_EQ(RecordingWindows().size(), 1u);
    EXPECT_EQ(main->UnsavedRecordingCount(), 0);
    EXPECT_TRUE(main->close());   // nothing to ask about
}

TEST_F(GameController, AdvisorAndHintsFollowTheRunningGame) {
    main->NewAdvisorButton->click();
    std::vector<TAdvisorForm*> advisors;
    for (TAdvisorForm* a : main->findChildren<TAdvisorForm*>()) advisors.push_back(a);
    ASSERT_EQ(advisors.size(), 1u);
    TAdvisorForm* a = advisors[0];
    auto* edit = Find<QLineEdit>(a, "StateEdit");
    auto* advice = Find<QPlainTextEdit>(a, "txtAdvice");
    EXPECT_EQ(Text(edit), "123456TFHSLQC;63-   0  ;3");

    Player p(main.get());
    p.Roll();
    Find<QPushButton>(a, "UpdateButton")->click();
    EXPECT_EQ(Text(edit), "123456TFHSLQC;63-   0  " + main->DiceSet()->DiceText() + ";2");
    const std::vector<std::string> afterRoll = SplitLines(advice->toPlainText());
    ASSERT_FALSE(afterRoll.empty());
    EXPECT_NE(afterRoll[0].find(" options"), std::string::npos) << afterRoll[0];

    // Between turns: no dice and three rolls left, although the dice are still shown.
    p.Score(Chance);
    Find<QPushButton>(a, "UpdateButton")->click();
    EXPECT_EQ(Text(edit),
              GameStateToString(p.gs) + Format("%4d", p.total) + "  ;3");
    EXPECT_EQ(SplitLines(advice->toPlainText())[0], "252 options");
    EXPECT_EQ(main->DiceSet()->DiceText().size(), 5u);

    // The hint switch reaches every game control and back.
    auto* rollButton = Find<QPushButton>(p.dice, "ButRoll");
    auto* aces = Find<QLineEdit>(p.card, "EditAces");
    EXPECT_FALSE(HintShown(rollButton));
    EXPECT_FALSE(HintShown(aces));
    main->HintsButton->click();
    EXPECT_TRUE(main->Hints1->isChecked());
    EXPECT_TRUE(HintShown(rollButton));
    EXPECT_TRUE(HintShown(aces));
    EXPECT_TRUE(HintShown(main->HintsButton));
    main->HintsButton->click();
    EXPECT_FALSE(HintShown(rollButton));
    EXPECT_FALSE(HintShown(Find<QPushButton>(p.card, "ButQuintor")));
    EXPECT_EQ(main->HintsButton->text().toStdString(), "Enable Hints");
}

TEST_F(GameController, WindowReportEqualsTheConsoleReportForTheSameRollsAndChoices) {
    main->Demonic1->trigger();
    Player p(main.get());
    PlayWholeGame(p, dialogs);
    const std::vector<std::string> window = RecordingText(main->CurrentRecordingWindow());

    // The demon rolls the same dice for the same positions, so the console game replays the
    // window game from its choices alone.
    std::string input;
    for (int i = 0; i < p.rec.len; ++i) {
        const Event& e = p.rec.entry[i].event;
        if (e.aspect == Keeping)
            input += "k " + ValueBagToString(ValueBagTbl[e.arg].bag, true) + "\n";
        else
            input += std::string("s ") + CategoryChar(e.category) + "\n";
    }
    std::istringstream in(input);
    std::ostringstream out, err;
    ASSERT_EQ(cli::RunQuintor({"play", "--dice", "demon", "--location", folder.Root() + "/gstbl"},
                              in, out, err),
              cli::ExitOk)
        << err.str();
    std::vector<std::string> console;
    std::istringstream lines(out.str());
    bool report = false;
    for (std::string l; std::getline(lines, l);) {
        if (report) console.push_back(l);
        if (l == "Game Over!") report = true;
    }
    ASSERT_TRUE(report) << out.str();
    EXPECT_EQ(window, console);
}
