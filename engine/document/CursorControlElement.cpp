// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Brisquell.h"
#include "engine/document/DocumentElements.h"

namespace brisquell::state
{

namespace
{
// The names of the kinds as the document writes them; reading ignores letter case.
constexpr const char* controlChangeName = "cc";
constexpr const char* controlChangePairName = "cc14";
constexpr const char* pitchBendName = "pitchbend";
constexpr const char* smoothName = "smooth";
constexpr const char* linearName = "linear";

const char* nameOf (CursorSource::Kind kind) noexcept
{
    switch (kind)
    {
        case CursorSource::Kind::controlChange:
            return controlChangeName;
        case CursorSource::Kind::controlChangePair:
            return controlChangePairName;
        case CursorSource::Kind::pitchBend:
            return pitchBendName;
        case CursorSource::Kind::none:
            break;
    }

    return "";
}

/** The axis's source ("xsource", "xchannel", "xnumber" for x), or none when it names no valid
    source.
*/
CursorSource readCursorSource (const juce::XmlElement& element, const juce::String& prefix)
{
    const auto kindText = getAttribute (element, prefix + "source");
    CursorSource source;

    if (kindText.equalsIgnoreCase (controlChangeName))
        source.kind = CursorSource::Kind::controlChange;
    else if (kindText.equalsIgnoreCase (controlChangePairName))
        source.kind = CursorSource::Kind::controlChangePair;
    else if (kindText.equalsIgnoreCase (pitchBendName))
        source.kind = CursorSource::Kind::pitchBend;
    else
        return {};

    source.channel = getIntAttribute (element, prefix + "channel");
    source.number = source.kind == CursorSource::Kind::pitchBend ? 0 : getIntAttribute (element, prefix + "number");
    return source.isValid() ? source : CursorSource();
}

void writeCursorSource (juce::XmlElement& element, const juce::String& prefix, const CursorSource& source)
{
    if (source.kind == CursorSource::Kind::none)
        return;

    element.setAttribute (prefix + "source", nameOf (source.kind));
    element.setAttribute (prefix + "channel", source.channel);

    if (source.kind != CursorSource::Kind::pitchBend)
        element.setAttribute (prefix + "number", source.number);
}
} // namespace

CursorControlContent readCursorControl (const juce::XmlElement& element)
{
    CursorControlContent cursorControl;
    cursorControl.glideTime = Brisquell::toGlideTime (getDoubleAttribute (element, "glide"));
    cursorControl.glideShape = getAttribute (element, "shape").equalsIgnoreCase (smoothName) ? GlideShape::smooth
                                                                                             : GlideShape::linear;
    cursorControl.sources = { readCursorSource (element, "x"), readCursorSource (element, "y") };
    return cursorControl;
}

std::unique_ptr<juce::XmlElement> createCursorControlElement (const CursorControlContent& cursorControl)
{
    auto element = std::make_unique<juce::XmlElement> ("cursorcontrol");
    element->setAttribute ("glide", formatDecimal (cursorControl.glideTime));
    element->setAttribute ("shape", cursorControl.glideShape == GlideShape::smooth ? smoothName : linearName);
    writeCursorSource (*element, "x", cursorControl.sources[0]);
    writeCursorSource (*element, "y", cursorControl.sources[1]);
    return element;
}

} // namespace brisquell::state
