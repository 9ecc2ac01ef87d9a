// The window program: start the modules, show the main window, run until it closes.
#include "app/TrainerApplication.h"

int main(int argc, char** argv) {
    return RunTrainer(argc, argv);
}
