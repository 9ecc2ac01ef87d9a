// The console program: starts the modules as the window program does (run log beside the
// program), runs one command, and shuts down so the log gets its last line.
#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"
#include "play/QuintorStartup.h"

int main(int argc, char** argv) {
    using namespace quintor;
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        StartModules();
    } catch (const CheckFailure& e) {
        std::cerr << e.what() << '\n';
        StopModules();
        return cli::ExitCheck;
    } catch (const std::exception& e) {
        std::cerr << "quintor: start-up failed: " << e.what() << '\n';
        StopModules();
        return cli::ExitFailure;
    }
    LogFile() << "Version = " << VersionText << '\n'
              << "ExePath = \"" << DirectoryOf(ExecutablePath()) << "\"\n";
    WriteConfiguration(LogFile());
    WriteQuintorRules(LogFile(), OfficialRules);
    FlushLog();
    const int rc = cli::RunQuintor(args, std::cin, std::cout, std::cerr);
    StopModules();
    return rc;
}
