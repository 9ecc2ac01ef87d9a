// The eight dice sources ("dice devils") and the application of rolls and keeps to a turn state.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "concepts/QuintorConcepts.h"

namespace quintor {

enum DiceDevilKind : std::uint8_t {
    dkUser = 0, dkPerDice, dkPerList, dkPerBag, dkDemon, dkAngel, dkSpecial, dkStuckAt
};
constexpr int NDiceDevilKinds = 8;

struct DiceDevilState {
    std::string Name;
    DiceDevilKind Kind = dkUser;
    DieValue Cycle = 1;   // next value of Special dice; the value of Stuck-at dice
};

// One source of each kind, indexed by kind, created by InitDiceDevils and never freed.
extern std::array<DiceDevilState*, NDiceDevilKinds> DiceDevil;

inline DiceDevilState* UserDice() { return DiceDevil[dkUser]; }
inline DiceDevilState* FairDice() { return DiceDevil[dkPerDice]; }
inline DiceDevilState* PerListDice() { return DiceDevil[dkPerList]; }
inline DiceDevilState* PerBagDice() { return DiceDevil[dkPerBag]; }
inline DiceDevilState* DemonDice() { return DiceDevil[dkDemon]; }
inline DiceDevilState* AngelDice() { return DiceDevil[dkAngel]; }
inline DiceDevilState* SpecialDice() { return DiceDevil[dkSpecial]; }
inline DiceDevilState* StuckAtDice() { return DiceDevil[dkStuckAt]; }

// The kind named by a console word (user fair perlist perbag demon angel special stuckat);
// false (kind unchanged) for a word that names no kind; case matters.
bool DiceDevilKindFromWord(std::string_view word, DiceDevilKind& kind);

// Allocates DD when it is null (an existing record is reused), then sets its fields.
void CreateDiceDevil(DiceDevilState*& DD, const std::string& name, DiceDevilKind kind);
// Special dice start again at 1, Stuck-at dice at 6; other kinds have no state.
void ResetDiceDevil(DiceDevilState* devil);
// The roll of every die not kept in ts: e becomes a Rolling event whose arg is the ValueListRank
// of the new values in the order they are to be shown (the category is left as it was). The user
// source asks on the console and throws EndOfInput when the input ends; demon and angel need the
// optimal strategy's table.
void RollDice(DiceDevilState* devil, const GameState& gs, const TurnState& ts, Event& e);
// Rolling: one roll less, phase ToChoose, the kept dice completed by the roll (RangeError without
// a roll left or for a roll of the wrong size). Keeping: phase ToRoll, the kept bag (RangeError
// unless it is a sub-bag of the dice). Scoring leaves the turn state unchanged.
void ApplyTurnEvent(TurnState& ts, const Event& e);

void InitDiceDevils();

}  // namespace quintor
