#include "play/QuintorGameSession.h"

#include "core/GeneralStuff.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor {

int SessionTotal(const GameSession& s) { return s.scoreCard[GrandTotal]; }

void NewGameSession(GameSession& s) {
    s.phase = gpGameNotStarted;
    s.gameState = InitialGameState;
    s.turnState = InitialTurnState;
    s.scoreCard = ZeroScoreCard;
    InitGameRecording(s.recording);
    s.shownDice = EmptyValueList;
    s.kept.fill(false);
    s.pendingNote = TutorNote{};
}

namespace {
// The recorded choice takes the tutor's note of its position.
void TakeTutorNote(GameSession& s) {
    s.recording.entry[static_cast<std::size_t>(s.recording.len - 1)].tutor = s.pendingNote;
    s.pendingNote = TutorNote{};
}
}  // namespace

void SessionKeep(GameSession& s, ValueBagRank keptBag) {
    const TurnState& ts = s.turnState;
    if (s.phase == gpGameOver || ts.phase != ToChoose || ts.rollsLeft == 0)
        throw RangeError("SessionKeep: no roll is left to keep dice for");
    ValueBag rest = ValueBagTbl[CheckValueBagRank(keptBag)].bag;
    if (!IsSubBag(rest, ValueBagTbl[ts.dice].bag))
        throw RangeError("SessionKeep: the kept dice " + ValueBagToString(rest, false) +
                         " are not among the dice on the table");
    Event e;
    e.aspect = Keeping;
    e.arg = keptBag;
    ExtendGameRecording(s.recording, s.gameState, SessionTotal(s), e, s.turnState);
    TakeTutorNote(s);
    ApplyTurnEvent(s.turnState, e);
    for (int i = 0; i < s.shownDice.siz; ++i) {
        const int v = s.shownDice.val[static_cast<std::size_t>(i)];
        s.kept[static_cast<std::size_t>(i)] = rest.cnt[static_cast<std::size_t>(v - 1)] > 0;
        if (s.kept[static_cast<std::size_t>(i)]) AddToBag(rest, v, -1);
    }
}

namespace {
void CheckRollDue(const GameSession& s) {
    if (s.phase == gpGameOver) throw RangeError("Roll: the game is over");
    if (s.turnState.phase != ToRoll || s.turnState.rollsLeft == 0)
        throw RangeError("Roll: no roll is due; keep dice or score first");
}

// The first roll starts the game; the new values fill the dice that are not kept, in order.
void SessionApplyRoll(GameSession& s, const Event& roll) {
    CheckRollDue(s);
    ApplyTurnEvent(s.turnState, roll);
    if (s.phase == gpGameNotStarted) s.phase = gpGameInProgress;
    // A turn's first roll throws all five dice, whatever the keep marks of the last turn said.
    if (s.shownDice.siz != NDice || s.turnState.rollsLeft == NRollsPerTurn - 1) s.kept.fill(false);
    const ValueList& values = ValueListTbl[roll.arg].list;
    ValueList shown;
    int next = 0;
    for (std::size_t i = 0; i < NDice; ++i) {
        const bool keep = s.kept[i] && i < s.shownDice.siz;
        ExtendValueList(shown, keep ? s.shownDice.val[i] : values.val[static_cast<std::size_t>(next++)], 1);
    }
    s.shownDice = shown;
    s.kept.fill(false);
}
}  // namespace

Event SessionRoll(GameSession& s, DiceDevilState* devil) {
    CheckRollDue(s);   // before the user source would ask for dice
    Event e;
    RollDice(devil, s.gameState, s.turnState, e);
    SessionApplyRoll(s, e);
    return e;
}

Event SessionScore(GameSession& s, Category c) {
    if (s.phase == gpGameOver || s.turnState.phase != ToChoose)
        throw RangeError("SessionScore: the dice are not rolled");
    Event e;
    e.aspect = Scoring;
    e.category = CheckCategory(c);
    GameState next;
    ScoreCard delta;
    ApplyScoringEvent(OfficialRules, s.gameState, s.turnState, next, delta, e);
    ExtendGameRecording(s.recording, s.gameState, SessionTotal(s), e, s.turnState);
    TakeTutorNote(s);
    AddScoreCards(s.scoreCard, delta);
    s.gameState = next;
    if (GameOver(s.gameState))
        s.phase = gpGameOver;
    else
        s.turnState = InitialTurnState;
    return e;
}

void AbortSession(GameSession& s) { s.phase = gpGameOver; }

std::string SessionAbstractState(const GameSession& s) {
    return AbstractStateText(s.gameState, SessionTotal(s), s.turnState, s.shownDice);
}

std::string ScoreText(const ScoreCard& delta) {
    std::string text;
    int parts = 0;
    for (int row = 0; row <= ExtraQuintorBonusItem; ++row) {
        if (delta[row] == 0) continue;
        if (parts++ > 0) text += "+";
        text += std::to_string(delta[row]);
    }
    if (parts == 0) return "0";
    if (parts > 1) {
        text += '=';
        text += std::to_string(delta[GrandTotal]);
    }
    return text;
}

std::string ScoreHint(const QuintorRulesState* rules, const GameState& gs, const TurnState& ts,
                      Category c) {
    // A used category is previewed as if it were free; that changes neither its points nor the
    // bonuses, since the joker depends only on the Quintor box and the dice's upper box.
    GameState g = gs;
    g.free = WithCategory(g.free, CheckCategory(c));
    Event e;
    e.aspect = Scoring;
    e.category = c;
    GameState next;
    ScoreCard delta;
    ApplyScoringEvent(rules, g, ts, next, delta, e);
    std::string text;
    if (delta[JokersApplied] != 0) text += "Joker ";
    if (delta[QuintorsRolled] != 0) text += "Quintor: ";
    text += "Score ";
    text += ScoreText(delta);
    text += " now";
    return text;
}

}  // namespace quintor
