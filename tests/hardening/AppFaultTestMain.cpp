// The file-fault tests of the window program run inside its own application object, so an
// error thrown by a click is handled exactly as in the program.
#include <gtest/gtest.h>

#include "app/TrainerApplication.h"
#include "play/QuintorStartup.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    quintor::StartModules();
    int rc = 0;
    {
        TrainerApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    quintor::StopModules();
    return rc;
}
