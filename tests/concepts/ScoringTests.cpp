#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "ConceptsTestHelpers.h"
#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"

using namespace quintor;
using quintor::test::Bag;

namespace {

constexpr CategorySet Without(std::initializer_list<int> cats) {
    CategorySet s = FullCategorySet;
    for (int c : cats) s = WithoutCategory(s, c);
    return s;
}

struct Scored {
    GameState g2;
    ScoreCard d;
    Event e;
};

Scored Score(CategorySet free, int need, bool chip, const char* dice, Category k) {
    GameState g;
    MakeGameState(g, free, need, chip);
    TurnState t{0, ToChoose, Bag(dice)};
    Scored s;
    s.e.aspect = Scoring;
    s.e.category = k;
    ApplyScoringEvent(OfficialRules, g, t, s.g2, s.d, s.e);
    return s;
}

}  // namespace

TEST(ScoreTable, PointsPerCategoryAndJokerBox) {
    const auto& fh = ScoreTbl(Bag("33355")).score;
    EXPECT_EQ(fh[FullHouse], 25);
    EXPECT_EQ(fh[ThreeOfAKind], 19);
    EXPECT_EQ(fh[FourOfAKind], 0);
    EXPECT_EQ(ScoreTbl(Bag("33355")).jokerBox, Chance);
    const auto& q = ScoreTbl(Bag("33333"));
    EXPECT_EQ(q.score[FullHouse], 0);
    EXPECT_EQ(q.score[Threes], 15);
    EXPECT_EQ(q.score[QuintorCat], 50);
    EXPECT_EQ(q.score[FourOfAKind], 15);
    EXPECT_EQ(q.jokerBox, Threes);
    EXPECT_EQ(ScoreTbl(Bag("12346")).score[SmallStraight], 30);
    EXPECT_EQ(ScoreTbl(Bag("12346")).score[LargeStraight], 0);
    EXPECT_EQ(ScoreTbl(Bag("23456")).score[LargeStraight], 40);
    EXPECT_EQ(ScoreTbl(Bag("23456")).score[SmallStraight], 30);
    EXPECT_EQ(ScoreTbl(Bag("12356")).score[SmallStraight], 0);
    EXPECT_EQ(ScoreTbl(Bag("44445")).score[FourOfAKind], 21);
    // The upper boxes together always score what Chance scores.
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
        int upper = 0;
        for (int k = Aces; k <= Sixes; ++k) upper += ScoreTbl(ValueBagRank(r)).score[std::size_t(k)];
        EXPECT_EQ(upper, ScoreTbl(ValueBagRank(r)).score[Chance]) << r;
    }
    EXPECT_THROW(ScoreTbl(209), RangeError);
    EXPECT_THROW(ScoreTbl(462), RangeError);

    const int maxRows[NScoreItems] = {5, 10, 15, 20, 25, 30, 30, 30, 25, 30, 40, 50, 30,
                                      35, 1200, 1575, 13, 3, 1575};
    for (int i = 0; i < NScoreItems; ++i) EXPECT_EQ(MaxScoreCard[i], maxRows[i]) << i;
}

TEST(ApplyScoringEvent, JokerNeedsUpperBoxAndQuintorBoxFilled) {
    Scored s = Score(Without({Threes, QuintorCat}), 63, false, "33333", LargeStraight);
    EXPECT_EQ(s.d[LargeStraight], 40);
    EXPECT_EQ(s.d[JokersApplied], 1);
    EXPECT_EQ(s.d[QuintorsRolled], 1);
    EXPECT_EQ(s.e.arg, 40);
    EXPECT_FALSE(InSet(s.g2.free, LargeStraight));
    EXPECT_EQ(Score(Without({Threes, QuintorCat}), 63, false, "33333", FullHouse).d[FullHouse], 25);
    EXPECT_EQ(Score(Without({Threes, QuintorCat}), 63, false, "33333", SmallStraight).e.arg, 30);
    // Outside the three joker categories a Quintor scores normally.
    EXPECT_EQ(Score(Without({Threes, QuintorCat}), 63, false, "33333", Chance).d[JokersApplied], 0);

    s = Score(Without({QuintorCat}), 63, false, "33333", LargeStraight);
    EXPECT_EQ(s.d[LargeStraight], 0);
    EXPECT_EQ(s.d[JokersApplied], 0);
    s = Score(Without({Threes}), 63, false, "33333", LargeStraight);
    EXPECT_EQ(s.d[LargeStraight], 0);
}

TEST(ApplyScoringEvent, ExtraBonusAndChip) {
    Scored s = Score(Without({QuintorCat}), 63, true, "44444", Chance);
    EXPECT_EQ(s.d[Chance], 20);
    EXPECT_EQ(s.d[ExtraQuintorBonusItem], 100);
    EXPECT_EQ(s.d[GrandTotal], 120);
    EXPECT_EQ(s.d[QuintorsRolled], 1);
    EXPECT_EQ(s.d[SpecialItem], 520);
    EXPECT_EQ(s.e.arg, 120);
    EXPECT_TRUE(s.g2.chip);

    // The first 50 sets the chip but earns no extra bonus.
    s = Score(FullCategorySet, 63, false, "44444", QuintorCat);
    EXPECT_EQ(s.d[ExtraQuintorBonusItem], 0);
    EXPECT_EQ(s.e.arg, 50);
    EXPECT_TRUE(s.g2.chip);

    // A zero in the Quintor box leaves the chip off: later Quintors get no bonus, yet a joker.
    s = Score(FullCategorySet, 63, false, "12345", QuintorCat);
    EXPECT_EQ(s.d[QuintorCat], 0);
    EXPECT_FALSE(s.g2.chip);
    s = Score(WithoutCategory(s.g2.free, Sixes), s.g2.need, s.g2.chip, "66666", LargeStraight);
    EXPECT_EQ(s.d[ExtraQuintorBonusItem], 0);
    EXPECT_EQ(s.d[LargeStraight], 40);
    EXPECT_FALSE(s.g2.chip);
}

TEST(ApplyScoringEvent, UpperSectionBonusOnce) {
    Scored s = Score(FullCategorySet, 5, false, "22256", Twos);
    EXPECT_EQ(s.d[Twos], 6);
    EXPECT_EQ(s.d[UpperSectionBonusItem], 35);
    EXPECT_EQ(s.g2.need, 0);
    EXPECT_EQ(s.e.arg, 41);
    s = Score(s.g2.free, s.g2.need, false, "33333", Threes);
    EXPECT_EQ(s.d[UpperSectionBonusItem], 0);
    EXPECT_EQ(s.g2.need, 0);
    EXPECT_EQ(Score(FullCategorySet, 6, false, "22256", Twos).d[UpperSectionBonusItem], 35);
    s = Score(FullCategorySet, 10, false, "22256", Twos);
    EXPECT_EQ(s.d[UpperSectionBonusItem], 0);
    EXPECT_EQ(s.g2.need, 4);
    EXPECT_EQ(Score(FullCategorySet, 10, false, "66666", Chance).g2.need, 10);
}

TEST(ApplyScoringEvent, RejectsBadArgumentsAndChangesNothing) {
    GameState g = InitialGameState, g2{1, 1, true};
    ScoreCard d;
    d.set(GrandTotal, 7);
    Event e{Scoring, 13, 9};
    TurnState t{0, ToChoose, Bag("12345")};
    EXPECT_THROW(ApplyScoringEvent(OfficialRules, g, t, g2, d, e), RangeError);
    e.category = Chance;
    g.free = WithoutCategory(g.free, Chance);
    try {
        ApplyScoringEvent(OfficialRules, g, t, g2, d, e);
        ADD_FAILURE() << "scored in a filled category";
    } catch (const RangeError& err) {
        EXPECT_NE(std::string(err.what()).find("not free"), std::string::npos) << err.what();
    }
    e.category = Aces;
    t.dice = Bag("1234");
    EXPECT_THROW(ApplyScoringEvent(OfficialRules, g, t, g2, d, e), RangeError);
    EXPECT_TRUE(EqualGameStates(g2, GameState{1, 1, true}));
    EXPECT_EQ(d[GrandTotal], 7);
    EXPECT_EQ(e.arg, 9);
}

TEST(ScoreCard, RangesAndAddition) {
    ScoreCard c;
    EXPECT_THROW(c.set(Aces, 1576), RangeError);
    EXPECT_THROW(c.set(Aces, -1), RangeError);
    EXPECT_THROW(c.set(NScoreItems, 1), RangeError);
    c.set(GrandTotal, 1575);

    ScoreCard total, delta;
    total.set(Chance, 10);
    total.set(SpecialItem, 3);
    for (int i = 0; i < NScoreItems; ++i) delta.set(i, i + 1);
    AddScoreCards(total, delta);
    EXPECT_EQ(total[Aces], 1);
    EXPECT_EQ(total[Chance], 23);
    EXPECT_EQ(total[JokersApplied], 18);
    EXPECT_EQ(total[SpecialItem], 3);
    ScoreCard big;
    big.set(GrandTotal, 1570);
    const ScoreCard before = total;
    EXPECT_THROW(AddScoreCards(total, big), RangeError);
    EXPECT_EQ(total.row, before.row);
}

TEST(ScoreCard, PrintedLines) {
    ScoreCard c;
    c.set(Aces, 3);
    c.set(UpperSectionBonusItem, 35);
    c.set(Chance, 23);
    c.set(GrandTotal, 1234);
    c.set(JokersApplied, 2);
    c.set(SpecialItem, 999);
    std::vector<std::string> lines{"kept"};
    PrintScoreCard(lines, c);
    ASSERT_EQ(lines.size(), 23u);
    const std::vector<std::string> expected{
        "kept", "", "Score Card", "===== ====", "    3 Aces", "    0 Twos", "    0 Threes",
        "    0 Fours", "    0 Fives", "    0 Sixes", "   35 UPPER SECTION BONUS",
        "    0 Three of a Kind", "    0 Four of a Kind", "    0 Full House",
        "    0 Small Straight", "    0 Large Straight", "    0 Quintor", "   23 Chance",
        "    0 EXTRA QUINTOR BONUS", "----- -------------------", " 1234 GRAND TOTAL",
        "    0 Quintors Rolled", "    2 Jokers Applied"};
    EXPECT_EQ(lines, expected);
}

TEST(Categories, CodesNamesAndSets) {
    std::string codes;
    for (int k = 0; k < NCategories; ++k) codes += CategoryChar(Category(k));
    EXPECT_EQ(codes, "123456TFHSLQC");
    EXPECT_THROW(ScoreItemName(NScoreItems), RangeError);
    EXPECT_THROW(CategoryChar(13), RangeError);
    EXPECT_THROW(ValueOfUpperCategory(ThreeOfAKind), RangeError);
    EXPECT_THROW(UpperCategoryOfValue(7), RangeError);

    EXPECT_EQ(CategorySetToString(0), std::string(13, '_'));
    EXPECT_EQ(CategorySetToString(FullCategorySet), "123456TFHSLQC");
    const CategorySet s = WithCategory(WithCategory(0, Twos), Chance);
    EXPECT_EQ(CategorySetToString(s), "_2__________C");
    EXPECT_EQ(CategorySetSize(s), 2);
    EXPECT_EQ(CategorySetSize(0xFFFF), 13);
    EXPECT_EQ(FirstCategoryIn(s), Twos);
    try {
        FirstCategoryIn(0);
        ADD_FAILURE() << "no failure for the empty set";
    } catch (const CheckFailure& f) {
        EXPECT_STREQ(f.what(), "FirstCategoryIn: s <> [] FAILED");
    }

    std::ostringstream out;
    WriteCategorySet(out, "free", s, false);
    WriteCategorySet(out, "|free", s, true);
    WriteCategorySet(out, "none", 0, true);
    EXPECT_EQ(out.str(), "free _2__________C|free [ Twos, Chance ]\nnone [ ]\n");
}
