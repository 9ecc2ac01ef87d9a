#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "PlayTestSupport.h"
#include "engine/QuintorStrategies.h"
#include "engine/QuintorStrategyAnalysis.h"
#include "play/QuintorGameRecordings.h"

namespace quintor {
namespace {

GameState State(CategorySet free, int need, bool chip) {
    GameState g;
    MakeGameState(g, free, need, chip);
    return g;
}

Event Keep(ValueBagRank kept) {
    Event e;
    e.aspect = Keeping;
    e.arg = kept;
    return e;
}

Event Score(Category c, int points) {
    Event e;
    e.aspect = Scoring;
    e.category = c;
    e.arg = static_cast<std::uint16_t>(points);
    return e;
}

std::vector<std::string> Report(const GameRecording& rec, bool analysis) {
    std::vector<std::string> lines;
    WriteGameAnalysis(lines, rec, "You", OfficialRules, analysis, OptimalStrategy);
    return lines;
}

std::vector<std::string> ScoreCardLines(const ScoreCard& card) {
    std::vector<std::string> lines;
    PrintScoreCard(lines, card);
    return lines;
}

const std::string Header =
    " # Game State        Tot Roll       You  Expect SD   Zelk  Expect SD  Delta";
const std::string Rule =
    "-- ----------------- --- -------  -----  ------ --  -----  ------ --  -----";

TEST(GameRecordings, ExtendChecksRoomAndPhase) {
    GameRecording rec;
    rec.len = 7;
    InitGameRecording(rec);
    EXPECT_EQ(rec.len, 0);
    const TurnState rolled{2, ToChoose, Bag({1, 2, 3, 4, 5})};
    try {
        ExtendGameRecording(rec, InitialGameState, 0, Keep(0), InitialTurnState);
        ADD_FAILURE() << "a turn state before the roll was recorded";
    } catch (const CheckFailure& f) {
        EXPECT_STREQ(f.what(), "ExtendGameRecording: t.phase = ToChoose FAILED");
    }
    EXPECT_THROW(ExtendGameRecording(rec, InitialGameState, 1576, Keep(0), rolled), RangeError);
    EXPECT_EQ(rec.len, 0);
    for (int i = 0; i < MaxGameRecordingIndex; ++i)
        ExtendGameRecording(rec, InitialGameState, i, Keep(Bag({5})), rolled);
    EXPECT_EQ(rec.len, 65);
    EXPECT_EQ(rec.entry[64].total, 64);
    EXPECT_EQ(rec.entry[64].event.arg, Bag({5}));
    try {
        ExtendGameRecording(rec, InitialGameState, 0, Keep(0), rolled);
        ADD_FAILURE() << "a 66th entry was recorded";
    } catch (const CheckFailure& f) {
        EXPECT_STREQ(f.what(), "ExtendGameRecording: GR.len < MaxGameRecordingIndex FAILED");
    }
}

TEST(GameRecordings, EmptyRecordingReport) {
    GameRecording rec;
    std::vector<std::string> expected = {"", "Game Details and Analysis", "==== ======= === ========", "",
                                         Header, Rule, Rule,
                                         std::string(34, ' ') + "    0" + std::string(29, ' ') + "   0.00"};
    for (const std::string& l : ScoreCardLines(ZeroScoreCard)) expected.push_back(l);
    EXPECT_EQ(Report(rec, true), expected);

    expected = {"", "Game Details", "==== =======", "",
                " # Game State        Tot Roll       You", "-- ----------------- --- -------  -----",
                "-- ----------------- --- -------  -----", std::string(34, ' ') + "    0"};
    for (const std::string& l : ScoreCardLines(ZeroScoreCard)) expected.push_back(l);
    EXPECT_EQ(Report(rec, false), expected);
}

// Options of a position with the complete table, best first.
EList Options(const GameState& g, int total, const TurnState& t) {
    EList list;
    ListChoiceOptions(list, OptimalStrategy, g, total, t);
    SortEList(list);
    return list;
}

// The first keeping after the best option whose loss falls in [lo, hi). Keepings only, so that
// the final score of the report comes from the recorded scorings alone.
const EListEntry& KeepingWithLoss(const EList& list, double lo, double hi) {
    for (int i = 1; i < list.len; ++i) {
        const double d = list.entry[0].expected - list.entry[i].expected;
        if (list.entry[i].event.aspect == Keeping && d >= lo && d < hi) return list.entry[i];
    }
    ADD_FAILURE() << "no option with a loss in " << lo << ".." << hi;
    return list.entry[0];
}

TEST(GameRecordings, ReportColumnsAndClasses) {
    UseCompleteOptimalTable();
    const GameState gsA = InitialGameState;
    const TurnState tsA{2, ToChoose, Bag({1, 3, 4, 5, 6})};
    const EList listA = Options(gsA, 0, tsA);
    ASSERT_EQ(listA.entry[0].event.aspect, Keeping);
    const EListEntry& small = KeepingWithLoss(listA, 0.01, 1.0);
    const EListEntry& medium = KeepingWithLoss(listA, 1.0, 5.0);
    // Rolling five sixes again loses far more.
    const TurnState tsL{1, ToChoose, Bag({6, 6, 6, 6, 6})};
    const EList listL = Options(gsA, 0, tsL);
    const EListEntry& large = KeepingWithLoss(listL, 5.0, 1e9);

    // Only the Quintor box is left: keeping any single die is worth the same.
    const GameState gsQ = State(1u << QuintorCat, 0, false);
    const TurnState tsQ{1, ToChoose, Bag({1, 2, 3, 4, 5})};
    const EList listQ = Options(gsQ, 200, tsQ);
    const EListEntry& tie = KeepingWithLoss(listQ, 0.0, 0.01);

    const GameState gsC = State(1u << Chance, 0, false);
    const TurnState tsC{0, ToChoose, Bag({6, 6, 6, 5, 5})};

    GameRecording rec;
    ExtendGameRecording(rec, gsA, 0, listA.entry[0].event, tsA);
    ExtendGameRecording(rec, gsA, 0, small.event, tsA);
    ExtendGameRecording(rec, gsA, 0, medium.event, tsA);
    ExtendGameRecording(rec, gsA, 0, large.event, tsL);
    ExtendGameRecording(rec, gsQ, 200, tie.event, tsQ);
    ExtendGameRecording(rec, gsC, 250, Score(Chance, 28), tsC);

    const std::vector<std::string> lines = Report(rec, true);
    ASSERT_GE(lines.size(), 22u);
    EXPECT_EQ(lines[1], "Game Details and Analysis");
    EXPECT_EQ(lines[4], Header);
    EXPECT_EQ(lines[5], Rule);

    const double bestA = OptimalTurnValue(gsA, tsA);
    const std::string& first = lines[6];
    EXPECT_EQ(first.substr(0, 25), " 1 123456TFHSLQC;63-   0 ");
    EXPECT_EQ(first.substr(25, 9), "13456;2  ");
    EXPECT_EQ(first.substr(34, 6), EventToString(listA.entry[0].event, false, false) + " ");
    EXPECT_EQ(first.substr(40), Format("%7.2f", bestA) + "  ?  ");   // identical: nothing more

    const std::string continuation = std::string(16, ' ') + ";" + std::string(8, ' ');
    struct Case {
        const TurnState& ts;
        const EList& list;
        const EListEntry& mine;
        const char* roll;
        const char* marker;
    };
    const Case cases[] = {{tsA, listA, small, "13456;2  ", "*"},
                          {tsA, listA, medium, "13456;2  ", "**"},
                          {tsL, listL, large, "66666;1  ", "***"}};
    double sum = 0.0;
    for (int i = 0; i < 3; ++i) {
        const std::string& l = lines[static_cast<std::size_t>(7 + i)];
        const Case& c = cases[i];
        const double mine = OptimalTurnValue(gsA, TurnState{c.ts.rollsLeft, ToRoll, c.mine.event.arg});
        const double best = OptimalTurnValue(gsA, c.ts);
        EXPECT_EQ(l.substr(0, 25), continuation) << l;
        EXPECT_EQ(l.substr(25, 9), c.roll);
        EXPECT_EQ(l.substr(34, 6), EventToString(c.mine.event, false, false) + " ");
        EXPECT_EQ(l.substr(40, 12), Format("%7.2f", mine) + "  ?  ");
        EXPECT_EQ(l.substr(52, 6), EventToString(c.list.entry[0].event, false, false) + " ");
        EXPECT_EQ(l.substr(58, 10), Format("%7.2f", best) + "  ?");
        EXPECT_EQ(l.substr(68, 8), Format("%7.2f", best - mine) + " ");
        EXPECT_EQ(l.substr(76), c.marker);
        sum += c.list.entry[0].expected - c.mine.expected;
    }

    const std::string& tieLine = lines[10];
    EXPECT_EQ(tieLine.substr(0, 25), " 2 ___________Q_; 0- 200 ");
    EXPECT_EQ(tieLine.substr(68), "   0.00 <>");
    EXPECT_NE(tieLine.substr(34, 5), tieLine.substr(52, 5));

    // One free category and no roll left: no choice, nothing counted.
    const std::string& single = lines[11];
    EXPECT_EQ(single, " 3 ____________C; 0- 250 55666;0  C  28 " + Format("%7.2f", 278.0) + "  ?  ");

    EXPECT_EQ(lines[12], Rule);
    EXPECT_EQ(lines[13], std::string(34, ' ') + "   28" + std::string(29, ' ') + Format("%7.2f", sum));
    EXPECT_EQ(lines[14], "");
    EXPECT_EQ(lines[15], "  # Choices (one option = no choice)  :   5 total");
    EXPECT_EQ(lines[16], "  # Choices identical to  Zelk        :   1");
    EXPECT_EQ(lines[17], "  # Choices with         delta < 0.01 :   1 <>");
    EXPECT_EQ(lines[18], "  # Choices with 0.01 <= delta < 1.00 :   1 *");
    EXPECT_EQ(lines[19], "  # Choices with 1.00 <= delta < 5.00 :   1 **");
    EXPECT_EQ(lines[20], "  # Choices with 5.00 <= delta        :   1 ***");
    EXPECT_EQ(lines[21], "  Mean delta per choice               :" + Format("%8.3f", sum / 5));
    ScoreCard card;
    card.set(Chance, 28);
    card.set(GrandTotal, 28);
    const std::vector<std::string> cardLines = ScoreCardLines(card);
    ASSERT_EQ(lines.size(), 22 + cardLines.size());
    EXPECT_TRUE(std::equal(cardLines.begin(), cardLines.end(), lines.begin() + 22));

    // The same game without analysis: the details, the score, the card, no summary.
    const std::vector<std::string> plain = Report(rec, false);
    ASSERT_EQ(plain.size(), 14 + cardLines.size());
    EXPECT_EQ(plain[1], "Game Details");
    EXPECT_EQ(plain[6], " 1 123456TFHSLQC;63-   0 13456;2  " + EventToString(listA.entry[0].event, false, false) + " ");
    EXPECT_EQ(plain[7].substr(0, 25), continuation);
    EXPECT_EQ(plain[11], " 3 ____________C; 0- 250 55666;0  C  28 ");
    EXPECT_EQ(plain[13], std::string(34, ' ') + "   28");
    EXPECT_TRUE(std::equal(cardLines.begin(), cardLines.end(), plain.begin() + 14));
}

TEST(GameRecordings, ReportShowsDeviationsWithAVarianceTable) {
    UseCompleteOptimalTable();
    static CacheState* variance = nullptr;
    CreateCache(variance, "Variance in Final Score", GrandTotal, "");
    OptimalStrategy->VarianceCache = variance;
    struct Restore {
        ~Restore() { OptimalStrategy->VarianceCache = nullptr; }
    } restore;
    const GameState gsQ = State(1u << QuintorCat, 0, false);
    const TurnState tsQ{1, ToChoose, Bag({1, 2, 3, 4, 5})};
    const EList listQ = Options(gsQ, 200, tsQ);
    const GameState gsC = State(1u << Chance, 0, false);
    const TurnState tsC{0, ToChoose, Bag({6, 6, 6, 5, 5})};
    GameRecording rec;
    ExtendGameRecording(rec, gsQ, 200, Score(QuintorCat, 0), tsQ);
    ExtendGameRecording(rec, gsC, 250, Score(Chance, 28), tsC);
    const std::vector<std::string> lines = Report(rec, true);

    // Scoring 0 now leaves nothing uncertain; the best keeping still might roll a Quintor.
    TurnState kept = tsQ;
    kept.phase = ToRoll;
    kept.dice = listQ.entry[0].event.arg;
    ASSERT_EQ(listQ.entry[0].event.aspect, Keeping);
    const double sd = std::sqrt(StrategyVariance(OptimalStrategy, gsQ, kept));
    EXPECT_GT(sd, 0.5);
    EXPECT_EQ(lines[6].substr(40, 12), " 200.00  0  ");
    EXPECT_EQ(lines[6].substr(58, 10), Format("%7.2f %2.0f", listQ.entry[0].expected, sd));
    EXPECT_EQ(lines[7].substr(40), " 278.00  0  ");
}

}  // namespace
}  // namespace quintor
