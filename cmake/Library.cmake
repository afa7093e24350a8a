# Layering is enforced by include roots. Sources include headers by their path from the
# repository root ("service/config/settings.h"), but no target sees the repository root
# itself: each library publishes a root of its own in the build tree that holds symbolic
# links to its folders only, and a target sees the roots of the libraries it links. An
# include of a layer a target does not depend on (the engine including a service header)
# fails to compile.

# plexivar_expose(<target> <folder>...)
# Publishes the given folders (relative to the repository root) through <target>'s root.
function(plexivar_expose target)
  set(root ${CMAKE_BINARY_DIR}/include_roots/${target})
  foreach(folder ${ARGN})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# plexivar_add_library(<name> [DIRS folders...] [EXCLUDE files...] [SOURCES files...]
#                      [LIBS libraries...])
# A static library of every *.cpp in the calling folder and in DIRS (sub-folders of it), or
# of SOURCES, publishing the calling folder and linking LIBS. A folder without sources yet
# gives an interface library with the same dependencies.
function(plexivar_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;EXCLUDE;DIRS" ${ARGN})
  if(ARG_SOURCES)
    set(sources ${ARG_SOURCES})
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    foreach(dir ${ARG_DIRS})
      file(GLOB more CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
      list(APPEND sources ${more})
    endforeach()
    foreach(ex ${ARG_EXCLUDE})
      list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
    endforeach()
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  plexivar_expose(${name} ${folder})
endfunction()
