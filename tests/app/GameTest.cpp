// Games through the real windows: the test clicks Roll, the keep boxes and the score buttons,
// keeps its own account of the game with the concepts' rules and compares the windows with it.
#include <algorithm>

#include <QCheckBox>
#include <QLabel>

#include "AppTestSupport.h"
#include "app/advisor.h"
#include "app/gameanalysis.h"
#include "cli/Cli.h"
#include "play/QuintorGameSession.h"

using namespace quintor;

namespace {

const std::string Start = "123456TFHSLQC;63-   0  ;3";

// Plays through the windows and keeps its own account of the game.
struct Player {
    explicit Player(Trainer& t) : main(*t.main), dice(main.DiceSet()), card(main.ScoreCard()) {}

    // Rolls; after the turn's first roll it first keeps the dice marked '1' in keep (die 1..5).
    void Roll(const std::string& keep = "") {
        const std::vector<int> before = ShownDice(dice);
        std::vector<int> kept;
        if (ts.rollsLeft < NRollsPerTurn) {
            for (std::size_t i = 0; i < NDice; ++i) {
                const bool k = i < keep.size() && keep[i] == '1';
                Find<QCheckBox>(dice, "CheckDice" + std::to_string(i + 1))->setChecked(k);
                if (k) kept.push_back(before[i]);
            }
            const Event e{.aspect = Keeping, .arg = BagOf(kept)};
            ExtendGameRecording(rec, gs, total, e, ts);
            ApplyTurnEvent(ts, e);
        }
        Find<QPushButton>(dice, "ButRoll")->click();
        ts = {std::uint8_t(ts.rollsLeft - 1), ToChoose, BagOf(ShownDice(dice))};
        EXPECT_EQ(Field(dice, "EditRollIndex"), std::to_string(NRollsPerTurn - ts.rollsLeft));
        // Every roll rewrites all thirteen previews, used categories included, and enables
        // exactly the free categories.
        for (int c = 0; c < NCategories; ++c) {
            auto* b = Find<QPushButton>(card, ScoreButtons[c]);
            EXPECT_EQ(b->toolTip().toStdString(), ScoreHint(OfficialRules, gs, ts, Category(c)));
            EXPECT_EQ(b->isEnabled(), InSet(gs.free, c)) << ScoreButtons[c];
        }
    }

    void Score(Category c) {
        Event e{.aspect = Scoring, .category = c};
        GameState next;
        ScoreCard delta;
        ApplyScoringEvent(OfficialRules, gs, ts, next, delta, e);
        ExtendGameRecording(rec, gs, total, e, ts);
        AddScoreCards(sum, delta);
        total += delta[GrandTotal];
        gs = next;
        ts = InitialTurnState;
        Find<QPushButton>(card, ScoreButtons[c])->click();
        // The card shows the used rows and the sums; all buttons are off until the next roll.
        int upper = 0;
        for (int r = 0; r <= GrandTotal; ++r) {
            const bool shown = r >= NCategories || !InSet(gs.free, r);
            EXPECT_EQ(Field(card, ScoreRows[r]), shown ? Format("%4d", sum[r]) : "") << ScoreRows[r];
            upper += r < 6 ? sum[r] : 0;
            EXPECT_FALSE(r < NCategories && Find<QWidget>(card, ScoreButtons[r])->isEnabled());
        }
        EXPECT_EQ(Field(card, "EditUSTotal"), Format("%4d", upper));
        if (CategorySetSize(gs.free) == 0) return;
        // The next turn: its number, the roll count and keep boxes cleared, no dice in the state.
        EXPECT_EQ(Field(card, "EditTurnIndex"),
                  std::to_string(NTurnsPerGame + 1 - CategorySetSize(gs.free)));
        EXPECT_EQ(Field(dice, "EditRollIndex"), "");
        for (QCheckBox* b : dice->findChildren<QCheckBox*>())
            EXPECT_FALSE(b->isChecked() || b->isEnabled());
        EXPECT_EQ(main.CurrentAbstractState(),
                  GameStateToString(gs) + Format("%4d", total) + "  ;3");
    }

    std::vector<std::string> Report() const {
        std::vector<std::string> lines;
        WriteGameAnalysis(lines, rec, "You", OfficialRules, true, OptimalStrategy);
        return lines;
    }

    TMainForm& main;
    TDiceSetForm* dice;
    TScoreCardForm* card;
    GameState gs = InitialGameState;
    TurnState ts = InitialTurnState;
    int total = 0;
    ScoreCard sum;
    GameRecording rec;   // empty
};

}  // namespace

TEST(Game, DemonicAndAngelicGamesMatchTheirOwnAccountAndTheConsoleReport) {
    for (const auto& [devil, item] : {std::pair<std::string, std::string>{"demon", "Demonic"},
                                      {"angel", "Angelic"}}) {
        SCOPED_TRACE(devil);
        Trainer t;
        TMainForm& m = *t.main;
        TGameRecForm* w = m.CurrentRecordingWindow();
        EXPECT_EQ(w->Lines()[0], "Roll the dice to start your Quintor Proficiency Test.");
        Find<QAction>(&m, item + "1")->trigger();
        EXPECT_EQ(m.DiceSet()->windowTitle().toStdString(), "Dice Set [" + item + "]");

        // Thirteen turns with kept dice, all five kept at times, each scored in the first free
        // category; the report must stand when "Game Over!" shows.
        Player p(t);
        for (int turn = 1; turn <= NTurnsPerGame; ++turn) {
            p.Roll();
            EXPECT_EQ(m.NewGameButton->text(), "Abort Game");
            EXPECT_EQ(m.NewGame1->toolTip(), "Abort and analyze current game");
            EXPECT_EQ(w->Lines()[0], "Game in progress.");
            if (turn % 3 != 0) p.Roll("11000");
            if (turn % 3 == 1) p.Roll("11111");
            if (turn == NTurnsPerGame) t.dialogs.ExpectInform();
            p.Score(FirstCategoryIn(p.gs.free));
        }
        const std::vector<std::string> report = w->Lines();
        EXPECT_EQ(report, p.Report());
        EXPECT_EQ(t.shownAtGameOver, report);
        EXPECT_TRUE(w->Unsaved);
        EXPECT_EQ(m.NewGameButton->text(), "New Game");
        EXPECT_EQ(m.NewGame1->toolTip(), "Start a new game");
        EXPECT_TRUE(m.NewGameButton->isEnabled());
        EXPECT_FALSE(Find<QPushButton>(p.dice, "ButRoll")->isEnabled());

        // The devils roll the same dice for the same positions, so the console replays the
        // game from its choices alone and must print the same report.
        std::string input, expected;
        for (int i = 0; i < p.rec.len; ++i) {
            const Event& e = p.rec.entry[i].event;
            input += e.aspect == Keeping ? "k " + ValueBagToString(ValueBagTbl[e.arg].bag, true)
                                         : std::string("s ") + CategoryChar(e.category);
            input += "\n";
        }
        for (const std::string& l : report) expected += l + "\n";
        std::istringstream in(input);
        std::ostringstream out, err;
        const std::vector<std::string> args = {"play", "--dice", devil, "--location",
                                               t.folder.Root() + "/gstbl"};
        ASSERT_EQ(cli::RunQuintor(args, in, out, err), cli::ExitOk) << err.str();
        const std::string shown = out.str().substr(out.str().find("Game Over!\n") + 11);
        const std::size_t block = shown.find("\nLuck and Skill\n");
        EXPECT_EQ(shown.substr(0, block), expected) << out.str();
        // The console's Luck and Skill lines are the analysis window's (the console left the
        // distribution beside the tables, so the window has it at once).
        Find<QPushButton>(w, "AnalysisButton")->click();
        auto* f = m.findChild<TGameAnalysisForm*>();
        ASSERT_NE(f, nullptr);
        const QString pct = f->LabelPercentile->text();
        EXPECT_EQ(shown.substr(block), "\nLuck and Skill\n==== === =====\n\n" +
                                           f->LabelSplit->text().toStdString() + "\n" +
                                           pct.left(pct.indexOf('\n')).toStdString() + "\n");
        delete f;
    }
}

// A game watched by the advisor, with a change of dice mid-turn, aborted; its closed and
// reopened recording window, saving, the next game's window and the discard question.
TEST(Game, AdvisorAbortRecordingWindowsAndSaving) {
    Trainer t;
    TMainForm& m = *t.main;
    m.NewAdvisorButton->click();
    auto* a = m.findChild<TAdvisorForm*>();
    ASSERT_NE(a, nullptr);
    auto* text = Find<QPlainTextEdit>(a, "txtAdvice");
    auto firstLine = [text] { return text->toPlainText().section('\n', 0, 0).toStdString(); };
    auto analyze = [a, text](const std::string& state) {
        a->Init(state);
        Find<QPushButton>(a, "AnalyzeButton")->click();
        return text->toPlainText().toStdString();
    };
    EXPECT_EQ(Field(a, "StateEdit"), Start);
    EXPECT_EQ(firstLine(), "Enter an abstract Quitnor state and click Analyze.");
    const std::string rolls = analyze(Start);
    EXPECT_EQ(std::count(rolls.begin(), rolls.end(), '\n'), 252);
    EXPECT_EQ(firstLine(), "252 options");
    analyze("123456TFHSLQC;63-   0  56666;2");
    EXPECT_EQ(firstLine(), "23 options");
    analyze("123456TFHSLQC;63-   0  13254;2");
    EXPECT_EQ(firstLine(), "45 options");
    // The four-line report with the caret under the fault; the edit keeps the blanks.
    EXPECT_EQ(analyze("  123456TFHSLQC;64-   0  ;3 "),
              "Error in Abstract Quintor State at position 16\n123456TFHSLQC;64-   0  ;3\n" +
                  std::string(15, ' ') + "^\nUpper Section Need > 63");
    EXPECT_EQ(Field(a, "StateEdit"), "  123456TFHSLQC;64-   0  ;3 ");

    // Update takes the running game's state with its rolled dice.
    Player p(t);
    p.Roll();
    Find<QPushButton>(a, "UpdateButton")->click();
    EXPECT_EQ(Field(a, "StateEdit"), "123456TFHSLQC;63-   0  " + p.dice->DiceText() + ";2");
    EXPECT_NE(firstLine().find(" options"), std::string::npos);

    // The Dice menu mid-turn: the next roll is the angel's for the die kept.
    m.Angelic1->trigger();
    EXPECT_EQ(p.dice->windowTitle(), "Dice Set [Angelic]");
    Event e;
    RollDice(AngelDice(), p.gs, {p.ts.rollsLeft, ToRoll, BagOf({ShownDice(p.dice)[0]})}, e);
    p.Roll("10000");
    for (std::size_t i = 1; i < NDice; ++i)
        EXPECT_EQ(ShownDice(p.dice)[i], ValueListTbl[e.arg].list.val[i - 1]) << "die " << i + 1;

    // Cancel keeps everything; closing the window without an analysis asks nothing.
    const std::string state = m.CurrentAbstractState();
    TGameRecForm* w = m.CurrentRecordingWindow();
    const QPoint place = w->pos();
    t.dialogs.ExpectAsk(false);
    m.NewGameButton->click();
    EXPECT_EQ(m.CurrentAbstractState(), state);
    EXPECT_TRUE(Find<QPushButton>(p.dice, "ButRoll")->isEnabled());
    EXPECT_TRUE(w->close());
    EXPECT_EQ(m.CurrentRecordingWindow(), nullptr);

    // OK analyses the partial game, without "Game Over!", in window 1 again.
    t.dialogs.ExpectAsk(true);
    m.NewGame1->trigger();
    w = m.CurrentRecordingWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Game Recording 1");
    EXPECT_EQ(w->pos(), place);
    EXPECT_EQ(w->Lines(), p.Report());
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::InformKind).size(), 1u);   // no "Game Over!"
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::AskKind),
              std::vector<std::string>(2, "Abort and analyze current game?"));

    // Saved to a.txt, then b.txt: lines end in CR LF; the caption names the last file.
    std::string expected;
    for (const std::string& l : p.Report()) expected += l + "\r\n";
    for (const std::string name : {"a.txt", "b.txt"}) {
        t.dialogs.ExpectSaveFile(t.folder.Root() + "/" + name);
        Find<QPushButton>(w, "SaveButton")->click();
        EXPECT_EQ(t.dialogs.Last(), "Save Game Recording in Text File: ");
        EXPECT_EQ(ReadWholeFile(t.folder.Root() + "/" + name), expected);
        EXPECT_EQ(w->windowTitle().toStdString(), "Game Recording 1 [" + name + "]");
    }

    // The next game gets window 2, 20 pixels further on; aborted, closing it asks.
    m.NewGameButton->click();
    TGameRecForm* w2 = m.CurrentRecordingWindow();
    EXPECT_EQ(w2->windowTitle(), "Game Recording 2");
    EXPECT_EQ(w2->pos(), place + QPoint(20, 20));
    EXPECT_EQ(m.CurrentAbstractState(), Start);
    EXPECT_EQ(p.dice->DiceText(), "");
    Player q(t);   // between its turns the advisor's Update takes no dice
    q.Roll();
    q.Score(Chance);
    Find<QPushButton>(a, "UpdateButton")->click();
    EXPECT_EQ(Field(a, "StateEdit"), GameStateToString(q.gs) + Format("%4d", q.total) + "  ;3");
    EXPECT_EQ(firstLine(), "252 options");
    t.dialogs.ExpectAsk(true);
    m.NewGameButton->click();
    t.dialogs.ExpectAsk(false);
    EXPECT_FALSE(w2->close());
    t.dialogs.ExpectAsk(true);
    EXPECT_TRUE(w2->close());
    EXPECT_EQ(t.dialogs.Last(), "Discard unsaved Game Recording 2?");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);   // the closed window
    EXPECT_EQ(m.UnsavedRecordingCount(), 0);
    EXPECT_TRUE(w->close());   // saved: no question
}
