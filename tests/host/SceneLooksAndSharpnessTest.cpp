// SPDX-License-Identifier: GPL-3.0-or-later
// Named, coloured scenes and the mix's sharpness through the built binary, as a host saves,
// reopens and plays them.
#include "HostFixture.h"
#include "engine/Records.h"

using namespace brisquell;
using namespace brisquell::test;

namespace
{
// Scenes at distances 1, 2 and 3 from the cursor at (0, 0), holding 0, 64 and 127 for CC 7.
std::string threeScenes (const std::string& scenesAttributes)
{
    return "<brisquell><controllers><controller ccno=\"7\" channel=\"1\" name=\"7\">"
           "<value value=\"0\" scene=\"0\"/><value value=\"64\" scene=\"1\"/><value value=\"127\" scene=\"2\"/>"
           "</controller></controllers><scenes"
           + scenesAttributes
           + "><scene id=\"0\" colour=\"ff000000\" x=\"1\" y=\"0\"/><scene id=\"1\" colour=\"ff000000\" x=\"0\" y=\"2\"/>"
             "<scene id=\"2\" colour=\"ff000000\" x=\"3\" y=\"0\"/></scenes><gui width=\"300\" height=\"300\"/></brisquell>";
}
} // namespace

TEST (SceneLooksAndSharpness, NamesColoursAndSharpnessSurviveSaveAndReopenByteForByte)
{
    const auto saved = readFixture ("named-coloured-scenes.chunk");
    ASSERT_GT (saved.size(), 10u);

    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);
    auto reopened = expectSavedAndReopenedByteForByte (*plugin, saved);
    ASSERT_NE (reopened, nullptr);

    // A name as long as a scene keeps, of references to characters beyond the BMP.
    std::string name;
    for (int i = 0; i < maxStorableNameLength; ++i)
        name += "&#127929;";

    const auto longName = chunkOfText ("<brisquell><controllers/><scenes><scene id=\"0\" colour=\"ff9467bd\" x=\"0\" y=\"0\" name=\"" + name
                                       + "\"/></scenes><gui width=\"300\" height=\"300\"/></brisquell>");
    reopened->setChunk (longName);
    EXPECT_EQ (reopened->getChunk(), longName);
}

TEST (SceneLooksAndSharpness, TheSharpnessSetsTheValuesSentAtKnownPositions)
{
    // The blend over the distances raised to p. At (0, 0), distances 1, 2 and 3: 31.875, 14.36
    // and 3.47. At (0, 1), distances 1.414, 1 and 3.162: 47.07, 45.29 and 51.53.
    struct Case
    {
        std::string attributes;
        int atOrigin, oneDown;
    };

    for (const auto& [attributes, atOrigin, oneDown] : { Case{ "", 32, 47 }, Case{ " sharpness=\"2\"", 14, 45 }, Case{ " sharpness=\"4\"", 3, 52 } })
    {
        auto plugin = loadPlugin();
        ASSERT_NE (plugin, nullptr);
        startProcessing (*plugin);
        plugin->setParameter (0, 0.0f);
        plugin->setParameter (1, 0.0f);
        plugin->setChunk (chunkOfText (threeScenes (attributes)));

        const auto sent = runBlock (*plugin, 512);
        ASSERT_EQ (sent.size(), 1u) << attributes;
        EXPECT_EQ (sent[0], cc (0, 1, 7, atOrigin)) << attributes;

        plugin->setParameter (1, 0.005f); // y = 1
        const auto moved = runBlock (*plugin, 512);
        ASSERT_EQ (moved.size(), 1u) << attributes;
        EXPECT_EQ (moved[0], cc (0, 1, 7, oneDown)) << attributes;
    }
}
