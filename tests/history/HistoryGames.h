// Games for the history tests and benchmark: played through the game session with fair random
// dice and random choices, each choice given a best option among the real options of its position
// and made-up values (the history stores what it is given; the analysis numbers are not its job).
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/DiceStuff.h"
#include "history/QuintorHistory.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"
#include "play/QuintorStateAnalyzer.h"
#include "tests/support/SessionPlay.h"

namespace quintor::historytest {

// Another option of the position than e, or e itself when there is none.
inline Event OtherOption(const GameRecordingEntry& r, const Event& e, std::mt19937& rng) {
    std::vector<Event> others;
    for (int c = 0; c < NCategories; ++c) {
        if (!InSet(r.gameState.free, c) || (e.aspect == Scoring && e.category == c)) continue;
        Event s;
        s.aspect = Scoring;
        s.category = Category(c);
        GameState next;
        ScoreCard delta;
        ApplyScoringEvent(OfficialRules, r.gameState, r.turnState, next, delta, s);
        others.push_back(s);
    }
    if (r.turnState.rollsLeft > 0) {
        const IndexRange subs = SubBagRanges[r.turnState.dice - NValueBag4Ranks];
        for (int i = subs.first; i <= subs.last; ++i)
            if (e.aspect != Keeping || e.arg != SubBagTbl[i]) {
                Event k;
                k.aspect = Keeping;
                k.arg = SubBagTbl[i];
                others.push_back(k);
            }
    }
    return others.empty() ? e : others[rng() % others.size()];
}

inline int OptionCount(const GameRecordingEntry& r) {
    int n = CategorySetSize(r.gameState.free);
    if (r.turnState.rollsLeft > 0) {
        const IndexRange subs = SubBagRanges[r.turnState.dice - NValueBag4Ranks];
        n += subs.last - subs.first + 1;
    }
    return n;
}

// One game; abortAt >= 0 aborts it before that step. The player keeps dice (when a roll is left)
// keepPercent times in a hundred; at 100 every game has 39 choices. The same seed gives the same game.
inline HistoryGame PlayHistoryGame(std::uint32_t seed, const std::string& dice = "fair", int abortAt = -1,
                                   int keepPercent = 50) {
    std::mt19937 rng(seed);
    const GameSession s = testsupport::PlaySessionWith(seed, abortAt, [&rng, keepPercent](GameSession& play) {
        if (play.turnState.rollsLeft > 0 && int(rng() % 100) < keepPercent) {
            const IndexRange subs = SubBagRanges[play.turnState.dice - NValueBag4Ranks];
            SessionKeep(play, SubBagTbl[subs.first + rng() % (subs.last - subs.first + 1)]);
        } else {
            std::vector<Category> free;
            for (int c = 0; c < NCategories; ++c)
                if (InSet(play.gameState.free, c)) free.push_back(Category(c));
            SessionScore(play, free[rng() % free.size()]);
        }
    });
    HistoryGame g;
    g.started = 1'700'000'000 + std::int64_t(seed) * 600;
    g.ended = g.started + 300 + rng() % 600;
    g.diceSource = dice;
    g.finished = s.gameState.free == 0;
    g.finalScore = SessionTotal(s);
    g.startValue = 254.58961;
    g.version = VersionText;
    std::uniform_real_distribution<double> luck(-12.0, 12.0), loss(0.0, 1.0), value(150.0, 320.0);
    int turn = 0;
    GameState previous;
    previous.free = 0;
    for (int i = 0; i < s.recording.len; ++i) {
        const GameRecordingEntry& r = s.recording.entry[std::size_t(i)];
        if (!EqualGameStates(r.gameState, previous)) ++turn;
        previous = r.gameState;
        HistoryChoice c;
        c.turn = turn;
        ValueList rolled;
        ValueListFromValueBag(rolled, ValueBagTbl[r.turnState.dice].bag);
        c.position = AbstractStateText(r.gameState, r.total, r.turnState, rolled);
        c.choice = r.event;
        c.options = OptionCount(r);
        c.best = c.options > 1 && rng() % 5 < 3 ? OtherOption(r, r.event, rng) : r.event;
        c.value = value(rng);
        // Losses of every class: ties, small, medium and large.
        const double u = loss(rng);
        c.loss = EqualEvents(c.best, c.choice) ? 0.0 : u < 0.1 ? 0.0 : u < 0.4 ? u : u < 0.8 ? 5 * u : 20 * u;
        c.bestValue = c.value + c.loss;
        c.luck = luck(rng);
        g.sumLoss += c.loss;
        g.sumLuck += c.luck;
        g.choices.push_back(c);
    }
    g.endValue = g.finished ? g.finalScore : g.startValue + g.sumLuck - g.sumLoss;
    if (g.finished) g.percentile = 100.0 * g.finalScore / 400.0 > 100.0 ? 100.0 : 100.0 * g.finalScore / 400.0;
    return g;
}

}  // namespace quintor::historytest
