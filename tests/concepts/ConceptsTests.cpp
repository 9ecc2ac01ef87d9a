#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <sstream>

#include "concepts/QuintorConcepts.h"

namespace quintor {
namespace {

template <class E, class F>   // the text of the E that f throws
std::string Thrown(F f) { try { f(); } catch (const E& e) { return e.what(); } return "nothing thrown"; }
ValueList List(std::string_view d) { ValueList l; for (char c : d) ExtendValueList(l, c - '0', 1); return l; }
ValueBagRank Bag(std::string_view d) { return ValueListTbl[RankFromValueList(List(d))].vbr; }
Category Code(char c) { return Category(std::string_view("123456TFHSLQC").find(c)); }   // by its letter

// The points of five dice in category k, worked out from the dice themselves.
int NaivePoints(const std::string& d, int k) {
    int n[7] = {}, sum = 0;
    for (char c : d) ++n[c - '0'], sum += c - '0';
    const int most = *std::max_element(n + 1, n + 7);
    const auto has = [&](std::string_view r) { return std::includes(d.begin(), d.end(), r.begin(), r.end()); };
    if (k <= Sixes) return (k + 1) * n[k + 1];
    if (k == ThreeOfAKind || k == FourOfAKind) return most >= k - 3 ? sum : 0;
    if (k == FullHouse) return std::count(n, n + 7, 3) == 1 && std::count(n, n + 7, 2) == 1 ? 25 : 0;
    if (k == SmallStraight) return has("1234") || has("2345") || has("3456") ? 30 : 0;
    if (k == LargeStraight) return has("12345") || has("23456") ? 40 : 0;
    return k == QuintorCat ? (most == 5 ? 50 : 0) : sum;
}

TEST(Scoring, TableAgainstNaivePoints) {
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
        const std::string dice = ValueBagToString(ValueBagTbl[r].bag, false);
        const ScoreTblEntry& entry = ScoreTbl(ValueBagRank(r));
        for (int k = 0; k < NCategories; ++k) EXPECT_EQ(entry.score[k], NaivePoints(dice, k)) << dice << k;
        EXPECT_EQ(entry.jokerBox, dice[0] == dice[4] ? dice[0] - '1' : Chance) << dice;
    }
}

TEST(Scoring, BonusesJokersChipAndBadArguments) {
    // The categories filled, need and chip before; the dice, the category scored; the points in it,
    // the upper section bonus, the extra bonus, the jokers; need and chip after.
    const struct {
        const char *used; int need, chip; const char* dice; char k; int box, upper, extra, joker, need2, chip2;
    } cases[] = {
        // A Quintor is a joker in FH, SS and LS once its upper box and the Quintor box are filled.
        {"3Q", 63, 0, "33333", 'L', 40, 0, 0, 1, 63, 0}, {"3Q", 63, 0, "33333", 'H', 25, 0, 0, 1, 63, 0},
        {"3Q", 63, 0, "33333", 'S', 30, 0, 0, 1, 63, 0}, {"3Q", 63, 0, "33333", 'C', 15, 0, 0, 0, 63, 0},
        {"Q", 63, 0, "33333", 'L', 0, 0, 0, 0, 63, 0}, {"3", 63, 0, "33333", 'L', 0, 0, 0, 0, 63, 0},
        // The chip (a 50 in the Quintor box) earns every later Quintor the extra bonus.
        {"Q", 63, 1, "44444", 'C', 20, 0, 100, 0, 63, 1}, {"4Q", 63, 1, "44444", 'H', 25, 0, 100, 1, 63, 1},
        {"Q", 25, 1, "55555", '5', 25, 35, 100, 0, 0, 1}, {"", 63, 0, "44444", 'Q', 50, 0, 0, 0, 63, 1},
        {"", 63, 0, "12345", 'Q', 0, 0, 0, 0, 63, 0}, {"6Q", 63, 0, "66666", 'L', 40, 0, 0, 1, 63, 0},
        // The upper section bonus, once, when the need is met.
        {"", 6, 0, "22256", '2', 6, 35, 0, 0, 0, 0}, {"", 10, 0, "22256", '2', 6, 0, 0, 0, 4, 0},
        {"", 0, 0, "33333", '3', 15, 0, 0, 0, 0, 0}, {"", 10, 0, "66666", 'C', 30, 0, 0, 0, 10, 0}};
    for (const auto& c : cases) {
        GameState g{FullCategorySet, std::uint16_t(c.need), c.chip == 1}, g2;
        for (const char* f = c.used; *f; ++f) g.free = WithoutCategory(g.free, Code(*f));
        ScoreCard d, want;   // every row not set here must stay zero
        Event e{Scoring, Code(c.k), 0};
        ApplyScoringEvent(OfficialRules, g, TurnState{0, ToChoose, Bag(c.dice)}, g2, d, e);
        const int total = c.box + c.upper + c.extra;
        want.set(Code(c.k), c.box), want.set(UpperSectionBonusItem, c.upper), want.set(GrandTotal, total);
        want.set(ExtraQuintorBonusItem, c.extra), want.set(QuintorsRolled, c.dice[0] == c.dice[4]);
        want.set(JokersApplied, c.joker), want.set(SpecialItem, total + 4 * c.extra);
        EXPECT_EQ(d.row, want.row) << c.dice << " in " << c.k;
        const GameState next{WithoutCategory(g.free, Code(c.k)), std::uint16_t(c.need2), c.chip2 == 1};
        EXPECT_TRUE(e.arg == total && EqualGameStates(g2, next)) << c.dice << " in " << c.k;
    }

    // A category out of range or filled, or fewer than five dice: an error, and nothing changes.
    GameState g{WithoutCategory(FullCategorySet, Chance), 63, false}, g2{1, 1, true};
    ScoreCard d, total, delta, big;
    Event e{Scoring, 0, 9};
    d.set(GrandTotal, 7), big.set(GrandTotal, 1570);
    const auto score = [&](int k, const char* dice, const QuintorRulesState* rules = OfficialRules) {
        e.category = Category(k), ApplyScoringEvent(rules, g, TurnState{0, ToChoose, Bag(dice)}, g2, d, e);
    };
    EXPECT_THROW(score(13, "12345"), RangeError);
    EXPECT_THROW(score(Aces, "1234"), RangeError);
    EXPECT_EQ(Thrown<RangeError>([&] { score(Chance, "12345"); }),
              "ApplyScoringEvent: category Chance is not free in the game state");
    EXPECT_EQ(Thrown<CheckFailure>([&] { score(0, "12345", nullptr); }),
              "ApplyScoringEvent: rules <> nil FAILED");
    EXPECT_TRUE(EqualGameStates(g2, {1, 1, true}) && d[GrandTotal] == 7 && e.arg == 9);
    for (int i = 0; i < NScoreItems; ++i) total.set(i, 1), delta.set(i, i + 1);
    AddScoreCards(total, delta);   // every row but the special one
    EXPECT_TRUE(total[Aces] == 2 && total[JokersApplied] == 19 && total[SpecialItem] == 1);
    const ScoreCard before = total;
    EXPECT_THROW(AddScoreCards(total, big), RangeError);   // leaving the total as it was
    EXPECT_EQ(total.row, before.row);
    const std::function<void()> rejected[] = {
        [&] { d.set(Aces, 1576); }, [&] { d.set(Aces, -1); }, [&] { d.set(NScoreItems, 1); },
        [] { ScoreTbl(209); }, [] { ScoreTbl(462); }, [] { CategoryChar(13); }, [] { UpperCategoryOfValue(7); },
        [&] { MakeGameState(g, 8192, 0, false); }, [&] { MakeGameState(g, 0, 64, false); },
        [] { TurnStateToString(TurnState{1, ToRoll, 462}, false, false); },
        [] { EventToString(Event{Rolling, 0, 9331}, false, false); }};
    for (const auto& f : rejected) EXPECT_THROW(f(), RangeError);
    EXPECT_EQ(g.free, WithoutCategory(FullCategorySet, Chance));
}

std::istringstream consoleIn;
std::ostringstream consoleOut;
void Feed(const std::string& t) { consoleIn.str(t), consoleIn.clear(), SetConsole(&consoleIn, &consoleOut); }

TEST(States, WalkTextFormsAndReaders) {
    // Free sets from full down, needs from 63 down, chip off before on (only with the Quintor box filled).
    GameState g = InitialGameState;
    long count = 0, key = 1L << 40;
    do {
        const long k = (long(g.free) * 64 + g.need) * 2 + !g.chip;
        ASSERT_TRUE(k < key && g.need <= 63 && !(g.chip && InSet(g.free, QuintorCat))) << GameStateToString(g);
        key = k, ++count;
    } while (NextGameState(g));
    EXPECT_EQ(count, 786432);
    EXPECT_TRUE(EqualGameStates(g, InitialGameState) && !EqualGameStates({5, 3, false}, {5, 3, true}));
    // Scorings are equal by category, the other events by their dice.
    EXPECT_TRUE(EqualEvents({Scoring, 9, 2}, {Scoring, 9, 0}) && EqualEvents({Keeping, 3, 4}, {Keeping, 5, 4}));
    EXPECT_FALSE(EqualEvents({Scoring, 9, 2}, {Scoring, 5, 2}) || EqualEvents({Rolling, 0, 4}, {Keeping, 0, 4})
                 || EqualEvents({Rolling, 0, 4}, {Rolling, 0, 5}));
    Event roll, keep{Keeping, 0, Bag("113")}, chance{Scoring, Chance, 23};
    MakeRollingEvent(roll, RankFromValueList(List("31416")));
    const CategorySet s = WithCategory(WithCategory(0, Twos), Chance);
    const TurnState kept{2, ToRoll, Bag("66")}, rolled{0, ToChoose, Bag("54321")};
    std::vector<std::string> card{"kept"};
    PrintScoreCard(card, ScoreCard{{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 23, 35, 0, 1234, 0, 2, 999}});
    std::ostringstream out;
    WriteCategorySet(out, "free", s, false), WriteCategorySet(out, "|free", s, true);
    WriteCategorySet(out, "", 0, true), WriteGameState(out, "> ", GameState{1, 0, true});
    WriteTurnState(out, "T: ", rolled), WriteEvent(out, "> ", roll), WriteEvent(out, "", keep);
    WriteEvent(out, "", chance), WriteConfiguration(out), WriteQuintorRules(out, OfficialRules);
    for (const std::string& line : card) out << line << '\n';
    const std::pair<std::string, std::string> cases[] = {
        {Thrown<CheckFailure>([&] { WriteQuintorRules(out, nullptr); }), "WriteQuintorRules: YR <> nil FAILED"},
        {Thrown<CheckFailure>([] { FirstCategoryIn(0); }), "FirstCategoryIn: s <> [] FAILED"},
        {CategorySetToString(0), "_____________"}, {GameStateToString(InitialGameState), "123456TFHSLQC;63-"},
        {GameStateToString({0b1000000000011, 7, true}), "12__________C; 7+"},
        {TurnStateToString(kept, true, true), "Roll into  6 6 _ _ _ ;2"},
        {TurnStateToString(kept, true, false), "R 66___;2"}, {TurnStateToString(kept, false, false), "66___;2"},
        {TurnStateToString(rolled, true, true), "Choose for 1 2 3 4 5 ;0"},
        {EventToString(roll, false, false), "31416"}, {EventToString(roll, true, false), "R31416"},
        {EventToString(roll, true, true), "Rolling3 1 4 1 6 "}, {EventToString(keep, false, false), "113__"},
        {EventToString(chance, false, false), "C  23"}, {EventToString(chance, true, true), "Scoring  C  23   "},
        {EventToString({Scoring, Aces, 0}, false, false), "1   0"},
        {EventToOptionText(roll, List("31416")), "Rolling 3 1 4 1 6  "},
        {EventToOptionText(keep, List("31416")), "Keeping 3 1 _ 1 _ "},
        {EventToOptionText(chance, List("66543")), "Scoring   C  23   "},
        {out.str(), "free _2__________C|free [ Twos, Chance ]\n [ ]\n"
                    "> free=  1____________, upper section need= 0, chip= TRUE\n"
                    "T: rolls left= 0, phase= Choose for, dice= 1 2 3 4 5 \n> rolling  3 1 4 1 6\n"
                    "keeping [1] 2, ___ _, [3] 1, ___ _, ___ _, ___ _\nscoring  23 via Chance\n"
                    "\nCONFIGURATION:\nMaxSmallNat        =      15\nMinValue           =       1\n"
                    "MaxValue           =       6\nNDice              =       5\n"
                    "MaxRollsPerTurn    =       5\nMaxBonusThreshold  =      63\n"
                    "\nOfficial Quintor Rules\nNTurnsPerGame      =    13\nNRollsPerTurn      =     3\n"
                    "BonusThreshold     =    63\nUpperSectionBonus  =    35\nExtraQuintorBonus  =   100\n"
                    "JokerRule          =  TRUE\n"
                    "InitialGameState: free=  123456TFHSLQC, upper section need= 63, chip= FALSE\n"
                    "InitialTurnState: rolls left= 3, phase= Roll into , dice= _ _ _ _ _ \n"
                    "kept\n\nScore Card\n===== ====\n    3 Aces\n    0 Twos\n    0 Threes\n    0 Fours\n"
                    "    0 Fives\n    0 Sixes\n   35 UPPER SECTION BONUS\n    0 Three of a Kind\n"
                    "    0 Four of a Kind\n    0 Full House\n    0 Small Straight\n    0 Large Straight\n"
                    "    0 Quintor\n   23 Chance\n    0 EXTRA QUINTOR BONUS\n----- -------------------\n"
                    " 1234 GRAND TOTAL\n    0 Quintors Rolled\n    2 Jokers Applied\n"}};
    for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
    EXPECT_TRUE(CategorySetSize(0xFFFF) == 13 && FirstCategoryIn(s) == Twos);

    Feed("1 2,3_4 5 6 t F h S l Q c U e G z J x 7");   // the score items in order, either case
    ScoreItem item = Aces;
    for (int i = 0; i < NScoreItems; ++i) EXPECT_TRUE(ReadCategory("", item) && item == i) << i;
    EXPECT_FALSE(ReadCategory("", item) || item != SpecialItem);   // '7' is none and changes nothing
    Feed("R 5 2 6 1 3; k 3,1,1; Sc r;");   // the dice in the order typed; with all dice kept a roll of none
    Event e;
    std::string error;
    for (Event w : {Event{Rolling, 0, 7137}, {Keeping, 0, Bag("113")}, {Scoring, 12, 0}, {Rolling, 0, 0}})
        EXPECT_TRUE(ReadEvent(w.arg == 7137 ? "Event? " : "", e, &error) && EqualEvents(e, w)) << error;
    EXPECT_THROW(ReadEvent("", e, &error), EndOfInput);
    const std::string noBox = "a scoring names a category: 1..6, T, F, H, S, L, Q or C";
    const std::pair<const char*, std::string> bad[] = {
        {"X", "an event starts with R (rolling), K (keeping) or S (scoring)"}, {"SU", noBox},
        {"S7", noBox}, {"K 0;", "Dice value 1..6 expected, not '0'"}, {"R 1234 5 6;", "Too many dice values"}};
    for (const auto& [text, message] : bad) {
        Feed(text);
        Event read{Keeping, Fours, Bag("44")};
        EXPECT_TRUE(!ReadEvent("", read, &error) && error == message) << text << ": " << error;
        EXPECT_TRUE(read.aspect == Keeping && read.category == Fours && read.arg == Bag("44")) << text;
    }
    Feed("Q");
    EXPECT_FALSE(ReadEvent("", e));   // no message wanted: none is written
    EXPECT_EQ(consoleOut.str(), "Event? ");   // only the one prompt
    Feed("S");
    EXPECT_THROW(ReadEvent("", e), EndOfInput);
    SetConsole(&std::cin, &std::cout);
}

}  // namespace
}  // namespace quintor
