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
        g.choices.push_back(c);
    }
    g.counts = CountChoices(g.choices);
    return g;
}

}  // namespace quintor
