# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the pane-snapshot tool and checks that it wrote a PNG file of the expected size.
# Arguments: -DTOOL=<pane-snapshot> -DOUT=<file.png> -DWIDTH=<pixels> -DHEIGHT=<pixels>
file(REMOVE "${OUT}")
execute_process(COMMAND "${TOOL}" "${OUT}" RESULT_VARIABLE result)

if(NOT result EQUAL 0)
    message(FATAL_ERROR "pane-snapshot exited with ${result}")
endif()

if(NOT EXISTS "${OUT}")
    message(FATAL_ERROR "pane-snapshot wrote no file at ${OUT}")
endif()

# The signature, then the IHDR chunk: length, type, width and height (big-endian).
file(READ "${OUT}" header LIMIT 24 HEX)
string(SUBSTRING "${header}" 0 16 signature)
string(SUBSTRING "${header}" 24 8 chunkType)
string(SUBSTRING "${header}" 32 8 widthHex)
string(SUBSTRING "${header}" 40 8 heightHex)

if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT chunkType STREQUAL "49484452")
    message(FATAL_ERROR "${OUT} is not a PNG file (header ${header})")
endif()

math(EXPR width "0x${widthHex}")
math(EXPR height "0x${heightHex}")

if(NOT width EQUAL WIDTH OR NOT height EQUAL HEIGHT)
    message(FATAL_ERROR "${OUT} is ${width} x ${height}, expected ${WIDTH} x ${HEIGHT}")
endif()

message(STATUS "${OUT}: PNG, ${width} x ${height}")
