#include "history/HistoryRecording.h"

#include <algorithm>
#include <exception>

#include "core/GeneralStuff.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor {

const char* DiceSourceWord(DiceDevilKind kind) {
    static const char* const words[NDiceDevilKinds] = {"user",  "fair",  "perlist", "perbag",
                                                       "demon", "angel", "special", "stuckat"};
    return words[CheckRange(int(kind), 0, NDiceDevilKinds - 1, "dice source")];
}

HistoryResult StorePlayedGame(HistoryDatabase& db, const GameRecording& rec, QuintorStrategyState* S,
                              const ScoreDistribution& d, const std::string& diceSource,
                              std::int64_t started, std::int64_t ended) {
    try {
        const LuckAndSkill a = AnalyseLuckAndSkill(rec, S);
        return db.StoreGame(HistoryGameFromRecording(rec, a, d, diceSource, started, std::max(started, ended)));
    } catch (const std::exception& e) {
        HistoryResult r{false, std::string("The game could not be stored in the history: ") + e.what(), true};
        LogFile() << "History: " << r.message << '\n';
        return r;
    }
}

int RecordedOptionCount(const GameRecordingEntry& r) {
    int n = CategorySetSize(r.gameState.free);
    if (r.turnState.rollsLeft > 0) {
        const IndexRange subs = SubBagRanges[r.turnState.dice - NValueBag4Ranks];
        n += subs.last - subs.first + 1;
    }
    return n;
}

HistoryGame HistoryGameFromRecording(const GameRecording& rec, const LuckAndSkill& a,
                                     const ScoreDistribution& d, const std::string& diceSource,
                                     std::int64_t started, std::int64_t ended) {
    Check(a.choices.size() == std::size_t(rec.len), "HistoryGameFromRecording",
          "the analysis belongs to the recording");
    HistoryGame g;
    g.started = started;
    g.ended = ended;
    g.diceSource = diceSource;
    g.finished = a.finished;
    g.finalScore = a.finalScore;
    g.startValue = a.start;
    g.sumLuck = a.luck;
    g.sumLoss = a.loss;
    g.endValue = a.end;
    if (a.finished && !d.empty()) g.percentile = 100.0 * ScorePercentile(d, a.finalScore);
    g.version = VersionText;
    g.choices.reserve(std::size_t(rec.len));
    for (int i = 0; i < rec.len; ++i) {
        const GameRecordingEntry& r = rec.entry[std::size_t(i)];
        const ChoiceAnalysis& ca = a.choices[std::size_t(i)];
        HistoryChoice c;
        c.turn = ca.turn;
        ValueList rolled;
        ValueListFromValueBag(rolled, ValueBagTbl[r.turnState.dice].bag);
        c.position = AbstractStateText(r.gameState, r.total, r.turnState, rolled);
        c.choice = r.event;
        // A single option is the choice itself, whatever the analysis names as its best.
        c.options = ca.noChoice ? 1 : std::max(2, RecordedOptionCount(r));
        c.best = ca.noChoice ? r.event : ca.best;
        c.value = ca.chosen;
        c.bestValue = ca.rolled;
        c.loss = ca.loss;
        c.luck = ca.luck;
        c.tutor = r.tutor;
        g.choices.push_back(c);
    }
    g.counts = CountChoices(g.choices);
    return g;
}

namespace {

// Why the choice e cannot be made in the position st, or "".
std::string ChoiceError(const Event& e, const AbstractState& st) {
    if (e.aspect == Keeping) {
        if (st.turnState.rollsLeft == 0) return "it keeps dice with no roll left";
        if (e.arg >= NValueBag5Ranks || !IsSubBag(ValueBagTbl[e.arg].bag, ValueBagTbl[st.turnState.dice].bag))
            return "it keeps dice that are not on the table";
        return "";
    }
    if (e.aspect != Scoring) return "it is neither a keeping nor a scoring";
    if (e.category >= NCategories || !InSet(st.gameState.free, e.category))
        return "it scores in a category that is not free";
    return "";
}

std::string RebuildRecording(const HistoryGame& g, GameRecording& rec) {
    if (g.choices.size() > std::size_t(MaxGameRecordingIndex))
        return Format("%zu choices are more than a game can have", g.choices.size());
    GameState gs = InitialGameState;
    int total = 0;
    bool turnStart = true;   // the next position is a turn's first roll
    TurnState before;        // the position of the keeping before, within a turn
    ValueBagRank kept = 0;
    for (std::size_t i = 0; i < g.choices.size(); ++i) {
        const HistoryChoice& c = g.choices[i];
        const std::string at = Format("choice %zu: ", i + 1);
        AbstractState st;
        if (!ReadAbstractState(c.position, st) || st.turnState.phase != ToChoose)
            return at + "the position \"" + c.position + "\" is not one after a roll";
        if (GameOver(gs)) return at + "it comes after the game's last scoring";
        // The game state and total are those the choices before left; the dice follow the turn.
        const bool follows =
            EqualGameStates(st.gameState, gs) && st.total == total &&
            (turnStart ? st.turnState.rollsLeft == NRollsPerTurn - 1
                       : st.turnState.rollsLeft + 1 == before.rollsLeft &&
                             IsSubBag(ValueBagTbl[kept].bag, ValueBagTbl[st.turnState.dice].bag));
        if (!follows) return at + "the position \"" + c.position + "\" does not follow from the choice before it";
        if (std::string err = ChoiceError(c.choice, st); !err.empty()) return at + err;
        if (c.tutor.changedMind)
            if (std::string err = ChoiceError(c.tutor.withdrawn, st); !err.empty())
                return at + "the withdrawn choice: " + err;
        Event e = c.choice;
        if (e.aspect == Scoring) {
            GameState next;
            ScoreCard delta;
            ApplyScoringEvent(OfficialRules, st.gameState, st.turnState, next, delta, e);
            if (e.arg != c.choice.arg)
                return at + Format("the scoring gains %d points, not %d", int(e.arg), int(c.choice.arg));
            gs = next;
            total += delta[GrandTotal];
            turnStart = true;
        } else {
            e.category = 0;
            before = st.turnState;
            kept = e.arg;
            turnStart = false;
        }
        ExtendGameRecording(rec, st.gameState, st.total, e, st.turnState);
        rec.entry[std::size_t(rec.len - 1)].tutor = c.tutor;
    }
    return "";
}

}  // namespace

std::string RecordingFromHistoryGame(const HistoryGame& g, GameRecording& rec) {
    InitGameRecording(rec);
    const std::string err = RebuildRecording(g, rec);
    if (!err.empty()) InitGameRecording(rec);
    return err;
}

}  // namespace quintor
