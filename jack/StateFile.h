// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plugin/BrisquellPlugInInterface.h"

namespace brisquell::jack
{

/** The app's state file: the state document as the state chunk carries it (plugin/StateChunk.h),
    one line of XML, so that the file and a host's saved chunk hold the same text.
*/
namespace statefile
{

/** Restores the processor's state from the file. A file that does not exist yet, or is empty,
    leaves the state as it is (the first save creates it); its folder must exist, though. A file
    that cannot be read, or holds anything but a state document, fails with the reason and
    changes nothing, so that the app never overwrites it. Message thread.
*/
juce::Result load (const juce::File& file, BrisquellPlugInInterface& processor);

/** Writes the processor's state document to the file through a temporary file beside it, so
    that the file holds either the old or the new document whatever happens on the way. Message
    thread.
*/
juce::Result save (const juce::File& file, BrisquellPlugInInterface& processor);

/** The document text the file holds for the processor's current state. */
juce::String documentText (BrisquellPlugInInterface& processor);

/** The root element's name of every state document. */
constexpr const char* rootTag = "brisquell";

} // namespace statefile
} // namespace brisquell::jack
