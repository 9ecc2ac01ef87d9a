// Starts the layers this program needs, in the programs' order, once for all tests.
#include <gtest/gtest.h>

#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"

namespace {

class ConceptsStartup : public ::testing::Environment {
public:
    void SetUp() override {
        quintor::InitGeneralStuff();
        quintor::InitMathStuff();
        quintor::InitDiceStuff();
        quintor::InitQuintorConcepts();
    }
    void TearDown() override { quintor::DoneGeneralStuff(); }
};

[[maybe_unused]] ::testing::Environment* const startup =
    ::testing::AddGlobalTestEnvironment(new ConceptsStartup);

}  // namespace
