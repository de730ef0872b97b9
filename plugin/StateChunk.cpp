// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugin/StateChunk.h"

#include <cstring>
#include <string_view>
#include <unordered_set>

namespace brisquell::chunk
{

namespace
{
//==============================================================================
/** Walks the text with the same grammar as the framework's parser, but refuses everything the
    parser would treat loosely (where it could disagree about what is markup), so that for
    every text it accepts the parser's recursion depth is the depth counted here.
*/
class StructureScanner
{
public:
    StructureScanner (const char* textToScan, size_t length, int maxDepthAllowed) noexcept
        : text (reinterpret_cast<const unsigned char*> (textToScan)), size (length), maxDepth (maxDepthAllowed)
    {
    }

    bool scan()
    {
        if (! skipMarkupOutsideElements())
            return false;

        if (! (peek() == '<' && isNameChar (peek (1))))
            return false;

        bool isEmpty = false;

        if (! readStartTag (isEmpty))
            return false;

        int depth = isEmpty ? 0 : 1;

        if (depth > maxDepth)
            return false;

        while (depth > 0)
        {
            if (atEnd())
                return false;

            const auto c = peek();

            if (c == '<')
            {
                if (! readMarkup (depth))
                    return false;
            }
            else if (c == '&')
            {
                if (! readReference())
                    return false;
            }
            else
            {
                ++pos;
            }
        }

        return true;
    }

private:
    bool atEnd() const noexcept { return pos >= size; }

    unsigned char peek (size_t ahead = 0) const noexcept
    {
        return pos + ahead < size ? text[pos + ahead] : 0;
    }

    bool startsWith (const char* prefix) const noexcept
    {
        const auto length = std::strlen (prefix);
        return size - pos >= length && std::memcmp (text + pos, prefix, length) == 0;
    }

    /** At '<' inside an element: an end tag, a comment, CDATA or a start tag, with the depth
        that leaves.
    */
    bool readMarkup (int& depth)
    {
        if (startsWith ("</"))
        {
            pos += 2;

            if (! readName())
                return false;

            skipSpaces();

            if (peek() != '>')
                return false;

            ++pos;
            --depth;
            return true;
        }

        if (startsWith ("<!--"))
            return skipPast ("-->", 4);

        if (startsWith ("<![CDATA["))
            return skipPast ("]]>", 9);

        // The framework's parser loops forever on a processing instruction followed by text
        // inside an element (it skips the instruction as white space, then rolls back to read
        // the text and stops at its '<'). The plug-in never writes one there, so none is
        // accepted.
        if (startsWith ("<?") || ! isNameChar (peek (1)))
            return false;

        bool isEmpty = false;

        if (! readStartTag (isEmpty))
            return false;

        return isEmpty || ++depth <= maxDepth;
    }

    /** Moves past the opening (of the given length) and then past the terminator. */
    bool skipPast (const char* terminator, size_t openingLength) noexcept
    {
        pos += openingLength;

        while (! atEnd())
        {
            if (startsWith (terminator))
            {
                pos += std::strlen (terminator);
                return true;
            }

            ++pos;
        }

        return false;
    }

    static bool isSpace (unsigned char c) noexcept
    {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    }

    // Bytes of multi-byte characters count as name characters: where the parser thinks
    // otherwise it ends the element sooner, never later, so the count here is never short.
    static bool isNameChar (unsigned char c) noexcept
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
               || c == '_' || c == '-' || c == ':' || c == '.' || c >= 0x80;
    }

    bool skipSpaces() noexcept
    {
        const auto start = pos;

        while (! atEnd() && isSpace (peek()))
            ++pos;

        return pos != start;
    }

    bool skipMarkupOutsideElements() noexcept
    {
        for (;;)
        {
            skipSpaces();

            if (startsWith ("<?"))
            {
                if (! skipPast ("?>", 2))
                    return false;
            }
            else if (startsWith ("<!--"))
            {
                if (! skipPast ("-->", 4))
                    return false;
            }
            else
            {
                return true;
            }
        }
    }

    bool readName() noexcept
    {
        const auto start = pos;

        while (! atEnd() && isNameChar (peek()))
            ++pos;

        return pos != start;
    }

    /** At '&': one of the predefined entities or a numeric reference to a valid character. */
    bool readReference() noexcept
    {
        ++pos;

        for (auto* name : { "amp;", "quot;", "apos;", "lt;", "gt;" })
        {
            if (startsWith (name))
            {
                pos += std::strlen (name);
                return true;
            }
        }

        if (peek() != '#')
            return false;

        ++pos;
        const bool isHex = peek() == 'x' || peek() == 'X';

        if (isHex)
            ++pos;

        juce::uint32 code = 0;
        int numDigits = 0;

        for (;; ++pos)
        {
            const auto c = peek();
            int digit = -1;

            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (isHex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (isHex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                break;

            if (++numDigits > (isHex ? 6 : 7))
                return false;

            code = code * (isHex ? 16u : 10u) + (juce::uint32) digit;
        }

        if (numDigits == 0 || peek() != ';')
            return false;

        ++pos;
        return code != 0 && code <= 0x10ffff && ! (code >= 0xd800 && code <= 0xdfff);
    }

    /** Reads a name that the parser will pool, counting the distinct ones. */
    bool readPooledName()
    {
        const auto start = pos;

        if (! readName())
            return false;

        names.emplace (reinterpret_cast<const char*> (text + start), pos - start);
        return (int) names.size() <= maxDistinctNames;
    }

    /** At '<' followed by a name character. */
    bool readStartTag (bool& isEmpty)
    {
        ++pos;

        if (! readPooledName())
            return false;

        for (int numAttributes = 0;; ++numAttributes)
        {
            const bool hadSpace = skipSpaces();

            if (startsWith ("/>"))
            {
                pos += 2;
                isEmpty = true;
                return true;
            }

            if (peek() == '>')
            {
                ++pos;
                isEmpty = false;
                return true;
            }

            if (! hadSpace || numAttributes >= maxAttributesPerElement || ! readPooledName())
                return false;

            skipSpaces();

            if (peek() != '=')
                return false;

            ++pos;
            skipSpaces();

            if (! readQuotedValue())
                return false;
        }
    }

    /** At an attribute value's opening quote: the value up to its closing quote. */
    bool readQuotedValue()
    {
        const auto quote = peek();

        if (quote != '"' && quote != '\'')
            return false;

        ++pos;

        for (int numReferences = 0;;)
        {
            if (atEnd())
                return false;

            const auto c = peek();

            if (c == quote)
            {
                ++pos;
                return true;
            }

            if (c == '<')
                return false;

            if (c == '&')
            {
                if (++numReferences > maxReferencesPerValue || ! readReference())
                    return false;
            }
            else
            {
                ++pos;
            }
        }
    }

    const unsigned char* text;
    size_t size;
    size_t pos = 0;
    int maxDepth;
    std::unordered_set<std::string_view> names;
};

//==============================================================================
/** Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. */
bool isValidUtf8 (const unsigned char* bytes, size_t numBytes) noexcept
{
    for (size_t i = 0; i < numBytes;)
    {
        const auto lead = bytes[i];

        if (lead < 0x80)
        {
            ++i;
            continue;
        }

        size_t extra = 0;
        juce::uint32 code = 0, minimum = 0;

        if ((lead & 0xe0) == 0xc0)
        {
            extra = 1;
            code = lead & 0x1fu;
            minimum = 0x80;
        }
        else if ((lead & 0xf0) == 0xe0)
        {
            extra = 2;
            code = lead & 0x0fu;
            minimum = 0x800;
        }
        else if ((lead & 0xf8) == 0xf0)
        {
            extra = 3;
            code = lead & 0x07u;
            minimum = 0x10000;
        }
        else
        {
            return false;
        }

        if (numBytes - i <= extra)
            return false;

        for (size_t k = 1; k <= extra; ++k)
        {
            const auto next = bytes[i + k];

            if ((next & 0xc0) != 0x80)
                return false;

            code = (code << 6) | (next & 0x3fu);
        }

        if (code < minimum || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;

        i += extra + 1;
    }

    return true;
}

juce::String decodeText (const char* bytes, size_t numBytes)
{
    if (numBytes == 0)
        return {};

    if (isValidUtf8 (reinterpret_cast<const unsigned char*> (bytes), numBytes))
        return juce::String (juce::CharPointer_UTF8 (bytes), juce::CharPointer_UTF8 (bytes + numBytes));

    juce::HeapBlock<juce::juce_wchar> wide (numBytes + 1);

    for (size_t i = 0; i < numBytes; ++i)
        wide[i] = (juce::juce_wchar) (unsigned char) bytes[i];

    wide[numBytes] = 0;
    return juce::String (juce::CharPointer_UTF32 (wide.getData()));
}

/** The text bytes of a chunk: their start and count, or a count of 0 when the header is bad. */
size_t locateText (const void* data, size_t numBytes, const char*& start) noexcept
{
    start = nullptr;

    if (data == nullptr || numBytes <= headerSize)
        return 0;

    const auto* bytes = static_cast<const char*> (data);

    if (juce::ByteOrder::littleEndianInt (bytes) != magic)
        return 0;

    const auto declared = (size_t) juce::ByteOrder::littleEndianInt (bytes + 4);
    const auto available = juce::jmin (declared, numBytes - headerSize);

    start = bytes + headerSize;
    const auto* end = static_cast<const char*> (std::memchr (start, 0, available));
    return end != nullptr ? (size_t) (end - start) : available;
}

bool holdsText (const juce::XmlElement& element)
{
    for (auto* child : element.getChildIterator())
        if (child->isTextElement() || holdsText (*child))
            return true;

    return false;
}

void deleteTextRecursively (juce::XmlElement& element)
{
    element.deleteAllTextElements();

    for (auto* child : element.getChildIterator())
        deleteTextRecursively (*child);
}
} // namespace

//==============================================================================
void write (const juce::XmlElement& document, juce::MemoryBlock& destination)
{
    // The framework's single-line writer goes wrong on an element that follows text: it writes
    // that element's children and long attribute lists with a null newline string (a crash),
    // and text itself is written raw, line breaks included. The plug-in's documents hold no
    // text; should one ever reach here, its text is left out rather than crash the host.
    std::unique_ptr<juce::XmlElement> withoutText;

    if (holdsText (document))
    {
        withoutText = std::make_unique<juce::XmlElement> (document);
        deleteTextRecursively (*withoutText);
    }

    const auto& written = withoutText != nullptr ? *withoutText : document;
    const auto text = written.toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
    const auto numBytes = text.getNumBytesAsUTF8();

    // Every byte is written, the terminator and the spare byte too: a block that held more
    // before keeps nothing of it, and one that held less has nothing left uninitialised.
    destination.setSize (numBytes + headerSize + 2, false);
    auto* bytes = static_cast<char*> (destination.getData());

    const auto writeLittleEndian = [] (char* out, juce::uint32 value)
    {
        for (int i = 0; i < 4; ++i)
            out[i] = (char) ((value >> (8 * i)) & 0xff);
    };

    writeLittleEndian (bytes, magic);
    writeLittleEndian (bytes + 4, (juce::uint32) numBytes);
    std::memcpy (bytes + headerSize, text.toRawUTF8(), numBytes);
    bytes[headerSize + numBytes] = 0;
    bytes[headerSize + numBytes + 1] = 0;
}

juce::String extractText (const void* data, size_t numBytes)
{
    const char* start = nullptr;
    const auto length = locateText (data, numBytes, start);
    return decodeText (start, length);
}

std::unique_ptr<juce::XmlElement> read (const void* data, size_t numBytes)
{
    const char* start = nullptr;
    const auto length = locateText (data, numBytes, start);

    if (length == 0 || ! isWithinParserLimits (start, length))
        return nullptr;

    const auto text = decodeText (start, length);
    return juce::XmlDocument (text).getDocumentElement();
}

bool isWithinParserLimits (const char* text, size_t numBytes, int maxDepth)
{
    if (text == nullptr || numBytes == 0)
        return false;

    return StructureScanner (text, numBytes, maxDepth).scan();
}

} // namespace brisquell::chunk
