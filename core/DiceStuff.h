// Dice value lists (ordered rolls) and value bags (multisets), their dense ranks and the
// read-only tables every other layer indexes by rank: probabilities, sub-bags and completions.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace quintor {

constexpr int MinValue = 1;
constexpr int MaxValue = 6;
constexpr int NValues = 6;
constexpr int NDice = 5;
constexpr int MaxValueListRank = 9330;
constexpr int NValueListRanks = MaxValueListRank + 1;
constexpr int NValueBag4Ranks = 210;   // bags of at most 4 dice; the first five-dice bag's rank
constexpr int NValueBag5Ranks = 462;   // bags of at most 5 dice
constexpr int NFiveDiceBags = NValueBag5Ranks - NValueBag4Ranks;   // 252
constexpr int NSubBags = 4368;
constexpr int NCompletions = 4368;

using DieValue = std::uint8_t;        // 1..6
using ValueListRank = std::uint16_t;  // 0..9330
using ValueBagRank = std::uint16_t;   // 0..461; 210..461 are the five-dice bags

// An ordered sequence of 0..5 dice; val[0..siz-1] hold the values (0-based, unlike the
// 1-based positions of the written descriptions).
struct ValueList {
    std::uint8_t siz = 0;
    std::array<DieValue, NDice> val{};
};

// A multiset of 0..5 dice: cnt[v-1] is the number of dice showing v.
struct ValueBag {
    std::array<std::uint8_t, NValues> cnt{};
    int count(int value) const;   // RangeError for a value outside 1..6
    int size() const;
};

struct ValueListEntry {
    ValueList list;
    std::uint8_t siz;
    ValueBagRank vbr;
};
struct ValueListRange {
    ValueListRank first, last;
    std::int32_t count;
};
struct ValueBagEntry {
    ValueBag bag;
    std::uint8_t siz;
    double prob;   // probability of rolling exactly this bag with siz fair dice
    ValueListRank vlr;   // rank of its values in ascending order
};
struct ValueBagRange {
    ValueBagRank firstvbr, lastvbr;
    std::int32_t count;
};
struct IndexRange {
    std::uint16_t first, last;
};
struct CompletionEntry {
    double prob;          // probability of the added dice
    ValueBagRank vbr;     // the completed five-dice bag
};

// The tables, built by InitDiceStuff and read-only afterwards.
namespace detail {
struct DiceTables {
    std::array<ValueListEntry, NValueListRanks> valueListTbl;
    std::array<ValueListRange, NDice + 1> valueListRanks;
    std::array<ValueBagEntry, NValueBag5Ranks> valueBagTbl;
    std::array<ValueBagRange, NDice + 1> valueBagRanks;
    std::array<ValueBagRank, 46656> bagRankTbl;
    std::array<ValueBagRank, NSubBags> subBagTbl;
    std::array<IndexRange, NFiveDiceBags> subBagRanges;   // index: bag rank - 210
    std::array<CompletionEntry, NCompletions> completionTbl;
    std::array<IndexRange, NValueBag5Ranks> completionRanges;
};
extern DiceTables diceTables;
}  // namespace detail

inline const auto& ValueListTbl = detail::diceTables.valueListTbl;
inline const auto& ValueListRanks = detail::diceTables.valueListRanks;
inline const auto& ValueBagTbl = detail::diceTables.valueBagTbl;
inline const auto& ValueBagRanks = detail::diceTables.valueBagRanks;
inline const auto& SubBagTbl = detail::diceTables.subBagTbl;
inline const auto& SubBagRanges = detail::diceTables.subBagRanges;
inline const auto& CompletionTbl = detail::diceTables.completionTbl;
inline const auto& CompletionRanges = detail::diceTables.completionRanges;

inline const ValueList EmptyValueList{};
inline const ValueBag EmptyValueBag{};

// Rank checks where ranks enter from outside the tables (RangeError otherwise).
ValueListRank CheckValueListRank(long long r);
ValueBagRank CheckValueBagRank(long long r);
ValueBagRank CheckFiveDiceBagRank(long long r);   // 210..461

// ---- Value lists -------------------------------------------------------------------------------
ValueList FirstValueList(int s);              // s ones
bool NextValueList(ValueList& list);          // odometer step, last position fastest
ValueListRank RankFromValueList(const ValueList& list);
void ExtendValueList(ValueList& list, int value, int cnt);   // Fail beyond five dice
void ValueListFromValueBag(ValueList& list, const ValueBag& bag);
std::string ValueListToString(const ValueList& list, bool spaced);
void WriteValueList(std::ostream& out, std::string_view prompt, const ValueList& list);
// Reads a list from the console after writing a non-empty prompt to ConsoleOut (separators
// blank ',' '_'; ended by ':' or ';', which are consumed, by a line end, which is left for
// SkipRestOfLine, or by the end of the input). Returns false, with a message in error (or, when
// error is null, on ConsoleOut), for a sixth die ("Too many dice values") or a character that is
// no die 1..6 ("Dice value 1..6 expected, not '7'"); the list is then empty, the offending
// character is consumed and the rest of the input is left. EndOfInput when the input ends
// before any character.
bool ReadValueList(std::string_view prompt, ValueList& list, std::string* error = nullptr);
// For each die of the roll in order: its digit and a blank when the kept bag still holds it
// (taken from a copy of the bag), otherwise "_ ".
std::string KeptDiceText(const ValueBag& kept, const ValueList& roll);

// ---- Value bags --------------------------------------------------------------------------------
void AddToBag(ValueBag& bag, int value, int n);   // RangeError if a count would pass 5
void SumBags(ValueBag& result, const ValueBag& a, const ValueBag& b);
void ValueBagFromValueList(ValueBag& bag, const ValueList& list);
bool ReadValueBag(std::string_view prompt, ValueBag& bag, std::string* error = nullptr);
void FirstValueBag(ValueBag& bag, int s);         // s sixes
bool NextValueBag(ValueBag& bag);
bool NextSubBag(ValueBag& sub, const ValueBag& bag);
ValueBagRank RankFromValueBag(const ValueBag& bag);   // RangeError for more than five dice
bool IsSubBag(const ValueBag& a, const ValueBag& b);
int DistinctValues(const ValueBag& bag);
int SumOfValues(const ValueBag& bag);
int MinValueIn(const ValueBag& bag);   // 7 for the empty bag
int MaxValueIn(const ValueBag& bag);   // 0 for the empty bag
int MinCount(const ValueBag& bag);     // smallest non-zero count; 6 for the empty bag
int MaxCount(const ValueBag& bag);     // 0 for the empty bag
int LongestRun(const ValueBag& bag);
std::string ValueBagToString(const ValueBag& bag, bool spaced);
void WriteValueBag(std::ostream& out, std::string_view prompt, const ValueBag& bag);

// Builds every table and runs the start-up self-checks (Fail on any inconsistency).
void InitDiceStuff();

}  // namespace quintor
