// SPDX-License-Identifier: GPL-3.0-or-later
// Regression: a project whose state document held text followed by an element inside
// "morphpanestate" crashed the host at its next save (found by fuzz_state_chunk). The model kept
// the restored element whole, and the framework's single-line XML writer passes a null newline
// string to its stream once an element follows a text node. Now only the pane's view is kept.
// Every document here is restored into the real plug-in binary, saved, restored into a new
// instance and saved again: no fault, and the second save is the first byte for byte.
#include "HostFixture.h"

#include <string_view>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
/** Restores the text, saves, restores that into a new instance and saves again; answers the
    first save's text after checking that the second is the same.
*/
std::string saveTwice (const std::string& text)
{
    auto first = loadPlugin();
    auto second = loadPlugin();

    if (first == nullptr || second == nullptr)
        return {};

    first->setChunk (chunkOfText (text));
    const auto saved = first->getChunk();
    second->setChunk (saved);
    EXPECT_EQ (textOf (second->getChunk()), textOf (saved)) << text;
    return textOf (saved);
}

std::string withRoot (const std::string& inner)
{
    return "<brisquell>" + inner + "</brisquell>";
}

const std::string emptyLists = R"(<brisquell><controllers/><scenes/><gui width="300" height="300"/>)";
} // namespace

TEST (DamagedProjectSave, TextBeforeAnElementInTheViewStateNoLongerCrashesTheSave)
{
    EXPECT_EQ (saveTwice (withRoot ("<morphpanestate>x<a><b/></a></morphpanestate>")),
               emptyLists + "<morphpanestate/></brisquell>");
}

TEST (DamagedProjectSave, OfTheViewStateOnlyThePanesViewIsKept)
{
    const std::string view = R"(<morphpanestate xoff="-7" yoff="12" xzoom="1.5" yzoom="0.25"/>)";

    for (const std::string_view inner : {
             // text and elements mixed at several depths, with comments and references
             R"(<morphpanestate xoff="-7" yoff="12" xzoom="1.5" yzoom="0.25">a<b>c<d>e<f/>g</d>h</b>i<j/>&amp;<!--k--><l>m</l></morphpanestate>)",
             // CDATA before and between elements
             R"(<morphpanestate xoff="-7" yoff="12" xzoom="1.5" yzoom="0.25"><![CDATA[<x>]]><y/><![CDATA[]]>z<w><![CDATA[v]]><u/></w></morphpanestate>)",
             // an element after text whose attributes pass the writer's line length
             R"(<morphpanestate xoff="-7" yoff="12" xzoom="1.5" yzoom="0.25">t<a first="aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa" second="bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb" third="c"/></morphpanestate>)",
             // other names, letter case and attributes: the document's own reading of it
             R"(<MorphPaneState extra="1" YOFF="12" xoff="-7.9" xzoom="1.5" yzoom="0.25" xoff="99">text</MorphPaneState>)" })
    {
        EXPECT_EQ (saveTwice (withRoot (std::string (inner))), emptyLists + view + "</brisquell>") << inner;
    }

    // A missing part stays missing; a zoom that is no usable factor counts as missing.
    EXPECT_EQ (saveTwice (withRoot (R"(<morphpanestate yoff="3" xzoom="0" yzoom="nan">x<y/></morphpanestate>)")),
               emptyLists + R"(<morphpanestate yoff="3"/></brisquell>)");
}

TEST (DamagedProjectSave, MixedContentInEveryElementOfTheDocumentIsLeftBehind)
{
    const auto saved = saveTwice (withRoot (
        R"(r<controllers>a<controller ccno="20" channel="2" name="n">b<value value="64" scene="1">c<d/></value>)"
        R"(<![CDATA[e]]><value value="3" scene="0"/>f</controller>g<x>h<y/></x></controllers>i)"
        R"(<scenes>j<scene x="10" y="20">k<l/></scene>m<scene x="30.5" y="40"><![CDATA[n]]><o/></scene>p</scenes>)"
        R"(q<gui width="640" height="400">s<t/></gui>u<other>v<w/></other>)"
        R"(<morphpanestate xoff="1" yoff="2" xzoom="2" yzoom="2">x<z/></morphpanestate>y)"));

    // Text is no record, but every element inside the lists is one: "x" is a controller and its
    // "y" a value. Zoom factors are written as the framework writes doubles, 2 as "2.0".
    EXPECT_EQ (saved, R"(<brisquell><controllers>)"
                      R"(<controller ccno="20" channel="2" name="n"><value value="64" scene="1"/><value value="3" scene="0"/></controller>)"
                      R"(<controller ccno="0" channel="0" name=""><value value="0" scene="0"/></controller></controllers>)"
                      R"(<scenes><scene id="0" colour="ff000000" x="10" y="20"/><scene id="1" colour="ff000000" x="30" y="40"/></scenes>)"
                      R"(<gui width="640" height="400"/><morphpanestate xoff="1" yoff="2" xzoom="2.0" yzoom="2.0"/></brisquell>)");
}

TEST (DamagedProjectSave, NamesWithAnyCharacterAreWrittenSoThatTheyReadBack)
{
    const auto longName = std::string (5000, 'n');

    for (const auto& name : { std::string ("&#1;&#9;&#10;&#13;&#31;&#127;&#128;"), // control characters
                              std::string ("&#x1F39B;&#xFFFF;&#x10FFFF;&#xE000;"), // outside the BMP, non-characters
                              std::string ("\xf0\x9f\x8e\x9b caf\xc3\xa9"),        // the same as UTF-8
                              std::string ("&lt;a&gt;&amp;&quot;'&apos;\t"),       // markup and a raw tab
                              longName })
    {
        const auto saved = saveTwice (withRoot (R"(<controllers><controller ccno="1" channel="1" name=")" + name
                                                + R"("/></controllers>)"));
        EXPECT_NE (saved.find ("<controller ccno=\"1\" channel=\"1\" name=\""), std::string::npos) << name;
    }

    // Names are kept to 4096 characters.
    const auto saved = saveTwice (withRoot (R"(<controllers><controller name=")" + longName + R"("/></controllers>)"));
    EXPECT_NE (saved.find ("name=\"" + std::string (4096, 'n') + "\""), std::string::npos);
}
