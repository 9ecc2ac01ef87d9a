#include "play/DiceDevils.h"

#include <array>
#include <new>
#include <ostream>

#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "play/PseudoRandomGenerator.h"

namespace quintor {

std::array<DiceDevilState*, NDiceDevilKinds> DiceDevil{};

namespace {

constexpr std::array<std::string_view, NDiceDevilKinds> Words = {
    "user", "fair", "perlist", "perbag", "demon", "angel", "special", "stuckat"};

ValueListRank UserRoll(int n) {
    const std::string prompt = "Enter dice roll of " + std::to_string(n) + " dice: ";
    for (;;) {
        ValueList list;
        std::string error;
        const bool ok = ReadValueList(prompt, list, &error);
        SkipRestOfLine();
        if (ok && list.siz == n) return RankFromValueList(list);
        if (ok)
            error = Format(n == 1 ? "%d die value expected, not %d" : "%d dice values expected, not %d",
                           n, list.siz);
        if (!error.empty()) ConsoleOut() << error << '\n';
    }
}

// The roll among the completions of the kept bag that is worst (demon) or best (angel) for an
// optimal player: the extreme value first, then the first completion that ties with it, so the
// pick is the same every time and not left to the last bits of equal values.
ValueListRank ExtremeRoll(bool demon, int n, const GameState& gs, const TurnState& ts) {
    Check(ts.rollsLeft >= 1, "RollDice", "ts.rollsLeft >= 1");
    TurnState t = ts;
    t.rollsLeft = static_cast<std::uint8_t>(ts.rollsLeft - 1);
    t.phase = ToChoose;
    const IndexRange range = CompletionRanges[ts.dice];
    std::array<double, NFiveDiceBags> value{};
    double bound = demon ? 1575.0 : 0.0;
    for (int i = range.first; i <= range.last; ++i) {
        t.dice = CompletionTbl[i].vbr;
        const double v = OptimalTurnValue(gs, t);
        value[static_cast<std::size_t>(i - range.first)] = v;
        if (demon ? v < bound : v > bound) bound = v;
    }
    int pick = range.first;   // also when no value passes the starting bound
    for (int i = range.first; i <= range.last; ++i) {
        const double v = value[static_cast<std::size_t>(i - range.first)];
        if (demon ? TiesWithBest(-v, -bound) : TiesWithBest(v, bound)) {
            pick = i;
            break;
        }
    }
    const int bag = ValueBagRanks[n].firstvbr + (pick - range.first);
    return ValueBagTbl[bag].vlr;
}

}  // namespace

bool DiceDevilKindFromWord(std::string_view word, DiceDevilKind& kind) {
    for (int k = 0; k < NDiceDevilKinds; ++k) {
        if (Words[k] == word) {
            kind = static_cast<DiceDevilKind>(k);
            return true;
        }
    }
    return false;
}

void CreateDiceDevil(DiceDevilState*& DD, const std::string& name, DiceDevilKind kind) {
    if (DD == nullptr) DD = new (std::nothrow) DiceDevilState;
    Check(DD != nullptr, "CreateDiceDevil", "DD<>nil");
    DD->Name = name;
    DD->Kind = kind;
    DD->Cycle = 1;
    ResetDiceDevil(DD);
}

void ResetDiceDevil(DiceDevilState* devil) {
    Check(devil != nullptr, "ResetDiceDevil", "devil<>nil");
    if (devil->Kind == dkSpecial) devil->Cycle = 1;
    if (devil->Kind == dkStuckAt) devil->Cycle = 6;
}

void RollDice(DiceDevilState* devil, const GameState& gs, const TurnState& ts, Event& e) {
    Check(devil != nullptr, "RollDice", "devil<>nil");
    e.aspect = Rolling;
    const int n = NDice - ValueBagTbl[CheckValueBagRank(ts.dice)].siz;
    if (n == 0) {
        e.arg = 0;
        return;
    }
    ValueList list;
    switch (devil->Kind) {
    case dkUser:
        e.arg = UserRoll(n);
        return;
    case dkPerDice:
        for (int i = 0; i < n; ++i) ExtendValueList(list, RandomDie(), 1);
        e.arg = RankFromValueList(list);
        return;
    case dkPerList: {
        const ValueListRange r = ValueListRanks[n];
        e.arg = static_cast<ValueListRank>(r.first + RandomBelow(r.count));
        return;
    }
    case dkPerBag: {
        const ValueBagRange r = ValueBagRanks[n];
        e.arg = ValueBagTbl[r.firstvbr + RandomBelow(r.count)].vlr;
        return;
    }
    case dkDemon:
    case dkAngel:
        e.arg = ExtremeRoll(devil->Kind == dkDemon, n, gs, ts);
        return;
    case dkSpecial:
        for (int i = 0; i < n; ++i) {
            ExtendValueList(list, devil->Cycle, 1);
            devil->Cycle = static_cast<DieValue>(devil->Cycle % 6 + 1);
        }
        e.arg = RankFromValueList(list);
        return;
    case dkStuckAt:
        ExtendValueList(list, devil->Cycle, n);
        e.arg = RankFromValueList(list);
        return;
    }
    Fail("RollDice", "devil^.Kind in dkUser..dkStuckAt");
}

void ApplyTurnEvent(TurnState& ts, const Event& e) {
    switch (e.aspect) {
    case Rolling: {
        Check(ts.rollsLeft >= 1, "ApplyTurnEvent", "ts.rollsLeft >= 1");
        const ValueListEntry& rolled = ValueListTbl[CheckValueListRank(e.arg)];
        const ValueBagEntry& kept = ValueBagTbl[CheckValueBagRank(ts.dice)];
        if (rolled.siz + kept.siz != NDice)
            throw RangeError(Format("ApplyTurnEvent: a roll of %d dice does not complete %d kept dice",
                                    rolled.siz, kept.siz));
        const int index = rolled.vbr - ValueBagRanks[rolled.siz].firstvbr;
        ts.dice = CompletionTbl[CompletionRanges[ts.dice].first + index].vbr;
        ts.rollsLeft = static_cast<std::uint8_t>(ts.rollsLeft - 1);
        ts.phase = ToChoose;
        return;
    }
    case Keeping: {
        const ValueBagRank kept = CheckValueBagRank(e.arg);
        if (ts.phase == ToChoose && !IsSubBag(ValueBagTbl[kept].bag, ValueBagTbl[ts.dice].bag))
            throw RangeError("ApplyTurnEvent: the kept dice " + ValueBagToString(ValueBagTbl[kept].bag, false) +
                             " are not among the dice " + ValueBagToString(ValueBagTbl[ts.dice].bag, false));
        ts.phase = ToRoll;
        ts.dice = kept;
        return;
    }
    case Scoring:
        return;
    }
}

void InitDiceDevils() {
    static constexpr std::array<const char*, NDiceDevilKinds> names = {
        "User", "PRNG (per dice)", "PRNG (per list)", "PRNG (per bag)",
        "Demon for Zelk", "Angel for Zelk", "Special dice", "Stuck-at dice"};
    for (int k = 0; k < NDiceDevilKinds; ++k)
        CreateDiceDevil(DiceDevil[k], names[k], static_cast<DiceDevilKind>(k));
}

}  // namespace quintor
