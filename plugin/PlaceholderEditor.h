#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace brisquell
{

class BrisquellPlugInInterface;

//==============================================================================
/** A plain white editor of the model's editor size, shown until the real editor takes its
    place.
*/
class PlaceholderEditor final : public juce::AudioProcessorEditor
{
public:
    /** Sizes itself from the model's editor size, unchecked. Message thread. */
    explicit PlaceholderEditor (BrisquellPlugInInterface& owner);
    ~PlaceholderEditor() override;

    //==============================================================================
    void paint (juce::Graphics& g) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PlaceholderEditor)
};

} // namespace brisquell
