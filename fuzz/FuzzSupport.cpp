#include "FuzzSupport.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "play/QuintorStartup.h"

namespace quintor::fuzz {

namespace {
// Removed when the process ends, after the last input has used it.
struct Scratch {
    std::string path;
    Scratch() {
        const std::filesystem::path p = std::filesystem::temp_directory_path() /
                                        ("quintor-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        path = p.string();
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};
}  // namespace

void StartOnce() {
    static const bool started = [] {
        StartModules();
        return true;
    }();
    (void)started;
}

const std::string& ScratchFolder() {
    static const Scratch dir;
    return dir.path;
}

}  // namespace quintor::fuzz
