#include <gtest/gtest.h>

#include "core/GeneralStuff.h"
#include "core/MathStuff.h"

namespace quintor {
namespace {

TEST(MathStuff, FactorialUpToTwelveThenOverflow) {
    InitMathStuff();
    EXPECT_EQ(factorial(0), 1);
    EXPECT_EQ(factorial(1), 1);
    EXPECT_EQ(factorial(5), 120);
    EXPECT_EQ(factorial(12), 479001600);
    EXPECT_THROW(factorial(13), OverflowError);
    EXPECT_THROW(factorial(15), OverflowError);
    // The failed ones left no bad memo behind.
    EXPECT_EQ(factorial(12), 479001600);
    EXPECT_THROW(factorial(-1), RangeError);
    EXPECT_THROW(factorial(16), RangeError);
}

TEST(MathStuff, PowerIncludingOverflowAtTheLastFactor) {
    InitMathStuff();
    EXPECT_EQ(power(0, 0), 1);
    EXPECT_EQ(power(0, 3), 0);
    EXPECT_EQ(power(6, 5), 7776);
    EXPECT_EQ(power(2, 15), 32768);
    EXPECT_EQ(power(15, 7), 170859375);
    EXPECT_EQ(power(7, 11), 1977326743);   // just below the 32-bit limit
    // 15^15: p = 15^7 fits, p*p overflows, and p*p*15 would overflow even 64 bits
    // if it were not checked first.
    EXPECT_THROW(power(15, 15), OverflowError);
    EXPECT_THROW(power(15, 8), OverflowError);
    EXPECT_THROW(power(2, 16), RangeError);
    EXPECT_THROW(power(-2, 2), RangeError);
    for (int b = 0; b <= 6; ++b) {
        long long expect = 1;
        for (int e = 0; e <= 11; ++e) {
            EXPECT_EQ(power(b, e), expect) << b << "^" << e;
            expect *= b;
        }
    }
}

TEST(MathStuff, ChooseMatchesPascalAndBounds) {
    InitMathStuff();
    EXPECT_EQ(choose(5, 7), 0);
    EXPECT_EQ(choose(0, 0), 1);
    EXPECT_EQ(choose(10, 5), 252);
    EXPECT_EQ(choose(15, 7), 6435);
    for (int n = 0; n <= MaxSmallNat; ++n) {
        long long sum = 0;
        for (int k = 0; k <= n; ++k) {
            sum += choose(n, k);
            EXPECT_EQ(choose(n, k), choose(n, n - k));
        }
        EXPECT_EQ(sum, 1LL << n) << "row " << n;
    }
    EXPECT_THROW(choose(16, 1), RangeError);
    EXPECT_THROW(choose(3, -1), RangeError);
}

}  // namespace
}  // namespace quintor
