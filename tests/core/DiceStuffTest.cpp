#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>

#include "core/DiceStuff.h"
#include "core/GeneralStuff.h"
#include "core/MathStuff.h"

namespace quintor {
namespace {

class DiceTables : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitMathStuff();
        InitDiceStuff();
    }
};

ValueList List(std::initializer_list<int> values) {
    ValueList l;
    for (int v : values) ExtendValueList(l, v, 1);
    return l;
}

ValueBag Bag(std::initializer_list<int> values) {
    ValueBag b;
    for (int v : values) AddToBag(b, v, 1);
    return b;
}

TEST_F(DiceTables, ValueListRanksAndOrder) {
    EXPECT_EQ(RankFromValueList(EmptyValueList), 0);
    EXPECT_EQ(RankFromValueList(List({6, 6, 6, 6, 6})), 9330);
    EXPECT_EQ(RankFromValueList(List({1, 1, 1, 1, 1})), 1555);
    EXPECT_EQ(RankFromValueList(List({3, 1, 4})), 118);
    EXPECT_EQ(RankFromValueList(List({5, 2, 6, 1, 3})), 7137);
    for (int v = 1; v <= 6; ++v) EXPECT_EQ(RankFromValueList(List({v})), v);
}

TEST_F(DiceTables, ValueBagRanksAndOrder) {
    EXPECT_EQ(RankFromValueBag(EmptyValueBag), 0);
    EXPECT_EQ(RankFromValueBag(Bag({6, 6, 6, 6, 6})), 210);
    EXPECT_EQ(RankFromValueBag(Bag({5, 6, 6, 6, 6})), 211);
    EXPECT_EQ(RankFromValueBag(Bag({2, 3, 4, 5, 6})), 286);
    EXPECT_EQ(RankFromValueBag(Bag({1, 2, 3, 4, 5})), 385);
    EXPECT_EQ(RankFromValueBag(Bag({1, 1, 2, 2, 3})), 439);
    EXPECT_EQ(RankFromValueBag(Bag({1, 1, 1, 1, 1})), 461);
    EXPECT_EQ(ValueBagTbl[210].vlr, 9330);
    EXPECT_EQ(ValueListTbl[9330].vbr, 210);
}

TEST_F(DiceTables, RangesPerSizeAndRoundTrips) {
    const int listFirst[] = {0, 1, 7, 43, 259, 1555};
    const int bagFirst[] = {0, 1, 7, 28, 84, 210};
    for (int s = 0; s <= NDice; ++s) {
        const int listLast = s < NDice ? listFirst[s + 1] - 1 : MaxValueListRank;
        const int bagLast = s < NDice ? bagFirst[s + 1] - 1 : NValueBag5Ranks - 1;
        EXPECT_EQ(ValueListRanks[s].first, listFirst[s]);
        EXPECT_EQ(ValueListRanks[s].last, listLast);
        EXPECT_EQ(ValueListRanks[s].count, listLast - listFirst[s] + 1);
        EXPECT_EQ(ValueBagRanks[s].firstvbr, bagFirst[s]);
        EXPECT_EQ(ValueBagRanks[s].lastvbr, bagLast);
        EXPECT_EQ(ValueBagRanks[s].count, bagLast - bagFirst[s] + 1);
        double sum = 0.0;
        for (int r = bagFirst[s]; r <= bagLast; ++r) sum += ValueBagTbl[r].prob;
        EXPECT_NEAR(sum, 1.0, 1e-12) << "size " << s;
    }
    for (int r = 0; r <= MaxValueListRank; ++r) {
        const ValueListEntry& e = ValueListTbl[r];
        ASSERT_EQ(RankFromValueList(e.list), r);
        ASSERT_EQ(e.siz, e.list.siz);
        ValueBag b;
        ValueBagFromValueList(b, e.list);
        ASSERT_EQ(e.vbr, RankFromValueBag(b));
    }
    for (int r = 0; r < NValueBag5Ranks; ++r) {
        const ValueBagEntry& e = ValueBagTbl[r];
        ASSERT_EQ(RankFromValueBag(e.bag), r);
        ASSERT_EQ(e.siz, e.bag.size());
        const ValueList& asc = ValueListTbl[e.vlr].list;
        for (int i = 1; i < asc.siz; ++i) ASSERT_LE(asc.val[i - 1], asc.val[i]);
        ASSERT_EQ(ValueListTbl[e.vlr].vbr, r);
    }
    EXPECT_DOUBLE_EQ(ValueBagTbl[385].prob, 120.0 / 7776.0);
    EXPECT_DOUBLE_EQ(ValueBagTbl[461].prob, 1.0 / 7776.0);
    EXPECT_DOUBLE_EQ(ValueBagTbl[RankFromValueBag(Bag({1, 1, 2}))].prob, 3.0 / 216.0);
}

TEST_F(DiceTables, StepFunctions) {
    const std::pair<int, std::string> order[] = {
        {1, "6____"},   {6, "1____"},   {7, "66___"},   {8, "56___"},   {9, "55___"},
        {10, "46___"},  {212, "55666"}, {215, "55555"}, {216, "46666"}, {455, "11122"}};
    for (const auto& [rank, dice] : order) EXPECT_EQ(ValueBagToString(ValueBagTbl[rank].bag, false), dice);

    ValueBag b = Bag({1, 1, 1, 1, 1});
    EXPECT_FALSE(NextValueBag(b));
    EXPECT_EQ(RankFromValueBag(b), 461);
    b = Bag({2});
    EXPECT_TRUE(NextValueBag(b));
    EXPECT_EQ(ValueBagToString(b, false), "1____");
    b = EmptyValueBag;
    EXPECT_FALSE(NextValueBag(b));

    ValueList l = EmptyValueList;
    EXPECT_FALSE(NextValueList(l));
    l = List({1, 6});
    EXPECT_TRUE(NextValueList(l));
    EXPECT_EQ(ValueListToString(l, false), "21");
    l = List({6, 6});
    EXPECT_FALSE(NextValueList(l));
    EXPECT_EQ(ValueListToString(l, false), "11");
    FirstValueBag(b, 4);
    EXPECT_EQ(ValueBagToString(b, false), "6666_");
}

TEST_F(DiceTables, SubBagsInCounterOrder) {
    const ValueBag b = Bag({1, 1, 2, 2, 3});
    const IndexRange r = SubBagRanges[RankFromValueBag(b) - NValueBag4Ranks];
    const char* expect[] = {"",    "3",    "2",   "23",   "22",   "223",   "1",     "13",  "12",
                            "123", "122",  "1223", "11",  "113",  "112",   "1123",  "1122", "11223"};
    ASSERT_EQ(r.last - r.first + 1, 18);
    for (int i = 0; i < 18; ++i) {
        std::string want = expect[i];
        want.resize(5, '_');
        EXPECT_EQ(ValueBagToString(ValueBagTbl[SubBagTbl[r.first + i]].bag, false), want) << i;
    }
    const IndexRange ones = SubBagRanges[461 - NValueBag4Ranks];
    ASSERT_EQ(ones.last - ones.first, 5);
    for (int k = 0; k <= 5; ++k) {
        ValueBag want;
        AddToBag(want, 1, k);
        EXPECT_EQ(SubBagTbl[ones.first + k], RankFromValueBag(want));
    }
    // Ranges are contiguous; each holds every sub-bag once, the empty one first, the bag last.
    int next = 0;
    for (int r5 = NValueBag4Ranks; r5 < NValueBag5Ranks; ++r5) {
        const IndexRange range = SubBagRanges[r5 - NValueBag4Ranks];
        const ValueBag& bag = ValueBagTbl[r5].bag;
        int expectCount = 1;
        for (int v = 1; v <= 6; ++v) expectCount *= bag.count(v) + 1;
        ASSERT_EQ(range.first, next);
        ASSERT_EQ(range.last - range.first + 1, expectCount);
        EXPECT_EQ(SubBagTbl[range.first], 0);
        EXPECT_EQ(SubBagTbl[range.last], r5);
        for (int i = range.first; i <= range.last; ++i)
            ASSERT_TRUE(IsSubBag(ValueBagTbl[SubBagTbl[i]].bag, bag));
        next = range.last + 1;
    }
    EXPECT_EQ(next, NSubBags);
    ValueBag notSub = Bag({4});
    EXPECT_THROW(NextSubBag(notSub, b), RangeError);
}

TEST_F(DiceTables, Completions) {
    const IndexRange all = CompletionRanges[0];
    ASSERT_EQ(all.last - all.first + 1, NFiveDiceBags);
    for (int i = 0; i < NFiveDiceBags; ++i) {
        EXPECT_EQ(CompletionTbl[all.first + i].vbr, NValueBag4Ranks + i);
        EXPECT_EQ(CompletionTbl[all.first + i].prob, ValueBagTbl[NValueBag4Ranks + i].prob);
    }
    const IndexRange one = CompletionRanges[439];
    ASSERT_EQ(one.first, one.last);
    EXPECT_EQ(CompletionTbl[one.first].vbr, 439);
    EXPECT_EQ(CompletionTbl[one.first].prob, 1.0);

    int next = 0;
    for (int b = 0; b < NValueBag5Ranks; ++b) {
        const IndexRange range = CompletionRanges[b];
        ASSERT_EQ(range.first, next);
        EXPECT_EQ(range.last - range.first + 1, ValueBagRanks[NDice - ValueBagTbl[b].siz].count);
        double sum = 0.0;
        for (int i = range.first; i <= range.last; ++i) {
            sum += CompletionTbl[i].prob;
            ASSERT_TRUE(IsSubBag(ValueBagTbl[b].bag, ValueBagTbl[CompletionTbl[i].vbr].bag));
            ASSERT_GE(CompletionTbl[i].vbr, NValueBag4Ranks);
        }
        EXPECT_NEAR(sum, 1.0, 1e-12) << b;
        next = range.last + 1;
    }
    EXPECT_EQ(next, NCompletions);
}

TEST_F(DiceTables, TextsAndBagFigures) {
    EXPECT_EQ(ValueBagToString(EmptyValueBag, false), "_____");
    EXPECT_EQ(ValueBagToString(EmptyValueBag, true), "_ _ _ _ _ ");
    EXPECT_EQ(ValueBagToString(Bag({3, 1, 1}), false), "113__");
    EXPECT_EQ(ValueBagToString(Bag({3, 1, 1}), true), "1 1 3 _ _ ");
    EXPECT_EQ(ValueListToString(List({3, 1, 4}), false), "314");
    EXPECT_EQ(ValueListToString(List({3, 1, 4}), true), "3 1 4 ");
    EXPECT_EQ(KeptDiceText(Bag({1, 3}), List({3, 1, 4, 1, 6})), "3 1 _ _ _ ");
    EXPECT_EQ(KeptDiceText(Bag({1, 1}), List({1, 2, 1, 1})), "1 _ 1 _ ");
    std::ostringstream out;
    WriteValueList(out, "rolling ", List({3, 1, 4}));
    WriteValueBag(out, "keeping ", Bag({1, 3, 1}));
    WriteValueBag(out, "", EmptyValueBag);
    EXPECT_EQ(out.str(),
              "rolling  3 1 4\n"
              "keeping [1] 2, ___ _, [3] 1, ___ _, ___ _, ___ _\n"
              "___ _, ___ _, ___ _, ___ _, ___ _, ___ _\n");
    ValueList asc;
    ValueListFromValueBag(asc, Bag({6, 2, 4, 2}));
    EXPECT_EQ(ValueListToString(asc, false), "2246");

    const ValueBag e = EmptyValueBag;
    EXPECT_EQ(MinValueIn(e), 7);
    EXPECT_EQ(MaxValueIn(e), 0);
    EXPECT_EQ(MinCount(e), 6);
    EXPECT_EQ(MaxCount(e), 0);
    EXPECT_EQ(LongestRun(e), 0);
    const ValueBag b = Bag({1, 2, 3, 4, 6});
    EXPECT_EQ(LongestRun(b), 4);
    EXPECT_EQ(LongestRun(Bag({2, 3, 5, 5, 6})), 2);
    EXPECT_EQ(SumOfValues(b), 16);
    EXPECT_EQ(DistinctValues(b), 5);
    const ValueBag h = Bag({5, 2, 5, 2, 5});
    EXPECT_EQ(MinValueIn(h), 2);
    EXPECT_EQ(MaxValueIn(h), 5);
    EXPECT_EQ(MinCount(h), 2);
    EXPECT_EQ(MaxCount(h), 3);
    EXPECT_EQ(h.count(5), 3);
    EXPECT_EQ(h.size(), 5);
    ValueBag sum;
    SumBags(sum, Bag({1, 2}), Bag({2, 6, 6}));
    EXPECT_EQ(ValueBagToString(sum, false), "12266");
    EXPECT_TRUE(IsSubBag(Bag({2, 5}), h));
    EXPECT_FALSE(IsSubBag(Bag({2, 2, 2}), h));
}

TEST_F(DiceTables, BadValuesAreRejectedWhereTheyEnter) {
    ValueList l = List({1, 2, 3, 4});
    try {
        ExtendValueList(l, 5, 2);
        ADD_FAILURE() << "sixth die accepted";
    } catch (const CheckFailure& e) {
        EXPECT_STREQ(e.what(), "ExtendValueList: siz+cnt <= NDice FAILED");
    }
    EXPECT_EQ(l.siz, 4);
    EXPECT_THROW(ExtendValueList(l, 7, 1), RangeError);
    EXPECT_EQ(l.siz, 4);

    ValueBag b;
    EXPECT_THROW(AddToBag(b, 7, 1), RangeError);
    EXPECT_THROW(AddToBag(b, 3, 6), RangeError);
    AddToBag(b, 3, 4);
    EXPECT_THROW(AddToBag(b, 2, 2), RangeError);   // six dice in all
    EXPECT_THROW(AddToBag(b, 3, -5), RangeError);
    EXPECT_EQ(ValueBagToString(b, false), "3333_");
    EXPECT_THROW(SumBags(b, Bag({1, 2, 3}), Bag({4, 5, 6})), RangeError);
    EXPECT_EQ(ValueBagToString(b, false), "3333_");
    EXPECT_THROW(b.count(7), RangeError);

    ValueBag tooMany;
    tooMany.cnt[0] = 6;
    EXPECT_THROW(RankFromValueBag(tooMany), RangeError);
    tooMany.cnt = {1, 1, 1, 1, 1, 1};
    EXPECT_THROW(RankFromValueBag(tooMany), RangeError);
    EXPECT_THROW(ValueBagToString(tooMany, false), RangeError);
    ValueList badList;
    badList.siz = 2;
    badList.val = {3, 9};
    EXPECT_THROW(RankFromValueList(badList), RangeError);
    badList.siz = 6;
    EXPECT_THROW(RankFromValueList(badList), RangeError);
    EXPECT_THROW(FirstValueList(6), RangeError);
    EXPECT_THROW(FirstValueBag(b, 6), RangeError);
    EXPECT_EQ(CheckValueListRank(9330), 9330);
    EXPECT_THROW(CheckValueListRank(9331), RangeError);
    EXPECT_THROW(CheckValueBagRank(-1), RangeError);
    EXPECT_EQ(CheckFiveDiceBagRank(210), 210);
    EXPECT_THROW(CheckFiveDiceBagRank(209), RangeError);
}

TEST_F(DiceTables, RebuildingGivesTheSameTables) {
    const auto copy = std::make_unique<detail::DiceTables>(detail::diceTables);
    InitMathStuff();
    InitDiceStuff();
    EXPECT_EQ(std::memcmp(copy.get(), &detail::diceTables, sizeof(detail::DiceTables)), 0);
}

}  // namespace
}  // namespace quintor
