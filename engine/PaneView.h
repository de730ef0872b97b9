// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <optional>

namespace brisquell
{

//==============================================================================
/** The morph pane's remembered view, as the model keeps it between editors and the state
    document carries it in "morphpanestate": the canvas origin's pixel position ("xoff",
    "yoff") and the zoom factors ("xzoom", "yzoom"). Each part may be missing, as in a document
    that lacks the attribute, and is then written without it.

    This is all of the element that the pane reads: nothing else of a restored element is kept,
    so whatever a document held there never reaches a later save.
*/
struct PaneView final
{
    std::optional<int> xOffset, yOffset;
    std::optional<float> xZoom, yZoom;

    bool operator== (const PaneView& other) const noexcept
    {
        return xOffset == other.xOffset && yOffset == other.yOffset && xZoom == other.xZoom && yZoom == other.yZoom;
    }

    bool operator!= (const PaneView& other) const noexcept { return ! operator== (other); }
};

/** True when a saved zoom can be used as a factor: a positive, finite single-precision number
    (a huge double becomes infinity and a tiny one zero once stored as a float).
*/
inline bool isUsableZoom (double saved) noexcept
{
    const auto factor = (float) saved;
    return std::isfinite (factor) && factor > 0.0f;
}

} // namespace brisquell
