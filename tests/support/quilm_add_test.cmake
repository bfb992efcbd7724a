# quilm_add_test(<name> <sources...> LIBS <targets...> [INTERNALS <components...>]):
# the one way a test executable is registered. It links GoogleTest (with
# gmock's main) and the test-support library, sees the public headers of LIBS
# and the private and testing headers of the INTERNALS it tests, and registers
# every test case with ctest on its own. Each component registers its tests
# this way in its tests/CMakeLists.txt.
function(quilm_add_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;INTERNALS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Quilm::test_support GTest::gmock_main GTest::gtest
                                        Threads::Threads)
  quilm_component_tests_see(${name} ${ARG_INTERNALS})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
