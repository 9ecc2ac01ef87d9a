#include "EngineTestTables.h"

#include <cstring>

namespace quintor {

bool SameBytes(const GameStateTable& a, const GameStateTable& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

void Restore(CacheState* C, const GameStateTable& t) {
    if (!SameBytes(C->Table, t)) C->Table = t;
    C->KnownEntries = NGameStates;
    C->CurrentState.free = 0;
}

const GameStateTable& OptimalTable() {
    static const GameStateTable t = [] {
        CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
        ComputeAllOptimalValues(1);
        return OptimalStrategy->Cache->Table;
    }();
    Restore(OptimalStrategy->Cache, t);
    OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
    return t;
}

const GameStateTable& VarianceTable() {
    static const GameStateTable t = [] {
        OptimalTable();
        CreateCache(OptimalStrategy->VarianceCache, "Variance in Final Score", GrandTotal, "");
        ComputeAllVariances(OptimalStrategy, 0);
        return OptimalStrategy->VarianceCache->Table;
    }();
    OptimalTable();
    Restore(OptimalStrategy->VarianceCache, t);
    return t;
}

}  // namespace quintor
