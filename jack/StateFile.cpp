// SPDX-License-Identifier: GPL-3.0-or-later
#include "jack/StateFile.h"
#include "plugin/StateChunk.h"

namespace brisquell::jack::statefile
{

namespace
{
/** The text wrapped as a state chunk, the form the chunk reader checks and parses. */
juce::MemoryBlock asChunk (const juce::MemoryBlock& text)
{
    juce::MemoryOutputStream out;
    out.writeInt ((int) chunk::magic);
    out.writeInt ((int) text.getSize());
    out.write (text.getData(), text.getSize());
    out.writeByte (0);
    out.writeByte (0);
    return out.getMemoryBlock();
}
} // namespace

juce::Result load (const juce::File& file, BrisquellPlugInInterface& processor)
{
    if (! file.getParentDirectory().isDirectory())
        return juce::Result::fail ("the folder of the state file " + file.getFullPathName() + " does not exist");

    if (file.isDirectory())
        return juce::Result::fail ("the state file " + file.getFullPathName() + " is a folder");

    if (! file.existsAsFile() || file.getSize() == 0)
        return juce::Result::ok();

    juce::MemoryBlock text;

    if (! file.loadFileAsData (text))
        return juce::Result::fail ("cannot read the state file " + file.getFullPathName());

    // The length field of a chunk is 32 bits.
    if (text.getSize() > (size_t) std::numeric_limits<juce::int32>::max() - 16)
        return juce::Result::fail ("the state file " + file.getFullPathName() + " is too large to be a state document");

    const auto data = asChunk (text);
    auto document = chunk::read (data.getData(), data.getSize());

    if (document == nullptr || ! document->getTagName().equalsIgnoreCase (rootTag))
        return juce::Result::fail ("the state file " + file.getFullPathName() + " holds no Brisquellum state document");

    processor.getModel().restoreStateXml (std::move (document));
    return juce::Result::ok();
}

juce::String documentText (BrisquellPlugInInterface& processor)
{
    juce::MemoryBlock data;
    processor.getStateInformation (data);
    return chunk::extractText (data.getData(), data.getSize());
}

juce::Result save (const juce::File& file, BrisquellPlugInInterface& processor)
{
    const auto text = documentText (processor);

    if (text.isEmpty())
        return juce::Result::fail ("the state could not be written as a document");

    juce::TemporaryFile temporary (file, juce::TemporaryFile::useHiddenFile);

    if (! temporary.getFile().replaceWithData (text.toRawUTF8(), text.getNumBytesAsUTF8())
        || ! temporary.overwriteTargetFileWithTemporary())
        return juce::Result::fail ("could not write the state file " + file.getFullPathName());

    return juce::Result::ok();
}

} // namespace brisquell::jack::statefile
