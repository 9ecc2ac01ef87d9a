// The controller logic of one game, shared by the console trainer and the window program: the
// positions, the running score card, the recording, and the score previews.
#pragma once

#include <cstdint>
#include <string>

#include "play/DiceDevils.h"
#include "play/QuintorGameRecordings.h"

namespace quintor {

enum GamePhase : std::uint8_t { gpGameNotStarted = 0, gpGameInProgress = 1, gpGameOver = 2 };

struct GameSession {
    GamePhase phase = gpGameNotStarted;
    GameState gameState;
    TurnState turnState;
    ScoreCard scoreCard;     // the running score card; row GRAND TOTAL is the total so far
    GameRecording recording;
    ValueList shownDice;     // the dice as shown, die 1 to 5 (empty before the first roll)
    std::array<bool, NDice> kept{};   // which shown dice the last keeping held
    TutorNote pendingNote;   // what the tutor said in this position; the next choice takes it
};

int SessionTotal(const GameSession& s);

// A fresh game: initial states, zero score card, empty recording, gpGameNotStarted.
void NewGameSession(GameSession& s);
// Records the keeping with the position before it (and the tutor's pending note), then applies
// it. The kept dice are taken
// from the shown dice left to right. RangeError unless the bag is among the dice on the table
// and a roll is left.
void SessionKeep(GameSession& s, ValueBagRank keptBag);
// Asks the source for the roll of the unkept dice and applies it; returns the roll.
Event SessionRoll(GameSession& s, DiceDevilState* devil);
// Scores the dice in category c (RangeError unless it is free and the dice are rolled): the
// scoring is recorded with the position before it, the change is added to the score card, and
// the next turn starts, or the game is over when no category is left. Returns the scoring event
// with its points.
Event SessionScore(GameSession& s, Category c);
// Ends a game early (it still gets its report).
void AbortSession(GameSession& s);

// The abstract state text of the game as the advisor reads it.
std::string SessionAbstractState(const GameSession& s);

// The non-zero rows 0..14 of delta joined by "+", with "=" and the grand total when there are
// two or more; "0" when there are none.
std::string ScoreText(const ScoreCard& delta);
// The preview of scoring the rolled dice of ts in category c, free or not: "Score ... now",
// preceded by "Quintor: " for a Quintor and then by "Joker " when the joker applies.
std::string ScoreHint(const QuintorRulesState* rules, const GameState& gs, const TurnState& ts,
                      Category c);

}  // namespace quintor
