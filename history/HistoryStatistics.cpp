#include "history/HistoryStatistics.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <ostream>

#include "core/DiceStuff.h"
#include "history/HistoryInternals.h"

namespace quintor {

namespace {

// Runs a query on the open database; a fault becomes the result's message and an empty answer.
template <typename T, typename F>
T Query(HistoryDatabase& db, HistoryResult* result, const char* doing, F&& f) {
    HistoryResult r = db.Open();
    if (result) *result = r;
    if (!r.ok) return T{};
    try {
        return f(*db.Internals());
    } catch (const std::exception& e) {
        const HistoryResult fault = db.Fault(e, doing);
        if (result) *result = fault;
        return T{};
    }
}

std::string CategoryName(int c) {
    return ScoreItemName(ScoreItem(CheckCategory(c)));
}

std::string DiceCount(int n) {
    return n == 0 ? "no dice" : n == 1 ? "1 die" : Format("%d dice", n);
}

const char* RollName(ChoiceKind k) {
    return k == ckKeepFirstRoll ? "after the first roll" : "after the second roll";
}

// A habit groups choices by what was chosen and what was best: the category of a scoring, the
// number of dice of a keeping. category -1 stands for a keeping.
std::string HabitTextOf(ChoiceKind kind, int category, int bestCategory, int kept, int bestKept) {
    if (kind == ckScoring) {
        const std::string head = "Scoring in " + CategoryName(category) + " when the best choice was ";
        return head + (bestCategory >= 0 ? CategoryName(bestCategory) : "to keep dice and roll again");
    }
    if (bestCategory >= 0)
        return std::string("Rolling again ") + RollName(kind) + " when the best choice was to score in " +
               CategoryName(bestCategory);
    return "Keeping " + DiceCount(kept) + " " + RollName(kind) + " when the best choice was to keep " +
           (kept == bestKept ? Format("%d others", bestKept) : DiceCount(bestKept));
}

constexpr int NHabitKeys = NChoiceKinds * (NCategories + 1) * (NCategories + 1) * (NDice + 1) * (NDice + 1);

int HabitKey(int kind, int category, int bestCategory, int kept, int bestKept) {
    return (((kind * (NCategories + 1) + category + 1) * (NCategories + 1) + bestCategory + 1) * (NDice + 1) +
            kept) * (NDice + 1) + bestKept;
}

int KeptCount(std::int64_t bagRank) {
    return ValueBagTbl[CheckValueBagRank(bagRank)].siz;
}

std::string LocalDateTime(std::int64_t t) {
    const std::time_t tt = std::time_t(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

std::string UtcIso(std::int64_t t) {
    const std::time_t tt = std::time_t(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

// The shortest text that reads back as the same double.
std::string ExactNumber(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string SourceName(const HistoryFilter& f) {
    return f.diceSource.empty() ? "any dice" : f.diceSource + " dice";
}

}  // namespace

const char* ChoiceKindName(ChoiceKind k) {
    static const char* const names[NChoiceKinds] = {"Keeping after the first roll",
                                                    "Keeping after the second roll", "Scoring"};
    return names[CheckRange(k, 0, NChoiceKinds - 1, "kind of choice")];
}

std::string HabitText(ChoiceKind kind, const Event& choice, const Event& best) {
    return HabitTextOf(kind, choice.aspect == Scoring ? choice.category : -1,
                       best.aspect == Scoring ? best.category : -1,
                       choice.aspect == Keeping ? KeptCount(choice.arg) : 0,
                       best.aspect == Keeping ? KeptCount(best.arg) : 0);
}

HistoryStatistics ReadHistoryStatistics(HistoryDatabase& db, const HistoryFilter& f, HistoryResult* result) {
    return Query<HistoryStatistics>(db, result, "computing the statistics", [&](HistoryDatabase::Impl& h) {
        HistoryStatistics st;
        SqliteStmt& s = h.summary;
        SqliteStmt::Use use(s);
        s.Bind(1, f.diceSource);
        if (!s.Step()) return st;
        st.games = int(s.Int(0));
        st.finished = int(s.Real(1));
        st.aborted = st.games - st.finished;
        st.meanScore = s.Real(2);
        st.bestScore = int(s.Int(3));
        st.meanLossPerGame = s.Real(4);
        st.meanLuckPerGame = s.Real(5);
        st.counts.choices = int(s.Real(6));
        st.counts.identical = int(s.Real(7));
        for (int c = 0; c < NLossClasses; ++c) st.counts.byClass[std::size_t(c)] = int(s.Real(8 + c));
        if (st.counts.choices > 0) {
            st.meanLossPerChoice = s.Real(12) / st.counts.choices;
            st.identicalShare = double(st.counts.identical) / st.counts.choices;
            st.tieShare = double(st.counts.identical + st.counts.byClass[0]) / st.counts.choices;
        }
        return st;
    });
}

HistorySeries ReadHistorySeries(HistoryDatabase& db, const HistoryFilter& f, int window, HistoryResult* result) {
    return Query<HistorySeries>(db, result, "reading the games", [&](HistoryDatabase::Impl& h) {
        HistorySeries se;
        SqliteStmt& s = h.series;
        SqliteStmt::Use use(s);
        s.Bind(1, f.diceSource);
        while (s.Step()) {
            se.ids.push_back(s.Int(0));
            se.ended.push_back(s.Int(1));
            se.score.push_back(double(s.Int(2)));
            se.loss.push_back(s.Real(3));
        }
        // Trailing means over the last `window` games, kept as running sums.
        const std::size_t w = std::size_t(std::max(1, window));
        double scoreSum = 0.0, lossSum = 0.0;
        for (std::size_t i = 0; i < se.score.size(); ++i) {
            scoreSum += se.score[i];
            lossSum += se.loss[i];
            if (i >= w) scoreSum -= se.score[i - w], lossSum -= se.loss[i - w];
            const double n = double(std::min(i + 1, w));
            se.scoreAverage.push_back(scoreSum / n);
            se.lossAverage.push_back(lossSum / n);
        }
        return se;
    });
}

LossSplits ReadLossSplits(HistoryDatabase& db, const HistoryFilter& f, HistoryResult* result, std::size_t habitCount) {
    return Query<LossSplits>(db, result, "computing where the points go", [&](HistoryDatabase::Impl& h) {
        LossSplits sp;
        std::vector<LossShare> habits(NHabitKeys);
        SqliteStmt& s = h.totals;
        SqliteStmt::Use use(s);
        s.Bind(1, f.diceSource);
        while (s.Step()) {
            const int kind = int(CheckRange(s.Int(0), 0, NChoiceKinds - 1, "kind of choice"));
            const int turn = int(CheckRange(s.Int(1), 1, NTurnsPerGame, "turn"));
            const int category = int(CheckRange(s.Int(2), -1, NCategories - 1, "category"));
            const int bestCategory = int(CheckRange(s.Int(3), -1, NCategories - 1, "category"));
            const int kept = int(CheckRange(s.Int(4), 0, NDice, "kept dice"));
            const int bestKept = int(CheckRange(s.Int(5), 0, NDice, "kept dice"));
            const bool identical = s.Int(6) != 0, costly = s.Int(7) != 0;
            const LossShare share{int(s.Int(8)), s.Real(9)};
            for (LossShare* l : {&sp.byKind[std::size_t(kind)], &sp.byTurn[std::size_t(turn - 1)]})
                l->choices += share.choices, l->loss += share.loss;
            if (identical) continue;
            if (category >= 0) {
                LossShare& byCategory = sp.byCategory[std::size_t(category)];
                byCategory.choices += share.choices, byCategory.loss += share.loss;
            }
            if (!costly) continue;   // ties and near-ties: no habit to change
            LossShare& habit = habits[std::size_t(HabitKey(kind, category, bestCategory, kept, bestKept))];
            habit.choices += share.choices, habit.loss += share.loss;
        }
        // The costliest, by the points they lost in all.
        std::vector<int> keys;
        for (int k = 0; k < NHabitKeys; ++k)
            if (habits[std::size_t(k)].choices > 0) keys.push_back(k);
        const auto costlier = [&](int a, int b) {
            const LossShare &x = habits[std::size_t(a)], &y = habits[std::size_t(b)];
            return x.loss != y.loss ? x.loss > y.loss : a < b;
        };
        const std::size_t n = std::min(habitCount, keys.size());
        std::partial_sort(keys.begin(), keys.begin() + std::ptrdiff_t(n), keys.end(), costlier);
        for (std::size_t i = 0; i < n; ++i) {
            int k = keys[i];
            const int bestKept = k % (NDice + 1);
            k /= NDice + 1;
            const int kept = k % (NDice + 1);
            k /= NDice + 1;
            const int bestCategory = k % (NCategories + 1) - 1;
            k /= NCategories + 1;
            const int category = k % (NCategories + 1) - 1;
            const ChoiceKind kind = ChoiceKind(k / (NCategories + 1));
            const LossShare& share = habits[std::size_t(keys[i])];
            sp.habits.push_back({HabitTextOf(kind, category, bestCategory, kept, bestKept), share.choices, share.loss});
        }
        return sp;
    });
}

std::vector<HistoryGame> ReadGameList(HistoryDatabase& db, const HistoryFilter& f, int last, HistoryResult* result) {
    return Query<std::vector<HistoryGame>>(db, result, "reading the games", [&](HistoryDatabase::Impl& h) {
        std::vector<HistoryGame> games;
        SqliteStmt& s = h.lastGames;
        SqliteStmt::Use use(s);
        s.Bind(1, f.diceSource).Bind(2, last > 0 ? std::int64_t(last) : std::int64_t(-1));
        while (s.Step()) games.push_back(ReadGameRow(s));
        std::reverse(games.begin(), games.end());
        return games;
    });
}

std::vector<std::string> ReadDiceSources(HistoryDatabase& db, HistoryResult* result) {
    return Query<std::vector<std::string>>(db, result, "reading the dice sources", [&](HistoryDatabase::Impl& h) {
        std::vector<std::string> sources;
        SqliteStmt& s = h.diceSources;
        SqliteStmt::Use use(s);
        while (s.Step()) sources.push_back(s.Text(0));
        return sources;
    });
}

std::string HistoryLine(const HistoryGame& g) {
    const std::string percentile = g.percentile ? Format("%5.1f%%", *g.percentile) : "     -";
    return Format("%s  %-8s %4d %-8s loss %6.2f  luck %+7.2f  %s", LocalDateTime(g.ended).c_str(),
                  g.diceSource.c_str(), g.finalScore, g.finished ? "" : "aborted", g.sumLoss, g.sumLuck,
                  percentile.c_str());
}

void WriteHistoryLines(std::ostream& out, const std::vector<HistoryGame>& games) {
    for (const HistoryGame& g : games) out << HistoryLine(g) << '\n';
}

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

void WriteHistoryCsv(std::ostream& out, const std::vector<HistoryGame>& games) {
    out << "id,started,ended,dice,finished,score,start_value,luck,loss,end_value,choices,identical,"
           "loss_below_0.01,loss_0.01_to_1,loss_1_to_5,loss_5_and_more,percentile,version\r\n";
    for (const HistoryGame& g : games) {
        out << g.id << ',' << UtcIso(g.started) << ',' << UtcIso(g.ended) << ',' << CsvField(g.diceSource)
            << ',' << (g.finished ? 1 : 0) << ',' << g.finalScore << ',' << ExactNumber(g.startValue) << ','
            << ExactNumber(g.sumLuck) << ',' << ExactNumber(g.sumLoss) << ',' << ExactNumber(g.endValue) << ','
            << g.counts.choices << ',' << g.counts.identical;
        for (int n : g.counts.byClass) out << ',' << n;
        out << ',' << (g.percentile ? ExactNumber(*g.percentile) : "") << ',' << CsvField(g.version) << "\r\n";
    }
}

void WriteHistoryStatistics(std::ostream& out, const HistoryFilter& f, const HistoryStatistics& s,
                            const LossSplits& sp) {
    if (s.games == 0) {
        out << "No games with " << SourceName(f) << " in the history.\n";
        return;
    }
    out << Format("Statistics of %d games with %s (%d finished, %d aborted)\n", s.games, SourceName(f).c_str(),
                  s.finished, s.aborted);
    if (s.finished > 0) {
        out << Format("  Mean final score               : %8.2f\n", s.meanScore);
        out << Format("  Best final score               : %5d\n", s.bestScore);
        out << Format("  Mean loss per game             : %8.2f\n", s.meanLossPerGame);
        out << Format("  Mean luck per game             : %+8.2f\n", s.meanLuckPerGame);
    }
    out << Format("  Mean loss per choice           : %9.3f\n", s.meanLossPerChoice);
    out << Format("  Choices identical to the best  : %7.1f%% of %d\n", 100.0 * s.identicalShare, s.counts.choices);
    out << Format("  Choices losing less than 0.01  : %7.1f%%\n", 100.0 * s.tieShare);
    for (int c = 0; c < NLossClasses; ++c)
        out << Format("  Other choices with loss %-3s    : %5d\n", LossClassMarker(c), s.counts.byClass[std::size_t(c)]);

    const auto share = [&](const std::string& name, const LossShare& l) {
        out << Format("  %-34s %7d %9.2f %7.3f\n", name.c_str(), l.choices, l.loss, l.Mean());
    };
    out << "\nWhere the points go                 choices      loss    mean\n";
    for (int k = 0; k < NChoiceKinds; ++k) share(ChoiceKindName(ChoiceKind(k)), sp.byKind[std::size_t(k)]);
    out << "\nBy turn\n";
    for (int t = 0; t < NTurnsPerGame; ++t) share(Format("Turn %d", t + 1), sp.byTurn[std::size_t(t)]);
    out << "\nScoring in a category when the best choice was another\n";
    for (int c = 0; c < NCategories; ++c)
        if (sp.byCategory[std::size_t(c)].choices > 0) share(CategoryName(c), sp.byCategory[std::size_t(c)]);
    out << "\nThe costliest habits\n";
    if (sp.habits.empty()) out << "  none\n";
    for (std::size_t i = 0; i < sp.habits.size(); ++i) {
        const Habit& h = sp.habits[i];
        out << Format("  %zu. %s: %d %s, %.2f points\n", i + 1, h.text.c_str(), h.count, h.count == 1 ? "time" : "times",
                      h.loss);
    }
}

}  // namespace quintor
