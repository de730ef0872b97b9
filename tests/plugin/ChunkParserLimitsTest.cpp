// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugin/StateChunk.h"

#include <gtest/gtest.h>

#include <string>

using namespace brisquell;

namespace
{
bool accepted (const std::string& text, int maxDepth = chunk::maxNestingDepth)
{
    return chunk::isWithinParserLimits (text.data(), text.size(), maxDepth);
}

std::string nested (int depth)
{
    std::string text;

    for (int i = 0; i < depth; ++i)
        text += "<e>";

    for (int i = 0; i < depth; ++i)
        text += "</e>";

    return text;
}
} // namespace

// The check stands between hostile chunks and the framework's recursive parser: what it
// accepts must be plain structure, and depth is counted the way the parser recurses.
TEST (ChunkParserLimits, AcceptsTheFormsItsOwnDocumentsAndTheParserShare)
{
    EXPECT_TRUE (accepted ("<brisquell/>"));
    EXPECT_TRUE (accepted ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- saved -->\n<?pi <y>?><brisquell></brisquell >"));
    EXPECT_TRUE (accepted ("<b a='1' c = \"x &amp; &lt;y&gt; &quot;&apos; &#233; &#x1F39B;\"><c/>text &amp; more<![CDATA[<not><markup>]]><!-- <x> --></b>"));
    EXPECT_TRUE (accepted ("<b name=\"caf\xc3\xa9\" \xc3\xa9t\xc3\xa9=\"1\"/>"));
    EXPECT_TRUE (accepted ("<b/> trailing text is never read"));
}

TEST (ChunkParserLimits, CountsNestingOnlyForOpenElements)
{
    EXPECT_TRUE (accepted (nested (32)));
    EXPECT_FALSE (accepted (nested (33)));
    EXPECT_TRUE (accepted (nested (3), 3));
    EXPECT_FALSE (accepted (nested (4), 3));

    // Siblings, empty elements, comments and CDATA add no depth.
    std::string wide = "<b>";

    for (int i = 0; i < 1000; ++i)
        wide += "<c x=\"1\"/><d></d><!-- <e><e><e> --><![CDATA[<e><e>]]>";

    EXPECT_TRUE (accepted (wide + "</b>", 2));
}

TEST (ChunkParserLimits, RefusesWhatTheParserWouldReadLoosely)
{
    for (const auto* text : {
             "",
             "   ",
             "text before <b/>",
             "<!DOCTYPE b [<!ENTITY e \"<b>&e;</b>\">]><b>&e;</b>",
             "<b>&e;</b>",                        // an entity only a DTD could define
             "<b>&amp</b>",                       // no semicolon: the parser would search on
             "<b>&#0;</b>",
             "<b>&#xD800;</b>",
             "<b>&#x110000;</b>",
             "<b>&#12345678;</b>",
             "<b x=\"<c>\"/>",                    // markup inside a value
             "<b x=1/>",
             "<b x/>",
             "<b x=\"1\"y=\"2\"/>",
             "< b/>",
             "<b><!-- unterminated",
             "<b><![CDATA[ unterminated",
             "<b><? unterminated",
             "<b><?pi?>text</b>",                 // the parser would loop forever on it
             "<b x=\"unterminated/>",
             "<b><c></b",
             "<b>",                               // never closed
             "<b></>",
             "<b><!ELEMENT c></b>",
         })
    {
        EXPECT_FALSE (accepted (text)) << text;
    }

    EXPECT_FALSE (chunk::isWithinParserLimits (nullptr, 10));
}

TEST (ChunkParserLimits, HugeHostileDepthIsRefusedWithoutRecursing)
{
    std::string text;

    for (int i = 0; i < 1000000; ++i)
        text += "<a b='&#60;'>";

    EXPECT_FALSE (accepted (text));

    juce::MemoryOutputStream wrapped;
    wrapped.writeInt ((int) chunk::magic);
    wrapped.writeInt ((int) text.size());
    wrapped.write (text.data(), text.size());
    EXPECT_EQ (chunk::read (wrapped.getData(), wrapped.getDataSize()), nullptr);
}

// What the parser or the document's readers would spend more than linear time on is refused;
// the plug-in's own documents stay far within each limit.
TEST (ChunkParserLimits, RefusesWhatWouldCostMoreThanLinearTime)
{
    const auto element = [] (int numAttributes)
    {
        std::string text = "<b";

        for (int i = 0; i < numAttributes; ++i)
            text += " a" + std::to_string (i) + "=\"1\"";

        return text + "/>";
    };

    EXPECT_TRUE (accepted (element (chunk::maxAttributesPerElement)));
    EXPECT_FALSE (accepted (element (chunk::maxAttributesPerElement + 1)));

    const auto value = [] (int numReferences, const char* reference)
    {
        std::string text = "<b name=\"";

        for (int i = 0; i < numReferences; ++i)
            text += reference;

        return text + "\">&amp;&amp;&amp;</b>";
    };

    for (const auto* reference : { "&amp;", "&#233;", "&#x1F39B;" })
    {
        EXPECT_TRUE (accepted (value (chunk::maxReferencesPerValue, reference))) << reference;
        EXPECT_FALSE (accepted (value (chunk::maxReferencesPerValue + 1, reference))) << reference;
    }

    // Text between elements may hold any number: the parser reads it in linear time.
    EXPECT_TRUE (accepted ("<b>" + value (0, "") + std::string (chunk::maxReferencesPerValue * 2, 'x') + "</b>"));

    // Distinct names of elements and attributes, however often each occurs: "b", "e", then
    // names of elements and of attributes of "e" in turn; "e" and "n3" again at the end.
    const auto names = [] (int numNames)
    {
        std::string text = "<b>";

        for (int i = 2; i < numNames; ++i)
            text += i % 2 == 0 ? "<e a" + std::to_string (i) + "=\"\"/>" : "<n" + std::to_string (i) + "/>";

        return text + "<e/><n3/></b>";
    };

    EXPECT_TRUE (accepted (names (chunk::maxDistinctNames)));
    EXPECT_FALSE (accepted (names (chunk::maxDistinctNames + 1)));
}
