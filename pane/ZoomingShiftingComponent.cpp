// SPDX-License-Identifier: GPL-3.0-or-later
#include "pane/ZoomingShiftingComponent.h"

#include "engine/Rounding.h"
#include "engine/document/DocumentElements.h"

#include <cmath>

namespace brisquell
{

namespace
{
    // Far-away items stop at +-2^30 pixels instead of wrapping around, which also keeps the
    // framework's own right and bottom edges (x + width) from overflowing.
    constexpr juce::int64 pixelLimit = juce::int64 (1) << 30;

    int addClamped (int a, int b) noexcept
    {
        return (int) juce::jlimit (-pixelLimit, pixelLimit, (juce::int64) a + b);
    }
} // namespace

//==============================================================================
void ZoomableShiftableComponent::updateBoundsFromModel()
{
    if (canvas != nullptr)
        setBounds (canvas->modelToPixels (getModelBounds()));
}

void ZoomableShiftableComponent::updateModelFromBounds()
{
    if (canvas != nullptr)
        setModelBounds (canvas->pixelsToModel (getBounds()));
}

//==============================================================================
Origin::Origin()
{
    setSize (markSize, markSize);

    // The mark sits on the canvas's empty area: presses on it belong to the canvas.
    setInterceptsMouseClicks (false, false);
}

void Origin::paint (juce::Graphics& g)
{
    g.setColour (juce::Colour (0xff000000));
    g.fillRect (0, 0, getWidth(), 1);
    g.fillRect (0, 0, 1, getHeight());
}

//==============================================================================
ZoomingShiftingComponent::ZoomingShiftingComponent()
{
    addAndMakeVisible (origin);
    origin.setTopLeftPosition (0, 0);
}

ZoomingShiftingComponent::~ZoomingShiftingComponent()
{
    // Items go before the origin, and none of them is laid out again on the way.
    for (auto* item : items)
    {
        removeChildComponent (item);
        item->canvas = nullptr;
    }

    items.clear (true);
    removeChildComponent (&origin);
}

//==============================================================================
void ZoomingShiftingComponent::addItem (ZoomableShiftableComponent* newItem)
{
    if (newItem == nullptr)
        return;

    if (! items.contains (newItem))
    {
        addAndMakeVisible (newItem);
        newItem->canvas = this;
        items.add (newItem);
    }

    newItem->updateBoundsFromModel();
}

void ZoomingShiftingComponent::removeItem (ZoomableShiftableComponent* item)
{
    if (item == nullptr)
        return;

    removeChildComponent (item);

    if (items.contains (item))
    {
        item->canvas = nullptr;
        items.removeObject (item, true);
    }
}

void ZoomingShiftingComponent::updateItems()
{
    for (int i = 0; i < items.size(); ++i)
        items.getUnchecked (i)->updateBoundsFromModel();
}

//==============================================================================
juce::Rectangle<int> ZoomingShiftingComponent::modelToPixels (juce::Rectangle<int> modelBounds) const noexcept
{
    // Each product is a single-precision value, rounded half to even; the origin is added after.
    const float scaledWidth = (float) modelBounds.getWidth() * xZoom;
    const float scaledHeight = (float) modelBounds.getHeight() * yZoom;
    const float scaledX = (float) modelBounds.getX() * xZoom;
    const float scaledY = (float) modelBounds.getY() * yZoom;

    return { addClamped (origin.getX(), roundHalfEven (scaledX)),
             addClamped (origin.getY(), roundHalfEven (scaledY)),
             roundHalfEven (scaledWidth),
             roundHalfEven (scaledHeight) };
}

juce::Rectangle<int> ZoomingShiftingComponent::pixelsToModel (juce::Rectangle<int> pixelBounds) const noexcept
{
    const float modelX = (float) ((juce::int64) pixelBounds.getX() - origin.getX()) / xZoom;
    const float modelY = (float) ((juce::int64) pixelBounds.getY() - origin.getY()) / yZoom;
    const float modelWidth = (float) pixelBounds.getWidth() / xZoom;
    const float modelHeight = (float) pixelBounds.getHeight() / yZoom;

    return { roundHalfEven (modelX), roundHalfEven (modelY), roundHalfEven (modelWidth), roundHalfEven (modelHeight) };
}

juce::Point<int> ZoomingShiftingComponent::pixelToModel (juce::Point<int> pixelPosition) const noexcept
{
    return pixelsToModel ({ pixelPosition.x, pixelPosition.y, 0, 0 }).getPosition();
}

//==============================================================================
void ZoomingShiftingComponent::zoomAt (float xFactor, float yFactor, float pixelX, float pixelY)
{
    const float newXZoom = xZoom * xFactor;
    const float newYZoom = yZoom * yFactor;
    const float ox = getOriginX(), oy = getOriginY();
    float dx = 0.0f, dy = 0.0f;
    bool factorsChanged = false;

    // The comparisons also refuse NaN factors.
    if (newXZoom >= minZoom && newXZoom <= maxZoom)
    {
        dx = (ox - pixelX) * (newXZoom - xZoom) / xZoom;
        factorsChanged = factorsChanged || newXZoom != xZoom;
        xZoom = newXZoom;
    }

    if (newYZoom >= minZoom && newYZoom <= maxZoom)
    {
        dy = (oy - pixelY) * (newYZoom - yZoom) / yZoom;
        factorsChanged = factorsChanged || newYZoom != yZoom;
        yZoom = newYZoom;
    }

    moveOriginTo ((int) std::trunc (ox + dx), (int) std::trunc (oy + dy), factorsChanged);
}

void ZoomingShiftingComponent::startDraggingOrigin (const juce::MouseEvent& pressOnCanvas)
{
    originDragger.startDraggingComponent (&origin, pressOnCanvas);
}

void ZoomingShiftingComponent::dragOrigin (const juce::MouseEvent& dragOnCanvas)
{
    originDragger.dragComponent (&origin, dragOnCanvas, nullptr);
}

void ZoomingShiftingComponent::moveOriginTo (int x, int y, bool factorsChanged)
{
    const auto before = origin.getPosition();
    origin.setTopLeftPosition (x, y);

    // A move lays the items out through childBoundsChanged; new factors under an origin that
    // stayed put still need a layout, or the items would keep their old scale.
    if (factorsChanged && origin.getPosition() == before)
        updateItems();
}

//==============================================================================
PaneView ZoomingShiftingComponent::createViewState() const
{
    PaneView view;
    view.xOffset = origin.getX();
    view.yOffset = origin.getY();
    view.xZoom = xZoom;
    view.yZoom = yZoom;
    return view;
}

void ZoomingShiftingComponent::restoreViewState (const std::optional<PaneView>& view)
{
    if (! view)
        return;

    const auto oldXZoom = xZoom, oldYZoom = yZoom;

    if (view->xZoom && isUsableZoom (*view->xZoom))
        xZoom = *view->xZoom;

    if (view->yZoom && isUsableZoom (*view->yZoom))
        yZoom = *view->yZoom;

    moveOriginTo (view->xOffset.value_or (0), view->yOffset.value_or (0), xZoom != oldXZoom || yZoom != oldYZoom);
}

void ZoomingShiftingComponent::restoreViewState (const juce::XmlElement* state)
{
    if (state != nullptr)
        restoreViewState (brisquell::state::readPaneView (*state));
}

//==============================================================================
void ZoomingShiftingComponent::childBoundsChanged (juce::Component* child)
{
    if (child == &origin)
        updateItems();
}

} // namespace brisquell
