// Reading an arbitrary settings file with the trainer's settings module: reading never fails,
// the table location is never empty, and writing a new location either keeps the version that
// was read before and reads back as written, or fails with an IOError and leaves the file's
// bytes as they were.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include <QCoreApplication>

#include "FuzzSupport.h"
#include "app/settings.h"
#include "core/GeneralStuff.h"

using namespace quintor;
using quintor::fuzz::Broken;
using quintor::fuzz::Expect;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    quintor::fuzz::StartOnce();
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A folder of its own for every input: the settings service caches what it parsed per file
    // name and tells a changed file by its size and time, which two inputs in a row can share.
    static int serial = 0;
    const std::string dir = quintor::fuzz::ScratchFolder() + "/" + std::to_string(++serial);
    std::filesystem::create_directory(dir);
    SetExePath(dir);
    struct Cleanup {
        std::string dir;
        ~Cleanup() {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    } cleanup{dir};
    const std::string file = dir + "/" + SettingsFileName;
    Expect(SettingsFilePath() == file, "the settings file lies beside the program", SettingsFilePath());
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << input;
    }

    try {
        const std::string version = ReadIniVersion();
        Expect(!ReadTablesLocation().empty(), "a table location is always known", input);

        const std::string chosen = "/chosen/tables, of mine";
        const std::string before = Slurp(file);
        try {
            WriteTablesLocation(chosen);
        } catch (const IOError&) {
            Expect(Slurp(file) == before, "a failed write leaves the file as it was", input);
            return 0;
        }
        Expect(ReadTablesLocation() == chosen, "the written location reads back", input);
        Expect(ReadIniVersion() == version, "writing the location keeps the version",
               input + "\n--- after:\n" + Slurp(file));
    } catch (const std::exception& e) {
        Broken("the settings module throws", input + "\n" + e.what());
    }
    return 0;
}
