// Memoised factorial, power and binomial coefficients over the small naturals 0..15.
#pragma once

namespace quintor {

constexpr int MaxSmallNat = 15;

// Arguments outside 0..MaxSmallNat raise RangeError; a result beyond the 32-bit signed range
// raises OverflowError (so factorial works up to 12).
int factorial(int n);
int power(int b, int e);
int choose(int n, int k);

void InitMathStuff();   // resets the memo tables

}  // namespace quintor
