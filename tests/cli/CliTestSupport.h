// Running the console program's commands in-process and as the built program, temporary
// folders, and the complete tables, created once per test program through the program itself.
#pragma once

#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "cli/Cli.h"
#include "core/GeneralStuff.h"

namespace quintor::cli::test {
namespace fs = std::filesystem;

struct RunResult { int rc = -1; std::string out, err; };

inline RunResult RunCli(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int rc = RunQuintor(args, in, out, err);
    return {rc, out.str(), err.str()};
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}
inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A fresh folder under the system's temporary folder, removed with everything in it.
inline int TempDirs = 0;
struct TempDir {
    const std::string path =
        (fs::temp_directory_path() / Format("quintor-cli-tests-%d-%d", int(::getpid()), ++TempDirs)).string();
    TempDir() { fs::remove_all(path), fs::create_directories(path); }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

// The built program (or a copy of it) with input on its standard input, through the shell.
inline RunResult RunBinary(const std::vector<std::string>& args, const std::string& input = "",
                           const std::string& program = QUINTOR_BINARY) {
    TempDir io;
    std::ofstream(io.file("in"), std::ios::binary) << input;
    std::string cmd = "'" + program + "'";
    for (const auto& a : args) cmd += " '" + a + "'";   // no test argument holds a quote
    cmd += " <'" + io.file("in") + "' >'" + io.file("out") + "' 2>'" + io.file("err") + "'";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(io.file("out")), ReadFile(io.file("err"))};
}

// Both tables, made by "tables create --expected" and then "--variance" into a folder that lives
// until the program ends, with what the two runs printed: each is computed once per program.
struct SharedTables { std::string location; RunResult expected, variance; };
inline const SharedTables& Tables() {
    static TempDir dir;
    static const SharedTables tables{dir.path, RunCli({"tables", "create", "--expected", "--location", dir.path}),
                                     RunCli({"tables", "create", "--variance", "--location", dir.path, "--threads", "2"})};
    return tables;
}

}  // namespace quintor::cli::test
