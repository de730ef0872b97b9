// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ControllerKind.h"
#include "engine/MidiControl.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <optional>
#include <vector>

namespace brisquell
{

class Brisquell;
class Controller;
class Scene;
class SceneValue;

//==============================================================================
/** The longest name a controller or a scene keeps, in characters; the editor lets the user type
    far fewer. Every character of a name may be written as one character reference, and the
    state chunk's reader accepts at most this many in an attribute value.
*/
constexpr int maxStorableNameLength = 4096;

/** A name as a controller or a scene keeps it: cut to maxStorableNameLength characters, and every
    character that no state document can carry (a UTF-16 surrogate, or beyond U+10FFFF) replaced
    by U+FFFD. So whatever is typed, pasted or restored, the next save writes a document that the
    plug-in reads back as it was.
*/
juce::String toStorableName (const juce::String& name);

//==============================================================================
/** A point on the morph pane, in model units. The coordinates are atomics so that a view
    dragging an item on the message thread and the audio thread reading it never race; the
    model's lock orders everything that is computed from them.
*/
class XYItem
{
public:
    XYItem() = default;
    virtual ~XYItem() = default;

    /** The position in model units. Any thread. */
    juce::Point<float> getPosition() const noexcept { return { x.load (std::memory_order_relaxed), y.load (std::memory_order_relaxed) }; }

protected:
    void storePosition (float newX, float newY) noexcept
    {
        x.store (newX, std::memory_order_relaxed);
        y.store (newY, std::memory_order_relaxed);
    }

private:
    std::atomic<float> x{ 0.0f }, y{ 0.0f };

    JUCE_DECLARE_NON_COPYABLE (XYItem)
};

//==============================================================================
/** A positioned item of the model that a view on the module pane shows. */
class Module : public XYItem
{
public:
    /** Stores the position and then always calls positionChanged(), also when nothing moved.
        A position with a non-finite coordinate (NaN or infinity) is ignored entirely: it could
        only poison every distance. Any thread.
    */
    void setPosition (float newX, float newY);

    /** Called after every setPosition. */
    virtual void positionChanged() {}

    /** The module's view forwards its mouse press, drag and release here (message thread). */
    virtual void mouseDown (const juce::MouseEvent&) {}
    virtual void mouseDrag (const juce::MouseEvent&) {}
    virtual void mouseUp (const juce::MouseEvent&) {}
};

//==============================================================================
/** The value of one controller in one scene. It is listed once in its controller's values and
    once in its scene's values, and lives until either of them is destroyed.
    The value is an atomic: the audio thread overwrites it while the editor may read it.
*/
class SceneValue final
{
public:
    /** Creates the record and appends it to the controller's and the scene's lists.
        The caller holds the model's lock.
    */
    SceneValue (int value, Scene& scene, Controller& controller);

    /** Unlinks the record from its scene's list, then from its controller's list. */
    ~SceneValue();

    /** The stored value. Any thread. */
    int getValue() const noexcept { return value.load (std::memory_order_relaxed); }

    /** Overwrites the stored value. It neither notifies nor causes output, but the controller's
        interpolated value is recomputed from it. Any thread; takes the model's lock.
    */
    void setValue (int newValue);

    Scene& getScene() const noexcept { return scene; }
    Controller& getController() const noexcept { return controller; }

    /** Writes this record's stored value in its controller's form when the controller has a
        send request pending (audit output). Audio thread (any thread is safe).
    */
    void send (MidiTickWriter& writer);

    /** True for the record that holds its controller's value in its scene (see first); false
        for a later duplicate a restored document held. Lock held.
    */
    bool isFirstInScene() const noexcept { return first == this; }

    /** Makes this record a duplicate of an earlier record for the same controller and scene,
        as a restored document may hold them. While the document's records are built.
    */
    void followFirst (const SceneValue& earlier) noexcept { first = &earlier; }

private:
    friend class Controller;
    friend class Interpolation;

    std::atomic<int> value;
    Scene& scene;
    Controller& controller;

    // The first record for the same controller and scene: itself, unless a restored document
    // held duplicates. The interpolation takes the scene's value for the controller from it, as
    // Scene::getValueFor does. Both die together, since they share their controller and scene.
    const SceneValue* first = this;

    JUCE_DECLARE_NON_COPYABLE (SceneValue)
};

//==============================================================================
/** A point on the morph pane that stores at most one value per controller. */
class Scene final : public Module
{
public:
    /** Creates an unpositioned scene of the model; position it before handing it to addScene. */
    explicit Scene (Brisquell& owner);

    /** Destroys every SceneValue of the scene, unlinking them from their controllers.
        The caller holds the model's lock or owns the scene alone.
    */
    ~Scene() override;

    //==============================================================================
    /** Invalidates the scene's caches and tells the model that a scene moved; a scene already
        removed from the model does nothing. Any thread.
    */
    void positionChanged() override;

    //==============================================================================
    /** The ids of the scene's own menu items; the pane's scene view shows them on a right click
        and adds the items that edit the scene's look and values (ids from 10).
    */
    enum MenuItemIds
    {
        deleteItem = 1,
        learnTriggerItem = 2,
        forgetTriggerItem = 3
    };

    /** The scene's menu: "delete", "learn trigger" (ticked while the model waits to learn this
        scene's trigger) and "forget trigger". Message thread.
    */
    juce::PopupMenu createMenu() const;

    /** Acts on a choice from createMenu(), if the scene is still in the model: deletes it,
        waits for the next note-on or program change to become its trigger (choosing it again
        while waiting cancels), or clears its trigger. Message thread.
    */
    void menuItemChosen (int itemId);

    /** The scene's trigger, and the number that names this scene in learn requests, unique
        among all scenes ever made. Any thread.
    */
    SceneTrigger getTrigger() const;
    juce::uint32 getSerial() const noexcept { return serial; }

    //==============================================================================
    /** The scene's name, empty until the user gives it one. Any thread. */
    juce::String getName() const;

    /** Renames the scene; the name is kept as toStorableName() makes it. Any thread. */
    void setName (const juce::String& newName);

    /** The colour the user chose for the scene, or none (the pane then draws it in its default
        black). Any thread.
    */
    std::optional<juce::Colour> getColour() const;

    /** Gives the scene a colour, or takes it away with none. The state document has always
        written "ff000000" (opaque black) for every scene, so that text means "no colour chosen":
        opaque black is never a chosen colour, and choosing it takes the colour away. Any thread.
    */
    void setColour (std::optional<juce::Colour> newColour);

    /** What the pane writes on the scene: its name, or else its number (its position in the
        model's scene list, counting from 1); empty for a scene that is not in the model.
        Any thread.
    */
    juce::String getLabel() const;

    /** The value stored for the controller, or -1 when the scene holds none. Any thread. */
    int getValueFor (const Controller& controller) const;

    /** The number of values stored in this scene. Any thread. */
    int getNumValues() const;

    /** Marks distance, raw weight and weight as stale. Any thread; takes the model's lock. */
    void invalidate();

    /** The cached interpolation terms, brought up to date first. Any thread. */
    float getDistance() const;
    float getRawWeight() const;
    float getWeight() const;

    /** Sends every stored value whose controller has a send request, last to first.
        Audio thread (any thread is safe); takes the model's lock.
    */
    void sendValues (MidiTickWriter& writer);

    /** The scene's position in the model's scene list, or -1. Any thread. */
    int getIndex() const;

    Brisquell& getModel() const noexcept { return model; }

    //==============================================================================
    // For the model, with its lock held (or with the scene not yet shared, while the records of
    // a restored document are built).

    /** Takes a restored document's place, trigger, name and colour as they are, and joins the
        model's list.
    */
    void restore (juce::Point<float> position, SceneTrigger restoredTrigger, const juce::String& restoredName, std::optional<juce::Colour> restoredColour);

    /** Takes another scene's name and colour (a duplicate's look). */
    void copyLookFrom (const Scene& source);

    /** The scene joins the model's scene list; leaves it for good (it waits to be destroyed and
        no longer moves the model); is in it.
    */
    void joinList() noexcept { listed = true; }
    void retire() noexcept { retired = true; listed = false; }
    bool isListed() const noexcept { return listed; }

    void setTriggerLocked (SceneTrigger newTrigger) noexcept { trigger = newTrigger; }

    /** Marks distance, raw weight and weight as stale (invalidate without the lock). */
    void markStale() noexcept { distanceStale = rawWeightStale = weightStale = true; }

    /** The scene's values, in the order they were made. */
    const std::vector<SceneValue*>& getValues() const noexcept { return values; }

    /** Destroys every value of the scene; their controllers work out their values anew. */
    void destroyValues();

private:
    friend class SceneValue;
    friend class Controller;
    friend class Interpolation;

    Brisquell& model;
    const juce::uint32 serial;
    std::vector<SceneValue*> values;
    SceneTrigger trigger; // guarded by the model's lock

    // The scene's look, guarded by the model's lock.
    juce::String name;
    std::optional<juce::Colour> colour;

    // Interpolation caches, guarded by the model's lock. They are kept in double precision
    // internally; the getters hand out floats.
    double distance = 0.0, rawWeight = 0.0, weight = 0.0;
    int mixSlot = -1; // the scene's place in the interpolation's layout (see Interpolation)
    bool distanceStale = true, rawWeightStale = true, weightStale = true;

    // listed: the scene is in the model's scene list (only such scenes take values or join the
    // selection). retired: it was removed and waits to be destroyed; it no longer moves the model.
    bool listed = false;
    bool retired = false;

    // A view's menu or dialog refers to its scene weakly: a scene destroyed while they are open
    // reads as gone, even when a new scene later takes its address.
    JUCE_DECLARE_WEAK_REFERENCEABLE (Scene)
    JUCE_LEAK_DETECTOR (Scene)
};

//==============================================================================
/** The morph cursor. Its own change broadcaster tells the cursor view about moves; those
    notifications are delivered synchronously on the message thread by the model's pump.
*/
class Cursor final : public Module,
                     public juce::ChangeBroadcaster
{
public:
    explicit Cursor (Brisquell& owner);

    /** Tells the model that the cursor was put here directly (which ends any glide); the
        cursor's listeners hear of it on the message thread.
    */
    void positionChanged() override;

    Brisquell& getModel() const noexcept { return model; }

    /** A step of a glide: stores the position and tells the model that the cursor moved,
        leaving the glide running. The model's glide, lock held.
    */
    void moveAlongGlide (juce::Point<float> position);

    /** Stores the position without telling anyone: the model keeps a restored cursor within
        its range this way, lock held.
    */
    void storePositionQuietly (juce::Point<float> position) noexcept { storePosition (position.x, position.y); }

private:
    Brisquell& model;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Cursor)
};

//==============================================================================
/** How the selected scenes agree on a controller's value. */
enum class SelectionState
{
    NoValue = 0,
    Differing = 1,
    Agreeing = 2
};

//==============================================================================
/** One MIDI control-change controller that the plug-in drives. The controller itself is the
    subject of model notifications about it; its own broadcaster sends nothing.
*/
class Controller final : public juce::ChangeBroadcaster
{
public:
    /** A new controller has its send request and stale flag set, 7-bit CC 0 on channel 1. */
    explicit Controller (Brisquell& owner);

    /** Destroys every SceneValue of the controller, unlinking them from their scenes. */
    ~Controller() override;

    //==============================================================================
    /** Plain accessors: the setters neither notify nor mark anything. The number is the CC
        number, or for an NRPN the parameter number; a controller of a 14-bit kind keeps it
        within its kind's range (see limitNumber), a 7-bit one keeps what it is given. Any thread.
    */
    int getCcNumber() const;
    void setCcNumber (int newCcNumber);
    int getChannel() const;
    void setChannel (int newChannel);
    juce::String getName() const;

    /** Stores the name as toStorableName() makes it. */
    void setName (const juce::String& newName);

    /** How the controller's value goes out and comes in (see ControllerKind). Any thread. */
    ControllerKind getKind() const;

    /** Changes the kind: every stored value is rescaled so that it sounds the same (see
        rescaleValue), the number is clamped into the new kind's range, the value goes out in
        its new form at the next tick and the controller's listeners are told. Any thread.
    */
    void setKind (ControllerKind newKind);

    /** The highest value of the controller's kind: 127 or 16383. Any thread. */
    int getMaximumValue() const;

    //==============================================================================
    /** The number of the controller's scene values, and the index-th (none when out of range).
        The record stays valid on the message thread until the model's next notification round.
    */
    int getNumSceneValues() const;
    SceneValue* getSceneValue (int index) const;

    /** The controller's first value in the scene, or none. Any thread. */
    SceneValue* findSceneValue (const Scene& scene) const;

    /** Overwrites the value in the scene, or adds it; then marks the controller changed. A
        controller of a 14-bit kind clamps the value into 0..16383 (a 7-bit one keeps it). Scenes that are not in this controller's model, and records already removed, are left
        alone. Any thread (the audio thread through MIDI input); model lock taken.
    */
    void setValueInScene (int value, Scene& scene);

    /** Sets the send request and stale flag and the model's valuesChanged flag. Any thread. */
    void markChanged();

    /** True when a send is pending or scenes moved; clears the pending send in every case.
        Any thread (the audio thread during output); takes the model's lock.
    */
    bool takeSendRequest();

    /** The interpolated value (rounded half to even, not clamped). Any thread. */
    int getValue() const;

    /** A new value from MIDI input or the editor: stored in every selected scene; with no
        selection and auto-key on, a scene is keyed at the cursor and the value stored in it, and
        keying sends no other controller. Any thread.
    */
    void setValue (int value);

    /** How the selected scenes agree on this controller's value. Any thread. */
    SelectionState getSelectionState() const;

    /** Removes and destroys this controller through the model (see removeController). */
    void removeFromModel();

    Brisquell& getModel() const noexcept { return model; }

    /** The model's notifier marks a change of this controller and, on the message thread, takes
        the mark when it tells the listeners. Any thread; no lock, no allocation.
    */
    void markNotificationPending() noexcept { notificationPending.store (true); }
    bool takeNotificationPending() noexcept { return notificationPending.exchange (false); }

    //==============================================================================
    // For the model, with its lock held (or with the controller not yet shared, while the
    // records of a restored document are built).

    /** Takes the kind, number, channel and name as given: a new controller's, or a restored
        document's, which its reader has already brought into range.
    */
    void setUp (ControllerKind newKind, int number, int newChannel, const juce::String& newName);

    /** The controller leaves the model for good: it waits to be destroyed. */
    void retire() noexcept { retired = true; }

    /** Destroys every value of the controller, taking each out of its scene. */
    void destroyValues();

    /** Lets go of its values without destroying them, for their scenes to destroy: a restore
        over a big project stays linear that way.
    */
    void releaseValues() noexcept { values.clear(); }

    /** The controller's values, in the order they were made. */
    const std::vector<SceneValue*>& getValues() const noexcept { return values; }

    /** At an output tick: writes the interpolated value in the controller's form when sendAll
        is set or a send is pending, and answers the pending send in every case (a tick that
        sends every controller answers them all). The model's weights are up to date.
    */
    void writeAtTick (MidiTickWriter& writer, bool sendAll)
    {
        const auto isDue = sendAll || sendPending;
        sendPending = false;

        if (isDue)
            writeControllerValue (writer, kind, channel, ccNumber, computeValue());
    }

private:
    friend class SceneValue;
    friend class Scene;
    friend class Interpolation;

    // The interpolated value from the cached weights, recomputed when stale. Lock held and the
    // model's weights up to date. Audio thread too; allocates nothing.
    int computeValue() noexcept;

    Brisquell& model;

    // Guarded by the model's lock.
    bool sendPending = true;
    bool valueStale = true;
    int ccNumber = 0;
    int numberBeforeClamp = -1, numberAfterClamp = -1; // setKind's clamp, undone by a kind that holds the number
    int channel = 1;
    ControllerKind kind = ControllerKind::sevenBit;
    int cachedValue = 0;
    juce::uint64 cachedGeneration = 0;
    juce::String name;
    std::vector<SceneValue*> values;
    bool retired = false;

    std::atomic<bool> notificationPending{ false };

    JUCE_LEAK_DETECTOR (Controller)
};

//==============================================================================
/** Adds one three-byte control change at the sample offset, after the events already there:
    status 0xB0 | (channel - 1) with the channel clamped into 1..16, then the CC number and the
    value, each masked to 7 bits. Allocates nothing once the buffer has room.
*/
void addControlChange (juce::MidiBuffer& buffer, int channel, int ccNumber, int value, int sampleOffset);

} // namespace brisquell
