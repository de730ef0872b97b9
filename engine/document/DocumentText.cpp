// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/document/DocumentText.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace brisquell::state
{

juce::String formatDecimal (double value)
{
    char text[64];
    std::snprintf (text, sizeof (text), "%.9g", value);
    return text;
}

int parseInteger (const juce::String& text)
{
    auto p = text.getCharPointer();

    while (p.isWhitespace())
        ++p;

    bool negative = false;

    if (*p == '-' || *p == '+')
    {
        negative = *p == '-';
        ++p;
    }

    juce::int64 magnitude = 0;

    // Saturate rather than overflow: hostile documents may carry any number of digits. Only
    // ASCII digits count; other scripts' digits end the number as any other letter does.
    while (*p >= '0' && *p <= '9')
    {
        magnitude = juce::jmin ((juce::int64) std::numeric_limits<int>::max() + 1, magnitude * 10 + (*p - '0'));
        ++p;
    }

    const auto result = negative ? -magnitude : magnitude;
    return (int) juce::jlimit ((juce::int64) std::numeric_limits<int>::min(),
                               (juce::int64) std::numeric_limits<int>::max(),
                               result);
}

namespace
{
/** The text with every exponent's significant digits limited to six. The framework's reader
    adds up an exponent's digits in an int, which a hostile document's exponent of ten or more
    digits would overflow; any exponent beyond six digits is far outside a double's range, so
    999999 reads the same (infinity or zero, as its sign says).
*/
juce::String limitExponentDigits (const juce::String& text)
{
    if (! text.containsAnyOf ("eE"))
        return text;

    constexpr int maxExponentDigits = 6;
    juce::String limited;
    limited.preallocateBytes (text.getNumBytesAsUTF8());

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();
        limited << juce::String::charToString (c);

        if (c != 'e' && c != 'E')
            continue;

        if (*p == '+' || *p == '-')
            limited << juce::String::charToString (p.getAndAdvance());

        while (*p == '0')
            limited << juce::String::charToString (p.getAndAdvance());

        int numDigits = 0;

        for (; *p >= '0' && *p <= '9'; ++p, ++numDigits)
            if (numDigits < maxExponentDigits)
                limited << juce::String::charToString (*p);

        if (numDigits > maxExponentDigits)
            limited = limited.dropLastCharacters (maxExponentDigits) + "999999";
    }

    return limited;
}
} // namespace

double parseDecimal (const juce::String& text)
{
    const auto limited = limitExponentDigits (text);
    auto p = limited.getCharPointer();
    const auto value = juce::CharacterFunctions::readDoubleValue (p);

    // "nan", "inf" and out-of-range exponents are no usable number: they read as 0 like any
    // other unreadable text, so no reader ever computes with them.
    return std::isfinite (value) ? value : 0.0;
}

int parseDecimalAsInteger (const juce::String& text)
{
    const auto value = std::trunc (parseDecimal (text));

    if (value >= (double) std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();

    if (value <= (double) std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();

    return (int) value;
}

juce::String getAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    for (int i = 0; i < element.getNumAttributes(); ++i)
        if (element.getAttributeName (i).equalsIgnoreCase (name))
            return element.getAttributeValue (i);

    return {};
}

bool hasAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    for (int i = 0; i < element.getNumAttributes(); ++i)
        if (element.getAttributeName (i).equalsIgnoreCase (name))
            return true;

    return false;
}

int getIntAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    return parseInteger (getAttribute (element, name));
}

int getDecimalAsIntAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    return parseDecimalAsInteger (getAttribute (element, name));
}

double getDoubleAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    return parseDecimal (getAttribute (element, name));
}

juce::XmlElement* getChild (const juce::XmlElement& element, juce::StringRef name)
{
    for (auto* child : element.getChildIterator())
        if (child->getTagName().equalsIgnoreCase (name))
            return child;

    return nullptr;
}

} // namespace brisquell::state
