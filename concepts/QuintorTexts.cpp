// Text forms of category sets, events, game states and turn states, and the console readers.
#include <ostream>
#include <string>
#include <utility>

#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"

namespace quintor {

namespace {

// Input letters in score-item order: the 13 category codes, then the six summary rows.
constexpr char InputLetters[NScoreItems + 1] = "123456TFHSLQCUEGZJX";

const ValueList& ListOfRank(long long r) { return ValueListTbl[CheckValueListRank(r)].list; }
const ValueBag& BagOfRank(long long r) { return ValueBagTbl[CheckValueBagRank(r)].bag; }

void WritePrompt(std::string_view prompt) {
    if (!prompt.empty()) ConsoleOut() << prompt << std::flush;
}

void SetError(std::string* error, std::string text) {
    if (error != nullptr) *error = std::move(text);
}

}  // namespace

// ---- Category sets -----------------------------------------------------------------------------

std::string CategorySetToString(CategorySet s) {
    std::string text;
    for (int k = 0; k < NCategories; ++k) text += InSet(s, k) ? CategoryChar(Category(k)) : '_';
    return text;
}

void WriteCategorySet(std::ostream& out, std::string_view prompt, CategorySet s, bool longForm) {
    out << prompt;
    if (!longForm) {
        out << ' ' << CategorySetToString(s);
        return;
    }
    out << " [";
    bool first = true;
    for (int k = 0; k < NCategories; ++k) {
        if (!InSet(s, k)) continue;
        out << (first ? " " : ", ") << ScoreItemName(ScoreItem(k));
        first = false;
    }
    out << " ]" << '\n';
}

bool ReadCategory(std::string_view prompt, ScoreItem& item) {
    WritePrompt(prompt);
    char c = 0;
    ReadNonBlank(c);
    c = UpCase(c);
    for (int i = 0; i < NScoreItems; ++i) {
        if (InputLetters[i] == c) {
            item = ScoreItem(i);
            return true;
        }
    }
    return false;
}

// ---- Events ------------------------------------------------------------------------------------

void MakeRollingEvent(Event& e, ValueListRank r) {
    e.aspect = Rolling;
    e.arg = CheckValueListRank(r);
}

bool EqualEvents(const Event& a, const Event& b) {
    if (a.aspect != b.aspect) return false;
    if (a.aspect == Scoring) return a.category == b.category;
    return a.arg == b.arg;
}

std::string EventAspectName(EventAspect a, bool longForm) {
    switch (a) {
        case Rolling: return longForm ? "Rolling" : "R";
        case Keeping: return longForm ? "Keeping" : "K";
        case Scoring: return longForm ? "Scoring" : "S";
    }
    throw RangeError("event aspect = " + std::to_string(int(a)) + " is outside 0..2");
}

std::string TurnPhaseName(TurnPhase p, bool longForm) {
    switch (p) {
        case ToRoll: return longForm ? "Roll into " : "R";
        case ToChoose: return longForm ? "Choose for" : "C";
    }
    throw RangeError("turn phase = " + std::to_string(int(p)) + " is outside 0..1");
}

std::string EventToString(const Event& e, bool withAspect, bool spaced) {
    std::string s = withAspect ? EventAspectName(e.aspect, spaced) : std::string();
    switch (e.aspect) {
        case Rolling: s += ValueListToString(ListOfRank(e.arg), spaced); break;
        case Keeping: s += ValueBagToString(BagOfRank(e.arg), spaced); break;
        case Scoring:
            if (spaced) s += "  ";
            s += CategoryChar(e.category);
            s += IntToStrW(e.arg, 4);
            if (spaced) s += "   ";
            break;
        default: EventAspectName(e.aspect, false);   // raises the range error
    }
    return s;
}

std::string EventToOptionText(const Event& e, const ValueList& roll) {
    switch (e.aspect) {
        case Rolling: return "Rolling " + ValueListToString(ListOfRank(e.arg), true) + " ";
        case Keeping: return "Keeping " + KeptDiceText(BagOfRank(e.arg), roll);
        case Scoring:
            return std::string("Scoring   ") + CategoryChar(e.category) + " " + IntToStrW(e.arg, 3) +
                   "   ";
    }
    return EventAspectName(e.aspect, true);   // raises the range error
}

void WriteEvent(std::ostream& out, std::string_view prompt, const Event& e) {
    switch (e.aspect) {
        case Rolling:
            out << prompt;
            WriteValueList(out, "rolling ", ListOfRank(e.arg));
            return;
        case Keeping:
            out << prompt;
            WriteValueBag(out, "keeping ", BagOfRank(e.arg));
            return;
        case Scoring: {
            // Built first so that a bad category writes nothing.
            std::string text = "scoring " + IntToStrW(e.arg, 3) + " via " +
                               ScoreItemName(CheckCategory(e.category));
            out << prompt << text << '\n';
            return;
        }
    }
    EventAspectName(e.aspect, true);   // raises the range error
}

bool ReadAspect(std::string_view prompt, Event& e) {
    WritePrompt(prompt);
    char c = 0;
    ReadNonBlank(c);
    switch (UpCase(c)) {
        case 'R': e.aspect = Rolling; return true;
        case 'K': e.aspect = Keeping; return true;
        case 'S': e.aspect = Scoring; return true;
        default: return false;
    }
}

bool ReadEvent(std::string_view prompt, Event& e, std::string* error) {
    // Built in a copy: the caller's event changes only when a whole valid event was read.
    Event read = e;
    if (!ReadAspect(prompt, read)) {
        SetError(error, "an event starts with R (rolling), K (keeping) or S (scoring)");
        return false;
    }
    switch (read.aspect) {
        case Rolling: {
            ValueList list;
            if (!ReadValueList("", list, error)) return false;
            read.arg = RankFromValueList(list);
            break;
        }
        case Keeping: {
            ValueBag bag;
            if (!ReadValueBag("", bag, error)) return false;
            read.arg = RankFromValueBag(bag);
            break;
        }
        case Scoring: {
            ScoreItem item = NScoreItems;
            if (!ReadCategory("", item) || item >= NCategories) {
                SetError(error, "a scoring names a category: 1..6, T, F, H, S, L, Q or C");
                return false;
            }
            read.category = Category(item);
            break;
        }
    }
    e = read;
    return true;
}

// ---- Game states and turn states ---------------------------------------------------------------

std::string GameStateToString(const GameState& g) {
    return CategorySetToString(g.free) + ";" + IntToStrW(g.need, 2) + (g.chip ? "+" : "-");
}

void WriteGameState(std::ostream& out, std::string_view prompt, const GameState& g) {
    out << prompt;
    WriteCategorySet(out, "free= ", g.free, false);
    out << ", upper section need= " << g.need << ", chip= " << (g.chip ? "TRUE" : "FALSE") << '\n';
}

std::string TurnStateToString(const TurnState& t, bool withPhase, bool spaced) {
    std::string s = withPhase ? TurnPhaseName(t.phase, spaced) + " " : std::string();
    s += ValueBagToString(BagOfRank(t.dice), spaced);
    s += ';';
    s += DigitChar(int(CheckRange(t.rollsLeft, 0, MaxRollsPerTurn, "rolls left")));
    return s;
}

void WriteTurnState(std::ostream& out, std::string_view prompt, const TurnState& t) {
    std::string text = "rolls left= " + std::to_string(t.rollsLeft) + ", phase= " +
                       TurnPhaseName(t.phase, true) + ", dice= " +
                       ValueBagToString(BagOfRank(t.dice), true);
    out << prompt << text << '\n';
}

}  // namespace quintor
