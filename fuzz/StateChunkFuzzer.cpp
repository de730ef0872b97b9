// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes handed to setStateInformation on a processor that already holds a state.
//
// Afterwards the processor holds either the state the input describes or exactly the state it
// held before, never a mixture and never nothing, and what getStateInformation then gives is a
// well-formed chunk that restores to the same state.
//
// The first input byte chooses how the rest reaches the processor, so that the fuzzer can work
// on the document text without first finding the chunk's header:
//   0: the rest is the chunk, as a host would hand it over;
//   1: the rest is the text of a chunk whose header says exactly its length;
//   2: four bytes give the header's length field, whatever it is, and the rest is the text.

#include "fuzz/FuzzSupport.h"
#include "engine/document/DocumentElements.h"
#include "plugin/BrisquellPlugInInterface.h"
#include "plugin/StateChunk.h"

namespace
{
using brisquell::BrisquellPlugInInterface;
using namespace brisquell::fuzzing;

// A project's state: controllers with values in several scenes, named and coloured scenes with
// triggers, a sharper mix, an editor size, a pane view, cursor sources, a glide and a session.
constexpr const char* previousDocument =
    "<brisquell><controllers>"
    "<controller ccno=\"7\" channel=\"1\" name=\"volume\"><value value=\"0\" scene=\"0\"/><value value=\"127\" scene=\"1\"/></controller>"
    "<controller ccno=\"74\" channel=\"16\" name=\"cutoff\"><value value=\"64\" scene=\"1\"/><value value=\"3\" scene=\"2\"/></controller>"
    "<controller ccno=\"1\" channel=\"3\" name=\"\"/>"
    "</controllers><scenes sharpness=\"2\">"
    "<scene id=\"0\" colour=\"ff000000\" x=\"0\" y=\"0\" name=\"intro\" trigger=\"note\" triggerchannel=\"1\" triggernumber=\"60\"/>"
    "<scene id=\"1\" colour=\"ffd62728\" x=\"150\" y=\"-20\"/>"
    "<scene id=\"2\" colour=\"ff1f5fd4\" x=\"75\" y=\"180\" name=\"&#233;cho\" trigger=\"program\" triggerchannel=\"16\" triggernumber=\"0\"/>"
    "</scenes><gui width=\"640\" height=\"480\"/>"
    "<morphpanestate xoff=\"-12\" yoff=\"30\" xzoom=\"1.5\" yzoom=\"0.75\"/>"
    "<cursorcontrol glide=\"0.75\" shape=\"smooth\" xsource=\"cc14\" xchannel=\"2\" xnumber=\"31\" ysource=\"cc\" ychannel=\"2\" ynumber=\"63\"/>"
    "<session cursorx=\"50\" cursory=\"-7.5\" refreshrate=\"300\" autokey=\"0\" audit=\"1\" selection=\"2 0\"/></brisquell>";

// A session element with nothing in it sets a new instance's cursor, rate, modes and selection:
// the settings a document without the element leaves as they were.
constexpr const char* newInstanceSession = "<brisquell><session/></brisquell>";

juce::MemoryBlock makeChunk (const void* text, size_t numBytes, juce::uint32 lengthField)
{
    juce::MemoryBlock chunk;
    juce::MemoryOutputStream out (chunk, false);
    out.writeInt ((int) brisquell::chunk::magic);
    out.writeInt ((int) lengthField);
    out.write (text, numBytes);
    out.flush();
    return chunk;
}

void restore (BrisquellPlugInInterface& processor, const juce::MemoryBlock& chunk)
{
    processor.setStateInformation (chunk.getData(), (int) chunk.getSize());
}

int countElements (const juce::XmlElement* parent)
{
    int count = 0;

    if (parent != nullptr)
        for (auto* child : parent->getChildIterator())
            if (! child->isTextElement())
                ++count;

    return count;
}

juce::MemoryBlock decodeInput (const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return {};

    const auto mode = data[0] % 3;
    ++data;
    --size;

    if (mode == 0)
        return { data, size };

    if (mode == 1)
        return makeChunk (data, size, (juce::uint32) size);

    if (size < 4)
        return makeChunk (data, size, (juce::uint32) size);

    return makeChunk (data + 4, size - 4, juce::ByteOrder::littleEndianInt (data));
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    initialiseJuce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    static const auto previousChunk = makeChunk (previousDocument, std::strlen (previousDocument),
                                                 (juce::uint32) std::strlen (previousDocument));
    const auto input = decodeInput (data, size);

    // One instance for the run, as a host keeps it: every input starts from the same state.
    static BrisquellPlugInInterface processor;
    restore (processor, previousChunk);
    const auto before = saveState (processor);

    if (processor.getModel().getNumScenes() != 3 || processor.getModel().getSharpness() != 2 || ! isWellFormedChunk (before))
        fail ("the previous state did not load");

    restore (processor, input);
    const auto after = saveState (processor);

    if (! isWellFormedChunk (after))
        fail ("getStateInformation gave a malformed chunk");

    if (auto document = brisquell::chunk::read (input.getData(), input.getSize()))
    {
        // The state now held is the document's: as many controllers and scenes as it lists.
        const auto* scenes = brisquell::state::getChild (*document, "scenes");
        const auto* controllers = brisquell::state::getChild (*document, "controllers");
        auto& model = processor.getModel();

        if (model.getNumScenes() != countElements (scenes) || model.getNumControllers() != countElements (controllers))
            fail ("a readable chunk did not replace the whole state");
    }
    else if (after != before)
    {
        failComparing ("an unreadable chunk changed the state", before, after);
    }

    // What a host saves now must bring back the same state, in another instance too. A saved
    // chunk always names the editor size, but leaves out a session that is a new instance's:
    // the other instance is given a new instance's session first, so that its own cannot show.
    static BrisquellPlugInInterface reloaded;
    static const auto resetChunk = makeChunk (newInstanceSession, std::strlen (newInstanceSession),
                                              (juce::uint32) std::strlen (newInstanceSession));
    restore (reloaded, resetChunk);
    restore (reloaded, after);

    if (const auto again = saveState (reloaded); again != after)
        failComparing ("the saved chunk does not restore to the same state", after, again);

    return 0;
}
