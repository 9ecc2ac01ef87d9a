#include "play/QuintorStartup.h"

#include <iostream>

#include "concepts/QuintorConcepts.h"
#include "core/DiceStuff.h"
#include "core/GeneralStuff.h"
#include "core/MathStuff.h"
#include "engine/QuintorStrategies.h"
#include "play/DiceDevils.h"
#include "play/PseudoRandomGenerator.h"

namespace quintor {

void StartModules(const std::string& exePath) {
    InitGeneralStuff(exePath);
    InitMathStuff();
    InitDiceStuff();
    InitQuintorConcepts();
    InitQuintorStrategies();
    RandomizeGenerator();
    InitDiceDevils();
}

void StopModules() {
    // The other modules hold only tables that live until exit; only the run log needs closing.
    // A log that can no longer be written (the disk filled up) is told on the error stream: at
    // the very end an exception would only end the program abnormally.
    try {
        DoneGeneralStuff();
    } catch (const IOError& e) {
        std::cerr << e.what() << '\n';
    }
}

}  // namespace quintor
