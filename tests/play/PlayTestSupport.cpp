#include "PlayTestSupport.h"

#include <filesystem>
#include <unistd.h>

#include "engine/QuintorStrategies.h"

namespace quintor {

void UseCompleteOptimalTable() {
    static const bool done = [] {
        namespace fs = std::filesystem;
        const fs::path dir =
            fs::temp_directory_path() / ("quintor-play-tests-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        CreateOptimalTable(dir.string(), 2);
        fs::remove_all(dir);
        return true;
    }();
    (void)done;
}

}  // namespace quintor
