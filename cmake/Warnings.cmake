# SPDX-License-Identifier: GPL-3.0-or-later
# Warning flags for the project's own code (never for the JUCE modules).
add_library(brisquell_warnings INTERFACE)
target_compile_options(brisquell_warnings INTERFACE
    -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wno-unused-parameter)
if(BRISQUELL_WARNINGS_AS_ERRORS)
    target_compile_options(brisquell_warnings INTERFACE -Werror)
endif()
