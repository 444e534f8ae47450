#pragma once
// trunc(x) as an int, for values that come from parameters and hosts: nothing clamps those, and
// converting a double outside the range of int (or a NaN) is undefined. Out-of-range values
// saturate and NaN gives 0.

#include <climits>

// [any]
constexpr int SaturatingTrunc(double x)
{
    if (!(x == x)) return 0;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(x);
}
