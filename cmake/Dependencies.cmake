# Third-party libraries, all from Debian 12 packages (scripts/install-deps.sh).

find_package(Threads REQUIRED)
find_package(TIFF REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS regex)
find_package(ODBC QUIET)
find_package(Qt6 QUIET COMPONENTS Core Widgets Network)

if(PLEXIVAR_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(PLEXIVAR_BUILD_BENCH)
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    message(STATUS "Google Benchmark not found: benchmarks are not built")
    set(PLEXIVAR_BUILD_BENCH OFF)
  endif()
endif()

# Where the shared test images live, beside the repository; tests that use them
# skip when the folder is absent.
get_filename_component(PLEXIVAR_FIXTURES_DIR "${CMAKE_SOURCE_DIR}/../shared/fixtures" ABSOLUTE)
