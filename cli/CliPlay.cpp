// play: one game in the terminal, recorded as the window program records it, then its report.
#include <ctime>
#include <istream>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "core/GeneralStuff.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"

namespace quintor::cli {

namespace {

struct PlayOptions {
    LocationOption location;
    std::string dice = "fair";
    long long seed = 0;
    const CLI::Option* seedOption = nullptr;
    std::string save;
    const CLI::Option* saveOption = nullptr;
    std::string history;
};

const std::vector<std::string> DiceWords = {"fair",  "perlist", "perbag",  "demon",
                                            "angel", "special", "stuckat", "user"};

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

int Play(const PlayOptions& o, std::istream& in, std::ostream& out, std::ostream& err) {
    DiceDevilKind kind = dkPerDice;
    Check(DiceDevilKindFromWord(o.dice, kind), "Play", "the dice word names a dice source");
    DiceDevilState* devil = DiceDevil[kind];
    const bool seeded = Given(o.seedOption);
    const auto seed = std::uint32_t(o.seed);
    const std::string& saveFile = o.save;
    const bool save = Given(o.saveOption);
    if (save) RequireSaveTarget(saveFile);
    LoadExpectedTable(o.location);
    const std::string location = TableLocation(o.location);
    if (!LoadVarianceTable(location)) NoteMissingVariance(location, err);

    const std::int64_t started = std::time(nullptr);
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
    if (save) {
        WriteTextFileAtomically(saveFile, text);
        out << "\nReport saved to " << saveFile << '\n';
    }
    PrintLuckAndSkill(s.recording, location, out, err);
    StoreInHistory(o.history, s.recording, location, o.dice, started, err);
    return rc;
}

}  // namespace

void AddPlayCommand(CommandLine& line) {
    auto o = std::make_shared<PlayOptions>();
    CLI::App* cmd = line.AddCommand(
        nullptr, "play", "play [--location DIR] [--dice SOURCE] [--seed N] [--save FILE] [--history FILE]",
        "Play a game in the terminal; at its end (or at the end of the input, which\n"
        "aborts it) the analysis of your choices is shown, and saved to FILE if given,\n"
        "then the split of the result into luck and skill. The game, finished or\n"
        "aborted, is stored in the history (see quintor history and stats).\n"
        "SOURCE: fair (default), perlist, perbag, demon, angel, special, stuckat, user\n"
        "(user: you type the dice too). --seed N replays the same dice.",
        [o](Console& c) { return Play(*o, c.in, c.out, c.err); });
    AddLocationOption(cmd, o->location);
    AddChoiceOption(cmd, "--dice", o->dice, DiceWords, "dice source", "SOURCE",
                    "Where the dice come from. fair: random dice, one at a time; perlist: a "
                    "random roll, every ordered roll equally likely (as fair); perbag: every set "
                    "of values equally likely (not fair); demon or angel: the roll worst or best "
                    "for an optimal player; special: the values 1 to 6 in turn; stuckat: all "
                    "sixes; user: you type each roll.");
    o->seedOption = AddNumberOption(cmd, "--seed", o->seed, 0, 4294967295LL, "N",
                                    "Start the random dice from N, so the same seed gives the "
                                    "same dice (default: from the clock).");
    o->saveOption = AddTextOption(cmd, "--save", o->save, "FILE",
                                  "Also save the report to FILE (CR LF line ends).");
    AddHistoryOption(cmd, o->history);
}

}  // namespace quintor::cli
