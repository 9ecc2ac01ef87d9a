// The modules start in dependency order from this one function, used by both programs and by
// every test program, and stop in reverse order.
#pragma once

#include <string>

namespace quintor {

// Run log (beside exePath, or the running program when empty), maths and dice tables, concepts,
// strategies, random generator (seeded from the clock), dice sources.
void StartModules(const std::string& exePath = "");
// Reverse order; the run log gets "Run Stopped" and is closed. Safe to call twice.
void StopModules();

}  // namespace quintor
