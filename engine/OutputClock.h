// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <cmath>

namespace brisquell
{

//==============================================================================
/** What the model knows of the host's sample clock, and how often its output may tick: the
    sample time the running block (or the last one) started at, the host's sample rate, and the
    refresh rate in ticks per second.

    Any thread reads them without a lock. The block's thread keeps the time; the rate changes
    under the model's lock, which rescales a running glide with it (see Brisquell::setSampleClock).
*/
class OutputClock final
{
public:
    static constexpr int minRefreshRate = 1, maxRefreshRate = 5000, defaultRefreshRate = 200;

    double getTime() const noexcept { return time.load(); }
    void setTime (double sampleTime) noexcept { time.store (sampleTime); }

    double getSampleRate() const noexcept { return sampleRate.load(); }
    void setSampleRate (double newSampleRate) noexcept { sampleRate.store (newSampleRate); }

    /** A length in seconds as a whole number of samples at the clock's rate. */
    double samplesIn (double seconds) const noexcept { return std::round (seconds * sampleRate.load()); }

    /** The ticks per second, kept within minRefreshRate..maxRefreshRate. */
    int getRefreshRate() const noexcept { return refreshRate.load(); }
    void setRefreshRate (int ticksPerSecond) noexcept { refreshRate.store (juce::jlimit (minRefreshRate, maxRefreshRate, ticksPerSecond)); }

    /** The samples between two output ticks at the sample rate given (at least one). */
    int getSamplesPerRefresh (int rate) const noexcept { return juce::jmax (1, rate / juce::jmax (1, refreshRate.load())); }

private:
    std::atomic<double> time{ 0.0 }, sampleRate{ 44100.0 };
    std::atomic<int> refreshRate{ defaultRefreshRate };
};

} // namespace brisquell
