// Loading a table file from arbitrary bytes. Small inputs are the whole file; larger ones are
// turned into a file of full length or more (a good table image with the input's bytes patched
// in, then cut or extended), which reaches the entry checks. A file that loads gives exactly its
// bytes; a file that does not gives an IOError and leaves the table in memory untouched.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"

using namespace quintor;
using quintor::fuzz::Broken;
using quintor::fuzz::Expect;

namespace {

// The table in memory before each load: values no file is likely to hold.
const GameStateTable& Sentinel() {
    static const GameStateTable t = [] {
        GameStateTable s(NGameStates);
        for (int i = 0; i < NGameStates; ++i) s[static_cast<std::size_t>(i)] = 1000.0 + i * 0.25;
        return s;
    }();
    return t;
}

std::uint32_t Word(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// A full image of known values, as a finished table holds.
const std::vector<char>& GoodImage() {
    static const std::vector<char> image = [] {
        std::vector<char> bytes(GameStateTableBytes);
        for (int i = 0; i < NGameStates; ++i) {
            const double v = (i % 7) * 11.5;
            std::memcpy(&bytes[std::size_t(i) * 8], &v, 8);
        }
        return bytes;
    }();
    return image;
}

// The file's bytes from the input.
void FileBytes(const std::uint8_t* data, std::size_t size, std::vector<char>& bytes) {
    if (size < 8 || data[0] % 2 == 0) {
        bytes.assign(data, data + size);
        return;
    }
    // The good image, its length moved by the second word within a few entries either way, then
    // patches: (offset word, 8 bytes) each.
    bytes = GoodImage();
    const long shift = long(Word(data + 4) % 64) - 40;
    bytes.resize(std::size_t(long(GameStateTableBytes) + shift), '\x7f');
    for (std::size_t p = 8; p + 12 <= size; p += 12) {
        const std::size_t at = Word(data + p) % bytes.size();
        const std::size_t n = std::min<std::size_t>(8, bytes.size() - at);
        std::memcpy(&bytes[at], data + p + 4, n);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quintor::fuzz::StartOnce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::vector<char> bytes;
    FileBytes(data, size, bytes);
    const std::string file = quintor::fuzz::ScratchFolder() + "/fuzzed.gstbl";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        Expect(bool(out), "scratch file written");
    }

    static GameStateTable table;
    table = Sentinel();
    bool loaded = false;
    try {
        LoadGameStateTable(file, table);
        loaded = true;
    } catch (const IOError& e) {
        Expect(std::string(e.what()).find(file) != std::string::npos, "the message names the file",
               e.what());
    } catch (const std::exception& e) {
        Broken("loading throws something else than IOError", e.what());
    }

    Expect(table.size() == std::size_t(NGameStates), "the table keeps its size");
    if (!loaded) {
        Expect(table == Sentinel(), "a failed load leaves the table as it was");
        return 0;
    }
    Expect(bytes.size() >= GameStateTableBytes, "only a file of full length loads",
           std::to_string(bytes.size()));
    Expect(std::memcmp(table.data(), bytes.data(), GameStateTableBytes) == 0,
           "the table holds the file's bytes");
    Expect(std::all_of(table.begin(), table.end(), [](double v) { return std::isfinite(v); }),
           "every loaded entry is a number");

    // A cache created from the same file counts its known entries.
    static CacheState* cache = nullptr;
    CreateCache(cache, "Fuzzed", GrandTotal, file);
    Expect(cache->KnownEntries == CountKnownEntries(table), "known entries counted on load");
    return 0;
}
