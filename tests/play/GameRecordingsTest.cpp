// The recording of a game and its report, and the score previews of a session.
#include <gtest/gtest.h>

#include <cmath>

#include "PlayTestSupport.h"
#include "engine/QuintorStrategyAnalysis.h"
#include "play/QuintorGameSession.h"

namespace quintor {
namespace {

GameState OnlyFree(Category c) { GameState g; MakeGameState(g, 1u << c, 0, false); return g; }
std::vector<std::string> Report(const GameRecording& rec, bool analysis) {
    std::vector<std::string> lines;
    WriteGameAnalysis(lines, rec, "You", OfficialRules, analysis, OptimalStrategy);
    return lines;
}
std::vector<std::string> WithCard(std::vector<std::string> l, const ScoreCard& card) { PrintScoreCard(l, card); return l; }

// The options of a position, best first, and the first keeping after the best whose loss lies in
// [lo, hi): keepings only, so that the report's score comes from the recorded scorings alone.
EList Options(const GameState& g, int total, const TurnState& t) {
    EList list;
    ListChoiceOptions(list, OptimalStrategy, g, total, t), SortEList(list);
    return list;
}
const EListEntry& KeepingWithLoss(const EList& list, double lo, double hi) {
    for (int i = 1; i < list.len; ++i) {
        const double d = list.entry[0].expected - list.entry[i].expected;
        if (list.entry[i].event.aspect == Keeping && d >= lo && d < hi) return list.entry[i];
    }
    ADD_FAILURE() << "no option with a loss in " << lo << ".." << hi;
    return list.entry[0];
}

std::string Text(const Event& e) { return EventToString(e, false, false) + " "; }
std::string Num(double v) { return Format("%7.2f", v); }
const std::string Rule = "-- ----------------- --- -------  -----", AnalysisRule = Rule + "  ------ --  -----  ------ --  -----";
const std::string Blank34(34, ' '), Blank29(29, ' ');

TEST(GameRecordings, ExtendChecksAndTheReportsColumnsDeltaClassesSummaryAndDeviations) {
    const GameState gsA = InitialGameState, gsQ = OnlyFree(QuintorCat), gsC = OnlyFree(Chance);
    const TurnState tsA{2, ToChoose, Bag({1, 3, 4, 5, 6})}, tsL{1, ToChoose, Bag({6, 6, 6, 6, 6})};
    const TurnState tsQ{1, ToChoose, Bag({1, 2, 3, 4, 5})}, tsC{0, ToChoose, Bag({6, 6, 6, 5, 5})}, &rolled = tsQ;
    GameRecording rec{7, {}};   // an empty game has the frame alone
    InitGameRecording(rec);
    const Event keep{Keeping, 0, Bag({5})};
    EXPECT_THROW(ExtendGameRecording(rec, InitialGameState, 0, keep, InitialTurnState), CheckFailure);   // not rolled
    EXPECT_THROW(ExtendGameRecording(rec, InitialGameState, 1576, keep, rolled), RangeError);
    EXPECT_EQ(Report(rec, true), WithCard({"", "Game Details and Analysis", "==== ======= === ========", "",
                                           " # Game State        Tot Roll       You  Expect SD   Zelk  Expect SD  Delta",
                                           AnalysisRule, AnalysisRule, Blank34 + "    0" + Blank29 + "   0.00"}, ZeroScoreCard));
    EXPECT_EQ(Report(rec, false), WithCard({"", "Game Details", "==== =======", "", " # Game State        Tot Roll       You",
                                            Rule, Rule, Blank34 + "    0"}, ZeroScoreCard));
    for (int i = 0; i < MaxGameRecordingIndex; ++i) ExtendGameRecording(rec, InitialGameState, i, keep, rolled);
    EXPECT_TRUE(rec.len == 65 && rec.entry[64].total == 64 && rec.entry[64].event.arg == Bag({5}));
    EXPECT_THROW(ExtendGameRecording(rec, InitialGameState, 0, keep, rolled), CheckFailure);
    UseCompleteOptimalTable();
    const EList listA = Options(gsA, 0, tsA), listL = Options(gsA, 0, tsL), listQ = Options(gsQ, 200, tsQ);
    ASSERT_TRUE(listA.entry[0].event.aspect == Keeping && listQ.entry[0].event.aspect == Keeping);
    // A small and a medium loss after the first roll; rolling five sixes again loses far more.
    const struct { const TurnState& ts; const char *roll, *marker; const EList& list; const EListEntry& mine; } cases[] = {
        {tsA, "13456;2  ", "*", listA, KeepingWithLoss(listA, 0.01, 1.0)},
        {tsA, "13456;2  ", "**", listA, KeepingWithLoss(listA, 1.0, 5.0)},
        {tsL, "66666;1  ", "***", listL, KeepingWithLoss(listL, 5.0, 1e9)}};
    InitGameRecording(rec);
    ExtendGameRecording(rec, gsA, 0, listA.entry[0].event, tsA);
    for (const auto& c : cases) ExtendGameRecording(rec, gsA, 0, c.mine.event, c.ts);
    // Only the Quintor box is left: keeping any single die is worth the same.
    ExtendGameRecording(rec, gsQ, 200, KeepingWithLoss(listQ, 0.0, 0.01).event, tsQ);
    ExtendGameRecording(rec, gsC, 250, Event{Scoring, Chance, 28}, tsC);

    const std::vector<std::string> lines = Report(rec, true);
    ASSERT_GE(lines.size(), 22u);
    EXPECT_EQ(lines[6], " 1 123456TFHSLQC;63-   0 13456;2  " + Text(listA.entry[0].event) + Num(OptimalTurnValue(gsA, tsA)) +
                            "  ?  ");
    double sum = 0.0;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& c = cases[i];
        const double mine = OptimalTurnValue(gsA, TurnState{c.ts.rollsLeft, ToRoll, c.mine.event.arg});
        const double best = OptimalTurnValue(gsA, c.ts);
        EXPECT_EQ(lines[7 + i], std::string(16, ' ') + ";        " + c.roll + Text(c.mine.event) + Num(mine) + "  ?  " +
                                    Text(c.list.entry[0].event) + Num(best) + "  ?" + Num(best - mine) + " " + c.marker);
        sum += c.list.entry[0].expected - c.mine.expected;
    }
    EXPECT_EQ(lines[10].substr(0, 25) + lines[10].substr(68), " 2 ___________Q_; 0- 200    0.00 <>");
    EXPECT_NE(lines[10].substr(34, 5), lines[10].substr(52, 5));
    // One free category and no roll left: no choice, nothing counted.
    EXPECT_EQ(lines[11], " 3 ____________C; 0- 250 55666;0  C  28 " + Num(278.0) + "  ?  ");
    ScoreCard card = ZeroScoreCard;
    card.set(Chance, 28), card.set(GrandTotal, 28);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 12, lines.end()),
              WithCard({AnalysisRule, Blank34 + "   28" + Blank29 + Num(sum), "",
                        "  # Choices (one option = no choice)  :   5 total", "  # Choices identical to  Zelk        :   1",
                        "  # Choices with         delta < 0.01 :   1 <>", "  # Choices with 0.01 <= delta < 1.00 :   1 *",
                        "  # Choices with 1.00 <= delta < 5.00 :   1 **", "  # Choices with 5.00 <= delta        :   1 ***",
                        "  Mean delta per choice               :" + Format("%8.3f", sum / 5)}, card));
    // Without analysis: the details, the score and the card, no summary.
    std::vector<std::string> plain = {"", "Game Details", "==== =======", "", " # Game State        Tot Roll       You", Rule};
    for (std::size_t i = 6; i < 12; ++i) plain.push_back(lines[i].substr(0, 40));
    plain.insert(plain.end(), {Rule, Blank34 + "   28"});
    EXPECT_EQ(Report(rec, false), WithCard(plain, card));

    // With a variance table: scoring 0 leaves nothing uncertain; the best keeping might still roll a Quintor.
    static CacheState* variance = nullptr;
    CreateCache(variance, "Variance in Final Score", GrandTotal, "");
    OptimalStrategy->VarianceCache = variance;
    rec.entry[4].event = Event{Scoring, QuintorCat, 0};
    rec.entry[0] = rec.entry[4], rec.entry[1] = rec.entry[5], rec.len = 2;
    const std::vector<std::string> sd = Report(rec, true);
    const double best = std::sqrt(StrategyVariance(OptimalStrategy, gsQ, {1, ToRoll, listQ.entry[0].event.arg}));
    OptimalStrategy->VarianceCache = nullptr;
    EXPECT_GT(best, 0.5);
    EXPECT_EQ(sd[6].substr(40, 12) + sd[6].substr(58, 10), " 200.00  0  " + Format("%7.2f %2.0f", listQ.entry[0].expected, best));
    EXPECT_EQ(sd[7].substr(40), " 278.00  0  ");
}

// Options worth the same in exact arithmetic whose computed values differ in their last bits: the
// report's best option is the one the tie order and the choice rule take, and the other loses
// nothing.
TEST(GameRecordings, OptionsTiedButForTheLastBitsAreJudgedAsTheTieOrderDecides) {
    UseCompleteOptimalTable();
    GameState g;
    TurnState ts;
    Event tied, larger;   // the tie order's option, and a later one with larger bits
    bool found = false;
    for (const unsigned free : {(1u << Fives) | (1u << SmallStraight), (1u << Aces) | (1u << Twos) | (1u << Chance),
                                (1u << Threes) | (1u << FullHouse) | (1u << LargeStraight)}) {
        MakeGameState(g, CategorySet(free), 20, false);
        for (int r = NValueBag4Ranks; r < NValueBag5Ranks && !found; ++r)
            for (std::uint8_t l = 1; l <= 2 && !found; ++l) {
                ts = TurnState{l, ToChoose, ValueBagRank(r)};
                EList list;
                ListChoiceOptions(list, OptimalStrategy, g, 0, ts);
                int top = 0;
                for (int i = 1; i < list.len; ++i) top = list.entry[i].expected > list.entry[top].expected ? i : top;
                int first = 0;
                while (!TiesWithBest(list.entry[first].expected, list.entry[top].expected)) ++first;
                if (first == top) continue;
                tied = list.entry[first].event, larger = list.entry[top].event, found = true;
            }
        if (found) break;
    }
    ASSERT_TRUE(found) << "no option tied but for its last bits";
    Event chosen;
    ChooseEvent(OptimalStrategy, g, ts, 0, chosen, false);
    EXPECT_TRUE(EqualEvents(chosen, tied));
    EXPECT_TRUE(EqualEvents(Options(g, 0, ts).entry[0].event, tied));
    GameRecording rec;
    InitGameRecording(rec);
    ExtendGameRecording(rec, g, 0, tied, ts);
    ExtendGameRecording(rec, g, 0, larger, ts);
    const std::vector<std::string> lines = Report(rec, true);
    ASSERT_GE(lines.size(), 19u);
    EXPECT_EQ(lines[6].size(), 52u) << lines[6];   // identical: nothing after its deviation
    EXPECT_EQ(lines[7].substr(52), Text(tied) + lines[6].substr(40, 7) + "  ?   0.00 <>");
    EXPECT_EQ(lines[9].substr(39), Blank29 + "   0.00");
    EXPECT_EQ(lines[12], "  # Choices identical to  Zelk        :   1");
    EXPECT_EQ(lines[13], "  # Choices with         delta < 0.01 :   1 <>");
    EXPECT_EQ(lines[17], "  Mean delta per choice               :   0.000");
}

// Single and joined parts, the bonus rows in the sum, the rows past 14 (Quintors, jokers) not.
TEST(GameSession, ScoreHints) {
    GameState need18, used;   // used: Sixes, and the Quintor box with 50, for the joker and the extra bonus
    MakeGameState(need18, FullCategorySet, 18, false);
    MakeGameState(used, WithoutCategory(WithoutCategory(FullCategorySet, Sixes), QuintorCat), 0, true);
    const TurnState quintor{0, ToChoose, Bag({6, 6, 6, 6, 6})}, sixes{1, ToChoose, Bag({6, 6, 6, 2, 3})};
    const struct { const GameState& gs; const TurnState& ts; Category c; const char* hint; } cases[] = {
        {InitialGameState, quintor, QuintorCat, "Quintor: Score 50 now"},
        {InitialGameState, quintor, FullHouse, "Quintor: Score 0 now"}, {need18, sixes, Sixes, "Score 18+35=53 now"},
        {need18, sixes, FourOfAKind, "Score 0 now"}, {used, quintor, LargeStraight, "Joker Quintor: Score 40+100=140 now"},
        {used, quintor, Sixes, "Quintor: Score 30+100=130 now"},   // a used box is previewed too
        {used, quintor, QuintorCat, "Quintor: Score 50+100=150 now"}};
    for (const auto& c : cases) EXPECT_EQ(ScoreHint(OfficialRules, c.gs, c.ts, c.c), c.hint);
}

}  // namespace
}  // namespace quintor
