// SPDX-License-Identifier: GPL-3.0-or-later
// The editor embedded as hosts with their own controls embed it: in a window under a toolbar,
// which the host sizes from the editor's.
#include "EditorThroughHostFixture.h"

namespace brisquell
{
namespace
{

struct ServerSizes
{
    std::pair<int, int> editor, embedding;
};

TEST_F (EditorThroughHost, InAHostWindowSizedFromTheEditorsTheSizeSettlesAtOnceAndStays)
{
    // A host that adds its toolbar exactly, and one that counts its frame 6 pixels too many
    // (each answer to the editor's size leaves the editor's parent 6 pixels taller than it).
    for (const auto miscount : { 0, 6 })
    {
        SCOPED_TRACE ("miscount " + std::to_string (miscount));
        auto& shown = openFramedWindow ({ 34, 392, miscount });

        const auto sizesNow = [&]
        {
            ServerSizes sizes;
            EXPECT_TRUE (shown.queryChildSize (sizes.editor.first, sizes.editor.second));
            XWindowAttributes attributes{};
            XGetWindowAttributes (reader, shown.getEmbeddingWindowId(), &attributes);
            sizes.embedding = { attributes.width, attributes.height };
            return sizes;
        };

        // Opened: the editor fills the toolbar's width, and the host's answers end at once.
        ASSERT_TRUE (pumpUntil ([&]
                                { return sizesNow().editor.first == 392; }));
        pumpFor (500);
        const auto settled = sizesNow();
        EXPECT_LE (settled.editor.second, 300 + 2 * miscount);
        EXPECT_LE (settled.embedding.second - settled.editor.second, miscount);
        const auto requests = plugin->getCallbackCount (audioMasterSizeWindow);
        pumpFor (2000);
        EXPECT_EQ (sizesNow().editor, settled.editor) << "the editor stays";
        EXPECT_EQ (sizesNow().embedding, settled.embedding) << "the host's window stays";
        EXPECT_EQ (plugin->getCallbackCount (audioMasterSizeWindow), requests) << "no more requests";

        // The user makes the host's window 600 x 500: the editor takes what the toolbar leaves,
        // in one step, and keeps it; that size is what the project saves.
        shown.resizeByUser (600, 500);
        ASSERT_TRUE (pumpUntil ([&]
                                { return sizesNow().editor.first == 600; }));
        pumpFor (500);
        const auto followed = sizesNow();
        EXPECT_EQ (followed.editor.second, 500 - 34);
        pumpFor (2000);
        EXPECT_EQ (sizesNow().editor, followed.editor);
        EXPECT_EQ (sizesNow().embedding, followed.embedding);
        EXPECT_EQ (editorRect(), followed.editor);

        window.reset();
        const auto document = savedDocument();
        ASSERT_NE (document, nullptr);
        EXPECT_EQ (document->getChildByName ("gui")->getIntAttribute ("width"), followed.editor.first);
        EXPECT_EQ (document->getChildByName ("gui")->getIntAttribute ("height"), followed.editor.second);
        restoreDocument (R"(<brisquell><controllers/><scenes/><gui width="300" height="300"/></brisquell>)");
    }
}

} // namespace
} // namespace brisquell
