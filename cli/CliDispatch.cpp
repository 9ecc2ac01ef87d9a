// The command line's first words pick the command; every error ends here as a message on err and
// an exit code, so a command never leaves the program through an exception.
#include <istream>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"

namespace quintor::cli {

std::string UsageText() {
    return "Usage: quintor COMMAND [OPTIONS]\n"
           "\n"
           "Commands:\n"
           "  rules\n"
           "      Print the configuration and the official rules, as the run log holds them.\n"
           "  tables create [--location DIR] [--expected | --variance] [--threads N]\n"
           "      Create the Optimal Expected Score table, then the Variance-in-Score table\n"
           "      (only the one named, if one is). The variance needs the expected-score table.\n"
           "      With the expected-score table comes the final score distribution of optimal\n"
           "      play, kept beside it in OptEScore-Official-D.dist.\n"
           "  tables info [--location DIR]\n"
           "      Show for each table whether its file is there, its known entries and its value.\n"
           "  evaluate [--location DIR] --strategy optimal|simple|minscore\n"
           "      Expected final score of a strategy from the start of a game, with its standard\n"
           "      deviation where known; for minscore the score it guarantees.\n"
           "  advise [--location DIR] STATE\n"
           "      List every option of an abstract state with its expected final score, best\n"
           "      first. Example: quintor advise '123456TFHSLQC;63-   0  56666;0'\n"
           "  distribution [--location DIR] [--csv]\n"
           "      The final score distribution of optimal play: mean, standard deviation,\n"
           "      percentiles, chances of some scores and a histogram; --csv gives every score's\n"
           "      probability as score,probability lines instead.\n"
           "  play [--location DIR] [--dice SOURCE] [--seed N] [--save FILE]\n"
           "      Play a game in the terminal; at its end (or at the end of the input, which\n"
           "      aborts it) the analysis of your choices is shown, and saved to FILE if given,\n"
           "      then the split of the result into luck and skill.\n"
           "      SOURCE: fair (default), perlist, perbag, demon, angel, special, stuckat, user\n"
           "      (user: you type the dice too). --seed N replays the same dice.\n"
           "\n"
           "Options:\n"
           "  --help       Show this text.\n"
           "  --version    Show the program's version.\n"
           "\n"
           "Without --location the tables are looked for in a folder \"gstbl\" beside the\n"
           "program's folder, or else in the program's folder.\n"
           "\n"
           "Exit status: 0 success, 1 missing table or file error, 2 bad arguments or an error\n"
           "in the state text, 3 internal check failed.\n";
}

static bool WantsHelp(const std::vector<std::string>& args) {
    for (const auto& a : args) {
        if (a == "--") return false;
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

static int Dispatch(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                    std::ostream& err) {
    if (args.empty()) throw UsageError("no command given");
    const std::string& cmd = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (cmd == "--help" || cmd == "-h" || cmd == "help" || WantsHelp(rest)) {
        if (cmd != "--help" && cmd != "-h" && cmd != "help" && cmd != "rules" && cmd != "tables" &&
            cmd != "evaluate" && cmd != "advise" && cmd != "play" && cmd != "distribution")
            throw UsageError("unknown command '" + cmd + "'");
        out << UsageText();
        return ExitOk;
    }
    if (cmd == "--version" || cmd == "-V") {
        if (!rest.empty()) throw UsageError("--version takes no arguments");
        out << VersionText << '\n';
        return ExitOk;
    }
    if (cmd == "rules") return RulesCommand(rest, out);
    if (cmd == "tables") {
        if (rest.empty()) throw UsageError("tables: say create or info");
        const std::vector<std::string> sub(rest.begin() + 1, rest.end());
        if (rest[0] == "create") return TablesCreateCommand(sub, out, err);
        if (rest[0] == "info") return TablesInfoCommand(sub, out, err);
        throw UsageError("tables: unknown subcommand '" + rest[0] + "' (create or info)");
    }
    if (cmd == "evaluate") return EvaluateCommand(rest, out, err);
    if (cmd == "advise") return AdviseCommand(rest, out, err);
    if (cmd == "play") return PlayCommand(rest, in, out, err);
    if (cmd == "distribution") return DistributionCommand(rest, out, err);
    if (!cmd.empty() && cmd[0] == '-') throw UsageError("unknown option '" + cmd + "'");
    throw UsageError("unknown command '" + cmd + "'");
}

int RunQuintor(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err) {
    int rc = ExitFailure;
    try {
        rc = Dispatch(args, in, out, err);
    } catch (const UsageError& e) {
        out.flush();
        err << "quintor: " << e.what() << "\nTry 'quintor --help' for more information.\n";
        rc = ExitUsage;
    } catch (const CommandError& e) {
        out.flush();
        err << "quintor: " << e.what() << '\n';
        rc = ExitFailure;
    } catch (const CheckFailure& e) {
        out.flush();
        err << e.what() << '\n';
        rc = ExitCheck;
    } catch (const QuintorError& e) {   // range, overflow and file errors
        out.flush();
        err << "quintor: " << e.what() << '\n';
        rc = ExitFailure;
    } catch (const std::bad_alloc&) {
        out.flush();
        err << "quintor: out of memory\n";
        rc = ExitFailure;
    } catch (const std::exception& e) {
        out.flush();
        err << "quintor: " << e.what() << '\n';
        rc = ExitFailure;
    }
    out.flush();
    err.flush();
    return rc;
}

}  // namespace quintor::cli
