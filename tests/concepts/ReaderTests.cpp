#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "ConceptsTestHelpers.h"
#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"

using namespace quintor;
using quintor::test::Bag;

namespace {

// Feeds the console readers a script and collects what they write.
class Console : public ::testing::Test {
protected:
    void Script(const std::string& text) {
        in_.str(text);
        in_.clear();
        out_.str("");
        SetConsole(&in_, &out_);
        ClearLookAhead();
    }
    void TearDown() override {
        SetConsole(&std::cin, &std::cout);
        ClearLookAhead();
    }
    std::istringstream in_;
    std::ostringstream out_;
};

}  // namespace

TEST_F(Console, ReadCategoryAndAspect) {
    Script("t ,_x q 7 *");
    ScoreItem item = Aces;
    EXPECT_TRUE(ReadCategory("Box? ", item));
    EXPECT_EQ(item, ThreeOfAKind);
    EXPECT_EQ(out_.str(), "Box? ");
    EXPECT_TRUE(ReadCategory("", item));
    EXPECT_EQ(item, SpecialItem);
    EXPECT_TRUE(ReadCategory("", item));
    EXPECT_EQ(item, QuintorCat);
    EXPECT_FALSE(ReadCategory("", item));
    EXPECT_FALSE(ReadCategory("", item));
    EXPECT_EQ(item, QuintorCat);
    EXPECT_THROW(ReadCategory("", item), EndOfInput);

    Script("k s x");
    Event e;
    EXPECT_TRUE(ReadAspect("", e));
    EXPECT_EQ(e.aspect, Keeping);
    EXPECT_TRUE(ReadAspect("", e));
    EXPECT_EQ(e.aspect, Scoring);
    EXPECT_FALSE(ReadAspect("", e));
    EXPECT_EQ(e.aspect, Scoring);
}

TEST_F(Console, ReadEventAcceptsTheThreeForms) {
    Script("R 5 2 6 1 3; k 3,1,1; Sc r;");
    Event e;
    std::string err;
    ASSERT_TRUE(ReadEvent("Event? ", e, &err)) << err;
    EXPECT_EQ(out_.str(), "Event? ");
    EXPECT_EQ(e.aspect, Rolling);
    EXPECT_EQ(e.arg, 7137);   // the dice in the order typed
    ASSERT_TRUE(ReadEvent("", e, &err)) << err;
    EXPECT_EQ(e.aspect, Keeping);
    EXPECT_EQ(e.arg, Bag("113"));
    ASSERT_TRUE(ReadEvent("", e, &err)) << err;
    EXPECT_EQ(e.aspect, Scoring);
    EXPECT_EQ(e.category, Chance);
    // All dice kept: rolling nothing is still a roll.
    ASSERT_TRUE(ReadEvent("", e, &err)) << err;
    EXPECT_EQ(e.aspect, Rolling);
    EXPECT_EQ(e.arg, 0);
    EXPECT_THROW(ReadEvent("", e, &err), EndOfInput);
}

TEST_F(Console, ReadEventRejectsInvalidInput) {
    const Event before{Keeping, Fours, Bag("44")};
    for (const char* text : {"X", "SU", "Sz", "S7", "S*", "R 3 7 1;", "R 1 2 3 4 5 6;", "K 0;",
                             "K 1 1 1 1 1 1;"}) {
        Script(text);
        Event e = before;
        std::string err;
        EXPECT_FALSE(ReadEvent("", e, &err)) << text;
        EXPECT_FALSE(err.empty()) << text;
        EXPECT_EQ(e.aspect, before.aspect) << text;
        EXPECT_EQ(e.category, before.category) << text;
        EXPECT_EQ(e.arg, before.arg) << text;
    }
    Script("S");
    Event e;
    EXPECT_THROW(ReadEvent("", e), EndOfInput);
    Script("Q");
    EXPECT_FALSE(ReadEvent("", e));   // no message wanted: must not crash
}
