// Running the console program's commands in-process and as the real binary, temporary folders,
// and the complete tables, created once per test program through the program's own command.
#pragma once

#include <string>
#include <vector>

namespace quintor::cli::test {

struct RunResult {
    int rc = -1;
    std::string out;
    std::string err;
};

// RunQuintor with the given arguments and standard input text.
RunResult RunCli(const std::vector<std::string>& args, const std::string& input = "");
// The built program itself, started through the shell with input on its standard input.
RunResult RunBinary(const std::vector<std::string>& args, const std::string& input = "",
                    const std::string& program = "");
std::string BinaryPath();

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Both tables, made by "tables create --expected" and then "tables create --variance" into a
// folder that lives until the program ends, with what the two runs printed. Each table is thus
// computed once per test program.
struct SharedTables {
    std::string location;
    RunResult expected;
    RunResult variance;
};
const SharedTables& Tables();

// A whole game for "play --dice user": typed dice and choices, some of them refused and asked
// again. It scores 310: the upper section 65 with its bonus of 35, and 210 below.
std::string ScriptedGame();

std::vector<std::string> Lines(const std::string& text);
std::string ReadFile(const std::string& path);
bool Contains(const std::string& text, const std::string& part);

}  // namespace quintor::cli::test
