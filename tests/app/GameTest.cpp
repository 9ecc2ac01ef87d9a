// Whole games through the real windows: the test clicks Roll, the keep boxes and the score
// buttons, keeps its own account of the game with the concepts' rules, and compares the score
// card, hints, recording windows and report with it, and the report with the console's.
#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QPushButton>

#include "AppTestSupport.h"
#include "app/advisor.h"
#include "app/diceset.h"
#include "app/scorecards.h"
#include "cli/Cli.h"
#include "play/QuintorGameSession.h"

using namespace quintor;

namespace {

const char* const Buttons[NCategories] = {
    "ButAces",      "ButTwos",          "ButThrees",        "ButFours",   "ButFives",
    "ButSixes",     "ButThreeOfAKind",  "ButFourOfAkind",   "ButFullHouse",
    "ButSmallStraight", "ButLargeStraight", "ButQuintor",   "ButChance"};
const char* const Rows[] = {
    "EditAces",      "EditTwos",          "EditThrees",        "EditFours",   "EditFives",
    "EditSixes",     "EditThreeOfAKind",  "EditFourOfAKind",   "EditFullHouse",
    "EditSmallStraight", "EditLargeStraight", "EditQuintor",   "EditChance",
    "EditUSBonus",   "EditEQBonus",       "EditGrandTotal"};
const std::string Start = "123456TFHSLQC;63-   0  ;3";

std::vector<int> ShownDice(const QWidget* dice) {
    std::vector<int> v;
    for (int i = 1; i <= NDice; ++i)
        v.push_back(QString::fromStdString(Field(dice, "EditDice" + std::to_string(i))).trimmed().toInt());
    return v;
}

ValueBagRank BagOf(const std::vector<int>& values) {
    ValueBag bag;
    for (int v : values) AddToBag(bag, v, 1);
    return RankFromValueBag(bag);
}

// Plays through the windows and keeps its own account of the game.
struct Player {
    explicit Player(Trainer& t) : main(*t.main), dice(t.main->DiceSet()), card(t.main->ScoreCard()) {
        InitGameRecording(rec);
    }

    // Rolls, first keeping exactly the dice (1-based) in keep unless it is the turn's first roll.
    void Roll(std::vector<int> keep = {}) {
        const std::vector<int> before = ShownDice(dice);
        if (ts.rollsLeft < NRollsPerTurn) {
            std::vector<int> kept;
            for (int i = 1; i <= NDice; ++i) {
                const bool k = std::count(keep.begin(), keep.end(), i) > 0;
                Find<QCheckBox>(dice, "CheckDice" + std::to_string(i))->setChecked(k);
                if (k) kept.push_back(before[std::size_t(i - 1)]);
            }
            Event e;
            e.aspect = Keeping;
            e.arg = BagOf(kept);
            ExtendGameRecording(rec, gs, total, e, ts);
            ApplyTurnEvent(ts, e);
        }
        Find<QPushButton>(dice, "ButRoll")->click();
        const std::vector<int> after = ShownDice(dice);
        for (int d : keep) EXPECT_EQ(after[std::size_t(d - 1)], before[std::size_t(d - 1)]) << "kept die " << d;
        ts = {std::uint8_t(ts.rollsLeft - 1), ToChoose, BagOf(after)};
        EXPECT_EQ(Field(dice, "EditRollIndex"), std::to_string(NRollsPerTurn - ts.rollsLeft));
        // Every roll rewrites all thirteen previews, used categories included, and enables
        // exactly the free categories.
        for (int c = 0; c < NCategories; ++c) {
            auto* b = Find<QPushButton>(card, Buttons[c]);
            EXPECT_EQ(b->toolTip().toStdString(), ScoreHint(OfficialRules, gs, ts, Category(c))) << c;
            EXPECT_EQ(b->isEnabled(), InSet(gs.free, c)) << c;
        }
    }

    void Score(Category c) {
        Event e;
        e.aspect = Scoring;
        e.category = c;
        GameState next;
        ScoreCard delta;
        ApplyScoringEvent(OfficialRules, gs, ts, next, delta, e);
        ExtendGameRecording(rec, gs, total, e, ts);
        AddScoreCards(sum, delta);
        total += delta[GrandTotal];
        gs = next;
        ts = InitialTurnState;
        Find<QPushButton>(card, Buttons[c])->click();
        // The card shows the used rows and the sums; between turns the count and marks clear.
        int upper = 0;
        for (int r = 0; r < 16; ++r) {
            const bool used = r >= NCategories || !InSet(gs.free, r);
            EXPECT_EQ(Field(card, Rows[r]), used ? Format("%4d", sum[r]) : "") << Rows[r];
            if (r < 6) upper += sum[r];
        }
        EXPECT_EQ(Field(card, "EditUSTotal"), Format("%4d", upper));
        for (int k = 0; k < NCategories; ++k) EXPECT_FALSE(Find<QPushButton>(card, Buttons[k])->isEnabled());
        if (CategorySetSize(gs.free) == 0) return;
        EXPECT_EQ(Field(card, "EditTurnIndex"), std::to_string(NTurnsPerGame + 1 - CategorySetSize(gs.free)));
        EXPECT_EQ(Field(dice, "EditRollIndex"), "");
        for (QCheckBox* b : dice->findChildren<QCheckBox*>()) EXPECT_FALSE(b->isChecked() || b->isEnabled());
        EXPECT_EQ(main.CurrentAbstractState(), GameStateToString(gs) + Format("%4d", total) + "  ;3");
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
    GameRecording rec;
};

}  // namespace

TEST(Game, DemonicAndAngelicGamesMatchTheirOwnAccountAndTheConsoleReport) {
    for (const bool demon : {true, false}) {
        SCOPED_TRACE(demon ? "demon" : "angel");
        Trainer t;
        TMainForm& m = *t.main;
        TGameRecForm* w = m.CurrentRecordingWindow();
        EXPECT_EQ(w->windowTitle(), "Game Recording 1");
        EXPECT_EQ(Lines(w, "txtGameRec")[0], "Roll the dice to start your Quintor Proficiency Test.");
        EXPECT_EQ(m.DiceSet()->windowTitle(), "Dice Set [Fair]");
        EXPECT_FALSE(m.NewGameButton->isEnabled());
        (demon ? m.Demonic1 : m.Angelic1)->trigger();
        EXPECT_EQ(m.DiceSet()->windowTitle(), demon ? "Dice Set [Demonic]" : "Dice Set [Angelic]");
        EXPECT_FALSE(m.Fair1->isChecked());

        // Thirteen turns with kept dice, all five kept at times, each scored in the first free
        // category; the report must stand when "Game Over!" shows.
        Player p(t);
        for (int turn = 1; turn <= NTurnsPerGame; ++turn) {
            p.Roll();
            if (turn == 1) {
                EXPECT_EQ(m.Phase(), gpGameInProgress);
                EXPECT_EQ(m.NewGameButton->text(), "Abort Game");
                EXPECT_EQ(m.NewGameButton->toolTip(), "Abort and analyze current game");
                EXPECT_EQ(m.NewGame1->text(), "Abort Game");
                EXPECT_EQ(Lines(w, "txtGameRec")[0], "Game in progress.");
            }
            if (turn % 3 != 0) p.Roll({1, 2});
            if (turn % 3 == 1) p.Roll({1, 2, 3, 4, 5});
            if (turn == NTurnsPerGame) t.dialogs.ExpectInform();
            p.Score(FirstCategoryIn(p.gs.free));
        }
        EXPECT_EQ(t.dialogs.shown.back().text, "Game Over!");
        EXPECT_EQ(m.Phase(), gpGameOver);
        const std::vector<std::string> report = Lines(w, "txtGameRec");
        EXPECT_EQ(report, p.Report());
        EXPECT_EQ(t.shownAtGameOver, report);
        EXPECT_TRUE(w->Unsaved);
        EXPECT_EQ(m.NewGameButton->text(), "New Game");
        EXPECT_EQ(m.NewGameButton->toolTip(), "Start a new game");
        EXPECT_TRUE(m.NewGameButton->isEnabled());
        EXPECT_FALSE(Find<QPushButton>(p.dice, "ButRoll")->isEnabled());

        // The devils roll the same dice for the same positions, so the console replays the
        // game from its choices alone and must print the same report.
        std::string input;
        for (int i = 0; i < p.rec.len; ++i) {
            const Event& e = p.rec.entry[i].event;
            input += e.aspect == Keeping ? "k " + ValueBagToString(ValueBagTbl[e.arg].bag, true)
                                         : std::string("s ") + CategoryChar(e.category);
            input += "\n";
        }
        std::istringstream in(input);
        std::ostringstream out, err;
        ASSERT_EQ(cli::RunQuintor({"play", "--dice", demon ? "demon" : "angel", "--location",
                                   t.folder.Root() + "/gstbl"}, in, out, err), cli::ExitOk)
            << err.str();
        const std::string text = out.str();
        const std::size_t over = text.find("Game Over!\n");
        ASSERT_NE(over, std::string::npos) << text;
        std::istringstream console(text.substr(over + 11));
        for (const std::string& l : report) {
            std::string c;
            std::getline(console, c);
            EXPECT_EQ(c, l);
        }
        EXPECT_TRUE(console.peek() == EOF);
    }
}

TEST(Game, AbortAsksCancelKeepsAllAndOkAnalysesThePartialGame) {
    Trainer t;
    Player p(t);
    p.Roll();
    p.Roll({2, 4});
    const std::string dice = p.dice->DiceText(), state = t.main->CurrentAbstractState();
    TGameRecForm* w1 = t.main->CurrentRecordingWindow();
    t.dialogs.ExpectAsk(false);
    t.main->NewGameButton->click();
    EXPECT_EQ(t.main->Phase(), gpGameInProgress);
    EXPECT_EQ(p.dice->DiceText(), dice);
    EXPECT_EQ(t.main->CurrentAbstractState(), state);
    EXPECT_EQ(Lines(w1, "txtGameRec")[0], "Game in progress.");
    EXPECT_TRUE(Find<QPushButton>(p.dice, "ButRoll")->isEnabled());

    t.dialogs.ExpectAsk(true);
    t.main->NewGame1->trigger();
    EXPECT_EQ(t.main->Phase(), gpGameOver);
    EXPECT_EQ(Lines(w1, "txtGameRec"), p.Report());
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::InformKind).size(), 1u);   // no "Game Over!"
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::AskKind),
              std::vector<std::string>(2, "Abort and analyze current game?"));
    EXPECT_FALSE(Find<QPushButton>(p.dice, "ButRoll")->isEnabled());

    // The next game gets window 2, 20 pixels further on; window 1 stays.
    t.main->NewGameButton->click();
    TGameRecForm* w2 = t.main->CurrentRecordingWindow();
    ASSERT_NE(w2, w1);
    EXPECT_EQ(w2->windowTitle(), "Game Recording 2");
    EXPECT_EQ(w2->pos(), w1->pos() + QPoint(20, 20));
    EXPECT_TRUE(w1->isVisible());
    EXPECT_EQ(t.main->CurrentAbstractState(), Start);
    EXPECT_EQ(p.dice->DiceText(), "");
}

TEST(Game, DiceMenuMidTurnRollsWithTheNewSource) {
    Trainer t;
    Player p(t);
    p.Roll();
    t.main->Angelic1->trigger();
    EXPECT_EQ(p.dice->windowTitle(), "Dice Set [Angelic]");
    // What the angel gives for the first die kept.
    TurnState kept{p.ts.rollsLeft, ToRoll, BagOf({ShownDice(p.dice)[0]})};
    Event e;
    RollDice(AngelDice(), p.gs, kept, e);
    p.Roll({1});
    const std::vector<int> after = ShownDice(p.dice);
    for (int i = 1; i < NDice; ++i) EXPECT_EQ(after[std::size_t(i)], ValueListTbl[e.arg].list.val[i - 1]) << i;
}

TEST(Game, RecordingWindowClosedInAGameReturnsWithItsNumberSavesAndAsks) {
    Trainer t;
    Player p(t);
    p.Roll();
    const QPoint place = t.main->CurrentRecordingWindow()->pos();
    EXPECT_TRUE(t.main->CurrentRecordingWindow()->close());   // no analysis yet: no question
    ProcessDeletions();
    EXPECT_EQ(t.main->CurrentRecordingWindow(), nullptr);
    p.Score(Chance);
    t.dialogs.ExpectAsk(true);
    t.main->NewGameButton->click();
    TGameRecForm* w = t.main->CurrentRecordingWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Game Recording 1");
    EXPECT_EQ(w->pos(), place);
    EXPECT_EQ(Lines(w, "txtGameRec"), p.Report());

    // Saved to a.txt, then b.txt: lines end in CR LF; the caption names the last file.
    std::string expected;
    for (const std::string& l : p.Report()) expected += l + "\r\n";
    auto* save = Find<QPushButton>(w, "SaveButton");
    t.dialogs.ExpectSaveFile("");   // Cancel
    save->click();
    EXPECT_TRUE(w->Unsaved);
    EXPECT_EQ(t.dialogs.shown.back().text, "Save Game Recording in Text File: ");
    for (const char* name : {"a.txt", "b.txt"}) {
        t.dialogs.ExpectSaveFile(t.folder.Root() + "/" + name);
        save->click();
        EXPECT_EQ(ReadWholeFile(t.folder.Root() + "/" + name), expected);
        EXPECT_EQ(w->windowTitle().toStdString(), std::string("Game Recording 1 [") + name + "]");
    }
    EXPECT_FALSE(w->Unsaved);
    EXPECT_EQ(t.main->UnsavedRecordingCount(), 0);

    // Game 2 aborted: closing its unsaved window asks; Cancel keeps it, OK lets it go.
    t.main->NewGameButton->click();
    Player(t).Roll();
    t.dialogs.ExpectAsk(true);
    t.main->NewGameButton->click();
    TGameRecForm* w2 = t.main->CurrentRecordingWindow();
    t.dialogs.ExpectAsk(false);
    EXPECT_FALSE(w2->close());
    EXPECT_EQ(t.main->UnsavedRecordingCount(), 1);
    t.dialogs.ExpectAsk(true);
    EXPECT_TRUE(w2->close());
    EXPECT_EQ(t.dialogs.shown.back().text, "Discard unsaved Game Recording 2?");
    ProcessDeletions();
    EXPECT_EQ(t.main->UnsavedRecordingCount(), 0);
    EXPECT_TRUE(w->close());   // saved: no question
}

TEST(Game, AdvisorListsTheOptionsReportsErrorsAndFollowsTheGame) {
    Trainer t;
    t.main->NewAdvisorButton->click();
    auto* a = t.main->findChild<TAdvisorForm*>();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->windowTitle(), "Optimal Solitaire Quintor Advisor");
    EXPECT_EQ(Field(a, "StateEdit"), Start);
    const std::vector<std::string> help = Lines(a, "txtAdvice");
    EXPECT_EQ(help.size(), 34u);
    EXPECT_EQ(help[0], "Enter an abstract Quitnor state and click Analyze.");
    auto analyze = [a](const std::string& state) {
        a->Init(state);
        Find<QPushButton>(a, "AnalyzeButton")->click();
        return Lines(a, "txtAdvice");
    };
    EXPECT_EQ(analyze(Start).size(), 253u);
    EXPECT_EQ(Lines(a, "txtAdvice")[0], "252 options");
    EXPECT_EQ(analyze("123456TFHSLQC;63-   0  56666;2")[0], "23 options");
    EXPECT_EQ(analyze("123456TFHSLQC;63-   0  13254;2")[0], "45 options");
    // The four-line report with the caret under the fault; the edit keeps the blanks.
    EXPECT_EQ(analyze("  123456TFHSLQC;64-   0  ;3 "),
              (std::vector<std::string>{"Error in Abstract Quintor State at position 16",
                                        "123456TFHSLQC;64-   0  ;3", std::string(15, ' ') + "^",
                                        "Upper Section Need > 63"}));
    EXPECT_EQ(Field(a, "StateEdit"), "  123456TFHSLQC;64-   0  ;3 ");

    // Update takes the running game's state: the rolled dice, then between turns none.
    Player p(t);
    p.Roll();
    auto* update = Find<QPushButton>(a, "UpdateButton");
    update->click();
    EXPECT_EQ(Field(a, "StateEdit"), "123456TFHSLQC;63-   0  " + p.dice->DiceText() + ";2");
    EXPECT_NE(Lines(a, "txtAdvice")[0].find(" options"), std::string::npos);
    p.Score(Chance);
    update->click();
    EXPECT_EQ(Field(a, "StateEdit"), GameStateToString(p.gs) + Format("%4d", p.total) + "  ;3");
    EXPECT_EQ(Lines(a, "txtAdvice")[0], "252 options");
}
