// A complete game of 13 turns for the benchmarks: fair dice from a fixed seed, the optimal
// choice mostly, some other keep or category now and then, so that losses and luck both occur.
#pragma once

#include "engine/QuintorScoreDistribution.h"
#include "engine/QuintorStrategies.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"

namespace quintor {

// BenchGame, and every point of it (before each roll and before each choice) into points.
inline GameRecording BenchGame(std::vector<GamePoint>* points);
inline GameRecording BenchGame() { return BenchGame(nullptr); }

inline GameRecording BenchGame(std::vector<GamePoint>* points) {
    const auto at = [&](const GameSession& s) {
        if (points) points->push_back({s.gameState, SessionTotal(s), s.turnState});
    };
    SeedGenerator(4357);
    ResetDiceDevil(FairDice());
    GameSession s;
    NewGameSession(s);
    int step = 0;
    while (s.phase != gpGameOver) {
        at(s);
        SessionRoll(s, FairDice());
        for (;;) {
            at(s);
            Event e;
            ChooseEvent(OptimalStrategy, s.gameState, s.turnState, SessionTotal(s), e, false);
            ++step;
            // Every fifth choice keeps nothing or scores in the first free category instead.
            if (step % 5 == 0) {
                if (s.turnState.rollsLeft > 0) {
                    e.aspect = Keeping;
                    e.arg = 0;
                } else {
                    e.aspect = Scoring;
                    e.category = FirstCategoryIn(s.gameState.free);
                }
            }
            if (e.aspect == Keeping) {
                SessionKeep(s, e.arg);
                at(s);
                SessionRoll(s, FairDice());
                continue;
            }
            SessionScore(s, e.category);
            break;
        }
    }
    return s.recording;
}

}  // namespace quintor
