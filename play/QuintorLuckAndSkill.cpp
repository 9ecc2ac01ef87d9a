#include "play/QuintorLuckAndSkill.h"

#include <algorithm>
#include <numeric>

#include "core/GeneralStuff.h"
#include "play/DiceDevils.h"

namespace quintor {

LuckAndSkill AnalyseLuckAndSkill(const GameRecording& rec, QuintorStrategyState* S) {
    Check(S != nullptr, "AnalyseLuckAndSkill", "S<>nil");
    LuckAndSkill a;
    a.start = StrategyExpectedValue(S, InitialGameState, InitialTurnState);
    double v = a.start;   // V of the position before the next roll
    GameState previous;   // empty free set: the first entry starts a turn
    int turn = 0;
    a.choices.reserve(std::size_t(rec.len));
    for (int i = 0; i < rec.len; ++i) {
        const GameRecordingEntry& entry = rec.entry[std::size_t(i)];
        if (!EqualGameStates(entry.gameState, previous)) ++turn;
        previous = entry.gameState;
        EList list;
        ListChoiceOptions(list, S, entry.gameState, entry.total, entry.turnState);
        SortEList(list);
        const EListEntry& mine = list.entry[std::size_t(FindEvent(list, entry.event))];
        const EListEntry& best = list.entry[0];
        // V of the rolled position is the largest value. The best option comes first by the tie
        // order, so a tied option may lie a hair above it; the largest keeps every loss >= 0 and
        // the split exact.
        double top = best.expected;
        for (int k = 1; k < list.len; ++k) top = std::max(top, list.entry[std::size_t(k)].expected);
        ChoiceAnalysis c;
        c.turn = turn;
        c.before = v;
        c.rolled = top;
        c.chosen = mine.expected;
        c.luck = c.rolled - c.before;
        c.loss = c.rolled - mine.expected;
        c.noChoice = list.len == 1;
        c.identical = EqualEvents(entry.event, best.event);
        if (!c.noChoice && !c.identical) c.deltaClass = DeltaClassOf(c.loss);
        c.best = best.event;
        a.luck += c.luck;
        a.loss += c.loss;
        v = c.chosen;
        a.finalScore = entry.total;
        if (entry.event.aspect == Scoring) {
            GameState next;
            ScoreCard delta;
            Event e = entry.event;
            ApplyScoringEvent(S->Rules, entry.gameState, entry.turnState, next, delta, e);
            a.finalScore += delta[GrandTotal];
            a.finished = GameOver(next);
        } else {
            a.finished = false;
        }
        a.choices.push_back(c);
    }
    a.end = v;
    return a;
}

std::vector<GamePoint> GamePoints(const GameRecording& rec, const QuintorRulesState* rules) {
    Check(rules != nullptr, "GamePoints", "rules<>nil");
    std::vector<GamePoint> points;
    if (rec.len == 0) {
        points.push_back({InitialGameState, 0, InitialTurnState});
        return points;
    }
    points.reserve(1 + 2 * std::size_t(rec.len));
    points.push_back({rec.entry[0].gameState, rec.entry[0].total, InitialTurnState});
    for (int i = 0; i < rec.len; ++i) {
        const GameRecordingEntry& e = rec.entry[std::size_t(i)];
        points.push_back({e.gameState, e.total, e.turnState});
        GamePoint after{e.gameState, e.total, e.turnState};
        if (e.event.aspect == Scoring) {
            ScoreCard delta;
            Event scoring = e.event;
            ApplyScoringEvent(rules, e.gameState, e.turnState, after.game, delta, scoring);
            after.total += delta[GrandTotal];
            after.turn = InitialTurnState;
        } else {
            ApplyTurnEvent(after.turn, e.event);   // the kept dice, about to be rolled
        }
        points.push_back(after);
    }
    return points;
}

std::vector<double> ChancesThroughGame(const GameStateTable& table,
                                       const std::vector<GamePoint>& points, int target,
                                       const std::atomic<bool>* stop,
                                       const std::function<void(int, int)>& progress) {
    if (stop && *stop) return {};
    // One call for all points: they share one pass over what optimal play reaches after them.
    std::vector<double> out = ChancesAtPoints(table, points, target, 0, [&](int done, int all) {
        if (stop && *stop) return false;
        if (progress) progress(done, all);
        return true;
    });
    if (stop && *stop) return {};
    return out;
}

std::string SplitLine(const LuckAndSkill& a) {
    if (a.finished)
        return Format("Expected at start %.2f + luck %.2f - loss %.2f = %d", a.start, a.luck, a.loss,
                      a.finalScore);
    return Format("Expected at start %.2f + luck %.2f - loss %.2f = %.2f expected at the abort",
                  a.start, a.luck, a.loss, a.end);
}

std::string PercentileLine(int score, const ScoreDistribution& d) {
    return Format("%d is better than %.1f%% of games played perfectly", score,
                  100.0 * ScorePercentile(d, score));
}

void WriteLuckAndSkill(std::vector<std::string>& lines, const LuckAndSkill& a,
                       const ScoreDistribution& d) {
    lines.emplace_back();
    lines.push_back("Luck and Skill");
    lines.push_back("==== === =====");
    lines.emplace_back();
    lines.push_back(SplitLine(a));
    if (a.finished) lines.push_back(PercentileLine(a.finalScore, d));
}

std::vector<int> CostliestChoices(const LuckAndSkill& a, int n) {
    std::vector<int> idx;
    for (int i = 0; i < int(a.choices.size()); ++i)
        if (a.choices[std::size_t(i)].deltaClass >= 0) idx.push_back(i);
    std::stable_sort(idx.begin(), idx.end(), [&a](int x, int y) {
        return a.choices[std::size_t(x)].loss > a.choices[std::size_t(y)].loss;
    });
    if (int(idx.size()) > n) idx.resize(std::size_t(std::max(0, n)));
    return idx;
}

std::string ShortChoiceText(const Event& e) {
    if (e.aspect == Keeping) return "keep " + EventToString(e, false, false);
    if (e.aspect == Scoring)
        return Format("score %c for %d", CategoryChar(e.category), int(e.arg));
    return EventToString(e, true, false);
}

}  // namespace quintor
