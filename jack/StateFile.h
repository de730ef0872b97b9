// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plugin/BrisquellPlugInInterface.h"

namespace brisquell::jack
{

/** The app's state file: the state document as the state chunk carries it (plugin/StateChunk.h),
    one line of XML, so that the file and a host's saved chunk hold the same text.

    A state file that is a symbolic link stands for the file it leads to: that file is read,
    checked and replaced, and the link stays.
*/
namespace statefile
{

/** Fails, with the reason, when the state file could not be saved: its folder is missing or
    cannot take a new file, or the file exists and is no plain file or is read-only. Nothing is
    changed. Message thread.
*/
juce::Result checkWritable (const juce::File& file);

/** Restores the processor's state from the file. A file that does not exist yet, or is empty,
    leaves the state as it is (the first save creates it); its folder must exist, though. A file
    that cannot be read, or holds anything but a state document, fails with the reason and
    changes nothing, so that the app never overwrites it. Message thread.
*/
juce::Result load (const juce::File& file, BrisquellPlugInInterface& processor);

/** Writes the processor's state document to the file: into a new file in the same folder,
    which is flushed to the disk, given the old file's permissions and then renamed over it, and
    the folder flushed too. So the file holds either the old or the new document whatever
    happens on the way (a full disk, a file size limit, a power cut); a failure leaves the old
    file as it was and no temporary file behind, and says why. Message thread.
*/
juce::Result save (const juce::File& file, BrisquellPlugInInterface& processor);

/** Writes the processor's state document to a new rescue file named after the state file and
    the time ("session.brisquell.rescue-20261210-061500"), beside the file it stands for, or
    when that folder takes nothing in the home folder, or else in the temporary folder. Answers
    the file written, or none. Message thread.
*/
juce::File saveRescue (const juce::File& file, BrisquellPlugInInterface& processor);

/** The document text the file holds for the processor's current state. */
juce::String documentText (BrisquellPlugInInterface& processor);

/** The file a state file stands for: the file itself, or where its symbolic links lead. */
juce::File resolve (const juce::File& file);

/** The root element's name of every state document. */
constexpr const char* rootTag = "brisquell";

} // namespace statefile
} // namespace brisquell::jack
