# Included by tests/db/CMakeLists.txt, and by any tests/ folder whose suite needs the test
# database server.

# plexivar_add_database_test_suite(<name> [SOURCES helpers...] LIBS <libraries...>)
# Like plexivar_add_test_suite, for tests that use the test database server: the suite
# links test_database and each of its tests requires the fixture, so that a run starts
# the shared cluster once before them and stops it after them.
function(plexivar_add_database_test_suite name)
  cmake_parse_arguments(ARG "" "" "LIBS;SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  add_executable(${name} ${sources} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} test_database test_support GTest::gtest
                                        GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES FIXTURES_REQUIRED plexivar_test_database)
endfunction()
