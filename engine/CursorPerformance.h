// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_graphics/juce_graphics.h>

#include <array>
#include <atomic>
#include <optional>

namespace brisquell
{

//==============================================================================
/** The cursor moves a musician performs (a drag on the pane, a MIDI cursor source, a scene
    trigger), collected for the host as edits of the cursor parameters ("report cursor moves to
    the host"). Any thread posts a move without waiting or allocating (the audio thread does, for
    sources and triggers); the message thread takes what to tell the host, so that the host hears
    of the edits on that thread only.

    A gesture opens with its first move: a drag's at the press, a source's or trigger's at the
    first move it makes. A drag's gesture closes when the button is released; any other closes
    after a quiet spell (quietSeconds without a move). Only a move's target is reported, so a
    glide is reported once, where it goes. Host parameter changes never come here.
*/
class CursorPerformance final
{
public:
    static constexpr double quietSeconds = 0.25;

    /** A move to the target (parameter values, 0..1 over each axis) on the axes of the mask
        (bit 0: x, bit 1: y). Any thread.
    */
    void perform (juce::Point<float> target, int axes) noexcept;

    /** A drag's press and release. Any thread. */
    void beginDrag() noexcept;
    void endDrag() noexcept;

    /** What the host is to hear of one axis now: a gesture's begin, a value, a gesture's end, in
        that order. */
    struct AxisReport
    {
        bool begin = false, end = false;
        std::optional<float> value;
    };

    /** Takes what happened since the last call, at the time (in seconds, any steady clock).
        One thread at a time (the caller makes sure of it).
    */
    std::array<AxisReport, 2> take (double nowSeconds);

private:
    std::array<std::atomic<float>, 2> target{ { { 0.0f }, { 0.0f } } };
    std::atomic<juce::uint32> numMoves{ 0 }, numDragBegins{ 0 }, numDragEnds{ 0 };
    std::atomic<int> movedAxes{ 0 };

    // Message thread only.
    juce::uint32 movesTaken = 0, dragBeginsTaken = 0, dragEndsTaken = 0;
    std::array<std::optional<float>, 2> reported;
    std::array<bool, 2> open{ { false, false } };
    bool dragging = false;
    double lastMoveTime = 0.0;
};

} // namespace brisquell
