#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quintor
