# SPDX-License-Identifier: GPL-3.0-or-later
# BRISQUELL_SANITIZE=address  -> ASan + UBSan (also finds leaks through LeakSanitizer)
# BRISQUELL_SANITIZE=thread   -> TSan
set(BRISQUELL_SANITIZE "" CACHE STRING "Sanitizer build: empty, 'address' or 'thread'")

if(BRISQUELL_SANITIZE STREQUAL "address")
    # UndefinedBehaviorSanitizer's reports stay recoverable so that its suppression file can
    # pass over the framework's own faults; UBSAN_OPTIONS=halt_on_error=1 (scripts/test) makes
    # every other report fatal.
    set(_san_flags -fsanitize=address,undefined -fno-omit-frame-pointer)

    # Clang's check of indirect calls against the callee's type compares type identities that
    # each shared library has its own copy of, so a host calling the plug-in's entry point
    # through dlsym always "mismatches".
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        list(APPEND _san_flags -fno-sanitize=function)
    endif()
elseif(BRISQUELL_SANITIZE STREQUAL "thread")
    set(_san_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT BRISQUELL_SANITIZE STREQUAL "")
    message(FATAL_ERROR "BRISQUELL_SANITIZE must be empty, 'address' or 'thread'")
endif()

# The link options that put clang's shared sanitizer runtime into executables and libraries.
# Executables that cannot use it (the fuzzers, whose runtime clang links statically) remove
# them again.
set(BRISQUELL_SHARED_SANITIZER_RUNTIME "")

if(_san_flags)
    add_compile_options(${_san_flags})
    add_link_options(${_san_flags})

    # Clang links its sanitizer runtime statically into executables only, and leaves a shared
    # library's references to it open, but the plug-in binary is linked with --no-undefined.
    # With the shared runtime the plug-in binary names the runtime it needs, and the host that
    # loads it shares the same one. GCC does this by default.
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-runtime-dir
                        OUTPUT_VARIABLE _san_runtime_dir OUTPUT_STRIP_TRAILING_WHITESPACE)
        set(BRISQUELL_SHARED_SANITIZER_RUNTIME -shared-libsan "LINKER:-rpath,${_san_runtime_dir}")
        add_link_options(${BRISQUELL_SHARED_SANITIZER_RUNTIME})
    endif()

    # JUCE loads the X11 libraries with dlopen and unloads them when it shuts down; what they
    # still hold then looks leaked to LeakSanitizer, which can no longer even name them. Linked
    # in, they stay loaded to the end and their memory stays reachable.
    if(BRISQUELL_SANITIZE STREQUAL "address")
        add_link_options("LINKER:--push-state,--no-as-needed" -lX11 -lXext -lXrender -lXcursor -lXinerama -lXrandr
                         "LINKER:--pop-state")
    endif()
endif()

include(Fuzzing)
