// The abstract-state reader and the advisor's analysis on arbitrary text: the reader never
// throws and reports a position inside the text, a state it accepts reads back unchanged from
// its written form, and the analysis either lists the options or reports the error, never
// failing an internal check.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "play/QuintorStateAnalyzer.h"

using namespace quintor;
using quintor::fuzz::Broken;
using quintor::fuzz::Expect;

namespace {

std::string Describe(const AbstractState& s) {
    return "text \"" + s.text + "\" error \"" + s.error + "\" pos " + std::to_string(s.pos);
}

void CheckAccepted(const AbstractState& s) {
    const std::string what = Describe(s);
    Expect(s.gameState.need <= MaxBonusThreshold && s.gameState.free <= FullCategorySet,
           "game state in range", what);
    Expect(s.total <= MaxPoints, "total in range", what);
    Expect(s.turnState.rollsLeft <= NRollsPerTurn, "rolls left in range", what);
    Expect(s.dice.siz <= NDice, "at most five dice", what);
    Expect((s.turnState.phase == ToChoose) == (s.dice.siz == NDice), "five dice mean choose", what);
    Expect(s.turnState.rollsLeft < NRollsPerTurn || s.dice.siz == 0, "nothing kept before a turn",
           what);
    Expect(s.turnState.rollsLeft > 0 || s.dice.siz == NDice, "all dice after the last roll", what);
    ValueBag bag;
    ValueBagFromValueList(bag, s.dice);
    Expect(s.turnState.dice == RankFromValueBag(bag), "turn dice are the typed dice", what);

    // The written form of the state reads back as the same state.
    const std::string written = AbstractStateText(s.gameState, s.total, s.turnState, s.dice);
    AbstractState again;
    Expect(ReadAbstractState(written, again), "written form is readable",
           what + " written \"" + written + "\" " + Describe(again));
    Expect(EqualGameStates(again.gameState, s.gameState) && again.gameState.chip == s.gameState.chip &&
               again.total == s.total && again.turnState.rollsLeft == s.turnState.rollsLeft &&
               again.turnState.phase == s.turnState.phase && again.turnState.dice == s.turnState.dice,
           "written form reads back unchanged", what + " written \"" + written + "\"");
}

void CheckRejected(const AbstractState& s) {
    const std::string what = Describe(s);
    Expect(!s.error.empty(), "a failed reading has a message", what);
    Expect(s.pos >= 1 && s.pos <= static_cast<int>(s.text.size()) + 1, "error position in the text",
           what);
}

void CheckAdvice(std::string_view input, bool accepted, int pos) {
    std::vector<std::string> lines;
    bool ok = false;
    try {
        ok = Advise(lines, input);
    } catch (const QuintorError&) {
        // A state the reader takes but no game can reach (a total beyond any game): the advisor
        // shows the error and goes on. A chip beside a free Quintor box is ignored, not an error.
        return;
    } catch (const CheckFailure& e) {
        Broken("typed text fails an internal check", std::string(input) + "\n" + e.what());
    }
    Expect(ok == accepted, "the analysis agrees with the reader", std::string(input));
    if (!ok) {
        Expect(lines.size() == 4, "error report has four lines", std::string(input));
        Expect(lines[2].size() == static_cast<std::size_t>(pos) && lines[2].back() == '^',
               "caret under the error position", std::string(input));
        return;
    }
    Expect(!lines.empty(), "options are listed", std::string(input));
    const int n = std::stoi(lines[0]);
    Expect(lines[0] == std::to_string(n) + " options" &&
               lines.size() == static_cast<std::size_t>(n) + 1,
           "one line per option", std::string(input));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quintor::fuzz::StartOnce();
    // The analysis reads the complete expected-score table, as the trainer has it.
    CreateOptimalTable(quintor::fuzz::ScratchFolder(), 2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    AbstractState s;
    bool ok = false;
    try {
        ok = ReadAbstractState(input, s);
    } catch (const std::exception& e) {
        Broken("the reader throws", std::string(input) + "\n" + e.what());
    }
    Expect(s.text == TrimStr(input), "positions refer to the trimmed text", Describe(s));
    if (ok)
        CheckAccepted(s);
    else
        CheckRejected(s);
    CheckAdvice(input, ok, s.pos);
    return 0;
}
