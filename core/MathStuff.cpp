#include "core/MathStuff.h"

#include <array>
#include <cstdint>
#include <string>

#include "core/GeneralStuff.h"

namespace quintor {

namespace {

constexpr int N = MaxSmallNat + 1;
constexpr std::int32_t Unknown = -1;

// Memo tables; a cell holds -1 until its value is computed. Constant-initialised, so the
// functions are usable even before InitMathStuff.
struct Memo {
    std::array<std::int32_t, N> fact;
    std::array<std::array<std::int32_t, N>, N> pow;
    std::array<std::array<std::int32_t, N>, N> binom;
};

constexpr Memo EmptyMemo() {
    Memo m{};
    for (auto& c : m.fact) c = Unknown;
    for (auto& row : m.pow)
        for (auto& c : row) c = Unknown;
    for (auto& row : m.binom)
        for (auto& c : row) c = Unknown;
    return m;
}

Memo memo = EmptyMemo();

std::size_t Arg(int v, const char* what) {
    return std::size_t(CheckRange(v, 0, MaxSmallNat, what));
}

std::int32_t Checked(long long v, const char* what) {
    if (v > 2147483647LL) throw OverflowError(std::string(what) + " exceeds the 32-bit range");
    return std::int32_t(v);
}

}  // namespace

int factorial(int n) {
    const std::size_t i = Arg(n, "factorial argument");
    std::int32_t& cell = memo.fact[i];
    if (cell == Unknown)
        cell = n == 0 ? 1 : Checked(static_cast<long long>(factorial(n - 1)) * n,
                                    ("factorial(" + std::to_string(n) + ")").c_str());
    return cell;
}

int power(int b, int e) {
    const std::size_t bi = Arg(b, "power base");
    const std::size_t ei = Arg(e, "power exponent");
    std::int32_t& cell = memo.pow[bi][ei];
    if (cell == Unknown) {
        if (e == 0) {
            cell = 1;
        } else {
            const std::string what = "power(" + std::to_string(b) + ", " + std::to_string(e) + ")";
            const long long p = power(b, e / 2);
            // Checked before the last factor, so p*p*b never leaves 64 bits.
            const long long pp = Checked(p * p, what.c_str());
            cell = e % 2 == 1 ? Checked(pp * b, what.c_str()) : std::int32_t(pp);
        }
    }
    return cell;
}

int choose(int n, int k) {
    const std::size_t ni = Arg(n, "choose n");
    const std::size_t ki = Arg(k, "choose k");
    std::int32_t& cell = memo.binom[ni][ki];
    if (cell == Unknown) {
        if (k > n)
            cell = 0;
        else if (k == 0 || k == n)
            cell = 1;
        else
            cell = Checked(static_cast<long long>(choose(n - 1, k - 1)) + choose(n - 1, k), "choose");
    }
    return cell;
}

void InitMathStuff() { memo = EmptyMemo(); }

}  // namespace quintor
