#include <gtest/gtest.h>

#include <vector>

#include "PlayTables.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor {
namespace {

AbstractState Read(std::string_view text) {
    AbstractState s;
    ReadAbstractState(text, s);
    return s;
}

std::vector<int> Typed(const AbstractState& s) {
    return std::vector<int>(s.dice.val.begin(), s.dice.val.begin() + s.dice.siz);
}

ValueBagRank Bag(std::initializer_list<int> values) {
    ValueBag b;
    for (int v : values) AddToBag(b, v, 1);
    return RankFromValueBag(b);
}

TEST(StateAnalyzer, ReadsTheValidForms) {
    AbstractState s = Read("123456tfhslqc;63-0;3");
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(s.gameState.free, FullCategorySet);
    EXPECT_EQ(s.gameState.need, 63);
    EXPECT_FALSE(s.gameState.chip);
    EXPECT_EQ(s.total, 0);
    EXPECT_EQ(s.turnState.rollsLeft, 3);
    EXPECT_EQ(s.turnState.phase, ToRoll);
    EXPECT_EQ(s.turnState.dice, 0);
    EXPECT_EQ(s.dice.siz, 0);

    s = Read("_2_45_T_H__QC;5+ 120 66___;2");
    ASSERT_TRUE(s.ok()) << s.error;
    const CategorySet expected = (1u << Twos) | (1u << Fours) | (1u << Fives) | (1u << ThreeOfAKind) |
                                 (1u << FullHouse) | (1u << QuintorCat) | (1u << Chance);
    EXPECT_EQ(s.gameState.free, expected);
    EXPECT_EQ(s.gameState.need, 5);
    EXPECT_TRUE(s.gameState.chip);
    EXPECT_EQ(s.total, 120);
    EXPECT_EQ(s.turnState.phase, ToRoll);
    EXPECT_EQ(s.turnState.dice, Bag({6, 6}));
    EXPECT_EQ(s.turnState.rollsLeft, 2);

    s = Read("123456TFHSLQC;63-   0  56666;0");
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(s.turnState.phase, ToChoose);
    EXPECT_EQ(s.turnState.dice, Bag({5, 6, 6, 6, 6}));
    EXPECT_EQ(Typed(s), (std::vector<int>{5, 6, 6, 6, 6}));

    s = Read("  \t123456TFHSLQC;63-   0  6 5,4_3 1:2\n ");
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(Typed(s), (std::vector<int>{6, 5, 4, 3, 1}));
    EXPECT_EQ(s.turnState.rollsLeft, 2);
    EXPECT_EQ(s.text, "123456TFHSLQC;63-   0  6 5,4_3 1:2");

    s = Read("11T;63-0;3");
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(s.gameState.free, (1u << Aces) | (1u << ThreeOfAKind));

    s = Read(";0+ 1575 ;3");
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(s.gameState.free, 0);
    EXPECT_EQ(s.total, 1575);
    EXPECT_TRUE(s.gameState.chip);

    s = Read("C:007- 0012 2:1");   // leading zeros, the other delimiter
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(s.gameState.need, 7);
    EXPECT_EQ(s.total, 12);
    EXPECT_EQ(s.turnState.dice, Bag({2}));
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
        {"123456TFHSLQC;", "Digit expected for Upper Section Need", 15},
        {"123456TFHSLQC;63-", "Digit expected for Total score so far", 18},
        {"123456TFHSLQC;64-   0  ;3", "Upper Section Need > 63", 16},
        {"123456TFHSLQC;100-   0  ;3", "Upper Section Need > 63", 17},
        {"123456TFHSLQC U;63-   0  ;3", "Aspect out of range", 15},
        {"wU;63-0;3", "Invalid aspect", 1},
        {"x;63-0;3", "Aspect out of range", 1},
        {"1237;63- 0 ;3", "Invalid aspect", 4},
        {"12 e;63- 0 ;3", "Aspect out of range", 4},
        {"123456TFHSLQC;63 0 ;3", "Chip (+ or -) expected", 18},
        {"123456TFHSLQC;63", "Chip (+ or -) expected", 17},
        {"123456TFHSLQC;63- 056666;0", "Total score so far > 1575", 23},
        {"123456TFHSLQC;63- 1576 ;0", "Total score so far > 1575", 22},
        {"123456TFHSLQC;63- x", "Digit expected for Total score so far", 19},
        {"123456TFHSLQC;63-   0  566666;0", "Too many dice values", 29},
        {"123456TFHSLQC;63-   0  56666 0", "Delimiter (;) expected", 30},
        {"123456TFHSLQC;63-   0  5667;0", "Dice value or delimiter (;) expected", 27},
        {"123456TFHSLQC;63-   0  0;0", "Dice value or delimiter (;) expected", 24},
        {"123456TFHSLQC;63-   0  56", "Digit expected for Rolls left", 26},
        {"123456TFHSLQC;63-   0  56;", "Digit expected for Rolls left", 27},
        {"123456TFHSLQC;63-   0  56;x", "Digit expected for Rolls left", 27},
        {"123456TFHSLQC;63-   0  ;4", "Rolls left > 3", 25},
        {"123456TFHSLQC;63-   0  ;03x", "Extra characters at end", 27},
        {"123456TFHSLQC;63-   0  56666;3", "Before first roll, no dice can be kept", 31},
        {"123456TFHSLQC;63-   0  566;0", "After last roll, no dice may re-rolled", 29},
        {"123456TFHSLQC;63-   0  ;3x", "Extra characters at end", 26},
        {"123456TFHSLQC;63-   0  ;3_", "Extra characters at end", 26},
        {"123456TFHSLQC;63-   0  ;3,", "Extra characters at end", 26},
        {"123456TFHSLQC;63-   0  ;3 4", "Extra characters at end", 26},
        {"  123456TFHSLQC;64-   0  ;3  ", "Upper Section Need > 63", 16},
        {"123456TFHSLQC;63-   0  ;3\xC3\xA9", "Extra characters at end", 26},
    };
    for (const Case& c : cases) {
        const AbstractState s = Read(c.text);
        EXPECT_FALSE(s.ok()) << c.text;
        EXPECT_EQ(s.error, c.error) << c.text;
        EXPECT_EQ(s.pos, c.pos) << c.text;
        EXPECT_LE(s.pos, static_cast<int>(s.text.size()) + 1) << c.text;
    }
}

TEST(StateAnalyzer, StepsStandStillAfterAnError) {
    std::string err = "earlier";
    int pos = 3;
    int n = 42;
    ParseNumber(n, 0, 9, err, pos, "  123", "X");
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(n, 42);
    EXPECT_EQ(err, "earlier");
    CategorySet free = 5;
    ParseFreeSet(free, "123;", pos, err);
    EXPECT_EQ(free, 5);

    err.clear();
    pos = 1;
    ParseNumber(n, 5, 9, err, pos, "3x", "Count");   // below the lower bound
    EXPECT_EQ(err, "Count < 5");
    EXPECT_EQ(pos, 2);

    pos = 1;
    SkipBlanks(" _,", pos);
    EXPECT_EQ(pos, 4);
}

TEST(StateAnalyzer, WrittenStatesReadBackUnchanged) {
    GameState g;
    MakeGameState(g, 0x1555, 7, true);
    const TurnState start = InitialTurnState;
    std::string text = AbstractStateText(g, 1234, start, ValueList{});
    EXPECT_EQ(text, GameStateToString(g) + "1234  ;3");
    AbstractState s = Read(text);
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_TRUE(EqualGameStates(s.gameState, g));
    EXPECT_EQ(s.total, 1234);
    EXPECT_EQ(s.turnState.rollsLeft, 3);

    EXPECT_EQ(AbstractStateText(InitialGameState, "   0", "", 3), "123456TFHSLQC;63-   0  ;3");
    ValueList shown;
    for (int v : {6, 1, 6, 3, 6}) ExtendValueList(shown, v, 1);
    const TurnState rolled{1, ToChoose, Bag({1, 3, 6, 6, 6})};
    text = AbstractStateText(InitialGameState, 17, rolled, shown);
    EXPECT_EQ(text, "123456TFHSLQC;63-  17  61636;1");
    s = Read(text);
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(s.turnState.dice, rolled.dice);
    EXPECT_EQ(s.turnState.phase, ToChoose);
    EXPECT_EQ(Typed(s), (std::vector<int>{6, 1, 6, 3, 6}));

    const TurnState keptSixes{1, ToRoll, Bag({6, 6})};
    text = AbstractStateText(InitialGameState, 17, keptSixes, shown);
    EXPECT_EQ(text, "123456TFHSLQC;63-  17  66;1");
    s = Read(text);
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(s.turnState.phase, ToRoll);
    EXPECT_EQ(s.turnState.dice, keptSixes.dice);
}

TEST(StateAnalyzer, WriteEListFormatsHeaderAndNumbers) {
    EList list;
    const TurnState ts{2, ToChoose, Bag({1, 2, 2, 5, 6})};
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
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "3 options");
    EXPECT_EQ(lines[1], EventToOptionText(score, typed) + " 254.59 +/- 59");
    EXPECT_EQ(lines[2], EventToOptionText(keep, typed) + "   7.00");
    EXPECT_EQ(lines[3], EventToOptionText(keep, typed) + "1234.57 +/- 0");

    lines.clear();
    WriteEList(lines, list, typed, true);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "List of expected final scores for 3 events in");
    EXPECT_EQ(lines[1], "  game state: 123456TFHSLQC;63-");
    EXPECT_EQ(lines[2], "  turn state: " + TurnStateToString(ts, true, true));
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], EventToOptionText(score, typed) + " 254.59 +/- 59");

    EList empty;
    InitEList(empty, InitialGameState, InitialTurnState);
    lines.clear();
    WriteEList(lines, empty, ValueList{}, true);
    EXPECT_EQ(lines.size(), 4u);
    lines.clear();
    WriteEList(lines, empty, ValueList{}, false);
    EXPECT_EQ(lines, std::vector<std::string>{"0 options"});
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
    const auto count = [](const std::string& text) {
        std::vector<std::string> out;
        EXPECT_TRUE(Advise(out, text)) << (out.empty() ? "" : out.back());
        return out;
    };
    lines = count("123456TFHSLQC;63-   0  56666;0");
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "13 options");
    for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind("Scoring   ", 0), 0u);
    // Best first, worth the optimal value of the position; values never rise.
    const TurnState rolled{0, ToChoose, Bag({5, 6, 6, 6, 6})};
    EXPECT_EQ(lines[1].substr(lines[1].size() - 7),
              Format("%7.2f", OptimalTurnValue(InitialGameState, rolled)));
    double previous = 1e9;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const double v = std::stod(lines[i].substr(lines[i].size() - 7));
        EXPECT_LE(v, previous);
        previous = v;
    }

    lines = count("123456TFHSLQC;63-   0  ;3");
    EXPECT_EQ(lines.size(), 253u);
    EXPECT_EQ(lines[0], "252 options");
    EXPECT_EQ(lines[1].rfind("Rolling ", 0), 0u);

    lines = count("123456TFHSLQC;63-   0  56666;2");
    EXPECT_EQ(lines[0], "23 options");
    lines = count("123456TFHSLQC;63-  10  15432;1");
    EXPECT_EQ(lines[0], "45 options");
    // The keepings show the typed dice in typed order; the expected scores include the total.
    bool keptFour = false;
    for (const std::string& l : lines) keptFour |= l.rfind("Keeping 1 5 4 3 _ ", 0) == 0;
    EXPECT_TRUE(keptFour);
    lines = count("123456TFHSLQC;63- 100  ;3");
    double best = 0.0;
    TurnState t{2, ToChoose, 0};
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
        t.dice = static_cast<ValueBagRank>(r);
        best = std::max(best, OptimalTurnValue(InitialGameState, t));
    }
    EXPECT_EQ(lines[1].substr(lines[1].size() - 7), Format("%7.2f", 100.0 + best));
}

}  // namespace
}  // namespace quintor
