// evaluate: what a strategy is worth from the start of a game.
#include <cmath>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategyAnalysis.h"

namespace quintor::cli {

static void WriteLine(std::ostream& out, const char* label, const std::string& value) {
    out << Format("%-22s = ", label) << value << '\n';
}

static std::string StrategyText(const QuintorStrategyState* s) {
    return s->LongName + " (" + s->ShortName + ")";
}

int EvaluateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Options o = ParseOptions(args, {"--location", "--strategy"}, {}, 0, "evaluate");
    if (!o.Has("--strategy"))
        throw UsageError("evaluate: --strategy optimal|simple|minscore is required");
    const std::string which = o.Value("--strategy");

    if (which == "optimal") {
        LoadExpectedTable(o);
        const bool haveVariance = LoadVarianceTable(TableLocation(o));
        QuintorStrategyState* s = OptimalStrategy;
        WriteLine(out, "Strategy", StrategyText(s));
        WriteLine(out, "Expected final score",
                  FixedStr(StrategyExpectedValue(s, InitialGameState, InitialTurnState), 5));
        if (haveVariance)
            WriteLine(
                out, "Standard deviation",
                FixedStr(std::sqrt(StrategyVariance(s, InitialGameState, InitialTurnState)), 5));
        else
            err << "quintor: no variance table, so no standard deviation; create it with: "
                << CreateCommandText(o, "--variance") << '\n';
        return ExitOk;
    }
    if (which == "simple") {
        // The simple rule needs no table: it reaches few states, so both values are computed.
        QuintorStrategyState* s = SimpleStrategy;
        CreateCache(s->ExpectedCache, "Expected Final Score", GrandTotal, "");
        CreateCache(s->VarianceCache, "Variance in Final Score", GrandTotal, "");
        WriteLine(out, "Strategy", StrategyText(s));
        WriteLine(out, "Expected final score",
                  FixedStr(StrategyExpectedValue(s, InitialGameState, InitialTurnState), 5));
        WriteLine(out, "Standard deviation",
                  FixedStr(std::sqrt(StrategyVariance(s, InitialGameState, InitialTurnState)), 5));
        return ExitOk;
    }
    if (which == "minscore") {
        QuintorStrategyState* s = MinScoreStrategy;
        WriteLine(out, "Strategy", StrategyText(s));
        WriteLine(out, "Guaranteed final score",
                  FixedStr(MinScoreValue(s, InitialGameState, InitialTurnState), 5));
        return ExitOk;
    }
    throw UsageError("evaluate: unknown strategy '" + which + "' (optimal, simple or minscore)");
}

}  // namespace quintor::cli
