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

} // namespace
} // namespace brisquell
