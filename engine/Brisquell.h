// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ControllerLookup.h"
#include "engine/CursorPerformance.h"
#include "engine/Glide.h"
#include "engine/Interpolation.h"
#include "engine/MidiSorter.h"
#include "engine/ModelNotifier.h"
#include "engine/OutputClock.h"
#include "engine/PaneView.h"
#include "engine/RecordLists.h"
#include "engine/Records.h"
#include "engine/SceneSelection.h"
#include "engine/SceneTriggerLookup.h"

#include <array>
#include <memory>
#include <optional>

namespace brisquell
{

namespace state
{
struct Session;
struct StateContent;
} // namespace state

//==============================================================================
/** What the pane shows of one scene at a moment: its label (see Scene::getLabel), its colour
    (none when none was chosen) and its share of what the cursor hears, 0 to 1.
*/
struct SceneLook
{
    const Scene* scene = nullptr;
    juce::String label;
    std::optional<juce::Colour> colour;
    float share = 0.0f;
};

//==============================================================================
/** The morph model: controllers, scenes, the selection, the cursor and the pane's remembered
    view. It turns incoming control changes into scene values, interpolates every controller's
    value from the cursor's distances to the scenes, writes the due control changes at output
    ticks and tells its listeners what changed.

    Threads and locking
    -------------------
    The host's audio thread (MIDI, auto-learn, auto-key, output), its parameter and chunk
    threads (cursor, state document) and the message thread (editor) all reach the model. One
    recursive lock, getLock(), guards every list, flag and cache; each public operation takes it
    for its own short duration, so no caller ever holds it while waiting for another thread. The
    audio thread only try-locks it (the processor defers the block's input to its next block when
    the lock is busy), so it never waits behind the message thread.

    Notifications never take the message thread's lock: notifyChange() only marks its subject
    pending, and the model's ModelNotifier delivers every pending subject once on the message
    thread, without the model's lock held. Controllers and scenes removed while its pump runs
    leave the lists at once but are destroyed only after the next round has told every view, so
    a pointer obtained on the message thread stays valid until the view is told.

    Playing from a controller
    -------------------------
    The cursor has a target: where the host's parameters, the MIDI cursor sources and the scene
    triggers send it. With the glide time at 0 the cursor jumps there at once; otherwise it
    travels there over the glide time, as a function of the sample clock that the processor
    keeps the model told of (setSampleClock, advanceGlideTo). A direct move (a drag on the pane,
    Cursor::setPosition) puts cursor and target in the same place and ends any glide. Learn
    requests from the editor are one atomic word that the audio thread takes when the message
    for it arrives; the sources, the triggers, the glide and the clock are guarded by the lock.
*/
class Brisquell final : private MidiSorter::Target
{
public:
    Brisquell();
    ~Brisquell() override;

    /** The lock that guards the model. Every public operation takes it itself; hold it across
        several calls only for short, non-blocking work. The audio thread should only try-lock.
    */
    juce::CriticalSection& getLock() const noexcept { return lock; }

    //==============================================================================
    /** Lists and access. Getters answer none for an index out of range. Any thread. */
    int getNumControllers() const;
    Controller* getController (int index) const;
    int indexOfController (const Controller* controller) const;
    int getNumScenes() const;
    Scene* getScene (int index) const;
    int indexOfScene (const Scene* scene) const;
    int getNumSelectedScenes() const;
    Scene* getSelectedScene (int index) const;
    juce::Array<Scene*> getSelectedScenes() const;
    Cursor& getCursor() noexcept { return cursor; }
    const Cursor& getCursor() const noexcept { return cursor; }

    /** Appends a controller of the kind named after its number and notifies the controller
        list. Any thread (the audio thread when auto-learn creates one).
    */
    Controller* addController (int ccNumber, int channel, ControllerKind kind = ControllerKind::sevenBit);

    /** The "add controller" command: a controller of the last controller's kind, with its number
        + 1 on its channel, or 7-bit CC 0 on channel 1 when there is none. A 7-bit number wraps
        past the int range instead of overflowing; a 14-bit kind's number wraps past its kind's
        highest to 0. Any thread.
    */
    Controller* addNextController();

    /** Removes the controller and unlinks its values at once; the record itself is destroyed on
        the message thread after its removal has been notified. Notifies the controller list also
        when it was not in the model. Any thread.
    */
    void removeController (Controller* controller);

    /** Takes ownership of a positioned scene, appends it, notifies the scene list and makes it
        the whole selection. A scene made for another model is discarded. Any thread (the audio
        thread when auto-key creates one).
    */
    void addScene (std::unique_ptr<Scene> scene);

    /** Removes the scene from the scenes and the selection and unlinks its values; the record is
        destroyed as removeController says. Notifies the scene list also when it was not in the
        model. Causes no output by itself. Any thread.
    */
    void deleteScene (Scene* scene);

    /** Creates a scene at the cursor's position and adds it. Any thread. */
    void keySceneAtCursor();

    /** Replaces the selection, keeping the order; scenes not in the model are left out and a
        scene named twice is selected once. Any thread.
    */
    void setSelectedScenes (const juce::Array<Scene*>& newSelection);

    /** True while the selection is the one a restored document carried: from that restore until
        the scene list next changes (a scene added or deleted, or a document without a selection
        restored). A view rebuilt after the restore shows this selection rather than choosing one
        of its own. Any thread.
    */
    bool isSelectionRestored() const;

    //==============================================================================
    /** A new scene with the scene's values, name and colour, duplicateOffset units to the right
        of it and as far down, added as addScene adds one (so it becomes the whole selection).
        None for a scene that is not in the model. Any thread.
    */
    Scene* duplicateScene (const Scene& scene);

    /** Stores a new random value, anywhere in the controller kind's range, for every controller in
        the scene, and tells each controller's listeners. A scene that is not in the model is left
        alone. Any thread.
    */
    void randomiseScene (Scene& scene);

    /** Keys a new scene at the cursor, as auto-key does, and gives it a random value for every
        controller (see randomiseScene); it becomes the whole selection. Any thread.
    */
    Scene* keyRandomSceneAtCursor();

    /** Seeds the random values of randomiseScene and keyRandomSceneAtCursor, so that a test can
        know them. Any thread.
    */
    void setRandomSeed (juce::int64 seed);

    static constexpr float duplicateOffset = 25.0f;

    //==============================================================================
    /** The mix's sharpness p. The plug-in's original blend (p = 1) weights each scene, while
        the cursor is on none, in proportion to (D - d) / d: d its distance from the cursor, D
        the sum of all distances (for two scenes that is 1 / d^2; among many, close to 1 / d).
        A sharpness p takes the same blend over the distances raised to p, so each scene holds
        its sound further out before the next one takes over: for two scenes the weights go as
        1 / d^4 at p = 2 and 1 / d^8 at p = 4. With the cursor on one or more scenes, or a single
        scene, every sharpness gives the same weights. Any thread.
    */
    int getSharpness() const;

    /** Sets the sharpness (1, 2 or 4; any other value is taken as 1) and, when it changed, sends
        every controller's new value at the next tick as a cursor move does. Any thread.
    */
    void setSharpness (int newSharpness);

    /** True for the sharpnesses the model offers: 1, 2 and 4. */
    static constexpr bool isValidSharpness (int p) noexcept { return p == 1 || p == 2 || p == 4; }

    //==============================================================================
    /** What the pane shows of every scene, in list order: the label, the colour and the share of
        what is heard. The share is the scene's weight; in audit mode with a selection, the first
        selected scene (whose own values are sent) has the whole share and the others none.
        Message thread (any thread is safe, but it allocates).
    */
    std::vector<SceneLook> getSceneLooks() const;

    /** A count that changes whenever anything getSceneLooks() answers may have changed (a move,
        the scene list, the sharpness, audit, the selection, a name or a colour), so that a view
        polling at its own pace asks only then. Any thread; takes no lock.
    */
    juce::uint64 getSceneLooksVersion() const noexcept { return sceneLooksVersion.load(); }

    //==============================================================================
    /** Modes and settings. The refresh rate is clamped into 1..5000. Any thread. */
    bool isAudit() const;
    void setAudit (bool shouldAudit);
    bool isAutoLearn() const noexcept { return autoLearn.load(); }
    void setAutoLearn (bool shouldLearn) noexcept { autoLearn.store (shouldLearn); }
    bool isAutoKey() const noexcept { return autoKey.load(); }
    void setAutoKey (bool shouldKey) noexcept { autoKey.store (shouldKey); }
    int getRefreshRate() const noexcept { return clock.getRefreshRate(); }

    /** "pass other MIDI through": incoming messages the plug-in does not use leave with its
        output. "report cursor moves to the host": drags, cursor sources and triggers are told to
        the host as edits of the cursor parameters. Both off in a new instance, kept in the
        session. Any thread; take no lock.
    */
    bool isMidiThrough() const noexcept { return midiThrough.load(); }
    void setMidiThrough (bool shouldPass) noexcept { midiThrough.store (shouldPass); }
    bool isReportingCursorMoves() const noexcept { return reportCursorMoves.load(); }
    void setReportingCursorMoves (bool shouldReport) noexcept { reportCursorMoves.store (shouldReport); }

    /** A performed move of the cursor's target on the axes of the mask (bit 0: x, bit 1: y): a
        drag's step, a source's or a trigger's move; and a drag's press and release. While cursor
        moves are reported, they go to getCursorPerformance() for the host. Any thread; no lock.
    */
    void cursorPerformed (int axes) override;
    void cursorDragBegan();
    void cursorDragEnded();
    CursorPerformance& getCursorPerformance() noexcept { return cursorPerformance; }
    void setRefreshRate (int ticksPerSecond) noexcept;

    static constexpr int minRefreshRate = OutputClock::minRefreshRate, maxRefreshRate = OutputClock::maxRefreshRate,
                         defaultRefreshRate = OutputClock::defaultRefreshRate;

    /** The editor's size, carried in the state document. Any thread. */
    juce::Point<int> getEditorSize() const;
    void setEditorSize (int width, int height);

    /** The editor's scale chosen in the pane's menu, in percent, carried in the session; 0
        (a new instance's) follows the scale the host and the display give. Any thread.
    */
    int getEditorScale() const noexcept { return editorScale.load(); }
    void setEditorScale (int percent) noexcept { editorScale.store (percent); }

    /** The pane's remembered view, written into the state document (none when none is held).
        A zoom that is no usable factor (see isUsableZoom) is not kept. Any thread.
    */
    std::optional<PaneView> getMorphPaneState() const;
    void setMorphPaneState (std::optional<PaneView> newState);

    //==============================================================================
    /** Hands an incoming message to the MIDI sorter (see MidiSorter), as of the model's sample
        clock or of the given sample time, which the clock then takes: a learn request may take
        it, a cursor source moves the cursor's target, a trigger recalls a scene, and any other
        control change is stored into the matching controllers (learning one when none matches
        and auto-learn is on). Everything else is ignored. The sample-time form answers whether
        the plug-in used the message (see MidiSorter::sort). Audio thread (any thread is safe).
    */
    void handleIncomingMidi (const juce::MidiMessage& message);
    void handleIncomingMidi (const juce::uint8* data, int numBytes);
    bool handleIncomingMidi (const juce::uint8* data, int numBytes, double sampleTime);

    /** True when a move or a value change waits for the next output tick. Audio thread (any
        thread is safe).
    */
    bool needsOutput() const;

    /** The output interval in samples: max (1, sampleRate / refreshRate) in integer division.
        Audio thread (any thread is safe); takes no lock.
    */
    int getSamplesPerRefresh (int sampleRate) const noexcept;

    /** Writes the due control changes at the sample offset and clears the pending output. Call
        it only while needsOutput() is true: with nothing pending it takes the interpolation path
        and sends every controller. Audio thread; allocates nothing once the buffer has room.
    */
    void renderOutput (juce::MidiBuffer& buffer, int sampleOffset);

    //==============================================================================
    /** The host's cursor parameters, 0..1 over the cursor range (200 x 200), at full resolution:
        the position is the value times the extent, not rounded. A value outside 0..1 is taken
        as its nearest end, and one that is not finite is ignored. Setting one moves the cursor's
        target on that axis (see setCursorTarget); the getters answer exactly the value last set
        (within 0..1), or, when the target moved some other way (a drag, a trigger, a restore),
        its position over the extent. Any thread; the getters take no lock.
    */
    void setCursorX (float value);
    void setCursorY (float value);
    float getCursorX() const;
    float getCursorY() const;

    /** Each axis's extent: the cursor lies within 0..200 on both, whatever moves it. */
    static constexpr int cursorExtent = 200;

    juce::Point<int> getCursorRange() const noexcept { return { cursorExtent, cursorExtent }; }

    /** The point of the cursor range nearest to the position. */
    static juce::Point<float> clampToCursorRange (juce::Point<float> position) noexcept;

    /** The coordinate that setCursorX or setCursorY gives for a parameter value over an extent
        of the cursor range (its width or height): the value times the extent, within the
        extent, and a whole position when it misses one only by the float's rounding (0.3 gives
        60, not 60.0000038); none for a value that they ignore (one whose position is not
        finite). Any thread; takes no lock.
    */
    static std::optional<float> cursorCoordinateFor (float value, int extent) noexcept;

    //==============================================================================
    /** Where the cursor rests, or where a running glide takes it. Any thread; takes no lock. */
    juce::Point<float> getCursorTarget() const noexcept;

    /** Sends the cursor to the target (kept within the cursor range): with the glide time at 0
        it jumps there (as Cursor::setPosition does); otherwise it glides there over the glide
        time from the model's sample clock on. The target it already glides to or rests at
        changes nothing. From rest the glide follows its shape from where the cursor is; a new
        target during a glide takes over from that glide with the cursor's position and velocity
        at that moment (see Glide::retarget) and arrives one glide time later. Non-finite
        coordinates are ignored. Any thread.
    */
    void setCursorTarget (juce::Point<float> target);

    /** The source that drives the axis (0: x, 1: y). Any thread. */
    CursorSource getCursorSource (int axis) const override;

    /** Sets the axis's source; an invalid source (see CursorSource::isValid) clears it. Tells
        the MIDI-control subject. Any thread.
    */
    void setCursorSource (int axis, CursorSource source) override;

    /** Clears both cursor sources ("forget cursor MIDI"). Any thread. */
    void forgetCursorSources();

    /** The scene's trigger (none for a scene outside the model). Any thread. */
    SceneTrigger getSceneTrigger (const Scene& scene) const;

    /** Sets the scene's trigger; an invalid trigger clears it. Scenes outside the model are left
        alone. Tells the MIDI-control subject. Any thread.
    */
    void setSceneTrigger (Scene& scene, SceneTrigger trigger);

    /** Asks for the next suitable message to become what the request names (replacing any
        request that waits), or with none cancels the waiting request. Tells the MIDI-control
        subject, as the audio thread does when the request has been met. Any thread; takes no
        lock.
    */
    void requestLearn (LearnRequest request) noexcept;
    LearnRequest getLearnRequest() const noexcept override;

    /** The glide time in seconds: 0 (off, the default) to maxGlideTime; a value outside is
        clamped, one that is not a number is 0. A glide that runs keeps its own time. Any thread.
    */
    double getGlideTime() const;
    void setGlideTime (double seconds);
    GlideShape getGlideShape() const;
    void setGlideShape (GlideShape shape);

    static constexpr double maxGlideTime = 60.0;

    /** The glide time that setGlideTime keeps for the seconds given (0 for anything that is
        not above 0, NaN and -0 among them; at most maxGlideTime).
    */
    static double toGlideTime (double seconds) noexcept { return seconds > 0.0 ? juce::jmin (seconds, maxGlideTime) : 0.0; }

    /** The glide as it stands (isRunning false when none runs), and the sample clock the model
        was last told of: the pane shows the cursor at glide.getPositionAt (clock). Any thread.
    */
    Glide getGlide() const;
    double getSampleTime() const;

    /** The processor's sample clock: the sample time that input and target changes now happen
        at, and the host's sample rate (glide times are counted in its samples; a rate that is
        not positive is ignored, and so is a time that is not finite). A new rate takes effect as
        setSampleRate says when the lock is free or held by the caller, otherwise at the next
        call. Audio thread (any thread is safe); never waits, so a block that finds the model
        busy can still keep it told.
    */
    void setSampleClock (double sampleTime, double sampleRate) noexcept;

    /** The host's new sample rate, from the sample clock's present time on: a running glide
        keeps the share of its way it has covered and takes as long in seconds for the rest;
        glides started later count their time in the new rate's samples. A rate that is not
        positive and finite is ignored. For the host's preparation (prepareToPlay) or a JACK
        rate change: any thread but the audio thread (it waits for the lock); allocates nothing.
    */
    void setSampleRate (double sampleRate);

    /** Moves the cursor along a running glide to its position at the sample time, ending the
        glide from its end time on. Audio thread (any thread is safe); allocates nothing.
    */
    void advanceGlideTo (double sampleTime);
    bool isGliding() const;

    /** True when the output must follow the sample clock exactly: a glide time, a glide that
        still runs, a cursor source, a scene trigger or a learn request is in play (see the
        tick rule of MidiBlockRunner). Audio thread (any thread is safe).
    */
    bool usesExactTiming() const;

    //==============================================================================
    /** The output path's steps with the lock already held, as MidiBlockRunner holds it for a
        whole block: the same as the calls above without the lock. Audio thread, lock held.
    */
    bool needsOutputLocked() const noexcept { return scenesMoved || valuesChanged; }
    bool isGlidingLocked() const noexcept { return glide.isRunning; }
    bool usesExactTimingLocked() const;
    void advanceGlideToLocked (double sampleTime);
    void renderOutputLocked (MidiTickWriter& writer);
    bool handleIncomingMidiLocked (const juce::uint8* data, int numBytes, double sampleTime);
    void setIncomingFromHostLocked (bool isHosts) noexcept { midiSorter.setHostInstant (isHosts); }

    /** Interpolation terms over the current scenes, brought up to date first. Any thread. */
    float getDistanceSum() const;
    float getWeightSum() const;

    //==============================================================================
    /** The state document (root tag as given); the model is not changed. The lock is held only
        while the model's data are copied, not while the elements are built. Any thread.
    */
    std::unique_ptr<juce::XmlElement> createStateXml (const juce::String& tagName) const;

    /** Replaces controllers, scenes (with their triggers), editor size, pane view, cursor
        sources and glide settings with the document's; a running glide ends where it is and a
        waiting learn request is dropped. A document that carries the session (see
        state::Session) also sets the cursor, the refresh rate, the modes and the selection, each
        to a new instance's where it carries none or an unusable one; a document without it keeps
        the cursor, the rate and the modes and empties the selection. Whatever else the document
        lacks or holds unreadably reads as 0 or is skipped; a source or trigger it cannot use is
        none, a glide time is limited to 0..maxGlideTime and a shape other than "smooth" is
        linear. A controller's "kind" other than "cc14" or "nrpn" reads as 7-bit; a 14-bit kind's
        number and values are clamped into its ranges. Listeners hear of the controller list, then the scene list: before this returns
        when called on the message thread, otherwise at the message thread's next notification
        round. Any thread.
    */
    void restoreStateXml (std::unique_ptr<juce::XmlElement> document);

    //==============================================================================
    /** Model listeners, called on the message thread with the changed subject: one of the
        subjects below, the cursor, or a Controller. Register and unregister on the message
        thread.
    */
    void addChangeListener (juce::ChangeListener* listener);
    void removeChangeListener (juce::ChangeListener* listener);

    /** The subjects that name the lists in notifications; compare a notification's source with
        them.
    */
    juce::ChangeBroadcaster* getControllerListSubject() noexcept { return notifier.getControllerListSubject(); }
    juce::ChangeBroadcaster* getSceneListSubject() noexcept { return notifier.getSceneListSubject(); }
    juce::ChangeBroadcaster* getSelectionSubject() noexcept { return notifier.getSelectionSubject(); }

    /** The subject of changes to the cursor sources, the scene triggers, the learn request and
        the glide settings. (A glide starting or ending is a change of the cursor.)
    */
    juce::ChangeBroadcaster* getMidiControlSubject() noexcept { return notifier.getMidiControlSubject(); }

    /** Marks the subject as changed; its listeners hear of it on the message thread. Subjects
        that are not this model's are ignored. Any thread, the audio thread too; takes no lock and
        allocates nothing.
    */
    void notifyChange (juce::ChangeBroadcaster* subject) noexcept;

    /** Delivers every pending notification now, and destroys what was retired before. The
        timer calls it; tests may too. Message thread.
    */
    void deliverPendingNotifications();

    //==============================================================================
    /** Called by the records from their positionChanged and setValueInScene. Any thread.
        cursorPlaced is the cursor's direct move: it ends any glide there.
    */
    void cursorPlaced();
    void cursorMoved();
    void sceneMoved();
    void markValuesChanged();

    /** Called by a scene whose name or colour changed (lock held). */
    void sceneLooksChanged() noexcept;

    //==============================================================================
    /** What the records (Controller, Scene) ask of the model and tell it. Lock held. */

    /** A controller's number, channel or kind changed: incoming MIDI finds it anew. */
    void controllerAddressChanged() noexcept { lookup.markStale(); }

    /** A controller's value is due at the next tick (see needsOutput). */
    void valueChangedLocked() noexcept { valuesChanged = true; }

    /** True while the next tick sends every controller: the mix moved. */
    bool sendsEveryControllerLocked() const noexcept { return scenesMoved; }

    /** The selection as it stands; valid while the lock is held. */
    const juce::Array<Scene*>& getSelectedScenesLocked() const noexcept { return selection.getScenes(); }

    /** Keys a scene at the cursor (see keySceneAtCursor) without making the next tick send
        every controller: only what goes into the new scene is due.
    */
    void keySceneAtCursorQuietly();

    /** The scenes' weights brought up to date, and the count that changes with them; every
        controller's value brought up to date with them (see Interpolation).
    */
    void updateWeightsLocked() const { ensureWeights(); }
    juce::uint64 getWeightsGenerationLocked() const noexcept { return interpolation.getWeightsGeneration(); }
    void updateValuesLocked();

    /** A scene's position or list changed: the weights are worked out again. */
    void invalidateWeights();

    /** The number that names a new scene in learn requests, unique among all scenes ever made.
        Any thread; takes no lock.
    */
    juce::uint32 issueSceneSerial() noexcept { return nextSceneSerial.fetch_add (1); }

private:
    void ensureWeights() const;
    void retire (std::unique_ptr<Controller> controller);
    void retire (std::unique_ptr<Scene> scene);
    int storeControllerValue (ControllerKind kind, int channel, int number, int value);
    void setSelectedScenesLocked (const juce::Array<Scene*>& newSelection);
    int drawRandomValue (const Controller& controller);

    //==============================================================================
    // MidiSorter::Target: the sorter's handlers, called under the lock.
    bool learnCursorSource (LearnRequest request, CursorSource source) override;
    bool learnSceneTrigger (LearnRequest request, SceneTrigger trigger) override;
    void moveCursorAxis (int axis, float parameterValue) override;
    bool recallScene (SceneTrigger trigger) override;
    int handleControllerValue (ControllerKind kind, int channel, int number, int value, bool mayLearn) override;

    /** Clears the request when it is still the one waiting; answers whether it was. */
    bool takeLearnRequest (LearnRequest request) noexcept;

    void setCursorAxisTarget (int axis, float parameterValue);
    void storeCursorTarget (juce::Point<float> target) noexcept;
    void changeSampleRateLocked (double newSampleRate) noexcept;

    // The state document's content (engine/document/ModelDocument.cpp): copied from the model
    // under the lock, and a parsed one put into effect. The records for its lists are built
    // before the lock is taken; applyState takes it, swaps them in and hands back the old ones
    // (empty when the notification pump destroys them), and applies the session with it held.
    state::StateContent captureState() const;
    void createRecords (const state::StateContent& content,
                        std::vector<std::unique_ptr<Scene>>& newScenes,
                        std::vector<std::unique_ptr<Controller>>& newControllers);
    void applyState (const state::StateContent& content,
                     std::vector<std::unique_ptr<Scene>>& newScenes,
                     std::vector<std::unique_ptr<Controller>>& newControllers);
    void applySessionLocked (const state::Session& session);

    mutable juce::CriticalSection lock;

    RecordLists lists;
    SceneSelection selection;
    Cursor cursor{ *this };
    std::optional<PaneView> morphPaneState;

    bool scenesMoved = false;
    bool valuesChanged = false;
    int sharpness = 1;
    juce::Random random;
    juce::Point<int> editorSize{ 300, 300 };

    // The interpolation with its weights and values (lock held), and the pane's count of its looks.
    mutable std::atomic<juce::uint64> sceneLooksVersion{ 1 };
    mutable Interpolation interpolation; // its weights and values are caches

    // Incoming values find their controllers (lock held).
    ControllerLookup lookup;

    // Playing from a controller (lock held, but for the atomics).
    MidiSorter midiSorter{ *this };
    std::array<CursorSource, 2> cursorSources;
    std::atomic<juce::uint64> learnRequest{ 0 };
    std::atomic<juce::uint32> nextSceneSerial{ 1 };
    std::atomic<float> cursorTargetX{ 0.0f }, cursorTargetY{ 0.0f };
    std::atomic<float> cursorValueX{ 0.0f }, cursorValueY{ 0.0f }; // what the parameters answer
    Glide glide;
    double glideTime = 0.0;
    GlideShape glideShape = GlideShape::linear;
    OutputClock clock;

    // Triggers find their scenes (lock held).
    SceneTriggerLookup triggerLookup;

    std::atomic<bool> autoLearn{ true }, autoKey{ true }, midiThrough{ false }, reportCursorMoves{ false };
    std::atomic<int> editorScale{ 0 };
    CursorPerformance cursorPerformance;

    // Notifications and the records retired until they are delivered.
    ModelNotifier notifier{ lock, cursor, lists.controllers() };

    JUCE_DECLARE_WEAK_REFERENCEABLE (Brisquell)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Brisquell)
};

} // namespace brisquell
