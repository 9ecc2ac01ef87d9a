#include <gtest/gtest.h>

#include "PlayTestSupport.h"
#include "engine/QuintorStrategies.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor {
namespace {

AbstractState Read(std::string_view text) {
    AbstractState s;
    ReadAbstractState(text, s);
    return s;
}

TEST(StateAnalyzer, ReadsTheValidForms) {
    struct Case {
        const char* text;
        CategorySet free;
        int need;
        bool chip;
        int total;
        TurnState ts;
        std::vector<int> typed;
    };
    const CategorySet someFree = (1u << Twos) | (1u << Fours) | (1u << Fives) | (1u << ThreeOfAKind) |
                                 (1u << FullHouse) | (1u << QuintorCat) | (1u << Chance);
    const std::vector<Case> cases = {
        {"123456tfhslqc;63-0;3", FullCategorySet, 63, false, 0, {3, ToRoll, 0}, {}},
        {"_2_45_T_H__QC;5+ 120 66___;2", someFree, 5, true, 120, {2, ToRoll, Bag({6, 6})}, {6, 6}},
        {"123456TFHSLQC;63-   0  56666;0", FullCategorySet, 63, false, 0,
         {0, ToChoose, Bag({5, 6, 6, 6, 6})}, {5, 6, 6, 6, 6}},
        {" \t 12 3:007- 0012 6 5,4_3 1;2\n", 7, 7, false, 12, {2, ToChoose, Bag({1, 3, 4, 5, 6})},
         {6, 5, 4, 3, 1}},
        {"11T;63-0;3", (1u << Aces) | (1u << ThreeOfAKind), 63, false, 0, {3, ToRoll, 0}, {}},
        {";0+ 1575 ;3", 0, 0, true, 1575, {3, ToRoll, 0}, {}},
    };
    for (const Case& c : cases) {
        const AbstractState s = Read(c.text);
        ASSERT_TRUE(s.ok()) << c.text << ": " << s.error;
        EXPECT_EQ(s.gameState.free, c.free) << c.text;
        EXPECT_EQ(s.gameState.need, c.need) << c.text;
        EXPECT_EQ(s.gameState.chip, c.chip) << c.text;
        EXPECT_EQ(s.total, c.total) << c.text;
        EXPECT_EQ(s.turnState.rollsLeft, c.ts.rollsLeft) << c.text;
        EXPECT_EQ(s.turnState.phase, c.ts.phase) << c.text;
        EXPECT_EQ(s.turnState.dice, c.ts.dice) << c.text;
        EXPECT_EQ(Values(s.dice), c.typed) << c.text;
    }
}

TEST(StateAnalyzer, ReportsTheFirstErrorWithItsPosition) {
    struct Case {
        const char* text;
        const char* error;
        int pos;
    };
    const std::vector<Case> cases = {
        {"", "Digit expected for Upper Section Need", 1},
        {"   \t  ", "Digit expected for Upper Section Need", 1},
        {"123456TFHSLQC", "Digit expected for Upper Section Need", 14},
        {"123456TFHSLQC;63-", "Digit expected for Total score so far", 18},
        {"123456TFHSLQC;64-   0  ;3", "Upper Section Need > 63", 16},
        {"123456TFHSLQC;100-   0  ;3", "Upper Section Need > 63", 17},
        {"123456TFHSLQC U;63-   0  ;3", "Aspect out of range", 15},
        {"x;63-0;3", "Aspect out of range", 1},
        {"1237;63- 0 ;3", "Invalid aspect", 4},
        {"123456TFHSLQC;63 0 ;3", "Chip (+ or -) expected", 18},
        {"123456TFHSLQC;63", "Chip (+ or -) expected", 17},
        {"123456TFHSLQC;63- 056666;0", "Total score so far > 1575", 23},
        {"123456TFHSLQC;63-   0  566666;0", "Too many dice values", 29},
        {"123456TFHSLQC;63-   0  56666 0", "Delimiter (;) expected", 30},
        {"123456TFHSLQC;63-   0  5667;0", "Dice value or delimiter (;) expected", 27},
        {"123456TFHSLQC;63-   0  56", "Digit expected for Rolls left", 26},
        {"123456TFHSLQC;63-   0  56;x", "Digit expected for Rolls left", 27},
        {"123456TFHSLQC;63-   0  ;4", "Rolls left > 3", 25},
        {"123456TFHSLQC;63-   0  56666;3", "Before first roll, no dice can be kept", 31},
        {"123456TFHSLQC;63-   0  566;0", "After last roll, no dice may re-rolled", 29},
        {"123456TFHSLQC;63-   0  ;03x", "Extra characters at end", 27},
        {"123456TFHSLQC;63-   0  ;3_", "Extra characters at end", 26},
        {"123456TFHSLQC;63-   0  ;3 4", "Extra characters at end", 26},
        {"123456TFHSLQC;63-   0  ;3\xC3\xA9", "Extra characters at end", 26},
        {"  123456TFHSLQC;64-   0  ;3  ", "Upper Section Need > 63", 16},
    };
    for (const Case& c : cases) {
        const AbstractState s = Read(c.text);
        EXPECT_EQ(s.error, c.error) << c.text;
        EXPECT_EQ(s.pos, c.pos) << c.text;
    }
    // Lower bounds are reported just after the number.
    std::string err;
    int pos = 1, n = 0;
    ParseNumber(n, 5, 9, err, pos, "3x", "Count");
    EXPECT_EQ(err, "Count < 5");
    EXPECT_EQ(pos, 2);
}

TEST(StateAnalyzer, AnyTextGivesAStateOrAnErrorInsideIt) {
    const std::string alphabet = "0123456789;:+-_, TFHSLQCUXqz\t\x80\xff";
    SeedGenerator(2024);
    for (int i = 0; i < 3000; ++i) {
        std::string text = i % 2 ? "123456TFHSLQC;63-   0  " : "";
        const int len = RandomBelow(14);
        for (int k = 0; k < len; ++k) text += alphabet[static_cast<std::size_t>(RandomBelow(int(alphabet.size())))];
        AbstractState s;
        ASSERT_NO_THROW(ReadAbstractState(text, s)) << text;
        if (!s.ok()) {
            EXPECT_GE(s.pos, 1);
            EXPECT_LE(s.pos, static_cast<int>(s.text.size()) + 1) << text;
            continue;
        }
        // A successful reading, written again, reads back the same.
        const AbstractState again = Read(AbstractStateText(s.gameState, s.total, s.turnState, s.dice));
        ASSERT_TRUE(again.ok()) << text;
        EXPECT_TRUE(EqualGameStates(again.gameState, s.gameState));
        EXPECT_EQ(again.total, s.total);
        EXPECT_EQ(again.turnState.dice, s.turnState.dice);
        EXPECT_EQ(again.turnState.phase, s.turnState.phase);
        EXPECT_EQ(again.turnState.rollsLeft, s.turnState.rollsLeft);
    }
}

TEST(StateAnalyzer, WrittenStates) {
    EXPECT_EQ(AbstractStateText(InitialGameState, "   0", "", 3), "123456TFHSLQC;63-   0  ;3");
    ValueList shown;
    for (int v : {6, 1, 6, 3, 6}) ExtendValueList(shown, v, 1);
    EXPECT_EQ(AbstractStateText(InitialGameState, 17, {1, ToChoose, Bag({1, 3, 6, 6, 6})}, shown),
              "123456TFHSLQC;63-  17  61636;1");
    EXPECT_EQ(AbstractStateText(InitialGameState, 17, {1, ToRoll, Bag({6, 6})}, shown),
              "123456TFHSLQC;63-  17  66;1");
    EXPECT_EQ(AbstractStateText(InitialGameState, 1234, InitialTurnState, shown),
              "123456TFHSLQC;63-1234  ;3");
}

TEST(StateAnalyzer, WriteEListFormatsHeaderAndNumbers) {
    const TurnState ts{2, ToChoose, Bag({1, 2, 2, 5, 6})};
    EList list;
    InitEList(list, InitialGameState, ts);
    Event score;
    score.aspect = Scoring;
    score.category = Twos;
    score.arg = 4;
    ExtendEList(list, score, 254.5898, 59.4);
    Event keep;
    keep.aspect = Keeping;
    keep.arg = Bag({2, 2});
    ExtendEList(list, keep, 7.0, -1.0);
    ExtendEList(list, keep, 1234.567, 0.0);
    ValueList typed;
    for (int v : {2, 5, 2, 6, 1}) ExtendValueList(typed, v, 1);

    std::vector<std::string> lines;
    WriteEList(lines, list, typed, false);
    EXPECT_EQ(lines, (std::vector<std::string>{"3 options", "Scoring   2   4    254.59 +/- 59",
                                               "Keeping 2 _ 2 _ _    7.00",
                                               "Keeping 2 _ 2 _ _ 1234.57 +/- 0"}));
    lines.clear();
    WriteEList(lines, list, typed, true);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "List of expected final scores for 3 events in");
    EXPECT_EQ(lines[1], "  game state: 123456TFHSLQC;63-");
    EXPECT_EQ(lines[2], "  turn state: " + TurnStateToString(ts, true, true));
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "Scoring   2   4    254.59 +/- 59");
}

TEST(StateAnalyzer, AdviseListsTheOptionsOrTheErrorReport) {
    std::vector<std::string> lines;
    EXPECT_FALSE(Advise(lines, "  123456TFHSLQC;64-   0  ;3 "));
    EXPECT_EQ(lines, (std::vector<std::string>{"Error in Abstract Quintor State at position 16",
                                               "123456TFHSLQC;64-   0  ;3",
                                               std::string(15, ' ') + "^",
                                               "Upper Section Need > 63"}));
    lines.clear();
    EXPECT_FALSE(Advise(lines, "123456TFHSLQC;63-   0  566;0"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], std::string(28, ' ') + "^");   // one column past the text

    UseCompleteOptimalTable();
    const auto advise = [](const std::string& text) {
        std::vector<std::string> out;
        EXPECT_TRUE(Advise(out, text)) << text;
        return out;
    };
    lines = advise("123456TFHSLQC;63-   0  56666;0");
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "13 options");
    const TurnState rolled{0, ToChoose, Bag({5, 6, 6, 6, 6})};
    EXPECT_EQ(lines[1].substr(lines[1].size() - 7), Format("%7.2f", OptimalTurnValue(InitialGameState, rolled)));
    for (std::size_t i = 2; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("Scoring   ", 0), 0u);
        EXPECT_LE(std::stod(lines[i].substr(lines[i].size() - 7)), std::stod(lines[i - 1].substr(lines[i - 1].size() - 7)));
    }
    EXPECT_EQ(advise("123456TFHSLQC;63-   0  56666;2")[0], "23 options");
    lines = advise("123456TFHSLQC;63-  10  15432;1");
    EXPECT_EQ(lines[0], "45 options");
    // Keepings show the typed dice in typed order.
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("Keeping 1 5 4 3 _ ", 0) == 0; }));
    lines = advise("123456TFHSLQC;63- 100  ;3");
    ASSERT_EQ(lines.size(), 253u);
    EXPECT_EQ(lines[0], "252 options");
    double best = 0.0;
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r)
        best = std::max(best, OptimalTurnValue(InitialGameState, {2, ToChoose, static_cast<ValueBagRank>(r)}));
    EXPECT_EQ(lines[1].rfind("Rolling ", 0), 0u);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 7), Format("%7.2f", 100.0 + best));   // the total counts
}

}  // namespace
}  // namespace quintor
