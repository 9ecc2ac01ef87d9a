// The command line's words pick the command; every error ends here as a message on err and an
// exit code, so a command never leaves the program through an exception.
#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "core/GeneralStuff.h"

namespace quintor::cli {

namespace {

// Every command, in the order of the general help. A new command is a line here and an
// Add...Command beside its code.
void AddCommands(CommandLine& line) {
    AddRulesCommand(line);
    AddTablesCommands(line);
    AddEvaluateCommand(line);
    AddAdviseCommand(line);
    AddDistributionCommand(line);
    AddPlayCommand(line);
    AddHistoryCommands(line);
    AddDrillCommand(line);
}

}  // namespace

std::string UsageText() {
    CommandLine line;
    AddCommands(line);
    return line.GeneralHelp();
}

int RunQuintor(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err) {
    Console console{in, out, err};
    int rc = ExitFailure;
    try {
        CommandLine line;
        AddCommands(line);
        rc = line.Run(args, console);
    } catch (const UsageError& e) {
        out.flush();
        const std::string help =
            e.command.empty() ? "quintor --help" : "quintor " + e.command + " --help";
        err << "quintor: " << e.what() << "\nTry '" << help << "' for more information.\n";
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
    // Output that never arrived (a full disk, a closed pipe) is a failure like any file error.
    errno = 0;
    out.flush();
    if (!out) {
        const int reason = errno;
        err << "quintor: the output could not be written"
            << (reason != 0 ? std::string(": ") + std::strerror(reason) : std::string()) << '\n';
        if (rc == ExitOk) rc = ExitFailure;
    }
    err.flush();
    return rc;
}

}  // namespace quintor::cli
