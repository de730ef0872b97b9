// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/host/VstHost.h"

#include <juce_core/juce_core.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brisquell::stress
{

/** The built plug-in binary, loaded through the bundled host, resumed at 44100 Hz with blocks
    of the given size. Fails the calling test (and answers none) when it does not load.
*/
std::unique_ptr<host::Plugin> loadPlugin (int blockSize);

/** True when an X display is there for editors to open on. */
bool hasDisplay();

/** A state chunk for the document text, as the plug-in writes them. */
std::vector<std::uint8_t> chunkFor (const juce::XmlElement& document);

/** The document a chunk carries, or none. */
std::unique_ptr<juce::XmlElement> documentOf (const std::vector<std::uint8_t>& chunk);

/** Number of element children of the document's child with the tag (0 when there is none). */
int countOf (const juce::XmlElement& document, const char* childTag);

/** A project's state: numScenes scenes on a grid over the cursor's range, and a controller
    for each (channel, CC number) of the first numChannels channels, each with a value in
    valuesPerController scenes spread over the list.
*/
std::unique_ptr<juce::XmlElement> makeProjectDocument (int numScenes, int numChannels, int valuesPerController);

/** The first event of the block's output that breaks the rules (not a 3-byte control change,
    or an offset outside the block), described; empty when all keep them.
*/
std::string findBadEvent (const std::vector<host::MidiEvent>& sent, int blockSize);

/** Whether this process runs under LeakSanitizer, and if so a leak check now: true when
    nothing unreachable was found (leaks are printed by the sanitizer).
*/
bool isLeakCheckAvailable();
bool hasNoLeaks();

/** Environment override for the size of a long run (for a quicker run under slow sanitizers). */
int getScaledCount (const char* variable, int defaultCount);

} // namespace brisquell::stress
