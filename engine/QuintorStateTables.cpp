#include "engine/QuintorStateTables.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <ostream>

#include <fcntl.h>
#include <unistd.h>

#include "core/GeneralStuff.h"

namespace quintor {

static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559,
              "the table files hold IEEE-754 binary64 numbers");

namespace {

// The files are little-endian; on a big-endian machine every entry is turned around.
void SwapToFileOrder(GameStateTable& t) {
    if constexpr (std::endian::native == std::endian::big) {
        for (double& v : t) {
            std::uint64_t w = std::bit_cast<std::uint64_t>(v), r = 0;
            for (int b = 0; b < 8; ++b) r = (r << 8) | ((w >> (8 * b)) & 0xFF);
            v = std::bit_cast<double>(r);
        }
    } else {
        (void)t;
    }
}

[[noreturn]] void LoadFailure(const std::string& fileName, const std::string& what) {
    throw IOError("Cannot load table file \"" + fileName + "\": " + what);
}

constexpr int Strides[] = {393216, 196608, 98304, 49152, 24576, 12288,
                           6144,   3072,   1536,  768,   384};

}  // namespace

int GameStateIndex(const GameState& g) {
    if (g.free > FullCategorySet)
        throw RangeError("GameStateIndex: free set " + std::to_string(g.free) +
                         " is outside 0..8191");
    if (g.need > MaxBonusThreshold)
        throw RangeError("GameStateIndex: need " + std::to_string(g.need) +
                         " is outside 0..63");
    const bool quintorFree = InSet(g.free, QuintorCat);
    if (quintorFree && g.chip)
        throw RangeError("GameStateIndex: the chip is held while the Quintor box is free");
    int index = g.need;
    for (int c = 0; c <= LargeStraight; ++c)
        if (InSet(g.free, c)) index += Strides[c];
    index += 128 * (quintorFree ? 2 : (g.chip ? 1 : 0));
    if (InSet(g.free, Chance)) index += 64;
    return index;
}

GameState GameStateOfIndex(int index) {
    CheckRange(index, 0, NGameStates - 1, "game state index");
    GameState g;
    g.need = std::uint16_t(index % 64);
    if ((index / 64) % 2 == 1) g.free = WithCategory(g.free, Chance);
    const int q = (index / 128) % 3;
    if (q == 2) g.free = WithCategory(g.free, QuintorCat);
    g.chip = q == 1;
    int rest = index / 384;
    for (int c = LargeStraight; c >= 0; --c) {
        if (rest % 2 == 1) g.free = WithCategory(g.free, c);
        rest /= 2;
    }
    return g;
}

void InitGameStateTable(GameStateTable& table) { table.assign(NGameStates, -1.0); }

int CountKnownEntries(const GameStateTable& table) {
    return int(std::count_if(table.begin(), table.end(), [](double v) { return IsKnown(v); }));
}

void SaveGameStateTable(const std::string& fileName, const GameStateTable& table) {
    LogFile() << "Saving GameStateTable to file named \"" << fileName << "\"\n";
    FlushLog();
    Check(table.size() == std::size_t(NGameStates), "SaveGameStateTable",
          "length(table) = NGameStates");
    if constexpr (std::endian::native == std::endian::little) {
        WriteFileAtomically(fileName, table.data(), GameStateTableBytes);
    } else {
        GameStateTable copy = table;
        SwapToFileOrder(copy);
        WriteFileAtomically(fileName, copy.data(), GameStateTableBytes);
    }
}

void CheckTableLocation(const std::string& location) {
    const auto refuse = [&location](const std::string& why) {
        throw IOError("Cannot create a table in \"" + location + "\": " + why);
    };
    if (location.empty()) refuse("no location is set");
    if (FileExists(location)) refuse("it is a file, not a directory");
    if (!DirectoryExists(location)) refuse("no such directory");
    const std::string probe = location + "/.quintor-probe-" + std::to_string(::getpid());
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) refuse(std::strerror(errno));
    int err = ::write(fd, "?", 1) == 1 ? 0 : errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    ::unlink(probe.c_str());
    if (err != 0) refuse(std::strerror(err));
}

std::string DefaultTableLocation(const std::string& exeDir) {
    const std::string beside = exeDir + "/../gstbl";
    if (DirectoryExists(beside)) return beside;
    if (KeepsFilesBeside(exeDir)) return exeDir;
    try {
        const std::string own = UserFolder("data") + "/gstbl";
        std::error_code ec;
        std::filesystem::create_directory(own, ec);
        return own;
    } catch (const IOError&) {
        return exeDir;   // no home folder to keep them in: the messages name the program's folder
    }
}

void LoadGameStateTable(const std::string& fileName, GameStateTable& table) {
    LogFile() << "Loading GameStateTable from file named \"" << fileName << "\"\n";
    FlushLog();
    if (!FileExists(fileName)) LoadFailure(fileName, "no such file");
    std::ifstream in(fileName, std::ios::binary);
    if (!in) LoadFailure(fileName, std::strerror(errno));
    // Read into a copy, so that a bad file leaves the table as it was.
    GameStateTable loaded(NGameStates);
    in.read(reinterpret_cast<char*>(loaded.data()), std::streamsize(GameStateTableBytes));
    const std::size_t got = std::size_t(in.gcount());
    if (got < GameStateTableBytes) {
        if (in.bad()) LoadFailure(fileName, std::strerror(errno));
        LoadFailure(fileName, "the file ends after " + std::to_string(got) +
                                  " bytes; a table has " + std::to_string(GameStateTableBytes));
    }
    SwapToFileOrder(loaded);
    for (int i = 0; i < NGameStates; ++i) {
        if (!std::isfinite(loaded[i]))
            LoadFailure(fileName, "entry " + std::to_string(i) + " is " +
                                      (std::isnan(loaded[i]) ? "not a number" : "infinite"));
    }
    if (table.size() == loaded.size()) std::copy(loaded.begin(), loaded.end(), table.begin());
    else table.swap(loaded);
}

}  // namespace quintor
