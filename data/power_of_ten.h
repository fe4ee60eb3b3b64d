#pragma once

namespace dovrin {

// 10^exponent as the double nearest to it. Powers up to 10^22 are exact in a double, and
// 1 / 10^n is one correctly rounded division, so for |exponent| <= 22 this is exact to the
// last bit, and it is usable in constant tables.
constexpr double powerOfTen(int exponent) {
    double magnitude = 1.0;
    for (int i = 0; i < (exponent < 0 ? -exponent : exponent); ++i)
        magnitude *= 10.0;
    return exponent < 0 ? 1.0 / magnitude : magnitude;
}

} // namespace dovrin
