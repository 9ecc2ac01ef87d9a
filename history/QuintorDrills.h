// Drills: the positions a player got wrong come back until they are got right. The positions are
// the player's own costly choices from the history, scheduled in Leitner boxes; when none is due,
// positions where the choice matters are taken from games of the optimal player. The answers go
// into the history, so the schedule is always rebuilt from what is stored.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "history/QuintorHistory.h"
#include "play/QuintorGameRecordings.h"

namespace quintor {

// A choice of the history that lost DrillMistakeLoss (1.0) or more becomes a drill.
// An answer within this of the best option is right (the report's "<>" class).
constexpr double DrillRightLoss = 0.01;
// Positions of the optimal player's games become drills when the best option leads the
// second-best by this much or more.
constexpr double DrillFallbackGap = 1.0;
// Box 1 holds new and missed positions, due at once; a right answer moves a position up a box,
// and boxes 2 to 6 return after 1, 2, 4, 8 and 16 days. A right answer in box 6 keeps it there.
constexpr int NDrillBoxes = 6;
constexpr std::int64_t SecondsPerDay = 86400;
std::int64_t DrillBoxDelay(int box);   // seconds; 0 for box 1

struct DrillItem {
    std::string position;     // abstract state text after a roll
    int box = 1;
    std::int64_t due = 0;     // seconds since 1970-01-01 UTC
    double loss = 0.0;        // the largest loss the player had with it in a game
    int answers = 0;          // drill answers given for it
};

// Every position the player lost DrillMistakeLoss or more with, its box and due time from the
// drill answers given for it (replayed oldest first; first due when its first game ended), in
// due order: earliest first, then the larger loss, then by text. Empty on a fault (in result).
std::vector<DrillItem> DrillSchedule(HistoryDatabase& db, HistoryResult* result = nullptr);
// The items of the schedule due at now, in due order.
std::vector<DrillItem> DueDrills(const std::vector<DrillItem>& schedule, std::int64_t now);

// Up to count positions (after a roll) from games of strategy S (the optimal one when null) with
// random fair dice started from seed, where the best option leads the second by DrillFallbackGap
// or more; different positions, in the order the games meet them. The dice generator is seeded.
std::vector<std::string> FallbackDrillPositions(std::uint32_t seed, int count,
                                                QuintorStrategyState* S = nullptr);

// The answer to a drill: the choice against the position's options.
struct DrillOutcome {
    std::string position;
    ChoiceAssessment assessment;
    std::vector<std::string> listing;   // the advisor's listing, the choice marked
    bool right = false;
};

// The player's choice in the position: a Keeping (arg = kept bag) or a Scoring (the category).
// RangeError for a position that is not after a roll, or a choice that is not among its options.
DrillOutcome AnswerDrill(const std::string& position, const Event& choice,
                         QuintorStrategyState* S = nullptr);
// The listing line of the player's choice ends with this.
inline const char* const DrillChoiceMark = "  <- your choice";
// "Right: that is the best choice." or "Loss: 3.42 points against keeping 666 (241.03)."
std::string DrillVerdict(const DrillOutcome& o);
// Stores the answer with its time.
HistoryResult StoreDrillOutcome(HistoryDatabase& db, const DrillOutcome& o, std::int64_t now);

// The drill record for the statistics.
struct DrillRecord {
    int answers = 0;
    int right = 0;
    double rightShare = 0.0;   // right / answers, 0 without answers
    int positions = 0;         // positions in the schedule
    int due = 0;               // of them due at now
    std::array<int, NDrillBoxes> byBox{};   // positions in boxes 1 to 6
};
DrillRecord ReadDrillRecord(HistoryDatabase& db, std::int64_t now, HistoryResult* result = nullptr);
// The "Drills" section of `quintor stats`.
void WriteDrillRecord(std::ostream& out, const DrillRecord& r);

// One sitting of drills: the due positions first, each once, then fallback positions.
class DrillRun {
public:
    DrillRun(HistoryDatabase* db, std::uint32_t seed) : db_(db), seed_(seed) {}
    // The next position at now; "" only when none can be found at all. fromHistory tells where it
    // came from. A fault of the history is kept in LastResult and the fallback is used.
    std::string Next(std::int64_t now, bool* fromHistory = nullptr);
    const HistoryResult& LastResult() const { return last_; }

private:
    HistoryDatabase* db_;
    std::uint32_t seed_;
    std::set<std::string> asked_;
    std::vector<std::string> fallback_;
    std::size_t nextFallback_ = 0;
    HistoryResult last_;
};

}  // namespace quintor
