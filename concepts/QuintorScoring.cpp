// Categories, score cards, the per-bag score table and the scoring transition.
#include <bit>

#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"

namespace quintor {

namespace detail {
std::array<ScoreTblEntry, NFiveDiceBags> scoreTbl{};
ScoreCard maxScoreCard{};
}  // namespace detail

namespace {

constexpr const char* ItemNames[NScoreItems] = {
    "Aces", "Twos", "Threes", "Fours", "Fives", "Sixes",
    "Three of a Kind", "Four of a Kind", "Full House", "Small Straight", "Large Straight",
    "Quintor", "Chance",
    "UPPER SECTION BONUS", "EXTRA QUINTOR BONUS", "GRAND TOTAL", "Quintors Rolled",
    "Jokers Applied", "Special"};

constexpr char CategoryCodes[NCategories + 1] = "123456TFHSLQC";

// The categories in which a Quintor may score full points as a joker.
bool JokerCategory(int k) { return k == FullHouse || k == SmallStraight || k == LargeStraight; }

}  // namespace

void ScoreCard::set(int item, long long points) {
    CheckRange(item, 0, NScoreItems - 1, "score item");
    row[std::size_t(item)] = Points(CheckRange(points, 0, MaxPoints, "score card points"));
}

Category CheckCategory(long long c) { return Category(CheckRange(c, 0, NCategories - 1, "category")); }

char CategoryChar(Category c) { return CategoryCodes[CheckCategory(c)]; }

std::string ScoreItemName(ScoreItem item) {
    return ItemNames[CheckRange(item, 0, NScoreItems - 1, "score item")];
}

int ValueOfUpperCategory(Category c) { return int(CheckRange(c, Aces, Sixes, "upper category")) + 1; }

Category UpperCategoryOfValue(int value) {
    return Category(CheckRange(value, MinValue, MaxValue, "die value") - 1);
}

int CategorySetSize(CategorySet s) { return std::popcount(unsigned(s & FullCategorySet)); }

Category FirstCategoryIn(CategorySet s) {
    if ((s & FullCategorySet) == 0) Fail("FirstCategoryIn", "s <> []");
    return Category(std::countr_zero(unsigned(s)));
}

// ---- Score tables ------------------------------------------------------------------------------

void detail::InitScoreTables() {
    for (int k = 0; k < NCategories; ++k) maxScoreCard.row[std::size_t(k)] = 0;
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
        const ValueBag& b = ValueBagTbl[std::size_t(r)].bag;
        const int distinct = DistinctValues(b);
        const int sum = SumOfValues(b);
        const int minCount = MinCount(b);
        const int maxCount = MaxCount(b);
        const int run = LongestRun(b);
        ScoreTblEntry& entry = scoreTbl[std::size_t(r - NValueBag4Ranks)];
        entry.jokerBox = maxCount == NDice ? UpperCategoryOfValue(MinValueIn(b)) : Category(Chance);
        std::array<int, NCategories> pts{};
        for (int v = MinValue; v <= MaxValue; ++v) pts[std::size_t(v - 1)] = v * b.count(v);
        pts[ThreeOfAKind] = maxCount >= 3 ? sum : 0;
        pts[FourOfAKind] = maxCount >= 4 ? sum : 0;
        pts[FullHouse] = distinct == 2 && minCount >= 2 ? 25 : 0;
        pts[SmallStraight] = run >= 4 ? 30 : 0;
        pts[LargeStraight] = run >= 5 ? 40 : 0;
        pts[QuintorCat] = maxCount == NDice ? 50 : 0;
        pts[Chance] = sum;
        for (std::size_t k = 0; k < NCategories; ++k) {
            entry.score[k] = Points(pts[k]);
            if (entry.score[k] > maxScoreCard.row[k]) maxScoreCard.row[k] = entry.score[k];
        }
    }
    maxScoreCard.set(UpperSectionBonusItem, UpperSectionBonus);
    maxScoreCard.set(ExtraQuintorBonusItem, 1200);
    maxScoreCard.set(GrandTotal, MaxPoints);
    maxScoreCard.set(QuintorsRolled, NTurnsPerGame);
    maxScoreCard.set(JokersApplied, 3);
    maxScoreCard.set(SpecialItem, MaxPoints);
}

// ---- Scoring -----------------------------------------------------------------------------------

void ApplyScoringEvent(const QuintorRulesState* rules, const GameState& g, const TurnState& t,
                       GameState& g2, ScoreCard& delta, Event& e) {
    if (rules == nullptr) Fail("ApplyScoringEvent", "rules <> nil");
    const int k = CheckCategory(e.category);
    if (!InSet(g.free, k))
        throw RangeError("ApplyScoringEvent: category " + ScoreItemName(Category(k)) +
                         " is not free in the game state");
    const ScoreTblEntry& entry = ScoreTbl(t.dice);   // RangeError for a bag of fewer dice
    ScoreCard d{};
    GameState next = g;
    const bool quintor = entry.jokerBox != Chance;
    const bool joker = JokerRule && quintor && !InSet(next.free, entry.jokerBox) &&
                       !InSet(next.free, QuintorCat) && JokerCategory(k);
    d.row[std::size_t(k)] = joker ? MaxScoreCard.row[std::size_t(k)] : entry.score[std::size_t(k)];
    next.free = WithoutCategory(next.free, k);
    if (k <= Sixes && next.need > 0) {
        if (next.need <= d.row[std::size_t(k)]) {
            d.row[UpperSectionBonusItem] = UpperSectionBonus;
            next.need = 0;
        } else {
            next.need = std::uint16_t(next.need - d.row[std::size_t(k)]);
        }
    }
    // The chip before this scoring decides; the Quintor box may be the one filled now.
    if (next.chip && quintor) d.row[ExtraQuintorBonusItem] = ExtraQuintorBonus;
    if (k == QuintorCat) next.chip = d.row[QuintorCat] != 0;
    // At most 50 + 35 + 100 and 165 + 400: no row can leave 0..1575 here.
    d.row[GrandTotal] =
        Points(d.row[std::size_t(k)] + d.row[UpperSectionBonusItem] + d.row[ExtraQuintorBonusItem]);
    d.row[QuintorsRolled] = quintor ? 1 : 0;
    d.row[JokersApplied] = joker ? 1 : 0;
    d.row[SpecialItem] = Points(d.row[GrandTotal] + 4 * d.row[ExtraQuintorBonusItem]);
    g2 = next;
    delta = d;
    e.arg = d.row[GrandTotal];
}

void AddScoreCards(ScoreCard& total, const ScoreCard& delta) {
    // Checked in full before anything changes, so a failed addition leaves the total intact.
    ScoreCard sum = total;
    for (int i = 0; i < SpecialItem; ++i) {
        const long long v = (long long)total.row[std::size_t(i)] + delta.row[std::size_t(i)];
        if (v > MaxPoints)
            throw RangeError("AddScoreCards: " + ScoreItemName(ScoreItem(i)) + " would be " +
                             std::to_string(v) + ", above " + std::to_string(MaxPoints));
        sum.row[std::size_t(i)] = Points(v);
    }
    total = sum;
}

void PrintScoreCard(std::vector<std::string>& lines, const ScoreCard& card) {
    auto line = [&](int item) {
        lines.push_back(Format("%*d %s", 5, int(card[item]), ItemNames[item]));
    };
    lines.emplace_back();
    lines.emplace_back("Score Card");
    lines.emplace_back("===== ====");
    for (int i = Aces; i <= Sixes; ++i) line(i);
    line(UpperSectionBonusItem);
    for (int i = ThreeOfAKind; i <= Chance; ++i) line(i);
    line(ExtraQuintorBonusItem);
    lines.emplace_back("----- -------------------");
    line(GrandTotal);
    line(QuintorsRolled);
    line(JokersApplied);
}

}  // namespace quintor
