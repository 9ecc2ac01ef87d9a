// Option and outcome lists with the expected final score and its standard deviation under a
// strategy.
#include "engine/QuintorEventLists.h"

#include <algorithm>
#include <cmath>

namespace quintor {

namespace {

// The standard deviation at the point where the expected value is taken; -1.0 marks its absence.
double StandardDeviation(QuintorStrategyState* S, const GameState& g, const TurnState& t) {
    if (S->VarianceCache == nullptr) return -1.0;
    return std::sqrt(StrategyVariance(S, g, t));
}

void CheckStrategy(QuintorStrategyState* S, const char* proc) {
    Check(S != nullptr, proc, "S<>nil");
    Check(S->ExpectedCache != nullptr, proc, "S^.ExpectedCache<>nil");
}

}  // namespace

void InitEList(EList& list, const GameState& g, const TurnState& t) {
    list.gameState = g;
    list.turnState = t;
    list.len = 0;
}

void ExtendEList(EList& list, const Event& e, double expected, double sd) {
    Check(list.len < MaxEListIndex, "ExtendEList", "len<MaxEListIndex");
    list.entry[list.len] = EListEntry{expected, sd, e};
    ++list.len;
}

void ListChoiceOptions(EList& list, QuintorStrategyState* S, const GameState& g, int total,
                       const TurnState& t) {
    CheckStrategy(S, "ListChoiceOptions");
    CheckRange(total, 0, MaxPoints, "ListChoiceOptions: total");
    CheckRange(t.phase, ToChoose, ToChoose, "ListChoiceOptions: phase");
    CheckRange(t.rollsLeft, 0, NRollsPerTurn - 1, "ListChoiceOptions: rollsLeft");
    const ValueBagRank r = CheckFiveDiceBagRank(t.dice);
    InitEList(list, g, t);
    // A finished game (a typed state may be one) offers nothing to score, keep or roll.
    if (GameOver(g)) return;

    for (int c = 0; c < NCategories; ++c) {
        if (!InSet(g.free, c)) continue;
        Event e;
        e.aspect = Scoring;
        e.category = Category(c);
        GameState g2;
        ScoreCard delta;
        ApplyScoringEvent(S->Rules, g, t, g2, delta, e);
        // A plain integer sum: a typed total need not fit the points still to come.
        const int newTotal = total + int(delta[S->ExpectedCache->Line]);
        double expected = StrategyExpectedValue(S, g2, InitialTurnState) + newTotal;
        ExtendEList(list, e, expected, StandardDeviation(S, g2, InitialTurnState));
    }
    if (t.rollsLeft == 0) return;

    const IndexRange subs = SubBagRanges[r - NValueBag4Ranks];
    for (int j = subs.last; j >= subs.first; --j) {
        TurnState kept{t.rollsLeft, ToRoll, SubBagTbl[j]};
        Event e;
        e.aspect = Keeping;
        e.arg = kept.dice;
        double expected = StrategyExpectedValue(S, g, kept) + total;
        ExtendEList(list, e, expected, StandardDeviation(S, g, kept));
    }
}

void ListRollOutcomes(EList& list, QuintorStrategyState* S, const GameState& g, int total,
                      const TurnState& t) {
    CheckStrategy(S, "ListRollOutcomes");
    CheckRange(total, 0, MaxPoints, "ListRollOutcomes: total");
    CheckRange(t.phase, ToRoll, ToRoll, "ListRollOutcomes: phase");
    CheckRange(t.rollsLeft, 1, NRollsPerTurn, "ListRollOutcomes: rollsLeft");
    const ValueBagRank k = CheckValueBagRank(t.dice);
    if (t.rollsLeft == NRollsPerTurn)
        CheckRange(k, 0, 0, "ListRollOutcomes: dice at the start of a turn");
    InitEList(list, g, t);
    if (GameOver(g)) return;

    TurnState rolled{std::uint8_t(t.rollsLeft - 1), ToChoose, 0};
    for (int j = CompletionRanges[k].first; j <= CompletionRanges[k].last; ++j) {
        rolled.dice = CompletionTbl[j].vbr;
        Event e;
        MakeRollingEvent(e, ValueBagTbl[rolled.dice].vlr);
        double expected = StrategyExpectedValue(S, g, rolled) + total;
        ExtendEList(list, e, expected, StandardDeviation(S, g, rolled));
    }
}

void SortEList(EList& list) {
    if (list.len < 2) return;
    // The choice first. Options are appended in the order that decides ties, so it is the first
    // one that ties with the largest value; sorting near-equal values pairwise could let a chain
    // of them carry a later option to the top.
    double best = list.entry[0].expected;
    for (int i = 1; i < list.len; ++i) best = std::max(best, list.entry[i].expected);
    int first = 0;
    while (!TiesWithBest(list.entry[first].expected, best)) ++first;
    std::rotate(list.entry.begin(), list.entry.begin() + first, list.entry.begin() + first + 1);
    for (int i = 2; i < list.len; ++i) {
        EListEntry lifted = list.entry[i];
        int j = i;
        while (j > 1 && !TiesWithBest(list.entry[j - 1].expected, lifted.expected)) {
            list.entry[j] = list.entry[j - 1];
            --j;
        }
        list.entry[j] = lifted;
    }
}

int FindEvent(const EList& list, const Event& e) {
    for (int i = 0; i < list.len; ++i)
        if (EqualEvents(list.entry[i].event, e)) return i;
    throw RangeError(Format("FindEvent: no entry holds the event (aspect %d, category %d, arg %d)",
                            int(e.aspect), int(e.category), int(e.arg)));
}

}  // namespace quintor
