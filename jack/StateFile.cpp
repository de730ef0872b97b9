// SPDX-License-Identifier: GPL-3.0-or-later
#include "jack/StateFile.h"
#include "plugin/StateChunk.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisquell::jack::statefile
{

namespace
{
juce::String describeErrno() { return juce::String (std::strerror (errno)); }

/** Writes all the bytes to the descriptor, or fails with the reason. */
juce::Result writeAll (int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        const auto written = ::write (fd, data, size);

        if (written < 0 && errno == EINTR)
            continue;

        if (written <= 0)
            return juce::Result::fail (written < 0 ? describeErrno() : juce::String ("nothing was written"));

        data += written;
        size -= (size_t) written;
    }

    return juce::Result::ok();
}

/** True when the file may be written (it opens for writing, which changes nothing). */
bool isWritableFile (const juce::File& file)
{
    const auto fd = ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_CLOEXEC);

    if (fd < 0)
        return false;

    ::close (fd);
    return true;
}

/** Flushes the folder, so that a rename in it is on the disk. */
void syncFolder (const juce::File& folder)
{
    const auto fd = ::open (folder.getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);

    if (fd >= 0)
    {
        ::fsync (fd);
        ::close (fd);
    }
}

/** Gives a new file the permissions (and, where allowed, the owner) of the file it replaces,
    or those a new file gets under the umask.
*/
void takePermissions (int fd, const juce::File& replaced)
{
    struct stat old
    {
    };

    if (::stat (replaced.getFullPathName().toRawUTF8(), &old) == 0)
    {
        [[maybe_unused]] const auto owned = ::fchown (fd, old.st_uid, old.st_gid);
        ::fchmod (fd, old.st_mode & 07777);
        return;
    }

    const auto mask = ::umask (0);
    ::umask (mask);
    ::fchmod (fd, 0666 & ~mask);
}

/** Writes the text into a new file in the target's folder, flushes it, gives it the target's
    permissions and renames it over the target, then flushes the folder; on any failure the
    new file is removed and the target stays as it was.
*/
juce::Result writeReplacing (const juce::File& target, const juce::String& text)
{
    const auto folder = target.getParentDirectory();
    auto pattern = folder.getChildFile ("." + target.getFileName() + ".saving-XXXXXX").getFullPathName().toStdString();
    const auto fd = ::mkostemp (pattern.data(), O_CLOEXEC);

    if (fd < 0)
        return juce::Result::fail ("cannot make a new file in " + folder.getFullPathName() + " (" + describeErrno() + ")");

    takePermissions (fd, target);
    auto result = writeAll (fd, text.toRawUTF8(), text.getNumBytesAsUTF8());

    if (result.wasOk() && ::fsync (fd) != 0)
        result = juce::Result::fail (describeErrno());

    if (::close (fd) != 0 && result.wasOk())
        result = juce::Result::fail (describeErrno());

    if (result.wasOk() && ::rename (pattern.c_str(), target.getFullPathName().toRawUTF8()) != 0)
        result = juce::Result::fail (describeErrno());

    if (result.failed())
    {
        ::unlink (pattern.c_str());
        return result;
    }

    syncFolder (folder);
    return juce::Result::ok();
}

/** The text wrapped as a state chunk, the form the chunk reader checks and parses. */
juce::MemoryBlock asChunk (const juce::MemoryBlock& text)
{
    juce::MemoryOutputStream out;
    out.writeInt ((int) chunk::magic);
    out.writeInt ((int) text.getSize());
    out.write (text.getData(), text.getSize());
    out.writeByte (0);
    out.writeByte (0);
    return out.getMemoryBlock();
}
} // namespace

juce::Result load (const juce::File& link, BrisquellPlugInInterface& processor)
{
    const auto file = resolve (link);

    if (! file.getParentDirectory().isDirectory())
        return juce::Result::fail ("the folder of the state file " + file.getFullPathName() + " does not exist");

    if (file.isDirectory())
        return juce::Result::fail ("the state file " + file.getFullPathName() + " is a folder");

    if (! file.existsAsFile() || file.getSize() == 0)
        return juce::Result::ok();

    juce::MemoryBlock text;

    if (! file.loadFileAsData (text))
        return juce::Result::fail ("cannot read the state file " + file.getFullPathName());

    // The length field of a chunk is 32 bits.
    if (text.getSize() > (size_t) std::numeric_limits<juce::int32>::max() - 16)
        return juce::Result::fail ("the state file " + file.getFullPathName() + " is too large to be a state document");

    const auto data = asChunk (text);
    auto document = chunk::read (data.getData(), data.getSize());

    if (document == nullptr || ! document->getTagName().equalsIgnoreCase (rootTag))
        return juce::Result::fail ("the state file " + file.getFullPathName() + " holds no Brisquellum state document");

    processor.getModel().restoreStateXml (std::move (document));
    return juce::Result::ok();
}

juce::String documentText (BrisquellPlugInInterface& processor)
{
    juce::MemoryBlock data;
    processor.getStateInformation (data);
    return chunk::extractText (data.getData(), data.getSize());
}

juce::File resolve (const juce::File& file)
{
    auto resolved = file;

    // As the system does, give up after 40 links (a loop).
    for (int i = 0; i < 40 && resolved.isSymbolicLink(); ++i)
        resolved = resolved.getLinkedTarget();

    return resolved;
}

juce::Result checkWritable (const juce::File& file)
{
    const auto target = resolve (file);
    const auto folder = target.getParentDirectory();
    const auto name = target.getFullPathName();

    if (! folder.isDirectory())
        return juce::Result::fail ("the folder of the state file " + name + " does not exist");

    if (target.isDirectory())
        return juce::Result::fail ("the state file " + name + " is a folder");

    if (target.exists() && ! target.existsAsFile())
        return juce::Result::fail ("the state file " + name + " is no plain file");

    // A save makes a new file in the folder and renames it over the old one: try making one.
    auto probe = folder.getChildFile (".brisquellum-probe-XXXXXX").getFullPathName().toStdString();
    const auto fd = ::mkostemp (probe.data(), O_CLOEXEC);

    if (fd < 0)
        return juce::Result::fail ("cannot save the state file " + name + ": the folder " + folder.getFullPathName()
                                   + " takes no new file (" + describeErrno() + ")");

    ::close (fd);
    ::unlink (probe.c_str());

    if (target.existsAsFile() && ! isWritableFile (target))
        return juce::Result::fail ("cannot save the state file " + name + ": it is read-only (" + describeErrno() + ")");

    return juce::Result::ok();
}

juce::Result save (const juce::File& file, BrisquellPlugInInterface& processor)
{
    const auto text = documentText (processor);

    if (text.isEmpty())
        return juce::Result::fail ("the state could not be written as a document");

    const auto target = resolve (file);

    // A file made read-only is not replaced behind its owner's back.
    if (target.existsAsFile() && ! isWritableFile (target))
        return juce::Result::fail ("could not save the state file " + target.getFullPathName() + ": it is read-only");

    if (const auto written = writeReplacing (target, text); written.failed())
        return juce::Result::fail ("could not save the state file " + target.getFullPathName() + ": " + written.getErrorMessage());

    return juce::Result::ok();
}

juce::File saveRescue (const juce::File& file, BrisquellPlugInInterface& processor)
{
    const auto text = documentText (processor);
    const auto target = resolve (file);
    const auto name = target.getFileName() + ".rescue-" + juce::Time::getCurrentTime().formatted ("%Y%m%d-%H%M%S");

    for (const auto& folder : { target.getParentDirectory(),
                                juce::File::getSpecialLocation (juce::File::userHomeDirectory),
                                juce::File::getSpecialLocation (juce::File::tempDirectory) })
    {
        const auto rescue = folder.getNonexistentChildFile (name, "", false);

        if (text.isNotEmpty() && folder.isDirectory() && writeReplacing (rescue, text).wasOk())
            return rescue;
    }

    return {};
}

} // namespace brisquell::jack::statefile
