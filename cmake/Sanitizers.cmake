# BRISQUELL_SANITIZE=address  -> ASan + UBSan (also finds leaks through LeakSanitizer)
# BRISQUELL_SANITIZE=thread   -> TSan
set(BRISQUELL_SANITIZE "" CACHE STRING "Sanitizer build: empty, 'address' or 'thread'")

if(BRISQUELL_SANITIZE STREQUAL "address")
    set(_san_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
elseif(BRISQUELL_SANITIZE STREQUAL "thread")
    set(_san_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT BRISQUELL_SANITIZE STREQUAL "")
    message(FATAL_ERROR "BRISQUELL_SANITIZE must be empty, 'address' or 'thread'")
endif()

if(_san_flags)
    add_compile_options(${_san_flags})
    add_link_options(${_san_flags})
endif()
