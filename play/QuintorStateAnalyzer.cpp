#include "play/QuintorStateAnalyzer.h"

#include "core/GeneralStuff.h"
#include "engine/QuintorScoreDistribution.h"

namespace quintor {

namespace {

// One letter per score-card row, in ScoreItem order; the first thirteen are the categories.
constexpr std::string_view AspectLetter = "123456TFHSLQCUEGZJX";

bool AtEnd(std::string_view text, int pos) { return pos > static_cast<int>(text.size()); }
char At(std::string_view text, int pos) { return text[static_cast<std::size_t>(pos - 1)]; }
bool IsBlank(char c) { return c == ' ' || c == ',' || c == '_'; }
bool IsDelimiter(char c) { return c == ';' || c == ':'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsDie(char c) { return c >= '1' && c <= '6'; }

}  // namespace

void SkipBlanks(std::string_view text, int& pos) {
    while (!AtEnd(text, pos) && IsBlank(At(text, pos))) ++pos;
}

void ParseAspect(ScoreItem& item, std::string_view text, int& pos, std::string& err) {
    if (!err.empty()) return;
    SkipBlanks(text, pos);
    if (AtEnd(text, pos)) {   // callers never get here; a message beats reading past the text
        err = "Invalid aspect";
        return;
    }
    const std::size_t k = AspectLetter.find(UpCase(At(text, pos)));
    if (k == std::string_view::npos) {
        err = "Invalid aspect";
        return;
    }
    item = static_cast<ScoreItem>(k);
    ++pos;
}

void ParseFreeSet(CategorySet& free, std::string_view text, int& pos, std::string& err) {
    if (!err.empty()) return;
    free = 0;
    SkipBlanks(text, pos);
    while (!AtEnd(text, pos) && !IsDelimiter(At(text, pos))) {
        ScoreItem item = 0;
        ParseAspect(item, text, pos, err);
        if (!err.empty()) return;
        if (item >= NCategories) {
            err = "Aspect out of range";
            --pos;
            return;
        }
        free = WithCategory(free, item);
        SkipBlanks(text, pos);
    }
    if (!AtEnd(text, pos)) ++pos;
}

void ParseNumber(int& n, int lo, int hi, std::string& err, int& pos, std::string_view text,
                 std::string_view what) {
    if (!err.empty()) return;
    SkipBlanks(text, pos);
    n = 0;
    if (AtEnd(text, pos) || !IsDigit(At(text, pos))) {
        err = "Digit expected for " + std::string(what);
        return;
    }
    while (!AtEnd(text, pos) && IsDigit(At(text, pos))) {
        n = n * 10 + DigitValue(At(text, pos));
        if (n > hi) {
            err = Format("%.*s > %d", static_cast<int>(what.size()), what.data(), hi);
            return;
        }
        ++pos;
    }
    if (n < lo) err = Format("%.*s < %d", static_cast<int>(what.size()), what.data(), lo);
}

void ParseGameState(GameState& gs, std::string_view text, int& pos, std::string& err) {
    ParseFreeSet(gs.free, text, pos, err);
    int need = 0;
    ParseNumber(need, 0, MaxBonusThreshold, err, pos, text, "Upper Section Need");
    if (!err.empty()) return;
    gs.need = static_cast<std::uint16_t>(need);
    SkipBlanks(text, pos);
    if (!AtEnd(text, pos) && (At(text, pos) == '+' || At(text, pos) == '-')) {
        gs.chip = At(text, pos) == '+';
        ++pos;
    } else {
        err = "Chip (+ or -) expected";
    }
}

void ParseDice(ValueList& dice, std::string_view text, int& pos, std::string& err) {
    if (!err.empty()) return;
    dice = EmptyValueList;
    SkipBlanks(text, pos);
    while (!AtEnd(text, pos) && dice.siz < NDice) {
        const char c = At(text, pos);
        if (IsDelimiter(c)) break;
        if (!IsDie(c)) {
            err = "Dice value or delimiter (;) expected";
            return;
        }
        ExtendValueList(dice, DigitValue(c), 1);
        ++pos;
        SkipBlanks(text, pos);
    }
    if (dice.siz == NDice && !AtEnd(text, pos) && !IsDelimiter(At(text, pos))) {
        err = IsDie(At(text, pos)) ? "Too many dice values" : "Delimiter (;) expected";
        return;
    }
    if (!AtEnd(text, pos)) ++pos;
}

void ParseTurnState(TurnState& ts, ValueList& dice, std::string_view text, int& pos,
                    std::string& err) {
    ParseDice(dice, text, pos, err);
    int rolls = 0;
    ParseNumber(rolls, 0, NRollsPerTurn, err, pos, text, "Rolls left");
    if (!err.empty()) return;
    ts.rollsLeft = static_cast<std::uint8_t>(rolls);
    if (rolls == NRollsPerTurn && dice.siz > 0) {
        err = "Before first roll, no dice can be kept";
        return;
    }
    if (rolls == 0 && dice.siz < NDice) {
        err = "After last roll, no dice may re-rolled";
        return;
    }
    ValueBag bag;
    ValueBagFromValueList(bag, dice);
    ts.phase = dice.siz == NDice ? ToChoose : ToRoll;
    ts.dice = RankFromValueBag(bag);
}

bool ReadAbstractState(std::string_view text, AbstractState& state) {
    state.text = TrimStr(text);
    state.error.clear();
    state.pos = 1;
    const std::string_view t = state.text;
    ParseGameState(state.gameState, t, state.pos, state.error);
    int total = 0;
    ParseNumber(total, 0, MaxPoints, state.error, state.pos, t, "Total score so far");
    if (state.error.empty()) state.total = static_cast<Points>(total);
    ParseTurnState(state.turnState, state.dice, t, state.pos, state.error);
    if (state.error.empty() && !AtEnd(t, state.pos)) state.error = "Extra characters at end";
    return state.ok();
}

std::string AbstractStateText(const GameState& gs, std::string_view totalText,
                              std::string_view diceText, int rollsLeft) {
    return Format("%s%.*s  %.*s;%d", GameStateToString(gs).c_str(),
                  static_cast<int>(totalText.size()), totalText.data(),
                  static_cast<int>(diceText.size()), diceText.data(), rollsLeft);
}

std::string AbstractStateText(const GameState& gs, int total, const TurnState& ts,
                              const ValueList& shownDice) {
    std::string dice;
    if (ts.phase == ToChoose) {
        dice = ValueListToString(shownDice, false);
    } else if (ts.rollsLeft < NRollsPerTurn) {
        // Dice kept for the next roll: only they stay, so the text reads back as this state.
        ValueList kept;
        ValueListFromValueBag(kept, ValueBagTbl[ts.dice].bag);
        dice = ValueListToString(kept, false);
    }
    return AbstractStateText(gs, IntToStrW(total, 4), dice, ts.rollsLeft);
}

void WriteEList(std::vector<std::string>& lines, const EList& list, const ValueList& dice,
                bool withHeader) {
    if (withHeader) {
        lines.push_back(Format("List of expected final scores for %d events in", list.len));
        lines.push_back(Format("  game state: %s", GameStateToString(list.gameState).c_str()));
        lines.push_back(
            Format("  turn state: %s", TurnStateToString(list.turnState, true, true).c_str()));
        lines.emplace_back();
    } else {
        lines.push_back(Format("%d options", list.len));
    }
    for (int i = 0; i < list.len; ++i) {
        const EListEntry& entry = list.entry[static_cast<std::size_t>(i)];
        std::string line = EventToOptionText(entry.event, dice) + Format("%7.2f", entry.expected);
        if (entry.sd >= 0.0) line += Format(" +/- %1.0f", entry.sd);
        lines.push_back(std::move(line));
    }
}

std::vector<double> EListChances(const EList& list, const GameState& g, int total, int target) {
    Check(OptimalStrategy != nullptr && OptimalStrategy->Cache != nullptr, "EListChances",
          "OptimalStrategy^.Cache <> nil");
    if (GameOver(g)) return {};
    return EListChances(
        list, ChancesToReach(OptimalStrategy->Cache->Table, g, total, list.turnState, target));
}

std::vector<double> EListChances(const EList& list, const TargetChances& c) {
    std::vector<double> out;
    for (int e = 0; e < list.len; ++e) {
        const Event& ev = list.entry[std::size_t(e)].event;
        double chance = -1.0;
        for (std::size_t o = 0; o < c.options.size() && o < c.chance.size(); ++o) {
            const PointOption& op = c.options[o];
            const bool same =
                op.aspect == ev.aspect &&
                (ev.aspect == Scoring   ? op.category == ev.category
                 : ev.aspect == Keeping ? op.bag == ev.arg
                                        : op.bag == ValueListTbl[ev.arg].vbr);
            if (same) chance = c.chance[o];
        }
        Check(chance >= 0.0, "EListChances", "every listed option is an option of the point");
        out.push_back(chance);
    }
    return out;
}

void AppendChances(std::vector<std::string>& lines, const EList& list, const ValueList& dice,
                   const std::vector<double>& chances, int target) {
    if (chances.size() != std::size_t(list.len) || list.len == 0 ||
        lines.size() < std::size_t(list.len))
        return;
    const std::size_t first = lines.size() - std::size_t(list.len);
    std::size_t best = 0;
    for (std::size_t e = 0; e < chances.size(); ++e) {
        lines[first + e] += Format(" %6.2f%%", 100.0 * chances[e]);
        // A chance a hair above the first's is the same chance.
        if (chances[e] > chances[best] + TieTolerance) best = e;
    }
    if (best != 0)
        lines.push_back(Format("Best chance to reach %d: ", target) +
                        TrimStr(EventToOptionText(list.entry[best].event, dice)));
}

bool AdviseWithTarget(std::vector<std::string>& lines, std::string_view text, int target) {
    TargetAdvice advice = PrepareTargetAdvice(text);
    if (advice.wantsChances) {
        Check(OptimalStrategy->Cache != nullptr, "AdviseWithTarget", "OptimalStrategy^.Cache <> nil");
        FinishTargetAdvice(advice, ChancesToReach(OptimalStrategy->Cache->Table, advice.game,
                                                  advice.total, advice.turn, target),
                           target);
    }
    lines.insert(lines.end(), advice.lines.begin(), advice.lines.end());
    return advice.ok;
}

TargetAdvice PrepareTargetAdvice(std::string_view text) {
    TargetAdvice a;
    a.ok = Advise(a.lines, text, OptimalStrategy);
    if (!a.ok) return a;
    AbstractState state;
    ReadAbstractState(text, state);
    a.game = state.gameState;
    if (InSet(a.game.free, QuintorCat)) a.game.chip = false;   // as Advise reads it
    a.total = state.total;
    a.turn = state.turnState;
    a.dice = state.dice;
    if (GameOver(a.game)) return a;
    if (a.turn.phase == ToRoll)
        ListRollOutcomes(a.list, OptimalStrategy, a.game, a.total, a.turn);
    else
        ListChoiceOptions(a.list, OptimalStrategy, a.game, a.total, a.turn);
    SortEList(a.list);
    a.wantsChances = a.list.len > 0;
    return a;
}

void FinishTargetAdvice(TargetAdvice& a, const TargetChances& chances, int target) {
    if (!a.wantsChances) return;
    AppendChances(a.lines, a.list, a.dice, EListChances(a.list, chances), target);
}

bool Advise(std::vector<std::string>& lines, std::string_view text, QuintorStrategyState* S) {
    AbstractState state;
    if (!ReadAbstractState(text, state)) {
        lines.push_back(Format("Error in Abstract Quintor State at position %d", state.pos));
        lines.push_back(state.text);
        lines.push_back(Format("%*s", state.pos, "^"));
        lines.push_back(state.error);
        return false;
    }
    if (S == nullptr) S = OptimalStrategy;
    // The chip only counts once the Quintor box holds a score; beside a free box no game has it,
    // and it would change nothing, so the state is analysed as the same one without it.
    GameState gs = state.gameState;
    if (InSet(gs.free, QuintorCat)) gs.chip = false;
    EList list;
    // A finished game (no free category) has nothing left to choose or roll for.
    if (GameOver(gs))
        InitEList(list, gs, state.turnState);
    else if (state.turnState.phase == ToRoll)
        ListRollOutcomes(list, S, gs, state.total, state.turnState);
    else
        ListChoiceOptions(list, S, gs, state.total, state.turnState);
    SortEList(list);
    WriteEList(lines, list, state.dice, false);
    return true;
}

}  // namespace quintor
