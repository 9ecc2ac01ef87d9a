// evaluate: what a strategy is worth from the start of a game.
#include <array>
#include <cmath>
#include <memory>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategyAnalysis.h"
#include "engine/QuintorTurnKernel.h"

namespace quintor::cli {

namespace {

struct EvaluateOptions {
    LocationOption location;
    std::string strategy;
};

void WriteLine(std::ostream& out, const char* label, const std::string& value) {
    out << Format("%-22s = ", label) << value << '\n';
}

std::string StrategyText(const QuintorStrategyState* s) {
    return s->LongName + " (" + s->ShortName + ")";
}

// The guaranteed score of every state the start of a game reaches, in one pass over the layers
// of states (fewest free categories first, each layer over all processors) as the tables are
// made, with a bar; the same turn computation as the strategy's own, one state after the other,
// so the values are the same.
double GuaranteedScore(QuintorStrategyState* s, std::ostream& err) {
    std::vector<char> reached(NGameStates, 0);
    std::vector<GameState> todo = {InitialGameState};
    reached[std::size_t(GameStateIndex(InitialGameState))] = 1;
    std::size_t count = 1;
    while (!todo.empty()) {
        const GameState g = todo.back();
        todo.pop_back();
        std::array<GameState, 48> next;
        const int n = kernel::Successors(g, next);
        for (int k = 0; k < n; ++k) {
            char& seen = reached[std::size_t(GameStateIndex(next[std::size_t(k)]))];
            if (!seen) todo.push_back(next[std::size_t(k)]), ++count;
            seen = 1;
        }
    }
    if (s->Cache == nullptr) CreateCache(s->Cache, "Guaranteed Final Score", GrandTotal, "");
    GameStateTable& table = s->Cache->Table;
    auto fill = [&reached, &table](const kernel::StateGroup& grp) {
        const auto turn = std::make_unique<kernel::TurnTables>();
        std::int64_t filled = 0;
        for (int need = 0; need <= MaxBonusThreshold; ++need) {
            const GameState g{grp.free, std::uint16_t(need), grp.chip};
            const std::size_t i = std::size_t(GameStateIndex(g));
            if (!reached[i] || IsKnown(table[i])) continue;
            if (g.free == 0) {
                table[i] = 0.0;
            } else {
                kernel::ComputeTurnTables(table, g, kernel::Reducer::Worst, false, *turn);
                table[i] = turn->start;
            }
            ++filled;
        }
        return filled;
    };
    ProgressBar bar(err, "Guaranteed Final Score", int(count / 1024));
    std::int32_t known = 0;
    kernel::RunLayers(0, fill, known, [&bar] { bar.Step(); });
    bar.Finish();
    return MinScoreValue(s, InitialGameState, InitialTurnState);
}

int Evaluate(const EvaluateOptions& o, Console& c) {
    if (o.strategy.empty())
        throw UsageError("evaluate: --strategy optimal|simple|minscore is required");
    if (o.strategy == "optimal") {
        LoadExpectedTable(o.location);
        const bool haveVariance = LoadVarianceTable(TableLocation(o.location));
        QuintorStrategyState* s = OptimalStrategy;
        WriteLine(c.out, "Strategy", StrategyText(s));
        WriteLine(c.out, "Expected final score",
                  FixedStr(StrategyExpectedValue(s, InitialGameState, InitialTurnState), 5));
        if (haveVariance)
            WriteLine(
                c.out, "Standard deviation",
                FixedStr(std::sqrt(StrategyVariance(s, InitialGameState, InitialTurnState)), 5));
        else
            c.err << "quintor: no variance table, so no standard deviation; create it with: "
                  << CreateCommandText(o.location, "--variance") << '\n';
        return ExitOk;
    }
    if (o.strategy == "simple") {
        // The simple rule needs no table: it reaches few states, so both values are computed.
        QuintorStrategyState* s = SimpleStrategy;
        CreateCache(s->ExpectedCache, "Expected Final Score", GrandTotal, "");
        CreateCache(s->VarianceCache, "Variance in Final Score", GrandTotal, "");
        WriteLine(c.out, "Strategy", StrategyText(s));
        WriteLine(c.out, "Expected final score",
                  FixedStr(StrategyExpectedValue(s, InitialGameState, InitialTurnState), 5));
        WriteLine(c.out, "Standard deviation",
                  FixedStr(std::sqrt(StrategyVariance(s, InitialGameState, InitialTurnState)), 5));
        return ExitOk;
    }
    QuintorStrategyState* s = MinScoreStrategy;
    const double least = GuaranteedScore(s, c.err);
    WriteLine(c.out, "Strategy", StrategyText(s));
    WriteLine(c.out, "Guaranteed final score", FixedStr(least, 5));
    return ExitOk;
}

}  // namespace

void AddEvaluateCommand(CommandLine& line) {
    auto o = std::make_shared<EvaluateOptions>();
    CLI::App* cmd = line.AddCommand(
        nullptr, "evaluate", "evaluate [--location DIR] --strategy optimal|simple|minscore",
        "Expected final score of a strategy from the start of a game, with its standard\n"
        "deviation where known; for minscore the score it guarantees.",
        [o](Console& c) { return Evaluate(*o, c); });
    AddLocationOption(cmd, o->location);
    AddChoiceOption(cmd, "--strategy", o->strategy, {"optimal", "simple", "minscore"}, "strategy",
                    "NAME",
                    "optimal: the optimal strategy, from the tables; simple: score the first free "
                    "category at once; minscore: the strategy that maximises the score it "
                    "guarantees (a progress bar on standard error while it is computed).");
}

}  // namespace quintor::cli
