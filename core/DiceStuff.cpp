#include "core/DiceStuff.h"

#include <cmath>
#include <ostream>

#include "core/GeneralStuff.h"
#include "core/MathStuff.h"

namespace quintor {

namespace detail {
DiceTables diceTables;
}  // namespace detail

namespace {

auto& T = detail::diceTables;

std::size_t V(int value) { return std::size_t(value - 1); }

int CheckValue(long long v) { return int(CheckRange(v, MinValue, MaxValue, "die value")); }
int CheckSize(long long s) { return int(CheckRange(s, 0, NDice, "number of dice")); }

// A bag as it may enter from outside: counts 0..5, at most five dice in all.
void CheckBag(const ValueBag& bag) {
    int s = 0;
    for (int v = MinValue; v <= MaxValue; ++v) s += int(CheckRange(bag.cnt[V(v)], 0, NDice, "die count"));
    CheckRange(s, 0, NDice, "bag size");
}

void CheckList(const ValueList& list) {
    CheckSize(list.siz);
    for (int i = 0; i < list.siz; ++i) CheckValue(list.val[std::size_t(i)]);
}

// The cell of a bag in the six-dimensional rank table: its counts as base-6 digits.
std::size_t BagIndex(const ValueBag& bag) {
    std::size_t idx = 0;
    for (int v = MaxValue; v >= MinValue; --v) idx = idx * 6 + bag.cnt[V(v)];
    return idx;
}

}  // namespace

int ValueBag::count(int value) const { return cnt[V(CheckValue(value))]; }

int ValueBag::size() const {
    int s = 0;
    for (std::uint8_t c : cnt) s += c;
    return s;
}

ValueListRank CheckValueListRank(long long r) {
    return ValueListRank(CheckRange(r, 0, MaxValueListRank, "value list rank"));
}
ValueBagRank CheckValueBagRank(long long r) {
    return ValueBagRank(CheckRange(r, 0, NValueBag5Ranks - 1, "value bag rank"));
}
ValueBagRank CheckFiveDiceBagRank(long long r) {
    return ValueBagRank(CheckRange(r, NValueBag4Ranks, NValueBag5Ranks - 1, "five-dice bag rank"));
}

// ---- Value lists -------------------------------------------------------------------------------

ValueList FirstValueList(int s) {
    ValueList list;
    list.siz = std::uint8_t(CheckSize(s));
    for (int i = 0; i < s; ++i) list.val[std::size_t(i)] = 1;
    return list;
}

bool NextValueList(ValueList& list) {
    CheckSize(list.siz);
    for (int i = list.siz - 1; i >= 0; --i) {
        if (list.val[std::size_t(i)] < MaxValue) {
            ++list.val[std::size_t(i)];
            for (int j = i + 1; j < list.siz; ++j) list.val[std::size_t(j)] = MinValue;
            return true;
        }
    }
    for (int j = 0; j < list.siz; ++j) list.val[std::size_t(j)] = MinValue;
    return false;
}

ValueListRank RankFromValueList(const ValueList& list) {
    CheckList(list);
    int r = 0;
    for (int i = 0; i < list.siz; ++i) r = r * 6 + (list.val[std::size_t(i)] - 1);
    return ValueListRank(T.valueListRanks[list.siz].first + r);
}

void ExtendValueList(ValueList& list, int value, int cnt) {
    CheckRange(cnt, 0, NDice, "ExtendValueList count");
    if (list.siz + cnt > NDice) Fail("ExtendValueList", "siz+cnt <= NDice");
    CheckValue(value);
    for (int i = 0; i < cnt; ++i) list.val[list.siz++] = DieValue(value);
}

void ValueListFromValueBag(ValueList& list, const ValueBag& bag) {
    CheckBag(bag);
    list = EmptyValueList;
    for (int v = MinValue; v <= MaxValue; ++v) ExtendValueList(list, v, bag.cnt[V(v)]);
}

std::string ValueListToString(const ValueList& list, bool spaced) {
    CheckList(list);
    std::string s;
    for (int i = 0; i < list.siz; ++i) {
        s += DigitChar(list.val[std::size_t(i)]);
        if (spaced) s += ' ';
    }
    return s;
}

void WriteValueList(std::ostream& out, std::string_view prompt, const ValueList& list) {
    CheckList(list);
    out << prompt;
    for (int i = 0; i < list.siz; ++i) out << IntToStrW(list.val[std::size_t(i)], 2);
    out << '\n';
}

namespace {
bool Reject(std::string* error, const std::string& message) {
    if (error)
        *error = message;
    else
        ConsoleOut() << message << '\n';
    return false;
}

std::string Shown(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 32 && u < 127) return std::string("'") + c + "'";
    return "character code " + std::to_string(u);
}
}  // namespace

bool ReadValueList(std::string_view prompt, ValueList& list, std::string* error) {
    if (!prompt.empty()) ConsoleOut() << prompt << std::flush;
    list = EmptyValueList;
    if (AtInputEnd()) throw EndOfInput();
    while (!AtListEnd()) {
        char c = 0;
        ReadNonBlank(c);
        if (c < '1' || c > '6') {
            list = EmptyValueList;
            return Reject(error, "Dice value 1..6 expected, not " + Shown(c));
        }
        if (list.siz == NDice) {
            list = EmptyValueList;
            return Reject(error, "Too many dice values");
        }
        ExtendValueList(list, DigitValue(c), 1);
    }
    SkipListEnd();
    return true;
}

std::string KeptDiceText(const ValueBag& kept, const ValueList& roll) {
    CheckBag(kept);
    CheckList(roll);
    ValueBag left = kept;
    std::string s;
    for (int i = 0; i < roll.siz; ++i) {
        const DieValue v = roll.val[std::size_t(i)];
        if (left.cnt[V(v)] > 0) {
            --left.cnt[V(v)];
            s += DigitChar(v);
            s += ' ';
        } else {
            s += "_ ";
        }
    }
    return s;
}

// ---- Value bags --------------------------------------------------------------------------------

void AddToBag(ValueBag& bag, int value, int n) {
    const std::size_t i = V(CheckValue(value));
    const int c = int(CheckRange(bag.cnt[i] + n, 0, NDice, "die count"));
    CheckRange(bag.size() + n, 0, NDice, "bag size");
    bag.cnt[i] = std::uint8_t(c);
}

void SumBags(ValueBag& result, const ValueBag& a, const ValueBag& b) {
    ValueBag sum;
    for (std::size_t i = 0; i < NValues; ++i)
        sum.cnt[i] = std::uint8_t(CheckRange(a.cnt[i] + b.cnt[i], 0, NDice, "die count"));
    CheckRange(sum.size(), 0, NDice, "bag size");
    result = sum;
}

void ValueBagFromValueList(ValueBag& bag, const ValueList& list) {
    CheckList(list);
    bag = EmptyValueBag;
    for (int i = 0; i < list.siz; ++i) ++bag.cnt[V(list.val[std::size_t(i)])];
}

bool ReadValueBag(std::string_view prompt, ValueBag& bag, std::string* error) {
    ValueList list;
    if (!ReadValueList(prompt, list, error)) return false;
    ValueBagFromValueList(bag, list);
    return true;
}

void FirstValueBag(ValueBag& bag, int s) {
    bag = EmptyValueBag;
    bag.cnt[V(MaxValue)] = std::uint8_t(CheckSize(s));
}

bool NextValueBag(ValueBag& bag) {
    const int m = MaxValueIn(bag);
    if (m <= MinValue) return false;
    ++bag.cnt[V(m - 1)];
    const int d = bag.cnt[V(m)] - 1;
    for (int v = m; v <= MaxValue; ++v) bag.cnt[V(v)] = 0;
    bag.cnt[V(MaxValue)] = std::uint8_t(d);
    return true;
}

bool NextSubBag(ValueBag& sub, const ValueBag& bag) {
    for (int v = MaxValue; v >= MinValue; --v) {
        const std::size_t i = V(v);
        if (sub.cnt[i] > bag.cnt[i]) throw RangeError("NextSubBag: the start is no sub-bag of the bag");
        if (sub.cnt[i] != bag.cnt[i]) {
            ++sub.cnt[i];
            for (int w = v + 1; w <= MaxValue; ++w) sub.cnt[V(w)] = 0;
            return true;
        }
    }
    return false;
}

ValueBagRank RankFromValueBag(const ValueBag& bag) {
    CheckBag(bag);
    return T.bagRankTbl[BagIndex(bag)];
}

bool IsSubBag(const ValueBag& a, const ValueBag& b) {
    for (std::size_t i = 0; i < NValues; ++i)
        if (a.cnt[i] > b.cnt[i]) return false;
    return true;
}

int DistinctValues(const ValueBag& bag) {
    int n = 0;
    for (std::uint8_t c : bag.cnt) n += c > 0;
    return n;
}

int SumOfValues(const ValueBag& bag) {
    int s = 0;
    for (int v = MinValue; v <= MaxValue; ++v) s += v * bag.cnt[V(v)];
    return s;
}

int MinValueIn(const ValueBag& bag) {
    for (int v = MinValue; v <= MaxValue; ++v)
        if (bag.cnt[V(v)] > 0) return v;
    return MaxValue + 1;
}

int MaxValueIn(const ValueBag& bag) {
    for (int v = MaxValue; v >= MinValue; --v)
        if (bag.cnt[V(v)] > 0) return v;
    return MinValue - 1;
}

int MinCount(const ValueBag& bag) {
    int m = NValues;
    for (std::uint8_t c : bag.cnt)
        if (c > 0 && c < m) m = c;
    return m;
}

int MaxCount(const ValueBag& bag) {
    int m = 0;
    for (std::uint8_t c : bag.cnt)
        if (c > m) m = c;
    return m;
}

int LongestRun(const ValueBag& bag) {
    int best = 0, run = 0;
    for (std::uint8_t c : bag.cnt) {
        run = c > 0 ? run + 1 : 0;
        if (run > best) best = run;
    }
    return best;
}

std::string ValueBagToString(const ValueBag& bag, bool spaced) {
    CheckBag(bag);
    std::string s;
    const auto put = [&](char c) {
        s += c;
        if (spaced) s += ' ';
    };
    for (int v = MinValue; v <= MaxValue; ++v)
        for (int k = 0; k < bag.cnt[V(v)]; ++k) put(DigitChar(v));
    for (int k = bag.size(); k < NDice; ++k) put('_');
    return s;
}

void WriteValueBag(std::ostream& out, std::string_view prompt, const ValueBag& bag) {
    CheckBag(bag);
    out << prompt;
    for (int v = MinValue; v <= MaxValue; ++v) {
        if (v > MinValue) out << ", ";
        if (bag.cnt[V(v)] > 0)
            out << '[' << DigitChar(v) << "] " << DigitChar(bag.cnt[V(v)]);
        else
            out << "___ _";
    }
    out << '\n';
}

// ---- Tables ------------------------------------------------------------------------------------

namespace {

double BagProbability(const ValueBag& bag, int s) {
    long long ways = factorial(s);
    for (std::uint8_t c : bag.cnt) ways /= factorial(c);
    return double(ways) / double(power(NValues, s));
}

void InitValueBagTables() {
    int r = 0;
    for (int s = 0; s <= NDice; ++s) {
        ValueBagRange& range = T.valueBagRanks[std::size_t(s)];
        range.firstvbr = ValueBagRank(r);
        double sum = 0.0;
        ValueBag bag;
        FirstValueBag(bag, s);
        do {
            if (r >= NValueBag5Ranks) Fail("InitValueBagTables", "#ValueBags = NValueBag5Ranks");
            const double prob = BagProbability(bag, s);
            T.bagRankTbl[BagIndex(bag)] = ValueBagRank(r);
            T.valueBagTbl[std::size_t(r)] = ValueBagEntry{bag, std::uint8_t(s), prob, 0};
            sum += prob;
            ++r;
        } while (NextValueBag(bag));
        range.lastvbr = ValueBagRank(r - 1);
        range.count = r - range.firstvbr;
        if (range.count != choose(NValues - 1 + s, s))
            Fail("InitValueBagTables", "nvl = choose(pred(NValues+s), s)");
        if (!(std::fabs(1.0 - sum) < 0.000001)) Fail("InitValueBagTables", "Sum of probabilities = 1");
    }
    if (r != NValueBag5Ranks) Fail("InitValueBagTables", "#ValueBags = NValueBag5Ranks");
    if (T.valueBagRanks[NDice].firstvbr != NValueBag4Ranks)
        Fail("InitValueBagTables", "ValueBagRanks[5].firstvbr = NValueBag4Ranks");
}

void InitValueListTables() {
    int r = 0;
    for (int s = 0; s <= NDice; ++s) {
        ValueListRange& range = T.valueListRanks[std::size_t(s)];
        range.first = ValueListRank(r);
        ValueList list = FirstValueList(s);
        do {
            if (r >= NValueListRanks) Fail("InitValueListTables", "#ValueLists = succ(MaxValueListRank)");
            ValueBag bag;
            ValueBagFromValueList(bag, list);
            T.valueListTbl[std::size_t(r)] = ValueListEntry{list, std::uint8_t(s), RankFromValueBag(bag)};
            if (RankFromValueList(list) != r) Fail("InitValueListTables", "RankFromValueList(vl) = r");
            ++r;
        } while (NextValueList(list));
        range.last = ValueListRank(r - 1);
        range.count = r - range.first;
        if (range.count != power(NValues, s)) Fail("InitValueListTables", "nvl = power(NValues, s)");
    }
    if (r != NValueListRanks) Fail("InitValueListTables", "#ValueLists = succ(MaxValueListRank)");
}

void InitRestValueBagTables() {
    for (int r = 0; r < NValueBag5Ranks; ++r) {
        ValueBagEntry& e = T.valueBagTbl[std::size_t(r)];
        ValueList list;
        ValueListFromValueBag(list, e.bag);
        e.vlr = RankFromValueList(list);
        if (T.valueListTbl[e.vlr].vbr != r) Fail("InitRestValueBagTables", "ValueListTbl[vlr].vbr = r");
    }
}

void InitValueSubBags() {
    int i = 0;
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
        IndexRange& range = T.subBagRanges[std::size_t(r - NValueBag4Ranks)];
        range.first = std::uint16_t(i);
        const ValueBag& bag = T.valueBagTbl[std::size_t(r)].bag;
        ValueBag sub = EmptyValueBag;
        do {
            if (i >= NSubBags) Fail("InitValueSubBags", "i=4368");
            T.subBagTbl[std::size_t(i)] = RankFromValueBag(sub);
            ++i;
        } while (NextSubBag(sub, bag));
        range.last = std::uint16_t(i - 1);
    }
    if (i != NSubBags) Fail("InitValueSubBags", "i=4368");
}

void InitValueBagCompletions() {
    int i = 0;
    for (int b = 0; b < NValueBag5Ranks; ++b) {
        const ValueBagEntry& kept = T.valueBagTbl[std::size_t(b)];
        IndexRange& range = T.completionRanges[std::size_t(b)];
        range.first = std::uint16_t(i);
        const ValueBagRange& added = T.valueBagRanks[std::size_t(NDice - kept.siz)];
        for (int t = added.firstvbr; t <= added.lastvbr; ++t) {
            if (i >= NCompletions) Fail("InitValueBagCompletions", "i=4368");
            const ValueBagEntry& add = T.valueBagTbl[std::size_t(t)];
            ValueBag sum;
            SumBags(sum, kept.bag, add.bag);
            T.completionTbl[std::size_t(i)] = CompletionEntry{add.prob, RankFromValueBag(sum)};
            ++i;
        }
        range.last = std::uint16_t(i - 1);
    }
    if (i != NCompletions) Fail("InitValueBagCompletions", "i=4368");
}

}  // namespace

void InitDiceStuff() {
    T.bagRankTbl.fill(0);
    InitValueBagTables();
    InitValueListTables();
    InitRestValueBagTables();
    InitValueSubBags();
    InitValueBagCompletions();
}

}  // namespace quintor
