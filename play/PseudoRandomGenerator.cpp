#include "play/PseudoRandomGenerator.h"

#include <chrono>

#include "core/GeneralStuff.h"

namespace quintor {

namespace {
constexpr int N = 624;
constexpr int M = 397;
constexpr std::uint32_t MatrixA = 0x9908B0DFu;
constexpr std::uint32_t UpperMask = 0x80000000u;
constexpr std::uint32_t LowerMask = 0x7FFFFFFFu;

std::uint32_t mt[N];
int mti = N + 1;   // never seeded

std::uint32_t Twist(std::uint32_t a, std::uint32_t b, std::uint32_t far) {
    std::uint32_t y = (a & UpperMask) | (b & LowerMask);
    return far ^ (y >> 1) ^ ((y & 1u) ? MatrixA : 0u);
}
}  // namespace

void SeedGenerator(std::uint32_t seed) {
    for (int i = 0; i < N; ++i) {
        mt[i] = seed & 0xFFFF0000u;
        seed = 69069u * seed + 1u;
        mt[i] |= (seed & 0xFFFF0000u) >> 16;
        seed = 69069u * seed + 1u;
    }
    mti = N;
}

std::uint32_t NextRandom() {
    if (mti >= N) {
        if (mti == N + 1) SeedGenerator(4357u);
        int k = 0;
        for (; k < N - M; ++k) mt[k] = Twist(mt[k], mt[k + 1], mt[k + M]);
        for (; k < N - 1; ++k) mt[k] = Twist(mt[k], mt[k + 1], mt[k + (M - N)]);
        mt[N - 1] = Twist(mt[N - 1], mt[0], mt[M - 1]);
        mti = 0;
    }
    std::uint32_t y = mt[mti++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

std::uint32_t ClockSeed() {
    using namespace std::chrono;
    auto now = system_clock::now();
    auto sinceMidnight = now - floor<days>(now);
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(sinceMidnight).count());
}

void RandomizeGenerator() { SeedGenerator(ClockSeed()); }

int RandomBelow(int n) {
    CheckRange(n, 1, 0x7FFFFFFF, "RandomBelow: n");
    const std::uint32_t d = 0xFFFFFFFFu / static_cast<std::uint32_t>(n);
    std::uint32_t r;
    do r = NextRandom() / d; while (r >= static_cast<std::uint32_t>(n));
    return static_cast<int>(r);
}

int RandomDie() { return RandomBelow(6) + 1; }

}  // namespace quintor
