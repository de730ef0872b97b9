// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_core/juce_core.h>

#include <memory>

namespace brisquell::chunk
{

/** The state chunk that hosts keep in their projects:

    | offset | size | content                                                    |
    |--------|------|------------------------------------------------------------|
    | 0      | 4    | magic 0x21324356, little-endian (the bytes "VC2!")         |
    | 4      | 4    | n, the number of bytes of text, little-endian              |
    | 8      | n    | the state document as UTF-8 text, on one line, no header   |
    | 8 + n  | 1    | 0, the terminator                                          |
    | 9 + n  | 1    | 0, a spare byte                                            |

    The framework's XML writer escapes every character outside printable ASCII as a numeric
    character reference, so a document it wrote is plain ASCII and the byte count equals the
    character count. Reading accepts UTF-8, and falls back to one character per byte (Latin-1)
    for text that is not valid UTF-8, which is how older chunks stored such characters. Valid
    means strict: one overlong form, surrogate or code point past U+10FFFF anywhere makes the
    whole text read one character per byte, so no byte sequence ever stands for a character
    (such as "<") that it does not spell in the shortest form.
*/
constexpr juce::uint32 magic = 0x21324356;
constexpr size_t headerSize = 8;

/** Documents nested deeper than this are refused before they reach the framework's parser,
    which recurses once per level: hostile input could otherwise exhaust the stack. The
    plug-in's own documents nest four levels deep.
*/
constexpr int maxNestingDepth = 32;

/** Limits on what the framework's parser and the document's readers would spend more than
    linear time on, far beyond anything the plug-in writes (its elements have at most eight
    attributes, its documents about 45 names, and an attribute value at most one reference per
    character of a controller's or a scene's name, see maxStorableNameLength):
    - the framework's parser builds an attribute value with one append per reference, each
      copying what was read before;
    - the readers look attributes up by position in a linked list;
    - every distinct element or attribute name goes into the framework's global string pool,
      a sorted array with an insertion per new name.
*/
constexpr int maxAttributesPerElement = 32;
constexpr int maxReferencesPerValue = 4096;
constexpr int maxDistinctNames = 1024;

/** Replaces the block's contents with the chunk for the document. Text inside the document's
    elements is left out: the plug-in's documents hold none, and the framework's single-line
    writer cannot write an element that follows text. Any thread except the audio thread (it
    allocates).
*/
void write (const juce::XmlElement& document, juce::MemoryBlock& destination);

/** The document a chunk carries, or none when the chunk is shorter than 9 bytes, has another
    magic, a zero length, text that the parser would not read safely or that does not parse.
    A length larger than the data is cut to the data; the text ends at the first zero byte.
    Takes no lock. Any thread except the audio thread.
*/
std::unique_ptr<juce::XmlElement> read (const void* data, size_t numBytes);

/** The chunk's text as the parser will see it (decoded as described above), or an empty
    string when the header is not a valid one. Exposed for tests and tools.
*/
juce::String extractText (const void* data, size_t numBytes);

/** True when the bytes are a single XML element in the strict form the framework's parser
    reads structurally as written (well-formed tags and quoted attributes, comments,
    processing instructions outside the root element, CDATA, the five predefined entities and
    numeric character references, no document type declaration), its elements nest at most
    maxDepth deep, and it keeps within the limits above.
    Anything else is refused: whatever it is, it is not a document this plug-in wrote.
*/
bool isWithinParserLimits (const char* text, size_t numBytes, int maxDepth = maxNestingDepth);

} // namespace brisquell::chunk
