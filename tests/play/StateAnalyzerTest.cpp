#include <gtest/gtest.h>

#include "PlayTestSupport.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor {
namespace {

TEST(StateAnalyzer, ReadsTheValidFormsAndReportsTheFirstErrorWithItsPosition) {
    const struct { const char* text; const char* written; TurnPhase phase; } valid[] = {
        {"_2_45_T_H__QC;5+ 120 66___;2", "_2_45_T_H__QC; 5+ 120  66;2", ToRoll},
        {"123456TFHSLQC;63-   0  56666;0", "123456TFHSLQC;63-   0  56666;0", ToChoose},
        {" \t 12 3:007- 0012 6 5,4_3 1;2\n", "123__________; 7-  12  65431;2", ToChoose},
        {"11t;63-0;3", "1_____T______;63-   0  ;3", ToRoll},
        {";0+ 1575 ;3", "_____________; 0+1575  ;3", ToRoll}};
    for (const auto& c : valid) {
        AbstractState s;
        ASSERT_TRUE(ReadAbstractState(c.text, s)) << c.text << ": " << s.error;
        EXPECT_EQ(AbstractStateText(s.gameState, s.total, s.turnState, s.dice), c.written) << c.text;
        EXPECT_EQ(s.turnState.phase, c.phase) << c.text;
    }
    const struct { const char* text; const char* error; int pos; } invalid[] = {
        {"   \t  ", "Digit expected for Upper Section Need", 1},
        {"123456TFHSLQC;63-", "Digit expected for Total score so far", 18},
        {"  123456TFHSLQC;64-   0  ;3  ", "Upper Section Need > 63", 16},
        {"123456TFHSLQC;100-   0  ;3", "Upper Section Need > 63", 17},
        {"123456TFHSLQC U;63-   0  ;3", "Aspect out of range", 15},
        {"1237;63- 0 ;3", "Invalid aspect", 4},
        {"123456TFHSLQC;63", "Chip (+ or -) expected", 17},
        {"123456TFHSLQC;63- 056666;0", "Total score so far > 1575", 23},
        {"123456TFHSLQC;63-   0  566666;0", "Too many dice values", 29},
        {"123456TFHSLQC;63-   0  56666 0", "Delimiter (;) expected", 30},
        {"123456TFHSLQC;63-   0  5667;0", "Dice value or delimiter (;) expected", 27},
        {"123456TFHSLQC;63-   0  56", "Digit expected for Rolls left", 26},
        {"123456TFHSLQC;63-   0  ;4", "Rolls left > 3", 25},
        {"123456TFHSLQC;63-   0  56666;3", "Before first roll, no dice can be kept", 31},
        {"123456TFHSLQC;63-   0  566;0", "After last roll, no dice may re-rolled", 29},
        {"123456TFHSLQC;63-   0  ;03x", "Extra characters at end", 27},
        {"123456TFHSLQC;63-   0  ;3\xC3\xA9", "Extra characters at end", 26}};
    for (const auto& c : invalid) {
        AbstractState s;
        EXPECT_FALSE(ReadAbstractState(c.text, s));
        EXPECT_EQ(s.error + " at " + std::to_string(s.pos), c.error + (" at " + std::to_string(c.pos))) << c.text;
    }
}

TEST(StateAnalyzer, OptionListingsAndAdvice) {
    const TurnState ts{2, ToChoose, Bag({1, 2, 2, 5, 6})};
    EList list;
    InitEList(list, InitialGameState, ts);
    ExtendEList(list, Event{Scoring, Twos, 4}, 254.5898, 59.4);
    ExtendEList(list, Event{Keeping, 0, Bag({2, 2})}, 7.0, -1.0);   // no deviation known
    ExtendEList(list, Event{Keeping, 0, Bag({2, 2})}, 1234.567, 0.0);
    ValueList typed;
    for (int v : {2, 5, 2, 6, 1}) ExtendValueList(typed, v, 1);
    std::vector<std::string> lines, header;
    WriteEList(lines, list, typed, false);
    WriteEList(header, list, typed, true);
    const char* rows[] = {"Scoring   2   4    254.59 +/- 59", "Keeping 2 _ 2 _ _    7.00",
                          "Keeping 2 _ 2 _ _ 1234.57 +/- 0"};
    EXPECT_EQ(lines, (std::vector<std::string>{"3 options", rows[0], rows[1], rows[2]}));
    const std::string turn = "  turn state: " + TurnStateToString(ts, true, true);
    EXPECT_EQ(header, (std::vector<std::string>{"List of expected final scores for 3 events in",
                                                "  game state: 123456TFHSLQC;63-", turn, "", rows[0], rows[1], rows[2]}));
    // Chances: appended to the option lines only; the best named when it is not the first, a
    // chance within the tie tolerance of the first's not counting as better.
    std::vector<std::string> withChances = lines;
    AppendChances(withChances, list, typed, {0.25, 0.5, 0.5}, 300);
    EXPECT_EQ(withChances, (std::vector<std::string>{"3 options", std::string(rows[0]) + "  25.00%",
                                                     std::string(rows[1]) + "  50.00%", std::string(rows[2]) + "  50.00%",
                                                     "Best chance to reach 300: Keeping 2 _ 2 _ _"}));
    withChances = lines;
    AppendChances(withChances, list, typed, {1.0, 1.0 + 1e-12, 0.0}, 250);
    EXPECT_EQ(withChances, (std::vector<std::string>{"3 options", std::string(rows[0]) + " 100.00%",
                                                     std::string(rows[1]) + " 100.00%", std::string(rows[2]) + "   0.00%"}));
    const auto advise = [](const char* text, bool ok) {
        std::vector<std::string> out;
        EXPECT_EQ(Advise(out, text), ok) << text;
        return out;
    };
    EXPECT_EQ(advise("  123456TFHSLQC;64-   0  ;3 ", false),
              (std::vector<std::string>{"Error in Abstract Quintor State at position 16", "123456TFHSLQC;64-   0  ;3",
                                        std::string(15, ' ') + "^", "Upper Section Need > 63"}));
    EXPECT_EQ(advise("123456TFHSLQC;63-   0  566;0", false).at(2), std::string(28, ' ') + "^");   // one column past the text
    UseCompleteOptimalTable();
    lines = advise("123456TFHSLQC;63-  10  15432;1", true);
    ASSERT_TRUE(lines.size() == 46u && lines[0] == "45 options") << lines[0];
    const auto value = [](const std::string& line) { return std::stod(line.substr(line.size() - 7)); };
    const double best = 10 + OptimalTurnValue(InitialGameState, {1, ToChoose, Bag({1, 2, 3, 4, 5})});   // the total counts
    EXPECT_EQ(lines[1].substr(lines[1].size() - 7), Format("%7.2f", best));   // the best comes first
    for (std::size_t i = 2; i < lines.size(); ++i) EXPECT_LE(value(lines[i]), value(lines[i - 1])) << lines[i];
    // Keepings show the typed dice in typed order.
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const auto& l) { return l.rfind("Keeping 1 5 4 3 _ ", 0) == 0; }));
    lines = advise("123456TFHSLQC;63- 100  ;3", true);
    EXPECT_TRUE(lines.size() == 253u && lines[0] == "252 options" && lines[1].rfind("Rolling ", 0) == 0);
    // The chip beside a free Quintor box is ignored: the listing is that of the state with "-".
    for (std::string held : {"_2_45_T_H__QC;5+ 120 66___;2", "Q;0+ 1575 55555;1", "123456TFHSLQC;63+ 0 ;3"}) {
        const std::vector<std::string> options = advise(held.c_str(), true);
        held[held.find('+')] = '-';
        EXPECT_TRUE(options.size() > 1 && options == advise(held.c_str(), true)) << held;
    }
}

}  // namespace
}  // namespace quintor
