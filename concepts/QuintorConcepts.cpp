// Configuration and rule printouts, game and turn states, and the start-up of the concepts layer.
#include "concepts/QuintorConcepts.h"

#include <ostream>

#include "core/GeneralStuff.h"

namespace quintor {

QuintorRulesState* OfficialRules = nullptr;
GameState InitialGameState;
TurnState InitialTurnState;

namespace {

// Every printout line starts with a 21-character label: the name padded to 19, then "= ".
void WriteSetting(std::ostream& out, std::string_view name, std::string_view value) {
    std::string label(name);
    if (label.size() < 19) label.append(19 - label.size(), ' ');
    out << label << "= " << value << '\n';
}

const char* BoolText(bool b) { return b ? "TRUE" : "FALSE"; }

}  // namespace

void WriteConfiguration(std::ostream& out) {
    out << '\n' << "CONFIGURATION:" << '\n';
    WriteSetting(out, "MaxSmallNat", IntToStrW(MaxSmallNat, 7));
    WriteSetting(out, "MinValue", IntToStrW(MinValue, 7));
    WriteSetting(out, "MaxValue", IntToStrW(MaxValue, 7));
    WriteSetting(out, "NDice", IntToStrW(NDice, 7));
    WriteSetting(out, "MaxRollsPerTurn", IntToStrW(MaxRollsPerTurn, 7));
    WriteSetting(out, "MaxBonusThreshold", IntToStrW(MaxBonusThreshold, 7));
}

void WriteQuintorRules(std::ostream& out, const QuintorRulesState* rules) {
    if (rules == nullptr) Fail("WriteQuintorRules", "YR <> nil");
    out << '\n' << rules->Name << " Quintor Rules" << '\n';
    WriteSetting(out, "NTurnsPerGame", IntToStrW(NTurnsPerGame, 5));
    WriteSetting(out, "NRollsPerTurn", IntToStrW(NRollsPerTurn, 5));
    WriteSetting(out, "BonusThreshold", IntToStrW(BonusThreshold, 5));
    WriteSetting(out, "UpperSectionBonus", IntToStrW(UpperSectionBonus, 5));
    WriteSetting(out, "ExtraQuintorBonus", IntToStrW(ExtraQuintorBonus, 5));
    std::string joker = BoolText(JokerRule);
    WriteSetting(out, "JokerRule", std::string(5 - joker.size(), ' ') + joker);
    WriteGameState(out, "InitialGameState: ", InitialGameState);
    WriteTurnState(out, "InitialTurnState: ", InitialTurnState);
}

// ---- Game state and turn state -----------------------------------------------------------------

void MakeGameState(GameState& g, long long free, long long need, bool chip) {
    CheckRange(free, 0, FullCategorySet, "free category set");
    CheckRange(need, 0, MaxBonusThreshold, "upper section need");
    g.free = CategorySet(free);
    g.need = std::uint16_t(need);
    g.chip = chip;
}

void InitGameState(GameState& g) { MakeGameState(g, FullCategorySet, BonusThreshold, false); }

bool EqualGameStates(const GameState& a, const GameState& b) {
    return a.free == b.free && a.need == b.need && a.chip == b.chip;
}

// Steps through all game states: free sets from full down to empty, for each the need from 63
// down to 0, for each chip false then (only with the Quintor box filled) chip true.
bool NextGameState(GameState& g) {
    if (!InSet(g.free, QuintorCat) && !g.chip) {
        g.chip = true;
        return true;
    }
    g.chip = false;
    if (g.need > 0) {
        --g.need;
        return true;
    }
    g.need = MaxBonusThreshold;
    if ((g.free & FullCategorySet) == 0) {
        g.free = FullCategorySet;
        return false;
    }
    // Decrementing the 13-bit number clears its lowest set bit and sets every bit below it.
    g.free = CategorySet((g.free - 1) & FullCategorySet);
    return true;
}

void InitTurnState(TurnState& t) {
    t.rollsLeft = NRollsPerTurn;
    t.phase = ToRoll;
    t.dice = 0;
}

// ---- Start-up ----------------------------------------------------------------------------------

void InitQuintorConcepts() {
    InitGameState(InitialGameState);
    InitTurnState(InitialTurnState);
    detail::InitScoreTables();
    // ZeroScoreCard is a constant, zero from its definition on.
    if (OfficialRules == nullptr) OfficialRules = new QuintorRulesState{};
    OfficialRules->Name = "Official";
}

}  // namespace quintor
