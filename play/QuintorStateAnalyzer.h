// The abstract state text "<Game State> <Total> <Turn State>": its reader with messages and
// 1-based positions, its written form, the option listing and the advisor's analysis text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/QuintorEventLists.h"
#include "engine/QuintorScoreDistribution.h"

namespace quintor {

// Every Parse step does nothing once err is set, so the first error and its position stand.
// Positions are 1-based; text.size() + 1 is the end of the text. No step reads outside the text.
void SkipBlanks(std::string_view text, int& pos);
void ParseAspect(ScoreItem& item, std::string_view text, int& pos, std::string& err);
void ParseFreeSet(CategorySet& free, std::string_view text, int& pos, std::string& err);
void ParseNumber(int& n, int lo, int hi, std::string& err, int& pos, std::string_view text,
                 std::string_view what);
void ParseGameState(GameState& gs, std::string_view text, int& pos, std::string& err);
void ParseDice(ValueList& dice, std::string_view text, int& pos, std::string& err);
void ParseTurnState(TurnState& ts, ValueList& dice, std::string_view text, int& pos,
                    std::string& err);

struct AbstractState {
    GameState gameState;
    Points total = 0;
    TurnState turnState;
    ValueList dice;         // as typed
    std::string text;       // the trimmed text; positions refer to it
    std::string error;      // empty after a successful reading
    int pos = 1;            // where the error was found
    bool ok() const { return error.empty(); }
};

// Trims the text (characters below code 33) and reads it. On failure only text, error and pos
// are meaningful.
bool ReadAbstractState(std::string_view text, AbstractState& state);

// The written form Format("%s%s  %s;%d"): game state text, total text (the score card's
// right-aligned total), dice text (empty at the start of a turn), rolls left.
std::string AbstractStateText(const GameState& gs, std::string_view totalText,
                              std::string_view diceText, int rollsLeft);
// The same from plain values: the total right-aligned in four characters; after a roll the
// shown dice without separators, after a keeping only the kept dice, at the start of a turn none.
std::string AbstractStateText(const GameState& gs, int total, const TurnState& ts,
                              const ValueList& shownDice);

// The option listing: with header the four header lines, else "N options"; then one line per
// entry in list order.
void WriteEList(std::vector<std::string>& lines, const EList& list, const ValueList& dice,
                bool withHeader);

// The advisor's analysis of a typed state: the four-line error report, or the options listed
// with strategy S (the optimal one when null), sorted best first. Returns false for an error.
// A chip typed beside a free Quintor box is ignored: the listing is that of the state with "-".
bool Advise(std::vector<std::string>& lines, std::string_view text,
            QuintorStrategyState* S = nullptr);

// The chance (0..1) of reaching target under optimal play after each entry of list (a listing of
// the point g, total, list.turnState), from the optimal strategy's complete table.
std::vector<double> EListChances(const EList& list, const GameState& g, int total, int target);
// The same picked from the chances of every option of that point.
std::vector<double> EListChances(const EList& list, const TargetChances& c);
// Appends Format(" %6.2f%%", 100 x chance) to the option lines (the last list.len lines), and
// under them "Best chance to reach T: <option>" when the best chance is not the first option's.
void AppendChances(std::vector<std::string>& lines, const EList& list, const ValueList& dice,
                   const std::vector<double>& chances, int target);
// Advise with a target: the same listing, every option line with its chance to reach target.
bool AdviseWithTarget(std::vector<std::string>& lines, std::string_view text, int target);

// AdviseWithTarget in three steps, so that the slow middle one, ChancesToReach at the point, can
// run on another thread: PrepareTargetAdvice writes Advise's lines and keeps the point and its
// list; FinishTargetAdvice appends the chances to those lines.
struct TargetAdvice {
    std::vector<std::string> lines;   // as Advise writes them (the error report for a bad text)
    bool ok = false;                  // the text was read
    bool wantsChances = false;        // read, and the point has options to give chances for
    GameState game;                   // the point the chances are computed for
    int total = 0;
    TurnState turn;
    ValueList dice;                   // as typed
    EList list;                       // sorted as listed
};
TargetAdvice PrepareTargetAdvice(std::string_view text);
void FinishTargetAdvice(TargetAdvice& advice, const TargetChances& chances, int target);

}  // namespace quintor
