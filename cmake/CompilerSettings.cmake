# Compiler flags shared by every target.

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
                    -Wunused -Woverloaded-virtual -Wnull-dereference -Wformat=2)
# GCC 12 reports -Wrestrict on std::string concatenation inlined at -O2/-O3 although the
# library code is correct (a known false positive of that release); keep it a warning there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
# clang (the fuzz build) also reports the printf-style wrappers that pass a va_list from the
# TIFF library's callbacks on; their formats are not literals by design.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_compile_options(-Wno-format-nonliteral)
endif()
if(PLEXIVAR_WERROR)
  add_compile_options(-Werror)
endif()

# The engine must give the same bits on every build type: no fused multiply-add
# contraction, no -march beyond the x86-64 baseline, no -ffast-math anywhere.
add_compile_options(-ffp-contract=off)

if(PLEXIVAR_SANITIZE OR PLEXIVAR_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(PLEXIVAR_SANITIZE_THREAD)
  if(PLEXIVAR_SANITIZE OR PLEXIVAR_FUZZ)
    message(FATAL_ERROR "ThreadSanitizer does not combine with AddressSanitizer")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
# Fuzzing: every library carries libFuzzer's coverage instrumentation; only the fuzz
# executables link libFuzzer itself (tests/fuzz).
if(PLEXIVAR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "PLEXIVAR_FUZZ needs clang (the \"fuzz\" preset sets it)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Shared libraries export only what they mark as exported.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
