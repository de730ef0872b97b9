// SPDX-License-Identifier: GPL-3.0-or-later
// What the editor draws while the plug-in plays, seen the way the X server sees it: every area the
// editor puts into the host's window arrives as a damage rectangle of that window.
#include <set>

#include "EditorThroughHostFixture.h"

#include <X11/extensions/Xdamage.h>

namespace brisquell
{
namespace
{

/** The areas drawn into a window (and the windows inside it), as the X server reports them. */
class DamageWatch
{
public:
    DamageWatch (Display* d, ::Window window) : display (d)
    {
        int errorBase = 0;
        isAvailable = XDamageQueryExtension (display, &eventBase, &errorBase);

        if (isAvailable)
            damage = XDamageCreate (display, window, XDamageReportRawRectangles);

        XSync (display, False);
    }

    ~DamageWatch()
    {
        if (isAvailable)
            XDamageDestroy (display, damage);

        XSync (display, False);
    }

    /** The rectangles drawn since the last call, in the watched window's coordinates. */
    std::vector<XRectangle> take()
    {
        XSync (display, False);
        std::vector<XRectangle> drawn;

        while (XPending (display) > 0)
        {
            XEvent event;
            XNextEvent (display, &event);

            if (event.type == eventBase + XDamageNotify)
                drawn.push_back (reinterpret_cast<XDamageNotifyEvent*> (&event)->area);
        }

        return drawn;
    }

    bool isAvailable = false;

private:
    Display* display;
    int eventBase = 0;
    Damage damage = 0;
};

std::string describe (const std::vector<XRectangle>& rectangles)
{
    std::string text;

    for (const auto& r : rectangles)
        text += std::to_string (r.x) + "," + std::to_string (r.y) + " " + std::to_string (r.width) + "x" + std::to_string (r.height) + "; ";

    return text;
}

struct EditorRepaint : public EditorThroughHost
{
    // Three controllers, one scene far from the cursor (selected when the editor opens, so the
    // rows show its values); the list's rows are 120 x 24 from the window's top-left corner.
    void openPlayingEditor()
    {
        restoreDocument (R"(<brisquell><controllers>
                            <controller ccno="7" channel="1" name="one"><value value="10" scene="0"/></controller>
                            <controller ccno="8" channel="1" name="two"><value value="20" scene="0"/></controller>
                            <controller ccno="9" channel="1" name="three"><value value="30" scene="0"/></controller>
                            </controllers><scenes><scene x="150" y="180"/></scenes>
                            <gui width="400" height="300"/></brisquell>)");
        openWindow();
        keepWindowContentsOffScreen();
        ASSERT_TRUE (waitForPixel (380, 20, 0xffffff)) << "the editor never painted its window";
    }

    /** Pumps the UI for the time given while the audio thread's blocks run, 10 ms apart. */
    void playFor (int milliseconds)
    {
        for (int elapsed = 0; elapsed < milliseconds; elapsed += 10)
        {
            plugin->processBlock (256);
            pumpFor (10);
        }
    }

    /** What is drawn after a change: from the first rectangle on, until 300 ms later. */
    std::vector<XRectangle> drawnAfterTheChange (DamageWatch& watch, const char* failure)
    {
        std::vector<XRectangle> drawn;
        const auto take = [&]
        {
            for (const auto& r : watch.take())
                drawn.push_back (r);
        };

        EXPECT_TRUE (pumpUntil ([&]
                                {
            plugin->processBlock (256);
            take();
            return ! drawn.empty(); }))
            << failure;
        playFor (300);
        take();
        return drawn;
    }
};

TEST_F (EditorRepaint, AStillMorphDrawsNothingAValueItsRowAndACursorMoveItsTwoPlaces)
{
    openPlayingEditor();
    DamageWatch watch (reader, window->getEmbeddingWindowId());
    ASSERT_TRUE (watch.isAvailable) << "the X server has no DAMAGE extension";

    // Whatever the opening still draws is over before the quiet second is watched.
    playFor (1000);
    watch.take();
    playFor (1000);
    const auto whileStill = watch.take();
    EXPECT_TRUE (whileStill.empty()) << "drawn while nothing changed: " << describe (whileStill);

    // A value for the second controller: it goes into the selected scene, which its row shows.
    plugin->sendEvents ({ host::MidiEvent::controlChange (0, 1, 8, 99) });
    auto drawn = drawnAfterTheChange (watch, "the row never showed the new value");

    for (const auto& r : drawn)
    {
        EXPECT_GE (r.y, 24) << describe (drawn);
        EXPECT_LE (r.y + r.height, 48) << "only the second row: " << describe (drawn);
        EXPECT_LE (r.x + r.width, 120) << "nothing of the pane: " << describe (drawn);
    }

    // The host moves the cursor (parameters 0 and 1); with one scene the mix stays the same, so
    // only the cursor's old and new places are drawn, each the size of its 50-pixel view.
    plugin->setParameter (0, 0.4f);
    plugin->setParameter (1, 0.2f);
    drawn = drawnAfterTheChange (watch, "the cursor was never drawn anew");
    std::set<std::pair<int, int>> places;

    for (const auto& r : drawn)
    {
        EXPECT_GE (r.x, 120) << "nothing of the list: " << describe (drawn);
        EXPECT_LE (r.width, 52) << describe (drawn);
        EXPECT_LE (r.height, 52) << describe (drawn);

        places.insert ({ r.x, r.y });
    }

    EXPECT_LE (places.size(), 2u) << "the old and the new place only: " << describe (drawn);
}

} // namespace
} // namespace brisquell
