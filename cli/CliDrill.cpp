// drill: the positions the player got wrong in earlier games, asked again in the terminal and
// answered as in play ("k 66", "s C"); each answer is listed against every option and stored.
#include <ctime>
#include <memory>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "history/QuintorDrills.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor::cli {

namespace {

struct DrillOptions {
    LocationOption location;
    long long count = 5;
    std::string history;
    const CLI::Option* historyOption = nullptr;
    long long seed = 0;
    const CLI::Option* seedOption = nullptr;
};

// Asks the position and reads the choice; EndOfInput when the input ends.
Event AskDrill(const std::string& position) {
    AbstractState st;
    Check(ReadAbstractState(position, st), "AskDrill", "the drill position reads");
    // Every drill shows its game state, even when the last one had the same.
    UserStrategy->LastShownState = GameState{};
    Event choice;
    ChooseEvent(UserStrategy, st.gameState, st.turnState, st.total, choice, true);
    return choice;
}

int Drill(const DrillOptions& o, Console& c) {
    LoadExpectedTable(o.location);
    const std::string location = TableLocation(o.location);
    if (!LoadVarianceTable(location)) NoteMissingVariance(location, c.err);
    std::unique_ptr<HistoryDatabase> db;
    std::string historyFile = o.history;
    if (!Given(o.historyOption)) {
        try {
            historyFile = HistoryFilePath(DirectoryOf(ExecutablePath()));
        } catch (const QuintorError& e) {
            c.err << "quintor: no history: " << e.what() << "; the positions come from optimal play.\n";
            historyFile.clear();
        }
    }
    if (Given(o.historyOption) && historyFile.empty()) throw CommandError("--history needs a file name");
    if (!historyFile.empty()) {
        if (DirectoryExists(historyFile))
            throw CommandError("cannot use \"" + historyFile + "\" as the history: it is a directory");
        db = std::make_unique<HistoryDatabase>(historyFile);
        const HistoryResult r = db->Open();
        if (!r.message.empty()) c.err << "quintor: " << r.message << '\n';
        if (!r.ok) {
            c.err << "quintor: the positions come from optimal play and the answers are not stored.\n";
            db.reset();
        }
    }

    DrillRun run(db.get(), Given(o.seedOption) ? std::uint32_t(o.seed) : ClockSeed());
    c.out << "Drills: type k and the dice to keep (k 66), or s and a category letter to score "
             "(1-6 T F H S L Q C).\n";
    int answered = 0, right = 0;
    {
        ConsoleGuard console(c.in, c.out);
        for (int i = 1; i <= o.count; ++i) {
            bool fromHistory = false;
            const std::string position = run.Next(std::time(nullptr), &fromHistory);
            if (!run.LastResult().message.empty() && run.LastResult().show)
                c.err << "quintor: " << run.LastResult().message << '\n';
            if (position.empty()) {
                c.out << "\nNo position to drill was found.\n";
                break;
            }
            c.out << Format("\nDrill %d of %lld: ", i, o.count)
                  << (fromHistory ? "a position you got wrong" : "a position from optimal play") << '\n'
                  << "  Position: " << position << '\n';
            Event choice;
            try {
                choice = AskDrill(position);
            } catch (const EndOfInput&) {
                c.out << "\n\nEnd of input: drills stopped.\n";
                break;
            }
            const DrillOutcome outcome = AnswerDrill(position, choice);
            ++answered;
            if (outcome.right) ++right;
            c.out << '\n';
            for (const std::string& line : outcome.listing) c.out << "  " << line << '\n';
            c.out << DrillVerdict(outcome) << '\n';
            if (db) {
                const HistoryResult r = StoreDrillOutcome(*db, outcome, std::time(nullptr));
                if (!r.message.empty() && (r.show || !r.ok)) c.err << "quintor: " << r.message << '\n';
            }
        }
    }
    c.out << Format("\n%d answered, %d right.\n", answered, right);
    if (db) {
        const DrillRecord rec = ReadDrillRecord(*db, std::time(nullptr));
        c.out << Format("All drills: %d answer%s, %.0f%% right; %d of your positions due now.\n",
                        rec.answers, rec.answers == 1 ? "" : "s", 100.0 * rec.rightShare, rec.due);
    }
    c.out.flush();
    return ExitOk;
}

}  // namespace

void AddDrillCommand(CommandLine& line) {
    auto o = std::make_shared<DrillOptions>();
    CLI::App* cmd = line.AddCommand(
        nullptr, "drill", "drill [--location DIR] [--count N] [--history FILE] [--seed N]",
        "Drills: positions where you lost 1.0 points or more in your games come\n"
        "back (after 1, 2, 4, 8 and 16 days while you answer them right, at once\n"
        "after a wrong answer); when none is due, positions of optimal games\n"
        "where the choice matters. Answer as in play; then every option of the\n"
        "position is listed with your choice marked, and the answer is stored in\n"
        "the history.",
        [o](Console& c) { return Drill(*o, c); });
    AddLocationOption(cmd, o->location);
    AddNumberOption(cmd, "--count", o->count, 1, 1000, "N", "Ask N positions (default 5).");
    o->historyOption = AddTextOption(cmd, "--history", o->history, "FILE",
                                     "The history file of your games and drill answers (default: "
                                     "QuintorTrainerHistory.sqlite beside the program, else in "
                                     "~/.local/share/QuintorTrainer).");
    o->seedOption = AddNumberOption(cmd, "--seed", o->seed, 0, 4294967295LL, "N",
                                    "Start the dice of the optimal games from N (default: from "
                                    "the clock).");
}

}  // namespace quintor::cli
