// SPDX-License-Identifier: GPL-3.0-or-later
// The editor on an X display that no window manager ever ran on, through the real binary in
// the bundled host, which keeps Xlib's default error handler (any X error ends it).
#include "HostFixture.h"
#include "support/MessageLoop.h"
#include "support/Processes.h"

#include <X11/Xlib.h>

using namespace brisquell;
using namespace brisquell::test;

namespace
{
const char* const windowManagerAtoms[] = { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE", "WM_STATE" };

bool exists (::Display* display, const char* atom)
{
    return XInternAtom (display, atom, True) != None;
}
} // namespace

TEST (EditorOnABareDisplay, OpensAndClosesWithoutAnyXErrorInAHostThatKeepsXlibsDefaultHandler)
{
    PrivateDisplay display (false);
    ASSERT_NE (display.get(), nullptr) << "could not start Xvfb";

    for (const auto* atom : windowManagerAtoms)
        ASSERT_FALSE (exists (display.get(), atom)) << atom;

    // The host makes only WM_PROTOCOLS and WM_DELETE_WINDOW for its own window, and only after
    // the plug-in's framework has opened its display: the editor must bring the others itself.
    Subprocess host ({ BRISQUELL_HOST_PATH, "--editor", "--editor-cycles", "3", "--hold", "300", "--blocks", "4", "--do", "1 0 cc 1 7 64", BRISQUELL_PLUGIN_PATH },
                     { display.environment() });

    ASSERT_EQ (host.waitForExit (eventTimeoutMs), 0) << host.getOutput();
    EXPECT_EQ (host.getOutput().find ("X Error"), std::string::npos) << host.getOutput();
    EXPECT_NE (host.getOutput().find ("opened and closed the editor 3 times"), std::string::npos) << host.getOutput();
    EXPECT_NE (host.getOutput().find ("block 1 offset 0 ch 1 CC 7"), std::string::npos) << host.getOutput();

    for (const auto* atom : windowManagerAtoms)
        EXPECT_TRUE (exists (display.get(), atom)) << atom;
}
