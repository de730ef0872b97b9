// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace brisquell
{

//==============================================================================
/** The plug-in's look: scroll bars, text-editor outlines and pop-up menu items drawn as rounded,
    mostly outlined shapes in the current colour, scroll bars smaller than the framework's, and
    no drop shadows. Everything else is the framework's default look in its light colour scheme,
    so that text is dark on the editor's white background.

    One instance serves the whole process: see SharedK4TZLook.
*/
class K4TZLook final : public juce::LookAndFeel_V4
{
public:
    K4TZLook();
    ~K4TZLook() override;

    static constexpr int scrollbarWidth = 12;
    static constexpr int minimumThumbSize = 8;
    static constexpr int scrollbarButtonSize = 8;

    //==============================================================================
    void drawScrollbarButton (juce::Graphics&, juce::ScrollBar&, int width, int height, int buttonDirection, bool isScrollbarVertical, bool isMouseOverButton, bool isButtonDown) override;

    void drawScrollbar (juce::Graphics&, juce::ScrollBar&, int x, int y, int width, int height, bool isScrollbarVertical, int thumbStartPosition, int thumbSize, bool isMouseOver, bool isMouseDown) override;

    int getMinimumScrollbarThumbSize (juce::ScrollBar&) override;
    int getDefaultScrollbarWidth() override;
    int getScrollbarButtonSize (juce::ScrollBar&) override;

    void drawTextEditorOutline (juce::Graphics&, int width, int height, juce::TextEditor&) override;

    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;

    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area, bool isSeparator, bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu, const juce::String& text, const juce::String& shortcutKeyText, const juce::Drawable* icon, const juce::Colour* textColour) override;

    /** No window gets a drop shadow: answers none. */
    std::unique_ptr<juce::DropShadower> createDropShadowerForComponent (juce::Component&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (K4TZLook)
};

//==============================================================================
/** The process's one K4TZLook and its place as the framework's default look.

    Every editor holds one of these. The first holder creates the look and makes it the default;
    when the last holder goes, the default is put back to the framework's own and the look is
    deleted, so no dangling default remains and the look outlives every component of every
    editor that draws with it (the holder is the editor's first member, destroyed after its
    children). Message thread only.
*/
class SharedK4TZLook final
{
public:
    SharedK4TZLook();
    ~SharedK4TZLook();

    /** The shared look. */
    K4TZLook& get() const noexcept;

    /** How many holders exist now (for tests). */
    static int getNumHolders() noexcept;

private:
    struct Holder;
    juce::SharedResourcePointer<Holder> holder;

    JUCE_DECLARE_NON_COPYABLE (SharedK4TZLook)
};

} // namespace brisquell
