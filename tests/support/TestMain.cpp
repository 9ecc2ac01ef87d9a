// Every test program starts the modules exactly as the programs do, once, and stops them at exit.
#include <gtest/gtest.h>

#include "play/QuintorStartup.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    quintor::StartModules();
    int rc = RUN_ALL_TESTS();
    quintor::StopModules();
    return rc;
}
