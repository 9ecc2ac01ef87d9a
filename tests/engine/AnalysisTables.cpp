#include "AnalysisTables.h"

#include "EngineTables.h"

namespace quintor::testtables {

namespace {
GameStateTable reference;
}

QuintorStrategyState* OptimalWithTables() {
    // The expected-score table the engine tests share, computed once per program.
    enginetest::UseCompleteOptimalTable();
    QuintorStrategyState* S = OptimalStrategy;
    if (reference.empty()) {
        CreateCache(S->VarianceCache, "Variance in Final Score", GrandTotal, "");
        ComputeAllVariances(S, 0);
        reference = S->VarianceCache->Table;
    } else if (S->VarianceCache == nullptr || S->VarianceCache->Table != reference) {
        CreateCache(S->VarianceCache, "Variance in Final Score", GrandTotal, "");
        S->VarianceCache->Table = reference;
        S->VarianceCache->KnownEntries = NGameStates;
    }
    return S;
}

const GameStateTable& ReferenceVarianceTable() {
    OptimalWithTables();
    return reference;
}

CacheState* FreshCache(const std::string& name) {
    CacheState* C = nullptr;
    CreateCache(C, name, GrandTotal, "");
    return C;
}

QuintorStrategyState* StrategyLike(StrategyKind kind, CacheState* expected, CacheState* variance) {
    QuintorStrategyState* S = nullptr;
    CreateQuintorStrategy(S, "Test", "Test", OfficialRules, kind);
    if (kind == Optimal) S->Cache = OptimalStrategy->Cache;
    S->ExpectedCache = expected;
    S->VarianceCache = variance;
    return S;
}

}  // namespace quintor::testtables
