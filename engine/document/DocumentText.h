// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_core/juce_core.h>

namespace brisquell::state
{

/** Number forms and lookups of the state document, shared by every element's reader and
    writer. Names are matched without regard to letter case.
*/

/** A decimal written as C's "%.9g": 100 gives "100", 12.5 gives "12.5". */
juce::String formatDecimal (double value);

/** The leading integer part of the text ("12.7" gives 12); 0 when there is none. Out-of-range
    numbers saturate at the int limits.
*/
int parseInteger (const juce::String& text);

/** The text read as a decimal number ("." as the point, whatever the locale); 0 when it is not
    one or is not finite ("nan", "inf", "1e999").
*/
double parseDecimal (const juce::String& text);

/** A decimal's whole part, truncated towards zero and saturated at the int limits ("12.7" gives
    12, "-12.5" gives -12, "abc" gives 0). It reads what formatDecimal wrote for any whole number
    of the int range, also the ones "%.9g" writes with an exponent ("1.5e+09" gives 1500000000),
    where the leading integer part alone would give 1.
*/
int parseDecimalAsInteger (const juce::String& text);

juce::String getAttribute (const juce::XmlElement& element, juce::StringRef name);
bool hasAttribute (const juce::XmlElement& element, juce::StringRef name);
int getIntAttribute (const juce::XmlElement& element, juce::StringRef name);
int getDecimalAsIntAttribute (const juce::XmlElement& element, juce::StringRef name);
double getDoubleAttribute (const juce::XmlElement& element, juce::StringRef name);

/** The first child with the tag, or none. */
juce::XmlElement* getChild (const juce::XmlElement& element, juce::StringRef name);

/** Calls the function with each child that is an element: text between elements never counts
    as a scene, a controller or a value.
*/
template <typename Function>
void forEachChildElement (const juce::XmlElement& parent, Function&& function)
{
    for (auto* child : parent.getChildIterator())
        if (! child->isTextElement())
            function (*child);
}

} // namespace brisquell::state
