// SPDX-License-Identifier: GPL-3.0-or-later
// A whole session decoded from bytes: MIDI events of every kind at any offset (among them what
// drives cursor sources and recalls scenes: control-change pairs, pitch bend, note-ons and
// program changes), parameter changes with any float at any index, blocks of 0 to 8192 samples,
// sample-rate and refresh-rate changes, state saves and loads, the editor's operations on the
// model (learn requests, sources, triggers and glide settings; the scenes' names, colours,
// duplicates and random values and the mix's sharpness), and stretches in which another thread
// holds the model so that the audio thread must defer.
//
// After every block the processor has sent nothing but 3-byte control changes, each at an
// offset inside the block (a block of 0 samples may carry offset 0), a glide's length and start
// are usable numbers, and every state it saves is a well-formed chunk that restores to the same
// state.

#include "engine/document/DocumentElements.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/ModelEdits.h"
#include "plugin/BrisquellPlugInInterface.h"
#include "plugin/StateChunk.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <limits>
#include <thread>

namespace
{
using brisquell::Brisquell;
using brisquell::BrisquellPlugInInterface;
using namespace brisquell::fuzzing;

constexpr int maxBlockSize = 8192;
constexpr int maxBusyBlocks = 16;
constexpr int maxEventsPerBusyBlock = 256;

// Each check saves a state three times and restores it twice. With a couple of thousand
// learned controllers in dozens of scenes that is seconds under the sanitizers, so an input gets
// a few checks, which find what many would, and stays well inside the fuzzer's time limit.
constexpr int maxStateChecks = 6;

//==============================================================================
/** A view's stand-in: it reads what every notification names, as the editor's rows and the
    pane do, so that records handed to views must still be alive when they hear of them.
*/
class ReadingListener final : public juce::ChangeListener
{
public:
    explicit ReadingListener (Brisquell& m) : model (m) { model.addChangeListener (this); }
    ~ReadingListener() override { model.removeChangeListener (this); }

    void changeListenerCallback (juce::ChangeBroadcaster* source) override
    {
        if (source == model.getControllerListSubject())
        {
            for (int i = 0; i < model.getNumControllers(); ++i)
                if (auto* controller = model.getController (i))
                    checksum += (double) controller->getValue() + controller->getName().length();
        }
        else if (source == model.getSceneListSubject() || source == model.getSelectionSubject())
        {
            for (auto* scene : model.getSelectedScenes())
                checksum += scene->getNumValues() + (double) scene->getPosition().x;

            // What the pane's scene views show.
            for (const auto& look : model.getSceneLooks())
                checksum += look.label.length() + (double) look.share + (look.colour ? 1.0 : 0.0);
        }
        else if (source == &model.getCursor())
        {
            checksum += (double) model.getCursor().getPosition().y + (double) model.getGlide().target.x;
        }
        else if (source == model.getMidiControlSubject())
        {
            checksum += model.getGlideTime() + (double) model.getLearnRequest().pack() + model.getCursorSource (1).number;

            for (int i = 0; i < model.getNumScenes(); ++i)
                if (auto* scene = model.getScene (i))
                    checksum += scene->getTrigger().number;
        }
        else if (source != nullptr)
        {
            // Every other subject is one of the model's controllers.
            auto* controller = static_cast<brisquell::Controller*> (source);
            checksum += (double) controller->getValue() + controller->getCcNumber() + controller->getChannel();
        }
    }

    double checksum = 0.0;

private:
    Brisquell& model;
};

//==============================================================================
/** Holds the model's lock on a thread of its own until released, as the editor or a chunk
    call on another thread does for a moment.
*/
class ModelHolder final : private juce::Thread
{
public:
    explicit ModelHolder (Brisquell& m) : juce::Thread ("model holder"), model (m)
    {
        startThread();
        isHolding.wait();
    }

    ~ModelHolder() override
    {
        release.signal();
        stopThread (-1);
    }

private:
    void run() override
    {
        const juce::ScopedLock lock (model.getLock());
        isHolding.signal();
        release.wait();
    }

    Brisquell& model;
    juce::WaitableEvent isHolding, release;
};

/** The chunk with every scene's "x" and "y" cut to the whole number the model reads back
    (saturated at the int range) and written again from the float position that holds it.
*/
juce::MemoryBlock withWholeScenePositions (const juce::MemoryBlock& chunk)
{
    auto document = brisquell::chunk::read (chunk.getData(), chunk.getSize());

    if (document == nullptr)
        fail ("a saved chunk does not read back");

    if (auto* scenes = brisquell::state::getChild (*document, "scenes"))
        for (auto* scene : scenes->getChildIterator())
            for (const auto* name : { "x", "y" })
                if (scene->hasAttribute (name))
                    scene->setAttribute (name, brisquell::state::formatDecimal ((double) (float) brisquell::state::parseDecimalAsInteger (scene->getStringAttribute (name))));

    juce::MemoryBlock result;
    brisquell::chunk::write (*document, result);
    return result;
}

//==============================================================================
class Session
{
public:
    explicit Session (FuzzedDataProvider& input) : in (input)
    {
        processor.setRateAndBufferSizeDetails (44100.0, 512);
        processor.prepareToPlay (44100.0, 512);
        midi.ensureSize (4096);
    }

    void run()
    {
        while (in.remaining_bytes() > 0)
        {
            switch (in.ConsumeIntegralInRange (0, 13))
            {
                case 0:
                case 1:
                case 2:
                    addEvent();
                    break;
                case 3:
                    addControlChangeBurst();
                    break;
                case 4:
                case 5:
                    processBlock (in.ConsumeIntegralInRange (0, maxBlockSize));
                    break;
                case 6:
                    setParameter();
                    break;
                case 7:
                    setSampleRate();
                    break;
                case 8:
                    model.setRefreshRate (in.ConsumeIntegral<int>());
                    break;
                case 9:
                    saveAndCheck();
                    break;
                case 10:
                    loadChunk();
                    break;
                case 11:
                    edits.edit();
                    break;
                case 12:
                    runWhileModelIsBusy();
                    break;
                default:
                    model.deliverPendingNotifications();
                    break;
            }
        }

        processBlock (in.ConsumeIntegralInRange (0, maxBlockSize));
        saveAndCheck();
    }

private:
    //==============================================================================
    std::uint8_t byte() { return in.ConsumeIntegral<std::uint8_t>(); }

    int offset()
    {
        // Mostly inside a usual block, sometimes anywhere at all.
        return in.ConsumeBool() ? in.ConsumeIntegralInRange (0, 1024) : in.ConsumeIntegral<int>();
    }

    /** What plays the cursor: an MSB or LSB, pitch bend, a note-on, a program change; or a part
        of an NRPN or RPN sequence. Answers its length.
    */
    int playingMessage (std::uint8_t* data)
    {
        const auto channel = byte() & 0x0f;

        switch (in.ConsumeIntegralInRange (0, 4))
        {
            case 0:
                data[0] = (std::uint8_t) (0xb0 | channel);
                data[1] = byte() & 0x3f;
                break;
            case 4: // its selection or its data entry
                data[0] = (std::uint8_t) (0xb0 | channel);
                data[1] = in.PickValueInArray<std::uint8_t> ({ 99, 98, 6, 38, 101, 100 });
                break;
            case 1:
                data[0] = (std::uint8_t) (0xe0 | channel);
                data[1] = byte() & 0x7f;
                break;
            case 2:
                data[0] = (std::uint8_t) (0x90 | channel);
                data[1] = byte() & 0x7f;
                break;
            default:
                data[0] = (std::uint8_t) (0xc0 | channel);
                data[1] = byte() & 0x7f;
                break;
        }

        data[2] = byte() & 0x7f;
        return (data[0] & 0xf0) == 0xc0 ? 2 : 3;
    }

    void addEvent()
    {
        std::uint8_t data[64] = {};
        int size = 0;

        switch (in.ConsumeIntegralInRange (0, 5))
        {
            case 5:
                size = playingMessage (data);
                break;

            case 0: // a control change, data bytes possibly out of range
                data[0] = (std::uint8_t) (0xb0 | (byte() & 0x0f));
                data[1] = byte();
                data[2] = byte();
                size = 3;
                break;

            case 1: // any channel or system message of its own length
            {
                data[0] = (std::uint8_t) (0x80 | byte());
                size = juce::jlimit (1, 3, juce::MidiMessage::getMessageLengthFromFirstByte (data[0]));
                for (int i = 1; i < size; ++i)
                    data[i] = byte() & 0x7f;
                break;
            }

            case 2: // a system exclusive message, terminated or not
                data[0] = 0xf0;
                size = in.ConsumeIntegralInRange (1, 63);
                for (int i = 1; i < size; ++i)
                    data[i] = byte() & 0x7f;
                if (in.ConsumeBool())
                    data[size++] = 0xf7;
                break;

            case 3: // a control change cut short
                data[0] = (std::uint8_t) (0xb0 | (byte() & 0x0f));
                data[1] = byte() & 0x7f;
                size = in.ConsumeIntegralInRange (1, 2);
                break;

            default: // raw bytes, as a careless host might hand them over
                size = in.ConsumeIntegralInRange (1, 4);
                for (int i = 0; i < size; ++i)
                    data[i] = byte();
                break;
        }

        midi.addEvent (data, size, offset());
    }

    void addControlChangeBurst()
    {
        auto channel = byte() & 0x0f;
        auto number = byte() & 0x7f;
        const auto step = (int) in.ConsumeIntegralInRange (1, 127);
        const auto count = in.ConsumeIntegralInRange (1, 128);
        const auto value = byte() & 0x7f;

        for (int i = 0; i < count; ++i)
        {
            const std::uint8_t data[] = { (std::uint8_t) (0xb0 | channel), (std::uint8_t) number, (std::uint8_t) ((value + i) & 0x7f) };
            midi.addEvent (data, 3, i);
            number += step;

            if (number > 127)
            {
                number &= 0x7f;
                channel = (channel + 1) & 0x0f;
            }
        }
    }

    /** Runs a block and checks what it sent. While another thread holds the model (busy), the
        model's own state is not looked at: asking for it would wait for that thread.
    */
    void processBlock (int numSamples, bool busy = false)
    {
        juce::AudioBuffer<float> audio (0, numSamples);
        processor.processBlock (audio, midi);
        checkOutput (numSamples, busy);
        midi.clear();
    }

    void checkOutput (int numSamples, bool busy) const
    {
        // A glide lasts at most the longest glide time at the highest rate the processor passes
        // on, and starts at a sample time.
        const auto longest = Brisquell::maxGlideTime * (double) std::numeric_limits<int>::max();

        if (! busy)
            if (const auto glide = model.getGlide(); glide.isRunning && ! (glide.length >= 1.0 && glide.length <= longest && std::isfinite (glide.startTime)))
                fail ("a glide runs without a usable length or start");

        for (const auto metadata : midi)
        {
            if (metadata.numBytes != 3 || (metadata.data[0] & 0xf0) != 0xb0
                || metadata.data[1] > 0x7f || metadata.data[2] > 0x7f)
                fail ("the processor sent something other than a 3-byte control change");

            const auto position = metadata.samplePosition;

            if (position < 0 || (position >= numSamples && ! (numSamples == 0 && position == 0)))
                fail ("the processor sent an event outside its block");
        }
    }

    void setParameter()
    {
        const auto index = in.ConsumeBool() ? in.ConsumeIntegralInRange (-1, 2) : in.ConsumeIntegral<int>();
        float value = 0.0f;

        switch (in.ConsumeIntegralInRange (0, 3))
        {
            case 0:
                value = in.ConsumeFloatingPointInRange (0.0f, 1.0f);
                break;
            case 1:
                value = in.ConsumeFloatingPoint<float>();
                break;
            case 2:
                value = in.PickValueInArray ({ std::numeric_limits<float>::quiet_NaN(),
                                               std::numeric_limits<float>::infinity(),
                                               -std::numeric_limits<float>::infinity(),
                                               std::numeric_limits<float>::max(),
                                               std::numeric_limits<float>::denorm_min(),
                                               -0.0f,
                                               1.0e10f,
                                               -1.0e10f });
                break;
            default:
                value = floatFromBits (in.ConsumeIntegral<std::uint32_t>());
                break;
        }

        // As the format clients do: through the processor's parameter list.
        auto* parameter = processor.getParameters()[index];

        if (parameter == nullptr)
            return;

        parameter->setValue (value);
        juce::ignoreUnused (parameter->getValue(), parameter->getCurrentValueAsText(), parameter->getName (32));

        // A position's text, typed back in, puts the cursor on the same position.
        const auto text = parameter->getText (value, 1024);
        const auto extent = index == 0 ? model.getCursorRange().x : model.getCursorRange().y;

        if (text.isNotEmpty() && juce::isPositiveAndNotGreaterThan (text.getIntValue(), extent)
            && parameter->getText (parameter->getValueForText (text), 1024) != text)
            fail ("a parameter's text does not read back as the same position");
    }

    void setSampleRate()
    {
        const auto rate = in.ConsumeBool()
                              ? in.PickValueInArray ({ 0.0, -1.0, 1.0, 22050.0, 44100.0, 44100.9, 48000.0, 96000.0, 192000.0, 1.0e9, 1.0e300, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN() })
                              : in.ConsumeFloatingPoint<double>();
        processor.setRateAndBufferSizeDetails (rate, in.ConsumeIntegralInRange (0, maxBlockSize));
    }

    //==============================================================================
    void saveAndCheck()
    {
        if (++stateChecks > maxStateChecks)
            return;

        lastSaved = saveState (processor);

        if (! isWellFormedChunk (lastSaved))
            fail ("getStateInformation gave a malformed chunk");

        // A host that reopens the project gets back what it saved. Scene positions are read
        // back as whole numbers, so a fraction is lost once; from then on the state is stable.
        processor.setStateInformation (lastSaved.getData(), (int) lastSaved.getSize());
        const auto reopened = saveState (processor);

        if (const auto expected = withWholeScenePositions (lastSaved); reopened != expected)
            failComparing ("restoring a saved chunk changed more than the scenes' fractions", expected, reopened);

        processor.setStateInformation (reopened.getData(), (int) reopened.getSize());

        if (const auto again = saveState (processor); again != reopened)
            failComparing ("a reopened state does not save the same again", reopened, again);
    }

    void loadChunk()
    {
        if (in.ConsumeBool() && ! lastSaved.isEmpty())
        {
            processor.setStateInformation (lastSaved.getData(), (int) lastSaved.getSize());
            return;
        }

        // A chunk of the right form with a text from the input, or plain bytes.
        const auto text = in.ConsumeRandomLengthString (512);
        juce::MemoryBlock chunk;

        if (in.ConsumeBool())
        {
            juce::MemoryOutputStream out (chunk, false);
            out.writeInt ((int) 0x21324356);
            out.writeInt (in.ConsumeBool() ? (int) text.size() : in.ConsumeIntegral<int>());
            out.write (text.data(), text.size());
        }
        else
        {
            chunk.append (text.data(), text.size());
        }

        processor.setStateInformation (chunk.getData(), (int) chunk.getSize());
    }

    /** Blocks run while another thread holds the model: their input must wait for a later
        block, and nothing they send may break the rules.
    */
    void runWhileModelIsBusy()
    {
        const auto numBlocks = in.ConsumeIntegralInRange (1, maxBusyBlocks);

        // The input gathered so far goes in first, so that what the busy blocks keep back
        // stays within what the processor can hold without waiting.
        processBlock (in.ConsumeIntegralInRange (0, maxBlockSize));

        {
            const ModelHolder holder (model);

            for (int block = 0; block < numBlocks && in.remaining_bytes() > 0; ++block)
            {
                const auto numEvents = in.ConsumeIntegralInRange (0, maxEventsPerBusyBlock);

                for (int i = 0; i < numEvents && in.remaining_bytes() > 0; ++i)
                    addEvent();

                processBlock (in.ConsumeIntegralInRange (0, maxBlockSize), true);
            }
        }

        processBlock (in.ConsumeIntegralInRange (0, maxBlockSize));
    }

    //==============================================================================
    FuzzedDataProvider& in;
    BrisquellPlugInInterface processor;
    Brisquell& model = processor.getModel();
    ReadingListener listener{ model };
    ModelEdits edits{ in, model };
    juce::MidiBuffer midi;
    juce::MemoryBlock lastSaved;
    int stateChecks = 0;
};
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    initialiseJuce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    FuzzedDataProvider input (data, size);
    Session session (input);
    session.run();
    return 0;
}
