// The game's dimensions and rule set, categories and scoring, game and turn states, events, and
// the text forms of all of them.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "core/DiceStuff.h"
#include "core/GeneralStuff.h"   // the errors the operations below raise
#include "core/MathStuff.h"

namespace quintor {

// ---- Configuration and rules ------------------------------------------------------------------
constexpr int MaxRollsPerTurn = 5;
constexpr int MaxBonusThreshold = 63;

constexpr int NTurnsPerGame = 13;
constexpr int NRollsPerTurn = 3;
constexpr int BonusThreshold = 63;
constexpr int UpperSectionBonus = 35;
constexpr int ExtraQuintorBonus = 100;
constexpr bool JokerRule = true;

inline constexpr const char* VersionText = "1.2.1 beta";

struct QuintorRulesState {
    std::string Name;
};
// The one rule set, created by InitQuintorConcepts; never freed.
extern QuintorRulesState* OfficialRules;

void WriteConfiguration(std::ostream& out);
void WriteQuintorRules(std::ostream& out, const QuintorRulesState* rules);   // Fail on nullptr

// ---- Categories, score items, score cards ------------------------------------------------------
using Category = std::uint8_t;    // 0..12
using ScoreItem = std::uint8_t;   // 0..18
using CategorySet = std::uint16_t;   // bit k for category k
using Points = std::uint16_t;     // 0..1575

constexpr int NCategories = 13;
constexpr int NScoreItems = 19;
constexpr CategorySet FullCategorySet = 8191;
constexpr int MaxPoints = 1575;

enum : Category {
    Aces = 0, Twos, Threes, Fours, Fives, Sixes,
    ThreeOfAKind, FourOfAKind, FullHouse, SmallStraight, LargeStraight, QuintorCat, Chance
};
enum : ScoreItem {
    UpperSectionBonusItem = 13, ExtraQuintorBonusItem = 14, GrandTotal = 15,
    QuintorsRolled = 16, JokersApplied = 17, SpecialItem = 18
};

struct ScoreCard {
    std::array<Points, NScoreItems> row{};
    Points operator[](int item) const { return row.at(item); }
    void set(int item, long long points);   // RangeError outside 0..1575
};

struct ScoreTblEntry {
    Category jokerBox;   // the upper category of a Quintor's value; 12 (Chance) for no Quintor
    std::array<Points, NCategories> score;
};

namespace detail {
extern std::array<ScoreTblEntry, NFiveDiceBags> scoreTbl;   // index: bag rank - 210
extern ScoreCard maxScoreCard;
void InitScoreTables();   // part of InitQuintorConcepts
}
inline const ScoreTblEntry& ScoreTbl(ValueBagRank r) {
    return detail::scoreTbl[CheckFiveDiceBagRank(r) - NValueBag4Ranks];
}
inline const ScoreCard& MaxScoreCard = detail::maxScoreCard;
inline const ScoreCard ZeroScoreCard{};

Category CheckCategory(long long c);   // RangeError outside 0..12
char CategoryChar(Category c);
std::string ScoreItemName(ScoreItem item);
int ValueOfUpperCategory(Category c);       // 0..5 -> 1..6
Category UpperCategoryOfValue(int value);   // 1..6 -> 0..5
inline bool InSet(CategorySet s, int c) { return (s >> c) & 1u; }
inline CategorySet WithCategory(CategorySet s, int c) { return CategorySet(s | (1u << c)); }
inline CategorySet WithoutCategory(CategorySet s, int c) { return CategorySet(s & ~(1u << c)); }
int CategorySetSize(CategorySet s);
Category FirstCategoryIn(CategorySet s);   // Fail for the empty set
std::string CategorySetToString(CategorySet s);
void WriteCategorySet(std::ostream& out, std::string_view prompt, CategorySet s, bool longForm);
// Reads one non-blank character from the console and maps it by the input letters
// 1..6 T F H S L Q C U E G Z J X (either case). Returns false and leaves item unchanged for any
// other character.
bool ReadCategory(std::string_view prompt, ScoreItem& item);

void AddScoreCards(ScoreCard& total, const ScoreCard& delta);   // rows 0..17
void PrintScoreCard(std::vector<std::string>& lines, const ScoreCard& card);

// ---- Game state and turn state -----------------------------------------------------------------
struct GameState {
    CategorySet free = 0;
    std::uint16_t need = 0;   // 0..63
    bool chip = false;
};
enum TurnPhase : std::uint8_t { ToRoll = 0, ToChoose = 1 };
struct TurnState {
    std::uint8_t rollsLeft = 0;   // 0..5 (0..3 under the official rules)
    TurnPhase phase = ToRoll;
    ValueBagRank dice = 0;
};

extern GameState InitialGameState;   // (8191, 63, false), set at start-up
extern TurnState InitialTurnState;   // (3, ToRoll, 0)

// RangeError for a free set above 8191 or a need above 63.
void MakeGameState(GameState& g, long long free, long long need, bool chip);
void InitGameState(GameState& g);
inline bool GameOver(const GameState& g) { return g.free == 0; }
bool EqualGameStates(const GameState& a, const GameState& b);
bool NextGameState(GameState& g);
void InitTurnState(TurnState& t);

// ---- Events --------------------------------------------------------------------------------
enum EventAspect : std::uint8_t { Rolling = 0, Keeping = 1, Scoring = 2 };
struct Event {
    EventAspect aspect = Rolling;
    Category category = 0;
    std::uint16_t arg = 0;   // roll: ValueListRank; keep: ValueBagRank; scoring: points
};

void MakeRollingEvent(Event& e, ValueListRank r);
bool EqualEvents(const Event& a, const Event& b);
std::string EventAspectName(EventAspect a, bool longForm);
std::string TurnPhaseName(TurnPhase p, bool longForm);
std::string EventToString(const Event& e, bool withAspect, bool spaced);
std::string EventToOptionText(const Event& e, const ValueList& roll);
void WriteEvent(std::ostream& out, std::string_view prompt, const Event& e);
// Console readers. ReadAspect returns false (aspect unchanged) for a letter other than R K S.
bool ReadAspect(std::string_view prompt, Event& e);
// Reads one event; false, with a message in error, for input that is no valid event (no
// event letter, dice outside 1..6, a sixth die, no category after S).
bool ReadEvent(std::string_view prompt, Event& e, std::string* error = nullptr);

std::string GameStateToString(const GameState& g);
void WriteGameState(std::ostream& out, std::string_view prompt, const GameState& g);
std::string TurnStateToString(const TurnState& t, bool withPhase, bool spaced);
void WriteTurnState(std::ostream& out, std::string_view prompt, const TurnState& t);

// ---- Scoring -----------------------------------------------------------------------------------
// Scores the five dice of t (a five-dice bag) in category e.category, free in g: g2 is the next
// game state, delta the score-card change, and e.arg := delta[GRAND TOTAL].
void ApplyScoringEvent(const QuintorRulesState* rules, const GameState& g, const TurnState& t,
                       GameState& g2, ScoreCard& delta, Event& e);

// Sets the initial states, builds ScoreTbl and MaxScoreCard, creates OfficialRules.
void InitQuintorConcepts();

}  // namespace quintor
