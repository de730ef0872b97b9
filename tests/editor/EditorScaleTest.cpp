// SPDX-License-Identifier: GPL-3.0-or-later
// The editor at a scale: the numbers of a row inside their outlines at every scale the menu
// offers, and (through the built plug-in and the bundled host) the host's scale, the scale chosen
// in the pane's menu and kept in the project, and the picture at 100 % and 200 %.
#include "ModelHelpers.h"
#include "editor/ControllerList.h"
#include "editor/K4TZLook.h"

// Last: it brings Xlib's macros.
#include "EditorThroughHostFixture.h"

namespace brisquell
{
namespace
{

//==============================================================================
/** Whether the pixel of a box's image (drawn on nothing) shows anything over the row's white. */
bool isMarked (const juce::Image& image, int x, int y)
{
    return juce::Colours::white.overlaidWith (image.getPixelAt (x, y)).getBrightness() < 0.99f;
}

/** Whether a box's text keeps clear of its outline: the box drawn at the scale with its text and
    with none; the pixels that differ are the text's ink, and none of them may be one the outline
    colours (its antialiased edge included) or lie outside the outline.
*/
testing::AssertionResult textClearsOutline (TextBoxSlider& box, float scale)
{
    const auto text = box.getText();
    const auto withText = box.createComponentSnapshot (box.getLocalBounds(), true, scale);
    box.setText ({}, juce::dontSendNotification);
    const auto outlineOnly = box.createComponentSnapshot (box.getLocalBounds(), true, scale);
    box.setText (text, juce::dontSendNotification);

    const auto width = outlineOnly.getWidth(), height = outlineOnly.getHeight();
    std::vector<int> left ((size_t) height, width), right ((size_t) height, -1);
    auto numInk = 0;

    // The outline's pixels in each line: the text must lie between its left and right ones.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (isMarked (outlineOnly, x, y))
            {
                left[(size_t) y] = juce::jmin (left[(size_t) y], x);
                right[(size_t) y] = juce::jmax (right[(size_t) y], x);
            }

    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (withText.getPixelAt (x, y) != outlineOnly.getPixelAt (x, y))
            {
                ++numInk;
                const auto onOutline = isMarked (outlineOnly, x, y);

                if (onOutline || x <= left[(size_t) y] || x >= right[(size_t) y] || y == 0 || y == height - 1)
                    return testing::AssertionFailure() << "\"" << text << "\" at " << scale << " crosses its outline at (" << x << ", " << y
                                                       << ") of " << width << " x " << height;
            }

    if (numInk == 0)
        return testing::AssertionFailure() << "\"" << text << "\" at " << scale << " draws nothing";

    return testing::AssertionSuccess();
}

TEST (EditorScale, EveryNumberARowShowsFitsItsBoxAtEveryScale)
{
    SharedK4TZLook look;
    Brisquell model;
    model.setAutoKey (false);
    auto* controller = model.addController (0, 1);
    model.deliverPendingNotifications();
    ControllerGUI row (*controller, model);
    row.setBounds (0, 0, 108, 24);

    // The widest numbers of each range (every digit repeated, the ends) and a spread between.
    std::vector<int> values{ 0, 1, 8, 16, 88, 99, 100, 111, 127, 1000, 8888, 9999, 10000, 11111, 12888, 13333, 14444, 15555, 16000, 16383 };

    for (int v = 0; v <= 16383; v += 379)
        values.push_back (v);

    for (auto kind : { ControllerKind::sevenBit, ControllerKind::fourteenBit, ControllerKind::nrpn })
    {
        controller->setKind (kind);
        row.refresh();

        for (auto scale : { 1.0f, 1.25f, 1.5f, 2.0f })
            for (auto* box : { &row.getValueBox(), &row.getChannelBox(), &row.getCcNumberBox() })
                for (auto value : values)
                {
                    if (value > box->getMaximum())
                        continue;

                    box->setValue (value, juce::dontSendNotification);
                    ASSERT_TRUE (textClearsOutline (*box, scale)) << "kind " << (int) kind;
                }
    }
}

//==============================================================================
// Four controllers (the widest values of each kind among them) and a scene, at 400 x 300.
constexpr const char* scaleDocument = R"(<brisquell><controllers>
    <controller ccno="20" channel="1" name="cutoff"><value value="127" scene="0"/></controller>
    <controller ccno="21" channel="16" name="fine" kind="cc14"><value value="16383" scene="0"/></controller>
    <controller ccno="16383" channel="2" name="nrpn" kind="nrpn"><value value="16383" scene="0"/></controller>
    <controller ccno="23" channel="2" name="drive"><value value="88" scene="0"/></controller>
    </controllers><scenes><scene x="150" y="100" name="lead" colour="ff1f5fd4"/></scenes>
    <gui width="400" height="300"/><session selection="0"/></brisquell>)";

/** The text's pixels in the area: all of its ink, and those of them that are antialiased edge
    rather than solid. Text drawn anew at twice the size has half as much edge for its ink; an
    enlarged picture has as much.
*/
std::pair<int, int> countInk (const juce::Image& image, juce::Rectangle<int> area)
{
    int ink = 0, edge = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
        {
            const auto brightness = image.getPixelAt (x, y).getBrightness();
            ink += brightness < 0.9f ? 1 : 0;
            edge += brightness >= 0.25f && brightness < 0.9f ? 1 : 0;
        }

    return { ink, edge };
}

float edgeShare (const juce::Image& image, juce::Rectangle<int> area)
{
    const auto [ink, edge] = countInk (image, area);
    return ink > 0 ? (float) edge / (float) ink : 1.0f;
}

void saveForLooking (const juce::Image& image, const juce::String& name)
{
    const auto file = juce::File (BRISQUELL_TEST_OUTPUT_DIR).getChildFile (name);
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream stream (file);
    juce::PNGImageFormat().writeImageToStream (image, stream);
}

TEST_F (EditorThroughHost, TheHostsScaleDrawsTheEditorAnewAtTwiceTheSize)
{
    restoreDocument (scaleDocument);
    auto& shown = openWindow();
    keepWindowContentsOffScreen();
    ASSERT_TRUE (pumpUntil ([this]
                            { return editorRect() == std::make_pair (400, 300); }));
    ASSERT_TRUE (waitForPixel (380, 280, 0xffffff)) << "the editor paints at 100 %";
    pumpFor (300);
    const auto at100 = windowImage (400, 300);
    ASSERT_TRUE (at100.isValid());
    saveForLooking (at100, "editor-100.png");

    // A host on a 200 % screen says so (effVendorSpecific 'PreS' 'AeCs' 2.0) while the editor
    // is open: the host's window is asked to take twice the size, which the editor fills.
    EXPECT_EQ (plugin->setContentScale (2.0f), 1);
    ASSERT_TRUE (shown.pumpUntilEditorSizeIs (800, 600, test::eventTimeoutMs)) << editorRect().first << " x " << editorRect().second;
    int serverWidth = 0, serverHeight = 0;
    ASSERT_TRUE (shown.queryServerSize (serverWidth, serverHeight));
    EXPECT_EQ (std::make_pair (serverWidth, serverHeight), std::make_pair (800, 600));
    ASSERT_TRUE (waitForPixel (780, 580, 0xffffff)) << "the editor paints all of it at 200 %: " << std::hex << pixelAt (780, 580);
    pumpFor (300);
    const auto at200 = windowImage (800, 600);
    ASSERT_TRUE (at200.isValid());
    saveForLooking (at200, "editor-200.png");

    // Each row's value drawn at both, four times the ink at twice the size.
    for (int row = 0; row < 4; ++row)
    {
        const juce::Rectangle<int> valueBox (4, row * 24 + 4, 27, 16);
        const auto ink100 = countInk (at100, valueBox).first, ink200 = countInk (at200, valueBox * 2).first;
        EXPECT_GT (ink100, 30) << "row " << row;
        EXPECT_NEAR ((float) ink200 / (float) ink100, 4.0f, 1.0f) << "row " << row;
    }

    // Drawn anew, not enlarged: the text's edges take a much smaller share of its ink, and the
    // picture is not the 100 % one with every pixel doubled.
    const juce::Rectangle<int> rows (0, 0, 108, 4 * 24);
    const auto share100 = edgeShare (at100, rows), share200 = edgeShare (at200, rows * 2);
    EXPECT_LT (share200, share100 * 0.75f) << "edge share " << share100 << " at 100 %, " << share200 << " at 200 %";

    auto differing = 0;

    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            differing += at200.getPixelAt (x, y) != at100.getPixelAt (x / 2, y / 2) ? 1 : 0;

    EXPECT_GT (differing, 2000) << "pixels that differ from the doubled 100 % picture";

    // The editor fills a host window the user makes larger; the size the project keeps is the
    // editor's own, in its units, whatever the screen.
    shown.resizeByUser (900, 700);
    ASSERT_TRUE (shown.pumpUntilEditorSizeIs (900, 700, test::eventTimeoutMs)) << editorRect().first << " x " << editorRect().second;
    window.reset();
    const auto document = savedDocument();
    ASSERT_NE (document, nullptr);
    EXPECT_EQ (document->getChildByName ("gui")->getIntAttribute ("width"), 450);
    EXPECT_EQ (document->getChildByName ("gui")->getIntAttribute ("height"), 350);
    EXPECT_EQ (document->getChildByName ("session")->hasAttribute ("scale"), false);
}

TEST_F (EditorThroughHost, TheScaleChosenInThePanesMenuIsKeptInTheProject)
{
    restoreDocument (scaleDocument);
    auto& shown = openWindow();
    keepWindowContentsOffScreen();
    ASSERT_TRUE (waitForPixel (380, 280, 0xffffff));

    // A right click on the empty pane; the menu's last item, "scale", its submenu (on "follow
    // the host"), down to "150 %".
    rightClickThenType (300, 250, { XK_Up, XK_Right, XK_Down, XK_Down, XK_Down, XK_Return });
    ASSERT_TRUE (shown.pumpUntilEditorSizeIs (600, 450, test::eventTimeoutMs)) << editorRect().first << " x " << editorRect().second;

    const auto project = plugin->getChunk();
    window.reset();
    const auto document = chunk::read (project.data(), project.size());
    ASSERT_NE (document, nullptr);
    EXPECT_EQ (document->getChildByName ("session")->getStringAttribute ("scale"), "150");
    EXPECT_EQ (document->getChildByName ("gui")->getIntAttribute ("width"), 400);

    // The project reopened in a new instance: the editor opens at 150 %.
    std::string error;
    plugin = host::Plugin::load (BRISQUELL_PLUGIN_PATH, {}, error);
    ASSERT_NE (plugin, nullptr) << error;
    plugin->setChunk (project);
    auto& reopened = openWindow();
    keepWindowContentsOffScreen();
    ASSERT_TRUE (reopened.pumpUntilEditorSizeIs (600, 450, test::eventTimeoutMs)) << editorRect().first << " x " << editorRect().second;
    ASSERT_TRUE (waitForPixel (580, 430, 0xffffff));

    // The chosen scale wins over the host's; "follow the host" gives the host's back and takes
    // the attribute out of the document again.
    plugin->setContentScale (2.0f);
    pumpFor (200);
    EXPECT_EQ (editorRect(), std::make_pair (600, 450));
    rightClickThenType (450, 400, { XK_Up, XK_Right, XK_Return });
    ASSERT_TRUE (reopened.pumpUntilEditorSizeIs (800, 600, test::eventTimeoutMs)) << editorRect().first << " x " << editorRect().second;
    window.reset();
    const auto followed = savedDocument();
    ASSERT_NE (followed, nullptr);
    EXPECT_FALSE (followed->getChildByName ("session")->hasAttribute ("scale"));
}

TEST_F (EditorThroughHost, TheDocumentsScaleIsTakenWithinItsLimitsAndAnyOtherFollowsTheHost)
{
    const std::pair<const char*, int> cases[] = { { "50", 200 }, { "400", 1600 }, { "125", 500 }, { "49", 400 }, { "401", 400 }, { "0", 400 }, { "-150", 400 }, { "150.5", 400 }, { "1e2", 400 }, { "abc", 400 }, { "", 400 } };

    for (auto [text, width] : cases)
    {
        const auto document = juce::String (R"(<brisquell><controllers/><scenes/><gui width="400" height="300"/><session scale=")") + text + "\"/></brisquell>";
        restoreDocument (document.toRawUTF8());
        auto& shown = openWindow();
        EXPECT_TRUE (shown.pumpUntilEditorSizeIs (width, width * 3 / 4, test::eventTimeoutMs)) << "scale=\"" << text << "\": " << editorRect().first << " x " << editorRect().second;
        window.reset();

        const auto saved = savedDocument();
        ASSERT_NE (saved, nullptr);
        const auto* session = saved->getChildByName ("session");
        EXPECT_EQ (session != nullptr ? session->getStringAttribute ("scale") : juce::String(), width == 400 ? juce::String() : juce::String (text)) << text;
    }
}

} // namespace
} // namespace brisquell
