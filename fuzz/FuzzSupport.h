// What every fuzz target shares: the modules started once, a scratch folder of its own, and a
// check that stops the run with a message when a property of the code under test does not hold.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quintor::fuzz {

// Starts the modules (run log beside the fuzz program) once per process.
void StartOnce();

// A fresh folder below the system's temporary folder, removed at exit.
const std::string& ScratchFolder();

[[noreturn]] inline void Broken(const char* what, const std::string& detail) {
    std::fprintf(stderr, "property broken: %s\n%s\n", what, detail.c_str());
    std::abort();
}
inline void Expect(bool ok, const char* what, const std::string& detail = "") {
    if (!ok) Broken(what, detail);
}

}  // namespace quintor::fuzz
