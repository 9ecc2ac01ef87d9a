#include "history/QuintorDrills.h"

#include <algorithm>
#include <map>
#include <ostream>

#include "core/GeneralStuff.h"
#include "engine/QuintorStateTables.h"
#include "engine/QuintorStrategies.h"
#include "history/HistoryInternals.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"
#include "play/QuintorStateAnalyzer.h"
#include "play/QuintorTutor.h"

namespace quintor {

std::int64_t DrillBoxDelay(int box) {
    if (box < 1 || box > NDrillBoxes) throw RangeError(Format("DrillBoxDelay: no box %d", box));
    return box == 1 ? 0 : (std::int64_t(1) << (box - 2)) * SecondsPerDay;
}

namespace {

bool DueBefore(const DrillItem& a, const DrillItem& b) {
    if (a.due != b.due) return a.due < b.due;
    if (a.loss != b.loss) return a.loss > b.loss;
    return a.position < b.position;
}

// The position read for a drill: after a roll, with something left to choose.
struct DrillPosition {
    AbstractState state;
    GameState gs;
};

DrillPosition ReadDrillPosition(const std::string& position) {
    DrillPosition p;
    if (!ReadAbstractState(position, p.state))
        throw RangeError("not a position: \"" + position + "\": " + p.state.error);
    p.gs = p.state.gameState;
    // As the advisor does: a chip beside a free Quintor box changes nothing.
    if (InSet(p.gs.free, QuintorCat)) p.gs.chip = false;
    if (GameOver(p.gs) || p.state.turnState.phase != ToChoose)
        throw RangeError("not a position after a roll: \"" + position + "\"");
    return p;
}

// An answer given for the item's position: a right one moves it up a box, a wrong one back to
// the first; it is due again after its box's delay.
void Replay(DrillItem& item, const DrillAnswer& a) {
    ++item.answers;
    item.box = a.loss < DrillRightLoss ? std::min(item.box + 1, NDrillBoxes) : 1;
    item.due = a.answered + DrillBoxDelay(item.box);
}

}  // namespace

std::vector<DrillItem> DrillSchedule(HistoryDatabase& db, HistoryResult* result) {
    std::vector<DrillItem> items;
    HistoryResult r = db.Open();
    if (result) *result = r;
    if (!r.ok) return items;
    std::map<std::string, std::size_t> byPosition;
    try {
        SqliteStmt& s = db.Internals()->drillPositions;
        SqliteStmt::Use use(s);
        while (s.Step()) {
            DrillItem item;
            item.position = s.Text(0);
            item.loss = s.Real(1);
            item.due = s.Int(2);
            byPosition[item.position] = items.size();
            items.push_back(std::move(item));
        }
    } catch (const std::exception& e) {
        const HistoryResult f = db.Fault(e, "reading the drill positions");
        if (result) *result = f;
        return {};
    }
    HistoryResult answersResult;
    const std::vector<DrillAnswer> answers = db.DrillAnswers("", &answersResult);
    if (!answersResult.ok) {
        if (result) *result = answersResult;
        return {};
    }
    for (const DrillAnswer& a : answers) {   // oldest first
        const auto it = byPosition.find(a.position);
        if (it == byPosition.end()) continue;   // a fallback position: not the player's own
        Replay(items[it->second], a);
    }
    std::sort(items.begin(), items.end(), DueBefore);
    return items;
}

std::vector<DrillItem> DueDrills(const std::vector<DrillItem>& schedule, std::int64_t now) {
    std::vector<DrillItem> due;
    for (const DrillItem& item : schedule)
        if (item.due <= now) due.push_back(item);
    std::sort(due.begin(), due.end(), DueBefore);
    return due;
}

std::vector<std::string> FallbackDrillPositions(std::uint32_t seed, int count, QuintorStrategyState* S) {
    if (S == nullptr) S = OptimalStrategy;
    std::vector<std::string> positions;
    std::set<std::string> seen;
    SeedGenerator(seed);
    // A game has at most 39 choices; so many games without a position would mean none exists.
    for (int game = 0; int(positions.size()) < count && game < 50 + 4 * count; ++game) {
        GameSession s;
        NewGameSession(s);
        while (s.phase != gpGameOver && int(positions.size()) < count) {
            SessionRoll(s, FairDice());
            EList list;
            ListChoiceOptions(list, S, s.gameState, SessionTotal(s), s.turnState);
            SortEList(list);
            if (list.len >= 2 && list.entry[0].expected - list.entry[1].expected >= DrillFallbackGap) {
                std::string p = SessionAbstractState(s);
                if (seen.insert(p).second) positions.push_back(std::move(p));
            }
            Event choice;
            ChooseEvent(S, s.gameState, s.turnState, SessionTotal(s), choice, false);
            if (choice.aspect == Keeping)
                SessionKeep(s, choice.arg);
            else
                SessionScore(s, choice.category);
        }
    }
    return positions;
}

DrillOutcome AnswerDrill(const std::string& position, const Event& choice, QuintorStrategyState* S) {
    if (S == nullptr) S = OptimalStrategy;
    const DrillPosition p = ReadDrillPosition(position);
    EList list;
    ListChoiceOptions(list, S, p.gs, p.state.total, p.state.turnState);
    SortEList(list);
    const int mine = FindEvent(list, choice);   // RangeError for a choice that is not there
    DrillOutcome o;
    o.position = position;
    o.assessment = AssessChoice(S, p.gs, p.state.total, p.state.turnState, choice);
    o.right = o.assessment.loss < DrillRightLoss;
    WriteEList(o.listing, list, p.state.dice, false);
    o.listing[std::size_t(mine) + 1] += DrillChoiceMark;   // after the "N options" line
    return o;
}

std::string DrillVerdict(const DrillOutcome& o) {
    const ChoiceAssessment& a = o.assessment;
    if (o.right)
        return a.identical ? "Right: that is the best choice." : "Right: that is as good as the best choice.";
    return Format("Loss: %.2f points against %s (%.2f).", a.loss, ChoiceText(a.best.event).c_str(),
                  a.best.expected);
}

HistoryResult StoreDrillOutcome(HistoryDatabase& db, const DrillOutcome& o, std::int64_t now) {
    DrillAnswer a;
    a.answered = now;
    a.position = o.position;
    a.answer = EventToString(o.assessment.mine.event, false, false);
    a.best = EventToString(o.assessment.best.event, false, false);
    a.loss = o.assessment.loss;
    return db.StoreDrillAnswer(a);
}

DrillRecord ReadDrillRecord(HistoryDatabase& db, std::int64_t now, HistoryResult* result) {
    DrillRecord rec;
    HistoryResult r;
    const std::vector<DrillAnswer> answers = db.DrillAnswers("", &r);
    if (result) *result = r;
    if (!r.ok) return rec;
    rec.answers = int(answers.size());
    for (const DrillAnswer& a : answers)
        if (a.loss < DrillRightLoss) ++rec.right;
    rec.rightShare = rec.answers > 0 ? double(rec.right) / rec.answers : 0.0;
    // As the schedule has it, without reading it all: a position never answered is in the first
    // box and due from its first game on; only the answered ones are replayed.
    std::map<std::string, std::vector<const DrillAnswer*>> answered;
    for (const DrillAnswer& a : answers) answered[a.position].push_back(&a);   // oldest first
    try {
        HistoryDatabase::Impl& h = *db.Internals();
        {
            SqliteStmt::Use use(h.drillPositionCounts);
            if (h.drillPositionCounts.Bind(1, now).Step()) {
                rec.positions = int(h.drillPositionCounts.Int(0));
                rec.due = int(h.drillPositionCounts.Real(1));
            }
        }
        rec.byBox[0] = rec.positions;
        for (const auto& [position, given] : answered) {
            SqliteStmt::Use use(h.drillPosition);
            if (!h.drillPosition.Bind(1, position).Step()) continue;   // not the player's own
            DrillItem item;
            item.due = h.drillPosition.Int(1);
            const bool wasDue = item.due <= now;
            for (const DrillAnswer* a : given) Replay(item, *a);
            rec.due += int(item.due <= now) - int(wasDue);
            --rec.byBox[0];
            ++rec.byBox[std::size_t(item.box - 1)];
        }
    } catch (const std::exception& e) {
        const HistoryResult f = db.Fault(e, "reading the drill record");
        if (result) *result = f;
        return DrillRecord{};
    }
    return rec;
}

void WriteDrillRecord(std::ostream& out, const DrillRecord& r) {
    out << "\nDrills\n";
    if (r.answers == 0)
        out << "  No drill answered yet\n";
    else
        out << Format("  Answers given                  : %5d\n", r.answers)
            << Format("  Right answers                  : %5d (%.1f%%)\n", r.right, 100.0 * r.rightShare);
    out << Format("  Positions from your games      : %5d\n", r.positions);
    out << Format("  Due now                        : %5d\n", r.due);
    out << "  In boxes 1 to 6                :";
    for (int n : r.byBox) out << Format(" %5d", n);
    out << '\n';
}

std::string DrillRun::Next(std::int64_t now, bool* fromHistory) {
    if (db_ != nullptr) {
        const std::vector<DrillItem> due = DueDrills(DrillSchedule(*db_, &last_), now);
        for (const DrillItem& item : due) {
            if (asked_.count(item.position) != 0) continue;
            try {
                ReadDrillPosition(item.position);
            } catch (const RangeError&) {
                continue;   // a position no drill can be made of is skipped, not fatal
            }
            asked_.insert(item.position);
            if (fromHistory) *fromHistory = true;
            return item.position;
        }
    }
    if (fromHistory) *fromHistory = false;
    for (int round = 0; round < 2; ++round) {
        while (nextFallback_ < fallback_.size()) {
            const std::string& p = fallback_[nextFallback_++];
            if (asked_.insert(p).second) return p;
        }
        // Twenty more positions from the next games of the seed's sequence.
        fallback_ = FallbackDrillPositions(seed_++, 20);
        nextFallback_ = 0;
    }
    return "";
}

}  // namespace quintor
