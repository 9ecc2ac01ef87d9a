#include "CliTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Cli.h"

namespace quintor::cli::test {

namespace fs = std::filesystem;

RunResult RunCli(const std::vector<std::string>& args, const std::string& input) {
    std::istringstream in(input);
    std::ostringstream out, err;
    RunResult r;
    r.rc = RunQuintor(args, in, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

std::string BinaryPath() { return QUINTOR_BINARY; }

static std::string ShellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

RunResult RunBinary(const std::vector<std::string>& args, const std::string& input,
                    const std::string& program) {
    TempDir io;
    { std::ofstream(io.file("in"), std::ios::binary) << input; }
    std::string cmd = ShellQuoted(program.empty() ? BinaryPath() : program);
    for (const auto& a : args) cmd.append(" ").append(ShellQuoted(a));
    cmd.append(" <").append(ShellQuoted(io.file("in")));
    cmd.append(" >").append(ShellQuoted(io.file("out")));
    cmd.append(" 2>").append(ShellQuoted(io.file("err")));
    RunResult r;
    const int status = std::system(cmd.c_str());
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(io.file("out"));
    r.err = ReadFile(io.file("err"));
    return r;
}

TempDir::TempDir() {
    static int counter = 0;
    const fs::path p =
        fs::temp_directory_path() /
        ("quintor-cli-tests-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    fs::remove_all(p);
    fs::create_directories(p);
    path_ = p.string();
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

const SharedTables& Tables() {
    static TempDir dir;
    static const SharedTables tables = [] {
        SharedTables t;
        t.location = dir.path();
        t.expected =
            RunCli({"tables", "create", "--expected", "--location", t.location, "--threads", "2"});
        t.variance =
            RunCli({"tables", "create", "--variance", "--location", t.location, "--threads", "2"});
        return t;
    }();
    return tables;
}

std::string ScriptedGame() {
    return "3 1 4 1 6\n"   // turn 1: five dice typed
           "k 1 1\n"
           "7 1 2\n"   // no die 7: asked again
           "1 2\n"     // two values for three dice: asked again
           "1 2 5\n"
           "k 1 1 1\n"
           "1 1\n"
           "k 1 1\n"   // no roll left to keep for: asked again
           "s 1\n"     // Aces 5
           "2 2 2 3 4\n"
           "s 1\n"   // Aces is used: asked again
           "s 2\n"   // Twos 6
           "3 3 3 4 5\ns 3\n"
           "4 4 4 1 2\ns 4\n"
           "5 5 5 3 6\ns 5\n"
           "6 6 6 1 2\ns 6\n"   // upper section 65: bonus 35
           "3 3 3 4 2\ns t\n"   // Three of a Kind 15
           "5 5 5 5 2\ns F\n"   // Four of a Kind 22
           "2 2 3 3 3\ns H\n"   // Full House 25
           "1 2 3 4 6\n"
           "k 6 6\n"             // only one six was rolled: asked again
           "s S\n"               // Small Straight 30
           "2 3 4 5 6\ns L\n"    // Large Straight 40
           "4 4 4 4 4\ns Q\n"    // Quintor 50
           "6 6 6 5 5\ns C\n";   // Chance 28
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace quintor::cli::test
