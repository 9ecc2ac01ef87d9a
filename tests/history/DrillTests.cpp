// The drill schedule on history files of the test's own, with a clock the test sets; the answers
// against the complete optimal table.
#include <algorithm>
#include <map>
#include <set>

#include "HistoryGames.h"
#include "engine/QuintorStateTables.h"
#include "engine/QuintorStrategies.h"
#include "hardening/HardeningSupport.h"
#include "history/QuintorDrills.h"
#include "play/PlayTestSupport.h"

using namespace quintor;
using namespace quintor::historytest;
using quintor::hardening::TempFolder;

namespace {

constexpr std::int64_t Day = SecondsPerDay;

// The positions of the games' choices that lost 1.0 or more, with their largest loss and the end
// of the first game that had them: what the schedule must hold, worked out from the games.
std::map<std::string, std::pair<double, std::int64_t>> Mistakes(const std::vector<HistoryGame>& games) {
    std::map<std::string, std::pair<double, std::int64_t>> m;
    for (const HistoryGame& g : games)
        for (const HistoryChoice& c : g.choices) {
            if (c.loss < 1.0) continue;
            auto [it, added] = m.try_emplace(c.position, c.loss, g.ended);
            if (!added) {
                it->second.first = std::max(it->second.first, c.loss);
                it->second.second = std::min(it->second.second, g.ended);
            }
        }
    return m;
}

std::vector<HistoryGame> StoreGames(HistoryDatabase& db, int n) {
    std::vector<HistoryGame> games;
    for (int i = 0; i < n; ++i) {
        games.push_back(PlayHistoryGame(std::uint32_t(11 + i)));
        EXPECT_TRUE(db.StoreGame(games.back()).ok);
    }
    return games;
}

const DrillItem* Find(const std::vector<DrillItem>& s, const std::string& p) {
    for (const DrillItem& item : s)
        if (item.position == p) return &item;
    return nullptr;
}

void Answer(HistoryDatabase& db, const std::string& p, std::int64_t when, double loss) {
    ASSERT_TRUE(db.StoreDrillAnswer({0, when, p, loss < 0.01 ? "3456_" : "C  19", "3456_", loss}).ok);
}

// The event of an option's listing entry; every option of the position as the engine lists it.
EList Options(const std::string& position) {
    AbstractState st;
    EXPECT_TRUE(ReadAbstractState(position, st)) << position;
    EList list;
    ListChoiceOptions(list, OptimalStrategy, st.gameState, st.total, st.turnState);
    SortEList(list);
    return list;
}

}  // namespace

TEST(DrillSchedule, HoldsEveryCostlyChoiceInDueOrder) {
    TempFolder folder;
    HistoryDatabase db(folder / "h.sqlite");
    const std::vector<HistoryGame> games = StoreGames(db, 6);
    const auto expected = Mistakes(games);
    ASSERT_GT(expected.size(), 5u) << "the games should have costly choices";

    const std::vector<DrillItem> s = DrillSchedule(db);
    ASSERT_EQ(s.size(), expected.size());
    for (const DrillItem& item : s) {
        const auto it = expected.find(item.position);
        ASSERT_NE(it, expected.end()) << item.position;
        EXPECT_EQ(item.box, 1);
        EXPECT_DOUBLE_EQ(item.loss, it->second.first);
        EXPECT_EQ(item.due, it->second.second) << "first due when its first game ended";
        EXPECT_EQ(item.answers, 0);
    }
    for (std::size_t i = 1; i < s.size(); ++i) {
        const DrillItem &a = s[i - 1], &b = s[i];
        EXPECT_TRUE(a.due < b.due || (a.due == b.due && a.loss >= b.loss)) << i;
    }
    // Nothing is due before the first game ended; everything once the last one has.
    EXPECT_TRUE(DueDrills(s, games.front().started).empty());
    EXPECT_EQ(DueDrills(s, games.back().ended).size(), s.size());
    const std::vector<DrillItem> some = DueDrills(s, games[2].ended);
    EXPECT_TRUE(!some.empty() && some.size() < s.size());
    for (const DrillItem& item : some) EXPECT_LE(item.due, games[2].ended);
}

TEST(DrillSchedule, RightAnswersMoveUpWrongOnesBackToTheFirstBox) {
    TempFolder folder;
    HistoryDatabase db(folder / "h.sqlite");
    StoreGames(db, 3);
    const std::vector<DrillItem> start = DrillSchedule(db);
    ASSERT_GE(start.size(), 2u);
    const std::string p = start[0].position, other = start[1].position;
    std::int64_t t = 1'900'000'000;

    // Within 0.01 of the best is right: box 2, back after a day.
    Answer(db, p, t, 0.009);
    std::vector<DrillItem> sched;   // holds what item points into
    const DrillItem* item = Find(sched = DrillSchedule(db), p);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->box, 2);
    EXPECT_EQ(item->due, t + Day);
    EXPECT_EQ(item->answers, 1);
    const std::vector<DrillItem> s = DrillSchedule(db);
    EXPECT_EQ(Find(DueDrills(s, t + Day - 1), p), nullptr) << "not due a second early";
    EXPECT_NE(Find(DueDrills(s, t + Day), p), nullptr);
    EXPECT_EQ(Find(s, other)->box, 1) << "another position is untouched";

    // Boxes 3 to 6 return after 2, 4, 8 and 16 days; box 6 is the last.
    const std::int64_t delays[] = {2, 4, 8, 16, 16};
    for (int i = 0; i < 5; ++i) {
        t += 3 * Day;
        Answer(db, p, t, 0.0);
        item = Find(sched = DrillSchedule(db), p);
        EXPECT_EQ(item->box, std::min(3 + i, 6));
        EXPECT_EQ(item->due, t + delays[i] * Day) << i;
    }
    // A loss of 0.01 is wrong: back to the first box, due at once.
    t += Day;
    Answer(db, p, t, 0.01);
    item = Find(sched = DrillSchedule(db), p);
    EXPECT_EQ(item->box, 1);
    EXPECT_EQ(item->due, t);
    EXPECT_EQ(item->answers, 7);
    // Answers to positions that are not the player's own are stored but scheduled nowhere.
    Answer(db, "123456TFHSLQC;63-   0  13456;2", t, 0.0);
    EXPECT_EQ(DrillSchedule(db).size(), start.size());

    // The record: 8 answers, 7 right (0.009, five times 0.0, the foreign one; not 0.01).
    const DrillRecord rec = ReadDrillRecord(db, t);
    EXPECT_EQ(rec.answers, 8);
    EXPECT_EQ(rec.right, 7);
    EXPECT_DOUBLE_EQ(rec.rightShare, 0.875);
    EXPECT_EQ(rec.positions, int(start.size()));
    EXPECT_EQ(rec.due, int(start.size())) << "p is back in the first box, the others never left it";
    EXPECT_EQ(ReadDrillRecord(db, t - 1).due, int(start.size()) - 1);

    // The record's counts are the schedule's at every moment, with positions in several boxes.
    Answer(db, other, t + 1, 0.0);
    Answer(db, start.back().position, t + 2, 0.0);
    Answer(db, start.back().position, t + 3 * Day, 0.0);
    for (const std::int64_t now : {t - 1, t, t + 2, t + Day, t + 3 * Day, t + 5 * Day, t + 30 * Day}) {
        const std::vector<DrillItem> all = DrillSchedule(db);
        const DrillRecord r = ReadDrillRecord(db, now);
        std::array<int, NDrillBoxes> boxes{};
        for (const DrillItem& i : all) ++boxes[std::size_t(i.box - 1)];
        EXPECT_EQ(r.positions, int(all.size()));
        EXPECT_EQ(r.due, int(DueDrills(all, now).size())) << now - t;
        EXPECT_EQ(r.byBox, boxes);
    }
    EXPECT_EQ(ReadDrillRecord(db, t + 3 * Day).byBox[2], 1);   // two right answers: box 3
}

TEST(DrillSchedule, FaultsComeBackAsResults) {
    TempFolder folder;
    const std::string dir = folder / "no-such-folder";
    HistoryDatabase db(dir + "/h.sqlite");
    HistoryResult r;
    EXPECT_TRUE(DrillSchedule(db, &r).empty());
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
    const DrillRecord rec = ReadDrillRecord(db, 0, &r);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(rec.answers + rec.due + rec.positions, 0);
    EXPECT_THROW(DrillBoxDelay(0), RangeError);
    EXPECT_THROW(DrillBoxDelay(7), RangeError);
}

TEST(DrillAnswers, ListTheOptionsMarkTheChoiceAndStoreTheAnswer) {
    UseCompleteOptimalTable();
    // Fallback positions: after a roll, all different, the best leading the second by 1.0.
    const std::vector<std::string> fb = FallbackDrillPositions(7, 12);
    ASSERT_EQ(fb.size(), 12u);
    EXPECT_EQ(std::set<std::string>(fb.begin(), fb.end()).size(), fb.size());
    EXPECT_EQ(FallbackDrillPositions(7, 12), fb) << "the same seed gives the same positions";
    for (const std::string& p : fb) {
        const EList list = Options(p);
        ASSERT_GE(list.len, 2) << p;
        EXPECT_GE(list.entry[0].expected - list.entry[1].expected, 1.0) << p;
    }

    TempFolder folder;
    HistoryDatabase db(folder / "h.sqlite");
    const std::string& p = fb[0];
    const EList list = Options(p);
    // The best option is right; the second loses the gap, and the listing is the advisor's.
    const DrillOutcome best = AnswerDrill(p, list.entry[0].event);
    EXPECT_TRUE(best.right);
    EXPECT_EQ(best.assessment.loss, 0.0);
    EXPECT_EQ(DrillVerdict(best), "Right: that is the best choice.");
    const DrillOutcome second = AnswerDrill(p, list.entry[1].event);
    EXPECT_FALSE(second.right);
    EXPECT_DOUBLE_EQ(second.assessment.loss, list.entry[0].expected - list.entry[1].expected);
    EXPECT_EQ(DrillVerdict(second).rfind("Loss: ", 0), 0u) << DrillVerdict(second);
    std::vector<std::string> advised;
    ASSERT_TRUE(Advise(advised, p));
    ASSERT_EQ(second.listing.size(), advised.size());
    for (std::size_t i = 0; i < advised.size(); ++i)
        EXPECT_EQ(second.listing[i], i == 2 ? advised[i] + DrillChoiceMark : advised[i]) << i;

    EXPECT_TRUE(StoreDrillOutcome(db, second, 5000).ok);
    EXPECT_TRUE(StoreDrillOutcome(db, best, 6000).ok);
    const std::vector<DrillAnswer> stored = db.DrillAnswers(p);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].answered, 5000);
    EXPECT_EQ(stored[0].answer, EventToString(list.entry[1].event, false, false));
    EXPECT_EQ(stored[0].best, EventToString(list.entry[0].event, false, false));
    EXPECT_DOUBLE_EQ(stored[0].loss, second.assessment.loss);
    EXPECT_EQ(stored[1].loss, 0.0);

    // Bad positions and choices are refused, not crashed on.
    EXPECT_THROW(AnswerDrill("nonsense", list.entry[0].event), RangeError);
    EXPECT_THROW(AnswerDrill("123456TFHSLQC;63-   0 ;3", list.entry[0].event), RangeError) << "before a roll";
    Event keepAll;
    keepAll.aspect = Keeping;
    keepAll.arg = 0;
    EXPECT_THROW(AnswerDrill("123456TFHSLQC;63-   0  13456;0", keepAll), RangeError) << "no roll left";
}

TEST(DrillAnswers, ARunAsksDuePositionsOnceThenFallbackOnes) {
    UseCompleteOptimalTable();
    TempFolder folder;
    HistoryDatabase db(folder / "h.sqlite");
    const std::vector<HistoryGame> games = StoreGames(db, 2);
    const std::int64_t now = games.back().ended;
    const std::vector<DrillItem> due = DueDrills(DrillSchedule(db), now);
    ASSERT_FALSE(due.empty());

    DrillRun run(&db, 3);
    std::set<std::string> asked;
    for (const DrillItem& item : due) {
        bool fromHistory = false;
        EXPECT_EQ(run.Next(now, &fromHistory), item.position);
        EXPECT_TRUE(fromHistory);
        // Answered with the best option: it leaves the due positions.
        const DrillOutcome o = AnswerDrill(item.position, Options(item.position).entry[0].event);
        EXPECT_TRUE(o.right);
        EXPECT_TRUE(StoreDrillOutcome(db, o, now).ok);
        asked.insert(item.position);
    }
    EXPECT_EQ(ReadDrillRecord(db, now).due, 0);
    EXPECT_EQ(ReadDrillRecord(db, now + Day).due, int(due.size())) << "all in box 2";
    const std::vector<std::string> fb = FallbackDrillPositions(3, 20);
    for (int i = 0; i < 25; ++i) {
        bool fromHistory = true;
        const std::string p = run.Next(now, &fromHistory);
        EXPECT_FALSE(fromHistory);
        if (i < 20) {
            EXPECT_EQ(p, fb[std::size_t(i)]);
        }
        EXPECT_TRUE(asked.insert(p).second) << "asked twice: " << p;
    }
    EXPECT_TRUE(run.LastResult().ok);
}
