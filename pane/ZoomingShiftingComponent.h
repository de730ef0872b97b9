// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/PaneView.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <optional>

namespace brisquell
{

class ZoomingShiftingComponent;

//==============================================================================
/** Base of every view on the canvas whose pixel bounds follow from a rectangle in model units.
    The canvas that holds the item is filled in by ZoomingShiftingComponent::addItem.
    Message thread only.
*/
class ZoomableShiftableComponent : public juce::Component
{
public:
    ZoomableShiftableComponent() = default;
    ~ZoomableShiftableComponent() override = default;

    //==============================================================================
    /** Where the item lies in the model, in model units. */
    virtual juce::Rectangle<int> getModelBounds() const = 0;

    /** Receives a rectangle in model units and writes the position back into the model. */
    virtual void setModelBounds (const juce::Rectangle<int>& modelBounds) = 0;

    //==============================================================================
    /** Sets this component's pixel bounds from getModelBounds() through the canvas's origin and
        zoom. Does nothing while the item is on no canvas. Message thread.
    */
    void updateBoundsFromModel();

    /** Converts this component's pixel bounds to whole model units and hands them to
        setModelBounds(). Does nothing while the item is on no canvas. Message thread.
    */
    void updateModelFromBounds();

    /** The canvas holding this item, or none before it has been added. */
    ZoomingShiftingComponent* getCanvas() const noexcept { return canvas; }

private:
    friend class ZoomingShiftingComponent;
    ZoomingShiftingComponent* canvas = nullptr;

    JUCE_DECLARE_NON_COPYABLE (ZoomableShiftableComponent)
};

//==============================================================================
/** The mark whose top-left corner is where model point (0, 0) is shown: a 10 x 10 pixel angle.
    It lets mouse clicks through to the canvas beneath it.
*/
class Origin final : public juce::Component
{
public:
    Origin();

    //==============================================================================
    void paint (juce::Graphics& g) override;

    static constexpr int markSize = 10;

private:
    JUCE_DECLARE_NON_COPYABLE (Origin)
};

//==============================================================================
/** A canvas that shows its items on a plane measured in model units, shifted by an origin mark
    and scaled by one zoom factor per axis:

        pixel = origin + roundHalfEven (model * zoom)

    It owns its items and paints nothing of its own, so whatever lies behind it shows through.
    Message thread only.
*/
class ZoomingShiftingComponent : public juce::Component
{
public:
    ZoomingShiftingComponent();
    ~ZoomingShiftingComponent() override;

    //==============================================================================
    /** The zoom factors, in pixels per model unit (1.0 on a new canvas). */
    float getXZoom() const noexcept { return xZoom; }
    float getYZoom() const noexcept { return yZoom; }

    /** The origin mark's position in this component's pixels (whole numbers). */
    float getOriginX() const noexcept { return (float) origin.getX(); }
    float getOriginY() const noexcept { return (float) origin.getY(); }

    /** The origin mark itself. */
    const Origin& getOrigin() const noexcept { return origin; }

    /** The factors that zoomAt() keeps each axis within. */
    static constexpr float minZoom = 0.1f, maxZoom = 10.0f;

    //==============================================================================
    /** Takes ownership of the item, adds it as a visible child at the top of the child order
        (beneath always-on-top children), and lays it out. A null item is ignored; an item already
        held is only laid out again.
    */
    void addItem (ZoomableShiftableComponent* newItem);

    /** Removes the item from the children and, when this canvas holds it, deletes it. */
    void removeItem (ZoomableShiftableComponent* item);

    /** The items, in the order they were added. */
    int getNumItems() const noexcept { return items.size(); }
    ZoomableShiftableComponent* getItem (int index) const noexcept { return items[index]; }

    /** Lays out every item again from its model bounds, first to last. */
    void updateItems();

    //==============================================================================
    /** A model rectangle's pixel bounds under the current origin and zoom; positions stay within
        +-2^30 pixels, however far away the item is.
    */
    juce::Rectangle<int> modelToPixels (juce::Rectangle<int> modelBounds) const noexcept;

    /** Pixel bounds converted to whole model units (the inverse of modelToPixels, rounded). */
    juce::Rectangle<int> pixelsToModel (juce::Rectangle<int> pixelBounds) const noexcept;

    /** A pixel position converted to whole model units, as a drag would write it. */
    juce::Point<int> pixelToModel (juce::Point<int> pixelPosition) const noexcept;

    //==============================================================================
    /** Multiplies the factors by xFactor and yFactor about the pixel position, keeping the model
        point under it in place. An axis whose new factor would leave 0.1..10 keeps its factor and
        its origin position.
    */
    void zoomAt (float xFactor, float yFactor, float pixelX, float pixelY);

    /** Starts dragging the origin mark with a mouse press on this canvas (middle button). */
    void startDraggingOrigin (const juce::MouseEvent& pressOnCanvas);

    /** Moves the origin mark with the pointer, without limits; the items follow. */
    void dragOrigin (const juce::MouseEvent& dragOnCanvas);

    //==============================================================================
    /** The view, every part present: the origin's pixel position and the zoom factors. */
    PaneView createViewState() const;

    /** Applies a saved view: moves the origin to its offsets (0 when missing) and takes its
        zooms as the factors. A factor that is missing, zero, negative or not finite keeps the
        current factor of that axis. The items are laid out again. No view changes nothing.
    */
    void restoreViewState (const std::optional<PaneView>& view);

    /** The same for a "morphpanestate" element of the state document, read the way the
        document reads it (state::readPaneView). A null element changes nothing.
    */
    void restoreViewState (const juce::XmlElement* state);
    void restoreViewState (const std::unique_ptr<juce::XmlElement>& state) { restoreViewState (state.get()); }

    //==============================================================================
    /** Lays the items out again when the origin mark moves. */
    void childBoundsChanged (juce::Component* child) override;

private:
    void moveOriginTo (int x, int y, bool factorsChanged);

    Origin origin;
    float xZoom = 1.0f, yZoom = 1.0f;
    juce::OwnedArray<ZoomableShiftableComponent> items;
    juce::ComponentDragger originDragger;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZoomingShiftingComponent)
};

} // namespace brisquell
