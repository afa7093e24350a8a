# Compiler flags shared by every target.

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
                    -Wunused -Woverloaded-virtual -Wnull-dereference -Wformat=2)
# GCC 12 reports -Wrestrict on std::string concatenation inlined at -O2/-O3 although the
# library code is correct (a known false positive of that release); keep it a warning there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
if(PLEXIVAR_WERROR)
  add_compile_options(-Werror)
endif()

# The engine must give the same bits on every build type: no fused multiply-add
# contraction, no -march beyond the x86-64 baseline, no -ffast-math anywhere.
add_compile_options(-ffp-contract=off)

if(PLEXIVAR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# Shared libraries export only what they mark as exported.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
