// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/CursorPerformance.h"
#include "engine/Brisquell.h"

namespace brisquell
{

void CursorPerformance::perform (juce::Point<float> newTarget, int axes) noexcept
{
    target[0].store (newTarget.x);
    target[1].store (newTarget.y);
    movedAxes.fetch_or (axes & 3);
    numMoves.fetch_add (1);
}

void CursorPerformance::beginDrag() noexcept { numDragBegins.fetch_add (1); }

void CursorPerformance::endDrag() noexcept { numDragEnds.fetch_add (1); }

std::array<CursorPerformance::AxisReport, 2> CursorPerformance::take (double now)
{
    std::array<AxisReport, 2> reports;

    // A release is taken before a press that came after it, so that a drag that began and
    // ended between two calls still opens and closes.
    const auto ends = numDragEnds.load(), begins = numDragBegins.load(), moves = numMoves.load();
    const auto pressed = begins != dragBeginsTaken, released = ends != dragEndsTaken;
    const auto moved = moves != movesTaken;
    dragBeginsTaken = begins;
    dragEndsTaken = ends;
    movesTaken = moves;

    if (pressed)
        dragging = true;

    if (moved)
    {
        lastMoveTime = now;
        const auto axes = movedAxes.exchange (0);

        for (size_t axis = 0; axis < 2; ++axis)
        {
            const auto value = target[axis].load();

            if ((axes & (1 << axis)) == 0 || reported[axis] == value)
                continue;

            reports[axis].begin = ! open[axis];
            reports[axis].value = value;
            reported[axis] = value;
            open[axis] = true;
        }
    }

    if (released)
        dragging = false;

    const auto closes = ! dragging && (released || now - lastMoveTime >= quietSeconds);

    for (size_t axis = 0; axis < 2; ++axis)
    {
        if (open[axis] && closes)
        {
            reports[axis].end = true;
            open[axis] = false;
        }
    }

    return reports;
}

//==============================================================================
void Brisquell::cursorPerformed (int axes)
{
    if (! isReportingCursorMoves())
        return;

    const auto t = getCursorTarget();
    const auto range = getCursorRange();
    cursorPerformance.perform ({ t.x / (float) range.x, t.y / (float) range.y }, axes);
}

void Brisquell::cursorDragBegan()
{
    if (isReportingCursorMoves())
        cursorPerformance.beginDrag();
}

void Brisquell::cursorDragEnded()
{
    if (isReportingCursorMoves())
        cursorPerformance.endDrag();
}

} // namespace brisquell
