# SPDX-License-Identifier: GPL-3.0-or-later
# With BRISQUELL_BUILD_FUZZERS=ON everything is compiled with libFuzzer's coverage
# instrumentation (-fsanitize=fuzzer-no-link), so that the fuzzers see their way through the
# JUCE modules and the project's code alike; only the fuzz executables link libFuzzer itself.
# The rest of the build (tests, tools, the plug-in binary) still links and runs as usual, which
# lets one sanitizer build folder serve the test suite and the fuzzers.
if(BRISQUELL_BUILD_FUZZERS)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "BRISQUELL_BUILD_FUZZERS needs clang (e.g. CC=clang-14 CXX=clang++-14)")
    endif()

    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
