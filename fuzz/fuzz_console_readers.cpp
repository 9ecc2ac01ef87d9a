// The console readers on arbitrary input streams: value lists and bags, events, categories, the
// typed dice of the user source and the user strategy's dialogue. Every reader either returns a
// valid value or a message, each call consumes input, and the dialogues end with EndOfInput
// when the input runs out instead of asking forever.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "play/DiceDevils.h"

using namespace quintor;
using quintor::fuzz::Broken;
using quintor::fuzz::Expect;

namespace {

enum Reader : std::uint8_t { rdList, rdBag, rdEvent, rdCategory, rdUserDice, rdUserChoice, NReaders };

bool ValidList(const ValueList& l) {
    if (l.siz > NDice) return false;
    for (int i = 0; i < l.siz; ++i)
        if (l.val[static_cast<std::size_t>(i)] < MinValue || l.val[static_cast<std::size_t>(i)] > MaxValue)
            return false;
    return true;
}

void CheckEvent(const Event& e, const std::string& input) {
    switch (e.aspect) {
        case Rolling: Expect(e.arg <= MaxValueListRank, "rolled list rank", input); return;
        case Keeping: Expect(e.arg < NValueBag5Ranks, "kept bag rank", input); return;
        case Scoring: Expect(e.category < NCategories, "scored category", input); return;
    }
    Broken("event aspect", input);
}

// One call of a line reader; false once the input has ended.
bool ReadOnce(Reader r, const std::string& input) {
    try {
        switch (r) {
            case rdList: {
                ValueList l;
                std::string err;
                const bool ok = ReadValueList("", l, &err);
                Expect(ValidList(l), "list of dice 1..6", input);
                Expect(ok ? err.empty() : !err.empty() && l.siz == 0, "list or message", input);
                break;
            }
            case rdBag: {
                ValueBag b;
                std::string err;
                if (ReadValueBag("", b, &err))
                    Expect(b.size() <= NDice && RankFromValueBag(b) < NValueBag5Ranks, "bag of dice",
                           input);
                else
                    Expect(!err.empty(), "bag or message", input);
                break;
            }
            case rdEvent: {
                Event e;
                e.aspect = Scoring;
                e.category = 7;
                const Event before = e;
                std::string err;
                if (ReadEvent("", e, &err)) {
                    CheckEvent(e, input);
                } else {
                    Expect(!err.empty(), "event or message", input);
                    Expect(e.aspect == before.aspect && e.category == before.category &&
                               e.arg == before.arg,
                           "a rejected event leaves the event alone", input);
                }
                break;
            }
            default: {
                ScoreItem item = NScoreItems;
                if (ReadCategory("", item)) Expect(item < NScoreItems, "score item", input);
                else Expect(item == NScoreItems, "a rejected letter leaves the item alone", input);
                break;
            }
        }
        SkipRestOfLine();
        return true;
    } catch (const EndOfInput&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quintor::fuzz::StartOnce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const Reader reader = static_cast<Reader>(data[0] % NReaders);
    const std::string input(reinterpret_cast<const char*>(data) + 3, size - 3);
    std::istringstream in(input);
    std::ostringstream out;
    SetConsole(&in, &out);

    try {
        if (reader == rdUserDice) {
            // Kept dice of the turn from the second byte: any bag of zero to four dice.
            TurnState ts{2, ToRoll, static_cast<ValueBagRank>(data[1] % NValueBag4Ranks)};
            const int n = NDice - ValueBagTbl[ts.dice].siz;
            for (;;) {
                Event e;
                RollDice(UserDice(), InitialGameState, ts, e);
                Expect(e.aspect == Rolling && e.arg <= MaxValueListRank &&
                           ValueListTbl[e.arg].siz == n,
                       "a typed roll of the unkept dice", input);
            }
        } else if (reader == rdUserChoice) {
            // A position from the two bytes: free categories, rolls left and the rolled dice.
            GameState g;
            MakeGameState(g, ((data[1] << 5) | data[2]) % FullCategorySet + 1, data[2] % 64,
                          false);
            const TurnState t{static_cast<std::uint8_t>(data[1] % NRollsPerTurn), ToChoose,
                              static_cast<ValueBagRank>(NValueBag4Ranks + data[2] % NFiveDiceBags)};
            for (;;) {
                Event e;
                ChooseEvent(UserStrategy, g, t, 0, e, (data[1] & 0x80) != 0);
                if (e.aspect == Keeping)
                    Expect(t.rollsLeft > 0 && e.arg < NValueBag5Ranks &&
                               IsSubBag(ValueBagTbl[e.arg].bag, ValueBagTbl[t.dice].bag),
                           "kept dice are among the rolled dice", input);
                else
                    Expect(e.aspect == Scoring && InSet(g.free, e.category),
                           "a scoring in a free category", input);
            }
        } else {
            // Each call takes at least one character, so the input must end within its length.
            std::size_t calls = 0;
            while (ReadOnce(reader, input))
                Expect(++calls <= input.size() + 1, "every call consumes input", input);
        }
    } catch (const EndOfInput&) {
        // The dialogues end here when the input runs out.
    } catch (const std::exception& e) {
        SetConsole(&std::cin, &std::cout);
        Broken("a console reader throws", input + "\n" + e.what());
    }
    SetConsole(&std::cin, &std::cout);
    return 0;
}
