// Games played through the game session for the tests: the dice and the steps are the same in
// every test, each test brings its own player.
#pragma once

#include <cstdint>
#include <functional>

#include "core/DiceStuff.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"

namespace quintor::testsupport {

// A game with fair dice from seed: choose(s) keeps or scores on every rolled position; a game
// is aborted before step abortAt (>= 0); after(s), when given, sees the session before the first
// roll and after every roll and every choice.
inline GameSession PlaySessionWith(std::uint32_t seed, int abortAt,
                                   const std::function<void(GameSession&)>& choose,
                                   const std::function<void(const GameSession&)>& after = {}) {
    SeedGenerator(seed);
    GameSession s;
    NewGameSession(s);
    if (after) after(s);
    for (int step = 0; s.phase != gpGameOver; ++step) {
        if (step == abortAt) {
            AbortSession(s);
            break;
        }
        if (s.turnState.phase == ToRoll)
            SessionRoll(s, FairDice());
        else
            choose(s);
        if (after) after(s);
    }
    return s;
}

// The first n of the shown dice, as the bag to keep.
inline ValueBagRank FirstShownDice(const GameSession& s, int n) {
    ValueBag b;
    for (int i = 0; i < n; ++i) AddToBag(b, s.shownDice.val[std::size_t(i)], 1);
    return RankFromValueBag(b);
}

// The first free category.
inline Category FirstFreeCategory(const GameSession& s) {
    int c = 0;
    while (!InSet(s.gameState.free, c)) ++c;
    return Category(c);
}

}  // namespace quintor::testsupport
