// play: one game in the terminal, recorded as the window program records it, then its report.
#include <istream>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "core/GeneralStuff.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"

namespace quintor::cli {

namespace {

// The console of the dialogues is this command's in and out while it runs.
class ConsoleGuard {
public:
    ConsoleGuard(std::istream& in, std::ostream& out) : in_(&ConsoleIn()), out_(&ConsoleOut()) {
        SetConsole(&in, &out);
        ClearLookAhead();
    }
    ~ConsoleGuard() {
        ConsoleOut().flush();
        SetConsole(in_, out_);
        ClearLookAhead();
    }
    ConsoleGuard(const ConsoleGuard&) = delete;
    ConsoleGuard& operator=(const ConsoleGuard&) = delete;

private:
    std::istream* in_;
    std::ostream* out_;
};

DiceDevilState* DiceSource(const Options& o) {
    const std::string word = o.Value("--dice", "fair");
    DiceDevilKind kind = dkPerDice;
    if (!DiceDevilKindFromWord(word, kind))
        throw UsageError("play: unknown dice source '" + word +
                         "' (fair, perlist, perbag, demon, angel, special, stuckat or user)");
    return DiceDevil[kind];
}

// A report that cannot be saved is known before the game, not after it.
void RequireSaveTarget(const std::string& file) {
    if (file.empty()) throw CommandError("--save needs a file name");
    if (DirectoryExists(file))
        throw CommandError("cannot save the report to \"" + file + "\": it is a directory");
    std::string dir = DirectoryOf(file);
    if (dir.empty()) dir.push_back('.');   // a bare file name lands in the working folder
    if (!DirectoryExists(dir))
        throw CommandError("cannot save the report to \"" + file + "\": the folder \"" + dir +
                           "\" does not exist");
    if (!DirectoryWritable(dir))
        throw CommandError("cannot save the report to \"" + file + "\": the folder \"" + dir +
                           "\" is not writable");
}

// Plays until the game is over; EndOfInput leaves it in the middle.
void PlayGame(GameSession& s, DiceDevilState* devil, std::ostream& out) {
    while (!GameOver(s.gameState)) {
        out << "\nTurn " << (NCategories + 1 - CategorySetSize(s.gameState.free)) << '\n';
        for (;;) {
            const Event roll = SessionRoll(s, devil);
            if (ValueListTbl[roll.arg].list.siz > 0)
                out << "    Rolled: "
                    << TrimStr(ValueListToString(ValueListTbl[roll.arg].list, true)) << '\n';
            Event choice;
            ChooseEvent(UserStrategy, s.gameState, s.turnState, SessionTotal(s), choice, true);
            if (choice.aspect == Keeping) {
                SessionKeep(s, choice.arg);
                continue;
            }
            SessionScore(s, choice.category);
            break;
        }
    }
}

}  // namespace

int PlayCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err) {
    const Options o =
        ParseOptions(args, {"--location", "--dice", "--seed", "--save"}, {}, 0, "play");
    DiceDevilState* devil = DiceSource(o);
    const bool seeded = o.Has("--seed");
    const auto seed = seeded
                          ? std::uint32_t(ParseCount(o.Value("--seed"), 0, 4294967295LL, "--seed"))
                          : std::uint32_t(0);
    const std::string saveFile = o.Value("--save");
    if (o.Has("--save")) RequireSaveTarget(saveFile);
    LoadExpectedTable(o);
    const std::string location = TableLocation(o);
    if (!LoadVarianceTable(location)) NoteMissingVariance(location, err);

    if (seeded) SeedGenerator(seed);
    ResetDiceDevil(devil);
    GameSession s;
    NewGameSession(s);
    // The first position of a game is always shown, even after an earlier game in this process.
    UserStrategy->LastShownState = GameState{};
    out << "New game, dice: " << devil->Name << ".\n"
        << "After a roll type k and the dice to keep (k 66), or s and a category letter to score "
           "(1-6 T F H S L Q C).\n";
    bool aborted = false;
    int rc = ExitOk;
    {
        ConsoleGuard console(in, out);
        try {
            PlayGame(s, devil, out);
        } catch (const EndOfInput&) {
            aborted = true;
            out << "\n\nEnd of input: game aborted.\n";
        } catch (const QuintorError& e) {   // the choices made so far still get their report
            aborted = true;
            rc = ExitFailure;
            out.flush();
            err << "quintor: " << e.what() << '\n';
            out << "\n\nGame aborted.\n";
        }
    }
    if (aborted) {
        AbortSession(s);
    } else {
        out << "\nGame Over!\n";
    }

    std::vector<std::string> lines;
    WriteGameAnalysis(lines, s.recording, "You", OfficialRules, true, OptimalStrategy);
    std::string text;
    for (const auto& line : lines) {
        out << line << '\n';
        text += line + "\r\n";
    }
    out.flush();
    if (o.Has("--save")) {
        WriteTextFileAtomically(saveFile, text);
        out << "\nReport saved to " << saveFile << '\n';
    }
    PrintLuckAndSkill(s.recording, location, out, err);
    return rc;
}

}  // namespace quintor::cli
