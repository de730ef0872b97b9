# SPDX-License-Identifier: GPL-3.0-or-later
# Use ccache when it is installed: the JUCE modules are large and rarely change.
find_program(BRISQUELL_CCACHE ccache)
if(BRISQUELL_CCACHE)
    set(CMAKE_C_COMPILER_LAUNCHER "${BRISQUELL_CCACHE}" CACHE STRING "" FORCE)
    set(CMAKE_CXX_COMPILER_LAUNCHER "${BRISQUELL_CCACHE}" CACHE STRING "" FORCE)
endif()
