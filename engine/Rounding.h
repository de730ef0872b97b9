// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <limits>

namespace brisquell
{

/** Rounds to the nearest integer with halves going to the even neighbour (63.5 gives 64, 64.5
    gives 64), as every conversion to a whole number in the plug-in does. NaN gives 0, and values
    beyond the int range saturate, so the conversion is always defined.
*/
template <typename FloatType>
int roundHalfEven (FloatType value) noexcept
{
    const auto rounded = std::nearbyint ((double) value);

    if (! (rounded == rounded))
        return 0;

    if (rounded >= (double) std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();

    if (rounded <= (double) std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();

    return (int) rounded;
}

/** Narrows a double to a float: magnitudes beyond the float range become infinity, as the IEEE
    conversion gives, without the undefined behaviour of converting them in C++. NaN stays NaN.
*/
inline float narrowToFloat (double value) noexcept
{
    constexpr auto largest = (double) std::numeric_limits<float>::max();

    if (value > largest)
        return std::numeric_limits<float>::infinity();

    if (value < -largest)
        return -std::numeric_limits<float>::infinity();

    return (float) value;
}

} // namespace brisquell
