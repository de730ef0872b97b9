#include "plugin/PlaceholderEditor.h"
#include "plugin/BrisquellPlugInInterface.h"

namespace brisquell
{

PlaceholderEditor::PlaceholderEditor (BrisquellPlugInInterface& owner)
    : juce::AudioProcessorEditor (owner)
{
    const auto size = owner.getModel().getEditorSize();
    setSize (size.x, size.y);
}

PlaceholderEditor::~PlaceholderEditor() = default;

//==============================================================================
void PlaceholderEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::white);
}

} // namespace brisquell
