#include "play/QuintorStartup.h"

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
    DoneGeneralStuff();
}

}  // namespace quintor
