// The history's games, statistics, texts, schema versions and place, on files of the test's own.
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <tuple>

#include <sqlite3.h>

#include "HistoryGames.h"
#include "hardening/HardeningSupport.h"
#include "history/HistoryStatistics.h"
#include "history/SqliteDatabase.h"

using namespace quintor;
using namespace quintor::historytest;
using quintor::hardening::TempFolder;

namespace {

Event Keep(const std::string& dice) {
    ValueList l;
    for (char c : dice) ExtendValueList(l, c - '0', 1);
    ValueBag b;
    ValueBagFromValueList(b, l);
    Event e;
    e.aspect = Keeping;
    e.arg = RankFromValueBag(b);
    return e;
}

Event Score(Category c, int points) {
    Event e;
    e.aspect = Scoring;
    e.category = c;
    e.arg = std::uint16_t(points);
    return e;
}

HistoryChoice Choice(int turn, const std::string& position, Event choice, Event best, double value,
                     double loss, int options) {
    HistoryChoice c;
    c.turn = turn;
    c.position = position;
    c.choice = choice;
    c.best = best;
    c.value = value;
    c.loss = loss;
    c.bestValue = value + loss;
    c.options = options;
    c.luck = 1.5;
    return c;
}

// A short hand-made game: one choice of each loss class, an identical one and one without choice.
HistoryGame HandGame() {
    const std::string first = "123456TFHSLQC;63-   0  13456;2";
    HistoryGame g;
    g.started = 1'800'000'000;
    g.ended = g.started + 754;
    g.diceSource = "fair";
    g.finished = true;
    g.finalScore = 287;
    g.startValue = 254.58961;
    g.version = "1.2.1 beta";
    g.choices = {
        Choice(1, first, Keep("3456"), Keep("3456"), 250.0, 0.0, 252),
        Choice(1, first, Keep("456"), Keep("3456"), 250.0, 0.004, 252),
        Choice(1, first, Score(Chance, 19), Keep("3456"), 240.0, 0.01, 252),
        Choice(2, first, Keep("13"), Keep("3456"), 240.0, 1.0, 252),
        Choice(3, first, Keep(""), Score(LargeStraight, 0), 240.0, 5.0, 252),
        Choice(13, "__________L__;0+ 250  66666;0", Score(LargeStraight, 0), Score(LargeStraight, 0), 250.0,
               0.0, 1),
    };
    // The tutor questioned the second choice after "keep 1" was withdrawn, and the third.
    g.choices[1].tutor = {true, true, Keep("1")};
    g.choices[2].tutor.questioned = true;
    g.choices[4].tutor = {false, true, Score(Aces, 1)};
    for (const HistoryChoice& c : g.choices) g.sumLoss += c.loss, g.sumLuck += c.luck;
    g.endValue = 287;
    g.percentile = 70.3;
    return g;
}

bool SameEvent(const Event& x, const Event& y) {   // a scoring's category counts only for scorings
    return x.aspect == y.aspect && x.arg == y.arg && (x.aspect != Scoring || x.category == y.category);
}

// Every field, the doubles bit for bit (REAL columns hold the double itself).
void ExpectSameGame(const HistoryGame& a, const HistoryGame& b) {
    EXPECT_EQ(std::tie(a.started, a.ended, a.diceSource, a.finished, a.finalScore, a.version),
              std::tie(b.started, b.ended, b.diceSource, b.finished, b.finalScore, b.version));
    EXPECT_EQ(std::tie(a.startValue, a.sumLuck, a.sumLoss, a.endValue), std::tie(b.startValue, b.sumLuck, b.sumLoss, b.endValue));
    EXPECT_EQ(a.percentile, b.percentile);
    ASSERT_EQ(a.choices.size(), b.choices.size());
    for (std::size_t i = 0; i < a.choices.size(); ++i) {
        const HistoryChoice &x = a.choices[i], &y = b.choices[i];
        EXPECT_EQ(std::tie(x.turn, x.position, x.value, x.bestValue, x.loss, x.luck, x.options, x.tutor.questioned,
                           x.tutor.changedMind),
                  std::tie(y.turn, y.position, y.value, y.bestValue, y.loss, y.luck, y.options, y.tutor.questioned,
                           y.tutor.changedMind)) << i;
        EXPECT_TRUE(SameEvent(x.choice, y.choice) && SameEvent(x.best, y.best)) << i;
        EXPECT_TRUE(!x.tutor.changedMind || (SameEvent(x.tutor.withdrawn, y.tutor.withdrawn) &&
                                             x.tutor.withdrawn.category == y.tutor.withdrawn.category)) << i;
    }
}

int RollsLeft(const std::string& position) {
    AbstractState st;
    EXPECT_TRUE(ReadAbstractState(position, st)) << position;
    return st.turnState.rollsLeft;
}

}  // namespace

TEST(HistoryGames, StoredGamesReadBackWholeWithTheReportsCounts) {
    TempFolder folder;
    HistoryDatabase db(folder / "h.sqlite");
    // The hand-made game's classes: identical, "<>", "*" (0.01), "**" (1.0), "***" (5.0); the last
    // choice had one option and is no choice.
    const HistoryGame hand = HandGame();
    const ChoiceCounts n = CountChoices(hand.choices);
    EXPECT_EQ(n.choices, 5);
    EXPECT_EQ(n.identical, 1);
    EXPECT_EQ(n.byClass, (std::array<int, 4>{1, 1, 1, 1}));
    EXPECT_EQ((std::vector<std::string>{LossClassMarker(LossClass(0.0)), LossClassMarker(LossClass(0.00999)),
                                        LossClassMarker(LossClass(0.01)), LossClassMarker(LossClass(0.99999)),
                                        LossClassMarker(LossClass(1.0)), LossClassMarker(LossClass(4.99999)),
                                        LossClassMarker(LossClass(5.0))}),
              (std::vector<std::string>{"<>", "<>", "*", "*", "**", "**", "***"}));

    std::vector<HistoryGame> games = {hand, PlayHistoryGame(1), PlayHistoryGame(2, "demon"),
                                      PlayHistoryGame(3, "fair", 20), PlayHistoryGame(4, "fair", 0),
                                      PlayHistoryGame(5, "angel")};
    for (const HistoryGame& g : games) {
        const HistoryResult r = db.StoreGame(g);
        EXPECT_TRUE(r.ok && r.message.empty()) << r.message;
    }
    EXPECT_TRUE(!games[3].finished && games[4].choices.empty() && games[1].choices.size() > 13);

    const std::vector<HistoryGame> list = ReadGameList(db, {""});
    ASSERT_EQ(list.size(), games.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_TRUE(list[i].choices.empty());   // the list holds the games' rows only
        const std::optional<HistoryGame> g = db.ReadGame(list[i].id);
        ASSERT_TRUE(g.has_value());
        ExpectSameGame(*g, games[i]);
        const ChoiceCounts c = CountChoices(games[i].choices);
        EXPECT_TRUE(g->counts.choices == c.choices && g->counts.identical == c.identical &&
                    g->counts.byClass == c.byClass && list[i].counts.byClass == c.byClass) << i;
        EXPECT_EQ(c.choices, c.identical + c.byClass[0] + c.byClass[1] + c.byClass[2] + c.byClass[3]);
    }
    EXPECT_FALSE(db.ReadGame(list.back().id + 1).has_value());
    EXPECT_EQ(ReadGameList(db, {"fair"}, 2).size(), 2u);
    EXPECT_EQ(ReadGameList(db, {"fair"}, 2).back().id, list[4].id);
    EXPECT_EQ(ReadDiceSources(db), (std::vector<std::string>{"angel", "demon", "fair"}));

    // Another connection, as a second trainer or a later run, sees the same games.
    HistoryDatabase later(folder / "h.sqlite");
    EXPECT_EQ(ReadGameList(later, {""}).size(), games.size());
}

TEST(HistoryGames, InvalidGamesAreRefusedWithTheReasonAndNothingIsStored) {
    TempFolder folder;
    HistoryDatabase db(folder / "h.sqlite");
    using Change = void (*)(HistoryGame&);
    const std::vector<std::pair<Change, std::string>> cases = {
        {[](HistoryGame& g) { g.choices[1].position = "123456TFHSLQC;64-   0  13456;2"; },
         "choice 2: the position \"123456TFHSLQC;64-   0  13456;2\" is no abstract state: Upper Section Need > 63"},
        {[](HistoryGame& g) { g.choices[0].position = "123456TFHSLQC;63-   0  ;3"; }, "choice 1: the position has no rolled dice"},
        {[](HistoryGame& g) { g.choices[3].turn = 1, g.choices[4].turn = 0; }, "choice 5: turn 0 is out of order"},
        {[](HistoryGame& g) { g.choices[2].bestValue += 0.5; }, "choice 3: the loss is not the best value minus"},
        {[](HistoryGame& g) { g.choices[1].luck = std::nan(""); }, "choice 2: a value is not a number"},
        {[](HistoryGame& g) { g.choices[0].choice = Keep("2"); }, "choice 1: the choice keeps dice that are not on the table"},
        {[](HistoryGame& g) { g.choices[5].best = Score(Chance, 30); }, "choice 6: the best option scores in a category that is not free"},
        {[](HistoryGame& g) { g.choices[5].choice = Keep("66"); }, "choice 6: the choice keeps dice with no roll left"},
        {[](HistoryGame& g) { g.choices[5].tutor = {false, true, Keep("6")}; },
         "choice 6: the withdrawn choice keeps dice with no roll left"},
        {[](HistoryGame& g) { g.choices[0].tutor = {true, true, Keep("11")}; },
         "choice 1: the withdrawn choice keeps dice that are not on the table"},
        {[](HistoryGame& g) { g.choices[0].tutor = {true, false, Keep("11")}; }, ""},   // nothing withdrawn
        {[](HistoryGame& g) { g.choices[0].options = 1; }, ""},   // identical: one option is fine
        {[](HistoryGame& g) { g.choices[1].options = 1; }, "choice 2: the only option is not the choice"},
        {[](HistoryGame& g) { g.sumLoss += 0.25; }, "the sum of loss 6.264000 is not the sum of the choices' losses 6.014000"},
        {[](HistoryGame& g) { g.diceSource.clear(); }, "the dice source is missing"},
        {[](HistoryGame& g) { g.finalScore = 1576; }, "the final score 1576 is outside 0..1575"},
        {[](HistoryGame& g) { g.ended = g.started - 1; }, "the game ends before it starts"},
        {[](HistoryGame& g) { g.percentile = 100.5; }, "the percentile is outside 0..100"},
        {[](HistoryGame& g) { g.choices.resize(66, g.choices[5]); }, "66 choices are more than a game can have"},
    };
    bool first = true;
    for (const auto& [change, reason] : cases) {
        HistoryGame g = HandGame();
        change(g);
        EXPECT_EQ(HistoryGameError(g).substr(0, reason.size()), reason);
        const HistoryResult r = db.StoreGame(g);
        if (reason.empty()) continue;
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message.rfind("The game could not be stored in the history: " + reason, 0), 0u) << r.message;
        EXPECT_EQ(r.show, first);   // shown once, logged every time
        first = false;
        EXPECT_EQ(db.PendingGames(), 0);
    }
    EXPECT_EQ(ReadGameList(db, {""}).size(), 2u);   // only the cases that were valid
}

TEST(HistoryStatistics, AgreeWithARecountOfTheGamesStored) {
    TempFolder folder;
    HistoryDatabase db(folder / "h.sqlite");
    std::vector<HistoryGame> games;
    for (std::uint32_t k = 0; k < 40; ++k) {
        games.push_back(PlayHistoryGame(100 + k, k % 4 == 3 ? "demon" : "fair", k % 9 == 4 ? int(k) : -1));
        ASSERT_TRUE(db.StoreGame(games.back()).ok);
    }
    for (const std::string source : {"fair", "demon", "", "angel"}) {
        SCOPED_TRACE(source);
        HistoryStatistics want;
        LossSplits split;
        std::map<std::string, LossShare> habits;
        double scoreSum = 0, lossSum = 0, luckSum = 0, allLoss = 0;
        std::vector<double> scores, losses;
        for (const HistoryGame& g : games) {
            if (!source.empty() && g.diceSource != source) continue;
            ++want.games;
            allLoss += g.sumLoss;
            if (g.finished) {
                ++want.finished;
                scoreSum += g.finalScore, lossSum += g.sumLoss, luckSum += g.sumLuck;
                want.bestScore = std::max(want.bestScore, g.finalScore);
                scores.push_back(g.finalScore), losses.push_back(g.sumLoss);
            }
            for (const HistoryChoice& c : g.choices) {
                if (c.options < 2) continue;
                ++want.counts.choices;
                const bool same = EqualEvents(c.choice, c.best);
                want.counts.identical += same;
                const ChoiceKind kind = c.choice.aspect == Scoring ? ckScoring
                                        : RollsLeft(c.position) == 2 ? ckKeepFirstRoll : ckKeepSecondRoll;
                for (LossShare* s : {&split.byKind[kind], &split.byTurn[std::size_t(c.turn - 1)]})
                    ++s->choices, s->loss += same ? 0.0 : c.loss;
                if (same) continue;
                if (c.choice.aspect == Scoring)
                    ++split.byCategory[c.choice.category].choices, split.byCategory[c.choice.category].loss += c.loss;
                if (c.loss >= 0.01) {
                    LossShare& h = habits[HabitText(kind, c.choice, c.best)];
                    ++h.choices, h.loss += c.loss;
                }
            }
        }
        HistoryResult r;
        const HistoryStatistics got = ReadHistoryStatistics(db, {source}, &r);
        EXPECT_TRUE(r.ok) << r.message;
        EXPECT_EQ(got.games, want.games);
        EXPECT_EQ(got.finished, want.finished);
        EXPECT_EQ(got.aborted, want.games - want.finished);
        EXPECT_EQ(got.bestScore, want.bestScore);
        const double f = std::max(1, want.finished);
        EXPECT_NEAR(got.meanScore, scoreSum / f, 1e-9);
        EXPECT_NEAR(got.meanLossPerGame, lossSum / f, 1e-9);
        EXPECT_NEAR(got.meanLuckPerGame, luckSum / f, 1e-9);
        EXPECT_EQ(got.counts.choices, want.counts.choices);
        EXPECT_EQ(got.counts.identical, want.counts.identical);
        const double c = std::max(1, want.counts.choices);
        EXPECT_NEAR(got.meanLossPerChoice, allLoss / c, 1e-9);
        EXPECT_NEAR(got.identicalShare, want.counts.identical / c, 1e-12);
        int ties = 0;
        for (const HistoryGame& g : games)
            if (source.empty() || g.diceSource == source)
                for (const HistoryChoice& ch : g.choices)
                    ties += ch.options > 1 && (EqualEvents(ch.choice, ch.best) || ch.loss < 0.01);
        EXPECT_NEAR(got.tieShare, ties / c, 1e-12);
        if (source == "angel") {
            EXPECT_EQ(got.games, 0);
        }
        if (source == "fair") {
            EXPECT_TRUE(got.aborted > 0 && got.counts.byClass[3] > 0 && got.counts.byClass[0] > 0);
        }

        const HistorySeries se = ReadHistorySeries(db, {source}, 5);
        ASSERT_EQ(se.score, scores);
        ASSERT_EQ(se.loss, losses);
        ASSERT_EQ(se.scoreAverage.size(), scores.size());
        for (std::size_t i = 0; i < scores.size(); ++i) {
            double s5 = 0, l5 = 0;
            const std::size_t from = i >= 4 ? i - 4 : 0;
            for (std::size_t j = from; j <= i; ++j) s5 += scores[j], l5 += losses[j];
            EXPECT_NEAR(se.scoreAverage[i], s5 / double(i - from + 1), 1e-9);
            EXPECT_NEAR(se.lossAverage[i], l5 / double(i - from + 1), 1e-9);
        }

        const LossSplits sp = ReadLossSplits(db, {source}, nullptr, 1000);   // every habit
        EXPECT_EQ(ReadLossSplits(db, {source}).habits.size(), std::min<std::size_t>(3, habits.size()));
        for (std::size_t k = 0; k < sp.byKind.size(); ++k)
            EXPECT_TRUE(sp.byKind[k].choices == split.byKind[k].choices &&
                        std::fabs(sp.byKind[k].loss - split.byKind[k].loss) < 1e-9) << k;
        for (std::size_t t = 0; t < sp.byTurn.size(); ++t)
            EXPECT_TRUE(sp.byTurn[t].choices == split.byTurn[t].choices &&
                        std::fabs(sp.byTurn[t].loss - split.byTurn[t].loss) < 1e-9) << t;
        for (std::size_t k = 0; k < sp.byCategory.size(); ++k)
            EXPECT_TRUE(sp.byCategory[k].choices == split.byCategory[k].choices &&
                        std::fabs(sp.byCategory[k].loss - split.byCategory[k].loss) < 1e-9) << k;
        std::vector<std::pair<std::string, LossShare>> ranked(habits.begin(), habits.end());
        std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.second.loss > b.second.loss; });
        ASSERT_EQ(sp.habits.size(), ranked.size());
        for (std::size_t i = 0; i < sp.habits.size(); ++i) {
            EXPECT_EQ(sp.habits[i].text, ranked[i].first);
            EXPECT_EQ(sp.habits[i].count, ranked[i].second.choices);
            EXPECT_NEAR(sp.habits[i].loss, ranked[i].second.loss, 1e-9);
        }
    }
}

TEST(HistoryStatistics, HabitsAndTheStatisticsTextInPlainWords) {
    EXPECT_EQ(HabitText(ckScoring, Score(Chance, 23), Score(FullHouse, 25)),
              "Scoring in Chance when the best choice was Full House");
    EXPECT_EQ(HabitText(ckScoring, Score(Aces, 2), Keep("66")),
              "Scoring in Aces when the best choice was to keep dice and roll again");
    EXPECT_EQ(HabitText(ckKeepFirstRoll, Keep("66"), Score(ThreeOfAKind, 24)),
              "Rolling again after the first roll when the best choice was to score in Three of a Kind");
    EXPECT_EQ(HabitText(ckKeepSecondRoll, Keep("6"), Keep("666")),
              "Keeping 1 die after the second roll when the best choice was to keep 3 dice");
    EXPECT_EQ(HabitText(ckKeepFirstRoll, Keep("56"), Keep("66")),
              "Keeping 2 dice after the first roll when the best choice was to keep 2 others");
    EXPECT_EQ(HabitText(ckKeepFirstRoll, Keep(""), Keep("5")),
              "Keeping no dice after the first roll when the best choice was to keep 1 die");

    TempFolder folder;
    HistoryDatabase db(folder / "h.sqlite");
    ASSERT_TRUE(db.StoreGame(HandGame()).ok);
    std::ostringstream text;
    WriteHistoryStatistics(text, {"fair"}, ReadHistoryStatistics(db, {"fair"}), ReadLossSplits(db, {"fair"}));
    const std::string s = text.str();
    for (const char* line : {
             "Statistics of 1 games with fair dice (1 finished, 0 aborted)\n",
             "  Mean final score               :   287.00\n",
             "  Mean loss per game             :     6.01\n",
             "  Mean luck per game             :    +9.00\n",
             "  Mean loss per choice           :     1.203\n",
             "  Choices identical to the best  :    20.0% of 5\n",
             "  Choices losing less than 0.01  :    40.0%\n",
             "  Other choices with loss ***    :     1\n",
             "  Keeping after the first roll             4      6.00   1.501\n",
             "  Scoring                                  1      0.01   0.010\n",
             "  Turn 3                                   1      5.00   5.000\n",
             "  Chance                                   1      0.01   0.010\n",
             "  1. Rolling again after the first roll when the best choice was to score in Large Straight: "
             "1 time, 5.00 points\n",
             "  3. Scoring in Chance when the best choice was to keep dice and roll again: 1 time, 0.01 points\n"})
        EXPECT_NE(s.find(line), std::string::npos) << line << "\nin\n" << s;
    std::ostringstream none;
    WriteHistoryStatistics(none, {"angel"}, ReadHistoryStatistics(db, {"angel"}), ReadLossSplits(db, {"angel"}));
    EXPECT_EQ(none.str(), "No games with angel dice in the history.\n");
}

TEST(HistoryText, OneLinePerGameAndTheCsvTable) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    HistoryGame g = HandGame();
    g.counts = CountChoices(g.choices);
    EXPECT_EQ(HistoryLine(g), "2027-01-15 08:12  fair      287          loss   6.01  luck   +9.00   70.3%");
    g.finished = false, g.percentile.reset(), g.diceSource = "demon", g.finalScore = 12;
    EXPECT_EQ(HistoryLine(g), "2027-01-15 08:12  demon      12 aborted  loss   6.01  luck   +9.00       -");

    // A field with a comma, a quote and a line end is quoted, its quotes doubled.
    g.version = "1.2.1 \"beta\",\r\nnext";
    g.id = 7;
    g.startValue = 0.1 + 0.2;
    std::ostringstream csv;
    HistoryGame hand = HandGame();
    hand.counts = CountChoices(hand.choices);
    WriteHistoryCsv(csv, {hand, g});
    const std::string text = csv.str();
    // A small RFC 4180 reader: records end with CRLF outside quotes.
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') records.back().back() += '"', ++i;
            else if (c == '"') quoted = false;
            else records.back().back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            if (i + 1 < text.size()) records.emplace_back(1);
        } else {
            ASSERT_NE(c, '\n') << "a bare line end at " << i;
            records.back().back() += c;
        }
    }
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].size(), 18u);
    EXPECT_EQ(records[0][0], "id");
    EXPECT_EQ(records[1], (std::vector<std::string>{"0", "2027-01-15T08:00:00Z", "2027-01-15T08:12:34Z", "fair", "1",
                                                    "287", "254.58961", "9", records[1][8], "287", "5", "1", "1", "1",
                                                    "1", "1", "70.3", "1.2.1 beta"}));
    EXPECT_EQ(std::strtod(records[1][8].c_str(), nullptr), HandGame().sumLoss);
    EXPECT_EQ(records[2][17], g.version);
    EXPECT_EQ(records[2][0], "7");
    EXPECT_EQ(records[2][4], "0");
    EXPECT_EQ(records[2][16], "");
    EXPECT_EQ(std::strtod(records[2][6].c_str(), nullptr), 0.1 + 0.2);   // numbers read back exactly
    EXPECT_EQ(CsvField("plain"), "plain");
    EXPECT_EQ(CsvField("a\"b"), "\"a\"\"b\"");
}

TEST(HistorySchema, EmptyAndOlderFilesAreBroughtUpToDateAndNewerOnesLeftAlone) {
    TempFolder folder;
    // An empty file is a database without a schema (version 0).
    hardening::WriteBytes(folder / "empty.sqlite", "");
    {
        HistoryDatabase db(folder / "empty.sqlite");
        EXPECT_TRUE(db.StoreGame(HandGame()).ok);
        EXPECT_EQ(ReadGameList(db, {""}).size(), 1u);
    }
    // A file of version 1, written with that version's own schema text and SQL, before drills.
    const std::string v1 = folder / "v1.sqlite";
    {
        SqliteDb raw(v1, true);
        raw.Exec(HistorySchemaStep(0));
        raw.Exec("PRAGMA user_version = 1;"
                 "INSERT INTO games VALUES(1, 1800000000, 1800000754, 'fair', 1, 287, 254.58961, 9, 6.015,"
                 " 287, 5, 1, 1, 1, 1, 1, 70.3, '1.2.0');"
                 "INSERT INTO choices VALUES(1, 0, 1, 2, 2, '123456TFHSLQC;63-   0  13456;2', 'C  19', 12, 19,"
                 " '3456_', NULL, 104, 240, 240.01, 0.01, 1.5, 252, 0);");
        const std::int64_t keep = Keep("3456").arg;
        EXPECT_EQ(keep, 104);   // the bag rank written above
    }
    {
        HistoryDatabase db(v1);
        const std::optional<HistoryGame> g = db.ReadGame(1);
        ASSERT_TRUE(g.has_value());
        EXPECT_EQ(g->version, "1.2.0");
        ASSERT_EQ(g->choices.size(), 1u);
        EXPECT_EQ(g->choices[0].position, "123456TFHSLQC;63-   0  13456;2");
        EXPECT_TRUE(g->choices[0].choice.aspect == Scoring && g->choices[0].choice.category == Chance &&
                    g->choices[0].best.aspect == Keeping && g->choices[0].best.arg == 104);
        EXPECT_TRUE(db.StoreGame(HandGame()).ok);
        EXPECT_TRUE(db.StoreDrillAnswer({0, 1800001000, "123456TFHSLQC;63-   0  13456;2", "C  19", "3456_", 0.01}).ok);
        EXPECT_EQ(ReadHistoryStatistics(db, {"fair"}).games, 2);
    }
    for (const std::string& file : {folder / "empty.sqlite", v1}) {
        SqliteDb raw(file, false);
        SqliteStmt v(raw, "PRAGMA user_version");
        ASSERT_TRUE(v.Step());
        EXPECT_EQ(v.Int(0), HistorySchemaVersion) << file;
    }
    // A file of a newer program: nothing is written to it, the game is kept, the reason is told.
    const std::string newer = folder / "newer.sqlite";
    {
        SqliteDb raw(newer, true);
        raw.Exec("PRAGMA user_version = 99; CREATE TABLE future(x)");
    }
    const std::string bytes = hardening::ReadBytes(newer);
    HistoryDatabase db(newer);
    const HistoryResult r = db.StoreGame(HandGame());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("was written by a newer version of the trainer (schema 99); it is left as it is"),
              std::string::npos) << r.message;
    EXPECT_EQ(db.PendingGames(), 1);
    EXPECT_TRUE(hardening::ReadBytes(newer) == bytes) << "the newer file was changed";
}

TEST(HistoryDrills, AnswersAreStoredAndReadByPosition) {
    TempFolder folder;
    HistoryDatabase db(folder / "h.sqlite");
    const std::string a = "123456TFHSLQC;63-   0  13456;2", b = "123456TFHSLQC;63-   0  66612;1";
    EXPECT_TRUE(db.StoreDrillAnswer({0, 300, a, "3456_", "3456_", 0.0}).ok);
    EXPECT_TRUE(db.StoreDrillAnswer({0, 100, b, "666__", "666__", 0.0}).ok);
    EXPECT_TRUE(db.StoreDrillAnswer({0, 200, a, "C  19", "3456_", 3.25}).ok);
    EXPECT_FALSE(db.StoreDrillAnswer({0, 400, a, "", "3456_", 1.0}).ok);
    const std::vector<DrillAnswer> forA = db.DrillAnswers(a);
    ASSERT_EQ(forA.size(), 2u);
    EXPECT_TRUE(forA[0].answered == 200 && forA[0].answer == "C  19" && forA[0].loss == 3.25);
    EXPECT_TRUE(forA[1].answered == 300 && forA[1].best == "3456_");
    EXPECT_EQ(db.DrillAnswers("").size(), 3u);
}

TEST(HistoryPlace, BesideTheProgramElseInTheUsersDataFolder) {
    TempFolder program, data;
    ::setenv("XDG_DATA_HOME", data.path.c_str(), 1);
    EXPECT_EQ(HistoryFilePath(program.path), program / "QuintorTrainerHistory.sqlite");
    const std::string fallback = data / "QuintorTrainer/QuintorTrainerHistory.sqlite";
    EXPECT_EQ(HistoryFilePath(""), fallback);
    EXPECT_EQ(HistoryFilePath(program / "missing"), fallback);
    hardening::UnwritableFolder locked;
    if (locked.Refuses()) {
        EXPECT_EQ(HistoryFilePath(locked.Path()), fallback);
    }
    ::unsetenv("XDG_DATA_HOME");
}
